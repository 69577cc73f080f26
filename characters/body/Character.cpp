#include "characters/body/Character.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/framework/Application.h"
#include "characters/body/AnimationController.h"
#include "characters/body/AnimationSets.h"
#include "characters/objects/CarriedItem.h"
#include "characters/level/LevelScene.h"
#include "characters/level/NetworkSession.h"
#include "characters/level/RunningLevel.h"
#include "characters/player/SquadCommandView.h"
#include "characters/body/TemplateCharacter.h"
#include "engine/animation/AnimatedModel.h"
#include "engine/core/EngineLog.h"
#include "engine/core/q3DError.h"
#include "engine/filesystem/PackFile.h"
#include "engine/material/Material.h"
#include "engine/particle/ParticleEffectCache.h"
#include "engine/particle/qParticle.h"
#include "engine/serial/SaveStream.h"
#include "renderer/Device.h"

namespace {

constexpr const char* kBoneNames[Character::BoneCount] = {
    "Bip01 L Foot", "Bip01 R Foot", "Bip01 Head", "v-hat", "Bip01 R UpperArm", "Bip01 L UpperArm",
    "Bip01 R Forearm", "Bip01 L Forearm", "Bip01 R Hand", "Bip01 L Hand", "Bip01 R Finger01", "Bip01 L Finger01",
    "Bip01 R Finger11", "Bip01 L Finger11", "Bip01 R Clavicle", "Bip01 L Clavicle", "Bip01 Neck", "Bip01 Spine3",
    "Bip01 Spine2", "Bip01 Spine1", "Bip01 Spine", "Bip01 Pelvis", "Bip01 R Thigh", "Bip01 L Thigh",
    "Bip01 R Calf", "Bip01 L Calf", "Bip01 R Toe0", "Bip01 L Toe0",
};

// The per-bone damage factors; bones not listed keep 0, which reads as 1.0.
struct BoneFactor {
    Character::Bone bone;
    float factor;
};
constexpr BoneFactor kBoneFactors[] = {
    {Character::Head, 100.0f},          {Character::Hat, 100.0f},          {Character::Neck, 100.0f},
    {Character::Spine3, 10.0f},         {Character::Spine2, 1.2f},         {Character::Spine1, 1.2f},
    {Character::Spine, 1.2f},           {Character::Pelvis, 1.1f},         {Character::RightUpperArm, 1.1f},
    {Character::LeftUpperArm, 1.1f},    {Character::RightClavicle, 2.0f},  {Character::LeftClavicle, 2.0f},
    {Character::RightForearm, 0.6f},    {Character::LeftForearm, 0.6f},    {Character::RightHand, 0.6f},
    {Character::LeftHand, 0.6f},        {Character::RightFinger0, 0.6f},   {Character::LeftFinger0, 0.6f},
    {Character::LeftFinger1, 0.6f},     {Character::RightFinger1, 0.5f},   {Character::RightThigh, 0.6f},
    {Character::LeftThigh, 0.6f},       {Character::RightCalf, 0.6f},      {Character::LeftCalf, 0.6f},
    {Character::RightFoot, 0.6f},       {Character::LeftFoot, 0.6f},       {Character::RightToe, 0.6f},
    {Character::LeftToe, 0.6f},
};

// The animation each movespeeds line stands for.
constexpr int kSpeedLineAnimations[24] = {27, 25, 42, 40, 28, 26, 43, 41, 23, 1, 22, 38,
                                          37, 57, 58, 24, 39, 5,  5,  0,  0,  0,  0,  0};

// Channels 2 to 8 get these blend values when the animation information is loaded.
constexpr int kChannelBlendValues[7] = {1, 1, 1, 2, 2, 2, 3};

void SplitPath(const std::string& path, std::string& folder, std::string& name, std::string& extension)
{
    const std::size_t slash = path.find_last_of("/\\");
    folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = file.find_last_of('.');
    name = dot == std::string::npos ? file : file.substr(0, dot);
    extension = dot == std::string::npos ? std::string() : file.substr(dot);
}

bool IsNetworked()
{
    return IsNetworkServerActive() || IsNetworkClientConnected();
}

} // namespace

