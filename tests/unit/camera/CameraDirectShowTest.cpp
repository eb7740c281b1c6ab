// The DirectShow camera without a camera (Wine has none): how media types are read, and how
// pictures a sample grabber hands over reach the streaming thread, converted, over a real
// filter graph that reports failures.
#include <windows.h>
// after windows.h, which they need
#include <control.h>
#include <evcode.h>
#include <strmif.h>
#include <uuids.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "Await.h"
#include "camera/CameraFrameConverter.h"
#include "platform/Session.h"
#include "platform/windows/DirectShowFrameSource.h"
#include "platform/windows/DirectShowPicture.h"
#include "platform/windows/GrabbedSamples.h"

namespace {

using platform::CameraFrame;
using platform::CameraPixelFormat;
using platform::Com;
using platform::DirectShowPicture;
using Wait = platform::CameraFrameSource::Wait;

GUID fourcc(const char* code) {
    return GUID{static_cast<unsigned long>(code[0] | code[1] << 8 | code[2] << 16 | code[3] << 24),
                0x0000,
                0x0010,
                {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
}

// Picture descriptions of either header kind; the expected picture, or none when refused.
TEST(DirectShowCamera, MediaTypesAreReadAsTheirPicturesOrRefused) {
    using F = CameraPixelFormat;
    const std::pair<const char*, std::optional<DirectShowPicture>> expected[] = {
        {"YUY2 640 480", {{F::Yuyv, {640, 480}, 1280}}},
        {"YUY2 640 -480", {{F::Yuyv, {640, 480}, 1280}}},  // YUV is top-down whatever the sign
        {"MJPG 1280 720", {{F::Mjpeg, {1280, 720}, 0}}},
        {"NV12 320 240", {{F::Nv12, {320, 240}, 320}}},
        {"I420 320 240", {{F::Yuv420, {320, 240}, 320}}},
        {"RGB 3 2", {{F::Bgr24, {3, 2}, 12, true}}},  // rows padded to words, bottom-up
        {"RGB 3 -2", {{F::Bgr24, {3, 2}, 12, false}}},
        {"H264 640 480", std::nullopt},
        {"YUY2 0 480", std::nullopt},
        {"YUY2 20000 480", std::nullopt},
    };
    for (const auto& [description, want] : expected) {
        for (const bool second : {false, true}) {
            SCOPED_TRACE(std::string(description) + (second ? " in a second header" : ""));
            char code[5] = {};
            LONG width = 0, height = 0;
            ASSERT_EQ(std::sscanf(description, "%4s %ld %ld", code, &width, &height), 3);
            VIDEOINFOHEADER first{};
            VIDEOINFOHEADER2 other{};
            BITMAPINFOHEADER& bitmap = second ? other.bmiHeader : first.bmiHeader;
            bitmap.biWidth = width;
            bitmap.biHeight = height;
            AM_MEDIA_TYPE type{};
            type.majortype = MEDIATYPE_Video;
            type.subtype = std::string(code) == "RGB" ? MEDIASUBTYPE_RGB24 : fourcc(code);
            type.formattype = second ? FORMAT_VideoInfo2 : FORMAT_VideoInfo;
            type.cbFormat = second ? sizeof other : sizeof first;
            BYTE* const block =
                second ? reinterpret_cast<BYTE*>(&other) : reinterpret_cast<BYTE*>(&first);
            type.pbFormat = block;
            const auto picture = platform::pictureOf(type);
            ASSERT_EQ(picture.has_value(), want.has_value());
            if (picture) {
                EXPECT_EQ(picture->format, want->format);
                EXPECT_EQ(picture->size, want->size);
                EXPECT_EQ(picture->bytesPerLine, want->bytesPerLine);
                EXPECT_EQ(picture->bottomUp, want->bottomUp);
            }
            // The same description, damaged: a short format block, none, or not video.
            type.cbFormat -= 1;
            EXPECT_FALSE(platform::pictureOf(type));
            type.cbFormat += 1;
            type.pbFormat = nullptr;
            EXPECT_FALSE(platform::pictureOf(type));
            type.pbFormat = block;
            type.majortype = MEDIATYPE_Audio;
            EXPECT_FALSE(platform::pictureOf(type));
        }
    }
}

// A frame source over a real, empty filter graph (Wine's), fed through its samples as the
// grabber would feed it.
class DirectShowFrames : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::initializeComponents());
        void* object = nullptr;
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IGraphBuilder, &object),
                  S_OK);
        platform::DirectShowGraph graph;
        graph.graph.reset(static_cast<IGraphBuilder*>(object));
        graph.control = queried<IMediaControl>(graph.graph.get(), IID_IMediaControl);
        graph.events = queried<IMediaEvent>(graph.graph.get(), IID_IMediaEvent);
        sink_ = queried<IMediaEventSink>(graph.graph.get(), IID_IMediaEventSink);
        ASSERT_TRUE(graph.control && graph.events && sink_);
        samples_ = Com<platform::GrabbedSamples>(new platform::GrabbedSamples);
        samples_->AddRef();  // the source holds one reference, the test the other
        const DirectShowPicture picture{CameraPixelFormat::Bgr24, {2, 2}, 8, true};
        source_ = std::make_unique<platform::DirectShowFrameSource>(
            std::move(graph), Com<platform::GrabbedSamples>(samples_.get()),
            platform::CameraFrameConverter::create(picture.format, 2, 2, picture.bytesPerLine),
            picture);
        ASSERT_EQ(source_->start(), S_OK);
    }
    void TearDown() override {
        source_.reset();
        sink_.reset();
        samples_.reset();
        platform::uninitializeComponents();
    }

    template <typename T>
    static Com<T> queried(IUnknown* from, REFIID id) {
        void* object = nullptr;
        return SUCCEEDED(from->QueryInterface(id, &object)) ? Com<T>(static_cast<T*>(object))
                                                            : nullptr;
    }

    void handOver(std::vector<uint8_t> bytes) {
        samples_->BufferCB(0.0, bytes.data(), static_cast<long>(bytes.size()));
    }

    // Waits through empty rounds for the next frame; the frame's pixels and sequence number.
    std::pair<std::vector<uint8_t>, uint32_t> nextFrame() {
        std::pair<std::vector<uint8_t>, uint32_t> got;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        Wait result = Wait::Nothing;
        while (result == Wait::Nothing && std::chrono::steady_clock::now() < deadline) {
            result = source_->waitFrame([&](const CameraFrame& frame) {
                EXPECT_EQ(frame.stride, frame.width * 4);
                got.first.assign(frame.pixels, frame.pixels + frame.stride * frame.height);
                got.second = frame.sequence;
            });
        }
        EXPECT_EQ(result, Wait::Frame) << "no frame within 5 s";
        return got;
    }

    Com<IMediaEventSink> sink_;
    Com<platform::GrabbedSamples> samples_;
    std::unique_ptr<platform::DirectShowFrameSource> source_;
};

