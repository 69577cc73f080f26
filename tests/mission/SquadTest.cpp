// The player's squad in the running demo mission: built from the mission's set-up at the start
// point, removed again, the explosions that hurt it, its frames and the end of the mission.
#include "characters/ai/AILevelView.h"
#include "characters/level/RunningLevel.h"
#include "tests/mission/MissionFixture.h"
#include "tests/support/FramePixels.h"

#include "app/framework/Options.h"
#include "campaign/CampaignState.h"
#include "media/SoundSystem.h"
#include "characters/objects/CarriedItem.h"
#include "characters/ai/Formation.h"
#include "characters/player/Player.h"
#include "characters/player/SquadCommandView.h"
#include "characters/player/SquadRecords.h"
#include "engine/camera/Camera.h"
#include "engine/particle/qParticle.h"
#include "items/Item.h"
#include "items/ItemServices.h"
#include "items/WeaponItem.h"
#include "items/projectiles/Bullet.h"
#include "platform/os/VirtualKeys.h"
#include "world/map/MapDescription.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

class SquadTest : public DemoMissionTest {
protected:
    void TearDown() override
    {
        MissionState::Instance()->roster.spawnRandom = nullptr;
        DemoMissionTest::TearDown();
    }

    static std::vector<std::string> ItemNames(const Character* character)
    {
        std::vector<std::string> names;
        for (const CarriedItem* item : character->GetInventory())
            names.emplace_back(item->name);
        return names;
    }

    // The characters of the mission's squads (the map's own population stands apart).
    static std::size_t SquadCharacters(const MissionState* mission)
    {
        return std::size_t(std::count_if(mission->level.characters.begin(), mission->level.characters.end(),
                                         [mission](const Character* c) { return mission->FindSquadOf(c) != nullptr; }));
    }

    static bool Holds(const Character* character, const char* name)
    {
        for (const std::string& held : ItemNames(character))
            if (held == name)
                return true;
        return false;
    }
};

