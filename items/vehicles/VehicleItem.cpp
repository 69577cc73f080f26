#include "items/vehicles/VehicleItem.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "app/framework/Application.h"
#include "characters/body/Character.h"
#include "engine/core/ObjectIDTree.h"
#include "engine/core/q3DError.h"
#include "engine/filesystem/PackFile.h"
#include "engine/material/q3DModelReader.h"
#include "engine/mesh/MeshNode.h"
#include "engine/mesh/qMesh.h"
#include "engine/particle/qParticle.h"
#include "engine/serial/SaveStream.h"
#include "engine/sprite/Sprite.h"
#include "items/ItemSound.h"
#include "items/vehicles/VehicleServices.h"
#include "media/Sound3D.h"
#include "world/map/MapObject.h"

namespace {

constexpr double kPiD = 3.14159265358979323846;

std::list<VehicleItem*>& VehicleList()
{
    static std::list<VehicleItem*> vehicles;
    return vehicles;
}

bool NameIsWheel(const char* name)
{
    return std::strstr(name, "wheel") != nullptr || std::strstr(name, "WHEEL") != nullptr ||
           std::strstr(name, "Wheel") != nullptr;
}

// The model body's rows are (forward, up, left) of the vehicle; the body part's rows are
// (right, up, forward).
Matrix3 PartRotationFromModel(const Matrix3d& rows)
{
    const Vector3d forward = rows.Row(0);
    const Vector3d up = rows.Row(1);
    const Vector3d left = rows.Row(2);
    Matrix3 out;
    const double values[3][3] = {{-left.x, -left.y, -left.z}, {up.x, up.y, up.z}, {forward.x, forward.y, forward.z}};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            out(r, c) = static_cast<float>(values[r][c]);
        }
    }
    return out;
}

Matrix3d ModelRowsFromPart(const Matrix3& part)
{
    Matrix3d out;
    out.SetRow(0, {part(2, 0), part(2, 1), part(2, 2)});
    out.SetRow(1, {part(1, 0), part(1, 1), part(1, 2)});
    out.SetRow(2, {-part(0, 0), -part(0, 1), -part(0, 2)});
    return out;
}

Vector3 Row(const Matrix3& m, int row) { return {m(row, 0), m(row, 1), m(row, 2)}; }

std::unique_ptr<Sound3D> LoadSound(const std::string& name)
{
    return name.empty() ? nullptr : LoadItemSound(name);
}

} // namespace

const std::list<VehicleItem*>& VehicleItem::AllVehicles() { return VehicleList(); }

VehicleItem::VehicleItem(VehicleServices& services, const char* path) : services(services), model(*this)
{
    Construct();
    try {
        LoadModel(path);
    } catch (...) {
        Unload();
        VehicleList().erase(listEntry);
        throw;
    }
}

VehicleItem::VehicleItem(VehicleServices& services) : services(services), model(*this) { Construct(); }

void VehicleItem::Construct()
{
    VehicleList().push_back(this);
    listEntry = std::prev(VehicleList().end());
    category = Vehicle;
    Reset();
}

VehicleItem::~VehicleItem()
{
    Unload();
    VehicleList().erase(listEntry);
}

void VehicleItem::Reset()
{
    body = nullptr;
    for (VehicleWheel& wheel : wheels) {
        wheel = VehicleWheel();
    }
    wheelCount = 0;
    linkedObject = nullptr;
    linkID = -1;
    driveHandle = idleHandle = skidHandle = -1;
    keys = VehicleFileKeys();
    armor = maxArmor = 1000.0f;
    troopProtection = 1.0f;
    maxPassengers = 4;
    maxSteerAngle = 0.3926991f;
    collideWithWorld = true;
    announceEntry = true;
    for (TireTrackSegment& segment : tireTracks) {
        segment.visible = false;
    }
    nextTireTrack = 0;
}

void VehicleItem::Unload()
{
    for (VehicleWheel& wheel : wheels) {
        wheel.tireSmoke.reset();
        wheel.part = nullptr;
    }
    for (int* handle : {&driveHandle, &idleHandle, &skidHandle}) {
        Sound3D* sound = handle == &driveHandle ? engineDriveSound.get()
                         : handle == &idleHandle ? engineIdleSound.get()
                                                 : skidSound.get();
        if (sound != nullptr && *handle != -1) {
            sound->Stop(*handle);
        }
        *handle = -1;
    }
    engineDriveSound.reset();
    engineIdleSound.reset();
    skidSound.reset();
    for (auto& sound : collisionSounds) {
        sound.reset();
    }
    brakeSound.reset();
    enterSound.reset();
    exitSound.reset();
    for (auto& sound : gearSounds) {
        sound.reset();
    }
    for (TireTrackSegment& segment : tireTracks) {
        segment.visible = false;
    }
    exhaust.reset();
    if (damageSmoke != nullptr) {
        services.RemoveParticleEffect(damageSmoke);
        delete damageSmoke;
        damageSmoke = nullptr;
    }
    alternateNode.reset();
    alternateMesh = nullptr;
    for (auto& node : wheelNodes) {
        node.reset();
    }
    bodyNode.reset();
    body = nullptr;
    bodyMesh = nullptr;
    armorDisplay.reset();
}

