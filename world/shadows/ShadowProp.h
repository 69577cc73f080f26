#pragma once

#include <vector>

#include "engine/core/Quaternion.h"
#include "world/props/Prop.h"
#include "world/shadows/ShadowVolume.h"

class qMesh;

// The "dynshadow" property: the object casts a stencil shadow along the sun. The volume is rebuilt
// only when the object turns or is rescaled, and handed to the world's shadow pass every frame.
class DynShadowProp : public Prop {
public:
    // "dynshadow [maximum distance [library entry]]".
    std::uint32_t Parse(MapObject* object, const char* line) override;
    void PostDraw(MapObject* object, float dt) override;
    void Detach(MapObject* object) override;
    std::uint32_t GetFlags() override { return PropPostDraw; }

    qMesh* caster = nullptr;      // the library mesh the shadow is cast from
    float maximumDistance = -1.0f; // -1: unlimited
    ShadowMesh mesh;               // read from the caster on the first build
    std::vector<ShadowEdge> edges, openEdges;
    bool open = false;
    bool built = false;
    Quaternion builtRotation;
    float builtScale = 0.0f;
    ShadowVolume volume;
};

Prop* DynShadowPropFactory();
