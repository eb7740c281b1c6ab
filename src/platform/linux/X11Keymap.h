#pragma once

#include <xcb/xcb.h>

#include <array>
#include <bitset>
#include <cstdint>

namespace platform {

// The virtual key of every X keycode, from one connection's keyboard mapping. Not shared
// between threads: each connection that needs one keeps its own.
class X11Keymap {
  public:
    // Reads the keyboard mapping; false (and the table unchanged) when it cannot be read.
    bool load(xcb_connection_t* connection);

    uint32_t virtualKey(uint8_t keycode) const { return virtualKeys_[keycode]; }

    // The virtual keys of a set of keycodes that are down.
    std::bitset<256> virtualKeysDown(const std::bitset<256>& keycodes) const;

    // A QueryKeymap reply (32 bytes, bit n of byte n/8 for keycode n) as a keycode set.
    static std::bitset<256> keycodesFromBits(const uint8_t* bits);

  private:
    std::array<uint8_t, 256> virtualKeys_{};
};

}  // namespace platform
