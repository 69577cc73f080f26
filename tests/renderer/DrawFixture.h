#pragma once

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/core/Matrix.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "tests/renderer/RendererFixture.h"

// Draws on a 64 x 64 back buffer and reads pixels back. Expected colours are worked out by hand
// from the fixed-function rules; comparisons allow a few steps per channel for rounding.
class DrawTest : public RendererTest {
protected:
    static constexpr int kSize = 64;

    struct ScreenVertex {
        float x, y, z, rhw;
        std::uint32_t color;
        float u, v;
    };

    // An untransformed, unlit vertex with a diffuse colour, and its layout (colourLayout).
    struct ColourVertex {
        float x, y, z;
        std::uint32_t color;
    };

    void SetUp() override
    {
        RendererTest::SetUp();
        OpenWindowed(kSize, kSize);
        screenLayout.InitScreenTextured();
        colourLayout.offsets[VertexLayout::Position] = 0;
        colourLayout.offsets[VertexLayout::Diffuse] = 12;
        colourLayout.vertexSize = sizeof(ColourVertex);
        material.lightingMode = 0;
    }

    // A rectangle of two clockwise triangles (as seen on screen), or anticlockwise when reversed.
    static std::vector<ScreenVertex> Quad(float x0, float y0, float x1, float y1, std::uint32_t color,
                                          bool reversed = false)
    {
        const ScreenVertex a{x0, y0, 0.5f, 1, color, 0, 0}, b{x1, y0, 0.5f, 1, color, 1, 0};
        const ScreenVertex c{x1, y1, 0.5f, 1, color, 1, 1}, d{x0, y1, 0.5f, 1, color, 0, 1};
        if (reversed)
            return {a, c, b, a, d, c};
        return {a, b, c, a, c, d};
    }

    void DrawQuad(const std::vector<ScreenVertex>& quad, Material* with)
    {
        device->DrawUserPrimitives(PrimTriangleList, quad.data(), int(quad.size()), &screenLayout, nullptr, 0, with);
    }

    // The back buffer as 0x00RRGGBB pixels, top row first.
    std::vector<std::uint32_t> ReadBack()
    {
        D3DBitmap* back = device->GetBackBuffer();
        const auto* bits = static_cast<const std::uint8_t*>(back->Lock(false));
        const std::size_t pitch = BackBufferPitch();
        std::vector<std::uint32_t> pixels(std::size_t(kSize) * kSize);
        if (bits) {
            for (int y = 0; y < kSize; ++y)
                for (int x = 0; x < kSize; ++x) {
                    std::uint32_t p;
                    std::memcpy(&p, bits + y * pitch + x * 4, 4);
                    pixels[std::size_t(y) * kSize + x] = p & 0x00FFFFFFu;
                }
            back->Unlock();
        }
        return pixels;
    }

    // A multisampled back buffer reports no pitch; its locked rows lie one after another.
    std::size_t BackBufferPitch()
    {
        D3DBitmap* back = device->GetBackBuffer();
        return back->GetPitch() ? back->GetPitch() : std::size_t(kSize) * back->GetBytesPerPixel();
    }

    static std::uint32_t At(const std::vector<std::uint32_t>& pixels, int x, int y)
    {
        return pixels[std::size_t(y) * kSize + std::size_t(x)];
    }

    // Each channel within tolerance.
    static ::testing::AssertionResult Near(std::uint32_t actual, std::uint32_t expected, int tolerance = 3)
    {
        for (int shift : {16, 8, 0}) {
            const int a = int((actual >> shift) & 0xFF), e = int((expected >> shift) & 0xFF);
            if (std::abs(a - e) > tolerance)
                return ::testing::AssertionFailure() << std::hex << "0x" << actual << " is not near 0x" << expected;
        }
        return ::testing::AssertionSuccess();
    }

    // A one-level texture of one colour.
    D3DBitmap* SolidTexture(const char* name, std::uint32_t color, int size = 2)
    {
        D3DBitmap* bitmap = device->CreateBitmap(nullptr);
        EXPECT_EQ(bitmap->Create(name, size, size, FormatA8R8G8B8, BitmapOneLevel), 1);
        auto* bits = static_cast<std::uint8_t*>(bitmap->Lock(true));
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                std::memcpy(bits + y * bitmap->GetPitch() + x * 4, &color, 4);
        bitmap->Unlock();
        return bitmap;
    }

    // The back buffer saved as a screenshot, the file's bytes; the file is removed.
    std::vector<std::uint8_t> SaveScreenshot(const char* path)
    {
        EXPECT_EQ(device->GetBackBuffer()->SaveTga(path), 1);
        std::vector<std::uint8_t> file = ReadFile(path);
        std::remove(path);
        return file;
    }

    // The red byte of a screenshot's pixel counted from the top. A 24-bit file whose descriptor
    // leaves the origin bit clear stores its bottom row first; a viewer that ignores the origin
    // shows such a file upside down.
    static int ScreenshotRed(const std::vector<std::uint8_t>& file, int x, int yFromTop)
    {
        const int width = file[12] | file[13] << 8, height = file[14] | file[15] << 8;
        EXPECT_EQ(file[16], 24);
        EXPECT_EQ(file[17] & 0x20, 0) << "rows stored bottom first";
        return file[18 + (std::size_t(height - 1 - yFromTop) * std::size_t(width) + std::size_t(x)) * 3 + 2];
    }

    // Camera at the origin looking along +z with a 90 degree field of view.
    void LookAlongZ()
    {
        Matrix4 identity, projection;
        projection.Perspective(1.5707964f, 1.0f, 1.0f, 100.0f);
        device->SetWorldTransform(&identity);
        device->SetViewTransform(&identity);
        device->SetProjectionTransform(&projection);
    }

    VertexLayout screenLayout;
    VertexLayout colourLayout;
    Material material;
};
