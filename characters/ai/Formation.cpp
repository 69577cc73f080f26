#include "characters/ai/Formation.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include <strings.h>

#include "engine/core/EngineLog.h"
#include "engine/filesystem/TextLines.h"
#include "platform/os/Directory.h"

namespace {

// The process-wide lists; whatever is left is freed at exit.
struct FormationRegistry {
    PtrListOf<FormationDefinition> definitions;
    PtrListOf<Formation> instances;

    void Free()
    {
        for (Formation* formation : instances)
            delete formation;
        instances.RemoveAll();
        for (FormationDefinition* definition : definitions)
            delete definition;
        definitions.RemoveAll();
    }
    ~FormationRegistry() { Free(); }
};

FormationRegistry& Registry()
{
    static FormationRegistry registry;
    return registry;
}

void FreeLinks(PtrListOf<FormationMember>& list)
{
    for (FormationMember* link : list)
        delete link;
    list.RemoveAll();
}

} // namespace

bool FormationDefinition::ParseSlots(std::string_view text, const char* path, std::vector<FormationSlot>& slots,
                                     const char*& why)
{
    int count = 0;
    bool first = true;
    // Read wide, so that a number beyond a float is clamped rather than cast out of range.
    std::vector<double> numbers;
    ForEachTextLine(text, FormationDefinition::kMaxLineLength, [&](std::string_view line) {
        if (first) {
            // Read wide: a count beyond an int must not wrap into range.
            const long read = std::strtol(std::string(line).c_str(), nullptr, 10);
            count = read >= 1 && read <= kMaxSlots ? int(read) : 0;
            first = false;
            return count >= 1 && count <= FormationDefinition::kMaxSlots;
        }
        std::size_t at = 0;
        while (numbers.size() < std::size_t(count) * 5) {
            at = line.find_first_not_of(" \t", at);
            if (at == std::string_view::npos)
                break;
            const std::size_t end = line.find_first_of(" \t", at);
            numbers.push_back(std::atof(std::string(line.substr(at, end - at)).c_str()));
            at = end;
        }
        return numbers.size() < std::size_t(count) * 5;
    });
    if (count < 1 || count > FormationDefinition::kMaxSlots) {
        why = "the slot count is not 1 to 64";
        return false;
    }
    if (numbers.size() < std::size_t(count) * 5) {
        why = "fewer numbers than its slots need";
        return false;
    }
    bool clamped = false;
    for (double& number : numbers) {
        if (!std::isfinite(number)) {
            why = "a number is not finite";
            return false;
        }
        if (std::fabs(number) > kMaxNumber) {
            number = std::clamp(number, -double(kMaxNumber), double(kMaxNumber));
            clamped = true;
        }
    }
    if (clamped)
        LogToEngine("Formation::LoadDirectory - %s: numbers beyond 1000000 are clamped", path ? path : "");
    slots.resize(std::size_t(count));
    for (std::size_t i = 0; i < slots.size(); ++i)
        slots[i] = {float(numbers[5 * i]), float(numbers[5 * i + 1]), float(numbers[5 * i + 2]),
                    float(numbers[5 * i + 3]), float(numbers[5 * i + 4])};
    return true;
}

Formation::Formation() = default;

Formation::~Formation()
{
    FreeLinks(members);
    FreeLinks(released);
    delete leaderLink;
    leaderLink = nullptr;
}

int Formation::GetSlotIndex(const FormationMember* link) const
{
    if (!link || !link->slot || !definition || definition->slots.empty())
        return -1;
    return static_cast<int>(link->slot - definition->slots.data());
}

void Formation::Renumber()
{
    if (!definition)
        return;
    int index = 0;
    for (PtrListNode* node = members.GetTail(); node; node = node->prev, ++index)
        PtrListOf<FormationMember>::ItemOf(node)->slot = &definition->slots[std::size_t(index)];
    if (leaderLink)
        leaderLink->slot = &definition->slots[0];
}

void Formation::LoadDirectory(const char* folder)
{
    if (!folder)
        return;
    const std::string pattern = std::string(folder) + "/*.for";
    for (const platform::os::DirectoryEntry& entry : platform::os::ListDirectory(pattern)) {
        if (entry.isDirectory)
            continue;
        const std::string path = std::string(folder) + "/" + entry.name;
        std::string text;
        if (!ReadDataText(path.c_str(), text))
            continue;
        auto definition = new FormationDefinition;
        definition->fileName = entry.name;
        const char* why = "";
        if (!FormationDefinition::ParseSlots(text, path.c_str(), definition->slots, why)) {
            LogToEngine("Formation::LoadDirectory - %s skipped: %s", path.c_str(), why);
            delete definition;
            continue;
        }
        Registry().definitions.AddHead(definition);
    }
}

