#include "items/projectiles/SavedProjectiles.h"

#include "engine/core/q3DError.h"
#include "items/explosives/TimedBomb.h"
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
    case Bullet::TimedBombType:
        return new TimedBomb();
    default:
        throw q3DError("Unknown projectile type %d in saved game", typeCode);
    }
}
