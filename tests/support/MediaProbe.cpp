#include "MediaProbe.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <memory>

extern "C" {
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include "base/FFmpegPtr.h"

#include "ChildProcess.h"

namespace testsupport {

namespace {

struct Decoder {
    FFmpegPtr<AVCodecContext> codec;
    FFmpegPtr<SwsContext> toBgra;
    std::vector<uint8_t> bgra;
};

void takeFrames(ProbedStream& s, Decoder& d, AVFrame* frame, const PictureSink& onPicture) {
    for (;;) {
        const int ret = avcodec_receive_frame(d.codec.get(), frame);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) {
            return;
        }
        if (ret < 0) {
            ++s.decodeErrors;
            return;
        }
        if (frame->decode_error_flags != 0 || (frame->flags & AV_FRAME_FLAG_CORRUPT)) {
            ++s.decodeErrors;
        }
        s.framePts.push_back(frame->best_effort_timestamp);
        s.frameKey.push_back(frame->key_frame != 0);
        if (s.type == AVMEDIA_TYPE_AUDIO) {
            s.samples += frame->nb_samples;
        } else if (onPicture) {
            d.toBgra.reset(sws_getCachedContext(d.toBgra.release(), frame->width, frame->height,
                                                static_cast<AVPixelFormat>(frame->format),
                                                frame->width, frame->height, AV_PIX_FMT_BGRA,
                                                SWS_BICUBIC, nullptr, nullptr, nullptr));
            // swscale's vector code may write a little past the last row's end (200-pixel rows
            // do); the room after the picture takes it.
            d.bgra.resize(static_cast<size_t>(frame->width) * frame->height * 4 + 256);
            uint8_t* planes[1] = {d.bgra.data()};
            const int lineSizes[1] = {frame->width * 4};
            sws_scale(d.toBgra.get(), frame->data, frame->linesize, 0, frame->height, planes,
                      lineSizes);
            onPicture(s.framePts.size() - 1, d.bgra.data());
        }
        av_frame_unref(frame);
    }
}

#ifndef _WIN32  // the ffmpeg program of the Linux machine
// Runs the ffmpeg program over the file (decoding everything, output discarded); true when it
// exits 0 and reports nothing. Its messages land in *errors.
bool ffmpegDecodesCleanly(const std::string& path, std::string* errors) {
    TempDir dir;
    ChildProcess::Options options;
    options.stdoutPath = dir.file("out");
    options.stderrPath = dir.file("err");
    // Frames keep the file's own timestamps (a variable-rate file would otherwise be forced
    // onto a guessed constant rate, which the null output then rejects).
    ChildProcess child({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-fps_mode", "passthrough",
                        "-enc_time_base", "-1", "-f", "null", "-"},
                       options);
    const int code = child.wait(std::chrono::minutes(2));
    *errors = readFile(dir.file("err"));
    return code == 0 && errors->empty();
}
#endif

}  // namespace

ProbedFile probeMedia(const std::string& path, const PictureSink& onPicture) {
    ProbedFile file;
    AVFormatContext* raw = nullptr;
    file.openError = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
    if (file.openError < 0) {
        return file;
    }
    FFmpegPtr<AVFormatContext> format(raw);
    file.openError = avformat_find_stream_info(format.get(), nullptr);
    if (file.openError < 0) {
        return file;
    }

    std::vector<Decoder> decoders(format->nb_streams);
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream* st = format->streams[i];
        ProbedStream s;
        s.index = st->index;
        s.type = st->codecpar->codec_type;
        s.codecId = st->codecpar->codec_id;
        s.timeBase = st->time_base;
        s.width = st->codecpar->width;
        s.height = st->codecpar->height;
        s.sampleRate = st->codecpar->sample_rate;
        s.channels = st->codecpar->ch_layout.nb_channels;
        s.frameSize = st->codecpar->frame_size;
        if (st->start_time != AV_NOPTS_VALUE) {
            s.start = static_cast<double>(st->start_time) * av_q2d(st->time_base);
        }
        if (st->duration != AV_NOPTS_VALUE) {
            s.duration = static_cast<double>(st->duration) * av_q2d(st->time_base);
        }
        file.streams.push_back(s);

        const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
        if (!codec) {
            continue;
        }
        decoders[i].codec.reset(avcodec_alloc_context3(codec));
        avcodec_parameters_to_context(decoders[i].codec.get(), st->codecpar);
        decoders[i].codec->err_recognition |= AV_EF_EXPLODE | AV_EF_CRCCHECK;
        if (avcodec_open2(decoders[i].codec.get(), codec, nullptr) < 0) {
            decoders[i].codec.reset();
            ++file.streams[i].decodeErrors;
        }
    }

    FFmpegPtr<AVPacket> packet(av_packet_alloc());
    FFmpegPtr<AVFrame> frame(av_frame_alloc());
    int ret = 0;
    while ((ret = av_read_frame(format.get(), packet.get())) >= 0) {
        const auto i = static_cast<size_t>(packet->stream_index);
        ProbedStream& s = file.streams[i];
        // An empty packet (some containers fill time with them) would end the stream.
        if (packet->size > 0) {
            s.packetPts.push_back(packet->pts);
            if (decoders[i].codec) {
                if (avcodec_send_packet(decoders[i].codec.get(), packet.get()) < 0) {
                    ++s.decodeErrors;
                }
                takeFrames(s, decoders[i], frame.get(), onPicture);
            }
        }
        av_packet_unref(packet.get());
    }
    if (ret != AVERROR_EOF) {
        file.openError = ret;
    }
    for (size_t i = 0; i < decoders.size(); ++i) {
        if (decoders[i].codec && avcodec_send_packet(decoders[i].codec.get(), nullptr) >= 0) {
            takeFrames(file.streams[i], decoders[i], frame.get(), onPicture);
        }
        if (decoders[i].codec) {
            file.streams[i].frameRate = decoders[i].codec->framerate;
        }
    }
    return file;
}

