#pragma once

#include <cstdint>
#include <memory>

#include "items/ItemModelCache.h"
#include "items/projectiles/Bullet.h"

class Sound3D;
struct ItemModelRecord;

// A thrown (or launched) grenade: a bouncing, tumbling model with a fuse that ends in an
// explosion. An impact-fused grenade goes off at its first hit beyond 8.66 units of its release.
//
// Its block behind the Bullet block: explosionSoundPath (256), modelPath (256), bounceSoundPrefix
// (256), the model's position (12) and rotation (36), throwerID (2), origin (12), fuse (4),
// velocity (12), resting (1), releaseItem (1), bounce (4), blastRadius (4), impactFuse (1).
class GrenadeProjectile : public Bullet {
public:
    static constexpr std::uint32_t kBlockSize = Bullet::kBlockSize + 256 * 3 + 12 + 36 + 2 + 12 + 4 + 12 + 1 + 1 + 4 + 4 + 1;
    static constexpr float kGravity = 20.0f;
    static constexpr int kDamage = 150;

    // An empty grenade for the saved-game reader.
    GrenadeProjectile();
    // Throws q3DError "Can't load %s: %s" for a bounce sound that cannot be read.
    GrenadeProjectile(const Vector3& start, const Vector3& direction, float blastRadius, Character* thrower,
                      float throwSpeed, bool impactFuse, bool releaseItem, const char* explosionSound,
                      const char* bounceSoundPrefix, const char* modelPath);
    ~GrenadeProjectile() override;

    void UpdateTransform(float elapsed) override;
    bool Draw(Device* device) override;
    void Save(SaveStream* stream) override;
    // A grenade saved after it went off (fuse at or below 0) stays inactive.
    void Load(SaveStream* stream) override;

    SharedMeshNode mesh;
    std::uint16_t throwerID = 0xFFFF;
    char explosionSoundPath[256] = {};
    char modelPath[256] = {};
    char bounceSoundPrefix[256] = {};
    Vector3 origin;
    float fuse = 4.0f;
    Vector3 velocity;
    bool resting = false;
    bool releaseItem = false;
    float bounce = 0.35f;
    float blastRadius = 0.0f;
    bool impactFuse = false;
    bool wentOff = false;
    int bounces = 0; // for tests

protected:
    virtual void GoOff();
    // Gravity, the picks and the bounce, the move and the tumble; the grenade rests below the
    // rest speed. True when it bounced hard (faster than 2.5).
    bool FlightStep(float elapsed, float restSpeed);
    void LoadResources();

    std::unique_ptr<Sound3D> explosionSound;
    std::unique_ptr<Sound3D> bounceSounds[3];
    int explosionHandle = -1;
    ItemModelRecord* model = nullptr;
};
