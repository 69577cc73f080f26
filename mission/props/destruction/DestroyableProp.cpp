#include "mission/props/destruction/DestroyableProp.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "app/framework/Application.h"
#include "engine/core/EngineLog.h"
#include "engine/core/q3DError.h"
#include "items/ItemServices.h"
#include "items/events/AirStrikeOrder.h"
#include "items/projectiles/Flight.h"
#include "media/Sound3D.h"
#include "mission/props/MissionProps.h"
#include "world/World.h"
#include "world/environment/DecalManager.h"
#include "world/map/MapDescription.h"
#include "world/map/MapObject.h"
#include "world/props/PropArena.h"

namespace {

// The level's destroyables and wrecks, and the running count that numbers them; the count starts
// again when the last one leaves with its level.
struct DestroyableList {
    std::vector<DestroyableProp*> props;
    int nextNumber = 0;
};

DestroyableList& Destroyables()
{
    static DestroyableList list;
    return list;
}

void Enlist(DestroyableProp* prop)
{
    DestroyableList& list = Destroyables();
    list.props.push_back(prop);
}

const char* EntryName(const MapObject* object)
{
    const LibraryObject* library = object ? object->GetLibraryEntry() : nullptr;
    return library && library->entry ? library->entry->objectName : "(no entry)";
}

int FindLibraryIndex(const char* name)
{
    World* world = World::Current();
    for (int i = 0; world && name && i < world->GetLibraryObjectCount(); ++i) {
        const LibraryObject* candidate = world->GetLibraryObject(i);
        if (candidate && candidate->entry && strcasecmp(candidate->entry->objectName, name) == 0)
            return i;
    }
    return -1;
}

float FiniteOr(const char* text, float fallback)
{
    const float value = text ? float(std::atof(text)) : fallback;
    return std::isfinite(value) ? value : fallback;
}

} // namespace

DestroyableProp::DestroyableProp() = default;
DestroyableProp::~DestroyableProp() = default;

std::uint32_t DestroyableProp::Parse(MapObject* carrier, const char* line)
{
    object = carrier;
    if (FindDestroyable(carrier))
        throw q3DError("%s has more than one DESTROYABLE prop", EntryName(carrier));
    char copy[256];
    std::snprintf(copy, sizeof copy, "%s", line ? line : "");
    char* rest = nullptr;
    strtok_r(copy, " \n\r\t", &rest); // the keyword
    const char* token = strtok_r(nullptr, " \n\r\t", &rest);
    if (token)
        health = int(std::clamp(std::strtol(token, nullptr, 10), 0L, 1000000L));
    fullHealth = health;
    if ((token = strtok_r(nullptr, " \n\r\t", &rest)) && strcasecmp(token, "null") != 0) {
        if (IsSafeOrderPath(token))
            soundFile = token;
        else
            LogToEngine("Destroyable %s names sound %s outside the data folders; it plays none", EntryName(carrier), token);
    }
    if ((token = strtok_r(nullptr, " \n\r\t", &rest)))
        radius = std::max(FiniteOr(token, 0.0f), 0.0f);
    if ((token = strtok_r(nullptr, " \n\r\t", &rest)))
        damage = int(std::clamp(std::strtol(token, nullptr, 10), 0L, 1000000L));
    if ((token = strtok_r(nullptr, " \n\r\t", &rest)))
        replacement = FindLibraryIndex(token);
    float offset[3] = {};
    for (float& value : offset)
        if ((token = strtok_r(nullptr, " \n\r\t", &rest)))
            value = FiniteOr(token, 0.0f);
    blastOffset = Vector3(offset[0], offset[1], offset[2]);
    while ((token = strtok_r(nullptr, " \n\r\t", &rest)) && int(effects.size()) < kMaxEffects) {
        if (IsSafeOrderPath(token))
            effects.push_back(token);
        else
            LogToEngine("Destroyable %s names effect %s outside the data folders; it is left out", EntryName(carrier), token);
    }
    splashOnly = carrier && carrier->HasPropText("SPLASHONLY") != nullptr;
    number = Destroyables().nextNumber++;
    Enlist(this);
    listed = true;
    return GetFlags();
}

Vector3 DestroyableProp::BlastPoint() const
{
    return (object ? object->GetPosition() : Vector3()) + blastOffset;
}

void DestroyableProp::Hit(int amount, bool splash)
{
    if ((splashOnly && !splash) || (fullHealth >= kArmoured && amount < kArmourPiercing) || amount <= 0)
        return;
    const bool wasStanding = health > 0;
    health = std::max(health - amount, 0);
    if (wasStanding && health == 0)
        Destroy(BlastPoint(), lastSource, false);
}

void DestroyableProp::TakeDamage(int amount, std::int16_t source, bool splash)
{
    if (destroyed || !IsDestroyable())
        return;
    lastSource = source;
    if (splash) {
        pendingDamage = std::max(amount, 0);
        return;
    }
    Hit(amount, false);
}