TEST_F(SquadTest, TheDemoSquadStandsAtTheStartWithItsItemsAndLeavesWithTheLevel)
{
    MissionState* mission = StartMission();
    ASSERT_TRUE(mission->HasLoadedLevel()) << Log();
    ASSERT_NE(mission->roster.localSquad, nullptr);
    Squad& squad = *mission->roster.localSquad;
    ASSERT_EQ(squad.GetMemberCount(), 2);
    ASSERT_EQ(mission->roster.squads.size(), 1u);
    Player& leader = *squad.GetMember(0);
    Player& second = *squad.GetMember(1);
    EXPECT_EQ(SquadCharacters(mission), 2u);
    const int mapFormations = Formation::GetInstances().GetCount() - 1;
    EXPECT_EQ(leader.controller, Player::kLocalHuman);
    EXPECT_EQ(second.controller, Player::kComputer);
    EXPECT_EQ(leader.team, 2);
    EXPECT_EQ(second.team, 2);
    EXPECT_EQ(leader.GetSquad(), &squad);
    EXPECT_EQ(mission->roster.controlledCharacter, static_cast<Character*>(&leader));

    // Each member carries its mission items and a knife; the leader leads the wedge.
    for (const char* name : {"Knife", "M4", "Pistol", "Frag Grenade", "Remote Charge", "Air Strike Radio"})
        EXPECT_TRUE(Holds(&leader, name)) << name;
    for (const char* name : {"Knife", "Sniper Rifle", "Pistol", "First Aid Kit"})
        EXPECT_TRUE(Holds(&second, name)) << name;
    EXPECT_NE(leader.GetHeldItem(), nullptr);
    ASSERT_NE(leader.formationLink, nullptr);
    EXPECT_STREQ(leader.formationLink->formation->definitionName, "Wedge.for");
    EXPECT_EQ(second.GetFormationLeader(), &leader);

    // Both stand on the ground near the start, apart.
    const Vector3 start = mission->level.map->startPosition;
    for (const Player* member : {&leader, &second}) {
        EXPECT_LT(std::abs(member->position.x - start.x) + std::abs(member->position.z - start.z), 30.0f);
        const float ground = mission->GetGroundHeight(member->position + Vector3(0.0f, 6.0f, 0.0f));
        EXPECT_NEAR(member->position.y, ground + 4.0f, 0.5f);
    }
    EXPECT_GT(leader.position.DistanceSquared(second.position), 1.0f);

    // The hooks the mission owns answer from the squad.
    EXPECT_EQ(RunningLevel::Command().CurrentSquadRoster(), static_cast<SquadRoster*>(&squad));
    EXPECT_EQ(RunningLevel::Records().VoiceSet(1), 1);
    EXPECT_EQ(RunningLevel::Records().PlayerName(1), "Cpl. Mara Quill");
    EXPECT_EQ(ItemsLocalSquadIndex(&second), 1);
    EXPECT_NE(RunningLevel::Items(), nullptr);
    ASSERT_NE(RunningLevel::AI().CurrentSquad(), nullptr);
    EXPECT_EQ(RunningLevel::AI().CurrentSquad()->size(), 2u);
    // Control passes to the second member: the camera follows it.
    RunningLevel::Command().TakeControl(&second);
    EXPECT_EQ(mission->level.camera->GetParent(), &second.GetAttachNode());

    // A set-up of member bytes 255, 3, 255, 255 makes a one-member squad; an unknown item is
    // skipped with a log line.
    SquadSetup setup;
    setup.members[1] = 3;
    std::strcpy(setup.itemNames[1][0], "Knife");
    std::strcpy(setup.itemNames[1][1], "Moonbeam Rifle");
    Squad* other = mission->AddSquad(setup, start + Vector3(20.0f, 0.0f, 0.0f), Matrix3(), true);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->GetMemberCount(), 1);
    EXPECT_EQ(mission->roster.localSquad, &squad);
    EXPECT_EQ(ItemNames(other->GetMember(0)), std::vector<std::string>{"Knife"});
    EXPECT_NE(Log().find("Unknown item \"Moonbeam Rifle\" in the squad set-up skipped"), std::string::npos);
    EXPECT_EQ(SquadCharacters(mission), 3u);
    EXPECT_EQ(mission->GetSquadSize(other), 1);
    float distance = 0.0f;
    EXPECT_EQ(mission->FindNearestSquadMember(other->GetMember(0)->position, &distance), other->GetMember(0));
    EXPECT_EQ(distance, 0.0f);

    // The local squad's removal takes its members and puts the camera back over the start.
    mission->RemovePlayerSquads(-1);
    EXPECT_TRUE(mission->roster.squads.empty());
    EXPECT_EQ(SquadCharacters(mission), 0u);
    EXPECT_EQ(mission->roster.localSquad, nullptr);
    EXPECT_EQ(mission->roster.controlledCharacter, nullptr);
    EXPECT_EQ(mission->level.camera->GetParent(), mission->level.root.get());
    EXPECT_NEAR(mission->level.camera->position.y, start.y + 6.0f, 0.01f);
    EXPECT_EQ(Formation::GetInstances().GetCount(), mapFormations);
}

TEST_F(SquadTest, ExplosionDamageFallsOffToZeroAtTheRadius)
{
    struct Case { int damage; float radius; float distance; int expected; };
    for (const Case& c : {Case{100, 10.0f, 5.0f, 50}, Case{100, 10.0f, 0.0f, 100}, Case{100, 10.0f, 10.0f, 0},
                          Case{100, 10.0f, 15.0f, 0}, Case{100, 10.0f, -2.0f, 100}, Case{100, 0.0f, 0.0f, 0},
                          Case{80, 8.0f, 6.0f, 20}, Case{-50, 10.0f, 5.0f, 0}})
        EXPECT_EQ(MissionState::ExplosionDamage(c.damage, c.radius, c.distance), c.expected)
            << c.damage << " " << c.radius << " " << c.distance;

    const Vector3 centre(0.0f, 0.0f, 0.0f), east(1.0f, 0.0f, 0.0f), none;
    EXPECT_TRUE(MissionState::IsInBlastRange(Vector3(10.0f, 0.0f, 0.0f), centre, 10.0f, none, 0.0f));
    EXPECT_FALSE(MissionState::IsInBlastRange(Vector3(10.1f, 0.0f, 0.0f), centre, 10.0f, none, 0.0f));
    EXPECT_TRUE(MissionState::IsInBlastRange(Vector3(5.0f, 0.0f, 1.0f), centre, 10.0f, east, 0.5f));
    EXPECT_FALSE(MissionState::IsInBlastRange(Vector3(0.0f, 0.0f, 5.0f), centre, 10.0f, east, 0.5f));
    // Without a direction the cone is a sphere.
    EXPECT_TRUE(MissionState::IsInBlastRange(Vector3(0.0f, 0.0f, 5.0f), centre, 10.0f, none, 0.5f));
}

