#pragma once

#include <memory>

#include "items/Item.h"
#include "items/explosives/ExplosiveItem.h"

class Sprite;

// The remotely detonated charge ("RemotelyDetonatedExplosive"): selecting it lays it in front of
// the soldier, facing where he looks; the player's secondary fire sets off every charge he laid.
// Its block behind the ExplosiveBlock: the charge direction (three floats).
class RemoteExplosiveItem : public ExplosiveItem {
public:
    explicit RemoteExplosiveItem(const ItemDefinition& definition);

    void Update(float elapsed) override;
    void UpdateTransform(float elapsed) override;
    void Load(SaveStream* stream) override;
    void Save(SaveStream* stream) override;
    void Select() override;
    bool Detonate(bool notify) override;

    void SetChargePosition(const Vector3& direction) { chargeDirection = direction; }
    const Vector3& ChargeDirection() const { return chargeDirection; }

private:
    Vector3 chargeDirection;
};

// Sets off every loose remote charge the character laid; the count that went off.
int DetonateChargesOf(Character* placer, const std::vector<CarriedItem*>& looseItems);

// The timed charge ("TimedExplosive"): its timer (0 to 60 s in steps of 10, secondary use) is set
// while held; using it leaves the charge at the soldier's feet with a ticking TimedBomb, which
// explodes when the time runs out unless somebody picks the charge up again.
class TimedChargeItem : public Item {
public:
    explicit TimedChargeItem(const ItemDefinition& definition);
    ~TimedChargeItem() override;

    void UpdateTransform(float elapsed) override;
    void DrawHUD(Device* device) override;
    void Select() override;
    void Deselect() override;
    // Places the bomb; always answers true.
    bool BeginUse(bool forced) override;
    // The timer step.
    bool UseSecondary() override;
    bool ExpiresWhenDropped() override { return false; }

    void Place();
    int Timer() const { return timer; }
    bool Placed() const { return placed; }

private:
    int timer = 10;
    bool placed = false;
    std::unique_ptr<Sprite> overlay;
};
