#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "engine/camera/Camera.h"
#include "engine/material/VertexLayout.h"
#include "tests/engine/mesh/RecordingFixture.h"
#include "tests/engine/particle/ParticleFixture.h"
#include "tools/demodata/writers/ParticleWriter.h"
#include "tools/demodata/writers/TgaWriter.h"
#include "tests/support/FramePixels.h"

namespace {

class ParticleDrawTest : public RecordingTest {
protected:
    void SetUp() override
    {
        RecordingTest::SetUp();
        camera = std::make_unique<Camera>(recorder.get());
        camera->position = Vector3(0, 0, -10);
        camera->UpdateTransform(0.0f);
    }
    void TearDown() override
    {
        camera.reset();
        RecordingTest::TearDown();
    }

    // A system whose particles stay where they were emitted, in one colour.
    std::unique_ptr<qParticle> StillSystem(float size, float red, float green, float blue)
    {
        auto system = PlainSystem(random);
        system->speedBase = 0.0f;
        system->sizeBase = system->sizeEnd = size;
        system->alphaBase = system->alphaEnd = 1.0f;
        const float colour[3] = {red, green, blue};
        std::copy(colour, colour + 3, system->startColor);
        std::copy(colour, colour + 3, system->endColor);
        return system;
    }

    // The presented frame as 0x00RRGGBB, rows from the top.
    std::vector<std::uint32_t> ReadFrame() { return ::ReadFrame(device); }

    static Vector3 Position(const RecordingDevice::UserDraw& draw, int vertex)
    {
        return Vector3(draw.Float(vertex, 0), draw.Float(vertex, 4), draw.Float(vertex, 8));
    }

    ScriptedRandom random;
    std::unique_ptr<Camera> camera;
};

} // namespace

TEST_F(ParticleDrawTest, AnEffectDrawsAsLitPixelsAroundItsPlaceOnly)
{
    // Two orange particles side by side in front of the camera, added onto black; the second
    // emitted at the end of the emitter's move.
    std::vector<int> draws = ScriptedRandom::Particle({});
    const std::vector<int> second = ScriptedRandom::Particle({{ScriptedRandom::Path, 31999.0f / 32000.0f}});
    draws.insert(draws.end(), second.begin(), second.end());
    random = ScriptedRandom(draws);
    auto system = StillSystem(0.5f, 1.0f, 0.5f, 0.0f);
    system->emissionRate = 10.0f;
    system->UpdateTransform(0.1f);
    system->position = Vector3(2, 0, 0);
    system->maxParticles = 2;
    system->UpdateTransform(0.1f);
    ASSERT_EQ(system->GetLiveCount(), 2);

    device->SetClearColor(0xFF000000u);
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    EXPECT_TRUE(system->Draw(recorder.get()));
    ASSERT_EQ(device->EndFrame(true, true), 0);
    const std::vector<std::uint32_t> frame = ReadFrame();
    ASSERT_EQ(frame.size(), std::size_t(kWidth * kHeight));

    // Where each particle projects: 10 units in front, 70-degree horizontal field of view.
    const float focal = (kWidth / 2.0f) / std::tan(35.0f * 3.14159265f / 180.0f);
    const int centreX = kWidth / 2, secondX = kWidth / 2 + int(2.0f * focal / 10.0f);
    auto at = [&](int x, int y) { return frame[std::size_t(y * kWidth + x)]; };
    EXPECT_TRUE(Near(at(centreX, kHeight / 2), 0xFF8000u, 6)) << std::hex << at(centreX, kHeight / 2);
    EXPECT_TRUE(Near(at(secondX, kHeight / 2), 0xFF8000u, 6)) << std::hex << at(secondX, kHeight / 2);
    // Each quad spans twice the size: 1 unit, about 23 pixels across at this distance.
    const int half = int(0.5f * focal / 10.0f);
    EXPECT_TRUE(Near(at(centreX - half + 3, kHeight / 2), 0xFF8000u, 6));
    EXPECT_EQ(at(centreX - half - 3, kHeight / 2), 0u);
    EXPECT_EQ(at(centreX, kHeight / 2 - half - 3), 0u);
    EXPECT_EQ(at(0, 0), 0u);
    EXPECT_EQ(at(kWidth - 1, kHeight - 1), 0u);
}

