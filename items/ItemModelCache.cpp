#include "items/ItemModelCache.h"

#include <algorithm>
#include <list>
#include <memory>

#include "engine/filesystem/PackFile.h"
#include "engine/mesh/qMesh.h"
#include "platform/os/Path.h"

SharedMeshNode::~SharedMeshNode()
{
    // The cache owns whatever mesh the node shows.
    mesh = nullptr;
}

qMesh* SharedMeshNode::TakeMesh()
{
    qMesh* taken = mesh;
    mesh = nullptr;
    return taken;
}

namespace {

// The cache of the process; new records go to the front.
std::list<std::unique_ptr<ItemModelRecord>> records;

qMesh* LoadScaledMesh(Device* device, const char* path)
{
    SharedMeshNode node;
    node.Load(device, path, nullptr, 0);
    qMesh* mesh = node.TakeMesh();
    if (mesh) {
        mesh->Scale(0.1f);
        mesh->ComputeBounds();
        mesh->ComputeNormals();
    }
    return mesh;
}

bool Exists(const std::string& path)
{
    PackFileHandle file(PackFileOpen(path.c_str(), "rb"));
    return file != nullptr;
}

} // namespace

namespace ItemModelCache {

ItemModelRecord* Acquire(Device* device, const char* path)
{
    // Either slash names the same data path, so the key is taken with '/'.
    std::string key(path);
    std::replace(key.begin(), key.end(), '\\', '/');
    const std::uint32_t hash = PackFileHashName(key.c_str());
    for (auto& record : records)
        if (record->nameHash == hash && platform::os::SamePathName(record->path, path)) {
            ++record->referenceCount;
            return record.get();
        }

    auto record = std::make_unique<ItemModelRecord>();
    record->path = path;
    record->nameHash = hash;
    record->referenceCount = 1;
    record->mesh = LoadScaledMesh(device, path);
    // The reduced meshes sit beside the model: "folder/name_lod1.ext", then "_lod2" when lod1 exists.
    const std::string full(path);
    const std::size_t slash = full.find_last_of("/\\");
    const std::size_t dot = full.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string stem = hasExtension ? full.substr(0, dot) : full;
    const std::string extension = hasExtension ? full.substr(dot) : std::string();
    try {
        const std::string lod1 = stem + "_lod1" + extension;
        if (Exists(lod1)) {
            record->lod1 = LoadScaledMesh(device, lod1.c_str());
            const std::string lod2 = stem + "_lod2" + extension;
            if (Exists(lod2))
                record->lod2 = LoadScaledMesh(device, lod2.c_str());
        }
    } catch (...) {
        delete record->mesh;
        delete record->lod1;
        throw;
    }
    records.push_front(std::move(record));
    return records.front().get();
}

void Release(ItemModelRecord* record)
{
    if (!record)
        return;
    if (--record->referenceCount > 0)
        return;
    auto it = std::find_if(records.begin(), records.end(), [&](const auto& r) { return r.get() == record; });
    if (it == records.end())
        return;
    delete record->mesh;
    delete record->lod1;
    delete record->lod2;
    records.erase(it);
}

int Count()
{
    return int(records.size());
}

} // namespace ItemModelCache
