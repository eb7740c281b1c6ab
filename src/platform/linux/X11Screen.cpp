#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/randr.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/Screen.h"

namespace platform {
namespace {

// xcb hands out replies and errors in malloc'd blocks the caller frees.
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;

// Waits for a reply. Errors are taken and dropped here: given no place for them, xcb would
// queue them as events nobody reads.
template <typename Reply, typename Cookie>
XcbReply<Reply> waitReply(Reply* (*wait)(xcb_connection_t*, Cookie, xcb_generic_error_t**),
                          xcb_connection_t* connection, Cookie cookie) {
    xcb_generic_error_t* error = nullptr;
    XcbReply<Reply> reply(wait(connection, cookie, &error));
    std::free(error);
    return reply;
}

struct ConnectionDeleter {
    void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};

// One System V shared memory segment, attached here and on the X server. The id is marked for
// removal as soon as both sides hold it, so it cannot outlive the process.
class ShmSegment {
public:
    ShmSegment() = default;
    ShmSegment(const ShmSegment&) = delete;
    ShmSegment& operator=(const ShmSegment&) = delete;
    ~ShmSegment() { reset(); }

    // False when the server cannot share memory with us (another machine, no permission).
    bool create(xcb_connection_t* connection, size_t size) {
        reset();
        const int id = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
        if (id < 0) {
            return false;
        }
        void* address = shmat(id, nullptr, 0);
        if (address == reinterpret_cast<void*>(-1)) {
            shmctl(id, IPC_RMID, nullptr);
            return false;
        }
        const xcb_shm_seg_t seg = xcb_generate_id(connection);
        XcbReply<xcb_generic_error_t> error(
            xcb_request_check(connection, xcb_shm_attach_checked(connection, seg, id, 0)));
        shmctl(id, IPC_RMID, nullptr);
        if (error) {
            shmdt(address);
            return false;
        }
        connection_ = connection;
        seg_ = seg;
        address_ = static_cast<uint8_t*>(address);
        size_ = size;
        return true;
    }

    void reset() {
        if (address_ != nullptr) {
            xcb_shm_detach(connection_, seg_);
            xcb_flush(connection_);
            shmdt(address_);
        }
        connection_ = nullptr;
        address_ = nullptr;
        size_ = 0;
    }

    xcb_shm_seg_t id() const { return seg_; }
    uint8_t* data() const { return address_; }
    size_t size() const { return size_; }

private:
    xcb_connection_t* connection_ = nullptr;
    xcb_shm_seg_t seg_ = 0;
    uint8_t* address_ = nullptr;
    size_t size_ = 0;
};

class X11Screen final : public Screen {
public:
    static std::unique_ptr<X11Screen> connect(bool useSharedMemory) {
        int screenNumber = 0;
        std::unique_ptr<xcb_connection_t, ConnectionDeleter> connection(
            xcb_connect(nullptr, &screenNumber));
        if (!connection || xcb_connection_has_error(connection.get())) {
            return nullptr;
        }
        const xcb_setup_t* setup = xcb_get_setup(connection.get());
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
        for (int i = 0; i < screenNumber && it.rem > 0; ++i) {
            xcb_screen_next(&it);
        }
        if (it.rem == 0) {
            return nullptr;
        }
        return std::unique_ptr<X11Screen>(
            new X11Screen(std::move(connection), *it.data, useSharedMemory));
    }

    // The primary monitor (RandR 1.5): the whole recorder (full screen, presets, the toolbar's
    // place, the area picker) works on it, as on the primary display elsewhere. The whole
    // root where there is no RandR or no primary monitor.
    Rect desktopRect() override {
        refreshRootSize();
        const Rect root{0, 0, rootWidth_, rootHeight_};
        xcb_connection_t* c = connection_.get();
        const xcb_query_extension_reply_t* randr = xcb_get_extension_data(c, &xcb_randr_id);
        if (randr == nullptr || !randr->present) {
            return root;
        }
        auto monitors =
            waitReply(xcb_randr_get_monitors_reply, c, xcb_randr_get_monitors(c, root_, 1));
        if (!monitors) {
            return root;
        }
        for (auto it = xcb_randr_get_monitors_monitors_iterator(monitors.get()); it.rem > 0;
             xcb_randr_monitor_info_next(&it)) {
            const xcb_randr_monitor_info_t* m = it.data;
            if (m->primary && m->width > 0 && m->height > 0) {
                return Rect{m->x, m->y, m->x + m->width, m->y + m->height};
            }
        }
        return root;
    }

