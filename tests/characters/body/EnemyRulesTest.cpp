// The enemy's rules one at a time: lives and posture on and off the network, the skill ramp and
// accuracy, damage scaling and the reaction to a hit, the attack choice on a seeded generator,
// the alarm and the first contact, and what a dead enemy drops.
#include <cmath>
#include <string>
#include <vector>

#include "characters/enemy/EnemyAlarm.h"
#include "tests/characters/NamedWeapons.h"
#include "tests/characters/SessionFake.h"
#include "engine/core/RandomMT.h"
#include "tests/characters/body/EnemyFixture.h"

namespace {

class EnemyRulesTest : public EnemyTest {};

// An alarm prop as the mission lists it: an object of type 5 with a position and health.
class TestAlarm : public GameObject {
public:
    explicit TestAlarm(const Vector3& at)
    {
        objectType = kAlarmObjectType;
        position = at;
    }
};

} // namespace

TEST_F(EnemyRulesTest, LivesAndPostureFollowTheNetworkRole)
{
    struct Case {
        const char* name;
        bool server, client;
        int lives;
        int sentPosture; // -1: nothing sent
        int posture;     // after asking for crouching
    };
    for (const Case& c : std::vector<Case>{{"no network", false, false, 255, -1, Character::Crouching},
                                           {"host", true, true, 3, Character::Crouching, Character::Crouching},
                                           {"client", false, true, 3, -1, Character::Standing}}) {
        Enemy& enemy = MakeEnemy();
        SessionFake session;
        session.hosting = c.server;
        session.connected = c.client;
        session.settings.enemyLives = 3;
        enemy.ResetLives();
        EXPECT_EQ(enemy.GetLives(), c.lives) << c.name;
        enemy.SetPosture(Character::Crouching);
        if (c.sentPosture == -1) {
            EXPECT_TRUE(session.posturesSent.empty()) << c.name;
        } else {
            ASSERT_EQ(session.posturesSent.size(), 1u) << c.name;
            EXPECT_EQ(session.posturesSent[0], std::make_pair(enemy.GetID(), c.sentPosture)) << c.name;
        }
        EXPECT_EQ(enemy.posture, c.posture) << c.name;
    }
}

TEST_F(EnemyRulesTest, WeaponSkillsRampOverThirtySecondsOfEngagementAndAccuracyFollowsTheDifficulty)
{
    Enemy& enemy = MakeEnemy();
    enemy.engagementTime = 45.0f;
    EXPECT_FLOAT_EQ(enemy.GetSkill(2), 0.2f + 30.0f * 0.03333f * (0.70f - 0.2f));
    EXPECT_FLOAT_EQ(enemy.engagementTime, 30.0f) << "the cap is written back";
    EXPECT_FLOAT_EQ(enemy.lastSkill, enemy.GetSkill(2));

    enemy.engagementTime = 0.0f;
    struct Case {
        int index;
        float expected;
    };
    for (const Case& c : std::vector<Case>{{0, 0.40f}, {1, 0.2f}, {2, 0.2f}, {3, 0.2f}, {4, 0.30f}, {5, 0.35f},
                                           {6, 0.5f}, {7, 0.25f}, {8, 0.40f}, {9, 0.40f}, {10, 0.5f}, {-1, 0.5f}}) {
        EXPECT_FLOAT_EQ(enemy.GetSkill(c.index), c.expected) << "skill " << c.index;
        EXPECT_FLOAT_EQ(enemy.lastSkill, c.expected) << "skill " << c.index;
    }
    enemy.engagementTime = 15.0f;
    EXPECT_NEAR(enemy.GetSkill(3), 0.2f + 0.5f * (0.80f - 0.2f), 1e-3f);
    enemy.toughnessOverride = 0.9f;
    EXPECT_FLOAT_EQ(enemy.GetSkill(7), 0.9f);

    for (auto [difficulty, expected] : std::vector<std::pair<int, float>>{{0, 0.5f}, {1, 0.75f}, {2, 1.25f}, {5, 1.0f}}) {
        options->SetOption(Options::Difficulty, difficulty);
        EXPECT_FLOAT_EQ(enemy.GetAccuracyAdjustment(), expected) << "difficulty " << difficulty;
    }
}

