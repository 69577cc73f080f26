#pragma once

#include <memory>
#include <string>
#include <vector>

struct stbtt_fontinfo;

// A TrueType font file, read whole, that the generators rasterise letters from.
class TrueTypeFont {
public:
    // One letter's coverage (0 to 255, rows from the top) and its box relative to the pen on
    // the baseline.
    struct Glyph {
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        int width = 0, height = 0;
        std::vector<unsigned char> coverage;
    };

    explicit TrueTypeFont(const std::string& path);
    ~TrueTypeFont();
    TrueTypeFont(const TrueTypeFont&) = delete;
    TrueTypeFont& operator=(const TrueTypeFont&) = delete;

    // Pixels per font unit for letters pixelHeight tall from the highest ascender to the lowest
    // descender.
    float Scale(float pixelHeight) const;
    // The ascent (positive) and descent (negative) in font units.
    void VerticalMetrics(int& ascent, int& descent) const;
    // The letter's advance in whole pixels.
    int Advance(int codepoint, float scale) const;
    Glyph Rasterise(int codepoint, float scale) const;

private:
    std::vector<unsigned char> data;
    std::unique_ptr<stbtt_fontinfo> font;
};
