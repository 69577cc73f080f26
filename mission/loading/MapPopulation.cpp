// The map's props become the level's population when it loads: the computer-driven characters
// (with the random and reinforcement picks), the items lying about, the patrol paths and the
// ambient sounds; and the population goes again with the level.
#include "mission/loading/MapPopulation.h"

#include "characters/ai/AIMissionServices.h"
#include "characters/objects/CarriedItem.h"
#include "characters/enemy/Enemy.h"
#include "characters/ai/Formation.h"
#include "characters/level/NetworkSession.h"
#include "characters/player/Player.h"
#include "characters/level/RunningLevel.h"
#include "engine/core/EngineLog.h"
#include "engine/core/RandomMT.h"
#include "engine/core/q3DError.h"
#include "items/Item.h"
#include "media/Sound2D.h"
#include "media/SoundSystem.h"
#include "mission/props/CharacterProps.h"
#include "mission/props/ExplosiveProps.h"
#include "mission/props/LooseItemProp.h"
#include "mission/props/MissionProps.h"
#include "mission/props/destruction/AirstrikeProp.h"
#include "mission/MissionState.h"
#include "mission/services/MissionVehicles.h"
#include "world/map/MapDescription.h"
#include "world/map/MapObject.h"
#include "world/World.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The side the map's enemies fight on; the player's squad is team 2.
constexpr int enemyTeam = 1;
constexpr int allyTeam = 2;
// The member type an allied soldier is made with.
constexpr int allyMemberType = 9;

// The number after a prop text's word ("POSTURE 2"); false when none follows or it is no whole
// number in the int range.
bool ReadTextNumber(const char* text, int& number)
{
    const char* at = text + std::strcspn(text, " \n");
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(at, &end, 10);
    if (end == at || errno == ERANGE || value < INT_MIN || value > INT_MAX)
        return false;
    number = int(value);
    return true;
}

const char* LibraryName(const MapObject* object)
{
    const LibraryObject* library = object ? object->GetLibraryEntry() : nullptr;
    return library && library->entry ? library->entry->objectName : "";
}

// The network game is not built yet: no server settings forbid enemies.
bool ServerSettingsForbidEnemies() { return false; }

// The node's transforms and its children's, without the frame's work of any of them.
void SettleTransforms(SceneNode* node)
{
    node->UpdateTransform(0.0f);
    for (int i = 0; i < node->GetChildCount(); ++i)
        SettleTransforms(node->GetChild(i));
}

} // namespace

int RandomPickCount(int randomCount, bool pathEditor)
{
    return int(float(std::max(randomCount, 0)) * (pathEditor ? 1.0f : 0.5f));
}

std::vector<CharacterProp*> ChooseMapCharacters(const PtrListOf<CharacterProp>& props, const MapCharacterRules& rules,
                                                const std::function<std::uint32_t()>& random)
{
    std::vector<CharacterProp*> chosen;
    std::vector<CharacterProp*> randoms;
    const bool reinforcementsIn = !rules.campaignFirstKind || rules.reinforcementState == 6;
    for (CharacterProp* prop : props) {
        if (prop->randomFlag)
            randoms.push_back(prop);
        else if (reinforcementsIn || !prop->object || !prop->object->HasPropText("REINFORCE"))
            chosen.push_back(prop);
    }

    const int wanted = RandomPickCount(int(randoms.size()), rules.pathEditor);
    std::vector<bool> picked(randoms.size(), false);
    int count = 0;
    const auto take = [&](std::size_t i) {
        picked[i] = true;
        chosen.push_back(randoms[i]);
        ++count;
    };
    while (count < wanted) {
        for (std::size_t i = 0; i < randoms.size() && count < wanted; ++i) {
            if (picked[i])
                continue;
            const std::uint32_t threshold = randoms[i]->patrolFlag ? 60u : 40u;
            if (random() % 100u >= threshold)
                continue;
            take(i);
            if (!randoms[i]->patrolFlag)
                continue;
            // A patrol walks as one group: the rest of it comes along.
            const char* name = LibraryName(randoms[i]->object);
            for (std::size_t k = 0; k < randoms.size(); ++k)
                if (!picked[k] && std::strcmp(LibraryName(randoms[k]->object), name) == 0)
                    take(k);
        }
    }
    return chosen;
}

