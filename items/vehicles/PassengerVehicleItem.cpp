#include "items/vehicles/PassengerVehicleItem.h"

#include <algorithm>
#include <cmath>

#include "characters/body/Character.h"
#include "engine/core/ObjectIDTree.h"
#include "items/vehicles/VehicleServices.h"

PassengerVehicleItem::PassengerVehicleItem(VehicleServices& services, const char* path) : VehicleItem(services, path) {}

PassengerVehicleItem::PassengerVehicleItem(VehicleServices& services) : VehicleItem(services) {}

bool PassengerVehicleItem::HasFreeSeat(Character* character)
{
    (void)character;
    return seatedCount < maxPassengers;
}

bool PassengerVehicleItem::AddPassenger(Character* character)
{
    if (character == nullptr || !HasFreeSeat(character)) {
        return false;
    }
    passengers.push_back(static_cast<std::uint16_t>(character->GetID()));
    SeatCharacter(character);
    return true;
}

bool PassengerVehicleItem::IsAboard(Character* character)
{
    return character != nullptr && (character == owner || HasPassenger(static_cast<std::uint16_t>(character->GetID())));
}

bool PassengerVehicleItem::IsPassenger(GameObject* object)
{
    return object != nullptr && HasPassenger(static_cast<std::uint16_t>(object->GetID()));
}

double PassengerVehicleItem::ChaseBlend(double sinceDraw, double followRate, double speed)
{
    const double blend = sinceDraw * followRate * 2.142857142857143 / (speed * speed * 0.025 + 1.0);
    if (!(blend > 0.0)) {
        return 0.0;
    }
    return std::min(blend, 1.0);
}

void PassengerVehicleItem::SteerTowards(float x, float y, float z)
{
    (void)y;
    controls.forward = 1;
    if (body == nullptr) {
        return;
    }
    Vector3 forward = GetForward();
    forward.y = 0.0f;
    Vector3 toTarget(x - body->position.x, 0.0f, z - body->position.z);
    if (forward.LengthSquared() <= 0.0f || toTarget.LengthSquared() <= 0.0f) {
        return;
    }
    forward.Normalize();
    toTarget.Normalize();
    const float angle = std::acos(std::clamp(forward.Dot(toTarget), -1.0f, 1.0f)) * 57.295647f;
    if (std::fabs(angle) < 1.5f) {
        return;
    }
    Vector3 right(body->rotation(0, 0), 0.0f, body->rotation(0, 2));
    right.Normalize();
    if (toTarget.Dot(right) > 0.0f) {
        controls.right = 1;
    } else {
        controls.left = 1;
    }
}

void PassengerVehicleItem::SeatCharacter(Character* character) { (void)character; ++seatedCount; }
void PassengerVehicleItem::Select() { VehicleItem::Select(); }
void PassengerVehicleItem::Deselect() { VehicleItem::Deselect(); }
void PassengerVehicleItem::Update(float elapsed) { VehicleItem::Update(elapsed); }
void PassengerVehicleItem::Draw(Device* device)
{
    if (owner != nullptr) {
        VehicleItem::Draw(device);
    }
}
bool PassengerVehicleItem::OnKeyDown(int key) { (void)key; return true; }
bool PassengerVehicleItem::OnMouseDown(int button, int x, int y, int flags) { (void)button, (void)x, (void)y, (void)flags; return true; }
void PassengerVehicleItem::UpdateRider(Character* character) { (void)character; }
void PassengerVehicleItem::EjectAll() {}
const char* PassengerVehicleItem::ExitRefusal() { return nullptr; }
int PassengerVehicleItem::FindExitSide() { return 0; }
Vector3 PassengerVehicleItem::ExitPoint(int side, float extraGap) const { (void)side, (void)extraGap; return position; }
void PassengerVehicleItem::PutOut(Character* character) { (void)character; }
void PassengerVehicleItem::ReadControls(Character* driver) { (void)driver; }
