// Audio endpoints on a PulseAudio server: the microphone is the default source, loopback of the
// playback device is the monitor of the default sink, and a render stream plays on the default
// sink. Each enumerator owns one connection (a threaded main loop and its context); the
// endpoints it made share it and keep it alive.
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/AudioEndpoint.h"

namespace platform {
namespace {

// How long we wait for the server at each step. A server that accepts the connection and then
// says nothing must not hang the recorder.
constexpr int kTimeoutMs = 3000;
// Packet size asked of a capture stream; the shared-mode engine we mirror uses 10 ms periods.
constexpr uint32_t kPeriodMs = 10;
// Buffer of the render stream.
constexpr uint32_t kRenderBufferMs = 50;

struct MainloopFree {
    void operator()(pa_threaded_mainloop* m) const { pa_threaded_mainloop_free(m); }
};

class LoopLock {
  public:
    explicit LoopLock(pa_threaded_mainloop* loop) : loop_(loop) {
        pa_threaded_mainloop_lock(loop_);
    }
    ~LoopLock() { pa_threaded_mainloop_unlock(loop_); }
    LoopLock(const LoopLock&) = delete;
    LoopLock& operator=(const LoopLock&) = delete;

  private:
    pa_threaded_mainloop* loop_;
};

class Connection {
  public:
    ~Connection() {
        if (loop_ && context_) {
            {
                LoopLock lock(loop_.get());
                pa_context_set_state_callback(context_, nullptr, nullptr);
                pa_context_disconnect(context_);
                pa_context_unref(context_);
            }
            context_ = nullptr;
        }
        if (loop_ && started_) {
            pa_threaded_mainloop_stop(loop_.get());
        }
    }

    static int32_t open(std::shared_ptr<Connection>* out) {
        auto c = std::shared_ptr<Connection>(new Connection);
        c->loop_.reset(pa_threaded_mainloop_new());
        if (!c->loop_) {
            return audiohr::kFail;
        }
        pa_proplist* props = pa_proplist_new();
        pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "screen-capturer");
        c->context_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(c->loop_.get()),
                                                   "screen-capturer", props);
        pa_proplist_free(props);
        if (!c->context_) {
            return audiohr::kFail;
        }
        pa_context_set_state_callback(c->context_, &Connection::signalLoop, c->loop_.get());
        // Never start a server of our own: no server means no sound, reported as a failure.
        if (pa_context_connect(c->context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            return audiohr::kServiceNotRunning;
        }
        if (pa_threaded_mainloop_start(c->loop_.get()) < 0) {
            return audiohr::kFail;
        }
        c->started_ = true;
        {
            LoopLock lock(c->loop());
            const bool ready = c->waitLocked(
                [&] { return pa_context_get_state(c->context_) == PA_CONTEXT_READY; });
            if (!ready) {
                return audiohr::kServiceNotRunning;
            }
        }
        *out = std::move(c);
        return audiohr::kOk;
    }

    pa_threaded_mainloop* loop() const { return loop_.get(); }
    pa_context* context() const { return context_; }

    // With the loop lock held: waits until done() holds. False when the context failed or the
    // time ran out first.
    bool waitLocked(const std::function<bool()>& done) {
        struct Timer {
            pa_threaded_mainloop* loop;
            bool expired;
        } timer{loop_.get(), false};
        pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_.get());
        timeval deadline{};
        pa_gettimeofday(&deadline);
        pa_timeval_add(&deadline, static_cast<pa_usec_t>(kTimeoutMs) * PA_USEC_PER_MSEC);
        pa_time_event* event = api->time_new(
            api, &deadline,
            [](pa_mainloop_api*, pa_time_event*, const timeval*, void* userdata) {
                auto* t = static_cast<Timer*>(userdata);
                t->expired = true;
                pa_threaded_mainloop_signal(t->loop, 0);
            },
            &timer);
        bool ok = true;
        while (!done()) {
            const pa_context_state_t state = pa_context_get_state(context_);
            if (timer.expired || (state != PA_CONTEXT_UNCONNECTED && !PA_CONTEXT_IS_GOOD(state))) {
                ok = false;
                break;
            }
            pa_threaded_mainloop_wait(loop_.get());
        }
        api->time_free(event);
        return ok;
    }

