#pragma once

#include <optional>
#include <string>
#include <strings.h>
#include <utility>
#include <vector>

#include "characters/body/AnimationCache.h"
#include "characters/level/NoLevel.h"
#include "characters/level/RunningLevel.h"
#include "engine/camera/Camera.h"
#include "world/PickResult.h"
#include "world/World.h"

// What a level does for its characters before the mission state exists to do it: the animation
// file cache of the model folders, and a level's answers from a loaded world. Tests and
// benchmarks place characters on a map with it; the running mission hands over its own.

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

// The level's answers for characters living on the world: the animation sets by name, the
// character list, the camera's position and the ground below a point. Installed for its
// lifetime; the three objects must outlive it.
class WorldStandIn : public NoLevel {
public:
    WorldStandIn(World& world, Camera& camera, const std::vector<Character*>& characters,
                 std::vector<std::string> setNames)
        : world(world), camera(camera), characters(characters), setNames(std::move(setNames))
    {
    }

    int FindAnimationSet(const char* name) override
    {
        for (std::size_t set = 0; set < setNames.size(); ++set)
            if (strcasecmp(setNames[set].c_str(), name) == 0)
                return int(set);
        return -1;
    }
    int AnimationSetCount() override { return int(setNames.size()); }
    const char* AnimationSetName(int set) override
    {
        return set >= 0 && set < int(setNames.size()) ? setNames[std::size_t(set)].c_str() : "";
    }
    const std::vector<Character*>& Characters() override { return characters; }
    Vector3 CameraPosition() override { return watchedFrom.value_or(camera.position); }
    float GroundHeight(const Vector3& point) override
    {
        if (groundless)
            return 3.4e38f;
        PickResult hit;
        return world.GetGroundBelow(point, &hit, nullptr);
    }

    bool AreHostile(Character* attacker, Character* victim) override { return !peaceful && attacker != victim; }

    // A camera held at one point instead of the camera's own position, no ground anywhere, and
    // nobody hostile to anybody.
    std::optional<Vector3> watchedFrom;
    bool groundless = false;
    bool peaceful = false;

private:
    World& world;
    Camera& camera;
    const std::vector<Character*>& characters;
    std::vector<std::string> setNames;
    RunningLevel level{{.scene = this, .animations = this}};
};
