#include "items/PlainItems.h"

#include <cmath>
#include <cstdlib>
#include <strings.h>

#include "app/framework/Application.h"
#include "app/framework/Options.h"
#include "characters/body/Character.h"
#include "characters/level/LevelScene.h"
#include "characters/level/NetworkSession.h"
#include "characters/level/RunningLevel.h"
#include "engine/camera/Camera.h"
#include "engine/core/q3DError.h"
#include "engine/serial/SaveStream.h"
#include "engine/sprite/Sprite.h"
#include "items/ClassLines.h"
#include "items/ItemDefinition.h"
#include "items/ItemServices.h"
#include "items/ItemSound.h"
#include "items/Zoom.h"
#include "media/Sound3D.h"
#include "renderer/Device.h"

namespace {

constexpr int kEscapeKey = 27;
constexpr int kHumanController = 0;

} // namespace

// ------------------------------------------------------------------------------------------------
// Binoculars

BinocularsItem::BinocularsItem(const ItemDefinition& definition)
{
    ReadDefinition(definition);
    actionLock = true;
    keyLock = true;
}

BinocularsItem::~BinocularsItem() = default;

void BinocularsItem::ReadDefinition(const ItemDefinition& definition)
{
    Item::ReadDefinition(definition);
    const auto lines = ReadDefinitionLines(definition, definition.classDataOffset, 3);
    if (!lines[0].empty() && ::strcasecmp(lines[0].c_str(), "-") != 0) {
        overlay = std::make_unique<Sprite>();
        overlay->Load(GetDeviceForLoading(), lines[0].c_str());
    }
    const ZoomLines read = ReadZoomLines(lines[1], lines[2], definition.path);
    maxZoom = read.maxZoom;
    minZoom = read.minZoom;
    zoom = StartingZoom(maxZoom, minZoom);
}

bool BinocularsItem::IsLocalPlayers() const
{
    return owner && owner == RunningLevel::Scene().CurrentPlayer();
}

void BinocularsItem::Select()
{
    if (IsLocalPlayers()) {
        savedViewMode = owner->viewMode;
        if (owner->viewMode == 1)
            owner->CycleViewMode();
        if (Camera* camera = ItemsCamera()) {
            savedFieldOfView = camera->GetFov();
            savedNearDistance = camera->GetNear();
            camera->SetNear(2.0f);
        }
        ApplyZoomToCamera(zoom);
        zoomed = true;
        ItemsSetDistanceCulling(false);
        ItemsSetCrosshair(false);
        Application::Instance()->ShowMessage(3000, "Use the Previous Item/Next Item keys to zoom in and out");
    }
    if (owner && animationSet != -1)
        owner->SetAnimationSet(animationSet);
}

void BinocularsItem::Deselect()
{
    if (!zoomed)
        return;
    zoomed = false;
    if (Camera* camera = ItemsCamera()) {
        camera->SetFov(savedFieldOfView);
        camera->SetNear(savedNearDistance);
        camera->UpdateTransform(0.0f);
    }
    if (owner && savedViewMode == 1)
        owner->CycleViewMode();
    ItemsSetDistanceCulling(true);
    ItemsSetCrosshair(true);
}

bool BinocularsItem::OnSelectStep(int direction, int x, int y)
{
    (void)x, (void)y;
    zoom = StepZoom(zoom, maxZoom, minZoom, direction);
    ApplyZoomToCamera(zoom);
    return false;
}

void BinocularsItem::UpdateTransform(float elapsed)
{
    Item::UpdateTransform(elapsed);
    if (!IsLocalPlayers())
        return;
    StepZoomWithKeys(zoomKeyTimer, elapsed, [this](int direction) { OnSelectStep(direction, 0, 0); });
    ApplyZoomToCamera(zoom);
}

void BinocularsItem::DrawHUD(Device* device)
{
    if (!overlay || !device || !zoomed)
        return;
    overlay->x = 0;
    overlay->y = 0;
    overlay->width = device->GetTargetWidth();
    overlay->height = device->GetTargetHeight();
    overlay->Draw(device);
}

