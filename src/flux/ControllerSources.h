#pragma once

#include "flux/RecordingSources.h"

class Controller;

// The recording sources of a Controller: its audio manager and camera capture, and the
// process-wide cursor pictures.
class ControllerSources : public RecordingSources {
public:
    explicit ControllerSources(Controller& controller) : controller_(controller) {}

    int32_t openSound(Sound kind) override;
    void closeSound(Sound kind) override;
    bool soundOn(Sound kind) const override;
    const WaveFormat* soundFormat(Sound kind) const override;
    void setMicrophoneFilter(bool on) override;
    void setMicrophoneFilterCoefficient(double wc) override;

    int32_t openCamera(int32_t index) override;
    bool cameraOpen() const override;
    bool cameraPreviewRunning() const override;
    void closeCameraPreview() override;
    void releaseCamera() override;
    void setOnlyCamera(bool on) override;

    void composeCursor(int32_t point, int32_t shape, int32_t press) override;

private:
    Controller& controller_;
};
