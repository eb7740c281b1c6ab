#include <xcb/xcb.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <utility>

#include "base/Guarded.h"
#include "platform/InputHooks.h"
#include "platform/MessageLoop.h"
#include "platform/linux/KeyTable.h"
#include "platform/linux/X11Keymap.h"
#include "platform/linux/XRecordReader.h"

namespace platform {
namespace {

// The hooks of an X display. One XRecordReader serves both hooks: it runs while either is
// installed, and its events are posted to the UI thread, where the installed procedure of the
// moment gets them.
class X11InputHooks final : public InputHooks {
  public:
    uint32_t installMouseHook(MouseProc proc) override {
        if (const uint32_t error = ensureReader()) {
            return error;
        }
        mouseProc_ = std::move(proc);
        mouseGeneration_.store(++generations_);
        return 0;
    }

    uint32_t installKeyboardHook(KeyboardProc proc) override {
        if (const uint32_t error = ensureReader()) {
            return error;
        }
        keyboardProc_ = std::move(proc);
        keyboardGeneration_.store(++generations_);
        return 0;
    }

    void removeMouseHook() override {
        mouseGeneration_.store(0);
        mouseProc_ = nullptr;
        stopReaderWhenUnused();
    }

    void removeKeyboardHook() override {
        keyboardGeneration_.store(0);
        keyboardProc_ = nullptr;
        stopReaderWhenUnused();
    }

    bool isKeyDown(uint32_t code) override {
        auto query = keyQuery_.lock();
        if (!query->connect()) {
            return false;
        }
        xcb_connection_t* connection = query->connection.get();
        const std::unique_ptr<xcb_query_keymap_reply_t, decltype(&std::free)> reply(
            xcb_query_keymap_reply(connection, xcb_query_keymap(connection), nullptr), &std::free);
        if (!reply) {
            query->connection.reset();  // try a fresh connection next time
            return false;
        }
        query->refreshKeymapIfChanged();
        const std::bitset<256> down =
            query->keymap.virtualKeysDown(X11Keymap::keycodesFromBits(reply->keys));
        return isKeyIn(down, code);
    }

    std::wstring keyName(uint32_t code) override { return virtualKeyName(code); }

  private:
    // A connection of its own for key-state queries, which may come from any thread.
    struct KeyQuery {
        struct Deleter {
            void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
        };
        std::unique_ptr<xcb_connection_t, Deleter> connection;
        X11Keymap keymap;

        bool connect() {
            if (connection && !xcb_connection_has_error(connection.get())) {
                return true;
            }
            connection.reset(xcb_connect(nullptr, nullptr));
            if (xcb_connection_has_error(connection.get()) || !keymap.load(connection.get())) {
                connection.reset();
                return false;
            }
            return true;
        }

        // Every client is told of mapping changes; the notices queue up here between queries.
        void refreshKeymapIfChanged() {
            bool changed = false;
            while (xcb_generic_event_t* event = xcb_poll_for_event(connection.get())) {
                if ((event->response_type & 0x7f) == XCB_MAPPING_NOTIFY) {
                    changed =
                        changed || reinterpret_cast<xcb_mapping_notify_event_t*>(event)->request ==
                                       XCB_MAPPING_KEYBOARD;
                }
                std::free(event);
            }
            if (changed) {
                keymap.load(connection.get());
            }
        }
    };

    uint32_t ensureReader() {
        if (reader_) {
            return 0;
        }
        // Reader thread: posts what a hook wants, tagged with the hook's installation.
        auto reader = std::make_unique<XRecordReader>(
            [this](const KeyboardEvent& event) {
                const uint64_t generation = keyboardGeneration_.load();
                if (generation != 0) {
                    MessageLoop::ui().post(
                        [this, generation, event] { deliverKey(generation, event); });
                }
            },
            [this](const MouseEvent& event) {
                const uint64_t generation = mouseGeneration_.load();
                if (generation != 0) {
                    MessageLoop::ui().post(
                        [this, generation, event] { deliverMouse(generation, event); });
                }
            });
        if (const uint32_t error = reader->start()) {
            return error;
        }
        reader_ = std::move(reader);
        return 0;
    }

    void stopReaderWhenUnused() {
        if (reader_ && !mouseProc_ && !keyboardProc_) {
            reader_->stop();
            reader_.reset();
        }
    }

    // UI thread. An event queued before its hook was removed or installed again is dropped.
    void deliverKey(uint64_t generation, const KeyboardEvent& event) {
        if (generation == keyboardGeneration_.load() && keyboardProc_) {
            const KeyboardProc proc = keyboardProc_;  // the procedure may remove its hook
            proc(event);
        }
    }

    void deliverMouse(uint64_t generation, const MouseEvent& event) {
        if (generation == mouseGeneration_.load() && mouseProc_) {
            const MouseProc proc = mouseProc_;
            proc(event);
        }
    }

    // UI thread only.
    MouseProc mouseProc_;
    KeyboardProc keyboardProc_;
    std::unique_ptr<XRecordReader> reader_;
    uint64_t generations_ = 0;

    // Which installation of each hook is current, 0 when removed: written by the UI thread,
    // read by the reader thread (to tag what it posts) and the UI thread (to deliver).
    std::atomic<uint64_t> mouseGeneration_{0};
    std::atomic<uint64_t> keyboardGeneration_{0};

    Guarded<KeyQuery> keyQuery_;  // any thread
};

}  // namespace

InputHooks& InputHooks::system() {
    static X11InputHooks* hooks = new X11InputHooks();  // lives until the process ends
    return *hooks;
}

}  // namespace platform
