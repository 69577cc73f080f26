#include "items/projectiles/Bullet.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/framework/Application.h"
#include "app/framework/Options.h"
#include "characters/objects/CarriedItem.h"
#include "characters/body/Character.h"
#include "characters/level/LevelScene.h"
#include "characters/level/NetworkSession.h"
#include "characters/player/Player.h"
#include "characters/level/RunningLevel.h"
#include "engine/animation/AnimatedModel.h"
#include "engine/core/EngineLog.h"
#include "engine/core/RandomMT.h"
#include "engine/core/q3DError.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "engine/mesh/qMesh.h"
#include "engine/particle/qParticle.h"
#include "engine/serial/SaveStream.h"
#include "items/Item.h"
#include "items/ItemServices.h"
#include "items/projectiles/Flight.h"
#include "renderer/Device.h"
#include "world/PickResult.h"
#include "world/World.h"

namespace {

constexpr std::uint32_t kDefaultColour = 0xFFFFCD6Eu;
constexpr std::uint32_t kEnemyColour = 0xFF33FF66u;
constexpr std::uint32_t kSquadColour = 0xFFFF6666u; // red 1.0, green 0.4, blue 0.4

// The effect's frame from the direction it emits along: two cross products with (0,0,1), or
// (1,0,0) when the first is zero.
void FaceAlong(Matrix3& r, const Vector3& along)
{
    Vector3 forward = along;
    forward.Normalize();
    Vector3 side = Cross(Vector3(0, 0, 1), forward);
    if (side.LengthSquared() == 0.0f)
        side = Cross(Vector3(1, 0, 0), forward);
    side.Normalize();
    Vector3 up = Cross(forward, side);
    up.Normalize();
    r(0, 0) = side.x, r(0, 1) = side.y, r(0, 2) = side.z;
    r(1, 0) = forward.x, r(1, 1) = forward.y, r(1, 2) = forward.z;
    r(2, 0) = up.x, r(2, 1) = up.y, r(2, 2) = up.z;
}

// Starts an effect that emits along a direction, standing on a floor when one is given.
void StartEffect(const char* path, const Vector3& at, const Vector3* facing = nullptr, float floor = 0.0f,
                 bool hasFloor = false)
{
    Matrix3 turn;
    turn.SetIdentity();
    if (facing)
        FaceAlong(turn, *facing);
    StartParticleEffect(path, at, facing ? &turn : nullptr, hasFloor ? &floor : nullptr);
}

bool IsOpaque(const Material* material)
{
    return !material || (material->srcBlend == BlendOne && material->destBlend == BlendZero);
}

std::uint32_t WithAlpha(std::uint32_t colour, std::uint32_t alpha)
{
    return (colour & 0x00FFFFFFu) | (alpha << 24);
}

} // namespace

SeeThroughRecord& GetSeeThroughRecord()
{
    static SeeThroughRecord record;
    return record;
}

HitResult SeeThroughRecord::Begin(const Vector3& rayOrigin, const Vector3& rayDirection)
{
    origin = rayOrigin;
    direction = rayDirection;
    lastDistance = 0.0f;
    count = 0;
    HitResult ray;
    ray.Clear();
    ray.origin = rayOrigin;
    ray.direction = rayDirection;
    return ray;
}

bool GetSurfaceKeyword(Material* material, const char* keyword, char* value, std::size_t size)
{
    D3DBitmap* texture = material ? material->texture[0] : nullptr;
    if (!texture || size == 0)
        return false;
    char line[2048] = {};
    if (!texture->HasEffect(keyword, line))
        return false;
    line[sizeof line - 1] = '\0';
    char* save = nullptr;
    char* first = strtok_r(line, " \n\r\t", &save);
    char* second = first ? strtok_r(nullptr, " \n\r\t", &save) : nullptr;
    if (!second) {
        value[0] = '\0';
        return true;
    }
    std::strncpy(value, second, size - 1);
    value[size - 1] = '\0';
    return true;
}

