#pragma once

#include "engine/core/Matrix.h"
#include "engine/material/Material.h"

class Device;

// The third-person muzzle flash: three unit quads, one facing along the barrel ("%s-front.tga")
// and two along it in its vertical and horizontal planes ("%s-side.tga"), drawn in the muzzle's
// frame without fog. Owns its two textures.
class MuzzleFlash {
public:
    MuzzleFlash() = default;
    ~MuzzleFlash();
    MuzzleFlash(const MuzzleFlash&) = delete;
    MuzzleFlash& operator=(const MuzzleFlash&) = delete;

    // Throws q3DError "Can't load %s: %s" (picture, the bitmap's error) when a picture is missing.
    void Load(Device* device, const char* basePath);
    // True when the quads were submitted.
    bool Draw(Device* device, const Matrix4& muzzleFrame);

    int drawCount = 0; // draws so far (for tests)

private:
    void Release();

    Material front;
    Material side;
};
