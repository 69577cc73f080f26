// CPU time per draw of 10 000 small textured quads a frame: through Device::DrawPrim (one material,
// and two materials taking turns), through Device::DrawUserPrimitives, and through the plain
// OpenGL loop a competent engineer would write for the same quads with the same fixed-function
// state: every quad's vertices in one shared vertex buffer, one shared index buffer, the arrays
// pointed once per frame and one base-vertex draw per quad (binding the other texture before each
// quad for the two-material case). The figure to compare is CPU time per iteration (one frame)
// divided by 10 000; the ratios to the plain loop are printed at the end.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include "bench/support/BenchmarkCommandLine.h"
#include "engine/binding/RendererBinding.h"
#include "engine/core/Matrix.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "platform/os/Window.h"
#include "renderer/Device.h"

namespace {

constexpr int kPrims = 10000;
constexpr int kTarget = 256;
constexpr std::uint32_t kTexels[2][2] = {{0xFFFF8040u, 0xFF4080FFu}, {0xFF20C020u, 0xFFC02080u}};

struct Vertex {
    float x, y, z, nx, ny, nz;
    std::uint32_t color;
    float u0, v0, u1, v1;
};

// Quads of 2 x 2 units scattered over the target, seen through an orthographic projection.
std::vector<Vertex> QuadVertices(int i)
{
    const float x = float((i * 37) % (kTarget - 4)) - kTarget / 2.0f, y = float((i * 91) % (kTarget - 4)) - kTarget / 2.0f;
    const float z = 10.0f;
    return {{x, y + 2, z, 0, 0, -1, 0xFFFFFFFFu, 0, 0, 0, 0}, {x + 2, y + 2, z, 0, 0, -1, 0xFFFFFFFFu, 1, 0, 1, 0},
            {x + 2, y, z, 0, 0, -1, 0xFFFFFFFFu, 1, 1, 1, 1}, {x, y, z, 0, 0, -1, 0xFFFFFFFFu, 0, 1, 0, 1}};
}

const std::uint16_t kQuadIndices[6] = {0, 1, 2, 0, 2, 3};

struct Scene {
    Scene()
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        folder = std::filesystem::temp_directory_path() / "bexal-renderer-draw-bench";
        std::filesystem::create_directories(folder);
        std::filesystem::current_path(folder);
        LoadRendererLibrary(kRendererLibraryName, &device);
        window = platform::os::Window::Create("bench", kTarget, kTarget, platform::os::WindowMode::Windowed);
        if (!device || !window || device->CreateWindowed(window.get(), -1) != 1) {
            std::fprintf(stderr, "no device\n");
            std::exit(1);
        }
        layout.InitLitTextured();
        for (int t = 0; t < 2; ++t) {
            textures[t] = device->CreateBitmap(nullptr);
            textures[t]->Create(t == 0 ? "benchtexture0" : "benchtexture1", 8, 8, FormatA8R8G8B8, BitmapOneLevel);
            auto* bits = static_cast<std::uint32_t*>(textures[t]->Lock(true));
            for (int i = 0; i < 64; ++i)
                bits[i] = kTexels[t][i & 1];
            textures[t]->Unlock();
            materials[t].texture[0] = textures[t];
            materials[t].lightingMode = 0;
        }
        Matrix4 identity, projection;
        projection.Orthographic(-kTarget / 2.0f, kTarget / 2.0f, -kTarget / 2.0f, kTarget / 2.0f, 1.0f, 100.0f);
        device->SetWorldTransform(&identity);
        device->SetViewTransform(&identity);
        device->SetProjectionTransform(&projection);
        for (int i = 0; i < kPrims; ++i)
            vertices.push_back(QuadVertices(i));
    }

    ~Scene()
    {
        for (D3DBitmap* texture : textures)
            texture->Destroy();
        UnloadRendererLibrary(&device);
        window.reset();
    }

    std::filesystem::path folder;
    Device* device = nullptr;
    std::unique_ptr<platform::os::Window> window;
    VertexLayout layout;
    D3DBitmap* textures[2] = {};
    Material materials[2];
    std::vector<std::vector<Vertex>> vertices;
};

void DrawPrims(benchmark::State& state, int materialCount)
{
    Scene scene;
    std::vector<D3DPrim*> prims;
    for (int i = 0; i < kPrims; ++i) {
        D3DPrim* prim = nullptr;
        scene.device->CreatePrim(&prim);
        prim->Create(PrimTriangleList, 4, 6, &scene.layout, 0);
        std::memcpy(prim->GetVertices(true, true), scene.vertices[std::size_t(i)].data(), 4 * sizeof(Vertex));
        std::memcpy(prim->GetIndices(true, true), kQuadIndices, sizeof(kQuadIndices));
        prim->material = &scene.materials[i % materialCount];
        prims.push_back(prim);
    }
    // The first frame uploads every prim's arrays; the loop measures drawing.
    scene.device->BeginFrame(true, true);
    for (D3DPrim* prim : prims)
        scene.device->DrawPrim(prim);
    scene.device->EndFrame(true, true);
    for (auto _ : state) {
        scene.device->BeginFrame(true, true);
        for (D3DPrim* prim : prims)
            scene.device->DrawPrim(prim);
        scene.device->EndFrame(true, true);
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * kPrims);
    for (D3DPrim* prim : prims)
        prim->Destroy();
}

