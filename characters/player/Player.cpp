#include "characters/player/Player.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/framework/Application.h"
#include "app/framework/Options.h"
#include "characters/ai/AIMissionServices.h"
#include "characters/objects/CarriedItem.h"
#include "characters/ai/Formation.h"
#include "characters/level/LevelScene.h"
#include "characters/level/NetworkSession.h"
#include "characters/level/RunningLevel.h"
#include "characters/player/PlayerVoices.h"
#include "characters/player/SquadCommandView.h"
#include "characters/player/PlayerControls.h"
#include "characters/player/SquadRecords.h"
#include "characters/level/CampaignStatistics.h"
#include "characters/player/GameModeNotices.h"
#include "characters/level/RunningLevel.h"
#include "engine/core/EngineLog.h"
#include "engine/core/q3DError.h"
#include "engine/filesystem/PackFile.h"
#include "engine/serial/SaveStream.h"
#include "media/Sound3D.h"
#include "renderer/Device.h"

namespace {

bool IsClientOnly() { return IsNetworkClientConnected() && !IsNetworkServerActive(); }

std::unique_ptr<Sound3D> LoadLoopSound(const char* path, float maximum, float minimum, bool loop)
{
    SoundSystem* system = Application::Instance()->GetSoundSystem();
    if (!system)
        return nullptr;
    auto sound = std::make_unique<Sound3D>();
    if (sound->Create(system, path) < 0)
        throw q3DError("Can't load %s: %s", path, sound->GetErrorText());
    sound->SetDistances(maximum, minimum, Sound::NoPlay);
    if (loop)
        sound->SetLoopCount(0, Sound::NoPlay);
    return sound;
}

} // namespace

Player* AsPlayer(Character* character)
{
    return character && character->kind == Character::SquadKind ? dynamic_cast<Player*>(character) : nullptr;
}

std::string Player::ResolveModelName(const char* modelName)
{
    const std::string name = modelName ? modelName : "";
    char path[512];
    std::snprintf(path, sizeof path, "%s_lod1.gr2", name.c_str());
    return !name.empty() && PackFileCanOpen(path) ? name : std::string(kFallbackModel);
}

Player::Player(int slot, int controllerValue, SquadRoster* squadRoster, const char* const* loadout,
               const char* modelName)
{
    yawRateRing.Clear();
    pitchRateRing.Clear();
    normalFieldOfView = RunningLevel::Controls().CameraFieldOfView();
    kind = SquadKind;
    ResetLives();
    if (loadout)
        SetLoadoutNames(loadout, kLoadoutCount);

    if (slot >= 10) {
        slot -= 10;
        highSlot = 1;
    }
    squadSlot = slot;
    controller = controllerValue;
    squad = squadRoster;

    LoadAnimationInfo();
    LoadModel(Application::Instance()->GetDevice(), ResolveModelName(modelName).c_str());

    PlayerVoices::LoadIfNeeded();
    const int voice = GetVoiceSet();
    if (voice >= PlayerVoices::GetSetCount())
        throw q3DError("Invalid voice index for character %s", RunningLevel::Records().PlayerName(squadSlot).c_str());

    alerted = true;
    Character::StartAction(0, false);
    moveInput = Vector3();
    turnAngle = 0.0f;
    collides = true;
    gravity = true;
    noCulling = true;

    LoadSensor(IsClientOnly() ? "MultiTXT/GameData/AI/playerAI.sns" : "GameData/AI/playerAI.sns");

    wadingSound = LoadLoopSound("Sound/wadingLP.wav", 300.0f, 35.0f, true);
    swimmingSound = LoadLoopSound("Sound/swimmingLP.wav", 300.0f, 35.0f, true);
    fatigueSound = LoadLoopSound("Sound/fatigued.wav", 200.0f, 40.0f, false);
}

Player::~Player()
{
    bool squadLeft = false;
    for (Character* other : RunningLevel::Scene().Characters()) {
        if (other != this && other && other->kind == SquadKind)
            squadLeft = true;
    }
    if (!squadLeft)
        PlayerVoices::Release();
    if (squad)
        squad->RemoveMember(this);
}

