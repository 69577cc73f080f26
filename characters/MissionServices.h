#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/Vector.h"

class Character;
class SquadRoster;
class Sound2D;
class Sound3D;
class CarriedItem;
class Device;

// What characters ask of the running mission. The mission sits above the characters, so it
// fills these in when it starts a level; until then a character lives without one. The rest of
// the running level is reached through RunningLevel's interfaces.
struct MissionServiceHooks {
    // A character set on fire by burner died of it: the fire-kill counter of the burner's squad slot.
    std::function<void(std::uint16_t burner)> countFireKill;
    // An enemy died: the campaign's kill statistics (the enemies killed, and a melee or explosive
    // kill of the squad soldier who killed it, null when the killer was none, by the weapon's
    // item name). Nothing outside a campaign.
    std::function<void(Character* victim, Character* squadKiller, const char* weaponName)> enemyKilled;
    // A capture-the-flag flag was picked up by the character.
    std::function<void(CarriedItem* flag, Character* character)> stealFlag;
    // The character left the command view: the mission and the application take back their
    // ordinary view flags.
    std::function<void(Character* character)> leftCommandView;
    // The command view's selection marker, laid flat at the point, scaled 3 and in the colour
    // (0..1 a channel); the mission knows whether the current player has the markers switched off.
    std::function<void(Device* device, const Vector3& at, float red, float green, float blue)> drawSelectionMarker;

    // --- what the player's squad asks of the mission (PlayerMissionServices.h gives the stand-ins) ---
    // The squad-slot table: the name shown for a slot and its voice-set number.
    std::function<std::string(int slot)> playerName;
    std::function<int(int slot)> voiceSet;
    // The voice loaders: "%s%02d.wav" from 01 into the table, at most maximum; the number loaded.
    std::function<int(std::unique_ptr<Sound3D>* set, int maximum, const char* prefix, float minimumDistance,
                      float maximumDistance)>
        loadVoiceSet;
    std::function<int(std::vector<std::unique_ptr<Sound2D>>& set, int maximum, const char* prefix)> loadVoiceSet2D;
    // The local player's current squad; null when none.
    std::function<SquadRoster*()> currentSquadRoster;
    // The mission's share of handing control to a member of the current squad: it becomes the
    // current player soldier, the camera and the listener follow it (the old member's node goes
    // back to the world root), its path follower starts on the squad's path, its view mode is
    // stepped to the mission's, the squad display is refreshed and the mission's countdown is zeroed.
    std::function<void(Character* member)> takeControl;
    // The first character hit by the camera ray through the screen centre (or a pointer position),
    // the current player soldier left out, among the character kinds of the filter; null when none.
    std::function<Character*(int filter)> characterUnderCrosshair;
    std::function<Character*(int x, int y, int filter)> characterUnderPointer;
    // What the centre ray meets first for a move order: 0 nothing, 1 a character (*character),
    // 2 a loose item, 3 the ground (*point, already put on the floor).
    std::function<int(Vector3* point, Character** character)> pickMoveTarget;
    // The map point under a pointer position; false when the ray meets nothing.
    std::function<bool(int x, int y, Vector3* point)> pickGroundUnderPointer;
    // The squad's move marker: placed at a point, or cleared with null; and where it stands.
    std::function<void(const Vector3* point)> setGroundMarker;
    std::function<bool(Vector3* position)> getGroundMarker;
    // The campaign's squad records (nothing and skill 1.0 outside a campaign).
    std::function<bool()> campaignActive;
    std::function<float(int slot, int skill)> squadSkill;
    std::function<void(int counter, float value)> campaignAddStat;
    std::function<void(int slot, float amount)> campaignAddMorale;
    std::function<void()> campaignClearBonusFlags;
    std::function<void()> campaignClearSquadBonusFlag;
    // The game mode's notice that a squad soldier died.
    std::function<void(Character* soldier)> playerDamaged;
    // The mission camera's vertical field of view (radians), read and set.
    std::function<float()> cameraFieldOfView;
    std::function<void(float radians)> setCameraFieldOfView;
    // The mission's command-view switches: the pointer shown and the input captured.
    std::function<void(bool commandView)> setCommandView;
    // Input the squad soldier did not use, handed to its held item (the item classes live above
    // the characters): kind 0 key down (a key), 1 button down, 2 button up (a button), 3 wheel
    // step (a direction). True when the item did not consume it.
    std::function<bool(CarriedItem* item, int kind, int value)> heldItemInput;
    // The human's view input: the pointer's offset from the screen centre, the pointer put back
    // there; false when there is no pointer to read.
    std::function<bool(int* dx, int* dy)> takePointerOffset;
    // Whether the human's input is held back this frame (a menu shown, the pause, the key gate
    // without its key), and the mission's freeze switch (no movement at all).
    std::function<bool()> isInputBlocked;
    std::function<bool()> isMovementFrozen;
    // A screen line of the selection rectangle.
    std::function<void(float x0, float y0, float x1, float y1, std::uint32_t colour)> drawRectangle;
    // A squad soldier dropped a mission item: the flags' hooks and the dropped flag's points.
    std::function<void(Character* soldier, CarriedItem* item, int squadNumber, int team)> missionItemDropped;
};

// Replaces the hooks; empty hooks give the stand-in answers above.
void SetMissionServiceHooks(MissionServiceHooks hooks);
const MissionServiceHooks& GetMissionServiceHooks();
