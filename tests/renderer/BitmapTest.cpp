#include <cstring>

#include "tests/renderer/RendererFixture.h"

namespace {

class BitmapTest : public RendererTest {
protected:
    void SetUp() override
    {
        RendererTest::SetUp();
        OpenWindowed();
    }

    D3DBitmap* Make() { return device->CreateBitmap(nullptr); }
};

std::vector<std::uint8_t> Pattern(std::size_t size, unsigned seed)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = std::uint8_t((i * 37 + seed * 11) & 0xFF);
    return bytes;
}

} // namespace

TEST_F(BitmapTest, EveryFormatLocksWithItsPitchAndKeepsItsBytes)
{
    struct Case {
        int format;
        int bits;
    };
    const Case cases[] = {{FormatR8G8B8, 24},   {FormatA8R8G8B8, 32}, {FormatX8R8G8B8, 32}, {FormatR5G6B5, 16},
                          {FormatX1R5G5B5, 16}, {FormatA1R5G5B5, 16}, {FormatX4R4G4B4, 16}, {FormatA4R4G4B4, 16},
                          {FormatR3G3B2, 8},    {FormatA8R3G3B2, 16}, {FormatA2B10G10R10, 32}, {FormatP8, 8},
                          {FormatL8, 8},        {FormatA4L4, 8},      {FormatA8L8, 16},     {FormatA8, 8},
                          {FormatV8U8, 16},     {FormatL6V5U5, 16},   {FormatX8L8V8U8, 32}, {FormatQ8W8V8U8, 32},
                          {FormatV16U16, 32},   {FormatA2W10V10U10, 32}, {FormatDXT1, 4}, {FormatDXT3, 4},
                          {FormatDXT5, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        D3DBitmap* bitmap = Make();
        ASSERT_EQ(bitmap->Create(("format" + std::to_string(c.format)).c_str(), 8, 8, c.format, BitmapOneLevel), 1)
            << bitmap->GetLastError();
        EXPECT_EQ(bitmap->GetFormat(), c.format);
        EXPECT_EQ(bitmap->GetBitsPerPixel(), c.bits);
        EXPECT_EQ(bitmap->GetLevelCount(), 1);
        const bool compressed = c.format >= FormatDXT1;
        const int pitch = compressed ? 2 * (c.format == FormatDXT1 ? 8 : 16) : 8 * c.bits / 8;
        EXPECT_EQ(bitmap->GetPitch(), pitch);
        const std::size_t size = std::size_t(pitch) * (compressed ? 2 : 8);
        const std::vector<std::uint8_t> bytes = Pattern(size, unsigned(c.format));
        auto* bits = static_cast<std::uint8_t*>(bitmap->Lock(true));
        ASSERT_NE(bits, nullptr);
        std::memcpy(bits, bytes.data(), size);
        EXPECT_EQ(bitmap->Unlock(), 1);
        std::int32_t levelPitch = 0;
        const auto* again = static_cast<const std::uint8_t*>(bitmap->LockLevel(0, &levelPitch, false));
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(levelPitch, pitch);
        EXPECT_EQ(std::memcmp(again, bytes.data(), size), 0);
        EXPECT_EQ(bitmap->UnlockLevel(), 1);
        bitmap->Destroy();
    }
}

TEST_F(BitmapTest, MipChainsAreBoxFilteredWhenReformatted)
{
    D3DBitmap* bitmap = Make();
    ASSERT_EQ(bitmap->Create("chain", 4, 4, FormatA8R8G8B8, 0), 1);
    EXPECT_EQ(bitmap->GetLevelCount(), 3);
    std::int32_t pitch = 0;
    auto* level1 = static_cast<std::uint8_t*>(bitmap->LockLevel(1, &pitch, false));
    ASSERT_NE(level1, nullptr);
    EXPECT_EQ(pitch, 8);
    bitmap->UnlockLevel();
    // Level 0: left half black, right half white; a reformat of a one-level source builds the chain.
    D3DBitmap* source = Make();
    ASSERT_EQ(source->Create("source", 4, 4, FormatA8R8G8B8, BitmapOneLevel | BitmapPrivate), 1);
    auto* bits = static_cast<std::uint32_t*>(source->Lock(true));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            bits[y * 4 + x] = x < 2 ? 0xFF000000u : 0xFFFFFFFFu;
    source->Unlock();
    // A one-level image reformatted into a mip-mapped bitmap gets its chain built.
    D3DBitmap* chain = Make();
    ASSERT_EQ(chain->CreateTwoStage("two", source, FormatX8R8G8B8, BitmapOneLevel), 1);
    EXPECT_EQ(chain->GetLevelCount(), 1);
    chain->SetFlags(0);
    ASSERT_EQ(chain->Reformat(FormatA8R8G8B8), 1);
    EXPECT_EQ(chain->GetLevelCount(), 3);
    EXPECT_EQ(chain->GetFormat(), FormatA8R8G8B8);
    auto* top = static_cast<const std::uint32_t*>(chain->LockLevel(2, nullptr, false));
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top[0], 0xFF808080u);
    chain->UnlockLevel();
    chain->Destroy();
    source->Destroy();
    bitmap->Destroy();
}

