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
#include "items/PlainItems.h"
#include "tests/items/body/ItemFixture.h"
#include "tests/support/ErrorText.h"

namespace {

class PlainItemsTest : public ItemTest {
protected:
    // The level's item services as the cases see them.
    struct FakeItems : NoLevelItems {
        explicit FakeItems(PlainItemsTest& test) : test(test) {}
        Camera* MissionCamera() override { return test.camera.get(); }
        float Skill(Character*, int) override { return 1.0f; }
        Character* RayCastObjects(HitResult& hit, Character*, int) override
        {
            if (!test.mate)
                return nullptr;
            hit.distance = test.mateDistance;
            return test.mate.get();
        }
        void MarkLevelItemTaken(int id) override { test.taken.push_back(id); }
        PlainItemsTest& test;
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
        player = std::make_unique<Character>();
        levelFake.player = player.get();
        player->LoadAnimationInfo();
        player->kind = Character::SquadKind;
        sidearm = new TestItem("Pistol");
        player->PickUpItem(sidearm, true);
        player->SelectItem(sidearm);
    }
    void TearDown() override
    {
        player->DeleteInventory();
        player.reset();
        mate.reset();
        level.reset();
        camera.reset();
        ItemTest::TearDown();
    }

    Item* Make(const char* name, const char* keyword, const std::string& classLines)
    {
        const std::string text = std::string(name) + "\nText\n-\n1\n0\n0\n2\n0\n" + keyword + "\nUnarmed\n@\n@\n@\nN/A\n" +
                                 classLines;
        std::filesystem::create_directories("Defs");
        WriteFile("Defs/item.idf", std::vector<std::uint8_t>(text.begin(), text.end()));
        EXPECT_TRUE(LoadItemDefinition("Defs/item.idf", definition));
        return CreateItemFromDefinition(&definition, name);
    }

    ItemDefinition definition;
    std::unique_ptr<Camera> camera;
    std::unique_ptr<Character> player;
    std::unique_ptr<Character> mate;
    float mateDistance = 10.0f;
    TestItem* sidearm = nullptr;
    std::vector<int> taken;
};

} // namespace

TEST_F(PlainItemsTest, BinocularsZoomInEightStepsAndRestoreTheCamera)
{
    auto* glasses = dynamic_cast<BinocularsItem*>(Make("Binoculars", "Binoculars", "-\n60\n10\n"));
    ASSERT_NE(glasses, nullptr);
    EXPECT_FLOAT_EQ(glasses->zoom, 50.0f);
    EXPECT_TRUE(glasses->actionLock);
    player->PickUpItem(glasses, true);
    player->SelectItem(glasses);
    EXPECT_FLOAT_EQ(camera->GetNear(), 2.0f);
    EXPECT_NEAR(camera->GetFov(), std::atan2(0.5f, 1.0f), 1e-5f);
    for (int step = 0; step < 8; ++step)
        EXPECT_FALSE(glasses->OnSelectStep(0, 0, 0));
    EXPECT_FLOAT_EQ(glasses->zoom, 10.0f);
    glasses->OnSelectStep(0, 0, 0);
    EXPECT_FLOAT_EQ(glasses->zoom, 10.0f);
    for (int step = 0; step < 9; ++step)
        glasses->OnSelectStep(1, 0, 0);
    EXPECT_FLOAT_EQ(glasses->zoom, 60.0f);

    // Escape puts them away: the pistol is back in hand, the camera as it was.
    EXPECT_FALSE(glasses->OnKeyDown(27));
    EXPECT_EQ(player->GetHeldItem(), sidearm);
    EXPECT_FLOAT_EQ(camera->GetNear(), 0.5f);
    EXPECT_FLOAT_EQ(camera->GetFov(), 1.0f);
}

TEST_F(PlainItemsTest, FirstAidHealsTheMateInReachOnce)
{
    struct Case {
        float distance;
        int health;
        bool spent;
        int healed;
    } cases[] = {{30.0f, 50, true, 90}, {30.1f, 50, false, 50}, {10.0f, 100, false, 100}, {10.0f, 99, true, 100},
                 {10.0f, 0, false, 0}};
    for (const Case& c : cases) {
        mate = std::make_unique<Character>();
        mate->LoadAnimationInfo();
        mate->health = c.health;
        mateDistance = c.distance;
        auto* kit = dynamic_cast<FirstAidItem*>(Make("First Aid Kit", "FirstAid", "40\n\n"));
        ASSERT_NE(kit, nullptr);
        EXPECT_FLOAT_EQ(kit->healAmount, 40.0f);
        player->PickUpItem(kit, true);
        player->SelectItem(kit);
        EXPECT_EQ(kit->spent, c.spent) << c.distance << " " << c.health;
        EXPECT_EQ(mate->health, c.healed) << c.distance << " " << c.health;
        EXPECT_EQ(player->GetHeldItem(), sidearm);
        EXPECT_EQ(player->OwnsItem(kit), !c.spent); // a spent kit is dropped
        if (c.spent) {
            HitResult ray;
            EXPECT_FALSE(kit->IntersectRay(ray));
            delete kit;
        }
    }
    // Nothing in sight: the owner treats himself.
    mate.reset();
    player->health = 30;
    auto* kit = dynamic_cast<FirstAidItem*>(Make("First Aid Kit", "FirstAid", "40\n\n"));
    player->PickUpItem(kit, true);
    player->SelectItem(kit);
    EXPECT_EQ(player->health, 70);
    delete kit;
}

TEST_F(PlainItemsTest, MissionItemIsNeverHeldAndItsBlockNamesItsRecord)
{
    auto* intel = dynamic_cast<MissionItem*>(Make("Intel", "MissionItem", ""));
    ASSERT_NE(intel, nullptr);
    player->PickUpItem(intel, true);
    player->SelectItem(intel);
    EXPECT_EQ(player->GetHeldItem(), sidearm);
    intel->objectiveID = 7;
    std::vector<std::uint8_t> buffer(128);
    SaveStream out = SaveStream::OnMemory(buffer.data(), 128);
    intel->Save(&out);
    ASSERT_EQ(out.position, Item::kBlockSize + 5);
    buffer.resize(out.position);
    Bytes tail;
    tail.u8(1).i32(7);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer.end() - 5, buffer.end()), tail.data);
    MissionItem copy(definition);
    SaveStream in = SaveStream::OnMemory(buffer.data(), std::uint32_t(buffer.size()));
    copy.Load(&in);
    EXPECT_EQ(copy.objectiveID, 7);
    EXPECT_EQ(taken, std::vector<int>{7});
    buffer[Item::kBlockSize] = 0;
    SaveStream bad = SaveStream::OnMemory(buffer.data(), std::uint32_t(buffer.size()));
    EXPECT_EQ(ErrorText([&] { copy.Load(&bad); }), "Incorrection version number in MissionItem block");
}