TEST_F(EnemyRulesTest, DamageIsScaledByDifficultyRealismAndToughness)
{
    Enemy& enemy = MakeEnemy();
    struct Case {
        int difficulty, realism;
        float toughness;
        int expected;
    };
    for (const Case& c : std::vector<Case>{{0, 1, 0.0f, 80}, {0, 0, 0.0f, 40}, {1, 1, 0.0f, 40}, {1, 0, 0.0f, 20},
                                           {2, 1, 0.0f, 20}, {2, 0, 0.0f, 10}, {1, 1, 1.0f, 32}, {1, 1, 2.5f, 20},
                                           {1, 1, 9.0f, 0}, {1, 1, -1e30f, 40000}, {1, 1, -HUGE_VALF, 40000},
                                           {1, 1, std::nanf(""), 0}}) {
        options->SetOption(Options::Difficulty, c.difficulty);
        options->SetOption(Options::DamageRealism, c.realism);
        enemy.toughnessOverride = c.toughness;
        EXPECT_EQ(enemy.ScaleDamage(40), c.expected)
            << "difficulty " << c.difficulty << " realism " << c.realism << " toughness " << c.toughness;
    }
    options->SetOption(Options::Difficulty, 1);
    options->SetOption(Options::DamageRealism, 1);
    enemy.toughnessOverride = 0.0f;
    enemy.TakeDamage(30, enemy.position, Vector3(0, 0, 1), nullptr, -1, -1, true);
    EXPECT_EQ(enemy.health, 70);

    levelFake.ignoreDamage = true;
    enemy.TakeDamage(30, enemy.position, Vector3(0, 0, 1), nullptr, -1, -1, true);
    EXPECT_EQ(enemy.health, 70) << "the mission's flag makes enemies ignore damage";
}

TEST_F(EnemyRulesTest, AHitAlertsTheEnemyAndItsComradesWithin50UnitsUnlessAnExplosiveDidIt)
{
    Enemy& enemy = MakeEnemy(Vector3(0, 0, 0));
    Enemy& near = MakeEnemy(Vector3(40, 0, 0));
    Enemy& far = MakeEnemy(Vector3(60, 0, 0));
    Character attacker;
    attacker.kind = Character::SquadKind;
    attacker.position = Vector3(0, 0, 200);
    TestItem& grenade = Give(attacker, "Grenade", CarriedItem::Weapon, true);
    grenade.explosive = true;

    enemy.TakeDamage(10, enemy.position, Vector3(0, 0, 1), nullptr, grenade.GetID(), attacker.GetID(), true);
    EXPECT_FALSE(enemy.alerted) << "an explosive's victim does not take the thrower as its target";
    EXPECT_EQ(enemy.target.target, nullptr);

    TestItem& rifle = Give(attacker, "Rifle", CarriedItem::Weapon, true);
    enemy.TakeDamage(10, enemy.position, Vector3(0, 0, 1), nullptr, rifle.GetID(), attacker.GetID(), true);
    EXPECT_TRUE(enemy.alerted);
    EXPECT_EQ(enemy.target.target, &attacker);
    EXPECT_FLOAT_EQ(enemy.target.rating, 1000.0f);
    EXPECT_EQ(enemy.target.hostile, 1);
    EXPECT_EQ(enemy.state, StateLookAround);
    EXPECT_FLOAT_EQ(enemy.timeLeft, 5.0f);
    EXPECT_TRUE(near.alerted);
    EXPECT_EQ(near.target.target, &attacker);
    EXPECT_FALSE(far.alerted);
    enemy.DropTarget();
    near.DropTarget();
}

