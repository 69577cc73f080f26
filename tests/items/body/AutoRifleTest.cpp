#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "characters/level/NetworkSession.h"
#include "characters/level/RunningLevel.h"
#include "items/AutoRifleItem.h"
#include "items/ItemFactory.h"
#include "items/ItemServices.h"
#include "items/NoLevelItems.h"
#include "items/projectiles/Bullet.h"
#include "tests/items/body/ItemFixture.h"
#include "tests/support/ErrorText.h"

namespace {

// An automatic rifle's definition: magazine, burst, interval and spare magazines as given; no
// models, pictures or sounds.
std::string RifleText(const char* keyword, int capacity, int burst, float interval, int magazines)
{
    return "Rifle\nAn automatic rifle\n-\n3.5\n0.5\n" + std::to_string(magazines) + "\n0\n0\n" + keyword +
           "\nRifle\n@ shot #\n@ shot #\n@ oops\nN/A\n1\n1\n" + std::to_string(capacity) + "\n1\n0.01\n6\n150\n300\n" +
           "400\n" + std::to_string(interval) + "\n" + std::to_string(burst) + "\n1\n2\nBip01 R Hand\nnone\n25\n40\n500\n";
}

class AutoRifleTest : public ItemTest {
protected:
    // The level's item services as the cases see them.
    struct FakeItems : NoLevelItems {
        explicit FakeItems(AutoRifleTest& test) : test(test) {}
        void AddProjectile(Bullet* bullet) override
        {
            ++test.shots;
            delete bullet;
        }
        AutoRifleTest& test;
    };
    FakeItems items{*this};
    std::optional<RunningLevel> level;

    void SetUp() override
    {
        ItemTest::SetUp();
        level.emplace(RunningLevel::Services{.items = &items});
        soldier = std::make_unique<Character>();
        soldier->LoadAnimationInfo();
    }
    void TearDown() override
    {
        if (soldier)
            soldier->DeleteInventory();
        soldier.reset();
        level.reset();
        ItemTest::TearDown();
    }

    const ItemDefinition& Define(const std::string& text)
    {
        std::filesystem::create_directories("Defs");
        WriteFile("Defs/rifle.idf", std::vector<std::uint8_t>(text.begin(), text.end()));
        EXPECT_TRUE(LoadItemDefinition("Defs/rifle.idf", definition));
        return definition;
    }

    // A rifle in the soldier's hands, ready to fire.
    AutoRifleItem& Arm(int capacity, int burst, float interval, int magazines)
    {
        auto* rifle = new AutoRifleItem(Define(RifleText("SMG", capacity, burst, interval, magazines)));
        soldier->PickUpItem(rifle, true);
        soldier->SelectItem(rifle);
        rifle->timeSinceShot = 1.0f;
        return *rifle;
    }

    // Frames of 1/60 s; the frames on which a shot was fired.
    std::vector<int> Run(AutoRifleItem& rifle, int frames)
    {
        std::vector<int> fired;
        for (int frame = 0; frame < frames; ++frame) {
            const int before = shots;
            rifle.UpdateTransform(1.0f / 60.0f);
            if (shots != before)
                fired.push_back(frame);
        }
        return fired;
    }

    ItemDefinition definition;
    std::unique_ptr<Character> soldier;
    int shots = 0;
};

} // namespace

TEST_F(AutoRifleTest, BurstFiresItsLengthOnEverySeventhFrameThenEnds)
{
    AutoRifleItem& rifle = Arm(30, 3, 0.1f, 2);
    ASSERT_TRUE(rifle.BeginUse(false));
    std::vector<int> fired = Run(rifle, 2);
    EXPECT_EQ(rifle.noiseLevel, rifle.noise); // heard while the trigger is held
    for (int frame : Run(rifle, 58))
        fired.push_back(frame + 2);
    ASSERT_EQ(fired.size(), 3u);
    EXPECT_EQ(fired[1] - fired[0], 7);
    EXPECT_EQ(fired[2] - fired[1], 7);
    EXPECT_FALSE(rifle.IsInUse());
    EXPECT_EQ(rifle.cartridges, 27);
    EXPECT_EQ(rifle.noiseLevel, 0); // half a second after the last shot
}