    DisplayMetrics displayMetrics() override {
        refreshRootSize();
        DisplayMetrics m;
        m.logicalWidth = m.modeWidth = rootWidth_;
        m.logicalHeight = m.modeHeight = rootHeight_;
        m.modeKnown = true;
        return m;
    }

    bool cursorPosition(Point& position) override {
        auto reply = waitReply(xcb_query_pointer_reply, connection_.get(),
                               xcb_query_pointer(connection_.get(), root_));
        if (!reply) {
            return false;
        }
        position = Point{reply->root_x, reply->root_y};
        return true;
    }

    bool prepare(int32_t width, int32_t height) override {
        if (width <= 0 || height <= 0) {
            return false;
        }
        const size_t needed = static_cast<size_t>(width) * static_cast<size_t>(height) * 4u;
        if (!shmAvailable_ || segment_.size() >= needed) {
            return true;
        }
        if (!segment_.create(connection_.get(), needed)) {
            shmAvailable_ = false;  // from now on through the protocol
        }
        return true;
    }

    bool grab(const Rect& area, uint8_t* buffer) override {
        const int32_t width = area.width();
        const int32_t height = area.height();
        if (width <= 0 || height <= 0 || buffer == nullptr || !formatSupported_) {
            return false;
        }
        // Into the segment itself: it must hold the area already, for making room would unmap
        // the very buffer being written.
        if (buffer == segment_.data() &&
            segment_.size() < static_cast<size_t>(width) * static_cast<size_t>(height) * 4u) {
            return false;
        }
        // X refuses (BadMatch) a read that leaves the root window, so read only the part on
        // the desktop; the rest of the area is black, as on a system that grabs off-screen.
        const int32_t left = std::max(area.left, 0);
        const int32_t top = std::max(area.top, 0);
        const int32_t right = std::min(area.right, rootWidth_);
        const int32_t bottom = std::min(area.bottom, rootHeight_);
        const size_t rowBytes = static_cast<size_t>(width) * 4u;
        if (left >= right || top >= bottom) {
            std::memset(buffer, 0, rowBytes * static_cast<size_t>(height));
            return true;
        }
        const Rect visible{left, top, right, bottom};
        prepare(width, height);
        if (shmAvailable_) {
            return grabShared(area, visible, buffer);
        }
        return grabPlain(area, visible, buffer);
    }

    bool windowAt(Point point, NativeWindow skip, WindowHit& hit) override {
        refreshRootSize();
        if (point.x < 0 || point.y < 0 || point.x >= rootWidth_ || point.y >= rootHeight_) {
            return false;
        }
        xcb_connection_t* c = connection_.get();
        const xcb_window_t skipWindow = static_cast<xcb_window_t>(skip);
        const xcb_window_t skipTop = skip != 0 ? topLevelOf(skipWindow) : XCB_NONE;

        WindowHit found;
        found.window = root_;
        found.windowRect = Rect{0, 0, rootWidth_, rootHeight_};
        found.clientWidth = rootWidth_;
        found.clientHeight = rootHeight_;
        xcb_window_t current = root_;
        Point origin{0, 0};  // screen position of current's inside (border excluded)
        while (true) {
            auto tree = waitReply(xcb_query_tree_reply, c, xcb_query_tree(c, current));
            if (!tree) {
                break;  // the window went away under us: keep what was found so far
            }
            const xcb_window_t* children = xcb_query_tree_children(tree.get());
            const int count = xcb_query_tree_children_length(tree.get());
            // Ask for everything first: one wait for the whole level, not two per child.
            std::vector<xcb_get_window_attributes_cookie_t> attributeCookies(count);
            std::vector<xcb_get_geometry_cookie_t> geometryCookies(count);
            for (int i = 0; i < count; ++i) {
                attributeCookies[i] = xcb_get_window_attributes(c, children[i]);
                geometryCookies[i] = xcb_get_geometry(c, children[i]);
            }
            std::vector<XcbReply<xcb_get_window_attributes_reply_t>> attributes(count);
            std::vector<XcbReply<xcb_get_geometry_reply_t>> geometries(count);
            for (int i = 0; i < count; ++i) {
                attributes[i] = waitReply(xcb_get_window_attributes_reply, c, attributeCookies[i]);
                geometries[i] = waitReply(xcb_get_geometry_reply, c, geometryCookies[i]);
            }
            bool descended = false;
            // Children come bottom to top; the topmost one holding the point wins.
            for (int i = count - 1; i >= 0; --i) {
                const auto& a = attributes[i];
                const auto& g = geometries[i];
                if (!a || !g || a->map_state != XCB_MAP_STATE_VIEWABLE ||
                    a->_class == XCB_WINDOW_CLASS_INPUT_ONLY || children[i] == skipWindow ||
                    (current == root_ && children[i] == skipTop)) {
                    continue;
                }
                const int32_t border = g->border_width;
                const Rect outer{origin.x + g->x, origin.y + g->y,
                                 origin.x + g->x + g->width + 2 * border,
                                 origin.y + g->y + g->height + 2 * border};
                if (point.x < outer.left || point.x >= outer.right || point.y < outer.top ||
                    point.y >= outer.bottom) {
                    continue;
                }
                found.window = children[i];
                found.windowRect = outer;
                found.clientWidth = g->width;
                found.clientHeight = g->height;
                current = children[i];
                origin = Point{outer.left + border, outer.top + border};
                descended = true;
                break;
            }
            if (!descended) {
                break;
            }
        }
        hit = found;
        return true;
    }