bool BulletPickFilter(D3DPrim* prim, HitResult& hit, int* index0, int* index1, int* index2)
{
    (void)index0, (void)index1, (void)index2;
    Material* material = prim ? prim->material : nullptr;
    if (IsOpaque(material))
        return true;
    SeeThroughRecord& record = GetSeeThroughRecord();
    // The pick hands the ray in the object's space; its parameter is the distance there.
    const float d = (hit.hitPoint - hit.origin).Length();
    if (d <= record.lastDistance)
        return false;
    if (!material->texture[0])
        return false;
    char effect[256];
    if (GetSurfaceKeyword(material, "hiteffect", effect, sizeof effect) && effect[0])
        StartEffect(effect, record.origin + record.direction * d);
    if (!material->texture[0]->HasEffect("solidalpha", nullptr))
        return false;
    if (record.count >= Bullet::kMaxSeeThrough)
        return false;
    record.candidates[std::size_t(record.count++)] = {prim, d};
    return true;
}

void SpawnBulletHitEffect(const char* effect, int soundKind, const Vector3& point, const Vector3& normal)
{
    if (effect) {
        World* world = World::Current();
        float floor = world ? world->GetFloorHeight(point + Vector3(0, 1, 0), nullptr) : kNoHit;
        if (floor >= kNoHit)
            return;
        if (Character* player = RunningLevel::Scene().CurrentPlayer())
            if (player->position.y < floor)
                floor = player->position.y;
        StartEffect(effect, point, &normal, floor - point.y, true);
        StartEffect("GameData/fx/bullethit_smoke.par", point + normal * 0.5f);
    }
    ItemsPlayBulletHitSound(soundKind, point);
}

Bullet::Bullet() = default;

Bullet::Bullet(const Vector3& origin, const Vector3& rayDirection, float range, Character* shooter,
               float minimumDamage, float maximumDamage, bool tracer)
{
    const CarriedItem* held = shooter ? shooter->GetHeldItem() : nullptr;
    weaponID = held && held->HasID() ? held->GetStoredID() : 0xFFFF;
    colour = kDefaultColour;
    if (shooter && shooter->kind == Character::EnemyKind)
        colour = kEnemyColour;
    else if (shooter && shooter->kind == Character::SquadKind)
        colour = shooter->team != 0 ? kEnemyColour : kSquadColour;
    damage = int(minimumDamage + frandomMT() * (maximumDamage - minimumDamage));

    SeeThroughRecord& record = GetSeeThroughRecord();
    HitResult ray = record.Begin(origin, rayDirection);
    ItemServices& services = LevelItemServices();
    const float pickDistance = std::min(range, ProjectileReach(range));

    // The world, through every see-through surface of the object hit.
    PickResult worldHit;
    World* world = World::Current();
    if (world) {
        world->Pick(ray, &worldHit, pickDistance, BulletPickFilter);
        while (record.count > 0 && worldHit.object) {
            int nearest = 0;
            for (int i = 1; i < record.count; ++i)
                if (record.candidates[std::size_t(i)].distance < record.candidates[std::size_t(nearest)].distance)
                    nearest = i;
            const auto candidate = record.candidates[std::size_t(nearest)];
            record.lastDistance = candidate.distance;
            bool onObject = false;
            if (const LibraryObject* library = worldHit.object->GetLibraryEntry())
                if (library->mesh)
                    for (D3DPrim* prim : library->mesh->prims)
                        onObject = onObject || prim == candidate.prim;
            if (!onObject)
                break;
            HitSurface(worldHit, damage, shooter, false);
            record.count = 0;
            world->Pick(ray, &worldHit, pickDistance, BulletPickFilter);
        }
    }
    const float dw = worldHit.distance;

    // The characters, then the loose items; hits beyond the pick distance miss.
    Character* ignore = shooter;
    if (shooter && shooter->kind == Character::SquadKind && shooter->IsRiding()) {
        if (CarriedItem* vehicle = RunningLevel::Scene().RidingVehicle(shooter))
            ignore = vehicle->owner;
    }
    HitResult characterHit;
    characterHit.Clear();
    characterHit.origin = origin;
    characterHit.direction = rayDirection;
    Character* victim = services.RayCastObjects(characterHit, ignore, -1);
    float dc = victim && characterHit.distance <= pickDistance ? characterHit.distance : kNoHit;
    if (dc == kNoHit)
        victim = nullptr;
    HitResult itemHit;
    itemHit.Clear();
    itemHit.origin = origin;
    itemHit.direction = rayDirection;
    Item* item = services.RayCastItems(itemHit);
    const float di = item && itemHit.distance <= pickDistance ? itemHit.distance : kNoHit;
    if (di == kNoHit)
        item = nullptr;

    if ((dw > range && dc > range && di > range) || (dw == kNoHit && dc == kNoHit && di == kNoHit)) {
        if (tracer) {
            maxDistance = range;
            start = origin;
            direction = rayDirection;
            travelled = frandomMT() * 5.0f;
        } else {
            active = false;
        }
        return;
    }

    const int squadIndex = shooter && shooter->kind == Character::SquadKind ? ItemsLocalSquadIndex(shooter) : -1;
    ItemsCount(0, squadIndex);
    // Equal distances go to the character, then the item, then the world.
    auto hitCharacterOrWorld = [&] {
        if (victim && dc <= dw) {
            HitCharacter(victim, damage, characterHit, rayDirection, shooter, squadIndex);
            maxDistance = dc;
        } else {
            HitSurface(worldHit, damage, shooter, true);
            maxDistance = dw;
        }
    };
    if (victim && dc <= dw && dc <= di) {
        HitCharacter(victim, damage, characterHit, rayDirection, shooter, squadIndex);
        maxDistance = dc;
    } else if (item && di <= dw) {
        if (item->OnHit(itemHit, this, damage, itemHit.hitPoint, itemHit.normal))
            maxDistance = di;
        else
            hitCharacterOrWorld();
    } else {
        hitCharacterOrWorld();
    }

    if (!tracer) {
        active = false;
        return;
    }
    start = origin;
    direction = rayDirection;
    travelled = frandomMT() * 5.0f;
}