TEST_F(BitmapTest, ReformatConvertsPixelsAndKeepsSharersInStep)
{
    D3DBitmap* bitmap = Make();
    ASSERT_EQ(bitmap->Create("shared", 2, 1, FormatA8R8G8B8, BitmapOneLevel), 1);
    auto* bits = static_cast<std::uint32_t*>(bitmap->Lock(true));
    bits[0] = 0xFFFF0000u;
    bits[1] = 0x800000FFu;
    bitmap->Unlock();
    D3DBitmap* sharer = Make();
    ASSERT_EQ(sharer->Create("SHARED", 2, 1, FormatR5G6B5, BitmapOneLevel), 1);
    EXPECT_EQ(sharer->GetFormat(), FormatA8R8G8B8); // the same image, found by name
    ASSERT_EQ(bitmap->Reformat(FormatA4R4G4B4), 1);
    EXPECT_EQ(sharer->GetFormat(), FormatA4R4G4B4);
    const auto* converted = static_cast<const std::uint16_t*>(sharer->Lock(false));
    EXPECT_EQ(converted[0], 0xFF00u);
    EXPECT_EQ(converted[1], 0x800Fu);
    sharer->Unlock();
    bitmap->Destroy();
    EXPECT_EQ(sharer->GetWidth(), 2); // still usable after the other sharer went
    sharer->Destroy();
}

TEST_F(BitmapTest, CopiesDrawLinesAndMaskShifts)
{
    D3DBitmap* source = Make();
    D3DBitmap* target = Make();
    ASSERT_EQ(source->Create("src", 2, 2, FormatX8R8G8B8, BitmapSurface | BitmapPrivate), 1);
    ASSERT_EQ(target->Create("dst", 4, 4, FormatX8R8G8B8, BitmapSurface | BitmapPrivate), 1);
    auto* s = static_cast<std::uint32_t*>(source->Lock(true));
    s[0] = 0xFF010203u;
    s[1] = 0xFF040506u;
    s[2] = 0xFF070809u;
    s[3] = 0xFF0A0B0Cu;
    source->Unlock();
    source->CopyTo(3, 3, target); // hangs over the edge: only the first texel lands
    auto* t = static_cast<std::uint32_t*>(target->Lock(true));
    EXPECT_EQ(t[3 * 4 + 3], 0xFF010203u);
    EXPECT_EQ(t[0], 0u);
    target->Unlock();
    const float from[4] = {0, 0, 2, 2}, to[4] = {0, 0, 4, 4};
    source->CopyRect(from, to, target);
    t = static_cast<std::uint32_t*>(target->Lock(false));
    EXPECT_EQ(t[1 * 4 + 1], 0xFF010203u);
    EXPECT_EQ(t[3 * 4 + 2], 0xFF0A0B0Cu);
    target->Unlock();

    D3DBitmap* lines = Make();
    ASSERT_EQ(lines->Create("lines", 4, 4, FormatR5G6B5, BitmapSurface | BitmapPrivate), 1);
    lines->DrawLine(-2, -2, 5, 5, 0xABCD1234u);
    const auto* p = static_cast<const std::uint16_t*>(lines->Lock(false));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(p[i * 4 + i], 0x1234u);
    EXPECT_EQ(p[1], 0u);
    lines->Unlock();
    lines->Unlock();

    std::int16_t shift = 0, width = 0;
    lines->MaskToShift(0x0000FF00u, &shift, &width);
    EXPECT_EQ(shift, 8);
    EXPECT_EQ(width, 8);
    lines->MaskToShift(0, &shift, &width);
    EXPECT_EQ(shift, 32);
    EXPECT_EQ(width, 0);
    lines->Destroy();
    source->Destroy();
    target->Destroy();
}

TEST_F(BitmapTest, SharingByNameCountsReferences)
{
    D3DBitmap* first = Make();
    ASSERT_EQ(first->Create("Shared.tga", 4, 4, FormatA8R8G8B8, 0), 1);
    D3DBitmap* second = Make();
    ASSERT_EQ(second->Create("shared.TGA", 4, 4, FormatA8R8G8B8, 0), 1);
    EXPECT_EQ(first->AddRefTexture(), 3);
    EXPECT_EQ(first->ReleaseTexture(), 2);
    D3DBitmap* clone = second->Clone();
    EXPECT_STREQ(clone->GetName(), "Shared.tga");
    first->Destroy();
    second->Destroy();
    EXPECT_EQ(clone->GetWidth(), 4);
    clone->Destroy();
    D3DBitmap* fresh = Make();
    EXPECT_EQ(fresh->FindByName("shared.tga"), nullptr);
    EXPECT_EQ(fresh->AddRefTexture(), -1);
    fresh->Destroy();
}
