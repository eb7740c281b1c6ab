#include "flux/SettingsFile.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <utility>

#include "base/Log.h"
#include "flux/LogLastError.h"
#include "flux/SettingsCodec.h"
#include "platform/FileReplacer.h"
#include "platform/FileSystem.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// The whole file, or nothing when it cannot be opened for reading (missing, no permission).
// A read error part-way gives what was read, which then does not parse.
std::optional<std::string> readWholeFile(const std::wstring& path) {
    std::unique_ptr<std::FILE, FileCloser> file(platform::openFile(path, "rb"));
    if (!file) {
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        bytes.append(buffer, n);
    }
    if (std::ferror(file.get())) {
        bytes.clear();
    }
    return bytes;
}

}  // namespace

SettingsFile::SettingsFile(std::wstring path) : path_(std::move(path)) {}

void SettingsFile::load(ISettingsTarget& target) const {
    if (isNone()) {
        return;
    }
    StoreSettings values;
    try {
        const std::optional<std::string> bytes = readWholeFile(path_);
        if (!bytes) {
            return;  // a missing file is not an error: the defaults stay
        }
        SC_LOG("Store", "Start reading setting");
        values = SettingsCodec::parse(*bytes);
    } catch (...) {
        return;
    }
    SettingsCodec::apply(values, target);
    SC_LOG("Store", "Complete reading setting");
}

int32_t SettingsFile::save(const StoreSettings& values) const {
    if (isNone()) {
        return kNothingDone;
    }
    try {
        SC_LOG("Store", "Start saving setting");
        std::string bytes;
        if (!SettingsCodec::serialize(values, bytes)) {
            SC_LOG("Store", "Setting not saved: a value cannot be written");
            return kFailed;
        }

        // The new content goes to a file of its own first; only a complete one replaces the
        // old file, so a failure at any step leaves the previous settings readable.
        platform::FileReplacer file(path_);
        LogLastError("1");
        const bool opened = file.begin();
        LogLastError("2");
        if (!opened) {
            SC_LOG("Store", "Setting not saved: cannot create a file next to it");
            return kFailed;
        }
        LogLastError("3");
        LogLastError("4");
        const bool written = file.write(bytes.data(), bytes.size());
        LogLastError("5");
        const bool committed = written && file.commit();
        LogLastError("6");
        if (!committed) {
            SC_LOG("Store", "Setting not saved: the old file is kept");
            return kFailed;
        }
        SC_LOG("Store", "Complete saving setting");
        return kOk;
    } catch (...) {
        SC_LOG("Store", "%s", "");
        return kFailed;
    }
}
