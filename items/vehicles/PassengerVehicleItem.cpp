#include "items/vehicles/PassengerVehicleItem.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "characters/body/Character.h"
#include "engine/core/ObjectIDTree.h"
#include "engine/mesh/qMesh.h"
#include "items/vehicles/VehicleServices.h"
#include "media/Sound3D.h"

namespace {

Vector3 Row(const Matrix3& m, int row) { return {m(row, 0), m(row, 1), m(row, 2)}; }

std::uint16_t IdOf(GameObject* object) { return static_cast<std::uint16_t>(object->GetID()); }

Character* CharacterByID(std::uint16_t id) { return dynamic_cast<Character*>(ObjectIDTree::Instance().Find(id)); }

// Actions a driver may use without leaving the vehicle.
constexpr const char* kPassedActions[] = {"Show Map", "Quick Save", "Quick Load", "Send Global Message",
                                          "Send Team Message", "Send Personal Message"};

// How many 4-unit steps a character put out may take looking for ground.
constexpr int kGroundSearchSteps = 64;

} // namespace

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
    passengers.push_back(IdOf(character));
    SeatCharacter(character);
    return true;
}

bool PassengerVehicleItem::IsAboard(Character* character)
{
    return character != nullptr && (character == owner || HasPassenger(IdOf(character)));
}

bool PassengerVehicleItem::IsPassenger(GameObject* object) { return object != nullptr && HasPassenger(IdOf(object)); }

bool PassengerVehicleItem::IsStayingOut(Character* character) const
{
    return std::find(stayingOut.begin(), stayingOut.end(), IdOf(character)) != stayingOut.end();
}

double PassengerVehicleItem::ChaseBlend(double sinceDraw, double followRate, double speed)
{
    const double blend = sinceDraw * followRate * 2.142857142857143 / (speed * speed * 0.025 + 1.0);
    if (!(blend > 0.0)) {
        return 0.0; // also for a blend that is not a number
    }
    return std::min(blend, 1.0);
}

