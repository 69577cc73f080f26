#include "items/ItemFactory.h"

#include <cstring>
#include <string>

#include "engine/core/EngineLog.h"
#include "items/AutoRifleItem.h"
#include "items/DefinitionLines.h"
#include "items/GrenadeItem.h"
#include "items/ItemDefinition.h"
#include "items/KnifeItem.h"
#include "items/PlainItems.h"
#include "items/RPGItem.h"
#include "items/ScopedRifleItem.h"
#include "items/events/AirStrikeItem.h"
#include "items/explosives/ChargeItems.h"
#include "items/explosives/MineFieldItem.h"
#include "items/explosives/MineItems.h"
#include "items/launcher/TruckLauncherItem.h"

namespace {

using Maker = Item* (*)(const ItemDefinition&);

template <class T>
Item* Make(const ItemDefinition& definition)
{
    return new T(definition);
}

struct KeywordClass {
    const char* keyword;
    Maker make; // null: a class not in this build yet
};

// In the order the keywords are compared.
constexpr KeywordClass kClasses[] = {
    {"Mounted Launcher", Make<TruckLauncherItem>},
    {"Mine Field", Make<MineFieldItem>},
    {"Melee", Make<KnifeItem>},
    {"SingleShot", Make<ScopedRifleItem>},
    {"SMG", Make<AutoRifleItem>},
    {"SMG-Gren", Make<MachinegunGrenItem>},
    {"LMG", Make<LMGItem>},
    {"Grenade", Make<GrenadeItem>},
    {"RPG", Make<RPGItem>},
    {"Binoculars", Make<BinocularsItem>},
    {"FirstAid", Make<FirstAidItem>},
    {"TimedExplosive", Make<TimedChargeItem>},
    {"APMine", Make<APMineItem>},
    {"AirStrikeRadio", Make<AirStrikeItem>},
    {"RemotelyDetonatedExplosive", Make<RemoteExplosiveItem>},
    {"MissionItem", Make<MissionItem>},
};

} // namespace

Item* CreateItemFromDefinition(const ItemDefinition* definition, const char* requestedName)
{
    if (!definition) {
        if (requestedName && requestedName[0])
            LogToEngine("No item definition named %s; the item is skipped", requestedName);
        return nullptr;
    }
    for (const KeywordClass& entry : kClasses) {
        if (std::strcmp(entry.keyword, definition->keyword) != 0)
            continue;
        if (!entry.make) {
            LogToEngine("Items of type %s (%s) cannot be made yet; the item is skipped", definition->keyword,
                        definition->name);
            return nullptr;
        }
        Item* item = entry.make(*definition);
        CopyBounded(item->name, std::string(definition->name));
        CopyBounded(item->keyword, std::string(definition->keyword));
        return item;
    }
    LogToEngine("Unknown item type %s for item %s; the item is skipped", definition->keyword, definition->name);
    return nullptr;
}
