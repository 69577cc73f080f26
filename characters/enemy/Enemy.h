#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "characters/ai/Soldier.h"

class Sound3D;

// The hostile soldier of the mission's enemy props. Each frame it senses the squads' soldiers
// and the mission's events, keeps a target, chooses its state from its roles, its target and its
// weapon, lets the soldier's state step carry it out and speaks its voice lines; far from the
// camera it moves the cheap way. A dead enemy drops what it carries but its knife.
//
// The saved block: in a formation (1); when in one, leads it (1) and then the leader's formation
// state (89) or the member's leader identifier (2); the soldier's block; version 2 (1); the saved
// int (4); death voice, charge, first sight, choose posture (1 each); the death timer (float).
class Enemy : public Soldier {
public:
    static constexpr std::uint8_t kBlockVersion = 2;
    static constexpr int kMaxVoices = 15;
    static constexpr float kVoiceNear = 40.0f;
    static constexpr float kVoiceFar = 300.0f;
    static constexpr const char* kFormationFile = "Ranger File.for";

    // The voice sets in the order of their tables.
    enum VoiceSet { EndSearch, PDead, Notice, AttackSet, Damage, Death, VoiceSetCount };

    // The sensor file is read from "MultiTXT/" on a connected network client (the host's copy).
    // The five voice sets of the mission's voice folder are loaded here; the attack set comes
    // with LoadVoices.
    Enemy(const char* modelName, const char* sensorFile, const char* const* loadoutNames, int loadoutCount);
    ~Enemy() override;

    void Update(float elapsed) override;
    void Load(SaveStream* stream) override;
    void Save(SaveStream* stream) override;
    void ResetHealth() override;
    bool Draw(Device* device) override;
    void SetPosture(int target) override;
    void SelectDefaultItem() override;
    void TakeDamage(int amount, const Vector3& point, const Vector3& direction, HitResult* record, int weaponID,
                    int attackerID, bool shortForm) override;
    // Unlimited (255) without a network game, else the enemy lives of the server settings.
    void ResetLives() override;
    float GetSkill(int index) override;
    float GetAccuracyAdjustment() override;
    // Called in by its trigger: the nearest squad member within 1000 units becomes the target and
    // the enemy moves to it.
    void CallAsReinforcement() override;
    // The attack set (the alarm whistle of an alarmer, the alert lines of the others).
    virtual void LoadVoices(const char* folder);

    void DropTarget();
    void ChooseAttackState();
    // The damage left after the difficulty, the damage-realism option and the toughness.
    int ScaleDamage(int amount);

    // Plays a random sample of the set at the enemy; nothing for a set without samples.
    void PlayVoice(int set);
    int GetVoiceCount(int set) const;
    // The mission trigger fired when the enemy becomes alerted.
    std::function<void()> alarmTrigger;

    std::uint8_t deathVoice = 1;
    float lastSkill = 0.5f;
    float toughnessOverride = 0.5f;
    int defaultPosture = Standing;
    std::array<std::array<std::unique_ptr<Sound3D>, kMaxVoices>, VoiceSetCount> voices;
    std::array<int, VoiceSetCount> voiceCounts{};
    int spareValue = -1;
    int voiceHandle = -1;
    int voiceIndex = -1;
    int voiceSetPlaying = -1;
    float squadDistanceSquared = 0.0f;
    float cameraDistanceSquared = 0.0f;
    float viewDistanceSquared = 0.0f;
    std::int32_t savedValue = 0; // kept in the block, read by nothing
    float senseTimer = 0.0f;
    float senseInterval = 0.2f;
    float deathTimer = 0.0f;
    float engagementTime = 0.0f;
    std::uint8_t firstContact = 1;
    std::uint8_t charge = 0;
    std::uint8_t firstSight = 1;
    std::uint8_t choosePosture = 0;
    // Set by whoever deals a hit that should pass without a pain line; cleared after every hit.
    std::uint8_t quietHit = 0;

private:
    bool InVehicle() const { return HoldsVehicle(); }
    bool TargetIsCharacter() const;
    bool TargetInTank() const;
    bool TargetIsAlarm() const;
    void StopVoice();
    void UpdateLevelOfDetail();
    void UpdateHeight();
    void Sense();
    void SenseCandidate(GameObject* candidate, float* strongestSight);
    void AnnounceContact();
    void Decide(float elapsed);
    void DecideStationary();
    void DecideMobile();
    void CallComrades();
    void UpdateDead(float elapsed);
    void DropInventory();
};
