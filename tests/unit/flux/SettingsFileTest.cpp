#include "flux/SettingsFile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "ChildProcess.h"
#include "RecordingSettingsTarget.h"
#include "SettingsSamples.h"
#include "base/Log.h"
#include "flux/LogLastError.h"
#include "flux/SettingsCodec.h"
#include "platform/Strings.h"

namespace fs = std::filesystem;

namespace {

using Lines = std::vector<std::string>;

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class SettingsFileTest : public ::testing::Test {
protected:
    void TearDown() override { DisableLog(); }

    std::string path(const char* name) const { return dir_.file(name); }
    static SettingsFile at(const std::string& p) { return SettingsFile(AnsiToWide(p)); }
    static Lines loaded(const std::string& p) {
        RecordingSettingsTarget target;
        at(p).load(target);
        return target.journal;
    }
    // The folder's entries: a save leaves no file of its own behind.
    Lines entries() const {
        Lines names;
        for (const auto& e : fs::directory_iterator(dir_.path())) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    const StoreSettings defaults_ = SettingsCodec::parse(kDefaultsLine);
    testsupport::TempDir dir_;
};

TEST_F(SettingsFileTest, SaveReplacesTheWholeFileThroughItsLinkKeepingItsModeAndLoadAppliesIt) {
    const std::string real = path("real.json");
    const std::string link = path("link.json");
    // Longer than the new content, with members the program does not know: none survives.
    writeFile(real, R"({"quality":1,"theme":"dark","pad":")" + std::string(10000, 'x') + "\"}");
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    ASSERT_EQ(::symlink("real.json", link.c_str()), 0);

    ASSERT_EQ(at(link).save(defaults_), SettingsFile::kOk);
    EXPECT_EQ(testsupport::readFile(real), kDefaultsLine);  // no mark, no blank, no newline
    EXPECT_TRUE(fs::is_symlink(link));
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(entries(), Lines({"link.json", "real.json"}));

    RecordingSettingsTarget expected;
    SettingsCodec::apply(defaults_, expected);
    EXPECT_EQ(loaded(link), expected.journal);
}

TEST_F(SettingsFileTest, NothingIsReadFromAMissingFileOrAFolderAndNothingIsMadeForNone) {
    EXPECT_EQ(loaded(path("absent.json")), Lines());
    const std::string folder = path("settings.json");
    fs::create_directory(folder);
    EXPECT_EQ(loaded(folder), Lines());
    EXPECT_EQ(at(folder).save(defaults_), SettingsFile::kFailed);
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(entries(), Lines({"settings.json"}));

    EXPECT_EQ(SettingsFile(L"none").save(defaults_), SettingsFile::kNothingDone);
    EXPECT_FALSE(fs::exists("none"));
}

TEST_F(SettingsFileTest, AFailedSaveKeepsTheOldFileAndReportsFailure) {
    const std::string file = path("settings.json");
    StoreSettings changed = defaults_;
    changed.quality = 2;
    const std::pair<const char*, std::function<bool()>> refusals[] = {
        // The file itself is writable: only the folder refuses a new entry next to it.
        // Permission bits do not stop root: an ordinary user is taken first.
        {"unwritable folder",
         [&] {
             return ::chmod(dir_.path().c_str(), 0555) == 0 &&
                    (::geteuid() != 0 || (::setgid(65534) == 0 && ::setuid(65534) == 0));
         }},
        // A file-size limit fails writes the way a full disk does, also for root.
        {"full disk",
         [] {
             const rlimit limit{64, 64};
             return std::signal(SIGXFSZ, SIG_IGN) != SIG_ERR &&
                    ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
         }},
    };
    for (const auto& [name, refuse] : refusals) {
        writeFile(file, kDefaultsLine);
        ASSERT_EQ(::chmod(file.c_str(), 0666), 0);
        // In a child, so that the identity and the limit do not reach this process.
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::_exit(!refuse() ? 77 : at(file).save(changed) == SettingsFile::kFailed ? 0 : 1);
        }
        int status = -1;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ::chmod(dir_.path().c_str(), 0700);
        if (WEXITSTATUS(status) == 77) {
            // Where no ordinary user can be had, permission bits refuse nothing.
            EXPECT_STREQ(name, "unwritable folder") << "cannot limit the file size";
            continue;
        }
        EXPECT_EQ(status, 0) << name << ": the failed save was not reported as a failure";
        EXPECT_EQ(testsupport::readFile(file), kDefaultsLine) << name;
        EXPECT_EQ(entries(), Lines({"settings.json"})) << name;
    }
}

TEST_F(SettingsFileTest, SavingAndLoadingLogTheirStepsUnderTheStoresName) {
    const std::string log = path("trace.log");
    const std::string file = path("settings.json");
    EnableLog(log);
    errno = ENOENT;
    LogLastError("marker");
    ASSERT_EQ(at(file).save(defaults_), SettingsFile::kOk);
    ASSERT_FALSE(loaded(file).empty());
    DisableLog();

    // Every marker is followed by a line with the system's text for the last error.
    std::istringstream in(testsupport::readFile(log));
    Lines lines;
    for (std::string line; std::getline(in, line);) {
        const size_t at = line.find("[Store][line: ");
        lines.push_back(at == std::string::npos ? "<not Store's> " + line
                                                : line.substr(line.find("] ", at) + 2));
    }
    ASSERT_EQ(lines.size(), 18u);
    for (size_t i = 4; i < 16; i += 2) {
        lines[i] = "<error text>";
    }
    EXPECT_EQ(lines,
              Lines({"marker", std::strerror(ENOENT), "Start saving setting", "1", "<error text>",
                     "2", "<error text>", "3", "<error text>", "4", "<error text>", "5",
                     "<error text>", "6", "<error text>", "Complete saving setting",
                     "Start reading setting", "Complete reading setting"}));
}

}  // namespace
