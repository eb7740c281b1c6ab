#include "app/Directories.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ChildProcess.h"
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
    const Case cases[] = {
        {root + "/x/y/", true, "x/y", "work" + root},  // absolute: not rebuilt under work/
        {"../out/", true, "out", "work/out"},
        {"a/b/c.mp4", true, "work/a/b", "work/a/b/c.mp4"},  // an extension names a file
        {"./p/q", true, "work/p/q", ""},
        {".", true, "", ""},
        {"/", true, "", ""},
        {"blocker/sub/", false, "", "work/blocker/sub"},
    };
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

}  // namespace