MapCharacterOrders ReadMapCharacterOrders(const MapObject& object, int kind, int side)
{
    MapCharacterOrders orders;
    const auto* stationary = static_cast<StationaryProp*>(object.FindProp(StationaryPropFactory));
    const auto* inactive = static_cast<InactiveProp*>(object.FindProp(InactivePropFactory));
    if (stationary && inactive)
        throw q3DError("Character can't have a trigger on both STATIONARY and INACTIVE props");
    orders.trigger = static_cast<TriggerProp*>(object.FindProp(TriggerPropFactory));
    if (stationary) {
        orders.roles |= Character::Stationary;
        orders.activationTrigger = stationary->number;
        if (stationary->flag == 0)
            orders.roles |= Character::StationaryPatrol;
    }
    if (inactive) {
        orders.roles |= Character::Inactive;
        orders.activationTrigger = inactive->number;
        if (inactive->inactiveFlag == 0)
            orders.roles |= Character::Reinforcements;
    }
    orders.skills = static_cast<SkillsProp*>(object.FindProp(SkillsPropFactory));

    if (kind == Character::EnemyKind) {
        if (object.HasPropText("ALARMER")) {
            orders.roles |= Character::Alarmer;
            orders.alarmVoice = "Sound/whistle";
        } else if (object.HasPropText("ALARMRES")) {
            orders.roles |= Character::AlarmResponder;
            orders.alarmVoice = "Sound/Voice/Alert";
        } else {
            orders.alarmVoice = side == CharacterProp::AnimalSide ? "Sound/Dog/Alert" : "Sound/Voice/Alert";
        }
    }
    int number = 0;
    if (kind == Character::SquadKind)
        if (const char* join = object.HasPropText("JOIN"); join && ReadTextNumber(join, number))
            orders.joinNumber = number;
    if (const char* posture = object.HasPropText("POSTURE")) {
        // Only the three postures exist; any other number would index past the posture tables.
        if (ReadTextNumber(posture, number) && number >= Character::Standing && number <= Character::Prone)
            orders.posture = number;
        else
            LogToEngine("Ignored \"%s\" on %s: the posture is 0, 1 or 2", posture, LibraryName(&object));
    }
    if (object.HasPropText("RUNPATROL"))
        orders.roles |= Character::RunPatrol;
    return orders;
}

Character* CreateMapEnemy(const char* modelName, const char* sensorFile, const char* const* loadoutNames,
                          int loadoutCount)
{
    auto* enemy = new Enemy(modelName, sensorFile, loadoutNames, std::min(loadoutCount, int(Character::kLoadoutCount)));
    enemy->team = enemyTeam;
    return enemy;
}

void ApplyMapEnemyOrders(Character* character, const MapCharacterOrders& orders)
{
    auto* enemy = dynamic_cast<Enemy*>(character);
    if (!enemy)
        return;
    if (orders.alarmVoice)
        enemy->LoadVoices(orders.alarmVoice);
    if (orders.skills) {
        enemy->lastSkill = orders.skills->values[0];
        enemy->toughnessOverride = orders.skills->values[1];
    }
    // The number the map gives an enemy's posture is the one it takes again after a search.
    if (orders.posture >= 0)
        enemy->defaultPosture = orders.posture;
    if (TriggerProp* trigger = orders.trigger)
        enemy->alarmTrigger = [trigger] { trigger->FireOnAlarm(); };
}

Character* MissionState::CreateMapCharacter(const CharacterProp& prop)
{
    MapObject* object = prop.object;
    if (!object)
        return nullptr;
    const int kind = prop.side == CharacterProp::AllySide ? Character::SquadKind : Character::EnemyKind;
    const MapCharacterOrders orders = ReadMapCharacterOrders(*object, kind, prop.side);

    const char* names[CharacterProp::ItemSlots] = {};
    const int itemCount = std::clamp(prop.itemCount, 0, int(CharacterProp::ItemSlots));
    for (int i = 0; i < itemCount; ++i)
        names[i] = prop.itemNames[i];
    Character* character = nullptr;
    if (prop.side == CharacterProp::AllySide) {
        auto* ally = new Player(allyMemberType, Player::kComputer, nullptr, names, prop.modelPath);
        ally->SetTeam(allyTeam);
        ally->roles |= Character::Ally;
        if (orders.joinNumber >= 0)
            ally->joinTrigger = orders.joinNumber;
        if (orders.skills)
            ally->toughnessOverride = orders.skills->values[1];
        character = ally;
    } else if (prop.side == CharacterProp::AnimalSide) {
        character = CreateMapAnimal(prop.modelPath, prop.aiScriptPath, names, itemCount, orders);
    } else {
        character = CreateMapEnemy(prop.modelPath, prop.aiScriptPath, names, itemCount);
        character->roles &= ~Character::Ally;
        ApplyMapEnemyOrders(character, orders);
    }

    return PlaceMapCharacter(character, *object, orders, names, itemCount);
}

Character* MissionState::PlaceMapCharacter(Character* character, MapObject& placeObject, const MapCharacterOrders& orders,
                                           const char* const* names, int itemCount)
{
    MapObject* object = &placeObject;
    const Vector3 at = object->GetPosition();
    character->SetPosition(at.x, at.y, at.z);
    character->PlaceAt(at.x, at.y, at.z);
    character->rotation = object->GetRotation();
    object->GetTransform(character->world);
    character->RequestAnimationReset();

    character->roles |= orders.roles;
    character->activationTrigger = orders.activationTrigger;
    character->isTriggerFired = [this](int id) {
        for (const TriggerRecord& record : level.triggers)
            if (record.triggerID == id)
                return record.fired != 0;
        return false;
    };
    if (TriggerProp* trigger = orders.trigger)
        character->deathTrigger = [trigger] { trigger->FireOnDestroyed(); };
    if (orders.posture >= 0)
        character->SetPostureImmediate(orders.posture);

    if (level.root)
        character->SetParent(level.root.get());
    for (int i = 0; i < itemCount; ++i) {
        Item* item = nullptr;
        try {
            item = CreateItem(names[i]);
        } catch (const q3DError& error) {
            LogToEngine("Can't make item %s for %s: %s", names[i], LibraryName(object), error.GetText());
        }
        if (!item) {
            LogToEngine("Unknown item \"%s\" of %s skipped", names[i], LibraryName(object));
            continue;
        }
        // The map's soldiers never run out of magazines.
        if (item->category == CarriedItem::Weapon)
            item->SetMagazines(-1);
        if (!character->PickUpItem(item, true))
            delete item;
    }
    character->SelectDefaultItem();
    level.characters.push_back(character);
    return character;
}

