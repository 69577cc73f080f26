#include "mission/services/MissionEnemyEvents.h"

#include <bit>
#include <cstdint>

#include "characters/body/Character.h"
#include "engine/mesh/MeshNode.h"
#include "mission/props/AlarmProp.h"
#include "mission/MissionState.h"

PtrListNode* MissionState::AddNoiseEvent(const Vector3& at, float loudness, Character* source, float countdown,
                                         bool flag)
{
    // The event's data word holds the loudness as the number it is.
    PtrListNode* node = AddEvent(at.x, at.y, at.z, std::bit_cast<std::uint32_t>(loudness), source, countdown,
                                 flag ? 1 : 0);
    MissionEvent* event = PtrListOf<MissionEvent>::ItemOf(node);
    event->eyePosition = at;
    event->noise = loudness;
    return node;
}

const char* MissionEnemyEvents::VoiceFolder()
{
    return mission.level.definition.voiceFolder[0] ? mission.level.definition.voiceFolder : "Sound/Voice";
}

void MissionEnemyEvents::AddEvent(const Vector3& at, float loudness, Character* source, float countdown, bool flag)
{
    mission.AddNoiseEvent(at, loudness, source, countdown, flag);
}

void MissionEnemyEvents::VisitEvents(const std::function<void(const MissionEventView& entry)>& visit)
{
    if (!visit)
        return;
    for (MissionEvent* event : mission.level.events) {
        MissionEventView entry;
        entry.object = event;
        entry.source = event->source;
        entry.countdown = event->countdown;
        entry.flag = event->flag;
        visit(entry);
    }
}

const std::vector<GameObject*>& MissionEnemyEvents::Alarms()
{
    alarmObjects.clear();
    for (AlarmProp* alarm = FirstAlarm(); alarm; alarm = alarm->next)
        if (alarm->state)
            alarmObjects.push_back(alarm->state.get());
    return alarmObjects;
}

void MissionEnemyEvents::SoundAlarm(GameObject* alarm)
{
    if (AlarmProp* prop = alarm ? AlarmProp::Find(alarm) : nullptr)
        prop->Sound();
}

float MissionEnemyEvents::AlarmSoundTime(GameObject* alarm)
{
    const AlarmProp* prop = alarm ? AlarmProp::Find(alarm) : nullptr;
    return prop ? prop->state->timer : 0.0f;
}

void MissionEnemyEvents::SetLastEnemyInCombat(Character* enemy, float value)
{
    mission.level.lastEnemyInCombat = enemy;
    mission.level.lastEnemyInCombatValue = value;
}

bool MissionEnemyEvents::EnemiesIgnoreDamage() { return mission.enemiesIgnoreDamage; }
bool MissionEnemyEvents::NeutralsIgnoreDamage() { return mission.neutralsIgnoreDamage; }
bool MissionEnemyEvents::IsLevelOfDetail() { return mission.levelOfDetail; }
bool MissionEnemyEvents::IsRouteDebug() { return mission.routeDebug; }
bool MissionEnemyEvents::IsSensorDebug() { return mission.sensorDebug; }

void MissionEnemyEvents::DrawRouteMarker(Device* device, const Vector3& at)
{
    MeshNode* marker = mission.hud.markerArrows[0].get();
    if (!device || !marker)
        return;
    const Vector3 kept = marker->position;
    marker->position = at;
    marker->UpdateTransform(0.0f);
    marker->Draw(device);
    marker->position = kept;
    marker->UpdateTransform(0.0f);
}
