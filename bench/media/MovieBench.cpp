// Movie playback on a real headless device (800 x 600 back buffer), in one run:
// - FfmpegDecodeOnly: FFmpeg decoding the same 640 x 480 MJPEG frames alone, the floor of any player.
// - PlayerDecodeAndUpload/<format>: the movie player decoding each frame and copying it into a real
//   texture of the renderer, which then reaches the GPU (the texture is drawn once, at its own size,
//   without presenting).
// - EmptyFrame: BeginFrame with clear and EndFrame with present.
// - MovieScreenFrame: the movie screen's whole frame: decode into the render-target texture
//   "AVI Frame" in the back buffer's format, begin the frame, copy the texture scaled over the
//   whole back buffer, present.
// The player decodes the next frame on the decoder's own thread while the current one is shown,
// so the player's figures are real time, and the CPU column counts the calling thread only. The
// frames are timed in real time (frames per second); the ratio of the movie screen's rate to the
// empty frame's is printed at the end. The two frames are timed in turns, several times each in a
// random order, so that a change in the machine's load weighs on both alike; the ratio is that of
// their medians.

#include <benchmark/benchmark.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/support/BenchmarkCommandLine.h"
#include "bench/support/FrameCpu.h"
#include "bench/support/RatioReporter.h"
#include "engine/binding/RendererBinding.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "media/AVIPlayer.h"
#include "platform/os/Window.h"
#include "platform/video/AviWriter.h"
#include "renderer/Device.h"

namespace {

namespace fs = std::filesystem;

constexpr int Width = 640;
constexpr int Height = 480;
constexpr int ScreenWidth = 800;
constexpr int ScreenHeight = 600;
constexpr int Frames = 60;
constexpr int Fps = 25;
// One frame's time per update: every update decodes and copies a new frame.
constexpr std::int32_t FrameTime = 1000 / Fps;
const char* const MovieName = "bench-640x480-mjpeg.avi";

// Gradients with a moving pattern and some noise, so the frames compress like real pictures.
void WriteMovie(const char* path)
{
    platform::video::MovieSettings settings;
    settings.width = Width;
    settings.height = Height;
    settings.framesPerSecond = Fps;
    settings.codec = platform::video::VideoCodec::Mjpeg;
    std::string error;
    auto writer = platform::video::AviWriter::Create(path, settings, error);
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
}

// The device and the movie file, made once for every benchmark of the run.
struct Session {
    Session()
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        folder = fs::temp_directory_path() / "bexal-movie-bench";
        fs::remove_all(folder);
        fs::create_directories(folder);
        fs::current_path(folder);
        WriteMovie(MovieName);
        LoadRendererLibrary(kRendererLibraryName, &device);
        window = platform::os::Window::Create("bench", ScreenWidth, ScreenHeight, platform::os::WindowMode::Windowed);
        if (!device || !window || device->CreateWindowed(window.get(), -1) != 1) {
            std::fprintf(stderr, "no device\n");
            std::exit(1);
        }
        backBuffer = device->GetBackBuffer();
    }

    ~Session()
    {
        UnloadRendererLibrary(&device);
        window.reset();
        fs::current_path(fs::temp_directory_path());
        fs::remove_all(folder);
    }

    fs::path folder;
    Device* device = nullptr;
    std::unique_ptr<platform::os::Window> window;
    D3DBitmap* backBuffer = nullptr;
};

Session* session = nullptr;

struct BitmapDestroy {
    void operator()(D3DBitmap* bitmap) const { bitmap->Destroy(); }
};
using BitmapHandle = std::unique_ptr<D3DBitmap, BitmapDestroy>;

void FfmpegDecodeOnly(benchmark::State& state)
{
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, MovieName, nullptr, nullptr) < 0 || avformat_find_stream_info(format, nullptr) < 0) {
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
    state.SetLabel("floor: decoding alone, no upload");
    av_frame_free(&frame);
    avcodec_free_context(&context);
    for (AVPacket* p : packets)
        av_packet_free(&p);
    av_packet_free(&packet);
    avformat_close_input(&format);
}

