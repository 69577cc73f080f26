#pragma once

#include <cstdint>
#include <vector>

#include "items/vehicles/VehicleItem.h"

class Character;

// The vehicle characters ride: one driver (the item's owner) and riders up to the seat count, the
// driver's squad seated with the driver. Reads the local driver's keys, or the control bits of
// other drivers; keeps the riders and the chase or first-person camera with the body; applies the
// rules for getting out and puts characters out beside the vehicle.
class PassengerVehicleItem : public VehicleItem {
public:
    // Vehicle type codes: what the saved-game writer records and the soldiers branch on.
    enum Type { PassengerType = 0, TankType = 1 };

    // Notices shown when getting out is refused.
    static constexpr const char* kInsideStructures = "You can't get out of vehicles while inside structures";
    static constexpr const char* kNotStopped = "The vehicle must be stopped to get out";
    static constexpr const char* kNoRoom = "There isn't enough room to exit the vehicle at this location";
    static constexpr const char* kExitHint = "Press the Use key to exit vehicle";
    // Getting out needs a body speed below this.
    static constexpr float kExitSpeed = 5.0f;
    // The reach of the free-side test and the sideways gap beside the body.
    static constexpr float kExitReach = 20.0f;

    PassengerVehicleItem(VehicleServices& services, const char* path);
    // Without loading: a subclass loads itself.
    explicit PassengerVehicleItem(VehicleServices& services);
    ~PassengerVehicleItem() override = default;

    // --- Item and vehicle operations ---
    void Update(float elapsed) override;
    void Draw(Device* device) override;
    void Select() override;
    // Puts the exiting character out (the driver when none was named).
    void Deselect() override;
    // The exit rules: true passes the key on to its bound action, false consumes it.
    bool OnKeyDown(int key) override;
    bool OnMouseDown(int button, int x, int y, int flags) override;
    void OnDriverLeaving(Character* driver) override { SetExitingCharacter(driver); }

    // --- passenger vehicle operations ---
    // Drives towards a ground point (drivers that are not the local player).
    virtual void SteerTowards(float x, float y, float z);
    virtual void SetHandbrake() { controls.handbrake = 1; }
    virtual bool HasFreeSeat(Character* character);
    // Seats the character as a rider when a seat is free.
    virtual bool AddPassenger(Character* character);
    // Keeps one rider (or the driver) with the body.
    virtual void UpdateRider(Character* character);
    virtual bool IsAboard(Character* character);
    virtual bool IsPassenger(GameObject* object);
    virtual void SeatCharacter(Character* character);
    virtual void SetExitingCharacter(Character* character) { exiting = character; }
    // Puts every rider out, the list emptied first.
    virtual void EjectAll();
    void AttachToMapObject(MapObject* object, bool findLink) override { VehicleItem::AttachToMapObject(object, true); }

    // The exit tests, in order; on refusal the notice is returned (null: the character may go).
    const char* ExitRefusal();
    // The side with room: 0 left, 1 right, -1 both blocked.
    int FindExitSide();
    // Where a character put out on that side stands (before the ground search).
    Vector3 ExitPoint(int side, float extraGap) const;
    // The chase camera's blend towards its target for the time since the last draw and the speed,
    // always within 0..1.
    static double ChaseBlend(double sinceDraw, double followRate, double speed);

    int GetVehicleType() const { return vehicleType; }
    int GetSeatedCount() const { return seatedCount; }
    Character* GetExitingCharacter() const { return exiting; }

    int vehicleType = PassengerType;
    VehicleControls previousControls;
    int seatedCount = 0;
    int exitSide = -1;
    Character* exiting = nullptr;
    float savedCameraDistance = 0.0f;
    int savedViewMode = 0;
    // Squad members the driver's seating left outside (no free seat).
    std::vector<std::uint16_t> stayingOut;

protected:
    // Puts one character out beside the vehicle.
    void PutOut(Character* character);
    // The controls of a player driver: the local player's keys, another player's control bits.
    void ReadControls(Character* driver);
    // The character stands on the ground near the point, 4 above it; where no ground is found it
    // keeps the body's height.
    void StandOnGround(Character* character, Vector3 at, const Vector3& step);
    bool IsStayingOut(Character* character) const;
    // The body's rotation made upright: the up row vertical, the others level.
    Matrix3 UprightRotation() const;
};
