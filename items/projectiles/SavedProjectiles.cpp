#include "items/projectiles/SavedProjectiles.h"

#include "engine/core/q3DError.h"
#include "items/projectiles/GasProjectiles.h"
#include "items/projectiles/GrenadeProjectile.h"

Bullet* CreateSavedProjectile(int typeCode)
{
    switch (typeCode) {
    case Bullet::GrenadeType:
        return new GrenadeProjectile();
    case Bullet::SmokeType:
        return new SmokeProjectile();
    case Bullet::TeargasType:
        return new TeargasProjectile();
    default:
        // Placed bombs (200) are not in this build.
        throw q3DError("Unknown projectile type %d in saved game", typeCode);
    }
}