TEST_F(SquadTest, AnExplosionHurtsTheMembersInsideItsRadiusOnly)
{
    MissionState* mission = StartMission();
    ASSERT_NE(mission->roster.localSquad, nullptr) << Log();
    Player& leader = *mission->roster.localSquad->GetMember(0);
    Player& second = *mission->roster.localSquad->GetMember(1);
    Application::Instance()->Update(); // the bodies take their places
    // The blast 2 units beyond the leader, away from the second member: radius 4 holds only the leader.
    Vector3 aim, secondAim;
    leader.GetAimPoint(0, &aim);
    second.GetAimPoint(0, &secondAim);
    Vector3 away = aim - secondAim;
    ASSERT_GT(away.Length(), 2.5f);
    away.Normalize();
    const Vector3 centre = aim + Vector3(0.0f, 1.0f, 0.0f) + away * 2.0f;

    mission->ApplyExplosion(centre, 0, 4.0f, nullptr, false, 0xFFFF, Vector3(), 0.0f);
    mission->ApplyExplosion(centre, 100, 0.0f, nullptr, false, 0xFFFF, Vector3(), 0.0f);
    EXPECT_EQ(leader.health, 100);
    mission->ApplyExplosion(centre, 40, 4.0f, nullptr, false, 0xFFFF, Vector3(), 0.0f);
    EXPECT_LT(leader.health, 100);
    EXPECT_GE(leader.stunTime, 5.0f);
    EXPECT_EQ(second.health, 100);

    // The concussion quiets the world to a third and silences the music until it wears off.
    const float master = float(Options::Instance()->GetOption(Options::MasterVolume)) * 0.01f;
    Application::Instance()->Update();
    EXPECT_NEAR(sound->GetMasterVolume(), master / 3.0f, 1e-4f);
    EXPECT_EQ(Application::Instance()->GetMusicVolume(), 0.0f);
    leader.stunTime = 0.0f;
    Application::Instance()->Update();
    EXPECT_NEAR(sound->GetMasterVolume(), master, 1e-4f);
    EXPECT_GT(Application::Instance()->GetMusicVolume(), 0.0f);
}

TEST_F(SquadTest, TheSpawnSpreadGivesUpAfterFiftyTriesAndFitsThePointToTheGround)
{
    MissionState* mission = StartMission();
    ASSERT_NE(mission->roster.localSquad, nullptr) << Log();
    Player& leader = *mission->roster.localSquad->GetMember(0);
    Player& second = *mission->roster.localSquad->GetMember(1);
    second.SetPosition(leader.position.x, leader.position.y, leader.position.z);
    int draws = 0;
    mission->roster.spawnRandom = [&draws] {
        ++draws;
        return 0.0f; // never moves: the crowd never clears
    };
    mission->SpreadSpawn(&second);
    EXPECT_EQ(draws, 100);
    const float ground = mission->GetGroundHeight(second.position);
    EXPECT_GE(second.position.y, ground + 3.99f);

    // Over a hole off the map nothing is found up to the top: no ground.
    EXPECT_EQ(mission->GetGroundHeight(Vector3(1.0e6f, -10.0f, 1.0e6f)), 3.4e38f);
    EXPECT_LT(mission->GetGroundHeight(mission->level.map->startPosition + Vector3(0.0f, 6.0f, 0.0f)), 1.0e4f);
}

