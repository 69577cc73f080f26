#include <memory>
#include <string>

#include "engine/font/BitmapFont.h"
#include "engine/sprite/Sprite.h"
#include "tests/engine/mesh/RecordingFixture.h"
#include "tools/demodata/writers/TgaWriter.h"
#include "tests/support/ErrorText.h"

namespace {

// The application's character lists.
const std::string kArial =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789!#@$%&/()=+-'\",.;:<>_?^*{}|`~";
const std::string kArmy = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789!#@$%&/()=+-'\",.;:<>_?";
const std::string kCourier =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789!#@$%&/()=+-'\",.;:<>_?[]\\^*{}|`~";

// A font image of white columns, each with the given alpha from top to bottom.
TgaImage Columns(const std::vector<int>& alphas, int height)
{
    TgaImage image(int(alphas.size()), height, 0x00FFFFFFu);
    for (int x = 0; x < int(alphas.size()); ++x)
        image.Fill(x, 0, 1, height, std::uint32_t(alphas[std::size_t(x)]) << 24 | 0x00FFFFFFu);
    return image;
}

// Letters of the given column counts at full alpha, one clear column after each.
std::vector<int> Letters(const std::vector<int>& widths)
{
    std::vector<int> alphas;
    for (int width : widths) {
        alphas.insert(alphas.end(), std::size_t(width), 255);
        alphas.push_back(0);
    }
    return alphas;
}

class BitmapFontTest : public RecordingTest {
protected:
    // A font of A (5 columns, drawn 4 wide), B (7, drawn 6) and C (3, drawn 2), 10 pixels high;
    // spaces 6, letter spacing 1.
    std::unique_ptr<BitmapFont> SmallFont()
    {
        WriteFile("small.tga", WriteTga(Columns(Letters({5, 7, 3}), 10), 32));
        auto font = std::make_unique<BitmapFont>();
        font->Load(recorder.get(), "small.tga", "ABC", 6, 1);
        return font;
    }

};

} // namespace

TEST_F(BitmapFontTest, BuildFindsLettersByAlphaOrFailsWithTheReason)
{
    struct Case {
        const char* name;
        std::vector<int> columns;
        int height;
        const char* characters;
        int bits;
        const char* error; // empty: builds
    };
    std::vector<int> tooWide(2400, 255);
    tooWide.push_back(0);
    const Case cases[] = {
        {"separate letters", Letters({3, 3}), 8, "AB", 32, ""},
        // Anti-aliased letters joined at alpha 5: the threshold rises until they part.
        {"touching at low alpha", {200, 200, 200, 5, 200, 200, 200, 0}, 8, "AB", 32, ""},
        {"one letter fewer than listed", Letters({3, 3}), 8, "ABC", 32,
         "Font font.tga not suitable: Not enough distinct letters found in Verify"},
        {"no clear column after the last letter", {255, 255, 0, 255, 255}, 8, "AB", 32,
         "Font font.tga not suitable: Not enough distinct letters found in Verify"},
        {"not 32 bits", Letters({3, 3}), 8, "AB", 24, "Invalid font bitmap font.tga: not 32bits"},
        {"texture over 512", tooWide, 100, "A", 32, "Font font.tga not suitable: Resultant font texture too large"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile("font.tga", WriteTga(Columns(c.columns, c.height), c.bits));
        BitmapFont font;
        EXPECT_EQ(ErrorText([&] { font.Load(recorder.get(), "font.tga", c.characters, 6, 0); }), c.error);
        EXPECT_EQ(font.GetSprite() != nullptr, std::string(c.error).empty());
        if (std::string(c.error).empty()) {
            EXPECT_EQ(font.GetGlyph('A').width, 2);
            EXPECT_EQ(font.GetGlyph('B').width, 2);
            EXPECT_EQ(font.GetLineHeight(), c.height);
        }
    }
    BitmapFont font;
    const std::string missing = ErrorText([&] { font.Load(recorder.get(), "nothere.tga", "A", 6, 0); });
    EXPECT_EQ(missing.rfind("Error loading font bitmap nothere.tga: ", 0), 0u) << missing;
}

TEST_F(BitmapFontTest, LettersArePackedIntoTheSmallestSquareTexture)
{
    // 30 letters of 10 columns, 10 high: 3000 pixels give a side of 57 and a 64 x 64 texture.
    const std::string characters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcd";
    WriteFile("grid.tga", WriteTga(Columns(Letters(std::vector<int>(30, 10)), 10), 32));
    BitmapFont font;
    font.Load(recorder.get(), "grid.tga", characters.c_str(), 6, 0);
    ASSERT_NE(font.GetSprite(), nullptr);
    D3DBitmap* texture = font.GetSprite()->material.texture[0];
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->GetWidth(), 64);
    EXPECT_EQ(texture->GetHeight(), 64);
    EXPECT_EQ(texture->GetFormat(), FormatA4R4G4B4);

    const BitmapFont::Glyph& first = font.GetGlyph('A');
    EXPECT_FLOAT_EQ(first.u0, 0.5f / 64);
    EXPECT_FLOAT_EQ(first.v0, 1.0f / 64);
    EXPECT_FLOAT_EQ(first.u1, 9.5f / 64);
    EXPECT_FLOAT_EQ(first.v1, 10.0f / 64);
    EXPECT_EQ(first.width, 9);
    // Six letters fit in a row of 64; the seventh starts the second row.
    const BitmapFont::Glyph& seventh = font.GetGlyph('G');
    EXPECT_FLOAT_EQ(seventh.u0, 0.5f / 64);
    EXPECT_FLOAT_EQ(seventh.v0, 11.0f / 64);
    EXPECT_EQ(font.GetGlyph('e').width, 0);
}

