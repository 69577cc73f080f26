#pragma once

#include <vector>

#include "engine/core/Vector.h"

class CarriedItem;
class Character;
class ParticleEffectCache;

// What the running level answers about its world, ground, characters and hostility, and the
// loose items lying in it. The mission implements it (mission/services/MissionScene.h); with no level,
// NoLevel answers.
class LevelScene {
public:
    virtual ~LevelScene() = default;

    // The camera position (distance fade, level of detail, whether animations run).
    virtual Vector3 CameraPosition() = 0;
    // The character the local human controls (the camera follows it); may be null.
    virtual Character* CurrentPlayer() = 0;
    // Height of the walkable surface below the point; 3.4e38 when there is none.
    virtual float GroundHeight(const Vector3& point) = 0;
    // Every character of the level (the contact test walks it).
    virtual const std::vector<Character*>& Characters() = 0;
    // The vehicle a rider sits in (its protection shields the rider), null when none.
    virtual CarriedItem* RidingVehicle(Character* rider) = 0;
    // Whether the attacker may hurt the victim.
    virtual bool AreHostile(Character* attacker, Character* victim) = 0;
    // The level's flags: a network game, distance culling (the normal camera), the tutorial.
    virtual bool IsNetworkGame() = 0;
    virtual bool IsDistanceCulling() = 0;
    virtual bool IsTutorial() = 0;
    // The loose-item list: a dropped item goes to its front, a picked-up one leaves it; a deleted
    // world item leaves it and is deleted.
    virtual void AddLooseItem(CarriedItem* item) = 0;
    virtual void RemoveLooseItem(CarriedItem* item) = 0;
    virtual void DeleteItem(CarriedItem* item) = 0;
    // The level's particle definitions, so that each soldier's effects read no file again; null
    // (no level) reads the files for each one.
    virtual ParticleEffectCache* ParticleEffects() = 0;
};
