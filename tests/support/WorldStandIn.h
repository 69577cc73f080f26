#pragma once

#include <memory>
#include <utility>
#include <string>
#include <vector>

#include "characters/AnimationCache.h"
#include "characters/MissionServices.h"
#include "engine/camera/Camera.h"
#include "world/PickResult.h"
#include "world/World.h"

// What a level does for its characters before the mission state exists to do it: the animation
// file cache of the model folders, and mission hooks that answer from a loaded world. Tests and
// benchmarks place characters on a map with it; the running mission registers its own hooks.

// Enters the lower-body folders and each animation set's upper-body folder in the cache.
inline void BuildModelAnimationCache(const std::vector<std::string>& setNames)
{
    AnimationCache& cache = AnimationCache::Instance();
    for (const char* folder : {"GameData/Models/LowerBody/", "GameData/Models/LowerBody/Deaths/",
                               "GameData/Models/LowerBody/Pains/"})
        cache.Build(folder);
    for (const std::string& set : setNames)
        cache.Build(("GameData/Models/UpperBody/" + set + "/").c_str());
}

// Hooks for characters living on the world: the animation sets by name, the character list, the
// camera's position and the ground below a point. The three objects must outlive the hooks.
inline MissionServiceHooks WorldStandInHooks(World& world, Camera& camera, const std::vector<Character*>& characters,
                                             std::vector<std::string> setNames)
{
    auto sets = std::make_shared<std::vector<std::string>>(std::move(setNames));
    MissionServiceHooks hooks;
    hooks.animationSetCount = [sets] { return int(sets->size()); };
    hooks.animationSetName = [sets](int set) {
        return set >= 0 && set < int(sets->size()) ? (*sets)[std::size_t(set)].c_str() : "";
    };
    hooks.characters = [&characters]() -> const std::vector<Character*>& { return characters; };
    hooks.cameraPosition = [&camera] { return camera.position; };
    hooks.groundHeight = [&world](const Vector3& point) {
        PickResult hit;
        return world.GetGroundBelow(point, &hit, nullptr);
    };
    return hooks;
}
