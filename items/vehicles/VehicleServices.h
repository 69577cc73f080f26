#pragma once

#include <cstdint>

#include "engine/core/Vector.h"

class Character;
class MapObject;
class SceneNode;
class qParticle;

// What a vehicle asks of the running level: the ground under its wheels, the world it collides
// with, the water it drowns in, the scene it is drawn in, the network role and the local player.
// The mission implements it and hands it to every vehicle it makes, so a vehicle cannot exist
// without one.
class VehicleServices {
public:
    virtual ~VehicleServices() = default;

    // The ground's height and unit normal below the point (searched downward from the point);
    // false where there is no ground.
    virtual bool GroundBelow(const Vector3& point, float& height, Vector3& normal) = 0;
    // True when the ground below the point is a map object (a structure) rather than terrain.
    virtual bool GroundIsStructure(const Vector3& point) = 0;
    // The water surface's height at x, z; false where there is no water.
    virtual bool WaterHeight(const Vector3& point, float& height) = 0;
    // Pushes an ellipsoid (centre, radii along the world axes) out of the world's solid geometry:
    // true with the push (added to the centre) and the unit normal of the deepest contact.
    virtual bool CollideEllipsoid(const Vector3& centre, const Vector3& radii, Vector3& push, Vector3& normal) = 0;
    // A ray from origin along the unit direction; true with the distance when solid geometry lies
    // within reach.
    virtual bool Pick(const Vector3& origin, const Vector3& direction, float reach, float& distance) = 0;
    // Where a driven vehicle's body is drawn.
    virtual SceneNode* SceneRoot() = 0;
    // The mission's running particle effects: added ones are drawn and owned by the list.
    virtual void AddParticleEffect(qParticle* effect) = 0;
    virtual void RemoveParticleEffect(qParticle* effect) = 0;
    // Network role of this machine.
    virtual bool IsHost() = 0;
    virtual bool IsRemoteClient() = 0;
    // The host tells the clients that the vehicle was destroyed.
    virtual void SendVehicleDestroyed(std::uint16_t vehicleID) = 0;
    // The character this machine's player steers, null without one.
    virtual Character* LocalPlayer() = 0;
    // A notice on the screen for the time in ms.
    virtual void ShowMessage(const char* text, int milliseconds) = 0;
    // The map object whose vehicle prop carries the identifier, null for none.
    virtual MapObject* FindVehicleObject(int linkID) = 0;
    // The identifier of the object's vehicle prop, -1 when it has none.
    virtual int VehiclePropID(MapObject* object) = 0;
    // The leader's squad member at index (0 up), null past the last one or without a squad.
    virtual Character* SquadMember(Character* leader, int index) = 0;
    // The bound action name of a key code ("Use Item in World", "Move Forward"...), null for none.
    virtual const char* KeyAction(int key) = 0;
    // Whether a key bound to the action is down for the local player.
    virtual bool IsActionDown(const char* action) = 0;
    // Puts the mission camera at a position looking along a forward direction (y kept level).
    virtual void PlaceCamera(const Vector3& position, const Vector3& forward) = 0;
    virtual Vector3 CameraPosition() = 0;
    // Half the world's extent in x and z (characters put out beyond it go to the origin).
    virtual float WorldHalfExtent() = 0;
};
