// What the running demo mission does for its squad through the running level: the command view's
// pointer and input capture and its selection markers, the freeze switch, and the counters of
// kills by fire.
#include "tests/mission/WeaponPlayFixture.h"

#include "characters/player/PlayerControls.h"
#include "characters/level/RunningLevel.h"
#include "characters/player/SquadCommandView.h"
#include "engine/sprite/SpriteNode.h"

namespace {

constexpr int CommandModeAction = 30;

using CommandViewTest = WeaponPlayFixture;

TEST_F(CommandViewTest, TheCommandViewShowsThePointerAndMarksTheSquadUntilItIsLeft)
{
    ASSERT_EQ(mission->roster.localSquad->GetMemberCount(), 2);
    Player& second = *mission->roster.localSquad->GetMember(1);
    ASSERT_NE(mission->hud.overheadSelection, nullptr);
    // The view the level starts with is settled by the first two drawn frames.
    application->Draw();
    application->Draw();
    ASSERT_EQ(mission->controls.viewModeRequest, 2);
    ASSERT_FALSE(mission->UsesMousePointer());
    ASSERT_FALSE(application->IsCursorVisible());

    leader->HandleAction(CommandModeAction);
    ASSERT_FALSE(leader->NotInCommandMode());
    EXPECT_TRUE(application->IsCursorVisible());
    EXPECT_FALSE(mission->inputCaptured);
    EXPECT_TRUE(mission->UsesMousePointer()) << "the mouse is the pointer, the view does not turn";

    // Each member drawn gets the marker beneath it, in its colour, scaled 3.
    SpriteNode& marker = *mission->hud.overheadSelection;
    Frames(2);
    application->Draw();
    const Vector3 below(0.0f, 3.0f, 0.0f);
    const bool underMember = marker.position == leader->position - below || marker.position == second.position - below;
    EXPECT_TRUE(underMember) << marker.position.x << " " << marker.position.y << " " << marker.position.z;
    EXPECT_EQ(marker.scale, Vector3(3.0f, 3.0f, 3.0f));

    // Switched off by the player: none is drawn.
    leader->selectionMarkersOff = 1;
    marker.position = Vector3(-1.0f, -1.0f, -1.0f);
    Frames(1);
    application->Draw();
    EXPECT_EQ(marker.position, Vector3(-1.0f, -1.0f, -1.0f));
    leader->selectionMarkersOff = 0;

    // Leaving hides the pointer at once; the view comes back when the camera has tilted back.
    leader->HandleAction(CommandModeAction);
    EXPECT_FALSE(application->IsCursorVisible());
    EXPECT_TRUE(mission->inputCaptured);
    mission->inputCaptured = false; // the end of the tilt captures it again
    EXPECT_TRUE(FramesUntil(300, [this] { return leader->NotInCommandMode(); }));
    EXPECT_TRUE(mission->inputCaptured);
    EXPECT_FALSE(mission->UsesMousePointer());
    marker.position = Vector3(-1.0f, -1.0f, -1.0f);
    Frames(1);
    application->Draw();
    EXPECT_EQ(marker.position, Vector3(-1.0f, -1.0f, -1.0f)) << "no markers outside the command view";
}

TEST_F(CommandViewTest, TheSoldiersReadTheMissionsFreezeSwitch)
{
    EXPECT_FALSE(RunningLevel::Controls().IsMovementFrozen());
    mission->movementFrozen = true;
    EXPECT_TRUE(RunningLevel::Controls().IsMovementFrozen());
    mission->movementFrozen = false;
    EXPECT_FALSE(RunningLevel::Controls().IsMovementFrozen());
}

TEST_F(CommandViewTest, AVictimBurnedToDeathCountsForTheSquadMemberWhoSetTheFire)
{
    Player& second = *mission->roster.localSquad->GetMember(1);
    Character* victim = NewTarget(leader->position + Vector3(30.0f, 0.0f, 0.0f));
    victim->health = 3;
    victim->SetOnFire(5.0f, second.GetID());
    EXPECT_TRUE(FramesUntil(60, [victim] { return victim->health <= 0; }));
    EXPECT_EQ(mission->squadStatistics.Get(SquadStatistics::FireKills, 1), 1);
    EXPECT_EQ(mission->squadStatistics.Get(SquadStatistics::FireKills, 0), 0);

    // A fire set by somebody outside the squad counts for nobody.
    Character stranger;
    stranger.kind = Character::EnemyKind;
    Character* other = NewTarget(leader->position + Vector3(-30.0f, 0.0f, 0.0f));
    other->health = 3;
    other->SetOnFire(5.0f, stranger.GetID());
    EXPECT_TRUE(FramesUntil(60, [other] { return other->health <= 0; }));
    EXPECT_EQ(mission->squadStatistics.Get(SquadStatistics::FireKills, 1), 1);
    EXPECT_EQ(mission->squadStatistics.Get(SquadStatistics::FireKills, 0), 0);
}

TEST(SquadStatisticsTest, CountsByCounterAndMemberAndIgnoresWhatLiesOutside)
{
    SquadStatistics statistics;
    const struct {
        int counter, member;
        bool counted;
    } cases[] = {{SquadStatistics::Shots, 0, true},      {SquadStatistics::FireKills, 3, true},
                 {SquadStatistics::Kills, 4, false},     {SquadStatistics::Kills, -1, false},
                 {SquadStatistics::CounterCount, 0, false}, {-1, 0, false}};
    for (const auto& c : cases) {
        statistics.Count(c.counter, c.member);
        EXPECT_EQ(statistics.Get(c.counter, c.member), c.counted ? 1 : 0) << c.counter << " " << c.member;
    }
    statistics.Reset();
    EXPECT_EQ(statistics.Get(SquadStatistics::Shots, 0), 0);
}

} // namespace
