#include "items/ItemDefinition.h"

#include "engine/filesystem/PackFile.h"
#include "tests/engine/filesystem/PackFileFixture.h"
#include "tests/support/ErrorText.h"
#include "tools/demodata/writers/ZipWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

namespace {

const char kRifle[] =
    "M4, the squad's rifle\r\n"
    "Carbine with a short barrel\r\n"
    "Items/Icons/m4.tga\r\n"
    "3.5\r\n"
    "0.02\r\n"
    "120\r\n"
    "0\r\n"
    "2\r\n"
    "SMG\r\n"
    "Rifle\r\n"
    "@ shot #\r\n"
    "@ shot teammate #\r\n"
    "@ shot himself\r\n"
    "Models/Items/m4_world.gltf\r\n"
    "BoneRightHand\r\n";

TEST(ItemDefinitionParse, EveryCommonFieldReadsFromItsLine)
{
    ItemDefinition d;
    ParseItemDefinition(kRifle, "GameData/Items/m4.idf", d);
    EXPECT_STREQ(d.path, "GameData/Items/m4.idf");
    EXPECT_STREQ(d.name, "M4"); // the comma ends the value
    EXPECT_STREQ(d.displayText, "Carbine with a short barrel");
    EXPECT_STREQ(d.iconPath, "Items/Icons/m4.tga");
    EXPECT_TRUE(d.HasIcon());
    EXPECT_FLOAT_EQ(d.baseWeight, 3.5f);
    EXPECT_FLOAT_EQ(d.unitWeight, 0.02f);
    EXPECT_EQ(d.unitCount, 120);
    EXPECT_FLOAT_EQ(d.totalWeight, 3.5f + 120 * 0.02f);
    EXPECT_EQ(d.kind, 0);
    EXPECT_EQ(d.restriction, 2);
    EXPECT_STREQ(d.keyword, "SMG");
    EXPECT_STREQ(d.animationSet, "Rifle");
    EXPECT_STREQ(d.killMessage, "@ shot #");
    EXPECT_STREQ(d.teamKillMessage, "@ shot teammate #");
    EXPECT_STREQ(d.suicideMessage, "@ shot himself");
    EXPECT_STREQ(d.worldModel, "Models/Items/m4_world.gltf");
    // The class lines begin right after line 14.
    std::string text(kRifle);
    EXPECT_EQ(text.substr(std::size_t(d.classDataOffset)), "BoneRightHand\r\n");
    EXPECT_EQ(d.freed, 0);
}

struct ParseCase {
    const char* label;
    std::string text;
    void (*check)(const ItemDefinition&, const std::string& text);
};

const ParseCase kCases[] = {
    {"empty file leaves empty texts and zero numbers", "",
     [](const ItemDefinition& d, const std::string&) {
         EXPECT_STREQ(d.name, "");
         EXPECT_FALSE(d.HasIcon());
         EXPECT_EQ(d.unitCount, 0);
         EXPECT_FLOAT_EQ(d.totalWeight, 0.0f);
         EXPECT_STREQ(d.worldModel, "");
         EXPECT_EQ(d.classDataOffset, 0);
     }},
    {"file cut after line 5", "Knife\nBlade\n-\n0.4\n0.1",
     [](const ItemDefinition& d, const std::string& text) {
         EXPECT_STREQ(d.name, "Knife");
         EXPECT_FALSE(d.HasIcon()); // "-" means no icon
         EXPECT_FLOAT_EQ(d.unitWeight, 0.1f);
         EXPECT_EQ(d.unitCount, 0);
         EXPECT_STREQ(d.keyword, "");
         EXPECT_EQ(d.classDataOffset, std::int32_t(text.size()));
     }},
    {"last lines end at the end of the text", "A\nB\n-\n1\n1\n1\n1\n1\nMelee\nS\nk\nt\nsuicide\nN/A",
     [](const ItemDefinition& d, const std::string&) {
         EXPECT_STREQ(d.suicideMessage, "suicide");
         EXPECT_STREQ(d.worldModel, "N/A");
         EXPECT_FLOAT_EQ(d.totalWeight, 2.0f);
     }},
    {"over-long name is cut to 39 characters with its terminator", std::string(200, 'N') + "\nshort\n",
     [](const ItemDefinition& d, const std::string&) {
         EXPECT_EQ(std::strlen(d.name), 39u);
         EXPECT_EQ(d.name[39], '\0');
         EXPECT_STREQ(d.displayText, "short");
     }},
    {"over-long line beyond 2047 characters keeps 255 of the field", "n\n" + std::string(5000, 'D') + "\nicon\n",
     [](const ItemDefinition& d, const std::string&) {
         EXPECT_EQ(std::strlen(d.displayText), 255u);
         EXPECT_STREQ(d.iconPath, "icon");
     }},
    {"a zero byte ends the text", std::string("Grenade\nfrag\0hidden\n", 20),
     [](const ItemDefinition& d, const std::string&) {
         EXPECT_STREQ(d.name, "Grenade");
         EXPECT_STREQ(d.displayText, "frag");
         EXPECT_STREQ(d.iconPath, "");
     }},
    {"hostile numbers are bounded: no infinite weight, the unit count within -1 to the count limit",
     "x\nx\n-\nnot a number\n1e400\n-99999999999999\n2147483647\n-5\n",
     [](const ItemDefinition& d, const std::string&) {
         EXPECT_FLOAT_EQ(d.baseWeight, 0.0f);
         EXPECT_FLOAT_EQ(d.unitWeight, 0.0f);
         EXPECT_EQ(d.unitCount, -1);
         EXPECT_TRUE(std::isfinite(d.totalWeight));
         EXPECT_EQ(d.kind, 2147483647);
         EXPECT_EQ(d.restriction, -5);
     }},
};

TEST(ItemDefinitionParse, TableOfCases)
{
    for (const ParseCase& c : kCases) {
        SCOPED_TRACE(c.label);
        ItemDefinition d;
        ParseItemDefinition(c.text, "t.idf", d);
        c.check(d, c.text);
    }
}

TEST(ItemDefinitionParse, OverLongPathIsCutToItsField)
{
    std::string path(400, 'p');
    ItemDefinition d;
    ParseItemDefinition("a\n", path.c_str(), d);
    EXPECT_EQ(std::strlen(d.path), 255u);
}

std::unique_ptr<ItemDefinition> Named(const char* name)
{
    auto d = std::make_unique<ItemDefinition>();
    ParseItemDefinition(std::string(name) + "\n", "x.idf", *d);
    return d;
}

TEST(ItemDefinitionList, KeepsByteOrderAndFindsExactNames)
{
    ItemDefinitionList list;
    list.Insert(Named("M4"));
    list.Insert(Named("ak"));
    list.Insert(Named("AK"));
    ASSERT_EQ(list.Count(), 3u);
    EXPECT_STREQ(list.At(0).name, "AK");
    EXPECT_STREQ(list.At(1).name, "M4");
    EXPECT_STREQ(list.At(2).name, "ak");

    ASSERT_NE(list.Find("ak"), nullptr);
    EXPECT_STREQ(list.Find("ak")->name, "ak");
    EXPECT_EQ(list.Find("Ak"), nullptr);
    EXPECT_EQ(list.Find("M"), nullptr);
    EXPECT_EQ(list.Find("M4 "), nullptr);

    EXPECT_EQ(ErrorText([&] { list.Insert(Named("M4")); }), "Duplicate item name for item M4");
    EXPECT_EQ(list.Count(), 3u);
}

class ItemDefinitionFileTest : public PackFileTest {};

TEST_F(ItemDefinitionFileTest, PlainFileAndArchiveMemberReadAlike)
{
    WriteText("GameData/Items/m4.idf", kRifle);
    ZipWriter zip;
    zip.Add("packed.idf", std::string_view(kRifle), ZipWriter::Method::Deflated);
    WriteBytes("GameData/Items.qa", zip.Finish());

    ItemDefinition plain, packed;
    ASSERT_TRUE(LoadItemDefinition("GameData/Items/m4.idf", plain));
    ASSERT_TRUE(LoadItemDefinition("gamedata\\items\\PACKED.idf", packed));
    EXPECT_STREQ(packed.name, "M4");
    EXPECT_STREQ(packed.worldModel, plain.worldModel);
    EXPECT_EQ(packed.unitCount, 120);
    EXPECT_EQ(packed.classDataOffset, plain.classDataOffset);
}

TEST_F(ItemDefinitionFileTest, MissingFileIsReportedForSkipping)
{
    ItemDefinition d;
    EXPECT_FALSE(LoadItemDefinition("GameData/Items/none.idf", d));
}

} // namespace

