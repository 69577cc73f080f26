#include "platform/skeleton/BasisConversion.h"

#include <algorithm>
#include <cmath>

namespace platform::skeleton {

namespace {

float Determinant(const Matrix3& m)
{
    return m(0, 0) * (m(1, 1) * m(2, 2) - m(1, 2) * m(2, 1)) - m(0, 1) * (m(1, 0) * m(2, 2) - m(1, 2) * m(2, 0)) +
           m(0, 2) * (m(1, 0) * m(2, 1) - m(1, 1) * m(2, 0));
}

Matrix4 Expand(const Matrix3& m)
{
    Matrix4 r;
    r.SetRotation(m);
    return r;
}

class Converter {
public:
    explicit Converter(const BasisConversion& c)
        : linear(c.linear), inverseLinear(c.inverseLinear), linear4(Expand(c.linear)),
          inverseLinear4(Expand(c.inverseLinear)), normalMatrix(c.inverseLinear.Transpose()),
          mirrors(Determinant(c.linear) < 0.0f)
    {
    }

    Vector3 Point(const Vector3& p) const { return linear.Transform(p); }

    Vector3 Normal(const Vector3& n) const
    {
        Vector3 r = normalMatrix.Transform(n);
        return r.Normalize();
    }

    Matrix4 Conjugate(const Matrix4& m) const { return inverseLinear4 * m * linear4; }

    Quaternion Rotation(const Quaternion& q) const
    {
        const Matrix3 r = inverseLinear * q.ToMatrix3() * linear;
        Quaternion result;
        result.FromMatrix3(r);
        // Keep the sign of the original, so neighbouring keys stay on one side.
        if (result.x * q.x + result.y * q.y + result.z * q.z + result.w * q.w < 0.0f)
            result = Quaternion(-result.x, -result.y, -result.z, -result.w);
        return result;
    }

    Vector3 Scale(const Vector3& s) const
    {
        Matrix3 d;
        d(0, 0) = s.x;
        d(1, 1) = s.y;
        d(2, 2) = s.z;
        const Matrix3 r = inverseLinear * d * linear;
        return Vector3(r(0, 0), r(1, 1), r(2, 2));
    }

    Transform Local(const Transform& t) const
    {
        Transform r;
        r.translation = Point(t.translation);
        r.rotation = Rotation(t.rotation);
        r.scale = Scale(t.scale);
        return r;
    }

    void Box(Vector3& boxMin, Vector3& boxMax) const
    {
        Vector3 lo(3.4e38f, 3.4e38f, 3.4e38f);
        Vector3 hi(-3.4e38f, -3.4e38f, -3.4e38f);
        for (int corner = 0; corner < 8; ++corner) {
            const Vector3 p((corner & 1) ? boxMax.x : boxMin.x, (corner & 2) ? boxMax.y : boxMin.y,
                            (corner & 4) ? boxMax.z : boxMin.z);
            const Vector3 q = Point(p);
            lo = Vector3(std::min(lo.x, q.x), std::min(lo.y, q.y), std::min(lo.z, q.z));
            hi = Vector3(std::max(hi.x, q.x), std::max(hi.y, q.y), std::max(hi.z, q.z));
        }
        boxMin = lo;
        boxMax = hi;
    }

    void Keys(Curve& curve, int components) const
    {
        for (std::size_t i = 0; i + static_cast<std::size_t>(components) <= curve.values.size();
             i += static_cast<std::size_t>(components)) {
            float* v = &curve.values[i];
            if (components == 4) {
                const Quaternion q = Rotation(Quaternion(v[0], v[1], v[2], v[3]));
                v[0] = q.x; v[1] = q.y; v[2] = q.z; v[3] = q.w;
            }
        }
    }

    void Vectors(Curve& curve, bool isScale) const
    {
        for (std::size_t i = 0; i + 3 <= curve.values.size(); i += 3) {
            float* v = &curve.values[i];
            const Vector3 r = isScale ? Scale(Vector3(v[0], v[1], v[2])) : Point(Vector3(v[0], v[1], v[2]));
            v[0] = r.x; v[1] = r.y; v[2] = r.z;
        }
    }

    bool Mirrors() const { return mirrors; }

private:
    Matrix3 linear;
    Matrix3 inverseLinear;
    Matrix4 linear4;
    Matrix4 inverseLinear4;
    Matrix3 normalMatrix;
    bool mirrors;
};

} // namespace

bool ComputeBasisConversion(const Vector3& right, const Vector3& up, const Vector3& back, BasisConversion& out)
{
    const float scale = right.Length();
    if (!(scale > 0.0f) || !std::isfinite(scale))
        return false;
    const float tolerance = 1e-4f * scale * scale;
    if (std::fabs(up.LengthSquared() - scale * scale) > tolerance ||
        std::fabs(back.LengthSquared() - scale * scale) > tolerance || std::fabs(Dot(right, up)) > tolerance ||
        std::fabs(Dot(right, back)) > tolerance || std::fabs(Dot(up, back)) > tolerance)
        return false;
    Matrix3 m;
    const Vector3 rows[3] = {right, up, back};
    for (int r = 0; r < 3; ++r) {
        m(r, 0) = rows[r].x;
        m(r, 1) = rows[r].y;
        m(r, 2) = rows[r].z;
    }
    out.linear = m;
    // An orthogonal basis scaled by s inverts as its transpose over s squared.
    out.inverseLinear = m.Transpose();
    for (float& v : out.inverseLinear.m)
        v /= scale * scale;
    return true;
}

BasisConversion EngineBasisConversion()
{
    BasisConversion c;
    ComputeBasisConversion(Vector3(0.1f, 0.0f, 0.0f), Vector3(0.0f, 0.1f, 0.0f), Vector3(0.0f, 0.0f, -0.1f), c);
    return c;
}

void TransformFile(File& file, const BasisConversion& conversion)
{
    const Converter c(conversion);
    for (Skeleton& skeleton : file.skeletons) {
        for (Bone& bone : skeleton.bones) {
            bone.rest = c.Local(bone.rest);
            bone.inverseWorld = c.Conjugate(bone.inverseWorld);
        }
    }
    for (Mesh& mesh : file.meshes) {
        for (MeshVertex& v : mesh.vertices) {
            v.position = c.Point(v.position);
            v.normal = c.Normal(v.normal);
        }
        if (c.Mirrors()) {
            for (std::size_t i = 0; i + 2 < mesh.indices.size(); i += 3)
                std::swap(mesh.indices[i + 1], mesh.indices[i + 2]);
        }
        for (MeshBone& bone : mesh.bones)
            c.Box(bone.boxMin, bone.boxMax);
    }
    for (Animation& animation : file.animations) {
        for (BoneTrack& track : animation.tracks) {
            track.constant = c.Local(track.constant);
            c.Vectors(track.translation, false);
            c.Keys(track.rotation, 4);
            c.Vectors(track.scale, true);
        }
    }
}

} // namespace platform::skeleton
