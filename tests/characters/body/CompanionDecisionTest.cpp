// What a neutral and a guard dog choose on scripted stimuli (a target set by hand, the sensor's
// sound accumulator filled before the frame), their damage rules and their warnings, with the
// shared generator seeded.
#include <vector>

#include "engine/core/RandomMT.h"
#include "tests/characters/NamedWeapons.h"
#include "tests/characters/body/CompanionFixture.h"

namespace {

class CompanionDecisionTest : public CompanionTest {
protected:
    void SetUp() override
    {
        CompanionTest::SetUp();
        seedMT(7);
    }

    Neutral& Villager(const Vector3& at = Vector3())
    {
        Neutral& neutral = MakeNeutral(at);
        Give(neutral, "Binoculars", CarriedItem::PlainItem, true);
        return neutral;
    }

    NamedWeapons weapons{7.0f};
};

} // namespace

TEST_F(CompanionDecisionTest, ANeutralNoticesCowersWarnsAndRaisesTheAlarmOnce)
{
    Character intruder;
    intruder.kind = Character::SquadKind;
    intruder.position = Vector3(0, 0, 40);
    struct Case {
        const char* name;
        int roles;
        float rating;
        bool hostile;
        float sound;
        bool alerted;      // after the frame
        int state;
        int eventsRaised;  // by the alarm
    };
    for (const Case& c : std::vector<Case>{
             {"quiet: nothing noticed", 0, 50, false, 0, false, StateIdle, 0},
             {"heard: notices and cowers", 0, 50, false, 40, true, StateCower, 0},
             {"hostile and heard: cowers, no alarm of its own", 0, 1000, true, 40, true, StateCower, 0},
             {"an alarmer raises the alarm", Character::Alarmer, 1000, true, 40, true, StateCower, 1},
             {"an alarmer that heard a friendly stays quiet", Character::Alarmer, 50, false, 40, true, StateCower, 0}}) {
        levelFake.events.clear();
        Neutral& neutral = Villager();
        neutral.roles = c.roles;
        neutral.SetTarget(&intruder, c.rating, c.hostile);
        neutral.sensor.soundAccumulator = c.sound;
        neutral.Update(0.05f);
        EXPECT_EQ(neutral.alerted, c.alerted) << c.name;
        EXPECT_EQ(neutral.state, c.state) << c.name << ": " << Soldier::StateName(neutral.state);
        ASSERT_EQ(int(levelFake.events.size()), c.eventsRaised) << c.name;
        if (c.eventsRaised) {
            EXPECT_FLOAT_EQ(levelFake.events[0].radius, 150.0f);
            EXPECT_EQ(levelFake.events[0].source, &neutral);
            // At most once.
            neutral.sensor.soundAccumulator = 40.0f;
            neutral.Update(0.05f);
            EXPECT_EQ(levelFake.events.size(), 1u) << c.name;
        }
        EXPECT_EQ(neutral.mayRaiseAlarm, c.alerted && (c.rating > 100 || c.hostile) ? 0 : 1) << c.name;
        neutral.LoseTarget();
        everyone.clear();
    }
}

TEST_F(CompanionDecisionTest, ACowerEndsWhenTheSquadHasGoneAndTheNextNoticeWarnsTheOthers)
{
    Character intruder;
    intruder.kind = Character::SquadKind;
    intruder.position = Vector3(0, 0, 100);
    std::vector<Character*> squad = {&intruder};
    levelFake.currentSquad = &squad;
    Neutral& neutral = Villager();
    Neutral& near = Villager(Vector3(30, 0, 0));
    Neutral& far = Villager(Vector3(70, 0, 0));
    neutral.SetTarget(&intruder, 1000.0f, true);
    neutral.sensor.soundAccumulator = 40.0f;
    neutral.Update(0.05f);
    ASSERT_EQ(neutral.state, StateCower);
    neutral.Update(0.05f);
    EXPECT_GT(neutral.timeLeft, 170.0f) << "the squad within 150 units keeps it down for 180 s";
    EXPECT_EQ(neutral.state, StateCower);

    intruder.position = Vector3(0, 0, 400);
    neutral.timeLeft = 0.0f;
    for (int frame = 0; frame < 3; ++frame)
        neutral.Update(0.05f);
    EXPECT_FALSE(neutral.alerted) << "it gets up and forgets the squad";
    EXPECT_EQ(neutral.target.target, nullptr);
    EXPECT_EQ(neutral.warn, 1);
    EXPECT_FALSE(near.alerted);

    // Noticing again it warns the neutrals within 50 units.
    intruder.position = Vector3(0, 0, 40);
    neutral.SetTarget(&intruder, 50.0f, false);
    neutral.sensor.soundAccumulator = 40.0f;
    neutral.Update(0.05f);
    EXPECT_TRUE(neutral.alerted);
    EXPECT_EQ(neutral.warn, 0);
    EXPECT_TRUE(near.alerted);
    EXPECT_EQ(near.target.target, &intruder);
    EXPECT_FALSE(far.alerted);
    levelFake.currentSquad = nullptr;
}

