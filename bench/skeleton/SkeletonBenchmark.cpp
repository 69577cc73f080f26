#include "bench/support/BenchmarkCommandLine.h"
#include "platform/skeleton/Deformer.h"
#include "platform/skeleton/ModelInstance.h"
#include "platform/skeleton/Pose.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <string>

using namespace platform::skeleton;

namespace {

constexpr int kBones = 40;
constexpr int kVertices = 10000;

// A branching skeleton of 40 bones: each bone hangs from the one two places before it.
Skeleton MakeSkeleton()
{
    Skeleton s;
    for (int b = 0; b < kBones; ++b) {
        Bone bone;
        bone.name = "bone" + std::to_string(b);
        bone.parent = b < 2 ? b - 1 : b - 2;
        bone.rest.translation = Vector3(0.1f * (b % 3), 1.0f, 0.0f);
        s.bones.push_back(bone);
    }
    return s;
}

// Every bone keyed: 31 rotation and translation keys over 3 s, different per animation.
Animation MakeAnimation(int seed)
{
    Animation a;
    a.name = "anim" + std::to_string(seed);
    a.duration = 3.0f;
    for (int b = 0; b < kBones; ++b) {
        BoneTrack t;
        t.boneName = "bone" + std::to_string(b);
        for (int k = 0; k <= 30; ++k) {
            const float time = 0.1f * static_cast<float>(k);
            const float angle = 0.5f * std::sin(time * (1.0f + 0.1f * static_cast<float>(seed + b)));
            t.rotation.times.push_back(time);
            t.rotation.values.insert(t.rotation.values.end(), {std::sin(angle * 0.5f), 0.0f, 0.0f, std::cos(angle * 0.5f)});
            t.translation.times.push_back(time);
            t.translation.values.insert(t.translation.values.end(), {0.0f, 1.0f + 0.1f * angle, 0.0f});
        }
        a.tracks.push_back(std::move(t));
    }
    return a;
}

Mesh MakeMesh()
{
    Mesh m;
    for (int b = 0; b < kBones; ++b)
        m.bones.push_back({"bone" + std::to_string(b), {}, {}});
    for (int i = 0; i < kVertices; ++i) {
        MeshVertex v;
        v.position = Vector3(static_cast<float>(i % 17), static_cast<float>(i % 23), static_cast<float>(i % 29));
        v.normal = Vector3(0.0f, 1.0f, 0.0f);
        for (int k = 0; k < 4; ++k)
            v.bones[k] = static_cast<std::uint8_t>((i + 7 * k) % kBones);
        v.weights[0] = 0.4f;
        v.weights[1] = 0.3f;
        v.weights[2] = 0.2f;
        v.weights[3] = 0.1f;
        m.vertices.push_back(v);
    }
    return m;
}

// A posed world pose with distinct composite matrices.
WorldPose MakePose(const Skeleton& skeleton, const Animation& animation)
{
    ModelInstance instance(skeleton);
    instance.PlayAnimation(animation, 0.0f);
    instance.SetClock(1.3f);
    std::vector<Transform> local(skeleton.bones.size());
    instance.SampleAnimations(local);
    WorldPose pose(skeleton.BoneCount());
    BuildWorldPose(skeleton, local, nullptr, pose);
    return pose;
}

void SampleAndBlendFourAnimations(benchmark::State& state)
{
    const Skeleton skeleton = MakeSkeleton();
    const Animation animations[4] = {MakeAnimation(0), MakeAnimation(1), MakeAnimation(2), MakeAnimation(3)};
    ModelInstance instance(skeleton);
    for (int i = 0; i < 4; ++i) {
        AnimationControl* c = instance.PlayAnimation(animations[i], -0.3f * static_cast<float>(i));
        c->SetWeight(0.25f + 0.25f * static_cast<float>(i));
        c->SetSpeed(0.8f + 0.1f * static_cast<float>(i));
    }
    std::vector<Transform> local(skeleton.bones.size());
    WorldPose pose(skeleton.BoneCount());
    float clock = 0.0f;
    for (auto _ : state) {
        clock += 1.0f / 60.0f;
        instance.SetClock(clock);
        instance.SampleAnimations(local);
        BuildWorldPose(skeleton, local, nullptr, pose);
        benchmark::DoNotOptimize(pose.Composites().data());
    }
}
BENCHMARK(SampleAndBlendFourAnimations);

void SkinWithDeformer(benchmark::State& state)
{
    const Skeleton skeleton = MakeSkeleton();
    const Mesh mesh = MakeMesh();
    const WorldPose pose = MakePose(skeleton, MakeAnimation(5));
    const MeshBinding binding(mesh, skeleton);
    std::vector<DeformedVertex> out(mesh.vertices.size());
    for (auto _ : state) {
        DeformVertices(binding, pose.Composites(), out);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kVertices);
}
BENCHMARK(SkinWithDeformer);

// The baseline: the plain loop a competent engineer would write for the same job, doing exactly
// the deformer's work. Like the deformer it turns the bone map into a table of matrix pointers
// once per call (so a vertex reaches its matrices with one lookup), blends only the twelve
// elements a point and a normal use (the 3x3 part and the translation) with the first bone
// setting them, and stops at a vertex's first zero weight, since influences are sorted strongest
// first. Written as scalars: plain loops over all sixteen elements, or over the twelve with nested
// loops, measured slower. Its vertices are checked against the deformer's before timing.
void SkinWithReferenceLoop(benchmark::State& state)
{
    const Skeleton skeleton = MakeSkeleton();
    const Mesh mesh = MakeMesh();
    const WorldPose pose = MakePose(skeleton, MakeAnimation(5));
    const MeshBinding binding(mesh, skeleton);
    const std::span<const int> map = binding.BoneMap();
    const std::span<const Matrix4> composites = pose.Composites();
    std::vector<DeformedVertex> out(mesh.vertices.size());
    std::vector<DeformedVertex> expected(mesh.vertices.size());
    if (!DeformVertices(binding, composites, expected)) {
        state.SkipWithError("the deformer refused the mesh");
        return;
    }
    bool checked = false;
    for (auto _ : state) {
        const float* table[kMaxBones];
        for (std::size_t b = 0; b < static_cast<std::size_t>(kMaxBones); ++b)
            table[b] = composites[b < map.size() ? static_cast<std::size_t>(map[b]) : 0].m;
        const MeshVertex* vertices = mesh.vertices.data();
        DeformedVertex* deformed = out.data();
        const std::size_t count = mesh.vertices.size();
        for (std::size_t i = 0; i < count; ++i) {
            const MeshVertex& v = vertices[i];
            // Rows 0-2 of the 3x3 part, then the translation; the first bone sets, the rest add.
            const float* a = table[v.bones[0]];
            float w = v.weights[0];
            float m00 = a[0] * w, m01 = a[1] * w, m02 = a[2] * w;
            float m10 = a[4] * w, m11 = a[5] * w, m12 = a[6] * w;
            float m20 = a[8] * w, m21 = a[9] * w, m22 = a[10] * w;
            float t0 = a[12] * w, t1 = a[13] * w, t2 = a[14] * w;
            for (int k = 1; k < 4 && v.weights[k] != 0.0f; ++k) {
                a = table[v.bones[k]];
                w = v.weights[k];
                m00 += a[0] * w; m01 += a[1] * w; m02 += a[2] * w;
                m10 += a[4] * w; m11 += a[5] * w; m12 += a[6] * w;
                m20 += a[8] * w; m21 += a[9] * w; m22 += a[10] * w;
                t0 += a[12] * w; t1 += a[13] * w; t2 += a[14] * w;
            }
            const Vector3& p = v.position;
            const Vector3& n = v.normal;
            DeformedVertex& d = deformed[i];
            d.position[0] = p.x * m00 + p.y * m10 + p.z * m20 + t0;
            d.position[1] = p.x * m01 + p.y * m11 + p.z * m21 + t1;
            d.position[2] = p.x * m02 + p.y * m12 + p.z * m22 + t2;
            d.normal[0] = n.x * m00 + n.y * m10 + n.z * m20;
            d.normal[1] = n.x * m01 + n.y * m11 + n.z * m21;
            d.normal[2] = n.x * m02 + n.y * m12 + n.z * m22;
            d.uv[0] = v.u;
            d.uv[1] = v.v;
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
        if (!checked) {
            checked = true;
            if (std::memcmp(out.data(), expected.data(), out.size() * sizeof(DeformedVertex)) != 0) {
                state.SkipWithError("the reference loop and the deformer disagree");
                break;
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * kVertices);
}
BENCHMARK(SkinWithReferenceLoop);

} // namespace

BEXAL_BENCHMARK_MAIN()
