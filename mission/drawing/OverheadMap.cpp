#include "mission/drawing/OverheadMap.h"

#include "app/framework/Application.h"
#include "characters/body/Character.h"
#include "engine/core/EngineLog.h"
#include "characters/player/Player.h"
#include "engine/camera/Camera.h"
#include "engine/core/RenderTypes.h"
#include "engine/core/q3DError.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "engine/serial/SaveStream.h"
#include "engine/sprite/Sprite.h"
#include "mission/MissionState.h"
#include "renderer/Device.h"
#include "world/map/MapDescription.h"
#include "world/map/MapObject.h"

#include <cmath>
#include <cstring>

namespace {

constexpr const char* OverlayPath = "GameData/Overhead/overlay.tga";
constexpr const char* MapDotPath = "GameData/Overhead/mapdot.tga";
constexpr const char* PlayerMarkerPath = "GameData/Overhead/locX.tga";
constexpr const char* SquadMarkerPath = "GameData/Overhead/locO.tga";
constexpr const char* ObjectiveMarkerPaths[2] = {"GameData/Overhead/locObj1.tga", "GameData/Overhead/locObj2.tga"};
constexpr const char* CompassPath = "GameData/Overhead/compass.tga";
constexpr const char* ViewArrowPath = "GameData/Overhead/compArrow.tga";
constexpr const char* ObjectiveArrowPath = "GameData/Overhead/compArrow2.tga";
constexpr const char* MapArrowPath = "GameData/Overhead/mapArrow.tga";
constexpr int RenderTargetSize = 128;
constexpr int RenderTargetFormat = 4;

struct ArrowVertex {
    float x, y, z, rhw;
    std::uint32_t colour;
    float u0, v0, u1, v1;
};
static_assert(sizeof(ArrowVertex) == 36);

Device* GetDevice() { return Application::Instance()->GetDevice(); }

// A sprite of the map, or null (logged) when its image does not load.
std::unique_ptr<Sprite> LoadMapSprite(Device* device, const char* path, int blendMode = -1)
{
    try {
        auto sprite = std::make_unique<Sprite>(device, path);
        if (blendMode >= 0)
            sprite->material.SetBlendMode(blendMode);
        return sprite;
    } catch (const q3DError& error) {
        LogToEngine("%s", error.GetText());
        return nullptr;
    }
}

D3DBitmap* LoadTexture(Device* device, const char* path)
{
    D3DBitmap* bitmap = nullptr;
    device->CreateBitmap(&bitmap);
    if (bitmap && bitmap->Load(path, 0, BitmapOneLevel | BitmapAnySize) < 0) {
        LogToEngine("Can't load %s: %s", path, bitmap->GetLastError());
        bitmap->Destroy();
        bitmap = nullptr;
    }
    return bitmap;
}

void DestroyTexture(D3DBitmap*& bitmap)
{
    if (bitmap) {
        bitmap->Destroy();
        bitmap = nullptr;
    }
}

// Texture filtering off around a draw, so that the map's pixels and markers stay sharp.
template <typename DrawCall>
void DrawUnfiltered(Device* device, DrawCall draw)
{
    device->SetFilter(0, 2);
    draw();
    device->SetFilter(1, 2);
}

} // namespace

OverheadMap::OverheadMap() = default;

OverheadMap::~OverheadMap() { Release(); }

void OverheadMap::Release()
{
    if (arrowMaterial) {
        DestroyTexture(arrowMaterial->texture[0]);
        delete arrowMaterial;
        arrowMaterial = nullptr;
    }
    if (arrow) {
        arrow->material = nullptr;
        arrow->Release();
        arrow = nullptr;
    }
    overlay.reset();
    renderTarget.reset();
    mapImage.reset();
    mapDot.reset();
    playerMarker.reset();
    squadMarker.reset();
    for (std::unique_ptr<Sprite>& marker : objectiveMarkers)
        marker.reset();
    compass.reset();
    DestroyTexture(viewArrowTexture);
    DestroyTexture(objectiveArrowTexture);
}