Character::Character()
{
    objectType = CharacterType;
    aimNode.SetParent(this);
    attachNode.SetParent(&aimNode);
    bodyNode.SetParent(this);
    ResetLives();
    bones.fill(-1);
    stepLengths[0].assign(kAnimationCount, 0.0f);
    stepLengths[1].assign(kAnimationCount, 0.0f);
    speedLines.assign(24, 0.0f);
    lightHistory.fill(1.0f);
}

Character::~Character()
{
    ReleaseSkins();
    if (GetTemplateCharacter() == this)
        SetTemplateCharacter(nullptr);
    if (footShadow) {
        footShadow->Release();
        footShadow = nullptr;
    }
    delete footShadowMaterial;
    if (footShadowBitmap)
        footShadowBitmap->Release();
    for (auto& level : lodModels) {
        if (level) {
            level->Detach();
            level->Release();
        }
    }
    if (model)
        model->Detach();
    if (fireEffect)
        fireEffect->Detach();
    if (smokeEffect)
        smokeEffect->Detach();
    animation.reset();
    // The items outlive their carrier; only the list goes.
    for (CarriedItem* item : inventory) {
        if (item->owner == this)
            item->owner = nullptr;
    }
    inventory.clear();
    attachNode.Detach();
    aimNode.Detach();
    bodyNode.Detach();
}

void Character::ReleaseSkins()
{
    // The base skins belong to the model's materials; put them back before the blink and teeth
    // textures go.
    for (int level = 0; level < kLevelsOfDetail; ++level) {
        if (lodMeshes[std::size_t(level)] && baseSkins[std::size_t(level)])
            lodMeshes[std::size_t(level)]->texture[0] = baseSkins[std::size_t(level)];
    }
    if (blinkSkin)
        blinkSkin->Release();
    if (firingSkin)
        firingSkin->Release();
    blinkSkin = firingSkin = nullptr;
}

// ------------------------------------------------------------------------------------------------
// Body and animations

void Character::LoadAnimationInfo()
{
    Character* templateCharacter = GetTemplateCharacter();
    if (templateCharacter && templateCharacter != this && templateCharacter->animation && kind != SquadKind) {
        animation = std::make_unique<AnimationController>(*templateCharacter->animation);
    } else {
        const int sets = std::max(1, RunningLevel::Animations().AnimationSetCount());
        animation = std::make_unique<AnimationController>("GameData/Models/", kChannelCount, sets, kAnimationCount,
                                                          kMaxVariations);
        if (!templateCharacter)
            SetTemplateCharacter(this);
    }
    animation->SetChannelWeight(1, 1.0f);
    for (int c = 2; c <= 8; ++c) {
        if (AnimationController::Channel* channel = animation->GetChannel(c))
            channel->channelValue = kChannelBlendValues[c - 2];
    }
}