TEST_F(SquadTest, TheRunningMissionDrawsItsSquadAndShowsTheEndTitleWhenWon)
{
    Application* application = Application::Instance();
    application->SetQuitOnLeave(true);
    MissionState* mission = StartMission();
    ASSERT_NE(mission->roster.localSquad, nullptr) << Log();
    for (int i = 0; i < 4; ++i) {
        application->Update();
        application->Draw();
    }
    // The squad is always drawn; an enemy or a villager only within the view distance (and the
    // view).
    const float far = mission->level.camera->GetFar();
    int squad = 0, nearEnemies = 0;
    for (Character* character : mission->level.characters) {
        if (character->kind == Character::SquadKind)
            ++squad;
        else if (character->position.DistanceSquared(mission->level.camera->position) <= far * far)
            ++nearEnemies;
    }
    EXPECT_EQ(squad, mission->roster.localSquad->GetMemberCount());
    EXPECT_GE(mission->hud.drawnCharacters, squad);
    EXPECT_LE(mission->hud.drawnCharacters, squad + nearEnemies);
    EXPECT_FALSE(mission->controls.paused);

    // A shot resolved at once leaves the projectile list on the next frame; an effect joins the
    // running list under the scene root.
    ItemsAddProjectile(new Bullet(mission->level.camera->world.GetTranslation(), Vector3(0.0f, -1.0f, 0.0f), 50.0f,
                                  nullptr, 10.0f, 10.0f, false));
    ASSERT_EQ(mission->level.projectiles.size(), 1u);
    auto* effect = new qParticle();
    ItemsAddParticleEffect(effect);
    EXPECT_TRUE(mission->level.particleEffects.Contains(effect));
    EXPECT_EQ(effect->GetParent(), mission->level.root.get());
    application->Update();
    application->Draw();
    EXPECT_TRUE(mission->level.projectiles.empty());

    // The frame without a title, then won: the camera circles above the leader and the title
    // covers the top of the picture.
    const std::vector<std::uint32_t> before = ReadFrame(device);
    mission->SetMissionResult(MissionState::Won);
    application->Update();
    application->Draw();
    EXPECT_TRUE(mission->controls.paused);
    EXPECT_EQ(mission->level.camera->GetParent(), &mission->level.outcomePivot);
    EXPECT_STREQ(mission->EndTitle(), "MISSION COMPLETE");
    const std::vector<std::uint32_t> after = ReadFrame(device);
    ASSERT_EQ(after.size(), 800u * 600u);
    int changed = 0;
    for (int y = 80; y < 110; ++y)
        for (int x = 250; x < 550; ++x)
            changed += before[std::size_t(y * 800 + x)] != after[std::size_t(y * 800 + x)];
    EXPECT_GT(changed, 100);

    // Escape leaves the level: the squad, its formation and its items are gone.
    application->KeyDown(platform::os::VK_ESCAPE);
    EXPECT_FALSE(mission->IsLevelPresent());
    EXPECT_TRUE(mission->roster.squads.empty());
    EXPECT_TRUE(mission->level.characters.empty());
    EXPECT_EQ(mission->level.particleEffects.Count(), 0);
    EXPECT_EQ(Formation::GetInstances().GetCount(), 0);
    EXPECT_FALSE(application->EndsOnError());
}

