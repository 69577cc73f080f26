#pragma once

class Bullet;

// An empty projectile of a saved game's type code, for its Load; the caller owns it. Throws
// q3DError "Unknown projectile type %d in saved game" for a code this build cannot read (bullets
// and rockets in flight are never saved).
Bullet* CreateSavedProjectile(int typeCode);