TEST_F(CompanionDecisionTest, DamageFollowsDifficultyRealismAndToughnessAndProtection)
{
    struct Case {
        int difficulty;
        int realism;
        float toughness;
        bool protectedNeutrals;
        int expected; // of 30
    };
    for (const Case& c : std::vector<Case>{{1, 1, 0.5f, false, 27},
                                           {1, 0, 0.5f, false, 13},
                                           {0, 1, 0.5f, false, 54},
                                           {2, 1, 0.5f, false, 13},
                                           {1, 1, 5.0f, false, 0},
                                           {1, 1, 0.5f, true, 0}}) {
        options->SetOption(Options::Difficulty, c.difficulty);
        options->SetOption(Options::DamageRealism, c.realism);
        levelFake.neutralsIgnoreDamage = c.protectedNeutrals;
        Neutral& neutral = Villager();
        neutral.toughness = c.toughness;
        neutral.TakeDamage(30, Vector3(), Vector3(), nullptr, -1, -1, false);
        EXPECT_EQ(100 - neutral.health, c.expected)
            << "difficulty " << c.difficulty << " realism " << c.realism << " toughness " << c.toughness
            << (c.protectedNeutrals ? " protected" : "");
    }
    levelFake.neutralsIgnoreDamage = false;
}

TEST_F(CompanionDecisionTest, ADogChargesSearchesAndGivesUpByRatingAndAwareness)
{
    Character intruder;
    intruder.kind = Character::SquadKind;
    struct Case {
        const char* name;
        int roles;
        float rating;
        float sound;
        int startState;
        int startPhase;
        std::uint8_t zeroIn;
        int expected;
    };
    const int finished = Soldier::Finished;
    for (const Case& c : std::vector<Case>{
             {"in clear sight: charges", 0, 20000, 0, StateIdle, 0, 0, StateChargeAttack},
             {"a zero-in asked for first", 0, 20000, 0, StateIdle, 0, 1, StateZeroIn},
             {"heard: runs to the target", 0, 500, 40, StateIdle, 0, 0, StateMoveToTarget},
             {"there and nothing heard: looks around", 0, 500, 0, StateMoveToTarget, finished, 0, StateLookAround},
             {"lost it while charging: runs after it", 0, 500, 0, StateChargeAttack, 0, 0, StateMoveToTarget},
             {"chained, in reach: attacks where it stands", Character::Stationary, 20000, 0, StateIdle, 0, 0,
              StateStationaryAttack},
             {"chained, out of reach: looks around", Character::Stationary, 500, 0, StateIdle, 0, 0,
              StateLookAround}}) {
        Animal& dog = MakeDog();
        Give(dog, "Dog Bite", CarriedItem::Weapon, true);
        dog.roles = c.roles;
        dog.alerted = true;
        dog.firstContact = 0;
        dog.savedBytes[1] = c.zeroIn;
        dog.SetState(c.startState, Soldier::kNoLimit);
        dog.phase = c.startPhase;
        intruder.position = Vector3(0, 0, 5);
        dog.SetTarget(&intruder, c.rating, true);
        dog.sensor.soundAccumulator = c.sound;
        dog.Update(0.05f);
        EXPECT_EQ(dog.state, c.expected) << c.name << ": " << Soldier::StateName(dog.state);
        EXPECT_EQ(dog.savedBytes[1], 0) << c.name;
        dog.ClearTarget();
        everyone.clear();
    }
}

TEST_F(CompanionDecisionTest, AHurtDogTurnsOnItsAttackerAndCallsTheEnemiesNear)
{
    Character attacker;
    attacker.kind = Character::SquadKind;
    attacker.position = Vector3(0, 0, 60);
    Animal& dog = MakeDog();
    Give(dog, "Dog Bite", CarriedItem::Weapon, true);
    Enemy& near = MakeEnemy(Vector3(40, 0, 0));
    Enemy& far = MakeEnemy(Vector3(80, 0, 0));
    TestItem& rifle = Give(attacker, "Rifle", CarriedItem::Weapon, true);
    dog.TakeDamage(10, Vector3(), Vector3(), nullptr, rifle.GetID(), attacker.GetID(), false);
    EXPECT_TRUE(dog.alerted);
    EXPECT_EQ(dog.target.target, &attacker);
    EXPECT_FLOAT_EQ(dog.target.rating, 1000.0f);
    EXPECT_EQ(dog.state, StateLookAround);
    EXPECT_TRUE(near.alerted);
    EXPECT_FALSE(far.alerted);

    // Killed, it lies still and drops its target.
    dog.TakeDamage(500, Vector3(), Vector3(), nullptr, rifle.GetID(), attacker.GetID(), false);
    EXPECT_LE(dog.health, 0);
    dog.Update(0.05f);
    EXPECT_EQ(dog.target.target, nullptr);
}
