#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/Vector.h"
#include "world/props/Prop.h"

class MapObject;
class Sound3D;

// "destroyable" [health] [sound] [radius] [damage] [replacement] [x] [y] [z] [effect...]: a map
// object that shots and blasts wear down and that, destroyed, plays its sound, sets off its own
// blast (at the object plus the offset), fires its trigger, leaves its wreck (the replacement
// entry) and starts its effects. Direct hits count at once; splash damage is taken off over the
// following frames while the object is near the camera.
class DestroyableProp : public Prop {
public:
    static constexpr int kMaxEffects = 10;
    // Objects this strong ignore direct hits below kArmourPiercing.
    static constexpr int kArmoured = 1000;
    static constexpr int kArmourPiercing = 100;

    DestroyableProp();
    ~DestroyableProp() override;

    std::uint32_t Parse(MapObject* object, const char* line) override;
    void UpdateNearCamera(MapObject* object, float dt) override;
    void Detach(MapObject* object) override;
    std::uint32_t GetFlags() override { return PropNearCamera; }

    virtual bool IsDestroyable() const { return true; }
    // A hit from the source's character (-1 none): a direct one counts now, splash damage is kept
    // (replacing any earlier amount) and taken off by the near-camera hook.
    void TakeDamage(int damage, std::int16_t source, bool splash);
    // Once only: health 0, sound, blast, trigger, wreck, effects; the object is moved away.
    virtual void Destroy(const Vector3& position, std::int16_t source, bool silent);
    // A destruction replayed (a saved game, a late joiner): trigger and wreck, no sound or blast.
    virtual void DestroyWithoutEffects();

    // The point the object's own blast comes from.
    Vector3 BlastPoint() const;

    MapObject* object = nullptr;
    int health = 100;
    int fullHealth = 100;
    std::string soundFile; // empty: none
    float radius = 0.0f;
    int damage = 0;
    int replacement = -1; // library index of the wreck, -1 none
    Vector3 blastOffset;
    std::vector<std::string> effects;
    bool splashOnly = false;
    bool destroyed = false;
    int number = -1; // the level's running count, shared with saves and the network
    int pendingDamage = 0;
    std::int16_t lastSource = -1;

private:
    // A counted hit (a direct one, or a step of splash): direct hits are refused on splash-only
    // objects, weak ones on armoured objects; else the health goes down and reaching 0 from above
    // destroys the object.
    void Hit(int amount, bool splash);
    void MakeWreck();

    std::unique_ptr<Sound3D> sound;
    int soundHandle = -1;

protected:
    bool listed = false; // on the level's destroyable list until detached
};

// "destroyed": the wreck of a destroyed object; it keeps the number and takes no damage.
class DestroyedProp : public DestroyableProp {
public:
    std::uint32_t Parse(MapObject* object, const char* line) override;
    void UpdateNearCamera(MapObject*, float) override {}
    std::uint32_t GetFlags() override { return PropMarker; }
    bool IsDestroyable() const override { return false; }
    void Destroy(const Vector3&, std::int16_t, bool) override {}
    void DestroyWithoutEffects() override {}
};

Prop* DestroyablePropFactory();
Prop* DestroyedPropFactory();

// The object's live destroyable prop, null when it has none (or only a wreck's).
DestroyableProp* FindDestroyable(const MapObject* object);
// The newest holder of the number (the wreck once the object is destroyed), null when none has it.
DestroyableProp* FindDestroyableByNumber(int number);
// A blast's share for every live destroyable in reach: (1 - distance / radius) x damage, as splash.
void DamageDestroyablesInBlast(const Vector3& centre, int damage, float radius, std::int16_t source);
