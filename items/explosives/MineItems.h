#pragma once

#include "items/explosives/ExplosiveItem.h"

// A mine a soldier lays by selecting it. It arms when its delay has run out (1 s, 5 s in a
// multiplayer game) and goes off when a living, moving character it may hurt steps near it.
// Its block behind the ExplosiveBlock is the MineBlock.
class ATMineItem : public ExplosiveItem {
public:
    explicit ATMineItem(const ItemDefinition& definition);

    void Load(SaveStream* stream) override;
    void Save(SaveStream* stream) override;
    // Selecting a mine lays it.
    void Select() override;
    void SetOwner(Character* newOwner) override;
    void Place() override;

    bool IsArmed() const { return armed; }
    float ArmingDelay() const { return armingDelay; }

protected:
    bool armed = false;
    float armingDelay = 1.0f;
};

// The anti-personnel mine ("APMine").
class APMineItem : public ATMineItem {
public:
    explicit APMineItem(const ItemDefinition& definition) : ATMineItem(definition) {}

    void Update(float elapsed) override;
    void UpdateTransform(float elapsed) override;
    bool Detonate(bool notify) override;

    // Whether the character sets the mine off now (team rules, then the trigger distance).
    bool TriggeredBy(Character* character, Character* placer);
};
