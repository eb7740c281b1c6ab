#pragma once

#include <xcb/xcb.h>

#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "platform/InputHooks.h"
#include "platform/linux/X11Keymap.h"

namespace platform {

// Reads every key and pointer event of the X display, whatever window they go to, through the
// RECORD extension on two connections of its own (one to control the recording, one that
// receives it), on a thread of its own. Events are translated (keysyms to virtual keys, the
// pointer's root position, the keys that were down before the event) and handed to the sinks
// on that thread, in the order the server processed them.
class XRecordReader {
  public:
    using KeySink = std::function<void(const KeyboardEvent&)>;
    using MouseSink = std::function<void(const MouseEvent&)>;

    XRecordReader(KeySink keySink, MouseSink mouseSink);
    ~XRecordReader();  // stops and joins

    XRecordReader(const XRecordReader&) = delete;
    XRecordReader& operator=(const XRecordReader&) = delete;

    // Connects, starts recording and the thread. Returns 0 once the server records (every
    // event after that reaches a sink), else an inputerror number. Owner's thread.
    uint32_t start();

    // Ends the thread, waits for it and closes the connections. Owner's thread; harmless when
    // not started. The thread also ends by itself when the display goes away.
    void stop();

    bool running() const { return thread_.joinable(); }

  private:
    struct ConnectionDeleter {
        void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
    };
    using Connection = std::unique_ptr<xcb_connection_t, ConnectionDeleter>;

    void run();
    void nudge();               // makes the server flush what it recorded
    bool drainControlEvents();  // true when the keyboard mapping changed
    bool drainRecordedData();   // false when the recording ended
    void handleChunk(const uint8_t* data, size_t length);
    void handleEvent(const uint8_t* event);

    const KeySink keySink_;
    const MouseSink mouseSink_;

    // Set up by start() before the thread exists, then used by the reader thread alone until
    // stop() has joined it.
    Connection control_;
    Connection data_;
    uint32_t context_ = 0;
    unsigned int enableSequence_ = 0;
    X11Keymap keymap_;
    std::bitset<256> keycodesDown_;  // keycodes down as the recorded events tell
    unsigned int nudgeSequence_ = 0;
    bool nudgePending_ = false;

    // The eventfd through which stop() wakes the thread: written by the owner's thread, read
    // by the reader thread.
    int stopFd_ = -1;

    std::thread thread_;  // owner's thread only
};

}  // namespace platform
