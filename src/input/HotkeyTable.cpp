#include "input/HotkeyTable.h"

void HotkeyTable::setDefaults() {
    set(kStart, kDefaultStart);
    set(kPauseResume, kDefaultPauseResume);
    set(kEnd, kDefaultEnd);
}

void HotkeyTable::set(int32_t index, const std::string& keycode) {
    entries_[index] = keycode;
}

std::string HotkeyTable::get(int32_t index) {
    return entries_[index];
}

int32_t HotkeyTable::match(const std::string& keycode) const {
    for (const auto& entry : entries_) {  // ascending index order
        if (entry.second == keycode) {
            return entry.first;
        }
    }
    return -1;
}
