#include <algorithm>
#include <filesystem>
#include <cstring>
#include <string>

#include <mojoshader.h>

#include "tests/engine/mesh/RecordingDevice.h"
#include "tests/support/FramePixels.h"
#include "tests/world/WorldFixture.h"
#include "world/terrain/TerrainPatch.h"

namespace {

// The water of the test map's top-left block, drawn on the path the device's answers choose. The
// water colours are told apart: colour 1 (the plain water texture, seen flat) blue, colour 2
// (seen from above by the shaders) red; the ground is green.
class WaterPathTest : public WorldTest {
protected:
    void LoadOn(Device* on)
    {
        WriteText("Maps/Water/water.def", "8\n256\n0.015\n0.00005\n0\n0\n255\n255\n0\n0\n4\n10\n");
        WriteFile("area.mpb", WriteMapFile(Terrain()));
        map = std::make_unique<MapDescription>();
        ASSERT_TRUE(map->Load("area.mpb")) << map->GetLastError();
        world = std::make_unique<World>();
        world->Load(map.get(), on, camera.get());
    }

    struct Probe {
        std::uint32_t centre = 0; // the water straight below
        std::uint32_t ground = 0; // the same pixel without the water
    };

    // Looks down on the block's shallow corner (ground 0 to 7, water at 10).
    Probe DrawLookingDown()
    {
        LookFrom(Vector3(-140, 60, 150), Vector3(-139.9f, 0, 149.9f));
        Probe probe;
        for (bool water : {false, true}) {
            device->BeginFrame(true, true);
            camera->UpdateTransform(0.0f);
            world->waterOn = water;
            world->CollectVisible();
            EXPECT_TRUE(world->waterVisibleThisFrame);
            world->RenderTerrain(); // the water last
            device->EndFrame(true, true);
            const std::vector<std::uint32_t> frame = ReadFrame(device);
            EXPECT_EQ(frame.size(), 160u * 120u);
            (water ? probe.centre : probe.ground) = frame.empty() ? 0 : frame[60 * 160 + 80];
        }
        return probe;
    }

    static int Red(std::uint32_t c) { return int(c >> 16 & 0xFF); }
    static int Green(std::uint32_t c) { return int(c >> 8 & 0xFF); }
    static int Blue(std::uint32_t c) { return int(c & 0xFF); }
};

TEST_F(WaterPathTest, ShaderDeviceDrawsTheWaterThroughTheMapsShaders)
{
    ASSERT_GE(device->GetPixelShaderVersion(), 1.1f);
    LoadOn(device);
    ASSERT_TRUE(world->shaderWater);
    ASSERT_NE(world->waterMaterial, nullptr);
    EXPECT_EQ(world->waterBitmaps[0]->GetFormat(), FormatQ8W8V8U8);
    EXPECT_NE(world->waterBitmaps[0]->FindEffect("vertexshader"), nullptr);
    EXPECT_NE(world->waterBitmaps[0]->FindEffect("pixelshader"), nullptr);
    ASSERT_NE(world->waterMaterial->texture[1], nullptr);
    EXPECT_EQ(world->waterMaterial->texture[1]->GetFlags() & BitmapCube, BitmapCube);
    const Probe probe = DrawLookingDown();
    // Seen from above the shader gives colour 2 (red), mostly opaque over the green ground.
    EXPECT_LT(Red(probe.ground), 2 * Green(probe.ground));
    EXPECT_GT(Red(probe.centre), 150) << std::hex << probe.centre;
    EXPECT_GT(Red(probe.centre), 2 * Green(probe.centre)) << std::hex << probe.centre;
    EXPECT_LT(Blue(probe.centre), 80) << std::hex << probe.centre;
    // The bump map holds signed normals pointing up: y near +127 in the second byte.
    std::int32_t pitch = 0;
    const auto* texel = static_cast<const std::uint8_t*>(world->waterBitmaps[0]->LockLevel(0, &pitch, false));
    ASSERT_NE(texel, nullptr);
    EXPECT_GT(std::int8_t(texel[1]), 100);
    world->waterBitmaps[0]->UnlockLevel();
    // The effects' registers follow the frame: the counts and the water colours.
    Effect* pixel = world->waterBitmaps[0]->FindEffect("pixelshader");
    ASSERT_NE(pixel, nullptr);
    EXPECT_EQ(pixel->parameters[0], 8.0f);
    EXPECT_EQ(pixel->parameters[5], 1.0f);
    EXPECT_EQ(world->waterBitmaps[0]->FindEffect("vertexshader")->parameters[0], 56.0f);
}

TEST_F(WaterPathTest, DeviceWithoutPixelShadersDrawsDot3Water)
{
    RecordingDevice old(device);
    old.pixelShaderVersion = 0.0f;
    LoadOn(&old);
    ASSERT_FALSE(world->shaderWater);
    ASSERT_NE(world->waterMaterial, nullptr);
    EXPECT_EQ(world->waterBitmaps[0]->GetFormat(), FormatA8R8G8B8);
    EXPECT_NE(world->waterBitmaps[0]->FindEffect("dot3bump"), nullptr);
    EXPECT_EQ(world->waterBitmaps[0]->FindEffect("pixelshader"), nullptr);
    const Probe probe = DrawLookingDown();
    // The plain water texture is colour 1 (blue), lit per texel by the sun: no red of colour 2.
    EXPECT_NE(probe.centre, probe.ground);
    EXPECT_LT(Red(probe.centre), 100) << std::hex << probe.centre;
    EXPECT_GE(Blue(probe.centre), Red(probe.centre)) << std::hex << probe.centre;
    world.reset();
}

TEST_F(WaterPathTest, MissingCubeMapLeavesTheMapWithoutWaterButWithWaves)
{
    std::filesystem::remove("Maps/Water/water-cubemap.dds");
    LoadOn(device);
    EXPECT_EQ(world->waterMaterial, nullptr);
    const auto log = ReadLines("q3D.log");
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& line) {
        return line.rfind("Error setting up water: Can't load water cubemap Maps/Water/water-cubemap.dds: ", 0) == 0;
    }));
    // Characters still wade in moving water.
    const Vector3 point(-120, 0, 120);
    const float before = world->GetWaveHeight(point);
    LookFrom(Vector3(-60, 60, 60), Vector3(-120, 0, 120));
    world->CollectVisible();
    world->Update(4.0f);
    EXPECT_NE(world->GetWaveHeight(point), before);
    EXPECT_FALSE(world->RenderWater());
}

