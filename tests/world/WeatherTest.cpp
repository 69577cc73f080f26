#include <cmath>
#include <limits>

#include "engine/sprite/SpriteNode.h"
#include "tests/support/FramePixels.h"
#include "tests/world/WorldFixture.h"
#include "engine/core/MersenneTwister.h"
#include "world/environment/Weather.h"

namespace {

std::vector<std::uint8_t> CoverGrid(std::uint32_t width, std::uint32_t height, const std::vector<std::uint16_t>& values)
{
    std::vector<std::uint8_t> bytes;
    Put32(bytes, width);
    Put32(bytes, height);
    for (const std::uint16_t v : values)
        Put16(bytes, v);
    return bytes;
}

class WeatherTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        WriteFile("bolt.tga", WriteTga(TgaImage(16, 32, 0xFFFFFFFFu), 32));
        WriteFile("splash.tga", WriteTga(TgaImage(8, 8, 0xFFFFFFFFu), 32));
        weather.device = device;
        weather.camera = camera.get();
        Seed(5489u);
    }
    void TearDown() override
    {
        weather.Release();
        WorldTest::TearDown();
    }

    void Seed(std::uint32_t seed)
    {
        auto generator = std::make_shared<MersenneTwister>(seed);
        weather.SetRandomSource([generator] { return generator->Next(); });
    }

    // A 40 x 40 grid (160 units a side) of height 10, with a covered roof of height 50 at its
    // middle entry.
    void WriteGrid(const char* name)
    {
        std::vector<std::uint16_t> values(40 * 40, 10);
        values[20 * 40 + 20] = std::uint16_t(Weather::kCovered | 50);
        WriteFile(std::string(name) + ".sgd", CoverGrid(40, 40, values));
    }

    int LogLines(const char* text)
    {
        int lines = 0;
        for (const std::string& line : ReadLines("q3D.log"))
            lines += line.find(text) != std::string::npos;
        return lines;
    }

    void Step(float dt, int times, const Vector3& at = Vector3())
    {
        for (int i = 0; i < times; ++i)
            weather.Update(WeatherStep{dt, at.x, at.y, at.z});
    }

    Weather weather;
};

TEST_F(WeatherTest, CoverGridLookupsStayInsideTheGrid)
{
    WriteFile("grid.sgd", CoverGrid(3, 2, {1, 2, 3, std::uint16_t(Weather::kCovered | 7), 5, 6}));
    weather.Init(0, 0, 0);
    weather.Load("grid", 4.0f, 4.0f);
    ASSERT_TRUE(weather.HasGrid());
    const struct {
        float x, z;
        int height;
        bool covered;
    } cases[] = {
        {-4, -4, 1, false},      // entry (0, 0)
        {-4, 0, 2, false},       // entry (0, 1): k runs along z
        {0, -4, 3, false},       // entry (1, 0)
        {0, 0, 7, true},         // entry (1, 1), covered
        {4, 0, 6, false},        // entry (2, 1)
        {-5, 0, 0, false},       // left of the grid
        {0, -4.5f, 0, false},    // above it
        {6.5f, 0, 0, false},     // the last half entry would round past the grid
        {0, 2.5f, 0, false},     // likewise along z
        {1e30f, 0, 0, false},
        {std::numeric_limits<float>::quiet_NaN(), 0, 0, false},
    };
    for (const auto& c : cases) {
        bool covered = !c.covered;
        EXPECT_EQ(weather.GridHeight(c.x, c.z, &covered), c.height) << c.x << ", " << c.z;
        EXPECT_EQ(covered, c.covered) << c.x << ", " << c.z;
    }
}

TEST_F(WeatherTest, DamagedCoverGridsAreRefusedWithALogLine)
{
    const std::vector<std::vector<std::uint8_t>> files = {
        {1, 0, 0},                                  // shorter than its header
        CoverGrid(0, 5, {}),                        // no entries
        CoverGrid(4, 4, {1, 2, 3}),                 // fewer entries than it says
        CoverGrid(0xFFFFFFFFu, 0xFFFFFFFFu, {1, 2}), // sizes whose product overflows 32 bits
    };
    for (const auto& bytes : files) {
        WriteFile("bad.sgd", bytes);
        weather.Init(0, 0, 0);
        weather.Load("bad", 0.0f, 0.0f);
        EXPECT_FALSE(weather.HasGrid());
        bool covered = true;
        EXPECT_EQ(weather.GridHeight(0, 0, &covered), 0);
        EXPECT_FALSE(covered);
        Step(0.1f, 3);
    }
    EXPECT_EQ(LogLines("cover grid bad.sgd is damaged"), 4);
}

