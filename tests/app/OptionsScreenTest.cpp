// The options screen on the real application object with the demo data: a headless device, a
// sound system on the loopback output, and clicks and keys injected through the Application as
// the window procedure and the per-frame poll deliver them.
#include "AppFixture.h"

#include "app/framework/ImageButton.h"
#include "app/framework/Options.h"
#include "app/framework/TextLabel.h"
#include "app/options/OptionsScreen.h"
#include "campaign/CampaignState.h"
#include "engine/core/q3DError.h"
#include "menus/EscMenu.h"
#include "menus/MainMenu.h"
#include "mission/MissionState.h"
#include "platform/os/VirtualKeys.h"
#include "tools/demodata/writers/TgaWriter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

using namespace platform::os;

namespace {

class OptionsScreenTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        OpenDevice(800, 600);
        OpenSound();
        sound->Enumerate3DProviders();
        application = Application::Instance();
    }

    void TearDown() override
    {
        Application::Instance()->SetState(nullptr);
        AppTest::TearDown();
    }

    // The demo data, with the crosshair folder made here when numbers are given.
    void LinkData(const std::vector<int>* crosshairs = nullptr)
    {
        namespace fs = std::filesystem;
        const fs::path data = BEXAL_DATA_DIR;
        for (const fs::directory_entry& entry : fs::directory_iterator(data)) {
            if (!entry.is_directory())
                continue;
            if (entry.path().filename() != "GameData" || !crosshairs) {
                fs::create_directory_symlink(entry.path(), folder / entry.path().filename());
                continue;
            }
            fs::create_directory(folder / "GameData");
            for (const fs::directory_entry& inner : fs::directory_iterator(entry.path()))
                if (inner.path().filename() != "CrossHairs")
                    fs::create_symlink(inner.path(), folder / "GameData" / inner.path().filename());
            fs::create_directory(folder / "GameData/CrossHairs");
            for (int number : *crosshairs) {
                char name[64];
                std::snprintf(name, sizeof name, "GameData/CrossHairs/CrossHair%02d.tga", number);
                WriteBytes(name, WriteTga(TgaImage(8, 8, 0xFFFFFFFFu), 32));
            }
        }
    }

    // The application started as the program starts it, then the options screen entered.
    void Open(GameState* before = nullptr)
    {
        options = Options::Instance();
        screen = OptionsScreen::Instance();
        application->Enter();
        if (before)
            application->SetState(before);
        ASSERT_EQ(application->SetState(screen), 0) << application->GetExitMessage();
        ASSERT_FALSE(application->GetQuitFlag()) << application->GetExitMessage();
        Frame();
    }

    void Frame()
    {
        application->Update();
        application->Draw();
    }

    // A click on a widget, as the window procedure delivers it: press, then release.
    void Click(Widget* widget, int button = 0)
    {
        ASSERT_NE(widget, nullptr);
        ASSERT_TRUE(widget->visible);
        const int x = widget->x + 2, y = widget->y + 2;
        application->MouseMove(x, y);
        application->MouseDown(button, x, y);
        application->MouseUp(button, x, y);
        Frame();
    }

    void ClickOption(int option, int button = 0) { Click(screen->GetOptionTextLabel(option), button); }

    void ShowPage(int button) { Click(screen->GetButton(button)); }

    Application* application = nullptr;
    Options* options = nullptr;
    OptionsScreen* screen = nullptr;
};

} // namespace

TEST_F(OptionsScreenTest, PagesShowTheirOwnLabelsAndTheButtonsSwitchThem)
{
    LinkData();
    Open();
    EXPECT_EQ(screen->GetPage(), OptionsScreen::GameplayPage);
    const struct {
        int button, page, first, last;
    } pages[] = {{OptionsScreen::GraphicsButton, OptionsScreen::GraphicsPage, 9, 18},
                 {OptionsScreen::SoundButton, OptionsScreen::SoundPage, 19, 23},
                 {OptionsScreen::ControlsButton, OptionsScreen::ControlsPage, 24, 28},
                 {OptionsScreen::MultiplayerButton, OptionsScreen::MultiplayerPage, 29, 32},
                 {OptionsScreen::GameplayButton, OptionsScreen::GameplayPage, 0, 8}};
    for (const auto& row : pages) {
        ShowPage(row.button);
        EXPECT_EQ(screen->GetPage(), row.page);
        for (int option = 0; option < Options::OptionCount; ++option)
            EXPECT_EQ(screen->GetOptionTextLabel(option)->visible, option >= row.first && option <= row.last)
                << "page " << row.page << " option " << option;
        EXPECT_TRUE(screen->GetButton(row.button)->latched);
        EXPECT_EQ(screen->GetApplyLabel()->visible, row.page == OptionsScreen::SoundPage);
        EXPECT_EQ(screen->GetResetLabel()->visible, row.page == OptionsScreen::ControlsPage);
    }
    // Rows 15 apart from y 75, 45 after the sound provider.
    EXPECT_EQ(screen->GetOptionTextLabel(0)->y, 75);
    EXPECT_EQ(screen->GetOptionTextLabel(8)->y, 75 + 8 * 15);
    EXPECT_EQ(screen->GetOptionTextLabel(20)->y, 75 + 45);
    EXPECT_EQ(screen->GetOptionTextLabel(21)->y, 75 + 60);
    // The demo data's crosshairs were all found.
    EXPECT_EQ(screen->GetCrosshairCount(), 6);
    EXPECT_STREQ(screen->GetOptionTextLabel(30)->GetText(), "Profanity Filter: On");
}

