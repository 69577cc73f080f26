#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <vector>

#include "engine/core/Geometry.h"
#include "engine/core/Vector.h"
#include "world/imposters/ImposterAtlas.h"
#include "world/imposters/ImposterCell.h"
#include "world/props/Prop.h"

class Device;
class D3DBitmap;
class MapObject;
struct Material;

// The "imposter" property: far enough away, the object is drawn as a camera-facing picture of
// itself, re-rendered into a page cell only when the view of it has changed enough.
class ImposterProp : public Prop {
public:
    std::uint32_t Parse(MapObject* object, const char* line) override;
    void PreDraw(MapObject* object, float dt) override;
    void PostDraw(MapObject* object, float dt) override;
    void UpdateNearCamera(MapObject* object, float dt) override;
    void Detach(MapObject* object) override;
    std::uint32_t GetFlags() override { return PropPreDraw | PropPostDraw | PropNearCamera; }

    // Whether the picture must be rendered again: none yet, or the distance or the direction
    // from the camera changed past what the distance (as a share of far) lets pass.
    static bool NeedsRender(bool hasImposter, float distance, float far, float lastDistance, const Vector3& direction,
                            const Vector3& lastDirection);
    // The screen rectangle (x0, y0, x1, y1) of a box under the current transforms.
    static void ScreenRect(Device* device, const BoundingBox& box, int rect[4]);

    // The current world's pages and page budget (none and the budget set, with no world).
    static const std::list<std::unique_ptr<ImposterPage>>& Pages();
    static int PageBudget();
    // For tests and low-memory machines: the budget of the current world's atlas and of the
    // atlases made from now on; 0 goes back to the one chosen by the device's video memory.
    static void SetPageBudget(int pages);
    static int DrawnThisFrame();

    int slot = -1;
    bool visible = false;
    int testedFrame = -1; // device frame of the last frustum test
    bool hasImposter = false;
    ImposterPage* page = nullptr;
    ImposterCell* cell = nullptr;
    int cellX = 0, cellY = 0, cellSize = 0;
    int width = 0, height = 0; // of the picture in the cell
    float lastDistance = 0.0f;
    Vector3 lastDirection;
    Vector3 corners[4];  // the quad, in the picture's plane (x right, y up) around the centre
    float texCoords[4][2] = {};

private:
    void ReleaseCell();
    void DrawQuad(MapObject* object, Device* device);
};

Prop* ImposterPropFactory();
