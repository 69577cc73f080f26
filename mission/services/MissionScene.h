#pragma once

#include "characters/body/AnimationSets.h"
#include "characters/body/BodySounds.h"
#include "characters/level/LevelScene.h"

class MissionState;

// What the mission's running level answers about its world, characters and loose items.
class MissionScene final : public LevelScene {
public:
    explicit MissionScene(MissionState& mission) : mission(mission) {}

    Vector3 CameraPosition() override;
    Character* CurrentPlayer() override;
    float GroundHeight(const Vector3& point) override;
    const std::vector<Character*>& Characters() override;
    CarriedItem* RidingVehicle(Character* rider) override;
    bool AreHostile(Character* attacker, Character* victim) override;
    bool IsNetworkGame() override;
    bool IsDistanceCulling() override;
    bool IsTutorial() override;
    void AddLooseItem(CarriedItem* item) override;
    void RemoveLooseItem(CarriedItem* item) override;
    void DeleteItem(CarriedItem* item) override;
    ParticleEffectCache* ParticleEffects() override;

private:
    MissionState& mission;
};

// The mission's upper-body folders as the animation sets; its ambient set is the default one.
class MissionAnimationSets final : public AnimationSets {
public:
    explicit MissionAnimationSets(MissionState& mission) : mission(mission) {}

    int FindAnimationSet(const char* name) override;
    int AnimationSetCount() override;
    const char* AnimationSetName(int index) override;
    int DefaultAnimationSet() override;

private:
    MissionState& mission;
};

// The mission's sounds of a character's body.
class MissionBodySounds final : public BodySounds {
public:
    explicit MissionBodySounds(MissionState& mission) : mission(mission) {}

    void PlayTileSound(int foot, int tile, const Vector3& position, bool running) override;
    void PlayHitGroundSound(Character* character) override;
    void PlayCarHitBodySound(const Vector3& position) override;

private:
    MissionState& mission;
};
