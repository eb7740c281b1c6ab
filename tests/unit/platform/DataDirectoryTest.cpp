#include <gtest/gtest.h>

#include <filesystem>

#include "TempDir.h"
#include "platform/Url.h"

namespace {

// The help page is found in the package's share folder for an installed program and beside
// the program in a build tree, whichever folder the program was started from.
TEST(DataDirectory, InstalledShareFolderElseTheProgramsOwn) {
    testsupport::TempDir root;
    const std::string installedBin = root.file("usr/bin/");
    const std::string buildTree = root.file("build/");
    std::filesystem::create_directories(installedBin);
    std::filesystem::create_directories(root.file("usr/share/screen-capturer"));
    std::filesystem::create_directories(buildTree);

    EXPECT_TRUE(std::filesystem::equivalent(platform::dataDirectoryOf(installedBin),
                                            root.file("usr/share/screen-capturer")))
        << platform::dataDirectoryOf(installedBin);
    EXPECT_EQ(platform::dataDirectoryOf(buildTree), buildTree);
    const std::string chosen = platform::dataDirectoryOf(installedBin);
    EXPECT_EQ(chosen.back(), '/') << chosen;
}

}  // namespace
