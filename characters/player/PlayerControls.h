#pragma once

class CarriedItem;

// The human's view and input as the controlled soldier reads them: the mission camera's field of
// view, the pointer's offset, input held back or frozen, and input handed to the held item.
class PlayerControls {
public:
    virtual ~PlayerControls() = default;

    // The mission camera's vertical field of view (radians), read and set.
    virtual float CameraFieldOfView() = 0;
    virtual void SetCameraFieldOfView(float radians) = 0;
    // Input the squad soldier did not use, handed to its held item (the item classes live beside
    // the characters): kind 0 key down (a key), 1 button down, 2 button up (a button), 3 wheel
    // step (a direction). True when the item did not consume it.
    virtual bool HeldItemInput(CarriedItem* item, int kind, int value) = 0;
    // The pointer's offset from the screen centre, the pointer put back there; false when there
    // is no pointer to read.
    virtual bool TakePointerOffset(int* dx, int* dy) = 0;
    // Whether the human's input is held back this frame (a menu shown, the pause, the key gate
    // without its key), and the mission's freeze switch (no movement at all).
    virtual bool IsInputBlocked() = 0;
    virtual bool IsMovementFrozen() = 0;
};
