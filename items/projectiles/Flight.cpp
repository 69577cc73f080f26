#include "items/projectiles/Flight.h"

#include <cmath>
#include <memory>

#include "app/framework/Application.h"
#include "engine/core/EngineLog.h"
#include "engine/core/q3DError.h"
#include "engine/particle/ParticleEffectCache.h"
#include "engine/particle/qParticle.h"
#include "items/ItemServices.h"

Matrix3 LookAlong(Vector3 forward)
{
    forward.Normalize();
    Vector3 up(0, 1, 0);
    if (std::fabs(forward.Dot(up)) > 1.0f - 1e-6f)
        up = Vector3(0, 0, 1);
    Vector3 right = Cross(up, forward);
    right.Normalize();
    const Vector3 trueUp = Cross(forward, right);
    Matrix3 m;
    m(0, 0) = right.x, m(0, 1) = right.y, m(0, 2) = right.z;
    m(1, 0) = trueUp.x, m(1, 1) = trueUp.y, m(1, 2) = trueUp.z;
    m(2, 0) = forward.x, m(2, 1) = forward.y, m(2, 2) = forward.z;
    return m;
}

float ProjectileReach(float fallback)
{
    ItemServices& services = LevelItemServices();
    const float far = services.CameraFar();
    return far > 0.0f ? far : fallback;
}

bool StartParticleEffect(const char* path, const Vector3& at, const Matrix3* rotation, const float* floorHeight)
{
    std::unique_ptr<qParticle> effect;
    try {
        effect = CreateParticleEffect(LevelItemServices().ParticleEffects(), Application::Instance()->GetDevice(), path);
    } catch (const q3DError& error) {
        LogToEngine("Error loading %s: %s", path, error.GetText());
        return false;
    }
    effect->position = at;
    if (rotation)
        effect->rotation = *rotation;
    if (floorHeight)
        effect->floorHeight = *floorHeight;
    ItemsAddParticleEffect(effect.release());
    return true;
}
