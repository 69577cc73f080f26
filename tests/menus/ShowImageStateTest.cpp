#include "tests/menus/ScreenFixture.h"

#include "media/SoundStream.h"
#include "menus/ShowImageState.h"
#include "tests/platform/audio/WaveFixtures.h"
#include "tools/demodata/writers/TgaWriter.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

constexpr std::uint32_t Red = 0xC02010;
constexpr std::uint32_t Blue = 0x1030D0;

class ShowImageStateTest : public ScreenTest {
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        // A picture smaller than the screen, not a power of two: red with a blue corner.
        std::filesystem::create_directories("GameData/Menus");
        TgaImage picture(100, 60, 0xFF000000u | Red);
        picture.Fill(90, 50, 10, 10, 0xFF000000u | Blue);
        WriteBytes("GameData/Menus/Explain.tga", WriteTga(picture, 24));
        wavefixtures::WriteFile("voice.wav", wavefixtures::Pcm16(wavefixtures::Tone(440.0, Rate, Rate * 2), Rate, 1));
        image = ShowImageState::Instance();
    }

    void Show(const char* path, const char* voice = "", GameState* after = nullptr)
    {
        std::snprintf(image->imagePath, sizeof image->imagePath, "%s", path);
        std::snprintf(image->soundPath, sizeof image->soundPath, "%s", voice);
        image->nextState = after ? after : &next;
        application->SetState(image);
    }

    ShowImageState* image = nullptr;
};

TEST_F(ShowImageStateTest, ShowsItsPictureUntilAKeyOrButton)
{
    struct Case {
        const char* name;
        void (*press)(Application*);
    } cases[] = {
        {"Esc", [](Application* a) { a->KeyDown(27); }},
        {"Enter", [](Application* a) { a->KeyDown(13); }},
        {"a letter", [](Application* a) { a->KeyDown('Q'); }},
        {"left button", [](Application* a) { a->MouseUp(0, 50, 30); }},
        {"middle button", [](Application* a) { a->MouseUp(2, 300, 200); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        next.entered = 0;
        Show("gamedata/menus/EXPLAIN.tga");
        ASSERT_EQ(application->GetState(), image);
        for (int i = 0; i < 3; ++i) {
            Frame();
            // Copied at the top left, pixel for pixel.
            EXPECT_EQ(BackBufferPixel(0, 0), Red);
            EXPECT_EQ(BackBufferPixel(89, 49), Red);
            EXPECT_EQ(BackBufferPixel(99, 59), Blue);
            EXPECT_NE(BackBufferPixel(100, 30), Red);
            EXPECT_NE(BackBufferPixel(50, 60), Red);
        }
        EXPECT_EQ(application->GetState(), image);
        c.press(application);
        EXPECT_EQ(application->GetState(), &next);
        EXPECT_EQ(next.entered, 1);
        EXPECT_EQ(image->GetImage(), nullptr);
    }
}

TEST_F(ShowImageStateTest, LeavingClearsBothPathsSoTheNextUseMustSetThem)
{
    Show("GameData/Menus/Explain.tga", "voice.wav");
    application->KeyDown(13);
    EXPECT_STREQ(image->imagePath, "");
    EXPECT_STREQ(image->soundPath, "");
    // Entered again without a picture: straight on to the next screen.
    application->SetState(image);
    EXPECT_EQ(application->GetState(), &next);
    EXPECT_EQ(next.entered, 2);
}

TEST_F(ShowImageStateTest, TheVoiceOverPlaysWhileThePictureShows)
{
    Show("GameData/Menus/Explain.tga", "voice.wav");
    ASSERT_NE(image->GetSound(), nullptr);
    Frame();
    EXPECT_GT(wavefixtures::ChannelRms(Mix(100), 0), 3000.0);
    application->MouseUp(0, 1, 1);
    EXPECT_EQ(application->GetState(), &next);
    EXPECT_EQ(image->GetSound(), nullptr);
    Mix(50);
    EXPECT_LT(wavefixtures::ChannelRms(Mix(100), 0), 1.0);

    // Without a voice-over nothing sounds.
    Show("GameData/Menus/Explain.tga");
    EXPECT_EQ(image->GetSound(), nullptr);
    EXPECT_LT(wavefixtures::ChannelRms(Mix(100), 0), 1.0);
}

TEST_F(ShowImageStateTest, WithoutANextScreenTheFirstKeyEndsTheProgram)
{
    Show("GameData/Menus/Explain.tga");
    image->nextState = nullptr;
    Frame();
    EXPECT_FALSE(application->GetQuitFlag());
    application->KeyDown(27);
    EXPECT_TRUE(application->GetQuitFlag());
    EXPECT_STREQ(application->GetExitMessage(), "No next state set when showing image in ShowImageState");
    EXPECT_EQ(application->GetState(), nullptr);
    EXPECT_EQ(image->GetImage(), nullptr);
}

TEST_F(ShowImageStateTest, AMissingPictureEndsTheProgramWithItsPath)
{
    Show("GameData/Menus/Missing.tga");
    EXPECT_TRUE(application->GetQuitFlag());
    const std::string message = application->GetExitMessage();
    EXPECT_EQ(message.rfind("Can't load GameData/Menus/Missing.tga: ", 0), 0u) << message;
    EXPECT_GT(message.size(), std::string("Can't load GameData/Menus/Missing.tga: ").size()) << message;
    EXPECT_NE(Log().find(message), std::string::npos);
    EXPECT_EQ(image->GetImage(), nullptr);
    EXPECT_EQ(next.entered, 0);
}

} // namespace
