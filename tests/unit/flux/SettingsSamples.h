#pragma once

#include "flux/StoreSettings.h"

// What a file written with the start-up defaults on a 1920x1080 desktop holds.
inline const char kDefaultsLine[] =
    R"({"quality":0,"mouse":{"pointStyle":8,"pressStyle":-1,"shapeStyle":-1},)"
    R"("video":{"captureRect":{"left":0,"top":0,"right":1920,"bottom":1080},)"
    R"("bitrate":1500000,"fps":0,"captureMethod":0},)"
    R"("audio":{"sampleRate":44100,"bitrate":192000,"channels":2,"bits":16,)"
    R"("captureMicrophone":0,"capturePlayback":1,"filterMic":0,"filterWC":0.4},)"
    R"("camera":{"isCaptureCamera":false,"isOnlyCaptureCamera":false,"device":-1},)"
    R"("hotkey":[{"action":0,"keycode":"000119"},{"action":1,"keycode":"000120"},)"
    R"({"action":2,"keycode":"000121"}]})";

inline StoreSettings defaultSettings() {
    StoreSettings s;
    s.quality = 0;
    s.pointStyle = 8;
    s.pressStyle = -1;
    s.shapeStyle = -1;
    s.captureRect = Rect{0, 0, 1920, 1080};
    s.videoBitrate = 1500000;
    s.fps = 0;
    s.captureMethod = 0;
    s.sampleRate = 44100;
    s.audioBitrate = 192000;
    s.channels = 2;
    s.bits = 16;
    s.captureMicrophone = false;
    s.capturePlayback = true;
    s.filterMic = false;
    s.filterWC = 0.4;
    s.isCaptureCamera = false;
    s.isOnlyCaptureCamera = false;
    s.device = -1;
    s.hotkeys = {{0, "000119"}, {1, "000120"}, {2, "000121"}};
    return s;
}
