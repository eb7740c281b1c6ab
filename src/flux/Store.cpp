#include "flux/Store.h"

#include "base/Log.h"
#include "base/Utf8.h"
#include "engine/Controller.h"
#include "flux/ActionDispatcher.h"
#include "flux/ActionPayloads.h"
#include "flux/Actions.h"
#include "flux/CaptureRectRules.h"
#include "flux/ControllerSources.h"
#include "flux/InputRouter.h"
#include "flux/RecordingSources.h"
#include "flux/SettingsFile.h"
#include "flux/StoreTables.h"
#include "input/InputManager.h"
#include "platform/Clock.h"
#include "platform/MessageLoop.h"
#include "platform/Screen.h"
#include "platform/Url.h"
#include "platform/WaveFormat.h"
#include "text/UiText.h"

namespace {

constexpr auto kMicrophone = RecordingSources::Microphone;
constexpr auto kPlayback = RecordingSources::Playback;
const wchar_t* const kNone = L"none";

}  // namespace

Store& Store::instance() {
    // The Store and what it drives live until the process ends.
    static Store* store = [] {
        auto* controller = new Controller();
        auto* sources = new ControllerSources(*controller);
        platform::Screen* screen = platform::Screen::open().release();
        return new Store(ActionDispatcher::instance(), *controller, *sources, screen,
                         platform::Clock::system(), InputRouter::manager());
    }();
    return *store;
}

Store::Store(ActionDispatcher& dispatcher, RecordingEngine& engine, RecordingSources& sources,
             platform::Screen* screen, const platform::Clock& clock, InputManager& input)
    : dispatcher_(dispatcher),
      engine_(engine),
      sources_(sources),
      screen_(screen),
      clock_(clock),
      input_(input) {
    cameraPath_ = kNone;
    settingPath_ = kNone;
    videoPath_ = kNone;

    // Physical pixels per logical pixel, where the system scales the desktop.
    if (screen_) {
        const platform::DisplayMetrics m = screen_->displayMetrics();
        if (m.modeKnown) {
            scaleX_ = CaptureRectRules::displayScale(m.modeWidth, m.logicalWidth);
            scaleY_ = CaptureRectRules::displayScale(m.modeHeight, m.logicalHeight);
        }
    }

    // The order of registration is part of the contract with the dispatcher.
    static const int32_t kRequests[] = {17, 39, 40, 44, 41, 42, 43, 1,  2,  3,  4,
                                        5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,
                                        16, 46, 48, 49, 50, 58, 60, 62, 66, 45};
    for (int32_t id : kRequests) {
        dispatcher_.addListener(id, this);
    }

    // A file that refuses data (a full disk) is finished at once, as the end hotkey would:
    // nothing recorded after that point could be kept anyway.
    engine_.setOnWriteFailure([this] {
        platform::MessageLoop::ui().post([this] {
            if (state_ == StoreState::Recording || state_ == StoreState::Paused) {
                SC_LOG("Store", "Output refused data; ending the recording");
                endRecording();
            }
        });
    });

    input_.installHooks();
}

Store::~Store() = default;

void Store::dispatch(int32_t actionId, void* payload) {
    dispatcher_.dispatch(actionId, payload);
}

