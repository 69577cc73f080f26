#include <algorithm>
#include <string>

#include <mojoshader.h>

#include "engine/core/q3DError.h"
#include "tests/renderer/DrawFixture.h"

namespace {

// Assembles shader source into the token stream of a compiled shader file.
std::vector<std::uint8_t> Assemble(const char* source)
{
    const MOJOSHADER_parseData* data = MOJOSHADER_assemble("test", source, unsigned(std::strlen(source)), nullptr, 0,
                                                           nullptr, 0, nullptr, 0, nullptr, nullptr, nullptr, nullptr,
                                                           nullptr);
    std::vector<std::uint8_t> bytes;
    if (data && data->error_count == 0)
        bytes.assign(data->output, data->output + data->output_len);
    MOJOSHADER_freeParseData(data);
    return bytes;
}

bool LogHas(const std::vector<std::string>& log, const std::string& line)
{
    return std::find(log.begin(), log.end(), line) != log.end();
}

} // namespace

class BuiltInEffectTest : public DrawTest {
protected:
    struct MeshVertex {
        float x, y, z, nx, ny, nz, u, v;
    };

    void SetUp() override
    {
        DrawTest::SetUp();
        meshLayout.offsets[VertexLayout::Position] = 0;
        meshLayout.offsets[VertexLayout::Normal] = 12;
        meshLayout.offsets[VertexLayout::TexCoord0] = 24;
        meshLayout.vertexSize = 32;
    }

    // A square facing the camera at depth 10, covering the middle of the screen.
    void DrawFacingSquare(float half, Material* with)
    {
        const MeshVertex quad[6] = {{-half, half, 10, 0, 0, -1, 0, 0}, {half, half, 10, 0, 0, -1, 1, 0},
                                    {half, -half, 10, 0, 0, -1, 1, 1}, {-half, half, 10, 0, 0, -1, 0, 0},
                                    {half, -half, 10, 0, 0, -1, 1, 1}, {-half, -half, 10, 0, 0, -1, 0, 1}};
        device->DrawUserPrimitives(PrimTriangleList, quad, 6, &meshLayout, nullptr, 0, with);
    }

    VertexLayout meshLayout;
};

TEST_F(BuiltInEffectTest, EnvMapLooksUpReflectionsThroughItsTextureTransform)
{
    // 2 x 2 map, top row red | green, bottom row blue | white (stored bottom row first).
    WriteFile("env.tga", TgaFile(2, 2, 24, {255, 0, 0, 255, 255, 255, 0, 0, 255, 0, 255, 0}));
    D3DBitmap* owner = SolidTexture("owner", 0xFFFFFFFFu);
    // Scale 2 in both directions, offset a quarter into the map.
    owner->AddEffect("envmap env.tga 2 2 0.25 0.25");
    Material shiny = material;
    shiny.texture[0] = owner;
    LookAlongZ();
    device->SetFilter(0, 2);
    device->SetMipFilter(0);
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    DrawFacingSquare(8.0f, &shiny);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    // The straight-back reflection (0, 0, -1) lands on (0.25, 0.25): red. Right of the middle s
    // grows past 0.5 (green), below it t does (blue), and both at once give white.
    const auto pixels = ReadBack();
    EXPECT_EQ(At(pixels, 32, 32), 0xFF0000u);
    EXPECT_EQ(At(pixels, 42, 30), 0x00FF00u);
    EXPECT_EQ(At(pixels, 30, 42), 0x0000FFu);
    EXPECT_EQ(At(pixels, 42, 42), 0xFFFFFFu);
    // The effect made the material opaque and took its stage-1 texture back.
    EXPECT_EQ(shiny.srcBlend, BlendOne);
    EXPECT_EQ(shiny.destBlend, BlendZero);
    EXPECT_EQ(shiny.texture[1], nullptr);
    EXPECT_EQ(shiny.colorOp[0], TexOpBlendTextureAlpha);
    owner->ReleaseEffects(0);
    owner->Destroy();
}