// A 2x2 RGB picture stored bottom-up: rows padded to 8 bytes, the bottom row first.
const std::vector<uint8_t> kBottomUp = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
const std::vector<uint8_t> kTopDownArgb = {7, 8, 9, 255, 10, 11, 12, 255,
                                           1, 2, 3, 255, 4,  5,  6,  255};

TEST_F(DirectShowFrames, PicturesFromTheGrabbersThreadArriveTopDownNewestFirst) {
    std::thread grabber([this] { handOver(kBottomUp); });
    const auto first = nextFrame();
    grabber.join();
    EXPECT_EQ(first.first, kTopDownArgb);
    EXPECT_EQ(first.second, 0u);

    // Two pictures before the reader comes: the newer one, and the gap shows in the numbers.
    handOver({1, 1, 1, 1, 1, 1, 0, 0, 1, 1, 1, 1, 1, 1, 0, 0});
    handOver(kBottomUp);
    const auto newest = nextFrame();
    EXPECT_EQ(newest.first, kTopDownArgb);
    EXPECT_EQ(newest.second, 2u);
}

TEST_F(DirectShowFrames, DamagedInterruptedAndFailedRoundsDeliverNothing) {
    int delivered = 0;
    const auto count = [&](const CameraFrame&) { ++delivered; };

    handOver({1, 2, 3});  // short
    EXPECT_EQ(source_->waitFrame(count), Wait::Nothing);

    // An interruption holds until the next start, which also drops what came meanwhile.
    source_->interrupt();
    handOver(kBottomUp);
    EXPECT_EQ(source_->waitFrame(count), Wait::Nothing);
    source_->stop();
    ASSERT_EQ(source_->start(), S_OK);
    EXPECT_EQ(source_->waitFrame(count), Wait::Nothing);
    EXPECT_EQ(delivered, 0);

    // The graph reports the camera gone.
    ASSERT_EQ(sink_->Notify(EC_DEVICE_LOST, 0, 0), S_OK);
    EXPECT_EQ(source_->waitFrame(count), Wait::Failed);
    EXPECT_EQ(delivered, 0);
}

}  // namespace
