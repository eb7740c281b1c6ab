#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "flux/ISettingsTarget.h"

// Writes every call it receives into a journal, one line per call ("quality 2",
// "captureMicrophone true"), so a test can check what was applied and in which order.
class RecordingSettingsTarget : public ISettingsTarget {
public:
    std::vector<std::string> journal;

    void setQuality(int32_t v) override { add("quality", v); }
    void setIsCapture(bool v) override { add("isCapture", v); }
    void setLoadedRect(const Rect& r) override {
        add("loadedRect", r.left, r.top, r.right, r.bottom);
    }
    void setVideoBitrate(int32_t v) override { add("videoBitrate", v); }
    void setFrameRate(int32_t v) override { add("fps", v); }
    void setCaptureMethod(int32_t v) override { add("captureMethod", v); }
    void setSampleRate(int32_t v) override { add("sampleRate", v); }
    void setAudioBitrate(int32_t v) override { add("audioBitrate", v); }
    void setChannels(int32_t v) override { add("channels", v); }
    void setBits(int32_t v) override { add("bits", v); }
    void setCaptureMicrophone(bool v) override { add("captureMicrophone", v); }
    void setCapturePlayback(bool v) override { add("capturePlayback", v); }
    void setFilterMic(bool v) override { add("filterMic", v); }
    void setFilterCoefficient(double v) override { add("filterWC", v); }
    void setCaptureCamera(bool v) override { add("isCaptureCamera", v); }
    void setOnlyCaptureCamera(bool v) override { add("isOnlyCaptureCamera", v); }
    void selectCameraDevice(int32_t v) override { add("device", v); }
    void setHotkey(const HotkeyPayload& h) override { add("hotkey", h.action, h.keycode); }
    void setPointStyle(int32_t v) override { add("pointStyle", v); }
    void setShapeStyle(int32_t v) override { add("shapeStyle", v); }
    void setPressStyle(int32_t v) override { add("pressStyle", v); }

private:
    template <class... T>
    void add(const char* name, const T&... values) {
        std::ostringstream line;
        line << std::boolalpha << name;
        ((line << ' ' << values), ...);
        journal.push_back(line.str());
    }
};
