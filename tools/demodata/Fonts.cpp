#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "tools/demodata/DemoData.h"
#include "tools/demodata/TrueTypeFont.h"
#include "tools/demodata/writers/TgaWriter.h"

namespace {

const char* const kFontFolder = "/usr/share/fonts/truetype/dejavu/";

const char* const kArialLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789!#@$%&/()=+-'\",.;:<>_?^*{}|`~";
const char* const kArmyLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789!#@$%&/()=+-'\",.;:<>_?";
const char* const kDigitalLetters = "0123456789:";
const char* const kCourierLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789!#@$%&/()=+-'\",.;:<>_?[]\\^*{}|`~";

// One of the game's fonts: the letters its loader lists, in image order, and the spacing it
// loads them with, so that letters drawn at (width + spacing) apart sit at their natural advance.
struct FontRecipe {
    const char* file;
    const char* letters;
    const char* source;
    float pixelHeight;
    int letterSpacing;
};

// The weakest alpha that still joins a letter's columns: below what a 4-bit texture keeps, so
// the joins never show.
constexpr std::uint32_t kJoinAlpha = 2;

// The letters side by side in one row, white with the glyph coverage as alpha, two clear columns
// between letters. Every column of a letter's cell carries some alpha, so letters with gaps ('"',
// '%') stay one letter, and the cell is as wide as the advance less the loader's spacing.
TgaImage RenderFontImage(const FontRecipe& recipe)
{
    const TrueTypeFont font(std::string(kFontFolder) + recipe.source);
    const float scale = font.Scale(recipe.pixelHeight);
    int ascent = 0, descent = 0;
    font.VerticalMetrics(ascent, descent);
    const int height = int(std::ceil(float(ascent - descent) * scale));
    const int baseline = int(std::lround(float(ascent) * scale));

    struct Cell {
        TrueTypeFont::Glyph glyph;
        int width = 0, inkX = 0, inkY = 0;
    };
    std::vector<Cell> cells;
    int imageWidth = 1;
    for (const char* p = recipe.letters; *p; ++p) {
        const int codepoint = static_cast<unsigned char>(*p);
        Cell cell;
        const int advancePixels = font.Advance(codepoint, scale);
        cell.glyph = font.Rasterise(codepoint, scale);
        const int x0 = cell.glyph.x0, x1 = cell.glyph.x1;
        // The drawn advance is (cell width - 1) + spacing.
        int width = std::max(advancePixels + 1 - recipe.letterSpacing, 3);
        int origin = (width - advancePixels) / 2;
        if (origin + x0 < 0) {
            width += -(origin + x0);
            origin = -x0;
        }
        width = std::max(width, origin + x1);
        cell.width = width;
        cell.inkX = origin + x0;
        cell.inkY = baseline + cell.glyph.y0;
        cells.push_back(std::move(cell));
        imageWidth += width + 2;
    }

    TgaImage image(imageWidth, height, 0x00FFFFFFu);
    int x = 1;
    for (const Cell& cell : cells) {
        const TrueTypeFont::Glyph& glyph = cell.glyph;
        for (int cy = 0; cy < glyph.height; ++cy)
            for (int cx = 0; cx < glyph.width; ++cx) {
                const int px = x + cell.inkX + cx, py = cell.inkY + cy;
                if (px < x || px >= x + cell.width || py < 0 || py >= height)
                    continue;
                const std::uint32_t alpha = glyph.coverage[std::size_t(cy) * std::size_t(glyph.width) + std::size_t(cx)];
                image.At(px, py) = alpha << 24 | 0x00FFFFFFu;
            }
        for (int column = x; column < x + cell.width; ++column) {
            std::uint32_t strongest = 0;
            for (int row = 0; row < height; ++row)
                strongest = std::max(strongest, image.At(column, row) >> 24);
            if (strongest < kJoinAlpha)
                image.At(column, height - 1) = kJoinAlpha << 24 | 0x00FFFFFFu;
        }
        x += cell.width + 2;
    }
    return image;
}

} // namespace

// The eight font images the application loads, rasterised from DejaVu at generation time.
void GenerateFonts(const DemoDataWriter& out)
{
    const std::string courierMediumLetters = std::string(kArialLetters) + "[]";
    const FontRecipe fonts[] = {
        {"arial.tga", kArialLetters, "DejaVuSans.ttf", 18.0f, -5},
        {"army.tga", kArmyLetters, "DejaVuSansCondensed-Bold.ttf", 22.0f, 0},
        {"digital.tga", kDigitalLetters, "DejaVuSansMono-Bold.ttf", 36.0f, 0},
        {"courier.tga", kCourierLetters, "DejaVuSansMono.ttf", 16.0f, -9},
        {"tooltip.tga", kArmyLetters, "DejaVuSans.ttf", 14.0f, 0},
        {"courier_bold.tga", kArmyLetters, "DejaVuSansMono-Bold.ttf", 18.0f, 3},
        {"arialSmall.tga", kArialLetters, "DejaVuSans.ttf", 13.0f, 0},
        {"courier_medium.tga", courierMediumLetters.c_str(), "DejaVuSansMono.ttf", 20.0f, 3},
    };
    for (const FontRecipe& font : fonts)
        out.writeFile(std::string("GameData/Fonts/") + font.file, WriteTga(RenderFontImage(font), 32));
}
