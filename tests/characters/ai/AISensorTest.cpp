#include "characters/ai/AISensor.h"

#include <cmath>

#include "tests/characters/ai/AITestFolder.h"
#include "tools/demodata/writers/AIDataWriter.h"

namespace {

class AISensorTest : public AITestFolder {
protected:
    // Hearing full to 10, heard to 100 at weight 0.5; a cone of 60 degrees each side; seen to 200
    // at weight 40; the third channel to 20 at weight 2. Looking along +z from the origin.
    AISensor Sensor()
    {
        AISensor sensor;
        sensor.soundFullDistance = 10, sensor.hearingRange = 100, sensor.soundWeight = 0.5f;
        sensor.viewConeCos = 0.5f, sensor.sightRange = 200, sensor.sightWeight = 40;
        sensor.thirdRange = 20, sensor.thirdWeight = 2;
        return sensor;
    }

    static StimulusSource Source(const Vector3& at, float visibility, float noise = 0, float size = 0)
    {
        StimulusSource source;
        source.position = at;
        source.visibility = visibility, source.noise = noise, source.size = size;
        return source;
    }

    void TearDown() override
    {
        senseChannels = 7;
        AITestFolder::TearDown();
    }
};

TEST_F(AISensorTest, StartsWithEveryChannelOff)
{
    AISensor sensor;
    EXPECT_EQ(sensor.eyePosition, Vector3());
    EXPECT_EQ(sensor.orientation, Matrix3());
    SenseResult result;
    EXPECT_EQ(sensor.Sense(Source({0, 0, 5}, 1, 1, 1), nullptr, result, 0, 0), 0.0f);
}

TEST_F(AISensorTest, LoadsTheEightValuesAfterTheCommentLine)
{
    WriteFile("GameData/AI/infantry.sns", WriteSensorText("12345", {10, 100, 0.5f, 0.5f, 200, 40, 20, 2}));
    AISensor sensor;
    sensor.Load("gamedata\\ai\\INFANTRY.sns");
    EXPECT_EQ(sensor.soundFullDistance, 10.0f); // the first line was skipped, number or not
    EXPECT_EQ(sensor.hearingRange, 100.0f);
    EXPECT_EQ(sensor.soundWeight, 0.5f);
    EXPECT_EQ(sensor.viewConeCos, 0.5f);
    EXPECT_EQ(sensor.sightRange, 200.0f);
    EXPECT_EQ(sensor.sightWeight, 40.0f);
    EXPECT_EQ(sensor.thirdRange, 20.0f);
    EXPECT_EQ(sensor.thirdWeight, 2.0f);

    // A missing file changes nothing; a short file reads 0 for what it lacks.
    sensor.Load("GameData/AI/none.sns");
    EXPECT_EQ(sensor.thirdWeight, 2.0f);
    WriteFile("short.sns", "comment\r\n3 metres\r\n\r\nabc\r\n0.25");
    sensor.Load("short.sns");
    EXPECT_EQ(sensor.soundFullDistance, 3.0f);
    EXPECT_EQ(sensor.hearingRange, 0.0f);
    EXPECT_EQ(sensor.soundWeight, 0.0f);
    EXPECT_EQ(sensor.viewConeCos, 0.25f);
    EXPECT_EQ(sensor.sightRange, 0.0f);
    EXPECT_EQ(sensor.thirdWeight, 0.0f);
}

TEST_F(AISensorTest, HostileValuesReadZeroWithALogLine)
{
    WriteFile("bad.sns", "c\n1\nnan\ninf\n-inf\n" + std::string(5000, '7') + "\n6\n1e39\n8\n");
    AISensor sensor;
    const std::string log = LogOf([&] { sensor.Load("bad.sns"); });
    EXPECT_EQ(sensor.soundFullDistance, 1.0f);
    EXPECT_EQ(sensor.hearingRange, 0.0f);
    EXPECT_EQ(sensor.soundWeight, 0.0f);
    EXPECT_EQ(sensor.viewConeCos, 0.0f);
    EXPECT_EQ(sensor.sightRange, 0.0f); // 255 sevens overflow a float
    EXPECT_EQ(sensor.sightWeight, 6.0f); // the long line is one line
    EXPECT_EQ(sensor.thirdRange, 0.0f);
    EXPECT_EQ(sensor.thirdWeight, 8.0f);
    for (int line : {3, 4, 5, 6, 8})
        EXPECT_NE(log.find("bad.sns line " + std::to_string(line) + " is not a finite number"), std::string::npos)
            << line << ": " << log;
}

TEST_F(AISensorTest, ValuesBeyondAMillionAreClampedSoStimuliStayFinite)
{
    WriteFile("far.sns", "c\n1\n10\n3e38\n-2e6\n10\n3e38\n10\n-3e38\n");
    AISensor sensor;
    const std::string log = LogOf([&] { sensor.Load("far.sns"); });
    EXPECT_EQ(sensor.soundWeight, AISensor::kMaxValue);
    EXPECT_EQ(sensor.viewConeCos, -AISensor::kMaxValue);
    EXPECT_EQ(sensor.sightWeight, AISensor::kMaxValue);
    EXPECT_EQ(sensor.thirdWeight, -AISensor::kMaxValue);
    for (int line : {4, 5, 7, 9})
        EXPECT_NE(log.find("far.sns line " + std::to_string(line) + " is beyond 1000000, clamped"), std::string::npos)
            << line << ": " << log;
    StimulusSource source;
    source.position = Vector3(0.0f, 0.0f, 5.0f);
    source.visibility = source.noise = 3.0f;
    SenseResult result;
    EXPECT_TRUE(std::isfinite(sensor.Sense(source, nullptr, result, 1.0f, 0.0f)));
    EXPECT_GT(result.sight, 0.0f);
}

TEST_F(AISensorTest, SightFallsOffWithTheZoomedDistanceInsideTheCone)
{
    AISensor sensor = Sensor();
    SenseResult result;
    // 100 ahead: half the range left, weight 40, visibility 0.5.
    EXPECT_FLOAT_EQ(sensor.Sense(Source({0, 0, 100}, 0.5f), nullptr, result, 0, 0), 10.0f);
    EXPECT_FLOAT_EQ(result.sight, 10.0f);
    EXPECT_FLOAT_EQ(result.distancePercent, 50.0f);
    // A zoom of 3 sees it as if at 33.3, still no farther than the true range allows.
    sensor.Sense(Source({0, 0, 100}, 0.5f), nullptr, result, 3, 0);
    EXPECT_FLOAT_EQ(result.sight, 0.5f * 40 * (200 - 100 / 3.0f) / 200);
    EXPECT_FLOAT_EQ(result.distancePercent, 100 / 3.0f / 2);
    sensor.Sense(Source({0, 0, 200}, 1), nullptr, result, 3, 0);
    EXPECT_EQ(result.sight, 0.0f); // exactly at the range: not seen
    sensor.Sense(Source({0, 0, 199.9f}, 1), nullptr, result, 0, 0);
    EXPECT_GT(result.sight, 0.0f);
    // Outside the cone (61 degrees off), and behind.
    sensor.Sense(Source({std::sin(1.065f) * 50, 0, std::cos(1.065f) * 50}, 1), nullptr, result, 0, 0);
    EXPECT_EQ(result.sight, 0.0f);
    sensor.Sense(Source({0, 0, -50}, 1), nullptr, result, 0, 0);
    EXPECT_EQ(result.sight, 0.0f);
    // The multiplier scales it; a given distance replaces the measured one.
    ChannelMultipliers through;
    through.sightFactor = 0.25f;
    sensor.Sense(Source({0, 0, 100}, 1), &through, result, 0, 150);
    EXPECT_FLOAT_EQ(result.sight, 0.25f * 40 * 50 / 200);
    EXPECT_FLOAT_EQ(result.distancePercent, 75.0f);
    // Turned to look along +x, the source ahead on z is out of view.
    Matrix3 turned;
    turned.m[0] = 0, turned.m[2] = -1, turned.m[6] = 1, turned.m[8] = 0;
    sensor.SetView({0, 0, 0}, turned);
    sensor.Sense(Source({0, 0, 100}, 1), nullptr, result, 0, 0);
    EXPECT_EQ(result.sight, 0.0f);
    sensor.Sense(Source({100, 0, 0}, 1), nullptr, result, 0, 0);
    EXPECT_FLOAT_EQ(result.sight, 20.0f);
}

TEST_F(AISensorTest, ASourceAtTheEyeGivesTheFullSightWhenTheConeTakesIt)
{
    AISensor sensor = Sensor();
    sensor.viewConeCos = -0.5f;
    SenseResult result;
    sensor.Sense(Source({0, 0, 0}, 0.5f), nullptr, result, 0, 0);
    EXPECT_EQ(result.distancePercent, 0.0f);
    EXPECT_FLOAT_EQ(result.sight, 40 * 0.5f);
}

TEST_F(AISensorTest, HearingIsFullNearbyAndWeightedBeyond)
{
    AISensor sensor = Sensor();
    SenseResult result;
    sensor.Sense(Source({0, 0, -5}, 0, 8), nullptr, result, 0, 0);
    EXPECT_FLOAT_EQ(result.sound, 8.0f); // within the full distance no weight applies
    sensor.Sense(Source({0, 0, -40}, 0, 8), nullptr, result, 0, 0);
    EXPECT_FLOAT_EQ(result.sound, 0.5f * 8 * 10 / 40);
    sensor.Sense(Source({0, 0, -100}, 0, 8), nullptr, result, 0, 0);
    EXPECT_EQ(result.sound, 0.0f);
    // A weight of 0 is deaf, also close by.
    sensor.soundWeight = 0;
    sensor.Sense(Source({0, 0, -5}, 0, 8), nullptr, result, 0, 0);
    EXPECT_EQ(result.sound, 0.0f);
}

TEST_F(AISensorTest, TheThirdChannelGoesByNearnessAlone)
{
    AISensor sensor = Sensor();
    SenseResult result;
    sensor.Sense(Source({0, 0, -5}, 0, 0, 3), nullptr, result, 0, 0); // behind: no cone for it
    EXPECT_FLOAT_EQ(result.third, 3 * 2 * 15.0f / 20);
    sensor.Sense(Source({0, 0, -20}, 0, 0, 3), nullptr, result, 0, 0);
    EXPECT_EQ(result.third, 0.0f);
}

TEST_F(AISensorTest, ChannelsSwitchOffForEveryone)
{
    AISensor sensor = Sensor();
    SenseResult result;
    const StimulusSource everything = Source({0, 0, 5}, 1, 1, 1);
    for (int channels = 0; channels < 8; ++channels) {
        senseChannels = channels;
        sensor.Sense(everything, nullptr, result, 0, 0);
        EXPECT_EQ(result.sight > 0, (channels & 1) != 0) << channels;
        EXPECT_EQ(result.sound > 0, (channels & 2) != 0) << channels;
        EXPECT_EQ(result.third > 0, (channels & 4) != 0) << channels;
    }
}

TEST_F(AISensorTest, StimuliAddUpUntilTaken)
{
    AISensor sensor = Sensor();
    SenseResult result;
    const float first = sensor.Sense(Source({0, 0, 50}, 1, 8, 0), nullptr, result, 0, 0);
    const float second = sensor.Sense(Source({0, 0, 5}, 0, 0, 3), nullptr, result, 0, 0);
    EXPECT_FLOAT_EQ(sensor.sightAccumulator, 30.0f);
    EXPECT_FLOAT_EQ(sensor.soundAccumulator, 0.5f * 8 * 10 / 50);
    EXPECT_FLOAT_EQ(sensor.thirdAccumulator, 4.5f);
    EXPECT_FLOAT_EQ(sensor.TakeStimulus(), first + second);
    EXPECT_EQ(sensor.TakeStimulus(), 0.0f);
}

// Ranges that would divide by zero give the limit of the division instead.
TEST_F(AISensorTest, ZeroRangesGiveTheLimitingResult)
{
    AISensor sensor = Sensor();
    sensor.sightRange = 0;
    sensor.soundFullDistance = 0;
    SenseResult result;
    const float total = sensor.Sense(Source({0, 0, 50}, 1, 4), nullptr, result, 0, 0);
    EXPECT_EQ(result.sight, 0.0f);
    EXPECT_EQ(result.distancePercent, 3.4e38f); // beyond any range
    EXPECT_EQ(result.sound, 0.0f);             // no full-strength zone: nothing reaches the ear
    EXPECT_EQ(total, 0.0f);
    sensor.Sense(Source({0, 0, 0}, 1, 4), nullptr, result, 0, 0);
    EXPECT_EQ(result.distancePercent, 0.0f);
    EXPECT_EQ(result.sound, 0.0f);
    EXPECT_TRUE(std::isfinite(result.sight + result.sound + result.third));
    // A zoom below 1 never makes a sight negative.
    sensor = Sensor();
    sensor.Sense(Source({0, 0, 150}, 1), nullptr, result, 0.5f, 0);
    EXPECT_EQ(result.sight, 0.0f);
}

TEST_F(AISensorTest, FogFadesFromItsStartToTheFarDistance)
{
    const struct {
        float distance, far, fogStart, expected;
    } cases[] = {
        {300, 500, 0.6f, 1.0f},  {100, 500, 0.6f, 1.0f}, {400, 500, 0.6f, 0.5f}, {500, 500, 0.6f, 0.0f},
        {900, 500, 0.6f, 0.0f},  {499, 500, 1.0f, 1.0f}, {500, 500, 1.0f, 0.0f}, {10, 500, 1.5f, 1.0f},
        {0, 0, 0.6f, 0.0f},      {5, 0, 0.6f, 0.0f},     {0, 500, 0.0f, 1.0f},
    };
    for (const auto& c : cases)
        EXPECT_FLOAT_EQ(FogSightFactor(c.distance, c.far, c.fogStart), c.expected)
            << c.distance << " " << c.far << " " << c.fogStart;
}

} // namespace
