#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "characters/level/RunningLevel.h"
#include "engine/camera/Camera.h"
#include "items/ItemFactory.h"
#include "items/ItemServices.h"
#include "items/NoLevelItems.h"
#include "items/ScopedRifleItem.h"
#include "items/projectiles/Bullet.h"
#include "tests/items/body/ItemFixture.h"
#include "tests/support/ErrorText.h"
#include "world/World.h"

namespace {

class ScopedRifleTest : public ItemTest {
protected:
    // The level's item services as the cases see them.
    struct FakeItems : NoLevelItems {
        explicit FakeItems(ScopedRifleTest& test) : test(test) {}
        Camera* MissionCamera() override { return test.camera.get(); }
        void AddProjectile(Bullet* b) override
        {
            ++test.shots;
            delete b;
        }
        bool NightVision() override { return test.night; }
        void SetNightVision(bool on) override { test.night = on; }
        ScopedRifleTest& test;
    };
    FakeItems items{*this};
    std::optional<RunningLevel> level;

    void SetUp() override
    {
        ItemTest::SetUp();
        camera = std::make_unique<Camera>(device);
        camera->SetFov(1.0f);
        camera->SetNear(0.5f);
        level.emplace(RunningLevel::Services{.items = &items});
        soldier = std::make_unique<Character>();
        soldier->LoadAnimationInfo();
        localPlayer = soldier.get();
    }
    void TearDown() override
    {
        soldier->DeleteInventory();
        soldier.reset();
        level.reset();
        camera.reset();
        ItemTest::TearDown();
    }

    ScopedRifleItem* Arm(const char* scope, const char* nightVision)
    {
        const std::string text = std::string("Sniper\nA rifle\n-\n4\n0.1\n2\n0\n0\nSingleShot\nRifle\n@\n@\n@\nN/A\n") +
                                 "1\n1\n5\n1\n0.002\n6\n400\n800\n600\n1.2\n1\n" + scope +
                                 "\n6\nBip01 R Hand\nnone\n60\n90\n700\n-\n-\n-\n-\n-\n-\n-\n40\n8\n" + nightVision + "\n";
        std::filesystem::create_directories("Defs");
        WriteFile("Defs/sniper.idf", std::vector<std::uint8_t>(text.begin(), text.end()));
        EXPECT_TRUE(LoadItemDefinition("Defs/sniper.idf", definition));
        auto* rifle = dynamic_cast<ScopedRifleItem*>(CreateItemFromDefinition(&definition, "Sniper"));
        EXPECT_NE(rifle, nullptr);
        soldier->PickUpItem(rifle, true);
        soldier->SelectItem(rifle);
        return rifle;
    }

    ItemDefinition definition;
    std::unique_ptr<Camera> camera;
    std::unique_ptr<Character> soldier;
    Character*& localPlayer = levelFake.player;
    bool night = false;
    int shots = 0;
};

} // namespace

TEST_F(ScopedRifleTest, ScopeZoomsInEightStepsAndEscapeLowersIt)
{
    ScopedRifleItem* rifle = Arm("1", "1");
    ASSERT_TRUE(rifle->HasScope());
    EXPECT_FLOAT_EQ(rifle->zoom, 32.0f);
    EXPECT_TRUE(rifle->OnSelectStep(0, 0, 0)); // not scoped: the step selects items
    rifle->ScopeUp();
    ASSERT_TRUE(rifle->scopeActive);
    EXPECT_EQ(LodSwitch, 0); // full-detail props while zoomed
    EXPECT_TRUE(night);
    EXPECT_TRUE(rifle->actionLock);
    EXPECT_FLOAT_EQ(camera->GetNear(), 2.0f);
    for (int i = 0; i < 8; ++i)
        rifle->OnSelectStep(0, 0, 0);
    EXPECT_FLOAT_EQ(rifle->zoom, 8.0f);
    for (int i = 0; i < 8; ++i)
        EXPECT_FALSE(rifle->OnSelectStep(1, 0, 0));
    EXPECT_FLOAT_EQ(rifle->zoom, 40.0f);
    rifle->OnSelectStep(1, 0, 0);
    EXPECT_FLOAT_EQ(rifle->zoom, 40.0f);
    EXPECT_NEAR(camera->GetFov(), std::atan2(0.4f, 1.0f), 1e-5f);

    EXPECT_FALSE(rifle->OnKeyDown(27));
    EXPECT_FALSE(rifle->scopeActive);
    EXPECT_EQ(LodSwitch, 1);
    EXPECT_FALSE(night);
    EXPECT_FALSE(rifle->actionLock);
    EXPECT_FLOAT_EQ(camera->GetNear(), 0.5f);
    EXPECT_FLOAT_EQ(camera->GetFov(), 1.0f);
}

TEST_F(ScopedRifleTest, OnlyTheLocalPlayerKeepsTheScopeUp)
{
    ScopedRifleItem* rifle = Arm("1", "0");
    localPlayer = nullptr; // no local player: scope-up does nothing
    rifle->ScopeUp();
    EXPECT_FALSE(rifle->scopeActive);
    localPlayer = soldier.get();
    rifle->ScopeUp();
    ASSERT_TRUE(rifle->scopeActive);
    localPlayer = nullptr; // the soldier is no longer the local player's: down it comes
    rifle->UpdateTransform(0.02f);
    EXPECT_FALSE(rifle->scopeActive);

    ScopedRifleItem plain(definition);
    EXPECT_TRUE(plain.HasScope());
}

TEST_F(ScopedRifleTest, OneShotPerTriggerPullAndTheBlock)
{
    ScopedRifleItem* rifle = Arm("0", "0");
    EXPECT_FALSE(rifle->HasScope());
    ASSERT_TRUE(rifle->BeginUse(false));
    EXPECT_EQ(shots, 1);
    EXPECT_EQ(rifle->cartridges, 4);
    EXPECT_FALSE(rifle->BeginUse(false)); // still in use this frame
    rifle->UpdateTransform(0.02f);
    rifle->UpdateTransform(0.02f);
    EXPECT_FALSE(rifle->IsInUse());
    EXPECT_TRUE(rifle->BeginUse(false));
    EXPECT_EQ(shots, 2);

    std::vector<std::uint8_t> buffer(256);
    SaveStream out = SaveStream::OnMemory(buffer.data(), 256);
    rifle->Save(&out);
    ASSERT_EQ(out.position, Item::kBlockSize + WeaponItem::kBlockSize + ScopedRifleItem::kBlockSize);
    buffer.resize(out.position);
    Bytes tail;
    tail.u8(1).f32(rifle->timeSinceShot).u8(1);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer.end() - 6, buffer.end()), tail.data);
    ScopedRifleItem copy(definition);
    SaveStream in = SaveStream::OnMemory(buffer.data(), std::uint32_t(buffer.size()));
    copy.Load(&in);
    EXPECT_TRUE(copy.firedThisFrame);
    EXPECT_EQ(copy.cartridges, 3);
    buffer[buffer.size() - 6] = 9;
    SaveStream bad = SaveStream::OnMemory(buffer.data(), std::uint32_t(buffer.size()));
    EXPECT_EQ(ErrorText([&] { copy.Load(&bad); }), "Incorrection version number in ScopedRifleItem block");

    EXPECT_NEAR(rifle->GetSuitability(1, 200.0f), 0.5f, 1e-5f);
    EXPECT_NEAR(rifle->GetSuitability(0, 200.0f), 0.375f, 1e-5f);
    EXPECT_FLOAT_EQ(rifle->GetSuitability(1, 401.0f), 0.0f);
}