    // With the loop lock held: runs the operation to its end. False when it could not.
    bool runLocked(pa_operation* op) {
        if (!op) {
            return false;
        }
        pa_operation_set_state_callback(
            op,
            [](pa_operation*, void* loop) {
                pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
            },
            loop_.get());
        const bool ok =
            waitLocked([op] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING; });
        if (!ok) {
            pa_operation_cancel(op);
        }
        const bool done = ok && pa_operation_get_state(op) == PA_OPERATION_DONE;
        pa_operation_unref(op);
        return done;
    }

    bool aliveLocked() const { return pa_context_get_state(context_) == PA_CONTEXT_READY; }

    static void signalLoop(pa_context*, void* loop) {
        pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
    }

  private:
    Connection() = default;

    std::unique_ptr<pa_threaded_mainloop, MainloopFree> loop_;
    pa_context* context_ = nullptr;  // guarded by the loop lock once the loop runs
    bool started_ = false;
};

uint32_t channelMaskOf(const pa_channel_map& map) {
    if (map.channels == 1) {
        return 0x4;  // mono plays as front centre
    }
    uint32_t mask = 0;
    for (unsigned i = 0; i < map.channels; ++i) {
        switch (map.map[i]) {
            case PA_CHANNEL_POSITION_FRONT_LEFT:
                mask |= 0x1;
                break;
            case PA_CHANNEL_POSITION_FRONT_RIGHT:
                mask |= 0x2;
                break;
            case PA_CHANNEL_POSITION_FRONT_CENTER:
                mask |= 0x4;
                break;
            case PA_CHANNEL_POSITION_LFE:
                mask |= 0x8;
                break;
            case PA_CHANNEL_POSITION_REAR_LEFT:
                mask |= 0x10;
                break;
            case PA_CHANNEL_POSITION_REAR_RIGHT:
                mask |= 0x20;
                break;
            case PA_CHANNEL_POSITION_FRONT_LEFT_OF_CENTER:
                mask |= 0x40;
                break;
            case PA_CHANNEL_POSITION_FRONT_RIGHT_OF_CENTER:
                mask |= 0x80;
                break;
            case PA_CHANNEL_POSITION_REAR_CENTER:
                mask |= 0x100;
                break;
            case PA_CHANNEL_POSITION_SIDE_LEFT:
                mask |= 0x200;
                break;
            case PA_CHANNEL_POSITION_SIDE_RIGHT:
                mask |= 0x400;
                break;
            case PA_CHANNEL_POSITION_TOP_CENTER:
                mask |= 0x800;
                break;
            case PA_CHANNEL_POSITION_TOP_FRONT_LEFT:
                mask |= 0x1000;
                break;
            case PA_CHANNEL_POSITION_TOP_FRONT_CENTER:
                mask |= 0x2000;
                break;
            case PA_CHANNEL_POSITION_TOP_FRONT_RIGHT:
                mask |= 0x4000;
                break;
            case PA_CHANNEL_POSITION_TOP_REAR_LEFT:
                mask |= 0x8000;
                break;
            case PA_CHANNEL_POSITION_TOP_REAR_CENTER:
                mask |= 0x10000;
                break;
            case PA_CHANNEL_POSITION_TOP_REAR_RIGHT:
                mask |= 0x20000;
                break;
            default:
                break;
        }
    }
    return mask;
}

// The sample format a WaveFormat asks for, or PA_SAMPLE_INVALID.
pa_sample_format_t sampleFormatOf(const WaveFormat& f) {
    const bool extensible = f.formatTag == WaveFormat::kExtensible;
    const bool isFloat = f.formatTag == WaveFormat::kIeeeFloat ||
                         (extensible && f.subFormat == WaveFormat::SubFormat::IeeeFloat);
    const bool isPcm = f.formatTag == WaveFormat::kPcm ||
                       (extensible && f.subFormat == WaveFormat::SubFormat::Pcm);
    if (isFloat && f.bitsPerSample == 32) {
        return PA_SAMPLE_FLOAT32LE;
    }
    if (isPcm) {
        switch (f.bitsPerSample) {
            case 8:
                return PA_SAMPLE_U8;
            case 16:
                return PA_SAMPLE_S16LE;
            case 24:
                return PA_SAMPLE_S24LE;
            case 32:
                return PA_SAMPLE_S32LE;
            default:
                break;
        }
    }
    return PA_SAMPLE_INVALID;
}

