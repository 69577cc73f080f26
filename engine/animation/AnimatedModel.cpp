#include "engine/animation/AnimatedModel.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "engine/animation/GrannyFileEntry.h"
#include "engine/camera/Camera.h"
#include "engine/core/EngineLog.h"
#include "engine/core/q3DError.h"
#include "engine/filesystem/PackFile.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "engine/mesh/qMesh.h"
#include "platform/os/Path.h"
#include "platform/skeleton/Runtime.h"
#include "renderer/Device.h"

namespace skel = platform::skeleton;

namespace {

// Buffers every node shares: they live while at least one node is loaded.
struct SharedState {
    int loadCount = 0;
    std::vector<skel::Transform> localPose;      // sized for the largest skeleton loaded
    std::vector<skel::DeformedVertex> deformed; // sized for the largest mesh loaded
    Device* lastDevice = nullptr;                // the device of the last load, for log lines
};

SharedState& Shared()
{
    static SharedState state;
    return state;
}

void GrowShared(const GrannyFileEntry& entry)
{
    SharedState& shared = Shared();
    const std::size_t bones = entry.GetSkeleton().bones.size();
    if (shared.localPose.size() < bones)
        shared.localPose.resize(bones);
    for (const std::unique_ptr<SkinnedMesh>& mesh : entry.meshes) {
        const std::size_t count = mesh->mesh->vertices.size();
        if (shared.deformed.size() < count)
            shared.deformed.resize(count);
    }
}

// The drawing layout of DeformedVertex: position, normal, one texture coordinate.
VertexLayout DeformedLayout()
{
    VertexLayout layout;
    layout.offsets[VertexLayout::Position] = 0;
    layout.offsets[VertexLayout::Normal] = 12;
    layout.offsets[VertexLayout::TexCoord0] = 24;
    layout.vertexSize = 32;
    return layout;
}

Vector3 PositionOf(const skel::DeformedVertex& v)
{
    return Vector3(v.position[0], v.position[1], v.position[2]);
}

int MeshBoneOf(const skel::MeshBinding& binding)
{
    return binding.BoneMap().empty() ? 0 : binding.BoneMap()[0];
}

// Materials under construction: deleted with their textures unless handed over.
struct MaterialList {
    std::vector<Material*> items;
    ~MaterialList()
    {
        for (Material* material : items)
            DestroyMeshMaterial(material);
    }
};

void LoadTexture(Device* device, Material& material, const char* path)
{
    D3DBitmap* bitmap = device->CreateBitmap(&material.texture[0]);
    if (!bitmap)
        throw q3DError("%s: Can't load texture %s: %s", path, material.name, "out of memory");
    if (bitmap->Load(material.name, 0, 0) != 1)
        throw q3DError("%s: Can't load texture %s: %s", path, material.name,
                       bitmap->GetLastError() ? bitmap->GetLastError() : "");
    const int format = bitmap->GetFormat();
    int wanted = FormatR5G6B5;
    if (format == FormatA8R8G8B8 || format == FormatA1R5G5B5 || format == FormatA4R4G4B4 || format == FormatA8)
        wanted = FormatA4R4G4B4;
    else if (format == FormatDXT1 || format == FormatDXT3 || format == FormatDXT5)
        wanted = format;
    if (wanted != format && bitmap->Reformat(wanted) != 1)
        throw q3DError("%s: Can't load texture %s: %s", path, material.name,
                       bitmap->GetLastError() ? bitmap->GetLastError() : "");
}

} // namespace

ModelInstance::ModelInstance() = default;
ModelInstance::~ModelInstance() = default;

std::string MakeTexturePath(const char* textureFolder, const char* modelPath, const char* textureFileName)
{
    const platform::os::PathParts texture = platform::os::SplitPath(textureFileName ? textureFileName : "");
    if (textureFolder)
        return std::string(textureFolder) + texture.fname + texture.ext;
    const platform::os::PathParts model = platform::os::SplitPath(modelPath ? modelPath : "");
    return model.drive + model.dir + texture.fname + texture.ext;
}

AnimatedModel::~AnimatedModel()
{
    AnimatedModel::Release();
}

int AnimatedModel::GetLoadCount()
{
    return Shared().loadCount;
}

