#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "engine/core/Vector.h"

class Character;
class Device;
class GameObject;

// An entry of the level's event list as the AI senses it: an event (object type 4) with its
// source, its remaining time and its flag byte, or another object the list holds.
struct MissionEventView {
    GameObject* object = nullptr;
    Character* source = nullptr;
    float countdown = 0.0f;
    std::uint8_t flag = 0;
};

// What the enemies ask of the running level: its voice folder, the noises they raise and hear,
// the alarms they pull, the last enemy in combat, and the mission's switches for them. The
// mission implements it (mission/services/MissionEnemyEvents.h); with no level, NoLevel answers.
class EnemyEvents {
public:
    virtual ~EnemyEvents() = default;

    // The level's voice folder; its five categories are every enemy's voices. Never null.
    virtual const char* VoiceFolder() = 0;
    // An event the AI notices (a noise at the position, heard within the radius).
    virtual void AddEvent(const Vector3& position, float radius, Character* source, float value, bool flag) = 0;
    // Hands every entry of the event list to the visitor.
    virtual void VisitEvents(const std::function<void(const MissionEventView& entry)>& visit) = 0;
    // The alarms: their props as game objects (object type 5, position and health).
    virtual const std::vector<GameObject*>& Alarms() = 0;
    // The alarm prop's own share of sounding: its sound time becomes 60 s, its sound plays at the
    // alarm and its trigger fires. A null or unknown alarm does nothing.
    virtual void SoundAlarm(GameObject* alarm) = 0;
    // Seconds the alarm still sounds (0 when silent, null or unknown).
    virtual float AlarmSoundTime(GameObject* alarm) = 0;
    // The enemy last in combat and its value, for the music and the HUD.
    virtual void SetLastEnemyInCombat(Character* enemy, float value) = 0;
    // The flag that makes enemies ignore damage, the level-of-detail switch and the debug
    // switches of routes and sensor cones.
    virtual bool EnemiesIgnoreDamage() = 0;
    // The flag that protects the neutrals from damage.
    virtual bool NeutralsIgnoreDamage() = 0;
    virtual bool IsLevelOfDetail() = 0;
    virtual bool IsRouteDebug() = 0;
    virtual bool IsSensorDebug() = 0;
    // The route-debug marker drawn at a point; nothing without a device.
    virtual void DrawRouteMarker(Device* device, const Vector3& at) = 0;
};
