#include "engine/font/BitmapFont.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/q3DError.h"
#include "engine/sprite/Sprite.h"
#include "renderer/Device.h"

namespace {

constexpr std::uint32_t kScratchFlags = BitmapPrivate | BitmapScratch;                  // 0x48
constexpr std::uint32_t kTextureFlags = BitmapOneLevel | BitmapClampU | BitmapClampV; // 0x32
constexpr int kLargestTexture = 512;

// Destroys a bitmap object when it goes out of scope.
class BitmapGuard {
public:
    explicit BitmapGuard(D3DBitmap* bitmap) : bitmap(bitmap) {}
    ~BitmapGuard()
    {
        if (bitmap)
            bitmap->Destroy();
    }
    BitmapGuard(const BitmapGuard&) = delete;
    BitmapGuard& operator=(const BitmapGuard&) = delete;
    D3DBitmap* bitmap;
};

const char* ErrorOf(D3DBitmap* bitmap)
{
    return bitmap && bitmap->GetLastError() ? bitmap->GetLastError() : "";
}

// The font image as 0xAARRGGBB words, and the largest alpha of each column.
struct FontImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::vector<int> columnAlpha;

    std::uint32_t At(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};

// The letters found at one alpha threshold: start column and column count of each, in list order.
struct Letters {
    std::vector<int> start;
    std::vector<int> width;
    long long area = 0;
};

// Walks the columns: outside a letter a column above the threshold starts the next listed
// character; inside, a column at least at the threshold belongs to it and one below ends it.
// Succeeds when the last listed character has been ended.
bool FindLetters(const FontImage& image, std::size_t characterCount, int threshold, Letters& out)
{
    out = Letters();
    bool inside = false;
    for (int x = 0; x < image.width && out.width.size() <= characterCount; ++x) {
        const int value = image.columnAlpha[std::size_t(x)];
        if (!inside) {
            if (out.start.size() < characterCount && value > threshold) {
                inside = true;
                out.start.push_back(x);
                out.width.push_back(0);
            } else {
                continue;
            }
        }
        if (value >= threshold) {
            ++out.width.back();
            out.area += image.height;
        } else {
            inside = false;
            if (out.start.size() == characterCount)
                return true;
        }
    }
    return characterCount == 0 || (!inside && out.start.size() == characterCount);
}

} // namespace

BitmapFont::BitmapFont() = default;

BitmapFont::~BitmapFont()
{
    FreeTexture();
}

void BitmapFont::FreeTexture()
{
    // The sprite owns the font texture.
    sprite.reset();
}

void BitmapFont::ResetForBuild()
{
    alpha = red = green = blue = 1.0f;
    fixedAdvance = -1;
    FreeTexture();
}

void BitmapFont::Load(Device* device, const char* path, const char* characters, int newSpaceWidth,
                      int newLetterSpacing)
{
    ResetForBuild();
    const char* name = path ? path : "(null)";
    if (!device)
        throw q3DError("Error loading font bitmap %s: %s", name, "no device");
    BitmapGuard loaded(device->CreateRenderTargetBitmap(nullptr));
    if (!loaded.bitmap)
        throw q3DError("Error loading font bitmap %s: %s", name, "out of memory");
    if (!path || loaded.bitmap->Load(path, 0, kScratchFlags) != 1)
        throw q3DError("Error loading font bitmap %s: %s", name, ErrorOf(loaded.bitmap));
    Build(device, loaded.bitmap, characters, newSpaceWidth, newLetterSpacing);
}

void BitmapFont::Create(Device* device, D3DBitmap* bitmap, const char* characters, int newSpaceWidth,
                        int newLetterSpacing)
{
    ResetForBuild();
    if (!device || !bitmap)
        throw q3DError("Invalid font bitmap %s: %s", bitmap && bitmap->GetName() ? bitmap->GetName() : "(null)",
                       "no bitmap");
    Build(device, bitmap, characters, newSpaceWidth, newLetterSpacing);
}

