// The in-game screen's input: keys and buttons through the options' key table, the controlled
// character's first turn at every input, the radial command menu, and the quick save and load
// actions with their notices.
#include "tests/app/AppFixture.h"

#include "app/framework/Application.h"
#include "app/framework/Options.h"
#include "characters/objects/CarriedItem.h"
#include "characters/body/Character.h"
#include "mission/MissionState.h"
#include "platform/os/VirtualKeys.h"

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int CrouchKey = 0x43;   // bound to "Crouching Posture"
constexpr int ProneKey = 300;     // a joystick direction, bound to "Prone Posture"
constexpr int QuickSaveKey = 0x74;
constexpr int QuickLoadKey = 0x78;
constexpr int RadialKey = 0x52;

// A character that records the postures it is asked for.
class RecordingCharacter : public Character {
public:
    void SetPosture(int target) override { postures.push_back(target); }
    std::vector<int> postures;
};

class MissionInputTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        options = Options::Instance();
        options->ResetKeys();
        options->BindKey(CrouchKey, 8);
        options->BindKey(ProneKey, 9);
        options->BindKey(QuickSaveKey, 32);
        options->BindKey(QuickLoadKey, 33);
        options->BindKey(RadialKey, 29);
        mission = MissionState::Instance();
        character = std::make_unique<RecordingCharacter>();
        character->health = 100;
        mission->roster.controlledCharacter = character.get();
        MissionState::CharacterInput& input = mission->controls.characterInput;
        input.keyDown = [this](int key) { seen.push_back(key); return passes; };
        input.mouseButton = [this](int button, int, int) { seen.push_back(button); return passes; };
        input.commandClick = [this](int button, int, int) { seen.push_back(button); return passes; };
        input.mouseWheel = [this](int direction) { seen.push_back(direction); return passes; };
        input.radialOrder = [this](int action) { orders.push_back(action); return true; };
        input.notInCommandMode = [] { return true; };
    }

    void TearDown() override
    {
        mission->roster.controlledCharacter = nullptr;
        character->DeleteInventory();
        character.reset();
        AppTest::TearDown();
    }

    void Clear()
    {
        seen.clear();
        orders.clear();
        character->postures.clear();
        Application::Instance()->ClearMessages();
    }

    // The newest notice's text and time, or empty and 0.
    std::pair<std::string, int> LastNotice() const
    {
        const auto& notices = Application::Instance()->GetNotices();
        return notices.empty() ? std::pair<std::string, int>{} : std::pair{notices.back().text, int(notices.back().time)};
    }

    Options* options = nullptr;
    MissionState* mission = nullptr;
    std::unique_ptr<RecordingCharacter> character;
    bool passes = true;
    std::vector<int> seen;
    std::vector<int> orders;
};

TEST_F(MissionInputTest, KeysMapThroughTheOptionsTableAndCodesOutsideItMapToNothing)
{
    EXPECT_EQ(MissionState::ActionForKey(CrouchKey), 8);
    EXPECT_EQ(MissionState::ActionForKey(ProneKey), 9);
    for (int key : {-1, 512, 600, INT_MIN, INT_MAX})
        EXPECT_EQ(MissionState::ActionForKey(key), -1) << key;
    // A rebinding takes the action from its old key.
    options->BindKey(CrouchKey, 9);
    EXPECT_EQ(MissionState::ActionForKey(CrouchKey), 9);
    EXPECT_EQ(MissionState::ActionForKey(ProneKey), -1);
}

TEST_F(MissionInputTest, TheCharacterGetsEveryKeyFirstAndTheActionRunsOnlyWhenItPassesTheKeyOn)
{
    struct Case {
        bool passes;
        int key;
        std::vector<int> postures;
    };
    const Case cases[] = {
        {true, CrouchKey, {Character::Crouching}},
        {false, CrouchKey, {}},
        {true, ProneKey, {Character::Prone}},
        {true, 600, {}}, // no action, but the character still sees it
        {true, -5, {}},
    };
    for (const Case& c : cases) {
        Clear();
        passes = c.passes;
        mission->KeyDown(c.key);
        EXPECT_EQ(seen, std::vector<int>{c.key}) << c.key;
        EXPECT_EQ(character->postures, c.postures) << c.key << " passes " << c.passes;
    }

    // Pressing crouch while crouched stands up; a released posture key does nothing.
    Clear();
    passes = true;
    character->posture = Character::Crouching;
    mission->KeyDown(CrouchKey);
    mission->KeyUp(CrouchKey);
    mission->KeyUp(600);
    EXPECT_EQ(character->postures, std::vector<int>{Character::Standing});

    // Paused, the character and the actions rest.
    Application::Instance()->SetState(mission);
    Clear();
    mission->KeyDown(platform::os::VK_PAUSE);
    EXPECT_TRUE(mission->controls.paused);
    mission->KeyDown(CrouchKey);
    EXPECT_TRUE(character->postures.empty());
    mission->KeyDown(platform::os::VK_PAUSE);
    EXPECT_FALSE(mission->controls.paused);
}

