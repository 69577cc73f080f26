// The state an enemy's frame chooses, from its roles, its target's rating and its awareness: the
// stimuli are scripted (a target set by hand, the sensor's sound accumulator filled before the
// frame), so each row shows one branch of the choice.
#include <functional>
#include <string>
#include <vector>

#include "tests/characters/NamedWeapons.h"
#include "tests/characters/body/EnemyFixture.h"

namespace {

class EnemyDecisionTest : public EnemyTest {
protected:
    NamedWeapons weapons{200.0f};
};

// A mission event as the event list holds it.
class TestEvent : public GameObject {
public:
    TestEvent() { objectType = 4; }
};

} // namespace

TEST_F(EnemyDecisionTest, TheStateFollowsTheRoleTheRatingAndTheAwareness)
{
    Character intruder;
    intruder.kind = Character::SquadKind;
    TestEvent shout;
    struct Case {
        const char* name;
        int roles;
        float rating;
        float distance;
        float sound;       // the awareness the frame finds
        std::uint8_t firstSight;
        int startState;
        bool flaggedEvent; // the target is a mission event with its flag set
        int expected;
    };
    const int stationary = Character::Stationary;
    for (const Case& c : std::vector<Case>{
             {"stationary, first clear sight", stationary, 20000, 100, 0, 1, StateIdle, false, StateZeroIn},
             {"stationary, in range", stationary, 20000, 100, 0, 0, StateIdle, false, StateStationaryAttack},
             {"stationary, out of range", stationary, 20000, 250, 0, 0, StateIdle, false, StateLookAround},
             {"stationary, zeroing in", stationary, 20000, 100, 0, 0, StateZeroIn, false, StateZeroIn},
             {"stationary, not in sight", stationary, 500, 100, 0, 0, StateIdle, false, StateLookAround},
             {"mobile, first clear sight", 0, 20000, 100, 0, 1, StateIdle, false, StateZeroIn},
             {"mobile, clear sight", 0, 20000, 100, 0, 0, StateIdle, false, StateAttack},
             {"mobile, heard", 0, 500, 100, 40, 0, StateIdle, false, StateMoveToTarget},
             {"mobile, heard a flagged event", 0, 500, 100, 40, 0, StateIdle, true, StateLookAround},
             {"mobile, lost sight while attacking", 0, 500, 100, 0, 0, StateAttack, false, StateMoveToTarget},
             {"mobile, quiet and searching", 0, 500, 100, 0, 0, StateLookAround, false, StateLookAround}}) {
        Enemy& enemy = MakeEnemy();
        Give(enemy, "Rifle", CarriedItem::Weapon, true);
        enemy.roles = c.roles;
        enemy.alerted = true;
        enemy.firstContact = 0;
        enemy.firstSight = c.firstSight;
        enemy.SetState(c.startState, Soldier::kNoLimit);
        GameObject* target = &intruder;
        if (c.flaggedEvent) {
            target = &shout;
            MissionEventView entry;
            entry.object = &shout;
            entry.countdown = 3.0f;
            entry.flag = 1;
            levelFake.eventList = {entry};
        }
        target->position = Vector3(0, 0, c.distance);
        enemy.SetTarget(target, c.rating, true);
        enemy.sensor.soundAccumulator = c.sound;
        enemy.Update(0.05f);
        EXPECT_EQ(enemy.state, c.expected) << c.name << ": " << Soldier::StateName(enemy.state);
        EXPECT_EQ(enemy.firstSight, 0) << c.name;
        enemy.DropTarget();
        levelFake.eventList.clear();
        everyone.clear();
    }
}

TEST_F(EnemyDecisionTest, ACalmEnemyPatrolsFollowsOrStandsAndAFinishedSearchDropsTheTarget)
{
    Enemy& leader = MakeEnemy(Vector3(0, 0, 0));
    Give(leader, "Rifle", CarriedItem::Weapon, true);
    Waypoint a, b;
    b.position = Vector3(0, 0, 100);
    leader.AddPatrolWaypoint(a);
    leader.AddPatrolWaypoint(b);
    leader.pathFollower.Start(leader.patrolPath);
    leader.SetFormation(Enemy::kFormationFile);
    Enemy& member = MakeEnemy(Vector3(5, 0, 0));
    member.JoinFormationOf(&leader);
    Enemy& guard = MakeEnemy(Vector3(-5, 0, 0));
    guard.roles = Character::StationaryPatrol;
    for (Enemy* e : {&leader, &member, &guard})
        e->Update(0.05f);
    EXPECT_EQ(leader.state, StatePatrol);
    EXPECT_EQ(member.state, StateFollow);
    EXPECT_EQ(guard.state, StateIdle);

    // A stunned enemy forgets its target and stands.
    Character intruder;
    intruder.position = Vector3(0, 0, 50);
    guard.alerted = true;
    guard.SetTarget(&intruder, 20000.0f, true);
    guard.stunTime = 1.0f;
    guard.Update(0.05f);
    EXPECT_EQ(guard.target.target, nullptr);
    EXPECT_EQ(guard.state, StateIdle);

    // A stationary enemy that hears nothing more looks around for 5 s and then gives up.
    guard.stunTime = 0.0f;
    guard.roles = Character::Stationary;
    Give(guard, "Rifle", CarriedItem::Weapon, true);
    guard.alerted = true;
    guard.firstContact = 0;
    guard.SetTarget(&intruder, 500.0f, true);
    float waited = 0.0f;
    while (guard.target.target && waited < 10.0f) {
        guard.Update(0.05f);
        waited += 0.05f;
    }
    EXPECT_EQ(guard.target.target, nullptr);
    EXPECT_FALSE(guard.alerted);
    EXPECT_NEAR(waited, 5.0f, 0.2f);
}
