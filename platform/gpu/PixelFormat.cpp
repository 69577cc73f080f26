#include "platform/gpu/PixelFormat.h"

#include <algorithm>
#include <cstring>

#include "engine/core/RenderTypes.h"

namespace platform::gpu {
namespace {

// Scales an n-bit channel value to 8 bits by bit replication, as the hardware does.
std::uint32_t Expand(std::uint32_t value, int bits)
{
    if (bits == 0)
        return 0xFF;
    if (bits >= 8)
        return value >> (bits - 8);
    std::uint32_t result = value << (8 - bits);
    for (int shift = 8 - 2 * bits; shift > -bits; shift -= bits)
        result |= shift >= 0 ? value << shift : value >> -shift;
    return result & 0xFF;
}

// Nearest n-bit value of an 8-bit channel.
std::uint32_t Reduce(std::uint32_t value, int bits)
{
    const std::uint32_t top = (1u << bits) - 1;
    return (value * top + 127) / 255;
}

std::uint32_t Pack(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b)
{
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// Layout of a plain packed format: bits and position of each channel (bits 0 = absent).
struct Packing {
    int bytes;
    int aBits, aShift, rBits, rShift, gBits, gShift, bBits, bShift;
    bool luminance; // r carries luminance, copied into g and b
    std::uint32_t unused = 0; // bits that hold no channel; written as ones
};

bool PackingOf(int format, Packing& p)
{
    switch (format) {
    case FormatR8G8B8: p = {3, 0, 0, 8, 16, 8, 8, 8, 0, false}; return true;
    case FormatA8R8G8B8: p = {4, 8, 24, 8, 16, 8, 8, 8, 0, false}; return true;
    case FormatX8R8G8B8: p = {4, 0, 0, 8, 16, 8, 8, 8, 0, false, 0xFF000000u}; return true;
    case FormatR5G6B5: p = {2, 0, 0, 5, 11, 6, 5, 5, 0, false}; return true;
    case FormatX1R5G5B5: p = {2, 0, 0, 5, 10, 5, 5, 5, 0, false, 0x8000u}; return true;
    case FormatA1R5G5B5: p = {2, 1, 15, 5, 10, 5, 5, 5, 0, false}; return true;
    case FormatX4R4G4B4: p = {2, 0, 0, 4, 8, 4, 4, 4, 0, false, 0xF000u}; return true;
    case FormatA4R4G4B4: p = {2, 4, 12, 4, 8, 4, 4, 4, 0, false}; return true;
    case FormatR3G3B2: p = {1, 0, 0, 3, 5, 3, 2, 2, 0, false}; return true;
    case FormatA8R3G3B2: p = {2, 8, 8, 3, 5, 3, 2, 2, 0, false}; return true;
    case FormatA2B10G10R10: p = {4, 2, 30, 10, 0, 10, 10, 10, 20, false}; return true;
    case FormatP8: // no palette is kept: the index reads as a grey level
    case FormatL8: p = {1, 0, 0, 8, 0, 0, 0, 0, 0, true}; return true;
    case FormatA4L4: p = {1, 4, 4, 4, 0, 0, 0, 0, 0, true}; return true;
    case FormatA8L8: p = {2, 8, 8, 8, 0, 0, 0, 0, 0, true}; return true;
    case FormatA8: p = {1, 8, 0, 0, 0, 0, 0, 0, 0, false}; return true;
    // Signed and bump formats are carried as raw bits.
    case FormatV8U8: p = {2, 0, 0, 8, 0, 8, 8, 0, 0, false}; return true;
    case FormatL6V5U5: p = {2, 0, 0, 5, 0, 5, 5, 6, 10, false}; return true;
    case FormatX8L8V8U8: p = {4, 0, 0, 8, 0, 8, 8, 8, 16, false, 0xFF000000u}; return true;
    case FormatQ8W8V8U8: p = {4, 8, 24, 8, 0, 8, 8, 8, 16, false}; return true;
    case FormatV16U16: p = {4, 0, 0, 16, 0, 16, 16, 0, 0, false}; return true;
    case FormatA2W10V10U10: p = {4, 2, 30, 10, 0, 10, 10, 10, 20, false}; return true;
    default: return false;
    }
}

std::uint32_t ReadRaw(const std::uint8_t* p, int bytes)
{
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= std::uint32_t(p[i]) << (8 * i);
    return v;
}

void WriteRaw(std::uint8_t* p, int bytes, std::uint32_t v)
{
    for (int i = 0; i < bytes; ++i)
        p[i] = std::uint8_t(v >> (8 * i));
}

std::uint32_t Field(std::uint32_t raw, int bits, int shift)
{
    return bits == 0 ? 0 : (raw >> shift) & ((1u << bits) - 1);
}

std::uint32_t DecodePacked(const Packing& p, std::uint32_t raw)
{
    const std::uint32_t a = p.aBits ? Expand(Field(raw, p.aBits, p.aShift), p.aBits) : 0xFF;
    if (p.luminance) {
        const std::uint32_t l = Expand(Field(raw, p.rBits, p.rShift), p.rBits);
        return Pack(a, l, l, l);
    }
    const std::uint32_t r = p.rBits ? Expand(Field(raw, p.rBits, p.rShift), p.rBits) : 0;
    const std::uint32_t g = p.gBits ? Expand(Field(raw, p.gBits, p.gShift), p.gBits) : 0;
    const std::uint32_t b = p.bBits ? Expand(Field(raw, p.bBits, p.bShift), p.bBits) : 0;
    return Pack(a, r, g, b);
}

std::uint32_t EncodePacked(const Packing& p, std::uint32_t argb)
{
    const std::uint32_t a = argb >> 24, r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    std::uint32_t raw = p.unused;
    if (p.aBits)
        raw |= Reduce(a, p.aBits) << p.aShift;
    if (p.luminance) {
        // Rec. 601 weights, as image tools use for grey.
        const std::uint32_t l = (r * 299 + g * 587 + b * 114 + 500) / 1000;
        raw |= Reduce(l, p.rBits) << p.rShift;
        return raw;
    }
    if (p.rBits)
        raw |= Reduce(r, p.rBits) << p.rShift;
    if (p.gBits)
        raw |= Reduce(g, p.gBits) << p.gShift;
    if (p.bBits)
        raw |= Reduce(b, p.bBits) << p.bShift;
    return raw;
}

// ---- DXT blocks ----

std::uint32_t From565(std::uint16_t c)
{
    return Pack(0xFF, Expand(c >> 11, 5), Expand((c >> 5) & 0x3F, 6), Expand(c & 0x1F, 5));
}

std::uint16_t To565(std::uint32_t argb)
{
    return std::uint16_t((Reduce((argb >> 16) & 0xFF, 5) << 11) | (Reduce((argb >> 8) & 0xFF, 6) << 5) |
                         Reduce(argb & 0xFF, 5));
}

std::uint32_t Mix(std::uint32_t c0, std::uint32_t c1, int w0, int w1, int total)
{
    std::uint32_t out = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const std::uint32_t a = (c0 >> shift) & 0xFF, b = (c1 >> shift) & 0xFF;
        out |= ((a * w0 + b * w1 + total / 2) / total) << shift;
    }
    return out;
}

// The four colours of a colour block; threeColour selects DXT1's mode with transparent black.
void ColourPalette(std::uint16_t c0, std::uint16_t c1, bool allowThree, std::uint32_t palette[4])
{
    palette[0] = From565(c0);
    palette[1] = From565(c1);
    if (c0 > c1 || !allowThree) {
        palette[2] = Mix(palette[0], palette[1], 2, 1, 3);
        palette[3] = Mix(palette[0], palette[1], 1, 2, 3);
    } else {
        palette[2] = Mix(palette[0], palette[1], 1, 1, 2);
        palette[3] = 0; // transparent black
    }
}

void DecodeColourBlock(const std::uint8_t* block, bool allowThree, std::uint32_t out[16])
{
    const std::uint16_t c0 = std::uint16_t(block[0] | block[1] << 8);
    const std::uint16_t c1 = std::uint16_t(block[2] | block[3] << 8);
    std::uint32_t palette[4];
    ColourPalette(c0, c1, allowThree, palette);
    const std::uint32_t bits = ReadRaw(block + 4, 4);
    for (int i = 0; i < 16; ++i)
        out[i] = palette[(bits >> (2 * i)) & 3];
}

void AlphaPalette(std::uint8_t a0, std::uint8_t a1, std::uint32_t palette[8])
{
    palette[0] = a0;
    palette[1] = a1;
    if (a0 > a1) {
        for (int i = 1; i < 7; ++i)
            palette[i + 1] = ((7 - i) * a0 + i * a1 + 3) / 7;
    } else {
        for (int i = 1; i < 5; ++i)
            palette[i + 1] = ((5 - i) * a0 + i * a1 + 2) / 5;
        palette[6] = 0;
        palette[7] = 255;
    }
}

void DecodeBlock(int format, const std::uint8_t* block, std::uint32_t out[16])
{
    if (format == FormatDXT1) {
        DecodeColourBlock(block, true, out);
        return;
    }
    DecodeColourBlock(block + 8, false, out);
    if (format == FormatDXT3) {
        for (int i = 0; i < 16; ++i) {
            const std::uint32_t a = (block[i / 2] >> (4 * (i & 1))) & 0xF;
            out[i] = (out[i] & 0x00FFFFFF) | (Expand(a, 4) << 24);
        }
    } else {
        std::uint32_t palette[8];
        AlphaPalette(block[0], block[1], palette);
        std::uint64_t bits = 0;
        for (int i = 0; i < 6; ++i)
            bits |= std::uint64_t(block[2 + i]) << (8 * i);
        for (int i = 0; i < 16; ++i)
            out[i] = (out[i] & 0x00FFFFFF) | (palette[(bits >> (3 * i)) & 7] << 24);
    }
}

int ColourDistance(std::uint32_t a, std::uint32_t b)
{
    int d = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int x = int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF);
        d += x * x;
    }
    return d;
}

