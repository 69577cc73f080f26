#include "items/explosives/ChargeItems.h"

#include <cstring>

#include "app/framework/Application.h"
#include "app/framework/Options.h"
#include "characters/body/Character.h"
#include "characters/level/NetworkSession.h"
#include "characters/level/LevelScene.h"
#include "characters/level/RunningLevel.h"
#include "engine/core/EngineLog.h"
#include "engine/core/MathConstants.h"
#include "engine/core/q3DError.h"
#include "engine/font/BitmapFont.h"
#include "engine/mesh/qMesh.h"
#include "engine/serial/SaveStream.h"
#include "engine/sprite/Sprite.h"
#include "items/ItemDefinition.h"
#include "items/ItemServices.h"
#include "items/explosives/TimedBomb.h"
#include "items/projectiles/Flight.h"
#include "renderer/Device.h"

RemoteExplosiveItem::RemoteExplosiveItem(const ItemDefinition& definition)
{
    Item::ReadDefinition(definition);
    ReadParameters(definition, false);
}

void RemoteExplosiveItem::Save(SaveStream* stream)
{
    ExplosiveItem::Save(stream);
    stream->WriteVector3(chargeDirection);
}

void RemoteExplosiveItem::Load(SaveStream* stream)
{
    ExplosiveItem::Load(stream);
    chargeDirection = stream->ReadVector3("charge direction");
}

void RemoteExplosiveItem::Select()
{
    if (!owner)
        return;
    Vector3 forward(owner->rotation(2, 0), owner->rotation(2, 1), owner->rotation(2, 2));
    const bool local = owner == RunningLevel::Scene().CurrentPlayer();
    Vector3 origin, look;
    if (local && LevelItemServices().CenterRay(origin, look))
        forward = look;
    chargeDirection = forward;
    if (local)
        if (Application* application = Application::Instance())
            application->ShowCenterMessage(1.0f, 1.0f, 1.0f, "Press secondary fire to detonate placed explosive.",
                                           2000);
    Item::Select();
    Place();
}

bool RemoteExplosiveItem::Detonate(bool notify)
{
    if (!ExplosiveItem::Detonate(notify))
        return false;
    Vector3 direction = chargeDirection;
    if (direction.LengthSquared() > 0.0f)
        direction.Normalize();
    float lift = 0.0f;
    if (worldModel && worldModel->GetMesh())
        lift = 0.5f * worldModel->GetMesh()->GetRadius();
    const Vector3 mainAt = position + Vector3(0.0f, lift, 0.0f);
    Matrix3 quarter;
    quarter.FromEulerAngles(kPi / 2.0f, 0.0f, 0.0f);
    const Matrix3 turn = direction.LengthSquared() > 0.0f ? quarter * LookAlong(direction) : quarter;
    Explode(direction, &mainAt, &turn);
    return true;
}

// A spent one leaves the world from the scene walk's own step: once deleted, nothing of it (its
// transform, its children) may be touched, and the walk has already taken the next node.
void RemoteExplosiveItem::Update(float elapsed)
{
    if (HasGoneOff() && ExplosionSoundDone()) {
        RunningLevel::Scene().DeleteItem(this);
        return;
    }
    Item::Update(elapsed);
}

void RemoteExplosiveItem::UpdateTransform(float elapsed)
{
    Item::UpdateTransform(elapsed);
}

int DetonateChargesOf(Character* placer, const std::vector<CarriedItem*>& looseItems)
{
    if (!placer)
        return 0;
    const std::int16_t id = placer->GetID();
    // Detonating may delete nothing now (deletion waits for the sound), so the list stays whole.
    int count = 0;
    for (CarriedItem* item : looseItems) {
        auto* charge = dynamic_cast<RemoteExplosiveItem*>(item);
        if (!charge || charge->owner || charge->previousOwnerID != id ||
            std::strcmp(charge->keyword, "RemotelyDetonatedExplosive") != 0 || charge->HasGoneOff())
            continue;
        charge->Detonate(true);
        ++count;
    }
    return count;
}

TimedChargeItem::TimedChargeItem(const ItemDefinition& definition)
{
    Item::ReadDefinition(definition);
    overlay = std::make_unique<Sprite>();
    try {
        overlay->Load(GetDeviceForLoading(), "GameData/Items/C4/overlay.tga");
    } catch (const q3DError& error) {
        throw q3DError("Can't load GameData/Items/C4/overlay.tga: %s", error.GetText());
    }
}

TimedChargeItem::~TimedChargeItem()
{
    if (!owner)
        RunningLevel::Scene().RemoveLooseItem(this);
}

void TimedChargeItem::UpdateTransform(float elapsed)
{
    if (owner)
        placed = false;
    Item::UpdateTransform(elapsed);
}

void TimedChargeItem::DrawHUD(Device* device)
{
    if (!device)
        return;
    const int width = device->GetTargetWidth(), height = device->GetTargetHeight();
    if (overlay) {
        overlay->x = width / 2 - 64;
        overlay->y = height / 2 - 64;
        overlay->width = overlay->height = 128;
        overlay->Draw(device);
    }
    if (Application* application = Application::Instance())
        if (BitmapFont* font = application->GetFont(0))
            font->Printf(device, width / 2 - 20, height / 2 - 20, "%02d %02d", timer / 60, timer % 60);
}

void TimedChargeItem::Select()
{
    Item::Select();
    if (owner && owner == RunningLevel::Scene().CurrentPlayer()) {
        if (Application* application = Application::Instance())
            application->ShowMessage(4000, "Press %s to place, %s to change time", "fire", "secondary fire");
        ItemsSetCrosshair(false);
    }
}

void TimedChargeItem::Deselect()
{
    ItemsSetCrosshair(true);
}

bool TimedChargeItem::UseSecondary()
{
    timer = NextBombTimer(timer);
    return true;
}

bool TimedChargeItem::BeginUse(bool forced)
{
    (void)forced;
    Place();
    return true;
}

void TimedChargeItem::Place()
{
    Character* placer = owner;
    if (!placer)
        return;
    // A connected client asks the host to place the bomb; that message comes with networking.
    if (!RunningLevel::Network().IsServerActive() && RunningLevel::Network().IsClientConnected()) {
        LogToEngine("A timed charge cannot be placed from a client yet");
        return;
    }
    auto bomb = std::make_unique<TimedBomb>(std::uint16_t(GetID()));
    bomb->SetTimer(float(timer));
    bomb->SetPlacer(std::uint16_t(placer->GetID()));
    bomb->position = placer->position;
    placed = true;
    ItemsAddProjectile(bomb.release());
    placer->SelectItemByID(previousItemID);
    placer->DropItem(this, placer->position);
}
