#include "engine/animation/GrannyFileEntry.h"

#include <algorithm>
#include <cstring>
#include <list>

#include "engine/core/EngineLog.h"
#include "engine/core/q3DError.h"
#include "engine/filesystem/PackFile.h"
#include "engine/mesh/qMesh.h"
#include "renderer/Device.h"

namespace {

std::list<GrannyFileEntry*>& Entries()
{
    static std::list<GrannyFileEntry*> entries;
    return entries;
}

bool SameName(const std::string& a, const char* b)
{
    return platform::skeleton::EqualsIgnoringCase(a, b);
}

bool IsContainer(const std::vector<std::uint8_t>& bytes)
{
    return bytes.size() >= 12 && std::memcmp(bytes.data(), "glTF", 4) == 0;
}

} // namespace

GrannyFileEntry::~GrannyFileEntry()
{
    for (Material* material : materials)
        DestroyMeshMaterial(material);
}

const platform::skeleton::Skeleton& GrannyFileEntry::GetSkeleton() const
{
    return file->skeletons[static_cast<std::size_t>(GetModel().skeleton)];
}

GrannyFileEntry* GrannyFileCache::Find(const char* path)
{
    const std::uint32_t hash = PackFileHashName(path);
    for (GrannyFileEntry* entry : Entries())
        if (entry->nameHash == hash && SameName(entry->path, path))
            return entry;
    return nullptr;
}

GrannyFileEntry* GrannyFileCache::Read(const char* path, Device* logDevice)
{
    std::vector<std::uint8_t> bytes;
    if (!PackFileReadAll(path, bytes) || !IsContainer(bytes))
        throw q3DError("Can't load %s", path);
    std::string reason;
    std::unique_ptr<platform::skeleton::File> file = platform::skeleton::ReadFile(bytes, reason);
    if (!file) {
        if (logDevice)
            logDevice->Log("%s: %s", path, reason.c_str());
        else
            LogToEngine("%s: %s", path, reason.c_str());
        throw q3DError("Can't get info for file %s", path);
    }
    platform::skeleton::TransformFile(*file, platform::skeleton::EngineBasisConversion());

    auto* entry = new GrannyFileEntry();
    entry->nameHash = PackFileHashName(path);
    entry->path = path;
    entry->file = std::move(file);
    Entries().push_front(entry);
    return entry;
}

void GrannyFileCache::Release(GrannyFileEntry* entry)
{
    if (!entry || --entry->references > 0)
        return;
    Entries().remove(entry);
    delete entry;
}

int GrannyFileCache::EntryCount()
{
    return static_cast<int>(Entries().size());
}
