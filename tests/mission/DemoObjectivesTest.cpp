// The demo mission's objectives on the demo map as generated: every target they wait for is a
// trigger on a map object (the house, the guard post, the lamp), so the running mission's overhead
// map marks the current objective there and the compass points the squad to it; the objectives
// complete in the order of their prerequisites and the mission is won at the exit zone or lost
// with the squad.

#include "tests/mission/HudFixture.h"

#include "characters/body/Character.h"
#include "engine/camera/Camera.h"
#include "mission/props/MissionProps.h"
#include "mission/rules/Squad.h"
#include "characters/player/Player.h"
#include "mission/drawing/OverheadMap.h"
#include "world/map/MapObject.h"
#include "world/World.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t ObjectiveYellow = 0xFFE000u;
constexpr std::uint32_t ObjectiveOrange = 0xFF8000u;
constexpr std::uint32_t ObjectiveArrowGreen = 0x40E040u;

class DemoObjectivesTest : public HudFixture {
protected:
    // The map object whose trigger prop carries the ID, or null.
    static MapObject* TriggerObject(MissionState* mission, std::int32_t id)
    {
        for (MapObject* object = mission->level.world->GetFirstObject(); object; object = object->next) {
            const auto* trigger = static_cast<const TriggerProp*>(object->FindProp(&TriggerPropFactory));
            if (trigger && trigger->triggerID == id)
                return object;
        }
        return nullptr;
    }

    // The objective marker (either colour of its blink) round the world point on the map drawn
    // at (5, 5).
    bool MarkerAt(const std::vector<std::uint32_t>& frame, const Vector3& at) const
    {
        OverheadMapView view;
        view.renderWidth = frameWidth, view.renderHeight = frameHeight;
        view.tilesX = view.tilesZ = 64;
        view.tileSize = 10.0f;
        int left = 0, top = 0;
        OverheadMap::MapPoint(view, 128, 128, 5, 5, at.x, at.z, 11, 11, &left, &top);
        return ColourNear(frame, left + 5, top + 5, 1, ObjectiveYellow) ||
               ColourNear(frame, left + 5, top + 5, 1, ObjectiveOrange);
    }

    // Whether the compass's objective arrow reaches out from the compass centre towards the
    // flat direction (x east, z north).
    bool ArrowTowards(const std::vector<std::uint32_t>& frame, float x, float z) const
    {
        const float length = std::hypot(x, z);
        const int cx = 5 + 64, cy = frameHeight - 5 - 64;
        return ColourNear(frame, cx + int(std::lround(24.0f * x / length)), cy - int(std::lround(24.0f * z / length)), 3,
                          ObjectiveArrowGreen);
    }
};

TEST_F(DemoObjectivesTest, TheObjectivesWaitForTriggersOnTheHouseThePostAndTheLampAndTheCurrentOneIsMarkedAndPointedAt)
{
    Application::Instance()->SetQuitOnLeave(true);
    MissionState* mission = StartMission();
    ASSERT_TRUE(mission->HasLoadedLevel()) << Log();
    ASSERT_NE(mission->roster.controlledCharacter, nullptr);
    ASSERT_NE(mission->hud.overheadMap, nullptr);

    // Each objective's one target is a trigger of the map, with its record at the carrying
    // object: the house (the object with the collision mesh) and then the lamp (the light).
    const char* carriers[] = {"colmesh", "trigger", "light"};
    ASSERT_EQ(mission->level.definition.objectives.size(), 3u);
    std::vector<Vector3> goals;
    for (std::size_t i = 0; i < 3; ++i) {
        const std::int32_t id = mission->level.definition.objectives[i].targets[0];
        EXPECT_EQ(mission->level.definition.objectives[i].targets[1], -1);
        MapObject* object = TriggerObject(mission, id);
        ASSERT_NE(object, nullptr) << "no map object carries trigger " << id;
        EXPECT_NE(object->HasPropText(carriers[i]), nullptr) << "trigger " << id;
        const TriggerRecord* record = nullptr;
        for (const TriggerRecord& r : mission->level.triggers)
            if (r.triggerID == id)
                record = &r;
        ASSERT_NE(record, nullptr) << "trigger " << id;
        EXPECT_EQ(record->fired, 0);
        const Vector3 at = object->GetPosition();
        EXPECT_FLOAT_EQ(record->x, at.x);
        EXPECT_FLOAT_EQ(record->z, at.z);
        goals.push_back(at);
    }
    EXPECT_GT((goals[0] - goals[1]).Length(), 20.0f) << "separate places to go";
    EXPECT_GT((goals[0] - goals[2]).Length(), 20.0f);

    // The first objective is current: its marker on the overhead map, the compass arrow towards
    // it from the leader, and nothing at the second's place yet.
    Character* leader = mission->roster.controlledCharacter;
    EXPECT_EQ(mission->GetCurrentObjective(), 0);
    Vector3 target;
    ASSERT_TRUE(mission->GetCompassTarget(0, target));
    EXPECT_FLOAT_EQ(target.x, goals[0].x);
    mission->level.camera->rotation = Matrix3(); // looking north
    mission->level.camera->UpdateTransform(0.0f);
    mission->PerformAction(18, true); // "Show Map"
    ASSERT_TRUE(mission->hud.overheadMap->shown);
    std::vector<std::uint32_t> frame = DrawFlat([&] { mission->DrawHUD(); });
    EXPECT_TRUE(MarkerAt(frame, goals[0]));
    EXPECT_FALSE(MarkerAt(frame, goals[1]));
    const Vector3 toHouse = goals[0] - leader->position;
    EXPECT_TRUE(ArrowTowards(frame, toHouse.x, toHouse.z));
    EXPECT_FALSE(ArrowTowards(frame, -toHouse.x, -toHouse.z));

    // Once the house's trigger has fired and the first objective is done, the guard post is the
    // objective, marked and pointed at.
    for (TriggerRecord& r : mission->level.triggers)
        if (r.triggerID == mission->level.definition.objectives[0].targets[0])
            r.fired = 1;
    mission->level.definition.objectives[0].completed = 1;
    mission->level.currentObjective = 1;
    ASSERT_TRUE(mission->GetCompassTarget(1, target));
    EXPECT_FLOAT_EQ(target.x, goals[1].x);
    frame = DrawFlat([&] { mission->DrawHUD(); });
    EXPECT_TRUE(MarkerAt(frame, goals[1]));
    EXPECT_FALSE(MarkerAt(frame, goals[0]));
    const Vector3 toLamp = goals[1] - leader->position;
    EXPECT_TRUE(ArrowTowards(frame, toLamp.x, toLamp.z));
}