void Character::LoadModel(Device* newDevice, const char* modelPath)
{
    device = newDevice;
    if (!animation)
        LoadAnimationInfo();
    std::string folder, name, extension;
    SplitPath(modelPath ? modelPath : "", folder, name, extension);
    const auto levelPath = [&](int level) {
        char file[512];
        std::snprintf(file, sizeof file, "%s_LOD%d.gr2", name.c_str(), level);
        return folder + file;
    };

    // Level 1 plays the animations; the others borrow its skeleton and start hidden.
    animation->LoadModel(device, levelPath(1).c_str());
    model = animation->GetModel();
    model->SetParent(&bodyNode);
    for (int level = 2; level <= kLevelsOfDetail; ++level) {
        const std::string path = levelPath(level);
        if (!PackFileCanOpen(path.c_str()))
            break;
        auto extra = std::make_unique<AnimatedModel>();
        try {
            extra->Load(device, path.c_str(), nullptr);
        } catch (...) {
            extra->Release();
            throw;
        }
        extra->BindToSkeletonOf(*model);
        extra->SetParent(&bodyNode);
        lodModels[std::size_t(level - 1)] = std::move(extra);
    }

    // Bones by name; the hat falls back to the head.
    const int boneCount = model->GetBoneCount();
    for (int b = 0; b < BoneCount; ++b) {
        const char* boneName = b == Hat ? (kind == SquadKind ? "a-hat" : "v-hat") : kBoneNames[b];
        bones[std::size_t(b)] = model->FindBone(boneName);
    }
    if (bones[Hat] < 0 || bones[Hat] >= boneCount)
        bones[Hat] = bones[Head];
    boneDamage.assign(std::size_t(boneCount) + 1, 0.0f);
    for (const BoneFactor& entry : kBoneFactors) {
        const int bone = bones[std::size_t(entry.bone)];
        if (bone >= 0 && bone < boneCount)
            boneDamage[std::size_t(bone)] = entry.factor;
    }

    LoadMoveSpeeds();

    // The template loads every animation set; the others take its variations onto their model.
    Character* templateCharacter = GetTemplateCharacter();
    if (templateCharacter == this || !templateCharacter || !templateCharacter->animation ||
        !templateCharacter->model) {
        const int sets = animation->GetSetCount();
        for (int set = 0; set < sets; ++set) {
            const char* setName = RunningLevel::Animations().AnimationSetName(set);
            char setFolder[512];
            std::snprintf(setFolder, sizeof setFolder, "GameData/Models/Upperbody/%s/", setName ? setName : "");
            LoadAnimations(setFolder, set);
        }
    } else {
        animation->CopyChannels(*templateCharacter->animation, true);
    }

    if (!RunningLevel::Scene().IsNetworkGame())
        LoadFaceSkins(device);
    CreateFootShadow(device);

    if (!fireEffect) {
        ParticleEffectCache* definitions = RunningLevel::Scene().ParticleEffects();
        fireEffect = CreateParticleEffect(definitions, device, "GameData/fx/fire.par");
        fireEffect->active = false;
        smokeEffect = CreateParticleEffect(definitions, device, "GameData/fx/fireSmoke.par");
        smokeEffect->active = false;
    }
}

void Character::LoadAnimations(const char* folder, int set)
{
    if (animation)
        animation->LoadAnimationSet(set, folder);
}

void Character::LoadMoveSpeeds()
{
    const bool clientCopy = IsNetworkClientConnected() && !IsNetworkServerActive();
    const char* path = clientCopy ? "MultiTXT/GameData/Models/movespeeds.txt" : "GameData/Models/movespeeds.txt";
    std::vector<std::uint8_t> bytes;
    if (!PackFileReadAll(path, bytes))
        throw q3DError("Can't open %s", path);
    const std::string text(bytes.begin(), bytes.end());
    std::size_t start = 0;
    for (int line = 0; line < 24 && start < text.size(); ++line) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string row = text.substr(start, end - start);
        start = end + 1;
        float values[3] = {0.0f, 0.0f, 0.0f};
        const int read = std::sscanf(row.c_str(), "%f %f %f", &values[0], &values[1], &values[2]);
        // A line that does not hold three finite numbers keeps zeros (no step sounds, no speed).
        bool usable = read == 3;
        for (float v : values)
            usable = usable && std::isfinite(v);
        if (!usable) {
            LogToEngine("%s line %d does not hold three numbers; it is skipped", path, line + 1);
            continue;
        }
        const int target = kSpeedLineAnimations[line];
        stepLengths[0][std::size_t(target)] = values[0];
        stepLengths[1][std::size_t(target)] = values[1];
        speedLines[std::size_t(line)] = values[2];
    }
}

float Character::GetStepLength(int foot, int animationIndex) const
{
    if (foot < 0 || foot > 1 || animationIndex < 0 || animationIndex >= kAnimationCount)
        return 0.0f;
    return stepLengths[foot][std::size_t(animationIndex)];
}

