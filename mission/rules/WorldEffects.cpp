// Explosions and the ground and camera-ray queries of the running mission.
#include "mission/MissionState.h"
#include "mission/props/destruction/DestroyableProp.h"

#include "characters/objects/CarriedItem.h"
#include "characters/body/Character.h"
#include "characters/player/Player.h"
#include "engine/camera/Camera.h"
#include "engine/core/MathConstants.h"
#include "engine/sprite/SpriteNode.h"
#include "renderer/Device.h"
#include "world/map/MapDescription.h"
#include "world/PickResult.h"
#include "world/World.h"

#include <algorithm>
#include <cmath>

int MissionState::ExplosionDamage(int damage, float radius, float distance)
{
    if (radius <= 0.0f || !(distance < radius))
        return 0;
    const float share = 1.0f - std::max(0.0f, distance) / radius;
    return std::max(0, int(share * float(damage)));
}

bool MissionState::IsInBlastRange(const Vector3& point, const Vector3& centre, float radius, const Vector3& direction,
                                  float angle)
{
    const Vector3 offset = point - centre;
    const float distanceSquared = offset.LengthSquared();
    if (distanceSquared > radius * radius)
        return false;
    if (angle == 0.0f)
        return true;
    // A blast without a direction has no cone: the sphere alone decides.
    const float directionLength = direction.Length();
    if (directionLength <= 0.0f)
        return true;
    if (distanceSquared <= 0.0f)
        return true;
    const float cosine = std::clamp(offset.Dot(direction) / (std::sqrt(distanceSquared) * directionLength), -1.0f, 1.0f);
    return std::acos(cosine) < angle;
}

void MissionState::ApplyExplosion(const Vector3& centre, int damage, float radius, Character* source, bool shieldTest,
                                  std::uint16_t sourceItem, const Vector3& direction, float angle)
{
    if (damage < 1 || radius <= 0.0f)
        return;
    const bool friendlyDamage = roster.areaDamage;
    const bool directed = direction.LengthSquared() > 0.0f;
    const std::int16_t sourceID = source ? source->GetID() : std::int16_t(-1);
    const std::vector<Character*> targets = level.characters; // a death may change the list
    for (Character* character : targets) {
        if (!friendlyDamage && source && !AreHostile(source, character))
            continue;
        Vector3 target;
        character->GetAimPoint(0, &target);
        target.y += 1.0f;
        if (!IsInBlastRange(target, centre, radius, direction, angle))
            continue;
        const Vector3 toTarget = target - centre;
        const float straight = toTarget.Length();
        if (shieldTest && level.world && straight > 0.0f) {
            HitResult ray;
            ray.origin = centre;
            ray.direction = toTarget * (1.0f / straight);
            PickResult hit;
            if (level.world->Pick(ray, &hit, straight, nullptr) && hit.distance < straight)
                continue;
        }
        // Along the blast's direction the body itself decides the distance; without a
        // direction (or a hit within the radius) the straight distance does.
        float distance = straight;
        Vector3 hitPoint = target;
        if (directed) {
            HitResult ray;
            ray.origin = centre;
            ray.direction = direction * (1.0f / direction.Length());
            if (character->IntersectRay(ray, 0) && ray.distance <= radius) {
                distance = ray.distance;
                hitPoint = ray.hitPoint;
            }
        }
        const int amount = ExplosionDamage(damage, radius, distance);
        if (amount <= 0)
            continue;
        const bool wasAlive = character->health > 0;
        const Vector3 push = directed ? direction : toTarget;
        character->TakeDamage(amount, hitPoint, push, nullptr, sourceItem == 0xFFFF ? -1 : int(sourceItem), sourceID,
                              false);
        if (character->health > 0) {
            if (!(session.tutorial && character->kind == Character::SquadKind))
                character->StartAction(21, true);
        } else if (wasAlive) {
            character->StartAction(22, true);
        }
        if (character->kind == Character::SquadKind && !character->IsRiding()) {
            const float left = (radius - (character->position - centre).Length()) / radius * 15.0f;
            character->stunTime = std::max(5.0f, left);
        }
    }
    DamageDestroyablesInBlast(centre, damage, radius, sourceID);
    const std::vector<CarriedItem*> items = level.looseItems;
    for (CarriedItem* item : items) {
        if (!item || (sourceItem != 0xFFFF && item->GetID() == std::int16_t(sourceItem)))
            continue;
        if (!IsInBlastRange(item->position, centre, radius, direction, angle))
            continue;
        const int amount = ExplosionDamage(damage, radius, (item->position - centre).Length());
        if (amount > 0)
            item->ApplyDamage(amount, item->position, directed ? direction : item->position - centre);
    }
}

float MissionState::GetGroundHeight(const Vector3& point) const
{
    // A point that is not a number would never rise above the top.
    if (!level.world || !std::isfinite(point.x) || !std::isfinite(point.y) || !std::isfinite(point.z))
        return kNoHit;
    const float top = level.map ? float(std::max(level.map->width, level.map->height)) * 512.0f : 0.0f;
    Vector3 probe = point;
    for (;;) {
        const float height = level.world->GetFloorHeight(probe, nullptr);
        if (height != kNoHit && height != kNoHitNegative)
            return height;
        probe.y = std::max(probe.y, 0.0f) + 4.0f;
        if (probe.y > top)
            return kNoHit;
    }
}

bool MissionState::GetCenterRay(HitResult& ray) const
{
    Device* device = Application::Instance()->GetDevice();
    if (!level.camera || !device)
        return false;
    level.camera->ScreenToRay(float(device->GetTargetWidth()) / 2.0f, float(device->GetTargetHeight()) / 2.0f, &ray);
    ray.origin = ray.origin + ray.direction * 3.0f;
    return true;
}

void MissionState::PlaceGroundMarker(const Vector3& point)
{
    hud.groundMarkerShown = true;
    if (!level.world || !level.camera)
        return;
    HitResult ray;
    ray.origin = point + Vector3(0.0f, 3.0f, 0.0f);
    ray.direction = Vector3(0.0f, -1.0f, 0.0f);
    PickResult hit;
    if (!level.world->Pick(ray, &hit, level.camera->GetFar(), nullptr))
        return;
    hud.groundMarkerPosition = hit.hitPoint;
    if (hud.groundMarker)
        hud.groundMarker->position = hit.hitPoint;
}

void MissionState::DeleteItem(CarriedItem* item)
{
    if (!item)
        return;
    level.looseItems.erase(std::remove(level.looseItems.begin(), level.looseItems.end(), item), level.looseItems.end());
    item->Detach();
    delete item;
}
