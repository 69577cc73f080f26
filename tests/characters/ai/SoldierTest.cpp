// The soldier: its state changes, behaviours on scripted stimuli with a seeded generator,
// targeting and ratings, stimuli, and its saved block.
#include <cmath>
#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "characters/level/NoLevel.h"
#include "characters/level/RunningLevel.h"
#include "characters/ai/Soldier.h"
#include "engine/core/RandomMT.h"
#include "engine/core/q3DError.h"
#include "media/Sound3D.h"
#include "tests/characters/LevelFake.h"
#include "tests/characters/ai/AIFixture.h"
#include "tools/demodata/writers/AIDataWriter.h"

namespace {

// A weapon as the soldier sees it: a carried item of the weapon category whose kind tests and
// range come through the weapon hooks.
class TestWeapon : public CarriedItem {
public:
    TestWeapon(const char* typeName, bool automaticFire) : automatic(automaticFire)
    {
        std::strncpy(name, typeName, kNameSize - 1);
        category = Weapon;
    }
    bool IsWeapon() override { return true; }
    bool BeginUse(bool forced) override
    {
        ++pulls;
        return CarriedItem::BeginUse(forced);
    }
    bool automatic;
    int pulls = 0;
    float range = 100.0f;
};

class SoldierTest : public AIFixture {
protected:
    void SetUp() override
    {
        AIFixture::SetUp();
        levelFake.characters = &everyone;
    }

    void Arm(Soldier& soldier, TestWeapon& weapon)
    {
        ASSERT_TRUE(soldier.PickUpItem(&weapon, true));
        soldier.SelectItem(&weapon);
    }

    void Disarm(Soldier& soldier, TestWeapon& weapon) { soldier.DropItem(&weapon, soldier.position); }

    // The test weapons answer for themselves.
    struct TestWeaponQueries : NoLevel {
        bool IsAutomatic(CarriedItem& item) override { return static_cast<TestWeapon&>(item).automatic; }
        float Range(CarriedItem& item) override { return static_cast<TestWeapon&>(item).range; }
    } weapons;
    RunningLevel level{{.weapons = &weapons}};
    LevelFake levelFake;
    std::vector<Character*> everyone;
};

Stimulus Seen(float sight, float percent)
{
    Stimulus s;
    s.sight = sight;
    s.distancePercent = percent;
    return s;
}

} // namespace

TEST_F(SoldierTest, SettingTheSameStateKeepsItsPhaseAndTimeAndLeavingReleasesAnAutomaticTrigger)
{
    Soldier soldier;
    TestWeapon rifle("Rifle", true);
    Arm(soldier, rifle);
    EXPECT_EQ(soldier.state, StateIdle);
    soldier.SetState(StateLookAround, 5.0f);
    soldier.phase = Soldier::Running;
    soldier.timeLeft = 2.0f;
    soldier.SetState(StateLookAround, 5.0f);
    EXPECT_EQ(soldier.phase, Soldier::Running);
    EXPECT_EQ(soldier.timeLeft, 2.0f);

    soldier.UseHeldItem(true);
    ASSERT_TRUE(rifle.IsInUse());
    soldier.aiming = 1;
    soldier.SetState(StateAttack, Soldier::kNoLimit);
    EXPECT_FALSE(rifle.IsInUse());
    EXPECT_EQ(soldier.aiming, 0);
    EXPECT_EQ(soldier.previousState, StateLookAround);
    EXPECT_EQ(soldier.phase, Soldier::Entering);
    EXPECT_NE(std::string(soldier.debugText).find("***Soldier::SetState(Attack) (GameObject: "), std::string::npos);
    soldier.SetState(42, 0.0f);
    EXPECT_NE(std::string(soldier.debugText).find("Default (BAD!!!)"), std::string::npos);
    soldier.SetState(StateIdle, 0.0f);
    Disarm(soldier, rifle);
}

