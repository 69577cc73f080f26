#include "mission/props/AlarmProp.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "app/framework/Application.h"
#include "characters/enemy/EnemyAlarm.h"
#include "engine/camera/Camera.h"
#include "media/Sound3D.h"
#include "mission/props/MissionProps.h"
#include "renderer/Device.h"
#include "world/map/MapDescription.h"
#include "world/map/MapObject.h"
#include "world/props/PropArena.h"
#include "world/World.h"

namespace {

struct AlarmList {
    AlarmProp* head = nullptr;
    int count = 0;
};

AlarmList& Alarms()
{
    static AlarmList list;
    return list;
}

// The sound is kept under the data folders' "Sound/"; the game's own log names it the way the
// game always has.
constexpr const char* alarmSoundPath = "Sound/PullAlarm.wav";

} // namespace

AlarmState::AlarmState() { objectType = kAlarmObjectType; }

void AlarmState::Update(float dt)
{
    timer = std::max(0.0f, timer - dt);
}

void AlarmProp::Trigger(GameObject* alarm, bool notify) { TriggerAlarm(alarm, notify); }

AlarmProp* AlarmProp::Find(const GameObject* alarm)
{
    for (AlarmProp* prop = FirstAlarm(); prop && alarm; prop = prop->next)
        if (prop->state.get() == alarm)
            return prop;
    return nullptr;
}

void AlarmProp::Sound()
{
    if (!state)
        return;
    state->timer = kSoundTime;
    if (sound) {
        // A second pull starts the siren again rather than a second one over it.
        if (soundHandle != -1)
            sound->Stop(soundHandle);
        sound->SetPosition(state->position.x, state->position.y, state->position.z, Sound::NoPlay);
        soundHandle = sound->Play();
    }
    if (auto* trigger = object ? static_cast<TriggerProp*>(object->FindProp(TriggerPropFactory)) : nullptr)
        trigger->FireOnAlarm();
}

AlarmProp* FirstAlarm() { return Alarms().head; }
int AlarmCount() { return Alarms().count; }

AlarmProp::AlarmProp() = default;
AlarmProp::~AlarmProp() = default;

std::uint32_t AlarmProp::Parse(MapObject* carrier, const char* line)
{
    object = carrier;
    char copy[256];
    std::snprintf(copy, sizeof copy, "%s", line ? line : "");
    char* rest = nullptr;
    // A line ending in CR (a map written on another system) reads as it would without it.
    const char* keyword = strtok_r(copy, " \n\r", &rest);
    if (!keyword || strcasecmp(keyword, "PULLALARM") != 0)
        return PropOneShot;
    const char* modelName = strtok_r(nullptr, " \n\r", &rest);

    World* world = World::Current();
    if (modelName) {
        LibraryObject* found = nullptr;
        for (int i = 0; world && i < world->GetLibraryObjectCount() && !found; ++i) {
            LibraryObject* candidate = world->GetLibraryObject(i);
            if (candidate && candidate->entry && strcasecmp(candidate->entry->objectName, modelName) == 0)
                found = candidate;
        }
        if (!found)
            return PropOneShot;
        alarmModel = found->mesh;
    }

    sound = std::make_unique<Sound3D>();
    if (sound->Create(Application::Instance()->GetSoundSystem(), alarmSoundPath) < 0) {
        sound.reset();
        if (Device* device = Application::Instance()->GetDevice())
            device->Log("Warning: Couldn't load ../Sound/PullAlarm.wav");
    } else {
        sound->maximumDistance = world && world->camera ? world->camera->GetFar() : sound->maximumDistance;
        sound->minimumDistance = 100.0f;
        sound->loopCount = 0;
    }
    state = std::make_unique<AlarmState>();
    if (carrier)
        state->position = carrier->GetPosition();
    const LibraryObject* own = carrier ? carrier->GetLibraryEntry() : nullptr;
    ownModel = own ? own->mesh : nullptr;

    AlarmList& list = Alarms();
    next = list.head;
    if (list.head)
        list.head->previous = this;
    list.head = this;
    ++list.count;
    return GetFlags();
}

void AlarmProp::Update(MapObject*, float dt)
{
    if (!state)
        return;
    const bool sounding = state->timer > 0.0f;
    state->Update(dt);
    // The siren loops endlessly: it stops when the alarm's time is up.
    if (sounding && state->timer <= 0.0f && sound && soundHandle != -1) {
        sound->Stop(soundHandle);
        soundHandle = -1;
    }
}

void AlarmProp::PreDraw(MapObject* carrier, float)
{
    LibraryObject* library = carrier ? carrier->GetLibraryEntry() : nullptr;
    if (!library)
        return;
    library->mesh = alarmModel && state && state->timer > 0.0f ? alarmModel : ownModel;
}

void AlarmProp::PostDraw(MapObject* carrier, float)
{
    if (LibraryObject* library = carrier ? carrier->GetLibraryEntry() : nullptr)
        library->mesh = ownModel;
}

void AlarmProp::Detach(MapObject* carrier)
{
    if (!state)
        return; // never listed: the line was refused
    PostDraw(carrier, 0.0f);
    if (sound && soundHandle != -1)
        sound->Stop(soundHandle);
    soundHandle = -1;
    sound.reset();
    state.reset();
    AlarmList& list = Alarms();
    if (previous)
        previous->next = next;
    else if (list.head == this)
        list.head = next;
    if (next)
        next->previous = previous;
    next = previous = nullptr;
    --list.count;
}

Prop* AlarmPropFactory()
{
    return MakeArenaProp<AlarmProp>(&AlarmPropFactory);
}