void BitmapFont::Build(Device* device, D3DBitmap* bitmap, const char* characters, int newSpaceWidth,
                       int newLetterSpacing)
{
    spaceWidth = newSpaceWidth;
    letterSpacing = newLetterSpacing;
    alpha = red = green = blue = 1.0f;
    uOffset = vOffset = 0.0f;
    lineHeight = -1;
    smoothFiltering = 1;
    fillSpaces = 0;
    depth = 0.0f;
    spriteW = 1.0f;
    std::fill(std::begin(glyphs), std::end(glyphs), Glyph());
    glyphHeight = bitmap->GetHeight();
    const char* name = bitmap->GetName() ? bitmap->GetName() : "";
    if (bitmap->GetFormat() != FormatA8R8G8B8)
        throw q3DError("Invalid font bitmap %s: not 32bits", name);

    FontImage image;
    image.width = std::max(bitmap->GetWidth(), 0);
    image.height = std::max(glyphHeight, 0);
    image.pixels.assign(std::size_t(image.width) * std::size_t(image.height), 0);
    image.columnAlpha.assign(std::size_t(image.width), 0);
    if (image.width > 0 && image.height > 0) {
        const auto* rows = static_cast<const std::uint8_t*>(bitmap->Lock(false));
        const int pitch = bitmap->GetPitch();
        if (!rows || pitch < image.width * 4) {
            if (rows)
                bitmap->Unlock();
            throw q3DError("Invalid font bitmap %s: %s", name, "its pixels cannot be read");
        }
        for (int y = 0; y < image.height; ++y)
            std::memcpy(&image.pixels[std::size_t(y) * std::size_t(image.width)],
                        rows + std::size_t(y) * std::size_t(pitch), std::size_t(image.width) * 4);
        bitmap->Unlock();
    }
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            image.columnAlpha[std::size_t(x)] = std::max(image.columnAlpha[std::size_t(x)], int(image.At(x, y) >> 24));

    const std::string list = characters ? characters : "";
    // The lowest threshold that separates every listed letter.
    Letters letters;
    int threshold = 1;
    for (; threshold <= 254; ++threshold)
        if (FindLetters(image, list.size(), threshold, letters))
            break;
    if (threshold > 254)
        throw q3DError("Font %s not suitable: Not enough distinct letters found in Verify", name);

    const int side = int(std::sqrt(double(letters.area) * 1.1));
    if (side > kLargestTexture - 1)
        throw q3DError("Font %s not suitable: Resultant font texture too large", name);
    int size = 2;
    while (size <= side)
        size *= 2;

    BitmapGuard scratch(device->CreateRenderTargetBitmap(nullptr));
    if (!scratch.bitmap || scratch.bitmap->Create("tempfontbm", size, size, FormatA8R8G8B8, kScratchFlags) != 1)
        throw q3DError("Error creating font %s bitmap: %s", name, scratch.bitmap ? ErrorOf(scratch.bitmap) : "out of memory");

    // Pack the letters in rows of the texture, each pixel copied when its alpha is above half the
    // threshold.
    std::vector<std::uint32_t> packed(std::size_t(size) * std::size_t(size), 0);
    int cursorX = 0, cursorY = 0;
    const float texel = 1.0f / float(size);
    for (std::size_t i = 0; i < list.size(); ++i) {
        const int width = letters.width[i];
        if (cursorX + width >= size) {
            cursorY += image.height;
            cursorX = 0;
        }
        const int startX = cursorX;
        if (cursorX + width > size || cursorY + image.height > size)
            throw q3DError("Font %s not suitable: Not enough distinct letters found in Calculate", name);
        for (int column = 0; column < width; ++column, ++cursorX)
            for (int y = 0; y < image.height; ++y) {
                const std::uint32_t pixel = image.At(letters.start[i] + column, y);
                if (int(pixel >> 24) > threshold / 2)
                    packed[std::size_t(cursorY + y) * std::size_t(size) + std::size_t(cursorX)] = pixel;
            }
        Glyph& glyph = glyphs[static_cast<unsigned char>(list[i])];
        glyph.u0 = float(startX) * texel + 0.5f * texel;
        glyph.v0 = float(cursorY + 1) * texel;
        glyph.u1 = float(cursorX) * texel - 0.5f * texel;
        glyph.v1 = float(cursorY + image.height) * texel;
        glyph.width = width - 1;
    }

    auto* rows = static_cast<std::uint8_t*>(scratch.bitmap->Lock(true));
    const int pitch = scratch.bitmap->GetPitch();
    if (!rows || pitch < size * 4) {
        if (rows)
            scratch.bitmap->Unlock();
        throw q3DError("Error creating font %s bitmap: %s", name, "its pixels cannot be written");
    }
    for (int y = 0; y < size; ++y)
        std::memcpy(rows + std::size_t(y) * std::size_t(pitch), &packed[std::size_t(y) * std::size_t(size)],
                    std::size_t(size) * 4);
    scratch.bitmap->Unlock();

    auto fontSprite = std::make_unique<Sprite>();
    fontSprite->ownsTexture = true;
    D3DBitmap* texture = device->CreateBitmap(&fontSprite->material.texture[0]);
    if (!texture || texture->CreateTwoStage(name, scratch.bitmap, FormatA4R4G4B4, kTextureFlags) != 1) {
        const std::string reason = texture ? ErrorOf(texture) : "out of memory";
        throw q3DError("Error creating font texture from bitmap: %s", reason.c_str());
    }
    sprite = std::move(fontSprite);
}