// ---------------------------------------------------------------------------------------------
// Loading and releasing

void AnimatedModel::Load(Device* newDevice, const char* path, const char* textureFolder, int)
{
    if (!path)
        throw q3DError("Can't load %s", "(null)");
    if (!newDevice)
        throw q3DError("Can't load %s: no device", path);
    // A second load replaces the model and everything played on it.
    if (file || instance)
        Release();
    device = newDevice;
    SetName(path);

    GrannyFileEntry* entry = GrannyFileCache::Find(path);
    if (!entry)
        entry = GrannyFileCache::Read(path, newDevice);
    ++entry->references;
    file = entry;
    if (!entry->modelReady)
        BuildModel(*entry, path, textureFolder);
    GrowShared(*entry);

    const skel::Skeleton& skeleton = entry->GetSkeleton();
    auto made = std::make_unique<ModelInstance>();
    made->instance = std::make_unique<skel::ModelInstance>(skeleton);
    made->pose = std::make_unique<skel::WorldPose>(skeleton.BoneCount());
    for (const std::unique_ptr<SkinnedMesh>& mesh : entry->meshes)
        made->bindings.push_back(mesh->binding.get());
    made->enabled.assign(entry->meshes.size(), 1);
    instance = std::move(made);

    SetMesh(new qMesh());
    mesh->Init(newDevice, 0);
    SharedState& shared = Shared();
    ++shared.loadCount;
    counted = true;
    shared.lastDevice = newDevice;
    UpdateTransform(0.0f);
}

void AnimatedModel::BuildModel(GrannyFileEntry& entry, const char* path, const char* textureFolder)
{
    const skel::File& data = *entry.file;
    if (data.models.empty())
        throw q3DError("%s has no models", path);
    if (data.models.size() > 1) {
        std::string names;
        for (const skel::Model& model : data.models)
            names += (names.empty() ? "" : ", ") + model.name;
        throw q3DError("%s has more than one model: %s", path, names.c_str());
    }
    const skel::Model& model = data.models.front();
    if (model.skeleton < 0 || std::size_t(model.skeleton) >= data.skeletons.size())
        throw q3DError("Can't get info for file %s", path);
    const skel::Skeleton& skeleton = data.skeletons[std::size_t(model.skeleton)];

    // One material per texture, the newest at the head, named after the texture's path.
    MaterialList materials;
    for (const skel::Texture& texture : data.textures) {
        auto* material = new Material();
        materials.items.insert(materials.items.begin(), material);
        const std::string name = MakeTexturePath(textureFolder, path, texture.fileName.c_str());
        std::snprintf(material->name, Material::kNameSize, "%s", name.c_str());
    }
    // The Material each of the file's materials draws with: its colour texture's name matched.
    std::vector<Material*> byFileMaterial(data.materials.size(), nullptr);
    for (std::size_t m = 0; m < data.materials.size(); ++m) {
        const int texture = data.materials[m].colourTexture;
        if (texture < 0 || std::size_t(texture) >= data.textures.size())
            continue;
        std::string name = MakeTexturePath(textureFolder, path, data.textures[std::size_t(texture)].fileName.c_str());
        name = name.substr(0, Material::kNameSize - 1);
        for (Material* material : materials.items)
            if (name == material->name) {
                byFileMaterial[m] = material;
                break;
            }
    }

    std::vector<std::unique_ptr<SkinnedMesh>> meshes;
    for (int meshIndex : model.meshes) {
        if (meshIndex < 0 || std::size_t(meshIndex) >= data.meshes.size())
            throw q3DError("Can't get info for file %s", path);
        const skel::Mesh& source = data.meshes[std::size_t(meshIndex)];
        auto mesh = std::make_unique<SkinnedMesh>();
        mesh->nameHash = PackFileHashName(source.name.c_str());
        mesh->mesh = &source;
        mesh->binding = std::make_unique<skel::MeshBinding>(source, skeleton);
        const std::size_t vertexCount = source.vertices.size();
        if (source.rigid) {
            mesh->vertexBones.assign(vertexCount, std::uint8_t(MeshBoneOf(*mesh->binding)));
            mesh->rigidVertices.resize(vertexCount);
            source.CopyVertices(mesh->rigidVertices);
        } else {
            mesh->vertexBones.resize(vertexCount);
            source.CopyBoneIndices(mesh->vertexBones);
        }
        // Each group gets its own index list, as long as the group needs (no fixed-size buffer).
        for (const skel::TriangleGroup& group : source.groups) {
            skel::GroupIndices indices;
            if (!source.CopyGroupIndices(group, indices)) {
                if (device)
                    device->Log("%s: triangle group of mesh \"%s\" does not fit 16-bit indices", path,
                                source.name.c_str());
                throw q3DError("Can't load %s", path);
            }
            SkinnedMesh::Group out;
            out.lowestVertex = indices.lowestVertex;
            out.vertexCount = indices.vertexCount;
            out.indices = std::move(indices.indices);
            if (group.material >= 0 && std::size_t(group.material) < byFileMaterial.size())
                out.material = byFileMaterial[std::size_t(group.material)];
            mesh->groups.push_back(std::move(out));
        }
        meshes.push_back(std::move(mesh));
    }

    // Materials no group draws with are dropped; the others get their textures.
    std::erase_if(materials.items, [&meshes](Material* material) {
        for (const std::unique_ptr<SkinnedMesh>& mesh : meshes)
            for (const SkinnedMesh::Group& group : mesh->groups)
                if (group.material == material)
                    return false;
        DestroyMeshMaterial(material);
        return true;
    });
    for (Material* material : materials.items)
        LoadTexture(device, *material, path);

    // The rest pose, once per file.
    std::vector<skel::Transform> rest(skeleton.bones.size());
    skel::WorldPose restPose(skeleton.BoneCount());
    skel::BuildRestPose(skeleton, rest);
    const Matrix4 identity;
    skel::BuildWorldPose(skeleton, rest, &identity, restPose);

    entry.restPose.assign(restPose.WorldMatrices().begin(), restPose.WorldMatrices().end());
    entry.meshes = std::move(meshes);
    entry.materials = std::move(materials.items);
    materials.items.clear();
    entry.modelReady = true;
}