TEST_F(OptionsScreenTest, ClicksChangeOptionsWithinTheirLimits)
{
    LinkData();
    Open();
    const struct {
        int option, page, button, before, after;
    } cases[] = {
        {0, OptionsScreen::GameplayButton, 0, 2, 0},       // difficulty wraps upward
        {0, OptionsScreen::GameplayButton, 1, 0, 2},       // and downward
        {1, OptionsScreen::GameplayButton, 0, 1, 0},       // toggles
        {9, OptionsScreen::GraphicsButton, 1, 1, 6},       // 800x600 right goes to 1600x1200, never 640x480
        {9, OptionsScreen::GraphicsButton, 0, 6, 1},
        {11, OptionsScreen::GraphicsButton, 0, 31, 1},     // brightness 1..31
        {11, OptionsScreen::GraphicsButton, 1, 1, 31},
        {18, OptionsScreen::GraphicsButton, 0, 1, 1},      // pixel shader water is not changed here
        {20, OptionsScreen::SoundButton, 1, 100, 0},       // right raises, past 100 to 0
        {20, OptionsScreen::SoundButton, 0, 0, 100},
        {22, OptionsScreen::SoundButton, 0, 50, 40},
        {23, OptionsScreen::SoundButton, 0, 1, 3},         // headphones, left: 4 speakers (2 is no value)
        {23, OptionsScreen::SoundButton, 1, 0, 5},
        {23, OptionsScreen::SoundButton, 0, 5, 0},
        {27, OptionsScreen::ControlsButton, 1, 0, 9},
        {28, OptionsScreen::ControlsButton, 0, 9, 0},
        {32, OptionsScreen::MultiplayerButton, 0, 6, 0},
        {32, OptionsScreen::MultiplayerButton, 1, 0, 6},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE("option " + std::to_string(row.option) + " button " + std::to_string(row.button));
        ShowPage(row.page);
        options->SetOption(row.option, row.before);
        ClickOption(row.option, row.button);
        EXPECT_EQ(options->GetOption(row.option), row.after);
    }

    // The profanity filter relabels itself.
    ShowPage(OptionsScreen::MultiplayerButton);
    ClickOption(30);
    EXPECT_EQ(options->GetOption(30), 0);
    EXPECT_STREQ(screen->GetOptionTextLabel(30)->GetText(), "Profanity Filter: Off");
}

TEST_F(OptionsScreenTest, TheCrosshairStepsOverTheImagesThatExist)
{
    const std::vector<int> numbers = {2, 5, 9};
    LinkData(&numbers);
    Open();
    EXPECT_EQ(screen->GetCrosshairNumbers(), numbers);
    // The option holds k for the image numbered k + 1.
    options->SetOption(Options::CrosshairType, 1);
    const struct {
        int button, after;
    } steps[] = {{0, 4}, {0, 8}, {0, 1}, {1, 8}, {1, 4}};
    for (const auto& step : steps) {
        ClickOption(Options::CrosshairType, step.button);
        EXPECT_EQ(options->GetOption(Options::CrosshairType), step.after);
    }
}

