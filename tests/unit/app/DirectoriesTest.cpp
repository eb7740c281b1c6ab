#include "app/Directories.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ChildProcess.h"
#include "platform/FileSystem.h"
#include "platform/Strings.h"

namespace fs = std::filesystem;

namespace {

// Each path is made from a current folder <tmp>/work, so relative paths land there.
TEST(Directories, EnsureDirectoryCreatesWhereThePathSays) {
    testsupport::TempDir dir;
    const std::string root = dir.path();
    const fs::path previous = fs::current_path();
    fs::create_directories(root + "/work");
    fs::current_path(root + "/work");
    { std::ofstream("blocker") << "a file where a folder should be"; }
    struct Case {
        std::string path;
        bool ok;
        std::string made;    // a folder that exists afterwards (from the root); empty: none
        std::string absent;  // what must not exist afterwards (from the root); empty: nothing
    };
#ifdef _WIN32
    const Case cases[] = {
        {root + "\\x\\y\\", true, "x/y", ""},  // absolute, with its drive
        {"..\\out\\", true, "out", "work/out"},
        {"a\\b\\c.mp4", true, "work/a/b", "work/a/b/c.mp4"},  // an extension names a file
        {".\\p\\q", true, "work/p/q", ""},
        {".", true, "", ""},
        {"\\", true, "", ""},
        {"blocker\\sub\\", false, "", "work/blocker/sub"},
    };
#else
    const Case cases[] = {
        {root + "/x/y/", true, "x/y", "work" + root},  // absolute: not rebuilt under work/
        {"../out/", true, "out", "work/out"},
        {"a/b/c.mp4", true, "work/a/b", "work/a/b/c.mp4"},  // an extension names a file
        {"./p/q", true, "work/p/q", ""},
        {".", true, "", ""},
        {"/", true, "", ""},
        {"blocker/sub/", false, "", "work/blocker/sub"},
    };
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(EnsureDirectory(AnsiToWide(c.path)), c.ok);
        if (!c.made.empty()) {
            EXPECT_TRUE(fs::is_directory(root + "/" + c.made));
        }
        if (!c.absent.empty()) {
            EXPECT_FALSE(fs::exists(root + "/" + c.absent));
        }
    }
    fs::current_path(previous);
    EXPECT_EQ(std::distance(fs::directory_iterator(root + "/work"), fs::directory_iterator()), 3)
        << "blocker, a and p only: '.' and '/' create nothing";
}

// Folders are made by their wide names: those of a Chinese interface come out as they are.
TEST(Directories, EnsureDirectoryMakesFoldersOfAnyName) {
    testsupport::TempDir dir;
    const std::wstring sep(1, platform::pathSeparator());
    EXPECT_TRUE(EnsureDirectory(AnsiToWide(dir.path()) + sep + L"新文件夹" + sep + L"录像" + sep +
                                L"屏幕.mp4"));
    EXPECT_TRUE(fs::is_directory(fs::u8path(dir.path() + "/新文件夹/录像")));
    EXPECT_FALSE(fs::exists(fs::u8path(dir.path() + "/新文件夹/录像/屏幕.mp4")));
}

}  // namespace