void VehicleItem::LoadModel(const char* filePath)
{
    path = VehicleFilePath(filePath, services.IsRemoteClient());
    std::vector<std::uint8_t> bytes;
    if (!PackFileReadAll(path.c_str(), bytes)) {
        throw q3DError("Can't open %s", path.c_str());
    }
    const std::string text(bytes.begin(), bytes.end());
    const std::size_t firstEnd = text.find('\n');
    std::string vehicleName = VehicleModelPathFromLine(text.substr(0, firstEnd).c_str());
    std::string modelLine;
    if (firstEnd != std::string::npos) {
        const std::size_t secondEnd = text.find('\n', firstEnd + 1);
        modelLine = text.substr(firstEnd + 1, secondEnd == std::string::npos ? std::string::npos : secondEnd - firstEnd - 1);
    }
    const std::string modelPath = VehicleModelPathFromLine(modelLine.c_str());
    if (vehicleName.empty() || modelPath.empty()) {
        throw q3DError("%s: the vehicle file needs a name and a model path", path.c_str());
    }
    std::snprintf(name, sizeof name, "%s", vehicleName.c_str());

    Device* device = GetDeviceForLoading();
    SceneNode holder;
    {
        q3DModelReader reader;
        reader.ReadFile(device, modelPath.c_str(), &holder, nullptr);
    }
    std::vector<std::unique_ptr<MeshNode>> parts;
    while (holder.GetChildCount() > 0) {
        SceneNode* child = holder.GetChild(0);
        child->Detach();
        parts.emplace_back(static_cast<MeshNode*>(child));
    }
    if (parts.size() != 5) {
        throw q3DError("Vehicle has more than 5 parts");
    }
    int wheelIndex = 0;
    for (auto& part : parts) {
        if (part->GetMesh() != nullptr) {
            part->GetMesh()->Scale(0.1f);
            part->GetMesh()->ComputeBounds();
            part->GetMesh()->SetVertexColor(0xFFFFFFFFu);
        }
        part->position = part->position * 0.1f;
        if (NameIsWheel(part->GetName())) {
            if (wheelIndex == kWheels) {
                throw q3DError("More than four wheels in vehicle");
            }
            wheelNodes[wheelIndex++] = std::move(part);
        } else {
            if (bodyNode) {
                throw q3DError("More than one body in vehicle");
            }
            bodyNode = std::move(part);
        }
    }
    if (wheelIndex < kWheels || !bodyNode) {
        throw q3DError("Less than 4 wheels in vehicle");
    }
    if (bodyNode->GetMesh() == nullptr) {
        throw q3DError("%s: the vehicle body has no mesh", modelPath.c_str());
    }
    for (auto& wheel : wheelNodes) {
        if (wheel->GetMesh() == nullptr) {
            throw q3DError("%s: a vehicle wheel has no mesh", modelPath.c_str());
        }
    }
    body = bodyNode.get();
    bodyMesh = bodyNode->GetMesh();

    // The alternate body: the model's name with "-alt" before its extension.
    const std::size_t dot = modelPath.find_last_of('.');
    const std::size_t slash = modelPath.find_last_of("/\\");
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string altPath = hasExtension ? modelPath.substr(0, dot) + "-alt" + modelPath.substr(dot)
                                             : modelPath + "-alt";
    if (PackFileExists(altPath.c_str())) {
        alternateNode = std::make_unique<MeshNode>();
        alternateNode->Load(device, altPath.c_str(), nullptr, 0);
        alternateMesh = alternateNode->GetMesh();
        if (alternateMesh != nullptr) {
            alternateMesh->Scale(0.1f);
            alternateMesh->ComputeBounds();
        }
    }

    for (int i = 0; i < kWheels; ++i) {
        wheelNodes[i]->SetParent(body);
        VehicleWheel& wheel = wheels[i];
        wheel.part = wheelNodes[i].get();
        const Vector3 p = wheelNodes[i]->position;
        // Front wheels are steered; the model numbers them 0 front left, 1 back left, 2 back
        // right, 3 front right.
        const bool front = p.z >= 0.0f;
        const bool left = p.x < 0.0f;
        wheel.modelIndex = front ? (left ? 0 : 3) : (left ? 1 : 2);
        wheel.steered = front;
    }
    wheelCount = kWheels;

    ReadVehicleFile(path.c_str());
    model.SetVelocity({0.0, 0.0, 0.0});
    model.SetAngularVelocity({0.0, 0.0, 0.0});
    model.SetThrottle(0.0);
    model.SetReverse(0.0);

    if (device != nullptr) {
        for (VehicleWheel& wheel : wheels) {
            wheel.tireSmoke = std::make_unique<qParticle>();
            wheel.tireSmoke->Load(device, "gamedata/fx/tireSmoke.par");
        }
        armorDisplay = std::make_unique<Sprite>();
        armorDisplay->Load(device, "GameData/Interface/cararmor.tga");
        armorDisplay->x = 87;
        armorDisplay->y = Application::Instance()->GetScreenHeight() - 32;
        armorDisplay->scale = 0.7f;
    }
}