TEST_F(BuiltInEffectTest, EnvMapLinesWithoutAMapLoadNothing)
{
    D3DBitmap* owner = SolidTexture("owner2", 0xFFFFFFFFu);
    owner->AddEffect("envmap");
    owner->AddEffect("envmap NONE");
    owner->AddEffect("envmap missing.tga");
    const auto log = ReadLines("q3D.log");
    EXPECT_TRUE(LogHas(log, "No env map file name specified"));
    EXPECT_TRUE(std::any_of(log.begin(), log.end(),
                            [](const std::string& l) { return l.rfind("Couldn't load env map missing.tga: ", 0) == 0; }));
    owner->ReleaseEffects(0);
    owner->Destroy();
}

TEST_F(BuiltInEffectTest, CubeRefWithoutItsFileThrows)
{
    D3DBitmap* owner = SolidTexture("owner3", 0xFFFFFFFFu);
    EXPECT_THROW(owner->AddEffect("cuberef nothere.dds"), q3DError);
    EXPECT_EQ(owner->FindEffect("cuberef"), nullptr);
    owner->Destroy();
}

TEST_F(BuiltInEffectTest, Dot3BumpLightsByTheNormalInTheTexture)
{
    // A normal map texel (128, 128, 255) points straight out of the surface.
    D3DBitmap* normals = SolidTexture("normals", 0xFF8080FFu);
    normals->AddEffect("dot3bump");
    Material bumped = material;
    bumped.texture[0] = normals;
    struct Case {
        float light[3];
        std::uint32_t expected;
    };
    const Case cases[] = {{{0, 0, 1}, 0xFFFFFF}, {{1, 0, 0}, 0x000000}};
    std::vector<std::uint32_t> seen;
    for (const Case& c : cases) {
        for (int i = 0; i < 3; ++i)
            device->SetEffectParam("dot3bump", i, c.light[i]);
        ASSERT_EQ(device->BeginFrame(true, true), 0);
        DrawQuad(Quad(0, 0, 16, 16, 0xFFFFFFFFu), &bumped);
        EXPECT_EQ(device->EndFrame(true, true), 0);
        seen.push_back(At(ReadBack(), 8, 8));
    }
    EXPECT_TRUE(Near(seen[0], cases[0].expected, 8));
    EXPECT_TRUE(Near(seen[1], cases[1].expected, 8));
    normals->ReleaseEffects(0);
    normals->Destroy();
}

TEST_F(BuiltInEffectTest, ShaderPairAssembledHereDrawsWithItsConstants)
{
    ASSERT_EQ(device->GetVertexShaderVersion(), 2.0f);
    ASSERT_EQ(device->GetPixelShaderVersion(), 2.0f);
    const auto vertex = Assemble("vs_1_1\ndcl_position v0\nmov oPos, v0\nmov oD0, c0\n");
    const auto pixel = Assemble("ps_1_1\nmul r0, v0, c0\n");
    ASSERT_FALSE(vertex.empty());
    ASSERT_FALSE(pixel.empty());
    WriteFile("tint.lumoravs", vertex);
    WriteFile("tint.lumoraps", pixel);
    device->AttachEffect("vertexshader tint");
    device->AttachEffect("pixelshader tint");
    const float vertexColour[4] = {1.0f, 0.5f, 0.25f, 1.0f}, pixelScale[4] = {0.5f, 1.0f, 1.0f, 1.0f};
    device->SetEffectParam("vertexshader", 0, 4.0f);
    device->SetEffectParam("pixelshader", 0, 4.0f);
    for (int i = 0; i < 4; ++i) {
        device->SetEffectParam("vertexshader", i + 1, vertexColour[i]);
        device->SetEffectParam("pixelshader", i + 1, pixelScale[i]);
    }
    VertexLayout positions;
    positions.offsets[VertexLayout::Position] = 0;
    positions.vertexSize = 12;
    // One triangle over the whole clip square.
    const float triangle[9] = {-1, 1, 0.5f, 3, 1, 0.5f, -1, -3, 0.5f};
    Material plain = material;
    plain.cullFlags = Material::kTwoSided;
    LookAlongZ();
    Matrix4 identity;
    device->SetProjectionTransform(&identity);

    ASSERT_EQ(device->BeginFrame(true, true), 0);
    device->DrawUserPrimitives(PrimTriangleList, triangle, 3, &positions, nullptr, 0, &plain);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    EXPECT_TRUE(Near(At(ReadBack(), 32, 32), 0x808040u)) << "vertex colour (1, .5, .25) x pixel scale (.5, 1, 1)";

    // A count past the parameter block uploads what the block holds and no more.
    device->SetEffectParam("pixelshader", 0, 1.0e9f);
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    device->DrawUserPrimitives(PrimTriangleList, triangle, 3, &positions, nullptr, 0, &plain);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    EXPECT_TRUE(Near(At(ReadBack(), 32, 32), 0x808040u));
    const auto log = ReadLines("q3D.log");
    EXPECT_FALSE(std::any_of(log.begin(), log.end(),
                             [](const std::string& l) { return l.rfind("Can't set pixel shader", 0) == 0; }));

    // Without the effects the same draw is fixed function again: unlit white.
    device->RemoveEffect("vertexshader");
    device->RemoveEffect("pixelshader");
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    device->DrawUserPrimitives(PrimTriangleList, triangle, 3, &positions, nullptr, 0, &plain);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    EXPECT_EQ(At(ReadBack(), 32, 32), 0xFFFFFFu);
}

