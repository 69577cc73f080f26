// The AI's patrol paths, routes, waiting and chatting at waypoints, looking and the host's move
// messages.
#include <cmath>
#include <string>
#include <vector>

#include "engine/core/MathConstants.h"
#include "tests/characters/LevelFake.h"
#include "tests/characters/SessionFake.h"
#include "engine/core/RandomMT.h"
#include "tests/characters/ai/AIFixture.h"
#include "tools/demodata/writers/AIDataWriter.h"

namespace {

Waypoint Point(float x, float z, float waitMin = 0.0f, float waitMax = 0.0f, bool chat = false)
{
    return PatrolPoint(x, z, waitMin, waitMax, chat);
}

const Vector3& CurrentOf(const AI& ai) { return PathPosition(ai.pathFollower.currentNode); }
const Vector3& NextOf(const AI& ai) { return PathPosition(ai.pathFollower.nextNode); }

class AIPathTest : public AIFixture {};

} // namespace

TEST_F(AIPathTest, PatrolLoopsFromTheLastWaypointToTheFirst)
{
    AI ai;
    for (float x : {0.0f, 10.0f, 20.0f})
        ai.AddPatrolWaypoint(Point(x, 0));
    ai.PlaceAtPathStart();
    EXPECT_EQ(ai.position, Vector3(0, 0, 0));
    EXPECT_EQ(NextOf(ai).x, 10.0f);

    ai.position = Vector3(11, 0, 0); // beyond the second waypoint
    ai.FollowPatrol(0.1f);
    EXPECT_EQ(CurrentOf(ai).x, 10.0f);
    EXPECT_EQ(NextOf(ai).x, 20.0f);
    EXPECT_FLOAT_EQ(ai.pathFollower.segmentLength, 10.0f);

    ai.position = Vector3(21, 0, 0);
    ai.FollowPatrol(0.1f);
    EXPECT_EQ(CurrentOf(ai).x, 20.0f);
    EXPECT_EQ(NextOf(ai).x, 0.0f) << "the path is a closed loop";
}

TEST_F(AIPathTest, EmptyAndSingleWaypointPathsLeaveTheAIStanding)
{
    AI empty;
    empty.position = Vector3(5, 6, 7);
    empty.PlaceAtPathStart();
    EXPECT_EQ(empty.position, Vector3(5, 6, 7));
    empty.FollowPatrol(1.0f);
    EXPECT_EQ(empty.pathFollower.currentNode, nullptr);

    AI single;
    single.AddPatrolWaypoint(Point(3, 4));
    single.PlaceAtPathStart();
    EXPECT_EQ(single.position, Vector3(3, 0, 4));
    EXPECT_EQ(single.pathFollower.currentNode, nullptr);
    EXPECT_EQ(single.pathFollower.nextNode, nullptr);
    single.position = Vector3(100, 0, 0);
    single.FollowPatrol(1.0f);
    EXPECT_EQ(single.pathFollower.nextNode, nullptr);
}

TEST_F(AIPathTest, WaitsAtWaypointsWithoutDrawingForAFixedWait)
{
    AI ai;
    ai.AddPatrolWaypoint(Point(0, 0));
    ai.AddPatrolWaypoint(Point(10, 0, 2.0f, 2.0f));
    ai.AddPatrolWaypoint(Point(20, 0, 1.0f, 3.0f));
    ai.PlaceAtPathStart();
    seedMT(99);
    const std::uint32_t undisturbed = randomMT();
    seedMT(99);
    ai.position = Vector3(11, 0, 0);
    ai.FollowPatrol(0.0f);
    EXPECT_EQ(ai.waitTimer, 2.0f);
    EXPECT_EQ(randomMT(), undisturbed) << "an equal minimum and maximum draws nothing";

    ai.FollowPatrol(1.5f);
    EXPECT_FLOAT_EQ(ai.waitTimer, 0.5f);
    ai.FollowPatrol(1.5f);
    EXPECT_EQ(ai.waitTimer, 0.0f);

    ai.position = Vector3(21, 0, 0);
    ai.FollowPatrol(0.0f);
    EXPECT_GE(ai.waitTimer, 1.0f);
    EXPECT_LT(ai.waitTimer, 3.0f);
}

