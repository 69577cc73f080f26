#include <cstring>
#include <filesystem>

#include "engine/sprite/SpriteNode.h"
#include "tests/support/FramePixels.h"
#include "tests/world/WorldFixture.h"
#include "world/environment/DecalManager.h"
#include "world/imposters/ImposterProp.h"
#include "world/shadows/ShadowProp.h"
#include "world/shadows/ShadowQuad.h"
#include "world/environment/Weather.h"
#include "engine/core/MersenneTwister.h"

namespace {

// The demo map with its effects, drawn the way the in-game screen draws a frame: weather bolt,
// world, shadow volumes, decals, weather.
class DemoEffectsTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        LoadDemoMap({"Maps", "GameData", "Sound"});
        auto generator = std::make_shared<MersenneTwister>(99u);
        weather.SetRandomSource([generator] { return generator->Next(); });
        weather.device = device;
        weather.camera = camera.get();
        const float half = float(world->width) * world->cellSize * 0.5f;
        weather.Init(0, 0, 0);
        weather.Load("Maps/Demo/rain", half, float(world->height) * world->cellSize * 0.5f);
    }
    void TearDown() override
    {
        weather.Release();
        DecalManager::Release();
        blob.reset();
        WorldTest::TearDown();
    }

    std::vector<std::uint32_t> DrawFrame(float dt = 0.05f)
    {
        device->BeginFrame(true, true);
        camera->UpdateTransform(0.0f);
        const Vector3 eye = camera->world.GetTranslation();
        weather.Update(WeatherStep{dt, eye.x, eye.y, eye.z});
        world->Update(dt);
        world->CollectVisible();
        world->RenderTerrain();
        weather.RenderEffectNode();
        world->RenderObjects();
        imposters = ImposterProp::DrawnThisFrame();
        volumes = int(world->shadowVolumes.size());
        if (blob)
            blob->Draw(device);
        world->RenderStencilShadows();
        DecalManager::Render(device);
        weather.Render();
        device->EndFrame(true, true);
        return ReadFrame(device);
    }

    MapObject* Find(const char* name)
    {
        for (MapObject* object = world->GetFirstObject(); object; object = object->next)
            if (std::strcmp(object->GetLibraryEntry()->entry->objectName, name) == 0)
                return object;
        return nullptr;
    }

    Weather weather;
    std::unique_ptr<qShadow> blob;
    int imposters = 0, volumes = 0;
};

TEST_F(DemoEffectsTest, TheFarGroveIsDrawnAsImposters)
{
    LookFrom(Vector3(-60, 90, -60), Vector3(265, 40, 265));
    for (int i = 0; i < 3; ++i)
        DrawFrame();
    EXPECT_GT(imposters, 10);
    EXPECT_EQ(ImposterProp::Pages().size(), 1u);
}

TEST_F(DemoEffectsTest, ShedShadowDecalsBlobAndRainInOneFrame)
{
    MapObject* shed = Find("Shed");
    ASSERT_NE(shed, nullptr);
    const Vector3 at = shed->GetPosition();
    // Bullet holes on the shed's wall, a scorch mark on the ground before it.
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(DecalManager::AddDecal(device, "GameData/fx/bullethole.tga",
                                           at + Vector3(-3.0f, 1.5f + float(i) * 0.6f, float(i) - 1.5f),
                                           Vector3(-1, 0, 0), shed));
    const float ground = world->GetTerrainHeightSmooth(at + Vector3(-9, 0, 0));
    ASSERT_TRUE(DecalManager::AddDecal(device, "GameData/fx/scorch.tga", Vector3(at.x - 9, ground, at.z),
                                       Vector3(0, 1, 0), nullptr));
    blob = std::make_unique<qShadow>();
    blob->Create(device, nullptr);
    blob->position = Vector3(at.x - 8, world->GetTerrainHeightSmooth(at + Vector3(-8, 0, 6)), at.z + 6);
    blob->scale = Vector3(4, 1, 4);
    blob->UpdateTransform(0.0f);
    LookFrom(Vector3(at.x - 30, at.y + 14, at.z - 8), at);
    std::vector<std::uint32_t> frame;
    for (int i = 0; i < 3; ++i)
        frame = DrawFrame(0.02f);
    EXPECT_EQ(volumes, 1);
    auto* prop = static_cast<DynShadowProp*>(shed->FindProp(DynShadowPropFactory));
    ASSERT_NE(prop, nullptr);
    EXPECT_FALSE(prop->open);
    EXPECT_GE(DecalManager::GetDrawnCount(), 4);
    EXPECT_EQ(weather.type, Weather::Rain);
    EXPECT_GT(weather.currentCount, 0);
    ExpectGoldenFrame(frame, "demo-effects.tga");
}

} // namespace