void Bullet::HitSurface(const PickResult& result, int damage, Character* shooter, bool realHit)
{
    if (result.distance >= kNoHit)
        return;
    char effect[256];
    char decal[256];
    int sound = 1;
    if (!result.object) {
        std::strcpy(effect, "GameData/fx/dirtPuff.par");
        std::strcpy(decal, "GameData/fx/BLDT_01.tga");
    } else {
        std::strcpy(effect, "GameData/fx/objHit.par");
        std::strcpy(decal, "GameData/fx/bullethit.tga");
        sound = 4;
    }
    char value[256];
    if (GetSurfaceKeyword(result.tile, "hiteffect", value, sizeof value) && value[0])
        std::strcpy(effect, value);
    if (GetSurfaceKeyword(result.tile, "hitdecal", value, sizeof value) && value[0])
        std::strcpy(decal, value);
    if (GetSurfaceKeyword(result.tile, "hitsound", value, sizeof value))
        sound = std::atoi(value);
    if (!realHit)
        sound = -1;
    SpawnBulletHitEffect(effect, sound, result.hitPoint, result.normal);
    ItemServices& services = LevelItemServices();
    if (realHit)
        services.AddDecal(decal, result.hitPoint, result.normal, result.object);
    if (result.object)
        services.DamageDestroyable(result.object, damage, result.hitPoint,
                                   shooter ? std::uint16_t(shooter->GetID()) : std::uint16_t(0xFFFF), false);
}

