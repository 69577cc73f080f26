#include "characters/PlayerMissionServices.h"

#include <algorithm>

namespace {
const MissionServiceHooks& Hooks() { return GetMissionServiceHooks(); }
float standInFieldOfView = 0.7853982f;
} // namespace

float MissionCameraFieldOfView()
{
    return Hooks().cameraFieldOfView ? Hooks().cameraFieldOfView() : standInFieldOfView;
}

void MissionSetCameraFieldOfView(float radians)
{
    if (Hooks().setCameraFieldOfView)
        Hooks().setCameraFieldOfView(radians);
    else
        standInFieldOfView = radians;
}

std::string MissionPlayerName(int slot)
{
    return Hooks().playerName ? Hooks().playerName(slot) : "Player " + std::to_string(slot);
}

int MissionVoiceSet(int slot) { return std::max(0, Hooks().voiceSet ? Hooks().voiceSet(slot) : 0); }

SquadRoster* MissionCurrentSquadRoster() { return Hooks().currentSquadRoster ? Hooks().currentSquadRoster() : nullptr; }

void MissionTakeControl(Character* member)
{
    if (Hooks().takeControl)
        Hooks().takeControl(member);
}

Character* MissionCharacterUnderCrosshair(int filter)
{
    return Hooks().characterUnderCrosshair ? Hooks().characterUnderCrosshair(filter) : nullptr;
}

Character* MissionCharacterUnderPointer(int x, int y, int filter)
{
    return Hooks().characterUnderPointer ? Hooks().characterUnderPointer(x, y, filter) : nullptr;
}

int MissionPickMoveTarget(Vector3* point, Character** character)
{
    return Hooks().pickMoveTarget ? Hooks().pickMoveTarget(point, character) : 0;
}

bool MissionPickGroundUnderPointer(int x, int y, Vector3* point)
{
    return Hooks().pickGroundUnderPointer && Hooks().pickGroundUnderPointer(x, y, point);
}

void MissionSetGroundMarker(const Vector3* point)
{
    if (Hooks().setGroundMarker)
        Hooks().setGroundMarker(point);
}

bool MissionGetGroundMarker(Vector3* position) { return Hooks().getGroundMarker && Hooks().getGroundMarker(position); }

bool MissionCampaignActive() { return Hooks().campaignActive && Hooks().campaignActive(); }

float MissionSquadSkill(int slot, int skill) { return Hooks().squadSkill ? Hooks().squadSkill(slot, skill) : 1.0f; }

void MissionCampaignAddStat(int counter, float value)
{
    if (Hooks().campaignAddStat)
        Hooks().campaignAddStat(counter, value);
}

void MissionCampaignAddMorale(int slot, float amount)
{
    if (Hooks().campaignAddMorale)
        Hooks().campaignAddMorale(slot, amount);
}

void MissionCampaignClearBonusFlags()
{
    if (Hooks().campaignClearBonusFlags)
        Hooks().campaignClearBonusFlags();
}

void MissionCampaignClearSquadBonusFlag()
{
    if (Hooks().campaignClearSquadBonusFlag)
        Hooks().campaignClearSquadBonusFlag();
}

void MissionPlayerDamaged(Character* soldier)
{
    if (Hooks().playerDamaged)
        Hooks().playerDamaged(soldier);
}

void MissionSetCommandView(bool commandView)
{
    if (Hooks().setCommandView)
        Hooks().setCommandView(commandView);
}

bool MissionHeldItemInput(CarriedItem* item, int kind, int value)
{
    return Hooks().heldItemInput ? Hooks().heldItemInput(item, kind, value) : true;
}

bool MissionTakePointerOffset(int* dx, int* dy)
{
    return Hooks().takePointerOffset && Hooks().takePointerOffset(dx, dy);
}

bool MissionIsInputBlocked() { return Hooks().isInputBlocked && Hooks().isInputBlocked(); }

bool MissionIsMovementFrozen() { return Hooks().isMovementFrozen && Hooks().isMovementFrozen(); }

void MissionDrawRectangle(float x0, float y0, float x1, float y1, std::uint32_t colour)
{
    if (Hooks().drawRectangle)
        Hooks().drawRectangle(x0, y0, x1, y1, colour);
}

void MissionItemDropped(Character* soldier, CarriedItem* item, int squadNumber, int team)
{
    if (Hooks().missionItemDropped)
        Hooks().missionItemDropped(soldier, item, squadNumber, team);
}
