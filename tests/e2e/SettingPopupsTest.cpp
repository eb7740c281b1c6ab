// The real program set up through its popups only, as a user clicks them (sound, filter, mouse
// styles, quality, start hotkey); the recording made with the new hotkey is checked for those
// settings: the settings file, the microphone's tone alone in the sound, the chosen pointer.
#include <SDL2/SDL_surface.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "AudioSignals.h"
#include "RecorderProcess.h"
#include "TestServers.h"
#include "WindowProbe.h"
#include "engine/CursorOverlay.h"
#include "engine/CursorState.h"

namespace {

using namespace e2e;
using namespace std::chrono_literals;
using testsupport::waitFor;
using testsupport::WindowProbe;

// A microphone of the test's own while it lives: the monitor of a second null sink is the
// default source and a 1 kHz tone plays into that sink; 440 Hz plays on the speaker.
class TonesPlaying {
public:
    TonesPlaying() {
        previousSource_ = pactl({"get-default-source"});
        module_ = pactl({"load-module", "module-null-sink", "sink_name=testmic"});
        pactl({"set-default-source", "testmic.monitor"});
        testsupport::ChildProcess::Options options;
        options.env = testsupport::PulseEnvironment::server()->clientEnv();
        for (const auto& [sink, hz] :
             {std::pair{"testmic", "1000"}, std::pair{"@DEFAULT_SINK@", "440"}}) {
            const std::string wav = dir_.file(std::string(hz) + ".wav");
            ok_ = ok_ && audiotest::writeTone(wav, "120", hz);
            players_.emplace_back(
                std::vector<std::string>{"paplay", "--device=" + std::string(sink), wav}, options);
        }
    }
    ~TonesPlaying() {
        players_.clear();
        pactl({"set-default-source", previousSource_});
        pactl({"unload-module", module_});
    }
    bool ok() const { return ok_ && !module_.empty(); }

private:
    static std::string pactl(const std::vector<std::string>& args) {
        const std::string out = testsupport::PulseEnvironment::server()->pactl(args);
        return out.substr(0, out.find_last_not_of("\n ") + 1);
    }

