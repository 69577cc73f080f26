#pragma once

#include <cstdint>

#include "engine/core/PtrList.h"
#include "world/props/Prop.h"

// A whole number at the start of text, read wide and clamped to an int32 with a log line, so
// that a longer run of digits cannot wrap into another number; *end, when given, gets the text
// after it (text itself when none starts there).
std::int32_t ReadPropWhole(const char* text, char** end = nullptr);

class MapObject;

// The handlers of the keywords that say who stands where: the map's computer-driven characters
// and their behaviour modifiers, and the start, spawn and exit markers. Each listed handler joins
// its registry list when parsed and leaves it when its object is cleared; the level loader reads
// the lists after the world has loaded.

// "enemy" [weapon] [model] [aiscript], "ally" [weapon] [model] [aiscript], "animal" [model] [aiscript].
class CharacterProp : public Prop {
public:
    static constexpr int ItemSlots = 6;
    static constexpr int ItemNameSize = 40;
    static constexpr int PathSize = 256;
    enum Side { EnemySide = 0, AnimalSide = 1, AllySide = 2 };

    std::uint32_t Parse(MapObject* object, const char* line) override;
    void Detach(MapObject* object) override;
    std::uint32_t GetFlags() override { return PropMarker; }

    MapObject* object = nullptr;
    int side = EnemySide;
    char itemNames[ItemSlots][ItemNameSize] = {};
    int itemCount = 0;
    char modelPath[PathSize] = {};
    char aiScriptPath[PathSize] = {};
    bool randomFlag = false;
    bool patrolFlag = false;
};

// "neutral" <model> [aiscript] [voice].
class NeutralProp : public Prop {
public:
    static constexpr int PathSize = 256;

    std::uint32_t Parse(MapObject* object, const char* line) override;
    void Detach(MapObject* object) override;
    std::uint32_t GetFlags() override { return PropMarker; }

    MapObject* object = nullptr;
    char model[PathSize] = {};
    char aiScriptPath[PathSize] = {};
    char voiceFolder[PathSize] = {};
};

// "stationary" [number] [flag]: the character holds its place until the trigger fires.
class StationaryProp : public Prop {
public:
    std::uint32_t Parse(MapObject* object, const char* line) override;
    std::uint32_t GetFlags() override { return PropMarker; }

    std::int32_t number = -1;
    std::uint8_t flag = 1;
};

// "inactive" [number] and "reinforce" [number]: the character waits out of play for the trigger.
class InactiveProp : public Prop {
public:
    std::uint32_t Parse(MapObject* object, const char* line) override;
    std::uint32_t GetFlags() override { return PropMarker; }

    std::int32_t number = -1;
    std::uint8_t inactiveFlag = 1; // 0 for "reinforce"
};

// "skills" [first] [second].
class SkillsProp : public Prop {
public:
    std::uint32_t Parse(MapObject* object, const char* line) override;
    std::uint32_t GetFlags() override { return PropMarker; }

    float values[2] = {0.7f, 0.5f};
};

// "multistart" [code]: "team1" to "team8" are codes 1 to 8, "mis1" 9, "mis2" 10, anything else 0.
class MultiStartProp : public Prop {
public:
    std::uint32_t Parse(MapObject* object, const char* line) override;
    void Detach(MapObject* object) override;
    std::uint32_t GetFlags() override { return PropMarker; }

    MapObject* object = nullptr;
    std::int32_t teamCode = 0;
};

// "playerstart": a start point of the squad in a campaign mission.
class PlayerStartProp : public Prop {
public:
    std::uint32_t Parse(MapObject* object, const char* line) override;
    void Detach(MapObject* object) override;
    std::uint32_t GetFlags() override { return PropMarker; }

    MapObject* object = nullptr;
};

// "flagspawn" [number].
class FlagSpawnProp : public Prop {
public:
    std::uint32_t Parse(MapObject* object, const char* line) override;
    void Detach(MapObject* object) override;
    std::uint32_t GetFlags() override { return PropMarker; }

    MapObject* object = nullptr;
    std::int32_t number = 9;
};

// "exitzone": the zone is known from the object itself, so the prop does not stay.
class ExitZoneProp : public Prop {
public:
    std::uint32_t Parse(MapObject* object, const char* line) override;
    std::uint32_t GetFlags() override { return PropOneShot; }
};

Prop* CharacterPropFactory();
Prop* NeutralPropFactory();
Prop* StationaryPropFactory();
Prop* InactivePropFactory();
Prop* SkillsPropFactory();
Prop* MultiStartPropFactory();
Prop* PlayerStartPropFactory();
Prop* FlagSpawnPropFactory();
Prop* ExitZonePropFactory();

// The registry lists, newest first.
PtrListOf<CharacterProp>& CharacterPropList();
PtrListOf<NeutralProp>& NeutralPropList();
PtrListOf<MultiStartProp>& MultiStartPropList();
PtrListOf<PlayerStartProp>& PlayerStartPropList();
PtrListOf<FlagSpawnProp>& FlagSpawnPropList();
