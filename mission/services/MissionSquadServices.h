#pragma once

#include "characters/player/GameModeNotices.h"
#include "characters/player/PlayerControls.h"
#include "characters/player/SquadCommandView.h"
#include "characters/player/SquadRecords.h"

class MissionState;

// The player squad's side of the running level: the command view over the mission's squads,
// camera and markers, the human's controls, the squad-slot table with its voices, and the game
// mode's notices (no game mode runs a single mission yet: they change nothing).
class MissionSquadServices final : public SquadCommandView,
                                   public PlayerControls,
                                   public SquadRecords,
                                   public GameModeNotices {
public:
    explicit MissionSquadServices(MissionState& mission);

    SquadRoster* CurrentSquadRoster() override;
    void TakeControl(Character* member) override;
    Character* CharacterUnderCrosshair(int filter) override;
    Character* CharacterUnderPointer(int x, int y, int filter) override;
    int PickMoveTarget(Vector3* point, Character** character) override;
    bool PickGroundUnderPointer(int x, int y, Vector3* point) override;
    void SetGroundMarker(const Vector3* point) override;
    bool GetGroundMarker(Vector3* position) override;
    void SetCommandView(bool commandView) override;
    void LeftCommandView(Character* character) override;
    void DrawSelectionMarker(Device* device, const Vector3& at, float red, float green, float blue) override;
    void DrawRectangle(float x0, float y0, float x1, float y1, std::uint32_t colour) override;

    float CameraFieldOfView() override;
    void SetCameraFieldOfView(float radians) override;
    bool HeldItemInput(CarriedItem* item, int kind, int value) override;
    bool TakePointerOffset(int* dx, int* dy) override;
    bool IsInputBlocked() override;
    bool IsMovementFrozen() override;

    std::string PlayerName(int slot) override;
    int VoiceSet(int slot) override;
    int LoadVoiceSet(std::unique_ptr<Sound3D>* set, int maximum, const char* prefix, float minimumDistance,
                     float maximumDistance) override;
    int LoadVoiceSet2D(std::vector<std::unique_ptr<Sound2D>>& set, int maximum, const char* prefix) override;

    void PlayerDamaged(Character* soldier) override;
    void StealFlag(CarriedItem* flag, Character* character) override;
    void MissionItemDropped(Character* soldier, CarriedItem* item, int squadNumber, int team) override;

private:
    MissionState& mission;
};