struct DeviceInfo {
    std::string name;     // the sink or source to open
    std::string monitor;  // for a sink: its monitor source
    pa_sample_spec spec{};
    pa_channel_map map{};
    bool found = false;
};

class PulseEndpoint final : public AudioEndpoint {
  public:
    PulseEndpoint(std::shared_ptr<Connection> connection, DataFlow flow, DeviceInfo device)
        : connection_(std::move(connection)), flow_(flow), device_(std::move(device)) {}

    ~PulseEndpoint() override {
        LoopLock lock(connection_->loop());
        dropStreamLocked();
    }

    int32_t activate() override {
        LoopLock lock(connection_->loop());
        if (!connection_->aliveLocked()) {
            return audiohr::kDeviceInvalidated;
        }
        activated_ = true;
        return audiohr::kOk;
    }

    int32_t getMixFormat(WaveFormat* format) override {
        if (!format) {
            return audiohr::kPointer;
        }
        if (!activated_) {
            return audiohr::kNotInitialized;
        }
        // What the server mixes in, described the way a shared-mode engine reports it: float.
        WaveFormat f;
        f.formatTag = WaveFormat::kExtensible;
        f.channels = device_.spec.channels;
        f.samplesPerSec = device_.spec.rate;
        f.bitsPerSample = 32;
        f.blockAlign = static_cast<uint16_t>(f.channels * 4);
        f.avgBytesPerSec = f.samplesPerSec * f.blockAlign;
        f.validBitsPerSample = 32;
        f.channelMask = channelMaskOf(device_.map);
        f.subFormat = WaveFormat::SubFormat::IeeeFloat;
        *format = f;
        return audiohr::kOk;
    }

