// Camera capture over the camera service: choosing the device, building it for recording, the
// camera's own file and only-camera frames, the frame hold, and what release leaves behind.
#include "engine/CameraCapture.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "CameraFakes.h"
#include "ChildProcess.h"
#include "MediaProbe.h"
#include "RecordingFakes.h"
#include "SyntheticCameraDriver.h"
#include "base/HResult.h"
#include "camera/StreamingCameraService.h"
#include "engine/Encoder.h"
#include "engine/RecordingClock.h"

namespace {

using camerafakes::ScriptedDriver;
using platform::CameraService;
using platform::CameraState;
using recordingfakes::ObservedCameraService;
using D = platform::SyntheticCameraDriver;

std::unique_ptr<ObservedCameraService> observedSynthetic() {
    return std::make_unique<ObservedCameraService>(platform::createSyntheticCameraService());
}

// The nominal frame rate the file's H.264 stream announces in its sequence header, as a
// decoder reads it.
AVRational announcedFrameRate(const std::string& path) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
        return AVRational{0, 1};
    }
    AVRational rate{0, 1};
    if (avformat_find_stream_info(raw, nullptr) >= 0 && raw->nb_streams > 0) {
        const AVStream* st = raw->streams[0];
        const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
        AVCodecContext* dec = avcodec_alloc_context3(codec);
        AVPacket* packet = av_packet_alloc();
        AVFrame* frame = av_frame_alloc();
        if (dec && avcodec_parameters_to_context(dec, st->codecpar) >= 0 &&
            avcodec_open2(dec, codec, nullptr) >= 0) {
            while (av_read_frame(raw, packet) >= 0) {
                const bool sent = avcodec_send_packet(dec, packet) >= 0;
                av_packet_unref(packet);
                if (sent && avcodec_receive_frame(dec, frame) >= 0) {
                    break;
                }
            }
            rate = dec->framerate;
        }
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&dec);
    }
    avformat_close_input(&raw);
    return rate;
}

// Red over blue by a clear margin, and the reverse (chroma is shared between two rows, so the
// first and last rows are told apart by their tint, not their exact colour).
int redOverBlue(const uint8_t* bgra) {
    return static_cast<int>(bgra[2]) - static_cast<int>(bgra[0]);
}

TEST(CameraCapture, ChoosingADeviceOpensItOnceAndAFailureLeavesNothingOpen) {
    auto driver = std::make_unique<ScriptedDriver>();
    ScriptedDriver* d = driver.get();
    d->list = {ScriptedDriver::named(L"front"), ScriptedDriver::named(L"gone")};
    d->openable = {true, false};
    platform::StreamingCameraService service(std::move(driver));
    CameraCapture camera(service);

    EXPECT_EQ(camera.openDevice(-1), E_FAIL);
    EXPECT_TRUE(d->opened.empty());
    EXPECT_EQ(camera.deviceIndex(), -1);

    EXPECT_EQ(camera.openDevice(0), S_OK);
    EXPECT_TRUE(camera.enabled());
    EXPECT_TRUE(camera.graphExists());
    EXPECT_EQ(camera.deviceIndex(), 0);
    // The same device again: nothing changes.
    EXPECT_EQ(camera.openDevice(0), S_FALSE);
    EXPECT_EQ(d->opened, std::vector<int32_t>{0});

    for (int32_t index : {1, 2}) {
        EXPECT_LT(camera.openDevice(index), 0) << index;
        EXPECT_FALSE(camera.enabled());
        EXPECT_FALSE(camera.graphExists());
        EXPECT_EQ(camera.deviceIndex(), 0);  // the last device that opened
    }
    EXPECT_EQ(CameraCapture::previewState(), -1);  // no preview was ever asked for
}

class CameraFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto observed = observedSynthetic();
        service_ = observed.get();
        owned_ = std::move(observed);
        clock_.start();
    }
    testsupport::TempDir dir_;
    RecordingClock clock_;
    std::unique_ptr<CameraService> owned_;
    ObservedCameraService* service_ = nullptr;
};

