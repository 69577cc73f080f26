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

    std::uint32_t CentrePixel() { return Pixel(16, 16); }

    std::uint32_t Pixel(int x, int y)
    {
        Surface* back = device->GetBackBuffer();
        LockedRect locked;
        EXPECT_EQ(back->Lock(locked, true), Ok);
        std::uint32_t pixel = 0;
        std::memcpy(&pixel, locked.bits + y * locked.pitch + x * 4, 4);
        back->Unlock();
        back->Release();
        return pixel & 0x00FFFFFFu;
    }

    // A texture of one row of texels, sampled with point filtering.
    Texture* RowTexture(const std::vector<std::uint32_t>& texels)
    {
        Texture* texture = nullptr;
        EXPECT_EQ(device->CreateTexture(int(texels.size()), 1, 1, UsageNone, FormatA8R8G8B8, Pool::Managed, &texture),
                  Ok);
        LockedRect locked;
        EXPECT_EQ(texture->LockLevel(0, 0, locked, false), Ok);
        std::memcpy(locked.bits, texels.data(), texels.size() * 4);
        texture->UnlockLevel(0, 0);
        return texture;
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

TEST_F(DrawingTest, PreTransformedVerticesInterpolateWithPerspective)
{
    // Left edge rhw 1, right edge rhw 1/7; u runs 0 to 1 over four texels. At pixel x the screen
    // fraction is t = x / 32 and u = (t / 7) / ((1 - t) + t / 7): 0.125 at x = 16 (texel 0) and
    // 0.3 at x = 24 (texel 1), where straight screen-space interpolation would give 0.5 and 0.75.
    Texture* texture = RowTexture({0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu});
    ASSERT_EQ(device->SetTexture(0, texture), Ok);
    const float far = 1.0f / 7.0f;
    const ScreenVertex a{0, 0, 0.5f, 1, 0, 0}, b{32, 0, 0.5f, far, 1, 0}, c{32, 32, 0.5f, far, 1, 1},
        d{0, 32, 0.5f, 1, 0, 1};
    const ScreenVertex quad[6] = {a, b, c, a, c, d};
    ASSERT_EQ(device->Clear(nullptr, true, true, false, 0, 1.0f, 0), Ok);
    ASSERT_EQ(device->DrawPrimitiveUp(4, 2, quad, sizeof(ScreenVertex)), Ok);
    EXPECT_EQ(Pixel(16, 16), 0xFF0000u);
    EXPECT_EQ(Pixel(24, 16), 0x00FF00u);
    EXPECT_EQ(Pixel(4, 16), 0xFF0000u);
    device->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(DrawingTest, PreTransformedVerticesAreFoggedAsDirect3DFogsThem)
{
    struct LitVertex {
        float x, y, z, rhw;
        std::uint32_t diffuse, specular;
    };
    VertexFormat lit;
    lit.position = VertexFormat::Position::Transformed;
    lit.diffuse = true;
    lit.specular = true;
    VertexFormat unlit = lit;
    unlit.specular = false;
    ASSERT_EQ(device->SetTextureStageState(0, StageState::ColorOp, 3), Ok); // select the diffuse colour
    ASSERT_EQ(device->SetTextureStageState(0, StageState::ColorArg2, ArgDiffuse), Ok);
    ASSERT_EQ(device->SetRenderState(RsLighting, 0), Ok);
    ASSERT_EQ(device->SetRenderState(RsFogEnable, 1), Ok);
    ASSERT_EQ(device->SetRenderState(RsFogColor, 0xFF0000FFu), Ok);
    auto bits = [](float value) {
        std::uint32_t out;
        std::memcpy(&out, &value, 4);
        return out;
    };
    ASSERT_EQ(device->SetRenderState(RsFogStart, bits(0.0f)), Ok);
    ASSERT_EQ(device->SetRenderState(RsFogEnd, bits(10.0f)), Ok);

    struct Case {
        const char* what;
        std::uint32_t tableMode, vertexMode;
        bool specular;
        std::uint32_t specularColor;
        float rhw;
        std::uint32_t expected; // white fogged towards blue
    };
    const Case cases[] = {
        // Vertex fog: the factor is the specular alpha, 0x40 / 255 = 0.25 of white.
        {"vertex fog from the specular alpha", 0, 3, true, 0x40000000u, 0.2f, 0x4040FFu},
        {"vertex fog, opaque specular alpha", 0, 3, true, 0xFF000000u, 0.2f, 0xFFFFFFu},
        // Without a specular colour the factor is that of a zero colour: all fog.
        {"vertex fog without a specular colour", 0, 3, false, 0, 0.2f, 0x0000FFu},
        // Table fog: linear from 0 to 10 at the distance 1 / rhw = 5, half of white.
        {"table fog from 1 / rhw", 3, 0, true, 0x40000000u, 0.2f, 0x8080FFu},
        {"table fog, near", 3, 0, false, 0, 1.0f, 0xE6E6FFu},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(device->SetRenderState(RsFogTableMode, c.tableMode), Ok);
        ASSERT_EQ(device->SetRenderState(RsFogVertexMode, c.vertexMode), Ok);
        ASSERT_EQ(device->SetVertexFormat(c.specular ? lit : unlit), Ok);
        const LitVertex a{0, 0, 0.5f, c.rhw, 0xFFFFFFFFu, c.specularColor},
            b{32, 0, 0.5f, c.rhw, 0xFFFFFFFFu, c.specularColor}, v{32, 32, 0.5f, c.rhw, 0xFFFFFFFFu, c.specularColor},
            d{0, 32, 0.5f, c.rhw, 0xFFFFFFFFu, c.specularColor};
        // Without a specular colour the vertex is 16 bytes of position and 4 of colour.
        std::vector<std::uint8_t> data;
        for (const LitVertex& corner : {a, b, v, a, v, d}) {
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(&corner);
            data.insert(data.end(), bytes, bytes + (c.specular ? sizeof(LitVertex) : 20));
        }
        ASSERT_EQ(device->Clear(nullptr, true, true, false, 0, 1.0f, 0), Ok);
        ASSERT_EQ(device->DrawPrimitiveUp(4, 2, data.data(), c.specular ? int(sizeof(LitVertex)) : 20), Ok);
        const std::uint32_t pixel = CentrePixel();
        for (int shift : {16, 8, 0})
            EXPECT_NEAR(int((pixel >> shift) & 0xFF), int((c.expected >> shift) & 0xFF), 3)
                << c.what << " channel " << shift;
    }
    device->SetRenderState(RsFogEnable, 0);
}

TEST_F(DrawingTest, StageOperationsOfTheFormProductPlusTermAreExact)
{
    // Stage 0 passes the diffuse colour D; stage 1 combines its texture T with the texture
    // factor F, the current colour (D) being the third argument where the operation takes one.
    // D = (64, 32, 128), T = (204, 102, 51) with alpha 64, F = (128, 128, 255).
    struct ColoredVertex {
        float x, y, z, rhw;
        std::uint32_t diffuse;
        float u, v;
    };
    VertexFormat colored;
    colored.position = VertexFormat::Position::Transformed;
    colored.diffuse = true;
    colored.texSets = 1;
    ASSERT_EQ(device->SetVertexFormat(colored), Ok);
    Texture* texture = RowTexture({0x40CC6633u});
    ASSERT_EQ(device->SetTexture(1, texture), Ok);
    ASSERT_EQ(device->SetRenderState(RsTextureFactor, 0xFF8080FFu), Ok);
    ASSERT_EQ(device->SetTextureStageState(0, StageState::ColorOp, 2), Ok); // select argument 1
    ASSERT_EQ(device->SetTextureStageState(0, StageState::ColorArg1, ArgDiffuse), Ok);
    ASSERT_EQ(device->SetTextureStageState(1, StageState::ColorArg1, ArgTexture), Ok);
    ASSERT_EQ(device->SetTextureStageState(1, StageState::ColorArg2, ArgTextureFactor), Ok);
    ASSERT_EQ(device->SetTextureStageState(1, StageState::AlphaOp, 3), Ok);

    struct Case {
        const char* what;
        std::uint32_t op;
        int red, green, blue;
    };
    const Case cases[] = {
        {"lerp: D x T + (1 - D) x F", 26, 147, 125, 153},
        {"multiply-add: D + T x F", 25, 166, 83, 179},
        {"add smooth: T + F - T x F", 11, 230, 179, 255},
        {"modulate alpha add colour: T + T.a x F", 18, 236, 134, 115},
        {"premultiplied texture alpha: T + F x (1 - T.a)", 15, 255, 198, 242},
    };
    const ColoredVertex a{0, 0, 0.5f, 1, 0xFF402080u, 0, 0}, b{32, 0, 0.5f, 1, 0xFF402080u, 1, 0},
        c{32, 32, 0.5f, 1, 0xFF402080u, 1, 1}, d{0, 32, 0.5f, 1, 0xFF402080u, 0, 1};
    const ColoredVertex quad[6] = {a, b, c, a, c, d};
    for (const Case& test : cases) {
        ASSERT_EQ(device->SetTextureStageState(1, StageState::ColorOp, test.op), Ok);
        ASSERT_EQ(device->Clear(nullptr, true, true, false, 0, 1.0f, 0), Ok);
        ASSERT_EQ(device->DrawPrimitiveUp(4, 2, quad, sizeof(ColoredVertex)), Ok);
        const std::uint32_t pixel = CentrePixel();
        EXPECT_NEAR(int((pixel >> 16) & 0xFF), test.red, 3) << test.what;
        EXPECT_NEAR(int((pixel >> 8) & 0xFF), test.green, 3) << test.what;
        EXPECT_NEAR(int(pixel & 0xFF), test.blue, 3) << test.what;
    }
    device->SetTextureStageState(1, StageState::ColorOp, 1);
    device->SetTexture(1, nullptr);
    texture->Release();
}

TEST_F(DrawingTest, PointLightsEndAtTheirRangeAndSpecularFollowsTheVertex)
{
    // A quad at z = 0.5 filling clip space (every transform the identity), facing the viewer, lit
    // by a white point light at (0, 0, -2). Each corner is sqrt(1 + 1 + 2.5^2) = 2.87 from the
    // light with N.L = 2.5 / 2.87 = 0.87, so a white diffuse material gives 222 there, and the
    // centre (on the shared edge) is the same.
    struct LitVertex {
        float x, y, z, nx, ny, nz;
        std::uint32_t diffuse, specular;
    };
    VertexFormat lit;
    lit.position = VertexFormat::Position::Xyz;
    lit.normal = true;
    lit.diffuse = true;
    lit.specular = true;
    ASSERT_EQ(device->SetVertexFormat(lit), Ok);
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    for (TransformKind kind : {TransformKind::World, TransformKind::View, TransformKind::Projection})
        ASSERT_EQ(device->SetTransform(kind, identity), Ok);
    ASSERT_EQ(device->SetRenderState(RsCullMode, 1), Ok);
    ASSERT_EQ(device->SetRenderState(RsLighting, 1), Ok);
    ASSERT_EQ(device->SetRenderState(RsAmbient, 0), Ok);
    ASSERT_EQ(device->SetRenderState(RsColorVertex, 1), Ok);
    ASSERT_EQ(device->SetRenderState(RsDiffuseMaterialSource, 0), Ok);
    ASSERT_EQ(device->SetRenderState(RsAmbientMaterialSource, 0), Ok);
    ASSERT_EQ(device->SetRenderState(RsEmissiveMaterialSource, 0), Ok);

    struct Case {
        const char* what;
        float range;
        float diffuse;                   // material diffuse grey level
        std::uint32_t specularSource;    // 0 material (black), 2 the vertex specular colour (red)
        std::uint32_t expected;
    };
    const Case cases[] = {
        {"inside the range", 3.0f, 1.0f, 0, 0xDEDEDEu},
        {"beyond the range", 2.0f, 1.0f, 0, 0x000000u},
        {"unlimited range", 1.8446743e19f, 1.0f, 0, 0xDEDEDEu},
        // Power 0: the highlight is the specular colour times the light's, wherever N.L > 0.
        {"specular from the vertex", 3.0f, 0.0f, 2, 0xFF0000u},
        {"specular from the material", 3.0f, 0.0f, 0, 0x000000u},
        {"specular beyond the range", 2.0f, 0.0f, 2, 0x000000u},
    };
    const std::uint32_t red = 0xFFFF0000u;
    const LitVertex a{-1, 1, 0.5f, 0, 0, -1, 0xFFFFFFFFu, red}, b{1, 1, 0.5f, 0, 0, -1, 0xFFFFFFFFu, red},
        c{1, -1, 0.5f, 0, 0, -1, 0xFFFFFFFFu, red}, d{-1, -1, 0.5f, 0, 0, -1, 0xFFFFFFFFu, red};
    const LitVertex quad[6] = {a, b, c, a, c, d};
    for (const Case& test : cases) {
        LightParameters light;
        light.type = 1;
        light.position[2] = -2.0f;
        light.range = test.range;
        ASSERT_EQ(device->SetLight(0, light), Ok);
        ASSERT_EQ(device->EnableLight(0, true), Ok);
        MaterialParameters material;
        for (int i = 0; i < 3; ++i) {
            material.diffuse[i] = test.diffuse;
            material.ambient[i] = 0.0f;
        }
        material.power = 0.0f;
        ASSERT_EQ(device->SetMaterial(material), Ok);
        ASSERT_EQ(device->SetRenderState(RsSpecularEnable, 1), Ok);
        ASSERT_EQ(device->SetRenderState(RsSpecularMaterialSource, test.specularSource), Ok);
        ASSERT_EQ(device->Clear(nullptr, true, true, false, 0, 1.0f, 0), Ok);
        ASSERT_EQ(device->DrawPrimitiveUp(4, 2, quad, sizeof(LitVertex)), Ok);
        const std::uint32_t pixel = CentrePixel();
        for (int shift : {16, 8, 0})
            EXPECT_NEAR(int((pixel >> shift) & 0xFF), int((test.expected >> shift) & 0xFF), 3)
                << test.what << " channel " << shift;
    }
    device->EnableLight(0, false);
    device->SetRenderState(RsSpecularEnable, 0);
}
