// The in-game drawing's steps over the picture of the world: night vision, the statistics line,
// the objectives while the game is paused, the markers over the squads' members, the fade-in
// after a level starts and the view the player chose.
#include "mission/MissionState.h"

#include "app/framework/Application.h"
#include "characters/ai/AI.h"
#include "characters/body/Character.h"
#include "characters/player/Player.h"
#include "characters/ai/WaypointGraph.h"
#include "engine/camera/Camera.h"
#include "engine/core/PtrList.h"
#include "engine/font/BitmapFont.h"
#include "engine/material/VertexLayout.h"
#include "engine/sprite/Sprite.h"
#include "media/SoundSystem.h"
#include "mission/services/WorldCollisionScene.h"
#include "renderer/Device.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The overall objective is wrapped to this many pixels.
// Members nearer than this are marked whatever their team.
constexpr float MarkerSightSquared = 900.0f;
// Half the marker's side in pixels, and its height above the member's head in world units.
constexpr int MarkerHalfSize = 3;
constexpr float MarkerRise = 1.5f;

// The point's pixel on the render target through the camera; false behind the near plane.
bool ProjectToScreen(Camera& camera, int width, int height, const Vector3& point, int& x, int& y)
{
    const Matrix4& world = camera.world;
    const Vector3 offset = point - world.GetTranslation();
    const Vector3 right(world(0, 0), world(0, 1), world(0, 2));
    const Vector3 up(world(1, 0), world(1, 1), world(1, 2));
    const Vector3 forward(world(2, 0), world(2, 1), world(2, 2));
    const float depth = offset.Dot(forward);
    if (depth <= camera.GetNear())
        return false;
    const Matrix4& projection = camera.GetProjection();
    const float ndcX = offset.Dot(right) * projection(0, 0) / depth;
    const float ndcY = offset.Dot(up) * projection(1, 1) / depth;
    x = int((ndcX + 1.0f) * 0.5f * float(width));
    y = int((1.0f - ndcY) * 0.5f * float(height));
    return x >= 0 && x < width && y >= 0 && y < height;
}

// A world-space line end of the debug displays.
struct LineVertex {
    float x, y, z;
    std::uint32_t colour;
    float u0, v0, u1, v1;
};
static_assert(sizeof(LineVertex) == 32);

void DrawWorldLines(Device& device, const std::vector<LineVertex>& lines)
{
    if (lines.empty())
        return;
    static Material unlit;
    unlit.lightingMode = 0;
    VertexLayout layout;
    layout.InitColoredTextured2();
    const Matrix4 identity;
    device.SetWorldTransform(&identity);
    // Plain colours at any distance: the fog stays off for them.
    const bool fog = device.GetFogEnable();
    device.SetFogEnable(false);
    device.DrawUserPrimitives(PrimLineList, lines.data(), int(lines.size()), &layout, nullptr, 0, &unlit);
    device.SetFogEnable(fog);
}

LineVertex LineEnd(const Vector3& point, std::uint32_t colour)
{
    return {point.x, point.y, point.z, colour, 0.0f, 0.0f, 0.0f, 0.0f};
}

} // namespace

void MissionState::DrawPathGraph()
{
    Device* device = Application::Instance()->GetDevice();
    const WaypointGraph* graph = level.waypointGraph.get();
    if (!device || !graph)
        return;
    std::vector<LineVertex> lines;
    // Node centres lie at or just under the ground: the links are drawn a little above it.
    const Vector3 lift(0.0f, 2.0f, 0.0f);
    const WaypointGraphNode* nodes = graph->GetNodes();
    const std::uint32_t* links = graph->GetLinks();
    for (std::uint32_t i = 0; i < graph->GetNodeCount(); ++i)
        for (int k = 0; k < nodes[i].linkTotal; ++k) {
            const std::uint32_t link = std::uint32_t(nodes[i].firstLink + k);
            if (link >= graph->GetLinkCount() || links[link] >= graph->GetNodeCount() || links[link] < i)
                continue; // each link once, and none past the tables
            lines.push_back(LineEnd(nodes[i].centre + lift, 0xFF00FFFFu));
            lines.push_back(LineEnd(nodes[links[link]].centre + lift, 0xFF00FFFFu));
        }
    DrawWorldLines(*device, lines);
}

