#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/GDIBitmap.h"

// A picture decoded from a PNG resource of the program. The resource bytes live in the
// program image for its whole run, so nothing of them needs keeping once decoded.
class GDIBitmapEx : public GDIBitmap {
  public:
    // Drops any picture held, then decodes resource `resourceId` of type "PNG". False when the
    // resource is missing, empty or not a decodable image; the object then holds nothing.
    bool loadPng(uint16_t resourceId);

    // The same from bytes in memory.
    bool decodePng(const uint8_t* bytes, size_t size);
};
