// The thin Windows mappings of the platform services, against the system itself (Wine here).
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "Await.h"
#include "TempDir.h"
#include "base/Utf8.h"
#include "platform/CameraDriver.h"
#include "platform/FileReplacer.h"
#include "platform/FileSystem.h"
#include "platform/LastError.h"
#include "platform/MessageLoop.h"
#include "platform/ProcessArguments.h"
#include "platform/Session.h"
#include "platform/Strings.h"
#include "platform/TerminationSignals.h"
#include "platform/Url.h"

namespace fs = std::filesystem;

namespace {

std::wstring wideDir(const testsupport::TempDir& dir) {
    return AnsiToWide(dir.path()) + L"\\";
}

// The content of a file named in UTF-8 (the C++ library opens it by its wide name).
std::string contentOf(const std::string& utf8Path) {
    std::ifstream in(fs::u8path(utf8Path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The arguments come from the wide command line, split as the C runtime splits argv.
TEST(WindowsServices, ArgumentsAreTheCommandLineSplitAsArgv) {
    const std::vector<std::wstring> args = platform::processArguments(0, nullptr);
    ASSERT_EQ(args.size(), static_cast<size_t>(__argc));
    for (int i = 0; i < __argc; ++i) {
        EXPECT_EQ(args[static_cast<size_t>(i)], AnsiToWide(__argv[i])) << i;
    }
    EXPECT_NE(args[0].find(L"unit_platform"), std::wstring::npos);
}

// The ANSI code page keeps what it has and turns the rest into '?': why file names go to
// FFmpeg as UTF-8 and files are opened by their wide names.
TEST(WindowsServices, TheAnsiCodePageKeepsWhatItHasAndLosesTheRest) {
    EXPECT_EQ(WideToAnsi(L"C:\\out\\a b.mp4"), "C:\\out\\a b.mp4");
    EXPECT_EQ(AnsiToWide("C:\\out\\a b.mp4"), L"C:\\out\\a b.mp4");
    EXPECT_EQ(WideToAnsi(L""), "");
    ASSERT_EQ(GetACP(), 1252u) << "the tests run in a Western European Wine prefix";
    EXPECT_EQ(WideToAnsi(L"\u00e9\u5f55"), "\xe9?");
    EXPECT_EQ(AnsiToWide("\xe9"), L"\u00e9");
}

TEST(WindowsServices, FoldersAndFilesByWideNames) {
    testsupport::TempDir dir;
    EXPECT_EQ(platform::pathSeparator(), L'\\');
    const std::wstring folder = wideDir(dir) + L"新文件夹";
    EXPECT_FALSE(platform::pathExists(folder));
    EXPECT_TRUE(platform::createDirectory(folder));
    EXPECT_TRUE(platform::pathExists(folder));
    EXPECT_FALSE(platform::createDirectory(folder)) << "it exists already";
    EXPECT_FALSE(platform::createDirectory(wideDir(dir) + L"无\\此\\处")) << "no parent";
    EXPECT_TRUE(fs::is_directory(fs::u8path(dir.path() + "/新文件夹")));

    const std::wstring file = folder + L"\\设置.json";
    std::FILE* out = platform::openFile(file, "wb");
    ASSERT_NE(out, nullptr);
    std::fputs("{}", out);
    std::fclose(out);
    EXPECT_EQ(contentOf(dir.path() + "/新文件夹/设置.json"), "{}");
    EXPECT_EQ(platform::openFile(folder + L"\\absent.json", "rb"), nullptr);
}

TEST(WindowsServices, TheReplacerSwapsTheWholeFileOrLeavesItAsItWas) {
    testsupport::TempDir dir;
    const std::wstring target = wideDir(dir) + L"录屏.json";
    {
        std::FILE* old = platform::openFile(target, "wb");
        ASSERT_NE(old, nullptr);
        std::fputs("old content, longer than the new", old);
        std::fclose(old);
    }
    const auto content = [&] { return contentOf(dir.path() + "/录屏.json"); };
    const auto entries = [&] {
        return std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator());
    };
    {
        platform::FileReplacer abandoned(target);
        ASSERT_TRUE(abandoned.begin());
        ASSERT_TRUE(abandoned.write("half", 4));
        EXPECT_EQ(entries(), 2) << "the new file beside the target";
    }
    EXPECT_EQ(content(), "old content, longer than the new");
    EXPECT_EQ(entries(), 1) << "an abandoned new file is removed";

    platform::FileReplacer replacer(target);
    ASSERT_TRUE(replacer.begin());
    ASSERT_TRUE(replacer.write("new", 3));
    ASSERT_TRUE(replacer.commit());
    EXPECT_EQ(content(), "new");
    EXPECT_EQ(entries(), 1);

    platform::FileReplacer nowhere(wideDir(dir) + L"missing\\x.json");
    EXPECT_FALSE(nowhere.begin());
    EXPECT_FALSE(nowhere.commit());
}

TEST(WindowsServices, TheLastErrorIsTheSystemsTextOnOneLine) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    const std::string text = platform::lastErrorText();
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_NE(platform::lastErrorText(), text);
}

TEST(WindowsServices, TheProgramsFolderHoldsTheProgramAndNoAddressOpensWhatIsNotThere) {
    const std::string folder = platform::executableDirectory();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '\\');
    EXPECT_TRUE(platform::pathExists(Utf8ToWide(folder) + L"unit_platform.exe")) << folder;
    EXPECT_FALSE(platform::openUrl(folder + "no-such-page.html"));
}

// A console's Ctrl+C reaches the UI thread as a request to end, and the process lives on.
TEST(WindowsServices, AConsoleInterruptBecomesARequestOnTheUiThread) {
    std::atomic<int> requests{0};
    const DWORD ui = GetCurrentThreadId();
    std::atomic<bool> onUiThread{false};
    platform::handleTerminationRequests([&] {
        onUiThread = GetCurrentThreadId() == ui;
        ++requests;
        platform::MessageLoop::ui().quit(7);
    });
    // A console of its own: ctest starts the tests without one.
    FreeConsole();
    ASSERT_TRUE(AllocConsole()) << platform::lastErrorText();
    ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << platform::lastErrorText();
    platform::MessageLoop::ui().setTimer(1, 20000, [] { platform::MessageLoop::ui().quit(-1); });
    EXPECT_EQ(platform::MessageLoop::ui().run(), 7) << "no request within 20 s";
    platform::MessageLoop::ui().killTimer(1);
    EXPECT_EQ(requests.load(), 1);
    EXPECT_TRUE(onUiThread.load());
}

// Wine has no camera: DirectShow's video input category is empty, which is no error.
TEST(WindowsServices, DirectShowListsNoCameraUnderWine) {
    ASSERT_TRUE(platform::initializeComponents());
    auto driver = platform::createSystemCameraDriver(nullptr);
    ASSERT_NE(driver, nullptr);
    EXPECT_TRUE(driver->devices().empty());
    EXPECT_EQ(driver->open(0), nullptr);
    platform::uninitializeComponents();
}

}  // namespace