    int32_t initialize(const WaveFormat& format, uint32_t streamFlags) override {
        if (!activated_) {
            return audiohr::kNotInitialized;
        }
        const bool loopback = (streamFlags & kStreamFlagsLoopback) != 0;
        if (loopback && flow_ != DataFlow::Render) {
            return audiohr::kWrongEndpointType;
        }
        pa_sample_spec spec{};
        spec.format = sampleFormatOf(format);
        spec.rate = format.samplesPerSec;
        spec.channels = static_cast<uint8_t>(format.channels);
        if (spec.format == PA_SAMPLE_INVALID || format.channels == 0 ||
            format.channels > PA_CHANNELS_MAX || !pa_sample_spec_valid(&spec) ||
            format.blockAlign != pa_frame_size(&spec)) {
            return audiohr::kUnsupportedFormat;
        }
        pa_channel_map map = device_.map;
        if (map.channels != spec.channels &&
            !pa_channel_map_init_auto(&map, spec.channels, PA_CHANNEL_MAP_WAVEEX)) {
            return audiohr::kUnsupportedFormat;
        }

        LoopLock lock(connection_->loop());
        if (stream_) {
            return audiohr::kAlreadyInitialized;
        }
        if (!connection_->aliveLocked()) {
            return audiohr::kDeviceInvalidated;
        }
        recording_ = flow_ == DataFlow::Capture || loopback;
        frameBytes_ = static_cast<uint32_t>(pa_frame_size(&spec));
        stream_ = pa_stream_new(connection_->context(),
                                recording_ ? "screen-capturer capture" : "screen-capturer render",
                                &spec, &map);
        if (!stream_) {
            return audiohr::kFail;
        }
        pa_stream_set_state_callback(stream_, &PulseEndpoint::onStreamState, connection_->loop());
        // Nothing flows until start(): the stream is created paused.
        const auto flags =
            static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY);
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.prebuf = static_cast<uint32_t>(-1);
        attr.minreq = static_cast<uint32_t>(-1);
        int rc = 0;
        if (recording_) {
            attr.tlength = static_cast<uint32_t>(-1);
            attr.fragsize =
                static_cast<uint32_t>(pa_usec_to_bytes(kPeriodMs * PA_USEC_PER_MSEC, &spec));
            const std::string& source = loopback ? device_.monitor : device_.name;
            rc = pa_stream_connect_record(stream_, source.c_str(), &attr, flags);
        } else {
            attr.fragsize = static_cast<uint32_t>(-1);
            attr.tlength =
                static_cast<uint32_t>(pa_usec_to_bytes(kRenderBufferMs * PA_USEC_PER_MSEC, &spec));
            pa_stream_set_write_callback(stream_, &PulseEndpoint::onWritable, this);
            rc = pa_stream_connect_playback(stream_, device_.name.c_str(), &attr, flags, nullptr,
                                            nullptr);
        }
        const bool ready = rc == 0 && connection_->waitLocked([this] {
            const pa_stream_state_t s = pa_stream_get_state(stream_);
            return s == PA_STREAM_READY || !PA_STREAM_IS_GOOD(s);
        }) && pa_stream_get_state(stream_) == PA_STREAM_READY;
        if (!ready) {
            dropStreamLocked();
            return audiohr::kDeviceInvalidated;
        }
        if (!recording_) {
            const pa_buffer_attr* got = pa_stream_get_buffer_attr(stream_);
            bufferFrames_ = got ? got->tlength / frameBytes_ : 0;
        }
        return audiohr::kOk;
    }

    int32_t getService(Service service) override {
        LoopLock lock(connection_->loop());
        if (!stream_) {
            return audiohr::kNotInitialized;
        }
        const bool wantCapture = service == Service::Capture;
        return wantCapture == recording_ ? audiohr::kOk : audiohr::kWrongEndpointType;
    }

    int32_t start() override { return cork(false); }
    int32_t stop() override { return cork(true); }

    int32_t getNextPacketSize(uint32_t* frames) override {
        if (!frames) {
            return audiohr::kPointer;
        }
        *frames = 0;
        const int32_t hr = fillPacket();
        if (hr < 0) {
            return hr;
        }
        *frames = packetFrames_;
        return audiohr::kOk;
    }

    int32_t getBuffer(const uint8_t** data, uint32_t* frames, uint32_t* flags) override {
        if (!data || !frames || !flags) {
            return audiohr::kPointer;
        }
        *data = nullptr;
        *frames = 0;
        *flags = 0;
        const int32_t hr = fillPacket();
        if (hr < 0) {
            return hr;
        }
        if (packetFrames_ == 0) {
            return 0x08890001;  // nothing pending: an empty buffer, not a failure
        }
        *data = packet_.data();
        *frames = packetFrames_;
        *flags = packetSilent_ ? kBufferFlagsSilent : 0;
        return audiohr::kOk;
    }

    int32_t releaseBuffer(uint32_t frames) override {
        if (frames != 0 && frames != packetFrames_) {
            return static_cast<int32_t>(0x88890011);  // not the size handed out
        }
        if (frames != 0) {
            packetFrames_ = 0;
            packetSilent_ = false;
        }
        return audiohr::kOk;
    }

    int32_t getBufferSize(uint32_t* frames) override {
        if (!frames) {
            return audiohr::kPointer;
        }
        LoopLock lock(connection_->loop());
        if (!stream_ || recording_) {
            return audiohr::kNotInitialized;
        }
        *frames = bufferFrames_;
        return audiohr::kOk;
    }

    int32_t getCurrentPadding(uint32_t* frames) override {
        if (!frames) {
            return audiohr::kPointer;
        }
        LoopLock lock(connection_->loop());
        const int32_t hr = renderStateLocked();
        if (hr < 0) {
            return hr;
        }
        *frames = paddingLocked();
        return audiohr::kOk;
    }

    int32_t getRenderBuffer(uint32_t frames, uint8_t** data) override {
        if (!data) {
            return audiohr::kPointer;
        }
        LoopLock lock(connection_->loop());
        const int32_t hr = renderStateLocked();
        if (hr < 0) {
            return hr;
        }
        if (frames > bufferFrames_ - paddingLocked()) {
            return audiohr::kBufferTooLarge;
        }
        render_.assign(static_cast<size_t>(frames) * frameBytes_, 0);
        renderFrames_ = frames;
        *data = render_.data();
        return audiohr::kOk;
    }

    int32_t releaseRenderBuffer(uint32_t frames, uint32_t flags) override {
        LoopLock lock(connection_->loop());
        if (frames > renderFrames_) {
            return static_cast<int32_t>(0x88890011);
        }
        renderFrames_ = 0;
        if (frames == 0) {
            return audiohr::kOk;
        }
        const int32_t hr = renderStateLocked();
        if (hr < 0) {
            return hr;
        }
        const size_t bytes = static_cast<size_t>(frames) * frameBytes_;
        if (flags & kBufferFlagsSilent) {
            std::fill(render_.begin(), render_.begin() + static_cast<std::ptrdiff_t>(bytes), 0);
        }
        if (pa_stream_write(stream_, render_.data(), bytes, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
            return audiohr::kDeviceInvalidated;
        }
        return audiohr::kOk;
    }

    int32_t setEventHandle(std::function<void()> signal) override {
        LoopLock lock(connection_->loop());
        if (!stream_ || recording_) {
            return audiohr::kNotInitialized;
        }
        signal_ = std::move(signal);
        return audiohr::kOk;
    }

  private:
    static void onStreamState(pa_stream*, void* loop) {
        pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
    }

    // Loop thread, loop lock held.
    static void onWritable(pa_stream*, size_t, void* self) {
        auto* endpoint = static_cast<PulseEndpoint*>(self);
        if (endpoint->signal_) {
            endpoint->signal_();
        }
    }

    void dropStreamLocked() {
        if (!stream_) {
            return;
        }
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_set_write_callback(stream_, nullptr, nullptr);
        if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) {
            pa_stream_disconnect(stream_);
        }
        pa_stream_unref(stream_);
        stream_ = nullptr;
    }

    int32_t cork(bool paused) {
        LoopLock lock(connection_->loop());
        if (!stream_) {
            return audiohr::kNotInitialized;
        }
        if (pa_stream_get_state(stream_) != PA_STREAM_READY) {
            return audiohr::kDeviceInvalidated;
        }
        // Not waited for: the server applies it in order with everything we send later.
        pa_operation* op = pa_stream_cork(stream_, paused ? 1 : 0, nullptr, nullptr);
        if (!op) {
            return audiohr::kDeviceInvalidated;
        }
        pa_operation_unref(op);
        return audiohr::kOk;
    }

    int32_t renderStateLocked() const {
        if (!stream_ || recording_) {
            return audiohr::kNotInitialized;
        }
        if (pa_stream_get_state(stream_) != PA_STREAM_READY) {
            return audiohr::kDeviceInvalidated;
        }
        return audiohr::kOk;
    }

    uint32_t paddingLocked() const {
        const size_t writable = pa_stream_writable_size(stream_);
        if (writable == static_cast<size_t>(-1)) {
            return bufferFrames_;
        }
        const auto free =
            static_cast<uint32_t>(std::min<size_t>(writable / frameBytes_, bufferFrames_));
        return bufferFrames_ - free;
    }

    // Capture thread. Makes the next packet ready when none is: copies one fragment out of the
    // stream (the server may drop the stream's memory when it goes away, so nothing handed out
    // points into it), whole frames only.
    int32_t fillPacket() {
        if (packetFrames_ != 0) {
            return audiohr::kOk;
        }
        LoopLock lock(connection_->loop());
        if (!stream_ || !recording_) {
            return audiohr::kNotInitialized;
        }
        for (;;) {
            if (pa_stream_get_state(stream_) != PA_STREAM_READY) {
                return audiohr::kDeviceInvalidated;
            }
            const void* data = nullptr;
            size_t bytes = 0;
            if (pa_stream_peek(stream_, &data, &bytes) < 0) {
                return audiohr::kDeviceInvalidated;
            }
            if (bytes == 0) {
                return audiohr::kOk;  // nothing pending
            }
            if (!data) {
                // A hole: the server lost this stretch. It is silence of that length.
                pa_stream_drop(stream_);
                packetFrames_ = static_cast<uint32_t>(bytes / frameBytes_);
                packet_.assign(static_cast<size_t>(packetFrames_) * frameBytes_, 0);
                packetSilent_ = true;
                carry_.clear();  // frame alignment restarts after a hole
            } else {
                const auto* bytesIn = static_cast<const uint8_t*>(data);
                carry_.insert(carry_.end(), bytesIn, bytesIn + bytes);
                pa_stream_drop(stream_);
                packetFrames_ = static_cast<uint32_t>(carry_.size() / frameBytes_);
                const size_t whole = static_cast<size_t>(packetFrames_) * frameBytes_;
                packet_.assign(carry_.begin(), carry_.begin() + static_cast<std::ptrdiff_t>(whole));
                carry_.erase(carry_.begin(), carry_.begin() + static_cast<std::ptrdiff_t>(whole));
                packetSilent_ = false;
            }
            if (packetFrames_ != 0) {
                return audiohr::kOk;
            }
        }
    }

    const std::shared_ptr<Connection> connection_;
    const DataFlow flow_;
    const DeviceInfo device_;

    // The calling thread's (one at a time, see AudioEndpoint).
    bool activated_ = false;
    bool recording_ = false;
    uint32_t frameBytes_ = 0;
    uint32_t bufferFrames_ = 0;
    std::vector<uint8_t> packet_;  // the packet handed out by getBuffer
    uint32_t packetFrames_ = 0;
    bool packetSilent_ = false;
    std::vector<uint8_t> carry_;  // bytes of a frame split between two fragments
    std::vector<uint8_t> render_;
    uint32_t renderFrames_ = 0;

    // Guarded by the loop lock: the stream and the callback the loop thread calls.
    pa_stream* stream_ = nullptr;
    std::function<void()> signal_;
};

