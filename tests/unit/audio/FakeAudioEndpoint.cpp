#include "FakeAudioEndpoint.h"

#include <utility>

namespace fakeaudio {
namespace {

using platform::audiohr::kOk;

class FakeEndpoint final : public platform::AudioEndpoint {
  public:
    explicit FakeEndpoint(std::shared_ptr<FakeDevice> d) : d_(std::move(d)) {
        std::lock_guard<std::mutex> lock(d_->mutex);
        ++d_->endpointsAlive;
    }
    ~FakeEndpoint() override {
        std::lock_guard<std::mutex> lock(d_->mutex);
        --d_->endpointsAlive;
        d_->signal = nullptr;
        d_->changed.notify_all();
    }

    int32_t activate() override { return result(&FakeDevice::activateResult); }
    int32_t getMixFormat(WaveFormat* format) override {
        std::lock_guard<std::mutex> lock(d_->mutex);
        if (d_->mixFormatResult < 0) {
            return d_->mixFormatResult;
        }
        *format = d_->mixFormat;
        return kOk;
    }
    int32_t initialize(const WaveFormat& format, uint32_t streamFlags) override {
        std::lock_guard<std::mutex> lock(d_->mutex);
        if (d_->initializeResult < 0) {
            return d_->initializeResult;
        }
        d_->initialized = true;
        d_->initializedFormat = format;
        d_->initializedFlags = streamFlags;
        blockAlign_ = format.blockAlign;
        return kOk;
    }
    int32_t getService(Service) override { return result(&FakeDevice::serviceResult); }
    int32_t start() override {
        std::lock_guard<std::mutex> lock(d_->mutex);
        ++d_->starts;
        return d_->startResult;
    }
    int32_t stop() override {
        std::lock_guard<std::mutex> lock(d_->mutex);
        ++d_->stops;
        return d_->stopResult;
    }

    int32_t getNextPacketSize(uint32_t* frames) override {
        std::lock_guard<std::mutex> lock(d_->mutex);
        ++d_->packetSizeQueries;
        d_->changed.notify_all();
        *frames = d_->packets.empty() ? 0 : d_->packets.front().frames;
        return kOk;
    }
    int32_t getBuffer(const uint8_t** data, uint32_t* frames, uint32_t* flags) override {
        if (d_->onGetBuffer) {
            d_->onGetBuffer();
        }
        std::lock_guard<std::mutex> lock(d_->mutex);
        if (d_->getBufferResult < 0) {
            return d_->getBufferResult;
        }
        if (d_->packets.empty()) {
            *frames = 0;
            *flags = 0;
            *data = nullptr;
            return 0x08890001;
        }
        held_ = std::move(d_->packets.front());
        d_->packets.pop_front();
        *data = held_.data.data();
        *frames = held_.frames;
        *flags = held_.silent ? platform::kBufferFlagsSilent : 0;
        return kOk;
    }
    int32_t releaseBuffer(uint32_t) override {
        held_ = Packet{};
        return kOk;
    }

    int32_t getBufferSize(uint32_t* frames) override {
        std::lock_guard<std::mutex> lock(d_->mutex);
        *frames = d_->bufferFrames;
        return kOk;
    }
    int32_t getCurrentPadding(uint32_t* frames) override {
        std::lock_guard<std::mutex> lock(d_->mutex);
        *frames = d_->padding;
        return d_->renderResult;
    }
    int32_t getRenderBuffer(uint32_t frames, uint8_t** data) override {
        std::lock_guard<std::mutex> lock(d_->mutex);
        if (d_->renderResult < 0) {
            return d_->renderResult;
        }
        render_.assign(static_cast<size_t>(frames) * blockAlign_ + 1, 0xAB);
        *data = render_.data();
        return kOk;
    }
    int32_t releaseRenderBuffer(uint32_t frames, uint32_t flags) override {
        std::lock_guard<std::mutex> lock(d_->mutex);
        if (d_->renderResult < 0) {
            return d_->renderResult;
        }
        d_->renderedFrames.push_back(frames);
        d_->renderedFlags.push_back(flags);
        d_->changed.notify_all();
        return kOk;
    }
    int32_t setEventHandle(std::function<void()> signal) override {
        std::lock_guard<std::mutex> lock(d_->mutex);
        d_->signal = std::move(signal);
        return kOk;
    }

  private:
    int32_t result(int32_t FakeDevice::*field) {
        std::lock_guard<std::mutex> lock(d_->mutex);
        return (*d_).*field;
    }

    std::shared_ptr<FakeDevice> d_;
    Packet held_;
    std::vector<uint8_t> render_;
    uint16_t blockAlign_ = 4;
};

class FakeEnumerator final : public platform::AudioEndpointEnumerator {
  public:
    FakeEnumerator(std::shared_ptr<FakeDevice> render, std::shared_ptr<FakeDevice> capture)
        : render_(std::move(render)), capture_(std::move(capture)) {}
    int32_t getDefaultAudioEndpoint(platform::DataFlow flow,
                                    std::unique_ptr<platform::AudioEndpoint>* endpoint) override {
        const std::shared_ptr<FakeDevice>& device =
            flow == platform::DataFlow::Capture ? capture_ : render_;
        {
            std::lock_guard<std::mutex> lock(device->mutex);
            if (device->defaultEndpointResult < 0) {
                return device->defaultEndpointResult;
            }
            device->openedFlow = flow;
        }
        *endpoint = std::make_unique<FakeEndpoint>(device);
        return kOk;
    }

