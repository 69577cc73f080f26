#pragma once

#include <cstdint>
#include <string>

#include "characters/MissionServices.h"

// The player's side of the mission hooks, each with its answer when the mission has not filled
// it: "Player <slot>", voice set 0, no current squad, nothing under the crosshair or the pointer,
// no marker, no campaign (skill 1.0), and input the held item did not consume.
std::string MissionPlayerName(int slot);
// Never below 0.
int MissionVoiceSet(int slot);
SquadRoster* MissionCurrentSquadRoster();
void MissionTakeControl(Character* member);
Character* MissionCharacterUnderCrosshair(int filter);
Character* MissionCharacterUnderPointer(int x, int y, int filter);
int MissionPickMoveTarget(Vector3* point, Character** character);
bool MissionPickGroundUnderPointer(int x, int y, Vector3* point);
void MissionSetGroundMarker(const Vector3* point);
bool MissionGetGroundMarker(Vector3* position);
bool MissionCampaignActive();
float MissionSquadSkill(int slot, int skill);
void MissionCampaignAddStat(int counter, float value);
void MissionCampaignAddMorale(int slot, float amount);
void MissionCampaignClearBonusFlags();
void MissionCampaignClearSquadBonusFlag();
void MissionPlayerDamaged(Character* soldier);
void MissionSetCommandView(bool commandView);
// Without a mission camera, the last value set (pi/4 at first).
float MissionCameraFieldOfView();
void MissionSetCameraFieldOfView(float radians);
bool MissionHeldItemInput(CarriedItem* item, int kind, int value);
bool MissionTakePointerOffset(int* dx, int* dy);
bool MissionIsInputBlocked();
bool MissionIsMovementFrozen();
void MissionDrawRectangle(float x0, float y0, float x1, float y1, std::uint32_t colour);
void MissionItemDropped(Character* soldier, CarriedItem* item, int squadNumber, int team);
