// Pictures of the recorder's windows for the README, rendered off-screen from the real
// windows (their layouts, images, fonts and window code) in English and in Chinese:
//
//   window-pictures <folder>
//
// writes <window>-en.png and <window>-zh.png there. No display is needed.
#include <cstdio>
#include <filesystem>
#include <string>

#include "text/UiText.h"
#include "ui/render/Canvas.h"
#include "views/Alert.h"
#include "views/AppWin.h"
#include "views/CaptureDropDownList.h"
#include "views/CountDown.h"
#include "views/GeneratingWin.h"
#include "views/popups/AudioSetting.h"
#include "views/popups/CameraSetting.h"
#include "views/popups/SettingPopup.h"

namespace {

bool save(ui::WindowImplBase& window, const std::filesystem::path& folder, const char* name,
          const char* language) {
    ui::Canvas canvas(0, 0);
    window.RenderTo(canvas);
    const std::string path = (folder / (std::string(name) + "-" + language + ".png")).string();
    if (canvas.width() == 0 || !canvas.savePng(path)) {
        std::fprintf(stderr, "window-pictures: could not write %s\n", path.c_str());
        return false;
    }
    std::printf("%s\n", path.c_str());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: window-pictures <folder>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    bool ok = true;
    for (const int32_t lang : {0, 1}) {
        languageIndex = lang;
        const char* language = lang == 0 ? "en" : "zh";

        AppWin toolbar;
        toolbar.CreateOffscreen(Text::toolbarTitle.get(), ui::WS_POPUP,
                                ui::WS_EX_COMPOSITED | ui::WS_EX_TOPMOST);
        ok = save(toolbar, folder, "toolbar", language) && ok;

        // The toolbar's popups as the default settings show them (this machine's cameras).
        AudioSetting& audio = *toolbar.AudioPopup();
        audio.SetCaptureMicrophone(false);
        audio.SetCapturePlayback(true);
        audio.SetFilterMic(true);
        audio.SetFilterCoefficient(0.4);
        ok = save(audio, folder, "audio-setting", language) && ok;

        SettingPopup& settings = *toolbar.SettingsPopup();
        settings.SetPointStyle(8);
        settings.SetPressStyle(-1);
        settings.SetShapeStyle(-1);
        settings.SetCaptureMethod(0);
        settings.SetQuality(0);
        const wchar_t* const keys[] = {L"000119", L"000120", L"000121"};
        for (int32_t i = 0; i < 3; ++i) {
            settings.SetHotkeyText(i, keys[i]);
        }
        ok = save(settings, folder, "setting-mouse", language) && ok;
        settings.SelectTab(1);
        ok = save(settings, folder, "setting-capture", language) && ok;
        settings.SelectTab(2);
        ok = save(settings, folder, "setting-hotkey", language) && ok;

        CameraSetting& camera = *toolbar.CameraPopup();
        camera.SetCaptureCamera(false);
        ok = save(camera, folder, "camera-setting", language) && ok;

        CaptureDropDownList dropDown(toolbar.GetHWND(), nullptr);
        dropDown.CreatePopup(true);
        ok = save(dropDown, folder, "capture-drop-down", language) && ok;

        std::wstring hint = Text::countDownHint.get();
        hint.replace(hint.find(L"%s"), 2, L"F10");
        CountDown countDown(0, hint, true);
        ok = save(countDown, folder, "count-down", language) && ok;

        Alert* alert = Alert::Show(Text::initFailed.get(), 1000, 3000, nullptr, true);
        ok = save(*alert, folder, "alert", language) && ok;
        alert->CloseAlert();

        GeneratingWin progress(true);
        progress.SetTaskName(Text::progressTexts[0].get());
        progress.SetProgress(60);
        ok = save(progress, folder, "progress", language) && ok;
    }
    return ok ? 0 : 1;
}