class PulseEnumerator final : public AudioEndpointEnumerator {
  public:
    explicit PulseEnumerator(std::shared_ptr<Connection> connection)
        : connection_(std::move(connection)) {}

    int32_t getDefaultAudioEndpoint(DataFlow flow,
                                    std::unique_ptr<AudioEndpoint>* endpoint) override {
        if (!endpoint) {
            return audiohr::kPointer;
        }
        endpoint->reset();
        LoopLock lock(connection_->loop());
        query_ = Query{};
        query_.capture = flow == DataFlow::Capture;
        pa_operation* op = pa_context_get_server_info(
            connection_->context(),
            [](pa_context*, const pa_server_info* info, void* userdata) {
                if (info) {
                    const char* name = static_cast<Query*>(userdata)->capture
                                           ? info->default_source_name
                                           : info->default_sink_name;
                    static_cast<Query*>(userdata)->name = name ? name : "";
                }
            },
            &query_);
        if (!connection_->runLocked(op) || query_.name.empty()) {
            return audiohr::kNotFound;
        }
        const std::string defaultName = query_.name;

        DeviceInfo device;
        if (flow == DataFlow::Capture) {
            op = pa_context_get_source_info_by_name(
                connection_->context(), defaultName.c_str(),
                [](pa_context*, const pa_source_info* info, int eol, void* userdata) {
                    if (eol == 0 && info) {
                        auto* d = static_cast<DeviceInfo*>(userdata);
                        d->name = info->name;
                        d->spec = info->sample_spec;
                        d->map = info->channel_map;
                        d->found = true;
                    }
                },
                &device);
        } else {
            op = pa_context_get_sink_info_by_name(
                connection_->context(), defaultName.c_str(),
                [](pa_context*, const pa_sink_info* info, int eol, void* userdata) {
                    if (eol == 0 && info) {
                        auto* d = static_cast<DeviceInfo*>(userdata);
                        d->name = info->name;
                        d->monitor = info->monitor_source_name ? info->monitor_source_name : "";
                        d->spec = info->sample_spec;
                        d->map = info->channel_map;
                        d->found = true;
                    }
                },
                &device);
        }
        if (!connection_->runLocked(op) || !device.found) {
            return audiohr::kNotFound;
        }
        *endpoint = std::make_unique<PulseEndpoint>(connection_, flow, std::move(device));
        return audiohr::kOk;
    }

  private:
    struct Query {
        bool capture = false;
        std::string name;
    };
    std::shared_ptr<Connection> connection_;
    Query query_;  // filled by the loop thread while we wait under the loop lock
};

class PulseFactory final : public AudioEndpointFactory {
  public:
    int32_t createEnumerator(std::unique_ptr<AudioEndpointEnumerator>* enumerator) override {
        if (!enumerator) {
            return audiohr::kPointer;
        }
        enumerator->reset();
        std::shared_ptr<Connection> connection;
        const int32_t hr = Connection::open(&connection);
        if (hr < 0) {
            return hr;
        }
        *enumerator = std::make_unique<PulseEnumerator>(std::move(connection));
        return audiohr::kOk;
    }
};

}  // namespace

AudioEndpointFactory& AudioEndpointFactory::system() {
    static PulseFactory factory;
    return factory;
}

}  // namespace platform
