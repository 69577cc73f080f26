#pragma once

#include "engine/core/Vector.h"
#include "mission/drawing/OverheadMap.h"

#include <cstdint>
#include <memory>
#include <vector>

class D3DBitmap;
class MeshNode;
class Sprite;
class SpriteNode;

// A formation file of "GameData/Formations/" as the squad orders show it: its name and up to three
// icon points.
struct FormationIcon {
    static constexpr int NameSize = 32;
    static constexpr int MaximumPoints = 3;

    char name[NameSize] = {};
    int pointCount = 0;
    int points[MaximumPoints][2] = {};
};

// Everything the mission draws flat over the picture and what it shows: the HUD's sprites and
// switches, the overhead map, the radial menu's and the formations' icons, the night-vision
// targets, the screen fade and the loading display.
class MissionHud {
public:
    static constexpr int RadialMenuCount = 9;
    static constexpr int MaximumFormationIcons = 32;
    static constexpr int StatusTextSize = 512;

    MissionHud();
    ~MissionHud();
    MissionHud(const MissionHud&) = delete;
    MissionHud& operator=(const MissionHud&) = delete;

    // The level's map panel and compass (null between levels).
    std::unique_ptr<OverheadMap> overheadMap;
    bool hudShown = true;
    // The first enables the accuracy indicator; both go with the outcome camera.
    bool hudDisplayFlags[2] = {true, true};
    bool locationShown = false;
    // Cleared by a held item that brings its own sight (a scope, a launcher's crosshair).
    bool crosshairShown = true;
    int currentFormation = 0;
    // The side (0 front, 1 right, 2 back, 3 left) the controlled character was last fired at
    // from, marked while the timer runs.
    int incomingFireSide = -1;
    float incomingFireTimer = 0.0f;
    Vector3 lastIncomingDirection;

    // Made once.
    std::unique_ptr<MeshNode> markerArrows[2];
    std::unique_ptr<Sprite> radialMenu[RadialMenuCount];
    FormationIcon formationIcons[MaximumFormationIcons];
    int formationIconCount = 0;

    // Made per level.
    std::vector<std::unique_ptr<Sprite>> hudSprites;
    D3DBitmap* charStats = nullptr;
    std::unique_ptr<SpriteNode> overheadSelection;
    std::unique_ptr<SpriteNode> groundMarker;
    std::unique_ptr<Sprite> crosshair;
    D3DBitmap* nightVisionTargets[2] = {};
    D3DBitmap* nightVisionOverlay = nullptr;
    D3DBitmap* explosionBitmaps[2] = {};
    int healthTextX = 0;
    bool groundMarkerShown = false;
    Vector3 groundMarkerPosition;

    // The full-screen overlay (one of the HUD sprites): black while the picture fades in after a
    // level starts, grey (multiplying) behind the in-game menu. Null without a level.
    Sprite* screenOverlay = nullptr;
    float screenFade = 0.0f;
    // The statistics line at the top left of the picture.
    bool statisticsShown = false;
    // Counted per frame: characters, projectiles and effects the draw submitted.
    int drawnCharacters = 0, drawnProjectiles = 0;
    // Debug displays: the level's waypoint graph and the patrol paths.
    bool pathGraphShown = false;
    bool patrolPathsShown = false;
    std::unique_ptr<Sprite> nightVisionSprites[3]; // the scene, the trail and the mask
    float nightVisionAccumulator = 0.0f;
    // Switched by the scope, the binoculars and the launcher: loose items far from the camera
    // culled (off while zoomed) and the night-vision display.
    bool distanceCulling = true;
    bool nightVision = false;

    // The loading display.
    std::unique_ptr<Sprite> progressBar;
    char statusText[StatusTextSize] = {};
    char progressCaption[128] = {};
    float progressScale = 1.0f;
    float progressOffset = 0.0f;
};
