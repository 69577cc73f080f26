#include "mission/drawing/ParticleEffectList.h"

#include "engine/particle/qParticle.h"
#include "renderer/Device.h"

void ParticleEffectList::Add(qParticle* effect, SceneNode* parent, bool keep)
{
    if (!effect)
        return;
    entries.insert(entries.begin(), Entry{effect, keep});
    effect->SetParent(parent);
}

bool ParticleEffectList::IsFinished(const qParticle& effect)
{
    if (!effect.active)
        return true;
    if (effect.GetLiveCount() > 0 || effect.GetTimeSinceStart() <= effect.startDelay)
        return false;
    // A paused emitter adds nothing more; one that does not recycle stops once its pool is used.
    if (effect.emissionPaused)
        return true;
    return !effect.recycle && effect.maxParticles >= 1 && effect.GetDiedCount() >= effect.maxParticles;
}

void ParticleEffectList::Update(Device* device)
{
    for (std::size_t i = 0; i < entries.size();) {
        Entry entry = entries[i];
        if (entry.keep || !IsFinished(*entry.effect)) {
            if (device)
                entry.effect->Draw(device);
            ++i;
            continue;
        }
        if (device)
            device->SetMaterial(nullptr);
        entries.erase(entries.begin() + std::ptrdiff_t(i));
        delete entry.effect;
    }
}

void ParticleEffectList::Remove(qParticle* effect)
{
    if (!effect)
        return;
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries[i].effect == effect) {
            entries.erase(entries.begin() + std::ptrdiff_t(i));
            effect->Detach();
            return;
        }
}

void ParticleEffectList::Clear()
{
    std::vector<Entry> taken;
    taken.swap(entries);
    for (const Entry& entry : taken) {
        entry.effect->Detach();
        if (!entry.keep)
            delete entry.effect;
    }
}

bool ParticleEffectList::Contains(const qParticle* effect) const
{
    for (const Entry& entry : entries)
        if (entry.effect == effect)
            return true;
    return false;
}
