#pragma once

#include <cstdint>

#include "engine/material/Material.h"

class Device;

// A textured rectangle drawn in screen pixels (origin top left, y down): HUD images, menu
// pictures, icons and the letters of bitmap fonts. Stage 0 of the material holds the texture.
class Sprite {
public:
    Sprite();
    // Loads the image (the sprite then owns its texture); throws q3DError.
    Sprite(Device* device, const char* path);
    virtual ~Sprite();
    Sprite(const Sprite&) = delete;
    Sprite& operator=(const Sprite&) = delete;

    // A one-level texture of any size from the file; throws q3DError.
    virtual void Load(Device* device, const char* path);
    // Destroys the texture.
    virtual void Release();
    virtual bool Draw(Device* device);

    // The texture's size when width / height are -1.
    int GetDrawnTextureWidth() const;
    int GetDrawnTextureHeight() const;

    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = -1;  // texels; -1 = the texture's width
    std::int32_t height = -1; // texels; -1 = the texture's height
    Material material;
    float scale = 1.0f;
    // u, v of the corners top-left, top-right, bottom-right, bottom-left.
    float texCoords[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    float red = 1.0f;
    float green = 1.0f;
    float blue = 1.0f;
    float alpha = 1.0f;
    float depth = 0.0f;
    bool ownsTexture = false;
};

// 0xAARRGGBB from channels in 0..1, each x 255 truncated.
std::uint32_t PackSpriteColor(float alpha, float red, float green, float blue);
