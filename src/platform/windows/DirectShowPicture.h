#pragma once

#include <windows.h>
// after windows.h, which it needs
#include <strmif.h>
// after strmif.h, which they need
#include <amvideo.h>
#include <dvdmedia.h>

#include <optional>

#include "platform/CameraPixelConverter.h"
#include "platform/CameraService.h"

namespace platform {

// A camera's picture format as DirectShow describes it, in the terms of our converters.
struct DirectShowPicture {
    CameraPixelFormat format = CameraPixelFormat::Yuyv;
    CameraSize size;
    int32_t bytesPerLine = 0;  // of the first plane; 0 where pictures vary in size (JPEG)
    bool bottomUp = false;     // RGB rows stored last row first
};

// The picture of a video media type; nothing for formats we cannot read, and for
// descriptions that do not hold together (a driver's description is not trusted).
std::optional<DirectShowPicture> pictureOf(const AM_MEDIA_TYPE& type);

// Where a subtype stands among those we read: lower is preferred; -1 when we cannot read it.
int preferenceOf(const GUID& subtype);

}  // namespace platform