TEST_F(BitmapFontTest, TextWidthIsTheWidestLine)
{
    std::unique_ptr<BitmapFont> font = SmallFont();
    struct Case {
        const char* name;
        const char* text;
        int fixedAdvance;
        int width;
    };
    const Case cases[] = {
        {"two lines", "AB\nC", -1, 4 + 6 + 2 * 1},
        {"second line wider", "C\nBB", -1, 2 * (6 + 1)},
        {"blank", "A B", -1, 5 + 6 + 7},
        {"codes from 128 measure as spaces", "A\xE9\xC1", -1, 5 + 6 + 6},
        {"a missing letter below 128 adds the spacing", "Az", -1, 5 + 1},
        {"fixed advance", "AB", 10, 2 * (10 + 1)},
        {"fixed advance leaves spaces alone", "A B", 10, 11 + 6 + 11},
        {"empty", "", -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        font->fixedAdvance = c.fixedAdvance;
        EXPECT_EQ(font->GetTextWidth(c.text), c.width);
    }
    EXPECT_EQ(font->GetTextWidth(nullptr), 0);
    EXPECT_EQ(font->GetLineHeight(), 10);
    font->lineHeight = 16;
    EXPECT_EQ(font->GetLineHeight(), 16);
}

TEST_F(BitmapFontTest, DrawPlacesOneSpritePerLetterScalingAdvanceLinesAndSpacing)
{
    std::unique_ptr<BitmapFont> font = SmallFont();
    font->red = 0.0f;
    // At scale 2: A at (10, 20); B after 2 x 4 + 2 x 1; the next line 2 x 10 lower; the letter z
    // and the code 0xC1 are not in the font, draw nothing and do not move the pen.
    EXPECT_EQ(font->DrawText(recorder.get(), 10, 20, 2.0f, "AzB\n\xC1" "B"), 1);
    ASSERT_EQ(recorder->userDraws.size(), 3u);
    const float expected[3][3] = {{10, 20, 8}, {20, 20, 12}, {10, 40, 12}};
    for (int i = 0; i < 3; ++i) {
        const RecordingDevice::UserDraw& draw = recorder->userDraws[std::size_t(i)];
        EXPECT_NEAR(PixelX(draw.Float(0, 0)), expected[i][0], 1e-3f);
        EXPECT_NEAR(PixelY(draw.Float(0, 4)), expected[i][1], 1e-3f);
        EXPECT_NEAR(PixelX(draw.Float(1, 0)) - PixelX(draw.Float(0, 0)), expected[i][2], 1e-3f);
        EXPECT_EQ(draw.Word(0, 12), 0xFF00FFFFu);
    }
    EXPECT_TRUE(recorder->filterCalls.empty());

    EXPECT_EQ(font->DrawText(recorder.get(), 0, 0, 1.0f, nullptr), 0);
    EXPECT_EQ(font->DrawText(nullptr, 0, 0, 1.0f, "A"), 0);
}

TEST_F(BitmapFontTest, SpacesAndPointFiltering)
{
    std::unique_ptr<BitmapFont> font = SmallFont();
    font->DrawText(recorder.get(), 0, 0, 1.0f, "A A");
    ASSERT_EQ(recorder->userDraws.size(), 2u);
    EXPECT_NEAR(PixelX(recorder->userDraws[1].Float(0, 0)), 4 + 1 + 6, 1e-3f);

    // Filled spaces: one sliver a pixel for the space's width, cut from just left of 'A'.
    recorder->userDraws.clear();
    font->fillSpaces = 1;
    font->smoothFiltering = 0;
    const int before = recorder->GetFilter();
    font->Printf(recorder.get(), 3, 0, "%s", " ");
    ASSERT_EQ(recorder->userDraws.size(), 6u);
    for (int i = 0; i < 6; ++i)
        EXPECT_NEAR(PixelX(recorder->userDraws[std::size_t(i)].Float(0, 0)), float(3 + i), 1e-3f);
    EXPECT_EQ(recorder->filterCalls, (std::vector<std::pair<int, int>>{{0, 2}, {before, 2}}));
}

TEST_F(BitmapFontTest, TheApplicationsFontsBuildFromTheGeneratedImages)
{
    struct Case {
        const char* file;
        std::string characters;
        int spaceWidth, letterSpacing;
    };
    const Case cases[] = {
        {"arial", kArial, 6, -5},       {"army", kArmy, 12, 0},          {"digital", "0123456789:", 12, 0},
        {"courier", kCourier, 8, -9},   {"tooltip", kArmy, 8, 0},        {"courier_bold", kArmy, 10, 3},
        {"arialSmall", kArial, 8, 0},   {"courier_medium", kArial + "[]", 8, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = std::string(BEXAL_DATA_DIR) + "/GameData/Fonts/" + c.file + ".tga";
        BitmapFont font;
        ASSERT_EQ(ErrorText([&] { font.Load(recorder.get(), path.c_str(), c.characters.c_str(), c.spaceWidth,
                                            c.letterSpacing); }),
                  "");
        ASSERT_NE(font.GetSprite(), nullptr);
        for (char letter : c.characters)
            EXPECT_GT(font.GetGlyph(static_cast<unsigned char>(letter)).width, 0) << letter;
        // Letters advance by about their natural width once the loader's spacing is added.
        const int digits = font.GetTextWidth("0123456789");
        EXPECT_GT(digits, 10 * font.GetLineHeight() / 4);
        EXPECT_LT(digits, 10 * font.GetLineHeight());
        recorder->userDraws.clear();
        font.DrawText(recorder.get(), 0, 0, 1.0f, "12:30");
        EXPECT_EQ(recorder->userDraws.size(), 5u);
    }

    // Monospaced fonts measure every letter alike.
    BitmapFont courier;
    courier.Load(recorder.get(), (std::string(BEXAL_DATA_DIR) + "/GameData/Fonts/courier.tga").c_str(),
                 kCourier.c_str(), 8, -9);
    EXPECT_EQ(courier.GetTextWidth("iiii"), courier.GetTextWidth("WWWW"));
    EXPECT_EQ(courier.GetTextWidth("iiii"), courier.GetTextWidth("a.,m"));
}

TEST_F(BitmapFontTest, CreateBuildsFromTheCallersBitmapAndLeavesItAlone)
{
    WriteFile("kept.tga", WriteTga(Columns(Letters({4, 6}), 12), 32));
    D3DBitmap* bitmap = nullptr;
    recorder->CreateRenderTargetBitmap(&bitmap);
    ASSERT_EQ(bitmap->Load("kept.tga", 0, BitmapPrivate | BitmapScratch), 1);
    {
        BitmapFont font;
        font.Create(recorder.get(), bitmap, "AB", 5, 2);
        EXPECT_EQ(font.GetGlyph('A').width, 3);
        EXPECT_EQ(font.GetGlyph('B').width, 5);
        EXPECT_EQ(font.GetLineHeight(), 12);
        // The texture offsets move every letter's rectangle.
        font.uOffset = 0.25f;
        font.DrawText(recorder.get(), 0, 0, 1.0f, "A");
        ASSERT_EQ(recorder->userDraws.size(), 1u);
        EXPECT_FLOAT_EQ(recorder->userDraws[0].Float(0, 16), font.GetGlyph('A').u0 + 0.25f);
    }
    EXPECT_EQ(bitmap->GetWidth(), 12);
    bitmap->Destroy();
}
