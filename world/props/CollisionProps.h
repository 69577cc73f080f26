#pragma once

#include <vector>

#include "world/props/Prop.h"

class qMesh;
struct Material;

// The four props the collision query reads of a map object. They only mark the object or carry
// data; the query finds them with MapObject::FindProp by their factories.

// "nocollision": the object never collides.
Prop* NoCollisionPropFactory();
// "alwayscollide": the object collides while hidden too.
Prop* AlwaysCollidePropFactory();
// "colmesh <model>": a model of the object folder that collides in place of the object's own.
Prop* ColMeshPropFactory();
// "nocollisionalpha <material> ...": of the object's materials that are not opaque, only the
// named ones collide.
Prop* NoCollisionAlphaPropFactory();

class ColMeshProp : public Prop {
public:
    ~ColMeshProp() override;
    std::uint32_t Parse(MapObject* object, const char* line) override;
    std::uint32_t GetFlags() override { return PropMarker; }
    qMesh* mesh = nullptr; // owned
};

class NoCollisionAlphaProp : public Prop {
public:
    std::uint32_t Parse(MapObject* object, const char* line) override;
    std::uint32_t GetFlags() override { return PropMarker; }
    std::vector<const Material*> materials;
};

void RegisterCollisionPropKeywords(class World& world);
