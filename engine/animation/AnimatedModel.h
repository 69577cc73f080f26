#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/Geometry.h"
#include "engine/mesh/MeshNode.h"

struct GrannyFileEntry;
struct Material;
namespace platform::skeleton {
class AnimationControl;
class MeshBinding;
class ModelInstance;
class WorldPose;
} // namespace platform::skeleton

// One animation loaded on one node. Values set here are kept for the next start and passed on to
// the running control while there is one.
struct AnimationControl {
    GrannyFileEntry* file = nullptr;                      // shared
    platform::skeleton::AnimationControl* control = nullptr; // the running control, or none
    // Stopped with a delay and still fading; they read this control's file until they end.
    std::vector<platform::skeleton::AnimationControl*> fading;
    float startTime = -1.0f;
    int loopCount = 0; // 0 = loop forever
    float speed = 1.0f;
    float weight = 1.0f;
    float easeIn = 0.3f;
};

// The posable copy of the node's model: instance, world pose, and the binding each mesh is drawn
// with (its own skeleton's, or another model's after BindToSkeletonOf).
struct ModelInstance {
    std::unique_ptr<platform::skeleton::ModelInstance> instance;
    std::unique_ptr<platform::skeleton::WorldPose> pose;
    std::vector<const platform::skeleton::MeshBinding*> bindings;
    std::vector<std::unique_ptr<platform::skeleton::MeshBinding>> ownBindings; // after a rebind
    std::vector<std::uint8_t> enabled; // per mesh; 0 hides it from drawing, bounds and rays

    ModelInstance();
    ~ModelInstance();
};

// With a folder: folder + the texture's file name and extension; without: the model file's
// folder + the texture's file name and extension.
std::string MakeTexturePath(const char* textureFolder, const char* modelPath, const char* textureFileName);

// A skinned or rigid model from a ".gr2" file: plays blended animations, skins on the CPU each
// draw, keeps a box fitted to the posed bones and answers bone and ray queries. Files are shared
// between nodes through GrannyFileCache.
class AnimatedModel : public MeshNode {
public:
    AnimatedModel() = default;
    ~AnimatedModel() override;

    void UpdateTransform(float elapsed) override;
    // Loads the model file (objectIndex is not used: a file holds one model). Throws q3DError;
    // the node may then be partly loaded and is released by its owner.
    void Load(Device* device, const char* path, const char* textureFolder, int objectIndex = 0) override;
    void Release() override;
    bool Draw(Device* device) override;
    // A world-space ray against the posed triangles; sets hitBone and hitRigid on a hit.
    bool IntersectRay(HitResult& hit, PickFilterCallback filter = nullptr) override;

    // A null control below means the most recently loaded one.
    AnimationControl* LoadAnimation(const char* path);
    void FreeAnimation(AnimationControl* control);
    // Starts the control at model time clock + offset unless it plays. With syncWith, a control
    // of that model running the same file lends its local clock, so both stay in step.
    void PlayAnimation(float offset, AnimationControl* control, AnimatedModel* syncWith = nullptr);
    // Time 0 stops at once; otherwise the control ends after time seconds, fading out over them
    // when easeOut is set. A null control stops every running one.
    void StopAnimation(float time, AnimationControl* control, bool easeOut);
    bool IsPlaying(AnimationControl* control);
    int SetLoopCount(int count, AnimationControl* control);
    int SetWeight(float weight, AnimationControl* control);
    int SetSpeed(float speed, AnimationControl* control);
    // The running control's loop count, or the stored one when it has not been started.
    int GetLoopCount(AnimationControl* control);
    void SetEaseInTime(float seconds, AnimationControl* control);
    float GetClock(AnimationControl* control);
    void SetClock(float seconds, AnimationControl* control);
    // Seconds of all loops; 0 when not running or looping forever; -1 without any animation.
    float GetDuration(AnimationControl* control);
    void CopyAnimationsFrom(const AnimatedModel& other);

    int FindBone(const char* boneName) const;
    int GetBoneCount() const;
    // The bone's world matrix in the model's own frame; a bad bone is logged and throws q3DError.
    void GetBonePosition(int bone, Vector3& out) const;
    void GetBoneOrientation(int bone, Matrix3& out) const;
    // Draws and tests this node's meshes with the other node's pose, bones matched by name.
    void BindToSkeletonOf(AnimatedModel& other);

    int GetMaterialCount() const;
    Material* GetMaterial(int index) const;
    void GetBoundingBox(BoundingBox& out) const { out = bounds; }
    void SetBoundingBox(const BoundingBox& box) { bounds = box; }

    GrannyFileEntry* GetFileEntry() const { return file; }
    const std::vector<AnimationControl*>& GetAnimations() const { return animations; }
    const std::vector<AnimationControl*>& GetPlaying() const { return playing; }
    float GetModelClock() const { return clock; }
    int GetMeshCount() const;
    // Hides (false) or shows a mesh of the model in drawing, bounds and ray tests.
    void SetMeshEnabled(int mesh, bool enabled);

    // Nodes loaded and not yet released, process-wide.
    static int GetLoadCount();

    bool updateBounds = true;
    bool freezePose = false;
    bool drawUnmaterialed = false;
    int hitBone = -1;
    int hitRigid = 0;
    AnimatedModel* attachTo = nullptr; // pose the skeleton relative to attachBone of that model
    int attachBone = -1;

private:
    AnimationControl* Resolve(AnimationControl* control) const;
    void StopOne(float time, AnimationControl* control, bool easeOut);
    void BuildModel(GrannyFileEntry& entry, const char* path, const char* textureFolder);
    const ModelInstance* PoseSource() const;
    void DrawBox(Device* device);

    GrannyFileEntry* file = nullptr;
    BoundingBox bounds{Vector3(), Vector3()};
    std::unique_ptr<ModelInstance> instance; // a file holds exactly one model
    std::vector<AnimationControl*> animations; // owned; newest first
    std::vector<AnimationControl*> playing;    // started and not stopped; newest first
    float clock = 0.0f;
    AnimatedModel* skeletonSource = nullptr;
    bool counted = false; // this node is in the load count
};