float Character::GetSpeedLine(int line) const
{
    return line >= 0 && line < int(speedLines.size()) ? speedLines[std::size_t(line)] : 0.0f;
}

void Character::LoadFaceSkins(Device* dev)
{
    if (!dev)
        return;
    for (int level = 0; level < kLevelsOfDetail; ++level) {
        AnimatedModel* levelModel = GetLevelModel(level);
        if (!levelModel)
            continue;
        for (int m = 0; m < levelModel->GetMaterialCount(); ++m) {
            Material* material = levelModel->GetMaterial(m);
            if (!material || !material->texture[0])
                continue;
            const char* textureName = material->texture[0]->GetName();
            if (!textureName || (!std::strstr(textureName, "face") && !std::strstr(textureName, "Face")))
                continue;
            lodMeshes[std::size_t(level)] = material;
            baseSkins[std::size_t(level)] = material->texture[0];
            if (blinkSkin || firingSkin)
                break;
            std::string folder, name, extension;
            SplitPath(textureName, folder, name, extension);
            const auto load = [&](const char* suffix) -> D3DBitmap* {
                for (const char* ext : {".tga", ".dds"}) {
                    const std::string path = folder + name + suffix + ext;
                    if (!PackFileCanOpen(path.c_str()))
                        continue;
                    D3DBitmap* bitmap = nullptr;
                    dev->CreateBitmap(&bitmap);
                    if (!bitmap)
                        throw q3DError("Can't load %s: %s", path.c_str(), "out of memory");
                    bool loaded = bitmap->Load(path.c_str(), 0, 0) == 1;
                    if (loaded && bitmap->GetFormat() != 25 && bitmap->GetFormat() != 4)
                        loaded = bitmap->Reformat(4) == 1;
                    if (!loaded) {
                        const std::string reason = bitmap->GetLastError() ? bitmap->GetLastError() : "";
                        bitmap->Release();
                        throw q3DError("Can't load %s: %s", path.c_str(), reason.c_str());
                    }
                    return bitmap;
                }
                return nullptr;
            };
            blinkSkin = load("_blink");
            firingSkin = load("_teeth");
            break;
        }
    }
}

void Character::SetPosition(float x, float y, float z)
{
    position = Vector3(x, y, z);
    lastSetPosition = position;
}

void Character::ResetPosition()
{
    position = lastSetPosition + Vector3(0.0f, 3.0f, 0.0f);
}

void Character::PlaceAt(float x, float y, float z)
{
    position = Vector3(x, y, z);
    moveCorrectionTime = 0.0f;
    glideTime = 0.0f;
}

void Character::MoveTo(float x, float y, float z)
{
    position = Vector3(x, y, z);
    bodyNode.position = Vector3(0.0f, collides ? -radii.y : 0.0f, 0.0f);
}

Vector3 Character::GetPointInFront(float reach) const
{
    Vector3 forward(rotation.m[6], 0.0f, rotation.m[8]);
    forward.Normalize();
    return position + forward * reach;
}

void Character::SetLoadoutNames(const char* const* names, int count)
{
    ClearLoadoutNames();
    for (int i = 0; i < std::min(count, kLoadoutCount); ++i) {
        if (names && names[i]) {
            std::strncpy(loadoutNames[i], names[i], kLoadoutNameSize - 1);
            loadoutNames[i][kLoadoutNameSize - 1] = '\0';
        }
    }
}

void Character::ClearLoadoutNames()
{
    std::memset(loadoutNames, 0, sizeof loadoutNames);
}

const char* Character::GetLoadoutName(int index) const
{
    return index >= 0 && index < kLoadoutCount ? loadoutNames[index] : "";
}

void Character::SetAnimationSet(int set)
{
    if (animation && set != animation->GetAnimationSet())
        animation->SetAnimationSet(set);
}

int Character::GetAnimationSet() const
{
    return animation ? animation->GetAnimationSet() : 0;
}

// ------------------------------------------------------------------------------------------------
// Lives, view, orientation

void Character::UseLife()
{
    if (lives != 0 && lives != 255)
        --lives;
}

