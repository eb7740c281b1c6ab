#include "app/App.h"

#include <cstdio>

#include "app/CommandLine.h"
#include "app/Directories.h"
#include "base/Log.h"
#include "flux/ActionDispatcher.h"
#include "flux/Actions.h"
#include "flux/Store.h"
#include "platform/MessageLoop.h"
#include "platform/Session.h"
#include "platform/Strings.h"
#include "platform/TerminationSignals.h"
#include "text/UiText.h"
#include "views/ViewWrapper.h"

int App::run(const std::vector<std::wstring>& args) {
    if (AsksForHelp(args)) {
        std::fputs(kUsage, stdout);
        std::fflush(stdout);
        return 0;
    }
    const StartupOptions options = ReadStartupOptions(ParseCommandLine(args));
    languageIndex = options.languageIndex;
    if (options.logPath != kNone) {
        EnableLog(WideToAnsi(options.logPath));
    }

    if (options.videoPath == kNone) {
        std::fputs("Please set video or camera path\n", stdout);
        std::fflush(stdout);
        return 0;
    }

    // Failures show later, when the encoder cannot open its file.
    for (const std::wstring* path :
         {&options.videoPath, &options.cameraPath, &options.settingPath}) {
        if (*path != kNone) {
            const std::wstring folder = DirectoryPart(*path);
            if (!folder.empty()) {
                EnsureDirectory(folder);
            }
        }
    }

    // A request to end the program ends the recording as the end hotkey does, so the files
    // are finished rather than lost.
    platform::handleTerminationRequests(
        [] { ActionDispatcher::instance().dispatch(Action::EndRecording, nullptr); });

    platform::disableInputMethod();
    if (!platform::initializeComponents()) {
        return -1;
    }

    SC_LOG("App", "Instance gui");
    auto* view = new ViewWrapper();  // lives until the process ends

    SC_LOG("App", "Add action-bindings");
    for (int32_t id : {Action::RecordingStarted, Action::CountDownStart, Action::RecordingPaused,
                       Action::RecordingResumed, Action::RecordingEnded}) {
        ActionDispatcher::instance().addListener(id, view);
    }

    SC_LOG("App", "Initialize gui");
    view->InitWindows(nullptr);

    SC_LOG("App", "Instance store");
    Store& store = Store::instance();
    store.setCameraPath(options.cameraPath);
    store.setVideoPath(options.videoPath);
    store.setSettingPath(options.settingPath);

    SC_LOG("App", "Initialize store");
    store.init();

    SC_LOG("App", "Start");
    const int code = platform::MessageLoop::ui().run();
    platform::uninitializeComponents();
    return code;
}
