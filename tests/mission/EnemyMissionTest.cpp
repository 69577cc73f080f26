// The demo mission's enemies as the running level makes them: enemy soldiers in their own uniform
// that patrol, hear a noise and search its place, notice the squad, pull the alarm (the guard at
// the alarm post), fight and fall, the same way from the same seed.
#include "tests/mission/DemoLevelFixture.h"

#include "characters/objects/CarriedItem.h"
#include "characters/enemy/Enemy.h"
#include "characters/enemy/EnemyAlarm.h"
#include "characters/enemy/EnemyEvents.h"
#include "characters/level/NetworkSession.h"
#include "characters/player/Player.h"
#include "characters/level/RunningLevel.h"
#include "characters/level/WeaponQueries.h"
#include "engine/animation/AnimatedModel.h"
#include "engine/material/Material.h"
#include "items/ItemServices.h"
#include "items/WeaponItem.h"
#include "items/projectiles/Bullet.h"
#include "mission/props/AlarmProp.h"
#include "renderer/Device.h"
#include "world/map/MapDescription.h"
#include "world/map/MapObject.h"
#include "world/World.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

class EnemyMissionTest : public DemoLevelTest {
protected:
    // The squad member at the side distance, 30 units in front of the guard and facing him.
    static void PlaceBefore(MissionState* mission, Player* member, const Enemy* guard, float side)
    {
        Vector3 ahead(guard->rotation.m[6], 0.0f, guard->rotation.m[8]);
        ahead.Normalize();
        const Vector3 across(ahead.z, 0.0f, -ahead.x);
        const Vector3 at = guard->position + ahead * 30.0f + across * side;
        const float ground = mission->GetGroundHeight(Vector3(at.x, at.y + 50.0f, at.z));
        member->SetPosition(at.x, ground + 4.0f, at.z);
        member->PlaceAt(at.x, ground + 4.0f, at.z);
        member->SetYaw(guard->GetYaw() + 3.1415927f);
    }

    // One shot from the member's head at the victim's chest.
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

    // How high the head is above the ground under the body: some 5.5 standing, 4 kneeling.
    static float HeadAboveGround(MissionState* mission, Character* character)
    {
        Vector3 head;
        character->GetHeadPosition(&head);
        const Vector3& at = character->position;
        return head.y - mission->GetGroundHeight(Vector3(at.x, at.y + 50.0f, at.z));
    }

    // What a run of the scenario leaves, to compare two runs from one seed.
    struct Outcome {
        std::vector<Vector3> positions;
        std::vector<int> health;
        int frames = 0;
    };