// Endpoints from the bounding box of the block's colours; indices of the nearest palette entry.
void EncodeColourBlock(const std::uint32_t in[16], bool dxt1Alpha, std::uint8_t* block)
{
    std::uint32_t lo = 0x00FFFFFF, hi = 0;
    bool transparent = false;
    for (int i = 0; i < 16; ++i) {
        if (dxt1Alpha && (in[i] >> 24) < 128) {
            transparent = true;
            continue;
        }
        std::uint32_t l = 0, h = 0;
        for (int shift = 0; shift < 24; shift += 8) {
            const std::uint32_t c = (in[i] >> shift) & 0xFF;
            l |= std::min(c, (lo >> shift) & 0xFF) << shift;
            h |= std::max(c, (hi >> shift) & 0xFF) << shift;
        }
        lo = l;
        hi = h;
    }
    if (lo > 0x00FFFFFF || (transparent && hi == 0 && lo == 0x00FFFFFF))
        lo = hi = 0;
    std::uint16_t c0 = To565(hi), c1 = To565(lo);
    if (transparent) {
        if (c0 > c1)
            std::swap(c0, c1);
    } else if (c0 < c1) {
        std::swap(c0, c1);
    } else if (c0 == c1) {
        // One colour: four-colour mode needs c0 > c1, so every index points at c0.
        if (c1 > 0)
            --c1;
        else
            ++c0;
    }
    std::uint32_t palette[4];
    ColourPalette(c0, c1, true, palette);
    std::uint32_t bits = 0;
    for (int i = 0; i < 16; ++i) {
        int best = 0;
        if (transparent && (in[i] >> 24) < 128) {
            best = 3;
        } else {
            const int candidates = transparent ? 3 : 4;
            int bestDistance = ColourDistance(in[i], palette[0]);
            for (int k = 1; k < candidates; ++k) {
                const int d = ColourDistance(in[i], palette[k]);
                if (d < bestDistance) {
                    bestDistance = d;
                    best = k;
                }
            }
        }
        bits |= std::uint32_t(best) << (2 * i);
    }
    WriteRaw(block, 2, c0);
    WriteRaw(block + 2, 2, c1);
    WriteRaw(block + 4, 4, bits);
}

