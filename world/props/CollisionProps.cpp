#include "world/props/CollisionProps.h"

#include <cstring>
#include <string>
#include <strings.h>

#include "engine/core/q3DError.h"
#include "engine/material/Material.h"
#include "engine/material/q3DModelReader.h"
#include "engine/mesh/ModelMesh.h"
#include "renderer/Device.h"
#include "world/props/PropArena.h"
#include "world/World.h"

namespace {

class NoCollisionProp : public Prop {
public:
    std::uint32_t Parse(MapObject*, const char*) override { return PropMarker; }
    std::uint32_t GetFlags() override { return PropMarker; }
};

class AlwaysCollideProp : public Prop {
public:
    std::uint32_t Parse(MapObject*, const char*) override { return PropMarker; }
    std::uint32_t GetFlags() override { return PropMarker; }
};

// The words of a property line after its keyword.
std::vector<std::string> Arguments(const char* line)
{
    std::vector<std::string> words;
    char copy[256];
    std::strncpy(copy, line ? line : "", sizeof(copy) - 1);
    copy[sizeof(copy) - 1] = '\0';
    char* state = nullptr;
    for (char* word = strtok_r(copy, " \n", &state); word; word = strtok_r(nullptr, " \n", &state))
        words.emplace_back(word);
    if (!words.empty())
        words.erase(words.begin());
    return words;
}

} // namespace

ColMeshProp::~ColMeshProp() { delete mesh; }

std::uint32_t ColMeshProp::Parse(MapObject* object, const char* line)
{
    World* world = World::Current();
    const std::vector<std::string> words = Arguments(line);
    if (!world || !world->map || words.empty()) {
        if (world && world->device)
            world->device->Log("colmesh needs a model file; ignored");
        return PropOneShot;
    }
    mesh = world->LoadModelMesh(words[0].c_str());
    return PropMarker;
}

std::uint32_t NoCollisionAlphaProp::Parse(MapObject* object, const char* line)
{
    const LibraryObject* library = object->GetLibraryEntry();
    if (!library || !library->mesh)
        return PropMarker;
    for (const std::string& name : Arguments(line))
        for (const Material* material : library->mesh->GetMaterials())
            if (strcasecmp(material->name, name.c_str()) == 0)
                materials.push_back(material);
    return PropMarker;
}

Prop* NoCollisionPropFactory() { return MakeArenaProp<NoCollisionProp>(NoCollisionPropFactory); }
Prop* AlwaysCollidePropFactory() { return MakeArenaProp<AlwaysCollideProp>(AlwaysCollidePropFactory); }
Prop* ColMeshPropFactory() { return MakeArenaProp<ColMeshProp>(ColMeshPropFactory); }
Prop* NoCollisionAlphaPropFactory() { return MakeArenaProp<NoCollisionAlphaProp>(NoCollisionAlphaPropFactory); }

void RegisterCollisionPropKeywords(World& world)
{
    world.RegisterPropKeyword("nocollisionalpha", NoCollisionAlphaPropFactory);
    world.RegisterPropKeyword("nocollision", NoCollisionPropFactory);
    world.RegisterPropKeyword("colmesh", ColMeshPropFactory);
    world.RegisterPropKeyword("alwayscollide", AlwaysCollidePropFactory);
}