void MissionState::PopulateMap()
{
    PtrListOf<CharacterProp>& characterProps = CharacterPropList();
    const int neutralCount = NeutralPropList().GetCount();
    const int vehicleCount = int(level.vehicleObjects.size());
    const int creations = characterProps.GetCount() + neutralCount + vehicleCount;
    const float step = creations > 0 ? 10.0f / float(creations) : 0.0f;
    float progress = float(std::max(GetLastProgress(), 0));

    if (!(session.clientRequested && ServerSettingsForbidEnemies())) {
        // Every machine of a network game picks the same random characters.
        if (session.networkGame)
            RunningLevel::Network().SyncRandomSeed();
        MapCharacterRules rules;
        rules.campaignFirstKind = session.campaignMissionKind == 1;
        rules.reinforcementState = session.campaignReinforcementState;
        rules.pathEditor = isPathEditorCurrent && isPathEditorCurrent();
        for (CharacterProp* prop : ChooseMapCharacters(characterProps, rules, [] { return randomMT(); })) {
            CreateMapCharacter(*prop);
            progress += step;
            SetLoadingProgress(int(progress), "Creating Enemies");
        }
    }
    if (!session.networkGame) {
        for (NeutralProp* prop : NeutralPropList()) {
            CreateMapNeutral(*prop);
            progress += step;
            SetLoadingProgress(int(progress), "Creating Neutrals");
        }
    }
    if (vehicleCount > 0)
        CreateMapVehicles(*this);
    LayMapMineFields(level.looseItems);
    // Every airstrike zone of the map gets its event.
    for (int i = 0; i < AirstrikePropCount(); ++i)
        AirstrikePropAt(i)->MakeEvent();

    for (LooseItemProp* prop : LooseItemPropList()) {
        Item* item = nullptr;
        try {
            item = CreateItem(prop->itemName);
        } catch (const q3DError& error) {
            LogToEngine("Can't make the loose item %s: %s", prop->itemName, error.GetText());
        }
        if (!item || !prop->object)
            continue;
        item->rotation = prop->object->GetRotation();
        item->position = prop->object->GetPosition();
        level.looseItems.insert(level.looseItems.begin(), item);
    }

    LoadPatrolPaths();
    // The bodies stand posed where they were put before the first frame senses them: a head
    // still at the origin would be next to everybody else's.
    for (Character* character : level.characters)
        SettleTransforms(character);
    StartAmbientSounds();
}

void MissionState::StartAmbientSounds()
{
    audio.ambientSounds.clear();
    SoundSystem* system = Application::Instance()->GetSoundSystem();
    if (!level.map || !system)
        return;
    for (int slot = 0; slot < MapDescription::kSoundSlots; ++slot) {
        const char* name = level.map->ambientSounds[slot][0];
        if (!name[0] || std::strcmp(name, "-") == 0)
            continue;
        auto sound = std::make_unique<Sound2D>();
        if (sound->Create(system, name) < 0) {
            LogToEngine("Can't load the ambient sound %s: %s", name, sound->GetErrorText());
            continue;
        }
        sound->loopCount = 0; // endless
        sound->Play(Sound::KeepVolume);
        audio.ambientSounds.push_back(std::move(sound));
    }
}

void MissionState::RemoveMapPopulation()
{
    audio.ambientSounds.clear();
    level.lastEnemyInCombat = nullptr;
    level.lastEnemyInCombatValue = 0.0f;
    std::vector<Character*> leaving;
    for (Character* character : level.characters)
        if (!FindSquadOf(character))
            leaving.push_back(character);
    std::vector<Formation*> led;
    for (Character* character : leaving)
        if (auto* ai = dynamic_cast<AI*>(character);
            ai && ai->formationLink && ai->formationLink->formation &&
            ai->formationLink->formation->leaderLink == ai->formationLink)
            led.push_back(ai->formationLink->formation);
    for (Character* character : leaving)
        if (auto* ai = dynamic_cast<AI*>(character))
            ai->LeaveFormation();
    for (Formation* formation : led)
        if (formation->members.GetCount() == 0 && !formation->leaderLink)
            Formation::Destroy(formation);
    for (Character* character : leaving) {
        level.characters.erase(std::remove(level.characters.begin(), level.characters.end(), character), level.characters.end());
        character->DeleteInventory();
        delete character;
    }
}
