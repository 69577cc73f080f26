#include <cmath>
#include <string>

#include "engine/core/RandomMT.h"
#include "engine/mesh/qMesh.h"
#include "items/ItemServices.h"
#include "items/WeaponItem.h"
#include "tests/items/body/ItemFixture.h"
#include "tests/support/ErrorText.h"
#include "tools/demodata/writers/TgaWriter.h"

namespace {

// A character the local human drives.
class HumanCharacter : public Character {
public:
    int GetController() override { return 0; }
};

// The common lines, then a weapon block with the given held model.
std::string WeaponText(const char* heldModel, const char* magazineCapacity = "30")
{
    return std::string("Rifle\nAn automatic rifle\n-\n3.5\n0.5\n4\n0\n0\nSMG\nRifle\n@ shot #\n@ shot #\n@ oops\nN/A\n") +
           "0.8\n0.9\n" + magazineCapacity + "\n1\n0.03\n6\n150\n300\n400\n0.1\n3\n1\n2\nBip01 R Hand\n" + heldModel +
           "\n25\n40\n500\nsmoke.par\nammo.tga\nauto.wav\ntail.wav\nreload.wav\nsingle.wav\ndraw.wav\n";
}

class WeaponItemTest : public ItemTest {
protected:
    // A weapon read from a definition written into the test's folder.
    void Read(WeaponItem& weapon, const std::string& text)
    {
        WriteFile("GameData/Items/test.idf", std::vector<std::uint8_t>(text.begin(), text.end()));
        ASSERT_TRUE(LoadItemDefinition("GameData/Items/test.idf", definition));
        weapon.ReadDefinition(definition);
    }

    ItemDefinition definition;
};

} // namespace

TEST_F(WeaponItemTest, ReadsTheWeaponBlockAndFindsTheMuzzle)
{
    std::filesystem::remove("GameData"); // the demo data's folder; this test writes its own
    std::filesystem::create_directories("GameData/Items");
    WriteFile("Models/muzzle.tga", WriteTga(TgaImage(4, 4, 0xFFFFFF00u), 24));
    Q3dObject gun;
    gun.materials.push_back(Q3dMaterial{});
    Q3dMaterial flash;
    flash.name = "Flash";
    flash.texture0 = "muzzle.tga";
    gun.materials.push_back(flash);
    AddQ3dBox(gun, 5, 5, 20, 0);
    AddQ3dBox(gun, 1, 1, 1, 1);
    WriteFile("Models/gun.q3d", WriteQ3dModel({gun}));

    WeaponItem weapon;
    Read(weapon, WeaponText("Models/gun.q3d"));
    EXPECT_EQ(weapon.category, CarriedItem::Weapon);
    EXPECT_FLOAT_EQ(weapon.aiAccuracyFactor, 0.8f);
    EXPECT_FLOAT_EQ(weapon.playerAccuracyFactor, 0.9f);
    EXPECT_EQ(weapon.magazineCapacity, 30);
    EXPECT_EQ(weapon.cartridges, 30);
    EXPECT_EQ(weapon.magazines, 4);
    EXPECT_EQ(weapon.maxMagazines, 6);
    EXPECT_FLOAT_EQ(weapon.spread, 0.03f);
    EXPECT_FLOAT_EQ(weapon.range, 300.0f);
    EXPECT_EQ(weapon.noise, 400);
    EXPECT_EQ(weapon.burstLength, 3);
    EXPECT_EQ(weapon.skillIndex, 2);
    EXPECT_STREQ(weapon.boneName, "Bip01 R Hand");
    EXPECT_FLOAT_EQ(weapon.damage, 25.0f);
    EXPECT_FLOAT_EQ(weapon.bulletValue2, 40.0f);
    EXPECT_EQ(weapon.resourcePath[6], "draw.wav");
    EXPECT_FLOAT_EQ(weapon.GetWeight(), 4 * 0.5f + 3.5f);
    ASSERT_NE(weapon.GetHeldModel(), nullptr);
    EXPECT_TRUE(weapon.hasMuzzle);
    EXPECT_NEAR(std::fabs(weapon.muzzlePoint.x), 0.1f, 1e-4f); // a corner of the small box, at a tenth

    WeaponItem plain;
    Read(plain, WeaponText("None"));
    EXPECT_EQ(plain.GetHeldModel(), nullptr);
    EXPECT_FALSE(plain.hasMuzzle);

    // A block cut short reads its missing lines as empty or 0.
    WeaponItem cut;
    Read(cut, WeaponText("None").substr(0, WeaponText("None").find("0.03")));
    EXPECT_EQ(cut.magazineCapacity, 30);
    EXPECT_FLOAT_EQ(cut.spread, 0.0f);
    EXPECT_EQ(cut.resourcePath[0], "");

    std::filesystem::remove("GameData/Items/test.idf");
    WeaponItem lost;
    EXPECT_EQ(ErrorText([&] { lost.ReadDefinition(definition); }), "Can't load GameData/Items/test.idf!");
}

