// What the map's enemies ask of the running mission: its voice folder, the noises they raise and
// hear, the alarms they pull, and the mission's switches for them.
#include <bit>
#include <cstdint>

#include "characters/Character.h"
#include "characters/MissionServices.h"
#include "engine/mesh/MeshNode.h"
#include "mission/AlarmProp.h"
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

void MissionState::InstallEnemyHooks(MissionServiceHooks& hooks)
{
    hooks.voiceFolder = [this] { return level.definition.voiceFolder[0] ? level.definition.voiceFolder : "Sound/Voice"; };
    hooks.addEvent = [this](const Vector3& at, float loudness, Character* source, float countdown, bool flag) {
        AddNoiseEvent(at, loudness, source, countdown, flag);
    };
    hooks.visitEvents = [this](const std::function<void(const MissionEventView& entry)>& visit) {
        for (MissionEvent* event : level.events) {
            MissionEventView entry;
            entry.object = event;
            entry.source = event->source;
            entry.countdown = event->countdown;
            entry.flag = event->flag;
            visit(entry);
        }
    };
    hooks.alarms = [this]() -> const std::vector<GameObject*>& {
        level.alarmObjects.clear();
        for (AlarmProp* alarm = FirstAlarm(); alarm; alarm = alarm->next)
            if (alarm->state)
                level.alarmObjects.push_back(alarm->state.get());
        return level.alarmObjects;
    };
    hooks.soundAlarm = [](GameObject* alarm) {
        if (AlarmProp* prop = AlarmProp::Find(alarm))
            prop->Sound();
    };
    hooks.alarmSoundTime = [](GameObject* alarm) {
        const AlarmProp* prop = AlarmProp::Find(alarm);
        return prop ? prop->state->timer : 0.0f;
    };
    hooks.setLastEnemyInCombat = [this](Character* enemy, float value) {
        level.lastEnemyInCombat = enemy;
        level.lastEnemyInCombatValue = value;
    };
    hooks.enemiesIgnoreDamage = [this] { return enemiesIgnoreDamage; };
    hooks.isLevelOfDetail = [this] { return levelOfDetail; };
    hooks.isRouteDebug = [this] { return routeDebug; };
    hooks.isSensorDebug = [this] { return sensorDebug; };
    hooks.drawRouteMarker = [this](Device* device, const Vector3& at) {
        MeshNode* marker = hud.markerArrows[0].get();
        if (!marker)
            return;
        const Vector3 kept = marker->position;
        marker->position = at;
        marker->UpdateTransform(0.0f);
        marker->Draw(device);
        marker->position = kept;
        marker->UpdateTransform(0.0f);
    };
}
