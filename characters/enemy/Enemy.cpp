// The enemy's construction, voices, saved block, damage, skills and the choices its update
// shares (EnemyUpdate.cpp holds the frame).
#include "characters/enemy/Enemy.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "app/framework/Application.h"
#include "app/framework/Options.h"
#include "characters/ai/AILevelView.h"
#include "characters/ai/AIMissionServices.h"
#include "characters/body/AnimationController.h"
#include "characters/objects/CarriedItem.h"
#include "characters/enemy/EnemyAlarm.h"
#include "characters/enemy/EnemyEvents.h"
#include "characters/enemy/EnemyMissionServices.h"
#include "characters/ai/Formation.h"
#include "characters/level/LevelScene.h"
#include "characters/level/NetworkSession.h"
#include "characters/player/Player.h"
#include "characters/level/RunningLevel.h"
#include "characters/body/TemplateCharacter.h"
#include "characters/level/WeaponQueries.h"
#include "characters/player/SquadRecords.h"
#include "characters/level/CampaignStatistics.h"
#include "engine/animation/AnimatedModel.h"
#include "engine/core/RandomMT.h"
#include "engine/core/q3DError.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "engine/serial/SaveStream.h"
#include "media/Sound3D.h"
#include "renderer/Device.h"

namespace {

// The largest toughness factor (a toughness of -5000) and the largest damage one hit can do.
constexpr float kMaxDamageFactor = 1000.0f;
constexpr float kMaxScaledDamage = 1.0e9f;

bool IsClientOnly() { return IsNetworkClientConnected() && !IsNetworkServerActive(); }

// The folder of each set the constructor loads, after the mission's voice folder.
constexpr struct {
    Enemy::VoiceSet set;
    const char* category;
} kMissionVoices[] = {
    {Enemy::Damage, "Damage"}, {Enemy::Death, "Death"}, {Enemy::Notice, "Notice"},
    {Enemy::PDead, "PDead"},   {Enemy::EndSearch, "EndSearch"},
};

int LoadVoiceTable(std::array<std::unique_ptr<Sound3D>, Enemy::kMaxVoices>& table, const char* prefix)
{
    const int loaded =
        RunningLevel::Records().LoadVoiceSet(table.data(), Enemy::kMaxVoices, prefix, Enemy::kVoiceNear, Enemy::kVoiceFar);
    return std::clamp(loaded, 0, Enemy::kMaxVoices);
}

} // namespace

Enemy::Enemy(const char* modelName, const char* sensorFile, const char* const* loadoutNames, int loadoutCount)
{
    kind = EnemyKind;
    LoadAnimationInfo();
    Application* application = Application::Instance();
    LoadModel(application ? application->GetDevice() : nullptr, modelName ? modelName : "");
    if (loadoutNames && loadoutCount > 0)
        SetLoadoutNames(loadoutNames, std::min(loadoutCount, int(kLoadoutCount)));
    const std::string sensor = sensorFile ? sensorFile : "";
    LoadSensor((IsClientOnly() ? "MultiTXT/" + sensor : sensor).c_str());
    const char* folder = RunningLevel::Enemies().VoiceFolder();
    for (const auto& voice : kMissionVoices) {
        char prefix[512];
        std::snprintf(prefix, sizeof prefix, "%s/%s", folder, voice.category);
        voiceCounts[voice.set] = LoadVoiceTable(voices[voice.set], prefix);
    }
    // The full body update runs for a while after construction, so the enemy settles on the
    // ground even far from the camera.
    loadCountdown = 0.4f;
}

Enemy::~Enemy() { StopVoice(); }

void Enemy::LoadVoices(const char* folder)
{
    if (!folder)
        return;
    voiceCounts[AttackSet] = LoadVoiceTable(voices[AttackSet], folder);
    for (int i = 0; i < voiceCounts[AttackSet]; ++i) {
        if (Sound3D* sample = voices[AttackSet][std::size_t(i)].get())
            sample->SetDistances(kVoiceFar, kVoiceNear, Sound::NoPlay);
    }
}

int Enemy::GetVoiceCount(int set) const
{
    return set >= 0 && set < VoiceSetCount ? voiceCounts[std::size_t(set)] : 0;
}

