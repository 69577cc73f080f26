#include "items/Item.h"

#include <cstring>

#include "app/framework/Application.h"
#include "characters/body/AnimationSets.h"
#include "characters/body/Character.h"
#include "characters/level/LevelScene.h"
#include "characters/level/NetworkSession.h"
#include "characters/level/RunningLevel.h"
#include "engine/animation/AnimatedModel.h"
#include "engine/core/EngineLog.h"
#include "engine/core/q3DError.h"
#include "engine/mesh/qMesh.h"
#include "engine/serial/SaveStream.h"
#include "engine/sprite/Sprite.h"
#include "items/DefinitionLines.h"
#include "items/ItemDefinition.h"

Item::Item() = default;

Item::~Item()
{
    RunningLevel::Scene().RemoveLooseItem(this);
    if (heldModel)
        heldModel->ShowMesh(nullptr);
    if (worldModel)
        worldModel->ShowMesh(nullptr);
    ItemModelCache::Release(worldRecord);
    ItemModelCache::Release(heldRecord);
    heldLOD1 = heldLOD2 = nullptr;
}

Device* Item::GetDeviceForLoading()
{
    return Application::Instance()->GetDevice();
}

void Item::PlaceWorldModel()
{
    if (!worldModel)
        return;
    worldModel->position = position;
    worldModel->rotation = rotation;
}

void Item::UpdateTransform(float elapsed)
{
    frameTime = std::int32_t(elapsed);
    SceneNode::UpdateTransform(elapsed);
    if (!owner && worldModel) {
        PlaceWorldModel();
        worldModel->Update(elapsed);
    }
}

void Item::Save(SaveStream* stream)
{
    stream->WriteUInt8(1);
    GameObject::Save(stream);
    std::uint32_t remaining = 0;
    if (deleteTime != 0) {
        const std::uint32_t now = GetNetworkTime();
        remaining = deleteTime > now ? deleteTime - now : 1;
    }
    stream->WriteUInt32(remaining);
    stream->WriteInt16(previousItemID);
    stream->WriteBool(inUse);
    stream->WriteInt32(itemID);
    Matrix3 identity;
    identity.SetIdentity();
    stream->WriteVector3(worldModel ? position : Vector3());
    stream->WriteMatrix3(worldModel ? rotation : identity);
    stream->WriteInt16(previousOwnerID);
}

void Item::Load(SaveStream* stream)
{
    stream->ExpectVersion(1, "Incorrection version number in Item block");
    GameObject::Load(stream);
    const std::uint32_t remaining = stream->ReadUInt32();
    deleteTime = remaining != 0 ? GetNetworkTime() + remaining : 0;
    previousItemID = stream->ReadInt16();
    inUse = stream->ReadBool();
    itemID = stream->ReadInt32();
    const Vector3 at = stream->ReadVector3("item's position");
    const Matrix3 turn = stream->ReadMatrix3("item's rotation");
    if (worldModel) {
        position = at;
        rotation = turn;
        PlaceWorldModel();
    }
    previousOwnerID = stream->ReadInt16();
}

void Item::Draw(Device* device)
{
    lastDrawnMesh = nullptr;
    if (!owner) {
        if (!worldModel)
            return;
        if (RunningLevel::Scene().IsDistanceCulling() &&
            (RunningLevel::Scene().CameraPosition() - position).LengthSquared() >= kDrawDistanceSquared)
            return;
        PlaceWorldModel();
        worldModel->Update(0.0f);
        worldModel->Draw(device);
        lastDrawnMesh = worldModel->GetMesh();
        return;
    }
    if (!heldModel || boneIndex == -1 || (owner->viewMode != 1 && owner->viewMode != 2))
        return;
    AnimatedModel* body = owner->GetModel();
    if (!body || boneIndex >= body->GetBoneCount())
        return;
    heldModel->SetParent(body);
    body->GetBoneOrientation(boneIndex, heldModel->rotation);
    body->GetBonePosition(boneIndex, heldModel->position);
    heldModel->Update(float(frameTime));
    heldModel->Detach();
    const float d = RunningLevel::Scene().IsDistanceCulling() ? (RunningLevel::Scene().CameraPosition() - owner->position).LengthSquared() : 0.0f;
    qMesh* own = heldModel->GetMesh();
    qMesh* shown = own;
    if (d >= kLod1DistanceSquared && heldLOD1)
        shown = heldLOD1;
    if (d >= kLod2DistanceSquared && heldLOD2)
        shown = heldLOD2;
    heldModel->ShowMesh(shown);
    heldModel->Draw(device);
    lastDrawnMesh = shown;
    heldModel->ShowMesh(own);
}

