#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>

#include "engine/particle/qParticle.h"

class Device;

// The particle files a level has read, each with its texture frames, so that an effect started
// again (every bullet impact starts one) costs no file access. Its owner clears it before the
// device that made the bitmaps goes away.
class ParticleEffectCache {
public:
    ParticleEffectCache() = default;
    ParticleEffectCache(const ParticleEffectCache&) = delete;
    ParticleEffectCache& operator=(const ParticleEffectCache&) = delete;

    // A new system as qParticle::Load of the file would make it; the file is read on first use
    // only. Throws q3DError as Load does, again for a file that failed, without reading it again.
    std::unique_ptr<qParticle> Create(Device* device, const char* path);
    void Clear() { definitions.clear(); }
    std::size_t Size() const { return definitions.size(); }

private:
    struct Definition {
        std::unique_ptr<qParticle> loaded; // null when the file failed
        std::string error;
    };
    std::unordered_map<std::string, Definition> definitions;
};

// A new system for the file: from the cache when there is one, else read from the file.
// Throws q3DError as qParticle::Load.
std::unique_ptr<qParticle> CreateParticleEffect(ParticleEffectCache* cache, Device* device, const char* path);
