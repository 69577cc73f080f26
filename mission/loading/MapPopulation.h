#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "engine/core/PtrList.h"

class Character;
class CharacterProp;
class MapObject;
class SkillsProp;
class TriggerProp;

// What decides which of the map's characters are made.
struct MapCharacterRules {
    bool campaignFirstKind = false; // a campaign mission of kind 1
    int reinforcementState = 0;     // the campaign's; 6 lets "REINFORCE" characters in
    bool pathEditor = false;        // every random character is shown to the path editor
};

// How many random characters are picked of that many: half, rounded down; all of them for the
// path editor.
int RandomPickCount(int randomCount, bool pathEditor);

// The props that make characters, in the order they are made: every prop without the random flag
// in list order (a "REINFORCE" one only where the rules let it in), then the random picks. The
// list is walked again and again until enough are picked: a random prop not picked yet is taken
// when a draw mod 100 is below 40 (60 for a patrol), and a patrol brings every other random prop
// of the same library name along, each counting as a pick.
std::vector<CharacterProp*> ChooseMapCharacters(const PtrListOf<CharacterProp>& props, const MapCharacterRules& rules,
                                                const std::function<std::uint32_t()>& random);

// What the props and the texts of a character's object ask of the character.
struct MapCharacterOrders {
    int roles = 0;               // Character::Role bits
    int activationTrigger = -1;  // of the stationary or inactive prop
    TriggerProp* trigger = nullptr; // fired by the character's death, and by an enemy's alert
    const SkillsProp* skills = nullptr;
    int posture = -1;            // "POSTURE <n>" of 0 to 2; -1 none
    int joinNumber = -1;         // "JOIN <n>"; -1 none
    const char* alarmVoice = nullptr; // soldiers of the other side only
};

// Reads the orders for a character of the kind (Character::Kind) and side (CharacterProp::Side).
// Throws q3DError "Character can't have a trigger on both STATIONARY and INACTIVE props" when the
// object carries both.
MapCharacterOrders ReadMapCharacterOrders(const MapObject& object, int kind, int side);

// Makes one enemy of the map: every enemy is made here, nowhere else.
Character* CreateMapEnemy(const char* modelName, const char* sensorFile, const char* const* loadoutNames,
                          int loadoutCount);
// Hands the enemy what only the enemy class keeps: its alarm voice (the attack set), its skill
// value and toughness, its posture as the one it takes again after a search, and its trigger to
// fire when it becomes alerted.
void ApplyMapEnemyOrders(Character* enemy, const MapCharacterOrders& orders);

// Makes one guard dog of the map on the enemies' side and hands it its orders (MapNeutrals.cpp):
// its alert voice, skill value and toughness, and its trigger to fire when it becomes alerted.
Character* CreateMapAnimal(const char* modelFolder, const char* sensorFile, const char* const* loadoutNames,
                           int loadoutCount, const MapCharacterOrders& orders);
