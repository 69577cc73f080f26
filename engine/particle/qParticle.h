#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/core/Geometry.h"
#include "engine/core/Vector.h"
#include "engine/material/Material.h"
#include "engine/scene/SceneNode.h"

class Device;
class qMesh;
class qParticle;

// A system's texture frames with their bitmaps; systems copied from one definition share them, and
// the last holder destroys them.
struct ParticleFrames {
    ParticleFrames() = default;
    ParticleFrames(const ParticleFrames&) = delete;
    ParticleFrames& operator=(const ParticleFrames&) = delete;
    ~ParticleFrames();

    std::vector<Material*> materials; // one per frame
};

// One particle of a system; the owner holds the settings it moves by.
class ParticleInstance {
public:
    static constexpr float kNeverUsed = -2.0f;
    static constexpr float kDied = -1.0f;

    virtual ~ParticleInstance() = default;
    // Moves the particle on by t seconds; false when it died.
    virtual bool Update(float t);

    bool IsAlive() const { return age >= 0.0f; }

    Vector3 previousPosition;
    Vector3 position; // world space
    Vector3 velocity; // units per second
    float color[3] = {1.0f, 0.0f, 0.0f};
    float colorRate[3] = {0.0f, 0.0f, 0.0f};
    float age = kNeverUsed; // below 0: dead
    float lifetime = 0.0f;
    float size = 1.0f;
    float sizeRate = 0.0f;
    float alpha = 0.0f;
    float alphaRate = 0.0f;
    float gravity = 0.0f;
    float gravityRate = 0.0f;
    float streak = 0.0f;
    float streakRate = 0.0f;
    float streakDelay = 0.0f;
    qParticle* owner = nullptr;
};

// A scene node that emits particles from its world position, moves them (speed in a cone around
// the node's up axis, gravity, attraction to the emitter, bounce or slide on a floor plane),
// fades colour, alpha and size over their lives, and draws them as camera-facing quads, streak
// lines or copies of a mesh. Its settings come from a particle file.
class qParticle : public SceneNode {
public:
    // Most particles one system keeps; a file asking for more is held to this.
    static constexpr int kMaxPool = 100000;
    static constexpr int kQuadsPerBatch = 500;
    static constexpr int kLinesPerBatch = 1000;

    // Where random numbers come from: any non-negative int, used as (value mod 32000) / 32000.
    using RandomSource = std::function<int()>;

    qParticle();
    ~qParticle() override;

    // Runs the transform update, moves the live particles and emits new ones.
    void UpdateTransform(float elapsed) override;

    // True when something was submitted.
    virtual bool Draw(Device* device);
    // Reads a particle file; throws q3DError.
    virtual void Load(Device* device, const char* path);
    // Replaces the texture frames; null path clears them. Throws q3DError.
    virtual void LoadTexture(Device* device, const char* path);
    // The first frame's bitmap name, or "None". out holds 256 characters.
    virtual void GetTextureName(char* out);
    // Takes a copy of the mesh (null clears it) as the shape drawn for each particle.
    virtual void SetEmitterMesh(qMesh* mesh, const char* meshName);
    virtual void GetEmitterMeshName(char* out);
    // Every slot unused, the clock and emission carry at 0, active again.
    virtual void Reset();
    // Takes what a Load of the file would set from a system that loaded it: the settings, the
    // texture frames (shared, not read again) and a copy of the particle mesh.
    void CopyDefinition(const qParticle& source);

    // Particles alive at the last update plus the emission carry.
    float GetActivity() const { return float(liveCount) + emissionRemainder; }
    // Tests inject their own numbers; the default is the C runtime's rand().
    void SetRandomSource(RandomSource source);

    int GetLiveCount() const { return liveCount; }
    int GetDiedCount() const { return diedCount; }
    float GetTimeSinceStart() const { return timeSinceStart; }
    float GetEmissionRemainder() const { return emissionRemainder; }
    const BoundingBox& GetBounds() const { return bounds; }
    const std::vector<ParticleInstance>& GetPool() const { return pool; }
    std::vector<ParticleInstance>& GetPool() { return pool; }
    int GetTextureCount() const { return int(textures.size()); }
    Material* GetTextureMaterial(int frame) const { return textures[std::size_t(frame)]; }
    qMesh* GetParticleMesh() const { return particleMesh.get(); }
    Material& GetQuadMaterial() { return quadMaterial; }

    bool active = true;
    int maxParticles = 0;
    float emissionRate = 100.0f;
    float floorHeight = -25.0f;
    Vector3 floorNormal{0.0f, 1.0f, 0.0f};
    float gravityBase = 4.0f, gravitySpread = 0.0f, gravityEnd = 4.0f;
    float sizeBase = 4.0f, sizeSpread = 0.0f, sizeEnd = 0.2f;
    float alphaBase = 1.0f, alphaSpread = 0.0f, alphaEnd = 0.0f;
    float startColor[3] = {1.0f, 1.0f, 1.0f};
    float colorSpread[3] = {0.0f, 0.0f, 0.0f};
    float endColor[3] = {0.0f, 0.0f, 1.0f};
    float speedBase = 100.0f, speedSpread = 10.0f;
    float meshGrowth = 1.0f;
    float lifetimeBase = 3.0f, lifetimeSpread = 0.0f;
    bool recycle = true;
    float coneAngle = 45.0f; // degrees
    bool attract = false;
    float attractStrength = 25.0f;
    bool emissionPaused = false;
    bool inheritVelocity = false;
    bool collide = true;
    float slideSpeed = -5.0f; // its absolute value is the speed below which particles slide
    float restitution = 0.5f;
    bool depthTest = true;
    bool alphaBlend = false; // false: additive
    bool ambientLit = false;
    bool sorted = false;
    bool screenSpace = false;
    float startDelay = 0.0f;
    float streakBase = 0.0f, streakEnd = 0.0f, streakDelaySpread = 0.0f, streakDelay = 0.0f;
    float unusedValues[8] = {}; // kept from the file; nothing here gives them a meaning

private:
    float Random();
    float Spread(float base, float spread) { return base + spread * (Random() - 0.5f); }
    void GrowPool(int needed);
    void Emit(ParticleInstance& particle, const Vector3& movement, float elapsed, bool firstUpdate);
    void FreeTextures();
    void SetBlend(Material& material) const;
    bool DrawMeshes(Device* device, const float ambient[3]);

    std::vector<ParticleInstance> pool;
    int liveCount = 0;
    int diedCount = 0;
    float timeSinceStart = 0.0f;
    float emissionRemainder = 0.0f;
    Vector3 previousWorldPosition;
    BoundingBox bounds{Vector3(), Vector3()};
    std::vector<Material*> textures; // one per frame, held by textureOwner
    std::shared_ptr<ParticleFrames> textureOwner;
    std::unique_ptr<qMesh> particleMesh;
    char particleMeshName[256] = "None";
    Material quadMaterial;
    RandomSource random;
};