void Enemy::PlayVoice(int set)
{
    const int count = GetVoiceCount(set);
    if (count <= 0)
        return;
    const int index = int(randomMT() % std::uint32_t(count));
    Sound3D* sample = voices[std::size_t(set)][std::size_t(index)].get();
    if (!sample)
        return;
    sample->SetPosition(position.x, position.y, position.z, Sound::NoPlay);
    voiceHandle = sample->Play();
    voiceIndex = index;
    voiceSetPlaying = set;
}

void Enemy::StopVoice()
{
    if (voiceHandle != -1 && voiceSetPlaying >= 0 && voiceIndex >= 0 && voiceIndex < kMaxVoices) {
        if (Sound3D* sample = voices[std::size_t(voiceSetPlaying)][std::size_t(voiceIndex)].get())
            sample->Stop(voiceHandle);
    }
    voiceHandle = -1;
    voiceIndex = -1;
    voiceSetPlaying = -1;
}

// --- small overrides ---

void Enemy::ResetHealth()
{
    Character::ResetHealth();
    deathTimer = 0.0f;
}

void Enemy::ResetLives()
{
    if (!IsNetworkClientConnected() && !IsNetworkServerActive())
        lives = 255;
    else
        lives = GetCharacterServerSettings().enemyLives;
}

void Enemy::SetPosture(int newPosture)
{
    if (newPosture == posture)
        return;
    // The host decides every enemy's posture; a client waits for the host's message.
    if (IsNetworkServerActive()) {
        ServerSendPosture(GetID(), newPosture);
        Character::SetPosture(newPosture);
    } else if (!IsNetworkClientConnected()) {
        Character::SetPosture(newPosture);
    }
}

void Enemy::SelectDefaultItem()
{
    CarriedItem* candidate = GetPrimaryWeapon();
    if (!candidate || candidate->category != CarriedItem::Weapon)
        candidate = GetSecondaryWeapon();
    if (!candidate && !inventory.empty())
        candidate = inventory.front();
    if (candidate && candidate != heldItem)
        SelectItem(candidate);
}

// --- skills ---

float Enemy::GetSkill(int index)
{
    engagementTime = std::min(engagementTime, 30.0f);
    const float f = engagementTime * 0.03333f;
    // The weapon skills grow from 0.2 to the table's value over 30 s of continuous engagement.
    const auto ramp = [f](const char* key) { return 0.2f + f * (MissionAIStat(key, 0.5f) - 0.2f); };
    float value = 0.5f;
    switch (index) {
    case 0:
    case 8:
    case 9: value = MissionAIStat("sidearms", 0.5f); break;
    case 1: value = ramp("sidearms"); break;
    case 2: value = ramp(HoldsWeapon() && WeaponHasScope(heldItem) ? "sniping" : "riflery"); break;
    case 3: value = ramp("machineguns"); break;
    case 4: value = MissionAIStat("grenades", 0.5f); break;
    case 5: value = MissionAIStat("explosives", 0.5f); break;
    case 7: value = toughnessOverride != 0.5f ? toughnessOverride : MissionAIStat("toughness", 0.5f); break;
    default: break;
    }
    lastSkill = value;
    return value;
}

float Enemy::GetAccuracyAdjustment()
{
    switch (MissionDifficulty()) {
    case 0: return MissionAIStat("enemyaccadjeasy", 1.0f);
    case 1: return MissionAIStat("enemyaccadjmed", 1.0f);
    case 2: return MissionAIStat("enemyaccadjhard", 1.0f);
    default: return 1.0f;
    }
}

// --- damage ---

int Enemy::ScaleDamage(int amount)
{
    const int difficulty = MissionDifficulty();
    if (difficulty == 0)
        amount *= 2;
    else if (difficulty == 2)
        amount /= 2;
    const Options* options = Options::Instance();
    if (options && options->GetOption(Options::DamageRealism) == 0)
        amount /= 2;
    // The toughness comes from map and statistics files: a factor beyond any sensible toughness
    // (or not a number) must not turn into an int that does not exist.
    const float factor = 1.0f - 0.2f * GetSkill(7);
    const float scaled = float(amount) * (factor > 0.0f ? std::min(factor, kMaxDamageFactor) : 0.0f);
    return int(std::clamp(scaled, -kMaxScaledDamage, kMaxScaledDamage));
}

