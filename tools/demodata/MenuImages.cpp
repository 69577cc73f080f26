#include "tools/demodata/DemoData.h"

#include "tools/demodata/writers/TgaWriter.h"

#include <array>
#include <string_view>

namespace {

// Block letters of 5 x 7 cells for the splash title; the menus' real text comes with the fonts.
struct BlockGlyph {
    char letter;
    std::array<std::string_view, 7> rows;
};

constexpr std::array<BlockGlyph, 5> kGlyphs{{
    {'B', {"11110", "10001", "10001", "11110", "10001", "10001", "11110"}},
    {'E', {"11111", "10000", "10000", "11110", "10000", "10000", "11111"}},
    {'X', {"10001", "10001", "01010", "00100", "01010", "10001", "10001"}},
    {'A', {"01110", "10001", "10001", "11111", "10001", "10001", "10001"}},
    {'L', {"10000", "10000", "10000", "10000", "10000", "10000", "11111"}},
}};

void DrawBlockText(TgaImage& image, std::string_view text, int x, int y, int cell, std::uint32_t colour)
{
    for (char letter : text) {
        for (const BlockGlyph& glyph : kGlyphs) {
            if (glyph.letter != letter)
                continue;
            for (int row = 0; row < 7; ++row) {
                for (int column = 0; column < 5; ++column) {
                    if (glyph.rows[row][column] == '1')
                        image.Fill(x + column * cell, y + row * cell, cell, cell, colour);
                }
            }
        }
        x += 6 * cell;
    }
}

TgaImage MakeSplash()
{
    constexpr int kWidth = 800;
    constexpr int kHeight = 600;
    TgaImage image(kWidth, kHeight, 0xFF1F2A1Cu);

    // A quiet camouflage-like pattern of 40-pixel blocks in two close shades.
    for (int by = 0; by < kHeight / 40; ++by) {
        for (int bx = 0; bx < kWidth / 40; ++bx) {
            if (((bx * 7 + by * 13) ^ (bx * by)) % 5 == 0)
                image.Fill(bx * 40, by * 40, 40, 40, 0xFF26331Fu);
        }
    }

    // Title bar with a bright rule under it, and a footer bar.
    image.Fill(0, 0, kWidth, 72, 0xFF3B4A2Au);
    image.Fill(0, 72, kWidth, 4, 0xFFC8B45Au);
    image.Fill(0, kHeight - 48, kWidth, 48, 0xFF3B4A2Au);
    image.Fill(0, kHeight - 52, kWidth, 4, 0xFFC8B45Au);

    // The title: five letters of 5 x 7 cells, 12 pixels each, with a drop shadow.
    constexpr int kCell = 12;
    constexpr int kTextWidth = (5 * 6 - 1) * kCell;
    const int textX = (kWidth - kTextWidth) / 2;
    const int textY = (kHeight - 7 * kCell) / 2 - 20;
    DrawBlockText(image, "BEXAL", textX + 5, textY + 5, kCell, 0xFF0C100Au);
    DrawBlockText(image, "BEXAL", textX, textY, kCell, 0xFFE8DCA0u);

    // A progress-style strip under the title.
    image.Fill(textX, textY + 7 * kCell + 40, kTextWidth, 10, 0xFF0C100Au);
    image.Fill(textX, textY + 7 * kCell + 40, kTextWidth / 3, 10, 0xFFC8B45Au);
    return image;
}

} // namespace

void GenerateMenuImages(const DemoDataWriter& out)
{
    out.writeFile("GameData/Menus/Splash.tga", WriteTga(MakeSplash(), 24));
}