int BitmapFont::GetLineHeight()
{
    return lineHeight == -1 ? glyphHeight : lineHeight;
}

int BitmapFont::GetTextWidth(const char* text)
{
    if (!text)
        return 0;
    int widest = 0, line = 0;
    for (const char* p = text; *p; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c == '\n') {
            widest = std::max(widest, line);
            line = 0;
        } else if (c == ' ' || c >= 128) {
            line += spaceWidth;
        } else {
            line += (fixedAdvance != -1 ? fixedAdvance : glyphs[c].width) + letterSpacing;
        }
    }
    return std::max(widest, line);
}

int BitmapFont::DrawText(Device* device, int x, int y, float scale, const char* text)
{
    if (!device || !text)
        return 0;
    if (!sprite)
        return 1;
    int savedFilter = 0;
    if (!smoothFiltering) {
        savedFilter = device->GetFilter();
        device->SetFilter(0, 2);
    }
    sprite->depth = depth;
    sprite->scale = scale;
    sprite->alpha = alpha;
    sprite->red = red;
    sprite->green = green;
    sprite->blue = blue;
    auto setRectangle = [&](float u0, float v0, float u1, float v1) {
        const float corners[4][2] = {{u0, v0}, {u1, v0}, {u1, v1}, {u0, v1}};
        std::memcpy(sprite->texCoords, corners, sizeof(corners));
    };

    float penX = float(x), penY = float(y);
    for (const char* p = text; *p; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c == ' ') {
            const int count = int(scale * float(fixedAdvance != -1 ? fixedAdvance : spaceWidth));
            if (fillSpaces) {
                const Glyph& a = glyphs['A'];
                const int textureWidth = sprite->GetDrawnTextureWidth();
                const float sliver = textureWidth > 0 ? 2.0f / float(textureWidth) : 0.0f;
                setRectangle(a.u0 - sliver, a.v0, a.u0, a.v1);
                for (int i = 0; i < count; ++i) {
                    sprite->x = int(penX) + i;
                    sprite->y = int(penY);
                    sprite->Draw(device);
                }
            }
            penX += float(count);
        } else if (c == '\n') {
            penX = float(x);
            penY += scale * float(lineHeight >= 1 ? lineHeight : glyphHeight);
        } else if (glyphs[c].width != 0) {
            const Glyph& glyph = glyphs[c];
            sprite->x = int(penX);
            sprite->y = int(penY);
            setRectangle(glyph.u0 + uOffset, glyph.v0 + vOffset, glyph.u1 + uOffset, glyph.v1 + vOffset);
            sprite->Draw(device);
            penX += float(fixedAdvance != -1 ? fixedAdvance : glyph.width) * scale + scale * float(letterSpacing);
        }
    }
    if (!smoothFiltering)
        device->SetFilter(savedFilter, 2);
    return 1;
}

int BitmapFont::Printf(Device* device, int x, int y, const char* format, ...)
{
    if (!format)
        return DrawText(device, x, y, 1.0f, nullptr);
    char buffer[4096];
    std::va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    return DrawText(device, x, y, 1.0f, buffer);
}

int BitmapFont::DrawTextScaledf(Device* device, int x, int y, float scale, const char* format, ...)
{
    if (!format)
        return DrawText(device, x, y, scale, nullptr);
    char buffer[4096];
    std::va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    return DrawText(device, x, y, scale, buffer);
}