TEST_F(AutoRifleTest, FullAutomaticEmptiesTheMagazineAndAComputerOwnerReloads)
{
    AutoRifleItem& rifle = Arm(5, -1, 0.05f, 2);
    ASSERT_TRUE(rifle.BeginUse(false));
    Run(rifle, 120);
    EXPECT_EQ(shots, 5);
    EXPECT_FALSE(rifle.IsInUse());
    EXPECT_EQ(rifle.cartridges, 5);
    EXPECT_EQ(rifle.magazines, 1);
    // Without cartridges the trigger refuses.
    rifle.cartridges = 0;
    rifle.timeSinceShot = 1.0f;
    EXPECT_FALSE(rifle.BeginUse(false));
}

TEST_F(AutoRifleTest, ReloadRules)
{
    AutoRifleItem& rifle = Arm(30, 3, 0.1f, 2);
    EXPECT_FALSE(rifle.StartReload()); // magazine full
    EXPECT_EQ(rifle.magazines, 2);
    rifle.cartridges = 4;
    rifle.magazines = -1; // unlimited supply
    EXPECT_TRUE(rifle.StartReload());
    EXPECT_EQ(rifle.cartridges, 30);
    EXPECT_EQ(rifle.magazines, -1);
    rifle.reloading = false;
    rifle.cartridges = 4;
    rifle.magazines = 0;
    EXPECT_FALSE(rifle.StartReload());
    EXPECT_EQ(rifle.cartridges, 4);
}

TEST_F(AutoRifleTest, ANewRifleFiresAtOnceButNotInTheFrameItsReloadWasAskedFor)
{
    auto* rifle = new AutoRifleItem(Define(RifleText("SMG", 30, 3, 0.1f, 2)));
    soldier->PickUpItem(rifle, true);
    soldier->SelectItem(rifle);
    EXPECT_TRUE(rifle->BeginUse(false)); // no fire interval to wait out after taking it up
    rifle->EndUse();

    // The reload animation is asked for now and starts with the body's next update: until it has
    // played, the rifle is reloading and its trigger refuses.
    rifle->cartridges = 10;
    ASSERT_TRUE(rifle->StartReload());
    rifle->UpdateTransform(1.0f / 60.0f);
    EXPECT_TRUE(rifle->IsReloading());
    rifle->timeSinceShot = 1.0f;
    EXPECT_FALSE(rifle->BeginUse(false));
}

TEST_F(AutoRifleTest, SingleShotFiresOnceAndEndsTheUseNextFrame)
{
    AutoRifleItem& rifle = Arm(30, -1, 0.1f, 2);
    ASSERT_TRUE(rifle.UseSecondary());
    EXPECT_EQ(shots, 1);
    EXPECT_TRUE(rifle.IsInUse());
    Run(rifle, 10);
    EXPECT_EQ(shots, 1);
    EXPECT_FALSE(rifle.IsInUse());
    EXPECT_EQ(rifle.cartridges, 29);
}

TEST_F(AutoRifleTest, SuitabilityByDistanceAndAmmunition)
{
    AutoRifleItem& rifle = Arm(30, 3, 0.1f, 2);
    EXPECT_FLOAT_EQ(rifle.GetSuitability(1, 50.0f), 1.0f);
    EXPECT_NEAR(rifle.GetSuitability(1, 120.0f), 0.2f, 1e-5f);
    EXPECT_FLOAT_EQ(rifle.GetSuitability(2, 50.0f), 0.0f);
    EXPECT_FLOAT_EQ(rifle.GetSuitability(1, 151.0f), 0.0f);
    rifle.cartridges = 3;
    rifle.magazines = 0;
    EXPECT_NEAR(rifle.GetSuitability(1, 120.0f), 0.2f * 0.75f * 0.75f, 1e-5f);
}

