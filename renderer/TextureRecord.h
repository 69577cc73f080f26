#pragma once

#include <cstdint>

namespace platform::gpu {
class Texture;
class Surface;
}

// The image behind one or more D3DBitmaps; shared by name.
struct TextureRecord {
    platform::gpu::Texture* texture = nullptr; // null for surface bitmaps
    platform::gpu::Surface* surface = nullptr; // surfaces, back buffer, depth buffer
    char name[256] = {};
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t bitsPerPixel = 0;
    std::uint32_t bytesPerPixel = 0;
    std::uint32_t pitch = 0;
    std::int32_t format = 0;
    std::uint32_t levelCount = 0;
    bool recreatable = true;
    platform::gpu::Surface* savedCopy = nullptr;
    // Bitmaps using the record; each holds one reference on the texture and the surface. The
    // record goes with its last bitmap.
    int users = 0;

    // References left on the image objects; 0 when both are gone.
    int References() const;
    // Puts the record on the record list (and the named list when named is true).
    void Register(bool named);
    // Takes the record off both lists.
    void Unregister();
};
