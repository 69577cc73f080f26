#include <cstring>

#include "tests/renderer/RendererFixture.h"

namespace {

class ImageFileTest : public RendererTest {
protected:
    void SetUp() override
    {
        RendererTest::SetUp();
        OpenWindowed();
    }
};

// One 4 x 4 DXT1 block of a single colour (both endpoints equal, every index 0).
void PutDxt1Block(std::vector<std::uint8_t>& out, std::uint16_t color)
{
    Put16(out, color);
    Put16(out, color);
    Put32(out, 0);
}

std::vector<std::uint8_t> DdsHeader(std::uint32_t width, std::uint32_t height, std::uint32_t mips, const char* fourCc,
                                    std::uint32_t caps2 = 0)
{
    std::vector<std::uint8_t> out;
    Put32(out, 0x20534444);
    Put32(out, 124);
    Put32(out, 0x1007 | 0x80000 | (mips ? 0x20000 : 0));
    Put32(out, height);
    Put32(out, width);
    Put32(out, std::max(1u, width / 4) * std::max(1u, height / 4) * 8);
    Put32(out, 0);
    Put32(out, mips);
    for (int i = 0; i < 11; ++i)
        Put32(out, 0);
    Put32(out, 32);
    Put32(out, 4);
    out.insert(out.end(), fourCc, fourCc + 4);
    for (int i = 0; i < 5; ++i)
        Put32(out, 0);
    Put32(out, 0x1000);
    Put32(out, caps2);
    for (int i = 0; i < 3; ++i)
        Put32(out, 0);
    return out;
}

// A DXT1 file whose level n is filled with colour 0x1000 * (n + 1).
std::vector<std::uint8_t> Dxt1File(std::uint32_t size, std::uint32_t mips, int faces = 1)
{
    std::vector<std::uint8_t> out = DdsHeader(size, size, mips, "DXT1", faces == 6 ? 0xFE00 : 0);
    for (int face = 0; face < faces; ++face) {
        std::uint32_t s = size;
        for (std::uint32_t level = 0; level < std::max(1u, mips); ++level) {
            const std::uint32_t blocks = std::max(1u, s / 4) * std::max(1u, s / 4);
            for (std::uint32_t b = 0; b < blocks; ++b)
                PutDxt1Block(out, std::uint16_t(0x1000 * (level + 1) + face));
            s = std::max(1u, s / 2);
        }
    }
    return out;
}

} // namespace

TEST_F(ImageFileTest, TrueColourTgaRowsAreStoredBottomUp)
{
    // 2 x 2, 24 bits: the file's first row is the image's last.
    std::vector<std::uint8_t> pixels = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C};
    WriteFile("rows.tga", TgaFile(2, 2, 24, pixels));
    D3DBitmap* bitmap = device->CreateRenderTargetBitmap(nullptr);
    ASSERT_EQ(bitmap->Load("rows.tga", 0, 0), 1) << bitmap->GetLastError();
    EXPECT_EQ(bitmap->GetFormat(), FormatR8G8B8);
    const auto* bits = static_cast<const std::uint8_t*>(bitmap->Lock(false));
    const std::uint8_t expected[12] = {0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
    EXPECT_EQ(std::memcmp(bits, expected, 12), 0);
    bitmap->Unlock();
    bitmap->Destroy();
}

TEST_F(ImageFileTest, TextureLoadBuildsMipsAndSharesByPath)
{
    std::vector<std::uint8_t> pixels;
    for (int i = 0; i < 4 * 4; ++i)
        Put32(pixels, 0x80402010u);
    WriteFile("tex.tga", TgaFile(4, 4, 32, pixels));
    D3DBitmap* first = device->CreateBitmap(nullptr);
    ASSERT_EQ(first->Load("tex.tga", 0, 0), 1) << first->GetLastError();
    EXPECT_EQ(first->GetFormat(), FormatA8R8G8B8);
    EXPECT_EQ(first->GetLevelCount(), 3);
    const auto* smallest = static_cast<const std::uint32_t*>(first->LockLevel(2, nullptr, false));
    EXPECT_EQ(smallest[0], 0x80402010u);
    first->UnlockLevel();
    std::filesystem::remove("tex.tga");
    D3DBitmap* second = device->CreateBitmap(nullptr);
    ASSERT_EQ(second->Load("TEX.tga", 0, 0), 1); // shared by name: no file is read
    EXPECT_EQ(second->GetLevelCount(), 3);
    first->Destroy();
    second->Destroy();
}