void VehicleItem::ReadVehicleFile(const char* filePath)
{
    model.SetWheelContactCallback(&VehicleItem::WheelGroundQuery);
    RestoreVehicleFileDefaults(keys);
    std::vector<std::uint8_t> bytes;
    if (filePath != nullptr && PackFileReadAll(filePath, bytes)) {
        const std::string text(bytes.begin(), bytes.end());
        std::string error;
        if (text.find('\0') != std::string::npos) {
            throw q3DError("%s: the vehicle file holds a zero byte", filePath);
        }
        if (!ReadVehicleKeys(text.c_str(), keys, error)) {
            throw q3DError("%s: %s", filePath, error.c_str());
        }
    }
    const char* fileName = filePath != nullptr ? filePath : "(defaults)";

    std::memcpy(firstPersonCamOffset, keys.firstPersonCamOffset, sizeof firstPersonCamOffset);
    thirdPersonCamDist = keys.thirdPersonCamDist;
    thirdPersonCamHeight = keys.thirdPersonCamHeight;
    thirdPersonCamSpeed = keys.thirdPersonCamSpeed;
    std::memcpy(exhaustOffset, keys.exhaustOffset, sizeof exhaustOffset);
    std::memcpy(damageSmokeOffset, keys.damageSmokeOffset, sizeof damageSmokeOffset);
    std::memcpy(engineVolumeRange, keys.engineVolumeRange, sizeof engineVolumeRange);
    std::memcpy(enginePitchRange, keys.enginePitchRange, sizeof enginePitchRange);
    engineStartTime = keys.engineStartTime;
    engineIdlePitch = keys.engineIdlePitch;
    engineIdleVolume = keys.engineIdleVolume;
    maxSteerAngle = keys.maxSteerAngle;
    maxArmor = armor = keys.bodyArmor;
    troopProtection = keys.troopProtection;
    maxPassengers = keys.maxPassengers;
    brakingTorque = keys.brakingTorque;
    collisionBounce = keys.collisionBounce;
    gearSpeedLow = keys.gearSpeedLow;
    gearSpeedHigh = keys.gearSpeedHigh;
    maxForwardSpeed = keys.maxForwardSpeed;

    engineDriveSound = LoadSound(keys.engineDriveSound);
    engineIdleSound = LoadSound(keys.engineIdleSound);
    skidSound = LoadSound(keys.skidSound);
    for (Sound3D* loop : {engineDriveSound.get(), engineIdleSound.get(), skidSound.get()}) {
        if (loop != nullptr) {
            loop->SetLoopCount(0, -1);
        }
    }
    for (Sound3D* engine : {engineDriveSound.get(), engineIdleSound.get()}) {
        if (engine != nullptr) {
            engine->SetDistances(400.0f, 75.0f, -1);
        }
    }
    for (int i = 0; i < kCollisionSounds; ++i) {
        collisionSounds[i] = LoadSound(keys.collisionSounds[i]);
    }
    brakeSound = LoadSound(keys.brakeSound);
    enterSound = LoadSound(keys.enterSound);
    exitSound = LoadSound(keys.exitSound);
    for (int i = 0; i < kGearSounds; ++i) {
        gearSounds[i] = LoadSound(keys.gearSounds[i]);
        if (gearSounds[i]) {
            gearSounds[i]->SetDistances(50.0f, 10.0f, -1);
        }
    }
    Device* device = GetDeviceForLoading();
    if (device != nullptr && !keys.exhaustParticles.empty()) {
        exhaust = std::make_unique<qParticle>();
        exhaust->Load(device, keys.exhaustParticles.c_str());
        exhaust->Reset();
    }
    if (device != nullptr && !keys.damageSmoke.empty()) {
        auto smoke = std::make_unique<qParticle>();
        smoke->Load(device, keys.damageSmoke.c_str());
        smoke->Reset();
        smoke->emissionPaused = true;
        damageSmoke = smoke.release();
    }

    if (!bodyMesh || !wheelNodes[0] || wheelNodes[0]->GetMesh() == nullptr) {
        throw q3DError("%s: the vehicle model is not loaded", fileName);
    }
    // The model's geometry: the body box, the first wheel's box and the wheel positions.
    const BoundingBox bodyBox = bodyMesh->GetBoundingBox();
    const BoundingBox wheelBox = wheelNodes[0]->GetMesh()->GetBoundingBox();
    const double width = std::fabs(bodyBox.min.x) + bodyBox.max.x;
    const double height = std::fabs(bodyBox.min.y) + bodyBox.max.y;
    const double length = std::fabs(bodyBox.min.z) + bodyBox.max.z;
    const double radius = (std::fabs(wheelBox.min.z) + wheelBox.max.z) / 2.0;
    const double wheelWidth = std::fabs(wheelBox.min.x) + wheelBox.max.x;
    double minX = 1e30, maxX = -1e30, minZ = 1e30, maxZ = -1e30;
    for (const auto& node : wheelNodes) {
        minX = std::min(minX, static_cast<double>(node->position.x));
        maxX = std::max(maxX, static_cast<double>(node->position.x));
        minZ = std::min(minZ, static_cast<double>(node->position.z));
        maxZ = std::max(maxZ, static_cast<double>(node->position.z));
    }
    const double wheelbase = maxZ - minZ;
    const double track = maxX - minX;
    const double m = keys.chassisMass;
    const Vector3d chassisTOI{m / 12.0 * (width * width + height * height), m / 12.0 * (length * length + width * width),
                              m / 12.0 * (length * length + height * height)};
    const double wheelSide = keys.wheelMass * (wheelWidth * wheelWidth / 12.0 + radius * radius / 2.0);
    const Vector3d wheelTOI{wheelSide, wheelSide, keys.wheelMass * radius * radius / 2.0};
    const Vector3d r0{wheelbase / 2.0, -keys.height, track / 2.0};
    const Vector3d r1{-wheelbase / 2.0, -keys.height, track / 2.0};
    const Vector3d gravity{keys.gravity[0], keys.gravity[1], keys.gravity[2]};
    if (model.SetBodyParameters(gravity, r0, r1, radius, radius, chassisTOI, wheelTOI, wheelTOI, keys.chassisMass,
                                keys.wheelMass, keys.wheelMass) == 0) {
        throw q3DError("%s: the vehicle model refuses the body parameters (check the model's wheels and the masses)",
                       fileName);
    }
    if (model.SetDrivetrain(nullptr, nullptr, 0, keys.maxForwardSpeed, keys.maxReverseSpeed, keys.forwardGears, 1,
                            model.GetWheelRadius(1), keys.enginePower, keys.gearZeroRpm, keys.drivingWheels, 0.0) < 0.0) {
        throw q3DError("%s: the vehicle model refuses the drivetrain", fileName);
    }
    for (int i = 0; i < kWheels; ++i) {
        model.SetWheelStiffness(i, model.GetWheelStiffness(i) * keys.suspensionStiffness);
        model.SetWheelFriction(i, keys.tireFriction * 1.8);
        wheels[i].width = wheelWidth;
        wheels[i].driven = keys.drivingWheels[i] != 0;
    }
    double damping[kWheels] = {};
    model.GetCriticalDamping(damping);
    for (int i = 0; i < kWheels; ++i) {
        model.SetWheelDamping(i, damping[i]);
    }
    const double t = model.SuggestedTimeStep();
    if (!(t > 0.0) || !std::isfinite(t)) {
        throw q3DError("%s: the vehicle model gives no time step", fileName);
    }
    suggestedTimeStep = static_cast<float>(t);
    // Twice the suggested step, but never so coarse that a car slides through a bend.
    physicsStep = std::min(static_cast<float>(2.0 * t), kMaxPhysicsStep);
    ellipsoidRadii = Vector3(static_cast<float>(length), static_cast<float>(model.GetWheelRadius(1) + height),
                             static_cast<float>(width));
}

