#include "mission/services/MissionSquadServices.h"

#include <algorithm>

#include "app/framework/Application.h"
#include "characters/player/Player.h"
#include "engine/camera/Camera.h"
#include "engine/core/HitResult.h"
#include "engine/sprite/SpriteNode.h"
#include "items/Item.h"
#include "media/Sound2D.h"
#include "media/Sound3D.h"
#include "mission/MissionState.h"
#include "platform/os/Window.h"
#include "renderer/Device.h"
#include "world/PickResult.h"
#include "world/World.h"

namespace {
constexpr float kNoSurface = 3.4e38f;
constexpr float kDefaultFieldOfView = 0.7853982f;
} // namespace

MissionSquadServices::MissionSquadServices(MissionState& mission) : mission(mission)
{
}

SquadRoster* MissionSquadServices::CurrentSquadRoster() { return mission.roster.localSquad; }

void MissionSquadServices::TakeControl(Character* member)
{
    mission.TakeControl(member);
    mission.ResetViewState();
}

Character* MissionSquadServices::CharacterUnderCrosshair(int filter)
{
    HitResult ray;
    if (!mission.GetCenterRay(ray))
        return nullptr;
    return mission.RayCastObjects(ray, mission.roster.controlledCharacter, filter);
}

Character* MissionSquadServices::CharacterUnderPointer(int x, int y, int filter)
{
    if (!mission.level.camera)
        return nullptr;
    HitResult ray;
    mission.level.camera->ScreenToRay(float(x), float(y), &ray);
    return mission.RayCastObjects(ray, mission.roster.controlledCharacter, filter);
}

int MissionSquadServices::PickMoveTarget(Vector3* point, Character** character)
{
    HitResult ray;
    if (!mission.GetCenterRay(ray) || !mission.level.world)
        return 0;
    HitResult objectRay = ray;
    Character* struck = mission.RayCastObjects(objectRay, mission.roster.controlledCharacter, -1);
    PickResult hit;
    const bool ground = mission.level.world->Pick(ray, &hit, mission.level.camera->GetFar(), nullptr);
    if (struck && (!ground || objectRay.distance < hit.distance)) {
        if (character)
            *character = struck;
        return 1;
    }
    if (!ground)
        return 0;
    if (point) {
        *point = hit.hitPoint;
        const float floor = mission.GetGroundHeight(hit.hitPoint + Vector3(0.0f, 1.0f, 0.0f));
        if (floor < kNoSurface)
            point->y = floor;
    }
    return 3;
}

bool MissionSquadServices::PickGroundUnderPointer(int x, int y, Vector3* point)
{
    if (!mission.level.camera || !mission.level.world || !point)
        return false;
    HitResult ray;
    mission.level.camera->ScreenToRay(float(x), float(y), &ray);
    PickResult hit;
    if (!mission.level.world->Pick(ray, &hit, mission.level.camera->GetFar(), nullptr))
        return false;
    *point = hit.hitPoint;
    return true;
}

void MissionSquadServices::SetGroundMarker(const Vector3* point)
{
    if (point)
        mission.PlaceGroundMarker(*point);
    else
        mission.hud.groundMarkerShown = false;
}

bool MissionSquadServices::GetGroundMarker(Vector3* position)
{
    if (position && mission.hud.groundMarkerShown)
        *position = mission.hud.groundMarkerPosition;
    return mission.hud.groundMarkerShown;
}

void MissionSquadServices::SetCommandView(bool commandView)
{
    // The command view is worked with the pointer: the view no longer turns with the mouse.
    Application::Instance()->SetCursorVisible(commandView);
    mission.inputCaptured = !commandView;
}

void MissionSquadServices::LeftCommandView(Character* character)
{
    if (!character || character != mission.roster.controlledCharacter)
        return;
    Application* application = Application::Instance();
    application->SetCursorVisible(false);
    mission.inputCaptured = true;
    // The pointer starts from the centre, so the first look after the command view does not jump.
    Device* device = application->GetDevice();
    if (platform::os::Window* window = device ? device->GetWindow() : nullptr)
        window->SetCursorPosition(device->GetTargetWidth() / 2, device->GetTargetHeight() / 2);
}