int Player::GetVoiceSet() const { return std::max(0, RunningLevel::Records().VoiceSet(squadSlot)); }

// --- small overrides ---

float Player::GetCarriedWeight()
{
    float total = 0.0f;
    for (CarriedItem* item : inventory)
        total += item ? item->GetWeight() : 0.0f;
    return total;
}

float Player::GetSteadiness() const { return stamina < 10.0f ? steadiness * 0.8f : steadiness; }

float Player::GetSkill(int index) { return RunningLevel::Statistics().SquadSkill(squadSlot, index); }

float Player::GetAccuracyAdjustment()
{
    if (RunningLevel::Scene().CurrentPlayer() == this)
        return 1.0f;
    switch (MissionDifficulty()) {
    case 0: return MissionAIStat("allyaccadjeasy", 1.0f);
    case 1: return MissionAIStat("allyaccadjmed", 1.0f);
    case 2: return MissionAIStat("allyaccadjhard", 1.0f);
    default: return 1.0f;
    }
}

bool Player::StartAction(int action, bool force)
{
    if (action == 21 && kind == SquadKind && RunningLevel::Scene().IsTutorial())
        return false;
    return Character::StartAction(action, force);
}

void Player::ResetLives()
{
    if (!IsNetworkClientConnected() && !IsNetworkServerActive())
        lives = 255;
    else
        lives = GetCharacterServerSettings().lives;
}

void Player::SetSquadNumber(std::int16_t number)
{
    if (number < -1 || number > 31) {
        LogToEngine("Squad number %d ignored", int(number));
        return;
    }
    squadNumber = number;
}

void Player::SetTeam(int newTeam)
{
    if (newTeam < 1 || newTeam > 8) {
        LogToEngine("Team %d ignored", newTeam);
        return;
    }
    team = std::uint8_t(newTeam);
}

// --- damage and death ---

int Player::ScaleDamage(int amount)
{
    const CarriedItem* held = GetHeldItem();
    if (held && held->category == CarriedItem::Vehicle)
        return amount;
    const int difficulty = MissionDifficulty();
    if (difficulty == 0)
        amount /= 2;
    else if (difficulty == 2)
        amount *= 2;
    const Options* options = Options::Instance();
    if (options && options->GetOption(Options::DamageRealism) == 0)
        amount = std::min(int(float(amount) * 0.2f), 25);
    const float toughness = toughnessOverride != -1.0f ? toughnessOverride : GetSkill(7);
    // A toughness above 5 would turn the hit into healing.
    return std::max(0, int((1.0f - 0.2f * toughness) * float(amount)));
}

void Player::TakeDamage(int amount, const Vector3& point, const Vector3& direction, HitResult* record, int weaponID,
                        int attackerID, bool shortForm)
{
    if (!IsNetworkClientConnected())
        underFire = 1;
    if (RunningLevel::Scene().IsTutorial() || health <= 0)
        return;
    amount = ScaleDamage(amount);
    const int oldHealth = health;
    Character::TakeDamage(amount, point, direction, record, weaponID, attackerID, shortForm);

    bool voiced = !IsNetworkClientConnected();
    if (!voiced) {
        auto* source = dynamic_cast<CarriedItem*>(GameObject::GetByID(std::int16_t(weaponID)));
        voiced = source && source->owner && source->owner->GetController() == 0;
    }
    if (voiced && !IsRiding()) {
        if (oldHealth > 0 && health <= 0)
            PlayerVoices::Play(PlayerVoices::Death, GetVoiceSet(), position);
        else if (!burnDamage)
            PlayerVoices::Play(PlayerVoices::Damage, GetVoiceSet(), position);
    }

    const bool crossed = (oldHealth > 99 && health < 100) || (oldHealth > 49 && health < 50);
    if (crossed && !burnDamage) {
        bool mateNear = false;
        if (SquadRoster* current = RunningLevel::Command().CurrentSquadRoster()) {
            for (int i = 0; i < current->GetMemberCount(); ++i) {
                Character* mate = current->GetMember(i);
                if (mate && mate != this && mate->health > 0 && (mate->position - position).LengthSquared() < 10000.0f)
                    mateNear = true;
            }
        }
        if (mateNear)
            PlayerVoices::Play2D(PlayerVoices::Command, GetVoiceSet(), PlayerVoices::Volume());
    }

    if (RunningLevel::Statistics().CampaignActive()) {
        for (int slot = 0; slot < 4; ++slot) {
            if (slot == squadSlot) {
                RunningLevel::Statistics().CampaignAddStat(8, float(amount));
                RunningLevel::Statistics().CampaignAddMorale(slot, -0.05f * float(amount));
                RunningLevel::Statistics().CampaignClearBonusFlags();
            } else {
                RunningLevel::Statistics().CampaignAddMorale(slot, -0.01f * float(amount));
                RunningLevel::Statistics().CampaignClearSquadBonusFlag();
            }
        }
    }
    burnDamage = 0;
}

