#include "audio/SilenceBgThread.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "base/Log.h"
#include "platform/Session.h"
#include "platform/ThreadPriority.h"

namespace {

const char* const kUnit = "SilenceBgThread";

// Plays silence until told to stop or until the stream fails. Leaves the client stopped; the
// caller releases it.
void play(SilenceThreadArgs& args, platform::AudioEndpoint& client) {
    // Every step leaves its result for the starter, which reports it if the thread ends early.
    const auto failed = [&](int32_t hr, const char* text) {
        args.result = hr;
        if (hr < 0) {
            SC_LOG(kUnit, text, static_cast<unsigned>(hr));
        }
        return hr < 0;
    };

    SC_LOG(kUnit, "Activate audio client");
    int32_t hr = client.activate();
    if (failed(hr, "IMMDevice::Activate(IAudioClient) failed: hr = 0x%08x")) {
        return;
    }
    WaveFormat mix;
    hr = client.getMixFormat(&mix);
    if (failed(hr, "IAudioClient::GetMixFormat failed: hr = 0x%08x\n")) {
        return;
    }
    SC_LOG(kUnit, "Initialize audio render client");
    hr = client.initialize(mix, platform::kStreamFlagsEventCallback);
    if (failed(hr, "IAudioClient::Initialize failed: hr 0x%08x\n")) {
        return;
    }
    uint32_t bufferFrames = 0;
    hr = client.getBufferSize(&bufferFrames);
    if (failed(hr, "IAudioClient::GetBufferSize failed: hr 0x%08x\n")) {
        return;
    }
    SC_LOG(kUnit, "Get audio render client");
    hr = client.getService(platform::AudioEndpoint::Service::Render);
    if (failed(hr, "IAudioClient::GetService(IAudioRenderClient) failed: hr 0x%08x\n")) {
        return;
    }
    AutoResetEvents* events = args.playEvents;
    hr = client.setEventHandle([events] { events->signal(SilenceThreadArgs::kBuffer); });
    if (failed(hr, "IAudioClient::SetEventHandle failed: hr = 0x%08x\n")) {
        return;
    }

    // Pre-fill the whole buffer with silence so the stream starts playing at once.
    uint8_t* data = nullptr;
    hr = client.getRenderBuffer(bufferFrames, &data);
    if (failed(hr, "IAudioRenderClient::GetBuffer failed on pre-fill: hr = 0x%08x\n")) {
        client.stop();
        std::printf("TODO: unregister with MMCSS\n");
        return;
    }
    hr = client.releaseRenderBuffer(bufferFrames, platform::kBufferFlagsSilent);
    if (failed(hr, "IAudioRenderClient::ReleaseBuffer failed on pre-fill: hr = 0x%08x\n")) {
        client.stop();
        std::printf("TODO: unregister with MMCSS\n");
        return;
    }

    SC_LOG(kUnit, "Register playback");
    // A priority hint only: where the system grants no more, silence plays at normal priority.
    platform::raiseCurrentThreadPriority();

    SC_LOG(kUnit, "Start audio client");
    hr = client.start();
    if (failed(hr, "IAudioClient::Start failed: hr = 0x%08x\n")) {
        std::printf("TODO: unregister with MMCSS\n");
        return;
    }

    args.startEvents->signal(SilenceThreadArgs::kStarted);
    SC_LOG(kUnit, "Start fill zero loop");
    for (;;) {
        const size_t which = events->waitAny();
        if (which == SilenceThreadArgs::kStop) {
            client.stop();
            SC_LOG(kUnit, "================== End silence thread ====================");
            return;
        }
        if (which != SilenceThreadArgs::kBuffer) {
            args.result = platform::audiohr::kUnexpected;
            client.stop();
            return;
        }
        // Top the buffer up with silence; a full buffer takes zero frames.
        uint32_t padding = 0;
        hr = client.getCurrentPadding(&padding);
        if (hr >= 0) {
            const uint32_t frames = bufferFrames - std::min(padding, bufferFrames);
            hr = client.getRenderBuffer(frames, &data);
            if (hr >= 0) {
                hr = client.releaseRenderBuffer(frames, platform::kBufferFlagsSilent);
            }
        }
        if (hr < 0) {
            args.result = hr;
            client.stop();
            return;
        }
    }
}

}  // namespace

void SilenceBgThread::Run(SilenceThreadArgs& args) {
    SC_LOG(kUnit, "================== Play silence thread ====================");
    const bool components = platform::initializeComponents();
    if (!components) {
        args.result = platform::audiohr::kFail;
        SC_LOG(kUnit, "CoInitialize failed: hr = 0x%08x\n",
               static_cast<unsigned>(platform::audiohr::kFail));
    } else {
        std::unique_ptr<platform::AudioEndpoint> client = std::move(args.device);
        if (client) {
            play(args, *client);
        }
        client.reset();  // the stream goes before the thread reports its end
        platform::uninitializeComponents();
    }
    args.exitCode = 0;
    args.startEvents->signal(SilenceThreadArgs::kEnded);
}