  private:
    std::shared_ptr<FakeDevice> render_;
    std::shared_ptr<FakeDevice> capture_;
};

}  // namespace

FakeFactory::FakeFactory(bool separateFlows)
    : render_(std::make_shared<FakeDevice>()),
      capture_(separateFlows ? std::make_shared<FakeDevice>() : render_) {
    render_->mixFormat = floatMixFormat(48000, 2);
    capture_->mixFormat = floatMixFormat(48000, 2);
}

int32_t FakeFactory::createEnumerator(
    std::unique_ptr<platform::AudioEndpointEnumerator>* enumerator) {
    {
        std::lock_guard<std::mutex> lock(render_->mutex);
        if (render_->createEnumeratorResult < 0) {
            return render_->createEnumeratorResult;
        }
    }
    *enumerator = std::make_unique<FakeEnumerator>(render_, capture_);
    return kOk;
}

void FakeFactory::setMixFormat(const WaveFormat& f) {
    for (FakeDevice* d : {render_.get(), capture_.get()}) {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->mixFormat = f;
    }
}

void FakeDevice::pushPacket(Packet p) {
    std::lock_guard<std::mutex> lock(mutex);
    packets.push_back(std::move(p));
}

void FakeDevice::pushCounting(uint32_t frames, int16_t first) {
    uint16_t align = 0;
    {
        std::lock_guard<std::mutex> lock(mutex);
        align = initialized ? initializedFormat.blockAlign : mixFormat.blockAlign;
    }
    Packet p;
    p.frames = frames;
    p.data.resize(static_cast<size_t>(frames) * align);
    int16_t value = first;
    for (size_t i = 0; i + 1 < p.data.size(); i += 2) {
        const auto u = static_cast<uint16_t>(value++);
        p.data[i] = static_cast<uint8_t>(u & 0xFF);
        p.data[i + 1] = static_cast<uint8_t>(u >> 8);
    }
    pushPacket(std::move(p));
}

void FakeDevice::pushSilent(uint32_t frames) {
    Packet p;
    p.frames = frames;
    p.silent = true;
    // Garbage bytes: a silent packet must read as zeros whatever its buffer holds.
    uint16_t align = 0;
    {
        std::lock_guard<std::mutex> lock(mutex);
        align = initializedFormat.blockAlign;
    }
    p.data.assign(static_cast<size_t>(frames) * align, 0x5A);
    pushPacket(std::move(p));
}

size_t FakeDevice::pendingPackets() {
    std::lock_guard<std::mutex> lock(mutex);
    return packets.size();
}

uint64_t FakeDevice::queries() {
    std::lock_guard<std::mutex> lock(mutex);
    return packetSizeQueries;
}

bool FakeDevice::awaitQueries(uint64_t atLeast, std::chrono::milliseconds timeout) {
    return await([&] { return packetSizeQueries >= atLeast; }, timeout);
}

bool FakeDevice::awaitConsumed(std::chrono::milliseconds timeout) {
    uint64_t afterTaking = 0;
    if (!await(
            [&] {
                afterTaking = packetSizeQueries;
                return packets.empty();
            },
            timeout)) {
        return false;
    }
    return awaitQueries(afterTaking + 1, timeout);
}

void FakeDevice::fireBufferEvent() {
    std::function<void()> s;
    {
        std::lock_guard<std::mutex> lock(mutex);
        s = signal;
    }
    if (s) {
        s();
    }
}

size_t FakeDevice::renderCalls() {
    std::lock_guard<std::mutex> lock(mutex);
    return renderedFrames.size();
}

bool FakeDevice::awaitRenderCalls(size_t atLeast, std::chrono::milliseconds timeout) {
    return await([&] { return renderedFrames.size() >= atLeast; }, timeout);
}

bool FakeDevice::await(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, timeout, done);
}

int FakeDevice::get(int FakeDevice::*field) {
    std::lock_guard<std::mutex> lock(mutex);
    return this->*field;
}

void FakeDevice::set(int32_t FakeDevice::*field, int32_t value) {
    std::lock_guard<std::mutex> lock(mutex);
    this->*field = value;
}

WaveFormat floatMixFormat(uint32_t rate, uint16_t channels, bool extensible) {
    WaveFormat f;
    f.formatTag = extensible ? WaveFormat::kExtensible : WaveFormat::kIeeeFloat;
    f.channels = channels;
    f.samplesPerSec = rate;
    f.bitsPerSample = 32;
    f.blockAlign = static_cast<uint16_t>(channels * 4);
    f.avgBytesPerSec = rate * f.blockAlign;
    if (extensible) {
        f.validBitsPerSample = 32;
        f.channelMask = channels == 2 ? 0x3 : 0x4;
        f.subFormat = WaveFormat::SubFormat::IeeeFloat;
    }
    return f;
}

WaveFormat pcm16Format(uint32_t rate, uint16_t channels) {
    WaveFormat f;
    f.formatTag = WaveFormat::kPcm;
    f.channels = channels;
    f.samplesPerSec = rate;
    f.bitsPerSample = 16;
    f.blockAlign = static_cast<uint16_t>(channels * 2);
    f.avgBytesPerSec = rate * f.blockAlign;
    return f;
}

}  // namespace fakeaudio
