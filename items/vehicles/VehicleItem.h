#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>

#include "engine/core/Matrix.h"
#include "items/Item.h"
#include "items/vehicles/VehicleFile.h"
#include "physics/VehicleModel.h"

class MapObject;
class MeshNode;
class SceneNode;
class Sound3D;
class Sprite;
class qMesh;
class qParticle;
class VehicleItem;
class VehicleServices;

// The driver's wishes for the current frame.
struct VehicleControls {
    std::uint8_t viewToggle = 0;
    std::uint8_t rangeToggle = 0;
    std::uint8_t forward = 0;
    std::uint8_t backward = 0;
    std::uint8_t left = 0;
    std::uint8_t right = 0;
    std::uint8_t handbrake = 0;
    std::uint8_t spare = 0;

    void Clear() { *this = VehicleControls(); }
    bool operator==(const VehicleControls&) const = default;
};

// Control bits of a driver that is not the local player (an AI, another machine's player).
enum VehicleControlBits : std::uint8_t {
    kControlForward = 0x01,
    kControlBackward = 0x02,
    kControlLeft = 0x14,
    kControlRight = 0x28,
    kControlHandbrake = 0x40,
};

// One wheel's drawing and ground state.
struct VehicleWheel {
    SceneNode* part = nullptr;     // the wheel's scene node, a child of the body
    int modelIndex = 0;            // the vehicle model's wheel 0..3
    bool steered = false;          // a front wheel
    bool driven = false;
    bool touched = false;          // on the ground in the last sub-step
    bool locked = false;           // held by the brakes
    double spinAngle = 0.0;
    double width = 0.0;
    float groundHeight = 0.0f;
    Vector3 groundNormal{0.0f, 1.0f, 0.0f};
    Vector3 lastTrackPoint;
    bool hasTrackPoint = false;
    std::unique_ptr<qParticle> tireSmoke;
};

// One quad of the tyre tracks left where a wheel slid.
struct TireTrackSegment {
    Vector3 corners[4];
    float age = 0.0f;
    bool visible = false;
};

// The embedded vehicle model, which knows the item it belongs to: the model's wheel-contact
// callback takes only the model.
class VehicleItemModel : public VehicleModel {
public:
    explicit VehicleItemModel(VehicleItem& item) : item(item) {}
    VehicleItem& item;
};

// The drivable vehicle: an item a character drives by holding it. A vehicle file names it, its
// model and its physics, camera, sound and damage parameters; the embedded vehicle model moves it.
// While nobody drives it the map object placed for it stands in the world; the vehicle hides that
// object while driven and puts it where the vehicle stopped when the driver leaves.
//
// The saved block (little-endian), before the Item block:
//   0   1  version, 3
//   1   4  link ID (the linked map object's vehicle prop), -1 none
//   5  12  the linked object's position (zeros without one)
//   17 36  the linked object's rotation, row by row (the identity without one)
//   53  4  armour (float)
//   57  2  driver's object ID, 0xFFFF none
//   59  1  rider count n
//   60 2n  riders' object IDs in list order
class VehicleItem : public Item {
public:
    static constexpr std::uint8_t kBlockVersion = 3;
    static constexpr int kWheels = 4;
    static constexpr int kTireTracks = 500;
    static constexpr int kGearSounds = VehicleFileKeys::kGearSounds;
    static constexpr int kCollisionSounds = VehicleFileKeys::kCollisionSounds;
    // Sub-steps of one update are capped so that a long frame cannot stall the game.
    static constexpr int kMaxSubSteps = 64;
    // The physics step is never above this, so that a car corners without sliding at moderate
    // speed (the model has no centripetal term in its steered solve).
    static constexpr float kMaxPhysicsStep = 1.0f / 120.0f;
    static constexpr float kIndestructibleArmor = 1000000.0f;

