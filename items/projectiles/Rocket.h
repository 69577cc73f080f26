#pragma once

#include <cstdint>
#include <memory>

#include "items/ItemModelCache.h"
#include "items/projectiles/Bullet.h"

class MapObject;
class Sound3D;
class qParticle;

// The flying, exploding projectile of the launchers and the tank gun: each step it moves along its
// nose, is tested against the world, the characters and the items, and explodes at the first hit
// or in water. A player-side launcher's rocket is slow and sinks. Never saved (typeCode -1).
class Rocket : public Bullet {
public:
    static constexpr const char* kDefaultModel = "GameData/Items/RPG/rocket.q3d";

    Rocket(const Vector3& start, const Vector3& direction, float range, Character* shooter, float minimumDamage,
           float maximumDamage, float blastRadius, bool slowRocket, const char* modelPath);
    ~Rocket() override;

    void UpdateTransform(float elapsed) override;
    bool Draw(Device* device) override;

    // The flight direction: the model's third rotation row.
    Vector3 Heading() const;

    SharedMeshNode mesh;
    Vector3 launchPoint;
    std::uint16_t shooterID = 0xFFFF;
    int minDamage = 0;
    int maxDamage = 0;
    float blastRadius = 0.0f;
    float fallSpeed = 0.0f;
    bool slowRocket = false;
    bool exploded = false;
    int explosionDamage = 0; // the damage drawn at the explosion (for tests)

private:
    void Explode(MapObject* struck, const Vector3& struckPoint);

    std::unique_ptr<Sound3D> explosionSound;
    std::unique_ptr<Sound3D> flySound;
    int explosionHandle = -1;
    int flyHandle = -1;
    std::unique_ptr<qParticle> trail;
    ItemModelRecord* model = nullptr;
};