    // The squad comes up in front of the guard: he notices it, pulls the alarm beside him and fights; the
    // squad's soldier shoots him down. Returns what the run left.
    Outcome GuardScenario(std::uint32_t seed)
    {
        Outcome outcome;
        MissionState* mission = Load(seed);
        Enemy* guard = NearestEnemy(mission, 260.0f, -60.0f);
        if (!guard || !mission->roster.localSquad || AlarmCount() != 1) {
            ADD_FAILURE() << "no guard, squad or alarm";
            return outcome;
        }
        AlarmProp& alarm = *FirstAlarm();
        Player* first = mission->roster.localSquad->GetMember(0);
        Player* second = mission->roster.localSquad->GetMember(1);
        PlaceBefore(mission, first, guard, -4.0f);
        PlaceBefore(mission, second, guard, 4.0f);

        // He notices the squad, goes to the alarm, pulls it for a second and it sounds.
        bool noticed = false, wentForAlarm = false;
        int frame = 0;
        for (; frame < 300 && alarm.state->timer <= 0.0f; ++frame) {
            Step(mission);
            noticed = noticed || guard->alerted;
            wentForAlarm = wentForAlarm || (guard->target.target == alarm.state.get() && guard->state == StateUse);
        }
        EXPECT_TRUE(noticed);
        EXPECT_TRUE(wentForAlarm);
        EXPECT_GT(alarm.state->timer, AlarmProp::kSoundTime - 1.0f) << "the alarm did not sound";
        EXPECT_NE(alarm.soundHandle, -1);
        // The enemies within 250 units run to it; the others go on.
        for (Enemy* enemy : Enemies(mission)) {
            const bool near = enemy->position.DistanceSquared(alarm.state->position) < kAlarmCallRadius * kAlarmCallRadius;
            EXPECT_EQ(enemy->alarmTarget == alarm.state.get(), near)
                << Distance2D(enemy->position, alarm.state->position.x, alarm.state->position.z);
        }
        // The post is drawn as the vane while it sounds.
        alarm.PreDraw(alarm.object, 0.0f);
        EXPECT_EQ(alarm.object->GetLibraryEntry()->mesh, alarm.alarmModel);
        alarm.PostDraw(alarm.object, 0.0f);

        // Then he fights: he aims at the squad and hurts it.
        bool aims = false, hurts = false;
        for (int i = 0; i < 600 && !(aims && hurts) && second->health > 0; ++i, ++frame) {
            Step(mission);
            aims = aims || guard->target.target == first || guard->target.target == second;
            hurts = hurts || first->health < 100 || second->health < 100;
        }
        EXPECT_TRUE(aims);
        EXPECT_TRUE(hurts);

        // The squad's soldier shoots him down: he drops his rifle beside him and keeps his knife.
        const std::size_t lying = mission->level.looseItems.size();
        for (int shot = 0; shot < 20 && guard->health > 0; ++shot, ++frame) {
            Shoot(first, guard, 60.0f);
            Step(mission);
        }
        EXPECT_LE(guard->health, 0);
        for (int i = 0; i < 5; ++i, ++frame)
            Step(mission);
        EXPECT_NE(guard->FindItemByName("Knife"), nullptr);
        EXPECT_EQ(guard->FindItemByName("M4"), nullptr);
        EXPECT_EQ(mission->level.looseItems.size(), lying + 1);
        // The rifle he dropped keeps the one spare magazine the weapon gives up.
        if (CarriedItem* dropped = mission->level.looseItems.size() > lying ? mission->level.looseItems.front() : nullptr) {
            EXPECT_STREQ(dropped->name, "M4");
            EXPECT_EQ(dropped->GetMagazines(), 1);
        }

        for (Character* character : mission->level.characters) {
            outcome.positions.push_back(character->position);
            outcome.health.push_back(character->health);
        }
        outcome.frames = frame;
        mission->UnloadLevel();
        return outcome;
    }
};

