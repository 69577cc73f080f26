#include "items/projectiles/GasProjectiles.h"

#include <algorithm>

#include "app/framework/Application.h"
#include "characters/body/Character.h"
#include "characters/level/LevelScene.h"
#include "characters/level/NetworkSession.h"
#include "characters/level/RunningLevel.h"
#include "engine/core/EngineLog.h"
#include "engine/core/RandomMT.h"
#include "engine/core/q3DError.h"
#include "engine/particle/qParticle.h"
#include "engine/serial/SaveStream.h"
#include "items/ItemServices.h"
#include "media/Sound3D.h"
#include "world/World.h"

namespace {

constexpr const char* kSmokeCloud = "GameData/Items/grenade-smoke/GrenadeSmoke.par";
constexpr const char* kTeargasCloud = "GameData/Items/grenade-teargas/GrenadeTeargas.par";
constexpr float kRestSpeed = 0.5f;
constexpr float kFadeTime = 10.0f;

std::vector<SmokeProjectile*>& SmokeClouds()
{
    static std::vector<SmokeProjectile*> clouds;
    return clouds;
}

bool InNetworkGame()
{
    return IsNetworkClientConnected() || IsNetworkServerActive();
}

} // namespace

const std::vector<SmokeProjectile*>& GetSmokeClouds()
{
    return SmokeClouds();
}

// ------------------------------------------------------------------------------------------------

GasProjectile::GasProjectile(int type, const char* file) : cloudFile(file)
{
    typeCode = type;
}

GasProjectile::GasProjectile(int type, const char* file, const Vector3& start, const Vector3& direction,
                             float radius, Character* thrower, float throwSpeed, bool release,
                             const char* releaseSound, const char* prefix, const char* model)
    : GrenadeProjectile(start, direction, radius, thrower, throwSpeed, false, release, releaseSound, prefix, model),
      cloudFile(file)
{
    typeCode = type;
    cloud = std::make_unique<qParticle>();
    cloud->Load(Application::Instance()->GetDevice(), cloudFile);
    cloud->position = mesh.position;
    if (explosionSoundPath[0]) {
        explosionSound = std::make_unique<Sound3D>();
        if (explosionSound->Create(Application::Instance()->GetSoundSystem(), explosionSoundPath) >= 0) {
            explosionSound->SetDistances(400.0f, 30.0f, Sound::NoPlay);
            explosionSound->SetPosition(start.x, start.y, start.z, Sound::NoPlay);
            explosionHandle = explosionSound->Play();
        }
    }
}

void GasProjectile::SyncRandom()
{
    ItemServices& services = LevelItemServices();
    if (InNetworkGame())
        services.SyncRandomSeed();
}

bool GasProjectile::IsEmitting() const
{
    return cloud && !cloud->emissionPaused;
}

void GasProjectile::StopEmitting()
{
    if (cloud)
        cloud->emissionPaused = true;
}

void GasProjectile::Fly(float elapsed)
{
    if (explosionSound && explosionHandle != -1)
        explosionSound->SetPosition(mesh.position.x, mesh.position.y, mesh.position.z, explosionHandle);
    if (FlightStep(elapsed, kRestSpeed) && !noiseMade) {
        ItemServices& services = LevelItemServices();
        services.AddEvent(mesh.position, 60.0f, dynamic_cast<Character*>(GameObject::GetByID(std::int16_t(throwerID))),
                          0.5f, true);
        noiseMade = true;
    }
    if (cloud) {
        cloud->position = mesh.position;
        cloud->UpdateTransform(elapsed);
    }
}

bool GasProjectile::Draw(Device* device)
{
    if (!active)
        return false;
    if (cloud)
        cloud->Draw(device);
    mesh.Update(0.0f);
    return mesh.GetMesh() ? mesh.Draw(device) : false;
}

void GasProjectile::Save(SaveStream* stream)
{
    GrenadeProjectile::Save(stream);
    stream->WriteBool(noiseMade);
}

void GasProjectile::Load(SaveStream* stream)
{
    GrenadeProjectile::Load(stream);
    noiseMade = stream->ReadBool();
    // The canister's time is its fuse: a spent one stays inactive, any other is live again.
    wentOff = false;
    active = fuse > 0.0f;
    cloud = std::make_unique<qParticle>();
    cloud->Load(Application::Instance()->GetDevice(), cloudFile);
    cloud->position = mesh.position;
}

// ------------------------------------------------------------------------------------------------

SmokeProjectile::SmokeProjectile() : GasProjectile(SmokeType, kSmokeCloud)
{
    SmokeClouds().push_back(this);
}

SmokeProjectile::SmokeProjectile(const Vector3& start, const Vector3& direction, float radius, Character* thrower,
                                 float throwSpeed, bool release, const char* releaseSound, const char* prefix,
                                 const char* model)
    : GasProjectile(SmokeType, kSmokeCloud, start, direction, radius, thrower, throwSpeed, release, releaseSound,
                    prefix, model)
{
    SyncRandom();
    fuse = 50.0f + 40.0f * frandomMT();
    SmokeClouds().push_back(this);
}

SmokeProjectile::~SmokeProjectile()
{
    auto& clouds = SmokeClouds();
    clouds.erase(std::remove(clouds.begin(), clouds.end(), this), clouds.end());
}

void SmokeProjectile::UpdateTransform(float elapsed)
{
    if (!active)
        return;
    if (fuse <= 0.0f) {
        active = false;
        return;
    }
    fuse -= elapsed;
    if (fuse < kFadeTime)
        StopEmitting();
    Fly(elapsed);
}

// ------------------------------------------------------------------------------------------------

TeargasProjectile::TeargasProjectile() : GasProjectile(TeargasType, kTeargasCloud) {}

TeargasProjectile::TeargasProjectile(const Vector3& start, const Vector3& direction, float radius, Character* thrower,
                                     float throwSpeed, bool release, const char* releaseSound, const char* prefix,
                                     const char* model)
    : GasProjectile(TeargasType, kTeargasCloud, start, direction, radius, thrower, throwSpeed, release, releaseSound,
                    prefix, model)
{
    SyncRandom();
    fuse = InNetworkGame() ? 7.0f + 3.0f * frandomMT() : 30.0f + 20.0f * frandomMT();
}

void TeargasProjectile::UpdateTransform(float elapsed)
{
    if (!active)
        return;
    if (fuse <= 0.0f) {
        active = false;
        return;
    }
    fuse -= elapsed;
    World* world = World::Current();
    const bool underWater = world && world->GetWaterHeight(mesh.position) > mesh.position.y;
    if ((fuse <= 0.0f || underWater) && IsEmitting()) {
        fuse = kFadeTime;
        StopEmitting();
    }
    Fly(elapsed);
    if (!IsEmitting() || cloud->GetTimeSinceStart() <= cloud->startDelay)
        return;
    Character* thrower = dynamic_cast<Character*>(GameObject::GetByID(std::int16_t(throwerID)));
    for (Character* c : RunningLevel::Scene().Characters()) {
        if (!c || !RunningLevel::Scene().AreHostile(thrower, c) || c->health <= 0 || c->swimming || c->stunTime > 0.0f)
            continue;
        if (c->position.DistanceSquared(mesh.position) < kStunRadiusSquared) {
            SyncRandom();
            c->stunTime = frandomMT() * 4.0f + fuse + 1.0f;
        }
    }
}
