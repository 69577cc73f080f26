#pragma once

#include "platform/skeleton/FileData.h"

namespace platform::skeleton {

// A change of basis for a whole file: points go p x linear. Only uniform scales combined with
// rotations or mirrors are allowed, so bone rotations stay rotations.
struct BasisConversion {
    Matrix3 linear;
    Matrix3 inverseLinear;
};

// Where the file's right, up and back axes (glTF: +x, +y, +z, in metres) should end up; their
// lengths scale the file. False when they do not form a uniformly scaled orthogonal basis.
bool ComputeBasisConversion(const Vector3& right, const Vector3& up, const Vector3& back, BasisConversion& out);

// The engine's basis: right (0.1, 0, 0), up (0, 0.1, 0), back (0, 0, -0.1).
BasisConversion EngineBasisConversion();

// Moves everything in the file into the new basis: bind poses, rest poses, vertices and normals,
// bone boxes and animation keys. A mirroring conversion also reverses each triangle's winding,
// so faces keep facing outwards under the engine's clockwise convention.
void TransformFile(File& file, const BasisConversion& conversion);

} // namespace platform::skeleton
