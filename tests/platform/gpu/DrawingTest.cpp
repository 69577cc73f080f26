#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "platform/gpu/GraphicsDevice.h"
#include "platform/os/Window.h"
#include "renderer/Device.h"

using namespace platform::gpu;

namespace {

struct ScreenVertex {
    float x, y, z, rhw, u, v;
};

class DrawingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = platform::os::Window::Create("gpu draw test", 32, 32, platform::os::WindowMode::Windowed);
        ASSERT_NE(window, nullptr);
        PresentParameters parameters;
        parameters.window = window.get();
        parameters.backBufferWidth = 32;
        parameters.backBufferHeight = 32;
        parameters.backBufferFormat = FormatX8R8G8B8;
        std::string error;
        device = GraphicsDevice::Create(parameters, &error);
        ASSERT_NE(device, nullptr) << error;
        format.position = VertexFormat::Position::Transformed;
        format.texSets = 1;
        ASSERT_EQ(device->SetVertexFormat(format), Ok);
    }

    // The whole target as two clockwise triangles, every corner at texture coordinate (0, 0).
    static std::vector<ScreenVertex> FullScreen()
    {
        const ScreenVertex a{0, 0, 0.5f, 1, 0, 0}, b{32, 0, 0.5f, 1, 0, 0}, c{32, 32, 0.5f, 1, 0, 0},
            d{0, 32, 0.5f, 1, 0, 0};
        return {a, b, c, a, c, d};
    }

    std::uint32_t CentrePixel()
    {
        Surface* back = device->GetBackBuffer();
        LockedRect locked;
        EXPECT_EQ(back->Lock(locked, true), Ok);
        std::uint32_t pixel = 0;
        std::memcpy(&pixel, locked.bits + 16 * locked.pitch + 16 * 4, 4);
        back->Unlock();
        back->Release();
        return pixel & 0x00FFFFFFu;
    }

    std::unique_ptr<platform::os::Window> window;
    std::unique_ptr<GraphicsDevice> device;
    VertexFormat format;
};

} // namespace

TEST_F(DrawingTest, TextureTransformsPadCoordinatesAsDirect3DDoes)
{
    // Texels: red | green on the top row, blue | white below.
    Texture* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(2, 2, 1, UsageNone, FormatA8R8G8B8, Pool::Managed, &texture), Ok);
    LockedRect locked;
    ASSERT_EQ(texture->LockLevel(0, 0, locked, false), Ok);
    const std::uint32_t texels[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
    std::memcpy(locked.bits, texels, 8);
    std::memcpy(locked.bits + locked.pitch, texels + 2, 8);
    texture->UnlockLevel(0, 0);
    ASSERT_EQ(device->SetTexture(0, texture), Ok);

    struct Case {
        const char* what;
        std::uint32_t flags;
        float row2[4];
        std::uint32_t expected;
    };
    // Two input coordinates are padded (u, v, 1, 0): the third row is the offset.
    const Case cases[] = {
        {"off", 0, {0.75f, 0.25f, 0, 0}, 0xFF0000},
        {"two outputs", 2, {0.75f, 0.25f, 0, 0}, 0x00FF00},
        {"two outputs, other texel", 2, {0.25f, 0.75f, 0, 0}, 0x0000FF},
        {"three outputs divided by the third", 3 | kTransformProjected, {0.375f, 0.375f, 0.5f, 0}, 0xFFFFFF},
    };
    const auto quad = FullScreen();
    for (const Case& c : cases) {
        float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        std::memcpy(matrix + 8, c.row2, sizeof(c.row2));
        ASSERT_EQ(device->SetTransform(TextureTransform(0), matrix), Ok);
        ASSERT_EQ(device->SetTextureStageState(0, StageState::TransformFlags, c.flags), Ok);
        ASSERT_EQ(device->Clear(nullptr, true, true, false, 0, 1.0f, 0), Ok);
        ASSERT_EQ(device->DrawPrimitiveUp(4, 2, quad.data(), sizeof(ScreenVertex)), Ok);
        EXPECT_EQ(CentrePixel(), c.expected) << c.what;
    }
    device->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(DrawingTest, CountsOutsideTheDataAreRefused)
{
    const auto quad = FullScreen();
    Buffer* vertices = nullptr;
    ASSERT_EQ(device->CreateBuffer(BufferKind::Vertex, quad.size() * sizeof(ScreenVertex), &vertices), Ok);
    Buffer* indices = nullptr;
    ASSERT_EQ(device->CreateBuffer(BufferKind::Index16, 6 * 2, &indices), Ok);
    ASSERT_EQ(device->SetStreamSource(vertices, sizeof(ScreenVertex)), Ok);
    ASSERT_EQ(device->SetIndices(indices), Ok);
    EXPECT_EQ(device->DrawPrimitive(4, 0, 2), Ok);
    EXPECT_EQ(device->DrawPrimitive(4, 1, 2), ErrorInvalidCall);
    EXPECT_EQ(device->DrawPrimitive(4, 0, 0), ErrorInvalidCall);
    EXPECT_EQ(device->DrawPrimitive(9, 0, 1), ErrorInvalidCall);
    EXPECT_EQ(device->DrawIndexedPrimitive(4, 0, 0, 6, 0, 2), Ok);
    EXPECT_EQ(device->DrawIndexedPrimitive(4, 0, 0, 6, 3, 2), ErrorInvalidCall);
    EXPECT_EQ(device->DrawIndexedPrimitive(4, 1, 0, 6, 0, 2), ErrorInvalidCall);
    const std::uint16_t outside[3] = {0, 1, 6};
    EXPECT_EQ(device->DrawIndexedPrimitiveUp(4, 0, 6, 1, outside, quad.data(), sizeof(ScreenVertex)),
              ErrorInvalidCall);
    EXPECT_EQ(device->DrawPrimitiveUp(4, -1, quad.data(), sizeof(ScreenVertex)), ErrorInvalidCall);
    device->SetStreamSource(nullptr, 0);
    device->SetIndices(nullptr);
    vertices->Release();
    indices->Release();
}

TEST_F(DrawingTest, ShaderVersionsAreProbedAndConstantsStayInTheirBlock)
{
    EXPECT_EQ(device->GetCapabilities().vertexShaderVersion, 2.0f);
    EXPECT_EQ(device->GetCapabilities().pixelShaderVersion, 2.0f);
    std::vector<float> values(256 * 4 + 4, 1.0f);
    EXPECT_EQ(device->SetShaderConstants(ShaderKind::Pixel, 0, values.data(), 256), Ok);
    EXPECT_EQ(device->SetShaderConstants(ShaderKind::Pixel, 250, values.data(), 7), ErrorInvalidCall);
    EXPECT_EQ(device->SetShaderConstants(ShaderKind::Vertex, -1, values.data(), 1), ErrorInvalidCall);
    Shader* shader = nullptr;
    std::string error;
    const std::uint8_t notTokens[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(device->CreateShader(ShaderKind::Pixel, notTokens, sizeof(notTokens), &shader, &error),
              ErrorInvalidCall);
    EXPECT_EQ(shader, nullptr);
    EXPECT_FALSE(error.empty());
}