    testsupport::TempDir dir_;
    std::string previousSource_, module_;
    bool ok_ = true;
    std::vector<testsupport::ChildProcess> players_;
};

// What ffmpeg decodes with these arguments, as raw values of T.
template <typename T>
std::vector<T> ffmpegRaw(std::vector<std::string> args) {
    args.insert(args.begin(), {"ffmpeg", "-v", "error"});
    const std::string raw = testsupport::runAndCapture(args);
    std::vector<T> values(raw.size() / sizeof(T));
    std::memcpy(values.data(), raw.data(), values.size() * sizeof(T));
    return values;
}

// How far, on average per channel, a square 0xAARRGGBB picture centred on the pointer is from
// pointer style `style` over aperture 131, drawn on the picture's corner colour.
double distanceFromStyle(const std::vector<uint32_t>& picture, int side, int style) {
    CursorState state;
    CursorOverlay::compose(state, 101 + 3 * (style % 4) + style / 4, 131, uint32_t(-1));
    state.x = state.y = side / 2;
    std::unique_ptr<SDL_Surface, decltype(&SDL_FreeSurface)> drawn(
        SDL_CreateRGBSurfaceWithFormat(0, side, side, 32, SDL_PIXELFORMAT_ARGB8888),
        &SDL_FreeSurface);
    SDL_FillRect(drawn.get(), nullptr, picture.front());
    CursorOverlay::draw(drawn.get(), {0, 0, side, side}, state);
    double sum = 0;
    for (size_t i = 0; i < picture.size(); ++i) {
        const uint32_t want = static_cast<const uint32_t*>(drawn->pixels)[i];
        for (int shift : {16, 8, 0}) {
            sum += std::abs(int((want >> shift) & 0xFF) - int((picture[i] >> shift) & 0xFF));
        }
    }
    return sum / double(picture.size() * 3);
}

TEST(SettingPopups, SettingsChosenInThePopupsAreWhatTheRecordingUses) {
    TonesPlaying tones;
    ASSERT_TRUE(tones.ok()) << "the test microphone or its tones could not be set up";
    // No settings file yet: the program starts from its defaults and writes this one.
    Recorder recorder({"-video", "out/rec.mp4", "-setting", "chosen.json", "-log", "trace.log"});
    recorder.awaitLog("] Start\n");
    const WindowProbe toolbar = WindowProbe::find("Screen Capturer");
    ASSERT_NE(toolbar.id(), 0u) << recorder.stderrText();

    // Sound: microphone on, speaker off, the filter on at 0.60.
    ASSERT_TRUE(toolbar.click("audioBtn"));
    const WindowProbe audio = popupWith("captureMic");
    ASSERT_TRUE(audio.click("captureMic") && audio.click("capturePla") && audio.click("filterMic"));
    // The slider enables once the Store has switched the filter on.
    ASSERT_TRUE(waitFor([&] { return audio.controls()["wc"].enabled; }, 10s, "slider enabled"));
    const Rect slider = audio.controls()["wc"].rect;
    // The thumb (16 wide) travels the slider's width less its own: 60 of 100 is this point.
    ASSERT_TRUE(audio.clickAt(slider.left + 8 + (60 * (slider.width() - 16) + 50) / 100,
                              (slider.top + slider.bottom) / 2));
    EXPECT_TRUE(audio.awaitControl("wcCaption", "0.60", 10s));
    const auto sound = audio.controls();
    EXPECT_NE(sound.at("captureMic").image.find("res='165'"), std::string::npos);
    EXPECT_NE(sound.at("capturePla").image.find("res='162'"), std::string::npos);

    // Mouse styles: pointer 5, pressed ring none, ring 2. The sound popup goes as the toolbar
    // takes the focus. The style panel is taller than the popup: the wheel brings each choice
    // into view first.
    ASSERT_TRUE(toolbar.click("settingBtn"));
    const WindowProbe settings = popupWith("pointTile5");
    const Rect panel = settings.controls()["mouseSettingTabPanel"].rect;
    for (const std::string name : {"pointTile5", "pressNone", "shapeTile2"}) {
        ASSERT_TRUE(waitFor(
            [&] {
                const Rect r = settings.controls()[name].rect;
                if (r.top >= panel.top && r.bottom <= panel.bottom) {
                    return true;
                }
                settings.clickAt((panel.left + panel.right) / 2, (panel.top + panel.bottom) / 2,
                                 r.top < panel.top ? "4" : "5");
                return false;
            },
            10s, name + " scrolled into view"));
        ASSERT_TRUE(settings.click(name));
    }
    // The tiles' images run down the columns; pointer 5 and ring 2 are compared with the
    // recording below.
    for (const auto& [tile, image] :
         {std::pair{"pointTile5", "res='105'"}, std::pair{"pressTile4", "res='114'"},
          std::pair{"shapeTile2", "res='131'"}}) {
        EXPECT_NE(settings.controls()[tile].image.find(image), std::string::npos) << tile;
    }

    // Quality "High"; GPU is refused by the program (it stays CPU, as the file shows below).
    // The underline moves below the tab.
    ASSERT_TRUE(settings.click("captureSettingTab"));
    ASSERT_TRUE(
        waitFor([&] { return settings.controls()["text:High"].visible; }, 10s, "the capture tab"));
    EXPECT_EQ(settings.controls()["bottomLine"].rect.left,
              settings.controls()["captureSettingTab"].rect.left);
    ASSERT_TRUE(settings.click("text:GPU") && settings.click("text:High"));

    // The start hotkey: Ctrl+F7 pressed in its field, which shows it once the Store took it.
    ASSERT_TRUE(settings.click("hotkeySettingTab"));
    ASSERT_TRUE(
        waitFor([&] { return settings.controls()["text:F8"].visible; }, 10s, "the hotkey tab"));
    ASSERT_TRUE(settings.click("text:F8"));
    recorder.press("ctrl+F7");
    EXPECT_TRUE(settings.awaitControl("text:Ctrl F7", "", 10s));
    ASSERT_TRUE(settings.click("closeBtn"));
    ASSERT_TRUE(waitFor([&] { return WindowProbe::find("Popup", 1s).id() == 0; }, 10s,
                        "the setting popup closed"));

    // Record with the new hotkey, the pointer still on the empty desktop.
    ASSERT_TRUE(testsupport::movePointer({1500, 800}));
    recorder.press("ctrl+F7");
    recorder.awaitThread("video");
    std::this_thread::sleep_for(4s);  // the length of the recording
    recorder.press("F10");
    recorder.awaitEnd();

    const std::string saved = testsupport::readFile(recorder.file("chosen.json"));
    for (const char* part :
         {R"("quality":1,)", R"("mouse":{"pointStyle":5,"pressStyle":-1,"shapeStyle":2})",
          R"("captureMethod":0})",
          R"("captureMicrophone":1,"capturePlayback":0,"filterMic":1,"filterWC":0.6})",
          R"({"action":0,"keycode":"100118"})"}) {
        EXPECT_NE(saved.find(part), std::string::npos) << part << "\nnot in\n" << saved;
    }

    expectFinished(recorder.video(), 2);
    const std::vector<float> samples = ffmpegRaw<float>(
        {"-i", recorder.video(), "-vn", "-ac", "1", "-ar", "44100", "-f", "f32le", "-"});
    ASSERT_GT(samples.size(), 2u * 44100);
    // From half a second on, when the start has settled.
    const double mic = audiotest::tonePower(samples, 44100, 22050, samples.size(), 1000);
    const double speaker = audiotest::tonePower(samples, 44100, 22050, samples.size(), 440);
    EXPECT_GT(mic, 1e-3) << "the microphone's tone is not in the recording";
    EXPECT_LT(speaker, mic / 1000) << "the speaker was recorded";

    // The picture around the pointer (1500, 800), two seconds in, is nearest to pointer style 5.
    const int side = 96;
    const std::vector<uint32_t> picture =
        ffmpegRaw<uint32_t>({"-ss", "2", "-i", recorder.video(), "-vf", "crop=96:96:1452:752",
                             "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "bgra", "-"});
    ASSERT_EQ(picture.size(), size_t(side * side));
    std::vector<double> distances;
    for (int style = 0; style < 12; ++style) {
        distances.push_back(distanceFromStyle(picture, side, style));
    }
    const auto best = std::min_element(distances.begin(), distances.end());
    EXPECT_EQ(best - distances.begin(), 5) << "the pictures show another pointer";
    EXPECT_LT(*best, 6.0);
}

}  // namespace