TEST_F(SoldierTest, TimedStatesCountDownAndFinishOnlyOnce)
{
    Soldier soldier;
    soldier.SetState(StateLookAround, 1.0f);
    for (int frame = 0; frame < 9; ++frame)
        soldier.UpdateAI(0.1f);
    EXPECT_FALSE(soldier.IsFinished(StateLookAround));
    soldier.UpdateAI(0.15f);
    EXPECT_TRUE(soldier.IsFinished(StateLookAround));
    EXPECT_EQ(soldier.timeLeft, 0.0f);
    soldier.UpdateAI(0.1f);
    EXPECT_TRUE(soldier.IsFinished(StateLookAround)) << "finished stays finished";

    soldier.SetState(StateIdle, Soldier::kNoLimit);
    for (int frame = 0; frame < 100; ++frame)
        soldier.UpdateAI(1.0f);
    EXPECT_FALSE(soldier.IsFinished(StateIdle)) << "no limit, no end";
}

TEST_F(SoldierTest, ZeroInTakesLongerFartherAwayAndOnEasierSettings)
{
    Soldier soldier;
    soldier.sensor.sightRange = 400.0f;
    Soldier enemy;
    enemy.position = Vector3(0, 0, 40);
    soldier.SetTarget(&enemy, 20000.0f, true);
    soldier.SetState(StateZeroIn, Soldier::kNoLimit);
    soldier.UpdateAI(0.0f);
    EXPECT_FLOAT_EQ(soldier.timeLeft, 0.8f) << "close and standing";

    soldier.SetState(StateIdle, 0.0f);
    enemy.position = Vector3(0, 0, 200);
    soldier.SetTarget(&enemy, 20000.0f, true);
    soldier.SetState(StateZeroIn, Soldier::kNoLimit);
    soldier.UpdateAI(0.0f);
    // Medium difficulty without a scope: 200 x 3 / 400.
    EXPECT_FLOAT_EQ(soldier.timeLeft, 1.5f);
}

TEST_F(SoldierTest, CowerRenewsWhileASquadMemberIsNearAndThenTakesItsWeaponBack)
{
    Soldier player;
    player.position = Vector3(0, 0, 100);
    std::vector<Character*> squad = {&player};
    levelFake.currentSquad = &squad;

    Soldier civilian;
    civilian.SetState(StateCower, 1.0f);
    for (int frame = 0; frame < 11; ++frame)
        civilian.UpdateAI(0.1f);
    EXPECT_GT(civilian.timeLeft, 179.0f);
    EXPECT_FALSE(civilian.IsFinished(StateCower));

    player.position = Vector3(0, 0, 151);
    civilian.timeLeft = 0.05f;
    civilian.UpdateAI(0.1f);
    EXPECT_TRUE(civilian.IsFinished(StateCower));
}

TEST_F(SoldierTest, AnAutomaticWeaponFiresInBurstsWithPausesFromTheSeededGenerator)
{
    seedMT(2024);
    const float burst = 1.0f + 0.5f * frandomMT();
    const float pause = 0.7f + 0.2f * frandomMT();
    seedMT(2024);

    Soldier gunner;
    TestWeapon rifle("Rifle", true);
    Arm(gunner, rifle);
    Soldier enemy;
    enemy.position = Vector3(0, 0, 50);
    gunner.SetTarget(&enemy, 20000.0f, true);
    gunner.target.distanceSquared = 2500.0f;
    gunner.SetState(StateStationaryAttack, Soldier::kNoLimit);
    gunner.UpdateAI(0.0f);
    EXPECT_FLOAT_EQ(gunner.timerA, burst);
    EXPECT_FLOAT_EQ(gunner.timerB, pause);
    EXPECT_TRUE(rifle.IsInUse());

    float held = 0.0f;
    while (rifle.IsInUse() && held < 5.0f) {
        gunner.UpdateAI(0.05f);
        held += 0.05f;
    }
    EXPECT_NEAR(held, burst, 0.06f);
    // Out of range: no more shots.
    gunner.target.distanceSquared = 1e6f;
    const int pulls = rifle.pulls;
    for (int frame = 0; frame < 100; ++frame)
        gunner.UpdateAI(0.05f);
    EXPECT_EQ(rifle.pulls, pulls);
    gunner.SetState(StateIdle, 0.0f);
    Disarm(gunner, rifle);
}

