#include "platform/windows/DirectShowPicture.h"

#include <uuids.h>

#include <cstdlib>

namespace platform {
namespace {

// FOURCC subtypes: the code in the first field, then the tail they all share.
constexpr GUID fourccSubtype(uint32_t code) {
    return GUID{code, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
}
constexpr uint32_t fourcc(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
           static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

struct Readable {
    GUID subtype;
    CameraPixelFormat format;
    int32_t firstPlaneBytesPerPixel;  // 0: compressed
};

// In order of preference: packed YUV costs the least to convert, JPEG the most bandwidth saved.
const Readable kReadable[] = {
    {fourccSubtype(fourcc('Y', 'U', 'Y', '2')), CameraPixelFormat::Yuyv, 2},
    {fourccSubtype(fourcc('M', 'J', 'P', 'G')), CameraPixelFormat::Mjpeg, 0},
    {fourccSubtype(fourcc('U', 'Y', 'V', 'Y')), CameraPixelFormat::Uyvy, 2},
    {fourccSubtype(fourcc('N', 'V', '1', '2')), CameraPixelFormat::Nv12, 1},
    {fourccSubtype(fourcc('I', '4', '2', '0')), CameraPixelFormat::Yuv420, 1},
    {fourccSubtype(fourcc('I', 'Y', 'U', 'V')), CameraPixelFormat::Yuv420, 1},
    {MEDIASUBTYPE_RGB24, CameraPixelFormat::Bgr24, 3},
};

constexpr LONG kLargestSide = 16384;

const BITMAPINFOHEADER* bitmapOf(const AM_MEDIA_TYPE& type) {
    if (type.pbFormat == nullptr) {
        return nullptr;
    }
    if (IsEqualGUID(type.formattype, FORMAT_VideoInfo) &&
        type.cbFormat >= sizeof(VIDEOINFOHEADER)) {
        return &reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat)->bmiHeader;
    }
    if (IsEqualGUID(type.formattype, FORMAT_VideoInfo2) &&
        type.cbFormat >= sizeof(VIDEOINFOHEADER2)) {
        return &reinterpret_cast<const VIDEOINFOHEADER2*>(type.pbFormat)->bmiHeader;
    }
    return nullptr;
}

}  // namespace

int preferenceOf(const GUID& subtype) {
    for (size_t i = 0; i < sizeof kReadable / sizeof kReadable[0]; ++i) {
        if (IsEqualGUID(kReadable[i].subtype, subtype)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::optional<DirectShowPicture> pictureOf(const AM_MEDIA_TYPE& type) {
    const int rank = preferenceOf(type.subtype);
    const BITMAPINFOHEADER* bitmap = bitmapOf(type);
    if (!IsEqualGUID(type.majortype, MEDIATYPE_Video) || rank < 0 || bitmap == nullptr) {
        return std::nullopt;
    }
    const LONG width = bitmap->biWidth;
    const LONG height = std::labs(bitmap->biHeight);
    if (width <= 0 || width > kLargestSide || height == 0 || height > kLargestSide) {
        return std::nullopt;
    }
    const Readable& readable = kReadable[rank];
    DirectShowPicture picture;
    picture.format = readable.format;
    picture.size = {static_cast<int32_t>(width), static_cast<int32_t>(height)};
    if (readable.format == CameraPixelFormat::Bgr24) {
        // RGB rows are whole 32-bit words, and stored bottom-up unless the height is negative.
        picture.bytesPerLine = static_cast<int32_t>((width * 3 + 3) & ~3);
        picture.bottomUp = bitmap->biHeight > 0;
    } else {
        // YUV pictures are top-down whatever the sign says.
        picture.bytesPerLine = static_cast<int32_t>(width) * readable.firstPlaneBytesPerPixel;
    }
    return picture;
}

}  // namespace platform
