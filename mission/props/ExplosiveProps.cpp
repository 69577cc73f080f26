#include "mission/props/ExplosiveProps.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "app/framework/Application.h"
#include "characters/level/LevelScene.h"
#include "characters/level/NetworkSession.h"
#include "characters/level/RunningLevel.h"
#include "engine/core/EngineLog.h"
#include "engine/core/RandomMT.h"
#include "engine/core/q3DError.h"
#include "engine/filesystem/PackFile.h"
#include "items/Item.h"
#include "items/explosives/MineFieldItem.h"
#include "items/projectiles/Flight.h"
#include "media/Sound3D.h"
#include "mission/MissionState.h"
#include "world/map/MapDescription.h"
#include "world/map/MapObject.h"
#include "world/props/PropArena.h"
#include "world/World.h"

namespace {

// The tokens of the line after its keyword.
std::vector<std::string> Tokens(const char* line)
{
    std::istringstream in(line ? line : "");
    std::vector<std::string> tokens;
    std::string token;
    in >> token; // the keyword
    while (in >> token)
        tokens.push_back(token);
    return tokens;
}

const char* ObjectName(MapObject* object)
{
    const LibraryObject* library = object ? object->GetLibraryEntry() : nullptr;
    return library && library->entry ? library->entry->objectName : "";
}

bool IsDataPath(const std::string& path)
{
    return !path.empty() && path[0] != '/' && path[0] != '\\' && path.find("..") == std::string::npos &&
           path.find(':') == std::string::npos;
}

// A whole number of the line, false when the token is not one or lies beyond the bounds.
bool Whole(const std::string& token, long low, long high, int& value)
{
    char* end = nullptr;
    const long read = std::strtol(token.c_str(), &end, 10);
    if (end == token.c_str() || read < low || read > high)
        return false;
    value = int(read);
    return true;
}

bool Finite(const std::string& token, float low, float high, float& value)
{
    char* end = nullptr;
    const float read = std::strtof(token.c_str(), &end);
    if (end == token.c_str() || !std::isfinite(read) || read < low || read > high)
        return false;
    value = read;
    return true;
}

} // namespace

PtrListOf<MinefieldProp>& MinefieldPropList()
{
    static PtrListOf<MinefieldProp> list;
    return list;
}

std::uint32_t MinefieldProp::Parse(MapObject* object, const char* line)
{
    const std::vector<std::string> tokens = Tokens(line);
    if (tokens.empty())
        return PropOneShot;
    if (!Finite(tokens[0], 0.0f, MineFieldGrid::kMaxHalfSize, radius)) {
        LogToEngine("Mine field on object %s: radius %s refused; the prop is dropped", ObjectName(object),
                    tokens[0].c_str());
        return PropOneShot;
    }
    if (tokens.size() > 1 && !Whole(tokens[1], -1000000, 1000000, number)) {
        LogToEngine("Mine field on object %s: number %s refused; the prop is dropped", ObjectName(object),
                    tokens[1].c_str());
        return PropOneShot;
    }
    if (object) {
        const Vector3 at = object->GetPosition();
        x = at.x, y = at.y, z = at.z;
        object->hidden = true;
    }
    MinefieldPropList().AddHead(this);
    return GetFlags();
}

void MinefieldProp::Detach(MapObject*)
{
    MinefieldPropList().Remove(this);
}

Prop* MinefieldPropFactory()
{
    return MakeArenaProp<MinefieldProp>(&MinefieldPropFactory);
}

int LayMapMineFields(std::vector<CarriedItem*>& worldItems)
{
    int laid = 0;
    for (MinefieldProp* prop : MinefieldPropList()) {
        Item* item = nullptr;
        try {
            item = MissionState::Instance()->CreateItem("Mine Field");
        } catch (const q3DError& error) {
            LogToEngine("Can't make the mine field: %s", error.GetText());
        }
        auto* field = dynamic_cast<MineFieldItem*>(item);
        if (!field) {
            LogToEngine("No \"Mine Field\" item of its class; a mine field of the map is not laid");
            delete item;
            continue;
        }
        field->position = Vector3(prop->x, prop->y, prop->z);
        field->SetVisibleMines(prop->number != 0);
        field->SetSize(prop->radius);
        worldItems.insert(worldItems.begin(), field);
        ++laid;
    }
    return laid;
}

ExplosionProp::~ExplosionProp() = default;

