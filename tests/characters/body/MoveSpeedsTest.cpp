// Hostile and ordinary "movespeeds.txt" files, read in a folder of the test's own.
#include <cmath>
#include <filesystem>
#include <string>

#include "engine/core/q3DError.h"
#include "tests/characters/body/CharacterFixture.h"

namespace {

class MoveSpeedsTest : public RendererTest {
protected:
    void SetUp() override
    {
        RendererTest::SetUp();
        std::filesystem::create_directories("GameData/Models");
    }
    static void Write(const std::string& text)
    {
        WriteFile("GameData/Models/movespeeds.txt", std::vector<std::uint8_t>(text.begin(), text.end()));
    }
};

} // namespace

TEST_F(MoveSpeedsTest, LinesFillTheirAnimationsStepLengthsAndSpeeds)
{
    // Line 1 stands for animation 27, line 10 for animation 1; CRLF and tabs are fine.
    std::string text = "0.9 0.8 14\r\n";
    for (int line = 2; line <= 9; ++line)
        text += "0 0 0\r\n";
    text += "0.5\t0.4\t10\r\n";
    Write(text);
    Character c;
    c.LoadMoveSpeeds();
    EXPECT_FLOAT_EQ(c.GetStepLength(0, 27), 0.9f);
    EXPECT_FLOAT_EQ(c.GetStepLength(1, 27), 0.8f);
    EXPECT_FLOAT_EQ(c.GetSpeedLine(0), 14.0f);
    EXPECT_FLOAT_EQ(c.GetStepLength(0, 1), 0.5f);
    EXPECT_FLOAT_EQ(c.GetSpeedLine(9), 10.0f);
    EXPECT_FLOAT_EQ(c.GetStepLength(0, 5), 0.0f) << "lines past the end of the file leave zeros";
}

TEST_F(MoveSpeedsTest, HostileFilesFailClearlyOrSkipTheirBadLines)
{
    Character c;
    try {
        c.LoadMoveSpeeds();
        FAIL() << "a missing file must fail";
    } catch (const q3DError& error) {
        EXPECT_STREQ(error.GetText(), "Can't open GameData/Models/movespeeds.txt");
    }
    // Words, too few numbers, not-a-number, binary bytes and 500 lines: bad lines are skipped,
    // lines past the 24th ignored, and nothing outside the tables is written.
    std::string text = "fast slow\nnan nan nan\n1 2\n" + std::string("\0\xff\x80 1 1\n", 8) + "0.25 0.5 3\n";
    for (int line = 0; line < 500; ++line)
        text += "9 9 9\n";
    text += std::string(100000, '7');
    Write(text);
    c.LoadMoveSpeeds();
    EXPECT_FLOAT_EQ(c.GetStepLength(0, 27), 0.0f);
    EXPECT_FLOAT_EQ(c.GetStepLength(0, 42), 0.0f) << "line 3 held only two numbers";
    EXPECT_FLOAT_EQ(c.GetStepLength(0, 28), 0.25f) << "line 5 stands for animation 28";
    EXPECT_FLOAT_EQ(c.GetSpeedLine(4), 3.0f);
    EXPECT_FLOAT_EQ(c.GetSpeedLine(23), 9.0f);
    EXPECT_FLOAT_EQ(c.GetSpeedLine(24), 0.0f);
    EXPECT_FLOAT_EQ(c.GetStepLength(0, -1), 0.0f);
    EXPECT_FLOAT_EQ(c.GetStepLength(2, 1), 0.0f);
}

TEST(CharacterAimTest, PitchStaysWithinItsLimitsAndRefusesNonNumbers)
{
    Character c;
    c.SetPitch(0.5f);
    EXPECT_FLOAT_EQ(c.GetPitch(), 0.5f);
    c.SetPitch(3.0f);
    EXPECT_FLOAT_EQ(c.GetPitch(), 1.5707964f);
    c.SetPitch(-3.0f);
    EXPECT_FLOAT_EQ(c.GetPitch(), -1.5707964f);
    c.SetPitch(std::nanf(""));
    EXPECT_FLOAT_EQ(c.GetPitch(), -1.5707964f);
    for (float yaw : {0.0f, 1.0f, -2.0f, 3.0f}) {
        c.SetYaw(yaw);
        EXPECT_NEAR(c.GetYaw(), yaw, 1e-5f);
    }
    // A damaged network view leaves the body's turn as it was.
    c.SetYaw(std::nanf(""));
    c.SetYaw(INFINITY);
    EXPECT_NEAR(c.GetYaw(), 3.0f, 1e-5f);
    EXPECT_TRUE(std::isfinite(c.rotation.m[0]));
}
