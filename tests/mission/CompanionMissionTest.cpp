// The demo mission's villagers and guard dog as the running level makes them: the villagers by
// the house notice the squad and cower from it, the alarmer among them raises the alarm; the dog
// beside the eastern guard notices the squad, chases a soldier, bites him and can be shot dead.
#include "tests/mission/DemoLevelFixture.h"

#include "characters/neutral/Animal.h"
#include "characters/neutral/Neutral.h"
#include "characters/objects/CarriedItem.h"
#include "characters/player/Player.h"
#include "items/ItemServices.h"
#include "items/projectiles/Bullet.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

class CompanionMissionTest : public DemoLevelTest {
protected:
    template <typename Kind>
    static std::vector<Kind*> All(MissionState* mission)
    {
        std::vector<Kind*> found;
        for (Character* character : mission->level.characters)
            if (auto* one = dynamic_cast<Kind*>(character))
                found.push_back(one);
        return found;
    }

    // The member stands on the ground the distance in front of the character, facing it.
    static void PlaceBefore(MissionState* mission, Player* member, const Character* character, float distance)
    {
        Vector3 ahead(character->rotation.m[6], 0.0f, character->rotation.m[8]);
        ahead.Normalize();
        const Vector3 at = character->position + ahead * distance;
        const float ground = mission->GetGroundHeight(Vector3(at.x, at.y + 50.0f, at.z));
        member->SetPosition(at.x, ground + 4.0f, at.z);
        member->PlaceAt(at.x, ground + 4.0f, at.z);
        member->SetYaw(character->GetYaw() + 3.1415927f);
    }

    // Everybody of the squad but the first goes far north, out of the way.
    static void SendAwayTheOthers(MissionState* mission)
    {
        for (int i = 1; i < mission->roster.localSquad->GetMemberCount(); ++i) {
            Player* member = mission->roster.localSquad->GetMember(i);
            const float x = -200.0f + 10.0f * float(i), z = 280.0f;
            const float ground = mission->GetGroundHeight(Vector3(x, 500.0f, z));
            member->SetPosition(x, ground + 4.0f, z);
            member->PlaceAt(x, ground + 4.0f, z);
        }
    }

    static void Shoot(Player* member, Character* victim, float damage)
    {
        Vector3 from, chest;
        member->GetHeadPosition(&from);
        victim->GetHeadPosition(&chest);
        chest.y -= 1.0f;
        Vector3 towards = chest - from;
        const float range = towards.Length() + 10.0f;
        towards.Normalize();
        ItemsAddProjectile(new Bullet(from, towards, range, member, damage, damage, false));
    }
};

} // namespace

TEST_F(CompanionMissionTest, TheMapsVillagersAndDogAreMadeWithTheirBodiesVoicesAndItems)
{
    MissionState* mission = Load(5);
    const std::vector<Neutral*> villagers = All<Neutral>(mission);
    ASSERT_EQ(villagers.size(), 3u);
    int alarmers = 0;
    for (Neutral* villager : villagers) {
        EXPECT_EQ(villager->kind, Character::NeutralKind);
        EXPECT_EQ(villager->team, 0);
        EXPECT_LT(Distance2D(villager, 160.0f, 20.0f), 40.0f) << "by the house";
        EXPECT_NE(villager->FindItemByName("Binoculars"), nullptr);
        EXPECT_GT(villager->voices.Count(VoiceSets::Notice), 0);
        EXPECT_GT(villager->voices.Count(VoiceSets::AlertSet), 0);
        alarmers += villager->roles & Character::Alarmer ? 1 : 0;
    }
    EXPECT_EQ(alarmers, 1);
    const std::vector<Animal*> dogs = All<Animal>(mission);
    ASSERT_EQ(dogs.size(), 1u);
    Animal* dog = dogs[0];
    EXPECT_EQ(dog->kind, Character::EnemyKind);
    EXPECT_EQ(dog->team, 1);
    EXPECT_LT(Distance2D(dog, 260.0f, -60.0f), 20.0f) << "with the eastern guard";
    ASSERT_NE(dog->GetHeldItem(), nullptr);
    EXPECT_STREQ(dog->GetHeldItem()->name, "Dog Bite");
    EXPECT_GT(dog->voices.Count(VoiceSets::Notice), 0) << "its bark";
    EXPECT_GT(dog->voices.Count(VoiceSets::AlertSet), 0);
    ASSERT_NE(dog->GetModel(), nullptr);
}