TEST_F(WaterPathTest, ShaderWaterReflectsTheSkyTowardsTheHorizon)
{
    LoadOn(device);
    ASSERT_TRUE(world->shaderWater);
    LookFrom(Vector3(-158, 22, 158), Vector3(-130, 10.0f, 130));
    device->BeginFrame(true, true);
    camera->UpdateTransform(0.0f);
    world->CollectVisible();
    world->RenderTerrain();
    device->EndFrame(true, true);
    const std::vector<std::uint32_t> frame = ReadFrame(device);
    ASSERT_EQ(frame.size(), 160u * 120u);
    const std::uint32_t near = frame[115 * 160 + 80], far = frame[55 * 160 + 80];
    // Near the camera the water is seen from above: colour 2 (red). Far off it is seen flat:
    // colour 1 (blue) with the pale sky of the cube map in it, the only source of green here.
    EXPECT_GT(Red(near), Blue(near)) << std::hex << near;
    EXPECT_GT(Blue(far), Red(far)) << std::hex << far;
    EXPECT_GT(Green(far), 60) << std::hex << far;
    EXPECT_GT(Green(far), 3 * Green(near)) << std::hex << far << " " << near;
}

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

TEST_F(WaterPathTest, SignedBumpTexelsReachShadersAsSignedValues)
{
    // The shader writes each channel of the texel as 0.5 + value / 2.
    WriteFile("signed.lumoravs", Assemble("vs_1_1\ndcl_position v0\ndcl_texcoord0 v1\nmov oPos, v0\nmov oT0, v1\n"));
    WriteFile("signed.lumoraps", Assemble("ps_2_0\ndef c0, 0.5, 0.5, 0.5, 1\ndcl t0.xy\ndcl_2d s0\n"
                                          "texld r0, t0, s0\nmad r0.xyz, r0, c0, c0\nmov r0.w, c0.w\nmov oC0, r0\n"));
    D3DBitmap* bump = device->CreateBitmap(nullptr);
    ASSERT_EQ(bump->Create("signed", 4, 4, FormatQ8W8V8U8, BitmapPrivate | BitmapOneLevel), 1);
    std::int32_t pitch = 0;
    auto* bits = static_cast<std::uint8_t*>(bump->LockLevel(0, &pitch, false));
    ASSERT_NE(bits, nullptr);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            std::uint8_t* texel = bits + std::size_t(y) * std::size_t(pitch) + std::size_t(x) * 4;
            texel[0] = 0x81, texel[1] = 0x00, texel[2] = 0x7F, texel[3] = 0x7F; // u -1, v 0, w 1
        }
    bump->UnlockLevel();
    bump->AddEffect("vertexshader signed");
    bump->AddEffect("pixelshader signed");
    Material flat;
    flat.texture[0] = bump;
    flat.lightingMode = 0;
    flat.cullFlags |= Material::kTwoSided;
    struct Corner {
        float x, y, z, u, v;
    };
    const Corner quad[6] = {{-1, -1, 0.5f, 0, 1}, {1, -1, 0.5f, 1, 1}, {1, 1, 0.5f, 1, 0},
                            {-1, -1, 0.5f, 0, 1}, {1, 1, 0.5f, 1, 0}, {-1, 1, 0.5f, 0, 0}};
    VertexLayout layout;
    layout.offsets[VertexLayout::Position] = 0;
    layout.offsets[VertexLayout::TexCoord0] = 12;
    layout.vertexSize = 20;
    device->BeginFrame(true, true);
    device->DrawUserPrimitives(PrimTriangleList, quad, 6, &layout, nullptr, 0, &flat);
    device->EndFrame(true, true);
    const std::vector<std::uint32_t> frame = ReadFrame(device);
    ASSERT_EQ(frame.size(), 160u * 120u);
    EXPECT_TRUE(Near(frame[60 * 160 + 80], 0x0080FFu, 6)) << std::hex << frame[60 * 160 + 80];
    bump->ReleaseEffects(0);
    bump->Destroy();
}

} // namespace
