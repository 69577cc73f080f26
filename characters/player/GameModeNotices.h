#pragma once

class CarriedItem;
class Character;

// What the game mode hears of the squad soldiers: a death, a flag picked up, a mission item
// dropped.
class GameModeNotices {
public:
    virtual ~GameModeNotices() = default;

    virtual void PlayerDamaged(Character* soldier) = 0;
    // A capture-the-flag flag was picked up by the character.
    virtual void StealFlag(CarriedItem* flag, Character* character) = 0;
    // A squad soldier dropped a mission item: the flags' rules and the dropped flag's points.
    virtual void MissionItemDropped(Character* soldier, CarriedItem* item, int squadNumber, int team) = 0;
};
