#pragma once

#include <cstdint>
#include <memory>

// Owning pointers for FFmpeg objects: each kind is released with the library's own free
// function, so no error path needs a naked free.
struct AVCodecContext;
struct AVDictionary;
struct AVFilterGraph;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;
struct SwsContext;

struct FFmpegDeleter {
    // A container closes its file before it goes: an opened input always, an output unless its
    // format keeps none.
    void operator()(AVFormatContext* format) const;
    void operator()(AVCodecContext* codec) const;
    void operator()(AVFrame* frame) const;
    void operator()(AVPacket* packet) const;
    void operator()(SwsContext* scaler) const;
    void operator()(SwrContext* resampler) const;
    // A graph frees every filter in it.
    void operator()(AVFilterGraph* graph) const;
    void operator()(AVDictionary* dictionary) const;
    // A buffer from av_malloc / av_image_alloc.
    void operator()(uint8_t* buffer) const;
};

template <typename T>
using FFmpegPtr = std::unique_ptr<T, FFmpegDeleter>;