TEST_F(EnemyRulesTest, TheAttackStateFollowsTheWeaponTheDistanceAndTheSeededDraw)
{
    NamedWeapons weapons(500.0f);
    Character victim;
    victim.position = Vector3(0, 0, 50);

    const auto expected = [](const std::string& weapon, bool close, std::uint32_t m) {
        if (weapon == "SMG")
            return close ? (m < 80 ? StateBurstAttack : StateAttack)
                         : (m < 50 ? StateBurstAttack : m >= 90 ? StateAttack : StateFadeAttack);
        if (weapon == "LMG")
            return close ? (m < 50 ? StateBurstAttack : StateAttack)
                         : (m < 40 ? StateBurstAttack : m >= 90 ? StateAttack : StateFadeAttack);
        return StateAttack;
    };
    int seen[SoldierStateCount] = {};
    for (const char* weapon : {"SMG", "LMG", "Rifle"}) {
        Enemy& enemy = MakeEnemy();
        Give(enemy, weapon, CarriedItem::Weapon, true);
        for (std::uint32_t seed = 1; seed <= 40; ++seed) {
            const bool close = seed % 2 == 0;
            enemy.SetState(StateIdle, Soldier::kNoLimit);
            enemy.SetTarget(&victim, 20000.0f, true);
            enemy.target.distanceSquared = close ? 2500.0f : 40000.0f;
            seedMT(seed);
            const std::uint32_t m = randomMT() % 100;
            seedMT(seed);
            enemy.ChooseAttackState();
            const int want = expected(weapon, close, m);
            EXPECT_EQ(enemy.state, want) << weapon << " seed " << seed;
            ++seen[want];
            enemy.ChooseAttackState();
            EXPECT_EQ(enemy.state, want) << "an attack state in progress is kept";
        }
        enemy.DropTarget();
    }
    EXPECT_GT(seen[StateBurstAttack], 0);
    EXPECT_GT(seen[StateFadeAttack], 0);

    Enemy& charger = MakeEnemy();
    Give(charger, "SMG", CarriedItem::Weapon, true);
    charger.SetTarget(&victim, 20000.0f, true);
    charger.charge = 1;
    charger.ChooseAttackState();
    EXPECT_EQ(charger.state, StateChargeAttack);
    charger.DropTarget();

    // A target riding in a vehicle that is not a tank is fought from where the enemy stands.
    Enemy& gunner = MakeEnemy();
    Give(gunner, "SMG", CarriedItem::Weapon, true);
    victim.moveMode = 2;
    gunner.SetTarget(&victim, 20000.0f, true);
    gunner.ChooseAttackState();
    EXPECT_EQ(gunner.state, StateStationaryAttack);
    gunner.DropTarget();
}

TEST_F(EnemyRulesTest, DroppingTheTargetCalmsTheEnemyAndOnlyASquadFarAwayRearmsFirstContact)
{
    Character squadMember;
    squadMember.kind = Character::SquadKind;
    squads = {{&squadMember}};
    Enemy& enemy = MakeEnemy();
    TestItem& pistol = Give(enemy, "Pistol", CarriedItem::Weapon, false);
    enemy.defaultPosture = Character::Crouching;
    for (auto [distance, rearmed] : std::vector<std::pair<float, bool>>{{250.0f, false}, {350.0f, true}}) {
        squadMember.position = Vector3(distance, 0, 0);
        enemy.SetTarget(&squadMember, 20000.0f, true);
        enemy.alerted = true;
        enemy.firstContact = enemy.firstSight = enemy.mayAlertComrades = 0;
        enemy.DropTarget();
        EXPECT_FALSE(enemy.alerted);
        EXPECT_EQ(enemy.target.target, nullptr);
        EXPECT_EQ(squadMember.targetedByCount, 0);
        EXPECT_EQ(enemy.GetHeldItem(), &pistol) << "the default item comes out";
        EXPECT_EQ(enemy.posture, Character::Crouching);
        EXPECT_EQ(enemy.mayAlertComrades, 1);
        EXPECT_EQ(enemy.firstContact, rearmed ? 1 : 0) << distance;
        EXPECT_EQ(enemy.firstSight, rearmed ? 1 : 0) << distance;
    }
}

