#include "mission/MissionState.h"

#include "app/framework/Application.h"
#include "app/framework/Options.h"
#include "characters/objects/CarriedItem.h"
#include "characters/body/Character.h"
#include "engine/core/EngineLog.h"
#include "characters/player/Player.h"
#include "characters/player/SquadRoster.h"
#include "engine/core/q3DError.h"
#include "engine/filesystem/PackFile.h"
#include "items/Item.h"
#include "items/KnifeItem.h"
#include "items/PlainItems.h"
#include "items/explosives/ChargeItems.h"
#include "media/Sound2D.h"
#include "media/Sound3D.h"
#include "mission/props/AlarmProp.h"
#include "mission/props/DoorProp.h"
#include "mission/props/TriggerProps.h"
#include "world/map/MapObject.h"
#include "platform/os/Clock.h"
#include "renderer/Device.h"
#include "world/PickResult.h"
#include "world/World.h"
#include "platform/os/Path.h"
#include "mission/services/MissionVehicles.h"
#include "items/vehicles/PassengerVehicleItem.h"

#include <algorithm>
#include <exception>
#include <string>
#include <vector>

namespace {

constexpr const char* QuickSavePath = "Saves/QuickSave.sav";
constexpr const char* TutorialMission = "Missions/Tutorial.mis";
constexpr int InvertInventoryScrolling = 26; // option index
constexpr int PendingDisplayTime = 1500;
constexpr int HeldSelectionDelay = 1000000;

template <typename Kind>
CarriedItem* FindCarried(const Character& character)
{
    for (CarriedItem* item : character.GetInventory())
        if (dynamic_cast<Kind*>(item))
            return item;
    return nullptr;
}

// The carried item before or after the reference in inventory order, wrapping around.
CarriedItem* StepInventory(const Character& character, CarriedItem* reference, bool forward)
{
    const std::vector<CarriedItem*>& inventory = character.GetInventory();
    if (inventory.empty())
        return nullptr;
    const int count = int(inventory.size());
    int index = -1;
    for (int i = 0; i < count; ++i)
        if (inventory[std::size_t(i)] == reference)
            index = i;
    if (index < 0)
        return inventory.front();
    return inventory[std::size_t((index + (forward ? 1 : count - 1)) % count)];
}

// The n-th carried item of the numbered slots (slot class 2), 0-based.
CarriedItem* NumberedSlotItem(const Character& character, int n)
{
    for (CarriedItem* item : character.GetInventory())
        if (item->GetSlotKind() == 2 && n-- == 0)
            return item;
    return nullptr;
}

// The use action reaches a game object (a loose item or a character) this far along the
// crosshair's ray, and only when nothing of the world stands nearer on the ray.
constexpr float UseReach = 10.0f;
constexpr float VehicleUseReach = 30.0f;

// The use action reaches a map object this far along the crosshair's ray.
constexpr float MapObjectReach = 18.0f;

// A map object's answer to the use action: an alarm sounds, a door opens or closes (a locked one
// rattles), a type 2 trigger hands over its item, a type 3 trigger fires under the objectives'
// rule. False when the object has nothing to use.
bool UseMapObject(MissionState& mission, Character& player, MapObject& object)
{
    if (auto* alarm = static_cast<AlarmProp*>(object.FindProp(AlarmPropFactory)); alarm && alarm->state) {
        AlarmProp::Trigger(alarm->state.get(), true);
        return true;
    }
    if (auto* door = static_cast<DoorProp*>(object.FindProp(DoorPropFactory))) {
        if (!door->Toggle() && door->locked && mission.audio.doorLocked) {
            const Vector3 at = object.GetPosition();
            mission.audio.doorLocked->SetPosition(at.x, at.y, at.z, Sound::NoPlay);
            mission.audio.doorLocked->Play();
        }
        return true;
    }
    auto* trigger = static_cast<TriggerProp*>(object.FindProp(TriggerPropFactory));
    if (!trigger)
        return false;
    if (trigger->triggerType == 2) {
        if (player.GetInventory().size() >= 8 || trigger->triggered || TriggerProp::Lock())
            return true;
        // The item is made first: a trigger whose item cannot be made stays unfired.
        Item* item = mission.CreateItem(trigger->itemName);
        if (!item) {
            LogToEngine("Couldn't make item %s for trigger %d", trigger->itemName, trigger->triggerID);
            return true;
        }
        if (!player.PickUpItem(item, false)) {
            mission.DeleteItem(item);
            return true;
        }
        trigger->Fire(2);
        return true;
    }
    if (trigger->triggerType == 3) {
        if (mission.UseTriggerAllowed(trigger->triggerID))
            trigger->Fire(3);
        return true;
    }
    return false;
}

// "Use Item in World": the nearest of the map object, loose item or character under the
// crosshair. A vehicle's placeholder is entered, another map object answers as UseMapObject says;
// an item is picked up under the one pick-up rule; a character gets its use marker.
void UseObjectUnderCrosshair(MissionState& mission, Character& player)
{
    HitResult ray;
    if (!mission.GetCenterRay(ray))
        return;
    HitResult itemRay = ray;
    CarriedItem* item = mission.RayCastItems(itemRay);
    HitResult characterRay = ray;
    Character* character = mission.RayCastObjects(characterRay, &player, -1);
    const float itemDistance = item && itemRay.distance < UseReach ? itemRay.distance : kNoHit;
    const float characterDistance = character && characterRay.distance < UseReach ? characterRay.distance : kNoHit;
    const float nearest = std::min(itemDistance, characterDistance);
    if (mission.level.world) {
        HitResult worldRay = ray;
        PickResult hit;
        const float reach = std::max({MapObjectReach, VehicleUseReach, nearest < kNoHit ? nearest : 0.0f});
        if (mission.level.world->Pick(worldRay, &hit, reach, nullptr) && hit.distance < nearest) {
            // The world stands nearer: a vehicle's placeholder is entered (the crosshair's ray
            // starts at the camera, which may stand behind the player), another map object within
            // reach answers, the ground blocks.
            if (hit.object && mission.level.vehicles && hit.distance < VehicleUseReach)
                if (PassengerVehicleItem* vehicle = mission.level.vehicles->ForObject(hit.object)) {
                    mission.level.vehicles->Enter(*vehicle, player);
                    return;
                }
            if (hit.object && hit.distance < MapObjectReach)
                UseMapObject(mission, player, *hit.object);
            return;
        }
    }
    if (!(nearest < UseReach))
        return;
    if (itemDistance <= characterDistance) {
        mission.PickUpFlag(item, &player, false);
        return;
    }
    const auto at = std::find(mission.level.characters.begin(), mission.level.characters.end(), character);
    const std::size_t index = std::size_t(at - mission.level.characters.begin());
    if (index < sizeof mission.level.useMarkers)
        mission.level.useMarkers[index] = 1;
}

// The item the player is about to switch to, with its display; held, the switch waits for the
// release.
void MakePending(MissionControls& controls, CarriedItem* item, bool pressed, int releasedDelay)
{
    if (!item)
        return;
    controls.pendingItem = item;
    controls.pendingItemDisplayTime = PendingDisplayTime;
    controls.pendingItemDelay = pressed ? HeldSelectionDelay : releasedDelay;
    controls.switchPendingNow = true;
}

// The fire action: pressed, it takes the pending item into the hands or else uses the held one;
// released, it stops using it.
void UseOrSelectPending(MissionControls& controls, Character& player, bool pressed)
{
    if (!pressed) {
        player.StopUsingHeldItem();
        return;
    }
    if (controls.pendingItem) {
        player.SelectItem(controls.pendingItem);
        controls.pendingItem = nullptr;
        controls.pendingItemDisplayTime = 0;
    } else {
        player.UseHeldItem(false);
    }
}

// A grenade in the hands goes back to the item held before it; otherwise the first grenade
// carried is taken.
void ToggleGrenade(Character& player)
{
    CarriedItem* held = player.GetHeldItem();
    if (held && held->IsGrenade()) {
        player.SelectItemByID(held->previousItemID);
        return;
    }
    for (CarriedItem* item : player.GetInventory())
        if (item->IsGrenade()) {
            player.SelectItem(item);
            return;
        }
}

// The next or previous inventory item becomes the pending one, unless the held one is in use.
void StepPendingItem(MissionControls& controls, Character& player, bool forward)
{
    CarriedItem* held = player.GetHeldItem();
    if (held && held->IsInUse())
        return;
    if (Options::Instance()->GetOption(InvertInventoryScrolling))
        forward = !forward;
    if (CarriedItem* next = StepInventory(player, controls.pendingItem ? controls.pendingItem : held, forward)) {
        controls.pendingItem = next;
        controls.pendingItemDisplayTime = PendingDisplayTime;
        controls.pendingItemDelay = 3000;
    }
}

// Drops the pending item, or the held one when none is pending, at the player's feet.
void DropPendingOrHeldItem(MissionControls& controls, const MissionAudio& audio, Character& player)
{
    CarriedItem* item = controls.pendingItem ? controls.pendingItem : player.GetHeldItem();
    if (!item)
        return;
    if (item == controls.pendingItem)
        controls.pendingItem = nullptr;
    player.DropItem(item, player.position);
    if (audio.dropItem) {
        const int handle = audio.dropItem->Play();
        audio.dropItem->SetPosition(player.position.x, player.position.y, player.position.z, handle);
    }
}

// "Change Formation": shows the formation display, or steps it on while it shows; past the last
// formation it closes. Only a leader of two or more has formations.
void StepFormationDisplay(MissionControls& controls, const MissionHud& hud, Character& player)
{
    Player* leader = AsPlayer(&player);
    SquadRoster* roster = leader ? leader->GetSquad() : nullptr;
    if (!roster || roster->GetMemberCount() < 2)
        return;
    if (controls.formationDisplay > 0.0f && ++controls.formationDisplayIndex >= hud.formationIconCount) {
        controls.formationDisplayIndex = 0;
        controls.formationDisplay = 0.0f;
        return;
    }
    controls.formationDisplay = 2.0f;
}

// The item selection keys (knife, weapons, numbered slots, binoculars, first aid); false for any
// other action.
bool SelectItemByKey(MissionControls& controls, Character& player, int action, bool pressed)
{
    switch (action) {
    case 38:
        MakePending(controls, FindCarried<KnifeItem>(player), pressed, 100);
        return true;
    case 39:
        MakePending(controls, player.GetPrimaryWeapon(), pressed, 100);
        return true;
    case 40:
        MakePending(controls, player.GetSecondaryWeapon(), pressed, 100);
        return true;
    case 41:
    case 42:
    case 43:
    case 44:
    case 45:
        MakePending(controls, NumberedSlotItem(player, action - 41), pressed, 100);
        return true;
    case 46:
        if (pressed) {
            CarriedItem* binoculars = FindCarried<BinocularsItem>(player);
            if (binoculars && binoculars != player.GetHeldItem())
                player.SelectItem(binoculars);
        }
        return true;
    case 47:
        MakePending(controls, FindCarried<FirstAidItem>(player), pressed, 1);
        return true;
    default:
        return false;
    }
}

} // namespace

