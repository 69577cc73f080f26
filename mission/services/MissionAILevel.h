#pragma once

#include "characters/ai/AILevelView.h"

class MissionState;

// The AI's view of the mission's running level.
class MissionAILevel final : public AILevelView {
public:
    explicit MissionAILevel(MissionState& mission) : mission(mission) {}

    WaypointGraph* Waypoints() override;
    const AIStats* Stats() override;
    int PlayChitChat(const Vector3& position) override;
    void StopChitChat(int handle) override;
    float CameraFar() override;
    float CameraFogStart() override;
    bool IsLogSuppressed() override;
    bool IsDebugDraw() override;
    bool PickLine(HitResult& ray, float maxDistance, PickFilterCallback filter, Character* observer,
                  Character* source) override;
    bool TilePropertyValue(const Vector3& point, float* value) override;
    int LightingCondition() override;
    int PrecipitationKind() override;
    const std::vector<Vector3>& SmokeClouds() override;
    const std::vector<std::vector<Character*>>& Squads() override;
    const std::vector<Character*>* CurrentSquad() override;
    void RaiseCombatFlag() override;

private:
    // One list a squad, the local squad's first.
    void RefreshSquads();

    MissionState& mission;
    // Resized in place, so that the current squad's list stays where the AI was told it is while
    // the squad count holds.
    std::vector<std::vector<Character*>> squadMembers;
    std::vector<Vector3> smokeCloudCentres;
};
