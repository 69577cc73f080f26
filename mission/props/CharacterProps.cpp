#include "mission/props/CharacterProps.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "engine/core/EngineLog.h"
#include "world/map/MapObject.h"
#include "world/map/MapDescription.h"
#include "world/props/PropArena.h"
#include "world/World.h"

namespace {

// Blanks and line ends, a carriage return among them, so that a line ending in CR (a map written
// on another system) reads as it would without it.
constexpr const char* separators = " \n\r";

// A property line split the way the keyword handlers split it: the keyword first, then the
// tokens one by one. The line is copied, so the caller's text stays as it was.
class LineTokens {
public:
    explicit LineTokens(const char* line)
    {
        std::snprintf(copy, sizeof copy, "%s", line ? line : "");
        keyword = strtok_r(copy, separators, &rest);
    }

    const char* Next() { return keyword ? strtok_r(nullptr, separators, &rest) : nullptr; }
    const char* Keyword() const { return keyword ? keyword : ""; }

private:
    char copy[256];
    char* rest = nullptr;
    const char* keyword = nullptr;
};

template <std::size_t N>
void CopyToken(char (&field)[N], const char* token)
{
    std::snprintf(field, N, "%s", token ? token : "");
}

const char* LibraryName(const MapObject* object)
{
    const LibraryObject* library = object ? object->GetLibraryEntry() : nullptr;
    return library && library->entry ? library->entry->objectName : "";
}

void HideMarker(MapObject* object)
{
    if (object)
        object->hidden = true;
}

} // namespace

std::int32_t ReadPropWhole(const char* text, char** end)
{
    char* stop = nullptr;
    const long value = std::strtol(text, &stop, 10);
    if (end)
        *end = stop;
    const long used = std::clamp<long>(value, INT32_MIN, INT32_MAX);
    if (used != value)
        LogToEngine("the number %.*s is beyond %d to %d; %ld is used", int(stop - text), text, INT32_MIN, INT32_MAX,
                    used);
    return std::int32_t(used);
}

PtrListOf<CharacterProp>& CharacterPropList()
{
    static PtrListOf<CharacterProp> list;
    return list;
}

PtrListOf<NeutralProp>& NeutralPropList()
{
    static PtrListOf<NeutralProp> list;
    return list;
}

PtrListOf<MultiStartProp>& MultiStartPropList()
{
    static PtrListOf<MultiStartProp> list;
    return list;
}

PtrListOf<PlayerStartProp>& PlayerStartPropList()
{
    static PtrListOf<PlayerStartProp> list;
    return list;
}

PtrListOf<FlagSpawnProp>& FlagSpawnPropList()
{
    static PtrListOf<FlagSpawnProp> list;
    return list;
}

std::uint32_t CharacterProp::Parse(MapObject* carrier, const char* line)
{
    object = carrier;
    LineTokens tokens(line);
    if (strcasecmp(tokens.Keyword(), "ANIMAL") == 0) {
        side = AnimalSide;
        const char* model = tokens.Next();
        const char* script = model ? tokens.Next() : nullptr;
        CopyToken(modelPath, model ? model : "GameData/Models/Shepard_Base");
        CopyToken(aiScriptPath, script ? script : "GameData/AI/dog.sns");
        CopyToken(itemNames[0], "Dog Bite");
        itemCount = 1;
    } else {
        side = strcasecmp(tokens.Keyword(), "ALLY") == 0 ? AllySide : EnemySide;
        CopyToken(itemNames[0], "Knife");
        itemCount = 1;
        const char* weapon = tokens.Next();
        if (weapon) {
            CopyToken(itemNames[1], weapon);
            itemCount = 2;
        }
        const char* model = weapon ? tokens.Next() : nullptr;
        const char* script = model ? tokens.Next() : nullptr;
        CopyToken(modelPath, model ? model : "GameData/Models/enemy");
        CopyToken(aiScriptPath, script ? script : "GameData/AI/infantry.sns");
    }
    // The map's library names say which characters are picked at random and which of those walk
    // a patrol; the test is case-sensitive on purpose, only the three usual spellings count.
    const char* name = LibraryName(carrier);
    for (const char* word : {"PATROL", "patrol", "Patrol"})
        if (std::strstr(name, word))
            randomFlag = patrolFlag = true;
    for (const char* word : {"RANDOM", "random", "Random"})
        if (std::strstr(name, word))
            randomFlag = true;
    HideMarker(carrier);
    CharacterPropList().AddHead(this);
    return GetFlags();
}

void CharacterProp::Detach(MapObject*)
{
    CharacterPropList().Remove(this);
}

