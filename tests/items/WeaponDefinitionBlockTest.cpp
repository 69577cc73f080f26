#include "items/WeaponDefinitionBlock.h"

#include "engine/filesystem/PackFile.h"
#include "tests/engine/filesystem/PackFileFixture.h"
#include "tests/support/ErrorText.h"
#include "tools/demodata/writers/ZipWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace {

const std::string kCommon = "AK\nRifle\n-\n4\n0.03\n90\n0\n0\nSMG\nRifle\n@ k #\n@ t #\n@ s\nN/A\n";

const std::string kWeapon =
    "0.8\n1.5\n30, cartridges in a magazine\n1\n0.01\n4\n120\n600\n350\n0.1\n-1\n0\n2\n"
    "Bip01 R Hand\nModels/ak_held.gltf\n35\n12\n7.5\n"
    "r0.wav\nr1.wav\nr2.wav\nr3.wav\nr4.wav\nr5.wav\nr6.wav\nAFTER\n";

TEST(WeaponDefinitionBlock, EveryLineFillsItsField)
{
    ItemDefinition d;
    std::string text = kCommon + kWeapon;
    ParseItemDefinition(text, "ak.idf", d);
    WeaponDefinitionBlock b;
    ParseWeaponDefinitionBlock(text, d.classDataOffset, b);
    EXPECT_FLOAT_EQ(b.aiAccuracyFactor, 0.8f);
    EXPECT_FLOAT_EQ(b.playerAccuracyFactor, 1.5f);
    EXPECT_EQ(b.magazineCapacity, 30);
    EXPECT_EQ(b.bulletsPerShot, 1);
    EXPECT_FLOAT_EQ(b.spread, 0.01f);
    EXPECT_EQ(b.maxMagazines, 4);
    EXPECT_FLOAT_EQ(b.effectiveRange, 120.0f);
    EXPECT_FLOAT_EQ(b.range, 600.0f);
    EXPECT_EQ(b.noise, 350);
    EXPECT_FLOAT_EQ(b.fireInterval, 0.1f);
    EXPECT_EQ(b.burstLength, -1);
    EXPECT_FALSE(b.singleShotAllowed);
    EXPECT_EQ(b.skillIndex, 2);
    EXPECT_STREQ(b.boneName, "Bip01 R Hand");
    EXPECT_EQ(b.heldModel, "Models/ak_held.gltf");
    EXPECT_TRUE(b.HasHeldModel());
    EXPECT_FLOAT_EQ(b.damage, 35.0f);
    EXPECT_FLOAT_EQ(b.bulletValue2, 12.0f);
    EXPECT_FLOAT_EQ(b.targetRating, 7.5f);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(b.resourcePath[i], "r" + std::to_string(i) + ".wav");
    EXPECT_EQ(text.substr(std::size_t(b.classDataEnd)), "AFTER\n");
}

