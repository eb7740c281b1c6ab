#pragma once

// Puts known pictures and windows on the private X server the tests run against, through a
// connection of its own (what another program on the desktop would do).

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "TestServers.h"

namespace testdesktop {

// The root's picture: every pixel's colour tells where it is, so a shifted or mirrored grab
// cannot pass. 0x00RRGGBB with B = x low byte, G = y low byte, R = x and y high nibbles.
inline uint32_t patternAt(int x, int y) {
    return static_cast<uint32_t>(((x >> 8) & 0x0F) | ((y >> 8) & 0x0F) << 4) << 16 |
           static_cast<uint32_t>(y & 0xFF) << 8 | static_cast<uint32_t>(x & 0xFF);
}

class TestDesktop {
public:
    TestDesktop() : connection_(xcb_connect(nullptr, nullptr)) {
        if (xcb_connection_has_error(connection_)) {
            xcb_disconnect(connection_);
            throw std::runtime_error("cannot reach the X server");
        }
        screen_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    }
    ~TestDesktop() { xcb_disconnect(connection_); }
    TestDesktop(const TestDesktop&) = delete;
    TestDesktop& operator=(const TestDesktop&) = delete;

    int width() const { return screen_->width_in_pixels; }
    int height() const { return screen_->height_in_pixels; }
    xcb_window_t root() const { return screen_->root; }

    // The pattern becomes the root's background, so the server repaints it wherever a test
    // window goes away.
    void paintPattern() {
        const int w = width(), h = height();
        const xcb_pixmap_t pixmap = xcb_generate_id(connection_);
        xcb_create_pixmap(connection_, screen_->root_depth, pixmap, root(), w, h);
        const xcb_gcontext_t gc = xcb_generate_id(connection_);
        xcb_create_gc(connection_, gc, pixmap, 0, nullptr);
        std::vector<uint32_t> row(static_cast<size_t>(w));
        for (int y = 0; y < h; ++y) {  // a row a request, which any server takes
            for (int x = 0; x < w; ++x) {
                row[static_cast<size_t>(x)] = patternAt(x, y);
            }
            xcb_put_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, w, 1, 0, y, 0,
                          screen_->root_depth, static_cast<uint32_t>(row.size() * 4),
                          reinterpret_cast<const uint8_t*>(row.data()));
        }
        xcb_change_window_attributes(connection_, root(), XCB_CW_BACK_PIXMAP, &pixmap);
        xcb_clear_area(connection_, 0, root(), 0, 0, 0, 0);
        xcb_free_gc(connection_, gc);
        xcb_free_pixmap(connection_, pixmap);
        sync();
    }

    // A window that no window manager would touch; mapped unless told otherwise.
    xcb_window_t createWindow(xcb_window_t parent, int x, int y, int w, int h, int border = 0,
                              bool inputOnly = false, bool map = true) {
        const xcb_window_t id = xcb_generate_id(connection_);
        const uint32_t values[] = {screen_->black_pixel, 1};
        const uint32_t mask =
            inputOnly ? XCB_CW_OVERRIDE_REDIRECT : XCB_CW_BORDER_PIXEL | XCB_CW_OVERRIDE_REDIRECT;
        xcb_create_window(connection_, inputOnly ? 0 : XCB_COPY_FROM_PARENT, id, parent, x, y, w, h,
                          inputOnly ? 0 : border,
                          inputOnly ? XCB_WINDOW_CLASS_INPUT_ONLY : XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          XCB_COPY_FROM_PARENT, mask, inputOnly ? values + 1 : values);
        if (map) {
            xcb_map_window(connection_, id);
        }
        sync();
        return id;
    }

    void destroyWindow(xcb_window_t window) {
        xcb_destroy_window(connection_, window);
        sync();
    }

    // A round trip: once it returns, the server has carried out every request sent before.
    void sync() {
        std::free(
            xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    }

    // Moves the pointer; returns when it is there.
    void movePointer(int x, int y) {
        xcb_warp_pointer(connection_, XCB_NONE, root(), 0, 0, 0, 0, static_cast<int16_t>(x),
                         static_cast<int16_t>(y));
        sync();
    }

private:
    xcb_connection_t* connection_;
    const xcb_screen_t* screen_ = nullptr;
};

}  // namespace testdesktop