TEST_F(DemoObjectivesTest, TheMissionIsWonAtTheExitZoneOnlyAfterTheHouseAndTheIntelligenceAndLostWithTheSquad)
{
    Application::Instance()->SetQuitOnLeave(true);
    MissionState* mission = StartMission();
    ASSERT_TRUE(mission->HasLoadedLevel()) << Log();
    ASSERT_NE(mission->roster.localSquad, nullptr);
    ASSERT_NE(mission->level.exitZones[0], nullptr) << "the demo map has its exit zone";
    Squad& squad = *mission->roster.localSquad;
    const auto moveSquadTo = [&](const Vector3& at) {
        for (int i = 0; i < squad.GetMemberCount(); ++i)
            squad.GetMember(i)->position = at + Vector3(float(i) * 2.0f, 0.0f, 0.0f);
        mission->Update();
    };
    const Vector3 exit = mission->level.exitZones[0]->GetPosition();

    // At the exit with nothing done the mission goes on; the guard post answers no use yet.
    moveSquadTo(exit);
    EXPECT_EQ(mission->UpdateObjectives(), MissionState::Running);
    TriggerProp* house = FindTrigger(1);
    TriggerProp* post = FindTrigger(3);
    ASSERT_TRUE(house && post);
    EXPECT_FALSE(mission->UseTriggerAllowed(3)) << "the intelligence waits for the house";

    // The camera near the house fires its trigger; the objective completes with its message.
    moveSquadTo(house->object->GetPosition());
    house->CheckProximity();
    EXPECT_TRUE(mission->IsTriggerFired(1));
    EXPECT_EQ(mission->UpdateObjectives(), MissionState::Running);
    EXPECT_EQ(mission->GetCurrentObjective(), 1);
    const std::string notice = Application::Instance()->GetCenterMessage();
    EXPECT_EQ(notice.rfind("Objective Complete!\nHouse reached\nNext Objective: Take the intelligence", 0), 0u)
        << notice;

    // The use trigger now fires; the lamp is secondary and never holds the squad back.
    ASSERT_TRUE(mission->UseTriggerAllowed(3));
    EXPECT_TRUE(post->Fire(3));
    EXPECT_EQ(mission->UpdateObjectives(), MissionState::Running);
    EXPECT_EQ(mission->GetCurrentObjective(), 2);
    EXPECT_FALSE(mission->level.definition.objectives[2].completed);
    moveSquadTo(exit);
    const int outcome = mission->UpdateObjectives();
    EXPECT_TRUE(outcome == MissionState::Won || outcome == MissionState::Escaped) << outcome;
    EXPECT_EQ(mission->GetMissionResult(), outcome) << "the frame's update stored the outcome";

    // A fresh level: the squad dead is the mission lost.
    mission->UnloadLevel();
    mission = StartMission();
    ASSERT_TRUE(mission->HasLoadedLevel()) << Log();
    EXPECT_EQ(mission->GetCurrentObjective(), 0) << "every objective starts open again";
    EXPECT_FALSE(mission->IsTriggerFired(1));
    for (int i = 0; i < mission->roster.localSquad->GetMemberCount(); ++i)
        mission->roster.localSquad->GetMember(i)->health = 0;
    EXPECT_EQ(mission->UpdateObjectives(), MissionState::Lost);
}

} // namespace