const FormationDefinition* Formation::FindDefinition(const char* name)
{
    if (!name)
        return nullptr;
    for (PtrListNode* node = Registry().definitions.GetTail(); node; node = node->prev) {
        const FormationDefinition* definition = PtrListOf<FormationDefinition>::ItemOf(node);
        if (strcasecmp(definition->fileName.c_str(), name) == 0)
            return definition;
    }
    return nullptr;
}

Formation* Formation::Create(const char* name, FormationMember** link, Character* leader)
{
    if (link)
        *link = nullptr;
    const FormationDefinition* definition = FindDefinition(name);
    if (!definition) {
        LogToEngine("Formation::Create - no formation \"%s\"", name ? name : "(null)");
        return nullptr;
    }
    auto formation = new Formation;
    formation->definition = definition;
    formation->leaderLink = new FormationMember{formation, &definition->slots[0], leader};
    std::strncpy(formation->definitionName, name, kNameSize - 1);
    Registry().instances.AddHead(formation);
    if (link)
        *link = formation->leaderLink;
    return formation;
}

bool Formation::AddMember(Formation* formation, FormationMember** link, Character* member)
{
    if (link)
        *link = nullptr;
    if (!formation || !formation->definition)
        return false;
    const std::size_t slot = static_cast<std::size_t>(formation->members.GetCount());
    if (slot >= formation->definition->slots.size()) {
        LogToEngine("Formation::AddMember - \"%s\" has no slot left for another member", formation->definitionName);
        return false;
    }
    auto added = new FormationMember{formation, &formation->definition->slots[slot], member};
    formation->members.AddHead(added);
    if (link)
        *link = added;
    return true;
}

void Formation::RemoveMember(Formation* formation, FormationMember** link)
{
    if (!formation || !link || !*link)
        return;
    FormationMember* removed = *link;
    if (removed == formation->leaderLink) {
        formation->leaderLink = nullptr;
    } else if (!formation->members.Remove(removed) && !formation->released.Remove(removed)) {
        LogToEngine("Formation::RemoveMember - the link is not a member of \"%s\"", formation->definitionName);
        return;
    }
    delete removed;
    *link = nullptr;
    formation->Renumber();
}

bool Formation::SetDefinition(Formation* formation, const char* name)
{
    if (!formation)
        return false;
    const FormationDefinition* definition = FindDefinition(name);
    if (!definition) {
        LogToEngine("Formation::SetDefinition - no formation \"%s\"", name ? name : "(null)");
        return false;
    }
    if (std::size_t(formation->members.GetCount()) > definition->slots.size()) {
        LogToEngine("Formation::SetDefinition - \"%s\" has fewer slots than the %d members of \"%s\"", name,
                    formation->members.GetCount(), formation->definitionName);
        return false;
    }
    formation->definition = definition;
    std::memset(formation->definitionName, 0, kNameSize);
    std::strncpy(formation->definitionName, name, kNameSize - 1);
    formation->Renumber();
    return true;
}

void Formation::ChangeLeader(Formation* formation, FormationMember** oldLeaderLink, FormationMember** newLink,
                             Character* newLeader)
{
    if (!formation)
        return;
    const FormationSlot* slot =
        formation->leaderLink ? formation->leaderLink->slot : (formation->definition ? &formation->definition->slots[0] : nullptr);
    auto link = new FormationMember{formation, slot, newLeader};
    delete formation->leaderLink;
    formation->leaderLink = link;
    if (oldLeaderLink)
        *oldLeaderLink = nullptr;
    if (newLink)
        *newLink = link;
}

void Formation::GetSlotPosition(Vector3& position, const Vector3& anchor, const Matrix3& orientation,
                                const FormationMember* link)
{
    position = anchor;
    if (!link || !link->slot)
        return;
    const Vector3 side(orientation(0, 0), orientation(0, 1), orientation(0, 2));
    const Vector3 forward(orientation(2, 0), orientation(2, 1), orientation(2, 2));
    position += side * link->slot->side + forward * link->slot->forward;
}

void Formation::ClearMembers(Formation* formation)
{
    if (!formation)
        return;
    while (PtrListNode* node = formation->members.GetTail()) {
        formation->released.AddTail(PtrListOf<FormationMember>::ItemOf(node));
        delete formation->members.Unlink(node);
    }
}

void Formation::Destroy(Formation* formation)
{
    if (!formation)
        return;
    Registry().instances.Remove(formation);
    delete formation;
}

void Formation::FreeAll()
{
    Registry().Free();
}

const PtrListOf<FormationDefinition>& Formation::GetDefinitions()
{
    return Registry().definitions;
}

const PtrListOf<Formation>& Formation::GetInstances()
{
    return Registry().instances;
}
