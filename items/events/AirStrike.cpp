#include "items/events/AirStrike.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/framework/Application.h"
#include "characters/body/Character.h"
#include "characters/level/LevelScene.h"
#include "characters/level/RunningLevel.h"
#include "engine/core/EngineLog.h"
#include "engine/core/MathConstants.h"
#include "engine/core/Matrix.h"
#include "engine/core/q3DError.h"
#include "engine/serial/SaveStream.h"
#include "items/ItemServices.h"
#include "items/projectiles/Flight.h"
#include "media/Sound3D.h"

namespace {


// The strike's own sounds: a name the order left empty plays nothing; one that does not load is
// logged and the strike flies on without it (the order may come from a peer).
std::unique_ptr<Sound3D> StrikeSound(const char* name, float maximum, float minimum, int loops)
{
    if (!name || !name[0])
        return nullptr;
    auto sound = std::make_unique<Sound3D>();
    if (sound->Create(Application::Instance()->GetSoundSystem(), name) < 0) {
        LogToEngine("Can't load %s: the airstrike plays without it", name);
        return nullptr;
    }
    sound->SetDistances(maximum, minimum, Sound::NoPlay);
    sound->loopCount = loops;
    return sound;
}

void PlayAt(Sound3D* sound, int& handle, const Vector3& at)
{
    if (!sound)
        return;
    sound->SetPosition(at.x, at.y, at.z, Sound::NoPlay);
    handle = sound->Play();
}

ItemModelRecord* StrikeModel(const char* name, SharedMeshNode& node, float scale)
{
    if (!name || !name[0])
        return nullptr;
    Device* device = Application::Instance()->GetDevice();
    if (!device)
        return nullptr;
    try {
        ItemModelRecord* record = ItemModelCache::Acquire(device, name);
        node.ShowMesh(record->mesh);
        node.scale = Vector3(scale, scale, scale);
        return record;
    } catch (const q3DError& error) {
        LogToEngine("Can't load airstrike model %s: %s", name, error.GetText());
        return nullptr;
    }
}

Vector3 FlightDirection(const AirStrikeOrder& order)
{
    Vector3 direction = order.flightEnd - order.flightStart;
    const float length = direction.Length();
    return length > 0.0f ? direction * (1.0f / length) : Vector3(0.0f, 0.0f, 1.0f);
}

} // namespace

float AirStrike::FirstThreshold(const AirStrikeOrder& order)
{
    return 1.0f - std::min(float(order.bombCount) * order.interval, 1.0f);
}

Vector3 AirStrike::ImpactPoint(const AirStrikeOrder& order, float t, float f, float f2)
{
    if (order.pattern == 0)
        return order.target + FlightDirection(order) * ((t - 0.5f) * float(order.radius));
    Matrix3 turn;
    turn.FromEulerAngles(0.0f, f * 2.0f * kPi, 0.0f);
    const Vector3 d(turn.m[6], turn.m[7], turn.m[8]);
    return order.target + d * (f2 * float(order.radius) * 0.5f);
}

std::string AirStrike::WarningText(const AirStrikeOrder& order, float elapsed, float distance)
{
    const int seconds = int(order.delay + 0.5f * order.duration - elapsed);
    char text[160];
    if (distance < float(order.radius))
        std::snprintf(text, sizeof text, "You have %i seconds to reach minimum safe distance. %i / %i feet.", seconds,
                      int(distance), int(order.radius));
    else
        std::snprintf(text, sizeof text, "Airstrike in %i seconds.", seconds);
    return text;
}

AirStrike* AirStrike::Create(const AirStrikeOrder& order)
{
    auto strike = std::make_unique<AirStrike>();
    strike->order = order;
    strike->order.Clamp();
    strike->threshold = FirstThreshold(strike->order);
    strike->SetUp();
    return strike.release();
}

AirStrike::AirStrike() = default;

AirStrike::~AirStrike()
{
    if (flightSound && flightHandle != -1)
        flightSound->Stop(flightHandle);
    ReleaseModels();
}

void AirStrike::ReleaseModels()
{
    bomber.ShowMesh(nullptr);
    marker.ShowMesh(nullptr);
    ItemModelCache::Release(bomberRecord);
    ItemModelCache::Release(markerRecord);
    bomberRecord = markerRecord = nullptr;
}

void AirStrike::SetUp()
{
    ReleaseModels();
    bomberRecord = StrikeModel(order.bomberModel, bomber, order.modelScale);
    markerRecord = StrikeModel(order.markerModel, marker, order.markerScale);
    marker.position = order.target + Vector3(0.0f, 3.0f, 0.0f);
}

float AirStrike::Progress() const
{
    return elapsed > order.delay ? (elapsed - order.delay) / order.duration : 0.0f;
}

int AirStrike::Advance(float time)
{
    elapsed += time;
    if (elapsed <= order.delay)
        return -1;
    const float t = Progress();
    if (t <= threshold || bombIndex >= order.bombCount || bombIndex >= AirStrikeOrder::kMaxBombs ||
        dropped[bombIndex])
        return -1;
    const int bomb = bombIndex;
    dropped[bomb] = 1;
    ++bombIndex;
    threshold += order.interval;
    return bomb;
}