void OverheadMap::Load(const char* imagePath)
{
    Release();
    shown = 0;
    scale = 1.0f;
    panelOffset = HiddenPanelOffset;
    screenX = screenY = -1;
    markerFrame = 0;
    markerTimer = 0.0f;
    Device* device = GetDevice();
    if (!device)
        throw q3DError("Can't make the overhead map: %s", "no device");

    overlay = LoadMapSprite(device, OverlayPath, 13);
    if (overlay)
        overlay->x = overlay->y = DefaultScreenPosition;
    renderTarget = std::make_unique<Sprite>();
    device->CreateRenderTargetBitmap(&renderTarget->material.texture[0]);
    if (D3DBitmap* target = renderTarget->material.texture[0]) {
        renderTarget->ownsTexture = true;
        if (target->Create("overheadmap", RenderTargetSize, RenderTargetSize, RenderTargetFormat,
                           BitmapRenderTarget | BitmapDefaultPool | BitmapClampU | BitmapClampV) < 0)
            LogToEngine("Can't create the overhead map's render target: %s", target->GetLastError());
    }
    renderTarget->x = renderTarget->y = DefaultScreenPosition;
    renderTarget->alpha = 0.8f;

    try {
        mapImage = std::make_unique<Sprite>(device, imagePath);
    } catch (const q3DError& error) {
        LogToEngine("%s", error.GetText());
        mapImage.reset();
        shown = 0;
        panelOffset = HiddenPanelOffset;
    }
    mapDot = LoadMapSprite(device, MapDotPath, 13);
    playerMarker = LoadMapSprite(device, PlayerMarkerPath);
    squadMarker = LoadMapSprite(device, SquadMarkerPath);
    for (int i = 0; i < 2; ++i)
        objectiveMarkers[i] = LoadMapSprite(device, ObjectiveMarkerPaths[i]);
    compass = LoadMapSprite(device, CompassPath);
    if (compass)
        compass->x = DefaultScreenPosition,
        compass->y = device->GetTargetHeight() - compass->GetDrawnTextureHeight() - DefaultScreenPosition;
    viewArrowTexture = LoadTexture(device, ViewArrowPath);
    objectiveArrowTexture = LoadTexture(device, ObjectiveArrowPath);

    device->CreatePrim(&arrow);
    VertexLayout layout;
    InitArrowLayout(&layout);
    if (!arrow || arrow->Create(PrimTriangleList, 4, 6, &layout, 0) != 0) {
        const std::string reason = arrow && arrow->GetLastError() ? arrow->GetLastError() : "no prim";
        if (arrow)
            arrow->Release();
        arrow = nullptr;
        throw q3DError("Can't make the overhead map's arrow: %s", reason.c_str());
    }
    arrow->primitiveType = PrimTriangleList;
    if (std::uint16_t* indices = arrow->GetIndices(true, true)) {
        static constexpr std::uint16_t triangles[6] = {0, 1, 2, 0, 2, 3};
        std::memcpy(indices, triangles, sizeof triangles);
        arrow->Nop6();
    }
    arrowMaterial = new Material();
    std::strcpy(arrowMaterial->name, "OverheadArrow");
    arrowMaterial->texture[0] = LoadTexture(device, MapArrowPath);
    arrowMaterial->SetBlendMode(13);
    arrowMaterial->lightingMode = 0;
    arrowMaterial->cullFlags = Material::kTwoSided;
    arrow->material = arrowMaterial;
}

void OverheadMap::Save(SaveStream* stream) const
{
    stream->WriteUInt8(BlockVersion);
    stream->WriteUInt8(shown ? 1 : 0);
    stream->WriteFloat(scale);
}

void OverheadMap::Load(SaveStream* stream)
{
    stream->ExpectVersion(BlockVersion, "Incorrection version number in OverheadMap block");
    const std::uint8_t savedShown = stream->ReadUInt8();
    const float savedScale = stream->ReadFloat("overhead map's scale");
    if (savedShown > 1 || savedScale <= 0.0f)
        throw q3DError("Incorrect values in OverheadMap block: shown %u, scale %g", unsigned(savedShown),
                       double(savedScale));
    shown = savedShown;
    scale = savedScale;
}

int OverheadMap::GetImageWidth() const { return mapImage ? mapImage->GetDrawnTextureWidth() : 0; }
int OverheadMap::GetImageHeight() const { return mapImage ? mapImage->GetDrawnTextureHeight() : 0; }

void OverheadMap::InitArrowLayout(VertexLayout* layout)
{
    layout->Reset();
    layout->offsets[VertexLayout::TransformedPosition] = 0;
    layout->offsets[VertexLayout::Diffuse] = 16;
    layout->offsets[VertexLayout::TexCoord0] = 20;
    layout->offsets[VertexLayout::TexCoord0 + 1] = 28;
    layout->vertexSize = 36;
}

int OverheadMap::SanitizeObjective(int objective, int objectiveCount)
{
    if (objective == -1 || objective == INT_MAX || (objective >= 0 && objective < objectiveCount))
        return objective;
    return -1;
}

