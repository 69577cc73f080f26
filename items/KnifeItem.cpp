#include "items/KnifeItem.h"

#include "characters/body/AnimationController.h"
#include "characters/body/Character.h"
#include "characters/level/LevelScene.h"
#include "characters/level/RunningLevel.h"
#include "engine/core/RandomMT.h"
#include "items/ItemServices.h"
#include "items/ItemSound.h"
#include "items/projectiles/KnifeStab.h"
#include "media/Sound3D.h"

KnifeItem::KnifeItem(const ItemDefinition& definition)
{
    ReadDefinition(definition);
    for (int i = 0; i < 3; ++i) {
        stabSounds[i] = LoadItemSound(resourcePath[2 + i]);
        if (stabSounds[i]) {
            stabSounds[i]->SetLoopCount(1, Sound::NoPlay);
            stabSounds[i]->SetDistances(400.0f, 20.0f, Sound::NoPlay);
        }
    }
    drawSound = LoadItemSound(resourcePath[6]);
    if (drawSound) {
        drawSound->SetLoopCount(1, Sound::NoPlay);
        drawSound->SetDistances(400.0f, 10.0f, Sound::NoPlay);
    }
    for (std::string& path : resourcePath)
        path.clear();
}

KnifeItem::~KnifeItem() = default;

bool KnifeItem::BeginUse(bool forced)
{
    if (inUse && !forced)
        return false;
    if (!owner)
        return false;
    stabbing = true;
    stabSoundIndex = int(randomMT() % 3);
    if (Sound3D* sound = stabSounds[stabSoundIndex].get()) {
        sound->SetPosition(owner->position.x, owner->position.y + 3.0f, owner->position.z, Sound::NoPlay);
        stabHandle = sound->Play();
    }
    owner->StartAction(8, true);
    const float s = ItemsGetSkill(owner, skillIndex);
    Vector3 forward(owner->rotation.m[6], 0.0f, owner->rotation.m[8]);
    forward.Normalize();
    ItemsAddProjectile(new KnifeStab(owner->GetPointInFront(1.0f) + Vector3(0, 4, 0), forward, effectiveRange, owner,
                                     damage * (s + 0.5f), bulletValue2 * (s + 0.5f)));
    return WeaponItem::BeginUse(forced);
}

void KnifeItem::UpdateTransform(float elapsed)
{
    noiseLevel = 0;
    if (stabSoundIndex >= 0 && stabHandle != -1 && stabSounds[stabSoundIndex] &&
        !stabSounds[stabSoundIndex]->IsPlaying(stabHandle))
        stabHandle = -1;
    if (!owner) {
        Item::UpdateTransform(elapsed);
        return;
    }
    if (stabbing) {
        noiseLevel += noise;
        if (stabSoundIndex >= 0 && stabHandle != -1 && stabSounds[stabSoundIndex]) {
            const Vector3 at = owner->position + Vector3(owner->rotation.m[6], 3.0f, owner->rotation.m[8]);
            stabSounds[stabSoundIndex]->SetPosition(at.x, at.y, at.z, stabHandle);
        }
    }
    // The use lasts while the stab animation (channels 5 to 7) plays.
    bool animating = false;
    if (AnimationController* animation = owner->GetAnimation())
        for (int channel = 5; channel <= 7 && channel < animation->GetChannelCount(); ++channel)
            animating = animating || animation->IsPlaying(channel);
    inUse = stabbing || animating;
    stabbing = false;
    WeaponItem::UpdateTransform(elapsed);
}

void KnifeItem::Select()
{
    WeaponItem::Select();
    if (owner && drawSound && (owner->position - RunningLevel::Scene().CameraPosition()).LengthSquared() < 90000.0f) {
        drawSound->SetPosition(owner->position.x, owner->position.y + 3.0f, owner->position.z, Sound::NoPlay);
        drawSound->Play();
    }
    ownerSkill = ItemsGetSkill(owner, skillIndex);
}