TEST_F(WeatherTest, KeywordFileSettingsAndHostileLines)
{
    WriteGrid("storm");
    WriteText("storm.wfx",
              "PRECIPITATION_TYPE RAIN\r\n"
              "precipitation_radius 5\r\n" // keywords are case-sensitive
              "PRECIPITATION_RADIUS 60\r\n"
              "PRECIPITATION_NUM_PARTICLES -300 100\r\n"
              "PRECIPITATION_INTERVAL_DURATION 2 0.5\r\n"
              "PRECIPITATION_VELOCITY_RANGE_MIN -2 -50 0\r\n"
              "PRECIPITATION_VELOCITY_RANGE_MAX 2 -40 nan\r\n"
              "PRECIPITATION_BRIGHTNESS 0.3\r\n"
              "LIGHTNING_SPRITE bolt.tga null\r\n"
              "LIGHTNING_DURATION 0.5\r\n"
              "PRECIPITATION_COLLISION_SPRITE missing.tga null\r\n"
              "SOMETHING_ELSE 1 2 3\r\n"
              "\r\n"
              "PRECIPITATION_TYPE SNOW\r\n");
    weather.Init(0, 0, 0);
    weather.Load("storm", 80.0f, 80.0f);
    EXPECT_EQ(weather.type, Weather::Rain);
    EXPECT_FLOAT_EQ(weather.radius, 60.0f);
    EXPECT_EQ(weather.minimumCount, 100);
    EXPECT_EQ(weather.maximumCount, 300);
    EXPECT_EQ(weather.particles.size(), 300u);
    EXPECT_FLOAT_EQ(weather.intervalDuration, 120.0f);
    EXPECT_FLOAT_EQ(weather.intervalSpread, 30.0f);
    // The damaged lines keep the defaults.
    EXPECT_FLOAT_EQ(weather.velocityMaximum.y, -48.0f);
    EXPECT_FLOAT_EQ(weather.meanVelocity.y, -49.0f);
    EXPECT_FLOAT_EQ(weather.brightnessBase, 0.4f);
    ASSERT_NE(weather.bolts[0], nullptr);
    EXPECT_EQ(weather.bolts[1], nullptr);
    EXPECT_NE(weather.overlay, nullptr);
    EXPECT_EQ(weather.collisionSprites[0], nullptr);
    EXPECT_EQ(LogLines("bad values in \"PRECIPITATION_VELOCITY_RANGE_MAX"), 1);
    EXPECT_EQ(LogLines("bad values in \"PRECIPITATION_BRIGHTNESS"), 1);
    EXPECT_GE(weather.targetCount, 100);
    EXPECT_LT(weather.targetCount, 300);
    EXPECT_EQ(weather.currentCount, weather.targetCount);

    // A pool far beyond reason is cut, and equal counts make room for one.
    WriteText("huge.wfx", "PRECIPITATION_TYPE SNOW\nPRECIPITATION_NUM_PARTICLES 2000000000 -2147483648\n");
    weather.Init(0, 0, 0);
    weather.Load("huge", 0, 0);
    EXPECT_EQ(weather.maximumCount, Weather::kMaxParticles);
    EXPECT_EQ(LogLines("particles asked"), 1);
    WriteText("even.wfx", "PRECIPITATION_NUM_PARTICLES 7 7\n");
    weather.Init(0, 0, 0);
    weather.Load("even", 0, 0);
    EXPECT_EQ(weather.minimumCount, 7);
    EXPECT_EQ(weather.maximumCount, 8);
}

TEST_F(WeatherTest, RainWithoutParticlesNeverDividesByZero)
{
    WriteGrid("dry");
    WriteText("dry.wfx", "PRECIPITATION_TYPE RAIN\nPRECIPITATION_TRANSITION_RATE 5\n");
    weather.Init(0, 0, 0);
    weather.Load("dry", 80, 80);
    EXPECT_EQ(weather.maximumCount, 0);
    EXPECT_TRUE(weather.particles.empty());
    weather.intervalTimer = -1.0f;
    Step(0.5f, 10);
    EXPECT_EQ(weather.currentCount, 0);
    EXPECT_NO_THROW(weather.Render());
}