TEST_F(OptionsScreenTest, NoCrosshairsAndNoProvidersLeaveTheirOptionsAlone)
{
    const std::vector<int> none;
    LinkData(&none);
    // A sound system without output lists no providers.
    sound = std::make_unique<SoundSystem>();
    sound->Create(false, 14, 2, 22050, "GameData/Audio");
    application->SetSoundSystem(sound.get());
    Open();
    EXPECT_EQ(screen->GetCrosshairCount(), 0);
    options->SetOption(Options::CrosshairType, 3);
    ClickOption(Options::CrosshairType);
    EXPECT_EQ(options->GetOption(Options::CrosshairType), 3);
    ShowPage(OptionsScreen::SoundButton);
    options->SetOption(Options::SoundProvider, 0);
    ClickOption(Options::SoundProvider);
    ClickOption(Options::SoundProvider, 1);
    Click(screen->GetApplyLabel());
    EXPECT_EQ(options->GetOption(Options::SoundProvider), 0);
    EXPECT_FALSE(application->GetQuitFlag());
    // Leaving stores no provider index of -1.
    screen->KeyDown(VK_ESCAPE);
    EXPECT_EQ(options->GetOption(Options::SoundProvider), 0);
}

TEST_F(OptionsScreenTest, TheSoundProviderWrapsAndApplyOpensIt)
{
    LinkData();
    ASSERT_GE(sound->GetProviderCount(), 2);
    ASSERT_EQ(sound->Open3DProvider(0, 64), 0);
    Open();
    ShowPage(OptionsScreen::SoundButton);
    options->SetOption(Options::SoundProvider, 0);
    ClickOption(Options::SoundProvider, 1);
    EXPECT_EQ(options->GetOption(Options::SoundProvider), sound->GetProviderCount() - 1);
    // Not open until "[Apply]".
    EXPECT_EQ(sound->GetOpenProviderIndex(), 0);
    Click(screen->GetApplyLabel());
    EXPECT_EQ(sound->GetOpenProviderIndex(), sound->GetProviderCount() - 1);
    EXPECT_FALSE(application->GetQuitFlag());
}

TEST_F(OptionsScreenTest, FromTheEscapeMenuTheGameStaysPausedAndLevelOptionsStayPut)
{
    LinkData();
    Open(EscMenu::Instance());
    MissionState* mission = MissionState::Instance();
    EXPECT_TRUE(mission->controls.paused);
    const struct {
        int option, button;
    } locked[] = {{2, OptionsScreen::GameplayButton},  {8, OptionsScreen::GameplayButton},  {9, OptionsScreen::GraphicsButton},
                  {10, OptionsScreen::GraphicsButton}, {12, OptionsScreen::GraphicsButton}, {13, OptionsScreen::GraphicsButton},
                  {14, OptionsScreen::GraphicsButton}, {16, OptionsScreen::GraphicsButton}, {17, OptionsScreen::GraphicsButton},
                  {19, OptionsScreen::SoundButton}};
    for (const auto& row : locked) {
        ShowPage(row.button);
        const int before = options->GetOption(row.option);
        ClickOption(row.option);
        ClickOption(row.option, 1);
        EXPECT_EQ(options->GetOption(row.option), before) << "option " << row.option;
    }
    // Others still change.
    ShowPage(OptionsScreen::GraphicsButton);
    const int fog = options->GetOption(Options::Fog);
    ClickOption(Options::Fog);
    EXPECT_EQ(options->GetOption(Options::Fog), !fog);

    // Escape goes back to the escape menu and the game goes on.
    screen->KeyDown(VK_ESCAPE);
    EXPECT_EQ(application->GetState(), EscMenu::Instance());
    EXPECT_FALSE(mission->controls.paused);
}

TEST_F(OptionsScreenTest, CapturingAKeyBindsItAndRefusesTheReservedOnes)
{
    LinkData();
    Open();
    ShowPage(OptionsScreen::ControlsButton);
    EXPECT_FALSE(screen->GetActionLabel(10)->visible);
    Click(screen->GetHeadingLabel(1));  // [Actions]: actions 10..19
    EXPECT_EQ(screen->GetKeyGroup(), 1);
    EXPECT_TRUE(screen->GetActionLabel(10)->visible);
    EXPECT_FALSE(screen->GetActionLabel(0)->visible);

    const int reload = 13;  // "Reload Weapon", Enter by default
    Click(screen->GetActionLabel(reload));
    EXPECT_EQ(screen->GetCapturedAction(), reload);
    for (int refused : {VK_F12, VK_F1, VK_F4, VK_F11, VK_PAUSE})
        application->KeyDown(refused);
    EXPECT_EQ(screen->GetCapturedAction(), reload);
    EXPECT_EQ(options->GetKeyForAction(reload), VK_RETURN);
    // A key without a name is ignored; Escape cancels.
    application->KeyDown(VK_F1 + 1);
    EXPECT_EQ(screen->GetCapturedAction(), reload);
    application->KeyDown(VK_ESCAPE);
    EXPECT_EQ(screen->GetCapturedAction(), -1);
    EXPECT_EQ(application->GetState(), screen);

    // A click binds the mouse button; a key binds the key and takes it from its old action.
    Click(screen->GetActionLabel(reload));
    application->MouseUp(0, 5, 5);
    EXPECT_EQ(options->GetKeyForAction(reload), 1);
    EXPECT_STREQ(options->GetKeyName(options->GetKeyForAction(reload)), "Left Mouse");
    EXPECT_EQ(options->GetKeyForAction(10), -1);  // Primary Item Action lost the left button
    Click(screen->GetActionLabel(reload));
    application->KeyDown('W');
    EXPECT_EQ(options->GetKeyForAction(reload), 'W');
    EXPECT_EQ(options->GetKeyForAction(0), -1);

    Click(screen->GetResetLabel());
    EXPECT_EQ(options->GetKeyForAction(reload), VK_RETURN);
    EXPECT_EQ(options->GetKeyForAction(0), 'W');
}

