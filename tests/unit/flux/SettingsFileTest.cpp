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
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "RecordingSettingsTarget.h"
#include "SettingsSamples.h"
#include "app/Log.h"
#include "flux/LogLastError.h"
#include "flux/SettingsCodec.h"
#include "platform/Strings.h"

namespace fs = std::filesystem;

namespace {

using Journal = std::vector<std::string>;
using Names = std::vector<std::string>;

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The message part of every log line: what follows "[line: N] ".
Names logMessages(const std::string& path) {
    Names out;
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

class SettingsFileTest : public ::testing::Test {
protected:
    void TearDown() override { DisableLog(); }

    std::string path(const char* name) const { return dir_.file(name); }
    static SettingsFile at(const std::string& p) { return SettingsFile(AnsiToWide(p)); }
    static Journal loaded(const std::string& p) {
        RecordingSettingsTarget target;
        at(p).load(target);
        return target.journal;
    }
    Names entries() const {
        Names names;
        for (const auto& e : fs::directory_iterator(dir_.path())) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    const StoreSettings defaults_ = SettingsCodec::parse(kDefaultsLine);
    testsupport::TempDir dir_;
};

TEST_F(SettingsFileTest, SaveReplacesTheWholeFileWithTheExactBytesAndLoadAppliesThem) {
    const std::string file = path("settings.json");
    // Longer than the new content, with members the program does not know: none survives.
    writeFile(file, R"({"quality":1,"theme":"dark","pad":")" + std::string(10000, 'x') + "\"}");
    ASSERT_EQ(at(file).save(defaults_), SettingsFile::kOk);
    EXPECT_EQ(testsupport::readFile(file), kDefaultsLine);  // no mark, no blank, no newline

    RecordingSettingsTarget expected;
    SettingsCodec::apply(defaults_, expected);
    EXPECT_EQ(loaded(file), expected.journal);
    EXPECT_EQ(entries(), Names({"settings.json"}));
}

TEST_F(SettingsFileTest, MissingFileIsNotAnErrorAndIsNotMade) {
    const std::string file = path("absent.json");
    EXPECT_EQ(loaded(file), Journal());
    EXPECT_FALSE(testsupport::fileExists(file));
}

TEST_F(SettingsFileTest, NoneIsNeitherReadNorWritten) {
    const fs::path old = fs::current_path();
    fs::current_path(dir_.path());
    writeFile("none", R"({"quality":2})");
    RecordingSettingsTarget target;
    SettingsFile none(L"none");
    none.load(target);
    const int32_t saved = none.save(defaults_);
    const std::string after = testsupport::readFile("none");
    fs::current_path(old);

    EXPECT_EQ(target.journal, Journal());
    EXPECT_EQ(saved, SettingsFile::kNothingDone);
    EXPECT_EQ(after, R"({"quality":2})");
}

TEST_F(SettingsFileTest, AFolderInPlaceOfTheFileIsNeitherReadNorReplaced) {
    const std::string folder = path("settings.json");
    fs::create_directory(folder);
    EXPECT_EQ(loaded(folder), Journal());
    EXPECT_EQ(at(folder).save(defaults_), SettingsFile::kFailed);
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(entries(), Names({"settings.json"}));
}

TEST_F(SettingsFileTest, AFailedSaveKeepsTheOldFileAndReportsFailure) {
    const std::string file = path("settings.json");
    StoreSettings changed = defaults_;
    changed.quality = 2;
    const std::pair<const char*, std::function<bool()>> refusals[] = {
        // The file itself is writable: only the folder refuses a new entry next to it.
        {"unwritable folder",
         [&] {
             // Permission bits do not stop root: drop to an ordinary user first.
             return ::chmod(dir_.path().c_str(), 0555) == 0 &&
                    (::geteuid() != 0 || (::setgid(65534) == 0 && ::setuid(65534) == 0));
         }},
        // A file-size limit fails writes the way a full disk does, also for root.
        {"full disk",
         [] {
             std::signal(SIGXFSZ, SIG_IGN);
             const rlimit limit{64, 64};
             return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
         }},
    };
    for (const auto& [name, refuse] : refusals) {
        writeFile(file, kDefaultsLine);
        ASSERT_EQ(::chmod(file.c_str(), 0666), 0);
        const int code = inChild([&, &refuse = refuse] {
            if (!refuse()) {
                return 77;
            }
            return at(file).save(changed) == SettingsFile::kFailed ? 0 : 1;
        });
        ::chmod(dir_.path().c_str(), 0700);
        if (code == 77) {
            // Where no ordinary user can be had, permission bits refuse nothing.
            EXPECT_STREQ(name, "unwritable folder") << "cannot limit the file size";
            continue;
        }
        EXPECT_EQ(code, 0) << name << ": the failed save was not reported as a failure";
        EXPECT_EQ(testsupport::readFile(file), kDefaultsLine) << name;
        EXPECT_EQ(entries(), Names({"settings.json"})) << name;
    }
}

TEST_F(SettingsFileTest, PermissionsAndLinksSurviveASave) {
    const std::string real = path("real.json");
    const std::string link = path("link.json");
    writeFile(real, "{}");
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    ASSERT_EQ(::symlink("real.json", link.c_str()), 0);

    ASSERT_EQ(at(link).save(defaults_), SettingsFile::kOk);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(testsupport::readFile(real), kDefaultsLine);
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(entries(), Names({"link.json", "real.json"}));
}

TEST_F(SettingsFileTest, SavingAndLoadingLogTheirSteps) {
    const std::string log = path("trace.log");
    const std::string file = path("settings.json");
    EnableLog(log);
    ASSERT_EQ(at(file).save(defaults_), SettingsFile::kOk);
    ASSERT_FALSE(loaded(file).empty());
    DisableLog();

    // Every marker is followed by a line with the system's error text.
    Names lines = logMessages(log);
    ASSERT_EQ(lines.size(), 16u);
    for (size_t i = 2; i < 14; i += 2) {
        lines[i] = "<error text>";
    }
    EXPECT_EQ(lines, Names({"Start saving setting", "1", "<error text>", "2", "<error text>", "3",
                            "<error text>", "4", "<error text>", "5", "<error text>", "6",
                            "<error text>", "Complete saving setting", "Start reading setting",
                            "Complete reading setting"}));

    // The error text is the system's for the thread's last error, under the Store's name.
    EnableLog(log + "2");
    errno = ENOENT;
    LogLastError("marker");
    DisableLog();
    EXPECT_EQ(logMessages(log + "2"), Names({"marker", std::strerror(ENOENT)}));
    EXPECT_NE(testsupport::readFile(log + "2").find("[Store][line: "), std::string::npos);
}

}  // namespace
