#include "characters/AIMissionServices.h"

#include "app/framework/Options.h"
#include "characters/AIStats.h"
#include "characters/NetworkSession.h"

WaypointGraph* MissionWaypointGraph()
{
    const MissionServiceHooks& hooks = GetMissionServiceHooks();
    return hooks.waypointGraph ? hooks.waypointGraph() : nullptr;
}

const AIStats* MissionAIStats()
{
    const MissionServiceHooks& hooks = GetMissionServiceHooks();
    return hooks.aiStats ? hooks.aiStats() : nullptr;
}

float MissionAIStat(const char* key, float fallback)
{
    const AIStats* stats = MissionAIStats();
    if (!stats || !stats->entries)
        return fallback;
    const int index = stats->FindIndex(key);
    return index < 0 ? fallback : stats->entries[index].value;
}

void MissionSyncRandomSeed()
{
    const MissionServiceHooks& hooks = GetMissionServiceHooks();
    if (hooks.syncRandomSeed)
        hooks.syncRandomSeed();
}

int MissionPlayChitChat(const Vector3& position)
{
    const MissionServiceHooks& hooks = GetMissionServiceHooks();
    return hooks.playChitChat ? hooks.playChitChat(position) : -1;
}

void MissionStopChitChat(int handle)
{
    const MissionServiceHooks& hooks = GetMissionServiceHooks();
    if (handle != -1 && hooks.stopChitChat)
        hooks.stopChitChat(handle);
}

void MissionBroadcastCharacterMove(std::int16_t id, std::uint8_t pitch, std::uint8_t yaw, const Vector3& position,
                                   float wait)
{
    const MissionServiceHooks& hooks = GetMissionServiceHooks();
    if (hooks.broadcastCharacterMove)
        hooks.broadcastCharacterMove(id, pitch, yaw, position, wait);
}

float MissionCameraFar()
{
    const MissionServiceHooks& hooks = GetMissionServiceHooks();
    return hooks.cameraFar ? hooks.cameraFar() : 3.4e38f;
}

float MissionCameraFogStart()
{
    const MissionServiceHooks& hooks = GetMissionServiceHooks();
    return hooks.cameraFogStart ? hooks.cameraFogStart() : 1.0f;
}

bool MissionIsLogSuppressed()
{
    const MissionServiceHooks& hooks = GetMissionServiceHooks();
    return hooks.isLogSuppressed && hooks.isLogSuppressed();
}

bool MissionIsDebugDraw()
{
    const MissionServiceHooks& hooks = GetMissionServiceHooks();
    return hooks.isDebugDraw && hooks.isDebugDraw();
}

bool MissionPickLine(HitResult& ray, float maxDistance, PickFilterCallback filter, Character* observer,
                     Character* source)
{
    const MissionServiceHooks& hooks = GetMissionServiceHooks();
    return hooks.pickLine && hooks.pickLine(ray, maxDistance, filter, observer, source);
}

bool MissionTilePropertyValue(const Vector3& point, float* value)
{
    const MissionServiceHooks& hooks = GetMissionServiceHooks();
    return hooks.tilePropertyValue && hooks.tilePropertyValue(point, value);
}

int MissionLightingCondition()
{
    const MissionServiceHooks& hooks = GetMissionServiceHooks();
    return hooks.lightingCondition ? hooks.lightingCondition() : 0;
}

int MissionPrecipitationKind()
{
    const MissionServiceHooks& hooks = GetMissionServiceHooks();
    return hooks.precipitationKind ? hooks.precipitationKind() : 0;
}

const std::vector<Vector3>& MissionSmokeClouds()
{
    static const std::vector<Vector3> none;
    const MissionServiceHooks& hooks = GetMissionServiceHooks();
    return hooks.smokeClouds ? hooks.smokeClouds() : none;
}

const std::vector<std::vector<Character*>>& MissionSquads()
{
    static const std::vector<std::vector<Character*>> none;
    const MissionServiceHooks& hooks = GetMissionServiceHooks();
    return hooks.squads ? hooks.squads() : none;
}

const std::vector<Character*>* MissionCurrentSquad()
{
    const MissionServiceHooks& hooks = GetMissionServiceHooks();
    return hooks.currentSquad ? hooks.currentSquad() : nullptr;
}

void MissionRaiseCombatFlag()
{
    const MissionServiceHooks& hooks = GetMissionServiceHooks();
    if (hooks.raiseCombatFlag)
        hooks.raiseCombatFlag();
}

int& EnemyGroundQueryCount()
{
    static int count = 0;
    return count;
}

int MissionDifficulty()
{
    const Options* options = Options::Instance();
    return options ? options->GetOption(0) : 1;
}

bool IsNetworkGameRunning()
{
    return IsNetworkServerActive() || IsNetworkClientConnected();
}
