#pragma once

#include "engine/core/Vector.h"

class Character;
class GameObject;

// The enemies' helpers on top of the running level's answers (EnemyEvents, AILevelView).
// The flag byte of the event the object is, -1 when it is no entry of the event list.
int MissionEventFlag(const GameObject* object);
// The member of any squad nearest to the point (null without squads) and its squared distance
// (3.4e38 without one).
Character* MissionFindNearestSquadMember(const Vector3& point, float* distanceSquared);