bool OverheadMap::GetTargetPosition(int triggerId, Vector3* out)
{
    MissionState* mission = MissionState::Instance();
    if (triggerId == INT_MAX) {
        for (MapObject* zone : mission->level.exitZones)
            if (zone) {
                *out = zone->GetPosition();
                return true;
            }
        return false;
    }
    for (const TriggerRecord& trigger : mission->level.triggers)
        if (trigger.triggerID == triggerId) {
            *out = Vector3(trigger.x, trigger.y, trigger.z);
            return true;
        }
    return false;
}

bool OverheadMap::GetObjectiveTarget(int objective, Vector3* out)
{
    MissionState* mission = MissionState::Instance();
    objective = SanitizeObjective(objective, int(mission->level.definition.objectives.size()));
    if (objective == -1)
        return false;
    if (objective == INT_MAX)
        return GetTargetPosition(INT_MAX, out);
    for (std::int32_t target : mission->level.definition.objectives[std::size_t(objective)].targets) {
        if (target == -1)
            continue;
        bool fired = false;
        for (const TriggerRecord& trigger : mission->level.triggers)
            if (trigger.triggerID == target)
                fired = trigger.fired;
        if (!fired)
            return GetTargetPosition(target, out);
    }
    return false;
}

void OverheadMap::MapPoint(const OverheadMapView& view, int imageWidth, int imageHeight, int left, int top, float x,
                           float z, int markerWidth, int markerHeight, int* outX, int* outY)
{
    const float spanX = float(view.tilesX) * view.tileSize;
    const float spanZ = float(view.tilesZ) * view.tileSize;
    // An empty map puts every marker at the map's centre rather than dividing by zero.
    const float u = spanX > 0.0f ? (spanX * 0.5f + x) / spanX : 0.5f;
    const float v = spanZ > 0.0f ? (spanZ * 0.5f + z) / spanZ : 0.5f;
    *outX = int(u * float(imageWidth) + float(left) - float(markerWidth) / 2.0f);
    *outY = int(float(imageHeight) - v * float(imageHeight) + float(top) - float(markerHeight) / 2.0f);
}

void OverheadMap::DrawArrow(Device* device, const Vector3& direction, D3DBitmap* texture, int renderHeight)
{
    if (!arrow || !arrowMaterial || !texture)
        return;
    // Screen y grows downwards, so north (+z) points up.
    const float a = direction.z, b = direction.x;
    const float half = float(texture->GetWidth()) / 2.0f;
    const int compassHeight = compass ? compass->GetDrawnTextureHeight() : 0;
    const float centreX = panelOffset + 69.0f + 64.0f + float(texture->GetWidth()) / 2.0f;
    const float centreY = float(renderHeight) + 64.0f - float(compassHeight) - 5.0f - 64.0f + float(texture->GetHeight()) / 2.0f;
    static constexpr float corners[4][4] = {{-1, -1, 0, 0}, {1, -1, 1, 0}, {1, 1, 1, 1}, {-1, 1, 0, 1}};
    auto* vertices = static_cast<ArrowVertex*>(arrow->GetVertices(true, true));
    if (!vertices)
        return;
    for (int i = 0; i < 4; ++i) {
        const float cx = corners[i][0] * half, cy = corners[i][1] * half;
        vertices[i] = ArrowVertex{a * cx - b * cy + centreX, b * cx + a * cy + centreY, 0.0f, 1.0f, 0xFFFFFFFFu,
                                  corners[i][2], corners[i][3], corners[i][2], corners[i][3]};
    }
    arrow->Nop4();
    D3DBitmap* mapArrow = arrowMaterial->texture[0];
    arrowMaterial->texture[0] = texture;
    device->DrawPrim(arrow);
    arrowMaterial->texture[0] = mapArrow;
}

void OverheadMap::DrawMarker(Device* device, Sprite* sprite, const OverheadMapView& view, int left, int top,
                             const Vector3& position)
{
    if (!sprite)
        return;
    MapPoint(view, GetImageWidth(), GetImageHeight(), left, top, position.x, position.z, sprite->GetDrawnTextureWidth(),
             sprite->GetDrawnTextureHeight(), &sprite->x, &sprite->y);
    DrawUnfiltered(device, [&] { sprite->Draw(device); });
}