TEST_F(WeatherTest, SeededRainFallsStopsOnCoverSplashesAndRepeats)
{
    WriteGrid("rain");
    WriteText("rain.wfx", "PRECIPITATION_TYPE RAIN\nPRECIPITATION_NUM_PARTICLES 200 201\nPRECIPITATION_RADIUS 2\n"
                          "PRECIPITATION_TRANSITION_RATE 50\n");
    const auto run = [&] {
        Seed(1234u);
        weather.Init(0, 60, 0);
        weather.Load("rain", 80, 80); // the covered roof of height 50 lies under (0, 0)
        std::vector<Vector3> positions;
        int splashes = 0;
        for (int frame = 0; frame < 200; ++frame) {
            Step(0.02f, 1, Vector3(0, 60, 0));
            for (int i = 0; i < weather.currentCount; ++i) {
                const WeatherParticle& p = weather.particles[std::size_t(i)];
                // Within the roof's entry every drop stops on the roof.
                if (std::fabs(p.position.x) < 1.0f && std::fabs(p.position.z) < 1.0f) {
                    EXPECT_GE(p.position.y, 50.0f - 48.0f * 0.02f * 2.0f);
                }
                splashes += p.splashTimer > 0.4f;
            }
        }
        for (const WeatherParticle& p : weather.particles)
            positions.push_back(p.position);
        return std::pair{positions, splashes};
    };
    const auto [first, firstSplashes] = run();
    EXPECT_EQ(weather.currentCount, 200);
    EXPECT_GT(firstSplashes, 0);
    const WeatherParticle& drop = weather.particles[0];
    EXPECT_EQ(drop.line[1].colour >> 24, std::uint32_t(0.04f * 255.0f));
    EXPECT_EQ(drop.line[0].colour >> 24, std::uint32_t(0.7f * 255.0f));
    EXPECT_LT(drop.line[0].position[1], drop.line[1].position[1]); // the head falls ahead
    const auto [second, secondSplashes] = run();
    EXPECT_EQ(firstSplashes, secondSplashes);
    ASSERT_EQ(first.size(), second.size());
    for (std::size_t i = 0; i < first.size(); ++i)
        ASSERT_EQ(first[i].DistanceSquared(second[i]), 0.0f) << i;
}

TEST_F(WeatherTest, LightningStrikesFlashesAndFades)
{
    Load(Terrain());
    WriteGrid("storm");
    WriteText("storm.wfx", "LIGHTNING_INTERVAL 1 0.5\nLIGHTNING_SPRITE bolt.tga\nLIGHTNING_DURATION 0.5\n");
    weather.Init(0, 0, 0);
    weather.Load("storm", 80, 80);
    LookFrom(Vector3(0, 100, 0), Vector3(0, 100, 10));
    Step(0.25f, 3); // 0.75 s: not yet
    EXPECT_FLOAT_EQ(weather.bolts[0]->alpha, 0.0f);
    int flashes = 0, frames = 0;
    float brightest = 0.0f;
    for (; frames < 40; ++frames) {
        Step(0.1f, 1, Vector3(0, 100, 0));
        // Only bolt 0 exists: a strike on index 1 draws nothing and does not flash.
        if (weather.boltIndex == 0 && weather.bolts[0]->alpha > 0.0f) {
            ++flashes;
            brightest = std::max(brightest, weather.bolts[0]->alpha);
            EXPECT_GT(weather.boltPosition.z, 300.0f); // out along the view, near the far distance
            EXPECT_GE(weather.boltPosition.y, 220.0f);
        }
    }
    EXPECT_GT(flashes, 0);
    EXPECT_GT(brightest, 0.5f);

    // A flash brightens the whole screen through the overlay.
    weather.boltIndex = 0;
    weather.flashTimer = 0.5f;
    weather.bolts[0]->alpha = 1.0f;
    device->SetClearColor(0xFF000000u);
    device->BeginFrame(true, true);
    camera->UpdateTransform(0.0f);
    weather.RenderEffectNode();
    weather.Render();
    device->EndFrame(true, true);
    const std::vector<std::uint32_t> frame = ReadFrame(device);
    EXPECT_TRUE(Near(frame[115 * 160 + 5], 0x7F7F7F, 12)) << std::hex << frame[115 * 160 + 5];
    EXPECT_TRUE(Near(frame[115 * 160 + 155], 0x7F7F7F, 12)) << std::hex << frame[115 * 160 + 155];
}

TEST_F(WeatherTest, RainIsDrawnInFrontOfTheCamera)
{
    Load(Terrain());
    WriteGrid("rain");
    WriteText("rain.wfx", "PRECIPITATION_TYPE RAIN\nPRECIPITATION_NUM_PARTICLES 2000 2001\nPRECIPITATION_RADIUS 30\n"
                          "PRECIPITATION_BRIGHTNESS 1 1\n");
    weather.Init(0, 300, 0);
    weather.Load("rain", 80, 80);
    LookFrom(Vector3(0, 330, -30), Vector3(0, 330, 0));
    Step(0.02f, 5, Vector3(0, 300, 0));
    device->SetClearColor(0xFF000000u);
    device->BeginFrame(true, true);
    device->SetFogEnable(false);
    camera->UpdateTransform(0.0f);
    weather.Render();
    device->EndFrame(true, true);
    const std::vector<std::uint32_t> frame = ReadFrame(device);
    int lit = 0;
    for (const std::uint32_t pixel : frame)
        lit += !Near(pixel, 0x000000, 20);
    EXPECT_GT(lit, 100);
}

} // namespace
