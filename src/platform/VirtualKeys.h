#pragma once

#include <cstdint>

// Virtual-key codes with the Windows values: hotkey codes stored in settings files carry them,
// so every platform names keys by these numbers.
namespace vk {

constexpr uint32_t Cancel = 0x03;
constexpr uint32_t Back = 0x08;
constexpr uint32_t Tab = 0x09;
constexpr uint32_t Clear = 0x0C;
constexpr uint32_t Return = 0x0D;
constexpr uint32_t Shift = 0x10;    // either Shift key
constexpr uint32_t Control = 0x11;  // either Ctrl key
constexpr uint32_t Menu = 0x12;     // either Alt key
constexpr uint32_t Pause = 0x13;
constexpr uint32_t Capital = 0x14;
constexpr uint32_t Escape = 0x1B;
constexpr uint32_t Space = 0x20;
constexpr uint32_t Prior = 0x21;
constexpr uint32_t Next = 0x22;
constexpr uint32_t End = 0x23;
constexpr uint32_t Home = 0x24;
constexpr uint32_t Left = 0x25;
constexpr uint32_t Up = 0x26;
constexpr uint32_t Right = 0x27;
constexpr uint32_t Down = 0x28;
constexpr uint32_t Select = 0x29;
constexpr uint32_t Execute = 0x2B;
constexpr uint32_t Snapshot = 0x2C;
constexpr uint32_t Insert = 0x2D;
constexpr uint32_t Delete = 0x2E;
constexpr uint32_t Help = 0x2F;
constexpr uint32_t Digit0 = 0x30;   // '0'..'9' are 0x30..0x39
constexpr uint32_t LetterA = 0x41;  // 'A'..'Z' are 0x41..0x5A
constexpr uint32_t LWin = 0x5B;
constexpr uint32_t RWin = 0x5C;
constexpr uint32_t Apps = 0x5D;
constexpr uint32_t Numpad0 = 0x60;  // ..Numpad9 0x69
constexpr uint32_t Multiply = 0x6A;
constexpr uint32_t Add = 0x6B;
constexpr uint32_t Separator = 0x6C;
constexpr uint32_t Subtract = 0x6D;
constexpr uint32_t Decimal = 0x6E;
constexpr uint32_t Divide = 0x6F;
constexpr uint32_t F1 = 0x70;  // ..F24 0x87
constexpr uint32_t F8 = 0x77;
constexpr uint32_t F9 = 0x78;
constexpr uint32_t F10 = 0x79;
constexpr uint32_t F24 = 0x87;
constexpr uint32_t NumLock = 0x90;
constexpr uint32_t Scroll = 0x91;
constexpr uint32_t LShift = 0xA0;
constexpr uint32_t RShift = 0xA1;
constexpr uint32_t LControl = 0xA2;
constexpr uint32_t RControl = 0xA3;
constexpr uint32_t LMenu = 0xA4;
constexpr uint32_t RMenu = 0xA5;
constexpr uint32_t VolumeMute = 0xAD;
constexpr uint32_t VolumeDown = 0xAE;
constexpr uint32_t VolumeUp = 0xAF;
constexpr uint32_t MediaNextTrack = 0xB0;
constexpr uint32_t MediaPrevTrack = 0xB1;
constexpr uint32_t MediaStop = 0xB2;
constexpr uint32_t MediaPlayPause = 0xB3;
constexpr uint32_t Oem1 = 0xBA;  // ;:
constexpr uint32_t OemPlus = 0xBB;
constexpr uint32_t OemComma = 0xBC;
constexpr uint32_t OemMinus = 0xBD;
constexpr uint32_t OemPeriod = 0xBE;
constexpr uint32_t Oem2 = 0xBF;    // /?
constexpr uint32_t Oem3 = 0xC0;    // `~
constexpr uint32_t Oem4 = 0xDB;    // [{
constexpr uint32_t Oem5 = 0xDC;    // \|
constexpr uint32_t Oem6 = 0xDD;    // ]}
constexpr uint32_t Oem7 = 0xDE;    // '"
constexpr uint32_t Oem102 = 0xE2;  // the extra key left of Z on ISO keyboards

}  // namespace vk