void DestroyableProp::UpdateNearCamera(MapObject*, float dt)
{
    if (!destroyed && health > 0 && pendingDamage > 0) {
        // Splash comes off in whole steps, at least one a frame, a quarter of it a second or so.
        const int step = std::min(std::max(1, int(float(pendingDamage) * dt * 4.0f)), pendingDamage);
        pendingDamage -= step;
        Hit(step, true);
        return;
    }
    if (destroyed && sound && soundHandle != -1 && sound->IsStopped(soundHandle))
        soundHandle = -1;
}

void DestroyableProp::MakeWreck()
{
    World* world = World::Current();
    if (!world || !object || replacement < 0)
        return;
    MapObject* wreck = world->AddObject(replacement, object->GetPosition(), object->GetRotation(), object->GetScale());
    if (!wreck)
        return;
    DestroyableProp* keeper = FindDestroyable(wreck);
    if (!keeper) {
        wreck->AddProp("destroyed");
        keeper = static_cast<DestroyableProp*>(wreck->FindProp(DestroyedPropFactory));
    }
    if (keeper) {
        keeper->number = number;
    } else {
        LogToEngine("The wreck of destroyable %d could not keep its number; it is removed", number);
        world->RemoveObject(wreck);
    }
}

void DestroyableProp::Destroy(const Vector3& position, std::int16_t source, bool silent)
{
    if (destroyed)
        return;
    destroyed = true;
    health = 0;
    pendingDamage = 0;
    (void)silent; // the host hears of it when the network carries destructions
    if (!soundFile.empty()) {
        auto made = std::make_unique<Sound3D>();
        if (made->Create(Application::Instance()->GetSoundSystem(), soundFile.c_str()) < 0) {
            LogToEngine("Can't load destroyed sound %s: %s", soundFile.c_str(), "the sound could not be read");
        } else {
            sound = std::move(made);
            sound->SetDistances(ProjectileReach(1000.0f), 150.0f, Sound::NoPlay);
            sound->SetPosition(position.x, position.y, position.z, Sound::NoPlay);
            soundHandle = sound->Play(Sound::KeepVolume, 1);
        }
    }
    if (damage > 0) {
        ItemServices& services = LevelItemServices();
        services.ApplyExplosion(BlastPoint(), damage, radius, nullptr, false, 0xFFFF, Vector3(), 180.0f);
        services.AddEvent(BlastPoint(), 250.0f, nullptr, 0.5f, false);
    }
    (void)source;
    DestroyWithoutEffects();
    for (const std::string& effect : effects)
        if (strcasecmp(effect.c_str(), "none") != 0)
            StartParticleEffect(effect.c_str(), position, nullptr);
}

void DestroyableProp::DestroyWithoutEffects()
{
    destroyed = true;
    health = 0;
    if (!object)
        return;
    if (auto* trigger = static_cast<TriggerProp*>(object->FindProp(TriggerPropFactory)))
        trigger->FireOnDestroyed();
    MakeWreck();
    DecalManager::RemoveObjectDecals(object);
    // Out of sight and out of the picks; the object itself stays until its level goes, since its
    // props (this one among them) may be running.
    const Vector3 at = object->GetPosition();
    object->SetPosition(at.x, -1000.0f, at.z);
    object->hidden = true;
}

void DestroyableProp::Detach(MapObject*)
{
    if (sound && soundHandle != -1)
        sound->Stop(soundHandle);
    soundHandle = -1;
    sound.reset();
    if (!listed)
        return;
    listed = false;
    DestroyableList& list = Destroyables();
    list.props.erase(std::remove(list.props.begin(), list.props.end(), this), list.props.end());
    if (list.props.empty())
        list.nextNumber = 0;
}

std::uint32_t DestroyedProp::Parse(MapObject* carrier, const char*)
{
    object = carrier;
    health = fullHealth = 0;
    destroyed = true;
    number = -1;
    Enlist(this);
    listed = true;
    return GetFlags();
}

Prop* DestroyablePropFactory() { return MakeArenaProp<DestroyableProp>(&DestroyablePropFactory); }
Prop* DestroyedPropFactory() { return MakeArenaProp<DestroyedProp>(&DestroyedPropFactory); }

DestroyableProp* FindDestroyable(const MapObject* object)
{
    return object ? static_cast<DestroyableProp*>(object->FindProp(DestroyablePropFactory)) : nullptr;
}

DestroyableProp* FindDestroyableByNumber(int number)
{
    // The newest holder: a wreck comes after the object it replaced.
    const std::vector<DestroyableProp*>& props = Destroyables().props;
    for (auto at = props.rbegin(); at != props.rend(); ++at)
        if ((*at)->number == number)
            return *at;
    return nullptr;
}

void DamageDestroyablesInBlast(const Vector3& centre, int damage, float radius, std::int16_t source)
{
    if (damage < 1 || !(radius > 0.0f))
        return;
    // A copy: a destruction may add a wreck to the list.
    const std::vector<DestroyableProp*> props = Destroyables().props;
    for (DestroyableProp* prop : props) {
        if (!prop->IsDestroyable() || prop->destroyed || !prop->object)
            continue;
        const float distance = (prop->object->GetPosition() - centre).Length();
        if (distance < radius)
            prop->TakeDamage(int((1.0f - distance / radius) * float(damage)), source, true);
    }
}