void Enemy::TakeDamage(int amount, const Vector3& point, const Vector3& direction, HitResult* record, int weaponID,
                       int attackerID, bool shortForm)
{
    if (RunningLevel::Enemies().EnemiesIgnoreDamage())
        return;
    if (!InVehicle())
        amount = ScaleDamage(amount);
    const int before = health;
    Character::TakeDamage(amount, point, direction, record, weaponID, attackerID, shortForm);

    GameObject* weaponObject = weaponID != -1 ? GameObject::GetByID(std::int16_t(weaponID)) : nullptr;
    CarriedItem* weapon = weaponObject && weaponObject->objectType == ItemType ? static_cast<CarriedItem*>(weaponObject)
                                                                               : nullptr;
    const bool senses = sensor.sightWeight != 0.0f || sensor.soundWeight != 0.0f || sensor.thirdWeight != 0.0f;
    if (health > 0) {
        GameObject* attacker = attackerID != -1 ? GameObject::GetByID(std::int16_t(attackerID)) : nullptr;
        if (!alerted && !IsRiding() && senses && !WeaponIsExplosive(weapon) && attacker && attacker != this) {
            SetTarget(attacker, 1000.0f, true);
            alerted = true;
            SetState(StateLookAround, 5.0f);
            AlertNearby(EnemyKind, 50.0f, attacker);
        }
        if (before > 20 && health <= 20 && !InVehicle() && state != StateUse && state != StateCower && senses &&
            !(roles & Stationary) && DrawInteger() % 100 < 20) {
            auto* victim = TargetIsCharacter() ? static_cast<Character*>(target.target) : nullptr;
            const float d2 = target.target ? position.DistanceSquared(target.target->position) : 3.4e38f;
            if (victim && d2 < 22500.0f && heldItem && !victim->IsRiding() &&
                !(victim->GetHeldItem() && victim->GetHeldItem()->category == CarriedItem::Vehicle)) {
                charge = 1;
                SetState(StateChargeAttack, kNoLimit);
                StandAndHoldFirstItem();
            }
        }
    }

    StopVoice();
    const bool killed = before > 0 && health <= 0;
    if (health > 0 && !IsRiding() && !quietHit)
        PlayVoice(Damage);
    else if (killed && deathVoice)
        PlayVoice(Death);
    quietHit = 0;

    if (killed && RunningLevel::Statistics().CampaignActive()) {
        GameObject* killerObject = attackerID != -1 ? GameObject::GetByID(std::int16_t(attackerID)) : nullptr;
        Character* killerCharacter = killerObject && killerObject->objectType == CharacterType
                                         ? static_cast<Character*>(killerObject)
                                         : nullptr;
        if (Player* killer = AsPlayer(killerCharacter)) {
            for (int slot = 0; slot < 4; ++slot)
                RunningLevel::Statistics().CampaignAddMorale(slot, slot == killer->GetSquadSlot() ? 0.2f : 0.1f);
        }
    }
}

// --- targets and choices ---

void Enemy::CallAsReinforcement()
{
    float d2 = 0.0f;
    Character* nearest = MissionFindNearestSquadMember(position, &d2);
    if (!nearest || d2 > 1000.0f * 1000.0f)
        return;
    SetTarget(nearest, 1000.0f, true);
    SetState(StateMoveToTarget, kNoLimit);
}

bool Enemy::TargetIsCharacter() const
{
    return target.target && target.target->objectType == CharacterType;
}

bool Enemy::TargetInTank() const
{
    if (!TargetIsCharacter())
        return false;
    CarriedItem* held = static_cast<Character*>(target.target)->GetHeldItem();
    return held && held->category == CarriedItem::Vehicle && VehicleTypeOf(held) == 1;
}

bool Enemy::TargetIsAlarm() const
{
    return target.target && target.target->objectType == kAlarmObjectType;
}

void Enemy::DropTarget()
{
    alerted = false;
    savedValue = 0;
    target.Clear();
    if (InVehicle())
        return;
    SelectDefaultItem();
    SetPosture(defaultPosture);
    bool squadNear = false;
    for (const std::vector<Character*>& squad : RunningLevel::AI().Squads()) {
        for (Character* member : squad)
            squadNear = squadNear || (member && member->health > 0 && member->position.DistanceSquared(position) < 90000.0f);
    }
    // With the squad still near, the next sighting is no first contact.
    if (!squadNear)
        firstContact = firstSight = 1;
    mayAlertComrades = 1;
}