bool Player::Die(bool notify, int killerID, int weapon, const char* weaponName)
{
    if (health <= 0)
        diedWhileControlled = RunningLevel::Scene().CurrentPlayer() == this ? 1 : 0;
    if (!notify && health > 0) {
        RunningLevel::GameMode().PlayerDamaged(this);
        PlayerVoices::Play(PlayerVoices::Death, GetVoiceSet(), position);
        if (RunningLevel::Statistics().CampaignActive()) {
            for (int slot = 0; slot < 4; ++slot) {
                if (slot == squadSlot) {
                    RunningLevel::Statistics().CampaignAddStat(5, 1.0f);
                } else {
                    RunningLevel::Statistics().CampaignAddMorale(slot, -2.0f);
                    RunningLevel::Statistics().CampaignAddStat(6, 1.0f);
                }
            }
        }
    }
    directTurnTime = 0.0f;
    zoomed = 0;
    return Character::Die(notify, killerID, weapon, weaponName);
}

// --- voices ---

void Player::SayVoiceLine()
{
    const int set = GetVoiceSet();
    if (PlayerVoices::GetSampleCount(PlayerVoices::Kill, set) == 0)
        return;
    if (PlayerVoices::IsPlaying(PlayerVoices::Kill, set, voiceHandle))
        return;
    if (!squad || squad->GetMemberCount() < 2)
        return;
    voiceHandle = PlayerVoices::Play(PlayerVoices::Kill, set, position);
}

// --- squad membership ---

void Player::JoinSquad(Player* member)
{
    if (!member || !member->squad || member == this)
        return;
    if (!member->squad->AddMember(this))
        return;
    squad = member->squad;
    JoinFormationOf(member);
    position.y += 3.0f;
    collides = true;
    gravity = true;
    squadNumber = member->squadNumber;
    team = member->team;
    joinNearestSquad = 0;
    order = OrderFollow;
    SetOrder(OrderFollow);
}

void Player::LeaveSquad()
{
    if (formationLink)
        LeaveFormation();
    joinNearestSquad = 1;
    if (squad)
        squad->RemoveMember(this);
    squad = nullptr;
    squadNumber = -1;
}

// --- the saved block ---

void Player::Save(SaveStream* stream)
{
    Soldier::Save(stream);
    stream->WriteUInt8(kBlockVersion);
    stream->WriteInt16(squadNumber);
    stream->WriteUInt16(squad ? std::uint16_t(squad->GetID()) : GameObject::NoID);
    stream->WriteUInt8(mapProperty);
    stream->WriteInt32(order);
    stream->WriteInt32(fireMode);
    stream->WriteInt32(joinTrigger);
    stream->WriteUInt8(joinNearestSquad);
    stream->WriteFloat(stamina);
    stream->WriteFloat(normalFieldOfView);
}

