// The per-frame update: the view of the controlled soldier, remote and pointer look, the squad
// being fired upon, waiting to join a squad, and the members' states from their orders.
#include <cmath>
#include <utility>
#include <string>

#include "tests/characters/NamedWeapons.h"
#include "tests/characters/player/PlayerFixture.h"

TEST_F(PlayerTest, TheLookFollowsThePointerAndARemoteSoldiersPitchIsClamped)
{
    MakeSquad(2);
    Player& leader = *members[0];
    options->SetOption(27, 5);
    options->SetOption(28, 5);
    options->SetOption(24, 0);
    squadLevel.pointerOffset = {10, -4};
    RunningLevel::Controls().SetCameraFieldOfView(1.0f);
    leader.normalFieldOfView = 1.0f;
    const float pitchBefore = leader.pitch;
    leader.Update(0.02f);
    // k = 1.0 x 0.003, s = 5 x 0.1 + 0.5 = 1: yaw 0.03, pitch -0.012.
    EXPECT_NEAR(leader.pitch, pitchBefore - 0.012f, 1e-5f);
    EXPECT_NEAR(leader.GetTurnInputX(), 0.03f / 0.02f, 1e-3f);
    EXPECT_NEAR(leader.GetTurnInputY(), -0.012f / 0.02f, 1e-3f);

    Player& remote = *members[1];
    remote.controller = 1;
    remote.ApplyRemoteAim(0.0f, 0.0f, 0.0f, 100.0f, 0, 5, 0);
    EXPECT_EQ(remote.lastViewSequence, 5u);
    remote.ApplyRemoteAim(0.5f, 0.0f, 0.0f, 0.0f, 0, 4, 0); // older: ignored
    EXPECT_FLOAT_EQ(remote.GetPitch(), 0.0f);
    remote.Update(0.1f);
    EXPECT_FLOAT_EQ(remote.pitch, 1.5629815f);
}

TEST_F(PlayerTest, MembersOnHoldFireWithin30UnitsOfASoldierShotAtReturnFire)
{
    MakeSquad(3);
    members[1]->SetPosition(25.0f, 0.0f, 0.0f);
    members[2]->SetPosition(35.0f, 0.0f, 0.0f);
    members[1]->fireMode = HoldFire;
    members[2]->fireMode = HoldFire;
    members[0]->shotAt = 1;
    members[0]->Update(0.02f);
    EXPECT_EQ(members[0]->shotAt, 0);
    EXPECT_EQ(members[1]->fireMode, FireAtWill);
    EXPECT_EQ(members[2]->fireMode, HoldFire);
    int notices = 0;
    for (const std::string& text : Notices())
        notices += text == "We're being fired upon! Returning fire!";
    EXPECT_EQ(notices, 1);
}

TEST_F(PlayerTest, ASoldierWaitingToJoinTakesTheNearestHumanLeaderWithin25Units)
{
    MakeSquad(1);
    members[0]->SetTeam(4);
    Player waiting(1, Player::kComputer, nullptr, nullptr, "GameData/Models/us01");
    everyone.push_back(&waiting);
    waiting.collides = waiting.gravity = false;
    waiting.joinNearestSquad = 1;
    waiting.SetPosition(30.0f, 0.0f, 0.0f);
    waiting.Update(0.02f);
    EXPECT_EQ(waiting.GetSquad(), nullptr);
    EXPECT_EQ(waiting.fireMode, HoldFire);

    waiting.SetPosition(20.0f, 0.0f, 0.0f);
    waiting.Update(0.02f);
    EXPECT_EQ(waiting.GetSquad(), roster.get());
    EXPECT_EQ(waiting.team, 4);
    EXPECT_EQ(waiting.joinNearestSquad, 0);
    waiting.LeaveSquad();
    everyone.pop_back();
}

TEST_F(PlayerTest, MembersTakeTheirStatesFromTheirOrders)
{
    MakeSquad(2);
    Player& member = *members[1];
    member.order = OrderHoldPosition;
    member.Update(0.02f);
    EXPECT_EQ(member.state, StateLookAround);

    member.order = OrderFollow;
    member.stunTime = 1.0f;
    member.Update(0.02f);
    EXPECT_EQ(member.state, StateIdle);
    member.stunTime = 0.0f;

    // A member whose route cannot be planned is put on hold.
    member.behaviourFlag = 1;
    member.Update(0.02f);
    EXPECT_EQ(member.order, OrderHoldPosition);
    EXPECT_EQ(member.behaviourFlag, 0);
}

