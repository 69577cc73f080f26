#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/support/BenchmarkCommandLine.h"
#include "engine/binding/RendererBinding.h"
#include "engine/material/q3DModelReader.h"
#include "platform/os/Window.h"
#include "renderer/Device.h"
#include "tools/demodata/writers/Q3dWriter.h"

namespace {

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(std::uint8_t(v >> (8 * i)));
}

void Write(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<std::uint8_t> DxtFile()
{
    std::vector<std::uint8_t> out;
    Put32(out, 0x20534444);
    Put32(out, 124);
    Put32(out, 0xA1007);
    Put32(out, 1024);
    Put32(out, 1024);
    Put32(out, 1024 * 1024);
    Put32(out, 0);
    Put32(out, 11);
    for (int i = 0; i < 11; ++i)
        Put32(out, 0);
    Put32(out, 32);
    Put32(out, 4);
    out.insert(out.end(), {'D', 'X', 'T', '5'});
    for (int i = 0; i < 5; ++i)
        Put32(out, 0);
    Put32(out, 0x401008);
    for (int i = 0; i < 4; ++i)
        Put32(out, 0);
    for (int size = 1024; size >= 1; size /= 2)
        for (int b = 0; b < std::max(1, size / 4) * std::max(1, size / 4); ++b)
            for (int i = 0; i < 16; ++i)
                out.push_back(std::uint8_t(b * 7 + i));
    return out;
}

std::vector<std::uint8_t> TgaFile()
{
    std::vector<std::uint8_t> out = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 4, 32, 0};
    for (int i = 0; i < 1024 * 1024; ++i)
        Put32(out, 0xFF000000u | std::uint32_t(i * 2654435761u >> 8));
    return out;
}

std::vector<std::uint8_t> ModelFile()
{
    Q3dObject object;
    object.name = "big";
    object.materials.resize(4);
    const int triangles = 20 * 1024 * 1024 / 112;
    object.triangles.resize(std::size_t(triangles));
    for (int t = 0; t < triangles; ++t) {
        Q3dTriangle& triangle = object.triangles[std::size_t(t)];
        triangle.material = std::uint32_t(t % 4);
        for (int v = 0; v < 3; ++v) {
            triangle.vertices[v].position[0] = float(t);
            triangle.vertices[v].position[1] = float(v);
        }
    }
    return WriteQ3dModel({object});
}

struct Renderer {
    Renderer()
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        folder = std::filesystem::temp_directory_path() / "bexal-renderer-bench";
        std::filesystem::create_directories(folder);
        std::filesystem::current_path(folder);
        LoadRendererLibrary(kRendererLibraryName, &device);
        window = platform::os::Window::Create("bench", 64, 64, platform::os::WindowMode::Windowed);
        device->CreateWindowed(window.get(), -1);
        Write("big.dds", DxtFile());
        std::filesystem::create_directories("plain");
        Write("plain/big.tga", TgaFile());
        Write("big.q3d", ModelFile());
    }
    ~Renderer()
    {
        UnloadRendererLibrary(&device);
        window.reset();
    }
    Device* device = nullptr;
    std::unique_ptr<platform::os::Window> window;
    std::filesystem::path folder;
};

Renderer& TheRenderer()
{
    static Renderer renderer;
    return renderer;
}

void ReadIntoMemory(benchmark::State& state, const char* path)
{
    TheRenderer();
    for (auto _ : state) {
        std::ifstream in(path, std::ios::binary | std::ios::ate);
        std::vector<char> bytes(std::size_t(in.tellg()));
        in.seekg(0);
        in.read(bytes.data(), std::streamsize(bytes.size()));
        benchmark::DoNotOptimize(bytes.data());
        state.SetBytesProcessed(state.bytes_processed() + std::int64_t(bytes.size()));
    }
    state.SetLabel("floor: read, nothing decoded");
}

void LoadBitmap(benchmark::State& state, const char* path, std::uint32_t flags)
{
    Device* device = TheRenderer().device;
    for (auto _ : state) {
        D3DBitmap* bitmap = device->CreateBitmap(nullptr);
        if (bitmap->Load(path, 0, flags) != 1)
            state.SkipWithError(bitmap->GetLastError());
        state.counters["levels"] = bitmap->GetLevelCount();
        state.counters["format"] = bitmap->GetFormat();
        bitmap->Destroy();
    }
}

void BM_ReadDds(benchmark::State& state) { ReadIntoMemory(state, "big.dds"); }
void BM_LoadDds(benchmark::State& state) { LoadBitmap(state, "big.tga", 0); }
void BM_ReadTga(benchmark::State& state) { ReadIntoMemory(state, "plain/big.tga"); }
void BM_LoadTga(benchmark::State& state) { LoadBitmap(state, "plain/big.tga", 0); }
void BM_ReadQ3d(benchmark::State& state) { ReadIntoMemory(state, "big.q3d"); }

void BM_LoadQ3d(benchmark::State& state)
{
    Device* device = TheRenderer().device;
    for (auto _ : state) {
        SceneNode parent;
        q3DModelReader reader;
        reader.ReadFile(device, "big.q3d", &parent, nullptr);
        while (parent.GetChildCount() > 0)
            delete parent.GetChild(0);
    }
}

} // namespace

BENCHMARK(BM_ReadDds)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadDds)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ReadTga)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadTga)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ReadQ3d)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadQ3d)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BEXAL_BENCHMARK_MAIN()
