#include "platform/linux/XRecordReader.h"

#include <errno.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <xcb/record.h>
#include <xcb/xcbext.h>

#include <cstdlib>
#include <cstring>
#include <system_error>
#include <utility>

#include "platform/ThreadPriority.h"

namespace platform {
namespace {

// Categories of the data the server sends on the recording connection.
constexpr uint8_t kFromServer = 0;
constexpr uint8_t kEndOfData = 5;
constexpr uint8_t kStartOfData = 4;

constexpr size_t kEventSize = 32;  // every core event

// The server sends what it recorded only when it flushes its output, and it flushes only when
// some client has output pending: an event nobody else hears (a pointer move over the bare
// root window, a key injected without a round trip) would wait for the next unrelated output.
// A request of ours that has a reply makes output pending; sent after this long without data,
// it bounds that wait.
constexpr int kNudgeAfterMs = 20;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;

uint32_t buttonMessage(uint8_t button, bool press, int32_t* mouseData) {
    *mouseData = 0;
    switch (button) {
        case 1:
            return press ? msg::LButtonDown : msg::LButtonUp;
        case 2:
            return press ? msg::MButtonDown : msg::MButtonUp;
        case 3:
            return press ? msg::RButtonDown : msg::RButtonUp;
        case 4:  // the wheel is a press and a release per notch; the press is the notch
        case 5:
            *mouseData = button == 4 ? 120 : -120;
            return press ? msg::MouseWheel : 0;
        case 6:
        case 7:
            *mouseData = button == 7 ? 120 : -120;
            return press ? msg::MouseHWheel : 0;
        case 8:
        case 9:
            *mouseData = button - 7;
            return press ? msg::XButtonDown : msg::XButtonUp;
        default:
            return 0;
    }
}

}  // namespace

XRecordReader::XRecordReader(KeySink keySink, MouseSink mouseSink)
    : keySink_(std::move(keySink)), mouseSink_(std::move(mouseSink)) {}

XRecordReader::~XRecordReader() {
    stop();
}

uint32_t XRecordReader::start() {
    if (running()) {
        return 0;
    }
    Connection control(xcb_connect(nullptr, nullptr));
    Connection data(xcb_connect(nullptr, nullptr));
    if (xcb_connection_has_error(control.get()) || xcb_connection_has_error(data.get())) {
        return inputerror::NoDisplay;
    }
    const xcb_query_extension_reply_t* extension =
        xcb_get_extension_data(control.get(), &xcb_record_id);
    if (extension == nullptr || !extension->present) {
        return inputerror::NoRecordExtension;
    }
    const XcbReply<xcb_record_query_version_reply_t> version(xcb_record_query_version_reply(
        control.get(), xcb_record_query_version(control.get(), 1, 13), nullptr));
    if (!version) {
        return inputerror::NoRecordExtension;
    }
    if (!keymap_.load(control.get())) {
        return inputerror::NoDisplay;
    }

    // Key presses, releases, button presses, releases and motion of every client.
    const uint32_t context = xcb_generate_id(control.get());
    xcb_record_range_t range;
    std::memset(&range, 0, sizeof range);
    range.device_events.first = XCB_KEY_PRESS;
    range.device_events.last = XCB_MOTION_NOTIFY;
    const xcb_record_client_spec_t clients = XCB_RECORD_CS_ALL_CLIENTS;
    const XcbReply<xcb_generic_error_t> createError(xcb_request_check(
        control.get(),
        xcb_record_create_context_checked(control.get(), context, 0, 1, 1, &clients, &range)));
    if (createError) {
        return inputerror::RecordRefused;
    }

    // Keys already held when the hook starts count as down.
    const XcbReply<xcb_query_keymap_reply_t> keys(
        xcb_query_keymap_reply(control.get(), xcb_query_keymap(control.get()), nullptr));
    keycodesDown_ = keys ? X11Keymap::keycodesFromBits(keys->keys) : std::bitset<256>();

    // The first reply says the server records; only then is no later event missed.
    const xcb_record_enable_context_cookie_t enable =
        xcb_record_enable_context(data.get(), context);
    xcb_generic_error_t* rawError = nullptr;
    const XcbReply<xcb_record_enable_context_reply_t> first(
        static_cast<xcb_record_enable_context_reply_t*>(
            xcb_wait_for_reply(data.get(), enable.sequence, &rawError)));
    const XcbReply<xcb_generic_error_t> enableError(rawError);
    if (!first || first->category != kStartOfData) {
        xcb_record_free_context(control.get(), context);
        xcb_flush(control.get());
        return inputerror::RecordRefused;
    }

    const int stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopFd < 0) {
        xcb_record_free_context(control.get(), context);
        xcb_flush(control.get());
        return inputerror::NoThread;
    }
    control_ = std::move(control);
    data_ = std::move(data);
    context_ = context;
    enableSequence_ = enable.sequence;
    nudgePending_ = false;
    stopFd_ = stopFd;
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        stop();
        return inputerror::NoThread;
    }
    return 0;
}

void XRecordReader::stop() {
    if (thread_.joinable()) {
        const uint64_t one = 1;
        // A full counter (impossible here) would still leave the fd readable.
        [[maybe_unused]] const ssize_t written = ::write(stopFd_, &one, sizeof one);
        thread_.join();
    }
    if (control_) {
        xcb_record_disable_context(control_.get(), context_);
        xcb_record_free_context(control_.get(), context_);
        xcb_flush(control_.get());
    }
    data_.reset();
    control_.reset();
    if (stopFd_ >= 0) {
        ::close(stopFd_);
        stopFd_ = -1;
    }
}