TEST_F(ParticleDrawTest, TheDemoFireDrawsFlamesAboveItsEmitter)
{
    qParticle fire;
    fire.Load(recorder.get(), (std::string(BEXAL_DATA_DIR) + "/GameData/fx/fire.par").c_str());
    fire.SetRandomSource(random.Source());
    fire.position = Vector3(0, -1, 0);
    for (int step = 0; step < 20; ++step)
        fire.UpdateTransform(0.05f);
    device->SetClearColor(0xFF000000u);
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    EXPECT_TRUE(fire.Draw(recorder.get()));
    ASSERT_EQ(device->EndFrame(true, true), 0);
    const std::vector<std::uint32_t> frame = ReadFrame();
    ASSERT_EQ(frame.size(), std::size_t(kWidth * kHeight));
    int lit = 0, litBelow = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const std::uint32_t p = frame[std::size_t(y * kWidth + x)];
            // Flames: red above green above blue.
            if (((p >> 16) & 0xFF) > 60 && ((p >> 16) & 0xFF) >= ((p >> 8) & 0xFF) && ((p >> 8) & 0xFF) >= (p & 0xFF)) {
                ++lit;
                if (y > kHeight * 3 / 4)
                    ++litBelow;
            }
        }
    EXPECT_GT(lit, 100);
    EXPECT_EQ(litBelow, 0);
    // Each flame frame is its own material: an animated texture draws one particle at a time.
    EXPECT_EQ(fire.GetTextureCount(), 4);
    EXPECT_EQ(int(recorder->userDraws.size()), fire.GetLiveCount());
}

TEST_F(ParticleDrawTest, QuadsFaceTheCameraWithAdditiveBlendAndStatesRestored)
{
    // The camera turned a quarter round about y: its right axis is world -z.
    camera->rotation.m[0] = 0, camera->rotation.m[2] = -1;
    camera->rotation.m[6] = 1, camera->rotation.m[8] = 0;
    camera->position = Vector3(-10, 0, 0);
    camera->UpdateTransform(0.0f);
    auto system = StillSystem(0.5f, 1.0f, 1.0f, 1.0f);
    system->alphaBase = system->alphaEnd = 0.5f;
    system->UpdateTransform(0.1f);
    recorder->SetFogEnable(true);
    recorder->SetZWrite(true);
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    EXPECT_TRUE(system->Draw(recorder.get()));
    ASSERT_EQ(device->EndFrame(true, true), 0);

    ASSERT_EQ(recorder->userDraws.size(), 1u);
    const RecordingDevice::UserDraw& draw = recorder->userDraws[0];
    EXPECT_EQ(draw.primitiveType, PrimTriangleList);
    EXPECT_EQ(draw.layout.vertexSize, 44);
    EXPECT_EQ(draw.vertexCount, 4);
    EXPECT_EQ(draw.indices, (std::vector<std::uint16_t>{0, 1, 2, 0, 2, 3}));
    // Corners top-left, top-right, bottom-right, bottom-left, size along right and up.
    ExpectVector(Position(draw, 0), Vector3(0, 0.5f, 0.5f));
    ExpectVector(Position(draw, 1), Vector3(0, 0.5f, -0.5f));
    ExpectVector(Position(draw, 2), Vector3(0, -0.5f, -0.5f));
    ExpectVector(Position(draw, 3), Vector3(0, -0.5f, 0.5f));
    EXPECT_EQ(draw.Word(0, 24), 0x7FFFFFFFu);
    EXPECT_EQ(draw.Float(2, 28), 1.0f);
    EXPECT_EQ(draw.Float(2, 32), 1.0f);
    ASSERT_NE(draw.material, nullptr);
    EXPECT_EQ(draw.material->srcBlend, BlendSrcAlpha);
    EXPECT_EQ(draw.material->destBlend, BlendOne);
    EXPECT_FALSE(draw.zWrite);
    EXPECT_FALSE(draw.fog);
    EXPECT_FALSE(draw.sortQueue);
    EXPECT_EQ(draw.world, Matrix4());
    EXPECT_TRUE(recorder->GetZWrite());
    EXPECT_TRUE(recorder->GetFogEnable());
    EXPECT_TRUE(recorder->IsSortQueueEnabled());
    EXPECT_TRUE(recorder->GetZEnable());
}

TEST_F(ParticleDrawTest, AlphaBlendAmbientLightAndSortingAsSet)
{
    auto system = StillSystem(0.5f, 1.0f, 0.5f, 0.25f);
    system->alphaBlend = true;
    system->ambientLit = true;
    system->sorted = true;
    system->depthTest = false;
    system->UpdateTransform(0.1f);
    recorder->SetAmbient(0xFF808040u);
    recorder->SetFogEnable(true);
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    EXPECT_TRUE(system->Draw(recorder.get()));
    ASSERT_EQ(device->EndFrame(true, true), 0);
    ASSERT_EQ(recorder->userDraws.size(), 1u);
    const RecordingDevice::UserDraw& draw = recorder->userDraws[0];
    EXPECT_EQ(draw.material->srcBlend, BlendSrcAlpha);
    EXPECT_EQ(draw.material->destBlend, BlendInvSrcAlpha);
    // Alpha-blended particles keep the fog; the sort queue stays on.
    EXPECT_TRUE(draw.fog);
    EXPECT_TRUE(draw.sortQueue);
    const std::uint32_t colour = draw.Word(0, 24);
    EXPECT_EQ(colour >> 24, 0xFFu);
    EXPECT_NEAR(int((colour >> 16) & 0xFF), 128, 1);
    EXPECT_NEAR(int((colour >> 8) & 0xFF), 64, 1);
    EXPECT_NEAR(int(colour & 0xFF), 16, 1);
}