TEST_F(CameraFileTest, TheCameraWritesItsOwnFileAtItsSizeThirtyFramesASecondWithoutSound) {
    CameraCapture camera(*service_, clock_);
    ASSERT_EQ(camera.openDevice(0), S_OK);
    ASSERT_EQ(camera.buildRecordingGraph(), S_OK);
    EXPECT_EQ(camera.frameRect(), (Rect{0, 0, D::kWidth, D::kHeight}));

    const std::string path = dir_.file("camera.mp4");
    ASSERT_EQ(camera.attachEncoder(path.c_str(), nullptr), 1);
    ASSERT_TRUE(camera.hasOwnEncoder());
    const AVCodecContext* video = camera.ownEncoder()->videoCodecContext();
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(video->bit_rate, 800000);
    EXPECT_EQ(av_cmp_q(video->time_base, AVRational{1, 30}), 0);
    EXPECT_EQ(camera.ownEncoder()->audioCodecContext(), nullptr);

    // Release stops the camera before it finishes the file.
    std::vector<std::string> heard;
    service_->beforeCall = [&](const std::string& call) {
        const bool open = camera.ownEncoder() != nullptr && camera.ownEncoder()->isOpen();
        heard.push_back(call + (open ? " (file open)" : " (file closed)"));
    };

    camera.prepareOwnEncoder();
    ASSERT_EQ(camera.run(), S_OK);
    ASSERT_TRUE(service_->delivered.waitFor(12));
    ASSERT_EQ(camera.pause(), S_OK);
    const int64_t encoded = camera.ownEncoder()->videoFrames();
    const size_t delivered = service_->delivered.count();
    camera.release();
    EXPECT_FALSE(camera.enabled());
    EXPECT_FALSE(camera.hasOwnEncoder());
    EXPECT_EQ(service_->state(), CameraState::Released);
    ASSERT_GE(heard.size(), 3u);
    EXPECT_EQ(heard[0], "run (file open)");
    EXPECT_EQ(heard[1], "pause (file open)");
    EXPECT_EQ(heard[2], "stop (file open)");

    bool firstChecked = false;
    const auto file = testsupport::probeMedia(path, [&](size_t index, const uint8_t* bgra) {
        if (index != 0) {
            return;
        }
        firstChecked = true;
        // The camera's first row is the picture's top row, its last row the bottom one.
        const size_t row = static_cast<size_t>(D::kWidth) * 4;
        static_assert(D::kFirstRow == 0xFFFF0000 && D::kLastRow == 0xFF0000FF, "red, blue");
        for (int x : {8, 320, 631}) {
            EXPECT_GT(redOverBlue(bgra + x * 4), 60) << x;
            EXPECT_LT(redOverBlue(bgra + x * 4 + row * (D::kHeight - 1)), -60) << x;
        }
    });
    ASSERT_EQ(file.openError, 0);
    ASSERT_EQ(file.streams.size(), 1u);  // no sound
    const auto& s = file.streams[0];
    EXPECT_EQ(s.codecId, AV_CODEC_ID_H264);
    EXPECT_EQ(s.width, D::kWidth);
    EXPECT_EQ(s.height, D::kHeight);
    EXPECT_EQ(s.decodeErrors, 0);
    EXPECT_TRUE(firstChecked);
    EXPECT_EQ(static_cast<int64_t>(s.framePts.size()), encoded);
    // A frame whose clock reading falls in the tick of the one before is dropped; at 30
    // frames a second and one-thirtieth ticks that is a few, never most.
    EXPECT_GT(encoded, static_cast<int64_t>(delivered) / 2);
    EXPECT_LE(encoded, static_cast<int64_t>(delivered));
    const AVRational announced = announcedFrameRate(path);
    EXPECT_EQ(av_cmp_q(announced, AVRational{30, 1}), 0) << announced.num << "/" << announced.den;
}

TEST_F(CameraFileTest, OnlyCameraFramesGoToTheMainEncoderWhichReleaseLeavesOpen) {
    CameraCapture camera(*service_, clock_);
    camera.setOnlyCamera(true);
    ASSERT_EQ(camera.openDevice(0), S_OK);
    ASSERT_EQ(camera.buildRecordingGraph(), S_OK);
    // Without a main encoder there is nowhere to send frames: the camera is let go.
    EXPECT_EQ(camera.attachEncoder(nullptr, nullptr), -1);
    EXPECT_FALSE(camera.enabled());
    EXPECT_FALSE(camera.graphExists());

    ASSERT_EQ(camera.openDevice(0), S_OK);
    ASSERT_EQ(camera.buildRecordingGraph(), S_OK);
    Encoder main(clock_);
    const std::string path = dir_.file("main.mkv");
    ASSERT_GE(main.open(path, false, 24, D::kWidth, D::kHeight, 1500000, 48000, 192000), 0);
    // The camera path is not used in only-camera mode.
    ASSERT_EQ(camera.attachEncoder(dir_.file("unused.mp4").c_str(), &main), 1);
    EXPECT_FALSE(camera.hasOwnEncoder());
    EXPECT_FALSE(testsupport::fileExists(dir_.file("unused.mp4")));
    ASSERT_EQ(camera.run(), S_OK);
    ASSERT_TRUE(service_->delivered.waitFor(6));
    camera.release();
    // The main encoder is the Controller's to finish.
    ASSERT_TRUE(main.isOpen());
    const int64_t encoded = main.videoFrames();
    EXPECT_GE(encoded, 3);
    main.close();

    const auto file = testsupport::probeMedia(path);
    ASSERT_EQ(file.streams.size(), 1u);
    EXPECT_EQ(file.streams[0].width, D::kWidth);
    EXPECT_EQ(static_cast<int64_t>(file.streams[0].framePts.size()), encoded);
}

TEST(CameraCaptureHold, ACameraFasterThanThirtyFramesASecondIsHeldBack) {
    // A source that hands over a frame the moment it is asked.
    auto observed = std::make_unique<ObservedCameraService>(
        std::make_unique<platform::StreamingCameraService>([] {
            auto driver = std::make_unique<ScriptedDriver>();
            driver->list = {ScriptedDriver::named(L"fast")};
            return driver;
        }()));
    RecordingClock clock;
    CameraCapture camera(*observed, clock);
    ASSERT_EQ(camera.openDevice(0), S_OK);
    ASSERT_EQ(camera.buildRecordingGraph(), S_OK);
    ASSERT_EQ(camera.run(), S_OK);
    ASSERT_TRUE(observed->delivered.waitFor(6));
    camera.release();
    const auto frames = observed->delivered.frames();
    for (size_t i = 1; i < frames.size(); ++i) {
        EXPECT_GE(frames[i].deliveredUs - frames[i - 1].deliveredUs,
                  CameraCapture::kFrameHoldMs * 1000)
            << "frame " << i;
        EXPECT_EQ(frames[i].sequence, frames[i - 1].sequence + 1);  // held, not skipped
    }
}

}  // namespace
