#pragma once

#include <cstdint>
#include <vector>

#include "characters/MissionServices.h"

// The AI's side of the mission hooks, each with its answer when the mission has not filled it:
// no graph, no table, no chit-chat, nothing sent, no camera limits (an endless far distance: no fog), no log
// suppression, no debug drawing, an empty world (nothing blocks a line), day, no rain, no smoke
// and no squads.
WaypointGraph* MissionWaypointGraph();
const AIStats* MissionAIStats();
// The value of an AI statistic by key, fallback when the table or the key is missing.
float MissionAIStat(const char* key, float fallback);
void MissionSyncRandomSeed();
int MissionPlayChitChat(const Vector3& position);
void MissionStopChitChat(int handle);
void MissionBroadcastCharacterMove(std::int16_t id, std::uint8_t pitch, std::uint8_t yaw, const Vector3& position,
                                   float wait);
float MissionCameraFar();
float MissionCameraFogStart();
bool MissionIsLogSuppressed();
bool MissionIsDebugDraw();
bool MissionPickLine(HitResult& ray, float maxDistance, PickFilterCallback filter, Character* observer,
                     Character* source);
bool MissionTilePropertyValue(const Vector3& point, float* value);
int MissionLightingCondition();
int MissionPrecipitationKind();
const std::vector<Vector3>& MissionSmokeClouds();
const std::vector<std::vector<Character*>>& MissionSquads();
const std::vector<Character*>* MissionCurrentSquad();
void MissionRaiseCombatFlag();
// The enemies' ground queries of this frame: their update counts each one, the in-game update
// sets it back to 0 every frame.
int& EnemyGroundQueryCount();
// The mission's difficulty option (0 easy, 1 medium, 2 hard).
int MissionDifficulty();
// A networked game is running: this machine hosts or is a connected client.
bool IsNetworkGameRunning();
