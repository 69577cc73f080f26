#pragma once

#include <vector>

class Device;
class SceneNode;
class qParticle;

// The particle effects that run in the level on their own (muzzle flashes, hits, explosions,
// smoke): drawn once a frame and deleted when spent. An owner that keeps an effect itself (an
// exhaust, a fire) adds it with the keep flag; such an effect is never deleted here.
class ParticleEffectList {
public:
    ParticleEffectList() = default;
    ~ParticleEffectList() { Clear(); }
    ParticleEffectList(const ParticleEffectList&) = delete;
    ParticleEffectList& operator=(const ParticleEffectList&) = delete;

    // Newest first; the effect is parented to the node so the scene update runs it.
    void Add(qParticle* effect, SceneNode* parent, bool keep = false);
    // Draws the running effects and deletes the spent ones that are not kept.
    void Update(Device* device);
    // Takes the effect off the list and detaches it; the caller owns it again. Null: nothing.
    void Remove(qParticle* effect);
    // Empties the list, deleting the effects that are not kept.
    void Clear();

    int Count() const { return int(entries.size()); }
    bool Contains(const qParticle* effect) const;

    // Spent: nothing more will be emitted and no particle is alive.
    static bool IsFinished(const qParticle& effect);

private:
    struct Entry {
        qParticle* effect;
        bool keep;
    };
    std::vector<Entry> entries; // newest first
};