void Character::ResetLives()
{
    if (!IsNetworked()) {
        lives = 255;
        return;
    }
    lives = GetCharacterServerSettings().lives;
}

void Character::ResetHealth()
{
    health = 100;
    resetByte = false;
    overkill = 0;
    deathSettled = false;
}

void Character::AttachToModel(SceneNode* node)
{
    if (!node)
        return;
    node->position = Vector3();
    node->rotation = Matrix3();
    node->SetParent(&attachNode);
}

void Character::CycleViewMode()
{
    if (viewMode == 0)
        viewMode = 1;
    else if (viewMode == 1)
        viewMode = 0;
    else {
        viewMode = savedViewMode;
        RunningLevel::Command().LeftCommandView(this);
    }
}

void Character::GetHeadPosition(Vector3* out)
{
    if (!out)
        return;
    if (!model || bones[Head] < 0) {
        *out = position + Vector3(0.0f, 5.0f, 0.0f);
        return;
    }
    Vector3 local;
    model->GetBonePosition(bones[Head], local);
    *out = model->world.TransformPoint(local);
}

Vector3 Character::GetPelvisPosition()
{
    if (!model || bones[Pelvis] < 0)
        return position;
    Vector3 local;
    model->GetBonePosition(bones[Pelvis], local);
    return model->world.TransformPoint(local);
}

void Character::GetAimPoint(int aimKind, Vector3* point)
{
    if (!point)
        return;
    GetHeadPosition(point);
    if (aimKind == 1 && posture != Prone)
        point->y -= 1.0f;
    const Application* application = Application::Instance();
    const float frame = application ? application->GetFrameTime() : 0.0f;
    point->x += velocity.x * frame;
    point->z += velocity.z * frame;
}

float Character::GetYaw() const
{
    Vector3 forward(rotation.m[6], 0.0f, rotation.m[8]);
    const float length = forward.Length();
    if (length <= 0.0f)
        return 0.0f;
    const float angle = std::acos(std::clamp(forward.z / length, -1.0f, 1.0f));
    return forward.x > 0.0f ? angle : 0.0f - angle; // +0.0 facing ahead, never -0.0
}

void Character::SetYaw(float radians)
{
    // A damaged network view must not reach the body's rotation.
    if (!std::isfinite(radians))
        return;
    rotation.FromAxisAngle(radians, Vector3(0.0f, 1.0f, 0.0f));
}

void Character::SetPitch(float radians)
{
    // A value past either limit (a network extrapolation can overshoot) is held at the limit.
    constexpr float kLimit = 1.5707964f;
    if (!std::isfinite(radians))
        return;
    pitch = std::clamp(radians, -kLimit, kLimit);
}

void Character::RebuildAimRotation()
{
    aimNode.rotation.FromAxisAngle(pitch, Vector3(1.0f, 0.0f, 0.0f));
    if (torsoYaw != 0.0f) {
        Matrix3 turn;
        turn.FromAxisAngle(torsoYaw, Vector3(0.0f, 1.0f, 0.0f));
        aimNode.rotation = aimNode.rotation * turn;
    }
}

// ------------------------------------------------------------------------------------------------
// Steadiness

void Character::UpdateSteadiness(float t)
{
    if (actionLocked) {
        steadiness = 0.0f;
        return;
    }
    const bool computer = GetController() == 2;
    if (!computer) {
        float sway = 0.0f;
        const float a = GetTurnInputX();
        const float b = GetTurnInputY();
        if (a * a + b * b != 0.0f)
            sway += std::sqrt(a * a + b * b) * steadiness * 0.2f;
        if (sway > 0.0001f) {
            const float h = 10.0f * t > 1.0f ? sway : sway * 10.0f * t;
            steadiness -= h;
        }
        if (velocity.LengthSquared() > 0.01f)
            steadiness = std::min(steadiness, running ? 0.25f : 0.75f);
    }
    const float divisor = computer ? 1.0f : (GetCarriedWeight() * 0.005f + 1.0f) * 0.6f;
    steadiness += t / divisor;
    steadiness = std::clamp(steadiness, 0.0f, 1.0f);
}