void MissionState::DrawPatrolPaths()
{
    Device* device = Application::Instance()->GetDevice();
    if (!device || !level.camera)
        return;
    std::vector<LineVertex> lines;
    const Vector3 lowered(0.0f, 1.95f, 0.0f);
    for (Character* character : level.characters) {
        const AI* ai = dynamic_cast<AI*>(character);
        if (!ai || !ai->patrolPath || ai->patrolPath->GetCount() < 2)
            continue;
        std::vector<Vector3> points;
        for (PtrListNode* node = ai->patrolPath->GetHead(); node; node = node->next)
            points.push_back(static_cast<const Waypoint*>(node->item)->position - lowered);
        for (std::size_t i = 0; i < points.size(); ++i) {
            lines.push_back(LineEnd(points[i], 0xFFFFFF00u));
            lines.push_back(LineEnd(points[(i + 1) % points.size()], 0xFFFFFF00u));
        }
    }
    // The near plane moves out a little while the lines are drawn (a finer depth scale where
    // they lie along the ground), and back.
    const float near = level.camera->GetNear();
    level.camera->SetNear(near + 0.1f);
    level.camera->UpdateTransform(0.0f);
    DrawWorldLines(*device, lines);
    level.camera->SetNear(near);
    level.camera->UpdateTransform(0.0f);
}

void MissionState::DrawStatistics()
{
    // The count runs per frame whether or not the line shows.
    const int collisionTriangles = level.collisionScene ? level.collisionScene->TakeTriangleCount() : 0;
    if (!hud.statisticsShown)
        return;
    Application* application = Application::Instance();
    Device* device = application->GetDevice();
    BitmapFont* font = application->GetFont(Application::Courier);
    if (!device || !font)
        return;
    SoundSystem* sound = application->GetSoundSystem();
    char line[256];
    std::snprintf(line, sizeof line, "FPS: %d Polys: %d Alpha Tris: %d 2D Sounds: %d 3D Sounds: %d Col Polys: %d",
                  device->GetFramesPerSecond(), device->GetTriangleCount(), device->GetSortedTriangleCount(),
                  sound ? sound->GetActive2DSampleCount() : 0, sound ? sound->GetActive3DSampleCount() : 0,
                  collisionTriangles);
    font->DrawText(device, 0, 0, 1.0f, line);
}

void MissionState::DrawSquadMarkers()
{
    Device* device = Application::Instance()->GetDevice();
    if (!device || !level.camera || roster.squads.empty())
        return;
    const Vector3 viewer = roster.controlledCharacter ? roster.controlledCharacter->position : level.camera->world.GetTranslation();
    const int viewerTeam = roster.controlledCharacter ? roster.controlledCharacter->team : roster.localTeam;
    const int width = device->GetTargetWidth(), height = device->GetTargetHeight();
    Sprite marker;
    marker.width = marker.height = 2 * MarkerHalfSize;
    marker.alpha = 0.7f;
    marker.material.SetBlendMode(13);
    for (const std::unique_ptr<Squad>& squad : roster.squads) {
        const bool teammates = squad->team != 0 && squad->team == viewerTeam;
        bool seen = teammates;
        for (int i = 0; !seen && i < squad->GetMemberCount(); ++i)
            seen = (squad->GetMember(i)->position - viewer).LengthSquared() < MarkerSightSquared;
        if (!seen)
            continue;
        // Teammates in green, the others in red.
        marker.red = teammates ? 0.4f : 1.0f;
        marker.green = teammates ? 1.0f : 0.4f;
        marker.blue = 0.4f;
        for (int i = 0; i < squad->GetMemberCount(); ++i) {
            Player* member = squad->GetMember(i);
            // A map ally that joined the squad is out of the squad's play.
            if (member->health <= 0 || (member->roles & Character::Ally))
                continue;
            Vector3 head;
            member->GetHeadPosition(&head);
            head.y += MarkerRise;
            int x = 0, y = 0;
            if (!ProjectToScreen(*level.camera, width, height, head, x, y))
                continue;
            marker.x = x - MarkerHalfSize;
            marker.y = y - MarkerHalfSize;
            marker.Draw(device);
        }
    }
}

void MissionState::DrawScreenFade(float frameTime)
{
    if (hud.screenFade <= 0.0f)
        return;
    Device* device = Application::Instance()->GetDevice();
    if (hud.screenOverlay && device) {
        hud.screenOverlay->x = hud.screenOverlay->y = 0;
        hud.screenOverlay->width = device->GetTargetWidth();
        hud.screenOverlay->height = device->GetTargetHeight();
        hud.screenOverlay->red = hud.screenOverlay->green = hud.screenOverlay->blue = 0.0f;
        hud.screenOverlay->alpha = std::min(1.0f, hud.screenFade * 0.6666667f);
        hud.screenOverlay->material.SetBlendMode(13);
        hud.screenOverlay->Draw(device);
    }
    hud.screenFade -= frameTime;
    // Run down to 0 exactly or past it, the overlay is the menu's grey again.
    if (hud.screenFade <= 0.0f) {
        if (hud.screenOverlay) {
            hud.screenOverlay->red = hud.screenOverlay->green = hud.screenOverlay->blue = 0.25f;
            hud.screenOverlay->alpha = 1.0f;
            hud.screenOverlay->material.SetBlendMode(4);
        }
        hud.screenFade = 0.0f;
    }
}