    // Loads the vehicle file at path and its model; throws q3DError after tearing down.
    VehicleItem(VehicleServices& services, const char* path);
    // Without loading: a subclass loads itself.
    explicit VehicleItem(VehicleServices& services);
    ~VehicleItem() override;

    // --- Item operations ---
    void UpdateTransform(float elapsed) override { Update(elapsed); }
    void Load(SaveStream* stream) override;
    void Save(SaveStream* stream) override;
    bool ApplyDamage(int amount, const Vector3& point, const Vector3& direction) override;
    void Draw(Device* device) override;
    void DrawHUD(Device* device) override;
    void Select() override;
    void Deselect() override;
    bool IntersectRay(HitResult& hit) override;
    bool OnHit(HitResult& hit, Bullet* bullet, int damage, const Vector3& point, const Vector3& normal) override;
    bool ExpiresWhenDropped() override { return false; }
    // A vehicle left by its driver stays where and as it stands.
    bool MovesWhenDropped() override { return false; }
    bool LiesDownWhenDropped() override { return false; }
    int GetLastDamage() override { return lastDamage; }
    float GetTroopProtection() override { return troopProtection; }
    float GetHalfWidth() override;
    float GetSpeed() override;

    // --- vehicle operations ---
    // The per-frame simulation of a driven vehicle.
    virtual void Update(float elapsed);
    virtual void LoadModel(const char* path);
    virtual void Unload();
    virtual void SetArmor(float value) { armor = value; }
    virtual double GetSteerAngle() { return steerAngle; }
    virtual void SetSteerAngle(double angle) { steerAngle = angle; }
    virtual void SetControlBits(std::uint8_t bits) { controlBits = bits; }
    virtual void AttachToMapObject(MapObject* object, bool findLink);
    virtual void AddArmor(int amount);
    virtual void Reset();

    // Reads the key lines and hands the physical parameters to the model. A null path applies the
    // defaults; an unreadable file leaves them. Throws q3DError naming the file when the model
    // refuses the body parameters or a key line is bad.
    void ReadVehicleFile(const char* path);
    // The model's wheel-contact callback.
    static void WheelGroundQuery(VehicleModel& model);

    Vector3 GetVelocity() const;
    void GetPhysicsVelocity(Vector3d& out) const;
    bool HasPassenger(std::uint16_t id) const;
    // 2 stopped (body speed below 2.5 or no driven wheel spinning), 1 rolling backwards, 0 forwards.
    int GetDriveDirection() const;
    // The forward direction of the body in the world (its local z axis).
    Vector3 GetForward() const;

    float GetArmor() const { return armor; }
    float GetMaxArmor() const { return maxArmor; }
    bool IsDestroyed() const { return armor <= 0.0f; }
    bool IsDriven() const { return owner != nullptr; }
    VehicleModel& GetModel() { return model; }
    const VehicleFileKeys& GetKeys() const { return keys; }
    SceneNode* GetBody() const { return body; }
    MapObject* GetLinkedObject() const { return linkedObject; }
    int GetLinkID() const { return linkID; }
    const std::string& GetPath() const { return path; }
    float GetPhysicsStep() const { return physicsStep; }
    VehicleControls& Controls() { return controls; }
    std::list<std::uint16_t>& Passengers() { return passengers; }
    const std::list<std::uint16_t>& Passengers() const { return passengers; }
    // Every vehicle alive, in the order made.
    static const std::list<VehicleItem*>& AllVehicles();