void Character::ReduceSteadiness(float amount)
{
    if (GetController() != 2)
        steadiness -= amount;
}

// ------------------------------------------------------------------------------------------------
// The saved block

void Character::Save(SaveStream* stream)
{
    stream->WriteUInt8(2);
    GameObject::Save(stream);
    stream->WriteUInt8(lives);
    stream->WriteVector3(position);
    stream->WriteFloat(GetYaw());
    stream->WriteFloat(pitch);
    stream->WriteFloat(torsoYaw);
    stream->WriteInt32(moveMode);
    for (bool flag : {collides, drawBody, gravity, postureLocked, turnLocked, alerted})
        stream->WriteBool(flag);
    stream->WriteBool(resetByte);
    stream->WriteInt32(roles);
    stream->WriteInt32(activationTrigger);
    stream->WriteVector3(moveInput);
    stream->WriteFloat(turnAngle);
    stream->WriteVector3(velocity);
    stream->WriteFloat(turnRate);
    stream->WriteFloat(fallRate);
    stream->WriteBool(running);
    stream->WriteInt32(posture);
    stream->WriteInt32(std::int32_t(inventory.size()));
    for (CarriedItem* item : inventory) {
        stream->WriteText(item->name, CarriedItem::kNameSize);
        stream->WriteBool(item == heldItem);
    }
    for (CarriedItem* item : inventory)
        item->Save(stream);
    stream->WriteInt32(animation ? animation->GetAnimationSet() : 0);
    for (int c : {0, 2, 3, 4, 5, 6, 7, 8}) {
        const AnimationController::Channel* channel = animation ? animation->GetChannel(c) : nullptr;
        if (!channel) {
            stream->WriteInt32(-1);
            stream->WriteUInt8(255);
            stream->WriteFloat(-1.0f);
            continue;
        }
        stream->WriteInt32(channel->playing);
        stream->WriteUInt8(channel->playing >= 0 ? std::uint8_t(channel->variation) : 255);
        stream->WriteFloat(animation->GetChannelClock(c));
    }
    // The first channel's loop byte, speed and weight; zeros without channels (never read back
    // then, but a block is the same bytes each time it is written).
    const AnimationController::Channel* first = animation ? animation->GetChannel(0) : nullptr;
    stream->WriteBool(first ? first->loop : false);
    stream->WriteFloat(first ? first->speed : 0.0f);
    stream->WriteFloat(first ? first->weight : 0.0f);
    stream->WriteInt32(viewMode);
    stream->WriteFloat(attachOffset);
    stream->WriteInt32(previousAction);
    stream->WriteInt32(currentAction);
    stream->WriteBool(actionLocked);
    stream->WriteInt32(lastHitBone);
    stream->WriteVector3(lastHitPoint);
    stream->WriteFloat(burnTime);
    stream->WriteFloat(stunTime);
    stream->WriteUInt16(burnerID);
}