#ifndef _WIN32
ProbedFile probeDecodable(const std::string& path, const PictureSink& onPicture) {
    std::string errors;
    EXPECT_TRUE(ffmpegDecodesCleanly(path, &errors)) << path << ": " << errors;
    ProbedFile file = probeMedia(path, onPicture);
    EXPECT_EQ(file.openError, 0) << path;
    for (const ProbedStream& s : file.streams) {
        EXPECT_EQ(s.decodeErrors, 0) << path << ", stream " << s.index;
    }
    return file;
}
#endif

std::string topLevelBoxes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string boxes;
    unsigned char header[16];
    while (file.read(reinterpret_cast<char*>(header), 8)) {
        uint64_t size = 0;
        for (int i = 0; i < 4; ++i) {
            size = size << 8 | header[i];
        }
        size_t headerSize = 8;
        if (size == 1) {  // the size follows as 64 bits
            if (!file.read(reinterpret_cast<char*>(header + 8), 8)) {
                break;
            }
            size = 0;
            for (int i = 8; i < 16; ++i) {
                size = size << 8 | header[i];
            }
            headerSize = 16;
        }
        boxes += (boxes.empty() ? "" : " ") + std::string(reinterpret_cast<char*>(header + 4), 4);
        if (size < headerSize) {  // 0: up to the end of the file
            break;
        }
        file.seekg(static_cast<std::streamoff>(size - headerSize), std::ios::cur);
    }
    return boxes;
}

double psnrBgra(const uint8_t* a, const uint8_t* b, size_t pixels) {
    double sum = 0;
    for (size_t p = 0; p < pixels; ++p) {
        for (size_t c = 0; c < 3; ++c) {
            const double d = static_cast<double>(a[p * 4 + c]) - b[p * 4 + c];
            sum += d * d;
        }
    }
    if (sum == 0) {
        return std::numeric_limits<double>::infinity();
    }
    const double mse = sum / (static_cast<double>(pixels) * 3);
    return 10 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace testsupport
