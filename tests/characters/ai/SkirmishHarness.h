#pragma once

// Two sides of computer-driven soldiers fighting on a loaded map: the mission's part of a frame
// (stimuli, each soldier sensing the living soldiers of the other side, keeping the best target,
// attacking what it sees and patrolling otherwise), with weapons whose hits are rolled on the
// shared generator. The skirmish tests and the AI thinking benchmark run it.

#include <cstring>
#include <memory>
#include <vector>

#include "characters/level/NoLevel.h"
#include "characters/level/RunningLevel.h"
#include "characters/ai/AIStats.h"
#include "characters/objects/CarriedItem.h"
#include "characters/ai/Soldier.h"
#include "characters/ai/WaypointGraph.h"
#include "engine/camera/Camera.h"
#include "engine/core/MathConstants.h"
#include "tests/characters/NamedWeapons.h"
#include "engine/core/RandomMT.h"
#include "world/PickResult.h"
#include "world/World.h"

// A rifle that hits its holder's target with a chance drawn from the shared generator.
class SkirmishRifle : public CarriedItem {
public:
    SkirmishRifle()
    {
        std::strncpy(name, "Skirmish Rifle", kNameSize - 1);
        category = Weapon;
        noiseLevel = 60;
    }
    bool IsWeapon() override { return true; }
    bool BeginUse(bool forced) override
    {
        CarriedItem::BeginUse(forced);
        ++shots;
        auto* holder = dynamic_cast<Soldier*>(owner);
        auto* victim = holder ? dynamic_cast<Character*>(holder->target.target) : nullptr;
        if (victim && victim->health > 0 && randomMT() % 100 < 20)
            victim->health -= 25;
        return true;
    }
    int shots = 0;
};

class Skirmish : public NoLevel {
public:
    static constexpr float kRange = 150.0f;

    // The AI's view over the world and camera; the graph and statistics files are read from the
    // map's and the game's folders. Installed for the skirmish's lifetime.
    Skirmish(World& world, Camera& camera) : world(world), camera(camera)
    {
        graph.Load("Maps/Demo/area.wps");
        stats.Load("GameData/AI/AIStats.txt");
    }

    WaypointGraph* Waypoints() override { return &graph; }
    const AIStats* Stats() override { return &stats; }
    float CameraFar() override { return camera.GetFar(); }
    float CameraFogStart() override { return camera.GetFogStart(); }
    const std::vector<std::vector<Character*>>& Squads() override { return squads; }
    bool PickLine(HitResult& ray, float maxDistance, PickFilterCallback filter, Character*, Character*) override
    {
        HitResult unit = ray;
        const float length = unit.direction.Length();
        if (!(length > 0.0f))
            return false;
        unit.direction = unit.direction * (1.0f / length);
        PickResult pick;
        if (!world.Pick(unit, &pick, maxDistance, filter) || pick.distance >= kNoHit)
            return false;
        ray.distance = pick.distance;
        return true;
    }

    // Enrols a placed soldier on a side with a rifle, the infantry sensor and a patrol from where
    // it stands to the point.
    void Enrol(Soldier& soldier, int side, const Vector3& patrolTo)
    {
        soldier.team = std::uint8_t(side);
        soldier.LoadSensor("GameData/AI/infantry.sns");
        rifles.push_back(std::make_unique<SkirmishRifle>());
        soldier.PickUpItem(rifles.back().get(), true);
        soldier.SelectItem(rifles.back().get());
        Waypoint start;
        start.position = soldier.position;
        Waypoint end;
        end.position = patrolTo;
        soldier.AddPatrolWaypoint(start);
        soldier.AddPatrolWaypoint(end);
        soldier.pathFollower.Start(soldier.patrolPath);
        soldier.SetState(StatePatrol, Soldier::kNoLimit);
        soldiers.push_back(&soldier);
    }

    static bool Alive(const Soldier* s) { return s->health > 0; }

    // The mission's decisions for every living soldier, then its state step.
    void Think(float elapsed)
    {
        for (Soldier* s : soldiers)
            if (Alive(s))
                s->UpdateStimuli();
        for (Soldier* s : soldiers) {
            if (!Alive(s))
                continue;
            Vector3 eye;
            s->GetHeadPosition(&eye);
            s->sensor.SetView(eye, s->rotation);
            if (s->target.target && !Alive(static_cast<Soldier*>(s->target.target)))
                s->target.Clear();
            for (Soldier* other : soldiers) {
                if (other->team == s->team || !Alive(other))
                    continue;
                StimulusSource source;
                source.position = other->eyePosition;
                source.visibility = other->visibility;
                source.noise = other->noise;
                source.size = other->size;
                const float d2 = s->position.DistanceSquared(other->position);
                SenseResult result;
                s->Sense(other, source, d2, 0.0f, result);
                s->ConsiderTarget(other, Stimulus(result), d2);
            }
            if (s->target.target) {
                s->target.distanceSquared = s->position.DistanceSquared(s->target.target->position);
                s->SetState(s->target.rating > 5000.0f ? StateAttack : StateMoveToTarget, Soldier::kNoLimit);
            } else if (s->state != StatePatrol) {
                s->pathFollower.Start(s->patrolPath);
                s->SetState(StatePatrol, Soldier::kNoLimit);
            }
            s->UpdateAI(elapsed);
        }
    }

    int Living(int side) const
    {
        int n = 0;
        for (const Soldier* s : soldiers)
            n += s->team == side && Alive(s) ? 1 : 0;
        return n;
    }

    World& world;
    Camera& camera;
    WaypointGraph graph;
    AIStats stats;
    std::vector<Soldier*> soldiers;
    // Before the rifles, so that the soldiers holding them are gone while it still answers.
    NamedWeapons weapons{kRange};
    std::vector<std::unique_ptr<SkirmishRifle>> rifles;
    // The squads the AI sees; none unless a test enters them.
    std::vector<std::vector<Character*>> squads;

private:
    RunningLevel level{{.ai = this}};
};
