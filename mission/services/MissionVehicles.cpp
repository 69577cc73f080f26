#include "mission/services/MissionVehicles.h"

#include <cmath>
#include <cstring>

#include "app/framework/Application.h"
#include "app/framework/Options.h"
#include "app/framework/OptionsTables.h"
#include "characters/body/Character.h"
#include "characters/player/Player.h"
#include "characters/level/NetworkSession.h"
#include "engine/camera/Camera.h"
#include "engine/core/EngineLog.h"
#include "engine/core/HitResult.h"
#include "engine/core/q3DError.h"
#include "items/vehicles/PassengerVehicleItem.h"
#include "items/vehicles/TankVehicleItem.h"
#include "mission/MissionState.h"
#include "world/PickResult.h"
#include "world/World.h"
#include "world/map/MapObject.h"

namespace {

// The vehicle file named by the object's vehicle prop ("vehicle <file>", "tank <file>"), empty when
// none; tank tells which of the two it is.
std::string VehicleFileOf(const MapObject* object, bool* tank = nullptr)
{
    if (object == nullptr) {
        return {};
    }
    for (const char* keyword : {"vehicle", "enemyvehicle", "tank", "enemytank"}) {
        if (const char* line = object->HasPropText(keyword)) {
            if (tank != nullptr) {
                *tank = std::strstr(keyword, "tank") != nullptr;
            }
            std::string rest(line + std::strlen(keyword));
            const std::size_t start = rest.find_first_not_of(" \t");
            if (start == std::string::npos) {
                return {};
            }
            rest = rest.substr(start);
            return rest.substr(0, rest.find_first_of(" \t\r\n"));
        }
    }
    return {};
}

} // namespace

MissionVehicles::MissionVehicles(MissionState& mission) : mission(mission) {}

MissionVehicles::~MissionVehicles() = default;

int MissionVehicles::CreateFromMap()
{
    int made = 0;
    for (MapObject* object : mission.level.vehicleObjects) {
        bool tank = false;
        const std::string file = VehicleFileOf(object, &tank);
        if (file.empty()) {
            LogToEngine("A vehicle object names no vehicle file; it stays a plain object");
            continue;
        }
        try {
            std::unique_ptr<PassengerVehicleItem> vehicle =
                tank ? std::make_unique<TankVehicleItem>(*this, file.c_str())
                     : std::make_unique<PassengerVehicleItem>(*this, file.c_str());
            vehicle->AttachToMapObject(object, true);
            const Vector3 at = object->GetPosition();
            LogToEngine("Vehicle %s (%s) stands at %.1f %.1f %.1f", file.c_str(), vehicle->name, at.x, at.y, at.z);
            mission.level.looseItems.push_back(vehicle.release());
            ++made;
        } catch (const q3DError& error) {
            LogToEngine("Vehicle %s not created: %s", file.c_str(), error.GetText());
        }
    }
    return made;
}

std::vector<PassengerVehicleItem*> MissionVehicles::All() const
{
    std::vector<PassengerVehicleItem*> out;
    for (VehicleItem* vehicle : VehicleItem::AllVehicles()) {
        if (auto* passenger = dynamic_cast<PassengerVehicleItem*>(vehicle)) {
            out.push_back(passenger);
        }
    }
    return out;
}

PassengerVehicleItem* MissionVehicles::ForObject(const MapObject* object) const
{
    for (PassengerVehicleItem* vehicle : All()) {
        if (vehicle->GetLinkedObject() == object) {
            return vehicle;
        }
    }
    return nullptr;
}

PassengerVehicleItem* MissionVehicles::RidingVehicle(const Character* character) const
{
    if (character == nullptr) {
        return nullptr;
    }
    for (PassengerVehicleItem* vehicle : All()) {
        if (vehicle->IsAboard(const_cast<Character*>(character))) {
            return vehicle;
        }
    }
    return nullptr;
}

bool MissionVehicles::Enter(PassengerVehicleItem& vehicle, Character& character)
{
    if (vehicle.IsDestroyed() || vehicle.IsAboard(&character)) {
        return false;
    }
    if (vehicle.owner == nullptr) {
        if (!character.PickUpItem(&vehicle, true)) {
            return false;
        }
        character.SelectItem(&vehicle);
        return vehicle.owner == &character;
    }
    return vehicle.AddPassenger(&character);
}

bool MissionVehicles::GroundBelow(const Vector3& point, float& height, Vector3& normal)
{
    World* world = mission.level.world;
    if (world == nullptr) {
        return false;
    }
    PickResult hit;
    const float ground = world->GetGroundBelow(point, &hit, nullptr);
    if (!std::isfinite(ground) || std::fabs(ground) >= 1e30f) {
        return false;
    }
    height = ground;
    normal = hit.normal.LengthSquared() > 0.0f ? hit.normal : Vector3(0.0f, 1.0f, 0.0f);
    return true;
}

bool MissionVehicles::GroundIsStructure(const Vector3& point)
{
    World* world = mission.level.world;
    if (world == nullptr) {
        return false;
    }
    PickResult hit;
    world->GetFloorHeightEx(point, &hit, nullptr);
    return hit.object != nullptr && ForObject(hit.object) == nullptr;
}

bool MissionVehicles::WaterHeight(const Vector3& point, float& height)
{
    World* world = mission.level.world;
    if (world == nullptr) {
        return false;
    }
    // Water counts where its surface stands above the ground.
    height = world->GetWaterHeight(point);
    float ground = 0.0f;
    Vector3 normal;
    return GroundBelow(Vector3(point.x, height + 1000.0f, point.z), ground, normal) && height > ground;
}