TEST_F(ImageFileTest, NonPowerOfTwoTexturesNeedTheAnySizeFlag)
{
    WriteFile("wide.tga", TgaFile(3, 4, 24, std::vector<std::uint8_t>(3 * 4 * 3, 0x55)));
    D3DBitmap* bitmap = device->CreateBitmap(nullptr);
    EXPECT_EQ(bitmap->Load("wide.tga", 0, 0), -1);
    EXPECT_STREQ(bitmap->GetLastError(), "wide.tga's width is not a power of two, all textures must be power of 2 sizes");
    bitmap->Destroy();
    bitmap = device->CreateBitmap(nullptr);
    EXPECT_EQ(bitmap->Load("wide.tga", 0, BitmapAnySize), 1) << bitmap->GetLastError();
    EXPECT_EQ(bitmap->GetWidth(), 3);
    bitmap->Destroy();
}

TEST_F(ImageFileTest, HostileTgaFilesAreRefused)
{
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        const char* error;
    };
    std::vector<std::uint8_t> pixels(2 * 2 * 3, 0x11);
    std::vector<std::uint8_t> truncatedPixels = TgaFile(2, 2, 24, pixels);
    truncatedPixels.resize(truncatedPixels.size() - 1);
    std::vector<std::uint8_t> hugeId = TgaFile(2, 2, 24, pixels);
    hugeId[0] = 0xFF;
    const Case cases[] = {
        {"empty", {}, "Can't load bad.tga: the file is truncated"},
        {"short header", std::vector<std::uint8_t>(10, 0), "Can't load bad.tga: the file is truncated"},
        {"run-length", TgaFile(2, 2, 24, pixels, 10), "Unsupported TGA file format, compressed TGA files not supported"},
        {"palettized", TgaFile(2, 2, 8, pixels, 1), "Unsupported TGA file format: 8-bit Palettized"},
        {"monochrome", TgaFile(2, 2, 8, pixels, 3), "Unsupported TGA file format: Monochrome"},
        {"unknown type", TgaFile(2, 2, 24, pixels, 99), "Unsupported TGA file format: image type 99"},
        {"15 bits", TgaFile(2, 2, 15, pixels), "Can't load bad.tga: invalid pixel format"},
        {"no pixels", TgaFile(0, 2, 24, pixels), "Can't load bad.tga: the image has no pixels"},
        {"truncated pixels", truncatedPixels, "Can't load bad.tga: the file is truncated"},
        {"identification past the end", hugeId, "Can't load bad.tga: the file is truncated"},
        {"huge size", TgaFile(65535, 65535, 32, pixels), "Can't load bad.tga: the file is truncated"},
    };
    for (const Case& c : cases) {
        WriteFile("bad.tga", c.bytes);
        D3DBitmap* bitmap = device->CreateRenderTargetBitmap(nullptr);
        EXPECT_EQ(bitmap->LoadTga("bad.tga"), -1) << c.what;
        EXPECT_STREQ(bitmap->GetLastError(), c.error) << c.what;
        bitmap->Destroy();
    }
    D3DBitmap* bitmap = device->CreateBitmap(nullptr);
    EXPECT_EQ(bitmap->Load("missing.tga", 0, 0), -1);
    EXPECT_STREQ(bitmap->GetLastError(), "Can't open missing.tga");
    EXPECT_EQ(bitmap->Load("picture.png", 0, 0), -1);
    EXPECT_STREQ(bitmap->GetLastError(), "No loader for file format");
    EXPECT_EQ(bitmap->Load("picture.dds", 0, 0), -1);
    EXPECT_STREQ(bitmap->GetLastError(), "Can't find file");
    bitmap->Destroy();
}

TEST_F(ImageFileTest, DdsBesideTheTgaIsLoadedCompressedWithItsLevels)
{
    WriteFile("stone.dds", Dxt1File(16, 5));
    D3DBitmap* bitmap = device->CreateBitmap(nullptr);
    ASSERT_EQ(bitmap->Load("stone.tga", 0, 0), 1) << bitmap->GetLastError();
    EXPECT_STREQ(bitmap->GetName(), "stone.tga");
    EXPECT_EQ(bitmap->GetFormat(), FormatDXT1);
    EXPECT_EQ(bitmap->GetLevelCount(), 5);
    std::int32_t pitch = 0;
    const auto* level2 = static_cast<const std::uint8_t*>(bitmap->LockLevel(2, &pitch, false));
    ASSERT_NE(level2, nullptr);
    EXPECT_EQ(pitch, 8);
    EXPECT_EQ(level2[0] | level2[1] << 8, 0x3000);
    bitmap->UnlockLevel();
    bitmap->Destroy();
}

