// The dog's construction, voices, saved block, damage, skills, dropping its target and drawing
// (AnimalUpdate.cpp holds the frame and the charge).
#include "characters/neutral/Animal.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <string>

#include "app/framework/Application.h"
#include "app/framework/Options.h"
#include "characters/ai/AILevelView.h"
#include "characters/ai/AIMissionServices.h"
#include "characters/body/AnimationController.h"
#include "characters/body/TemplateCharacter.h"
#include "characters/enemy/EnemyEvents.h"
#include "characters/level/CampaignStatistics.h"
#include "characters/level/LevelScene.h"
#include "characters/level/NetworkSession.h"
#include "characters/level/RunningLevel.h"
#include "characters/level/WeaponQueries.h"
#include "characters/neutral/CompanionBlock.h"
#include "characters/objects/CarriedItem.h"
#include "characters/player/Player.h"
#include "engine/animation/AnimatedModel.h"
#include "engine/core/q3DError.h"
#include "engine/serial/SaveStream.h"

namespace {

constexpr float kMaxDamageFactor = 1000.0f;
constexpr float kMaxScaledDamage = 1.0e9f;

} // namespace

Animal::Animal(const char* modelFolder, const char* sensorFile, const char* const* loadoutNames, int loadoutCount)
{
    kind = EnemyKind;
    LoadAnimationInfo();
    Application* application = Application::Instance();
    LoadModel(application ? application->GetDevice() : nullptr, modelFolder ? modelFolder : "");
    if (loadoutNames && loadoutCount > 0)
        SetLoadoutNames(loadoutNames, std::min(loadoutCount, int(kLoadoutCount)));
    const std::string sensor = sensorFile ? sensorFile : "";
    const bool clientOnly = IsNetworkClientConnected() && !IsNetworkServerActive();
    LoadSensor((clientOnly ? "MultiTXT/" + sensor : sensor).c_str());
    LoadCompanionVoices(voices, kVoiceFolder);
    loadCountdown = 0.4f;
}

Animal::~Animal() = default;

void Animal::LoadVoices(const char* folder)
{
    if (!folder)
        return;
    voices.Load(VoiceSets::AlertSet, folder, 3);
    voices.SetDistances(VoiceSets::AlertSet, VoiceSets::kFar, VoiceSets::kNear);
}

void Animal::ResetHealth()
{
    Character::ResetHealth();
    deathTimer = 0.0f;
}

void Animal::ResetLives()
{
    if (!IsNetworkClientConnected() && !IsNetworkServerActive())
        lives = 255;
    else
        lives = GetCharacterServerSettings().enemyLives;
}

float Animal::GetSkill(int index)
{
    switch (index) {
    case 5:
    case 8:
    case 9: return 0.5f;
    case 7: return toughness;
    default: return skill;
    }
}

int Animal::ScaleDamage(int amount)
{
    const int difficulty = MissionDifficulty();
    if (difficulty == 0)
        amount *= 2;
    else if (difficulty == 2)
        amount /= 2;
    const float factor = 1.0f - 0.2f * GetSkill(7);
    float scaled = float(amount) * (factor > 0.0f ? std::min(factor, kMaxDamageFactor) : 0.0f);
    const Options* options = Options::Instance();
    if (options && options->GetOption(Options::DamageRealism) == 0)
        scaled /= 2.0f;
    return int(std::clamp(scaled, -kMaxScaledDamage, kMaxScaledDamage));
}

