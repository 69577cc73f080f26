#include "tests/menus/ScreenFixture.h"

#include "media/AVIPlayer.h"
#include "menus/ShowMovieState.h"
#include "tests/platform/video/MovieFixtures.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using moviefixtures::FrameColour;

class ShowMovieStateTest : public ScreenTest {
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        std::filesystem::create_directories("Movies");
        // Eight frames of solid colours at 10 per second with a tone: 800 ms.
        platform::video::MovieSettings settings;
        settings.width = 64;
        settings.height = 48;
        settings.framesPerSecond = 10;
        settings.codec = platform::video::VideoCodec::Uncompressed;
        settings.soundRate = Rate;
        moviefixtures::WriteMovie("Movies/first.avi", settings, 8);
        // A smaller second movie, known by its size.
        settings.width = 32;
        settings.height = 16;
        moviefixtures::WriteMovie("Movies/second.avi", settings, 3);
        movie = ShowMovieState::Instance();
    }

    void Show(const char* path, const char* second = "")
    {
        std::snprintf(movie->moviePath, sizeof movie->moviePath, "%s", path);
        std::snprintf(movie->secondMoviePath, sizeof movie->secondMoviePath, "%s", second);
        movie->nextState = &next;
        application->SetState(movie);
    }

    // Which test frame the movie shows, -1 for none of them.
    static int FrameIndex(std::uint32_t colour)
    {
        for (int i = 0; i < 8; ++i)
            if ((FrameColour(i) & 0xFFFFFF) == colour)
                return i;
        return -1;
    }

    // Runs game frames of 50 ms of sound each until the movie screen is left; the frames shown,
    // each once in the order they came.
    std::vector<int> PlayToTheEnd()
    {
        std::vector<int> shown;
        for (int step = 0; step < 60 && application->GetState() == movie; ++step) {
            Frame();
            if (D3DBitmap* frame = movie->GetFrame()) {
                const int index = FrameIndex(Pixel(frame, frame->GetWidth() / 2, frame->GetHeight() / 2));
                if (shown.empty() || shown.back() != index)
                    shown.push_back(index);
            }
            Mix(50);
        }
        return shown;
    }

    void ExpectLeftForTheNextScreen()
    {
        EXPECT_EQ(application->GetState(), &next);
        EXPECT_EQ(next.entered, 1);
        EXPECT_EQ(movie->GetFrame(), nullptr);
        EXPECT_TRUE(application->IsCursorVisible());
        EXPECT_FALSE(sound->GetDriver()->IsReleased());
    }

    ShowMovieState* movie = nullptr;
};

