// CPU time per draw of 10 000 small textured prims a frame: through Device::DrawPrim, through
// Device::DrawUserPrimitives, and through a bare OpenGL loop drawing the same buffers with the
// same fixed-function state. The figure to compare is CPU time per iteration (one frame) divided by 10 000.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include "engine/binding/RendererBinding.h"
#include "engine/core/Matrix.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "platform/os/Window.h"
#include "renderer/Device.h"

namespace {

constexpr int kPrims = 10000;
constexpr int kTarget = 256;

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
        device->CreateWindowed(window.get(), -1);
        layout.InitLitTextured();
        texture = device->CreateBitmap(nullptr);
        texture->Create("benchtexture", 8, 8, FormatA8R8G8B8, BitmapOneLevel);
        auto* bits = static_cast<std::uint32_t*>(texture->Lock(true));
        for (int i = 0; i < 64; ++i)
            bits[i] = (i & 1) ? 0xFFFF8040u : 0xFF4080FFu;
        texture->Unlock();
        material.texture[0] = texture;
        material.lightingMode = 0;
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
        texture->Destroy();
        UnloadRendererLibrary(&device);
        window.reset();
    }

    std::filesystem::path folder;
    Device* device = nullptr;
    std::unique_ptr<platform::os::Window> window;
    VertexLayout layout;
    D3DBitmap* texture = nullptr;
    Material material;
    std::vector<std::vector<Vertex>> vertices;
};

void BM_DrawPrim(benchmark::State& state)
{
    Scene scene;
    std::vector<D3DPrim*> prims;
    for (int i = 0; i < kPrims; ++i) {
        D3DPrim* prim = nullptr;
        scene.device->CreatePrim(&prim);
        prim->Create(PrimTriangleList, 4, 6, &scene.layout, 0);
        std::memcpy(prim->GetVertices(true, true), scene.vertices[std::size_t(i)].data(), 4 * sizeof(Vertex));
        std::memcpy(prim->GetIndices(true, true), kQuadIndices, sizeof(kQuadIndices));
        prim->material = &scene.material;
        prims.push_back(prim);
    }
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

void BM_DrawUserPrimitives(benchmark::State& state)
{
    Scene scene;
    for (auto _ : state) {
        scene.device->BeginFrame(true, true);
        for (const auto& quad : scene.vertices)
            scene.device->DrawUserPrimitives(PrimTriangleList, quad.data(), 4, &scene.layout, kQuadIndices, 6,
                                             &scene.material);
        scene.device->EndFrame(true, true);
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * kPrims);
}

// The same buffers and fixed-function state straight on OpenGL: per draw, bind the vertex and
// index buffers, point the arrays into them and draw.
void BM_BareOpenGl(benchmark::State& state)
{
    Scene scene;
    // Let the device set its frame-wide state once (material, texture, transforms).
    scene.device->BeginFrame(true, true);
    scene.device->DrawUserPrimitives(PrimTriangleList, scene.vertices[0].data(), 4, &scene.layout, kQuadIndices, 6,
                                     &scene.material);
    scene.device->EndFrame(true, true);
    std::vector<GLuint> buffers(std::size_t(kPrims) * 2);
    glCreateBuffers(GLsizei(buffers.size()), buffers.data());
    for (int i = 0; i < kPrims; ++i) {
        glNamedBufferData(buffers[std::size_t(i) * 2], 4 * sizeof(Vertex), scene.vertices[std::size_t(i)].data(),
                          GL_DYNAMIC_DRAW);
        glNamedBufferData(buffers[std::size_t(i) * 2 + 1], sizeof(kQuadIndices), kQuadIndices, GL_DYNAMIC_DRAW);
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glClientActiveTexture(GL_TEXTURE0);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    const auto* base = static_cast<const std::uint8_t*>(nullptr);
    for (auto _ : state) {
        scene.device->BeginFrame(true, true);
        for (int i = 0; i < kPrims; ++i) {
            glBindBuffer(GL_ARRAY_BUFFER, buffers[std::size_t(i) * 2]);
            glVertexPointer(3, GL_FLOAT, sizeof(Vertex), base);
            glNormalPointer(GL_FLOAT, sizeof(Vertex), base + 12);
            glColorPointer(GL_BGRA, GL_UNSIGNED_BYTE, sizeof(Vertex), base + 24);
            glTexCoordPointer(2, GL_FLOAT, sizeof(Vertex), base + 28);
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[std::size_t(i) * 2 + 1]);
            glDrawRangeElements(GL_TRIANGLES, 0, 3, 6, GL_UNSIGNED_SHORT, nullptr);
        }
        scene.device->EndFrame(true, true);
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * kPrims);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glDeleteBuffers(GLsizei(buffers.size()), buffers.data());
}

} // namespace

BENCHMARK(BM_BareOpenGl)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawPrim)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawUserPrimitives)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