void VehicleItem::WheelGroundQuery(VehicleModel& vehicleModel)
{
    VehicleItem& item = static_cast<VehicleItemModel&>(vehicleModel).item;
    float sum = 0.0f;
    for (int i = 0; i < kWheels; ++i) {
        vehicleModel.ClearWheelContacts(i);
        const double r = vehicleModel.GetWheelRadius(i);
        const Vector3d centre = vehicleModel.GetWheelPosition(i);
        const Vector3 probe(static_cast<float>(centre.x), static_cast<float>(centre.y - r + 4.0),
                            static_cast<float>(centre.z));
        float height = probe.y;
        Vector3 normal(0.0f, 1.0f, 0.0f);
        if (!item.services.GroundBelow(probe, height, normal) || !std::isfinite(height)) {
            height = probe.y;
            normal = Vector3(0.0f, 1.0f, 0.0f);
        }
        sum += height;
        if (!(normal.LengthSquared() > 0.0f) || normal.y < 0.0f || !std::isfinite(normal.LengthSquared())) {
            normal = Vector3(0.0f, 1.0f, 0.0f);
        }
        normal.Normalize();
        const Vector3d n{normal.x, normal.y, normal.z};
        const double d = n.x * centre.x + n.y * height + n.z * centre.z;
        Vector3d point;
        double depth = 0.0;
        if (WheelContactFromPlane(point, depth, vehicleModel.GetWheelAxis(i), centre, r, n, d) && depth > 0.0) {
            vehicleModel.AddWheelContact(i, n, point, depth);
        }
    }
    item.meanGroundHeight = sum / 4.0f;
}

int VehicleItem::GetDriveDirection() const
{
    const Vector3d v = model.GetVelocity();
    if (std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z) < 2.5) {
        return 2;
    }
    double best = 0.0;
    double bestSpin = 0.0;
    for (int i = 0; i < kWheels; ++i) {
        if (!wheels[i].driven) {
            continue;
        }
        const double spin = model.GetWheelSpinRate(wheels[i].modelIndex);
        if (std::fabs(spin) > best) {
            best = std::fabs(spin);
            bestSpin = spin;
        }
    }
    if (best <= 0.05) {
        return 2;
    }
    return bestSpin > 0.0 ? 1 : 0;
}

Vector3 VehicleItem::GetForward() const { return body != nullptr ? Row(body->rotation, 2) : Vector3(0, 0, 1); }