TEST_F(AutoRifleTest, BlockGoldenBytesAndRoundTrip)
{
    AutoRifleItem& rifle = Arm(30, 3, 0.1f, 2);
    rifle.timeSinceShot = 0.25f;
    rifle.tracerCounter = 2;
    std::vector<std::uint8_t> buffer(256);
    SaveStream out = SaveStream::OnMemory(buffer.data(), 256);
    rifle.Save(&out);
    ASSERT_EQ(out.position, Item::kBlockSize + WeaponItem::kBlockSize + AutoRifleItem::kBlockSize);
    buffer.resize(out.position);
    Bytes tail;
    tail.u8(1).f32(0.25f);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer.end() - 5, buffer.end()), tail.data);

    AutoRifleItem copy(definition);
    SaveStream in = SaveStream::OnMemory(buffer.data(), std::uint32_t(buffer.size()));
    copy.Load(&in);
    EXPECT_FLOAT_EQ(copy.timeSinceShot, 0.25f);
    EXPECT_EQ(copy.tracerCounter, 0);
    buffer[buffer.size() - 5] = 2;
    SaveStream bad = SaveStream::OnMemory(buffer.data(), std::uint32_t(buffer.size()));
    EXPECT_EQ(ErrorText([&] { copy.Load(&bad); }), "Incorrection version number in AutoRifleItem block");
}

// The rifle's own fields and the launcher's grenades go through the stream's checked reads: a
// damaged tail is refused with the field's name and the weapon keeps what it had.
TEST_F(AutoRifleTest, DamagedRifleAndLauncherTailsAreRefused)
{
    Define(RifleText("SMG-Gren", 30, 3, 0.1f, 2));
    MachinegunGrenItem launcher(definition);
    launcher.timeSinceShot = 0.5f;
    launcher.grenades = 3;
    std::vector<std::uint8_t> buffer(256);
    SaveStream out = SaveStream::OnMemory(buffer.data(), 256);
    launcher.Save(&out);
    buffer.resize(out.position);
    const std::size_t timeAt = buffer.size() - 12, grenadesAt = buffer.size() - 4;
    const struct {
        const char* name;
        std::size_t offset;
        std::uint32_t value;
        const char* error;
    } cases[] = {
        {"time since the shot NaN", timeAt, 0x7FC00000u, "the time since the last shot at offset"},
        {"time since the shot infinite", timeAt, 0x7F800000u, "the time since the last shot at offset"},
        {"grenades -1", grenadesAt, 0xFFFFFFFFu, "the grenades -1 at offset"},
        {"grenades beyond any definition", grenadesAt, 2000000000u, "the grenades 2000000000 at offset"},
        {"as saved", grenadesAt, 3u, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> damaged = buffer;
        for (int i = 0; i < 4; ++i)
            damaged[c.offset + std::size_t(i)] = std::uint8_t(c.value >> (8 * i));
        MachinegunGrenItem copy(definition);
        copy.grenades = 4;
        SaveStream in = SaveStream::OnMemory(damaged.data(), std::uint32_t(damaged.size()));
        const std::string error = ErrorText([&] { copy.Load(&in); });
        if (!*c.error) {
            EXPECT_EQ(error, "");
            EXPECT_EQ(copy.grenades, 3);
            EXPECT_FLOAT_EQ(copy.timeSinceShot, 0.5f);
            continue;
        }
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
        EXPECT_EQ(copy.grenades, 4);
    }
}

TEST_F(AutoRifleTest, FactoryMakesTheClassOfTheKeyword)
{
    struct Case {
        const char* keyword;
        bool made;
        bool smg;
        bool lmg;
    } cases[] = {
        {"SMG", true, true, false}, {"LMG", true, false, true}, {"smg", false, false, false},
        {"mine field", false, false, false}, {"Sword", false, false, false}, {"SMG-Gren", true, true, false},
    };
    for (const Case& c : cases) {
        std::unique_ptr<Item> item(CreateItemFromDefinition(&Define(RifleText(c.keyword, 30, 3, 0.1f, 2)), "Rifle"));
        ASSERT_EQ(item != nullptr, c.made) << c.keyword;
        if (!item)
            continue;
        auto* weapon = dynamic_cast<WeaponItem*>(item.get());
        ASSERT_NE(weapon, nullptr);
        EXPECT_EQ(weapon->IsSMG(), c.smg);
        EXPECT_EQ(weapon->IsLMG(), c.lmg);
        EXPECT_TRUE(weapon->IsAutomatic());
        EXPECT_STREQ(item->name, "Rifle");
        EXPECT_STREQ(item->keyword, c.keyword);
    }
    EXPECT_EQ(CreateItemFromDefinition(nullptr, "Nothing"), nullptr);
}
