// The Application's screen switching, its event dispatch and per-frame input poll, and the
// notices, chat lines and player slots it keeps.
#include "AppFixture.h"

#include "app/framework/Options.h"
#include "app/program/InputStartup.h"
#include "campaign/CampaignState.h"
#include "campaign/WaypointSelectionState.h"
#include "engine/core/q3DError.h"
#include "media/InputSystem.h"
#include "menus/EscMenu.h"
#include "mission/MissionState.h"
#include "tests/platform/input/InputEvents.h"

#include <cstdio>

using namespace inputevents;

namespace {

std::vector<std::string> journal;

// A screen that writes down what happens to it and can be told to fail.
class Screen : public GameState {
public:
    explicit Screen(std::string name) : name(std::move(name)) {}

    int Enter() override
    {
        journal.push_back(name + " enter");
        if (failEnter)
            throw q3DError("%s can't load its art", name.c_str());
        return enterResult;
    }
    int Leave() override
    {
        journal.push_back(name + " leave");
        if (failLeave)
            throw q3DError("%s can't let go", name.c_str());
        return 7;
    }
    void Update() override { journal.push_back(name + " update"); }
    void Draw() override { journal.push_back(name + " draw"); }
    void KeyDown(int code) override { journal.push_back(name + " down " + std::to_string(code)); }
    void KeyUp(int code) override { journal.push_back(name + " up " + std::to_string(code)); }
    void MouseDown(int button, int x, int y, bool twice) override
    {
        journal.push_back(name + (twice ? " double-press " : " press ") + Where(button, x, y));
    }
    void MouseUp(int button, int x, int y, float) override { journal.push_back(name + " release " + Where(button, x, y)); }
    void MouseMove(int x, int y) override { journal.push_back(name + " move " + Where(0, x, y)); }
    void MouseDoubleClick(int button, int x, int y) override
    {
        journal.push_back(name + " double " + Where(button, x, y));
    }
    void MouseWheel(bool down, int x, int y) override
    {
        journal.push_back(name + (down ? " wheel down" : " wheel up"));
    }

    std::string name;
    int enterResult = 0;
    bool failEnter = false;
    bool failLeave = false;

private:
    static std::string Where(int button, int x, int y)
    {
        return std::to_string(button) + " " + std::to_string(x) + "," + std::to_string(y);
    }
};

using Journal = std::vector<std::string>;

class ApplicationTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        journal.clear();
        application = Application::Instance();
    }

    void TearDown() override
    {
        Application::Instance()->SetState(nullptr);
        AppTest::TearDown();
    }

    Application* application = nullptr;
    Screen first{"first"}, second{"second"};
};

} // namespace

TEST_F(ApplicationTest, SwitchingLeavesTheOldScreenAndEntersTheNew)
{
    second.enterResult = 5;
    EXPECT_EQ(application->SetState(&first), 0);
    EXPECT_EQ(application->SetState(&second), 5);
    EXPECT_EQ(application->GetState(), &second);
    EXPECT_EQ(application->GetPreviousState(), &first);
    EXPECT_EQ(journal, (Journal{"first enter", "first leave", "second enter"}));
    // Leaving for nothing gives what the old screen's Leave returned.
    EXPECT_EQ(application->SetState(nullptr), 7);
    EXPECT_EQ(application->GetState(), nullptr);
    EXPECT_FALSE(application->GetQuitFlag());
}