bool MissionVehicles::CollideEllipsoid(const Vector3& centre, const Vector3& radii, Vector3& push, Vector3& normal)
{
    // Walls: a level ray from the centre along each horizontal axis of the ellipsoid.
    World* world = mission.level.world;
    if (world == nullptr) {
        return false;
    }
    const Vector3 axes[4] = {{1, 0, 0}, {-1, 0, 0}, {0, 0, 1}, {0, 0, -1}};
    const float reach[4] = {radii.x, radii.x, radii.z, radii.z};
    float deepest = 0.0f;
    for (int i = 0; i < 4; ++i) {
        HitResult ray;
        ray.origin = centre;
        ray.direction = axes[i];
        PickResult hit;
        if (world->PickObjects(ray, &hit, reach[i], nullptr) && hit.distance < reach[i] && ForObject(hit.object) == nullptr) {
            const float depth = reach[i] - hit.distance;
            if (depth > deepest) {
                deepest = depth;
                normal = -axes[i];
                push = normal * depth;
            }
        }
    }
    return deepest > 0.0f;
}

bool MissionVehicles::Pick(const Vector3& origin, const Vector3& direction, float reach, float& distance)
{
    World* world = mission.level.world;
    if (world == nullptr) {
        return false;
    }
    HitResult ray;
    ray.origin = origin;
    ray.direction = direction;
    PickResult hit;
    if (!world->Pick(ray, &hit, reach, nullptr) || !(hit.distance < reach)) {
        return false;
    }
    distance = hit.distance;
    return true;
}

SceneNode* MissionVehicles::SceneRoot() { return mission.level.root.get(); }

void MissionVehicles::AddParticleEffect(qParticle* effect)
{
    mission.level.particleEffects.Add(effect, mission.level.root.get(), true);
}

void MissionVehicles::RemoveParticleEffect(qParticle* effect) { mission.level.particleEffects.Remove(effect); }

bool MissionVehicles::IsHost() { return IsNetworkServerActive(); }

bool MissionVehicles::IsRemoteClient() { return IsNetworkClientConnected() && !IsNetworkServerActive(); }

void MissionVehicles::SendVehicleDestroyed(std::uint16_t vehicleID)
{
    LogToEngine("Vehicle %u destroyed (the clients are not told yet)", unsigned(vehicleID));
}

Character* MissionVehicles::LocalPlayer() { return mission.roster.controlledCharacter; }

void MissionVehicles::ShowMessage(const char* text, int milliseconds)
{
    if (Application* application = Application::Instance()) {
        application->ShowMessageText(milliseconds, text);
    }
}

MapObject* MissionVehicles::FindVehicleObject(int linkID)
{
    const auto& objects = mission.level.vehicleObjects;
    return linkID >= 0 && linkID < int(objects.size()) ? objects[std::size_t(linkID)] : nullptr;
}

int MissionVehicles::VehiclePropID(MapObject* object)
{
    const auto& objects = mission.level.vehicleObjects;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        if (objects[i] == object) {
            return int(i);
        }
    }
    return -1;
}

Character* MissionVehicles::SquadMember(Character* leader, int index)
{
    if (leader == nullptr || leader != mission.roster.controlledCharacter || index < 0 || index >= mission.GetSquadSize()) {
        return nullptr;
    }
    return mission.GetSquadMember(index);
}

const char* MissionVehicles::KeyAction(int key)
{
    const Options* options = Options::Instance();
    const int action = options != nullptr ? options->GetActionForKey(key) : -1;
    return action >= 0 && action < ActionCount ? GetActionName(action) : nullptr;
}

bool MissionVehicles::IsActionDown(const char* action)
{
    const Options* options = Options::Instance();
    Application* application = Application::Instance();
    if (options == nullptr || application == nullptr || action == nullptr) {
        return false;
    }
    for (int i = 0; i < ActionCount; ++i) {
        const char* name = GetActionName(i);
        if (name != nullptr && std::strcmp(name, action) == 0) {
            const int key = options->GetKeyForAction(i);
            return key > 0 && application->GetKeyState(key) != 0;
        }
    }
    return false;
}

void MissionVehicles::PlaceCamera(const Vector3& position, const Vector3& forward)
{
    Camera* camera = mission.level.camera;
    if (camera == nullptr) {
        return;
    }
    Vector3 look(forward.x, 0.0f, forward.z);
    if (look.LengthSquared() <= 0.0f) {
        look = Vector3(0.0f, 0.0f, 1.0f);
    }
    look.Normalize();
    const Vector3 right(look.z, 0.0f, -look.x);
    const Vector3 rows[3] = {right, Vector3(0.0f, 1.0f, 0.0f), look};
    for (int r = 0; r < 3; ++r) {
        camera->rotation(r, 0) = rows[r].x;
        camera->rotation(r, 1) = rows[r].y;
        camera->rotation(r, 2) = rows[r].z;
    }
    camera->position = position;
}

Vector3 MissionVehicles::CameraPosition()
{
    Camera* camera = mission.level.camera;
    return camera != nullptr ? camera->position : Vector3();
}

float MissionVehicles::WorldHalfExtent()
{
    const float* r = mission.level.playRectangle;
    return std::max(std::max(std::fabs(r[0]), std::fabs(r[2])), std::max(std::fabs(r[1]), std::fabs(r[3])));
}

void CreateMapVehicles(MissionState& mission)
{
    if (!mission.level.vehicles) {
        mission.level.vehicles = std::make_unique<MissionVehicles>(mission);
    }
    const int made = mission.level.vehicles->CreateFromMap();
    LogToEngine("%d of the map's %d vehicles created", made, int(mission.level.vehicleObjects.size()));
}
