#pragma once

#include <cstdint>
#include <memory>

class Device;
class D3DBitmap;
class Sprite;

// Text from a font image: a 32-bit image whose letters stand side by side in one row, separated
// by (nearly) transparent columns, with a string naming the letters in image order. Building
// finds the letters by their alpha and packs them into a square power-of-two texture; drawing
// places one sprite per letter. Build failures throw q3DError and leave the font without a sprite.
class BitmapFont {
public:
    // A letter's texture rectangle and its width in pixels (0 = no such letter).
    struct Glyph {
        float u0 = 0.0f;
        float v0 = 0.0f;
        float u1 = 0.0f;
        float v1 = 0.0f;
        std::int32_t width = 0;
    };

    BitmapFont();
    virtual ~BitmapFont();
    BitmapFont(const BitmapFont&) = delete;
    BitmapFont& operator=(const BitmapFont&) = delete;

    // Builds the font from an image file.
    virtual void Load(Device* device, const char* path, const char* characters, int spaceWidth, int letterSpacing);
    // Builds the font from a bitmap the caller keeps.
    virtual void Create(Device* device, D3DBitmap* bitmap, const char* characters, int spaceWidth,
                        int letterSpacing);
    // 0 when the device or the text is null, else 1.
    virtual int DrawText(Device* device, int x, int y, float scale, const char* text);
    virtual int DrawTextScaledf(Device* device, int x, int y, float scale, const char* format, ...)
        __attribute__((format(printf, 6, 7)));
    virtual int Printf(Device* device, int x, int y, const char* format, ...) __attribute__((format(printf, 5, 6)));
    // Unscaled width in pixels of the widest line.
    virtual int GetTextWidth(const char* text);
    virtual int GetLineHeight();

    const Glyph& GetGlyph(unsigned char c) const { return glyphs[c]; }
    Sprite* GetSprite() const { return sprite.get(); }
    int GetSpaceWidth() const { return spaceWidth; }
    int GetLetterSpacing() const { return letterSpacing; }
    int GetGlyphHeight() const { return glyphHeight; }

    float uOffset = 0.0f;
    float vOffset = 0.0f;
    float alpha = 1.0f;
    float red = 1.0f;
    float green = 1.0f;
    float blue = 1.0f;
    std::int32_t fixedAdvance = -1;
    std::int32_t lineHeight = -1;
    std::uint8_t fillSpaces = 0;
    std::uint8_t smoothFiltering = 1;
    float depth = 0.0f;
    float spriteW = 1.0f;

private:
    void ResetForBuild();
    void Build(Device* device, D3DBitmap* bitmap, const char* characters, int spaceWidth, int letterSpacing);
    void FreeTexture();

    Glyph glyphs[256];
    std::int32_t spaceWidth = 0;
    std::int32_t letterSpacing = 0;
    std::int32_t glyphHeight = 0;
    std::unique_ptr<Sprite> sprite;
};
