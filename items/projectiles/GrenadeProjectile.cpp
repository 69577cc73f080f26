#include "items/projectiles/GrenadeProjectile.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/framework/Application.h"
#include "characters/objects/CarriedItem.h"
#include "characters/body/Character.h"
#include "engine/core/EngineLog.h"
#include "engine/serial/SaveStream.h"
#include "engine/core/RandomMT.h"
#include "engine/core/q3DError.h"
#include "engine/mesh/qMesh.h"
#include "engine/particle/qParticle.h"
#include "items/DefinitionLines.h"
#include "items/GrenadeItem.h"
#include "items/Item.h"
#include "items/ItemServices.h"
#include "items/projectiles/Flight.h"
#include "media/Sound3D.h"
#include "world/PickResult.h"
#include "world/World.h"


GrenadeProjectile::GrenadeProjectile()
{
    typeCode = GrenadeType;
}

GrenadeProjectile::GrenadeProjectile(const Vector3& start, const Vector3& throwDirection, float radius,
                                     Character* thrower, float throwSpeed, bool impact, bool release,
                                     const char* explosion, const char* prefix, const char* model)
{
    typeCode = GrenadeType;
    blastRadius = radius;
    impactFuse = impact;
    releaseItem = release;
    if (thrower) {
        throwerID = std::uint16_t(thrower->GetID());
        const CarriedItem* held = thrower->GetHeldItem();
        weaponID = held && held->HasID() ? held->GetStoredID() : 0xFFFF;
    }
    CopyBounded(explosionSoundPath, std::string(explosion ? explosion : ""));
    CopyBounded(bounceSoundPrefix, std::string(prefix ? prefix : ""));
    CopyBounded(modelPath, std::string(model ? model : ""));
    LoadResources();
    mesh.position = start;
    mesh.rotation = LookAlong(throwDirection);
    origin = start;
    // Launched grenades leave along the aim; thrown ones along the hand's up axis turned forward.
    const Vector3 axis = impactFuse ? Vector3(0, 0, 1) : Vector3(0, std::sin(1.5707964f), std::cos(1.5707964f));
    const Matrix3& r = mesh.rotation;
    const Vector3 world(axis.x * r(0, 0) + axis.y * r(1, 0) + axis.z * r(2, 0),
                        axis.x * r(0, 1) + axis.y * r(1, 1) + axis.z * r(2, 1),
                        axis.x * r(0, 2) + axis.y * r(1, 2) + axis.z * r(2, 2));
    const float carried = thrower ? thrower->GetVelocity()->Length() : 0.0f;
    velocity = world * (carried + throwSpeed);
}

GrenadeProjectile::~GrenadeProjectile()
{
    mesh.ShowMesh(nullptr);
    ItemModelCache::Release(model);
    if (releaseItem && weaponID != 0xFFFF)
        if (GameObject* object = GameObject::GetByID(std::int16_t(weaponID)))
            if (auto* grenades = dynamic_cast<GrenadeItem*>(object))
                grenades->Release();
}

void GrenadeProjectile::LoadResources()
{
    if (modelPath[0]) {
        ItemModelRecord* loaded = ItemModelCache::Acquire(Application::Instance()->GetDevice(), modelPath);
        ItemModelCache::Release(model);
        model = loaded;
        mesh.ShowMesh(model->mesh);
    }
    for (int i = 0; i < 3; ++i) {
        bounceSounds[i].reset();
        if (!bounceSoundPrefix[0])
            continue;
        char path[300];
        std::snprintf(path, sizeof path, "%sbounce0%d.wav", bounceSoundPrefix, i + 1);
        auto sound = std::make_unique<Sound3D>();
        if (sound->Create(Application::Instance()->GetSoundSystem(), path) < 0)
            throw q3DError("Can't load %s: %s", path, sound->GetErrorText());
        sound->SetDistances(300.0f, 30.0f, Sound::NoPlay);
        bounceSounds[i] = std::move(sound);
    }
}

