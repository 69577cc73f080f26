// The demo mission's explosives played through the real program in this process, one frame of
// 1/30 s at a time: the leader lays his remote charge by its item key and the fire button and sets
// it off with secondary fire; the second soldier's timed charge is defused by picking it up and
// then left to explode; the leader walks into the mine field north-east of the start,
// mine after mine.
#include "tests/app/ProgramRun.h"
#include "tests/mission/ScriptedInput.h"

#include "app/framework/Application.h"
#include "app/program/Program.h"
#include "characters/player/Player.h"
#include "engine/core/RandomMT.h"
#include "items/explosives/ChargeItems.h"
#include "items/explosives/MineFieldItem.h"
#include "items/explosives/MineItems.h"
#include "engine/serial/SaveStream.h"
#include "items/explosives/TimedBomb.h"
#include "mission/MissionState.h"
#include "mission/rules/Squad.h"
#include "platform/os/Messages.h"
#include "platform/os/Window.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <vector>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

class ExplosivesPlayTest : public testing::Test {
protected:
    void SetUp() override
    {
        previous = fs::current_path();
        fs::current_path(folder.path);
        ASSERT_EQ(StartProgram("-win -w 400 -h 300 -nosound -skipmenu -map Maps/Demo/Demo.mis"), ProgramStarted)
            << programrun::ReadFile("q3D.log");
        seedMT(1);
        std::srand(1);
        mission = MissionState::Instance();
        mission->frameClock = [] { return 1.0f / 30.0f; };
        Turn(46);
        ASSERT_EQ(Application::Instance()->GetState(), mission) << programrun::ReadFile("q3D.log");
        ASSERT_NE(mission->roster.localSquad, nullptr);
        window = Program().window;
    }

    void TearDown() override
    {
        scriptedinput::ReleaseAllKeys();
        if (mission)
            mission->frameClock = nullptr;
        EXPECT_EQ(ShutDownProgram(0), 0);
        fs::current_path(previous);
    }

    void Turn(int frames = 1)
    {
        for (int i = 0; i < frames; ++i) {
            platform::os::Message message;
            while (platform::os::TakeMessage(message))
                platform::os::DispatchMessage(message);
            Application::Instance()->Update();
            Application::Instance()->Draw();
        }
    }

    void Press(SDL_Scancode key)
    {
        scriptedinput::PushKey(window->GetSdlWindow(), key, true);
        Turn();
        scriptedinput::PushKey(window->GetSdlWindow(), key, false);
        Turn();
    }

    void Click(Uint8 button)
    {
        scriptedinput::PushButton(window->GetSdlWindow(), button, true, 200, 150);
        Turn();
        scriptedinput::PushButton(window->GetSdlWindow(), button, false, 200, 150);
        Turn();
    }

    bool Loose(CarriedItem* item) const
    {
        const auto& loose = mission->level.looseItems;
        return std::find(loose.begin(), loose.end(), item) != loose.end();
    }

    template <class T>
    static T* Carried(const Character* character)
    {
        for (CarriedItem* item : character->GetInventory())
            if (auto* found = dynamic_cast<T*>(item))
                return found;
        return nullptr;
    }

    // The numbered item key ("Select Item n", keys 4 to 8) that reaches the item.
    static SDL_Scancode ItemKey(const Character* character, const CarriedItem* wanted)
    {
        int n = 0;
        for (CarriedItem* item : character->GetInventory())
            if (item->GetSlotKind() == 2) {
                if (item == wanted)
                    break;
                ++n;
            }
        return SDL_Scancode(SDL_SCANCODE_4 + n);
    }

    programrun::RunFolder folder{true};
    fs::path previous;
    MissionState* mission = nullptr;
    platform::os::Window* window = nullptr;
};

} // namespace

TEST_F(ExplosivesPlayTest, TheLeaderLaysHisChargeAndSetsItOffWithSecondaryFire)
{
    Player* leader = mission->roster.localSquad->GetLeader();
    ASSERT_EQ(leader, mission->roster.controlledCharacter);
    auto* charge = Carried<RemoteExplosiveItem>(leader);
    ASSERT_NE(charge, nullptr) << programrun::ReadFile("q3D.log");

    Press(ItemKey(leader, charge));
    Click(SDL_BUTTON_LEFT);
    ASSERT_EQ(charge->owner, nullptr);
    EXPECT_EQ(leader->health, 100);
    EXPECT_TRUE(Loose(charge));
    EXPECT_EQ(charge->previousOwnerID, leader->GetID());
    const float apart = std::hypot(charge->position.x - leader->position.x, charge->position.z - leader->position.z);
    EXPECT_NEAR(apart, 4.0f, 0.5f);
    EXPECT_FALSE(charge->HasGoneOff());

    // Back off out of the blast, then secondary fire.
    scriptedinput::PushKey(window->GetSdlWindow(), SDL_SCANCODE_S, true);
    Turn(150);
    scriptedinput::PushKey(window->GetSdlWindow(), SDL_SCANCODE_S, false);
    Turn();
    const int health = leader->health;
    ASSERT_EQ(health, 100) << programrun::ReadFile("q3D.log");
    // With the rifle in hand (the radio, next in the kit, answers the mouse itself).
    leader->SelectItem(leader->GetPrimaryWeapon());
    Turn();
    Click(SDL_BUTTON_RIGHT);
    // Without sound a spent charge may already be deleted: only a charge still lying is read.
    EXPECT_TRUE(!Loose(charge) || charge->HasGoneOff());
    // Without sound the charge is gone by the next frames; the leader, out of its reach, is whole.
    Turn(3);
    EXPECT_FALSE(Loose(charge));
    EXPECT_EQ(leader->health, health) << std::hypot(charge->position.x - leader->position.x,
                                                    charge->position.z - leader->position.z);
}