Vector3 VehicleItem::GetVelocity() const
{
    const Vector3d v = model.GetVelocity();
    return {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
}

void VehicleItem::GetPhysicsVelocity(Vector3d& out) const { out = model.GetVelocity(); }

float VehicleItem::GetSpeed() { return GetVelocity().Length(); }

float VehicleItem::GetHalfWidth() { return bodyMesh != nullptr ? bodyMesh->GetBoundingBox().max.x : 0.0f; }

bool VehicleItem::HasPassenger(std::uint16_t id) const
{
    return std::find(passengers.begin(), passengers.end(), id) != passengers.end();
}

void VehicleItem::AddArmor(int amount) { armor = std::min(armor + static_cast<float>(amount), maxArmor); }

bool VehicleItem::ApplyDamage(int amount, const Vector3& point, const Vector3& direction)
{
    (void)point, (void)direction;
    if (owner == nullptr) {
        return false;
    }
    lastDamage = amount;
    if (armor <= 0.0f) {
        armor = 0.0f;
        return true;
    }
    armor -= static_cast<float>(amount);
    if (armor <= 0.0f) {
        if (services.IsHost()) {
            StartLooseItemTimer();
            services.SendVehicleDestroyed(static_cast<std::uint16_t>(GetID()));
            armor = 0.0f;
        } else if (services.IsRemoteClient()) {
            // The host decides the destruction.
            armor = 1.0f;
        } else {
            armor = 0.0f;
        }
    }
    return true;
}

bool VehicleItem::OnHit(HitResult& hit, Bullet* bullet, int damage, const Vector3& point, const Vector3& normal)
{
    (void)hit, (void)bullet;
    ApplyDamage(damage, point, normal);
    return true;
}

void VehicleItem::PlaceModelAtBody()
{
    if (body == nullptr) {
        return;
    }
    model.SetPositionXYZ(body->position.x, body->position.y, body->position.z);
    model.Step(0.0);
    model.SetOrientationFrom(ModelRowsFromPart(body->rotation));
    model.Step(0.0);
}

void VehicleItem::PlaceBodyAtModel()
{
    if (body == nullptr) {
        return;
    }
    const Vector3d p = model.GetPosition();
    body->position = Vector3(static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z));
    body->rotation = PartRotationFromModel(model.GetOrientationMatrix());
}

void VehicleItem::Select()
{
    Item::Select();
    if (body != nullptr && body->GetParent() == nullptr && services.SceneRoot() != nullptr) {
        body->SetParent(services.SceneRoot());
    }
    if (linkedObject != nullptr) {
        linkedObject->hidden = true;
    }
    timeSinceDraw = 0.0;
    stopTimer = 0.0f;
    PlaceModelAtBody();
    steerAngle = 0.0;
    steerCommand = 2;
    model.SetSteerAngle(0.0);
    for (VehicleWheel& wheel : wheels) {
        wheel.spinAngle = 0.0;
        wheel.touched = false;
        wheel.locked = false;
        wheel.hasTrackPoint = false;
    }
    brakeSoundLatch = false;
    meanGroundHeight = 0.0f;
    nextTireTrack = 0;
    reversing = false;
    drivingForward = false;
    highRange = true;
    firstPerson = false;
    driveHandle = idleHandle = skidHandle = -1;
    if (announceEntry && enterSound && body != nullptr) {
        enterSound->SetPosition(body->position.x, body->position.y, body->position.z, -1);
        enterSound->Play();
    }
    announceEntry = true;
    smoothedEngineSpeed = 0;
    engineStartCountdown = engineStartTime;
}

void VehicleItem::Deselect()
{
    if (body == nullptr) {
        return;
    }
    body->Detach();
    if (linkedObject != nullptr) {
        const Vector3 from = body->position + Vector3(0.0f, 3.0f, 0.0f);
        float ground = body->position.y;
        Vector3 normal;
        if (!services.GroundBelow(from, ground, normal)) {
            ground = body->position.y;
        }
        linkedObject->SetPosition(body->position.x, ground, body->position.z);
        linkedObject->SetRotation(body->rotation);
        linkedObject->hidden = false;
    }
    for (auto [sound, handle] : {std::pair{engineIdleSound.get(), &idleHandle}, std::pair{engineDriveSound.get(), &driveHandle},
                                 std::pair{skidSound.get(), &skidHandle}}) {
        if (sound != nullptr && *handle != -1) {
            sound->Stop(*handle);
        }
        *handle = -1;
    }
}

void VehicleItem::AttachToMapObject(MapObject* object, bool findLink)
{
    linkedObject = object;
    if (object == nullptr || body == nullptr) {
        return;
    }
    const double wheelRadius = model.HasBodyParameters() ? model.GetWheelRadius(1) : 0.0;
    const Vector3 placed = object->GetPosition();
    body->position = placed + Vector3(0.0f, static_cast<float>(-0.5 + wheelRadius), 0.0f);
    body->rotation = object->GetRotation();
    const float scale = object->GetScale();
    body->scale = Vector3(scale, scale, scale);
    position = body->position;
    rotation = body->rotation;
    this->scale = body->scale;
    if (findLink) {
        linkID = services.VehiclePropID(object);
    }
    const Vector3 keep = body->position;
    body->position = keep + Vector3(0.0f, static_cast<float>(wheelRadius), 0.0f);
    PlaceModelAtBody();
    body->position = keep;
    body->UpdateTransform(0.0f);
}

bool VehicleItem::IntersectRay(HitResult& hit)
{
    if (owner == nullptr || bodyNode == nullptr) {
        return false;
    }
    return bodyNode->IntersectRay(hit, nullptr);
}

void VehicleItem::Draw(Device* device)
{
    if (bodyNode == nullptr) {
        return;
    }
    if (alternateMeshShown && alternateMesh != nullptr) {
        alternateNode->world = bodyNode->world;
        alternateNode->Draw(device);
    } else {
        bodyNode->Draw(device);
    }
    for (auto& wheel : wheelNodes) {
        if (wheel) {
            wheel->Draw(device);
        }
    }
    for (VehicleWheel& wheel : wheels) {
        if (wheel.tireSmoke) {
            wheel.tireSmoke->Draw(device);
        }
    }
    if (exhaust) {
        exhaust->Draw(device);
    }
    if (damageSmoke != nullptr && maxArmor > 0.0f && armor / maxArmor < 0.25f && damageSmoke->emissionPaused) {
        damageSmoke->Reset();
        damageSmoke->emissionPaused = false;
    }
    timeSinceDraw = 0.0;
}

