#include "platform/skeleton/Deformer.h"
#include "platform/skeleton/ModelInstance.h"
#include "platform/skeleton/Pose.h"

#include <benchmark/benchmark.h>

#include <cmath>
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

// The same weighted-matrix arithmetic written as the plainest loop over the same arrays (blending
// all sixteen elements turned out faster here than picking the twelve that are used).
void SkinWithReferenceLoop(benchmark::State& state)
{
    const Skeleton skeleton = MakeSkeleton();
    const Mesh mesh = MakeMesh();
    const WorldPose pose = MakePose(skeleton, MakeAnimation(5));
    const MeshBinding binding(mesh, skeleton);
    const std::span<const int> map = binding.BoneMap();
    const std::span<const Matrix4> composites = pose.Composites();
    std::vector<DeformedVertex> out(mesh.vertices.size());
    for (auto _ : state) {
        for (std::size_t i = 0; i < mesh.vertices.size(); ++i) {
            const MeshVertex& v = mesh.vertices[i];
            float m[16] = {};
            for (int k = 0; k < 4; ++k) {
                const float* a = composites[static_cast<std::size_t>(map[v.bones[k]])].m;
                for (int e = 0; e < 16; ++e)
                    m[e] += a[e] * v.weights[k];
            }
            DeformedVertex& d = out[i];
            for (int c = 0; c < 3; ++c) {
                d.position[c] = v.position.x * m[c] + v.position.y * m[4 + c] + v.position.z * m[8 + c] + m[12 + c];
                d.normal[c] = v.normal.x * m[c] + v.normal.y * m[4 + c] + v.normal.z * m[8 + c];
            }
            d.uv[0] = v.u;
            d.uv[1] = v.v;
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kVertices);
}
BENCHMARK(SkinWithReferenceLoop);

} // namespace

BENCHMARK_MAIN();
