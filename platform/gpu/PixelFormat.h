#pragma once

#include <cstddef>
#include <cstdint>

// Facts about the texture format codes (the renderer's TextureFormat numbers) and conversion of
// images between them through 32-bit 0xAARRGGBB pixels.
namespace platform::gpu {

int BitsPerPixel(int format);
bool IsBlockCompressed(int format);        // DXT1, DXT3, DXT5
int BlockBytes(int format);                // 8 for DXT1, 16 for DXT3/DXT5, 0 otherwise
bool HasAlpha(int format);
// Whether DecodeImage/EncodeImage understand the format.
bool CanConvert(int format);

// Bytes of one locked row (of pixels, or of 4 x 4 blocks) and the number of such rows.
std::uint32_t RowPitch(int format, int width);
std::uint32_t RowCount(int format, int height);
std::size_t LevelSize(int format, int width, int height);
// Number of levels of a full mip chain down to 1 x 1.
int FullChainLevels(int width, int height);

// Reads a width x height image (rows pitch bytes apart) into 0xAARRGGBB pixels, width per row.
// Formats without alpha decode with alpha 0xFF.
void DecodeImage(int format, const std::uint8_t* source, std::size_t pitch, int width, int height,
                 std::uint32_t* out);
// Writes 0xAARRGGBB pixels as the format, rounding each channel to the nearest value.
void EncodeImage(int format, const std::uint32_t* pixels, int width, int height, std::uint8_t* destination,
                 std::size_t pitch);

// What a pixel keeps when it is written as the format and read back (EncodeImage, then
// DecodeImage): the bits of alpha, red, green and blue (0 = absent) and whether red carries a
// luminance made from all three. False for block-compressed and unknown formats.
bool ChannelDepths(int format, int bits[4], bool& luminance);

} // namespace platform::gpu