TEST_F(AIPathTest, ChatsAtAChattingWaypointEveryTenSecondsWhenTheDrawAllows)
{
    LevelFake level;
    const int& played = level.chitChatsPlayed;
    const std::vector<int>& stopped = level.chitChatsStopped;

    AI ai;
    ai.AddPatrolWaypoint(Point(0, 0));
    ai.AddPatrolWaypoint(Point(10, 0, 25.0f, 25.0f, true));
    ai.PlaceAtPathStart();
    ai.position = Vector3(11, 0, 0);
    ai.FollowPatrol(0.0f);
    EXPECT_EQ(ai.chitChatTimer, 10.0f);

    // Draws made ahead with the same seed tell which chances are taken.
    seedMT(7);
    std::vector<bool> taken;
    for (int i = 0; i < 2; ++i)
        taken.push_back(randomMT() % 100 > 50);
    seedMT(7);
    for (int step = 0; step < 105; ++step) // 10.5 s
        ai.FollowPatrol(0.1f);
    EXPECT_EQ(played, taken[0] ? 1 : 0);
    if (!taken[0]) {
        for (int step = 0; step < 100; ++step)
            ai.FollowPatrol(0.1f);
        EXPECT_EQ(played, taken[1] ? 1 : 0);
    }
    const int handle = ai.chitChatHandle;
    // Walking on stops the voice.
    for (int step = 0; step < 60 && ai.waitTimer > 0.0f; ++step)
        ai.FollowPatrol(1.0f);
    ai.FollowPatrol(0.1f);
    EXPECT_EQ(ai.chitChatHandle, -1);
    if (handle != -1) {
        EXPECT_EQ(stopped, std::vector<int>{handle});
    }
}

TEST_F(AIPathTest, TheHostSendsMovesWithViewBytesHeldToTheirRange)
{
    EXPECT_EQ(AI::QuantisePitch(-kPi / 2.0f), 0);
    EXPECT_EQ(AI::QuantisePitch(kPi / 2.0f), 255) << "256 would wrap to 0";
    EXPECT_EQ(AI::QuantisePitch(3.0f), 255);
    EXPECT_EQ(AI::QuantisePitch(-3.0f), 0);
    EXPECT_EQ(AI::QuantiseYaw(kPi), 255);
    EXPECT_EQ(AI::QuantiseYaw(-kPi), 0);
    EXPECT_EQ(AI::QuantiseYaw(0.0f), 128);
    EXPECT_EQ(AI::QuantiseYaw(std::nanf("")), 0);

    SessionFake network;
    network.hosting = true;
    network.now = 1234;
    const std::vector<SessionFake::Move>& sent = network.movesSent;

    AI ai;
    for (float x : {0.0f, 10.0f, 20.0f})
        ai.AddPatrolWaypoint(Point(x, 0));
    ai.PlaceAtPathStart();
    ai.lastSentPosition = ai.position;
    ai.position = Vector3(10.5f, 0, 0);
    ai.FollowPatrol(0.0f);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].position, Vector3(10.5f, 0, 0));
    EXPECT_EQ(sent[0].pitch, AI::QuantisePitch(0.0f));
    EXPECT_EQ(ai.lastSendTime, 1234u);
    // Less than a unit since the last message: nothing more.
    ai.position = Vector3(20.5f, 0, 0);
    ai.lastSentPosition = Vector3(20.0f, 0, 0);
    ai.FollowPatrol(0.0f);
    EXPECT_EQ(sent.size(), 1u);
}

TEST_F(AIPathTest, FacingAPointPitchesTheHeadAndKeepsThePitchAtTheHeadItself)
{
    AI ai;
    Vector3 head;
    ai.GetHeadPosition(&head);
    ai.FacePoint(head + Vector3(10, 10, 0));
    EXPECT_NEAR(ai.GetPitch(), -kPi / 4.0f, 1e-5f) << "a point above looks up (negative pitch)";
    ai.FacePoint(head + Vector3(0, -10, 10));
    EXPECT_NEAR(ai.GetPitch(), kPi / 4.0f, 1e-5f);
    ai.FacePoint(head);
    EXPECT_NEAR(ai.GetPitch(), kPi / 4.0f, 1e-5f);
    EXPECT_TRUE(std::isfinite(ai.GetPitch()));
}