std::uint32_t ExplosionProp::Parse(MapObject* object, const char* line)
{
    Application* application = Application::Instance();
    if (!application || !application->GetSoundSystem())
        return PropOneShot;
    const std::vector<std::string> tokens = Tokens(line);
    std::size_t next = 0;
    auto take = [&]() -> std::string { return next < tokens.size() ? tokens[next++] : std::string(); };
    const std::string first = take();
    if (first.empty()) {
        LogToEngine("Explosion prop on object %s without effects; the prop is dropped", ObjectName(object));
        return PropOneShot;
    }
    if (std::isdigit(static_cast<unsigned char>(first[0]))) {
        // The count is capped at the files the line holds (and at the most a prop keeps).
        const long asked = std::strtol(first.c_str(), nullptr, 10);
        int count = int(std::clamp(asked, 0L, long(MaxEffects)));
        const int present = int(tokens.size()) - 1 - 4;
        count = std::max(0, std::min({count, present, MaxEffects}));
        for (int i = 0; i < count; ++i)
            effects.push_back(take());
    } else {
        effects.push_back(first);
    }
    for (const std::string& effect : effects) {
        PackFile* file = IsDataPath(effect) ? PackFileOpen(effect.c_str(), "rb") : nullptr;
        if (!file)
            throw q3DError("Can't open %s for explosion prop on object %s", effect.c_str(), ObjectName(object));
        PackFileClose(file);
    }
    float readRadius = 0.0f;
    if (!Whole(take(), 0, 3600, minimumDelay) || !Whole(take(), 0, 3600, maximumDelay) ||
        !Whole(take(), 0, 1000000, damage) || !Finite(take(), 0.0f, 100000.0f, readRadius)) {
        LogToEngine("Explosion prop on object %s: delays, damage or radius missing or out of range; the prop is dropped",
                    ObjectName(object));
        return PropOneShot;
    }
    radius = readRadius;
    if (maximumDelay < minimumDelay)
        maximumDelay = minimumDelay;
    if (next < tokens.size() && !Whole(take(), -1, 1000000, triggerNumber))
        triggerNumber = -1;
    const std::string soundFile = take();
    if (!soundFile.empty()) {
        Finite(take(), 0.0f, 100000.0f, soundMinimum);
        Finite(take(), 0.0f, 100000.0f, soundMaximum);
        auto made = std::make_unique<Sound3D>();
        if (!IsDataPath(soundFile) || made->Create(application->GetSoundSystem(), soundFile.c_str()) < 0)
            throw q3DError("Can't load %s: %s", soundFile.c_str(), made->GetErrorText());
        made->SetDistances(soundMaximum > 0.0f ? soundMaximum : ProjectileReach(), soundMinimum, Sound::NoPlay);
        sound = std::move(made);
    }
    DrawCountdown();
    return GetFlags();
}

void ExplosionProp::DrawCountdown()
{
    if (RunningLevel::Scene().IsNetworkGame())
        RunningLevel::Network().SyncRandomSeed();
    const int span = maximumDelay - minimumDelay;
    countdown = float(span > 0 ? minimumDelay + int(std::uint32_t(randomMT()) % std::uint32_t(span)) : maximumDelay);
}

void ExplosionProp::Update(MapObject* object, float dt)
{
    MissionState* mission = MissionState::Instance();
    if (!object || !mission)
        return;
    if (triggerNumber != -1)
        for (const TriggerRecord& trigger : mission->level.triggers)
            if (trigger.triggerID == triggerNumber && trigger.fired)
                return;
    const Vector3 at = object->GetPosition();
    countdown -= dt;
    if (countdown > 0.0f) {
        if (sound && soundHandle != -1)
            sound->SetPosition(at.x, at.y, at.z, soundHandle);
        return;
    }
    if (damage > 0)
        mission->ApplyExplosion(at, damage, radius, nullptr, true, 0xFFFF, Vector3(), 180.0f);
    const float far = ProjectileReach();
    if ((RunningLevel::Scene().CameraPosition() - at).LengthSquared() <= far * far) {
        for (const std::string& effect : effects)
            StartParticleEffect(effect.c_str(), at, nullptr);
        if (sound) {
            sound->SetPosition(at.x, at.y, at.z, Sound::NoPlay);
            soundHandle = sound->Play();
        }
    } else {
        soundHandle = -1;
    }
    DrawCountdown();
}

void ExplosionProp::Detach(MapObject*)
{
    sound.reset();
}

Prop* ExplosionPropFactory()
{
    return MakeArenaProp<ExplosionProp>(&ExplosionPropFactory);
}
