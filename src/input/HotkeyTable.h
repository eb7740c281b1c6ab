#pragma once

#include <cstdint>
#include <map>
#include <string>

// The hotkeys by index (0 start, 1 pause/resume, 2 end), each a six-character keycode (see
// Keycode). The Store owns it and uses it on the UI thread only.
class HotkeyTable {
  public:
    static constexpr int32_t kStart = 0;
    static constexpr int32_t kPauseResume = 1;
    static constexpr int32_t kEnd = 2;

    // F8, F9 and F10.
    static constexpr const char* kDefaultStart = "000119";
    static constexpr const char* kDefaultPauseResume = "000120";
    static constexpr const char* kDefaultEnd = "000121";

    // Sets the three default hotkeys.
    void setDefaults();

    // Inserts or replaces.
    void set(int32_t index, const std::string& keycode);

    // A copy of the index's keycode; an absent index is inserted with an empty keycode.
    std::string get(int32_t index);

    // The lowest index whose keycode equals keycode byte for byte, -1 when none does.
    int32_t match(const std::string& keycode) const;

    const std::map<int32_t, std::string>& entries() const { return entries_; }

  private:
    std::map<int32_t, std::string> entries_;
};
