#include "mission/props/TriggerProps.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "app/framework/Application.h"
#include "characters/body/Character.h"
#include "characters/level/LevelScene.h"
#include "characters/level/NetworkSession.h"
#include "characters/level/RunningLevel.h"
#include "engine/camera/Camera.h"
#include "engine/core/EngineLog.h"
#include "engine/core/q3DError.h"
#include "media/Sound3D.h"
#include "mission/props/CharacterProps.h"
#include "world/map/MapObject.h"
#include "world/props/PropArena.h"
#include "world/World.h"

namespace {

constexpr const char* kSeparators = " \t\r\n";

// The next blank-separated word from *cursor (null when none), advancing the cursor past it.
const char* NextWord(const char*& cursor, char* word, std::size_t size)
{
    cursor += std::strspn(cursor, kSeparators);
    const std::size_t length = std::strcspn(cursor, kSeparators);
    if (length == 0)
        return nullptr;
    std::snprintf(word, size, "%.*s", int(length), cursor);
    cursor += length;
    return word;
}

// A whole number word; false when the word does not start with one.
bool WholeWord(const char* word, std::int32_t& value)
{
    char* end = nullptr;
    const std::int32_t read = ReadPropWhole(word, &end);
    if (end == word)
        return false;
    value = read;
    return true;
}

} // namespace

PtrListOf<TriggerProp>& TriggerPropList()
{
    static PtrListOf<TriggerProp> list;
    return list;
}

TriggerProp* FindTrigger(std::int32_t triggerID)
{
    for (TriggerProp* trigger : TriggerPropList())
        if (trigger->triggerID == triggerID)
            return trigger;
    return nullptr;
}

bool& TriggerProp::Lock()
{
    static bool lock = false;
    return lock;
}

TriggerProp::~TriggerProp()
{
    if (listed)
        TriggerPropList().Remove(this);
}

std::uint32_t TriggerProp::Parse(MapObject* carrier, const char* line)
{
    object = carrier;
    const char* cursor = line ? line : "";
    char word[kTextSize];
    NextWord(cursor, word, sizeof word); // the keyword
    if (!NextWord(cursor, word, sizeof word) || !WholeWord(word, triggerID)) {
        LogToEngine("Trigger prop requires ID");
        return PropOneShot;
    }
    std::int32_t type = 0;
    if (!NextWord(cursor, word, sizeof word) || !WholeWord(word, type)) {
        LogToEngine("Trigger prop requires type");
        return PropOneShot;
    }
    triggerType = type;
    switch (triggerType) {
    case 0:
        if (NextWord(cursor, word, sizeof word)) {
            const float read = std::strtof(word, nullptr);
            // A radius that is not a finite positive number keeps the default.
            if (read > 0.0f && read < 1.0e6f)
                radius = read;
        }
        break;
    case 2:
        if (NextWord(cursor, word, sizeof word)) {
            std::snprintf(itemName, sizeof itemName, "%s", word);
            if (NextWord(cursor, word, sizeof word))
                WholeWord(word, itemNumber);
        }
        break;
    case 3: {
        // The next word, then the rest of the line up to its end, joined by one blank.
        if (NextWord(cursor, word, sizeof word)) {
            cursor += std::strspn(cursor, " \t");
            const std::size_t rest = std::strcspn(cursor, "\r\n");
            if (rest > 0)
                std::snprintf(text, sizeof text, "%s %.*s", word, int(rest), cursor);
            else
                std::snprintf(text, sizeof text, "%s", word);
        }
        break;
    }
    default:
        break;
    }
    if (!listed) {
        TriggerPropList().AddHead(this);
        listed = true;
    }
    return GetFlags();
}

void TriggerProp::Detach(MapObject*)
{
    if (listed)
        TriggerPropList().Remove(this);
    listed = false;
}

