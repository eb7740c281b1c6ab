// The real program set up through its popups only, as a user clicks them (sound, filter, mouse
// styles, quality, start hotkey); the recording made with the new hotkey is checked for those
// settings: the settings file, the microphone's tone alone in the sound, the chosen pointer.
#include <SDL2/SDL_surface.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "RecorderProcess.h"
#include "TestServers.h"
#include "WindowProbe.h"
#include "engine/CursorOverlay.h"
#include "engine/CursorState.h"

namespace {

using namespace e2e;
using namespace std::chrono_literals;
using testsupport::runAndCapture;
using testsupport::waitFor;
using testsupport::WindowProbe;

constexpr double kMicTone = 1000;     // Hz, played into the microphone
constexpr double kSpeakerTone = 440;  // Hz, played on the speaker
constexpr int kRate = 44100;

testsupport::PulseServer& pulse() {
    return *testsupport::PulseEnvironment::server();
}

// A microphone of its own for the test: the monitor of a second null sink is the default
// source while it lives, and a tone plays into that sink; another tone plays on the speaker
// (the default sink). The previous default source comes back at the end.
class TonesPlaying {
public:
    TonesPlaying() {
        previousSource_ = trim(pulse().pactl({"get-default-source"}));
        module_ = trim(pulse().pactl({"load-module", "module-null-sink", "sink_name=testmic"}));
        pulse().pactl({"set-default-source", "testmic.monitor"});
        mic_ = play("testmic", kMicTone);
        speaker_ = play("@DEFAULT_SINK@", kSpeakerTone);
    }
    ~TonesPlaying() {
        mic_.reset();
        speaker_.reset();
        pulse().pactl({"set-default-source", previousSource_});
        pulse().pactl({"unload-module", module_});
    }
    bool ok() const { return !module_.empty() && mic_ && speaker_; }

private:
    static std::string trim(std::string s) { return s.substr(0, s.find_last_not_of("\n ") + 1); }
    std::unique_ptr<testsupport::ChildProcess> play(const std::string& sink, double hz) {
        const std::string wav = dir_.file(std::to_string(static_cast<int>(hz)) + ".wav");
        int status = -1;
        runAndCapture({"sox", "-n", "-r", std::to_string(kRate), "-c", "2", wav, "synth", "120",
                       "sine", std::to_string(hz), "vol", "0.5"},
                      &status);
        if (status != 0) {
            return nullptr;
        }
        testsupport::ChildProcess::Options options;
        options.env = pulse().clientEnv();
        return std::make_unique<testsupport::ChildProcess>(
            std::vector<std::string>{"paplay", "--device=" + sink, wav}, options);
    }

