#include "platform/skeleton/FileData.h"

#include <algorithm>

namespace platform::skeleton {

namespace {

char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Index of the key at or before time (0 before the first key) and the blend towards the next.
void FindSegment(const std::vector<float>& times, float time, std::size_t& key, float& blend)
{
    const std::size_t count = times.size();
    if (count == 1 || time <= times.front()) {
        key = 0;
        blend = 0.0f;
        return;
    }
    if (time >= times.back()) {
        key = count - 1;
        blend = 0.0f;
        return;
    }
    const auto next = std::upper_bound(times.begin(), times.end(), time);
    key = static_cast<std::size_t>(next - times.begin()) - 1;
    const float span = times[key + 1] - times[key];
    blend = span > 0.0f ? (time - times[key]) / span : 0.0f;
}

Vector3 SampleVector(const Curve& curve, float time)
{
    std::size_t key;
    float blend;
    FindSegment(curve.times, time, key, blend);
    const float* a = &curve.values[key * 3];
    const Vector3 first(a[0], a[1], a[2]);
    if (blend == 0.0f || curve.interpolation == Curve::Interpolation::Step)
        return first;
    const float* b = a + 3;
    return Vector3(a[0] + (b[0] - a[0]) * blend, a[1] + (b[1] - a[1]) * blend, a[2] + (b[2] - a[2]) * blend);
}

Quaternion SampleRotation(const Curve& curve, float time)
{
    std::size_t key;
    float blend;
    FindSegment(curve.times, time, key, blend);
    const float* a = &curve.values[key * 4];
    const Quaternion first(a[0], a[1], a[2], a[3]);
    if (blend == 0.0f || curve.interpolation == Curve::Interpolation::Step)
        return first;
    const float* b = a + 4;
    return Slerp(first, Quaternion(b[0], b[1], b[2], b[3]), blend);
}

} // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    }
    return true;
}

int Skeleton::FindBone(std::string_view boneName) const
{
    for (std::size_t i = 0; i < bones.size(); ++i) {
        if (EqualsIgnoringCase(bones[i].name, boneName))
            return static_cast<int>(i);
    }
    return -1;
}

bool Mesh::CopyVertices(std::span<DeformedVertex> destination) const
{
    if (destination.size() < vertices.size())
        return false;
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        const MeshVertex& s = vertices[i];
        DeformedVertex& d = destination[i];
        d.position[0] = s.position.x; d.position[1] = s.position.y; d.position[2] = s.position.z;
        d.normal[0] = s.normal.x; d.normal[1] = s.normal.y; d.normal[2] = s.normal.z;
        d.uv[0] = s.u; d.uv[1] = s.v;
    }
    return true;
}

bool Mesh::CopyBoneIndices(std::span<std::uint8_t> destination) const
{
    if (destination.size() < vertices.size())
        return false;
    for (std::size_t i = 0; i < vertices.size(); ++i)
        destination[i] = vertices[i].bones[0];
    return true;
}

bool Mesh::CopyGroupIndices(const TriangleGroup& group, GroupIndices& out) const
{
    const std::size_t first = static_cast<std::size_t>(group.firstTriangle) * 3;
    const std::size_t count = static_cast<std::size_t>(group.triangleCount) * 3;
    if (group.firstTriangle < 0 || group.triangleCount < 0 || first > indices.size() || count > indices.size() - first)
        return false;
    std::uint32_t lowest = 0xFFFFFFFFu;
    std::uint32_t highest = 0;
    for (std::size_t i = first; i < first + count; ++i) {
        lowest = std::min(lowest, indices[i]);
        highest = std::max(highest, indices[i]);
    }
    if (count == 0)
        lowest = highest = 0;
    if (highest - lowest > 0xFFFFu)
        return false;
    out.lowestVertex = lowest;
    out.vertexCount = count == 0 ? 0 : highest - lowest + 1;
    out.indices.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        out.indices[i] = static_cast<std::uint16_t>(indices[first + i] - lowest);
    return true;
}

Transform BoneTrack::Sample(float time) const
{
    Transform t = constant;
    if (!translation.Empty())
        t.translation = SampleVector(translation, time);
    if (!rotation.Empty())
        t.rotation = SampleRotation(rotation, time);
    if (!scale.Empty())
        t.scale = SampleVector(scale, time);
    return t;
}

int Animation::FindTrack(std::string_view boneName) const
{
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        if (EqualsIgnoringCase(tracks[i].boneName, boneName))
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace platform::skeleton
