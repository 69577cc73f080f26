#include "renderer/BuiltInEffects.h"

namespace {

// The library's effects need the fixed-function pipeline of the drawing code; until that
// exists their lines make no effect object, so materials using them draw plainly.
Effect* NoEffect(const char*, float*, Effect** toFree)
{
    if (toFree)
        *toFree = nullptr;
    return nullptr;
}

} // namespace

EffectFactory BuiltInEffectFactory(const char*)
{
    return &NoEffect;
}