void MissionSquadServices::DrawSelectionMarker(Device* device, const Vector3& at, float red, float green, float blue)
{
    SpriteNode* marker = mission.hud.overheadSelection.get();
    auto* player = dynamic_cast<Player*>(mission.roster.controlledCharacter);
    if (!marker || !device || (player && player->selectionMarkersOff))
        return;
    marker->position = at;
    // Laid flat: its face looks up.
    const float flat[9] = {1.0f, 0.0f, 0.0f, 0.0f, 0.0f, -1.0f, 0.0f, 1.0f, 0.0f};
    std::copy(std::begin(flat), std::end(flat), marker->rotation.m);
    marker->scale = Vector3(3.0f, 3.0f, 3.0f);
    marker->red = red;
    marker->green = green;
    marker->blue = blue;
    marker->UpdateTransform(0.0f);
    marker->Draw(device);
}

void MissionSquadServices::DrawRectangle(float x0, float y0, float x1, float y1, std::uint32_t colour)
{
    mission.DrawRectangle(x0, y0, x1, y1, colour);
}

float MissionSquadServices::CameraFieldOfView()
{
    return mission.level.camera ? mission.level.camera->GetFov() : kDefaultFieldOfView;
}

void MissionSquadServices::SetCameraFieldOfView(float radians)
{
    if (mission.level.camera)
        mission.level.camera->SetFov(radians);
}

bool MissionSquadServices::HeldItemInput(CarriedItem* carried, int kind, int value)
{
    auto* item = dynamic_cast<Item*>(carried);
    if (!item)
        return true;
    switch (kind) {
    case 0: return item->OnKeyDown(value);
    case 1: return item->OnMouseDown(value, 0, 0, 0);
    case 2: return item->OnMouseClick(value, 0, 0, 0);
    case 3: return item->OnSelectStep(value, 0, 0);
    default: return true;
    }
}

bool MissionSquadServices::TakePointerOffset(int* dx, int* dy)
{
    Device* device = Application::Instance()->GetDevice();
    platform::os::Window* window = device ? device->GetWindow() : nullptr;
    if (!window || mission.UsesMousePointer())
        return false;
    int x = 0, y = 0;
    window->GetCursorPosition(x, y);
    const int cx = device->GetTargetWidth() / 2, cy = device->GetTargetHeight() / 2;
    if (dx)
        *dx = x - cx;
    if (dy)
        *dy = y - cy;
    window->SetCursorPosition(cx, cy);
    return true;
}

bool MissionSquadServices::IsInputBlocked() { return mission.controls.paused || Application::Instance()->IsInMenu(); }

bool MissionSquadServices::IsMovementFrozen() { return mission.movementFrozen; }

std::string MissionSquadServices::PlayerName(int slot)
{
    return std::string(mission.level.nameEntries[std::clamp(slot, 0, MissionState::NameEntryCount - 1)]);
}

int MissionSquadServices::VoiceSet(int slot)
{
    return slot >= 0 && slot < 5 ? std::max(0, mission.level.voiceSets[slot]) : 0;
}

int MissionSquadServices::LoadVoiceSet(std::unique_ptr<Sound3D>* set, int maximum, const char* prefix,
                                       float minimumDistance, float maximumDistance)
{
    return mission.LoadVoiceSet(set, maximum, prefix, minimumDistance, maximumDistance);
}

int MissionSquadServices::LoadVoiceSet2D(std::vector<std::unique_ptr<Sound2D>>& set, int maximum, const char* prefix)
{
    return mission.LoadVoiceSet2D(set, maximum, prefix);
}

void MissionSquadServices::PlayerDamaged(Character*) {}
void MissionSquadServices::StealFlag(CarriedItem*, Character*) {}
void MissionSquadServices::MissionItemDropped(Character*, CarriedItem*, int, int) {}
