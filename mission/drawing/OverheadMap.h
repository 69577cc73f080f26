#pragma once

#include "engine/core/Vector.h"

#include <climits>
#include <cstdint>
#include <memory>
#include <vector>

class D3DBitmap;
class D3DPrim;
class Device;
class Sprite;
struct Material;
struct SaveStream;
struct VertexLayout;

// What one frame of the overhead map shows, gathered from the running level so that the drawing
// itself reads nothing else.
struct OverheadMapView {
    struct Marker {
        Vector3 position;
        bool player = false; // the controlled character's marker; else a squad member's
    };

    int renderWidth = 800;
    int renderHeight = 600;
    float frameTime = 0.0f;
    // The terrain's tile counts in x and z and the tile size.
    int tilesX = 0;
    int tilesZ = 0;
    float tileSize = 0.0f;
    bool hasControlledCharacter = false;
    Vector3 controlledPosition;
    Vector3 viewForward{0.0f, 0.0f, 1.0f}; // the camera's forward direction
    Vector3 cameraPosition;
    std::vector<Marker> squadMarkers;
    // -1 none, INT_MAX the exit zone, else an objective index; the target when there is one.
    int objective = -1;
    bool hasTarget = false;
    Vector3 target;
};

// The in-game map panel and the compass at the bottom left: the map image with markers for the
// squad, the spectator's camera and the current objective target, and arrows for the view and
// objective directions. One per level, made by the level loader.
class OverheadMap {
public:
    static constexpr int DefaultScreenPosition = 5;
    static constexpr float HiddenPanelOffset = -128.0f;
    static constexpr float MarkerFrameSeconds = 0.5f;
    static constexpr std::uint8_t BlockVersion = 1;
    static constexpr std::uint32_t BlockSize = 6;

    OverheadMap();
    ~OverheadMap();
    OverheadMap(const OverheadMap&) = delete;
    OverheadMap& operator=(const OverheadMap&) = delete;

    // Makes the sprites and the arrow prim on the application's device. A map image that does not
    // load is logged and left absent: the level then has a compass but no map.
    void Load(const char* imagePath);
    // The saved block: version 1, the shown flag, the scale. A block of another version, with a
    // shown flag other than 0 or 1 or with a scale that is not a positive number raises q3DError
    // and changes nothing; a short stream raises the stream's q3DError.
    void Save(SaveStream* stream) const;
    void Load(SaveStream* stream);

    // One frame from the running level (MissionState::Instance).
    void Draw();
    // One frame of the given view on the application's device.
    void Draw(const OverheadMapView& view);

    // INT_MAX: the level's first exit zone; else the map object of the trigger with that ID.
    static bool GetTargetPosition(int triggerId, Vector3* out);
    // The target of the objective: the exit zone for INT_MAX, else the first of its targets that
    // is set and has not fired. False for -1, an index the mission does not have, or no target.
    static bool GetObjectiveTarget(int objective, Vector3* out);
    // The objective index the map works with: -1, INT_MAX and 0..count-1 stand, anything else is
    // none (-1).
    static int SanitizeObjective(int objective, int objectiveCount);
    // The screen-space arrow vertices: transformed position, colour, two uv sets; 36 bytes.
    static void InitArrowLayout(VertexLayout* layout);
    // The pixel a world point (x, z) has on the map image drawn at (left, top), for a marker of
    // that size (its top-left corner).
    static void MapPoint(const OverheadMapView& view, int imageWidth, int imageHeight, int left, int top, float x,
                         float z, int markerWidth, int markerHeight, int* outX, int* outY);

    bool HasImage() const { return mapImage != nullptr; }
    int GetImageWidth() const;
    int GetImageHeight() const;
    void ToggleShown() { shown = shown ? 0 : 1; }

    float scale = 1.0f;
    // Top-left corner of the map image for the next draw; -1 = the default 5. Every draw resets them.
    int screenX = -1;
    int screenY = -1;
    std::uint8_t shown = 0;
    float panelOffset = HiddenPanelOffset;
    int markerFrame = 0;
    float markerTimer = 0.0f;

private:
    void Release();
    void DrawArrow(Device* device, const Vector3& direction, D3DBitmap* texture, int renderHeight);
    void DrawMarker(Device* device, Sprite* sprite, const OverheadMapView& view, int left, int top,
                    const Vector3& position);
    void DrawObjectiveMarker(Device* device, const OverheadMapView& view, int left, int top);

    std::unique_ptr<Sprite> overlay;
    std::unique_ptr<Sprite> renderTarget;
    std::unique_ptr<Sprite> mapImage;
    std::unique_ptr<Sprite> mapDot;
    std::unique_ptr<Sprite> playerMarker;
    std::unique_ptr<Sprite> squadMarker;
    std::unique_ptr<Sprite> objectiveMarkers[2];
    std::unique_ptr<Sprite> compass;
    D3DBitmap* viewArrowTexture = nullptr;
    D3DBitmap* objectiveArrowTexture = nullptr;
    D3DPrim* arrow = nullptr;
    Material* arrowMaterial = nullptr;
};