void GrenadeProjectile::GoOff()
{
    wentOff = true;
    const Vector3 at = mesh.position;
    if (StartParticleEffect("GameData/Items/Grenades/GrenadeExp.par", at, nullptr))
        StartParticleEffect("GameData/Items/Grenades/grenade_smoke.par", at, nullptr);
    if (explosionSoundPath[0]) {
        explosionSound = std::make_unique<Sound3D>();
        if (explosionSound->Create(Application::Instance()->GetSoundSystem(), explosionSoundPath) >= 0) {
            explosionSound->SetDistances(ProjectileReach(), 100.0f, Sound::NoPlay);
            explosionSound->SetPosition(at.x, at.y, at.z, Sound::NoPlay);
            explosionHandle = explosionSound->Play();
        }
    }
    Character* thrower = dynamic_cast<Character*>(GameObject::GetByID(std::int16_t(throwerID)));
    ItemServices& services = LevelItemServices();
    services.ApplyExplosion(at, kDamage, blastRadius, thrower, true, weaponID, Vector3(), 180.0f);
    services.AddEvent(at, 150.0f, thrower, 0.5f, false);
}

void GrenadeProjectile::UpdateTransform(float elapsed)
{
    if (!active)
        return;
    if (wentOff) {
        if (!explosionSound || explosionHandle == -1 || !explosionSound->IsPlaying(explosionHandle))
            active = false;
        return;
    }
    const float far = ProjectileReach();
    if (mesh.position.DistanceSquared(origin) > far * far) {
        active = false;
        return;
    }
    fuse -= elapsed;
    if (fuse <= 0.0f) {
        GoOff();
        return;
    }
    FlightStep(elapsed, 0.1f);
}

bool GrenadeProjectile::FlightStep(float elapsed, float restSpeed)
{
    bool hardBounce = false;
    const float far = ProjectileReach();
    velocity.y -= kGravity * elapsed;
    const float speed = velocity.Length();
    const float reach = speed * elapsed + (model && model->mesh ? model->mesh->GetRadius() : 0.0f);
    ItemServices& services = LevelItemServices();
    if (!resting && speed > 0.0f) {
        Vector3 heading = velocity;
        heading.Normalize();
        SeeThroughRecord& record = GetSeeThroughRecord();
        HitResult ray = record.Begin(mesh.position, heading);
        PickResult worldHit;
        World* world = World::Current();
        if (world) {
            world->Pick(ray, &worldHit, far, BulletPickFilter);
            // Destroyable windows give way; any other see-through surface stops the grenade.
            while (record.count > 0 && worldHit.object && worldHit.distance < reach &&
                   services.IsDestroyable(worldHit.object)) {
                float nearest = record.candidates[0].distance;
                for (int i = 1; i < record.count; ++i)
                    nearest = std::min(nearest, record.candidates[std::size_t(i)].distance);
                record.lastDistance = nearest;
                services.DamageDestroyable(worldHit.object, 30, worldHit.hitPoint, throwerID, false);
                record.count = 0;
                world->Pick(ray, &worldHit, far, BulletPickFilter);
            }
        }
        Character* thrower = dynamic_cast<Character*>(GameObject::GetByID(std::int16_t(throwerID)));
        HitResult characterHit = ray;
        Character* hitCharacter = services.RayCastObjects(characterHit, thrower, -1);
        const float dc = hitCharacter ? characterHit.distance : kNoHit;
        HitResult itemHit = ray;
        Item* hitItem = services.RayCastItems(itemHit);
        const float di = hitItem ? itemHit.distance : kNoHit;
        const float dw = worldHit.distance;
        Vector3 point, normal;
        bool hit = false;
        if (dw < reach && dw < dc && dw < di) {
            point = worldHit.hitPoint, normal = worldHit.normal, hit = true;
        } else if (dc < reach && dc < dw && dc < di) {
            point = characterHit.hitPoint, normal = characterHit.normal, hit = true;
        } else if (di < reach && di < dw && di < dc) {
            point = itemHit.hitPoint, normal = itemHit.normal, hit = true;
        }
        if (hit) {
            ++bounces;
            Vector3 n = normal;
            n.Normalize();
            Vector3 turned = heading + n;
            turned.Normalize();
            velocity = turned * (speed * bounce);
            // The rest speed alone is never reached at a game's frame rates: gravity adds
            // kGravity x elapsed to every frame's speed. A hit no faster than twice that pull came
            // from a grenade that was lying still.
            if (speed < restSpeed || speed <= 2.0f * kGravity * elapsed)
                resting = true;
            if (speed > 2.5f) {
                hardBounce = true;
                const Matrix3 face = [&] {
                    Matrix3 quarter;
                    quarter.FromAxisAngle(1.5707964f, Vector3(1, 0, 0));
                    return LookAlong(n) * quarter;
                }();
                StartParticleEffect("GameData/Items/Grenades/grenadeHit.par", point, &face);
                if (Sound3D* sound = bounceSounds[randomMT() % 3].get()) {
                    sound->SetPosition(mesh.position.x, mesh.position.y, mesh.position.z, Sound::NoPlay);
                    sound->Play();
                }
            }
            if (impactFuse && mesh.position.DistanceSquared(origin) > 75.0f)
                fuse = 0.0f;
        }
    }
    if (!resting) {
        mesh.position = mesh.position + velocity * elapsed;
        Matrix3 tumble;
        tumble.FromEulerAngles(1.4f * elapsed, 1.4f * elapsed, 1.4f * elapsed);
        mesh.rotation = tumble * mesh.rotation;
    }
    position = mesh.position;
    return hardBounce;
}

