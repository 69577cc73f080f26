#include "engine/particle/ParticleEffectCache.h"

#include "engine/core/q3DError.h"

std::unique_ptr<qParticle> ParticleEffectCache::Create(Device* device, const char* path)
{
    if (!path)
        throw q3DError("%s not found", "(null)");
    auto [at, added] = definitions.try_emplace(path);
    Definition& definition = at->second;
    if (added) {
        auto loaded = std::make_unique<qParticle>();
        try {
            loaded->Load(device, path);
            definition.loaded = std::move(loaded);
        } catch (const q3DError& error) {
            definition.error = error.GetText();
        }
    }
    if (!definition.loaded)
        throw q3DError("%s", definition.error.c_str());
    auto effect = std::make_unique<qParticle>();
    effect->CopyDefinition(*definition.loaded);
    return effect;
}

std::unique_ptr<qParticle> CreateParticleEffect(ParticleEffectCache* cache, Device* device, const char* path)
{
    if (cache)
        return cache->Create(device, path);
    auto effect = std::make_unique<qParticle>();
    effect->Load(device, path);
    return effect;
}