void Character::Load(SaveStream* stream)
{
    stream->ExpectVersion(2, "Incorrection version number in Character block");
    GameObject::Load(stream);
    lives = stream->ReadUInt8();
    const Vector3 where = stream->ReadVector3("position");
    const float yaw = stream->ReadFloat("yaw");
    const float loadedPitch = stream->ReadFloat("pitch");
    const float loadedTorso = stream->ReadFloat("torso turn");
    position = where;
    SetYaw(yaw);
    SetPitch(loadedPitch);
    torsoYaw = loadedTorso;
    RebuildAimRotation();
    moveMode = stream->ReadInt32();
    collides = stream->ReadBool();
    drawBody = stream->ReadBool();
    gravity = stream->ReadBool();
    postureLocked = stream->ReadBool();
    turnLocked = stream->ReadBool();
    alerted = stream->ReadBool();
    resetByte = stream->ReadBool();
    roles = stream->ReadInt32();
    activationTrigger = stream->ReadInt32();
    moveInput = stream->ReadVector3("movement");
    turnAngle = stream->ReadFloat("turn angle");
    velocity = stream->ReadVector3("velocity");
    turnRate = stream->ReadFloat("turn rate");
    fallRate = stream->ReadFloat("fall rate");
    running = stream->ReadBool();
    posture = stream->ReadInRange(0, 2, "posture");
    SetRadiiForPosture();

    // The inventory is rebuilt from the type names; an unknown name fails the load (naming it)
    // rather than reading the following blocks out of line.
    const std::int32_t count = stream->ReadCount(256, "inventory items", CarriedItem::kNameSize + 1);
    SelectItem(nullptr);
    DeleteInventory();
    std::vector<std::pair<std::string, bool>> entries;
    entries.reserve(std::size_t(count));
    for (std::int32_t i = 0; i < count; ++i) {
        char name[CarriedItem::kNameSize];
        stream->ReadText(name, CarriedItem::kNameSize);
        const bool held = stream->ReadBool();
        entries.emplace_back(name, held);
    }
    // Every item is made before any is taken, so an unknown name leaves no half inventory.
    std::vector<std::unique_ptr<CarriedItem>> created;
    for (const auto& entry : entries)
        created.emplace_back(CreateCarriedItem(entry.first.c_str()));
    // Forced pick-ups go to the front: take them from the last so the saved order stands.
    for (std::size_t i = created.size(); i-- > 0;)
        PickUpItem(created[i].release(), true);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].second)
            SelectItem(inventory[i]);
    }
    for (CarriedItem* item : inventory)
        item->Load(stream);

    const std::int32_t set = stream->ReadInt32();
    struct SavedChannel {
        int animation;
        int variation;
        float time;
    };
    SavedChannel saved[8];
    for (SavedChannel& channel : saved) {
        channel.animation = stream->ReadInt32();
        channel.variation = stream->ReadUInt8();
        channel.time = stream->ReadFloat("animation time");
    }
    const bool firstLoop = stream->ReadBool();
    const float firstSpeed = stream->ReadFloat("animation speed");
    const float firstWeight = stream->ReadFloat("animation weight");
    if (animation) {
        if (set >= 0 && set < animation->GetSetCount())
            animation->SetAnimationSet(set);
        const int channelsSaved[8] = {0, 2, 3, 4, 5, 6, 7, 8};
        for (int i = 0; i < 8; ++i) {
            AnimationController::Channel* channel = animation->GetChannel(channelsSaved[i]);
            if (!channel || saved[i].animation < 0 || saved[i].animation >= animation->GetAnimationCount())
                continue;
            channel->requested = saved[i].animation;
            if (saved[i].variation != 255)
                channel->forcedVariationOnce = saved[i].variation;
            if (saved[i].time > 0.0f)
                channel->startOffset = saved[i].time;
        }
        if (AnimationController::Channel* first = animation->GetChannel(0)) {
            first->loop = firstLoop;
            animation->SetChannelSpeed(0, firstSpeed);
            animation->SetChannelWeight(0, firstWeight);
        }
    }
    viewMode = stream->ReadInt32();
    if (RunningLevel::Scene().CurrentPlayer() != this)
        viewMode = 1;
    attachOffset = stream->ReadFloat("attachment offset");
    previousAction = stream->ReadInt32();
    currentAction = stream->ReadInt32();
    if (previousAction >= 0 && previousAction < kActionCount)
        StartAction(previousAction, false);
    actionLocked = stream->ReadBool();
    lastHitBone = stream->ReadInt32();
    lastHitPoint = stream->ReadVector3("hit point");
    burnTime = stream->ReadFloat("burn time");
    stunTime = stream->ReadFloat("stun time");
    burnerID = stream->ReadUInt16();
    if (!(burnTime > 0.0f)) {
        burnTime = 0.0f;
        Extinguish();
    } else {
        SetOnFire(burnTime, burnerID);
    }
    loadCountdown = 0.4f;
}