TEST_F(OptionsScreenTest, ARefusedKeySoundsTheCampaignBuzzer)
{
    LinkData();
    Open();
    ShowPage(OptionsScreen::ControlsButton);
    Click(screen->GetActionLabel(0));
    ASSERT_EQ(screen->GetCapturedAction(), 0);

    // Loudest sample of ms milliseconds of the loopback output.
    const auto loudest = [this](int ms) {
        std::vector<std::int16_t> out(std::size_t(22050 * ms / 1000) * 2);
        sound->GetDriver()->Render(out.data(), 22050 * ms / 1000);
        int peak = 0;
        for (std::int16_t sample : out)
            peak = std::max(peak, std::abs(int(sample)));
        return peak;
    };
    loudest(500);  // the click of the label dies away
    ASSERT_LT(loudest(100), 50);
    application->KeyDown(VK_F12);
    EXPECT_EQ(screen->GetCapturedAction(), 0);
    EXPECT_GT(loudest(100), 1000);
}

TEST_F(OptionsScreenTest, WithoutItsBuzzerTheCampaignIsNotMade)
{
    try {
        CampaignState::Instance();
        ADD_FAILURE() << "made without Sound/buzzer.wav";
    } catch (const q3DError& error) {
        EXPECT_STREQ(error.GetText(), "Error loading Sound/buzzer.wav");
    }
}

TEST_F(OptionsScreenTest, TheNameIsTypedInLowerCaseAndStopsAtTwentyThreeCharacters)
{
    LinkData();
    Open();
    ShowPage(OptionsScreen::MultiplayerButton);
    ClickOption(Options::PlayerNameOption);
    EXPECT_TRUE(screen->IsEditingName());
    for (int i = 0; i < 6; ++i)
        application->KeyDown(VK_BACK);
    for (int code : {int('S'), int('G'), int('T'), VK_SPACE, int('7'), VK_OEM_MINUS})
        application->KeyDown(code);
    EXPECT_STREQ(options->GetPlayerName(), "sgt 7-");
    application->KeyDown(VK_RETURN);
    EXPECT_FALSE(screen->IsEditingName());
    EXPECT_EQ(application->GetState(), screen);

    // Twenty-three characters take no more.
    ClickOption(Options::PlayerNameOption);
    for (int i = 0; i < 30; ++i)
        application->KeyDown('1');
    EXPECT_EQ(std::strlen(options->GetPlayerName()), 23u);
    // Trailing blanks go when editing ends.
    options->SetPlayerName("Sarge  ", false);
    application->KeyDown(VK_ESCAPE);
    EXPECT_STREQ(options->GetPlayerName(), "Sarge");
    EXPECT_EQ(application->GetState(), screen);
}

TEST_F(OptionsScreenTest, ContinueLeavesForTheMainMenuAndSavesTheOptions)
{
    LinkData();
    Open();
    options->SetOption(Options::Difficulty, 0);
    ClickOption(Options::Difficulty);
    Click(screen->GetButton(OptionsScreen::ContinueButton));
    EXPECT_EQ(application->GetState(), MainMenu::Instance());
    const std::vector<std::uint8_t> saved = ReadBytes("Bexal.cfg");
    ASSERT_EQ(saved.size(), 193u);
    EXPECT_EQ(saved[4], 1);
    EXPECT_NE(ReadText("keys.cfg").find("Move Forward; 87\n"), std::string::npos);
    // Every widget of the screen is gone from the application.
    EXPECT_EQ(application->FindWidgetAt(362 + 5, 561 + 5, 0), nullptr);
}