TEST_F(ImageFileTest, DdsWithTooFewLevelsIsDecompressed)
{
    WriteFile("short.dds", Dxt1File(256, 5));
    D3DBitmap* bitmap = device->CreateBitmap(nullptr);
    ASSERT_EQ(bitmap->Load("short.tga", 0, 0), 1) << bitmap->GetLastError();
    EXPECT_EQ(bitmap->GetFormat(), FormatR5G6B5);
    EXPECT_EQ(bitmap->GetLevelCount(), 9);
    const auto* top = static_cast<const std::uint16_t*>(bitmap->LockLevel(8, nullptr, false));
    EXPECT_EQ(top[0], 0x1000);
    bitmap->UnlockLevel();
    bitmap->Destroy();

    // With compression switched off the same route is taken.
    device->SetTextureCompression(false);
    WriteFile("plain.dds", Dxt1File(8, 4));
    bitmap = device->CreateBitmap(nullptr);
    ASSERT_EQ(bitmap->Load("plain.tga", 0, 0), 1);
    EXPECT_EQ(bitmap->GetFormat(), FormatR5G6B5);
    bitmap->Destroy();
}

TEST_F(ImageFileTest, CubeMapDdsHasSixFaces)
{
    WriteFile("sky.dds", Dxt1File(8, 4, 6));
    WriteFile("cut.dds", Dxt1File(8, 2, 6));
    D3DBitmap* cut = device->CreateBitmap(nullptr);
    EXPECT_EQ(cut->Load("cut.tga", 0, 0), -1); // too few levels: only the decompressed route is left
    EXPECT_STREQ(cut->GetLastError(), "Can't load cubemap directly");
    cut->Destroy();
    D3DBitmap* bitmap = device->CreateBitmap(nullptr);
    ASSERT_EQ(bitmap->Load("sky.tga", 0, 0), 1) << bitmap->GetLastError();
    EXPECT_EQ(bitmap->GetFlags() & BitmapCube, BitmapCube);
    EXPECT_EQ(bitmap->Lock(false), nullptr);         // cube maps cannot be locked whole
    EXPECT_EQ(bitmap->Unlock(), 0);
    EXPECT_EQ(bitmap->GetPitch(), 0);
    EXPECT_EQ(bitmap->GetLevelCount(), 4);
    bitmap->Destroy();
}

TEST_F(ImageFileTest, HostileDdsFilesAreRefused)
{
    std::vector<std::uint8_t> truncated = Dxt1File(16, 3);
    truncated.resize(truncated.size() - 1);
    std::vector<std::uint8_t> badMagic = Dxt1File(4, 1);
    badMagic[0] = 'X';
    std::vector<std::uint8_t> huge = DdsHeader(1u << 30, 4, 1, "DXT1");
    const std::vector<std::uint8_t> small = Dxt1File(4, 1);
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        const char* error;
    };
    const Case cases[] = {
        {"empty", {}, "Invalid DDS file bad.dds"},
        {"bad magic", badMagic, "Invalid DDS file bad.dds"},
        {"header cut", std::vector<std::uint8_t>(small.begin(), small.begin() + 60),
         "Can't load bad.dds: the file is truncated"},
        {"not DXT", DdsHeader(4, 4, 1, "ATI2"), "Invalid DDS format in bad.dds"},
        {"levels cut", truncated, "Can't load bad.dds: the file is truncated"},
        {"no data", DdsHeader(64, 64, 7, "DXT1"), "Can't load bad.dds: the file is truncated"},
        {"huge", huge, "Can't load bad.dds: invalid size 1073741824x4"},
        {"zero size", DdsHeader(0, 4, 1, "DXT1"), "Can't load bad.dds: invalid size 0x4"},
    };
    for (const Case& c : cases) {
        WriteFile("bad.dds", c.bytes);
        D3DBitmap* bitmap = device->CreateBitmap(nullptr);
        EXPECT_EQ(bitmap->LoadDds("bad.dds"), -1) << c.what;
        EXPECT_STREQ(bitmap->GetLastError(), c.error) << c.what;
        bitmap->Destroy();
    }
}