    uint8_t* directBuffer(int32_t width, int32_t height) override {
        if (!formatSupported_ || !prepare(width, height) || !shmAvailable_) {
            return nullptr;
        }
        return segment_.data();
    }

    bool usesSharedMemory() const override { return shmAvailable_; }

private:
    X11Screen(std::unique_ptr<xcb_connection_t, ConnectionDeleter> connection,
              const xcb_screen_t& screen, bool useSharedMemory)
        : connection_(std::move(connection)),
          root_(screen.root),
          rootWidth_(screen.width_in_pixels),
          rootHeight_(screen.height_in_pixels) {
        formatSupported_ = checkFormat(screen);
        if (useSharedMemory) {
            const xcb_query_extension_reply_t* ext =
                xcb_get_extension_data(connection_.get(), &xcb_shm_id);
            shmAvailable_ = ext != nullptr && ext->present;
        }
    }

    // Grabs copy the server's bytes as they are, so they must already be 32-bit B, G, R, X:
    // a 24- or 32-deep TrueColor root with 8-bit channels at 16, 8, 0, stored 32 bits per
    // pixel, least significant byte first.
    bool checkFormat(const xcb_screen_t& screen) const {
        const xcb_setup_t* setup = xcb_get_setup(connection_.get());
        if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST) {
            return false;
        }
        if (screen.root_depth != 24 && screen.root_depth != 32) {
            return false;
        }
        bool bpp32 = false;
        for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem > 0; xcb_format_next(&f)) {
            if (f.data->depth == screen.root_depth) {
                bpp32 = f.data->bits_per_pixel == 32 && f.data->scanline_pad == 32;
            }
        }
        if (!bpp32) {
            return false;
        }
        for (auto d = xcb_screen_allowed_depths_iterator(&screen); d.rem > 0; xcb_depth_next(&d)) {
            for (auto v = xcb_depth_visuals_iterator(d.data); v.rem > 0; xcb_visualtype_next(&v)) {
                if (v.data->visual_id == screen.root_visual) {
                    return v.data->red_mask == 0xFF0000u && v.data->green_mask == 0xFF00u &&
                           v.data->blue_mask == 0xFFu;
                }
            }
        }
        return false;
    }

    // The root can change size (a monitor added, a mode switched); reads use the last size.
    void refreshRootSize() {
        auto g = waitReply(xcb_get_geometry_reply, connection_.get(),
                           xcb_get_geometry(connection_.get(), root_));
        if (g) {
            rootWidth_ = g->width;
            rootHeight_ = g->height;
        }
    }

