#pragma once

#include <cstdint>

// Internal to the gpu layer: which OpenGL context is alive. Every context made gets a new
// number; objects remember the number they were made under and delete their OpenGL names only
// while that context is still the current one.
namespace platform::gpu {

std::uint32_t CurrentGlGeneration();

} // namespace platform::gpu