void EncodeBlock(int format, const std::uint32_t in[16], std::uint8_t* block)
{
    if (format == FormatDXT1) {
        EncodeColourBlock(in, true, block);
        return;
    }
    EncodeColourBlock(in, false, block + 8);
    if (format == FormatDXT3) {
        std::memset(block, 0, 8);
        for (int i = 0; i < 16; ++i)
            block[i / 2] |= std::uint8_t(Reduce(in[i] >> 24, 4) << (4 * (i & 1)));
        return;
    }
    std::uint8_t a0 = 0, a1 = 255;
    for (int i = 0; i < 16; ++i) {
        a0 = std::max<std::uint8_t>(a0, std::uint8_t(in[i] >> 24));
        a1 = std::min<std::uint8_t>(a1, std::uint8_t(in[i] >> 24));
    }
    std::uint64_t bits = 0;
    if (a0 > a1) {
        std::uint32_t palette[8];
        AlphaPalette(a0, a1, palette);
        for (int i = 0; i < 16; ++i) {
            const int a = int(in[i] >> 24);
            int best = 0;
            for (int k = 1; k < 8; ++k)
                if (std::abs(int(palette[k]) - a) < std::abs(int(palette[best]) - a))
                    best = k;
            bits |= std::uint64_t(best) << (3 * i);
        }
    }
    block[0] = a0;
    block[1] = a1;
    for (int i = 0; i < 6; ++i)
        block[2 + i] = std::uint8_t(bits >> (8 * i));
}

} // namespace