TEST_F(ImageFileTest, SaveTgaWritesHandWorkedBytes)
{
    D3DBitmap* bitmap = device->CreateBitmap(nullptr);
    ASSERT_EQ(bitmap->Create("save", 2, 2, FormatX8R8G8B8, BitmapSurface | BitmapPrivate), 1);
    auto* bits = static_cast<std::uint32_t*>(bitmap->Lock(true));
    bits[0] = 0xFF112233u; // top left
    bits[1] = 0xFF445566u;
    bits[2] = 0xFF778899u; // bottom left
    bits[3] = 0xFFAABBCCu;
    bitmap->Unlock();
    ASSERT_EQ(bitmap->SaveTga("out.tga"), 1) << bitmap->GetLastError();
    const std::vector<std::uint8_t> expected = {
        0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0, // header
        0x99, 0x88, 0x77, 0xCC, 0xBB, 0xAA,                   // bottom row first
        0x33, 0x22, 0x11, 0x66, 0x55, 0x44,
    };
    EXPECT_EQ(ReadFile("out.tga"), expected);

    // And read back into an image of the same pixels.
    D3DBitmap* loaded = device->CreateRenderTargetBitmap(nullptr);
    ASSERT_EQ(loaded->Load("out.tga", FormatX8R8G8B8, 0), 1);
    const auto* again = static_cast<const std::uint32_t*>(loaded->Lock(false));
    EXPECT_EQ(again[0], 0xFF112233u);
    EXPECT_EQ(again[3], 0xFFAABBCCu);
    loaded->Unlock();
    loaded->Destroy();
    bitmap->Destroy();

    D3DBitmap* luminance = device->CreateBitmap(nullptr);
    ASSERT_EQ(luminance->Create("l8", 2, 2, FormatL8, BitmapOneLevel), 1);
    EXPECT_EQ(luminance->SaveTga("l8.tga"), -1);
    EXPECT_STREQ(luminance->GetLastError(), "Bitmap can't be saved, invalid format");
    luminance->Destroy();
}

TEST_F(ImageFileTest, SaveBmpPadsRowsToFourBytes)
{
    D3DBitmap* bitmap = device->CreateBitmap(nullptr);
    ASSERT_EQ(bitmap->Create("bmp", 3, 1, FormatR8G8B8, BitmapSurface | BitmapPrivate), 1);
    auto* bits = static_cast<std::uint8_t*>(bitmap->Lock(true));
    for (int i = 0; i < 9; ++i)
        bits[i] = std::uint8_t(i + 1);
    bitmap->Unlock();
    ASSERT_EQ(bitmap->SaveBmp("out.bmp"), 1) << bitmap->GetLastError();
    const std::vector<std::uint8_t> expected = {
        'B', 'M', 66, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,              // file header: 54 + 12
        40, 0, 0, 0, 3, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, // info header
        12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0,                          // 9 data bytes, 3 padding
    };
    EXPECT_EQ(ReadFile("out.bmp"), expected);
    bitmap->Destroy();

    D3DBitmap* dxt = device->CreateBitmap(nullptr);
    ASSERT_EQ(dxt->Create("dxt", 4, 4, FormatDXT1, BitmapOneLevel), 1);
    EXPECT_EQ(dxt->SaveBmp("dxt.bmp"), -1);
    EXPECT_STREQ(dxt->GetLastError(), "Bitmap can't be saved, invalid format");
    EXPECT_EQ(dxt->SaveTga("dxt.tga"), 1) << dxt->GetLastError(); // decompressed to 24 bits
    EXPECT_EQ(ReadFile("dxt.tga").size(), 18u + 4 * 4 * 3);
    dxt->Destroy();
}

TEST_F(ImageFileTest, TextureScriptAttachesEffectLines)
{
    WriteFile("water.tga", TgaFile(2, 2, 24, std::vector<std::uint8_t>(12, 0x40)));
    WriteFile("water.shd", {'u', 'v', 's', 'c', 'r', 'o', 'l', 'l', ' ', '1', '\r', '\n', '\n', 'n', 'o', 'm', 'i',
                            'p', 'm', 'a', 'p'});
    D3DBitmap* bitmap = device->CreateBitmap(nullptr);
    ASSERT_EQ(bitmap->Load("water.tga", 0, 0), 1);
    char line[2048] = {};
    EXPECT_TRUE(bitmap->HasEffect("uvscroll", line));
    EXPECT_STREQ(line, "uvscroll 1");
    EXPECT_TRUE(bitmap->HasEffect("NOMIPMAP", nullptr)); // hashes fold case
    EXPECT_NE(bitmap->FindEffect("uvscroll"), nullptr);
    D3DBitmap* clone = bitmap->Clone();
    EXPECT_TRUE(clone->HasEffect("uvscroll", line));
    EXPECT_STREQ(line, "uvscroll 1");
    EXPECT_NE(clone->FindEffect("uvscroll"), bitmap->FindEffect("uvscroll")); // an effect object of its own
    clone->Destroy();
    bitmap->RemoveEffect("uvscroll 2");
    EXPECT_FALSE(bitmap->HasEffect("uvscroll", nullptr));
    EXPECT_EQ(bitmap->FindEffect("uvscroll"), nullptr);
    bitmap->Destroy();
}
