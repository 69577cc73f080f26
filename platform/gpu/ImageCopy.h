#pragma once

#include "platform/gpu/GpuTypes.h"
#include "platform/gpu/Resources.h"

// Image utilities over textures and surfaces: converting copies between formats and sizes, and
// building mip-maps.
namespace platform::gpu {

// One image: a surface, or one level of one face of a texture.
struct ImageTarget {
    Surface* surface = nullptr;
    Texture* texture = nullptr;
    int face = 0;
    int level = 0;

    static ImageTarget Of(Surface* s) { return {s, nullptr, 0, 0}; }
    static ImageTarget Of(Texture* t, int level = 0, int face = 0) { return {nullptr, t, face, level}; }
};

// Copies the source rectangle into the destination rectangle (null = whole image), converting the
// format and scaling with the filter (None and Point take the nearest texel, Linear and Box
// average the texels each destination texel covers).
Result LoadImage(const ImageTarget& destination, const Rect* destinationRect, const ImageTarget& source,
                 const Rect* sourceRect, Filter filter);

// Rebuilds levels 1 and up of every face from level 0 with a 2 x 2 box filter.
Result FilterTexture(Texture* texture);

// Size and format of an image.
bool DescribeImage(const ImageTarget& image, int& width, int& height, int& format);

} // namespace platform::gpu
