#include "mission/services/MissionScene.h"

#include <algorithm>
#include <strings.h>

#include "characters/body/Character.h"
#include "engine/camera/Camera.h"
#include "mission/MissionState.h"
#include "world/PickResult.h"
#include "world/World.h"
#include "mission/services/MissionVehicles.h"
#include "items/vehicles/PassengerVehicleItem.h"

namespace {

constexpr float kNoSurface = 3.4e38f;

} // namespace

Vector3 MissionScene::CameraPosition() { return mission.level.camera ? mission.level.camera->position : Vector3{}; }
Character* MissionScene::CurrentPlayer() { return mission.roster.controlledCharacter; }

float MissionScene::GroundHeight(const Vector3& point)
{
    if (!mission.level.world)
        return kNoSurface;
    PickResult hit;
    return mission.level.world->GetGroundBelow(point, &hit, nullptr);
}

const std::vector<Character*>& MissionScene::Characters() { return mission.level.characters; }
CarriedItem* MissionScene::RidingVehicle(Character* rider)
{
    return mission.level.vehicles ? mission.level.vehicles->RidingVehicle(rider) : nullptr;
}
bool MissionScene::AreHostile(Character* attacker, Character* victim) { return mission.AreHostile(attacker, victim); }
bool MissionScene::IsNetworkGame() { return mission.session.networkGame; }
bool MissionScene::IsDistanceCulling() { return mission.hud.distanceCulling; }
bool MissionScene::IsTutorial() { return mission.session.tutorial; }

void MissionScene::AddLooseItem(CarriedItem* item)
{
    std::vector<CarriedItem*>& loose = mission.level.looseItems;
    if (item && std::find(loose.begin(), loose.end(), item) == loose.end())
        loose.insert(loose.begin(), item);
}

void MissionScene::RemoveLooseItem(CarriedItem* item) { std::erase(mission.level.looseItems, item); }

void MissionScene::DeleteItem(CarriedItem* item) { mission.DeleteItem(item); }
ParticleEffectCache* MissionScene::ParticleEffects() { return &mission.level.particleDefinitions; }

int MissionAnimationSets::FindAnimationSet(const char* name)
{
    for (int set = 0; set < mission.upperBodyFolderCount; ++set)
        if (strcasecmp(mission.upperBodyFolders[set], name) == 0)
            return set;
    return -1;
}

int MissionAnimationSets::AnimationSetCount() { return mission.upperBodyFolderCount; }

const char* MissionAnimationSets::AnimationSetName(int index)
{
    return index >= 0 && index < mission.upperBodyFolderCount ? mission.upperBodyFolders[index] : "";
}

int MissionAnimationSets::DefaultAnimationSet() { return mission.ambientUpperBody; }

void MissionBodySounds::PlayTileSound(int foot, int tile, const Vector3& position, bool running)
{
    mission.PlayTileSound(foot, tile, position, running);
}

void MissionBodySounds::PlayHitGroundSound(Character* character)
{
    if (character)
        mission.PlayHitGroundSound(character->position);
}

void MissionBodySounds::PlayCarHitBodySound(const Vector3& position) { mission.PlayCarHitBodySound(position); }
