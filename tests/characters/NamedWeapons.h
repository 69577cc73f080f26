#pragma once

// The weapon answers of the AI tests: by the item's name "SMG" is an automatic rifle and "LMG" the
// machine gun, every weapon has the one range, and a dropped weapon keeps the set magazines (its
// own when none are set). Installed for the test's lifetime.

#include <cstring>
#include <optional>

#include "characters/objects/CarriedItem.h"
#include "characters/level/NoLevel.h"
#include "characters/level/RunningLevel.h"

class NamedWeapons : public NoLevel {
public:
    explicit NamedWeapons(float range, std::optional<int> droppedMagazines = std::nullopt)
        : range(range), droppedMagazines(droppedMagazines)
    {
    }

    bool IsAutoRifle(CarriedItem& item) override { return std::strcmp(item.name, "SMG") == 0; }
    bool IsMachineGun(CarriedItem& item) override { return std::strcmp(item.name, "LMG") == 0; }
    float Range(CarriedItem&) override { return range; }
    int DropMagazines(CarriedItem& item) override { return droppedMagazines.value_or(item.GetMagazines()); }

private:
    float range;
    std::optional<int> droppedMagazines;
    RunningLevel level{{.weapons = this}};
};
