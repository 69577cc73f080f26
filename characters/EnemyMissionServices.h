#pragma once

#include <vector>

#include "characters/MissionServices.h"

// The enemies' side of the mission hooks, each with its answer when the mission has not filled
// it: the voice folder "Sound/Voice", no events and no alarms (an event raised goes nowhere),
// silent alarms, no damage ignored, no level-of-detail switch and no debug drawing.
const char* MissionVoiceFolder();
void MissionAddEvent(const Vector3& position, float radius, Character* source, float value, bool flag);
void MissionVisitEvents(const std::function<void(const MissionEventView& entry)>& visit);
// The flag byte of the event the object is, -1 when it is no entry of the event list.
int MissionEventFlag(const GameObject* object);
const std::vector<GameObject*>& MissionAlarms();
void MissionSoundAlarm(GameObject* alarm);
float MissionAlarmSoundTime(GameObject* alarm);
void MissionSetLastEnemyInCombat(Character* enemy, float value);
bool MissionEnemiesIgnoreDamage();
bool MissionIsLevelOfDetail();
bool MissionIsRouteDebug();
bool MissionIsSensorDebug();
void MissionDrawRouteMarker(Device* device, const Vector3& at);
// The member of any squad nearest to the point (null without squads) and its squared distance
// (3.4e38 without one).
Character* MissionFindNearestSquadMember(const Vector3& point, float* distanceSquared);
