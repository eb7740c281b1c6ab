#pragma once

#include <cstdint>

#include "base/Geometry.h"
#include "flux/ActionPayloads.h"

// The Store operations through which the values of the settings file are applied, so that each
// has the effects and notifications it has when a window asks for it. SettingsCodec::apply calls
// them in the order they are declared here, skipping values the file did not hold.
class ISettingsTarget {
  public:
    // 1. quality first: the bit rates it chooses may be overridden below.
    virtual void setQuality(int32_t quality) = 0;

    // 2. video
    virtual void setIsCapture(bool on) = 0;
    virtual void setLoadedRect(const Rect& rect) = 0;
    virtual void setVideoBitrate(int32_t bitrate) = 0;
    virtual void setFrameRate(int32_t fpsIndex) = 0;
    virtual void setCaptureMethod(int32_t method) = 0;

    // 3. audio
    virtual void setSampleRate(int32_t rate) = 0;
    virtual void setAudioBitrate(int32_t bitrate) = 0;
    virtual void setChannels(int32_t channels) = 0;
    virtual void setBits(int32_t bits) = 0;
    virtual void setCaptureMicrophone(bool on) = 0;
    virtual void setCapturePlayback(bool on) = 0;
    virtual void setFilterMic(bool on) = 0;
    virtual void setFilterCoefficient(double wc) = 0;

    // 4. camera
    virtual void setCaptureCamera(bool on) = 0;
    virtual void setOnlyCaptureCamera(bool on) = 0;
    virtual void selectCameraDevice(int32_t index) = 0;

    // 5. hotkeys, one call per element in file order
    virtual void setHotkey(const HotkeyPayload& hotkey) = 0;

    // 6. mouse, in this order
    virtual void setPointStyle(int32_t style) = 0;
    virtual void setShapeStyle(int32_t style) = 0;
    virtual void setPressStyle(int32_t style) = 0;

  protected:
    ~ISettingsTarget() = default;
};