void Store::onAction(int32_t actionId, void* payload) {
    const auto asInt = [payload] { return *static_cast<const int32_t*>(payload); };
    const auto asBool = [payload] { return *static_cast<const bool*>(payload); };
    switch (actionId) {
        case Action::SetCaptureMethod:
            setCaptureMethod(asInt());
            break;
        case Action::SetVideoBitrate:
            setVideoBitrate(asInt());
            break;
        case Action::SetCaptureRect:
            setCaptureRect(*static_cast<const Rect*>(payload));
            break;
        case Action::SetCaptureVideo:
            video_.isCapture = asInt();
            break;
        case Action::SetFrameRate:
            setFrameRate(asInt());
            break;
        case Action::SetSampleRate:
            setSampleRate(asInt());
            break;
        case Action::SetAudioBitrate:
            setAudioBitrate(asInt());
            break;
        case Action::SetChannels:
            setChannels(asInt());
            break;
        case Action::SetBits:
            setBits(asInt());
            break;
        case Action::SetCaptureMicrophone:
            setCaptureMicrophone(asBool());
            break;
        case Action::SetCapturePlayback:
            setCapturePlayback(asBool());
            break;
        case Action::SetPointStyle:
            setPointStyle(asInt());
            break;
        case Action::SetShapeStyle:
            setShapeStyle(asInt());
            break;
        case Action::SetPressStyle:
            setPressStyle(asInt());
            break;
        case Action::SetQuality:
            setQuality(asInt());
            break;
        case Action::SetHotkey:
            setHotkey(*static_cast<const HotkeyPayload*>(payload));
            break;
        case Action::ChooseCaptureArea:
            chooseCaptureArea(asInt());
            break;
        case Action::StartRecording:
            startRecording();
            break;
        case Action::CountDownFinished:
            beginRecording();
            break;
        case Action::EndRecording:
            endRecording();
            break;
        case Action::TogglePause:
            if (state_ == StoreState::Recording) {
                pause();
            } else if (state_ == StoreState::Paused) {
                resume();
            }
            break;
        case Action::HotkeyPressed:
            onHotkey(*static_cast<const std::string*>(payload));
            break;
        case Action::SetFilterMic:
            setFilterMic(asBool());
            break;
        case Action::SetFilterCoefficient:
            setFilterCoefficient(*static_cast<const double*>(payload));
            break;
        case Action::SetCaptureCamera:
            setCaptureCamera(asBool());
            break;
        case Action::SetOnlyCaptureCamera:
            setOnlyCaptureCamera(asBool());
            break;
        case Action::SelectCameraDevice:
            selectCamera(asInt());
            break;
        case Action::TestCamera:
            testCamera(payload);
            break;
        default:
            break;  // registered but without behaviour
    }
}

void Store::init() {
    audio_.sampleRate = 44100;
    audio_.channels = 2;
    audio_.bits = 16;
    video_.fps = 0;
    setQuality(0);
    setPressStyle(-1);
    setShapeStyle(-1);
    setPointStyle(8);

    if (sources_.soundOn(kMicrophone)) {
        sources_.closeSound(kMicrophone);
    }
    audio_.captureMicrophone = false;
    notifyBool(Action::CaptureMicrophoneChanged, false);
    setCapturePlayback(true);
    video_.isCapture = 1;
    setCaptureCamera(false);
    camera_.isOnlyCaptureCamera = false;
    sources_.setOnlyCamera(false);
    notifyBool(Action::OnlyCaptureCameraChanged, false);
    video_.captureMethod = 0;
    notifyInt(Action::CaptureMethodChanged, 0);
    setHotkey({HotkeyTable::kStart, HotkeyTable::kDefaultStart});
    setHotkey({HotkeyTable::kPauseResume, HotkeyTable::kDefaultPauseResume});
    setHotkey({HotkeyTable::kEnd, HotkeyTable::kDefaultEnd});
    audio_.filterMic = false;
    sources_.setMicrophoneFilter(false);
    notifyBool(Action::FilterMicChanged, false);
    setFilterCoefficient(0.4);

    readSettings();
    setCaptureRect(CaptureRectRules::startupRect(video_.loadedRect, desktopRect()));
}

std::string Store::endHotkeyCode() {
    return hotkeys_.get(HotkeyTable::kEnd);
}

// ---- settings requests --------------------------------------------------------------------

void Store::setQuality(int32_t quality) {
    const auto rates = StoreTables::qualityBitrates(quality);
    if (!rates) {
        return;  // past the table: nothing to index
    }
    quality_ = quality;
    video_.bitrate = rates->video;
    audio_.bitrate = rates->audio;
    notifyInt(Action::QualityChanged, quality);
}

void Store::setIsCapture(bool on) {
    video_.isCapture = on ? 1 : 0;
}
void Store::setLoadedRect(const Rect& rect) {
    video_.loadedRect = rect;
}
void Store::setVideoBitrate(int32_t bitrate) {
    video_.bitrate = bitrate;
}

void Store::setFrameRate(int32_t fpsIndex) {
    if (StoreTables::isFrameRateIndex(fpsIndex)) {
        video_.fps = fpsIndex;
    }
}