TEST_F(AIPathTest, RoutesThroughTheGraphAndReportsWhenThereIsNone)
{
    // Three nodes in a row and an island.
    std::vector<WaypointFileNode> nodes(4);
    const float xs[4] = {0, 30, 60, 200};
    std::vector<std::uint32_t> links = {1, 0, 2, 1};
    const int firsts[4] = {0, 1, 3, 0};
    const int totals[4] = {1, 2, 1, 0};
    for (int i = 0; i < 4; ++i) {
        nodes[std::size_t(i)].centre[0] = xs[i];
        nodes[std::size_t(i)].radius = 10;
        nodes[std::size_t(i)].firstLink = firsts[i];
        nodes[std::size_t(i)].linkTotal = std::uint8_t(totals[i]);
    }
    WriteFile("map.wps", WriteWaypointFile(nodes, links));
    WaypointGraph graph;
    ASSERT_TRUE(graph.Load("map.wps"));
    auto level = std::make_unique<LevelFake>();
    level->graph = &graph;

    AI ai;
    EXPECT_FALSE(ai.PlanRouteTo(Vector3(60, 0, 0), nullptr));
    EXPECT_TRUE(ai.IsFollowingRoute());
    EXPECT_EQ(ai.routePath->GetCount(), 3);
    EXPECT_EQ(CurrentOf(ai).x, 0.0f);
    EXPECT_EQ(NextOf(ai).x, 30.0f);
    ai.position = Vector3(31, 0, 0);
    ai.FollowRoute(0.5f);
    EXPECT_EQ(NextOf(ai).x, 60.0f);

    // A route of one node: both ends on it, passed at once, and advancing stays on it.
    EXPECT_FALSE(ai.PlanRouteTo(Vector3(30, 0, 0), graph.GetNodes() + 1));
    EXPECT_EQ(ai.pathFollower.currentNode, ai.pathFollower.nextNode);
    EXPECT_TRUE(ai.pathFollower.HasPassedNext(Vector3(-100, 0, 0)));
    ai.pathFollower.Advance();
    EXPECT_EQ(ai.pathFollower.currentNode, ai.routePath->GetHead());

    EXPECT_TRUE(ai.PlanRouteTo(Vector3(200, 0, 0), nullptr)) << "the island is out of reach";
    EXPECT_EQ(ai.routePath->GetCount(), 0);
    EXPECT_EQ(ai.pathFollower.nextNode, nullptr);

    level.reset();
    EXPECT_TRUE(ai.PlanRouteTo(Vector3(60, 0, 0), nullptr)) << "no graph, no route";
}

TEST_F(AIPathTest, TheEndOfAOneWayWalkIsPassingTheLastWaypoint)
{
    AI ai;
    for (float x : {0.0f, 10.0f, 20.0f})
        ai.AddPatrolWaypoint(Point(x, 0));
    ai.PlaceAtPathStart();
    EXPECT_FALSE(ai.pathFollower.HasReachedEnd(Vector3(50, 0, 0))) << "not on the last segment yet";
    ai.pathFollower.Advance();
    EXPECT_FALSE(ai.pathFollower.HasReachedEnd(Vector3(15, 0, 0)));
    EXPECT_EQ(ai.pathFollower.endFlag, 0);
    EXPECT_TRUE(ai.pathFollower.HasReachedEnd(Vector3(21, 0, 0)));
    EXPECT_EQ(ai.pathFollower.endFlag, 1);
    ai.pathFollower.Start(ai.patrolPath);
    EXPECT_EQ(ai.pathFollower.endFlag, 0);
}

TEST_F(AIPathTest, DebugTextIsBoundedAndOnlyPrintedWhenSwitchedOn)
{
    AI ai;
    EXPECT_EQ(LogOf([&] { ai.DebugPrint(false, true, 0, "hidden %d", 1); }), "");
    ai.debugOutput = true;
    EXPECT_NE(LogOf([&] { ai.DebugPrint(false, true, 0, "shown %d", 2); }).find("shown 2"), std::string::npos);
    const std::string tooLong(AI::kMaxDebugFormat + 1, 'x');
    EXPECT_EQ(LogOf([&] { ai.DebugPrint(false, true, 0, "%s", ""); }), "") << "an empty text prints nothing";
    EXPECT_EQ(LogOf([&] { ai.DebugPrint(false, true, 0, tooLong.c_str()); }), "");
    const std::string big(5000, 'y');
    const std::string log = LogOf([&] { ai.DebugPrint(false, true, 0, "%s", big.c_str()); });
    EXPECT_NE(log.find(std::string(AI::kDebugTextSize - 1, 'y')), std::string::npos);
    EXPECT_EQ(log.find(std::string(AI::kDebugTextSize, 'y')), std::string::npos);

    LevelFake level;
    level.logSuppressed = true;
    EXPECT_EQ(LogOf([&] { ai.DebugPrint(false, true, 0, "quiet"); }), "");
}
