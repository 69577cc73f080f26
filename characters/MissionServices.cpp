#include "characters/MissionServices.h"

#include <utility>

#include "characters/CarriedItem.h"
#include "engine/camera/Camera.h"
#include "world/World.h"

namespace {

// Waits for the mission, which registers itself here when a level starts.
MissionServiceHooks mission;
Character* templateCharacter = nullptr;

constexpr float kNoSurface = 3.4e38f;

} // namespace

void SetMissionServiceHooks(MissionServiceHooks hooks)
{
    mission = std::move(hooks);
}

const MissionServiceHooks& GetMissionServiceHooks()
{
    return mission;
}

int MissionFindAnimationSet(const char* name)
{
    return mission.findAnimationSet ? mission.findAnimationSet(name) : -1;
}

void MissionAddLooseItem(CarriedItem* item)
{
    if (mission.addLooseItem)
        mission.addLooseItem(item);
}

void MissionRemoveLooseItem(CarriedItem* item)
{
    if (mission.removeLooseItem)
        mission.removeLooseItem(item);
}

void MissionDeleteItem(CarriedItem* item)
{
    if (mission.deleteItem)
        mission.deleteItem(item);
    else
        delete item;
}

bool MissionIsNetworkGame()
{
    return mission.isNetworkGame && mission.isNetworkGame();
}

bool MissionIsDistanceCulling()
{
    return mission.isDistanceCulling && mission.isDistanceCulling();
}

bool MissionIsTutorial()
{
    return mission.isTutorial && mission.isTutorial();
}

Vector3 MissionCameraPosition()
{
    if (mission.cameraPosition)
        return mission.cameraPosition();
    // Without a mission the world's camera is the one that looks.
    const World* world = World::Current();
    return world && world->camera ? world->camera->position : Vector3{};
}

Character* MissionCurrentPlayer()
{
    return mission.currentPlayer ? mission.currentPlayer() : nullptr;
}

float MissionGroundHeight(const Vector3& point)
{
    return mission.groundHeight ? mission.groundHeight(point) : kNoSurface;
}

void MissionPlayTileSound(int foot, int tile, const Vector3& position, bool running)
{
    if (mission.playTileSound)
        mission.playTileSound(foot, tile, position, running);
}

void MissionPlayHitGroundSound(Character* character)
{
    if (mission.playHitGroundSound)
        mission.playHitGroundSound(character);
}

void MissionPlayCarHitBodySound(const Vector3& position)
{
    if (mission.playCarHitBodySound)
        mission.playCarHitBodySound(position);
}

bool MissionAreHostile(Character* attacker, Character* victim)
{
    if (mission.areHostile)
        return mission.areHostile(attacker, victim);
    return attacker != victim;
}

Character* GetTemplateCharacter()
{
    return templateCharacter;
}

void SetTemplateCharacter(Character* character)
{
    templateCharacter = character;
}