bool MissionState::AllowsQuickSaves() const
{
    return !session.networkGame && !platform::os::SamePathName(session.missionFile, TutorialMission);
}

void MissionState::PerformAction(int action, bool pressed)
{
    if (action < 0 || action >= Options::ActionCount)
        return;
    // These are the actions of a living local player; a dead one acts only through the respawn
    // request of a network game.
    Character* player = roster.controlledCharacter;
    if (!player || player->health <= 0)
        return;
    // An item the player no longer carries (dropped, taken, deleted) is no longer pending.
    if (controls.pendingItem && !player->OwnsItem(controls.pendingItem))
        controls.pendingItem = nullptr;
    if (SelectItemByKey(controls, *player, action, pressed))
        return;

    switch (action) {
    case 7:
    case 8:
    case 9:
        if (pressed) {
            int target = action - 7;
            if ((action == 8 && player->posture == Character::Crouching) ||
                (action == 9 && player->posture == Character::Prone))
                target = Character::Standing;
            player->SetPosture(target);
        }
        break;
    case 10:
        UseOrSelectPending(controls, *player, pressed);
        break;
    case 11:
        // Secondary fire sets off the charges this character laid before it reaches the held item.
        if (pressed && DetonateChargesOf(player, level.looseItems) == 0)
            if (Item* held = dynamic_cast<Item*>(player->GetHeldItem()))
                held->UseSecondary();
        break;
    case 12:
        if (pressed)
            ToggleGrenade(*player);
        break;
    case 14:
        if (pressed)
            UseObjectUnderCrosshair(*this, *player);
        break;
    case 15:
    case 16:
        if (pressed)
            StepPendingItem(controls, *player, action == 16);
        break;
    case 17:
        if (pressed)
            DropPendingOrHeldItem(controls, audio, *player);
        break;
    case 18:
        if (pressed && hud.overheadMap && hud.overheadMap->HasImage()) {
            hud.overheadMap->ToggleShown();
            if (audio.mapSound)
                audio.mapSound->Play();
        }
        break;
    case 28:
        if (pressed)
            StepFormationDisplay(controls, hud, *player);
        break;
    case 29:
        ShowRadialMenu(pressed, !pressed);
        break;
    case 31:
        if (pressed && player->viewMode != 2) {
            player->CycleViewMode();
            controls.chosenViewMode = player->viewMode;
        }
        break;
    case 32:
        if (pressed && AllowsQuickSaves() && missionResult == Running)
            QuickSave();
        break;
    default:
        // Movement, reload, zoom and the squad orders are read by the per-frame input and the
        // squad leader; nothing further is sent while this machine is never a network client.
        break;
    }
}

void MissionState::QuickSave()
{
    controls.saveTime = platform::os::Milliseconds();
    // A failed save must never end the mission: it is reported and play goes on.
    std::string failure;
    try {
        if (!Save(QuickSavePath))
            failure = "the file could not be written";
    } catch (const q3DError& error) {
        failure = error.GetText();
    } catch (const std::exception& error) {
        failure = error.what();
    }
    Application* application = Application::Instance();
    if (failure.empty()) {
        application->ShowMessageText(2000, "Game Saved");
        return;
    }
    LogToEngine("Quick save to %s failed: %s", QuickSavePath, failure.c_str());
    application->ShowMessage(8000, "Quick save failed: %s", failure.c_str());
}

void MissionState::QuickLoad()
{
    if (!AllowsQuickSaves())
        return;
    if (!PackFileCanOpen(QuickSavePath)) {
        Application::Instance()->ShowMessageText(3000, "Quick Save file not found");
        return;
    }
    LoadSavedGame(QuickSavePath);
}

bool MissionState::LoadSavedGame(const char* path)
{
    LogToEngine("Saved games cannot be loaded yet: %s is left unread", path);
    Application::Instance()->ShowMessage(8000, "Can't load %s", path);
    return false;
}
