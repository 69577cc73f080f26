#include "physics/OrientedBox.h"

void OrientedBoxCorners(const OrientedBox& box, Vector3d corners[8])
{
    static const int kSigns[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                                     {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};
    for (int c = 0; c < 8; ++c) {
        Vector3d p = box.centre;
        for (int k = 0; k < 3; ++k)
            p += box.axes[k] * (kSigns[c][k] * box.extents[k]);
        corners[c] = p;
    }
}

int PointInOrientedBox(const Vector3d& point, const OrientedBox& box, Vector3d& normal, double& depth)
{
    double local[3];
    for (int k = 0; k < 3; ++k) {
        local[k] = Dot(point - box.centre, box.axes[k]);
        if (!(std::fabs(local[k]) < box.extents[k]))
            return 0;
    }
    int best = 0;
    double bestDistance = 0.0;
    bool positive = false;
    for (int k = 0; k < 3; ++k) {
        const double toPositive = box.extents[k] - local[k];
        const double toNegative = box.extents[k] + local[k];
        const double distance = std::fmin(toPositive, toNegative);
        if (k == 0 || distance < bestDistance) {
            best = k;
            bestDistance = distance;
            positive = toPositive < toNegative;
        }
    }
    depth = bestDistance;
    normal = positive ? box.axes[best] : -box.axes[best];
    return positive ? best + 1 : -(best + 1);
}