std::uint32_t NeutralProp::Parse(MapObject* carrier, const char* line)
{
    object = carrier;
    LineTokens tokens(line);
    CopyToken(model, tokens.Next());
    const char* script = tokens.Next();
    const char* voice = script ? tokens.Next() : nullptr;
    CopyToken(aiScriptPath, script ? script : "GameData/AI/infantry.sns");
    CopyToken(voiceFolder, voice ? voice : "Sound/Voice");
    HideMarker(carrier);
    NeutralPropList().AddHead(this);
    return GetFlags();
}

void NeutralProp::Detach(MapObject*)
{
    NeutralPropList().Remove(this);
}

std::uint32_t StationaryProp::Parse(MapObject*, const char* line)
{
    LineTokens tokens(line);
    if (const char* first = tokens.Next()) {
        number = ReadPropWhole(first);
        if (const char* second = tokens.Next())
            flag = ReadPropWhole(second) == 0 ? 0 : 1;
    }
    return GetFlags();
}

std::uint32_t InactiveProp::Parse(MapObject*, const char* line)
{
    LineTokens tokens(line);
    inactiveFlag = strcasecmp(tokens.Keyword(), "REINFORCE") == 0 ? 0 : 1;
    if (const char* first = tokens.Next())
        number = ReadPropWhole(first);
    return GetFlags();
}

std::uint32_t SkillsProp::Parse(MapObject*, const char* line)
{
    LineTokens tokens(line);
    for (float& value : values) {
        const char* token = tokens.Next();
        if (!token)
            break;
        // A skill scales damage and aim; beyond -1 to 1 (-1: an ally's own toughness) or not a
        // number it has no meaning.
        const float read = std::strtof(token, nullptr);
        if (!(read >= -1.0f && read <= 1.0f))
            LogToEngine("skills: the value %s is outside -1 to 1; %s", token,
                        std::isnan(read) ? "the default stays" : "clamped");
        if (!std::isnan(read))
            value = std::clamp(read, -1.0f, 1.0f);
    }
    return GetFlags();
}

std::uint32_t MultiStartProp::Parse(MapObject* carrier, const char* line)
{
    object = carrier;
    LineTokens tokens(line);
    teamCode = 0;
    if (const char* code = tokens.Next()) {
        static constexpr const char* names[] = {"team1", "team2", "team3", "team4", "team5",
                                                "team6", "team7", "team8", "mis1",  "mis2"};
        for (int i = 0; i < 10; ++i)
            if (strcasecmp(code, names[i]) == 0)
                teamCode = i + 1;
    }
    HideMarker(carrier);
    MultiStartPropList().AddHead(this);
    return GetFlags();
}

void MultiStartProp::Detach(MapObject*)
{
    MultiStartPropList().Remove(this);
}

std::uint32_t PlayerStartProp::Parse(MapObject* carrier, const char*)
{
    object = carrier;
    HideMarker(carrier);
    PlayerStartPropList().AddHead(this);
    return GetFlags();
}

void PlayerStartProp::Detach(MapObject*)
{
    PlayerStartPropList().Remove(this);
}

std::uint32_t FlagSpawnProp::Parse(MapObject* carrier, const char* line)
{
    object = carrier;
    LineTokens tokens(line);
    if (const char* first = tokens.Next())
        number = ReadPropWhole(first);
    HideMarker(carrier);
    FlagSpawnPropList().AddHead(this);
    return GetFlags();
}

void FlagSpawnProp::Detach(MapObject*)
{
    FlagSpawnPropList().Remove(this);
}

std::uint32_t ExitZoneProp::Parse(MapObject* carrier, const char*)
{
    HideMarker(carrier);
    return GetFlags();
}

Prop* CharacterPropFactory() { return MakeArenaProp<CharacterProp>(&CharacterPropFactory); }
Prop* NeutralPropFactory() { return MakeArenaProp<NeutralProp>(&NeutralPropFactory); }
Prop* StationaryPropFactory() { return MakeArenaProp<StationaryProp>(&StationaryPropFactory); }
Prop* InactivePropFactory() { return MakeArenaProp<InactiveProp>(&InactivePropFactory); }
Prop* SkillsPropFactory() { return MakeArenaProp<SkillsProp>(&SkillsPropFactory); }
Prop* MultiStartPropFactory() { return MakeArenaProp<MultiStartProp>(&MultiStartPropFactory); }
Prop* PlayerStartPropFactory() { return MakeArenaProp<PlayerStartProp>(&PlayerStartPropFactory); }
Prop* FlagSpawnPropFactory() { return MakeArenaProp<FlagSpawnProp>(&FlagSpawnPropFactory); }
Prop* ExitZonePropFactory() { return MakeArenaProp<ExitZoneProp>(&ExitZonePropFactory); }
