#pragma once

#include <cstdint>
#include <string>

#include "flux/ISettingsTarget.h"
#include "flux/StoreSettings.h"

// The settings file on disk: the Store loads it once after setting its defaults and saves it
// before each recording; SettingsCodec makes and reads its bytes.
//
// Reading is forgiving: a missing, unreadable or malformed file gives nothing. Writing replaces
// the whole file at once: it is either the complete new document or the old file.
class SettingsFile {
public:
    static constexpr int32_t kOk = 0;
    static constexpr int32_t kNothingDone = 1;  // the path is "none"
    static constexpr int32_t kFailed = static_cast<int32_t>(0x80004005u);

    // path: the file, or "none" when no file is wanted.
    explicit SettingsFile(std::wstring path);

    bool isNone() const { return path_ == L"none"; }
    const std::wstring& path() const { return path_; }

    // Reads the file and applies what it holds through target (SettingsCodec::apply).
    void load(ISettingsTarget& target) const;

    // Writes values as the file's whole content. kOk when the new content is in place,
    // kNothingDone for "none", kFailed when anything went wrong; the old file is then unchanged.
    int32_t save(const StoreSettings& values) const;

private:
    std::wstring path_;
};