void PlayerDecodeAndUpload(benchmark::State& state, int textureFormat)
{
    Device* device = session->device;
    BitmapHandle texture(device->CreateBitmap(nullptr));
    if (texture->Create("movie texture", Width, Height, textureFormat, BitmapOneLevel | BitmapPrivate) != 1) {
        state.SkipWithError("cannot make the texture");
        return;
    }
    AVIPlayer player;
    if (player.Open(MovieName, nullptr, nullptr) != 0 || player.StartVideoAtTextureSize(0, texture.get()) != 0) {
        state.SkipWithError("cannot start the movie");
        return;
    }
    // One screen-space quad at the texture's own size: drawing it brings the texture to the GPU.
    struct ScreenVertex {
        float x, y, z, rhw;
        std::uint32_t color;
        float u, v;
    };
    const ScreenVertex quad[4] = {{0, 0, 0, 1, 0xFFFFFFFFu, 0, 0},
                                  {Width, 0, 0, 1, 0xFFFFFFFFu, 1, 0},
                                  {Width, Height, 0, 1, 0xFFFFFFFFu, 1, 1},
                                  {0, Height, 0, 1, 0xFFFFFFFFu, 0, 1}};
    const std::uint16_t indices[6] = {0, 1, 2, 0, 2, 3};
    VertexLayout layout;
    layout.InitScreenTextured();
    Material material;
    material.texture[0] = texture.get();
    material.lightingMode = 0;
    material.cullFlags = Material::kTwoSided;
    player.AdvanceFrame(0, 0, texture.get(), 0, 0, Width, Height, true);
    for (auto _ : state) {
        const std::int32_t result = player.AdvanceFrame(0, FrameTime, texture.get(), 0, 0, Width, Height, true);
        benchmark::DoNotOptimize(result);
        device->BeginFrame(false, false);
        device->DrawUserPrimitives(PrimTriangleList, quad, 4, &layout, indices, 6, &material);
        device->EndFrame(false, false);
    }
    state.SetItemsProcessed(state.iterations());
}

void EmptyFrame(benchmark::State& state)
{
    FrameCpu cpu;
    cpu.Start();
    for (auto _ : state) {
        session->device->BeginFrame(true, true);
        session->device->EndFrame(true, true);
    }
    cpu.Stop();
    cpu.Report(state);
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// What the movie screen does each frame: the player's full-frame update into "AVI Frame" (clocked
// here by one frame's time per update, so every frame decodes a new picture), then the frame scaled
// over the back buffer, then present.
void MovieScreenFrame(benchmark::State& state)
{
    Device* device = session->device;
    D3DBitmap* back = session->backBuffer;
    BitmapHandle frame(device->CreateRenderTargetBitmap(nullptr));
    if (frame->Create("AVI Frame", Width, Height, back->GetFormat(), 0) < 0) {
        state.SkipWithError("cannot make the frame texture");
        return;
    }
    AVIPlayer player;
    if (player.Open(MovieName, nullptr, nullptr) != 0 || player.StartVideoAtTextureSize(0, frame.get()) != 0) {
        state.SkipWithError("cannot start the movie");
        return;
    }
    player.AdvanceFrame(0, 0, frame.get(), 0, 0, Width, Height, true);
    const float source[4] = {0.0f, 0.0f, float(Width), float(Height)};
    const float target[4] = {0.0f, 0.0f, float(back->GetWidth()), float(back->GetHeight())};
    FrameCpu cpu;
    cpu.Start();
    for (auto _ : state) {
        device->BeginFrame(true, true);
        const std::int32_t result = player.AdvanceFrame(0, FrameTime, frame.get(), 0, 0, Width, Height, true);
        if (result == 0 || result == AVIPlayer::AVIPLAYERR_LOOPED)
            frame->CopyRect(source, target, back);
        device->EndFrame(true, true);
    }
    cpu.Stop();
    cpu.Report(state);
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(FfmpegDecodeOnly)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PlayerDecodeAndUpload, X8R8G8B8, static_cast<int>(FormatX8R8G8B8))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(PlayerDecodeAndUpload, R5G6B5, static_cast<int>(FormatR5G6B5))->Unit(benchmark::kMillisecond)->UseRealTime();
constexpr int FrameRepetitions = 9;
BENCHMARK(EmptyFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(FrameRepetitions);
BENCHMARK(MovieScreenFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(FrameRepetitions);

// Takes each benchmark's median over its repetitions for the ratio, where there is one.
class MedianRatioReporter : public RatioReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        RatioReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                secondsPerFrame[run.run_name.function_name + "/real_time"] = run.GetAdjustedRealTime();
    }
};

int main(int argc, char** argv)
{
    // Repetitions run in turns unless the command line says otherwise.
    BenchmarkCommandLine commandLine(argc, argv, {"--benchmark_enable_random_interleaving=true"});
    session = new Session();
    MedianRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintFrameRateRatio("MovieScreenFrame", "EmptyFrame", "movie screen");
    delete session;
    benchmark::Shutdown();
    return 0;
}
