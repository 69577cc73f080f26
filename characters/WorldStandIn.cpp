#include "characters/WorldStandIn.h"

#include <memory>

#include "characters/AnimationCache.h"
#include "engine/camera/Camera.h"
#include "world/PickResult.h"
#include "world/World.h"

void BuildModelAnimationCache(const std::vector<std::string>& setNames)
{
    AnimationCache& cache = AnimationCache::Instance();
    for (const char* folder : {"GameData/Models/LowerBody/", "GameData/Models/LowerBody/Deaths/",
                               "GameData/Models/LowerBody/Pains/"})
        cache.Build(folder);
    for (const std::string& set : setNames)
        cache.Build(("GameData/Models/UpperBody/" + set + "/").c_str());
}

MissionServiceHooks WorldStandInHooks(World& world, Camera& camera, const std::vector<Character*>& characters,
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