TEST_F(PlayerTest, InCommandModeTheMarkersShowTheSoldierTheSelectedAndTheMemberUnderThePointer)
{
    MakeSquad(3);
    Player& leader = *members[0];
    leader.normalFieldOfView = RunningLevel::Controls().CameraFieldOfView();
    leader.HandleAction(30);
    ASSERT_FALSE(leader.NotInCommandMode());
    members[2]->selected = true;
    squadLevel.underPointer = members[1].get();
    leader.Update(0.02f);
    EXPECT_EQ(leader.markerColour[0], 0);
    EXPECT_EQ(members[1]->markerColour[0], 178); // grey, lighter under the pointer
    EXPECT_EQ(members[1]->markerColour[2], 178);
    EXPECT_EQ(members[2]->markerColour[0], 204); // red
    EXPECT_EQ(members[2]->markerColour[1], 0);

    // Leaving tilts the camera back before the view mode returns.
    leader.HandleAction(30);
    EXPECT_FALSE(leader.NotInCommandMode());
    for (int i = 0; i < 240 && !leader.NotInCommandMode(); ++i)
        leader.Update(0.02f);
    EXPECT_TRUE(leader.NotInCommandMode());
    EXPECT_EQ(leader.leavingCommandMode, 0);
}

TEST_F(PlayerTest, AMemberOfAnotherSquadBehindTheSoldierBringsTheCameraInForOneFrame)
{
    MakeSquad(1);
    Player& leader = *members[0];
    leader.viewMode = 1;
    leader.Update(0.02f); // places the aim node
    Character stranger;
    levelFake.squads = {{&leader}, {&stranger}};
    const Matrix4& aim = leader.GetAimNode().world;
    const Vector3 back = Vector3(-aim(2, 0), 0.0f, -aim(2, 2));
    stranger.SetPosition(leader.position.x + back.x * 5.0f, leader.position.y, leader.position.z + back.z * 5.0f);
    leader.Update(0.02f);
    EXPECT_LT(-leader.GetAttachNode().position.z, 5.0f);
    EXPECT_FLOAT_EQ(leader.attachOffset, 7.0f);

    stranger.health = 0;
    leader.Update(0.02f);
    EXPECT_FLOAT_EQ(-leader.GetAttachNode().position.z, 7.0f);
}

TEST_F(PlayerTest, ARemoteSoldierMovesByItsReceivedBitsAndTheStationaryRoleHoldsItStill)
{
    MakeSquad(2);
    Player& remote = *members[1];
    remote.controller = 1;
    struct Case {
        std::uint8_t bits;
        float forward, side;
        bool run;
    };
    const float walk = remote.GetWalkSpeed(Character::Standing);
    const float run = remote.GetRunSpeed(Character::Standing);
    const Case cases[] = {
        {0x01, walk, 0.0f, false}, {0x41, run, 0.0f, true},          {0x02, -walk, 0.0f, false},
        {0x42, -walk, 0.0f, false}, {0x08, 0.0f, walk * 0.4f, false}, {0x44, 0.0f, -run * 0.4f, true},
    };
    remote.collides = remote.gravity = false;
    // The body's step over a frame, along its own forward and side axes.
    const auto step = [&remote](std::uint8_t bits, std::uint32_t sequence) {
        remote.ApplyRemoteAim(0.0f, remote.GetYaw(), 0.0f, 0.0f, 0, sequence, bits);
        const Vector3 before = remote.position;
        remote.Update(0.1f);
        const Vector3 moved = remote.position - before;
        const Vector3 forward(remote.rotation(2, 0), 0.0f, remote.rotation(2, 2));
        const Vector3 side(remote.rotation(0, 0), 0.0f, remote.rotation(0, 2));
        return std::pair<float, float>(moved.Dot(forward) / 0.1f, moved.Dot(side) / 0.1f);
    };
    std::uint32_t sequence = 1;
    for (const Case& c : cases) {
        const auto [forward, side] = step(c.bits, sequence++);
        EXPECT_NEAR(forward, c.forward, 0.05f * walk) << int(c.bits);
        EXPECT_NEAR(side, c.side, 0.05f * walk) << int(c.bits);
        EXPECT_EQ(remote.running, c.run) << int(c.bits);
    }
    remote.roles |= Character::Stationary;
    const auto [forward, side] = step(0x41, sequence++);
    EXPECT_NEAR(forward, 0.0f, 1e-4f);
    EXPECT_NEAR(side, 0.0f, 1e-4f);
}

TEST_F(PlayerTest, AnOrderedTargetBeyondTheWeaponsRangeEndsTheAttackOrder)
{
    NamedWeapons weapons(100.0f);
    MakeSquad(2);
    Player& member = *members[1];
    TestItem rifle("Rifle", -1, CarriedItem::Weapon);
    ASSERT_TRUE(member.PickUpItem(&rifle, true));
    member.SelectItem(&rifle);
    Character enemy;
    enemy.kind = Character::EnemyKind;
    enemy.SetPosition(500.0f, 0.0f, 0.0f);
    everyone.push_back(&enemy);

    member.fireMode = AttackOrderedTarget;
    member.SetTarget(&enemy, 20000.0f, true);
    member.Update(0.02f);
    EXPECT_EQ(member.fireMode, FireAtWill);
    EXPECT_EQ(member.target.rating, TargetInfo::kNoRating);

    // On hold fire the member does not look for targets at all.
    member.SetTarget(&enemy, 20000.0f, true);
    member.fireMode = HoldFire;
    member.sightTimer = 0.0f;
    member.Update(0.02f);
    EXPECT_EQ(member.fireMode, HoldFire);

    member.target.Clear();
    everyone.pop_back();
    member.DropItem(&rifle, member.position);
}