void Store::setCaptureMethod(int32_t method) {
    if (method == 1) {
        return;
    }
    video_.captureMethod = method;
    notifyInt(Action::CaptureMethodChanged, method);
}

void Store::setSampleRate(int32_t rate) {
    audio_.sampleRate = rate;
}
void Store::setAudioBitrate(int32_t bitrate) {
    audio_.bitrate = bitrate;
}
void Store::setChannels(int32_t channels) {
    audio_.channels = channels;
}
void Store::setBits(int32_t bits) {
    audio_.bits = bits;
}

void Store::setCaptureMicrophone(bool on) {
    if (on) {
        if (sources_.openSound(kMicrophone) < 0) {
            showMessage(Text::microphoneFailed.getDeviceMessage());
            on = false;
        }
    } else if (sources_.soundOn(kMicrophone)) {
        sources_.closeSound(kMicrophone);
    }
    audio_.captureMicrophone = on;
    notifyBool(Action::CaptureMicrophoneChanged, on);
}

void Store::setCapturePlayback(bool on) {
    if (on) {
        if (sources_.openSound(kPlayback) < 0) {
            showMessage(Text::speakerFailed.getDeviceMessage());
            on = false;
        }
    } else if (sources_.soundOn(kPlayback)) {
        sources_.closeSound(kPlayback);
    }
    audio_.capturePlayback = on;
    notifyBool(Action::CapturePlaybackChanged, on);
}

void Store::setFilterMic(bool on) {
    audio_.filterMic = on;
    sources_.setMicrophoneFilter(on);
    notifyBool(Action::FilterMicChanged, on);
}

void Store::setFilterCoefficient(double wc) {
    audio_.filterWC = wc;
    sources_.setMicrophoneFilterCoefficient(wc);
    dispatch(Action::FilterCoefficientChanged, &wc);
}

void Store::setHotkey(const HotkeyPayload& hotkey) {
    hotkeys_.set(hotkey.action, hotkey.keycode);
    HotkeyPayload changed = hotkey;
    dispatch(Action::HotkeyChanged, &changed);
}

void Store::setPointStyle(int32_t style) {
    if (StoreTables::isStyle(style)) {
        mouse_.pointStyle = style;
        notifyInt(Action::PointStyleChanged, style);
    }
}

void Store::setShapeStyle(int32_t style) {
    if (StoreTables::isStyle(style)) {
        mouse_.shapeStyle = style;
        notifyInt(Action::ShapeStyleChanged, style);
    }
}

void Store::setPressStyle(int32_t style) {
    if (StoreTables::isStyle(style)) {
        mouse_.pressStyle = style;
        notifyInt(Action::PressStyleChanged, style);
    }
}

void Store::setCaptureRect(const Rect& rect) {
    video_.captureRect = CaptureRectRules::makeEven(rect);
    Rect changed = video_.captureRect;
    dispatch(Action::CaptureRectChanged, &changed);
}

void Store::chooseCaptureArea(int32_t item) {
    if (const auto rect = CaptureRectRules::chooseArea(item, desktopRect(), video_.loadedRect)) {
        setCaptureRect(*rect);
    }
}

// ---- camera ---------------------------------------------------------------------------------

void Store::selectCameraDevice(int32_t index) {
    selectCamera(index);
}

bool Store::selectCamera(int32_t index) {
    bool result = true;
    if (index < 0) {
        if (sources_.cameraPreviewRunning()) {
            sources_.closeCameraPreview();
        } else {
            sources_.releaseCamera();
        }
    } else {
        if (!camera_.isCaptureCamera) {
            return false;
        }
        if (sources_.openCamera(index) < 0) {
            index = -1;
            result = false;
        }
    }
    camera_.device = index;
    notifyInt(Action::CameraDeviceChanged, index);
    return result;
}

void Store::setCaptureCamera(bool on) {
    if (cameraPath_ == kNone) {
        camera_.isCaptureCamera = false;
        on = false;
    } else {
        camera_.isCaptureCamera = on;
        if (on) {
            if (!selectCamera(0)) {
                camera_.isCaptureCamera = false;
                on = false;
                showMessage(Text::cameraFailed.getDeviceMessage());
            }
        } else {
            selectCamera(-1);
        }
    }
    notifyBool(Action::CaptureCameraChanged, on);
}

