#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// An image of 0xAARRGGBB words, rows from top to bottom.
struct TgaImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    TgaImage(int width, int height, std::uint32_t colour = 0xFF000000u);

    std::uint32_t& At(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
    // Fills a rectangle, clipped to the image.
    void Fill(int x, int y, int w, int h, std::uint32_t colour);
};

// An uncompressed true-colour TGA file (type 2) of 24 or 32 bits per pixel, rows stored bottom
// to top as the format's default origin has it; 32-bit files keep the alpha byte.
std::vector<std::uint8_t> WriteTga(const TgaImage& image, int bitsPerPixel);