    // --- fields other vehicle classes and the mission read ---
    SceneNode* body = nullptr;
    bool announceEntry = true;
    float firstPersonCamOffset[3] = {};
    Vector3 savedCameraPosition;
    double thirdPersonCamDist = 25.0;
    double thirdPersonCamHeight = 0.20943951606750488;
    double thirdPersonCamSpeed = 1.7;
    double timeSinceDraw = 0.0;
    qMesh* bodyMesh = nullptr;
    qMesh* alternateMesh = nullptr; // held by the alternate node
    std::unique_ptr<qParticle> exhaust;
    qParticle* damageSmoke = nullptr; // owned here unless handed to the mission's list
    std::unique_ptr<Sprite> armorDisplay;
    std::unique_ptr<Sound3D> engineDriveSound;
    std::unique_ptr<Sound3D> engineIdleSound;
    std::unique_ptr<Sound3D> skidSound;
    std::unique_ptr<Sound3D> collisionSounds[kCollisionSounds];
    std::unique_ptr<Sound3D> brakeSound;
    std::unique_ptr<Sound3D> enterSound;
    std::unique_ptr<Sound3D> exitSound;
    std::unique_ptr<Sound3D> gearSounds[kGearSounds];
    int driveHandle = -1;
    int idleHandle = -1;
    int skidHandle = -1;
    int maxPassengers = 4;
    int lastDamage = 0;
    int wheelCount = 0;
    float engineVolumeRange[2] = {0.0f, 100.0f};
    float enginePitchRange[2] = {11050.0f, 27050.0f};
    float maxArmor = 1000.0f;
    float armor = 1000.0f;
    float troopProtection = 1.0f;
    VehicleControls controls;
    bool collideWithWorld = true;
    bool firstPerson = false;
    bool highRange = true;
    bool savedView = false;
    bool alternateMeshShown = false;
    std::uint8_t controlBits = 0;
    std::list<std::uint16_t> passengers;
    VehicleWheel wheels[kWheels];
    TireTrackSegment tireTracks[kTireTracks];
    Vector3 ellipsoidRadii;
    float damageSmokeOffset[3] = {};
    float exhaustOffset[3] = {};
    double brakingTorque = 0.0;
    double collisionBounce = 0.3;
    double gearSpeedLow = 0.6;
    double gearSpeedHigh = 1.0;
    double maxForwardSpeed = 220.0;
    double steerAngle = 0.0;
    MapObject* linkedObject = nullptr;
    int linkID = -1;
    int steerCommand = 2; // 0 left, 1 right, 2 centre
    int nextTireTrack = 0;
    int smoothedEngineSpeed = 0;
    float physicsStep = 0.0f;
    float suggestedTimeStep = 0.0f;
    float engineStartCountdown = 0.0f;
    float engineStartTime = 0.0f;
    float engineIdlePitch = 22050.0f;
    float engineIdleVolume = 0.9f;
    float maxSteerAngle = 0.3926991f;
    float stopTimer = 0.0f;
    bool brakeSoundLatch = false;
    bool viewToggleLatch = false;
    bool reversing = false;
    bool drivingForward = false;
    bool rangeLatch = false;
    bool brakingToStop = false;
    bool noBounce = false;
    bool drowned = false;
    float meanGroundHeight = 0.0f;

protected:
    VehicleServices& services;
    VehicleItemModel model;
    VehicleFileKeys keys;
    std::string path;
    // The model's five parts, owned here; the wheel parts hang under the body part.
    std::unique_ptr<MeshNode> bodyNode;
    std::unique_ptr<MeshNode> wheelNodes[kWheels];
    std::unique_ptr<MeshNode> alternateNode;

    // One sub-step of the driving simulation.
    void SubStep(float dt);
    void ApplyDriveLogic(float dt);
    void ApplySteering(float dt);
    void CollideWithWorld(float dt);
    void PlaceParts();
    void UpdateSounds(float elapsed);
    void UpdateDrowning();
    // The engine drive sound's volume (0..1) at the engine-speed fraction k.
    float EngineVolume(float k) const;
    // Places the damage smoke at its offset above the body.
    void PlaceDamageSmoke();
    // Puts the model body at the body part's position and rotation (turned by -pi/2), zero steps.
    void PlaceModelAtBody();
    // The body part's transform from the model body.
    void PlaceBodyAtModel();

private:
    std::list<VehicleItem*>::iterator listEntry;
    void Construct();
};
