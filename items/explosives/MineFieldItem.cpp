#include "items/explosives/MineFieldItem.h"

#include <cmath>
#include <cstdio>

#include "app/framework/Application.h"
#include "characters/body/Character.h"
#include "characters/level/LevelScene.h"
#include "characters/level/RunningLevel.h"
#include "engine/core/EngineLog.h"
#include "engine/core/MathConstants.h"
#include "engine/core/RandomMT.h"
#include "engine/mesh/qMesh.h"
#include "items/ItemDefinition.h"
#include "items/ItemServices.h"
#include "items/projectiles/Flight.h"
#include "media/Sound3D.h"
#include "world/World.h"

namespace {

constexpr int kExplosivesSkill = 5;
constexpr int kJitterWrap = 16344;

} // namespace

MineFieldItem::MineFieldItem(const ItemDefinition& definition)
{
    Item::ReadDefinition(definition);
    const std::vector<std::string> lines = ReadDefinitionLines(definition, definition.classDataOffset, 2);
    if (!lines[0].empty() && lines[0] != "-") {
        craterRecord = ItemModelCache::Acquire(GetDeviceForLoading(), lines[0].c_str());
        crater = std::make_unique<SharedMeshNode>();
        crater->ShowMesh(craterRecord->mesh);
        crater->scale = Vector3(1.1f, 1.1f, 1.1f);
    }
    soundBase = lines[1];
}

MineFieldItem::~MineFieldItem()
{
    if (crater)
        crater->ShowMesh(nullptr);
    ItemModelCache::Release(craterRecord);
}

void MineFieldItem::SetSize(float halfSize)
{
    if (!MineFieldGrid::IsValidHalfSize(halfSize)) {
        LogToEngine("Mine field %s: half size %g refused; no mines are laid", name, double(halfSize));
        halfSize = 0.0f;
    }
    grid.halfSize = halfSize;
    goneOff.assign(std::size_t(grid.Count()), 0);
    points.clear();
    pending = false;
}

void MineFieldItem::SetVisibleMines(bool visible)
{
    grid.visibleMines = visible;
    SetSize(grid.halfSize);
}

void MineFieldItem::LayOut(std::vector<Vector3>& out, std::vector<float>* turnsOut) const
{
    out.clear();
    if (turnsOut)
        turnsOut->clear();
    const int perSide = grid.PerSide();
    if (perSide == 0)
        return;
    World* world = World::Current();
    const float* noise = World::GetNoiseTable();
    const float spacing = grid.Spacing();
    const float jitter = 0.4f * spacing;
    int column = 0, row = 0;
    if (world)
        world->WorldToCell(position.x, position.z, column, row);
    int index = std::abs(column + row) % kJitterWrap;
    out.reserve(std::size_t(perSide) * std::size_t(perSide));
    for (int j = 0; j < perSide; ++j)
        for (int i = 0; i < perSide; ++i) {
            index = (index + 1) % kJitterWrap;
            const float f = noise ? noise[index % World::kNoiseSize] : 0.5f;
            const float turn = noise ? noise[(index + 1) % World::kNoiseSize] : 0.0f;
            Vector3 at(position.x - grid.halfSize + float(i) * spacing + (f - 0.5f) * jitter, position.y,
                       position.z - grid.halfSize + float(j) * spacing + (f - 0.5f) * jitter);
            if (world) {
                const float ground = world->GetTerrainHeightSmooth(at);
                if (std::isfinite(ground) && ground < 1.0e30f)
                    at.y = ground;
            }
            out.push_back(at);
            if (turnsOut)
                turnsOut->push_back(turn);
        }
}

bool MineFieldItem::TriggerAt(const Vector3& point)
{
    if (pending || grid.halfSize == 0.0f)
        return false;
    if (points.size() != goneOff.size())
        LayOut(points, &turns);
    for (std::size_t k = 0; k < points.size(); ++k) {
        if (goneOff[k])
            continue;
        // Measured flat: a character's position stands above its feet, the mine lies on the ground.
        const Vector3 d = points[k] - point;
        if (d.x * d.x + d.z * d.z < 4.0f) {
            goneOff[k] = 1;
            pending = true;
            explosionPoint = points[k];
            return true;
        }
    }
    return false;
}