TEST_F(SoldierTest, RatingsCountStimuliSightHealthAndWhoElseTargets)
{
    Soldier observer, candidate, other1, other2;
    candidate.position = Vector3(0, 0, 50);
    // Seen above its distance mark, in clear sight (nothing in the empty world blocks), no item.
    const Stimulus seen = Seen(60.0f, 20.0f);
    const float r = 60.0f + 50.0f;
    EXPECT_FLOAT_EQ(candidate.GetTargetRating(&observer, &seen, 2500.0f), r + 15900.0f);
    const Stimulus faint = Seen(10.0f, 20.0f);
    EXPECT_FLOAT_EQ(candidate.GetTargetRating(&observer, &faint, 2500.0f), 60.0f) << "not above the distance mark";

    other1.SetTarget(&candidate, 1.0f, false);
    other2.SetTarget(&candidate, 1.0f, false);
    EXPECT_FLOAT_EQ(candidate.GetTargetRating(&observer, &seen, 2500.0f), r + 15900.0f - 200.0f);
    observer.ConsiderTarget(&candidate, seen, 2500.0f);
    EXPECT_EQ(observer.target.target, &candidate);
    EXPECT_EQ(candidate.targetedByCount, 3);
    EXPECT_FLOAT_EQ(observer.target.rating, r + 15900.0f - 200.0f) << "its own targeting does not count";
    EXPECT_EQ(observer.target.hostile, 1);

    // A weaker candidate does not displace it; the target's own record follows the new stimulus.
    Soldier weaker;
    observer.ConsiderTarget(&weaker, faint, 100.0f);
    EXPECT_EQ(observer.target.target, &candidate);
    EXPECT_EQ(weaker.targetedByCount, 0);
    observer.ConsiderTarget(&candidate, faint, 400.0f);
    EXPECT_FLOAT_EQ(observer.target.distanceSquared, 400.0f);
    EXPECT_EQ(observer.target.hostile, 1) << "never cleared here";

    observer.target.Clear();
    EXPECT_EQ(candidate.targetedByCount, 2);
    EXPECT_EQ(observer.target.rating, TargetInfo::kNoRating);
}

TEST_F(SoldierTest, ComradesAreAlertedOnceWithinTheRadius)
{
    Soldier caller, near, far, calm;
    caller.kind = near.kind = far.kind = Character::EnemyKind;
    calm.kind = Character::NeutralKind;
    near.position = Vector3(10, 0, 0);
    far.position = Vector3(200, 0, 0);
    calm.position = Vector3(5, 0, 0);
    everyone = {&caller, &near, &far, &calm};
    Soldier intruder;
    caller.AlertNearby(Character::EnemyKind, 100.0f, &intruder);
    EXPECT_TRUE(near.alerted);
    EXPECT_EQ(near.state, StateLookAround);
    EXPECT_EQ(near.timeLeft, 5.0f);
    EXPECT_EQ(near.target.target, &intruder);
    EXPECT_EQ(near.target.rating, 1000.0f);
    EXPECT_FALSE(far.alerted);
    EXPECT_FALSE(calm.alerted);

    caller.roles = Character::Inactive;
    far.position = Vector3(20, 0, 0);
    caller.AlertNearby(Character::EnemyKind, 100.0f, &intruder);
    EXPECT_FALSE(far.alerted) << "an inactive soldier calls nobody";
}

TEST_F(SoldierTest, AFormationOfFourSharesVisibilityAndNoise)
{
    WriteFile("Formations/Wedge.for", WriteFormationText({{-5, -5, 0, 0, 0}, {5, -5, 0, 0, 0}, {-10, -10, 0, 0, 0}, {10, -10, 0, 0, 0}}));
    Formation::LoadDirectory("Formations");
    Soldier lone;
    lone.velocity = Vector3(5, 0, 0);
    lone.UpdateStimuli();
    Soldier leader, a, b, c;
    leader.SetFormation("Wedge.for");
    a.JoinFormationOf(&leader);
    b.JoinFormationOf(&leader);
    c.JoinFormationOf(&leader);
    leader.velocity = Vector3(5, 0, 0);
    leader.UpdateStimuli();
    EXPECT_FLOAT_EQ(leader.visibility, lone.visibility / 4.0f);
    EXPECT_FLOAT_EQ(leader.noise, lone.noise / 4.0f);
    EXPECT_FLOAT_EQ(lone.noise, 1.5f * 30.0f);
    EXPECT_FLOAT_EQ(lone.size, 20.0f);
    // Day, standing, no statistics table: 300 units of recognition.
    EXPECT_FLOAT_EQ(lone.visibility, 100.0f * 300.0f / 100.0f);
}