TEST_F(CompanionMissionTest, AVillagerNoticesTheSquadCowersAndTheAlarmerRaisesTheAlarm)
{
    MissionState* mission = Load(11);
    ASSERT_NE(mission->roster.localSquad, nullptr);
    Neutral* alarmer = nullptr;
    for (Neutral* villager : All<Neutral>(mission))
        if (villager->roles & Character::Alarmer)
            alarmer = villager;
    ASSERT_NE(alarmer, nullptr);
    SendAwayTheOthers(mission);
    Player* soldier = mission->roster.localSquad->GetMember(0);
    PlaceBefore(mission, soldier, alarmer, 25.0f);
    const int eventsBefore = mission->GetEvents().GetCount();
    bool cowered = false;
    for (int frame = 0; frame < 150 && !cowered; ++frame) {
        Step(mission);
        cowered = alarmer->state == StateCower;
    }
    EXPECT_TRUE(alarmer->alerted);
    EXPECT_TRUE(cowered) << Soldier::StateName(alarmer->state);
    EXPECT_EQ(alarmer->target.target, soldier);
    EXPECT_EQ(alarmer->mayRaiseAlarm, 0);
    EXPECT_GT(mission->GetEvents().GetCount(), eventsBefore) << "the alarm raised around it";
    EXPECT_EQ(alarmer->GetHeldItem(), nullptr) << "it holds nothing while it cowers";
    EXPECT_EQ(soldier->health, 100);
}

TEST_F(CompanionMissionTest, TheDogNoticesChasesAndBitesASoldierAndIsShotDead)
{
    MissionState* mission = Load(13);
    ASSERT_NE(mission->roster.localSquad, nullptr);
    const std::vector<Animal*> dogs = All<Animal>(mission);
    ASSERT_EQ(dogs.size(), 1u);
    Animal* dog = dogs[0];
    SendAwayTheOthers(mission);
    // The guard beside it stays out of this: only the dog deals damage.
    Enemy* guard = NearestEnemy(mission, 260.0f, -60.0f);
    ASSERT_NE(guard, nullptr);
    guard->roles |= Character::Inactive;
    Player* soldier = mission->roster.localSquad->GetMember(0);
    PlaceBefore(mission, soldier, dog, 45.0f);
    const float start = Distance2D(dog, soldier->position.x, soldier->position.z);

    bool charged = false, bitten = false;
    float nearest = start;
    for (int frame = 0; frame < 30 * 20 && !bitten; ++frame) {
        Step(mission);
        charged = charged || dog->state == StateChargeAttack;
        nearest = std::min(nearest, Distance2D(dog, soldier->position.x, soldier->position.z));
        bitten = soldier->health < 100;
    }
    const float biteDistance = Distance2D(dog, soldier->position.x, soldier->position.z);
    EXPECT_TRUE(dog->alerted);
    EXPECT_EQ(dog->target.target, soldier);
    EXPECT_TRUE(charged) << Soldier::StateName(dog->state);
    EXPECT_LT(nearest, 10.0f) << "it ran up to him from " << start;
    EXPECT_TRUE(bitten);
    EXPECT_LT(biteDistance, 10.0f) << "bitten from where it stands";

    for (int shot = 0; shot < 20 && dog->health > 0; ++shot) {
        Shoot(soldier, dog, 60.0f);
        for (int frame = 0; frame < 5; ++frame)
            Step(mission);
    }
    EXPECT_LE(dog->health, 0);
    for (int frame = 0; frame < 60; ++frame)
        Step(mission);
    EXPECT_EQ(dog->target.target, nullptr) << "the dead dog lets go";
}