void MineFieldItem::Draw(Device* device)
{
    lastDrawnMesh = nullptr;
    Character* local = RunningLevel::Scene().CurrentPlayer();
    if (grid.halfSize == 0.0f || !local)
        return;
    const float sight = 40.0f * ItemsGetSkill(local, kExplosivesSkill);
    if ((local->position - position).Length() > sight + grid.halfSize * 1.5f)
        return;
    if (points.size() != goneOff.size())
        LayOut(points, &turns);
    for (std::size_t k = 0; k < points.size(); ++k) {
        const float distanceSquared = (points[k] - local->position).LengthSquared();
        const float limit = goneOff[k] ? 3600.0f : sight * sight;
        if (distanceSquared > limit)
            continue;
        SharedMeshNode* node = goneOff[k] ? crater.get() : (grid.visibleMines ? worldModel.get() : nullptr);
        if (!node || MineFade(limit, distanceSquared, sight) <= 0.0f)
            continue;
        node->position = points[k] + Vector3(0.0f, goneOff[k] ? 0.1f : 0.0f, 0.0f);
        node->rotation.FromEulerAngles(0.0f, turns[k] * 2.0f * kPi, 0.0f);
        node->Update(0.0f);
        node->Draw(device);
    }
}

void MineFieldItem::UpdateTransform(float elapsed)
{
    frameTime = std::int32_t(elapsed);
    if (grid.halfSize == 0.0f)
        return;
    if (!pending)
        if (Character* local = RunningLevel::Scene().CurrentPlayer())
            if (local->health > 0)
                TriggerAt(local->position);
    if (pending)
        Blast();
}

void MineFieldItem::Blast()
{
    pending = false;
    for (Character* character : RunningLevel::Scene().Characters()) {
        if (character->IsRiding() || (character->position - explosionPoint).LengthSquared() >= 1600.0f)
            continue;
        Vector3 aim;
        character->GetHeadPosition(&aim);
        aim.y += 1.0f;
        Vector3 direction = aim - explosionPoint;
        const float distance = direction.Length();
        if (distance > 0.0f)
            direction = direction * (1.0f / distance);
        HitResult hit;
        hit.origin = explosionPoint;
        hit.direction = direction;
        character->IntersectRay(hit, 0);
        const bool wasAlive = character->health > 0;
        character->TakeDamage(MineFieldDamage(distance), aim, direction, &hit, GetID(), -1, false);
        if (character->health > 0) {
            if (!RunningLevel::Scene().IsNetworkGame())
                character->StartAction(21, true);
        } else if (wasAlive) {
            character->StartAction(22, true);
        }
    }
    if (!soundBase.empty() && soundBase != "-") {
        char path[300];
        std::snprintf(path, sizeof path, "%s_%02u.wav", soundBase.c_str(), unsigned(std::uint32_t(randomMT()) % 3u + 1u));
        auto sound = std::make_unique<Sound3D>();
        if (sound->Create(Application::Instance()->GetSoundSystem(), path) < 0) {
            LogToEngine("Can't load %s: %s", path, sound->GetErrorText());
        } else {
            sound->SetDistances(ProjectileReach(), 100.0f, Sound::NoPlay);
            sound->SetPosition(explosionPoint.x, explosionPoint.y, explosionPoint.z, Sound::NoPlay);
            sound->Play();
            explosionSound = std::move(sound);
        }
    }
    StartParticleEffect("GameData/fx/GroundExp/GroundExp.par", explosionPoint, nullptr);
    StartParticleEffect("GameData/fx/grenade_flak.par", explosionPoint, nullptr);
    StartParticleEffect("GameData/fx/grenade_smoke.par", explosionPoint, nullptr);
}

void MineFieldItem::Save(SaveStream* stream)
{
    Item::Save(stream);
    MineFieldBlock{grid, goneOff}.Write(*stream);
}

void MineFieldItem::Load(SaveStream* stream)
{
    Item::Load(stream);
    MineFieldBlock read;
    read.Read(*stream);
    grid = read.grid;
    goneOff = std::move(read.goneOff);
    points.clear();
    pending = false;
}