int BitsPerPixel(int format)
{
    switch (format) {
    case FormatR8G8B8: return 24;
    case FormatA8R8G8B8: case FormatX8R8G8B8: case FormatA2B10G10R10: case FormatX8L8V8U8:
    case FormatQ8W8V8U8: case FormatV16U16: case FormatA2W10V10U10: case FormatYUY2: case FormatUYVY:
        return 32;
    case FormatR5G6B5: case FormatX1R5G5B5: case FormatA1R5G5B5: case FormatA4R4G4B4: case FormatA8R3G3B2:
    case FormatX4R4G4B4: case FormatA8L8: case FormatV8U8: case FormatL6V5U5:
        return 16;
    case FormatR3G3B2: case FormatA8: case FormatP8: case FormatL8: case FormatA4L4:
        return 8;
    case FormatDXT1: case FormatDXT3: case FormatDXT5:
        return 4;
    default:
        return 0;
    }
}

bool IsBlockCompressed(int format)
{
    return format == FormatDXT1 || format == FormatDXT3 || format == FormatDXT5;
}

int BlockBytes(int format)
{
    return format == FormatDXT1 ? 8 : (IsBlockCompressed(format) ? 16 : 0);
}

bool HasAlpha(int format)
{
    switch (format) {
    case FormatA8R8G8B8: case FormatA1R5G5B5: case FormatA4R4G4B4: case FormatA8L8: case FormatA8:
    case FormatDXT3: case FormatDXT5:
        return true;
    default:
        return false;
    }
}

bool CanConvert(int format)
{
    Packing p;
    return IsBlockCompressed(format) || PackingOf(format, p);
}

std::uint32_t RowPitch(int format, int width)
{
    if (IsBlockCompressed(format))
        return std::uint32_t(std::max(1, (width + 3) / 4) * BlockBytes(format));
    // YUV formats hold two pixels in four bytes; every other format has whole bytes per pixel.
    if (format == FormatYUY2 || format == FormatUYVY)
        return std::uint32_t(((width + 1) / 2) * 4);
    return std::uint32_t(width * (BitsPerPixel(format) / 8));
}

std::uint32_t RowCount(int format, int height)
{
    return IsBlockCompressed(format) ? std::uint32_t(std::max(1, (height + 3) / 4)) : std::uint32_t(height);
}

std::size_t LevelSize(int format, int width, int height)
{
    return std::size_t(RowPitch(format, width)) * RowCount(format, height);
}

int FullChainLevels(int width, int height)
{
    int levels = 1;
    while (width > 1 || height > 1) {
        width = std::max(1, width / 2);
        height = std::max(1, height / 2);
        ++levels;
    }
    return levels;
}