bool GrenadeProjectile::Draw(Device* device)
{
    if (!active || wentOff || !mesh.GetMesh())
        return false;
    mesh.Update(0.0f);
    return mesh.Draw(device);
}

void GrenadeProjectile::Save(SaveStream* stream)
{
    Bullet::Save(stream);
    stream->WriteText(explosionSoundPath, 256);
    stream->WriteText(modelPath, 256);
    stream->WriteText(bounceSoundPrefix, 256);
    stream->WriteVector3(mesh.position);
    stream->WriteMatrix3(mesh.rotation);
    stream->WriteUInt16(throwerID);
    stream->WriteVector3(origin);
    stream->WriteFloat(fuse);
    stream->WriteVector3(velocity);
    stream->WriteBool(resting);
    stream->WriteBool(releaseItem);
    stream->WriteFloat(bounce);
    stream->WriteFloat(blastRadius);
    stream->WriteBool(impactFuse);
}

namespace {

// Paths from a saved block name data files: relative, without "..".
void RequireDataPath(const char* path)
{
    const std::string p(path);
    if (!p.empty() && (p[0] == '/' || p[0] == '\\' || p.find("..") != std::string::npos || p.find(':') != std::string::npos))
        throw q3DError("Bad path %s in saved game", path);
}

} // namespace

void GrenadeProjectile::Load(SaveStream* stream)
{
    Bullet::Load(stream);
    stream->ReadText(explosionSoundPath, 256);
    stream->ReadText(modelPath, 256);
    stream->ReadText(bounceSoundPrefix, 256);
    for (const char* path : {explosionSoundPath, modelPath, bounceSoundPrefix})
        RequireDataPath(path);
    // The rest is read and checked before the model and sounds load or anything changes.
    const Vector3 readPosition = stream->ReadVector3("grenade's position");
    const Matrix3 readRotation = stream->ReadMatrix3("grenade's rotation");
    const std::uint16_t readThrower = stream->ReadUInt16();
    const Vector3 readOrigin = stream->ReadVector3("grenade's origin");
    const float readFuse = stream->ReadFloat("grenade's fuse");
    const Vector3 readVelocity = stream->ReadVector3("grenade's velocity");
    const bool readResting = stream->ReadBool();
    const bool readRelease = stream->ReadBool();
    const float readBounce = stream->ReadFloat("grenade's bounce");
    const float readRadius = stream->ReadFloat("grenade's blast radius");
    const bool readImpact = stream->ReadBool();
    LoadResources();
    mesh.position = readPosition;
    mesh.rotation = readRotation;
    throwerID = readThrower;
    origin = readOrigin;
    fuse = readFuse;
    velocity = readVelocity;
    resting = readResting;
    releaseItem = readRelease;
    bounce = readBounce;
    blastRadius = readRadius;
    impactFuse = readImpact;
    position = mesh.position;
    // Saved after it went off: it does not go off a second time.
    if (fuse <= 0.0f) {
        wentOff = true;
        active = false;
    }
}
