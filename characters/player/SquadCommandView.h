#pragma once

#include <cstdint>

class Character;
class Device;
class SquadRoster;
struct Vector3;

// The squad's command view as the squad leader sees it: the current squad and the soldier the
// human drives, what lies under the crosshair or the pointer, the move marker, the command view's
// pointer and input capture, its selection marker and rectangle. The mission implements it.
class SquadCommandView {
public:
    virtual ~SquadCommandView() = default;

    // The local player's current squad; null when none.
    virtual SquadRoster* CurrentSquadRoster() = 0;
    // The mission's share of handing control to a member of the current squad: it becomes the
    // current player soldier, the camera and the listener follow it (the old member's node goes
    // back to the world root), its path follower starts on the squad's path, its view mode is
    // stepped to the mission's, the squad display is refreshed and the mission's countdown is zeroed.
    virtual void TakeControl(Character* member) = 0;
    // The first character hit by the camera ray through the screen centre (or a pointer position),
    // the current player soldier left out, among the character kinds of the filter; null when none.
    virtual Character* CharacterUnderCrosshair(int filter) = 0;
    virtual Character* CharacterUnderPointer(int x, int y, int filter) = 0;
    // What the centre ray meets first for a move order: 0 nothing, 1 a character (*character),
    // 2 a loose item, 3 the ground (*point, already put on the floor).
    virtual int PickMoveTarget(Vector3* point, Character** character) = 0;
    // The map point under a pointer position; false when the ray meets nothing.
    virtual bool PickGroundUnderPointer(int x, int y, Vector3* point) = 0;
    // The squad's move marker: placed at a point, or cleared with null; and where it stands.
    virtual void SetGroundMarker(const Vector3* point) = 0;
    virtual bool GetGroundMarker(Vector3* position) = 0;
    // Entering (true) or starting to leave (false) the command view: the pointer shown and the
    // input released, or the pointer hidden and the input captured again.
    virtual void SetCommandView(bool commandView) = 0;
    // The character has left the command view: the ordinary view flags come back.
    virtual void LeftCommandView(Character* character) = 0;
    // The command view's selection marker, laid flat at the point, scaled 3 and in the colour
    // (0..1 a channel); nothing while the current player has the markers switched off.
    virtual void DrawSelectionMarker(Device* device, const Vector3& at, float red, float green, float blue) = 0;
    // A screen line of the selection rectangle.
    virtual void DrawRectangle(float x0, float y0, float x1, float y1, std::uint32_t colour) = 0;
};