void Enemy::ChooseAttackState()
{
    if (state == StateAttack || state == StateBurstAttack || state == StateChargeAttack || state == StateFadeAttack)
        return;
    if (TargetIsCharacter()) {
        auto* victim = static_cast<Character*>(target.target);
        CarriedItem* held = victim->GetHeldItem();
        const bool inVehicle = victim->IsRiding() || (held && held->category == CarriedItem::Vehicle);
        if (inVehicle && !TargetInTank()) {
            SetState(StateStationaryAttack, kNoLimit);
            return;
        }
    }
    const std::uint32_t n = DrawInteger();
    if (charge) {
        SetState(StateChargeAttack, kNoLimit);
        if (WeaponIsExplosive(heldItem))
            StandAndHoldFirstItem();
        return;
    }
    const std::uint32_t m = n % 100;
    const bool close = target.distanceSquared < 10000.0f;
    int chosen = StateAttack;
    if (HoldsWeapon() && WeaponIsAutoRifle(heldItem))
        chosen = close ? (m < 80 ? StateBurstAttack : StateAttack)
                       : (m < 50 ? StateBurstAttack : m >= 90 ? StateAttack : StateFadeAttack);
    else if (HoldsWeapon() && WeaponIsMachineGun(heldItem))
        chosen = close ? (m < 50 ? StateBurstAttack : StateAttack)
                       : (m < 40 ? StateBurstAttack : m >= 90 ? StateAttack : StateFadeAttack);
    SetState(chosen, kNoLimit);
}

// --- saved block ---

void Enemy::Save(SaveStream* stream)
{
    const bool inFormation = formationLink && formationLink->formation;
    stream->WriteUInt8(inFormation ? 1 : 0);
    if (inFormation) {
        const bool leads = LeadsFormation();
        stream->WriteUInt8(leads ? 1 : 0);
        if (leads) {
            SaveFormationState(stream);
        } else {
            Character* leader = GetFormationLeader();
            stream->WriteUInt16(leader ? std::uint16_t(leader->GetID()) : GameObject::NoID);
        }
    }
    Soldier::Save(stream);
    stream->WriteUInt8(kBlockVersion);
    stream->WriteInt32(savedValue);
    stream->WriteUInt8(deathVoice);
    stream->WriteUInt8(charge);
    stream->WriteUInt8(firstSight);
    stream->WriteUInt8(choosePosture);
    stream->WriteFloat(deathTimer);
}

void Enemy::Load(SaveStream* stream)
{
    if (GetAnimation() && GetTemplateCharacter() && GetTemplateCharacter() != this &&
        GetTemplateCharacter()->GetAnimation() && GetAnimation()->SharesTables())
        GetAnimation()->CopySharedTables(*GetTemplateCharacter()->GetAnimation());

    const auto readFlag = [stream](const char* what) {
        const std::uint8_t value = stream->ReadUInt8();
        if (value > 1)
            throw q3DError("The Enemy block's %s byte is %d, not 0 or 1", what, int(value));
        return value != 0;
    };
    const bool inFormation = readFlag("formation");
    bool leads = false;
    Formation state;
    std::uint16_t leaderID = GameObject::NoID;
    if (inFormation) {
        leads = readFlag("leader");
        if (leads) {
            state.movedSquared = stream->ReadFloat("formation's movement");
            state.anchor = stream->ReadVector3("formation's anchor");
            state.orientation = stream->ReadMatrix3("formation's orientation");
            state.previousOrientation = stream->ReadMatrix3("formation's previous orientation");
            state.holdPositions = stream->ReadUInt8();
        } else {
            leaderID = stream->ReadUInt16();
        }
    }

    // The formation is taken before the soldier's block so that the AI block can name its
    // definition; a block that then fails leaves the enemy as it was.
    FormationMember* previousLink = formationLink;
    bool formed = false;
    if (inFormation && leads && !formationLink) {
        SetFormation(kFormationFile);
        formed = formationLink != nullptr;
    } else if (inFormation && !leads) {
        auto* leader = dynamic_cast<AI*>(GameObject::GetByID(std::int16_t(leaderID)));
        if (leader && leader != this && !formationLink) {
            if (!leader->LeadsFormation())
                leader->SetFormation(kFormationFile);
            JoinFormationOf(leader);
            formed = formationLink != previousLink;
        }
    }
    std::uint8_t loadedDeathVoice = 0, loadedCharge = 0, loadedFirstSight = 0, loadedChoosePosture = 0;
    std::int32_t loadedValue = 0;
    float loadedDeathTimer = 0.0f;
    try {
        Soldier::Load(stream);
        stream->ExpectVersion(kBlockVersion, "Incorrect version number in Enemy block");
        loadedValue = stream->ReadInt32();
        loadedDeathVoice = stream->ReadUInt8();
        loadedCharge = stream->ReadUInt8();
        loadedFirstSight = stream->ReadUInt8();
        loadedChoosePosture = stream->ReadUInt8();
        loadedDeathTimer = stream->ReadFloat("death timer");
    } catch (...) {
        if (formed)
            LeaveFormation();
        throw;
    }

    if (!inFormation && formationLink)
        LeaveFormation();
    if (leads && LeadsFormation()) {
        Formation* formation = formationLink->formation;
        formation->movedSquared = state.movedSquared;
        formation->anchor = state.anchor;
        formation->orientation = state.orientation;
        formation->previousOrientation = state.previousOrientation;
        formation->holdPositions = state.holdPositions;
    }
    savedValue = loadedValue;
    senseInterval = 0.2f;
    senseTimer = 0.0f;
    alerted = false;
    firstContact = 1;
    deathVoice = loadedDeathVoice;
    charge = loadedCharge;
    firstSight = loadedFirstSight;
    choosePosture = loadedChoosePosture;
    deathTimer = loadedDeathTimer;
    loadCountdown = 0.4f;
}

