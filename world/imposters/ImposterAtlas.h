#pragma once

#include <list>
#include <memory>

#include "engine/sprite/Sprite.h"
#include "world/imposters/ImposterCell.h"

class Device;
class D3DBitmap;
class MapObject;
class ImposterAtlas;

// One 512 x 512 render-target page of imposter pictures with its cell quadtree and the objects
// whose pictures are to be rendered into it this frame.
class ImposterPage {
public:
    static constexpr int kQueueSize = 256;

    ~ImposterPage();
    // Makes a page and appends it to the atlas's pages; throws q3DError.
    static ImposterPage* Create(Device* device, ImposterAtlas& atlas);

    Sprite sprite; // the render target is its texture
    ImposterCell root;
    bool cleared = false;
    MapObject* queue[kQueueSize] = {};
    int queueLength = 0;
};

// The pages a world's imposters share and the depth buffer they are rendered with: made by the
// first imposter parsed, emptied when the last one leaves, and with the world at the latest.
class ImposterAtlas {
public:
    ImposterAtlas() = default;
    ~ImposterAtlas() { Clear(); }
    ImposterAtlas(const ImposterAtlas&) = delete;
    ImposterAtlas& operator=(const ImposterAtlas&) = delete;

    // Frees the depth buffer and every page with its texture.
    void Clear();

    std::list<std::unique_ptr<ImposterPage>> pages;
    int pageBudget = 0; // 0 until the first imposter is parsed
    D3DBitmap* depthBuffer = nullptr;
    int alive = 0; // imposter properties attached
};