TEST_F(ShowMovieStateTest, PlaysFrameByFrameOnItsSoundAndThenShowsTheNextScreen)
{
    Show("movies\\FIRST.avi");
    ASSERT_EQ(application->GetState(), movie);
    D3DBitmap* frame = movie->GetFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_STREQ(frame->GetName(), "AVI Frame");
    EXPECT_EQ(frame->GetWidth(), 64);
    EXPECT_EQ(frame->GetHeight(), 48);
    EXPECT_EQ(frame->GetFormat(), device->GetBackBuffer()->GetFormat());
    // The movie has the sound to itself and no cursor shows over it.
    EXPECT_TRUE(sound->GetDriver()->IsReleased());
    EXPECT_FALSE(application->IsCursorVisible());

    // The first frame, stretched over the whole screen.
    Frame();
    EXPECT_EQ(Pixel(frame, 32, 24), FrameColour(0) & 0xFFFFFF);
    for (auto [x, y] : {std::pair{0, 0}, std::pair{160, 120}, std::pair{319, 239}})
        EXPECT_EQ(BackBufferPixel(x, y), FrameColour(0) & 0xFFFFFF) << x << "," << y;
    EXPECT_EQ(next.entered, 0);

    const std::vector<int> shown = PlayToTheEnd();
    EXPECT_EQ(shown, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_TRUE(movie->IsFinished());
    ExpectLeftForTheNextScreen();
    EXPECT_NE(Log().find("Movie movies\\FIRST.avi played to its end\n"), std::string::npos) << Log();
}

TEST_F(ShowMovieStateTest, AnyKeyOrButtonSkipsToTheNextScreen)
{
    struct Case {
        const char* name;
        void (*press)(Application*);
    } cases[] = {
        {"Esc", [](Application* a) { a->KeyDown(27); }},
        {"Enter", [](Application* a) { a->KeyDown(13); }},
        {"a letter", [](Application* a) { a->KeyDown('A'); }},
        {"a joystick button", [](Application* a) { a->KeyDown(262); }},
        {"left button", [](Application* a) { a->MouseUp(0, 10, 10); }},
        {"right button", [](Application* a) { a->MouseUp(1, 300, 200); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        next.entered = 0;
        Show("Movies/first.avi");
        Frame();
        Mix(150);
        Frame();
        ASSERT_EQ(application->GetState(), movie);
        c.press(application);
        ExpectLeftForTheNextScreen();
        EXPECT_FALSE(movie->IsFinished());
        EXPECT_EQ(Log().find("played to its end"), std::string::npos);
    }
}

TEST_F(ShowMovieStateTest, TheSecondMovieFollowsTheFirst)
{
    // Skipped by a key.
    Show("Movies/first.avi", "Movies/second.avi");
    Frame();
    application->KeyDown(32);
    ASSERT_EQ(application->GetState(), movie);
    EXPECT_STREQ(movie->moviePath, "Movies/second.avi");
    EXPECT_STREQ(movie->secondMoviePath, "");
    ASSERT_NE(movie->GetFrame(), nullptr);
    EXPECT_EQ(movie->GetFrame()->GetWidth(), 32);
    EXPECT_EQ(PlayToTheEnd(), (std::vector<int>{0, 1, 2}));
    ExpectLeftForTheNextScreen();

    // Played to its end.
    next.entered = 0;
    Show("Movies/first.avi", "Movies/second.avi");
    std::vector<int> shown = PlayToTheEnd();
    EXPECT_EQ(application->GetState(), &next);
    EXPECT_EQ(shown, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2}));

    // A missing first movie: the second plays.
    next.entered = 0;
    Show("Movies/missing.avi", "Movies/second.avi");
    ASSERT_EQ(application->GetState(), movie);
    ASSERT_NE(movie->GetFrame(), nullptr);
    EXPECT_EQ(movie->GetFrame()->GetWidth(), 32);
    EXPECT_EQ(PlayToTheEnd(), (std::vector<int>{0, 1, 2}));
    ExpectLeftForTheNextScreen();
}

TEST_F(ShowMovieStateTest, MoviesThatCannotPlayAreSkipped)
{
    std::ofstream("Movies/broken.avi", std::ios::binary) << "RIFF\x10\0\0\0AVI LIST" << std::string(300, '\x7F');
    AVIPlayer probe;
    const std::string brokenError = AVIPlayer::GetErrorName(probe.Open("Movies/broken.avi", nullptr, nullptr));
    ASSERT_NE(brokenError, "AVIERR_OK");

    const std::string brokenLine = "Couldn't open the movie Movies/broken.avi: " + brokenError;
    struct Case {
        const char* path;
        const char* logged; // the failing file and the player's error name, or nothing at all
    } cases[] = {
        {"", ""},
        {"Movies/missing.avi", "Couldn't open the movie Movies/missing.avi: AVIPLAYERR_NOSUCHFILE"},
        {"Movies", "Couldn't open the movie Movies: AVIPLAYERR_NOSUCHFILE"},
        {"Movies/broken.avi", brokenLine.c_str()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        next.entered = 0;
        const std::string before = Log();
        Show(c.path);
        ExpectLeftForTheNextScreen();
        const std::string added = Log().substr(before.size());
        if (c.logged[0])
            EXPECT_EQ(added, std::string(c.logged) + "\n");
        else
            EXPECT_EQ(added, "");
    }
}

TEST_F(ShowMovieStateTest, WithoutANextScreenTheProgramEndsWithAMessage)
{
    std::snprintf(movie->moviePath, sizeof movie->moviePath, "%s", "Movies/first.avi");
    movie->nextState = nullptr;
    application->SetState(movie);
    Frame();
    application->KeyDown(27);
    EXPECT_TRUE(application->GetQuitFlag());
    EXPECT_STREQ(application->GetExitMessage(), "No next state set when showing movie in ShowMovieState");
    EXPECT_EQ(application->GetState(), nullptr);
    EXPECT_EQ(movie->GetFrame(), nullptr);
    EXPECT_FALSE(sound->GetDriver()->IsReleased());
}

} // namespace
