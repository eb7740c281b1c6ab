#include "platform/linux/X11Keymap.h"

#include <cstdlib>
#include <memory>

#include "platform/linux/KeyTable.h"

namespace platform {

bool X11Keymap::load(xcb_connection_t* connection) {
    const xcb_setup_t* setup = xcb_get_setup(connection);
    if (setup == nullptr) {
        return false;
    }
    const uint8_t first = setup->min_keycode;
    const uint8_t count = static_cast<uint8_t>(setup->max_keycode - setup->min_keycode + 1);
    const std::unique_ptr<xcb_get_keyboard_mapping_reply_t, decltype(&std::free)> reply(
        xcb_get_keyboard_mapping_reply(connection,
                                       xcb_get_keyboard_mapping(connection, first, count), nullptr),
        &std::free);
    if (!reply) {
        return false;
    }
    const int perKeycode = reply->keysyms_per_keycode;
    const int length = xcb_get_keyboard_mapping_keysyms_length(reply.get());
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(reply.get());
    std::array<uint8_t, 256> table{};
    for (int i = 0; i < count && perKeycode > 0 && (i + 1) * perKeycode <= length; ++i) {
        const uint32_t code =
            virtualKeyFromKeysyms(keysyms + i * perKeycode, static_cast<size_t>(perKeycode));
        table[static_cast<size_t>(first + i)] = static_cast<uint8_t>(code);
    }
    virtualKeys_ = table;
    return true;
}

std::bitset<256> X11Keymap::virtualKeysDown(const std::bitset<256>& keycodes) const {
    std::bitset<256> down;
    for (size_t keycode = 0; keycode < keycodes.size(); ++keycode) {
        if (keycodes[keycode] && virtualKeys_[keycode] != 0) {
            down.set(virtualKeys_[keycode]);
        }
    }
    return down;
}

std::bitset<256> X11Keymap::keycodesFromBits(const uint8_t* bits) {
    std::bitset<256> keycodes;
    for (size_t keycode = 0; keycode < 256; ++keycode) {
        if (bits[keycode / 8] & (1u << (keycode % 8))) {
            keycodes.set(keycode);
        }
    }
    return keycodes;
}

}  // namespace platform
