#pragma once

#include <memory>
#include <vector>

#include "items/projectiles/GrenadeProjectile.h"

class qParticle;

// A thrown canister that never explodes: it flies and bounces like a grenade (resting below speed
// 0.5), reports its first hard bounce to the AI, and pours a cloud for its fuse time. Its block
// is the grenade's followed by noiseMade (1 byte); a loaded canister makes its cloud anew without
// the release sound.
class GasProjectile : public GrenadeProjectile {
public:
    bool Draw(Device* device) override;
    void Save(SaveStream* stream) override;
    void Load(SaveStream* stream) override;

    qParticle* GetCloud() const { return cloud.get(); }
    bool IsEmitting() const;

    bool noiseMade = false;

protected:
    GasProjectile(int type, const char* cloudFile);
    GasProjectile(int type, const char* cloudFile, const Vector3& start, const Vector3& direction, float radius,
                  Character* thrower, float throwSpeed, bool releaseItem, const char* releaseSound,
                  const char* bounceSoundPrefix, const char* modelPath);
    // The flight of a step, the first-bounce noise and the cloud following the canister.
    void Fly(float elapsed);
    void StopEmitting();
    static void SyncRandom();

    std::unique_ptr<qParticle> cloud;
    const char* cloudFile;
};

// Smoke ("SmokeGrenade", typeCode 101): a cloud of 50 to 90 s that the AI's sight test reads
// through the smoke-cloud list; it fades in its last 10 s.
class SmokeProjectile : public GasProjectile {
public:
    SmokeProjectile();
    SmokeProjectile(const Vector3& start, const Vector3& direction, float radius, Character* thrower, float throwSpeed,
                    bool releaseItem, const char* releaseSound, const char* bounceSoundPrefix, const char* modelPath);
    ~SmokeProjectile() override;

    void UpdateTransform(float elapsed) override;
};

// The live smoke canisters, oldest first.
const std::vector<SmokeProjectile*>& GetSmokeClouds();

// Tear gas ("TeargasGrenade", typeCode 102): 30 to 50 s (7 to 10 s in a network game) of gas
// that stuns the characters the thrower may attack within 25 units; under water or when the time
// is up it stops at once and ends 10 s later.
class TeargasProjectile : public GasProjectile {
public:
    static constexpr float kStunRadiusSquared = 625.0f;

    TeargasProjectile();
    TeargasProjectile(const Vector3& start, const Vector3& direction, float radius, Character* thrower,
                      float throwSpeed, bool releaseItem, const char* releaseSound, const char* bounceSoundPrefix,
                      const char* modelPath);

    void UpdateTransform(float elapsed) override;
};