bool TriggerProp::SetTriggered(bool state, bool tellNetwork)
{
    if ((triggered != 0) == state)
        return false;
    if (tellNetwork)
        RunningLevel::Network().ClientSendTriggerState(triggerID, state);
    triggered = state ? 1 : 0;
    if (record)
        record->fired = triggered;
    if (triggerType == 2 && object)
        object->hidden = state;
    if (!state || !object)
        return true;
    if (auto* sound = static_cast<TriggerSoundProp*>(object->FindProp(TriggerSoundPropFactory)); sound && sound->sound) {
        const Vector3 at = object->GetPosition();
        sound->sound->SetPosition(at.x, at.y, at.z, Sound::NoPlay);
        sound->sound->Play();
    }
    if (auto* shown = static_cast<TriggerTextProp*>(object->FindProp(TriggerTextPropFactory)); shown && shown->text[0])
        if (Application* application = Application::Instance())
            application->ShowCenterMessage(1.0f, 1.0f, 1.0f, shown->text, 5000);
    return true;
}

bool TriggerProp::Fire(int type)
{
    if (type != triggerType || triggered || Lock())
        return false;
    return SetTriggered(true, true);
}

void TriggerProp::CheckProximity()
{
    if (triggerType != 0 || triggered || Lock() || !object)
        return;
    const Character* player = RunningLevel::Scene().CurrentPlayer();
    if (!player || player->health <= 0)
        return;
    World* world = World::Current();
    if (!world || !world->camera)
        return;
    const Vector3 camera = world->camera->world.GetTranslation();
    if (camera.DistanceSquared(object->GetPosition()) < radius * radius)
        SetTriggered(true, true);
}

void TriggerProp::UpdateNearCamera(MapObject*, float) { CheckProximity(); }

Prop* TriggerPropFactory()
{
    return MakeArenaProp<TriggerProp>(&TriggerPropFactory);
}

// --- triggersound, triggertext ---

TriggerSoundProp::TriggerSoundProp() = default;
TriggerSoundProp::~TriggerSoundProp() = default;

std::uint32_t TriggerSoundProp::Parse(MapObject*, const char* line)
{
    const char* cursor = line ? line : "";
    char file[256], word[64];
    NextWord(cursor, file, sizeof file); // the keyword
    if (!NextWord(cursor, file, sizeof file)) {
        LogToEngine("TriggerSound prop requires sound filename");
        return PropOneShot;
    }
    World* world = World::Current();
    float minimum = 20.0f;
    float maximum = world && world->camera ? world->camera->GetFar() : 200.0f;
    if (NextWord(cursor, word, sizeof word)) {
        const float read = std::strtof(word, nullptr);
        if (read >= 0.0f && read < 1.0e6f)
            minimum = read;
        if (NextWord(cursor, word, sizeof word)) {
            const float far = std::strtof(word, nullptr);
            if (far >= 0.0f && far < 1.0e6f)
                maximum = far;
        }
    }
    Application* application = Application::Instance();
    sound = std::make_unique<Sound3D>();
    if (sound->Create(application ? application->GetSoundSystem() : nullptr, file) < 0) {
        const std::string error = sound->GetErrorText();
        sound.reset();
        throw q3DError("Can't load %s: %s", file, error.c_str());
    }
    sound->loopCount = 1;
    sound->maximumDistance = maximum;
    sound->minimumDistance = minimum;
    sound->playbackRate = 11025;
    return PropMarker;
}

void TriggerSoundProp::Detach(MapObject*) { sound.reset(); }

std::uint32_t TriggerTextProp::Parse(MapObject*, const char* line)
{
    const char* cursor = line ? line : "";
    cursor += std::strspn(cursor, kSeparators);
    cursor += std::strcspn(cursor, kSeparators); // the keyword
    cursor += std::strspn(cursor, " \t");
    const std::size_t length = std::strcspn(cursor, "\r\n");
    if (length == 0) {
        LogToEngine("TriggerText prop requires some text");
        return PropOneShot;
    }
    std::snprintf(text, sizeof text, "%.*s", int(length), cursor);
    return PropMarker;
}

Prop* TriggerSoundPropFactory()
{
    return MakeArenaProp<TriggerSoundProp>(&TriggerSoundPropFactory);
}

Prop* TriggerTextPropFactory()
{
    return MakeArenaProp<TriggerTextProp>(&TriggerTextPropFactory);
}