// --- drawing ---

bool Enemy::Draw(Device* device)
{
    if (!device)
        return false;
    if (RunningLevel::Enemies().IsRouteDebug() && routePath) {
        for (PtrListNode* node = routePath->GetHead(); node; node = node->next)
            RunningLevel::Enemies().DrawRouteMarker(device, PathPosition(node));
    }
    bool targetedBySquad = false;
    if (const std::vector<Character*>* squad = RunningLevel::AI().CurrentSquad()) {
        for (Character* member : *squad) {
            auto* soldier = dynamic_cast<Soldier*>(member);
            targetedBySquad = targetedBySquad || (soldier && soldier->target.target == this);
        }
    }
    const float far = RunningLevel::AI().CameraFar();
    const float cameraDistance = (RunningLevel::Scene().CameraPosition() - position).LengthSquared();
    if (cameraDistance > far * far && !targetedBySquad) {
        for (int level = 0; level < kLevelsOfDetail; ++level) {
            if (AnimatedModel* body = GetLevelModel(level))
                body->visible = false;
        }
        return false;
    }
    const bool drawn = Character::Draw(device);
    if (RunningLevel::Enemies().IsSensorDebug() && health > 0 && sensor.sightRange > 0.0f) {
        // The view cone: four lines from the eye along the cone's edges, opaque blue.
        static Material material;
        const float halfAngle = (1.0f - sensor.viewConeCos) * 1.5707964f;
        const Matrix3& view = sensor.orientation;
        const Vector3 forward(view(2, 0), view(2, 1), view(2, 2));
        const Vector3 right(view(0, 0), view(0, 1), view(0, 2));
        const Vector3 up(view(1, 0), view(1, 1), view(1, 2));
        const float along = std::cos(halfAngle) * sensor.sightRange;
        const float across = std::sin(halfAngle) * sensor.sightRange;
        const Vector3 edges[4] = {right * across, right * -across, up * across, up * -across};
        LitVertex vertices[8] = {};
        for (int i = 0; i < 4; ++i) {
            const Vector3 ends[2] = {sensor.eyePosition, sensor.eyePosition + forward * along + edges[i]};
            for (int k = 0; k < 2; ++k) {
                LitVertex& vertex = vertices[2 * i + k];
                vertex.position[0] = ends[k].x;
                vertex.position[1] = ends[k].y;
                vertex.position[2] = ends[k].z;
                vertex.color = 0xFF0000FFu;
            }
        }
        Matrix4 identity;
        identity.SetIdentity();
        device->SetWorldTransform(&identity);
        VertexLayout layout;
        layout.InitLitTextured();
        device->DrawUserPrimitives(PrimLineList, vertices, 8, &layout, nullptr, 0, &material);
    }
    return drawn;
}
