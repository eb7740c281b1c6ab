#include "flux/SettingsFile.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>

#include "ChildProcess.h"
#include "RecordingSettingsTarget.h"
#include "platform/Strings.h"

namespace fs = std::filesystem;

namespace {

using Lines = std::vector<std::string>;

class SettingsFileTest : public ::testing::Test {
protected:
    SettingsFileTest() { values_.quality = 2, values_.filterWC = 0.25, values_.fps = 1; }

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
            names.push_back(e.path().filename().u8string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    StoreSettings values_;
    testsupport::TempDir dir_;
};

#ifndef _WIN32  // links and permission bits as POSIX has them
TEST_F(SettingsFileTest, SaveReplacesTheWholeFileThroughItsLinkKeepingItsModeAndLoadAppliesIt) {
    const std::string real = path("real.json");
    const std::string link = path("link.json");
    // Longer than the new content, with members the program does not know: none survives.
    std::ofstream(real) << R"({"quality":1,"theme":"dark","pad":")" << std::string(10000, 'x')
                        << "\"}";
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    ASSERT_EQ(::symlink("real.json", link.c_str()), 0);

    ASSERT_EQ(at(link).save(values_), SettingsFile::kOk);
    // No mark, no blank, no newline.
    EXPECT_EQ(testsupport::readFile(real),
              R"({"quality":2,"mouse":{},"video":{"fps":1},"audio":{"filterWC":0.25},"camera":{},)"
              R"("hotkey":[]})");
    EXPECT_TRUE(fs::is_symlink(link));
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(entries(), Lines({"link.json", "real.json"}));
    EXPECT_EQ(loaded(link), Lines({"quality 2", "fps 1", "filterWC 0.25"}));
}
#endif

// The file is opened by its wide name: on Windows a name outside the ANSI code page (Chinese
// characters in most of them) would otherwise name another file or none.
TEST_F(SettingsFileTest, ANameOutsideTheAnsiCodePageIsSavedAndLoaded) {
    const std::wstring name = AnsiToWide(dir_.path()) + L"/录屏设置.json";
    ASSERT_EQ(SettingsFile(name).save(values_), SettingsFile::kOk);
    EXPECT_EQ(entries(), Lines({"录屏设置.json"}));
    RecordingSettingsTarget target;
    SettingsFile(name).load(target);
    EXPECT_EQ(target.journal, Lines({"quality 2", "fps 1", "filterWC 0.25"}));
}

TEST_F(SettingsFileTest, NothingIsReadFromAMissingFileOrAFolderAndNothingIsMadeForNone) {
    EXPECT_EQ(loaded(path("absent.json")), Lines());
    const std::string folder = path("settings.json");
    fs::create_directory(folder);
    EXPECT_EQ(loaded(folder), Lines());
    EXPECT_EQ(at(folder).save(values_), SettingsFile::kFailed);
    EXPECT_EQ(entries(), Lines({"settings.json"}));
    EXPECT_EQ(SettingsFile(L"none").save(values_), SettingsFile::kNothingDone);
    EXPECT_FALSE(fs::exists("none"));
}

#ifndef _WIN32  // the file-size limit of a child process
TEST_F(SettingsFileTest, AFailedWriteKeepsTheOldFileAndReportsFailure) {
    const std::string file = path("settings.json");
    std::ofstream(file) << "old";
    // In a child, so that the limit does not reach this process. A file-size limit fails
    // writes the way a full disk does, also for root.
    const pid_t pid = ::fork();
    if (pid == 0) {
        const rlimit limit{64, 64};
        const bool limited =
            std::signal(SIGXFSZ, SIG_IGN) != SIG_ERR && ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
        ::_exit(!limited ? 77 : at(file).save(values_) == SettingsFile::kFailed ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_EQ(status, 0) << "the failed save was not reported as a failure (77: no limit)";
    EXPECT_EQ(testsupport::readFile(file), "old");
    EXPECT_EQ(entries(), Lines({"settings.json"}));
}
#endif

}  // namespace
