#include "items/projectiles/SavedProjectiles.h"

#include "engine/core/q3DError.h"
#include "items/projectiles/GrenadeProjectile.h"

Bullet* CreateSavedProjectile(int typeCode)
{
    switch (typeCode) {
    case Bullet::GrenadeType:
        return new GrenadeProjectile();
    default:
        // Smoke and tear-gas canisters (101, 102) and placed bombs (200) are not in this build.
        throw q3DError("Unknown projectile type %d in saved game", typeCode);
    }
}
