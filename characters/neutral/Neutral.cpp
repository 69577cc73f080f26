// The neutral's construction, voices, saved block, damage, skills and drawing (NeutralUpdate.cpp
// holds the frame).
#include "characters/neutral/Neutral.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "app/framework/Application.h"
#include "app/framework/Options.h"
#include "characters/ai/AILevelView.h"
#include "characters/ai/AIMissionServices.h"
#include "characters/body/AnimationController.h"
#include "characters/body/TemplateCharacter.h"
#include "characters/neutral/CompanionBlock.h"
#include "characters/enemy/EnemyEvents.h"
#include "characters/level/LevelScene.h"
#include "characters/level/NetworkSession.h"
#include "characters/level/RunningLevel.h"
#include "engine/animation/AnimatedModel.h"
#include "engine/core/q3DError.h"
#include "engine/serial/SaveStream.h"

namespace {

constexpr float kMaxDamageFactor = 1000.0f;
constexpr float kMaxScaledDamage = 1.0e9f;

} // namespace

Neutral::Neutral(const char* modelName, const char* sensorFile, const char* voiceFolder, const char* first,
                 const char* second)
    : firstText(first ? first : ""), secondText(second ? second : "")
{
    kind = NeutralKind;
    LoadAnimationInfo();
    Application* application = Application::Instance();
    LoadModel(application ? application->GetDevice() : nullptr, modelName ? modelName : "");
    const std::string sensor = sensorFile ? sensorFile : "";
    const bool clientOnly = IsNetworkClientConnected() && !IsNetworkServerActive();
    LoadSensor((clientOnly ? "MultiTXT/" + sensor : sensor).c_str());
    const char* folder = voiceFolder && voiceFolder[0] ? voiceFolder : "Sound/Voice";
    LoadCompanionVoices(voices, folder);
    // The full body update runs for a while after construction, so the neutral settles on the
    // ground even far from the camera.
    loadCountdown = 0.4f;
}

Neutral::~Neutral() = default;

void Neutral::LoadVoices(const char* folder)
{
    if (!folder)
        return;
    voices.Load(VoiceSets::AlertSet, folder, 3);
    voices.SetDistances(VoiceSets::AlertSet, VoiceSets::kFar, 30.0f);
}

void Neutral::ResetHealth()
{
    Character::ResetHealth();
    blockValueB = 0;
    deathTimer = 0.0f;
}

void Neutral::ResetLives()
{
    if (!IsNetworkClientConnected() && !IsNetworkServerActive())
        lives = 255;
    else
        lives = GetCharacterServerSettings().enemyLives;
}

float Neutral::GetSkill(int index)
{
    switch (index) {
    case 5:
    case 8:
    case 9: return 0.5f;
    case 7: return toughness;
    default: return skillValue;
    }
}

int Neutral::ScaleDamage(int amount)
{
    const int difficulty = MissionDifficulty();
    if (difficulty == 0)
        amount *= 2;
    else if (difficulty == 2)
        amount /= 2;
    const Options* options = Options::Instance();
    const bool halved = options && options->GetOption(Options::DamageRealism) == 0;
    // The toughness comes from the map: a factor beyond any sensible one (or not a number) must
    // not turn into an int that does not exist.
    const float factor = 1.0f - 0.2f * GetSkill(7);
    const float t = factor > 0.0f ? std::min(factor, kMaxDamageFactor) : 0.0f;
    const float scaled = t * (halved ? float(amount / 2) : float(amount));
    return int(std::clamp(scaled, -kMaxScaledDamage, kMaxScaledDamage));
}

void Neutral::TakeDamage(int amount, const Vector3& point, const Vector3& direction, HitResult* record, int weaponID,
                         int attackerID, bool shortForm)
{
    if (RunningLevel::Enemies().NeutralsIgnoreDamage())
        return;
    if (!HoldsVehicle())
        amount = ScaleDamage(amount);
    const int before = health;
    Character::TakeDamage(amount, point, direction, record, weaponID, attackerID, shortForm);

    const bool senses = sensor.sightWeight != 0.0f || sensor.soundWeight != 0.0f || sensor.thirdWeight != 0.0f;
    GameObject* weapon = weaponID != -1 ? GameObject::GetByID(std::int16_t(weaponID)) : nullptr;
    GameObject* attacker = attackerID != -1 ? GameObject::GetByID(std::int16_t(attackerID)) : nullptr;
    if (health > 0 && !alerted && !IsRiding() && senses && weapon && attacker && attacker != this) {
        alerted = true;
        SetTarget(attacker, 1000.0f, true);
        AlertNearby(NeutralKind, 50.0f, attacker);
    }
    voices.Stop();
    if (before > 0 || health > 0) {
        if (health <= 0) {
            if (deathLine && !IsRiding())
                Say(VoiceSets::Death);
        } else if (!IsRiding() && !fireRunning) {
            Say(VoiceSets::Damage);
        }
    }
}

void Neutral::LoseTarget()
{
    alerted = false;
    target.Clear();
    if (!HoldsVehicle()) {
        SelectDefaultItem();
        SetPosture(defaultPosture);
    }
    warn = 1;
}

bool Neutral::TargetIsCharacter() const
{
    return target.target && target.target->objectType == CharacterType;
}

// --- saved block ---

void Neutral::Save(SaveStream* stream)
{
    CompanionBlockTail tail;
    tail.first = std::bit_cast<std::uint32_t>(blockValueA);
    tail.deathLine = deathLine;
    tail.bytes = blockBytes;
    tail.last = std::uint32_t(blockValueB);
    SaveCompanionBlock(*this, stream, tail);
}

void Neutral::Load(SaveStream* stream)
{
    if (GetAnimation() && GetTemplateCharacter() && GetTemplateCharacter() != this &&
        GetTemplateCharacter()->GetAnimation() && GetAnimation()->SharesTables())
        GetAnimation()->CopySharedTables(*GetTemplateCharacter()->GetAnimation());
    const CompanionBlockTail tail = LoadCompanionBlock(
        *this, stream, "Neutral", "Incorrect version number in Neutral block", kFormationFile,
        [](const CompanionBlockTail& read) {
            if (!std::isfinite(std::bit_cast<float>(read.first)))
                throw q3DError("The Neutral block's value is not a finite number");
        });
    lookTimer = 0.0f;
    alerted = false;
    lookInterval = 0.2f;
    mayRaiseAlarm = 1;
    blockValueA = std::bit_cast<float>(tail.first);
    deathLine = tail.deathLine;
    blockBytes = tail.bytes;
    blockValueB = std::int32_t(tail.last);
    loadCountdown = 0.4f;
}

// --- drawing ---

bool Neutral::Draw(Device* device)
{
    if (!device)
        return false;
    bool targeted = false;
    if (const std::vector<Character*>* squad = RunningLevel::AI().CurrentSquad()) {
        for (Character* member : *squad) {
            auto* soldier = dynamic_cast<Soldier*>(member);
            targeted = targeted || (soldier && soldier->target.target == this);
        }
    }
    if (!(cameraDistanceSquared < farDistanceSquared) && !targeted && !(loadCountdown > 0.0f)) {
        for (int level = 0; level < kLevelsOfDetail; ++level) {
            if (AnimatedModel* body = GetLevelModel(level))
                body->visible = false;
        }
        return false;
    }
    noCulling = targeted || loadCountdown > 0.0f;
    return Character::Draw(device);
}