TEST_F(EnemyMissionTest, TheMapsEnemiesAreEnemySoldiersInTheirOwnUniformWithTheirVoicesAndOrders)
{
    MissionState* mission = Load(7);
    const std::vector<Enemy*> enemies = Enemies(mission);
    ASSERT_EQ(enemies.size(), 6u);
    int enemyKind = 0;
    for (Character* character : mission->level.characters)
        enemyKind += character->kind == Character::EnemyKind ? 1 : 0;
    EXPECT_EQ(enemyKind, 7) << "the six soldiers and the guard dog";
    for (Enemy* enemy : enemies) {
        // The enemy model, not the squad's: its uniform texture is the enemy's.
        AnimatedModel* body = enemy->GetModel();
        ASSERT_NE(body, nullptr);
        bool uniform = false;
        for (int m = 0; m < body->GetMaterialCount(); ++m) {
            const Material* material = body->GetMaterial(m);
            const char* texture = material && material->texture[0] ? material->texture[0]->GetName() : nullptr;
            uniform = uniform || (texture && std::strstr(texture, "enemy.tga"));
        }
        EXPECT_TRUE(uniform);
        EXPECT_GT(enemy->GetVoiceCount(Enemy::Damage), 0);
        EXPECT_GT(enemy->GetVoiceCount(Enemy::AttackSet), 0) << "the alert lines or the whistle";
        EXPECT_EQ(enemy->team, 1);
    }
    // The guard is the alarmer with the whistle; the sentries crouch again after a search.
    Enemy* guard = NearestEnemy(mission, 260.0f, -60.0f);
    EXPECT_EQ(guard->roles, Character::Stationary | Character::Alarmer);
    Enemy* sentry = nullptr;
    for (Enemy* enemy : enemies)
        if (enemy->FindItemByName("Pistol"))
            sentry = enemy;
    ASSERT_NE(sentry, nullptr);
    EXPECT_EQ(sentry->defaultPosture, Character::Crouching);
    EXPECT_EQ(sentry->posture, Character::Crouching);

    // The mission answers the enemies' hooks: its voice folder, the alarm as an object of the
    // alarm type where the post stands, and the machine gun is known as one.
    EXPECT_STREQ(RunningLevel::Enemies().VoiceFolder(), "Sound/Voice");
    const std::vector<GameObject*>& alarms = RunningLevel::Enemies().Alarms();
    ASSERT_EQ(alarms.size(), 1u);
    EXPECT_EQ(alarms[0]->objectType, kAlarmObjectType);
    EXPECT_LT(Distance2D(alarms[0]->position, 266.0f, -54.0f), 0.5f);
    EXPECT_GT(alarms[0]->health, 0);
    Item* gun = mission->CreateItem("M249");
    ASSERT_NE(gun, nullptr);
    EXPECT_TRUE(WeaponIsMachineGun(gun));
    EXPECT_FALSE(WeaponIsMachineGun(guard->GetHeldItem()));
    delete gun;
}

TEST_F(EnemyMissionTest, ThePatrolWalksItsRoundHearsANoiseSearchesItsPlaceAndGoesBackToItsRound)
{
    MissionState* mission = Load(3);
    Enemy* leader = NearestEnemy(mission, -260.0f, -260.0f);
    ASSERT_NE(leader, nullptr);
    // The squad goes north, out of every enemy's sight and hearing: only the noise is heard.
    ASSERT_NE(mission->roster.localSquad, nullptr);
    for (int i = 0; i < mission->roster.localSquad->GetMemberCount(); ++i) {
        Player* member = mission->roster.localSquad->GetMember(i);
        const float x = 10.0f * float(i), z = 280.0f;
        const float ground = mission->GetGroundHeight(Vector3(x, 500.0f, z));
        member->SetPosition(x, ground + 4.0f, z);
        member->PlaceAt(x, ground + 4.0f, z);
    }
    ASSERT_TRUE(leader->LeadsFormation());
    const Vector3 start = leader->position;
    for (int i = 0; i < 150; ++i) {
        Step(mission);
    }
    EXPECT_EQ(leader->state, StatePatrol);
    EXPECT_GT(Distance2D(leader->position, start.x, start.z), 10.0f);
    EXPECT_FALSE(leader->alerted);

    // A blast 40 units to its side: heard, and its place searched.
    Vector3 right(leader->rotation.m[0], 0.0f, leader->rotation.m[2]);
    right.Normalize();
    const Vector3 blast = leader->position + right * 40.0f;
    PtrListNode* node = mission->AddNoiseEvent(blast, 150.0f, nullptr, 0.5f, false);
    const GameObject* event = PtrListOf<MissionEvent>::ItemOf(node);
    EXPECT_EQ(event->objectType, MissionEvent::ObjectType);
    bool heard = false;
    for (int i = 0; i < 10 && !heard; ++i) {
        Step(mission);
        heard = leader->target.target == event;
    }
    ASSERT_TRUE(heard);
    EXPECT_TRUE(leader->alerted);
    const float before = Distance2D(leader->position, blast.x, blast.z);
    int frames = 0;
    for (; frames < 30 * 30 && leader->target.target == event; ++frames) {
        Step(mission);
        if (frames == 60) {
            EXPECT_EQ(leader->state, StateMoveToTarget);
            EXPECT_LT(Distance2D(leader->position, blast.x, blast.z), before) << "it goes to the place";
        }
    }
    // The search ends: the noise is forgotten, the patrol goes on, and once the last searcher of
    // the patrol is done the event leaves the list.
    EXPECT_EQ(leader->target.target, nullptr);
    EXPECT_FALSE(leader->alerted);
    for (int i = 0; i < 30; ++i)
        Step(mission);
    EXPECT_TRUE(leader->state == StatePatrol || leader->state == StateResumePatrol)
        << Soldier::StateName(leader->state);
    for (int i = 0; i < 30 * 30 && mission->GetEvents().GetCount() > 0; ++i)
        Step(mission);
    EXPECT_EQ(mission->GetEvents().GetCount(), 0);
}