TEST_F(MissionInputTest, MouseButtonsRunTheActionOfKeyCodeButtonPlusOneAndOtherButtonsAreIgnored)
{
    options->BindKey(1, 9);  // "Left Mouse"
    options->BindKey(2, 7);  // "Right Mouse"
    options->BindKey(3, 8);  // "Middle Mouse"
    options->BindKey(7, 29); // "Mouse Button 7"
    options->BindKey(8, 32); // "Backspace": no button reaches it
    struct Case {
        bool passes;
        int button;
        std::vector<int> postures;
        bool radialMenu;
    };
    const Case cases[] = {
        {true, 0, {Character::Prone}, false}, {true, 1, {Character::Standing}, false},
        {true, 2, {Character::Crouching}, false}, {false, 0, {}, false},
        {true, 6, {}, true},  {false, 6, {}, false},
        {true, 7, {}, false}, {true, -1, {}, false}, {true, 511, {}, false},
    };
    for (const Case& c : cases) {
        Clear();
        passes = c.passes;
        mission->MouseDown(c.button, 10, 10, false);
        EXPECT_EQ(seen, std::vector<int>{c.button});
        EXPECT_EQ(character->postures, c.postures) << c.button << " passes " << c.passes;
        EXPECT_EQ(mission->controls.radialMenuOpen, c.radialMenu) << c.button << " passes " << c.passes;
        mission->MouseUp(c.button, 10, 10, 0.1f); // releases change no posture and close the menu
        EXPECT_EQ(character->postures, c.postures) << c.button;
        EXPECT_FALSE(mission->controls.radialMenuOpen);
        EXPECT_TRUE(Application::Instance()->GetNotices().empty()) << c.button;
    }
}

TEST_F(MissionInputTest, TheWheelCyclesThePendingItemOnlyWhenTheCharacterPassesItOn)
{
    for (const char* name : {"Knife", "M16", "Grenade"}) {
        auto* item = new CarriedItem();
        std::snprintf(item->name, sizeof item->name, "%s", name);
        ASSERT_TRUE(character->PickUpItem(item, true));
    }
    const std::vector<CarriedItem*> inventory = character->GetInventory();
    character->SelectItem(inventory[0]);

    passes = false;
    mission->MouseWheel(true, 0, 0);
    EXPECT_EQ(seen, std::vector<int>{0});
    EXPECT_EQ(mission->controls.pendingItem, nullptr);

    passes = true;
    mission->MouseWheel(true, 0, 0); // one notch down: the previous item, wrapping round
    EXPECT_EQ(mission->controls.pendingItem, inventory[2]);
    EXPECT_EQ(mission->controls.pendingItemDisplayTime, 1500);
    EXPECT_EQ(mission->controls.pendingItemDelay, 3000);
    mission->MouseWheel(false, 0, 0);
    mission->MouseWheel(false, 0, 0);
    EXPECT_EQ(mission->controls.pendingItem, inventory[1]);

    // Refused while the held item is in use, and once the mission has its result.
    mission->controls.pendingItem = nullptr;
    inventory[0]->inUse = true;
    mission->MouseWheel(false, 0, 0);
    EXPECT_EQ(mission->controls.pendingItem, nullptr);
    inventory[0]->inUse = false;
    mission->SetMissionResult(MissionState::Lost);
    seen.clear();
    mission->MouseWheel(false, 0, 0);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(mission->controls.pendingItem, nullptr);
}

