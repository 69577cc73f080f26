#include "items/explosives/MineItems.h"

#include "characters/body/Character.h"
#include "characters/level/NetworkSession.h"
#include "characters/level/RunningLevel.h"
#include "characters/level/LevelScene.h"
#include "engine/core/MathConstants.h"
#include "engine/mesh/qMesh.h"
#include "items/ItemDefinition.h"

ATMineItem::ATMineItem(const ItemDefinition& definition)
{
    previousOwnerID = -1;
    weight = 24.5f;
    Item::ReadDefinition(definition);
    weight = 24.5f;
    ReadParameters(definition, true);
}

void ATMineItem::Save(SaveStream* stream)
{
    ExplosiveItem::Save(stream);
    MineBlock{armingDelay}.Write(*stream);
}

void ATMineItem::Load(SaveStream* stream)
{
    ExplosiveItem::Load(stream);
    MineBlock read;
    read.Read(*stream);
    armingDelay = read.armingDelay;
    // A mine saved after its delay ran out was armed then, and is so again.
    armed = !owner && armingDelay <= 0.0f;
}

void ATMineItem::Select()
{
    NetworkSession& network = RunningLevel::Network();
    if (owner && (network.IsServerActive() || network.IsClientConnected())) {
        // Near a start point a mine is not laid in a network game; the start points come with the
        // network game modes, so none is near yet.
    }
    Item::Select();
    Place();
}

void ATMineItem::SetOwner(Character* newOwner)
{
    ExplosiveItem::SetOwner(newOwner);
    if (!owner)
        armed = false;
}

void ATMineItem::Place()
{
    ExplosiveItem::Place();
    armingDelay = RunningLevel::Scene().IsNetworkGame() ? 5.0f : 1.0f;
}

bool APMineItem::TriggeredBy(Character* character, Character* placer)
{
    LevelScene& scene = RunningLevel::Scene();
    const bool network = scene.IsNetworkGame();
    MineTriggerCase c;
    c.isPlacer = character == placer;
    c.networkGame = network;
    c.alive = character->health > 0;
    c.moving = character->GetVelocity()->LengthSquared() > 0.0f;
    c.sameTeam = placer && placer->team != 0 && placer->team == character->team;
    // The mission's friendly-fire rules are those of hostility: a character the placer may hurt.
    c.friendlyArea = placer && c.sameTeam && scene.AreHostile(placer, character);
    if (!MineMayTrigger(c))
        return false;
    const float radius = MineTriggerRadius(parameters.triggerRadius, network);
    if (radius == 0.0f) {
        if (!worldModel || !worldModel->GetMesh())
            return false;
        Vector3 point = character->position;
        PlaceWorldModel();
        worldModel->Update(0.0f);
        Matrix4 toModel = worldModel->world;
        toModel.Invert();
        return worldModel->GetMesh()->GetBoundingBox().Contains(toModel.TransformPoint(point));
    }
    return (character->GetPointInFront(0.0f) - position).LengthSquared() < radius * radius;
}

// A spent one leaves the world from the scene walk's own step: once deleted, nothing of it (its
// transform, its children) may be touched, and the walk has already taken the next node.
void APMineItem::Update(float elapsed)
{
    if (block.goneOff && ExplosionSoundDone()) {
        RunningLevel::Scene().DeleteItem(this);
        return;
    }
    Item::Update(elapsed);
}

void APMineItem::UpdateTransform(float elapsed)
{
    if (armingDelay > 0.0f) {
        armingDelay -= elapsed;
        if (armingDelay <= 0.0f)
            armed = true;
    }
    if (!block.goneOff && !owner && armed) {
        Character* placer = Placer();
        for (Character* character : RunningLevel::Scene().Characters()) {
            if (block.goneOff)
                break;
            if ((character->position - position).LengthSquared() > 400.0f)
                continue;
            if (TriggeredBy(character, placer))
                Detonate(true);
        }
    }
    Item::UpdateTransform(elapsed);
}

bool APMineItem::Detonate(bool notify)
{
    if (!ExplosiveItem::Detonate(notify))
        return false;
    Vector3 direction(rotation(2, 0), rotation(2, 1), rotation(2, 2));
    if (Character* placer = Placer()) {
        Matrix3 heading;
        heading.FromEulerAngles(0.0f, placer->GetYaw(), kPi / 6.0f);
        direction = Vector3(heading(2, 0), heading(2, 1), heading(2, 2));
    }
    Explode(direction);
    return true;
}
