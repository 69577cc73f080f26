#pragma once

#include "physics/DoubleMath.h"

struct OrientedBox {
    Vector3d centre;
    Vector3d axes[3];  // unit
    double extents[3] = {};  // half extents along the axes
};

// Centre + s0 e0 a0 + s1 e1 a1 + s2 e2 a2 with the signs (-,-,-), (+,-,-), (+,+,-), (-,+,-),
// (-,-,+), (+,-,+), (+,+,+), (-,+,+).
void OrientedBoxCorners(const OrientedBox& box, Vector3d corners[8]);

// 0 when the point lies outside or on the surface; otherwise +/-(k + 1) for the axis k of the
// nearest face (sign of its side), with that face's outward normal and the distance to it.
int PointInOrientedBox(const Vector3d& point, const OrientedBox& box, Vector3d& normal, double& depth);