void Item::DrawIcon(Device* device)
{
    if (icon)
        icon->Draw(device);
}

void Item::Select()
{
    if (heldModel && owner && owner->GetModel())
        boneIndex = owner->GetModel()->FindBone(boneName);
    CarriedItem::Select();
}

void Item::ReadDefinition(const ItemDefinition& definition)
{
    weight = definition.baseWeight;
    CopyBounded(name, std::string(definition.name));
    slotKind = definition.kind;
    if (definition.HasIcon())
        LoadIcon(definition.iconPath);
    // "N/A" stands for no world model in every class's definition.
    if (definition.worldModel[0] && std::strcmp(definition.worldModel, "N/A") != 0)
        LoadWorldModel(definition.worldModel);
    animationSet = RunningLevel::Animations().FindAnimationSet(definition.animationSet);
    if (animationSet == -1)
        throw q3DError("Couldn't find animation set with name %s for item %s", definition.animationSet,
                       definition.name);
}

void Item::SetOwner(Character* newOwner)
{
    if (heldModel && newOwner && newOwner->GetModel()) {
        AnimatedModel* body = newOwner->GetModel();
        boneIndex = body->FindBone(boneName);
        if (boneIndex == -1) {
            LogToEngine("Can't find bone named %s in model %s", boneName, body->GetName());
            throw q3DError("Can't find bone named %s in model %s", boneName, body->GetName());
        }
    }
    CarriedItem::SetOwner(newOwner);
}

void Item::SetDeleteTime(std::uint32_t time)
{
    if (RunningLevel::Scene().IsNetworkGame())
        deleteTime = time;
}

void Item::StartLooseItemTimer()
{
    const CharacterServerSettings settings = GetCharacterServerSettings();
    if (settings.looseItemDelay != 0)
        SetDeleteTime(GetNetworkTime() + settings.looseItemDelay);
}

bool Item::IntersectRay(HitResult& hit)
{
    // A carried item's world model is not where the item is drawn, so only loose items are hit.
    if (!worldModel || !worldModel->GetMesh() || owner)
        return false;
    PlaceWorldModel();
    return IntersectNodeBox(*worldModel, hit);
}

bool Item::IntersectNodeBox(MeshNode& node, HitResult& hit)
{
    if (!node.GetMesh())
        return false;
    node.Update(0.0f);
    Matrix4 toModel = node.world;
    toModel.Invert();
    HitResult local = hit;
    local.origin = toModel.TransformPoint(hit.origin);
    local.direction = toModel.TransformDirection(hit.direction);
    local.direction.Normalize();
    local.distance = kNoHit;
    if (!node.GetMesh()->GetBoundingBox().IntersectRay(local))
        return false;
    hit.hitObject = local.hitObject;
    hit.u = local.u;
    hit.v = local.v;
    hit.hitPoint = node.world.TransformPoint(local.hitPoint);
    hit.normal = node.world.TransformDirection(local.normal);
    hit.normal.Normalize();
    hit.distance = (hit.hitPoint - hit.origin).Length();
    return true;
}

bool Item::OnHit(HitResult& hit, Bullet* bullet, int damage, const Vector3& point, const Vector3& normal)
{
    (void)hit, (void)bullet, (void)damage, (void)point, (void)normal;
    return false;
}

void Item::LoadIcon(const char* path)
{
    auto sprite = std::make_unique<Sprite>();
    sprite->Load(GetDeviceForLoading(), path);
    icon = std::move(sprite);
}

namespace {

// Loads a model through the cache into the slot, releasing what the slot held before.
void LoadCachedModel(Device* device, const char* path, std::unique_ptr<SharedMeshNode>& node,
                     ItemModelRecord*& record)
{
    ItemModelRecord* loaded = ItemModelCache::Acquire(device, path);
    if (node)
        node->ShowMesh(nullptr);
    ItemModelCache::Release(record);
    record = loaded;
    node = std::make_unique<SharedMeshNode>();
    node->ShowMesh(loaded->mesh);
}

} // namespace

void Item::LoadWorldModel(const char* path)
{
    LoadCachedModel(GetDeviceForLoading(), path, worldModel, worldRecord);
    PlaceWorldModel();
}

void Item::LoadHeldModel(const char* path)
{
    LoadCachedModel(GetDeviceForLoading(), path, heldModel, heldRecord);
    heldLOD1 = heldRecord->lod1;
    heldLOD2 = heldRecord->lod2;
}

bool IsOfferedInLoadout(const ItemDefinition& definition, int kind, bool restricted)
{
    if (definition.kind != kind)
        return false;
    return !restricted || definition.restriction == 0 || definition.restriction == 2;
}
