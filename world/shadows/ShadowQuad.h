#pragma once

#include "engine/mesh/MeshNode.h"

class Device;

// A flat textured quad laid on the ground under a moving thing (a blob shadow). The node's
// position, rotation and scale place and size it.
class qShadow : public MeshNode {
public:
    static constexpr const char* kDefaultTexture = "gamedata/fx/shadow.tga";

    ~qShadow() override;
    // Builds the mesh, its prim and the "ShadowMat" material; texture null = the default shadow.
    // Throws q3DError.
    void Create(Device* device, const char* texture);
    // Drawn without depth writes and with the near plane pushed out a little, so it does not
    // fight the ground it lies on.
    bool Draw(Device* device) override;
};
