#include "tools/demodata/DemoData.h"

#include "tools/demodata/writers/TgaWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>

// The overhead map's art (panel overlay, markers, compass and its arrows) and the demo map's
// overhead image, drawn from the same heights and tile rules as the map itself.

namespace {

constexpr std::uint32_t kClear = 0x00000000u;
constexpr std::uint32_t kPaper = 0xFFE6DEC2u;
constexpr std::uint32_t kOlive = 0xFF2B3A22u;

// A clear square image with a shape: every pixel the test accepts gets the colour.
template <typename Inside>
TgaImage Shape(int size, std::uint32_t colour, Inside inside)
{
    TgaImage image(size, size, kClear);
    const float centre = float(size - 1) / 2.0f;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            if (inside(float(x) - centre, float(y) - centre, centre))
                image.At(x, y) = colour;
    return image;
}

// An arrow pointing up (north) across a square the compass's size: a head and a shaft.
TgaImage Arrow(int size, std::uint32_t colour, float reach)
{
    return Shape(size, colour, [reach](float dx, float dy, float r) {
        const float top = -r * reach;
        const float headBase = top + r * 0.35f;
        if (dy >= top && dy <= headBase)
            return std::fabs(dx) <= (dy - top) * 0.6f;
        return dy > headBase && dy <= 0.0f && std::fabs(dx) <= r * 0.07f;
    });
}

TgaImage Compass()
{
    TgaImage image = Shape(128, 0xC0202820u, [](float dx, float dy, float r) { return std::hypot(dx, dy) <= r; });
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const float dx = float(x) - 63.5f, dy = float(y) - 63.5f;
            const float d = std::hypot(dx, dy);
            const bool ring = std::fabs(d - 60.0f) < 1.5f;
            // Ticks at the four points, the northern one longer.
            const bool tick = (std::fabs(dx) < 1.5f && d > (dy < 0.0f ? 44.0f : 52.0f) && d < 60.0f) ||
                              (std::fabs(dy) < 1.5f && d > 52.0f && d < 60.0f);
            if (ring || tick)
                image.At(x, y) = kPaper;
        }
    return image;
}

// The demo map seen from above, one pixel per half cell: grass shaded by height, the sand round the
// lake, the rock on the heights, the road, and the lake's water below its level.
TgaImage DemoOverhead()
{
    constexpr int size = 128;
    TgaImage image(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const int column = x / 2, row = y / 2;
            const float height = DemoMapCorner(column, row)[1] * 4.0f; // back to height-map units
            const float lake = std::hypot(float(column - 24), float(row - 40));
            const float shade = std::clamp((height - 40.0f) / 120.0f, 0.0f, 1.0f);
            std::uint32_t colour;
            if (column == 44 || column == 45)
                colour = 0xFF5A4A3Au;
            else if (lake < 11.0f && height < 80.0f)
                colour = 0xFF3070A0u;
            else if (lake < 14.0f)
                colour = 0xFFBCA872u;
            else if (height > 125.0f)
                colour = 0xFF7C7874u;
            else
                colour = 0xFF000000u | std::uint32_t(0x30 + 0x30 * shade) << 16 | std::uint32_t(0x60 + 0x50 * shade) << 8 |
                         std::uint32_t(0x28 + 0x20 * shade);
            image.At(x, y) = colour;
        }
    return image;
}

} // namespace

void GenerateDemoHud(const DemoDataWriter& out)
{
    const std::string overhead = "GameData/Overhead/";
    TgaImage overlay(128, 128, kOlive);
    overlay.Fill(3, 3, 122, 122, kClear);
    out.writeFile(overhead + "overlay.tga", WriteTga(overlay, 32));
    out.writeFile(overhead + "mapdot.tga", WriteTga(Shape(4, kPaper, [](float dx, float dy, float r) {
                                                        return std::hypot(dx, dy) <= r + 0.5f;
                                                    }),
                                                    32));
    // The player's cross, a squad member's ring and the objective's two blinking frames.
    out.writeFile(overhead + "locX.tga", WriteTga(Shape(9, 0xFFFF2020u, [](float dx, float dy, float) {
                                                      return std::fabs(std::fabs(dx) - std::fabs(dy)) < 1.0f;
                                                  }),
                                                  32));
    out.writeFile(overhead + "locO.tga", WriteTga(Shape(9, 0xFF30A0FFu, [](float dx, float dy, float r) {
                                                      return std::fabs(std::hypot(dx, dy) - r * 0.8f) < 1.0f;
                                                  }),
                                                  32));
    out.writeFile(overhead + "locObj1.tga", WriteTga(Shape(11, 0xFFFFE000u, [](float dx, float dy, float r) {
                                                         return std::fabs(dx) + std::fabs(dy) <= r;
                                                     }),
                                                     32));
    out.writeFile(overhead + "locObj2.tga", WriteTga(Shape(11, 0xFFFF8000u, [](float dx, float dy, float r) {
                                                         return std::fabs(std::fabs(dx) + std::fabs(dy) - r * 0.8f) < 1.0f;
                                                     }),
                                                     32));
    out.writeFile(overhead + "compass.tga", WriteTga(Compass(), 32));
    out.writeFile(overhead + "compArrow.tga", WriteTga(Arrow(128, 0xFFF0F0F0u, 0.85f), 32));
    out.writeFile(overhead + "compArrow2.tga", WriteTga(Arrow(128, 0xFF40E040u, 0.6f), 32));
    out.writeFile(overhead + "mapArrow.tga", WriteTga(Arrow(32, kPaper, 0.9f), 32));

    out.writeFile("Maps/Demo/area.tga", WriteTga(DemoOverhead(), 24));
}
