// The AI's saved block (golden bytes, round trips, hostile blocks) and the hand-over of a
// formation to an heir.
#include <string>

#include "engine/core/q3DError.h"
#include "tests/characters/ai/AIFixture.h"
#include "tools/demodata/writers/AIDataWriter.h"

namespace {

Waypoint Point(float x, float z, float waitMin, float waitMax, bool chat)
{
    return PatrolPoint(x, z, waitMin, waitMax, chat, 1.0f);
}

class AIBlockTest : public AIFixture {
protected:
    void SetUp() override
    {
        AIFixture::SetUp();
        WriteFile("Formations/Wedge.for", WriteFormationText({{-5, -5, 0, 0, 0}, {5, -5, 0, 0, 0}, {-10, -10, 0, 0, 0}}));
        WriteFile("Formations/Line.for", WriteFormationText({{2, 0, 0, 0, 0}, {4, 0, 0, 0, 0}, {6, 0, 0, 0, 0}}));
        Formation::LoadDirectory("Formations");
    }

    static void ThreePoints(AI& ai)
    {
        ai.AddPatrolWaypoint(Point(0, 0, 1, 2, false));
        ai.AddPatrolWaypoint(Point(10, 0, 0, 0, true));
        ai.AddPatrolWaypoint(Point(20, 5, 3, 3, false));
    }

    static std::vector<float> PatrolXs(const AI& ai)
    {
        std::vector<float> xs;
        for (void* item : *ai.patrolPath)
            xs.push_back(static_cast<Waypoint*>(item)->position.x);
        return xs;
    }
};

} // namespace

TEST_F(AIBlockTest, GoldenBytesWithAPatrolAndNoFormation)
{
    AI ai;
    ThreePoints(ai);
    ai.PlaceAtPathStart();
    ai.pathFollower.Advance(); // current = second waypoint, next = third
    ai.segmentProgress = 1.5f;
    ai.waitTimer = 0.25f;
    ai.debugOutput = true;
    ExpectedBytes expected;
    const std::vector<std::uint8_t> head = CharacterBlockOf(ai);
    expected.bytes(head.data(), head.size());
    expected.u8(1).i32(3);
    expected.f32(3).f32(3).v3(20, 1, 5).u8(0);  // from the tail
    expected.f32(0).f32(0).v3(10, 1, 0).u8(1);
    expected.f32(2).f32(1).v3(0, 1, 0).u8(0);
    expected.i32(1).i32(2);
    std::uint8_t image[SteeringController::kImageSize];
    ai.steering.WriteImage(image);
    expected.bytes(image, sizeof image);
    expected.zeros(64).f32(1.5f).f32(0.25f).u8(0).u16(0xFFFF).u8(1);
    EXPECT_EQ(SaveToMemory(ai), expected.data);
}

TEST_F(AIBlockTest, RoundTripKeepsTheWaypointsInOrderAndTheSegment)
{
    AI ai;
    ThreePoints(ai);
    ai.PlaceAtPathStart();
    ai.pathFollower.Advance();
    ai.waitTimer = 0.75f;
    ai.SetFormation("Wedge.for");
    ai.ChangeFormation("Line.for");
    AI alarm; // any object with an identifier
    ai.alarmTarget = &alarm;
    const std::vector<std::uint8_t> bytes = SaveToMemory(ai);

    AI copy;
    copy.SetFormation("Wedge.for");
    copy.AddPatrolWaypoint(Point(99, 99, 0, 0, false));
    copy.chitChatHandle = 5;
    LoadFromMemory(copy, bytes);
    EXPECT_EQ(PatrolXs(copy), (std::vector<float>{0, 10, 20}));
    EXPECT_EQ(PathPosition(copy.pathFollower.currentNode).x, 10.0f);
    EXPECT_EQ(PathPosition(copy.pathFollower.nextNode).x, 20.0f);
    EXPECT_EQ(copy.waitTimer, 0.75f);
    EXPECT_EQ(copy.alarmTarget, &alarm);
    EXPECT_EQ(copy.chitChatHandle, -1);
    EXPECT_STREQ(copy.formationLink->formation->definitionName, "Line.for");
    EXPECT_EQ(SaveToMemory(copy).size(), bytes.size());
}