TEST_F(WeaponItemTest, MagazinesReloadAndRating)
{
    WeaponItem weapon;
    weapon.maxMagazines = 6;
    weapon.magazineCapacity = 30;
    weapon.SetMagazines(10);
    EXPECT_EQ(weapon.magazines, 6);
    weapon.cartridges = 3;
    weapon.Reload();
    EXPECT_EQ(weapon.cartridges, 30);
    EXPECT_EQ(weapon.magazines, 5);
    weapon.SetMagazines(0);
    weapon.cartridges = 1;
    weapon.Reload();
    EXPECT_EQ(weapon.cartridges, 1);
    EXPECT_EQ(weapon.magazines, 0);

    weapon.range = 100.0f;
    weapon.targetRating = 500.0f;
    EXPECT_FLOAT_EQ(weapon.GetTargetRating(nullptr, nullptr, 99.0f * 99.0f), 500.0f);
    EXPECT_FLOAT_EQ(weapon.GetTargetRating(nullptr, nullptr, 100.0f * 100.0f), 0.0f);
    EXPECT_EQ(weapon.GetDropMagazines(), 1);
}

TEST_F(WeaponItemTest, SpreadFollowsTheHumanOwnersPosture)
{
    HumanCharacter human;
    human.LoadAnimationInfo();
    Character computer;
    computer.LoadAnimationInfo();
    WeaponItem weapon;
    struct Case {
        Character* owner;
        int posture;
        float spread;
        float expected;
    } cases[] = {
        {&human, Character::Prone, 0.03f, 0.015f},      {&human, Character::Prone, 0.01f, 0.0075f},
        {&human, Character::Crouching, 0.01f, 0.0085f}, {&human, Character::Standing, 0.01f, 0.01f},
        {&computer, Character::Prone, 0.03f, 0.03f},    {nullptr, Character::Prone, 0.03f, 0.03f},
    };
    for (const Case& c : cases) {
        weapon.owner = c.owner;
        if (c.owner)
            c.owner->SetPostureValue(c.posture);
        weapon.spread = c.spread;
        EXPECT_FLOAT_EQ(weapon.GetSpread(), c.expected);
    }
    weapon.owner = nullptr;
}

TEST_F(WeaponItemTest, DeviationStaysInsideItsConeOverSeededShots)
{
    Character computer;
    computer.LoadAnimationInfo();
    computer.SetPosition(0, 0, 0);
    computer.Update(0.0f);
    WeaponItem weapon;
    weapon.owner = &computer;
    weapon.aiAccuracyFactor = 1.0f;
    seedMT(99);

    // A steady computer-driven owner of full skill does not deviate at all.
    ShotRay ray;
    computer.SetSteadiness(1.0f);
    weapon.ApplyDeviation(ray, 1.0f);
    Matrix3 aim;
    aim.FromMatrix4(computer.GetAimNode().world);
    const Vector3 forward(aim(2, 0), aim(2, 1), aim(2, 2));
    EXPECT_NEAR((ray.direction - forward).Length(), 0.0f, 1e-5f);

    // Skill 0: d = 1, the deviation spreads evenly up to 0.0714 rad each way.
    const int shots = 4000;
    double sum = 0.0, sumSquares = 0.0, largest = 0.0;
    for (int i = 0; i < shots; ++i) {
        weapon.ApplyDeviation(ray, 0.0f);
        const double angle = std::acos(std::clamp(double(ray.direction.Dot(forward)), -1.0, 1.0));
        const double sideways = ray.direction.Dot(Vector3(aim(0, 0), aim(0, 1), aim(0, 2)));
        sum += sideways;
        sumSquares += sideways * sideways;
        largest = std::max(largest, angle);
    }
    const double mean = sum / shots;
    const double deviation = std::sqrt(sumSquares / shots - mean * mean);
    EXPECT_NEAR(mean, 0.0, 0.003);
    // Uniform over +-0.0714: standard deviation 0.0714 / sqrt(3).
    EXPECT_NEAR(deviation, 0.0714 / std::sqrt(3.0), 0.003);
    EXPECT_LE(largest, 0.0714 * std::sqrt(2.0) + 1e-4);
    EXPECT_GT(largest, 0.08);
    weapon.owner = nullptr;
}

