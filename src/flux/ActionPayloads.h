#pragma once

#include <cstdint>
#include <string>

// Compound payloads of the action catalogue. Senders pass the address of a local; listeners
// copy what they keep.

// SetHotkey and HotkeyChanged. action: 0 start, 1 pause/resume, 2 end.
struct HotkeyPayload {
    int32_t action = 0;
    std::string keycode;
};

// TestCamera: what the camera preview window is opened with.
struct TestCameraPayload {
    void* instance = nullptr;  // module instance handle where the platform has one
    std::wstring title;
    int32_t width = 0;
    int32_t height = 0;
    int32_t icon = 0;
};

// ShowMessageWithLink: a transient alert that calls onClick when clicked.
struct MessageWithLinkPayload {
    const wchar_t* text = nullptr;
    void (*onClick)() = nullptr;
    int32_t interval = 0;
    int32_t duration = 0;
};
