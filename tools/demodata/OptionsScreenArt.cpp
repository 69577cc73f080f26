// The art and sounds of the application shell and the options screen: the mouse cursor, the
// options backdrops, the press-a-key picture, the six page buttons in their three states, the
// crosshairs and the two sound tests. Flat colours with labels rasterised from DejaVu.
#include "tools/demodata/DemoData.h"
#include "tools/demodata/TrueTypeFont.h"
#include "tools/demodata/writers/TgaWriter.h"
#include "tools/demodata/writers/WaveWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr const char* kLabelFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
constexpr int kSoundRate = 22050;

// Paper for the label panel, olive for the frame, as the menus' splash uses.
constexpr std::uint32_t kFrame = 0xFF2B3A22u;
constexpr std::uint32_t kRule = 0xFFC8B45Au;
constexpr std::uint32_t kPaper = 0xFFE6DEC2u;
constexpr std::uint32_t kInk = 0xFF1A1A1Au;

class LabelFont {
public:
    int Width(const std::string& text, float pixelHeight) const
    {
        const float scale = font.Scale(pixelHeight);
        int width = 0;
        for (char c : text)
            width += font.Advance(static_cast<unsigned char>(c), scale);
        return width;
    }

    // Blends the text into the image with its top-left at (x, y).
    void Draw(TgaImage& image, const std::string& text, int x, int y, float pixelHeight, std::uint32_t colour) const
    {
        const float scale = font.Scale(pixelHeight);
        int ascent = 0, descent = 0;
        font.VerticalMetrics(ascent, descent);
        const int baseline = y + int(std::lround(float(ascent) * scale));
        int pen = x;
        for (char c : text) {
            const int codepoint = static_cast<unsigned char>(c);
            const TrueTypeFont::Glyph glyph = font.Rasterise(codepoint, scale);
            for (int row = 0; row < glyph.height; ++row)
                for (int column = 0; column < glyph.width; ++column)
                    Blend(image, pen + glyph.x0 + column, baseline + glyph.y0 + row, colour,
                          glyph.coverage[std::size_t(row) * std::size_t(glyph.width) + std::size_t(column)]);
            pen += font.Advance(codepoint, scale);
        }
    }

    void DrawCentred(TgaImage& image, const std::string& text, int x, int y, int w, int h, float pixelHeight,
                     std::uint32_t colour) const
    {
        Draw(image, text, x + (w - Width(text, pixelHeight)) / 2, y + (h - int(pixelHeight)) / 2, pixelHeight, colour);
    }

private:
    static void Blend(TgaImage& image, int x, int y, std::uint32_t colour, unsigned coverage)
    {
        if (x < 0 || y < 0 || x >= image.width || y >= image.height || coverage == 0)
            return;
        std::uint32_t& pixel = image.At(x, y);
        std::uint32_t result = pixel & 0xFF000000u;
        for (int shift = 0; shift < 24; shift += 8) {
            const unsigned under = (pixel >> shift) & 0xFF, over = (colour >> shift) & 0xFF;
            result |= ((over * coverage + under * (255 - coverage)) / 255) << shift;
        }
        // Opaque where the letter is, for pictures with a clear background.
        const unsigned alpha = std::max(pixel >> 24, coverage);
        pixel = (result & 0x00FFFFFFu) | alpha << 24;
    }

    TrueTypeFont font{kLabelFont};
};

void Frame(TgaImage& image, int x, int y, int w, int h, std::uint32_t colour)
{
    image.Fill(x, y, w, 2, colour);
    image.Fill(x, y + h - 2, w, 2, colour);
    image.Fill(x, y, 2, h, colour);
    image.Fill(x + w - 2, y, 2, h, colour);
}

// The options backdrop: a paper panel for the black labels and values, framed in olive, with
// the title and a box for the option descriptions.
TgaImage Backdrop(const LabelFont& font, int width, int height)
{
    TgaImage image(width, height, kFrame);
    image.Fill(8, 8, width - 16, height - 16, kPaper);
    Frame(image, 8, 8, width - 16, height - 16, kRule);
    image.Fill(8, 8, width - 16, 44, kFrame);
    image.Fill(8, 52, width - 16, 3, kRule);
    font.Draw(image, "OPTIONS", 24, 16, 26.0f, kPaper);
    // The description box near the bottom.
    if (height > 480)
        Frame(image, 20, 436, width - 40, 110, 0xFF9A8F6Cu);
    return image;
}

TgaImage Button(const LabelFont& font, const std::string& text, int width, int height, std::uint32_t face,
                std::uint32_t ink, std::uint32_t rim)
{
    TgaImage image(width, height, rim);
    image.Fill(2, 2, width - 4, height - 4, face);
    font.DrawCentred(image, text, 0, 0, width, height, 13.0f, ink);
    return image;
}

TgaImage PressKey(const LabelFont& font)
{
    TgaImage image(320, 72, kRule);
    image.Fill(3, 3, 314, 66, kFrame);
    font.DrawCentred(image, "Press a key", 0, 0, 320, 72, 24.0f, kPaper);
    return image;
}

