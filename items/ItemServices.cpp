#include "items/ItemServices.h"

#include <utility>

#include "engine/particle/qParticle.h"
#include "items/projectiles/Bullet.h"

namespace {

// Waits for the mission, which registers itself here when a level starts.
ItemServiceHooks services;

} // namespace

void SetItemServiceHooks(ItemServiceHooks hooks)
{
    services = std::move(hooks);
}

const ItemServiceHooks& GetItemServiceHooks()
{
    return services;
}

float ItemsGetSkill(Character* character, int skill)
{
    return services.skill ? services.skill(character, skill) : 0.5f;
}

float ItemsGetAccuracyAdjustment(Character* character)
{
    return services.accuracyAdjustment ? services.accuracyAdjustment(character) : 1.0f;
}

void ItemsAddProjectile(Bullet* projectile)
{
    if (services.addProjectile)
        services.addProjectile(projectile);
    else
        delete projectile;
}

void ItemsAddParticleEffect(qParticle* effect)
{
    if (services.addParticleEffect)
        services.addParticleEffect(effect);
    else
        delete effect;
}

void ItemsRemoveParticleEffect(qParticle* effect)
{
    if (services.removeParticleEffect)
        services.removeParticleEffect(effect);
}

void ItemsPlayBulletHitSound(int kind, const Vector3& point)
{
    if (services.playBulletHitSound && kind >= 0 && kind <= 5)
        services.playBulletHitSound(kind, point);
}

void ItemsCount(int counter, int index)
{
    if (services.count && index >= 0 && index <= 3)
        services.count(counter, index);
}

int ItemsLocalSquadIndex(Character* character)
{
    return services.localSquadIndex ? services.localSquadIndex(character) : -1;
}

bool ItemsIsPaused()
{
    return services.isPaused && services.isPaused();
}

bool ItemsUnlimitedAmmunition()
{
    return services.unlimitedAmmunition && services.unlimitedAmmunition();
}

Camera* ItemsCamera()
{
    return services.camera ? services.camera() : nullptr;
}

void ItemsSetDistanceCulling(bool on)
{
    if (services.setDistanceCulling)
        services.setDistanceCulling(on);
}

void ItemsSetCrosshair(bool on)
{
    if (services.setCrosshair)
        services.setCrosshair(on);
}
