#include "audio/Silence.h"

#include <cstdio>
#include <system_error>
#include <utility>

#include "base/Log.h"
#include "platform/ThreadPriority.h"

namespace {

const char* const kUnit = "Silence";

}  // namespace

Silence::Silence(platform::AudioEndpointFactory& factory) : factory_(factory) {}

Silence::~Silence() {
    Stop();
}

int32_t Silence::Start() {
    using platform::audiohr::kFail;
    if (thread_.joinable()) {
        return kFail;  // one player at a time
    }
    SC_LOG(kUnit, "====================== Start silence thread =====================");
    SC_LOG(kUnit, "Create hStartedEvent");
    startEvents_ = std::make_unique<AutoResetEvents>(2);
    SC_LOG(kUnit, "Create hStopEvent");
    playEvents_ = std::make_unique<AutoResetEvents>(2);

    SC_LOG(kUnit, "Get default device");
    std::unique_ptr<platform::AudioEndpoint> device;
    {
        std::unique_ptr<platform::AudioEndpointEnumerator> enumerator;
        int32_t hr = factory_.createEnumerator(&enumerator);
        if (hr < 0) {
            std::printf("CoCreateInstance(IMMDeviceEnumerator) failed: hr = 0x%08x\n",
                        static_cast<unsigned>(hr));
        } else {
            hr = enumerator->getDefaultAudioEndpoint(platform::DataFlow::Render, &device);
            if (hr < 0) {
                std::printf("IMMDeviceEnumerator::GetDefaultAudioEndpoint failed: hr = 0x%08x\n",
                            static_cast<unsigned>(hr));
            }
        }
        if (hr < 0) {
            SC_LOG(kUnit, "get_def_device failed: hr = 0x%08x\n", static_cast<unsigned>(hr));
            startEvents_.reset();
            playEvents_.reset();
            return kFail;
        }
    }

    args_ = std::make_unique<SilenceThreadArgs>();
    args_->device = std::move(device);
    args_->startEvents = startEvents_.get();
    args_->playEvents = playEvents_.get();

    SC_LOG(kUnit, "Create silence thread");
    try {
        SilenceThreadArgs* args = args_.get();
        thread_ = std::thread([args] {
            platform::setCurrentThreadName("silence");
            SilenceBgThread::Run(*args);
        });
    } catch (const std::system_error& e) {
        SC_LOG(kUnit, "CreateThread failed: last error is %u\n",
               static_cast<unsigned>(e.code().value()));
        args_.reset();
        startEvents_.reset();
        playEvents_.reset();
        return kFail;
    }

    if (startEvents_->waitAny() == SilenceThreadArgs::kStarted) {
        return 0;
    }
    SC_LOG(kUnit, "Thread aborted before starting to play silence: hr = 0x%08x\n",
           static_cast<unsigned>(args_->result.load()));
    thread_.join();
    args_.reset();
    startEvents_.reset();
    playEvents_.reset();
    return kFail;
}

int32_t Silence::Stop() {
    if (!thread_.joinable()) {
        return 0;
    }
    playEvents_->signal(SilenceThreadArgs::kStop);
    thread_.join();
    const uint32_t exitCode = args_->exitCode;
    args_.reset();
    startEvents_.reset();
    playEvents_.reset();
    if (exitCode != 0) {
        std::printf("Silence thread exit code is %u; expected 0\n", exitCode);
        return 128;
    }
    return 0;
}