    xcb_window_t topLevelOf(xcb_window_t window) {
        xcb_connection_t* c = connection_.get();
        for (int depth = 0; depth < 64 && window != XCB_NONE && window != root_; ++depth) {
            auto tree = waitReply(xcb_query_tree_reply, c, xcb_query_tree(c, window));
            if (!tree) {
                return XCB_NONE;
            }
            if (tree->parent == root_) {
                return window;
            }
            window = tree->parent;
        }
        return XCB_NONE;
    }

    bool grabShared(const Rect& area, const Rect& visible, uint8_t* buffer) {
        xcb_connection_t* c = connection_.get();
        // The reply is a 32-byte header read by libxcb; the pixels arrive in the segment.
        auto reply = waitReply(xcb_shm_get_image_reply, c,
                               xcb_shm_get_image(c, root_, static_cast<int16_t>(visible.left),
                                                 static_cast<int16_t>(visible.top),
                                                 static_cast<uint16_t>(visible.width()),
                                                 static_cast<uint16_t>(visible.height()), ~0u,
                                                 XCB_IMAGE_FORMAT_Z_PIXMAP, segment_.id(), 0));
        const size_t expected =
            static_cast<size_t>(visible.width()) * static_cast<size_t>(visible.height()) * 4u;
        if (!reply || reply->size != expected) {
            failed();
            return false;
        }
        place(area, visible, segment_.data(), buffer);
        return true;
    }

    bool grabPlain(const Rect& area, const Rect& visible, uint8_t* buffer) {
        xcb_connection_t* c = connection_.get();
        auto reply = waitReply(
            xcb_get_image_reply, c,
            xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, static_cast<int16_t>(visible.left),
                          static_cast<int16_t>(visible.top), static_cast<uint16_t>(visible.width()),
                          static_cast<uint16_t>(visible.height()), ~0u));
        const size_t expected =
            static_cast<size_t>(visible.width()) * static_cast<size_t>(visible.height()) * 4u;
        if (!reply || static_cast<size_t>(xcb_get_image_data_length(reply.get())) < expected) {
            failed();
            return false;
        }
        place(area, visible, xcb_get_image_data(reply.get()), buffer);
        return true;
    }

    // A refused read most often means the desktop changed size under us. Grab failures are
    // not reported: the caller skips the frame.
    void failed() { refreshRootSize(); }

    // Copies the visible part (rows of its own width) to its place in the area and blackens
    // the rest. source may be buffer itself (a grab into the segment): rows then move in
    // place, from the last to the first, because a row's place in the area never lies before
    // its place among the packed visible rows, so nothing is overwritten before it has moved.
    static void place(const Rect& area, const Rect& visible, const uint8_t* source,
                      uint8_t* buffer) {
        const size_t rowBytes = static_cast<size_t>(area.width()) * 4u;
        const size_t visibleBytes = static_cast<size_t>(visible.width()) * 4u;
        if (visible == area) {
            if (source != buffer) {
                std::memcpy(buffer, source, rowBytes * static_cast<size_t>(area.height()));
            }
            return;
        }
        const size_t leftBytes = static_cast<size_t>(visible.left - area.left) * 4u;
        const size_t rightBytes = rowBytes - leftBytes - visibleBytes;
        for (int32_t y = area.bottom - 1; y >= area.top; --y) {
            uint8_t* row = buffer + static_cast<size_t>(y - area.top) * rowBytes;
            if (y < visible.top || y >= visible.bottom) {
                std::memset(row, 0, rowBytes);
                continue;
            }
            std::memmove(row + leftBytes,
                         source + static_cast<size_t>(y - visible.top) * visibleBytes,
                         visibleBytes);
            std::memset(row, 0, leftBytes);
            std::memset(row + leftBytes + visibleBytes, 0, rightBytes);
        }
    }

    // Declared first so the segment, which detaches through it, goes before it.
    std::unique_ptr<xcb_connection_t, ConnectionDeleter> connection_;
    const xcb_window_t root_;
    // Only the thread using this object touches the members below.
    int32_t rootWidth_;
    int32_t rootHeight_;
    bool formatSupported_ = false;
    bool shmAvailable_ = false;
    ShmSegment segment_;
};

}  // namespace

std::unique_ptr<Screen> Screen::open(bool useSharedMemory) {
    return X11Screen::connect(useSharedMemory);
}

}  // namespace platform
