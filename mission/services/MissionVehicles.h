#pragma once

#include <vector>

#include "items/vehicles/VehicleServices.h"

class CarriedItem;
class Character;
class MissionState;
class PassengerVehicleItem;

// The running level's vehicles: made from the map objects that carry a vehicle prop, placed on
// them, and answering what a vehicle asks of the level from the mission and its world.
class MissionVehicles final : public VehicleServices {
public:
    explicit MissionVehicles(MissionState& mission);
    ~MissionVehicles() override;
    MissionVehicles(const MissionVehicles&) = delete;
    MissionVehicles& operator=(const MissionVehicles&) = delete;

    // One passenger vehicle for each vehicle object of the level, laid in the world's list of
    // loose items, which owns it (as a character owns the vehicle it drives); a vehicle that fails
    // to load is logged and left out. Returns how many were made.
    int CreateFromMap();
    // The level's passenger vehicles alive, in the order made.
    std::vector<PassengerVehicleItem*> All() const;
    // The vehicle whose placeholder is the object, null for none.
    PassengerVehicleItem* ForObject(const MapObject* object) const;
    // The vehicle a character drives or rides in, null for none.
    PassengerVehicleItem* RidingVehicle(const Character* character) const;
    // The use action on a vehicle's placeholder: the character drives it when nobody does, else
    // rides when a seat is free. True when it got in.
    bool Enter(PassengerVehicleItem& vehicle, Character& character);

    bool GroundBelow(const Vector3& point, float& height, Vector3& normal) override;
    bool GroundIsStructure(const Vector3& point) override;
    bool WaterHeight(const Vector3& point, float& height) override;
    bool CollideEllipsoid(const Vector3& centre, const Vector3& radii, Vector3& push, Vector3& normal) override;
    bool Pick(const Vector3& origin, const Vector3& direction, float reach, float& distance) override;
    SceneNode* SceneRoot() override;
    void AddParticleEffect(qParticle* effect) override;
    void RemoveParticleEffect(qParticle* effect) override;
    bool IsHost() override;
    bool IsRemoteClient() override;
    void SendVehicleDestroyed(std::uint16_t vehicleID) override;
    Character* LocalPlayer() override;
    void ShowMessage(const char* text, int milliseconds) override;
    MapObject* FindVehicleObject(int linkID) override;
    int VehiclePropID(MapObject* object) override;
    Character* SquadMember(Character* leader, int index) override;
    const char* KeyAction(int key) override;
    bool IsActionDown(const char* action) override;
    void PlaceCamera(const Vector3& position, const Vector3& forward) override;
    Vector3 CameraPosition() override;
    float WorldHalfExtent() override;

private:
    MissionState& mission;
};

// Makes the level's vehicle services when it has none and the vehicles of its map.
void CreateMapVehicles(MissionState& mission);
