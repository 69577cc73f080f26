#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "characters/ai/Soldier.h"
#include "characters/neutral/VoiceSets.h"

// The guard dog of the map's animal props: a soldier of the enemy's kind that senses the squads'
// soldiers, barks when it notices one, runs at its target along a planned route and bites with
// its held "Dog Bite"; it whimpers when hurt and can be killed. It keeps the neutral's saved block
// (CompanionBlock) and health reset.
//
// The saved block: the formation prefix; the soldier's block; version 2 (1); the saved int (4);
// the death-voice byte (1); the three saved bytes (1 each); the death timer (float).
class Animal : public Soldier {
public:
    static constexpr const char* kFormationFile = "Ranger File.for";
    static constexpr const char* kVoiceFolder = "Sound/Dog";

    // The sensor file is read from "MultiTXT/" on a connected network client. The five sets of
    // "Sound/Dog" are loaded here; the alert set comes with LoadVoices.
    Animal(const char* modelFolder, const char* sensorFile, const char* const* loadoutNames, int loadoutCount);
    ~Animal() override;

    void Update(float elapsed) override;
    void Load(SaveStream* stream) override;
    void Save(SaveStream* stream) override;
    void ResetHealth() override;
    bool Draw(Device* device) override;
    // A dog keeps its posture.
    void SetPosture(int target) override { (void)target; }
    void TakeDamage(int amount, const Vector3& point, const Vector3& direction, HitResult* record, int weaponID,
                    int attackerID, bool shortForm) override;
    void ResetLives() override;
    float GetSkill(int index) override;
    virtual void LoadVoices(const char* folder);

    void ClearTarget();
    int ScaleDamage(int amount);
    std::function<void()> alarmTrigger;

    std::uint8_t deathVoice = 1;
    float skill = 0.7f;
    float toughness = 0.5f;
    int defaultPosture = Standing;
    VoiceSets voices;
    float squadDistanceSquared = 0.0f;
    float cameraDistanceSquared = 0.0f;
    float viewDistanceSquared = 0.0f;
    std::int32_t savedInt = 0;
    float senseTimer = 0.0f;
    float senseInterval = 0.2f;
    float deathTimer = 0.0f;
    std::uint8_t firstContact = 1;
    // The second is the pending zero-in request; the others are kept in the block only.
    std::array<std::uint8_t, 3> savedBytes{};

protected:
    void UpdateChargeAttack(float elapsed) override;

private:
    bool TargetIsCharacter() const;
    void Say(int set) { voices.Play(set, position); }
    void UpdateDistances();
    void UpdateHeight();
    void Sense();
    void Announce();
    void Decide();
    void DecideMobile();
    void UpdateDead(float elapsed);
};