void Store::setOnlyCaptureCamera(bool on) {
    camera_.isOnlyCaptureCamera = on;
    sources_.setOnlyCamera(on);
    if (on) {
        setCaptureCamera(true);
    }
    notifyBool(Action::OnlyCaptureCameraChanged, on);
}

void Store::testCamera(const void* payload) {
    const auto& p = *static_cast<const TestCameraPayload*>(payload);
    engine_.testCamera(p.instance, p.title, p.width, p.height, static_cast<uint16_t>(p.icon));
}

// ---- settings file --------------------------------------------------------------------------

StoreSettings Store::currentSettings() const {
    StoreSettings s;
    s.quality = quality_;
    s.pointStyle = mouse_.pointStyle;
    s.pressStyle = mouse_.pressStyle;
    s.shapeStyle = mouse_.shapeStyle;
    s.captureRect = video_.captureRect;
    s.videoBitrate = video_.bitrate;
    s.fps = video_.fps;
    s.captureMethod = video_.captureMethod;
    s.sampleRate = audio_.sampleRate;
    s.audioBitrate = audio_.bitrate;
    s.channels = audio_.channels;
    s.bits = audio_.bits;
    s.captureMicrophone = audio_.captureMicrophone;
    s.capturePlayback = audio_.capturePlayback;
    s.filterMic = audio_.filterMic;
    s.filterWC = audio_.filterWC;
    s.isCaptureCamera = camera_.isCaptureCamera;
    s.isOnlyCaptureCamera = camera_.isOnlyCaptureCamera;
    s.device = camera_.device;
    for (const auto& [action, keycode] : hotkeys_.entries()) {
        s.hotkeys.push_back({action, keycode});
    }
    return s;
}

void Store::readSettings() {
    SettingsFile(settingPath_).load(*this);
}

void Store::saveSettings() {
    SettingsFile(settingPath_).save(currentSettings());
}

// ---- recording life cycle -------------------------------------------------------------------

bool Store::audioFormatUnsupported() const {
    const auto tooMuch = [](const WaveFormat* f) {
        return f != nullptr && (f->samplesPerSec > 48000 || f->channels > 2);
    };
    return (sources_.soundOn(kMicrophone) && tooMuch(sources_.soundFormat(kMicrophone))) ||
           (sources_.soundOn(kPlayback) && tooMuch(sources_.soundFormat(kPlayback)));
}

// A start that failed has had the engine let go of the sound sources and the camera while the
// settings still show them on; they are opened again, or shown off where that fails, so that
// what the user sees is what is recorded.
void Store::reopenSources() {
    if (audio_.captureMicrophone && !sources_.soundOn(kMicrophone)) {
        setCaptureMicrophone(true);
    }
    if (audio_.capturePlayback && !sources_.soundOn(kPlayback)) {
        setCapturePlayback(true);
    }
    if (camera_.isCaptureCamera && camera_.device >= 0 && !sources_.cameraOpen()) {
        selectCamera(camera_.device);
    }
}

void Store::startRecording() {
    if (state_ != StoreState::Idle) {
        return;
    }
    reopenSources();
    if (CaptureRectRules::tooSmallToRecord(video_.captureRect)) {
        showMessage(Text::selectCaptureArea.get());
        return;
    }
    if (camera_.isCaptureCamera && camera_.device < 0) {
        showMessage(Text::selectCamera.get());
        return;
    }
    if (audioFormatUnsupported()) {
        MessageWithLinkPayload message{Text::unsupportedAudioFormat.get(), &Store::OpenHelpPage,
                                       1000, 10000};
        dispatch(Action::ShowMessageWithLink, &message);
        return;
    }
    saveSettings();

    const Rect physical = CaptureRectRules::toPhysical(video_.captureRect, scaleX_, scaleY_);
    // FFmpeg reads file names as UTF-8 on every system (on Windows it opens them by their
    // wide name); the ANSI code page would lose any character outside it.
    const std::string cameraPath = WideToUtf8(cameraPath_);
    const std::string videoPath = WideToUtf8(videoPath_);
    const uint32_t frameRate =
        static_cast<uint32_t>(StoreTables::frameRate(video_.fps).value_or(30));
    if (engine_.init(videoPath, physical, frameRate, video_.bitrate, cameraPath) < 0) {
        showMessage(Text::initFailed.get());
        return;
    }
    sources_.composeCursor(StoreTables::pointResource(mouse_.pointStyle),
                           StoreTables::shapeResource(mouse_.shapeStyle),
                           StoreTables::pressResource(mouse_.pressStyle));
    state_ = StoreState::CountingDown;
    dispatch(Action::CountDownStart, nullptr);
}