void AirStrike::DropBomb(int bomb)
{
    const float f = float(std::rand() % 32000) / 32000.0f;
    const float f2 = float(std::rand() % 32000) / 32000.0f;
    Vector3 at = ImpactPoint(order, Progress(), f, f2);
    const float ground = RunningLevel::Scene().GroundHeight(at + Vector3(0.0f, 10.0f, 0.0f));
    if (std::isfinite(ground) && ground < 1.0e30f)
        at.y = ground;
    if (!bombSound)
        bombSound = StrikeSound(order.bombSound, ProjectileReach(1000.0f), 150.0f, 1);
    PlayAt(bombSound.get(), bombHandles[bomb], at);
    lastBomb = bomb;
    if (order.bombEffect[0])
        StartParticleEffect(order.bombEffect, at, nullptr);
    if (bomb == 0) {
        ItemServices& services = LevelItemServices();
        auto* caller = dynamic_cast<Character*>(GameObject::GetByID(std::int16_t(order.callerID)));
        services.ApplyExplosion(order.target, order.damage, float(order.radius), caller, false, order.radioID,
                                Vector3(), 180.0f);
    }
}

void AirStrike::Update(float time)
{
    GameObject* caller = GameObject::GetByID(std::int16_t(order.callerID));
    if (elapsed == 0.0f) {
        chatterSound = StrikeSound(order.chatterSound, 50.0f, 10.0f, 1);
        if (caller)
            PlayAt(chatterSound.get(), chatterHandle, caller->position);
    } else if (chatterSound && caller && chatterHandle != -1) {
        chatterSound->SetPosition(caller->position.x, caller->position.y, caller->position.z, chatterHandle);
    }

    const int bomb = Advance(time);
    if (elapsed > order.delay) {
        if (!flightSound) {
            flightSound = StrikeSound(order.flightSound, 500.0f, 50.0f, 0);
            if (flightSound)
                flightHandle = flightSound->Play();
        }
        const float t = Progress();
        bomber.position = order.flightStart + (order.flightEnd - order.flightStart) * t;
        const float grow = (std::sin(kPi * t) * 0.7f + 0.3f) * order.modelScale;
        bomber.scale = Vector3(grow, grow, grow);
        bomber.rotation = LookAlong(FlightDirection(order));
        bomber.Update(0.0f);
        if (flightSound && flightHandle != -1)
            flightSound->SetPosition(bomber.position.x, bomber.position.y, bomber.position.z, flightHandle);
    }
    if (bomb >= 0)
        DropBomb(bomb);

    const bool lastSoundPlaying = lastBomb >= 0 && bombSound && bombHandles[lastBomb] != -1 &&
                                  !bombSound->IsStopped(bombHandles[lastBomb]);
    if (IsFlightOver() && !lastSoundPlaying) {
        if (flightSound && flightHandle != -1)
            flightSound->Stop(flightHandle);
        flightHandle = -1;
        finished = true;
    }
    if (!dropped[0])
        marker.Update(0.0f);
}

void AirStrike::Draw(Device* device)
{
    if (elapsed == 0.0f || !device)
        return;
    if (elapsed > order.delay && bomber.GetMesh())
        bomber.Draw(device);
    if (dropped[0])
        return;
    if (marker.GetMesh())
        marker.Draw(device);
    auto* caller = dynamic_cast<Character*>(GameObject::GetByID(std::int16_t(order.callerID)));
    Character* player = RunningLevel::Scene().CurrentPlayer();
    if (caller && player && player->team == caller->team) {
        const float distance = (player->position - order.target).Length();
        // Replaced every frame, so it lasts only while the strike is drawn.
        Application::Instance()->ShowCenterMessage(1.0f, 1.0f, 1.0f, WarningText(order, elapsed, distance).c_str(), 100);
    }
}

void AirStrike::Save(SaveStream& stream)
{
    order.Save(stream);
    stream.WriteFloat(elapsed);
    stream.WriteBytes(dropped, AirStrikeOrder::kMaxBombs);
    stream.WriteUInt8(spare);
    stream.WriteUInt16(0);
    stream.WriteInt32(bombIndex);
    stream.WriteFloat(threshold);
    // The block has always carried the order's first bytes here; readers skip them.
    stream.WriteUInt16(order.callerID);
    stream.WriteUInt16(order.radioID);
    stream.WriteInt32(order.damage);
    stream.WriteUInt8(std::uint8_t(std::uint32_t(order.radius) & 0xFF));
    order.Save(stream);
}

void AirStrike::Load(SaveStream& stream)
{
    AirStrikeOrder first;
    first.Load(stream);
    const float readElapsed = stream.ReadFloat("airstrike elapsed time");
    if (readElapsed < 0.0f)
        throw q3DError("Airstrike elapsed time %f is negative", double(readElapsed));
    std::uint8_t readDropped[AirStrikeOrder::kMaxBombs];
    for (std::uint8_t& flag : readDropped)
        flag = stream.ReadUInt8() != 0 ? 1 : 0;
    const std::uint8_t readSpare = stream.ReadUInt8();
    stream.ReadUInt16();
    const std::int32_t readIndex = stream.ReadInRange(0, AirStrikeOrder::kMaxBombs, "airstrike bomb index");
    const float readThreshold = stream.ReadFloat("airstrike drop threshold");
    std::uint8_t ignored[kStateBytes - 16];
    stream.ReadBytes(ignored, sizeof ignored);
    AirStrikeOrder second;
    second.Load(stream);
    if (readIndex > second.bombCount)
        throw q3DError("Airstrike bomb index %d is beyond its %d bombs", readIndex, second.bombCount);

    elapsed = readElapsed;
    std::copy(std::begin(readDropped), std::end(readDropped), dropped);
    spare = readSpare;
    bombIndex = readIndex;
    threshold = readThreshold;
    order = second;
    SetUp();
}