void VehicleItem::DrawHUD(Device* device)
{
    if (armorDisplay) {
        armorDisplay->Draw(device);
    }
}

void VehicleItem::Save(SaveStream* stream)
{
    stream->WriteUInt8(kBlockVersion);
    stream->WriteInt32(linkedObject != nullptr ? linkID : -1);
    stream->WriteVector3(linkedObject != nullptr ? linkedObject->GetPosition() : Vector3());
    stream->WriteMatrix3(linkedObject != nullptr ? linkedObject->GetRotation() : Matrix3());
    stream->WriteFloat(armor);
    stream->WriteUInt16(owner != nullptr ? static_cast<std::uint16_t>(owner->GetID()) : GameObject::NoID);
    // The count travels in a byte; a longer list cannot arise (seats are bounded by it).
    const std::size_t count = std::min<std::size_t>(passengers.size(), 255);
    stream->WriteUInt8(static_cast<std::uint8_t>(count));
    std::size_t written = 0;
    for (std::uint16_t id : passengers) {
        if (written++ == count) {
            break;
        }
        stream->WriteUInt16(id);
    }
    Item::Save(stream);
}

void VehicleItem::Load(SaveStream* stream)
{
    stream->ExpectVersion(kBlockVersion, "Incorrection version number in VehicleItem block");
    const std::int32_t readLink = stream->ReadInt32();
    const Vector3 objectPosition = stream->ReadVector3("vehicle position");
    const Matrix3 objectRotation = stream->ReadMatrix3("vehicle rotation");
    if (readLink != -1) {
        MapObject* object = services.FindVehicleObject(readLink);
        if (object != nullptr) {
            object->SetPosition(objectPosition.x, objectPosition.y, objectPosition.z);
            object->SetRotation(objectRotation);
            AttachToMapObject(object, true);
            linkID = readLink;
        }
    }
    const float readArmor = stream->ReadFloat("vehicle armour");
    if (readArmor > maxArmor) {
        throw q3DError("VehicleItem block: armour %g above the maximum %g", readArmor, maxArmor);
    }
    armor = readArmor;
    if (damageSmoke != nullptr && maxArmor > 0.0f && armor / maxArmor < 0.25f) {
        PlaceDamageSmoke();
        damageSmoke->Reset();
        damageSmoke->emissionPaused = false;
    }
    const std::uint16_t driverID = stream->ReadUInt16();
    const std::uint8_t count = stream->ReadUInt8();
    if (stream->BytesLeft() < 2u * count) {
        throw q3DError("VehicleItem block: %u riders do not fit in the block", static_cast<unsigned>(count));
    }
    std::list<std::uint16_t> riders;
    for (unsigned i = 0; i < count; ++i) {
        riders.push_back(stream->ReadUInt16());
    }
    if (driverID != GameObject::NoID) {
        auto* driver = dynamic_cast<Character*>(ObjectIDTree::Instance().Find(driverID));
        if (driver != nullptr) {
            driver->PickUpItem(this, true);
            announceEntry = false;
            driver->SelectItem(this);
        }
    }
    passengers = std::move(riders);
    Item::Load(stream);
}

void VehicleItem::PlaceDamageSmoke()
{
    if (damageSmoke == nullptr || body == nullptr || bodyMesh == nullptr) {
        return;
    }
    const float top = bodyMesh->GetBoundingBox().max.y;
    damageSmoke->position = body->position + Row(body->rotation, 1) * top + Row(body->rotation, 0) * damageSmokeOffset[0] +
                            Row(body->rotation, 1) * damageSmokeOffset[1] + Row(body->rotation, 2) * damageSmokeOffset[2];
}

