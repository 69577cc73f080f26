#pragma once

#include <memory>

#include "items/WeaponItem.h"

class Sound3D;

// The melee weapon ("Melee"): a stab plays one of three sounds and the owner's firing action, and
// hits every living character in a narrow cone within reach in the same frame (KnifeStab). The
// weapon block's reach is effectiveRange; damage and bulletValue2 bound the damage; resource
// lines 3 to 5 are the stab sounds, line 7 the draw sound. It keeps the WeaponItem block.
class KnifeItem : public WeaponItem {
public:
    explicit KnifeItem(const ItemDefinition& definition);
    ~KnifeItem() override;

    void UpdateTransform(float elapsed) override;
    void Select() override;
    // The stab.
    bool BeginUse(bool forced) override;
    float GetSuitability(int targetKind, float distance) override
    {
        (void)distance;
        return targetKind == 3 ? 1.0f : -0.002f;
    }
    bool IsMelee() override { return true; }

    bool stabbing = false;
    int stabHandle = -1;
    int stabSoundIndex = -1;

private:
    std::unique_ptr<Sound3D> stabSounds[3];
    std::unique_ptr<Sound3D> drawSound;
};
