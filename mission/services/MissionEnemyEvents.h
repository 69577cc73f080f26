#pragma once

#include "characters/enemy/EnemyEvents.h"

class MissionState;

// What the map's enemies ask of the mission's running level: its voice folder, the noises they
// raise and hear, the alarms they pull, and the mission's switches for them.
class MissionEnemyEvents final : public EnemyEvents {
public:
    explicit MissionEnemyEvents(MissionState& mission) : mission(mission) {}

    const char* VoiceFolder() override;
    void AddEvent(const Vector3& position, float radius, Character* source, float value, bool flag) override;
    void VisitEvents(const std::function<void(const MissionEventView& entry)>& visit) override;
    const std::vector<GameObject*>& Alarms() override;
    void SoundAlarm(GameObject* alarm) override;
    float AlarmSoundTime(GameObject* alarm) override;
    void SetLastEnemyInCombat(Character* enemy, float value) override;
    bool EnemiesIgnoreDamage() override;
    bool NeutralsIgnoreDamage() override;
    bool IsLevelOfDetail() override;
    bool IsRouteDebug() override;
    bool IsSensorDebug() override;
    void DrawRouteMarker(Device* device, const Vector3& at) override;

private:
    MissionState& mission;
    std::vector<GameObject*> alarmObjects; // the alarm list's objects, as the enemies last asked
};