TEST_F(SoldierTest, APlayingSoundMakesTheSoldierLouderUntilItFades)
{
    Soldier soldier;
    soldier.UpdateStimuli();
    EXPECT_FLOAT_EQ(soldier.noise, 0.0f) << "still and silent";
    // A brushed object's sound is playing (a play handle with no sound object behind it).
    soldier.proximityHandle = 4;
    soldier.proximityLevel = 1.0f;
    ASSERT_TRUE(soldier.IsPlayingSound());
    soldier.UpdateStimuli();
    EXPECT_FLOAT_EQ(soldier.noise, 1.5f * 40.0f) << "heard even while still";
    soldier.velocity = Vector3(5, 0, 0);
    soldier.running = true;
    soldier.UpdateStimuli();
    EXPECT_FLOAT_EQ(soldier.noise, 1.5f * (30.0f + 20.0f + 40.0f));

    // Nothing renews it: it fades out within half a second and the soldier is quieter again.
    soldier.UpdateMapObjectContacts(0.2f);
    soldier.UpdateMapObjectContacts(0.2f);
    EXPECT_TRUE(soldier.IsPlayingSound());
    EXPECT_NEAR(soldier.proximityLevel, 0.2f, 1e-6f);
    soldier.UpdateMapObjectContacts(0.2f);
    EXPECT_FALSE(soldier.IsPlayingSound());
    EXPECT_EQ(soldier.proximityLevel, 0.0f);
    soldier.UpdateStimuli();
    EXPECT_FLOAT_EQ(soldier.noise, 1.5f * 50.0f);

    // A sound that cannot play leaves no handle behind.
    Sound3D silent;
    soldier.PlayProximitySound(&silent, Vector3(1, 2, 3));
    EXPECT_FALSE(soldier.IsPlayingSound());
    EXPECT_EQ(soldier.proximitySound, nullptr);
}

TEST_F(SoldierTest, FollowersTurnAtMostThreeRadiansASecond)
{
    WriteFile("Formations/Wedge.for", WriteFormationText({{-5, -5, 0, 0, 0}, {5, -5, 0, 0, 0}}));
    Formation::LoadDirectory("Formations");
    Soldier leader, follower;
    leader.SetFormation("Wedge.for");
    follower.JoinFormationOf(&leader);
    follower.position = Vector3(0, 0, 100);
    follower.SetState(StateFollow, Soldier::kNoLimit);
    for (int frame = 0; frame < 10; ++frame) {
        follower.UpdateAI(0.1f);
        EXPECT_LE(std::fabs(follower.turnAngle), 0.3f + 1e-6f);
    }
}

