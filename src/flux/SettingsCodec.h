#pragma once

#include <string>

#include "flux/ISettingsTarget.h"
#include "flux/StoreSettings.h"

// The settings file's bytes and the values they stand for: one compact JSON object. Reading is
// forgiving: malformed text gives nothing, a member of the wrong type or outside its table is
// skipped as if absent, unknown members are ignored.
class SettingsCodec {
public:
    // The values of one document. Strict JSON: a byte-order mark, comments, trailing commas or
    // anything after the object make it malformed.
    static StoreSettings parse(const std::string& bytes);
    // The document for values: compact, members in their fixed order, unset ones left out.
    // False when a value cannot be written (a double that is not finite); out is then as it was.
    static bool serialize(const StoreSettings& values, std::string& out);
    // Calls target for every value that is set, in the order ISettingsTarget declares.
    static void apply(const StoreSettings& values, ISettingsTarget& target);
};