TEST_F(EnemyMissionTest, TheGuardNoticesTheSquadPullsTheAlarmFightsAndFallsTheSameWayFromTheSameSeed)
{
    const Outcome once = GuardScenario(11);
    const Outcome again = GuardScenario(11);
    ASSERT_FALSE(once.positions.empty());
    EXPECT_EQ(once.frames, again.frames);
    ASSERT_EQ(once.positions.size(), again.positions.size());
    for (std::size_t i = 0; i < once.positions.size(); ++i) {
        EXPECT_EQ(once.positions[i], again.positions[i]) << i;
        EXPECT_EQ(once.health[i], again.health[i]) << i;
    }
}

TEST_F(EnemyMissionTest, AnEnemyShotDeadFallsWhateverHeWasDoing)
{
    // Each enemy is shot dead in the middle of what he does: the guard while the alarm pull he
    // started goes on (its pose played out or not), the sentry kneeling at his post.
    struct Case {
        const char* doing;
        bool guard;
        int framesIntoPull;
    };
    const Case cases[] = {{"pulling the alarm, at once", true, 0},
                          {"pulling the alarm, its pose played out", true, 6},
                          {"pulling the alarm, late", true, 20},
                          {"kneeling at his post", false, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.doing);
        MissionState* mission = Load(11);
        ASSERT_NE(mission->roster.localSquad, nullptr);
        Player* member = mission->roster.localSquad->GetMember(0);
        Enemy* victim = nullptr;
        if (c.guard) {
            victim = NearestEnemy(mission, 260.0f, -60.0f);
        } else {
            for (Enemy* enemy : Enemies(mission))
                if (enemy->FindItemByName("Pistol"))
                    victim = enemy;
        }
        ASSERT_NE(victim, nullptr);
        PlaceBefore(mission, member, victim, 0.0f);
        if (c.guard) {
            int frame = 0;
            for (; frame < 300 && victim->previousAction != 43; ++frame)
                Step(mission);
            ASSERT_EQ(victim->previousAction, 43) << "he never went for the alarm";
            for (int i = 0; i < c.framesIntoPull; ++i)
                Step(mission);
        } else {
            Step(mission);
            ASSERT_EQ(victim->posture, Character::Crouching);
        }
        const float upright = HeadAboveGround(mission, victim);
        for (int shot = 0; shot < 5 && victim->health > 0; ++shot) {
            Shoot(member, victim, 200.0f);
            Step(mission);
        }
        ASSERT_LE(victim->health, 0);
        float lowest = upright;
        for (int i = 0; i < 90; ++i) {
            Step(mission);
            lowest = std::min(lowest, HeadAboveGround(mission, victim));
        }
        EXPECT_GT(upright, 3.5f);
        EXPECT_LT(lowest, 2.0f) << "still " << HeadAboveGround(mission, victim) << " high, from " << upright;
        EXPECT_LT(HeadAboveGround(mission, victim), 2.0f);
        mission->UnloadLevel();
    }
}

} // namespace