TEST_F(WeaponItemTest, BlockGoldenBytesAndRoundTrip)
{
    WeaponItem weapon;
    weapon.cartridges = 17;
    weapon.magazines = 3;
    weapon.magazineCapacity = 30;
    weapon.ownerSkill = 0.75f;
    weapon.flashVisible = true;
    std::vector<std::uint8_t> buffer(256);
    SaveStream stream = SaveStream::OnMemory(buffer.data(), 256);
    weapon.Save(&stream);
    ASSERT_EQ(stream.position, Item::kBlockSize + WeaponItem::kBlockSize);
    buffer.resize(stream.position);
    Bytes tail;
    tail.u8(1).u8(1).u8(1).i32(17).i32(3).i32(30).f32(0.75f);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin() + Item::kBlockSize, buffer.end()), tail.data);

    WeaponItem copy;
    SaveStream in = SaveStream::OnMemory(buffer.data(), std::uint32_t(buffer.size()));
    copy.Load(&in);
    EXPECT_EQ(copy.cartridges, 17);
    EXPECT_EQ(copy.magazines, 3);
    EXPECT_EQ(copy.magazineCapacity, 30);
    EXPECT_FLOAT_EQ(copy.ownerSkill, 0.75f);
    EXPECT_TRUE(copy.flashVisible);

    // Damaged counts are refused and leave the weapon as it was; -1 magazines is unlimited.
    const std::size_t at = Item::kBlockSize + 3;
    const auto patched = [&](std::size_t offset, const std::vector<std::uint8_t>& bytes) {
        std::vector<std::uint8_t> copyOf = buffer;
        std::copy(bytes.begin(), bytes.end(), copyOf.begin() + std::ptrdiff_t(offset));
        return copyOf;
    };
    const std::vector<std::uint8_t> minusOne = {0xFF, 0xFF, 0xFF, 0xFF}, nan = {0x00, 0x00, 0xC0, 0x7F};
    const struct {
        std::size_t offset;
        std::vector<std::uint8_t> bytes;
        const char* error;
    } damages[] = {
        {at, minusOne, "Incorrect values in WeaponItem block"},
        {at + 8, minusOne, "Incorrect values in WeaponItem block"},
        {at + 12, nan, "the owner's skill at offset"},
    };
    for (const auto& [offset, bytes, error] : damages) {
        std::vector<std::uint8_t> hostile = patched(offset, bytes);
        SaveStream damaged = SaveStream::OnMemory(hostile.data(), std::uint32_t(hostile.size()));
        EXPECT_NE(ErrorText([&] { copy.Load(&damaged); }).find(error), std::string::npos) << offset;
        EXPECT_EQ(copy.cartridges, 17);
        EXPECT_EQ(copy.magazineCapacity, 30);
    }
    std::vector<std::uint8_t> unlimited = patched(at + 4, minusOne);
    SaveStream endless = SaveStream::OnMemory(unlimited.data(), std::uint32_t(unlimited.size()));
    copy.Load(&endless);
    EXPECT_EQ(copy.magazines, -1);

    buffer[Item::kBlockSize] = 7;
    SaveStream bad = SaveStream::OnMemory(buffer.data(), std::uint32_t(buffer.size()));
    EXPECT_EQ(ErrorText([&] { copy.Load(&bad); }), "Incorrection version number in WeaponItem block");
}

// Whatever counts a definition holds, the weapon it makes saves a block that loads back.
TEST_F(WeaponItemTest, AWeaponFromAHostileDefinitionLoadsItsOwnBlock)
{
    struct Case {
        const char* capacity;
        const char* unitCount;
        std::int32_t cartridges, magazines;
    };
    const Case cases[] = {
        {"-5", "4", 0, 4},
        {"2000000000", "4", kMaxDefinitionCount, 4},
        {"30", "-9", 30, -1},
        {"30", "99999999999", 30, kMaxDefinitionCount},
    };
    std::filesystem::remove("GameData"); // the demo data's folder; this test writes its own
    std::filesystem::create_directories("GameData/Items");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.capacity) + " " + c.unitCount);
        std::string text = WeaponText("none", c.capacity);
        text.replace(text.find("\n4\n0\n0\nSMG"), 2, std::string("\n") + c.unitCount);
        WeaponItem weapon;
        Read(weapon, text);
        EXPECT_EQ(weapon.cartridges, c.cartridges);
        EXPECT_EQ(weapon.magazines, c.magazines);
        std::vector<std::uint8_t> buffer(256);
        SaveStream out = SaveStream::OnMemory(buffer.data(), 256);
        weapon.Save(&out);
        WeaponItem copy;
        SaveStream in = SaveStream::OnMemory(buffer.data(), out.position);
        EXPECT_EQ(ErrorText([&] { copy.Load(&in); }), "");
        EXPECT_EQ(copy.magazineCapacity, weapon.magazineCapacity);
        EXPECT_EQ(copy.magazines, weapon.magazines);
    }
}
