#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace platform {

// Owners of GDI handles: a window's (or the screen's) DC, a memory DC, a bitmap, a region.
struct DcReleaser {
    HWND window = nullptr;
    void operator()(HDC dc) const { ReleaseDC(window, dc); }
};
struct DcDeleter {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
struct GdiObjectDeleter {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using WindowDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcReleaser>;
using MemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;
using Bitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDeleter>;
using Region = std::unique_ptr<std::remove_pointer_t<HRGN>, GdiObjectDeleter>;

}  // namespace platform
