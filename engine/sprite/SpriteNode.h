#pragma once

#include <cstdint>
#include <memory>

#include "engine/scene/SceneNode.h"

class Device;
class Sprite;
struct Material;

// Shows a sprite in the 3D scene: as a quad facing the camera (billboard; the node's scale x and
// y are its width and height in world units) or as a screen image centred on the node's projected
// position.
class SpriteNode : public SceneNode {
public:
    SpriteNode() = default;
    ~SpriteNode() override;

    // Loads the sprite from an image file (owned; two-sided material); throws q3DError.
    void Load(Device* device, const char* path);
    // 1 when drawn, 0 when culled or without a sprite.
    virtual int Draw(Device* device);

    Sprite* GetSprite() const { return sprite.get(); }

    Material* material = nullptr; // the sprite's
    float alpha = 1.0f;
    float red = 1.0f;
    float green = 1.0f;
    float blue = 1.0f;
    std::int32_t billboard = 1;

private:
    std::unique_ptr<Sprite> sprite;
};