TEST_F(MissionInputTest, SelectionKeysMakeAnItemPendingThatThePrimaryActionMakesCurrent)
{
    // Slot classes: primary, secondary, then two numbered slots.
    class SlotItem : public CarriedItem {
    public:
        explicit SlotItem(int slot) : slot(slot) {}
        int GetSlotKind() override { return slot; }
        int slot;
    };
    std::vector<CarriedItem*> items;
    for (int slot : {2, 2, 1, 0}) {
        items.insert(items.begin(), new SlotItem(slot));
        ASSERT_TRUE(character->PickUpItem(items.front(), true)); // a forced pick-up goes first
    }
    ASSERT_EQ(character->GetInventory(), items);

    mission->PerformAction(39, true);
    EXPECT_EQ(mission->controls.pendingItem, items[0]);
    EXPECT_EQ(mission->controls.pendingItemDelay, 1000000); // held: no switch yet
    EXPECT_EQ(mission->controls.pendingItemDisplayTime, 1500);
    EXPECT_TRUE(mission->controls.switchPendingNow);
    mission->PerformAction(39, false);
    EXPECT_EQ(mission->controls.pendingItemDelay, 100);
    mission->PerformAction(40, true);
    EXPECT_EQ(mission->controls.pendingItem, items[1]);
    mission->PerformAction(42, true); // "Select Item 2"
    EXPECT_EQ(mission->controls.pendingItem, items[3]);
    mission->PerformAction(45, true); // no fifth numbered item: nothing changes
    EXPECT_EQ(mission->controls.pendingItem, items[3]);

    // The primary action takes the pending item out instead of using anything.
    mission->PerformAction(10, true);
    EXPECT_EQ(character->GetHeldItem(), items[3]);
    EXPECT_EQ(mission->controls.pendingItem, nullptr);
    EXPECT_FALSE(items[3]->inUse);
    mission->PerformAction(10, true);
    EXPECT_TRUE(items[3]->inUse);
    mission->PerformAction(10, false);
    EXPECT_FALSE(items[3]->inUse);

    // Dropping leaves the item in the world; a pending item that is gone is forgotten.
    mission->PerformAction(17, true);
    EXPECT_EQ(items[3]->owner, nullptr);
    EXPECT_EQ(character->GetInventory().size(), 3u);
    delete items[3];
    mission->PerformAction(39, true);
    character->DropItem(items[0], character->position);
    mission->PerformAction(10, true);
    EXPECT_EQ(character->GetHeldItem(), nullptr);
    delete items[0];
}

TEST_F(MissionInputTest, TheRadialMenuRunsTheOrderOfTheSectorUnderThePointer)
{
    struct Case {
        int dx, dy;
        int sector;
        int order; // -1: none
    };
    const Case cases[] = {
        {0, 0, 0, -1},     {30, 30, 0, -1},  {90, 40, 1, 21},   {40, 90, 2, 22},
        {-40, 90, 3, 23},  {-90, 40, 4, 24}, {-90, -40, 5, 25}, {-40, -90, 6, 26},
        {40, -90, 7, 27},  {90, -40, 8, 28},
    };
    for (const Case& c : cases) {
        Clear();
        mission->ShowRadialMenu(true, false);
        ASSERT_TRUE(mission->controls.radialMenuOpen);
        const int x = mission->controls.gestureOriginX + c.dx, y = mission->controls.gestureOriginY + c.dy;
        mission->MouseMove(x, y);
        EXPECT_EQ(mission->controls.radialMenuIndex, c.sector) << c.dx << "," << c.dy;
        mission->MouseDown(0, x, y, false); // ignored while the menu is open
        EXPECT_TRUE(seen.empty());
        mission->MouseUp(0, x, y, 0.1f);
        EXPECT_FALSE(mission->controls.radialMenuOpen);
        EXPECT_EQ(orders, c.order < 0 ? std::vector<int>{} : std::vector<int>{c.order}) << c.dx << "," << c.dy;
    }

    // The right button closes the menu without an order.
    Clear();
    mission->ShowRadialMenu(true, false);
    mission->MouseUp(1, mission->controls.gestureOriginX + 100, mission->controls.gestureOriginY, 0.1f);
    EXPECT_FALSE(mission->controls.radialMenuOpen);
    EXPECT_TRUE(orders.empty());

    // Its key opens it on press and runs the chosen order on release.
    Clear();
    mission->KeyDown(RadialKey);
    ASSERT_TRUE(mission->controls.radialMenuOpen);
    mission->MouseMove(mission->controls.gestureOriginX - 90, mission->controls.gestureOriginY - 40);
    mission->KeyUp(RadialKey);
    EXPECT_FALSE(mission->controls.radialMenuOpen);
    EXPECT_EQ(orders, std::vector<int>{25});
}