void Player::Load(SaveStream* stream)
{
    Soldier::Load(stream);
    // The whole block is read before any of it is applied, so a short block changes nothing here.
    stream->ExpectVersion(kBlockVersion, "Incorrection version number in Player block");
    const std::int16_t loadedSquadNumber = stream->ReadInt16();
    const std::uint16_t squadID = stream->ReadUInt16();
    const std::uint8_t loadedProperty = stream->ReadUInt8();
    const int loadedOrder = stream->ReadInt32();
    const int loadedFireMode = stream->ReadInt32();
    const int loadedJoinTrigger = stream->ReadInt32();
    const std::uint8_t loadedJoinNearest = stream->ReadUInt8();
    const float loadedStamina = stream->ReadFloat("stamina");
    const float loadedFieldOfView = stream->ReadFloat("field of view");

    SquadRoster* loadedSquad =
        squadID == GameObject::NoID ? nullptr : dynamic_cast<SquadRoster*>(GameObject::GetByID(std::int16_t(squadID)));
    if (squad && squad != loadedSquad)
        squad->RemoveMember(this);
    squad = loadedSquad;
    squadNumber = loadedSquadNumber;
    if (squad && (squad->Contains(this) || squad->AddMember(this))) {
        if (loadedOrder != OrderHoldPosition && !formationLink) {
            for (int i = 0; i < squad->GetMemberCount(); ++i) {
                auto* first = dynamic_cast<AI*>(squad->GetMember(i));
                if (first && first != this && first->formationLink) {
                    JoinFormationOf(first);
                    break;
                }
            }
        }
        position.y += 3.0f;
        collides = true;
        gravity = true;
        if (Player* first = AsPlayer(squad->GetMember(0)); first && first != this) {
            squadNumber = first->squadNumber;
            team = first->team;
        }
    } else {
        squad = nullptr;
        collides = false;
        gravity = false;
        if (formationLink)
            LeaveFormation();
        squadNumber = -1;
    }
    mapProperty = loadedProperty;
    order = loadedOrder;
    fireMode = loadedFireMode;
    if (order == OrderMoveToPoint)
        OrderMoveTo(destination.destination);
    joinTrigger = loadedJoinTrigger;
    joinNearestSquad = loadedJoinNearest;
    stamina = loadedStamina;
    normalFieldOfView = loadedFieldOfView;
    zoomed = 0;
    attachOffset = 7.0f;
    cameraSideOffset[0] = cameraSideOffset[1] = 0.0f;
    RunningLevel::Controls().SetCameraFieldOfView(normalFieldOfView);
}

// --- drawing ---

bool Player::Draw(Device* drawDevice)
{
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column)
            attachmentNode.rotation(row, column) = world(row, column);
    }
    const Vector3 at = world.GetTranslation();
    attachmentNode.position = Vector3(at.x, at.y - 0.4f, at.z);
    attachmentNode.Update(lastFrameTime);
    const bool drawn = Character::Draw(drawDevice);
    if (viewMode == 2 && dragStartX != -1) {
        int x = 0, y = 0;
        Application::Instance()->GetCursorPos(&x, &y);
        if (std::abs(x - dragStartX) > 10 && std::abs(y - dragStartY) > 10) {
            const float x0 = float(dragStartX), y0 = float(dragStartY), x1 = float(x), y1 = float(y);
            constexpr std::uint32_t kEdge = 0xFFFFCF99;   // (1.0, 0.81, 0.6)
            constexpr std::uint32_t kCorner = 0xFFFFD9A6; // (1.0, 0.85, 0.65)
            RunningLevel::Command().DrawRectangle(x0, y0, x1, y0, kEdge);
            RunningLevel::Command().DrawRectangle(x1, y0, x1, y1, kCorner);
            RunningLevel::Command().DrawRectangle(x1, y1, x0, y1, kEdge);
            RunningLevel::Command().DrawRectangle(x0, y1, x0, y0, kCorner);
        }
    }
    if (drawDevice) {
        const Matrix4 identity;
        drawDevice->SetWorldTransform(&identity);
        Vector3 anchor = position;
        anchor.y -= 3.0f;
        Vector4 screen;
        drawDevice->TransformPoint(&screen, &anchor);
        screenAnchor[0] = screen.x;
        screenAnchor[1] = screen.y;
        screenAnchor[2] = screen.z;
        screenAnchor[3] = screen.w;
    }
    return drawn;
}