void AnimatedModel::Release()
{
    while (!animations.empty())
        FreeAnimation(animations.front());
    playing.clear();
    delete mesh;
    mesh = nullptr;
    instance.reset();
    if (file) {
        GrannyFileCache::Release(file);
        file = nullptr;
    }
    skeletonSource = nullptr;
    if (counted) {
        counted = false;
        SharedState& shared = Shared();
        if (--shared.loadCount == 0) {
            shared.localPose = {};
            shared.deformed = {};
            shared.lastDevice = nullptr;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Animation controls

AnimationControl* AnimatedModel::Resolve(AnimationControl* control) const
{
    if (!control)
        return animations.empty() ? nullptr : animations.front();
    // Another node's control would tie its running control to this node's instance.
    return std::find(animations.begin(), animations.end(), control) != animations.end() ? control : nullptr;
}

AnimationControl* AnimatedModel::LoadAnimation(const char* path)
{
    if (!path)
        return nullptr;
    Device* logDevice = device ? device : Shared().lastDevice;
    GrannyFileEntry* entry = GrannyFileCache::Find(path);
    if (!entry)
        entry = GrannyFileCache::Read(path, logDevice);
    ++entry->references;
    if (entry->file->animations.empty()) {
        if (logDevice)
            logDevice->Log("LoadAnimation: No animation in file %s", path);
        else
            LogToEngine("LoadAnimation: No animation in file %s", path);
        GrannyFileCache::Release(entry);
        return nullptr;
    }
    auto* control = new AnimationControl();
    control->file = entry;
    animations.insert(animations.begin(), control);
    return control;
}

void AnimatedModel::FreeAnimation(AnimationControl* control)
{
    control = Resolve(control);
    if (!control)
        return;
    if (instance) {
        if (control->control)
            instance->instance->FreeControl(control->control);
        // A fading control must not outlive the animation file it samples.
        for (platform::skeleton::AnimationControl* fading : control->fading)
            instance->instance->FreeControl(fading);
    }
    std::erase(playing, control);
    std::erase(animations, control);
    GrannyFileCache::Release(control->file);
    delete control;
}

void AnimatedModel::PlayAnimation(float offset, AnimationControl* control, AnimatedModel* syncWith)
{
    control = Resolve(control);
    if (!control || !instance || IsPlaying(control))
        return;
    // A control that ran out of loops without being stopped still holds its last frame; it is
    // replaced, not left blending in for ever.
    if (control->control) {
        instance->instance->FreeControl(control->control);
        control->control = nullptr;
        std::erase(playing, control);
    }
    const float start = clock + offset;
    skel::AnimationControl* running =
        instance->instance->PlayAnimation(control->file->file->animations.front(), start);
    if (!running)
        return;
    control->control = running;
    control->startTime = start;
    running->SetSpeed(control->speed);
    running->SetLoopCount(control->loopCount);
    running->SetWeight(control->weight);
    if (control->easeIn > 0.0f)
        running->EaseIn(control->easeIn);
    if (syncWith && syncWith != this)
        for (const AnimationControl* other : syncWith->playing)
            if (other->file == control->file && other->control) {
                running->SetRawLocalClock(other->control->RawLocalClock());
                break;
            }
    playing.insert(playing.begin(), control);
}

void AnimatedModel::StopOne(float time, AnimationControl* control, bool easeOut)
{
    if (!control->control)
        return;
    if (time <= 0.0f) {
        if (instance)
            instance->instance->FreeControl(control->control);
    } else {
        // The runtime frees it once the completion time has passed.
        control->control->CompleteAt(clock + time);
        if (easeOut)
            control->control->EaseOut(time);
        control->fading.push_back(control->control);
    }
    control->control = nullptr;
    std::erase(playing, control);
}

void AnimatedModel::StopAnimation(float time, AnimationControl* control, bool easeOut)
{
    if (control) {
        if (Resolve(control))
            StopOne(time, control, easeOut);
        return;
    }
    for (AnimationControl* each : std::vector<AnimationControl*>(animations))
        StopOne(time, each, easeOut);
}

bool AnimatedModel::IsPlaying(AnimationControl* control)
{
    control = Resolve(control);
    if (!control || !control->control)
        return false;
    return control->control->LoopCount() == 0 || control->control->DurationLeft() > 0.0f;
}

int AnimatedModel::SetLoopCount(int count, AnimationControl* control)
{
    control = Resolve(control);
    if (!control)
        return 0;
    control->loopCount = std::max(count, 0);
    if (control->control)
        control->control->SetLoopCount(control->loopCount);
    return 1;
}

int AnimatedModel::SetWeight(float weight, AnimationControl* control)
{
    control = Resolve(control);
    if (!control)
        return 0;
    control->weight = weight;
    if (control->control)
        control->control->SetWeight(weight);
    return 1;
}

int AnimatedModel::SetSpeed(float speed, AnimationControl* control)
{
    control = Resolve(control);
    if (!control)
        return 0;
    control->speed = speed;
    if (control->control)
        control->control->SetSpeed(speed);
    return 1;
}

int AnimatedModel::GetLoopCount(AnimationControl* control)
{
    control = Resolve(control);
    if (!control)
        return -1;
    return control->control ? control->control->LoopCount() : control->loopCount;
}

void AnimatedModel::SetEaseInTime(float seconds, AnimationControl* control)
{
    if ((control = Resolve(control)))
        control->easeIn = seconds;
}

float AnimatedModel::GetClock(AnimationControl* control)
{
    control = Resolve(control);
    if (!control)
        return -1.0f;
    return control->control ? control->control->RawLocalClock() : 0.0f;
}

void AnimatedModel::SetClock(float seconds, AnimationControl* control)
{
    control = Resolve(control);
    if (control && control->control)
        control->control->SetRawLocalClock(seconds);
}

float AnimatedModel::GetDuration(AnimationControl* control)
{
    control = Resolve(control);
    if (!control)
        return -1.0f;
    return control->control ? control->control->Duration() : 0.0f;
}

void AnimatedModel::CopyAnimationsFrom(const AnimatedModel& other)
{
    const std::vector<AnimationControl*> source = other.animations;
    for (auto it = source.rbegin(); it != source.rend(); ++it) {
        auto* copy = new AnimationControl();
        copy->file = (*it)->file;
        ++copy->file->references;
        copy->loopCount = (*it)->loopCount;
        copy->speed = (*it)->speed;
        copy->weight = (*it)->weight;
        copy->easeIn = (*it)->easeIn;
        animations.insert(animations.begin(), copy);
    }
}

// ---------------------------------------------------------------------------------------------
// Posing

const ModelInstance* AnimatedModel::PoseSource() const
{
    if (skeletonSource && skeletonSource->instance)
        return skeletonSource->instance.get();
    return instance.get();
}

void AnimatedModel::UpdateTransform(float elapsed)
{
    clock += elapsed;
    if (updateBounds)
        bounds.SetEmpty();
    if (instance) {
        skel::ModelInstance& posed = *instance->instance;
        if (!freezePose) {
            posed.SetClock(clock);
            if (!skeletonSource) {
                SharedState& shared = Shared();
                const Matrix4* offset = nullptr;
                if (attachTo && attachTo != this && attachTo->instance)
                    offset = attachTo->instance->pose->BoneMatrix(attachBone);
                if (posed.SampleAnimations(shared.localPose))
                    skel::BuildWorldPose(posed.GetSkeleton(), shared.localPose, offset, *instance->pose);
                for (AnimationControl* control : animations)
                    std::erase_if(control->fading, [](const skel::AnimationControl* c) { return c->IsComplete(); });
                posed.FreeCompletedControls();
            }
        }
        if (updateBounds) {
            const skel::WorldPose& pose = *PoseSource()->pose;
            for (std::size_t i = 0; i < instance->bindings.size(); ++i) {
                if (!instance->enabled[i])
                    continue;
                const skel::MeshBinding& binding = *instance->bindings[i];
                const std::vector<skel::MeshBone>& bones = binding.GetMesh().bones;
                for (std::size_t b = 0; b < bones.size() && b < binding.BoneMap().size(); ++b) {
                    const Matrix4* matrix = pose.BoneMatrix(binding.BoneMap()[b]);
                    if (!matrix)
                        continue;
                    const Vector3& lo = bones[b].boxMin;
                    const Vector3& hi = bones[b].boxMax;
                    for (int corner = 0; corner < 8; ++corner)
                        bounds.AddTransformedPoint(Vector3((corner & 1) ? hi.x : lo.x, (corner & 2) ? hi.y : lo.y,
                                                           (corner & 4) ? hi.z : lo.z),
                                                   *matrix);
                }
            }
        }
    }
    MeshNode::UpdateTransform(elapsed);
}

void AnimatedModel::BindToSkeletonOf(AnimatedModel& other)
{
    if (!instance || !other.instance)
        return;
    // The bindings belong to this node, so other nodes sharing the file keep their own skeleton.
    instance->ownBindings.clear();
    instance->bindings.clear();
    const skel::Skeleton& skeleton = other.instance->instance->GetSkeleton();
    for (const std::unique_ptr<SkinnedMesh>& mesh : file->meshes) {
        instance->ownBindings.push_back(std::make_unique<skel::MeshBinding>(*mesh->mesh, skeleton));
        instance->bindings.push_back(instance->ownBindings.back().get());
    }
    skeletonSource = &other == this ? nullptr : &other;
}

int AnimatedModel::FindBone(const char* boneName) const
{
    if (!instance || !boneName)
        return -1;
    return instance->instance->GetSkeleton().FindBone(boneName);
}

int AnimatedModel::GetBoneCount() const
{
    return instance ? instance->instance->GetSkeleton().BoneCount() : 0;
}

void AnimatedModel::GetBonePosition(int bone, Vector3& out) const
{
    const Matrix4* matrix = instance ? instance->pose->BoneMatrix(bone) : nullptr;
    if (!matrix) {
        if (Device* logDevice = Shared().lastDevice)
            logDevice->Log("Can't get position of bone %d", bone);
        else
            LogToEngine("Can't get position of bone %d", bone);
        throw q3DError("Can't get position of bone %d", bone);
    }
    out = matrix->GetTranslation();
}

void AnimatedModel::GetBoneOrientation(int bone, Matrix3& out) const
{
    const Matrix4* matrix = instance ? instance->pose->BoneMatrix(bone) : nullptr;
    if (!matrix) {
        if (Device* logDevice = Shared().lastDevice)
            logDevice->Log("Can't get orientation of bone %d", bone);
        else
            LogToEngine("Can't get orientation of bone %d", bone);
        throw q3DError("Can't get orientation of bone %d", bone);
    }
    out.FromMatrix4(*matrix);
}

int AnimatedModel::GetMaterialCount() const
{
    return file ? static_cast<int>(file->materials.size()) : 0;
}

Material* AnimatedModel::GetMaterial(int index) const
{
    if (!file || index < 0 || index >= GetMaterialCount())
        return nullptr;
    return file->materials[std::size_t(index)];
}

int AnimatedModel::GetMeshCount() const
{
    return instance ? static_cast<int>(instance->enabled.size()) : 0;
}

void AnimatedModel::SetMeshEnabled(int meshIndex, bool enabled)
{
    if (instance && meshIndex >= 0 && meshIndex < GetMeshCount())
        instance->enabled[std::size_t(meshIndex)] = enabled ? 1 : 0;
}

// ---------------------------------------------------------------------------------------------
// Drawing and picking

void AnimatedModel::DrawBox(Device* drawDevice)
{
    struct LineVertex {
        float x, y, z;
        std::uint32_t colour;
    };
    LineVertex corners[8];
    for (int c = 0; c < 8; ++c)
        corners[c] = {c & 1 ? bounds.max.x : bounds.min.x, c & 2 ? bounds.max.y : bounds.min.y,
                      c & 4 ? bounds.max.z : bounds.min.z, 0xFFFFFFFFu};
    static const std::uint16_t kEdges[24] = {0, 1, 2, 3, 4, 5, 6, 7, 0, 2, 1, 3, 4, 6, 5, 7, 0, 4, 1, 5, 2, 6, 3, 7};
    VertexLayout layout;
    layout.offsets[VertexLayout::Position] = 0;
    layout.offsets[VertexLayout::Diffuse] = 12;
    layout.vertexSize = 16;
    const bool fog = drawDevice->GetFogEnable();
    drawDevice->SetFogEnable(false);
    drawDevice->DrawUserPrimitives(PrimLineList, corners, 8, &layout, kEdges, 24, nullptr);
    drawDevice->SetFogEnable(fog);
    drawDevice->SetMaterial(nullptr);
}

bool AnimatedModel::Draw(Device* drawDevice)
{
    device = drawDevice;
    if (!drawDevice || !instance || !file)
        return false;
    drawDevice->SetWorldTransform(&world);
    if (frustumCull)
        if (Camera* camera = drawDevice->GetCamera())
            if (camera->BoxInFrustum(bounds) == 0)
                return false;
    if (mesh && mesh->showBox)
        DrawBox(drawDevice);

    const VertexLayout layout = DeformedLayout();
    const std::span<const Matrix4> composites = PoseSource()->pose->Composites();
    std::vector<skel::DeformedVertex>& deformed = Shared().deformed;
    for (std::size_t i = 0; i < file->meshes.size(); ++i) {
        if (!instance->enabled[i])
            continue;
        const SkinnedMesh& skinned = *file->meshes[i];
        const skel::MeshBinding& binding = *instance->bindings[i];
        const skel::DeformedVertex* vertices = nullptr;
        if (skinned.IsRigid()) {
            const int bone = MeshBoneOf(binding);
            if (bone < 0 || std::size_t(bone) >= composites.size())
                continue;
            const Matrix4 transform = composites[std::size_t(bone)] * world;
            drawDevice->SetWorldTransform(&transform);
            vertices = skinned.rigidVertices.data();
        } else {
            if (!skel::DeformVertices(binding, composites, deformed))
                continue;
            drawDevice->SetWorldTransform(&world);
            vertices = deformed.data();
        }
        for (const SkinnedMesh::Group& group : skinned.groups) {
            if ((!group.material && !drawUnmaterialed) || group.indices.empty())
                continue;
            drawDevice->DrawUserPrimitives(PrimTriangleList, vertices + group.lowestVertex, int(group.vertexCount),
                                           &layout, group.indices.data(), int(group.indices.size()), group.material);
        }
    }
    drawDevice->SetWorldTransform(&world);
    return true;
}

bool AnimatedModel::IntersectRay(HitResult& hit, PickFilterCallback)
{
    if (!instance || !file)
        return false;
    Matrix4 inverse = world;
    if (!inverse.Invert())
        return false;
    HitResult local;
    local.Clear();
    local.origin = inverse.TransformPoint(hit.origin);
    // The inverse carries directions too, so scaled and rotated nodes pick correctly.
    local.direction = inverse.TransformDirection(hit.direction);
    if (local.direction.Length() != 0.0f)
        local.direction.Normalize();
    HitResult boxRay = local;
    if (!bounds.IntersectRay(boxRay))
        return false;
    hit.distance = kNoHit;
    hit.hitCount = 0;
    hit.u = hit.v = 0.0f;

    struct Best {
        float distance = kNoHit;
        Vector3 point, normal;
        Material* material = nullptr;
        float u = 0.0f, v = 0.0f;
        int bone = -1;
        int rigid = 0;
    } best;
    int count = 0;
    const std::span<const Matrix4> composites = PoseSource()->pose->Composites();
    std::vector<skel::DeformedVertex>& deformed = Shared().deformed;
    for (std::size_t i = 0; i < file->meshes.size(); ++i) {
        if (!instance->enabled[i])
            continue;
        const SkinnedMesh& skinned = *file->meshes[i];
        const skel::MeshBinding& binding = *instance->bindings[i];
        const std::span<const int> boneMap = binding.BoneMap();
        const bool rigid = skinned.IsRigid();
        const skel::DeformedVertex* vertices = nullptr;
        Vector3 origin = local.origin, direction = local.direction;
        Matrix4 toModel, toBone;
        if (rigid) {
            const int bone = MeshBoneOf(binding);
            if (bone < 0 || std::size_t(bone) >= composites.size())
                continue;
            toModel = composites[std::size_t(bone)];
            toBone = toModel;
            if (!toBone.Invert())
                continue;
            origin = toBone.TransformPoint(origin);
            direction = toBone.TransformDirection(direction);
            vertices = skinned.rigidVertices.data();
        } else {
            if (!skel::DeformVertices(binding, composites, deformed))
                continue;
            vertices = deformed.data();
        }
        for (const SkinnedMesh::Group& group : skinned.groups) {
            if (!group.material && !drawUnmaterialed)
                continue;
            const skel::DeformedVertex* base = vertices + group.lowestVertex;
            for (std::size_t t = 0; t + 2 < group.indices.size(); t += 3) {
                const Vector3 a = PositionOf(base[group.indices[t]]);
                const Vector3 b = PositionOf(base[group.indices[t + 1]]);
                const Vector3 c = PositionOf(base[group.indices[t + 2]]);
                skel::RayTriangleHit triangle;
                if (!skel::RayIntersectsTriangle(a, b, c, origin, direction, triangle))
                    continue;
                ++count;
                Vector3 point = origin + direction * triangle.distance;
                float distance = triangle.distance;
                if (rigid) {
                    point = toModel.TransformPoint(point);
                    distance = local.origin.Distance(point);
                }
                if (distance >= best.distance)
                    continue;
                best.distance = distance;
                best.point = point;
                best.normal = TriangleNormal(a, b, c);
                if (rigid)
                    best.normal = toBone.Transpose().TransformDirection(best.normal);
                best.material = group.material;
                best.u = triangle.u;
                best.v = triangle.v;
                best.rigid = rigid ? 1 : 0;
                if (rigid) {
                    best.bone = MeshBoneOf(binding);
                } else {
                    const std::uint8_t meshBone = skinned.vertexBones[group.lowestVertex + group.indices[t]];
                    best.bone = meshBone < boneMap.size() ? boneMap[meshBone] : -1;
                }
            }
        }
    }
    if (count == 0)
        return false;
    hit.hitCount = count;
    hit.hitObject = best.material;
    hit.normal = inverse.Transpose().TransformDirection(best.normal);
    hit.hitPoint = world.TransformPoint(best.point);
    hit.distance = hit.origin.Distance(hit.hitPoint);
    hit.u = best.u;
    hit.v = best.v;
    hitBone = best.bone;
    hitRigid = best.rigid;
    return true;
}
