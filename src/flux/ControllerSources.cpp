#include "flux/ControllerSources.h"

#include "audio/AudioManager.h"
#include "engine/CameraCapture.h"
#include "engine/Controller.h"
#include "engine/CursorOverlay.h"
#include "engine/CursorState.h"

namespace {

int32_t managerKind(RecordingSources::Sound kind) {
    return kind == RecordingSources::Microphone ? AudioManager::kMicrophone
                                                : AudioManager::kSpeaker;
}

}  // namespace

int32_t ControllerSources::openSound(Sound kind) {
    return controller_.audio().OpenDevice(managerKind(kind));
}

void ControllerSources::closeSound(Sound kind) {
    controller_.audio().CloseDevice(managerKind(kind));
}

bool ControllerSources::soundOn(Sound kind) const {
    AudioManager& audio = controller_.audio();
    return kind == Microphone ? audio.microphoneOn() : audio.speakerOn();
}

const WaveFormat* ControllerSources::soundFormat(Sound kind) const {
    AudioManager& audio = controller_.audio();
    return kind == Microphone ? audio.microphoneFormat() : audio.speakerFormat();
}

void ControllerSources::setMicrophoneFilter(bool on) {
    controller_.audio().setFilterOn(on);
}

void ControllerSources::setMicrophoneFilterCoefficient(double wc) {
    controller_.audio().setWc(wc);
}

int32_t ControllerSources::openCamera(int32_t index) {
    return controller_.camera().openDevice(index);
}

bool ControllerSources::cameraOpen() const {
    return controller_.camera().enabled();
}

bool ControllerSources::cameraPreviewRunning() const {
    return CameraCapture::previewState() >= 1;
}

void ControllerSources::closeCameraPreview() {
    controller_.camera().closePreview();
}

void ControllerSources::releaseCamera() {
    CameraCapture& camera = controller_.camera();
    camera.release();
    camera.setEnabled(false);
    camera.setDeviceIndex(-1);
}

void ControllerSources::setOnlyCamera(bool on) {
    controller_.camera().setOnlyCamera(on);
}

void ControllerSources::composeCursor(int32_t point, int32_t shape, int32_t press) {
    CursorOverlay::compose(CursorState::instance(), static_cast<uint32_t>(point),
                           static_cast<uint32_t>(shape), static_cast<uint32_t>(press));
}