void Store::beginRecording() {
    if (state_ != StoreState::CountingDown) {
        return;
    }
    if (engine_.start() < 0) {
        // Left counting down, every hotkey but the end one would be ignored for good; from
        // Idle the user can try again.
        state_ = StoreState::Idle;
        showMessage(Text::initFailed.get());
        return;
    }
    state_ = StoreState::Recording;
    dispatch(Action::RecordingStarted, nullptr);
}

void Store::pause() {
    if (state_ != StoreState::Recording) {
        return;
    }
    state_ = StoreState::Paused;
    SC_LOG("Store", "Call controller pause");
    engine_.pause();
    SC_LOG("Store", "Call view pause");
    dispatch(Action::RecordingPaused, nullptr);
}

void Store::resume() {
    if (state_ != StoreState::Paused) {
        return;
    }
    state_ = StoreState::Recording;
    SC_LOG("Store", "Call controller resume");
    engine_.resume();
    SC_LOG("Store", "Call view resume");
    dispatch(Action::RecordingResumed, nullptr);
}

void Store::endRecording() {
    if (state_ == StoreState::Ended) {
        return;  // the files are being finished already
    }
    if (state_ == StoreState::Paused) {
        resume();
    }
    state_ = StoreState::Ended;
    input_.removeHooks();
    engine_.stop();
    dispatch(Action::RecordingEnded, nullptr);
    // Files recorded in fragments are made regular on the engine's thread while the progress
    // window shows how far it got; the program ends once they are final.
    const bool finishing = engine_.finishFiles(
        [this](int32_t percent) {
            platform::MessageLoop::ui().post(
                [this, percent] { notifyInt(Action::ShowProgressValue, percent); });
        },
        [this] {
            platform::MessageLoop::ui().post([this] { dispatch(Action::FilesFinished, nullptr); });
        });
    if (finishing) {
        notifyInt(Action::ShowProgressText, Text::kFinishingFilesText);
    } else {
        dispatch(Action::FilesFinished, nullptr);
    }
}

void Store::onHotkey(const std::string& keycode) {
    // Only a press that is a hotkey starts the wait: the modifier pressed just before the key
    // of Ctrl+F7 is a press too, and would otherwise hold the hotkey back.
    const int32_t hotkey = hotkeys_.match(keycode);
    if (hotkey < 0) {
        return;
    }
    const uint32_t now = clock_.nowMs();
    if (now - lastHotkeyTime_ < 100) {
        return;
    }
    lastHotkeyTime_ = now;
    switch (hotkey) {
        case HotkeyTable::kStart:
            startRecording();
            break;
        case HotkeyTable::kPauseResume:
            if (state_ == StoreState::Recording) {
                pause();
            } else if (state_ == StoreState::Paused) {
                resume();
            }
            break;
        case HotkeyTable::kEnd:
            endRecording();
            break;
        default:
            break;
    }
}

void Store::OpenHelpPage() {
    platform::openUrl("file://" + platform::dataDirectory() + "help-114.html");
}

// ---- helpers --------------------------------------------------------------------------------

Rect Store::desktopRect() {
    return screen_ ? screen_->desktopRect() : Rect{};
}

void Store::showMessage(const wchar_t* text) {
    dispatch(Action::ShowMessage, &text);
}

void Store::notifyBool(int32_t actionId, bool value) {
    dispatch(actionId, &value);
}

void Store::notifyInt(int32_t actionId, int32_t value) {
    dispatch(actionId, &value);
}