bool BinocularsItem::OnKeyDown(int key)
{
    const Options* options = Options::Instance();
    const int action = options && key >= 0 && key < 512 ? options->GetActionForKey(key) : -1;
    if (key == kEscapeKey || action == 10 || action == 11 || action == 14 || action == 46) {
        if (owner) {
            ItemServices& services = LevelItemServices();
            if (IsNetworkClientConnected())
                services.SendSelectItem(owner->GetID(), previousItemID);
            owner->SelectItemByID(previousItemID);
        }
        return false;
    }
    return !(action >= 31 && action <= 33);
}

// ------------------------------------------------------------------------------------------------
// First-aid kit

FirstAidItem::FirstAidItem(const ItemDefinition& definition)
{
    ReadDefinition(definition);
}

FirstAidItem::~FirstAidItem() = default;

void FirstAidItem::ReadDefinition(const ItemDefinition& definition)
{
    Item::ReadDefinition(definition);
    const auto lines = ReadDefinitionLines(definition, definition.classDataOffset, 2);
    healAmount = ReadHealAmount(lines[0], definition.path);
    soundPath = lines[1];
}

void FirstAidItem::UpdateTransform(float elapsed)
{
    if (!spent)
        Item::UpdateTransform(elapsed);
}

void FirstAidItem::Draw(Device* device)
{
    if (!spent)
        Item::Draw(device);
}

bool FirstAidItem::IntersectRay(HitResult& hit)
{
    return !spent && Item::IntersectRay(hit);
}

void FirstAidItem::PutAway()
{
    if (owner)
        owner->SelectItemByID(previousItemID);
}

void FirstAidItem::Select()
{
    if (!owner || spent)
        return;
    Character* user = owner;
    const bool human = user->kind == Character::SquadKind && user->GetController() == kHumanController;
    HitResult hit;
    hit.Clear();
    user->GetHeadPosition(&hit.origin);
    const Matrix4& aim = user->GetAimNode().world;
    hit.direction = Vector3(aim(2, 0), aim(2, 1), aim(2, 2));
    hit.direction.Normalize();
    ItemServices& services = LevelItemServices();
    Character* target = services.RayCastObjects(hit, user, Character::SquadKind);
    if (target && hit.distance > kReach) {
        if (human)
            Application::Instance()->ShowMessage(3000, "He is too far away to use the First Aid Kit on.");
        PutAway();
        return;
    }
    if (!target)
        target = user;
    if (target->health > 99) {
        if (human)
            Application::Instance()->ShowMessage(3000, "No First Aid needed, Sir.");
        PutAway();
        return;
    }
    if (target->health <= 0) {
        PutAway();
        return;
    }
    float mastery = 1.0f;
    static constexpr int kFirstAidSkill = 7, kMedicSkill = 9;
    const int squadIndex = ItemsLocalSquadIndex(user);
    if (user->GetController() != 2 && squadIndex >= 0 &&
        services.HasSkillMastery(squadIndex, kFirstAidSkill))
        mastery = 2.0f;
    target->AddHealth(int(ItemsGetSkill(user, kMedicSkill) * healAmount * mastery));
    StartLooseItemTimer();
    spent = true;
    healSound = LoadItemSound(soundPath);
    if (healSound) {
        healSound->SetDistances(400.0f, 40.0f, Sound::NoPlay);
        healSound->SetPosition(user->position.x, user->position.y, user->position.z, Sound::NoPlay);
        healHandle = healSound->Play();
    }
    PutAway();
    user->DropItem(this, user->position);
}

void FirstAidItem::Save(SaveStream* stream)
{
    Item::Save(stream);
    stream->WriteUInt8(1);
    stream->WriteBool(spent);
}

void FirstAidItem::Load(SaveStream* stream)
{
    Item::Load(stream);
    stream->ExpectVersion(1, "Incorrection version number in FirstAidItem block");
    spent = stream->ReadBool();
}

// ------------------------------------------------------------------------------------------------
// Mission item

void MissionItem::Select()
{
    if (owner)
        owner->SelectItemByID(previousItemID);
}

void MissionItem::Save(SaveStream* stream)
{
    Item::Save(stream);
    stream->WriteUInt8(1);
    stream->WriteInt32(objectiveID);
}

void MissionItem::Load(SaveStream* stream)
{
    Item::Load(stream);
    stream->ExpectVersion(1, "Incorrection version number in MissionItem block");
    objectiveID = stream->ReadInt32();
    ItemServices& services = LevelItemServices();
    services.MarkLevelItemTaken(objectiveID);
}