void OverheadMap::DrawObjectiveMarker(Device* device, const OverheadMapView& view, int left, int top)
{
    if (view.objective == -1)
        return;
    markerTimer += view.frameTime;
    if (markerTimer > MarkerFrameSeconds) {
        markerTimer = 0.0f;
        markerFrame = markerFrame == 1 ? 0 : markerFrame + 1;
    }
    if (view.hasTarget)
        DrawMarker(device, objectiveMarkers[markerFrame].get(), view, left, top, view.target);
}

void OverheadMap::Draw(const OverheadMapView& view)
{
    Device* device = GetDevice();
    if (!device)
        return;
    if (overlay)
        overlay->x = int(panelOffset);
    if (renderTarget)
        renderTarget->x = int(panelOffset);

    if (view.hasControlledCharacter && panelOffset == HiddenPanelOffset) {
        if (compass) {
            compass->y = view.renderHeight - compass->GetDrawnTextureHeight() - DefaultScreenPosition;
            DrawUnfiltered(device, [&] { compass->Draw(device); });
        }
        Vector3 forward(view.viewForward.x, 0.0f, view.viewForward.z);
        if (forward.x != 0.0f || forward.z != 0.0f) {
            forward.Normalize();
            DrawArrow(device, forward, viewArrowTexture, view.renderHeight);
        }
        if (view.objective != -1 && view.hasTarget) {
            Vector3 toTarget(view.target.x - view.controlledPosition.x, 0.0f, view.target.z - view.controlledPosition.z);
            if (toTarget.x != 0.0f || toTarget.z != 0.0f) {
                toTarget.Normalize();
                DrawArrow(device, toTarget, objectiveArrowTexture, view.renderHeight);
            }
        }
    }

    if (!shown)
        return;
    const int left = screenX == -1 ? DefaultScreenPosition : screenX;
    const int top = screenY == -1 ? DefaultScreenPosition : screenY;
    if (mapImage) {
        mapImage->x = left;
        mapImage->y = top;
        DrawUnfiltered(device, [&] { mapImage->Draw(device); });
        for (const OverheadMapView::Marker& marker : view.squadMarkers)
            DrawMarker(device, marker.player ? playerMarker.get() : squadMarker.get(), view, left, top, marker.position);
        if (!view.hasControlledCharacter)
            DrawMarker(device, playerMarker.get(), view, left, top, view.cameraPosition);
        DrawObjectiveMarker(device, view, left, top);
    }
    screenX = screenY = -1;
}

void OverheadMap::Draw()
{
    MissionState* mission = MissionState::Instance();
    Device* device = GetDevice();
    if (!device)
        return;
    OverheadMapView view;
    view.renderWidth = device->GetTargetWidth();
    view.renderHeight = device->GetTargetHeight();
    view.frameTime = Application::Instance()->GetFrameTime();
    if (mission->level.map) {
        view.tilesX = mission->level.map->width;
        view.tilesZ = mission->level.map->height;
        view.tileSize = mission->level.map->cellSize;
    }
    Character* controlled = mission->roster.controlledCharacter;
    view.hasControlledCharacter = controlled != nullptr;
    if (controlled)
        view.controlledPosition = controlled->position;
    if (mission->level.camera) {
        // The camera hangs under the scene root, or under the outcome pivot: its world matrix.
        const Matrix4& world = mission->level.camera->world;
        view.viewForward = Vector3(world.m[8], world.m[9], world.m[10]);
        view.cameraPosition = world.GetTranslation();
    }
    if (shown && mapImage) {
        // In a network game the squads of the local team (none without a team); alone, the own squad.
        std::vector<const Squad*> shownSquads;
        if (mission->session.networkGame) {
            if (mission->roster.localTeam != 0)
                for (const std::unique_ptr<Squad>& squad : mission->roster.squads) {
                    const Player* leader = squad->GetLeader();
                    if (leader && leader->team == mission->roster.localTeam)
                        shownSquads.push_back(squad.get());
                }
        } else if (mission->roster.localSquad) {
            shownSquads.push_back(mission->roster.localSquad);
        }
        for (const Squad* squad : shownSquads)
            for (int i = 0; i < mission->GetSquadSize(squad); ++i) {
                Player* member = mission->GetSquadMember(i, squad);
                if (!member)
                    continue;
                if (member == controlled)
                    view.squadMarkers.push_back({member->position, true});
                else if (member->health > 0)
                    view.squadMarkers.push_back({member->position, false});
            }
    }
    view.objective = SanitizeObjective(mission->GetCurrentObjective(), int(mission->level.definition.objectives.size()));
    view.hasTarget = GetObjectiveTarget(view.objective, &view.target);
    Draw(view);
}