TEST_F(ParticleDrawTest, ScreenSpaceQuadsSpanFourTimesTheSizeInPixels)
{
    auto system = StillSystem(3.0f, 1.0f, 1.0f, 1.0f);
    system->screenSpace = true;
    system->position = Vector3(1, 1, 0);
    system->UpdateTransform(0.1f);
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    EXPECT_TRUE(system->Draw(recorder.get()));
    ASSERT_EQ(device->EndFrame(true, true), 0);
    ASSERT_EQ(recorder->userDraws.size(), 1u);
    const RecordingDevice::UserDraw& draw = recorder->userDraws[0];
    EXPECT_EQ(draw.layout.vertexSize, 28);
    Vector4 centre;
    const Vector3 place(1, 1, 0);
    device->TransformPoint(&centre, &place);
    EXPECT_NEAR(draw.Float(0, 0), centre.x - 6.0f, 1e-3f);
    EXPECT_NEAR(draw.Float(0, 4), centre.y - 6.0f, 1e-3f);
    EXPECT_NEAR(draw.Float(2, 0), centre.x + 6.0f, 1e-3f);
    EXPECT_NEAR(draw.Float(2, 4), centre.y + 6.0f, 1e-3f);
    EXPECT_NEAR(draw.Float(2, 8), centre.z, 1e-6f);
    EXPECT_NEAR(draw.Float(2, 12), 1.0f / centre.w, 1e-6f);
}

TEST_F(ParticleDrawTest, StreaksDrawAsLinesBackAlongTheFlight)
{
    auto system = PlainSystem(random);
    system->streakBase = system->streakEnd = 0.5f;
    system->streakDelay = -10.0f;
    system->UpdateTransform(0.1f); // one particle 1 unit up, flying up
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    EXPECT_TRUE(system->Draw(recorder.get()));
    ASSERT_EQ(device->EndFrame(true, true), 0);
    ASSERT_EQ(recorder->userDraws.size(), 1u);
    const RecordingDevice::UserDraw& draw = recorder->userDraws[0];
    EXPECT_EQ(draw.primitiveType, PrimLineList);
    ASSERT_EQ(draw.vertexCount, 2);
    ExpectVector(Position(draw, 0), Vector3(0, 1, 0));
    ExpectVector(Position(draw, 1), Vector3(0, 0.5f, 0));
    EXPECT_EQ(draw.material, &system->GetQuadMaterial());
    // A streak never reaches back past the emitter.
    system->streakBase = system->streakEnd = 5.0f;
    system->Reset();
    system->UpdateTransform(0.1f);
    recorder->userDraws.clear();
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    system->Draw(recorder.get());
    ASSERT_EQ(device->EndFrame(true, true), 0);
    ASSERT_EQ(recorder->userDraws.size(), 1u);
    ExpectVector(Position(recorder->userDraws[0], 1), Vector3(0, 0, 0));
}

TEST_F(ParticleDrawTest, AnAnimatedTextureShowsTheFrameOfTheParticlesAge)
{
    for (int i = 0; i < 8; ++i) {
        char name[32];
        std::snprintf(name, sizeof(name), "smoke%02d.tga", i);
        WriteFile(name, WriteTga(TgaImage(8, 8, 0xFFFFFFFFu), 32));
    }
    auto system = StillSystem(0.5f, 1.0f, 1.0f, 1.0f);
    system->LoadTexture(recorder.get(), "smoke00.tga");
    ASSERT_EQ(system->GetTextureCount(), 8);
    system->lifetimeBase = 2.0f;
    system->emissionRate = 2.0f;
    system->maxParticles = 1;
    system->UpdateTransform(0.5f);
    system->UpdateTransform(0.5f); // halfway through its life
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    EXPECT_TRUE(system->Draw(recorder.get()));
    ASSERT_EQ(device->EndFrame(true, true), 0);
    ASSERT_EQ(recorder->userDraws.size(), 1u);
    EXPECT_EQ(recorder->userDraws[0].material, system->GetTextureMaterial(4));
}

TEST_F(ParticleDrawTest, NothingIsDrawnOutsideTheViewOrWithoutLiveParticles)
{
    auto system = StillSystem(0.5f, 1.0f, 1.0f, 1.0f);
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    EXPECT_FALSE(system->Draw(recorder.get())); // nothing alive yet
    system->position = Vector3(0, 0, -20);      // behind the camera; the bounds hold the origin...
    system->UpdateTransform(0.1f);
    EXPECT_TRUE(system->Draw(recorder.get()));  // ...so the box still crosses the view
    camera->position = Vector3(0, 0, 10); // looking on along +z, away from every place used
    camera->UpdateTransform(0.0f);
    recorder->userDraws.clear();
    EXPECT_FALSE(system->Draw(recorder.get()));
    ASSERT_EQ(device->EndFrame(true, true), 0);
    EXPECT_TRUE(recorder->userDraws.empty());
}
