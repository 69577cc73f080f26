#pragma once

#include "platform/skeleton/MeshBinding.h"

#include <span>

namespace platform::skeleton {

// Skins the binding's mesh into the caller's buffer: each vertex is carried by the weighted sum of
// its bones' composite matrices (indexed by skeleton bone), normals by the same sum without the
// translation. False, with nothing written, when the destination holds fewer vertices than the
// mesh, there are no composite matrices or a bound bone has none.
bool DeformVertices(const MeshBinding& binding, std::span<const Matrix4> composites,
                    std::span<DeformedVertex> destination);

} // namespace platform::skeleton