TEST_F(MissionInputTest, AFailedQuickSaveIsShownForEightSecondsAndPlayGoesOn)
{
    mission->KeyDown(QuickSaveKey);
    EXPECT_EQ(LastNotice(), (std::pair<std::string, int>{"Game Saved", 2000}));
    EXPECT_TRUE(fs::is_directory("Saves"));

    // A file where the save folder belongs makes the save fail.
    fs::remove_all("Saves");
    std::ofstream("Saves") << "not a folder";
    Clear();
    mission->KeyDown(QuickSaveKey);
    const auto [text, time] = LastNotice();
    EXPECT_EQ(text.rfind("Quick save failed", 0), 0u) << text;
    EXPECT_EQ(time, 8000);
    EXPECT_EQ(mission->GetMissionResult(), MissionState::Running);
    mission->KeyDown(CrouchKey);
    EXPECT_EQ(character->postures, std::vector<int>{Character::Crouching});

    // Refused in a network game, in the tutorial, after the result and while the player is dead.
    fs::remove("Saves");
    struct Refusal {
        const char* what;
        void (*arrange)(MissionState&, Character&);
    };
    const Refusal refusals[] = {
        {"network", [](MissionState& m, Character&) { m.session.networkGame = true; }},
        {"tutorial", [](MissionState& m, Character&) { std::snprintf(m.session.missionFile, sizeof m.session.missionFile, "missions\\TUTORIAL.mis"); }},
        {"result", [](MissionState& m, Character&) { m.SetMissionResult(MissionState::Won); }},
        {"dead", [](MissionState&, Character& c) { c.health = 0; }},
    };
    for (const Refusal& refusal : refusals) {
        Clear();
        mission->session.networkGame = false;
        mission->session.missionFile[0] = '\0';
        mission->SetMissionResult(MissionState::Running);
        character->health = 100;
        refusal.arrange(*mission, *character);
        mission->PerformAction(32, true);
        EXPECT_TRUE(Application::Instance()->GetNotices().empty()) << refusal.what;
        EXPECT_FALSE(fs::exists("Saves")) << refusal.what;
    }
}

TEST_F(MissionInputTest, QuickLoadEndsTheKeyAndIsOnlyForSinglePlayerMissionsOutsideTheTutorial)
{
    mission->KeyDown(QuickLoadKey);
    EXPECT_EQ(LastNotice(), (std::pair<std::string, int>{"Quick Save file not found", 3000}));
    EXPECT_TRUE(seen.empty()); // the character never sees it

    fs::create_directory("Saves");
    std::ofstream("Saves/QuickSave.sav") << "saved";
    Clear();
    mission->KeyDown(QuickLoadKey);
    EXPECT_EQ(LastNotice().second, 8000); // saved games cannot be read yet
    EXPECT_TRUE(fs::exists("Saves/QuickSave.sav"));

    for (bool tutorial : {true, false}) {
        Clear();
        mission->session.networkGame = !tutorial;
        std::snprintf(mission->session.missionFile, sizeof mission->session.missionFile, "%s",
                      tutorial ? "Missions/Tutorial.mis" : "Missions/Demo.mis");
        mission->KeyDown(QuickLoadKey);
        EXPECT_TRUE(Application::Instance()->GetNotices().empty()) << tutorial;
        EXPECT_TRUE(seen.empty());
    }
}

TEST_F(MissionInputTest, EscapeClosesTheScoreboardFirstAndThenLeavesForTheEscapeMenu)
{
    int menus = 0, leaves = 0;
    mission->returnToMainMenu = [&] { ++leaves; };
    mission->controls.scoreboardShown = true;
    mission->KeyDown(platform::os::VK_ESCAPE);
    EXPECT_FALSE(mission->controls.scoreboardShown);
    EXPECT_EQ(seen, std::vector<int>{platform::os::VK_ESCAPE}); // the key goes on
    EXPECT_EQ(leaves, 0);

    mission->openEscapeMenu = [&] { ++menus; };
    seen.clear();
    mission->KeyDown(platform::os::VK_ESCAPE);
    EXPECT_EQ(menus, 1);
    EXPECT_TRUE(seen.empty());

    // A lost mission offers the escape menu; a won one deletes its start save and goes on to
    // the debriefing.
    int debriefings = 0;
    mission->openDebriefing = [&](bool networkGame) {
        EXPECT_FALSE(networkGame);
        ++debriefings;
    };
    mission->SetMissionResult(MissionState::Lost);
    mission->KeyDown(platform::os::VK_ESCAPE);
    EXPECT_EQ(menus, 2);
    EXPECT_EQ(debriefings, 0);
    std::snprintf(mission->session.missionFile, sizeof mission->session.missionFile, "Maps/Demo/Demo.mis");
    std::ofstream("Demo-Start.sav") << "start";
    mission->SetMissionResult(MissionState::Won);
    mission->KeyDown(platform::os::VK_ESCAPE);
    EXPECT_EQ(debriefings, 1);
    EXPECT_EQ(menus, 2);
    EXPECT_FALSE(fs::exists("Demo-Start.sav"));

    // Without the menu, Escape leaves the level.
    mission->SetMissionResult(MissionState::Running);
    mission->openEscapeMenu = nullptr;
    mission->KeyDown(platform::os::VK_ESCAPE);
    EXPECT_EQ(leaves, 1);
}

} // namespace
