#pragma once

// Internal to the video layer: what a stream keeps of its file.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <cstdint>
#include <vector>

#include "platform/video/AviFile.h"

namespace platform::video {

// FFmpeg reports every deprecated full-range pixel format on standard error; only real errors
// are worth a player's attention.
inline void QuietLibraryLog()
{
    av_log_set_level(AV_LOG_ERROR);
}

struct CompressedFrame {
    std::vector<std::uint8_t> bytes;
    bool key = false;
};

struct StreamData {
    StreamType type = StreamType::Video;
    AVRational timeBase{1, 1}; // seconds per sample
    std::int32_t length = 0;
    WaveFormat wave;
    VideoFormat video;
    std::vector<std::uint8_t> pcm;
    AVCodecParameters* parameters = nullptr;
    std::vector<CompressedFrame> frames;

    ~StreamData() { avcodec_parameters_free(&parameters); }
};

struct DecoderState {
    const StreamData* stream = nullptr;
    AVCodecContext* context = nullptr;
    AVFrame* frame = nullptr;
    AVFrame* incoming = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* scaler = nullptr;
    std::int32_t lastDecoded = -1;
    bool haveFrame = false;

    ~DecoderState()
    {
        sws_freeContext(scaler);
        av_packet_free(&packet);
        av_frame_free(&frame);
        av_frame_free(&incoming);
        avcodec_free_context(&context);
    }
};

}