TEST_F(EnemyRulesTest, AReinforcementCalledInByItsTriggerGoesForTheNearestSquadMemberWithin1000Units)
{
    Character nearMember, farMember;
    nearMember.kind = farMember.kind = Character::SquadKind;
    nearMember.position = Vector3(0, 0, 900);
    farMember.position = Vector3(0, 0, -950);
    squads = {{&farMember, &nearMember}};
    Enemy& enemy = MakeEnemy();
    Give(enemy, "Rifle", CarriedItem::Weapon, true);
    enemy.roles = Character::Inactive | Character::Reinforcements;
    enemy.activationTrigger = 3;
    bool fired = false;
    enemy.isTriggerFired = [&fired](int trigger) { return fired && trigger == 3; };
    enemy.Update(0.05f);
    EXPECT_EQ(enemy.target.target, nullptr) << "waiting for its trigger";
    fired = true;
    enemy.Update(0.05f);
    EXPECT_EQ(enemy.roles & Character::Inactive, 0);
    EXPECT_TRUE(enemy.alerted);
    EXPECT_EQ(enemy.target.target, &nearMember);
    EXPECT_EQ(enemy.state, StateMoveToTarget);
    enemy.DropTarget();

    Enemy& late = MakeEnemy();
    nearMember.position = Vector3(0, 0, 1100);
    farMember.position = Vector3(0, 0, -1200);
    late.CallAsReinforcement();
    EXPECT_EQ(late.target.target, nullptr) << "nobody within 1000 units";
}

TEST_F(EnemyRulesTest, TheAlarmCallsTheEnemiesWithin250UnitsAndAClientOnlyTellsTheServer)
{
    TestAlarm alarm(Vector3(0, 0, 0));
    Enemy& near = MakeEnemy(Vector3(240, 0, 0));
    Enemy& far = MakeEnemy(Vector3(260, 0, 0));
    near.roles = far.roles = Character::AlarmResponder;

    SessionFake session;
    session.connected = true;
    const std::vector<std::pair<std::int16_t, bool>>& sent = session.alarmsSent;
    TriggerAlarm(&alarm, true);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].first, alarm.GetID());
    EXPECT_FALSE(sent[0].second);
    EXPECT_EQ(near.alarmTarget, nullptr) << "the server's alarm comes back to the client";
    EXPECT_TRUE(sounded.empty());

    session.hosting = true;
    TriggerAlarm(&alarm, true);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_TRUE(sent[1].second);
    EXPECT_EQ(near.alarmTarget, &alarm);
    EXPECT_EQ(near.roles & Character::AlarmResponder, 0);
    EXPECT_EQ(far.alarmTarget, nullptr);
    EXPECT_EQ(far.roles, Character::AlarmResponder);
    ASSERT_EQ(sounded.size(), 1u);
    EXPECT_EQ(sounded[0], &alarm);
}

