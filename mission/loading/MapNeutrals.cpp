// The map's neutral props become villagers: each placed at its object with the orders of the
// object's props, given binoculars and the neutral animation set. The animal props become guard
// dogs.
#include <algorithm>

#include "characters/body/AnimationSets.h"
#include "characters/level/RunningLevel.h"
#include "characters/neutral/Animal.h"
#include "characters/neutral/Neutral.h"
#include "engine/core/EngineLog.h"
#include "mission/MissionState.h"
#include "mission/loading/MapPopulation.h"
#include "mission/props/CharacterProps.h"
#include "mission/props/MissionProps.h"
#include "world/map/MapObject.h"

namespace {

// Neutrals keep to themselves; no side claims them.
constexpr int neutralTeam = 0;
constexpr const char* kNeutralItem = "Binoculars";
constexpr const char* kAlertVoice = "Sound/Voice/Alert";
// The dogs guard the enemies' side.
constexpr int animalTeam = 1;

} // namespace

Character* CreateMapAnimal(const char* modelFolder, const char* sensorFile, const char* const* loadoutNames,
                           int loadoutCount, const MapCharacterOrders& orders)
{
    auto* dog = new Animal(modelFolder, sensorFile, loadoutNames, std::min(loadoutCount, int(Character::kLoadoutCount)));
    dog->team = animalTeam;
    dog->roles &= ~Character::Ally;
    if (orders.alarmVoice)
        dog->LoadVoices(orders.alarmVoice);
    if (orders.skills) {
        dog->skill = orders.skills->values[0];
        dog->toughness = orders.skills->values[1];
    }
    if (orders.posture >= 0)
        dog->defaultPosture = orders.posture;
    if (TriggerProp* trigger = orders.trigger)
        dog->alarmTrigger = [trigger] { trigger->FireOnAlarm(); };
    return dog;
}

Character* MissionState::CreateMapNeutral(const NeutralProp& prop)
{
    MapObject* object = prop.object;
    if (!object)
        return nullptr;
    const MapCharacterOrders orders = ReadMapCharacterOrders(*object, Character::NeutralKind, CharacterProp::EnemySide);
    auto* neutral = new Neutral(prop.model, prop.aiScriptPath, prop.voiceFolder);
    neutral->team = neutralTeam;
    neutral->roles &= ~Character::Ally;
    neutral->LoadVoices(kAlertVoice);
    if (object->HasPropText("ALARMER"))
        neutral->roles |= Character::Alarmer;
    if (orders.skills) {
        neutral->skillValue = orders.skills->values[0];
        neutral->toughness = orders.skills->values[1];
    }
    if (orders.posture >= 0)
        neutral->defaultPosture = orders.posture;
    if (TriggerProp* trigger = orders.trigger)
        neutral->alarmTrigger = [trigger] { trigger->FireOnAlarm(); };
    const char* names[] = {kNeutralItem};
    PlaceMapCharacter(neutral, *object, orders, names, 1);
    const int set = RunningLevel::Animations().FindAnimationSet("Neutral");
    if (set >= 0)
        neutral->SetAnimationSet(set);
    else
        LogToEngine("No animation set \"Neutral\" for the neutral %s: it keeps the default set", prop.model);
    return neutral;
}