TEST_F(SoldierTest, SoldierBlockGoldenBytesRoundTripAndHostileBlocks)
{
    Soldier soldier;
    soldier.goalPosition = Vector3(1, 2, 3);
    soldier.destination.destination = Vector3(4, 5, 6);
    soldier.destination.lastGoal = Vector3(7, 8, 9);
    soldier.destination.value = 11;
    soldier.destination.run = 1;
    soldier.SetState(StateMoveToDestination, 12.5f);
    soldier.phase = Soldier::Running;
    soldier.timerA = 0.5f;
    soldier.followDelay = 0.25f;
    soldier.aiming = 1;
    Soldier enemy;
    soldier.SetTarget(&enemy, 9000.0f, true);

    const std::vector<std::uint8_t> bytes = SaveToMemory(soldier);
    std::vector<std::uint8_t> head(1 << 16);
    SaveStream stream = SaveStream::OnMemory(head.data(), std::uint32_t(head.size()));
    soldier.AI::Save(&stream);
    head.resize(stream.position);
    ExpectedBytes expected;
    expected.bytes(head.data(), head.size());
    expected.u8(1).v3(1, 2, 3).v3(4, 5, 6).v3(7, 8, 9).i32(11).u8(1).u8(1).u8(0).u8(0);
    expected.i32(StateMoveToDestination).i32(StateIdle).i32(1).f32(12.5f).f32(0.5f).f32(0.25f).u8(1).u8(1);
    EXPECT_EQ(bytes, expected.data);

    Soldier copy;
    copy.SetTarget(&enemy, 50.0f, false);
    LoadFromMemory(copy, bytes);
    EXPECT_EQ(copy.target.target, nullptr) << "targets are not saved";
    EXPECT_EQ(enemy.targetedByCount, 1);
    EXPECT_EQ(copy.state, StateMoveToDestination);
    EXPECT_EQ(copy.timeLeft, 12.5f);
    EXPECT_EQ(copy.destination.lastGoal, Vector3(7, 8, 9));
    EXPECT_EQ(SaveToMemory(copy), bytes);

    const std::size_t at = head.size();
    struct Case {
        std::size_t offset;
        std::uint8_t value;
        const char* message;
    };
    for (const Case& c : {Case{at, 2, "Incorrect version number in Soldier block"},
                          Case{at + 45, 0x40, "out of range"}, Case{at + 56, 0x80, "out of range"},
                          Case{at + 68, 0x7F, "not a number"}}) {
        std::vector<std::uint8_t> damaged = bytes;
        damaged[c.offset] = c.value;
        if (c.value == 0x7F)
            damaged[c.offset - 1] = 0xC0;
        Soldier victim;
        try {
            LoadFromMemory(victim, damaged);
            ADD_FAILURE() << c.message << " loaded";
        } catch (const q3DError& error) {
            EXPECT_NE(std::string(error.GetText()).find(c.message), std::string::npos) << error.GetText();
        }
        EXPECT_EQ(victim.state, StateIdle);
    }
}

TEST_F(SoldierTest, AfterABurstAtCloseRangeTheSoldierMovesAsideNeverAhead)
{
    // A centre node with one neighbour to the left, one to the right and one ahead.
    const float xs[4] = {0, -25, 25, 0};
    const float zs[4] = {0, 0, 0, 25};
    std::vector<WaypointFileNode> nodes(4);
    std::vector<std::uint32_t> links = {1, 2, 3, 0, 0, 0};
    const int firsts[4] = {0, 3, 4, 5};
    const int totals[4] = {3, 1, 1, 1};
    for (std::size_t i = 0; i < 4; ++i) {
        nodes[i].centre[0] = xs[i];
        nodes[i].centre[2] = zs[i];
        nodes[i].radius = 10;
        nodes[i].firstLink = firsts[i];
        nodes[i].linkTotal = std::uint8_t(totals[i]);
    }
    WriteFile("map.wps", WriteWaypointFile(nodes, links));
    WaypointGraph graph;
    ASSERT_TRUE(graph.Load("map.wps"));
    levelFake.graph = &graph;

    // Where the soldier heads after its first burst at a target at the distance: -1 left, 1 right,
    // 0 ahead.
    const auto moveAfterBurst = [&](std::uint32_t seed, float distance) {
        seedMT(seed);
        Soldier gunner;
        TestWeapon rifle("Rifle", false);
        rifle.range = 500.0f;
        Arm(gunner, rifle);
        Soldier enemy;
        enemy.position = Vector3(0, 0, distance);
        gunner.SetTarget(&enemy, 20000.0f, true);
        gunner.SetState(StateBurstAttack, Soldier::kNoLimit);
        int side = 99;
        for (int frame = 0; frame < 200 && side == 99; ++frame) {
            gunner.target.distanceSquared = distance * distance;
            gunner.UpdateAI(0.05f);
            if (const PtrListNode* tail = gunner.routePath->GetTail()) {
                const Vector3& end = PathPosition(tail);
                side = end.x < 0 ? -1 : end.x > 0 ? 1 : 0;
            }
        }
        gunner.SetState(StateIdle, 0.0f);
        Disarm(gunner, rifle);
        return side;
    };
    std::set<int> close, far;
    for (std::uint32_t seed = 1; seed <= 12; ++seed) {
        close.insert(moveAfterBurst(seed, 40.0f));
        far.insert(moveAfterBurst(seed, 480.0f));
    }
    EXPECT_EQ(close, (std::set<int>{-1, 1}));
    EXPECT_EQ(far, std::set<int>{0}) << "beyond 0.9 of the range it moves ahead";
}

