#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/Matrix.h"
#include "platform/skeleton/Runtime.h"

class Device;
struct Material;

// One mesh of a model, ready to pose and draw: its binding to the model's own skeleton, its
// triangle groups as rebased 16-bit index lists, and per vertex the bone it follows most.
struct SkinnedMesh {
    struct Group {
        std::uint32_t lowestVertex = 0;
        std::uint32_t vertexCount = 0; // highest - lowest + 1
        std::vector<std::uint16_t> indices;
        Material* material = nullptr; // null when the group's texture matched no material
    };

    std::uint32_t nameHash = 0;
    const platform::skeleton::Mesh* mesh = nullptr;
    std::unique_ptr<platform::skeleton::MeshBinding> binding;
    std::vector<Group> groups;
    std::vector<platform::skeleton::DeformedVertex> rigidVertices; // rigid meshes only
    // Rigid: the skeleton bone of the mesh; deformed: each vertex's strongest mesh bone.
    std::vector<std::uint8_t> vertexBones;

    bool IsRigid() const { return mesh->rigid; }
};

// A model or animation file shared by every node that loaded the same path. Owned by the cache;
// freed when its last reference is dropped.
struct GrannyFileEntry {
    std::uint32_t nameHash = 0;
    std::string path; // as first given; confirms a hash match
    std::unique_ptr<platform::skeleton::File> file;
    int references = 0;

    // Filled by the first model load of the file (an animation load leaves them empty).
    bool modelReady = false;
    std::vector<std::unique_ptr<SkinnedMesh>> meshes;
    std::vector<Matrix4> restPose; // each bone's world matrix at rest
    std::vector<Material*> materials; // owned, with their textures; index 0 is the list's head

    ~GrannyFileEntry();

    const platform::skeleton::Model& GetModel() const { return file->models.front(); }
    const platform::skeleton::Skeleton& GetSkeleton() const;
};

// The process-wide cache of loaded ".gr2" files, newest first, keyed by PackFileHashName of the
// path, so paths that differ only in letter case share one entry.
class GrannyFileCache {
public:
    // The cached entry for the path, or null.
    static GrannyFileEntry* Find(const char* path);
    // Reads and converts the file; it joins the cache with no references yet. Throws q3DError
    // "Can't load %s" (missing, unreadable or not a container) or "Can't get info for file %s"
    // (a container whose contents are refused); the reader's reason goes to the engine log.
    static GrannyFileEntry* Read(const char* path, Device* logDevice);
    // Drops one reference; at 0 the entry leaves the cache and is freed.
    static void Release(GrannyFileEntry* entry);
    static int EntryCount();
};
