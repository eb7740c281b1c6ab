#include "app/Directories.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "ChildProcess.h"
#include "platform/Strings.h"

namespace fs = std::filesystem;

namespace {

// Runs the body with the current directory inside a fresh temporary tree, so relative paths
// land there; restores the old one afterwards.
class DirectoriesTest : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = fs::current_path();
        fs::create_directories(dir_.path() + "/work");
        fs::current_path(dir_.path() + "/work");
    }
    void TearDown() override { fs::current_path(old_); }

    testsupport::TempDir dir_;
    fs::path old_;
};

TEST_F(DirectoriesTest, AbsolutePathIsCreatedWhereItSays) {
    const std::string target = dir_.path() + "/x/y/";
    ASSERT_TRUE(EnsureDirectory(AnsiToWide(target)));
    EXPECT_TRUE(fs::is_directory(dir_.path() + "/x/y"));
    // Not under the current directory with the root stripped.
    EXPECT_FALSE(fs::exists(fs::current_path() / dir_.path().substr(1)));
}

TEST_F(DirectoriesTest, RelativePathWithParentIsCreatedBesideTheCurrentFolder) {
    ASSERT_TRUE(EnsureDirectory(L"../out/"));
    EXPECT_TRUE(fs::is_directory(dir_.path() + "/out"));
    EXPECT_FALSE(fs::exists("out"));
}

TEST_F(DirectoriesTest, FileNameWithExtensionIsNotCreated) {
    ASSERT_TRUE(EnsureDirectory(L"a/b/c.mp4"));
    EXPECT_TRUE(fs::is_directory("a/b"));
    EXPECT_FALSE(fs::exists("a/b/c.mp4"));
}

TEST_F(DirectoriesTest, LastComponentWithoutExtensionIsADirectory) {
    ASSERT_TRUE(EnsureDirectory(L"./p/q"));
    EXPECT_TRUE(fs::is_directory("p/q"));
}

TEST_F(DirectoriesTest, ExistingPathsAndDotsOnlySucceedWithoutCreating) {
    EXPECT_TRUE(EnsureDirectory(L"."));
    EXPECT_TRUE(EnsureDirectory(L"./"));
    EXPECT_TRUE(EnsureDirectory(L"/"));
    EXPECT_TRUE(fs::is_empty("."));
}

TEST_F(DirectoriesTest, FailureIsReportedWhenAComponentIsAFile) {
    { std::ofstream("blocker") << "x"; }
    EXPECT_FALSE(EnsureDirectory(L"blocker/sub/"));
}

TEST(DirectoryPart, UpToAndIncludingTheLastSeparator) {
    EXPECT_EQ(DirectoryPart(L"/tmp/x/y/z.mp4"), L"/tmp/x/y/");
    EXPECT_EQ(DirectoryPart(L"a.mp4"), L"");
    EXPECT_EQ(DirectoryPart(L"/a.mp4"), L"/");
    // Only the platform separator counts.
    EXPECT_EQ(DirectoryPart(L"dir\\a.mp4"), L"");
}

}  // namespace