void XRecordReader::run() {
    setCurrentThreadName("InputHooks");
    pollfd fds[3] = {{stopFd_, POLLIN, 0},
                     {xcb_get_file_descriptor(data_.get()), POLLIN, 0},
                     {xcb_get_file_descriptor(control_.get()), POLLIN, 0}};
    while (true) {
        const int ready = ::poll(fds, 3, kNudgeAfterMs);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (ready == 0) {
            nudge();
            continue;
        }
        if (fds[0].revents != 0) {
            return;  // stop()
        }
        // A changed mapping is read before the keys recorded after it are translated.
        while (drainControlEvents()) {
            keymap_.load(control_.get());
        }
        if (!drainRecordedData()) {
            return;
        }
        if (xcb_connection_has_error(data_.get()) || xcb_connection_has_error(control_.get())) {
            return;  // the display went away; nothing more will come
        }
    }
}

void XRecordReader::nudge() {
    if (nudgePending_) {
        // One at a time: a server that does not answer gets no growing pile of requests.
        void* reply = nullptr;
        xcb_generic_error_t* error = nullptr;
        if (xcb_poll_for_reply(control_.get(), nudgeSequence_, &reply, &error) == 0) {
            return;
        }
        std::free(reply);
        std::free(error);
    }
    nudgeSequence_ = xcb_get_input_focus(control_.get()).sequence;
    nudgePending_ = true;
    xcb_flush(control_.get());
}

bool XRecordReader::drainControlEvents() {
    bool mappingChanged = false;
    while (xcb_generic_event_t* raw = xcb_poll_for_event(control_.get())) {
        const XcbReply<xcb_generic_event_t> event(raw);
        if ((event->response_type & 0x7f) == XCB_MAPPING_NOTIFY) {
            const auto* notify = reinterpret_cast<const xcb_mapping_notify_event_t*>(raw);
            mappingChanged = mappingChanged || notify->request == XCB_MAPPING_KEYBOARD;
        }
    }
    return mappingChanged;
}

bool XRecordReader::drainRecordedData() {
    while (true) {
        void* raw = nullptr;
        xcb_generic_error_t* rawError = nullptr;
        if (xcb_poll_for_reply(data_.get(), enableSequence_, &raw, &rawError) == 0) {
            return true;  // nothing more for now
        }
        const XcbReply<xcb_generic_error_t> error(rawError);
        const XcbReply<xcb_record_enable_context_reply_t> reply(
            static_cast<xcb_record_enable_context_reply_t*>(raw));
        if (!reply) {
            return false;  // the request is over: the recording was ended or refused
        }
        if (reply->category == kEndOfData) {
            return false;
        }
        if (reply->category == kFromServer) {
            handleChunk(xcb_record_enable_context_data(reply.get()),
                        static_cast<size_t>(xcb_record_enable_context_data_length(reply.get())));
        }
    }
}

void XRecordReader::handleChunk(const uint8_t* data, size_t length) {
    // Several events may come in one reply, each a 32-byte core event.
    for (size_t offset = 0; offset + kEventSize <= length; offset += kEventSize) {
        handleEvent(data + offset);
    }
}

void XRecordReader::handleEvent(const uint8_t* raw) {
    const uint8_t type = raw[0] & 0x7f;
    if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
        xcb_key_press_event_t key;
        std::memcpy(&key, raw, sizeof key);
        const bool press = type == XCB_KEY_PRESS;
        KeyboardEvent event;
        event.vkCode = keymap_.virtualKey(key.detail);
        event.scanCode = key.detail;
        event.time = key.time;
        event.keysDown = keymap_.virtualKeysDown(keycodesDown_);
        keycodesDown_.set(key.detail, press);
        // Alt turns key messages into system key messages unless Ctrl is held; Alt itself
        // and F10 are system keys too.
        const bool system = event.vkCode == vk::F10 || event.vkCode == vk::LMenu ||
                            event.vkCode == vk::RMenu ||
                            (event.isKeyDown(vk::Menu) && !event.isKeyDown(vk::Control));
        event.message = press ? (system ? msg::SysKeyDown : msg::KeyDown)
                              : (system ? msg::SysKeyUp : msg::KeyUp);
        if (keySink_) {
            keySink_(event);
        }
        return;
    }
    if (type == XCB_BUTTON_PRESS || type == XCB_BUTTON_RELEASE || type == XCB_MOTION_NOTIFY) {
        xcb_button_press_event_t pointer;  // same layout for the three
        std::memcpy(&pointer, raw, sizeof pointer);
        MouseEvent event;
        event.pt = Point{pointer.root_x, pointer.root_y};
        event.time = pointer.time;
        if (type == XCB_MOTION_NOTIFY) {
            event.message = msg::MouseMove;
        } else {
            event.message =
                buttonMessage(pointer.detail, type == XCB_BUTTON_PRESS, &event.mouseData);
            if (event.message == 0) {
                return;  // a wheel release or a button the hooks do not know
            }
        }
        if (mouseSink_) {
            mouseSink_(event);
        }
    }
}

}  // namespace platform