TEST_F(EnemyRulesTest, AtFirstContactAnAlarmerRunsToANearAlarmPullsItAndOtherwiseRaisesAnEvent)
{
    struct Case {
        const char* name;
        float alarmDistance;
        int roles;
        bool takesAlarm;
    };
    for (const Case& c : std::vector<Case>{
             {"stationary at 9", 9.0f, Character::Alarmer | Character::Stationary, true},
             {"stationary at 50", 50.0f, Character::Alarmer | Character::Stationary, false},
             {"mobile at 50", 50.0f, Character::Alarmer, true},
             {"mobile at 120", 120.0f, Character::Alarmer, false},
             {"no alarmer at 9", 9.0f, 0, false}}) {
        Character intruder;
        intruder.kind = Character::SquadKind;
        intruder.position = Vector3(0, 0, 300);
        TestAlarm alarm(Vector3(c.alarmDistance, 0, 0));
        alarms = {&alarm};
        events.clear();
        sounded.clear();
        Enemy& enemy = MakeEnemy(Vector3(0, 0, 0));
        Give(enemy, "Rifle", CarriedItem::Weapon, true);
        enemy.roles = c.roles;
        enemy.alerted = true;
        enemy.SetTarget(&intruder, 500.0f, true);
        enemy.Update(0.05f);
        EXPECT_EQ(enemy.target.target == &alarm, c.takesAlarm) << c.name;
        EXPECT_EQ(enemy.firstContact, 0) << c.name;
        const bool raises = (c.roles & Character::Alarmer) && !c.takesAlarm;
        EXPECT_EQ(events.size(), raises ? 1u : 0u) << c.name;
        if (raises) {
            EXPECT_EQ(events[0].source, &enemy);
            EXPECT_FLOAT_EQ(events[0].radius, 150.0f);
            EXPECT_FLOAT_EQ(events[0].value, 0.5f);
        }
        if (c.takesAlarm) {
            // The enemy reaches the alarm (the stationary one already stands there), uses it for
            // a second and sounds it.
            for (int frame = 0; frame < 400 && sounded.empty(); ++frame) {
                if (!(c.roles & Character::Stationary) && enemy.state == StateMoveToTarget)
                    enemy.SetPosition(alarm.position.x - 2.0f, enemy.position.y, alarm.position.z);
                enemy.Update(0.05f);
            }
            ASSERT_EQ(sounded.size(), 1u) << c.name;
            EXPECT_EQ(enemy.target.target, nullptr) << c.name << ": the target is dropped once the alarm sounds";
        }
        enemy.DropTarget();
        everyone.clear();
        alarms.clear();
    }
}

TEST_F(EnemyRulesTest, ADeadEnemyKeepsItsKnifeAndDropsTheRestThreeUnitsToItsRight)
{
    NamedWeapons weapons(0.0f, 1);
    Enemy& enemy = MakeEnemy(Vector3(10, 0, 20));
    enemy.SetYaw(0.0f);
    TestItem& knife = Give(enemy, "Knife", CarriedItem::Weapon, false);
    TestItem& rifle = Give(enemy, "Rifle", CarriedItem::Weapon, true);
    rifle.magazines = 6;
    TestItem& medkit = Give(enemy, "Medkit", CarriedItem::PlainItem, false);
    enemy.health = 0;
    enemy.Update(0.05f);
    EXPECT_TRUE(enemy.OwnsItem(&knife));
    EXPECT_FALSE(enemy.OwnsItem(&rifle));
    EXPECT_FALSE(enemy.OwnsItem(&medkit));
    EXPECT_EQ(rifle.magazines, 1) << "a dropped weapon keeps its share of the ammunition";
    ASSERT_EQ(loose.size(), 2u);
    const Vector3 right(enemy.rotation(0, 0), enemy.rotation(0, 1), enemy.rotation(0, 2));
    for (CarriedItem* item : loose) {
        const Vector3 offset = item->position - enemy.position;
        EXPECT_NEAR(offset.x, right.x * 3.0f, 0.5f) << item->name;
        EXPECT_NEAR(offset.z, right.z * 3.0f, 0.5f) << item->name;
    }
    for (int frame = 0; frame < 200; ++frame)
        enemy.Update(0.05f);
    EXPECT_FLOAT_EQ(enemy.deathTimer, -0.0001f);
    enemy.ResetHealth();
    EXPECT_EQ(enemy.health, 100);
    EXPECT_FLOAT_EQ(enemy.deathTimer, 0.0f);
}
