#include "engine/FileFinisher.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "base/FFmpegPtr.h"
#include "base/Log.h"
#include "base/Utf8.h"
#include "platform/FileSystem.h"

namespace {

const char* const kUnit = "FileFinisher";

// File names reach FFmpeg as UTF-8; the file system functions are told so.
std::filesystem::path fsPath(const std::string& utf8) {
    return std::filesystem::u8path(utf8);
}

}  // namespace

void FileFinisher::add(std::string path) {
    paths_.push_back(std::move(path));
}

std::string FileFinisher::partPath(const std::string& path) {
    return path + ".part";
}

int32_t FileFinisher::run(const Progress& progress) {
    std::vector<std::string> paths;
    paths.swap(paths_);
    int64_t total = 0;
    for (const std::string& path : paths) {
        std::error_code error;
        const auto size = std::filesystem::file_size(fsPath(path), error);
        total += error ? 0 : static_cast<int64_t>(size);
    }
    int32_t reported = -1;
    const auto report = [&](int32_t percent) {
        if (percent > reported && progress) {
            reported = percent;
            progress(percent);
        }
    };
    report(0);

    int32_t result = 0;
    int64_t done = 0;  // bytes of the files before the current one
    for (const std::string& path : paths) {
        const int64_t before = done;
        // The last percent waits for the last rename.
        int32_t ret = copy(path, [&](int64_t bytes) {
            done = before + bytes;
            report(total > 0 ? static_cast<int32_t>(std::min<int64_t>(99, done * 100 / total)) : 0);
        });
        const std::string part = partPath(path);
        if (ret >= 0 && !platform::replaceFile(Utf8ToWide(part), Utf8ToWide(path))) {
            ret = AVERROR(EIO);
        }
        if (ret < 0) {
            std::error_code ignored;
            std::filesystem::remove(fsPath(part), ignored);
            SC_LOG(kUnit, "'%s' stays as it was written (%d)", path.c_str(), ret);
            result = result < 0 ? result : ret;
        }
    }
    report(100);
    return result;
}

int32_t FileFinisher::copy(const std::string& path, const std::function<void(int64_t)>& copied) {
    AVFormatContext* rawInput = nullptr;
    int ret = avformat_open_input(&rawInput, path.c_str(), nullptr, nullptr);
    if (ret < 0) {
        return ret;
    }
    FFmpegPtr<AVFormatContext> input(rawInput);

    // The part file's own name names no container: the file's name chooses it.
    const std::string part = partPath(path);
    AVFormatContext* rawOutput = nullptr;
    ret = avformat_alloc_output_context2(
        &rawOutput, av_guess_format(nullptr, path.c_str(), nullptr), nullptr, part.c_str());
    if (ret < 0) {
        return ret;
    }
    FFmpegPtr<AVFormatContext> output(rawOutput);
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        AVStream* stream = avformat_new_stream(output.get(), nullptr);
        if (stream == nullptr) {
            return AVERROR(ENOMEM);
        }
        ret = avcodec_parameters_copy(stream->codecpar, input->streams[i]->codecpar);
        if (ret < 0) {
            return ret;
        }
        stream->time_base = input->streams[i]->time_base;
    }
    ret = avio_open(&output->pb, part.c_str(), AVIO_FLAG_WRITE);
    if (ret < 0) {
        return ret;
    }
    // The index goes to the front once the media data is written.
    AVDictionary* rawOptions = nullptr;
    av_dict_set(&rawOptions, "movflags", "faststart", 0);
    ret = avformat_write_header(output.get(), &rawOptions);
    FFmpegPtr<AVDictionary> options(rawOptions);
    if (ret < 0) {
        return ret;
    }

    // Timestamps stay as the recording wrote them (the sound's priming before 0 included, which
    // the new file's edit list trims again). The fragments' sound packets come without their
    // duration, and a last sample of none would fall outside the new file's edit list: each
    // packet is held until the next one of its stream tells how long it lasts.
    std::vector<FFmpegPtr<AVPacket>> held(input->nb_streams);
    std::vector<int64_t> lastDuration(input->nb_streams, 0);
    const auto writeHeld = [&](unsigned index, int64_t nextDts) {
        AVPacket* packet = held[index].get();
        if (packet->duration <= 0) {
            packet->duration = nextDts != AV_NOPTS_VALUE && packet->dts != AV_NOPTS_VALUE
                                   ? nextDts - packet->dts
                                   : lastDuration[index];
        }
        lastDuration[index] = packet->duration;
        const AVRational from = input->streams[index]->time_base;
        av_packet_rescale_ts(packet, from, output->streams[index]->time_base);
        packet->pos = -1;
        const int written = av_interleaved_write_frame(output.get(), packet);
        held[index].reset();
        return written;
    };
    for (;;) {
        FFmpegPtr<AVPacket> packet(av_packet_alloc());
        if (!packet) {
            return AVERROR(ENOMEM);
        }
        ret = av_read_frame(input.get(), packet.get());
        if (ret < 0) {
            break;
        }
        const unsigned index = static_cast<unsigned>(packet->stream_index);
        if (index >= held.size()) {
            continue;  // a stream that appeared after the header has no place in the new file
        }
        if (held[index] && (ret = writeHeld(index, packet->dts)) < 0) {
            return ret;
        }
        held[index] = std::move(packet);
        copied(avio_tell(input->pb));
    }
    if (ret != AVERROR_EOF) {
        return ret;
    }
    for (unsigned index = 0; index < held.size(); ++index) {
        if (held[index] && (ret = writeHeld(index, AV_NOPTS_VALUE)) < 0) {
            return ret;
        }
    }
    ret = av_write_trailer(output.get());
    if (ret < 0) {
        return ret;
    }
    // Closed here, so that a refused last write shows before the file takes the name.
    ret = avio_closep(&output->pb);
    return ret < 0 ? ret : 0;
}
