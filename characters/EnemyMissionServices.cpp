#include "characters/EnemyMissionServices.h"

#include "characters/AIMissionServices.h"
#include "characters/Character.h"

const char* MissionVoiceFolder()
{
    const MissionServiceHooks& hooks = GetMissionServiceHooks();
    const char* folder = hooks.voiceFolder ? hooks.voiceFolder() : nullptr;
    return folder ? folder : "Sound/Voice";
}

void MissionAddEvent(const Vector3& position, float radius, Character* source, float value, bool flag)
{
    const MissionServiceHooks& hooks = GetMissionServiceHooks();
    if (hooks.addEvent)
        hooks.addEvent(position, radius, source, value, flag);
}

void MissionVisitEvents(const std::function<void(const MissionEventView& entry)>& visit)
{
    const MissionServiceHooks& hooks = GetMissionServiceHooks();
    if (hooks.visitEvents && visit)
        hooks.visitEvents(visit);
}

int MissionEventFlag(const GameObject* object)
{
    int flag = -1;
    if (!object)
        return flag;
    MissionVisitEvents([&](const MissionEventView& entry) {
        if (entry.object == object)
            flag = entry.flag;
    });
    return flag;
}

const std::vector<GameObject*>& MissionAlarms()
{
    static const std::vector<GameObject*> none;
    const MissionServiceHooks& hooks = GetMissionServiceHooks();
    return hooks.alarms ? hooks.alarms() : none;
}

void MissionSoundAlarm(GameObject* alarm)
{
    const MissionServiceHooks& hooks = GetMissionServiceHooks();
    if (alarm && hooks.soundAlarm)
        hooks.soundAlarm(alarm);
}

float MissionAlarmSoundTime(GameObject* alarm)
{
    const MissionServiceHooks& hooks = GetMissionServiceHooks();
    return alarm && hooks.alarmSoundTime ? hooks.alarmSoundTime(alarm) : 0.0f;
}

void MissionSetLastEnemyInCombat(Character* enemy, float value)
{
    const MissionServiceHooks& hooks = GetMissionServiceHooks();
    if (hooks.setLastEnemyInCombat)
        hooks.setLastEnemyInCombat(enemy, value);
}

namespace {

bool Ask(const std::function<bool()>& flag) { return flag && flag(); }

} // namespace

bool MissionEnemiesIgnoreDamage() { return Ask(GetMissionServiceHooks().enemiesIgnoreDamage); }
bool MissionIsLevelOfDetail() { return Ask(GetMissionServiceHooks().isLevelOfDetail); }
bool MissionIsRouteDebug() { return Ask(GetMissionServiceHooks().isRouteDebug); }
bool MissionIsSensorDebug() { return Ask(GetMissionServiceHooks().isSensorDebug); }

void MissionDrawRouteMarker(Device* device, const Vector3& at)
{
    const MissionServiceHooks& hooks = GetMissionServiceHooks();
    if (device && hooks.drawRouteMarker)
        hooks.drawRouteMarker(device, at);
}

Character* MissionFindNearestSquadMember(const Vector3& point, float* distanceSquared)
{
    Character* nearest = nullptr;
    float best = 3.4e38f;
    for (const std::vector<Character*>& squad : MissionSquads()) {
        for (Character* member : squad) {
            if (!member)
                continue;
            const float d = member->position.DistanceSquared(point);
            if (!nearest || d < best) {
                nearest = member;
                best = d;
            }
        }
    }
    if (distanceSquared)
        *distanceSquared = best;
    return nearest;
}