Matrix3 PassengerVehicleItem::UprightRotation() const
{
    Matrix3 out;
    if (body == nullptr) {
        return out;
    }
    Vector3 forward = Row(body->rotation, 2);
    forward.y = 0.0f;
    if (forward.LengthSquared() <= 0.0f) {
        forward = Vector3(0.0f, 0.0f, 1.0f);
    }
    forward.Normalize();
    // right = up x forward, for the rows (right, up, forward) of a body part.
    const Vector3 right(forward.z, 0.0f, -forward.x);
    const Vector3 rows[3] = {right, Vector3(0.0f, 1.0f, 0.0f), forward};
    for (int r = 0; r < 3; ++r) {
        out(r, 0) = rows[r].x;
        out(r, 1) = rows[r].y;
        out(r, 2) = rows[r].z;
    }
    return out;
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

void PassengerVehicleItem::SeatCharacter(Character* character)
{
    if (character == nullptr) {
        return;
    }
    character->moveMode = 2;
    character->seatRaise = 5.0f;
    stayingOut.erase(std::remove(stayingOut.begin(), stayingOut.end(), IdOf(character)), stayingOut.end());
    const bool leadsSquad = character->kind == Character::SquadKind && services.SquadMember(character, 0) != nullptr;
    if (!leadsSquad) {
        // An AI driver steers by its own controls and drives through the world's clutter.
        collideWithWorld = false;
        controls.Clear();
        ++seatedCount;
        return;
    }
    const bool local = character == services.LocalPlayer();
    if (local) {
        savedCameraPosition = services.CameraPosition();
        savedViewMode = character->viewMode;
    }
    if (body != nullptr) {
        character->position = body->position;
        character->rotation = UprightRotation();
    }
    ++seatedCount;
    for (int i = 0;; ++i) {
        Character* member = services.SquadMember(character, i);
        if (member == nullptr) {
            break;
        }
        if (seatedCount >= maxPassengers) {
            if (!member->IsRiding() && !IsStayingOut(member)) {
                stayingOut.push_back(IdOf(member));
            }
            continue;
        }
        if (member == character || IsStayingOut(member) || member->health <= 0 || member->IsRiding()) {
            continue;
        }
        member->moveMode = 2;
        member->seatRaise = 5.0f;
        ++seatedCount;
    }
    if (local && announceEntry) {
        services.ShowMessage(kExitHint, 2000);
    }
}

void PassengerVehicleItem::Select()
{
    SeatCharacter(owner);
    VehicleItem::Select();
    if (owner != nullptr && owner == services.LocalPlayer() && body != nullptr) {
        services.PlaceCamera(body->position, GetForward());
    }
    alternateMeshShown = maxPassengers != seatedCount;
}

void PassengerVehicleItem::ReadControls(Character* driver)
{
    controls.forward = controls.backward = controls.left = controls.right = controls.handbrake = 0;
    if (driver == services.LocalPlayer()) {
        controls.forward = services.IsActionDown("Move Forward");
        controls.backward = services.IsActionDown("Move Backward");
        controls.left = services.IsActionDown("Move Left") || services.IsActionDown("Turn Left");
        controls.right = services.IsActionDown("Move Right") || services.IsActionDown("Turn Right");
        controls.handbrake = services.IsActionDown("Reload Weapon");
        return;
    }
    controls.forward = (controlBits & kControlForward) != 0;
    controls.backward = (controlBits & kControlBackward) != 0;
    controls.left = (controlBits & kControlLeft) != 0;
    controls.right = (controlBits & kControlRight) != 0;
    controls.handbrake = (controlBits & kControlHandbrake) != 0;
}

void PassengerVehicleItem::Update(float elapsed)
{
    if (armor <= 0.0f) {
        // The driver's steps need a driver; the riders are put out either way.
        if (Character* driver = owner) {
            const Vector3 at = body != nullptr ? body->position : position;
            const std::int16_t previous = previousItemID;
            if (driver->health > 0) {
                auto* before = dynamic_cast<CarriedItem*>(ObjectIDTree::Instance().Find(static_cast<std::uint16_t>(previous)));
                if (before != nullptr && before->owner == driver) {
                    driver->SelectItem(before);
                } else {
                    driver->SelectDefaultItem();
                }
            }
            driver->DropItem(this, at);
        }
        EjectAll();
        return;
    }
    if (owner != nullptr && owner->health < 1) {
        owner->DropItem(this, body != nullptr ? body->position : position);
        return;
    }
    if (owner == nullptr && passengers.empty()) {
        return;
    }
    previousControls = controls;
    if (owner != nullptr && owner->kind == Character::SquadKind) {
        ReadControls(owner);
    }
    VehicleItem::Update(elapsed);
    if (owner != nullptr) {
        UpdateRider(owner);
    }
    for (auto it = passengers.begin(); it != passengers.end();) {
        Character* rider = CharacterByID(*it);
        if (rider == nullptr) {
            it = passengers.erase(it);
            continue;
        }
        ++it;
        if (rider->health < 1) {
            exiting = rider;
            Deselect();
        } else {
            UpdateRider(rider);
        }
    }
}

void PassengerVehicleItem::UpdateRider(Character* character)
{
    if (character == nullptr || body == nullptr) {
        return;
    }
    character->position = body->position;
    if (character == owner && character == services.LocalPlayer()) {
        const Matrix3& r = body->rotation;
        Vector3 forward = Row(r, 2);
        if (firstPerson) {
            services.PlaceCamera(body->position + Row(r, 0) * firstPersonCamOffset[0] + Row(r, 1) * firstPersonCamOffset[1] +
                                     Row(r, 2) * firstPersonCamOffset[2],
                                 forward);
        } else {
            const double blend = ChaseBlend(timeSinceDraw, thirdPersonCamSpeed, GetSpeed());
            const double yaw = std::atan2(forward.x, -forward.z);
            const double pitch = thirdPersonCamHeight;
            const double distance = thirdPersonCamDist;
            const Vector3 target = body->position + Vector3(static_cast<float>(std::cos(pitch) * std::sin(-yaw) * distance),
                                                            static_cast<float>(std::sin(pitch) * distance + 4.0),
                                                            static_cast<float>(std::cos(pitch) * std::cos(-yaw) * distance));
            const Vector3 previous = services.CameraPosition();
            services.PlaceCamera(target * static_cast<float>(blend) + previous * static_cast<float>(1.0 - blend), forward);
        }
    }
    character->rotation = UprightRotation();
    if (character->kind == Character::SquadKind) {
        for (int i = 0;; ++i) {
            Character* member = services.SquadMember(character, i);
            if (member == nullptr) {
                break;
            }
            if (member != character && member->IsRiding() && !IsStayingOut(member)) {
                member->position = body->position;
            }
        }
    } else {
        controls.viewToggle = 0;
        controls.left = 0;
    }
}

const char* PassengerVehicleItem::ExitRefusal()
{
    if (body == nullptr) {
        return nullptr;
    }
    if (owner != nullptr && services.GroundIsStructure(body->position + Vector3(0.0f, 1.0f, 0.0f))) {
        return kInsideStructures;
    }
    const float speed = owner != nullptr ? GetSpeed() : 0.0f;
    if (!(speed < kExitSpeed)) {
        return kNotStopped;
    }
    const int side = FindExitSide();
    if (side == -1) {
        return kNoRoom;
    }
    exitSide = side;
    return nullptr;
}

int PassengerVehicleItem::FindExitSide()
{
    if (body == nullptr) {
        return -1;
    }
    const Vector3 from = body->position + Vector3(0.0f, 2.0f, 0.0f);
    const Vector3 right = Row(body->rotation, 0);
    for (int side = 0; side < 2; ++side) {
        float distance = 0.0f;
        if (!services.Pick(from, side == 0 ? -right : right, kExitReach, distance) || !(distance < kExitReach)) {
            return side;
        }
    }
    return -1;
}

Vector3 PassengerVehicleItem::ExitPoint(int side, float extraGap) const
{
    if (body == nullptr) {
        return position;
    }
    const float half = bodyMesh != nullptr ? bodyMesh->GetBoundingBox().max.x : 0.0f;
    const Vector3 right = Row(body->rotation, 0);
    return body->position + (side == 0 ? -right : right) * (half + extraGap);
}

void PassengerVehicleItem::StandOnGround(Character* character, Vector3 at, const Vector3& step)
{
    const float bodyHeight = body != nullptr ? body->position.y : at.y;
    const float limit = services.WorldHalfExtent();
    for (int i = 0; i < kGroundSearchSteps; ++i) {
        float ground = 0.0f;
        Vector3 normal;
        if (std::fabs(at.x) > limit || std::fabs(at.z) > limit) {
            break;
        }
        if (services.GroundBelow(Vector3(at.x, bodyHeight + 20.0f, at.z), ground, normal)) {
            character->position = Vector3(at.x, ground + 4.0f, at.z);
            return;
        }
        at = at + step * 4.0f;
    }
    // No ground anywhere along the way: the character keeps the body's height beside it.
    character->position = Vector3(at.x, bodyHeight, at.z);
    if (std::fabs(at.x) > limit || std::fabs(at.z) > limit) {
        character->position = body != nullptr ? body->position : position;
    }
}

void PassengerVehicleItem::PutOut(Character* character)
{
    if (character == nullptr) {
        return;
    }
    const bool driver = character == owner;
    if (character->health > 0) {
        character->SetPostureImmediate(0);
    }
    if (body != nullptr) {
        Vector3 forward = Row(body->rotation, 2);
        forward.y = 0.0f;
        if (forward.LengthSquared() > 0.0f) {
            forward.Normalize();
            float yaw = std::acos(std::clamp(forward.z, -1.0f, 1.0f));
            if (forward.x > 0.0f) {
                yaw = -yaw;
            }
            character->SetYaw(yaw);
        }
        character->SetPitch(0.0f);
    }
    if (character == services.LocalPlayer() && !driver && character->viewMode != savedViewMode) {
        character->CycleViewMode();
    }
    character->moveMode = 0;
    character->seatRaise = 0.0f;
    if (exitSide == -1) {
        exitSide = FindExitSide();
        if (exitSide == -1) {
            exitSide = 0;
        }
    }
    if (body != nullptr) {
        StandOnGround(character, ExitPoint(exitSide, 4.0f), Row(character->rotation, 2));
    }
    exitSide = -1;
    seatedCount = std::max(seatedCount - 1, 0);
    if (character->kind == Character::SquadKind) {
        int k = 0;
        const Vector3 forward = Row(character->rotation, 2);
        for (int i = 0;; ++i) {
            Character* member = services.SquadMember(character, i);
            if (member == nullptr) {
                break;
            }
            if (member == character || !member->IsRiding() || IsStayingOut(member) || HasPassenger(IdOf(member))) {
                continue;
            }
            seatedCount = std::max(seatedCount - 1, 0);
            member->moveMode = 0;
            member->seatRaise = 0.0f;
            member->rotation = character->rotation;
            if (member->health <= 0) {
                member->position = character->position - Vector3(0.0f, 4.0f, 0.0f);
            } else {
                ++k;
                StandOnGround(member, character->position - forward * (8.0f * static_cast<float>(k)), -forward);
            }
        }
    }
    stayingOut.clear();
    if (!driver) {
        passengers.remove(IdOf(character));
    }
}

void PassengerVehicleItem::Deselect()
{
    Character* character = exiting != nullptr ? exiting : owner;
    exiting = nullptr;
    if (character == nullptr) {
        VehicleItem::Deselect();
        return;
    }
    const bool driver = character == owner;
    PutOut(character);
    if (driver) {
        VehicleItem::Deselect();
    }
}

void PassengerVehicleItem::EjectAll()
{
    std::list<std::uint16_t> riders;
    riders.swap(passengers);
    for (std::uint16_t id : riders) {
        if (Character* rider = CharacterByID(id)) {
            PutOut(rider);
        }
    }
}

bool PassengerVehicleItem::OnKeyDown(int key)
{
    if (key == 27) {
        return true;
    }
    const char* action = key >= 0 && key < 512 ? services.KeyAction(key) : nullptr;
    if (action == nullptr) {
        return false;
    }
    for (const char* passed : kPassedActions) {
        if (std::strcmp(action, passed) == 0) {
            return true;
        }
    }
    if (std::strcmp(action, "Use Item in World") != 0) {
        return false;
    }
    if (const char* refusal = ExitRefusal()) {
        services.ShowMessage(refusal, 3000);
        exiting = nullptr;
        return false;
    }
    if (exitSound && body != nullptr) {
        exitSound->SetPosition(body->position.x, body->position.y, body->position.z, -1);
        exitSound->Play();
    }
    Character* character = exiting != nullptr ? exiting : owner;
    if (character != nullptr && character == owner) {
        const std::int16_t previous = previousItemID;
        Character* driver = owner;
        exiting = driver;
        driver->DropItem(this, driver->position);
        auto* before = dynamic_cast<CarriedItem*>(ObjectIDTree::Instance().Find(static_cast<std::uint16_t>(previous)));
        if (before != nullptr && before->owner == driver) {
            driver->SelectItem(before);
        } else {
            driver->SelectDefaultItem();
        }
    } else if (character != nullptr) {
        exiting = character;
        Deselect();
    }
    return false;
}

bool PassengerVehicleItem::OnMouseDown(int button, int x, int y, int flags)
{
    (void)x, (void)y, (void)flags;
    const char* action = services.KeyAction(button + 1);
    if (action == nullptr || std::strcmp(action, "Use Item in World") != 0) {
        return true;
    }
    exiting = services.LocalPlayer();
    OnKeyDown(button + 1);
    return false;
}

void PassengerVehicleItem::Draw(Device* device)
{
    if (owner != nullptr) {
        VehicleItem::Draw(device);
    }
}