// A white arrow with a black outline on a clear background, its tip at the top-left pixel.
TgaImage Cursor()
{
    TgaImage image(16, 24, 0x00000000u);
    for (int y = 0; y < 18; ++y) {
        const int width = y * 11 / 17 + 1;
        for (int x = 0; x < width; ++x)
            image.At(x, y) = (x == 0 || x == width - 1 || y == 17) ? 0xFF000000u : 0xFFFFFFFFu;
    }
    // The stem.
    for (int y = 12; y < 24; ++y)
        for (int x = 4 + (y - 12) / 3; x < 8 + (y - 12) / 3 && x < 16; ++x)
            image.At(x, y) = (y == 23 || x == 4 + (y - 12) / 3 || x == 7 + (y - 12) / 3) ? 0xFF000000u : 0xFFFFFFFFu;
    return image;
}

// Crosshairs of 32 x 32 on a clear background: plus, gap plus, dot, circle, cross, brackets.
TgaImage Crosshair(int number)
{
    TgaImage image(32, 32, 0x00000000u);
    const std::uint32_t ink = 0xFF40FF40u;
    auto plot = [&](int x, int y) {
        if (x >= 0 && y >= 0 && x < 32 && y < 32)
            image.At(x, y) = ink;
    };
    switch (number) {
    case 1:
        image.Fill(15, 4, 2, 24, ink);
        image.Fill(4, 15, 24, 2, ink);
        break;
    case 2:
        image.Fill(15, 2, 2, 10, ink);
        image.Fill(15, 20, 2, 10, ink);
        image.Fill(2, 15, 10, 2, ink);
        image.Fill(20, 15, 10, 2, ink);
        break;
    case 3:
        image.Fill(14, 14, 4, 4, ink);
        break;
    case 4:
        for (int i = 0; i < 360; ++i) {
            const double angle = i * 3.14159265358979 / 180.0;
            plot(16 + int(std::lround(11 * std::cos(angle))), 16 + int(std::lround(11 * std::sin(angle))));
        }
        image.Fill(15, 15, 2, 2, ink);
        break;
    case 5:
        for (int i = 4; i < 28; ++i) {
            plot(i, i);
            plot(31 - i, i);
        }
        break;
    default:
        image.Fill(4, 4, 8, 2, ink);
        image.Fill(4, 4, 2, 8, ink);
        image.Fill(20, 26, 8, 2, ink);
        image.Fill(26, 20, 2, 8, ink);
        image.Fill(15, 15, 2, 2, ink);
        break;
    }
    return image;
}

// A tone with a soft start and end.
std::vector<std::int16_t> Tone(double frequency, double seconds, double vibrato)
{
    const int count = int(kSoundRate * seconds);
    std::vector<std::int16_t> samples(std::size_t(count), 0);
    for (int i = 0; i < count; ++i) {
        const double t = double(i) / kSoundRate;
        const double envelope = std::min({1.0, t / 0.02, (seconds - t) / 0.05});
        const double pitch = frequency * (1.0 + vibrato * std::sin(2 * 3.14159265358979 * 5 * t));
        samples[std::size_t(i)] = std::int16_t(9000 * envelope * std::sin(2 * 3.14159265358979 * pitch * t));
    }
    return samples;
}

} // namespace

void GenerateOptionsScreenArt(const DemoDataWriter& out)
{
    const LabelFont font;
    out.writeFile("GameData/Cursors/arrow.tga", WriteTga(Cursor(), 32));

    const std::string folder = "GameData/Menus/Options/";
    // 680 wide, so that the value column (550 from the backdrop's left) clears the page buttons.
    out.writeFile(folder + "backdrop.tga", WriteTga(Backdrop(font, 680, 600), 24));
    out.writeFile(folder + "backdrop2.tga", WriteTga(Backdrop(font, 640, 480), 24));
    out.writeFile(folder + "presskey.tga", WriteTga(PressKey(font), 24));

    struct ButtonArt {
        const char* name;
        const char* text;
        int width;
    };
    const ButtonArt buttons[] = {
        {"Continue", "Continue", 96}, {"Controls", "Keys", 58}, {"Graphics", "Video", 58},
        {"Multiplayer", "Online", 58}, {"Sound", "Sound", 58}, {"Gameplay", "Game", 58},
    };
    for (const ButtonArt& button : buttons) {
        const std::string base = folder + button.name;
        out.writeFile(base + ".tga", WriteTga(Button(font, button.text, button.width, 30, kFrame, kPaper, kRule), 24));
        out.writeFile(base + "O.tga",
                      WriteTga(Button(font, button.text, button.width, 30, 0xFF4C6238u, 0xFFFFFFFFu, kRule), 24));
        out.writeFile(base + "D.tga",
                      WriteTga(Button(font, button.text, button.width, 30, kRule, kInk, kFrame), 24));
    }

    for (int number = 1; number <= 6; ++number) {
        char path[64];
        std::snprintf(path, sizeof path, "GameData/CrossHairs/CrossHair%02d.tga", number);
        out.writeFile(path, WriteTga(Crosshair(number), 32));
    }

    out.writeFile("Sound/soundCheck.wav", WriteWave(Tone(660.0, 0.4, 0.0), kSoundRate, 1));
    out.writeFile("Sound/voiceCheck.wav", WriteWave(Tone(220.0, 0.8, 0.08), kSoundRate, 1));
}