TEST_F(BuiltInEffectTest, BadOrMissingShaderFilesLeaveAnEffectThatDoesNothing)
{
    WriteFile("junk.lumoraps", {1, 2, 3, 4, 5, 6, 7, 8});
    WriteFile("wrongkind.lumoraps", Assemble("vs_1_1\ndcl_position v0\nmov oPos, v0\n"));
    WriteFile("toonew.lumoraps", Assemble("ps_3_0\nmov oC0, c0\n"));
    device->AttachEffect("pixelshader junk");
    device->AttachEffect("pixelshader wrongkind");
    device->AttachEffect("pixelshader toonew");
    device->AttachEffect("pixelshader absent");
    // An absurd constant count is held to the parameter block.
    device->SetEffectParam("pixelshader", 0, 1.0e9f);
    const auto log = ReadLines("q3D.log");
    EXPECT_TRUE(LogHas(log, "Can't load pixel shader junk.lumoraps: ErrorInvalidCall"));
    EXPECT_TRUE(LogHas(log, "Can't load pixel shader wrongkind.lumoraps: ErrorInvalidCall"));
    EXPECT_TRUE(LogHas(log, "Can't load pixel shader toonew.lumoraps: ErrorInvalidCall"));
    EXPECT_TRUE(LogHas(log, "Can't find file absent.lumoraps"));
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    DrawQuad(Quad(0, 0, 16, 16, 0xFF00FF00u), &material);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    EXPECT_EQ(At(ReadBack(), 8, 8), 0x00FF00u);
    for (int i = 0; i < 4; ++i)
        device->RemoveEffect("pixelshader");
}

TEST_F(BuiltInEffectTest, ShutdownReleasesTheShadersOfEffectsThatOutliveTheDevice)
{
    WriteFile("tint.lumoraps", Assemble("ps_1_1\nmul r0, v0, c0\n"));
    WriteFile("tint.lumoravs", Assemble("vs_1_1\ndcl_position v0\nmov oPos, v0\nmov oD0, c0\n"));
    D3DBitmap* texture = SolidTexture("shaded.tga", 0xFFFFFFFFu);
    texture->AddEffect("pixelshader tint");
    texture->AddEffect("vertexshader tint");
    // Both shaders are set on the device when it shuts down: each has one reference beyond the
    // library's.
    texture->ApplyEffects(true, nullptr);
    device->Shutdown();
    const auto log = ReadLines("q3D.log");
    EXPECT_TRUE(LogHas(log, "Pixel shader released with 1 references remaining"));
    EXPECT_TRUE(LogHas(log, "Vertex shader released with 1 references remaining"));
    // The effects find their shaders released and neither use nor release them again.
    texture->ApplyEffects(true, nullptr);
    texture->ReleaseEffects(0);
    texture->Destroy();
}

