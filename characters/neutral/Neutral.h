#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "characters/ai/Soldier.h"
#include "characters/neutral/VoiceSets.h"

// A villager of the map's neutral props. It watches the squads' soldiers through its sensor,
// notices them, warns the neutrals near it, may raise the alarm, and cowers from a hostile target
// until the squad has gone; otherwise it walks its patrol, follows its formation or stands idle.
// Far from the camera it moves the cheap way; it is drawn only near the camera or when targeted.
//
// The saved block (CompanionBlock): the formation prefix; the soldier's block; version 2 (1);
// block value A (float), the death-line byte (1), the three block bytes (1 each), block value B
// (int32).
class Neutral : public Soldier {
public:
    static constexpr const char* kFormationFile = "Ranger File.for";

    // The sensor file is read from "MultiTXT/" on a connected network client; the five categories
    // of the voice folder are loaded here, the alert lines with LoadVoices. The two further texts
    // are kept as given.
    Neutral(const char* modelName, const char* sensorFile, const char* voiceFolder, const char* firstText = nullptr,
            const char* secondText = nullptr);
    ~Neutral() override;

    void Update(float elapsed) override;
    void Load(SaveStream* stream) override;
    void Save(SaveStream* stream) override;
    void ResetHealth() override;
    bool Draw(Device* device) override;
    // Neutrals take no posture orders.
    void SetPosture(int target) override { (void)target; }
    void TakeDamage(int amount, const Vector3& point, const Vector3& direction, HitResult* record, int weaponID,
                    int attackerID, bool shortForm) override;
    void ResetLives() override;
    float GetSkill(int index) override;
    virtual void LoadVoices(const char* folder);

    void LoseTarget();
    // The damage left after the difficulty, the damage-realism option and the toughness.
    int ScaleDamage(int amount);
    std::function<void()> alarmTrigger;

    std::uint8_t deathLine = 1;
    float skillValue = 0.7f;
    float toughness = 0.5f;
    int defaultPosture = Standing;
    VoiceSets voices;
    float squadDistanceSquared = 0.0f;
    float cameraDistanceSquared = 0.0f;
    float farDistanceSquared = 0.0f;
    float blockValueA = 0.0f;
    float lookTimer = 0.0f;
    float lookInterval = 0.2f;
    std::int32_t blockValueB = 0;
    std::uint8_t mayRaiseAlarm = 1;
    std::array<std::uint8_t, 3> blockBytes{0, 1, 0};
    // Set by LoseTarget: the next notice warns the other neutrals.
    std::uint8_t warn = 0;
    float deathTimer = 0.0f;
    std::string firstText, secondText;

private:
    bool TargetIsCharacter() const;
    void Say(int set) { voices.Play(set, position); }
    void UpdateDistances();
    void UpdateHeight();
    // Senses the characters and the mission's objects; the largest sight stimulus of the pass.
    float Look();
    void Notice();
    void Decide();
    void UpdateDead(float elapsed);
};