void DecodeImage(int format, const std::uint8_t* source, std::size_t pitch, int width, int height,
                 std::uint32_t* out)
{
    if (IsBlockCompressed(format)) {
        const int blockBytes = BlockBytes(format);
        for (int by = 0; by < (height + 3) / 4; ++by)
            for (int bx = 0; bx < (width + 3) / 4; ++bx) {
                std::uint32_t texels[16];
                DecodeBlock(format, source + by * pitch + bx * blockBytes, texels);
                for (int y = 0; y < 4; ++y)
                    for (int x = 0; x < 4; ++x) {
                        const int px = bx * 4 + x, py = by * 4 + y;
                        if (px < width && py < height)
                            out[py * width + px] = texels[y * 4 + x];
                    }
            }
        return;
    }
    // The formats of back buffers, render targets and movie frames, a channel at a time in
    // loops the compiler can widen; the same values as the general path.
    if (format == FormatA8R8G8B8 || format == FormatX8R8G8B8) {
        const std::uint32_t opaque = format == FormatX8R8G8B8 ? 0xFF000000u : 0;
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* row = source + y * pitch;
            std::uint32_t* to = out + std::size_t(y) * width;
            for (int x = 0; x < width; ++x)
                to[x] = (std::uint32_t(row[4 * x]) | std::uint32_t(row[4 * x + 1]) << 8 |
                         std::uint32_t(row[4 * x + 2]) << 16 | std::uint32_t(row[4 * x + 3]) << 24) | opaque;
        }
        return;
    }
    if (format == FormatR5G6B5) {
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* row = source + y * pitch;
            std::uint32_t* to = out + std::size_t(y) * width;
            for (int x = 0; x < width; ++x) {
                const std::uint32_t v = std::uint32_t(row[2 * x]) | std::uint32_t(row[2 * x + 1]) << 8;
                const std::uint32_t r = v >> 11, g = (v >> 5) & 0x3F, b = v & 0x1F;
                to[x] = 0xFF000000u | (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
            }
        }
        return;
    }
    if (format == FormatR8G8B8) {
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* row = source + y * pitch;
            std::uint32_t* to = out + std::size_t(y) * width;
            for (int x = 0; x < width; ++x)
                to[x] = 0xFF000000u | std::uint32_t(row[3 * x]) | std::uint32_t(row[3 * x + 1]) << 8 |
                        std::uint32_t(row[3 * x + 2]) << 16;
        }
        return;
    }
    Packing p;
    if (!PackingOf(format, p)) {
        std::fill(out, out + std::size_t(width) * height, 0xFF000000u);
        return;
    }
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = source + y * pitch;
        for (int x = 0; x < width; ++x)
            out[y * width + x] = DecodePacked(p, ReadRaw(row + x * p.bytes, p.bytes));
    }
}

void EncodeImage(int format, const std::uint32_t* pixels, int width, int height, std::uint8_t* destination,
                 std::size_t pitch)
{
    if (IsBlockCompressed(format)) {
        const int blockBytes = BlockBytes(format);
        for (int by = 0; by < (height + 3) / 4; ++by)
            for (int bx = 0; bx < (width + 3) / 4; ++bx) {
                std::uint32_t texels[16];
                // Texels beyond the image repeat its edge so they do not pull the endpoints.
                for (int y = 0; y < 4; ++y)
                    for (int x = 0; x < 4; ++x) {
                        const int px = std::min(bx * 4 + x, width - 1), py = std::min(by * 4 + y, height - 1);
                        texels[y * 4 + x] = pixels[py * width + px];
                    }
                EncodeBlock(format, texels, destination + by * pitch + bx * blockBytes);
            }
        return;
    }
    if (format == FormatA8R8G8B8 || format == FormatX8R8G8B8) {
        const std::uint32_t opaque = format == FormatX8R8G8B8 ? 0xFF000000u : 0; // unused bits are ones
        for (int y = 0; y < height; ++y) {
            std::uint8_t* row = destination + y * pitch;
            const std::uint32_t* from = pixels + std::size_t(y) * width;
            for (int x = 0; x < width; ++x) {
                const std::uint32_t v = from[x] | opaque;
                row[4 * x] = std::uint8_t(v);
                row[4 * x + 1] = std::uint8_t(v >> 8);
                row[4 * x + 2] = std::uint8_t(v >> 16);
                row[4 * x + 3] = std::uint8_t(v >> 24);
            }
        }
        return;
    }
    if (format == FormatR5G6B5) {
        for (int y = 0; y < height; ++y) {
            std::uint8_t* row = destination + y * pitch;
            const std::uint32_t* from = pixels + std::size_t(y) * width;
            for (int x = 0; x < width; ++x) {
                const std::uint32_t v = from[x];
                const std::uint32_t raw = Reduce((v >> 16) & 0xFF, 5) << 11 | Reduce((v >> 8) & 0xFF, 6) << 5 |
                                          Reduce(v & 0xFF, 5);
                row[2 * x] = std::uint8_t(raw);
                row[2 * x + 1] = std::uint8_t(raw >> 8);
            }
        }
        return;
    }
    Packing p;
    if (!PackingOf(format, p))
        return;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = destination + y * pitch;
        for (int x = 0; x < width; ++x)
            WriteRaw(row + x * p.bytes, p.bytes, EncodePacked(p, pixels[y * width + x]));
    }
}

bool ChannelDepths(int format, int bits[4], bool& luminance)
{
    Packing p;
    if (IsBlockCompressed(format) || !PackingOf(format, p))
        return false;
    bits[0] = p.aBits;
    bits[1] = p.rBits;
    bits[2] = p.gBits;
    bits[3] = p.bBits;
    luminance = p.luminance;
    return true;
}

} // namespace platform::gpu
