#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "platform/gpu/PixelFormat.h"
#include "renderer/Device.h"

using namespace platform::gpu;

TEST(PixelFormat, SizesAndPitches)
{
    struct Case {
        int format, bits, pitchOf10, rowsOf10;
    };
    const Case cases[] = {
        {FormatR8G8B8, 24, 30, 10}, {FormatA8R8G8B8, 32, 40, 10}, {FormatR5G6B5, 16, 20, 10},
        {FormatA8, 8, 10, 10},      {FormatDXT1, 4, 24, 3},        {FormatDXT5, 4, 48, 3},
        {FormatUnknown, 0, 0, 10},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BitsPerPixel(c.format), c.bits) << c.format;
        EXPECT_EQ(RowPitch(c.format, 10), std::uint32_t(c.pitchOf10)) << c.format;
        EXPECT_EQ(RowCount(c.format, 10), std::uint32_t(c.rowsOf10)) << c.format;
    }
    EXPECT_EQ(LevelSize(FormatDXT1, 1, 1), 8u);
    EXPECT_EQ(FullChainLevels(1024, 1024), 11);
    EXPECT_EQ(FullChainLevels(256, 4), 9);
}

TEST(PixelFormat, PackedFormatsRoundTripTheirOwnValues)
{
    struct Case {
        int format;
        std::uint32_t argb;    // decoded value
        std::uint32_t raw;     // encoded bits
    };
    const Case cases[] = {
        {FormatR5G6B5, 0xFFFF0000u, 0xF800},  {FormatR5G6B5, 0xFF00FF00u, 0x07E0},
        {FormatA1R5G5B5, 0xFF0000FFu, 0x801F}, {FormatX1R5G5B5, 0xFFFFFFFFu, 0xFFFF},
        {FormatA4R4G4B4, 0x88112233u, 0x8123}, {FormatX4R4G4B4, 0xFF445566u, 0xF456},
        {FormatA8L8, 0x7F404040u, 0x7F40},     {FormatL8, 0xFF808080u, 0x80},
        {FormatA8, 0x40000000u, 0x40},         {FormatR3G3B2, 0xFFFFFFFFu, 0xFF},
        {FormatX8R8G8B8, 0xFF123456u, 0xFF123456u},
    };
    for (const Case& c : cases) {
        std::uint8_t bytes[4] = {};
        EncodeImage(c.format, &c.argb, 1, 1, bytes, 4);
        std::uint32_t raw = 0;
        std::memcpy(&raw, bytes, std::size_t(BitsPerPixel(c.format) / 8));
        EXPECT_EQ(raw, c.raw) << c.format;
        std::uint32_t decoded = 0;
        DecodeImage(c.format, bytes, 4, 1, 1, &decoded);
        EXPECT_EQ(decoded, c.argb) << c.format;
    }
}

TEST(PixelFormat, DxtBlocksRoundTripFlatAndTwoToneColours)
{
    for (int format : {FormatDXT1, FormatDXT3, FormatDXT5}) {
        std::vector<std::uint32_t> pixels(8 * 4);
        for (int i = 0; i < 32; ++i)
            pixels[std::size_t(i)] = (i % 8) < 4 ? 0xFFFF0000u : 0xFF0000FFu;
        std::vector<std::uint8_t> blocks(LevelSize(format, 8, 4));
        EncodeImage(format, pixels.data(), 8, 4, blocks.data(), RowPitch(format, 8));
        std::vector<std::uint32_t> back(32);
        DecodeImage(format, blocks.data(), RowPitch(format, 8), 8, 4, back.data());
        EXPECT_EQ(back, pixels) << format;
    }
    // DXT1 keeps one-bit transparency; DXT5 interpolates alpha.
    std::vector<std::uint32_t> holes(16, 0xFF00FF00u);
    holes[5] = 0x00000000u;
    std::uint8_t block[16];
    EncodeImage(FormatDXT1, holes.data(), 4, 4, block, 8);
    std::vector<std::uint32_t> back(16);
    DecodeImage(FormatDXT1, block, 8, 4, 4, back.data());
    EXPECT_EQ(back[5] >> 24, 0u);
    EXPECT_EQ(back[0], 0xFF00FF00u);
    std::vector<std::uint32_t> ramp(16);
    for (int i = 0; i < 16; ++i)
        ramp[std::size_t(i)] = (std::uint32_t(i * 17) << 24) | 0x00808080u;
    EncodeImage(FormatDXT5, ramp.data(), 4, 4, block, 16);
    DecodeImage(FormatDXT5, block, 16, 4, 4, back.data());
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(int(back[std::size_t(i)] >> 24), i * 17, 19) << i;
}