void BM_DrawPrim(benchmark::State& state)
{
    DrawPrims(state, 1);
}

void BM_DrawPrimTwoMaterials(benchmark::State& state)
{
    DrawPrims(state, 2);
}

void BM_DrawUserPrimitives(benchmark::State& state)
{
    Scene scene;
    for (auto _ : state) {
        scene.device->BeginFrame(true, true);
        for (const auto& quad : scene.vertices)
            scene.device->DrawUserPrimitives(PrimTriangleList, quad.data(), 4, &scene.layout, kQuadIndices, 6,
                                             &scene.materials[0]);
        scene.device->EndFrame(true, true);
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * kPrims);
}

// The plain loop: the device sets the frame-wide fixed-function state once (material, texture,
// transforms) through one draw; then every quad is one base-vertex draw from the shared buffers.
// With two textures, each quad binds the texture of its material first.
void BareOpenGl(benchmark::State& state, int textureCount)
{
    Scene scene;
    scene.device->BeginFrame(true, true);
    scene.device->DrawUserPrimitives(PrimTriangleList, scene.vertices[0].data(), 4, &scene.layout, kQuadIndices, 6,
                                     &scene.materials[0]);
    scene.device->EndFrame(true, true);
    GLuint buffers[2] = {};
    glCreateBuffers(2, buffers);
    std::vector<Vertex> all;
    all.reserve(std::size_t(kPrims) * 4);
    for (const auto& quad : scene.vertices)
        all.insert(all.end(), quad.begin(), quad.end());
    glNamedBufferStorage(buffers[0], GLsizeiptr(all.size() * sizeof(Vertex)), all.data(), 0);
    glNamedBufferStorage(buffers[1], sizeof(kQuadIndices), kQuadIndices, 0);
    GLuint names[2] = {};
    glCreateTextures(GL_TEXTURE_2D, 2, names);
    for (int t = 0; t < 2; ++t) {
        std::uint32_t texels[64];
        for (int i = 0; i < 64; ++i)
            texels[i] = kTexels[t][i & 1];
        glTextureStorage2D(names[t], 1, GL_RGBA8, 8, 8);
        glTextureSubImage2D(names[t], 0, 0, 0, 8, 8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, texels);
    }
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, names[0]);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glClientActiveTexture(GL_TEXTURE0);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    const auto* base = static_cast<const std::uint8_t*>(nullptr);
    for (auto _ : state) {
        scene.device->BeginFrame(true, true);
        glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
        glVertexPointer(3, GL_FLOAT, sizeof(Vertex), base);
        glNormalPointer(GL_FLOAT, sizeof(Vertex), base + 12);
        glColorPointer(GL_BGRA, GL_UNSIGNED_BYTE, sizeof(Vertex), base + 24);
        glTexCoordPointer(2, GL_FLOAT, sizeof(Vertex), base + 28);
        for (int i = 0; i < kPrims; ++i) {
            if (textureCount > 1)
                glBindTexture(GL_TEXTURE_2D, names[i % textureCount]);
            glDrawRangeElementsBaseVertex(GL_TRIANGLES, 0, 3, 6, GL_UNSIGNED_SHORT, nullptr, i * 4);
        }
        scene.device->EndFrame(true, true);
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * kPrims);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glDeleteBuffers(2, buffers);
    glDeleteTextures(2, names);
}

void BM_BareOpenGl(benchmark::State& state)
{
    BareOpenGl(state, 1);
}

void BM_BareOpenGlTwoTextures(benchmark::State& state)
{
    BareOpenGl(state, 2);
}

// Keeps each benchmark's CPU time per frame for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                cpuPerFrame[run.benchmark_name()] = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintRatio(const char* name, const char* baseline) const
    {
        const auto measured = cpuPerFrame.find(name), plain = cpuPerFrame.find(baseline);
        if (measured == cpuPerFrame.end() || plain == cpuPerFrame.end() || plain->second <= 0)
            return;
        // Times are in milliseconds per frame of kPrims draws.
        std::printf("%-24s / %-24s = %.2f (%.3f us / %.3f us per draw)\n", name, baseline,
                    measured->second / plain->second, measured->second * 1000.0 / kPrims,
                    plain->second * 1000.0 / kPrims);
    }

    std::map<std::string, double> cpuPerFrame;
};

} // namespace

BENCHMARK(BM_BareOpenGl)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawPrim)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawUserPrimitives)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareOpenGlTwoTextures)->Unit(benchmark::kMillisecond)->MinTime(5.0);
BENCHMARK(BM_DrawPrimTwoMaterials)->Unit(benchmark::kMillisecond)->MinTime(5.0);

int main(int argc, char** argv)
{
    BenchmarkCommandLine commandLine(argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("BM_DrawPrim", "BM_BareOpenGl");
    reporter.PrintRatio("BM_DrawUserPrimitives", "BM_BareOpenGl");
    reporter.PrintRatio("BM_DrawPrimTwoMaterials/min_time:5.000", "BM_BareOpenGlTwoTextures/min_time:5.000");
    benchmark::Shutdown();
    return 0;
}