TEST_F(ExplosivesPlayTest, ATimedChargeIsDefusedByPickingItUpAndExplodesWhenLeftAlone)
{
    Squad* squad = mission->roster.localSquad;
    ASSERT_GE(squad->GetMemberCount(), 2);
    Player* sapper = squad->GetMember(1);
    auto* timed = Carried<TimedChargeItem>(sapper);
    ASSERT_NE(timed, nullptr);
    sapper->SelectItem(timed);
    for (int i = 0; i < 6; ++i)
        timed->UseSecondary(); // 10 s round to 0 s, then back to 10 s
    EXPECT_EQ(timed->Timer(), 0);
    timed->UseSecondary();
    EXPECT_EQ(timed->Timer(), 10);

    const auto bombs = [&] {
        int count = 0;
        for (Bullet* projectile : mission->level.projectiles)
            count += dynamic_cast<TimedBomb*>(projectile) && projectile->IsActive() ? 1 : 0;
        return count;
    };
    timed->BeginUse(false);
    EXPECT_EQ(timed->owner, nullptr);
    EXPECT_TRUE(Loose(timed));
    EXPECT_EQ(bombs(), 1);
    Turn(60);
    EXPECT_TRUE(sapper->PickUpItem(timed, false));
    Turn(2);
    EXPECT_EQ(bombs(), 0);

    sapper->SelectItem(timed);
    timed->BeginUse(false);
    ASSERT_EQ(bombs(), 1);
    const Vector3 at = timed->position;
    sapper->MoveTo(at.x + 200.0f, at.y, at.z);
    Turn(11 * 30);
    EXPECT_EQ(bombs(), 0);
    EXPECT_FALSE(Loose(timed));
}

TEST_F(ExplosivesPlayTest, WalkingIntoTheMineFieldSetsOffOneMineAfterAnother)
{
    MineFieldItem* field = nullptr;
    for (CarriedItem* item : mission->level.looseItems)
        if (auto* found = dynamic_cast<MineFieldItem*>(item))
            field = found;
    ASSERT_NE(field, nullptr) << programrun::ReadFile("q3D.log");
    EXPECT_EQ(field->Grid().Count(), 16);
    std::vector<Vector3> mines;
    field->LayOut(mines);
    ASSERT_EQ(mines.size(), 16u);

    Player* leader = mission->roster.localSquad->GetLeader();
    const auto goneOff = [&] { return std::count(field->GoneOff().begin(), field->GoneOff().end(), 1); };
    for (int k : {0, 5}) {
        leader->health = 100;
        leader->MoveTo(mines[std::size_t(k)].x + 1.0f, mines[std::size_t(k)].y + 4.0f, mines[std::size_t(k)].z);
        Turn();
        EXPECT_EQ(field->GoneOff()[std::size_t(k)], 1) << k;
        EXPECT_LT(leader->health, 100);
        leader->health = 100;
        Turn(5);
    }
    EXPECT_EQ(goneOff(), 2);
}

TEST_F(ExplosivesPlayTest, ALaidMineArmsAfterASecondSparesItsPlacerAndIsArmedWhenLoaded)
{
    Player* sapper = mission->roster.localSquad->GetMember(1);
    auto* mine = Carried<APMineItem>(sapper);
    ASSERT_NE(mine, nullptr);
    sapper->SelectItem(mine);
    ASSERT_EQ(mine->owner, nullptr);
    EXPECT_TRUE(Loose(mine));
    EXPECT_FALSE(mine->IsArmed());
    Turn(20);
    EXPECT_FALSE(mine->IsArmed());
    Turn(15);
    EXPECT_TRUE(mine->IsArmed());
    // Its placer walks over it unharmed.
    sapper->MoveTo(mine->position.x, sapper->position.y, mine->position.z);
    Turn(5);
    EXPECT_FALSE(mine->HasGoneOff());

    std::vector<std::uint8_t> bytes(4096);
    SaveStream out = SaveStream::OnMemory(bytes.data(), std::uint32_t(bytes.size()));
    mine->Save(&out);
    std::unique_ptr<Item> copy(mission->CreateItem("AP Mine"));
    auto* loaded = dynamic_cast<APMineItem*>(copy.get());
    ASSERT_NE(loaded, nullptr);
    SaveStream in = SaveStream::OnMemory(bytes.data(), out.position);
    loaded->Load(&in);
    EXPECT_LE(loaded->ArmingDelay(), 0.0f);
    EXPECT_TRUE(loaded->IsArmed());
    EXPECT_EQ(in.position, out.position);
    // The copy took the original's identifier with its block; it goes while the level runs.
    copy.reset();
}
