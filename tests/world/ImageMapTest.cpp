#include "engine/core/q3DError.h"
#include "tests/world/WorldFixture.h"

namespace {


// A 16-bit TGA of raw values given from the top row; the file stores the bottom row first.
std::vector<std::uint8_t> Tga16(int width, int height, const std::vector<std::uint16_t>& values)
{
    std::vector<std::uint8_t> pixels;
    for (int y = height - 1; y >= 0; --y)
        for (int x = 0; x < width; ++x)
            Put16(pixels, values[std::size_t(y * width + x)]);
    return TgaFile(width, height, 16, pixels);
}

MapFile ImageMap()
{
    MapFile map;
    map.heightMapName = "hmap.tga";
    map.colorMapName = "cmap.tga";
    map.waterPath = "water.tga"; // the image's own name, as the height and colour maps' are
    map.cellSize = 10.0f;
    return map;
}

class ImageMapTest : public WorldTest {
protected:
void WriteImages(int side, int waterSide, int heightBits = 24)
{
    TgaImage height(side, side, 0xFF000000u);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            height.At(x, y) = 0xFF000000u | std::uint32_t(x + 3 * y); // blue is the texel's first byte
    WorldTest::WriteFile("hmap.tga", WriteTga(height, heightBits));
    std::vector<std::uint16_t> tiles(std::size_t(side) * side, 0);
    tiles[1] = 1;
    WorldTest::WriteFile("cmap.tga", Tga16(side, side, tiles));
    std::vector<std::uint16_t> water(std::size_t(waterSide) * waterSide, 0);
    for (int y = 0; y < waterSide; ++y)
        for (int x = 0; x < waterSide; ++x)
            water[std::size_t(y * waterSide + x)] = std::uint16_t(100 + 10 * y + x);
    WorldTest::WriteFile("water.tga", Tga16(waterSide, waterSide, water));
}
};

TEST_F(ImageMapTest, MapsLoadFromImagesInTheLookupLayout)
{
    WriteImages(32, 8);
    Load(ImageMap());
    EXPECT_EQ(world->width, 32);
    EXPECT_EQ(world->height, 32);
    EXPECT_EQ(world->patches.size(), 4u);
    // The first byte of each texel is the height; rows run from the top of the image.
    EXPECT_FLOAT_EQ(world->GetCornerHeight(5, 0), 5.0f);
    EXPECT_FLOAT_EQ(world->GetCornerHeight(2, 7), 23.0f);
    EXPECT_EQ(world->GetCellTileIndex(1, 0), 1);
    EXPECT_EQ(world->GetCellTileIndex(0, 1), 0);
    // One water sample a 16 x 16 block, taken from every fourth image texel.
    EXPECT_EQ(world->GetWaterSample(0, 0), 100);
    EXPECT_EQ(world->GetWaterSample(1, 0), 104);
    EXPECT_EQ(world->GetWaterSample(0, 1), 140);
    EXPECT_EQ(world->GetWaterSample(1, 1), 144);
}

TEST_F(ImageMapTest, BadImagesFailWithTheirMessages)
{
    struct Case {
        const char* name;
        int side, waterSide, heightBits;
        const char* message;
    };
    const Case cases[] = {
        {"height side not a multiple of 4", 30, 7, 24, "Height map width and height must be multiple of 4"},
        {"32-bit height map", 32, 8, 32, "Height map must be a 24 bit file"},
        {"water map of another size", 32, 4, 24, "Water map must be 1/4 the size of the height map"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteImages(c.side, c.waterSide, c.heightBits);
        try {
            Load(ImageMap());
            FAIL() << "no error";
        } catch (const q3DError& error) {
            EXPECT_STREQ(error.GetText(), c.message);
        }
    }
    WriteImages(32, 8);
    WriteFile("cmap.tga", WriteTga(TgaImage(32, 32), 24));
    try {
        Load(ImageMap());
        FAIL() << "no error";
    } catch (const q3DError& error) {
        EXPECT_STREQ(error.GetText(), "Color map must be a 16 bit file");
    }
    WriteImages(32, 8);
    WriteFile("cmap.tga", Tga16(16, 16, std::vector<std::uint16_t>(256, 0)));
    EXPECT_THROW(Load(ImageMap()), q3DError); // the maps must agree in size
    WriteImages(32, 8);
    WriteFile("hmap.tga", {1, 2, 3});
    try {
        Load(ImageMap());
        FAIL() << "no error";
    } catch (const q3DError& error) {
        EXPECT_EQ(std::string(error.GetText()).rfind("Height map: ", 0), 0u) << error.GetText();
    }
}

} // namespace
