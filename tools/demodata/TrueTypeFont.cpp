#include "tools/demodata/TrueTypeFont.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <stdexcept>

#define STBTT_STATIC
#define STB_TRUETYPE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#endif
#include <stb/stb_truetype.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

TrueTypeFont::TrueTypeFont(const std::string& path) : font(std::make_unique<stbtt_fontinfo>())
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("can't read the font " + path + " (package fonts-dejavu-core)");
    data.assign(std::istreambuf_iterator<char>(in), {});
    if (data.empty() || !stbtt_InitFont(font.get(), data.data(), stbtt_GetFontOffsetForIndex(data.data(), 0)))
        throw std::runtime_error("not a usable font: " + path);
}

TrueTypeFont::~TrueTypeFont() = default;

float TrueTypeFont::Scale(float pixelHeight) const
{
    return stbtt_ScaleForPixelHeight(font.get(), pixelHeight);
}

void TrueTypeFont::VerticalMetrics(int& ascent, int& descent) const
{
    int gap = 0;
    stbtt_GetFontVMetrics(font.get(), &ascent, &descent, &gap);
}

int TrueTypeFont::Advance(int codepoint, float scale) const
{
    int advance = 0, bearing = 0;
    stbtt_GetCodepointHMetrics(font.get(), codepoint, &advance, &bearing);
    return int(std::lround(float(advance) * scale));
}

TrueTypeFont::Glyph TrueTypeFont::Rasterise(int codepoint, float scale) const
{
    Glyph glyph;
    stbtt_GetCodepointBitmapBox(font.get(), codepoint, scale, scale, &glyph.x0, &glyph.y0, &glyph.x1, &glyph.y1);
    glyph.width = std::max(glyph.x1 - glyph.x0, 0);
    glyph.height = std::max(glyph.y1 - glyph.y0, 0);
    glyph.coverage.assign(std::size_t(glyph.width) * std::size_t(glyph.height), 0);
    if (glyph.width > 0 && glyph.height > 0)
        stbtt_MakeCodepointBitmap(font.get(), glyph.coverage.data(), glyph.width, glyph.height, glyph.width, scale,
                                  scale, codepoint);
    return glyph;
}