    testsupport::TempDir dir_;
    std::string previousSource_;
    std::string module_;
    std::unique_ptr<testsupport::ChildProcess> mic_;
    std::unique_ptr<testsupport::ChildProcess> speaker_;
};

// The visible popup (popups are titled "Popup") once its control shows.
WindowProbe popupWith(const std::string& control) {
    return waitFor(
               [&] {
                   const WindowProbe p = WindowProbe::find("Popup", 1s);
                   return p.id() != 0 && p.controls().count(control) != 0;
               },
               10s, "a popup with " + control)
               ? WindowProbe::find("Popup", 1s)
               : WindowProbe();
}

// The power of one frequency in the samples (Goertzel), per sample.
double powerAt(const std::vector<float>& x, double hz) {
    const double w = 2 * M_PI * hz / kRate;
    double s1 = 0, s2 = 0;
    for (float v : x) {
        const double s = v + 2 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    return (s1 * s1 + s2 * s2 - 2 * std::cos(w) * s1 * s2) / static_cast<double>(x.size());
}

std::vector<float> decodeSound(const std::string& video) {
    const std::string raw = runAndCapture({"ffmpeg", "-v", "error", "-i", video, "-vn", "-ac", "1",
                                           "-ar", std::to_string(kRate), "-f", "f32le", "-"});
    std::vector<float> samples(raw.size() / sizeof(float));
    std::memcpy(samples.data(), raw.data(), samples.size() * sizeof(float));
    return samples;
}

// One picture of the recording at `seconds`, the square of side `side` centred on (x, y), as
// 0xRRGGBB words.
std::vector<uint32_t> pictureAround(const std::string& video, double seconds, int x, int y,
                                    int side) {
    const std::string crop = "crop=" + std::to_string(side) + ":" + std::to_string(side) + ":" +
                             std::to_string(x - side / 2) + ":" + std::to_string(y - side / 2);
    const std::string rgb =
        runAndCapture({"ffmpeg", "-v", "error", "-ss", std::to_string(seconds), "-i", video, "-vf",
                       crop, "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "rgb24", "-"});
    std::vector<uint32_t> words;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
        words.push_back(static_cast<uint8_t>(rgb[i]) << 16 | static_cast<uint8_t>(rgb[i + 1]) << 8 |
                        static_cast<uint8_t>(rgb[i + 2]));
    }
    return words;
}

// How far, on average per channel, the picture is from the pointer of `style` over the
// aperture `shapeId` drawn on the picture's corner colour.
double distanceFromStyle(const std::vector<uint32_t>& picture, int side, int pointStyle,
                         uint32_t shapeId) {
    CursorState state;
    const uint32_t pointer = 101 + 3 * (pointStyle % 4) + pointStyle / 4;
    CursorOverlay::compose(state, pointer, shapeId, static_cast<uint32_t>(-1));
    state.x = side / 2;
    state.y = side / 2;
    std::unique_ptr<SDL_Surface, decltype(&SDL_FreeSurface)> surface(
        SDL_CreateRGBSurfaceWithFormat(0, side, side, 32, SDL_PIXELFORMAT_ARGB8888),
        &SDL_FreeSurface);
    SDL_FillRect(surface.get(), nullptr, 0xFF000000 | picture.front());
    CursorOverlay::draw(surface.get(), {0, 0, side, side}, state);
    double sum = 0;
    for (int y = 0; y < side; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(
            static_cast<const uint8_t*>(surface->pixels) + y * surface->pitch);
        for (int x = 0; x < side; ++x) {
            const uint32_t want = row[x], got = picture[static_cast<size_t>(y * side + x)];
            for (int shift : {16, 8, 0}) {
                sum += std::abs(static_cast<int>((want >> shift) & 0xFF) -
                                static_cast<int>((got >> shift) & 0xFF));
            }
        }
    }
    return sum / (side * side * 3);
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
    WindowProbe audio = popupWith("captureMic");
    ASSERT_NE(audio.id(), 0u);
    ASSERT_TRUE(audio.click("captureMic"));
    ASSERT_TRUE(audio.click("capturePla"));
    ASSERT_TRUE(audio.click("filterMic"));
    // The slider enables once the Store has switched the filter on.
    ASSERT_TRUE(waitFor([&] { return audio.controls()["wc"].enabled; }, 10s, "slider enabled"));
    const Rect slider = audio.controls()["wc"].rect;
    // The thumb (16 wide) travels the slider's width less its own: 60 of 100 is this point.
    ASSERT_TRUE(audio.clickAt(slider.left + 8 + (60 * (slider.width() - 16) + 50) / 100,
                              (slider.top + slider.bottom) / 2));
    EXPECT_TRUE(audio.awaitControl("wcCaption", "0.60", 10s));
    const auto sound = audio.controls();
    EXPECT_EQ(sound.at("captureMic").image.find("res='165'") != std::string::npos, true)
        << "the microphone did not stay on: " << sound.at("captureMic").image;
    EXPECT_NE(sound.at("capturePla").image.find("res='162'"), std::string::npos);

    // Mouse styles: pointer 5, pressed ring none, ring 2. The sound popup goes as the toolbar
    // takes the focus.
    ASSERT_TRUE(toolbar.click("settingBtn")) << toolbar.controls().size() << " toolbar controls";
    WindowProbe settings = popupWith("pointTile5");
    ASSERT_NE(settings.id(), 0u);
    // The style panel is taller than the popup: the wheel brings each choice into view first.
    const Rect panel = settings.controls()["mouseSettingTabPanel"].rect;
    const auto scrollTo = [&](const std::string& name) {
        return waitFor(
            [&] {
                const Rect r = settings.controls()[name].rect;
                if (r.top >= panel.top && r.bottom <= panel.bottom) {
                    return true;
                }
                settings.clickAt((panel.left + panel.right) / 2, (panel.top + panel.bottom) / 2,
                                 r.top < panel.top ? "4" : "5");
                return false;
            },
            10s, name + " scrolled into view");
    };
    ASSERT_TRUE(scrollTo("pointTile5"));
    ASSERT_TRUE(settings.click("pointTile5"));
    ASSERT_TRUE(scrollTo("pressNone"));
    ASSERT_TRUE(settings.click("pressNone"));
    ASSERT_TRUE(scrollTo("shapeTile2"));
    ASSERT_TRUE(settings.click("shapeTile2"));

    // Quality "High"; GPU is refused by the program (it stays CPU, as the file shows below).
    ASSERT_TRUE(settings.click("captureSettingTab"));
    ASSERT_TRUE(
        waitFor([&] { return settings.controls()["text:High"].visible; }, 10s, "the capture tab"));
    ASSERT_TRUE(settings.click("text:GPU"));
    ASSERT_TRUE(settings.click("text:High"));

    // The start hotkey: Ctrl+F7 pressed in its field, which shows it once the Store took it.
    ASSERT_TRUE(settings.click("hotkeySettingTab"));
    ASSERT_TRUE(
        waitFor([&] { return settings.controls()["text:F8"].visible; }, 10s, "the hotkey tab"));
    ASSERT_TRUE(settings.click("text:F8"));
    recorder.press("ctrl+F7");
    EXPECT_TRUE(settings.awaitControl("text:Ctrl F7", "", 10s));
    ASSERT_TRUE(settings.click("closeBtn"));
    ASSERT_TRUE(
        waitFor([&] { return !settings.exists() || WindowProbe::find("Popup", 1s).id() == 0; }, 10s,
                "the setting popup closed"));

    // Record with the new hotkey, the pointer still on the empty desktop.
    const int mouseX = 1500, mouseY = 800;
    ASSERT_TRUE(testsupport::movePointer({mouseX, mouseY}));
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
    std::vector<float> samples = decodeSound(recorder.video());
    ASSERT_GT(samples.size(), static_cast<size_t>(2 * kRate));
    samples.erase(samples.begin(), samples.begin() + kRate / 2);  // the start settles
    const double mic = powerAt(samples, kMicTone);
    const double speaker = powerAt(samples, kSpeakerTone);
    std::printf("microphone tone %.3g, speaker tone %.3g\n", mic, speaker);
    EXPECT_GT(mic, 1e-3) << "the microphone's tone is not in the recording";
    EXPECT_LT(speaker, mic / 1000) << "the speaker was recorded";

    const int side = 96;
    const std::vector<uint32_t> picture =
        pictureAround(recorder.video(), 2.0, mouseX, mouseY, side);
    ASSERT_EQ(picture.size(), static_cast<size_t>(side * side));
    int best = -1;
    double bestDistance = 1e9;
    for (int style = 0; style < 12; ++style) {
        const double d = distanceFromStyle(picture, side, style, 131);
        if (d < bestDistance) {
            bestDistance = d;
            best = style;
        }
    }
    EXPECT_EQ(best, 5) << "the pictures show another pointer (distance " << bestDistance << ")";
    EXPECT_LT(bestDistance, 6.0);
}

}  // namespace
