#pragma once

#include <cstdint>
#include <string>

#include "flux/ISettingsTarget.h"
#include "flux/StoreSettings.h"

// The settings file: one compact JSON object that keeps the user's choices between runs. The
// Store loads it once after setting its defaults and saves it before each recording.
//
// Reading is forgiving: a missing, unreadable or malformed file gives nothing, a member of the
// wrong type or outside its table is skipped as if absent, unknown members are ignored. Writing
// replaces the whole file at once: it is either the complete new document or the old file.
class SettingsFile {
  public:
    static constexpr int32_t kOk = 0;
    static constexpr int32_t kNothingDone = 1;  // the path is "none"
    static constexpr int32_t kFailed = static_cast<int32_t>(0x80004005u);

    // path: the file, or "none" when no file is wanted.
    explicit SettingsFile(std::wstring path);

    bool isNone() const { return path_ == L"none"; }
    const std::wstring& path() const { return path_; }

    // Reads the file and applies what it holds through target (see apply).
    void load(ISettingsTarget& target) const;
    // Reads the file; nothing set when it is missing, unreadable or malformed.
    StoreSettings read() const;

    // Writes values as the file's whole content. kOk when the new content is in place,
    // kNothingDone for "none", kFailed when anything went wrong; the old file is then unchanged.
    int32_t save(const StoreSettings& values) const;

    // The values of one document. Strict JSON: a byte-order mark, comments, trailing commas or
    // anything after the object make it malformed.
    static StoreSettings parse(const std::string& bytes);
    // The document for values: compact, members in their fixed order, unset ones left out.
    // False when a value cannot be written (a double that is not finite).
    static bool serialize(const StoreSettings& values, std::string& out);
    // Calls target for every value that is set, in the order ISettingsTarget declares.
    static void apply(const StoreSettings& values, ISettingsTarget& target);

  private:
    std::wstring path_;
};
