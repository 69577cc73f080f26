#pragma once

#include "renderer/Device.h"

// The factory the library registers for one of its own effect names ("envmap", "vertexshader",
// "pixelshader", "cuberef", "dot3bump").
EffectFactory BuiltInEffectFactory(const char* name);