// Definitions also come from servers: every count is bounded where it is read and numbers that
// are not finite read as 0.
TEST(WeaponDefinitionBlock, HostileNumbersAreBoundedWhereRead)
{
    struct Case {
        int line; // of the weapon block, from 1
        const char* text;
        std::int32_t WeaponDefinitionBlock::*count;
        std::int32_t expected;
    };
    const Case counts[] = {
        {4, "2000000000", &WeaponDefinitionBlock::bulletsPerShot, WeaponDefinitionBlock::kMaxBulletsPerShot},
        {4, "-3", &WeaponDefinitionBlock::bulletsPerShot, 0},
        {3, "-5", &WeaponDefinitionBlock::magazineCapacity, 0},
        {3, "99999999999999", &WeaponDefinitionBlock::magazineCapacity, kMaxDefinitionCount},
        {6, "-1", &WeaponDefinitionBlock::maxMagazines, 0},
        {9, "-2147483648", &WeaponDefinitionBlock::noise, 0},
        {11, "-7", &WeaponDefinitionBlock::burstLength, -1},
        {11, "-1", &WeaponDefinitionBlock::burstLength, -1},
        {13, "12", &WeaponDefinitionBlock::skillIndex, WeaponDefinitionBlock::kMaxSkillIndex},
    };
    const auto withLine = [](int line, const char* text) {
        std::string block = kWeapon;
        std::size_t start = 0;
        for (int i = 1; i < line; ++i)
            start = block.find('\n', start) + 1;
        block.replace(start, block.find('\n', start) - start, text);
        return kCommon + block;
    };
    for (const Case& c : counts) {
        SCOPED_TRACE(std::string("line ") + std::to_string(c.line) + ": " + c.text);
        WeaponDefinitionBlock b;
        ParseWeaponDefinitionBlock(withLine(c.line, c.text), std::int32_t(kCommon.size()), b, "x.idf");
        EXPECT_EQ(b.*(c.count), c.expected);
    }
    for (const char* text : {"nan", "inf", "-inf", "1e99"}) {
        SCOPED_TRACE(text);
        WeaponDefinitionBlock b;
        ParseWeaponDefinitionBlock(withLine(16, text), std::int32_t(kCommon.size()), b, "x.idf");
        EXPECT_EQ(b.damage, 0.0f);
        ParseWeaponDefinitionBlock(withLine(10, text), std::int32_t(kCommon.size()), b, "x.idf");
        EXPECT_EQ(b.fireInterval, 0.0f);
    }

    ItemDefinition d;
    ParseItemDefinition("AK\nRifle\n-\nnan\n1e39\n-40\n", "x.idf", d);
    EXPECT_EQ(d.baseWeight, 0.0f);
    EXPECT_EQ(d.unitWeight, 0.0f);
    EXPECT_EQ(d.unitCount, -1);
    EXPECT_TRUE(std::isfinite(d.totalWeight));
}

TEST(WeaponDefinitionBlock, ShortBlocksLongNamesAndBadOffsets)
{
    ItemDefinition d;
    std::string shortText = kCommon + "1\n1\n10\n1\n0.1\n3\n50\n100\n300\n0.5\n1\n1\n0\n" + std::string(100, 'B') + "\nNONE";
    ParseItemDefinition(shortText, "x.idf", d);
    WeaponDefinitionBlock b;
    ParseWeaponDefinitionBlock(shortText, d.classDataOffset, b);
    EXPECT_TRUE(b.singleShotAllowed);
    EXPECT_EQ(std::strlen(b.boneName), 31u); // cut to the field with its terminator
    EXPECT_EQ(b.heldModel, "NONE");
    EXPECT_FALSE(b.HasHeldModel());
    EXPECT_FLOAT_EQ(b.damage, 0.0f);
    EXPECT_EQ(b.resourcePath[6], "");
    EXPECT_EQ(b.classDataEnd, std::int32_t(shortText.size()));

    for (std::int32_t offset : {-7, 1 << 30}) {
        SCOPED_TRACE(offset);
        ParseWeaponDefinitionBlock(shortText, offset, b);
        EXPECT_EQ(b.magazineCapacity, 0);
        EXPECT_STREQ(b.boneName, "");
        EXPECT_EQ(b.classDataEnd, std::int32_t(shortText.size()));
    }

    WeaponDefinitionBlock n;
    ParseWeaponDefinitionBlock(kCommon + std::string(14, '\n') + "N/A\n", std::int32_t(kCommon.size()), n);
    EXPECT_FALSE(n.HasHeldModel());
}

class WeaponDefinitionFileTest : public PackFileTest {};

TEST_F(WeaponDefinitionFileTest, BlockReadsFromAnArchiveMemberAndAMissingFileIsAnError)
{
    ZipWriter zip;
    zip.Add("ak.idf", std::string_view(kCommon + kWeapon), ZipWriter::Method::Deflated);
    WriteBytes("Items.qa", zip.Finish());

    ItemDefinition d;
    ASSERT_TRUE(LoadItemDefinition("Items/ak.idf", d));
    WeaponDefinitionBlock b;
    ReadWeaponDefinitionBlock(d, b);
    EXPECT_EQ(b.magazineCapacity, 30);
    EXPECT_EQ(b.resourcePath[6], "r6.wav");

    std::strcpy(d.path, "Items/gone.idf");
    EXPECT_EQ(ErrorText([&] { ReadWeaponDefinitionBlock(d, b); }), "Can't load Items/gone.idf!");
}

} // namespace