void VehicleItem::Update(float elapsed)
{
    if (body == nullptr || !model.HasBodyParameters()) {
        return;
    }
    noiseLevel = 60;
    visibility = 5000;
    if (!(elapsed > 0.0f)) {
        elapsed = 0.0f;
    }
    elapsed = std::min(elapsed, 0.1f);
    timeSinceDraw += elapsed;
    engineStartCountdown -= elapsed;
    if (engineStartCountdown > 0.0f) {
        controls.forward = 0;
        controls.backward = 0;
    }
    if (controls.viewToggle != 0 && !viewToggleLatch) {
        firstPerson = !firstPerson;
    }
    viewToggleLatch = controls.viewToggle != 0;
    if (controls.rangeToggle != 0 && !rangeLatch) {
        highRange = !highRange;
        Sound3D* gear = highRange ? gearSounds[1].get() : gearSounds[0].get();
        if (gear != nullptr) {
            gear->SetPosition(body->position.x, body->position.y, body->position.z, -1);
            gear->Play();
        }
    }
    rangeLatch = controls.rangeToggle != 0;

    // The physics step is positive by construction; the count is capped all the same.
    const float step = physicsStep > 0.0f ? physicsStep : kMaxPhysicsStep;
    int count = 1;
    if (elapsed > step) {
        count = std::min(static_cast<int>(std::floor(elapsed / step)) + 1, kMaxSubSteps);
    }
    const float dt = elapsed / static_cast<float>(count);
    for (int i = 0; i < count && dt > 0.0f; ++i) {
        SubStep(dt);
    }
    UpdateSounds(elapsed);
    PlaceParts();
    for (VehicleWheel& wheel : wheels) {
        if (wheel.tireSmoke) {
            wheel.tireSmoke->UpdateTransform(elapsed);
        }
    }
    if (exhaust) {
        exhaust->emissionPaused = firstPerson;
        const float top = bodyMesh != nullptr ? bodyMesh->GetBoundingBox().max.y : 0.0f;
        exhaust->position = body->position + Row(body->rotation, 1) * (top + exhaustOffset[1]) +
                            Row(body->rotation, 0) * exhaustOffset[0] + Row(body->rotation, 2) * exhaustOffset[2];
        exhaust->UpdateTransform(elapsed);
    }
    if (damageSmoke != nullptr && maxArmor > 0.0f && armor / maxArmor < 0.25f) {
        PlaceDamageSmoke();
    }
    UpdateDrowning();
    if (linkedObject != nullptr) {
        linkedObject->SetPosition(body->position.x, body->position.y, body->position.z);
        linkedObject->SetRotation(body->rotation);
    }
    position = body->position;
    rotation = body->rotation;
    body->UpdateTransform(elapsed);
    for (auto& wheel : wheelNodes) {
        if (wheel) {
            wheel->UpdateTransform(elapsed);
        }
    }
}

void VehicleItem::SubStep(float dt)
{
    ApplyDriveLogic(dt);
    ApplySteering(dt);
    const Vector3d before = model.GetPosition();
    model.Step(dt);
    PlaceBodyAtModel();
    if (collideWithWorld) {
        CollideWithWorld(dt);
    }
    (void)before;
    for (VehicleWheel& wheel : wheels) {
        wheel.spinAngle -= model.GetWheelSpinRate(wheel.modelIndex) * dt;
        wheel.spinAngle = std::remainder(wheel.spinAngle, 2.0 * kPiD);
        wheel.touched = model.GetWheelGroundContact(wheel.modelIndex) == 1;
    }
}

void VehicleItem::ApplyDriveLogic(float dt)
{
    for (int i = 0; i < kWheels; ++i) {
        model.SetWheelBrakeTorque(i, 0.0);
    }
    const Vector3d v = model.GetVelocity();
    const double speed = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    const int direction = GetDriveDirection();
    const bool destroyed = armor <= 0.0f;
    auto holdAll = [this](int hold) {
        for (int i = 0; i < kWheels; ++i) {
            model.SetWheelHold(i, hold);
        }
    };
    auto brake = [&](float settle) {
        for (int i = 0; i < kWheels; ++i) {
            model.SetWheelDriveTorque(i, 0.0);
            model.SetWheelBrakeTorque(i, brakingTorque);
        }
        model.SetThrottle(0.0);
        model.SetReverse(0.0);
        if (direction == 2) {
            stopTimer += dt;
            holdAll(1);
        }
        brakingToStop = !(stopTimer > settle);
    };
    if (controls.backward != 0) {
        noiseLevel = 250;
        if (reversing || ((direction == 1 || direction == 2) && !brakingToStop)) {
            holdAll(0);
            model.SetReverse(destroyed ? 0.0 : 1.0);
            stopTimer = 0.0f;
            reversing = true;
            brakingToStop = false;
        } else {
            brake(0.2f);
        }
    }
    if (controls.forward != 0) {
        reversing = false;
        noiseLevel = 250;
        if (!drivingForward && (direction == 1 || brakingToStop)) {
            brake(0.1f);
        } else {
            drivingForward = true;
            holdAll(0);
            model.SetGear(highRange ? 2 : 1);
            if (!destroyed) {
                model.SetThrottle(highRange ? gearSpeedHigh : gearSpeedLow);
            } else {
                model.SetThrottle(0.0);
                for (int i = 0; i < kWheels; ++i) {
                    model.SetWheelBrakeTorque(i, 25000.0);
                }
            }
            stopTimer = 0.0f;
            brakingToStop = false;
        }
    }
    if (controls.forward == 0 && controls.backward == 0) {
        reversing = false;
        drivingForward = false;
        model.SetThrottle(0.0);
        model.SetReverse(0.0);
        for (int i = 0; i < kWheels; ++i) {
            model.SetWheelDriveTorque(i, 0.0);
            model.SetWheelBrakeTorque(i, 15000.0);
        }
        brakingToStop = false;
        stopTimer = 0.0f;
    }
    if (destroyed) {
        controls.handbrake = 1;
    }
    if (controls.handbrake != 0) {
        holdAll(1);
    }
    if ((brakingToStop || controls.handbrake != 0) && !brakeSoundLatch) {
        if (brakeSound && speed > 1.0) {
            brakeSound->SetPosition(body->position.x, body->position.y, body->position.z, -1);
            brakeSound->Play();
        }
        brakeSoundLatch = true;
    } else if (!brakingToStop && controls.handbrake == 0) {
        brakeSoundLatch = false;
    }
    const double engine = model.GetEngineSpeed();
    smoothedEngineSpeed = static_cast<int>(smoothedEngineSpeed + (engine - smoothedEngineSpeed) * 4.0 * dt);
}

