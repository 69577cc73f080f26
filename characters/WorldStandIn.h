#pragma once

#include <string>
#include <vector>

#include "characters/MissionServices.h"

class Camera;
class World;

// What a level does for its characters before the mission state exists to do it: the animation
// file cache of the model folders, and mission hooks that answer from a loaded world. Tests,
// benchmarks and tools place characters on a map with it; the running mission registers its own
// hooks instead.

// Enters the lower-body folders and each animation set's upper-body folder in the cache.
void BuildModelAnimationCache(const std::vector<std::string>& setNames);

// Hooks for characters living on the world: the animation sets by name, the character list, the
// camera's position and the ground below a point. The three objects must outlive the hooks.
MissionServiceHooks WorldStandInHooks(World& world, Camera& camera, const std::vector<Character*>& characters,
                                      std::vector<std::string> setNames);
