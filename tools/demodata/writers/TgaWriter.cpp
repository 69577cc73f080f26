#include "tools/demodata/writers/TgaWriter.h"

#include <algorithm>
#include <stdexcept>

TgaImage::TgaImage(int width, int height, std::uint32_t colour)
    : width(width), height(height), pixels(static_cast<std::size_t>(width) * height, colour)
{
}

void TgaImage::Fill(int x, int y, int w, int h, std::uint32_t colour)
{
    const int x0 = std::max(x, 0);
    const int y0 = std::max(y, 0);
    const int x1 = std::min(x + w, width);
    const int y1 = std::min(y + h, height);
    for (int row = y0; row < y1; ++row) {
        for (int column = x0; column < x1; ++column)
            At(column, row) = colour;
    }
}

std::vector<std::uint8_t> WriteTga(const TgaImage& image, int bitsPerPixel)
{
    if (bitsPerPixel != 24 && bitsPerPixel != 32)
        throw std::invalid_argument("TGA writer: 24 or 32 bits per pixel");
    if (image.width <= 0 || image.height <= 0 || image.width > 0xFFFF || image.height > 0xFFFF)
        throw std::invalid_argument("TGA writer: bad image size");

    std::vector<std::uint8_t> bytes;
    const std::size_t bytesPerPixel = static_cast<std::size_t>(bitsPerPixel / 8);
    bytes.reserve(18 + image.pixels.size() * bytesPerPixel);
    const auto put16 = [&bytes](int value) {
        bytes.push_back(static_cast<std::uint8_t>(value));
        bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    };
    bytes.push_back(0); // no image id
    bytes.push_back(0); // no colour map
    bytes.push_back(2); // uncompressed true colour
    bytes.insert(bytes.end(), 5, 0); // colour map: first entry, length, entry size
    put16(0); // x origin
    put16(0); // y origin
    put16(image.width);
    put16(image.height);
    bytes.push_back(static_cast<std::uint8_t>(bitsPerPixel));
    bytes.push_back(bitsPerPixel == 32 ? 8 : 0); // alpha bits; origin bottom left

    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            const std::uint32_t argb = image.pixels[static_cast<std::size_t>(y) * image.width + x];
            bytes.push_back(static_cast<std::uint8_t>(argb));       // blue
            bytes.push_back(static_cast<std::uint8_t>(argb >> 8));  // green
            bytes.push_back(static_cast<std::uint8_t>(argb >> 16)); // red
            if (bitsPerPixel == 32)
                bytes.push_back(static_cast<std::uint8_t>(argb >> 24));
        }
    }
    return bytes;
}