TEST_F(AIBlockTest, HostileBlocksGiveAClearErrorAndChangeNothing)
{
    AI ai;
    ThreePoints(ai);
    ai.PlaceAtPathStart();
    const std::vector<std::uint8_t> good = SaveToMemory(ai);
    const std::size_t at = CharacterBlockOf(ai).size();

    struct Case {
        const char* what;
        std::function<void(std::vector<std::uint8_t>&)> damage;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"version", [&](auto& b) { b[at] = 2; }, "Incorrect version number in AI block"},
        {"huge count", [&](auto& b) { b[at + 4] = 0x7F; }, "patrol waypoints"},
        {"negative count", [&](auto& b) { b[at + 4] = 0xFF; }, "patrol waypoints"},
        {"cut short", [&](auto& b) { b.resize(at + 40); }, ""},
        {"not a number", [&](auto& b) { b[at + 5 + 8 + 3] = 0x7F, b[at + 5 + 8 + 2] = 0xC0; }, "not a number"},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes = good;
        c.damage(bytes);
        AI victim;
        victim.AddPatrolWaypoint(Point(7, 7, 0, 0, false));
        victim.AddPatrolWaypoint(Point(8, 8, 0, 0, false));
        victim.PlaceAtPathStart();
        try {
            LoadFromMemory(victim, bytes);
            ADD_FAILURE() << c.what << " loaded";
        } catch (const q3DError& error) {
            EXPECT_NE(std::string(error.GetText()).find(c.message), std::string::npos) << c.what << ": "
                                                                                      << error.GetText();
        }
        EXPECT_EQ(PatrolXs(victim), (std::vector<float>{7, 8})) << c.what;
        EXPECT_EQ(PathPosition(victim.pathFollower.nextNode).x, 8.0f) << c.what;
    }

    // Indices beyond the list, or only one of the two, leave the AI without a segment.
    std::vector<std::uint8_t> bytes = good;
    const std::size_t indices = at + 5 + 3 * 21;
    bytes[indices] = 9;
    AI partial;
    LoadFromMemory(partial, bytes);
    EXPECT_EQ(partial.pathFollower.currentNode, nullptr);
    EXPECT_EQ(partial.pathFollower.nextNode, nullptr);
}

TEST_F(AIBlockTest, AnHeirWalksItsOwnReversedCopyOfTheLeadersPath)
{
    auto* leader = new AI;
    ThreePoints(*leader);
    leader->PlaceAtPathStart();
    leader->SetFormation("Wedge.for");
    AI first, heir;
    first.JoinFormationOf(leader);
    heir.JoinFormationOf(leader);
    heir.AddPatrolWaypoint(Point(50, 50, 0, 0, false));

    leader->HandOverFormation();
    EXPECT_TRUE(heir.LeadsFormation());
    EXPECT_EQ(first.GetFormationLeader(), &heir);
    EXPECT_EQ(leader->formationLink, nullptr);
    delete leader; // its lists and waypoints go with it

    EXPECT_EQ(PatrolXs(heir), (std::vector<float>{20, 10, 0}));
    ASSERT_NE(heir.pathFollower.currentNode, nullptr);
    EXPECT_TRUE(heir.patrolPath->FindNode(heir.pathFollower.currentNode->item));
    EXPECT_EQ(PathPosition(heir.pathFollower.currentNode).x, 20.0f);
    heir.position = Vector3(9, 1, 0);
    heir.FollowPatrol(0.1f);
    EXPECT_EQ(PathPosition(heir.pathFollower.nextNode).x, 0.0f);

    // A member that does not lead just leaves.
    first.HandOverFormation();
    EXPECT_EQ(first.formationLink, nullptr);
    EXPECT_TRUE(heir.LeadsFormation());
}
