#include "items/ItemDefinition.h"
#include "items/DefinitionLines.h"

#include "engine/core/EngineLog.h"
#include "engine/core/q3DError.h"
#include "engine/filesystem/PackFile.h"
#include "platform/os/Directory.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>


long BoundedDefinitionInt(const std::string& text, long low, long high, const char* path, const char* field)
{
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value >= low && value <= high)
        return value;
    const long used = std::clamp(value, low, high);
    LogToEngine("%s: %s %ld is outside %ld to %ld; %ld is used", path, field, value, low, high, used);
    return used;
}

float FiniteDefinitionFloat(const std::string& text, const char* path, const char* field, float limit)
{
    const float value = std::strtof(text.c_str(), nullptr);
    if (std::fabs(value) <= limit)
        return value;
    if (!std::isfinite(value)) {
        LogToEngine("%s: %s \"%s\" is not a finite number; 0 is used", path, field, text.c_str());
        return 0.0f;
    }
    LogToEngine("%s: %s %g is beyond %g; clamped", path, field, double(value), double(limit));
    return std::clamp(value, -limit, limit);
}

void ParseItemDefinition(std::string_view text, const char* path, ItemDefinition& definition)
{
    definition = ItemDefinition{};
    CopyBounded(definition.path, std::string(path ? path : ""));
    // A zero byte ends the text, as it ends the buffer the file is read into.
    std::size_t zero = text.find('\0');
    if (zero != std::string_view::npos)
        text = text.substr(0, zero);

    DefinitionLines lines{text};
    CopyBounded(definition.name, lines.Next());
    CopyBounded(definition.displayText, lines.Next());
    std::string icon = lines.Next();
    if (!icon.empty() && icon[0] != '-')
        CopyBounded(definition.iconPath, icon);
    const char* file = definition.path;
    // Weights are summed with the unit count: bounded, the total stays finite.
    constexpr float kMaxWeight = 1.0e6f;
    definition.baseWeight = FiniteDefinitionFloat(lines.Next(), file, "weight", kMaxWeight);
    definition.unitWeight = FiniteDefinitionFloat(lines.Next(), file, "unit weight", kMaxWeight);
    definition.unitCount = std::int32_t(BoundedDefinitionInt(lines.Next(), -1, kMaxDefinitionCount, file, "unit count"));
    definition.kind = std::int32_t(BoundedDefinitionInt(lines.Next(), INT32_MIN, INT32_MAX, file, "slot"));
    definition.restriction = std::int32_t(BoundedDefinitionInt(lines.Next(), INT32_MIN, INT32_MAX, file, "restriction"));
    CopyBounded(definition.keyword, lines.Next());
    CopyBounded(definition.animationSet, lines.Next());
    CopyBounded(definition.killMessage, lines.Next());
    CopyBounded(definition.teamKillMessage, lines.Next());
    CopyBounded(definition.suicideMessage, lines.Next());
    CopyBounded(definition.worldModel, lines.Next());
    definition.totalWeight = float(definition.unitCount) * definition.unitWeight + definition.baseWeight;
    definition.classDataOffset = std::int32_t(lines.position);
}

bool LoadItemDefinition(const char* path, ItemDefinition& definition)
{
    std::vector<std::uint8_t> bytes;
    if (!PackFileReadAll(path, bytes))
        return false;
    ParseItemDefinition(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), path,
                        definition);
    return true;
}

ItemDefinition& ItemDefinitionList::Insert(std::unique_ptr<ItemDefinition> definition)
{
    auto it = definitions.begin();
    for (; it != definitions.end(); ++it) {
        int order = std::strcmp((*it)->name, definition->name);
        if (order == 0)
            throw q3DError("Duplicate item name for item %s", definition->name);
        if (order > 0)
            break;
    }
    return **definitions.insert(it, std::move(definition));
}

const ItemDefinition* ItemDefinitionList::Find(const char* name) const
{
    for (const auto& definition : definitions)
        if (std::strcmp(definition->name, name) == 0)
            return definition.get();
    return nullptr;
}

void ItemDefinitionList::RemoveKind(std::int32_t kind)
{
    std::erase_if(definitions, [kind](const auto& definition) { return definition->kind == kind; });
}

int LoadItemDefinitionFolder(ItemDefinitionList& list, bool networkClient)
{
    static constexpr const char* folders[] = {"GameData/Items/"};
    int added = 0;
    for (const char* folder : folders) {
        const std::string prefix = networkClient ? std::string("MultiTXT/") + folder : std::string(folder);
        for (const auto& entry : platform::os::ListDirectory(prefix + "*.idf")) {
            if (entry.isDirectory)
                continue;
            const std::string path = prefix + entry.name;
            auto definition = std::make_unique<ItemDefinition>();
            if (!LoadItemDefinition(path.c_str(), *definition))
                continue;
            list.Insert(std::move(definition));
            ++added;
        }
    }
    return added;
}

std::vector<std::string> ReadDefinitionLines(const ItemDefinition& definition, std::int32_t offset, int count)
{
    std::vector<std::uint8_t> bytes;
    if (!PackFileReadAll(definition.path, bytes))
        throw q3DError("Can't load %s!", definition.path);
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const std::size_t zero = text.find('\0');
    if (zero != std::string_view::npos)
        text = text.substr(0, zero);
    const std::size_t start = offset < 0 ? text.size() : std::min(std::size_t(offset), text.size());
    DefinitionLines lines{text, start};
    std::vector<std::string> values;
    for (int i = 0; i < count; ++i)
        values.push_back(lines.Next());
    return values;
}