void Bullet::HitCharacter(Character* victim, int amount, const HitResult& hit, const Vector3& rayDirection,
                          Character* shooter, int squadIndex)
{
    ItemsCount(1, squadIndex);
    const int bone = victim->GetLastHitBone();
    int region = 1;
    if (victim->health > 0 && RunningLevel::Scene().AreHostile(shooter, victim)) {
        if (bone != -1)
            amount = int(float(amount) * victim->GetBoneDamageFactor(bone));
        HitResult record = hit;
        victim->TakeDamage(amount, hit.hitPoint, rayDirection, &record, weaponID,
                           shooter ? shooter->GetID() : -1, false);
        region = bone != -1 ? victim->GetBodyRegion(bone) : 1;
        if (region < 0 || region > 5)
            region = 1;
        static constexpr int deathActions[6] = {32, 22, 24, 26, 28, 30};
        static constexpr int hitActions[6] = {31, 21, 23, 25, 27, 29};
        if (victim->health < 1) {
            ItemsCount(2, squadIndex);
            // A squad member's kill: now and then the shooter says so.
            if (squadIndex >= 0 && squadIndex <= 3 && std::rand() % 100 < 30)
                if (Player* speaker = AsPlayer(shooter))
                    speaker->SayVoiceLine();
            if (region == 0)
                ItemsCount(3, squadIndex);
            victim->StartAction(deathActions[region], true);
        } else {
            bool react = true;
            const Options* options = Options::Instance();
            if (RunningLevel::Scene().IsTutorial() && victim->kind == Character::SquadKind)
                react = false;
            if (options && options->GetOption(Options::DamageRealism) == 0 && victim->kind == Character::SquadKind)
                react = false;
            const int controller = shooter ? shooter->GetController() : 2;
            if (IsNetworkClientConnected() || IsNetworkServerActive()) {
                if (controller != 0)
                    react = false;
            } else if (controller != 0 && amount >= victim->health) {
                react = false;
            }
            if (react)
                victim->StartAction(hitActions[region], true);
        }
    }

    // Effects on the body, whether or not it took damage.
    Vector3 normal = hit.normal;
    if (victim->IsRiding()) {
        SpawnBulletHitEffect("GameData/fx/objHit.par", 3, hit.hitPoint, normal * -1.0f);
        return;
    }
    normal.Normalize();
    AnimatedModel* body = victim->GetModel();
    if (!body || !body->hitRigid) {
        ItemServices& services = LevelItemServices();
        const char* blood = services.BloodEffect();
        SpawnBulletHitEffect(blood && blood[0] ? blood : nullptr, 0, hit.hitPoint, normal);
        if (amount > 10)
            StartEffect("GameData/fx/bloodexit.par", hit.hitPoint + rayDirection, &rayDirection);
        return;
    }
    char effect[256] = "GameData/fx/bullethit_smoke_small.par";
    int sound = 1;
    Material* material = static_cast<Material*>(hit.hitObject);
    char value[256];
    if (GetSurfaceKeyword(material, "hiteffect", value, sizeof value) && value[0])
        std::strcpy(effect, value);
    if (GetSurfaceKeyword(material, "hitsound", value, sizeof value))
        sound = std::atoi(value);
    SpawnBulletHitEffect(effect, sound, hit.hitPoint, normal);
}

void Bullet::UpdateTransform(float elapsed)
{
    travelled += elapsed * kTracerSpeed;
    if (travelled > maxDistance)
        active = false;
}

bool Bullet::Draw(Device* device)
{
    if (!device)
        return false;
    static Material material = [] {
        Material m;
        m.SetBlendMode(13);
        return m;
    }();
    const Vector3 tail = start + direction * travelled;
    const Vector3 head = tail + direction * kTracerLength;
    LitVertex vertices[2] = {};
    const Vector3 ends[2] = {tail, head};
    for (int i = 0; i < 2; ++i) {
        vertices[i].position[0] = ends[i].x;
        vertices[i].position[1] = ends[i].y;
        vertices[i].position[2] = ends[i].z;
    }
    vertices[0].color = WithAlpha(colour, 0);
    vertices[1].color = WithAlpha(colour, 0xCC);
    Matrix4 identity;
    identity.SetIdentity();
    device->SetWorldTransform(&identity);
    VertexLayout layout;
    layout.InitLitTextured();
    device->DrawUserPrimitives(PrimLineList, vertices, 2, &layout, nullptr, 0, &material);
    return true;
}

void Bullet::Save(SaveStream* stream)
{
    stream->WriteInt32(typeCode);
    stream->WriteFloat(travelled);
    stream->WriteFloat(maxDistance);
    stream->WriteBool(active);
    stream->WriteUInt16(weaponID);
    stream->WriteVector3(start);
    stream->WriteVector3(direction);
    stream->WriteMatrix3(rotation);
    stream->WriteVector3(position);
    stream->WriteVector3(scale);
}

void Bullet::Load(SaveStream* stream)
{
    const std::int32_t readType = stream->ReadInt32();
    // Every value is read before any changes, so a refused block leaves the bullet as it was.
    const float readTravelled = stream->ReadFloat("bullet's distance travelled");
    const float readMaxDistance = stream->ReadFloat("bullet's range");
    const bool readActive = stream->ReadBool();
    const std::uint16_t readWeapon = stream->ReadUInt16();
    const Vector3 readStart = stream->ReadVector3("bullet's start");
    const Vector3 readDirection = stream->ReadVector3("bullet's direction");
    const Matrix3 readRotation = stream->ReadMatrix3("bullet's rotation");
    const Vector3 readPosition = stream->ReadVector3("bullet's position");
    const Vector3 readScale = stream->ReadVector3("bullet's scale");
    typeCode = readType;
    travelled = readTravelled;
    maxDistance = readMaxDistance;
    active = readActive;
    weaponID = readWeapon;
    start = readStart;
    direction = readDirection;
    rotation = readRotation;
    position = readPosition;
    scale = readScale;
}
