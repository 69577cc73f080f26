#include "items/WeaponDefinitionBlock.h"

#include "engine/filesystem/PackFile.h"
#include "tests/engine/filesystem/PackFileFixture.h"
#include "tests/support/ErrorText.h"
#include "tools/demodata/writers/ZipWriter.h"

#include <gtest/gtest.h>

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