void VehicleItem::ApplySteering(float dt)
{
    const double left = kPiD / 2.0 * dt;
    steerCommand = controls.left != 0 ? 0 : controls.right != 0 ? 1 : 2;
    if (steerCommand == 0) {
        steerAngle = std::min(steerAngle + left, static_cast<double>(maxSteerAngle));
    } else if (steerCommand == 1) {
        steerAngle = std::max(steerAngle - left, -static_cast<double>(maxSteerAngle));
    } else if (steerAngle > 0.0) {
        steerAngle = std::max(steerAngle - kPiD * dt, 0.0);
    } else if (steerAngle < 0.0) {
        steerAngle = std::min(steerAngle + left, 0.0);
    }
    model.SetSteerAngle(steerAngle);
}

void VehicleItem::CollideWithWorld(float dt)
{
    (void)dt;
    Vector3 push;
    Vector3 normal;
    const Vector3 centre = body->position;
    const Vector3 radii(ellipsoidRadii.z * 0.5f, ellipsoidRadii.y * 0.5f, ellipsoidRadii.x * 0.5f);
    if (!services.CollideEllipsoid(centre, radii, push, normal)) {
        return;
    }
    const Vector3 up = Row(body->rotation, 1);
    noBounce = up.y < 0.5f;
    // Out of the wall, and the velocity into it reflected by the bounce.
    const Vector3d p = model.GetPosition();
    model.SetPositionXYZ(p.x + push.x, p.y + push.y, p.z + push.z);
    const Vector3d v = model.GetVelocity();
    const Vector3d n{normal.x, normal.y, normal.z};
    const double into = v.x * n.x + v.y * n.y + v.z * n.z;
    double impact = 0.0;
    if (into < 0.0) {
        const double bounce = noBounce ? 0.0 : collisionBounce;
        const double change = -(1.0 + bounce) * into;
        model.SetVelocity({v.x + n.x * change, v.y + n.y * change, v.z + n.z * change});
        impact = -into;
    }
    model.Step(0.0);
    PlaceBodyAtModel();
    if (impact > 1.0) {
        Sound3D* sound = collisionSounds[std::rand() & 3].get();
        if (sound != nullptr) {
            sound->SetPosition(body->position.x, body->position.y, body->position.z, -1);
            sound->Play(impact < 50.0 ? static_cast<float>(impact * 0.02) : 1.0f);
        }
    }
}

void VehicleItem::PlaceParts()
{
    for (VehicleWheel& wheel : wheels) {
        if (wheel.part == nullptr) {
            continue;
        }
        Matrix3 turn;
        if (wheel.steered) {
            turn.FromAxisAngle(static_cast<float>(-steerAngle), Vector3(0.0f, 1.0f, 0.0f));
        }
        Matrix3 spin;
        spin.FromAxisAngle(static_cast<float>(wheel.spinAngle), Vector3(1.0f, 0.0f, 0.0f));
        wheel.part->rotation = spin * turn;
    }
}

float VehicleItem::EngineVolume(float k) const
{
    // A range whose top is 0 would divide by 0: such an engine is silent.
    const float low = engineVolumeRange[0];
    const float high = engineVolumeRange[1];
    if (!(std::fabs(high) > 0.0f)) {
        return 0.0f;
    }
    return std::clamp((low + (high - low) * k) / high, 0.0f, 1.0f);
}

void VehicleItem::UpdateSounds(float elapsed)
{
    (void)elapsed;
    const Vector3& at = body->position;
    for (auto [sound, handle] : {std::pair{engineIdleSound.get(), idleHandle}, std::pair{engineDriveSound.get(), driveHandle}}) {
        if (sound != nullptr && handle != -1) {
            sound->SetPosition(at.x, at.y, at.z, handle);
        }
    }
    const double engine = model.GetEngineSpeed();
    if (engine > 50.0) {
        if (engineDriveSound && (driveHandle == -1 || !engineDriveSound->IsPlaying(driveHandle))) {
            driveHandle = engineDriveSound->Play();
        }
        if (engineDriveSound && driveHandle != -1) {
            const float k = (std::clamp(static_cast<float>(smoothedEngineSpeed), 50.0f, 1300.0f) - 50.0f) * (1.0f / 1300.0f);
            engineDriveSound->SetVolume(EngineVolume(k), driveHandle);
            engineDriveSound->SetPlaybackRate(
                static_cast<int>((enginePitchRange[1] - enginePitchRange[0]) * k + enginePitchRange[0]), driveHandle);
        }
    } else {
        if (engineDriveSound && driveHandle != -1) {
            engineDriveSound->Stop(driveHandle);
            driveHandle = -1;
        }
        engineStartCountdown = engineStartTime;
        if (engineIdleSound && (idleHandle == -1 || !engineIdleSound->IsPlaying(idleHandle)) && engineStartCountdown <= 0.0f) {
            idleHandle = engineIdleSound->Play(engineIdleVolume);
            if (idleHandle != -1) {
                engineIdleSound->SetPlaybackRate(static_cast<int>(engineIdlePitch), idleHandle);
            }
        }
    }
}

void VehicleItem::UpdateDrowning()
{
    float water = 0.0f;
    if (services.WaterHeight(body->position, water) && body->position.y < water - 4.0f) {
        armor = 0.0f;
        drowned = true;
    }
}
