#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/WaveFormat.h"

namespace platform {

// HRESULT-style results of the audio calls: negative means failure.
namespace audiohr {
constexpr int32_t kOk = 0;
constexpr int32_t kFalse = 1;
constexpr int32_t kFail = static_cast<int32_t>(0x80004005);
constexpr int32_t kNotImplemented = static_cast<int32_t>(0x80004001);
constexpr int32_t kPointer = static_cast<int32_t>(0x80004003);
constexpr int32_t kUnexpected = static_cast<int32_t>(0x8000FFFF);
constexpr int32_t kNotFound = static_cast<int32_t>(0x80070490);
constexpr int32_t kNotInitialized = static_cast<int32_t>(0x88890001);
constexpr int32_t kAlreadyInitialized = static_cast<int32_t>(0x88890002);
constexpr int32_t kWrongEndpointType = static_cast<int32_t>(0x88890003);
constexpr int32_t kDeviceInvalidated = static_cast<int32_t>(0x88890004);
constexpr int32_t kBufferTooLarge = static_cast<int32_t>(0x88890006);
constexpr int32_t kOutOfOrder = static_cast<int32_t>(0x88890007);
constexpr int32_t kUnsupportedFormat = static_cast<int32_t>(0x88890008);
constexpr int32_t kServiceNotRunning = static_cast<int32_t>(0x88890010);
}  // namespace audiohr

// Direction of an endpoint: what plays (render) or what records (capture).
enum class DataFlow : int32_t { Render = 0, Capture = 1 };

// Stream flags for initialize().
constexpr uint32_t kStreamFlagsLoopback = 0x00020000;       // record what a render device plays
constexpr uint32_t kStreamFlagsEventCallback = 0x00040000;  // render: signal when data is due

// Buffer flags: the packet (or the buffer handed back) holds silence, whatever its bytes say.
constexpr uint32_t kBufferFlagsSilent = 0x2;

// One audio endpoint and its shared-mode stream, shaped after the device, its client and the
// client's capture or render service. Calls are made from one thread at a time, except that
// the event callback runs on the endpoint's own thread. Results follow audiohr.
class AudioEndpoint {
  public:
    virtual ~AudioEndpoint() = default;

    // Prepares a client for the device; must precede every call below.
    virtual int32_t activate() = 0;
    // The format the device mixes in (its rate and channels).
    virtual int32_t getMixFormat(WaveFormat* format) = 0;
    // Creates the stream in shared mode; later data is in exactly this format. A render
    // endpoint with kStreamFlagsLoopback records what the device plays.
    virtual int32_t initialize(const WaveFormat& format, uint32_t streamFlags) = 0;
    enum class Service { Capture, Render };
    // Checks that the stream offers the reader or the writer (a capture stream has no writer).
    virtual int32_t getService(Service service) = 0;
    virtual int32_t start() = 0;
    virtual int32_t stop() = 0;

    // Capture side. A packet is a run of whole frames; its data stays valid until
    // releaseBuffer. A stretch the device lost is handed out as a packet flagged silent.
    virtual int32_t getNextPacketSize(uint32_t* frames) = 0;
    virtual int32_t getBuffer(const uint8_t** data, uint32_t* frames, uint32_t* flags) = 0;
    virtual int32_t releaseBuffer(uint32_t frames) = 0;

    // Render side. The buffer holds bufferSize frames, padding of which still wait to play.
    virtual int32_t getBufferSize(uint32_t* frames) = 0;
    virtual int32_t getCurrentPadding(uint32_t* frames) = 0;
    virtual int32_t getRenderBuffer(uint32_t frames, uint8_t** data) = 0;
    virtual int32_t releaseRenderBuffer(uint32_t frames, uint32_t flags) = 0;
    // With kStreamFlagsEventCallback: called on the endpoint's thread whenever the stream can
    // take more data. Set before start().
    virtual int32_t setEventHandle(std::function<void()> signal) = 0;
};

// Finds the default endpoints; stands in for the device enumerator.
class AudioEndpointEnumerator {
  public:
    virtual ~AudioEndpointEnumerator() = default;
    virtual int32_t getDefaultAudioEndpoint(DataFlow flow,
                                            std::unique_ptr<AudioEndpoint>* endpoint) = 0;
};

class AudioEndpointFactory {
  public:
    virtual ~AudioEndpointFactory() = default;
    // Reaches the sound system. Fails (in bounded time, starting nothing) when there is none.
    virtual int32_t createEnumerator(std::unique_ptr<AudioEndpointEnumerator>* enumerator) = 0;

    // The system's sound service; lives for the whole process.
    static AudioEndpointFactory& system();
};

}  // namespace platform