TEST_F(SquadTest, PickingUpTakesMissingMagazinesKeepsToEightItemsAndSwapsTheSlotWeapon)
{
    MissionState* mission = StartMission();
    ASSERT_NE(mission->roster.localSquad, nullptr) << Log();
    Player& leader = *mission->roster.localSquad->GetMember(0);
    auto* rifle = dynamic_cast<WeaponItem*>(leader.FindItemByName("M4"));
    ASSERT_NE(rifle, nullptr);

    // A second M4: refused while the carried one lacks nothing, then gives what it lacks.
    std::unique_ptr<Item> spare(mission->CreateItem("M4"));
    auto* spareRifle = dynamic_cast<WeaponItem*>(spare.get());
    ASSERT_NE(spareRifle, nullptr);
    rifle->SetMagazines(rifle->GetMaxMagazines());
    EXPECT_FALSE(mission->PickUpFlag(spare.get(), &leader, false));
    rifle->SetMagazines(rifle->GetMaxMagazines() - 1);
    spareRifle->SetMagazines(3);
    EXPECT_TRUE(mission->PickUpFlag(spare.get(), &leader, false));
    EXPECT_EQ(rifle->GetMagazines(), rifle->GetMaxMagazines());
    EXPECT_EQ(spareRifle->GetMagazines(), 2);
    EXPECT_EQ(spare->owner, nullptr);

    // Plain items up to eight carried; the ninth is refused.
    std::vector<std::unique_ptr<Item>> refused;
    while (leader.GetInventory().size() < 8) {
        Item* extra = mission->CreateItem("Binoculars");
        ASSERT_NE(extra, nullptr);
        ASSERT_TRUE(mission->PickUpFlag(extra, &leader, false));
    }
    refused.emplace_back(mission->CreateItem("Binoculars"));
    EXPECT_FALSE(mission->PickUpFlag(refused.back().get(), &leader, false));
    EXPECT_EQ(leader.GetInventory().size(), 8u);

    // A rifle of another kind takes the M4's slot; the M4 is dropped into the world.
    Player& second = *mission->roster.localSquad->GetMember(1);
    CarriedItem* sniper = second.GetPrimaryWeapon();
    ASSERT_NE(sniper, nullptr);
    second.DropItem(sniper, second.position);
    ASSERT_EQ(sniper->owner, nullptr);
    EXPECT_TRUE(mission->PickUpFlag(sniper, &leader, false));
    EXPECT_EQ(leader.GetPrimaryWeapon(), sniper);
    EXPECT_EQ(rifle->owner, nullptr);
    EXPECT_NE(std::find(mission->level.looseItems.begin(), mission->level.looseItems.end(), rifle), mission->level.looseItems.end());
}

TEST_F(SquadTest, ARespawnedSquadStandsAliveAtTheStartWithTheCameraOnItsSoldier)
{
    MissionState* mission = StartMission();
    ASSERT_NE(mission->roster.localSquad, nullptr) << Log();
    Player& leader = *mission->roster.localSquad->GetMember(0);
    Player& second = *mission->roster.localSquad->GetMember(1);
    leader.health = 0;
    second.health = 0;
    leader.SetPosition(400.0f, 50.0f, 400.0f);
    mission->SetMissionResult(MissionState::Lost);
    EXPECT_TRUE(mission->IsSquadDefeated(mission->roster.localSquad));
    mission->RespawnSquad(mission->roster.localSquad);
    EXPECT_EQ(leader.health, 100);
    EXPECT_EQ(second.health, 100);
    EXPECT_FALSE(mission->IsSquadDefeated(mission->roster.localSquad));
    EXPECT_EQ(mission->GetMissionResult(), MissionState::Running);
    EXPECT_EQ(mission->level.camera->GetParent(), &leader.GetAttachNode());
    const Vector3 start = mission->level.map->startPosition;
    EXPECT_LT(std::abs(leader.position.x - start.x) + std::abs(leader.position.z - start.z), 30.0f);
}

TEST_F(SquadTest, ScoreCountersIgnoreSlotMinusOneAndTeamZero)
{
    MissionState* mission = MissionState::Instance();
    std::memset(mission->roster.scoreTable, 0, sizeof mission->roster.scoreTable);
    mission->AddKill(3, 2);
    mission->AddKill(3, 0);
    mission->AddScore(3, 2);
    mission->AddDeath(3);
    mission->AddKill(-1, 2);
    mission->AddDeath(-1);
    EXPECT_EQ(mission->GetScore(3), 3);
    EXPECT_EQ(mission->GetKills(3), 2);
    EXPECT_EQ(mission->GetDeaths(3), 1);
    EXPECT_EQ(mission->GetTeamScore(2), 2);
    mission->PenalizeScore(3);
    mission->DecrementScore(3);
    EXPECT_EQ(mission->GetScore(3), -1);
    mission->ResetPlayerScore(3);
    EXPECT_EQ(mission->GetScore(3), 0);
    EXPECT_EQ(mission->GetKills(3), 0);
    EXPECT_EQ(mission->GetDeaths(3), 0);
    EXPECT_EQ(mission->GetTeamScore(2), 2);
    std::memset(mission->roster.scoreTable, 0, sizeof mission->roster.scoreTable);
}

} // namespace