TEST_F(OptionsScreenTest, TheFrameShowsTheBackdropAndTheLatchedPageButton)
{
    LinkData();
    Open();
    Frame();
    const FrameImage frame = FrameImage::Grab(device);
    ASSERT_EQ(frame.width, 800);
    // The demo backdrop (680 x 600) is centred: black beside it, its olive rim, then its paper.
    EXPECT_EQ(frame.Pixel(30, 300), 0x000000u);
    EXPECT_EQ(frame.Pixel(62, 300), 0x2B3A22u);
    EXPECT_EQ(frame.Pixel(100, 300), 0xE6DEC2u);
    // The current page's button shows its pressed image, the others their normal one.
    const ImageButton* gameplay = screen->GetButton(OptionsScreen::GameplayButton);
    const ImageButton* sound = screen->GetButton(OptionsScreen::SoundButton);
    EXPECT_EQ(gameplay->x, 542);
    EXPECT_EQ(gameplay->y, 72);
    EXPECT_EQ(frame.Pixel(gameplay->x + 4, gameplay->y + 4), 0xC8B45Au);
    EXPECT_EQ(frame.Pixel(sound->x + 4, sound->y + 4), 0x2B3A22u);
    ShowPage(OptionsScreen::SoundButton);
    Frame();
    const FrameImage after = FrameImage::Grab(device);
    EXPECT_EQ(after.Pixel(gameplay->x + 4, gameplay->y + 4), 0x2B3A22u);
    EXPECT_EQ(after.Pixel(sound->x + 4, sound->y + 4), 0xC8B45Au);
}

TEST_F(OptionsScreenTest, LabelsValuesAndTheCursorAreDrawnOverTheBackdrop)
{
    LinkData();
    Open();
    // The cursor onto plain paper. Without a window in focus (headless) the position read back
    // is offset by the window's place on the desktop, so the move is corrected by what it gave.
    int cursorX = 0, cursorY = 0;
    device->GetWindow()->SetCursorPosition(100, 300);
    application->GetCursorPos(&cursorX, &cursorY);
    device->GetWindow()->SetCursorPosition(200 - cursorX, 600 - cursorY);
    application->GetCursorPos(&cursorX, &cursorY);
    ASSERT_EQ(cursorX, 100);
    ASSERT_EQ(cursorY, 300);
    Frame();
    const FrameImage frame = FrameImage::Grab(device);
    ASSERT_EQ(frame.width, 800);
    constexpr std::uint32_t paper = 0xE6DEC2u;
    // Pixels inside the rectangle that are not the backdrop's paper.
    auto inked = [&](int left, int top, int width, int height) {
        int count = 0;
        for (int y = top; y < top + height; ++y)
            for (int x = left; x < left + width; ++x)
                count += frame.Pixel(x, y) != paper;
        return count;
    };
    // The first option of the page: its label (a widget) and its value (black text at x 610).
    const TextLabel* label = screen->GetOptionTextLabel(0);
    ASSERT_NE(label, nullptr);
    ASSERT_TRUE(label->visible);
    EXPECT_GT(inked(label->x, label->y, 60, 12), 10);
    int darkValuePixels = 0;
    for (int y = label->y; y < label->y + 12; ++y)
        for (int x = 610; x < 650; ++x)
            darkValuePixels += (frame.Pixel(x, y) & 0x808080u) == 0;
    EXPECT_GT(darkValuePixels, 5);
    // The arrow (white inside a black outline) with its tip at the cursor.
    EXPECT_GT(inked(100, 300, 8, 8), 4);
}

TEST_F(OptionsScreenTest, MissingArtEndsTheProgramWithTheFileName)
{
    namespace fs = std::filesystem;
    const fs::path data = BEXAL_DATA_DIR;
    for (const char* name : {"Sound", "Movies"})
        fs::create_directory_symlink(data / name, folder / name);
    fs::create_directories(folder / "GameData/Menus/Options");
    for (const char* name : {"Fonts", "Cursors", "CrossHairs"})
        fs::create_directory_symlink(data / "GameData" / name, folder / "GameData" / name);
    // Everything but the backdrop, then everything but one button image.
    for (const fs::directory_entry& entry : fs::directory_iterator(data / "GameData/Menus/Options"))
        if (entry.path().filename() != "backdrop.tga")
            fs::create_symlink(entry.path(), folder / "GameData/Menus/Options" / entry.path().filename());
    options = Options::Instance();
    screen = OptionsScreen::Instance();
    application->Enter();
    application->SetState(screen);
    EXPECT_TRUE(application->GetQuitFlag());
    EXPECT_STREQ(application->GetExitMessage(), "Can't load GameData/Menus/Options/backdrop.tga");
    EXPECT_EQ(application->GetState(), nullptr);
    EXPECT_EQ(application->FindWidgetAt(310, 80, 0), nullptr);
}