bool MissionState::BeginNightVision()
{
    Device* device = Application::Instance()->GetDevice();
    if (!hud.nightVision || !roster.controlledCharacter || !device || !hud.nightVisionTargets[0] || !hud.nightVisionTargets[1] ||
        !hud.nightVisionOverlay)
        return false;
    if (!hud.nightVisionSprites[0]) {
        // The sprites show the level's bitmaps, which the level releases.
        D3DBitmap* textures[3] = {hud.nightVisionTargets[0], hud.nightVisionTargets[1], hud.nightVisionOverlay};
        for (int i = 0; i < 3; ++i) {
            hud.nightVisionSprites[i] = std::make_unique<Sprite>();
            hud.nightVisionSprites[i]->material.texture[0] = textures[i];
        }
        // Half a texel of the 512 x 512 target, so that its texels fall on the screen's pixels.
        constexpr float first = 0.001953125f, last = 1.001953125f;
        const float corners[4][2] = {{first, first}, {last, first}, {last, last}, {first, last}};
        std::memcpy(hud.nightVisionSprites[0]->texCoords, corners, sizeof corners);
    }
    device->SetRenderTarget(hud.nightVisionTargets[0], nullptr);
    device->SetViewport(0, 0, hud.nightVisionTargets[0]->GetWidth(), hud.nightVisionTargets[0]->GetHeight());
    device->Clear(true, true, false, nullptr);
    return true;
}

void MissionState::ComposeNightVision(float frameTime)
{
    Device* device = Application::Instance()->GetDevice();
    device->SetRenderTarget(nullptr, nullptr);
    const int width = device->GetTargetWidth(), height = device->GetTargetHeight();
    device->SetViewport(0, 0, width, height);
    Sprite& scene = *hud.nightVisionSprites[0];
    Sprite& trail = *hud.nightVisionSprites[1];
    Sprite& mask = *hud.nightVisionSprites[2];
    for (Sprite* sprite : {&scene, &trail, &mask}) {
        sprite->x = sprite->y = 0;
        sprite->width = width;
        sprite->height = height;
    }
    // The scene once as it is, then three times added onto itself: what little light there is
    // comes out bright.
    scene.material.srcBlend = BlendOne;
    scene.material.destBlend = BlendZero;
    scene.Draw(device);
    scene.material.destBlend = BlendOne;
    for (int pass = 0; pass < 3; ++pass)
        scene.Draw(device);
    // The last frames linger half-seen.
    trail.alpha = 0.5f;
    trail.material.SetBlendMode(13);
    trail.Draw(device);

    hud.nightVisionAccumulator += frameTime;
    if (hud.nightVisionAccumulator > 0.05f) {
        hud.nightVisionAccumulator = 0.0f;
        D3DBitmap* target = hud.nightVisionTargets[1];
        device->SetRenderTarget(target, nullptr);
        device->SetViewport(0, 0, target->GetWidth(), target->GetHeight());
        device->Clear(true, true, false, nullptr);
        scene.width = target->GetWidth();
        scene.height = target->GetHeight();
        scene.material.destBlend = BlendZero;
        scene.Draw(device);
        scene.width = width;
        scene.height = height;
        device->SetRenderTarget(nullptr, nullptr);
        device->SetViewport(0, 0, width, height);
    }
    // Everything through the green of the goggles.
    mask.material.SetBlendMode(4);
    mask.Draw(device);
}

void MissionState::ResetViewState()
{
    controls.pendingItem = nullptr;
    controls.pendingItemDisplayTime = 0;
    controls.switchPendingNow = false;
    controls.viewModeRequest = 1;
    hud.screenFade = 1.5f;
}

void MissionState::ApplyViewModeRequest()
{
    if (!roster.controlledCharacter)
        return;
    if (controls.viewModeRequest == 1) {
        if (roster.controlledCharacter->viewMode != 1)
            roster.controlledCharacter->CycleViewMode();
        controls.viewModeRequest = 0;
    } else if (controls.viewModeRequest == 0) {
        const int mode = roster.controlledCharacter->viewMode;
        if ((controls.chosenViewMode == 0 && mode != 0) || (controls.chosenViewMode == 1 && mode != 1))
            roster.controlledCharacter->CycleViewMode();
        controls.viewModeRequest = 2;
    }
}
