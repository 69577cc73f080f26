#pragma once

#include "engine/core/Matrix.h"
#include "engine/core/Vector.h"

// What the flying projectiles share.

// An orientation whose third row points along the direction (up (0, 1, 0), another axis when the
// two are parallel).
Matrix3 LookAlong(Vector3 forward);
// The camera's far distance, the reach of a projectile's picks and of the weapons' sounds; the
// fallback without a camera.
float ProjectileReach(float fallback = 1000.0f);
// A particle effect started among the running effects at the point, turned when a rotation is
// given, its particles stopping at the floor height (below the point) when one is given; a file
// that cannot be read is logged ("Error loading %s: %s") and false.
bool StartParticleEffect(const char* path, const Vector3& at, const Matrix3* rotation,
                         const float* floorHeight = nullptr);