TEST_F(BuiltInEffectTest, ParameterBlockOutlivesItsRegistrationWhileAnEffectUsesIt)
{
    device->SetEffectParam("dot3bump", 7, 0.75f);
    Effect* effect = nullptr;
    ASSERT_NE(device->CreateEffect("dot3bump", &effect), nullptr);
    device->UnregisterEffect("DOT3BUMP");
    // Make and drop other blocks, which would reuse freed memory.
    for (int i = 0; i < 8; ++i) {
        device->RegisterEffect(nullptr, "filler");
        device->UnregisterEffect("filler");
    }
    EXPECT_EQ(effect->parameters[7], 0.75f);
    EXPECT_EQ(device->CreateEffect("dot3bump", nullptr), nullptr);
}

namespace {

// A DXT1 cube map of 4 x 4 faces with its full chain, each face one 5:6:5 colour.
std::vector<std::uint8_t> CubeFile(const std::uint16_t faceColours[6])
{
    std::vector<std::uint8_t> out;
    const std::uint32_t header[] = {0x20534444, 124, 0x1007 | 0x80000 | 0x20000, 4, 4, 8, 0, 3};
    for (std::uint32_t v : header)
        Put32(out, v);
    for (int i = 0; i < 11; ++i)
        Put32(out, 0);
    Put32(out, 32);
    Put32(out, 4);
    out.insert(out.end(), {'D', 'X', 'T', '1'});
    for (int i = 0; i < 5; ++i)
        Put32(out, 0);
    Put32(out, 0x1000 | 0x8 | 0x400000);
    Put32(out, 0xFE00);
    for (int i = 0; i < 3; ++i)
        Put32(out, 0);
    for (int face = 0; face < 6; ++face)
        for (int level = 0; level < 3; ++level) {
            Put16(out, faceColours[face]);
            Put16(out, faceColours[face]);
            Put32(out, 0);
        }
    return out;
}

} // namespace

TEST_F(BuiltInEffectTest, CubeRefLooksUpTheReflectionInWorldDirections)
{
    // +x red, -x green, +y blue, -y yellow, +z cyan, -z magenta.
    const std::uint16_t faces[6] = {0xF800, 0x07E0, 0x001F, 0xFFE0, 0x07FF, 0xF81F};
    WriteFile("room.dds", CubeFile(faces));
    D3DBitmap* owner = SolidTexture("chrome", 0xFFFFFFFFu);
    owner->AddEffect("cuberef room.tga");
    Material chrome = material;
    chrome.texture[0] = owner;
    LookAlongZ();
    // Turned half way round: the camera looks along -z at a square facing +z.
    Matrix4 turned;
    turned(0, 0) = -1.0f;
    turned(2, 2) = -1.0f;
    device->SetViewTransform(&turned);
    device->SetFilter(0, 2);
    device->SetMipFilter(0);
    const MeshVertex quad[6] = {{8, 8, -10, 0, 0, 1, 0, 0},    {-8, 8, -10, 0, 0, 1, 1, 0},
                                {-8, -8, -10, 0, 0, 1, 1, 1},  {8, 8, -10, 0, 0, 1, 0, 0},
                                {-8, -8, -10, 0, 0, 1, 1, 1},  {8, -8, -10, 0, 0, 1, 0, 1}};
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    device->DrawUserPrimitives(PrimTriangleList, quad, 6, &meshLayout, nullptr, 0, &chrome);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    // The view bounces straight back along +z in the world: the +z face.
    EXPECT_EQ(At(ReadBack(), 32, 32), 0x00FFFFu);
    EXPECT_EQ(chrome.texture[1], nullptr);
    owner->ReleaseEffects(0);
    owner->Destroy();
}
