#include <string>

#include "items/TileSounds.h"
#include "tests/items/body/ItemFixture.h"
#include "tools/demodata/writers/WaveWriter.h"

namespace {

class TileSoundsTest : public ItemTest {
protected:
    static void Variant(const std::string& path)
    {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        WriteFile(path, WriteWave(std::vector<std::int16_t>(100, 1000), 22050, 1));
    }
};

} // namespace

TEST_F(TileSoundsTest, LoadsNumberedVariantsFromZeroUpToFive)
{
    Variant("Steps/grass_0.wav");
    Variant("Steps/grass_1.wav");
    Variant("Steps/sand_0.wav");
    Variant("Steps/sand_2.wav"); // after a gap: not loaded
    for (int i = 0; i < 6; ++i)
        Variant("Steps/rock_" + std::to_string(i) + ".wav");
    Variant("Steps/mud_1.wav"); // no "_0": nothing

    struct Case {
        const char* base;
        int count;
    } cases[] = {{"Steps/grass", 2}, {"Steps/sand", 1}, {"Steps/rock", 5}, {"Steps/mud", 0}, {"Steps/none", 0}};
    for (const Case& c : cases) {
        TileSounds tile;
        std::strcpy(tile.baseName[0], c.base);
        std::strcpy(tile.baseName[1], "Steps/grass");
        tile.Load();
        EXPECT_EQ(tile.GetCount(0), c.count) << c.base;
        EXPECT_EQ(tile.GetCount(1), 2);
        tile.PlayRandom(0, 1.0f); // no variants: nothing to play, no fault
        // Loading again keeps the slots it has and their count.
        tile.Load();
        EXPECT_EQ(tile.GetCount(0), c.count) << c.base;
        tile.Free();
        EXPECT_EQ(tile.GetCount(0), 0);
        EXPECT_EQ(tile.GetCount(1), 0);
        tile.PlayRandom(1, 1.0f);
        tile.PlayRandom(7, 1.0f);
    }
}
