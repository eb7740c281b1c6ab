#pragma once

// What a file written with the start-up defaults on a 1920x1080 desktop holds, byte for byte.
inline const char kDefaultsLine[] =
    R"({"quality":0,"mouse":{"pointStyle":8,"pressStyle":-1,"shapeStyle":-1},)"
    R"("video":{"captureRect":{"left":0,"top":0,"right":1920,"bottom":1080},)"
    R"("bitrate":1500000,"fps":0,"captureMethod":0},)"
    R"("audio":{"sampleRate":44100,"bitrate":192000,"channels":2,"bits":16,)"
    R"("captureMicrophone":0,"capturePlayback":1,"filterMic":0,"filterWC":0.4},)"
    R"("camera":{"isCaptureCamera":false,"isOnlyCaptureCamera":false,"device":-1},)"
    R"("hotkey":[{"action":0,"keycode":"000119"},{"action":1,"keycode":"000120"},)"
    R"({"action":2,"keycode":"000121"}]})";