namespace {

std::string Definition(const char* name, int kind)
{
    return std::string(name) + "\nText\n-\n1\n0\n0\n" + std::to_string(kind) + "\n0\nMelee\nUnarmed\n@\n@\n@\nN/A\n";
}

} // namespace

TEST_F(ItemDefinitionFileTest, FolderLoadsEveryDefinitionSortedAndRemovesLevelKind)
{
    WriteText("GameData/Items/b.idf", Definition("M4", 0));
    WriteText("GameData/Items/a.idf", Definition("AK", 0));
    WriteText("GameData/Items/c.IDF", Definition("Flag", 4));
    WriteText("GameData/Items/notes.txt", Definition("Not an item", 0));
    WriteText("MultiTXT/GameData/Items/s.idf", Definition("Server copy", 1));
    ItemDefinitionList list;
    EXPECT_EQ(LoadItemDefinitionFolder(list, false), 3);
    ASSERT_EQ(list.Count(), 3u);
    EXPECT_STREQ(list.At(0).name, "AK");
    EXPECT_STREQ(list.At(1).name, "Flag");
    EXPECT_STREQ(list.At(2).name, "M4");
    EXPECT_STREQ(list.At(0).path, "GameData/Items/a.idf");
    list.RemoveKind(4);
    EXPECT_EQ(list.Count(), 2u);
    EXPECT_EQ(list.Find("Flag"), nullptr);

    ItemDefinitionList client;
    EXPECT_EQ(LoadItemDefinitionFolder(client, true), 1);
    EXPECT_STREQ(client.At(0).name, "Server copy");

    WriteText("GameData/Items/d.idf", Definition("AK", 2));
    ItemDefinitionList twice;
    EXPECT_EQ(ErrorText([&] { LoadItemDefinitionFolder(twice, false); }), "Duplicate item name for item AK");
}
