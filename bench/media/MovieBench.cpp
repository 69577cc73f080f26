// Plays a 640 x 480 MJPEG movie frame by frame through the movie player (decode, convert to the
// texture's format, copy into the texture) and decodes the same frames with FFmpeg alone. The
// ratio of the two is the player's overhead: FFmpeg's time per frame / the player's.

#include <benchmark/benchmark.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "media/AVIPlayer.h"
#include "platform/video/AviWriter.h"
#include "tests/media/FakeBitmap.h"

namespace {

constexpr int Width = 640;
constexpr int Height = 480;
constexpr int Frames = 60;
constexpr int Fps = 25;
const char* const MoviePath = "bench-640x480-mjpeg.avi";

// Gradients with a moving pattern and some noise, so the frames compress like real pictures.
void WriteMovie()
{
    static bool written = false;
    if (written)
        return;
    platform::video::MovieSettings settings;
    settings.width = Width;
    settings.height = Height;
    settings.framesPerSecond = Fps;
    settings.codec = platform::video::VideoCodec::Mjpeg;
    std::string error;
    auto writer = platform::video::AviWriter::Create(MoviePath, settings, error);
    if (!writer)
        throw std::runtime_error(error);
    std::vector<std::uint32_t> pixels(Width * Height);
    std::uint32_t noise = 1;
    for (int f = 0; f < Frames; ++f) {
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x) {
                noise = noise * 1664525u + 1013904223u;
                const std::uint32_t r = static_cast<std::uint32_t>((x + f * 4) & 0xFF);
                const std::uint32_t g = static_cast<std::uint32_t>(((x ^ y) + f) & 0xFF);
                const std::uint32_t b = static_cast<std::uint32_t>((y * 2 + (noise >> 28)) & 0xFF);
                pixels[static_cast<std::size_t>(y * Width + x)] = 0xFF000000u | r << 16 | g << 8 | b;
            }
        writer->AddFrame(pixels.data(), error);
    }
    writer->Finish(error);
    written = true;
}

void FfmpegDecodeOnly(benchmark::State& state)
{
    WriteMovie();
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, MoviePath, nullptr, nullptr) < 0 || avformat_find_stream_info(format, nullptr) < 0) {
        state.SkipWithError("cannot open the movie");
        return;
    }
    std::vector<AVPacket*> packets;
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(format, packet) >= 0) {
        packets.push_back(av_packet_clone(packet));
        av_packet_unref(packet);
    }
    const AVCodec* codec = avcodec_find_decoder(format->streams[0]->codecpar->codec_id);
    AVCodecContext* context = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(context, format->streams[0]->codecpar);
    context->thread_count = 1;
    avcodec_open2(context, codec, nullptr);
    AVFrame* frame = av_frame_alloc();
    std::size_t next = 0;
    for (auto _ : state) {
        avcodec_send_packet(context, packets[next]);
        while (avcodec_receive_frame(context, frame) >= 0)
            benchmark::DoNotOptimize(frame->data[0]);
        next = (next + 1) % packets.size();
    }
    state.SetItemsProcessed(state.iterations());
    av_frame_free(&frame);
    avcodec_free_context(&context);
    for (AVPacket* p : packets)
        av_packet_free(&p);
    av_packet_free(&packet);
    avformat_close_input(&format);
}

void PlayerDecodeAndUpload(benchmark::State& state, int textureFormat)
{
    WriteMovie();
    AVIPlayer player;
    FakeBitmap texture(Width, Height, textureFormat);
    if (player.Open(MoviePath, nullptr, nullptr) != 0 || player.StartVideoAtTextureSize(0, &texture) != 0) {
        state.SkipWithError("cannot start the movie");
        return;
    }
    player.AdvanceFrame(0, 0, &texture, 0, 0, Width, Height, true);
    // One frame's time per update: every update decodes and copies a new frame.
    const std::int32_t frameTime = 1000 / Fps;
    for (auto _ : state) {
        const std::int32_t result = player.AdvanceFrame(0, frameTime, &texture, 0, 0, Width, Height, true);
        benchmark::DoNotOptimize(result);
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(FfmpegDecodeOnly)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PlayerDecodeAndUpload, X8R8G8B8, static_cast<int>(FormatX8R8G8B8))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PlayerDecodeAndUpload, R5G6B5, static_cast<int>(FormatR5G6B5))->Unit(benchmark::kMillisecond);

}

BENCHMARK_MAIN();
