// The body steps that the computer-driven soldiers of the map share: the level of detail by the
// camera's distance, the height on the ground or along the path, the cheap step far from the
// camera and the dead body's timer and rest.
#include <algorithm>

#include "characters/ai/Soldier.h"
#include "characters/body/AnimationController.h"
#include "characters/level/LevelScene.h"
#include "characters/level/RunningLevel.h"
#include "engine/animation/AnimatedModel.h"

void Soldier::ChooseLevelOfDetail(float cameraDistanceSquared, bool levelsUsed)
{
    int level = 2;
    if (!levelsUsed || cameraDistanceSquared < 1600.0f)
        level = 0;
    else if (cameraDistanceSquared < 6400.0f)
        level = 1;
    while (level > 0 && !GetLevelModel(level))
        --level;
    lod = level;
}

void Soldier::SettleHeight(bool onGround)
{
    // A body that collides and falls finds the ground itself.
    if (collides || gravity)
        return;
    if (onGround) {
        const float ground = RunningLevel::Scene().GroundHeight(Vector3(position.x, position.y + 4.0f, position.z));
        if (ground < 3.0e38f)
            position.y = ground;
        return;
    }
    const PtrListNode* from = pathFollower.currentNode;
    const PtrListNode* to = pathFollower.nextNode;
    if (!from)
        return;
    if (!to || pathFollower.segmentLength <= 0.0f) {
        position.y = PathPosition(from).y;
        return;
    }
    const float along = std::clamp(segmentProgress / pathFollower.segmentLength, 0.0f, 1.0f);
    position.y = PathPosition(from).y + (PathPosition(to).y - PathPosition(from).y) * along + 3.0f;
}

void Soldier::CheapStep(float elapsed)
{
    StopUsingHeldItem();
    position = position + rotation.Transform(moveInput * elapsed);
    if (turnAngle != 0.0f) {
        Matrix3 turn;
        turn.FromAxisAngle(turnAngle, Vector3(0.0f, 1.0f, 0.0f));
        rotation = turn * rotation;
    }
    SceneNode::Update(elapsed);
    velocity = Vector3();
    turnRate = 0.0f;
    moveInput = Vector3();
}

bool Soldier::RunDeathTimer(float elapsed, float& deathTimer)
{
    const AnimationController* controller = GetAnimation();
    if (deathTimer == 0.0f) {
        // The death that the fatal hit asked for starts on the controller's next update; until then
        // channel 0 holds the action it interrupted, and timing that would leave the body standing.
        if (!controller || !controller->IsRequestPending(0)) {
            AnimationControl* control = controller ? controller->GetVariationControl(0) : nullptr;
            const float length = control && GetModel() ? GetModel()->GetDuration(control) : 0.0f;
            deathTimer = length > 0.0f ? length : -0.0001f;
        }
    } else if (deathTimer > 0.0f) {
        deathTimer -= elapsed;
        if (deathTimer <= 0.0f)
            deathTimer = -0.0001f;
    }
    return loadCountdown > 0.0f || deathTimer >= 0.0f;
}

void Soldier::LieStill(float elapsed)
{
    SceneNode::Update(elapsed);
    if (fireRunning) {
        burnTime -= elapsed;
        if (burnTime < 0.0f)
            Extinguish();
    }
}
