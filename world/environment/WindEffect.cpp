#include "world/environment/WindEffect.h"

#include <cmath>
#include <cstring>

#include "engine/filesystem/PackFile.h"
#include "world/World.h"

void WindEffect::Apply(Device* device, D3DPrim*)
{
    World* world = World::Current();
    device->GetWorldTransform(&saved);
    if (!world)
        return;
    ++world->swayCounter;
    const float s = std::cos(world->swayPhase * kPi) * 0.5f * world->damping;
    const float a = (s + world->wind.z) * 0.07f;
    const float b = (s + world->wind.x) * 0.07f;
    const float length = std::sqrt(a * a + b * b + 1.0f);
    Matrix4 bent = saved;
    bent.m[4] = (b + saved.m[4]) / length;
    bent.m[5] = saved.m[5] / length;
    bent.m[6] = (a + saved.m[6]) / length;
    device->SetWorldTransform(&bent);
}

void WindEffect::Restore(Device* device, D3DPrim*) { device->SetWorldTransform(&saved); }

Effect* WindEffectFactory(const char* name, float* parameters, Effect** toFree)
{
    if (toFree) {
        delete static_cast<WindEffect*>(*toFree);
        *toFree = nullptr;
        return nullptr;
    }
    auto* effect = new WindEffect();
    const std::size_t length = name ? strnlen(name, sizeof effect->name - 1) : 0;
    std::memcpy(effect->name, name ? name : "", length);
    effect->nameHash = std::int32_t(PackFileHashName(effect->name));
    effect->enabled = 1;
    effect->parameters = parameters;
    return effect;
}
