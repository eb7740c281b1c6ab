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
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "RecordingSettingsTarget.h"
#include "SettingsSamples.h"
#include "app/Log.h"
#include "flux/LogLastError.h"
#include "flux/SettingsFile.h"
#include "platform/Strings.h"

namespace fs = std::filesystem;

namespace {

using Journal = std::vector<std::string>;

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::vector<std::string> entries(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The message part of every log line: what follows "[line: N] ".
std::vector<std::string> logMessages(const std::string& path) {
    std::vector<std::string> out;
    std::istringstream in(testsupport::readFile(path));
    std::string line;
    while (std::getline(in, line)) {
        const size_t at = line.find("][line: ");
        const size_t end = at == std::string::npos ? at : line.find("] ", at + 1);
        out.push_back(end == std::string::npos ? "<bad line> " + line : line.substr(end + 2));
    }
    return out;
}

// Runs body in a child process and returns its exit code, so limits and identities changed
// there do not reach the test process.
int inChild(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::_exit(body());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

class SettingsFileOnDisk : public ::testing::Test {
  protected:
    void TearDown() override { DisableLog(); }

    std::string path(const char* name) const { return dir_.file(name); }
    static SettingsFile at(const std::string& p) { return SettingsFile(AnsiToWide(p)); }
    static Journal loaded(const std::string& p) {
        RecordingSettingsTarget target;
        at(p).load(target);
        return target.journal;
    }
    static StoreSettings changed() {
        StoreSettings s = defaultSettings();
        s.quality = 2;
        s.captureRect = Rect{10, 20, 830, 620};
        return s;
    }

    testsupport::TempDir dir_;
};

TEST_F(SettingsFileOnDisk, SaveWritesTheExactLineAndLoadAppliesIt) {
    const std::string file = path("settings.json");
    ASSERT_EQ(at(file).save(defaultSettings()), SettingsFile::kOk);
    EXPECT_EQ(testsupport::readFile(file), kDefaultsLine);  // no mark, no blank, no newline

    RecordingSettingsTarget expected;
    SettingsFile::apply(defaultSettings(), expected);
    EXPECT_EQ(loaded(file), expected.journal);
    EXPECT_EQ(entries(dir_.path()), std::vector<std::string>({"settings.json"}));
}

TEST_F(SettingsFileOnDisk, SaveReplacesTheWholeFileAndDropsUnknownMembers) {
    const std::string file = path("settings.json");
    writeFile(file, R"({"quality":1,"theme":"dark","video":{"zoom":2,"fps":1},"pad":")" +
                        std::string(10000, 'x') + "\"}");
    const StoreSettings read = at(file).read();
    ASSERT_EQ(at(file).save(read), SettingsFile::kOk);
    EXPECT_EQ(testsupport::readFile(file),
              R"({"quality":1,"mouse":{},"video":{"fps":1},"audio":{},"camera":{},"hotkey":[]})");
}

TEST_F(SettingsFileOnDisk, MissingFileIsNotAnError) {
    const std::string file = path("absent.json");
    EXPECT_EQ(loaded(file), Journal());
    EXPECT_FALSE(at(file).read().quality.has_value());
    EXPECT_FALSE(testsupport::fileExists(file));
}

TEST_F(SettingsFileOnDisk, FileWithByteOrderMarkLeavesTheDefaults) {
    const std::string file = path("bom.json");
    writeFile(file, "\xEF\xBB\xBF{\"quality\":2}");
    EXPECT_EQ(loaded(file), Journal());
    writeFile(file, "{\"quality\":2}");
    EXPECT_EQ(loaded(file), Journal({"quality 2"}));
}

TEST_F(SettingsFileOnDisk, NoneIsNeitherReadNorWritten) {
    const fs::path old = fs::current_path();
    fs::current_path(dir_.path());
    writeFile("none", R"({"quality":2})");
    RecordingSettingsTarget target;
    SettingsFile none(L"none");
    none.load(target);
    const int32_t saved = none.save(defaultSettings());
    const std::string after = testsupport::readFile("none");
    fs::current_path(old);

    EXPECT_EQ(target.journal, Journal());
    EXPECT_EQ(saved, SettingsFile::kNothingDone);
    EXPECT_EQ(after, R"({"quality":2})");
}

TEST_F(SettingsFileOnDisk, AFolderInPlaceOfTheFileIsNeitherReadNorReplaced) {
    const std::string folder = path("settings.json");
    fs::create_directory(folder);
    EXPECT_EQ(loaded(folder), Journal());
    EXPECT_EQ(at(folder).save(defaultSettings()), SettingsFile::kFailed);
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(entries(dir_.path()), std::vector<std::string>({"settings.json"}));
}

TEST_F(SettingsFileOnDisk, UnwritableFolderKeepsTheOldFileAndReportsFailure) {
    const std::string file = path("settings.json");
    writeFile(file, kDefaultsLine);
    // The file itself is writable: only the folder refuses a new entry next to it.
    ASSERT_EQ(::chmod(file.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(dir_.path().c_str(), 0555), 0);
    const int code = inChild([&] {
        // Permission bits do not stop root: drop to an ordinary user first.
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            return 77;
        }
        return at(file).save(changed()) == SettingsFile::kFailed ? 0 : 1;
    });
    ::chmod(dir_.path().c_str(), 0700);
    if (code == 77) {
        GTEST_SKIP() << "cannot drop to an ordinary user here";
    }
    EXPECT_EQ(code, 0) << "the failed save was not reported as a failure";
    EXPECT_EQ(testsupport::readFile(file), kDefaultsLine);
    EXPECT_EQ(entries(dir_.path()), std::vector<std::string>({"settings.json"}));
}

TEST_F(SettingsFileOnDisk, FullDiskKeepsTheOldFileAndReportsFailure) {
    const std::string file = path("settings.json");
    writeFile(file, kDefaultsLine);
    const int code = inChild([&] {
        // A file-size limit fails writes the way a full disk does, also for root.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{64, 64};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            return 77;
        }
        return at(file).save(changed()) == SettingsFile::kFailed ? 0 : 1;
    });
    ASSERT_NE(code, 77) << "cannot limit the file size";
    EXPECT_EQ(code, 0) << "the failed save was not reported as a failure";
    EXPECT_EQ(testsupport::readFile(file), kDefaultsLine);
    EXPECT_EQ(entries(dir_.path()), std::vector<std::string>({"settings.json"}));
}

TEST_F(SettingsFileOnDisk, PermissionsAndLinksSurviveASave) {
    const std::string real = path("real.json");
    const std::string link = path("link.json");
    writeFile(real, "{}");
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    ASSERT_EQ(::symlink("real.json", link.c_str()), 0);

    ASSERT_EQ(at(link).save(defaultSettings()), SettingsFile::kOk);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(testsupport::readFile(real), kDefaultsLine);
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(entries(dir_.path()), std::vector<std::string>({"link.json", "real.json"}));
}

TEST_F(SettingsFileOnDisk, SavingAndLoadingLogTheirSteps) {
    const std::string log = path("trace.log");
    const std::string file = path("settings.json");
    EnableLog(log);
    ASSERT_EQ(at(file).save(defaultSettings()), SettingsFile::kOk);
    ASSERT_FALSE(loaded(file).empty());
    DisableLog();

    // Every marker is followed by a line with the system's error text.
    std::vector<std::string> lines = logMessages(log);
    ASSERT_EQ(lines.size(), 16u);
    for (size_t i = 2; i < 14; i += 2) {
        lines[i] = "<error text>";
    }
    EXPECT_EQ(lines, std::vector<std::string>(
                         {"Start saving setting", "1", "<error text>", "2", "<error text>", "3",
                          "<error text>", "4", "<error text>", "5", "<error text>", "6",
                          "<error text>", "Complete saving setting", "Start reading setting",
                          "Complete reading setting"}));
}

TEST_F(SettingsFileOnDisk, LogLastErrorWritesTheMarkerAndTheSystemText) {
    const std::string log = path("trace.log");
    EnableLog(log);
    errno = ENOENT;
    LogLastError("marker");
    DisableLog();
    EXPECT_EQ(logMessages(log), std::vector<std::string>({"marker", std::strerror(ENOENT)}));
    EXPECT_NE(testsupport::readFile(log).find("[Store][line: "), std::string::npos);
}

}  // namespace
