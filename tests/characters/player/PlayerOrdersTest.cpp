// Orders, selection, command mode and the hand-over of control within a squad.
#include <algorithm>
#include <fstream>
#include <string>

#include "tests/characters/player/PlayerFixture.h"

namespace {

bool Contains(const std::vector<std::string>& texts, const std::string& text)
{
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

} // namespace

TEST_F(PlayerTest, OrdersReachLivingMembersWithinReachAndALoneSoldierGivesNone)
{
    MakeSquad(3);
    members[2]->SetPosition(200.0f, 0.0f, 0.0f); // beyond the 120-unit reach
    EXPECT_TRUE(members[0]->HandleAction(21));
    EXPECT_EQ(members[0]->order, OrderHoldPosition);
    EXPECT_EQ(members[1]->order, OrderHoldPosition);
    EXPECT_EQ(members[2]->order, OrderFollow);
    EXPECT_TRUE(Contains(Notices(), "Soldier1: Holding position"));
    EXPECT_FALSE(Contains(Notices(), "Soldier2: Holding position"));

    // Hold fire reaches the soldier under the crosshair at any distance.
    squadLevel.underCrosshair[Character::SquadKind] = members[2].get();
    members[0]->HandleAction(23);
    EXPECT_EQ(members[1]->fireMode, HoldFire);
    EXPECT_EQ(members[2]->fireMode, HoldFire);
    members[0]->HandleAction(24);
    EXPECT_EQ(members[2]->fireMode, FireAtWill);
    EXPECT_TRUE(Contains(Notices(), "Soldier2: Firing at will"));

    // With the others dead no order, voice or message happens.
    members[1]->health = 0;
    members[2]->health = 0;
    Application::Instance()->ClearMessages();
    members[0]->HandleAction(23);
    EXPECT_EQ(members[0]->fireMode, FireAtWill);
    EXPECT_TRUE(Notices().empty());
    EXPECT_FALSE(members[0]->HandleAction(28));
    EXPECT_FALSE(members[0]->HandleAction(29));
}

TEST_F(PlayerTest, AnAttackOrderNeedsALivingTargetAndReachesMembersWithin720Units)
{
    MakeSquad(3);
    Character enemy;
    enemy.kind = Character::EnemyKind;
    enemy.SetPosition(30.0f, 0.0f, 0.0f);
    members[0]->HandleAction(25);
    EXPECT_TRUE(Contains(Notices(), "Sir! I see nothing to attack, Sir!"));

    squadLevel.underCrosshair[Character::EnemyKind] = &enemy;
    enemy.health = 0;
    members[0]->HandleAction(25);
    EXPECT_TRUE(Contains(Notices(), "Sir! He is already dead, Sir!"));

    enemy.health = 100;
    members[2]->SetPosition(800.0f, 0.0f, 0.0f);
    members[0]->HandleAction(25);
    EXPECT_EQ(members[0]->fireMode, AttackOrderedTarget);
    EXPECT_EQ(members[1]->fireMode, AttackOrderedTarget);
    EXPECT_EQ(members[1]->target.target, &enemy);
    EXPECT_EQ(members[2]->fireMode, FireAtWill);
    members[0]->target.Clear();
    members[1]->target.Clear();
}

TEST_F(PlayerTest, ChangeActivePlayerStepsToTheNextLivingNonAllyAndTheFKeysPickAMember)
{
    MakeSquad(4);
    members[1]->roles |= Character::Ally;
    members[2]->health = 0;
    members[0]->HandleAction(20);
    EXPECT_EQ(current, members[3].get());
    EXPECT_EQ(members[3]->GetController(), Player::kLocalHuman);
    EXPECT_EQ(members[0]->GetController(), Player::kComputer);
    EXPECT_TRUE(Contains(Notices(), "Switching to Soldier3"));
    members[3]->HandleAction(20);
    EXPECT_EQ(current, members[0].get());

    // F2 names the Ally: refused. F3 names the dead member: refused. F4 switches.
    EXPECT_FALSE(members[0]->OnKeyDown(0x71));
    EXPECT_EQ(current, members[0].get());
    members[0]->OnKeyDown(0x72);
    EXPECT_EQ(current, members[0].get());
    members[0]->OnKeyDown(0x73);
    EXPECT_EQ(current, members[3].get());
}

TEST_F(PlayerTest, SwitchingWithoutAHumanMemberOrAFormationCreatesWhatIsMissing)
{
    MakeSquad(3);
    members[0]->controller = Player::kComputer;
    // No human drives any member and no formation exists: member 1 takes the local human's
    // controller, and with no formation loaded none is made.
    EXPECT_TRUE(members[0]->SwitchToSquadMember(1, roster.get(), false));
    EXPECT_EQ(members[1]->GetController(), Player::kLocalHuman);
    EXPECT_EQ(members[1]->formationLink, nullptr);
    EXPECT_EQ(current, members[1].get());

    // With a definition loaded the new leader starts a formation and the old one joins it.
    std::filesystem::create_directories("Formations");
    {
        std::ofstream file("Formations/Wedge.for");
        file << "4\n-5 -5 0 0 0\n5 -5 0 0 0\n-10 -10 0 0 0\n10 -10 0 0 0\n";
    }
    Formation::LoadDirectory("Formations");
    EXPECT_TRUE(members[1]->SwitchToSquadMember(2, roster.get(), true));
    ASSERT_NE(members[2]->formationLink, nullptr);
    EXPECT_TRUE(members[2]->LeadsFormation());
    EXPECT_EQ(members[1]->GetFormationLeader(), members[2].get());
    EXPECT_EQ(members[1]->GetController(), Player::kComputer);

    // Handing back moves the lead; a member left more than 85 units behind holds position.
    members[0]->SetPosition(300.0f, 0.0f, 0.0f);
    EXPECT_TRUE(members[2]->SwitchToSquadMember(1, roster.get(), false));
    EXPECT_TRUE(members[1]->LeadsFormation());
    EXPECT_EQ(members[2]->GetFormationLeader(), members[1].get());
    EXPECT_EQ(members[0]->order, OrderHoldPosition);
    EXPECT_FALSE(members[1]->SwitchToSquadMember(1, roster.get(), false)); // already driven
    EXPECT_FALSE(members[1]->SwitchToSquadMember(7, roster.get(), true));
}

TEST_F(PlayerTest, CommandModeSelectsByClickAndDragAndItsKeysOrderTheSelected)
{
    MakeSquad(3);
    Player& leader = *members[0];
    leader.normalFieldOfView = 0.7853982f;
    RunningLevel::Controls().SetCameraFieldOfView(0.7853982f);
    leader.zoomed = 0;
    EXPECT_TRUE(leader.NotInCommandMode());
    leader.HandleAction(30);
    ASSERT_FALSE(leader.NotInCommandMode());
    EXPECT_TRUE(Contains(Notices(), "Click on a squad member to select him"));

    // A click on member 1 selects it.
    squadLevel.underPointer = members[1].get();
    squadLevel.pointerBox[0] = 40;
    squadLevel.pointerBox[2] = 60;
    leader.OnMouseButton(0, 50, 50, 0);
    leader.OnCommandClick(55, 52, 0); // within 10 pixels: a click
    EXPECT_TRUE(members[1]->selected);
    EXPECT_FALSE(members[2]->selected);
    EXPECT_TRUE(Contains(Notices(), "Left-click on the ground to have the selected squad members move there"));

    // A drag selects the members whose screen anchors lie inside it.
    members[1]->screenAnchor[0] = 5.0f;
    members[1]->screenAnchor[1] = 5.0f;
    members[2]->screenAnchor[0] = 150.0f;
    members[2]->screenAnchor[1] = 120.0f;
    leader.OnMouseButton(0, 100, 100, 0);
    leader.OnCommandClick(200, 200, 0);
    EXPECT_FALSE(members[1]->selected);
    EXPECT_TRUE(members[2]->selected);

    // The posture keys put the selected member on hold in that posture.
    const int crouchKey = options->GetKeyForAction(8);
    ASSERT_GT(crouchKey, 0);
    EXPECT_FALSE(leader.OnKeyDown(crouchKey));
    EXPECT_EQ(members[2]->order, OrderHoldPosition);
    EXPECT_EQ(members[1]->order, OrderFollow);

    // The wheel moves the camera height within 20 to 70.
    for (int i = 0; i < 5; ++i)
        leader.OnMouseWheel(1, 0, 0);
    EXPECT_FLOAT_EQ(leader.commandCameraHeight, 70.0f);
    leader.HandleAction(30);
    EXPECT_EQ(leader.leavingCommandMode, 1);
}

TEST_F(PlayerTest, CommandModeIsRefusedWhileZoomedAndZoomingMovesTheViewOverSeveralFrames)
{
    MakeSquad(2);
    Player& leader = *members[0];
    leader.normalFieldOfView = 0.8f;
    RunningLevel::Controls().SetCameraFieldOfView(0.8f);
    leader.viewMode = 1;
    leader.HandleAction(19);
    ASSERT_EQ(leader.zoomed, 1);
    leader.Update(1.0f / 60.0f);
    const float afterOne = RunningLevel::Controls().CameraFieldOfView();
    EXPECT_LT(afterOne, 0.8f);
    EXPECT_GT(afterOne, 0.8f - 0.28f);
    EXPECT_GT(leader.attachOffset, 2.5f);
    leader.HandleAction(30);
    EXPECT_TRUE(leader.NotInCommandMode());
    for (int i = 0; i < 120; ++i)
        leader.Update(1.0f / 60.0f);
    EXPECT_FLOAT_EQ(RunningLevel::Controls().CameraFieldOfView(), 0.8f - 0.28f);
    EXPECT_FLOAT_EQ(leader.attachOffset, 2.5f);
}