TEST_F(ApplicationTest, AnErrorFromEnterOrLeaveQuitsWithItsText)
{
    OpenDevice();
    const struct {
        const char* what;
        bool firstFailsLeave, secondFailsEnter, secondFailsLeave;
        const char* message;
        Journal expected;
    } cases[] = {
        {"enter", false, true, false, "second can't load its art", {"first leave", "second enter", "second leave"}},
        {"leave", true, false, false, "first can't let go", {"first leave", "first leave"}},
        {"enter, then leave on the way out", false, true, true, "second can't load its art",
         {"first leave", "second enter", "second leave"}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        DestroySingletons();
        application = Application::Instance();
        application->SetDevice(device);
        first.failLeave = false;
        application->SetState(&first);
        first.failLeave = row.firstFailsLeave;
        second.failEnter = row.secondFailsEnter;
        second.failLeave = row.secondFailsLeave;
        journal.clear();

        EXPECT_FALSE(application->EndsOnError());
        EXPECT_EQ(application->SetState(&second), -1);
        EXPECT_EQ(journal, row.expected);
        EXPECT_TRUE(application->GetQuitFlag());
        EXPECT_TRUE(application->EndsOnError());
        EXPECT_STREQ(application->GetExitMessage(), row.message);
        EXPECT_EQ(application->GetState(), nullptr);
        EXPECT_NE(Log().find(row.message), std::string::npos);
    }
    first.failLeave = second.failEnter = second.failLeave = false;
}

TEST_F(ApplicationTest, StateKindFollowsTheCampaignScreensAndIsSavedAsFourBytes)
{
    EXPECT_EQ(application->GetStateKind(), 3);
    application->SetState(CampaignState::Instance());
    EXPECT_EQ(application->GetStateKind(), 1);
    application->SetState(&first);
    EXPECT_EQ(application->GetStateKind(), 1);
    application->SetState(WaypointSelectionState::Instance());
    EXPECT_EQ(application->GetStateKind(), 0);
    application->SetState(MissionState::Instance());
    EXPECT_EQ(application->GetStateKind(), 2);
    EXPECT_FALSE(application->IsInMenu());
    application->SetState(EscMenu::Instance());
    EXPECT_TRUE(application->IsInMenu());
    application->SetState(nullptr);
    EXPECT_FALSE(application->IsInMenu());

    std::FILE* file = std::fopen("kind.sav", "w+b");
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(application->SaveStateKind(file));
    std::fclose(file);
    EXPECT_EQ(ReadBytes("kind.sav"), (std::vector<std::uint8_t>{2, 0, 0, 0}));

    const struct {
        std::vector<std::uint8_t> bytes;
        bool loaded;
        int kind;
    } loads[] = {{{1, 0, 0, 0}, true, 1}, {{9, 0, 0, 0}, false, 2}, {{0, 0}, false, 2}, {{0xFF, 0xFF, 0xFF, 0xFF}, false, 2}};
    for (const auto& row : loads) {
        application->SetState(MissionState::Instance());
        WriteBytes("kind.sav", row.bytes);
        file = std::fopen("kind.sav", "rb");
        EXPECT_EQ(application->LoadStateKind(file), row.loaded);
        std::fclose(file);
        EXPECT_EQ(application->GetStateKind(), row.kind);
    }
}

TEST_F(ApplicationTest, InjectedKeysAndMouseReachTheCurrentScreen)
{
    application->SetState(&first);
    application->SetState(&second);
    journal.clear();
    application->KeyDown('W');
    application->KeyUp('W');
    application->MouseMove(10, 20);
    application->MouseDown(0, 10, 20);
    application->MouseUp(0, 10, 20);
    // Pressed again at once on the same spot: a double click; a third press is single again.
    application->MouseDown(0, 10, 20);
    application->MouseDown(0, 10, 20);
    application->MouseDown(1, 11, 20);
    application->MouseDoubleClick(1, 3, 4);
    application->MouseWheel(true, 0, 0);
    EXPECT_EQ(journal, (Journal{"second down 87", "second up 87", "second move 0 10,20", "second press 0 10,20",
                                "second release 0 10,20", "second double-press 0 10,20", "second press 0 10,20",
                                "second press 1 11,20", "second double 1 3,4", "second wheel down"}));

    journal.clear();
    application->Update();
    application->Draw();
    EXPECT_EQ(journal, (Journal{"second update", "second draw"}));
}

TEST_F(ApplicationTest, ThePerFramePollTurnsDevicesIntoEvents)
{
    SdlScope sdl;
    VirtualJoystick pad(2, 4);
    InputStartup input = StartInputSystem(nullptr);
    ASSERT_NE(input.input, nullptr);
    ASSERT_GE(input.joystick, 0);
    application->SetInputSystem(input.input.get(), input.joystick, input.joystickButtons);
    application->SetState(&first);
    journal.clear();

    PushButton(SDL_BUTTON_LEFT, true);
    application->Update();
    PushButton(SDL_BUTTON_LEFT, false);
    PushWheel(-1);
    application->Update();
    pad.SetButton(1, true);
    pad.SetAxis(0, -32768);
    application->Update();
    pad.SetButton(1, false);
    application->Update();
    pad.SetAxis(0, 0);
    application->Update();
    application->SetInputSystem(nullptr, -1, 0);

    EXPECT_EQ(journal, (Journal{"first press 0 0,0", "first update", "first wheel down", "first release 0 0,0",
                                "first update", "first down 256", "first down 263", "first update", "first down 256",
                                "first up 263", "first update", "first update"}));
}

TEST_F(ApplicationTest, NoticesAndChatLinesKeepTheirTime)
{
    application->ShowMessage(-1, "for one frame");
    application->ShowMessage(5000, "%s", "");
    application->ShowMessage(5000, "%d soldiers", 3);
    application->ShowMessageText(100, nullptr);
    ASSERT_EQ(application->GetNotices().size(), 2u);
    EXPECT_EQ(application->GetNotices().front().text, "for one frame");
    application->Draw();
    ASSERT_EQ(application->GetNotices().size(), 1u);
    EXPECT_EQ(application->GetNotices().front().text, "3 soldiers");

    // Longer texts are cut to the record's 2047 characters.
    application->ShowMessageText(10, std::string(3000, 'x').c_str());
    EXPECT_EQ(application->GetNotices().back().text.size(), 2047u);
    // A format beyond 1792 characters is not used at all.
    application->ShowMessage(10, "%s", std::string(1800, 'y').c_str());
    application->ShowMessage(10, std::string(1793, 'z').c_str());
    EXPECT_EQ(application->GetNotices().size(), 3u);

    application->AddChatLine(1, 1, 1, std::string(200, 'c').c_str());
    application->AddChatLine(1, 0, 0, "hi");
    application->AddChatLine(1, 0, 0, "");
    ASSERT_EQ(application->GetChatLines().size(), 2u);
    EXPECT_EQ(application->GetChatLines().front().text, "hi");
    EXPECT_EQ(application->GetChatLines().front().time, 2100);
    EXPECT_EQ(application->GetChatLines().back().time, 10000);

    application->ShowCenterMessage(1, 1, 1, "", 500);
    EXPECT_EQ(application->GetCenterMessageTime(), 0);
    application->ShowCenterMessage(1, 1, 1, "Objective complete", -1);
    EXPECT_STREQ(application->GetCenterMessage(), "Objective complete");
    application->Draw();
    EXPECT_EQ(application->GetCenterMessageTime(), -1);
}

TEST_F(ApplicationTest, PlayerSlotsAndTheirNames)
{
    EXPECT_STREQ(application->GetPlayerName(0), "Bexal Player");
    PlayerSlot* slot = application->GetPlayerSlot(3);
    ASSERT_NE(slot, nullptr);
    slot->id = {0x0100007F, 4000};
    EXPECT_STREQ(application->GetPlayerName(3), "Bexal Player");
    std::snprintf(slot->name, sizeof slot->name, "Medic");
    EXPECT_STREQ(application->GetPlayerName(3), "Medic");
    EXPECT_TRUE(application->IsPlayerSlotInUse(3));
    EXPECT_FALSE(application->IsPlayerSlotInUse(4));
    for (int outside : {-1, 32, 1000})
        EXPECT_FALSE(application->IsPlayerSlotInUse(outside));
    EXPECT_STREQ(application->GetPlayerName(32), "Bexal Player");
    EXPECT_EQ(application->GetPlayerSlot(32), nullptr);

    // The slot number is taken as 16 bits: 65539 is slot 3.
    application->ClearPlayerSlot(65539 + 1);
    EXPECT_TRUE(application->IsPlayerSlotInUse(3));
    application->ClearPlayerSlot(65539);
    EXPECT_FALSE(application->IsPlayerSlotInUse(3));

    slot->id = {0x0200007F, 4001};
    EXPECT_FALSE(application->ClearPlayerSlotByAddress(UnassignedPlayerId));
    EXPECT_TRUE(application->ClearPlayerSlotByAddress({0x0200007F, 4001}));
    EXPECT_FALSE(application->ClearPlayerSlotByAddress({0x0200007F, 4001}));
}
