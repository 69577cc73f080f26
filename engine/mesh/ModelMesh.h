#pragma once

#include "engine/mesh/qMesh.h"

// What a model file ends in: one indexed prim per material, made by welding equal vertices of a
// mesh of one-triangle prims.
class ModelMesh : public qMesh {
public:
    // The welding copy. Throws q3DError when a prim cannot be made, also when a material would
    // need more vertices than 16-bit indices reach.
    explicit ModelMesh(const qMesh& source);
    // A plain copy (qMesh::CopyFrom).
    ModelMesh(const qMesh& source, bool plain);
    ~ModelMesh() override;

    // Smoothed normals over indexed triangle lists.
    void ComputeNormals() override;
};