TEST_F(SoldierTest, TheFightingPostureFollowsTheDistanceOfAThingThatIsNoPerson)
{
    GameObject crate; // not a character
    struct Case {
        float distance;
        int posture;
    };
    // A standing soldier takes its one step towards the posture (prone is the short way round).
    for (const Case& c : {Case{150.0f, Character::Crouching}, Case{99.0f, Character::Prone},
                          Case{250.0f, Character::Standing}, Case{20.0f, Character::Standing}}) {
        Soldier soldier;
        crate.position = Vector3(0, 0, c.distance);
        soldier.SetTarget(&crate, 1000.0f, true);
        soldier.ChooseAttackPosture();
        EXPECT_EQ(soldier.posture, c.posture) << c.distance;
        soldier.target.Clear();
    }
}

TEST_F(SoldierTest, GunfireIsHeardFromThePeopleLedSquadsOrWhenShotAt)
{
    class Person : public Soldier {
    public:
        int GetController() override { return 0; }
    };
    Person leader;
    TestWeapon rifle("Rifle", true);
    Arm(leader, rifle);
    levelFake.squads = {{&leader}};
    Soldier listener;
    listener.position = Vector3(0, 0, 399);
    EXPECT_FALSE(listener.HearsGunfire());
    leader.UseHeldItem(true);
    EXPECT_TRUE(listener.HearsGunfire());
    listener.position = Vector3(0, 0, 401);
    EXPECT_FALSE(listener.HearsGunfire());
    listener.shotAt = 1;
    EXPECT_TRUE(listener.HearsGunfire());
    leader.StopUsingHeldItem();
    Disarm(leader, rifle);
}

TEST_F(SoldierTest, ALeaderMovingOffItsAnchorTellsItsMembersToReform)
{
    WriteFile("Formations/Wedge.for", WriteFormationText({{-5, -5, 0, 0, 0}, {5, -5, 0, 0, 0}}));
    Formation::LoadDirectory("Formations");
    Soldier leader, member;
    leader.SetFormation("Wedge.for");
    member.JoinFormationOf(&leader);
    member.SetState(StateFollow, Soldier::kNoLimit);
    Formation* formation = leader.formationLink->formation;

    leader.velocity = Vector3(0, 0, 5);
    leader.position = Vector3(0, 0, 4);
    leader.UpdateFormationLeader();
    EXPECT_EQ(member.reformFlag, 0);
    leader.position = Vector3(0, 0, 6);
    leader.UpdateFormationLeader();
    EXPECT_EQ(member.reformFlag, 1) << "the first frame beyond 5 units";
    member.reformFlag = 0;
    leader.UpdateFormationLeader();
    EXPECT_EQ(member.reformFlag, 0) << "only that frame";

    // Turned away from the anchored facing: the orientation moves on and followers wait a moment.
    leader.SetYaw(1.5f);
    leader.UpdateFormationLeader();
    EXPECT_EQ(formation->orientation.m[6], leader.rotation.m[6]);
    EXPECT_GE(member.followDelay, 0.0f);
    EXPECT_LT(member.followDelay, 1.5f);

    // Standing more than 5 units from the anchor: the anchor comes to the leader.
    leader.velocity = Vector3();
    leader.UpdateFormationLeader();
    EXPECT_EQ(formation->anchor, leader.position);
    EXPECT_EQ(formation->movedSquared, 0.0f);
}
