#include "items/projectiles/Rocket.h"

#include <cmath>
#include <cstdio>

#include "app/framework/Application.h"
#include "characters/objects/CarriedItem.h"
#include "characters/body/Character.h"
#include "engine/core/EngineLog.h"
#include "engine/core/RandomMT.h"
#include "engine/core/q3DError.h"
#include "engine/particle/qParticle.h"
#include "items/Item.h"
#include "items/ItemServices.h"
#include "items/projectiles/Flight.h"
#include "media/Sound3D.h"
#include "world/PickResult.h"
#include "world/World.h"


Rocket::Rocket(const Vector3& start, const Vector3& direction, float range, Character* shooter, float minimumDamage,
               float maximumDamage, float radius, bool slow, const char* modelPath)
{
    (void)range;
    if (shooter) {
        shooterID = std::uint16_t(shooter->GetID());
        const CarriedItem* held = shooter->GetHeldItem();
        weaponID = held && held->HasID() ? held->GetStoredID() : 0xFFFF;
    }
    minDamage = int(minimumDamage);
    maxDamage = int(maximumDamage);
    blastRadius = radius;
    slowRocket = slow && shooter && shooter->kind == Character::SquadKind;
    model = ItemModelCache::Acquire(Application::Instance()->GetDevice(),
                                    modelPath && modelPath[0] ? modelPath : kDefaultModel);
    mesh.ShowMesh(model->mesh);
    mesh.position = launchPoint = start;
    mesh.rotation = LookAlong(direction);
    position = start;
    flySound = std::make_unique<Sound3D>();
    if (flySound->Create(Application::Instance()->GetSoundSystem(), "GameData/Items/RPG/rocket_fly.wav") < 0)
        throw q3DError("Can't load %s", "GameData/Items/RPG/rocket_fly.wav");
    flySound->SetDistances(ProjectileReach(), 50.0f, Sound::NoPlay);
    flySound->SetLoopCount(0, Sound::NoPlay);
    flySound->SetPosition(start.x, start.y, start.z, Sound::NoPlay);
    flyHandle = flySound->Play();
    auto smoke = std::make_unique<qParticle>();
    try {
        smoke->Load(Application::Instance()->GetDevice(), "GameData/fx/rocketTrail.par");
        smoke->rotation.FromEulerAngles(1.5707964f, 0.0f, 0.0f);
        smoke->position = Vector3(0, 0.1f, -1.0f);
        smoke->SetParent(&mesh);
        trail = std::move(smoke);
    } catch (const q3DError& error) {
        LogToEngine("Can't load GameData/fx/rocketTrail.par: %s", error.GetText());
    }
}

Rocket::~Rocket()
{
    if (trail)
        trail->Detach();
    trail.reset();
    if (flySound && flyHandle != -1)
        flySound->Stop(flyHandle);
    mesh.ShowMesh(nullptr);
    ItemModelCache::Release(model);
}

Vector3 Rocket::Heading() const
{
    return Vector3(mesh.rotation(2, 0), mesh.rotation(2, 1), mesh.rotation(2, 2));
}

void Rocket::Explode(MapObject* struck, const Vector3& struckPoint)
{
    exploded = true;
    const Vector3 at = mesh.position;
    StartParticleEffect("GameData/fx/exp/small-ex_01.par", at, nullptr);
    char path[64];
    std::snprintf(path, sizeof path, "GameData/Items/RPG/rocket_boom%02d.wav", int(randomMT() & 1) + 1);
    explosionSound = std::make_unique<Sound3D>();
    if (explosionSound->Create(Application::Instance()->GetSoundSystem(), path) >= 0) {
        explosionSound->SetDistances(ProjectileReach(), 100.0f, Sound::NoPlay);
        explosionSound->SetPosition(at.x, at.y, at.z, Sound::NoPlay);
        explosionHandle = explosionSound->Play();
    }
    if (flySound && flyHandle != -1)
        flySound->Stop(flyHandle);
    flyHandle = -1;
    if (trail)
        trail->emissionPaused = true;
    // An empty damage range gives the minimum rather than a division by zero.
    const std::uint32_t draw = randomMT();
    explosionDamage = maxDamage > minDamage ? minDamage + int(draw % std::uint32_t(maxDamage - minDamage)) : minDamage;
    Character* shooter = dynamic_cast<Character*>(GameObject::GetByID(std::int16_t(shooterID)));
    ItemServices& services = LevelItemServices();
    services.ApplyExplosion(at, explosionDamage, blastRadius, shooter, true, weaponID, Vector3(), 180.0f);
    if (struck)
        services.DamageDestroyable(struck, 200, struckPoint, shooterID, false);
}

void Rocket::UpdateTransform(float elapsed)
{
    if (!active)
        return;
    if (exploded) {
        if (!explosionSound || explosionHandle == -1 || !explosionSound->IsPlaying(explosionHandle))
            active = false;
        return;
    }
    if (flySound && flyHandle != -1)
        flySound->SetPosition(mesh.position.x, mesh.position.y, mesh.position.z, flyHandle);
    const float far = ProjectileReach();
    if (mesh.position.DistanceSquared(launchPoint) > (far + 50.0f) * (far + 50.0f)) {
        active = false;
        return;
    }
    float length = (slowRocket ? 160.0f : 240.0f) * elapsed;
    Vector3 step = Heading() * length;
    fallSpeed += (slowRocket ? 1.0f : 20.0f) * elapsed;
    Character* shooter = dynamic_cast<Character*>(GameObject::GetByID(std::int16_t(shooterID)));
    if (shooter && shooter->kind == Character::SquadKind)
        step.y -= fallSpeed * elapsed;
    const float stepLength = step.Length();
    Vector3 heading = step;
    heading.Normalize();

    SeeThroughRecord& record = GetSeeThroughRecord();
    HitResult ray = record.Begin(mesh.position, heading);
    PickResult worldHit;
    World* world = World::Current();
    if (world)
        world->Pick(ray, &worldHit, far + 20.0f, BulletPickFilter);
    ItemServices& services = LevelItemServices();
    HitResult characterHit = ray;
    const float dc = services.RayCastObjects(characterHit, shooter, -1) ? characterHit.distance : kNoHit;
    HitResult itemHit = ray;
    const float di = services.RayCastItems(itemHit) ? itemHit.distance : kNoHit;
    const float dw = worldHit.distance;
    bool hit = false;
    MapObject* struck = nullptr;
    const float nearest = std::min(dw, std::min(dc, di));
    if (nearest < stepLength) {
        hit = true;
        step = heading * nearest;
        if (dw < dc && dw < di)
            struck = worldHit.object;
    }
    if (world && world->GetWaterHeight(mesh.position) > mesh.position.y)
        hit = true;
    mesh.position = mesh.position + step;
    Matrix3 roll;
    roll.FromEulerAngles(0.0f, 0.0f, 10.0f * elapsed);
    mesh.rotation = roll * mesh.rotation;
    position = mesh.position;
    mesh.Update(0.0f);
    if (trail)
        trail->UpdateTransform(elapsed);
    if (hit)
        Explode(struck, worldHit.hitPoint);
}

bool Rocket::Draw(Device* device)
{
    if (exploded || !mesh.GetMesh())
        return false;
    mesh.Update(0.0f);
    const bool drew = mesh.Draw(device);
    if (trail)
        trail->Draw(device);
    return drew;
}
