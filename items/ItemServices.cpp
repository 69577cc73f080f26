#include "items/ItemServices.h"

#include "characters/level/RunningLevel.h"
#include "items/NoLevelItems.h"

ItemServices& LevelItemServices()
{
    ItemServices* services = RunningLevel::Items();
    return services ? *services : NoLevelItems::Answers();
}

float ItemsGetSkill(Character* character, int skill) { return LevelItemServices().Skill(character, skill); }
float ItemsGetAccuracyAdjustment(Character* character) { return LevelItemServices().AccuracyAdjustment(character); }
void ItemsAddProjectile(Bullet* projectile) { LevelItemServices().AddProjectile(projectile); }
void ItemsAddParticleEffect(qParticle* effect) { LevelItemServices().AddParticleEffect(effect); }
void ItemsRemoveParticleEffect(qParticle* effect) { LevelItemServices().RemoveParticleEffect(effect); }

void ItemsPlayBulletHitSound(int kind, const Vector3& point)
{
    if (kind >= 0 && kind <= 5)
        LevelItemServices().PlayBulletHitSound(kind, point);
}

void ItemsCount(int counter, int index)
{
    if (index >= 0 && index <= 3)
        LevelItemServices().Count(counter, index);
}

int ItemsLocalSquadIndex(Character* character) { return LevelItemServices().LocalSquadIndex(character); }
bool ItemsIsPaused() { return LevelItemServices().IsPaused(); }
bool ItemsUnlimitedAmmunition() { return LevelItemServices().UnlimitedAmmunition(); }
Camera* ItemsCamera() { return LevelItemServices().MissionCamera(); }
void ItemsSetDistanceCulling(bool on) { LevelItemServices().SetDistanceCulling(on); }
void ItemsSetCrosshair(bool on) { LevelItemServices().SetCrosshair(on); }