void Animal::TakeDamage(int amount, const Vector3& point, const Vector3& direction, HitResult* record, int weaponID,
                        int attackerID, bool shortForm)
{
    if (RunningLevel::Enemies().EnemiesIgnoreDamage())
        return;
    if (!HoldsVehicle())
        amount = ScaleDamage(amount);
    const int before = health;
    Character::TakeDamage(amount, point, direction, record, weaponID, attackerID, shortForm);

    GameObject* weaponObject = weaponID != -1 ? GameObject::GetByID(std::int16_t(weaponID)) : nullptr;
    CarriedItem* weapon = weaponObject && weaponObject->objectType == ItemType ? static_cast<CarriedItem*>(weaponObject)
                                                                               : nullptr;
    GameObject* attacker = attackerID != -1 ? GameObject::GetByID(std::int16_t(attackerID)) : nullptr;
    const bool senses = sensor.sightWeight != 0.0f || sensor.soundWeight != 0.0f || sensor.thirdWeight != 0.0f;
    if (health > 0 && !alerted && !IsRiding() && senses && !WeaponIsExplosive(weapon) && attacker && attacker != this) {
        alerted = true;
        SetTarget(attacker, 1000.0f, true);
        SetState(StateLookAround, 5.0f);
        AlertNearby(EnemyKind, 50.0f, attacker);
    }
    voices.Stop();
    const bool killed = before > 0 && health <= 0;
    if (health > 0 && !IsRiding())
        Say(VoiceSets::Damage);
    else if (killed && deathVoice)
        Say(VoiceSets::Death);

    if (killed && RunningLevel::Statistics().CampaignActive()) {
        Character* killer = attacker && attacker->objectType == CharacterType ? static_cast<Character*>(attacker) : nullptr;
        if (Player* soldier = AsPlayer(killer)) {
            for (int slot = 0; slot < 4; ++slot)
                RunningLevel::Statistics().CampaignAddMorale(slot, slot == soldier->GetSquadSlot() ? 0.2f : 0.1f);
        }
    }
}

bool Animal::TargetIsCharacter() const
{
    return target.target && target.target->objectType == CharacterType;
}

void Animal::ClearTarget()
{
    alerted = false;
    savedInt = 0;
    target.Clear();
    if (HoldsVehicle())
        return;
    SelectDefaultItem();
    SetPosture(defaultPosture);
    bool squadNear = false;
    for (const std::vector<Character*>& squad : RunningLevel::AI().Squads())
        for (Character* member : squad)
            squadNear = squadNear || (member && member->health > 0 && member->position.DistanceSquared(position) < 90000.0f);
    if (!squadNear) {
        firstContact = 1;
        savedBytes[1] = 0;
    }
    mayAlertComrades = 1;
}

// --- saved block ---

void Animal::Save(SaveStream* stream)
{
    CompanionBlockTail tail;
    tail.first = std::uint32_t(savedInt);
    tail.deathLine = deathVoice;
    tail.bytes = savedBytes;
    tail.last = std::bit_cast<std::uint32_t>(deathTimer);
    SaveCompanionBlock(*this, stream, tail);
}

void Animal::Load(SaveStream* stream)
{
    if (GetAnimation() && GetTemplateCharacter() && GetTemplateCharacter() != this &&
        GetTemplateCharacter()->GetAnimation() && GetAnimation()->SharesTables())
        GetAnimation()->CopySharedTables(*GetTemplateCharacter()->GetAnimation());
    const CompanionBlockTail tail = LoadCompanionBlock(
        *this, stream, "Animal", "Incorrect version number in Animal block", kFormationFile,
        [](const CompanionBlockTail& read) {
            if (!std::isfinite(std::bit_cast<float>(read.last)))
                throw q3DError("The Animal block's death timer is not a finite number");
        });
    savedInt = std::int32_t(tail.first);
    senseInterval = 0.2f;
    senseTimer = 0.0f;
    alerted = false;
    firstContact = 1;
    deathVoice = tail.deathLine;
    savedBytes = tail.bytes;
    deathTimer = std::bit_cast<float>(tail.last);
    loadCountdown = 0.4f;
}

// --- drawing ---

bool Animal::Draw(Device* device)
{
    if (!device)
        return false;
    if (RunningLevel::Enemies().IsRouteDebug() && routePath) {
        for (PtrListNode* node = routePath->GetHead(); node; node = node->next)
            RunningLevel::Enemies().DrawRouteMarker(device, PathPosition(node));
    }
    bool targeted = false;
    if (const std::vector<Character*>* squad = RunningLevel::AI().CurrentSquad()) {
        for (Character* member : *squad) {
            auto* soldier = dynamic_cast<Soldier*>(member);
            targeted = targeted || (soldier && soldier->target.target == this);
        }
    }
    if (cameraDistanceSquared >= viewDistanceSquared && !targeted && !(loadCountdown > 0.0f)) {
        for (int level = 0; level < kLevelsOfDetail; ++level) {
            if (AnimatedModel* body = GetLevelModel(level))
                body->visible = false;
        }
        return false;
    }
    return Character::Draw(device);
}
