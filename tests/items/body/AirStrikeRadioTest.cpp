// The demo radio on the demo map: its definition reads, its count runs out, a strike flies its
// pattern and only its first bomb deals the damage.
#include <memory>
#include <vector>

#include "engine/core/RandomMT.h"
#include "items/events/AirStrike.h"
#include "items/events/AirStrikeItem.h"
#include "items/events/ScheduledEvent.h"
#include "tests/items/body/DemoMapItemFixture.h"

namespace {

class AirStrikeRadioTest : public DemoMapItemTest {
protected:
    struct Blast {
        Vector3 centre;
        int damage;
        float radius;
    };
    struct StrikeItems : FakeItems {
        using FakeItems::FakeItems;
        void ApplyExplosion(const Vector3& centre, int damage, float radius, Character*, bool, std::uint16_t,
                            const Vector3&, float) override
        {
            blasts.push_back({centre, damage, radius});
        }
        std::vector<Blast> blasts;
    };
    StrikeItems strikeItems{*this};
    std::optional<RunningLevel> strikeLevel;

    void SetUp() override
    {
        DemoMapItemTest::SetUp();
        strikeLevel.emplace(RunningLevel::Services{.items = &strikeItems});
        ScheduledEventList::DeleteAll();
    }
    void TearDown() override
    {
        ScheduledEventList::DeleteAll();
        strikeLevel.reset();
        DemoMapItemTest::TearDown();
    }
};

TEST_F(AirStrikeRadioTest, TheDemoRadioReadsItsDefinitionAndRefusesTheThirdStrike)
{
    Character& caller = Place(world->GetCornerPosition(32, 32));
    auto* radio = dynamic_cast<AirStrikeItem*>(
        CreateItemFromDefinition(definitions.Find("Air Strike Radio"), "Air Strike Radio"));
    ASSERT_NE(radio, nullptr);
    EXPECT_EQ(radio->strikesLeft, 2);
    EXPECT_EQ(radio->lines.bombCount, 5);
    EXPECT_EQ(radio->lines.pattern, 0);
    EXPECT_EQ(radio->lines.explosionSounds.size(), 2u);
    caller.PickUpItem(radio, true);
    caller.SelectItem(radio);

    seedMT(1);
    for (int strike = 0; strike < 2; ++strike) {
        EXPECT_TRUE(radio->CallStrike()) << strike;
        EXPECT_EQ(ScheduledEventList::Count(), 1);
        ScheduledEventList::DeleteAll();
    }
    EXPECT_FALSE(radio->CallStrike());
    EXPECT_EQ(ScheduledEventList::Count(), 0);
    EXPECT_EQ(radio->strikesLeft, 0);
}

TEST_F(AirStrikeRadioTest, TheStrikeFliesAcrossTheMapAndOnlyTheFirstBombHurts)
{
    Character& caller = Place(world->GetCornerPosition(32, 32));
    auto* radio = dynamic_cast<AirStrikeItem*>(
        CreateItemFromDefinition(definitions.Find("Air Strike Radio"), "Air Strike Radio"));
    ASSERT_NE(radio, nullptr);
    caller.PickUpItem(radio, true);
    const Vector3 target = caller.position + Vector3(0.0f, 0.0f, 50.0f);
    const AirStrikeOrder order = radio->BuildOrder(target, caller.position, Vector3(0.0f, 0.0f, 1.0f),
                                                   float(world->width) * world->cellSize, 0);
    EXPECT_GT(order.flightEnd.z - order.flightStart.z, float(world->width) * world->cellSize * 2.0f);
    EXPECT_FLOAT_EQ(order.flightStart.y, std::max(target.y, caller.position.y) + 120.0f);

    AirStrike::Create(order);
    int frames = 0;
    while (ScheduledEventList::Count() > 0 && frames < 2000) {
        ScheduledEventList::UpdateAll(1.0f / 60.0f);
        ++frames;
    }
    EXPECT_EQ(ScheduledEventList::Count(), 0);
    ASSERT_EQ(strikeItems.blasts.size(), 1u);
    EXPECT_EQ(strikeItems.blasts[0].damage, 400);
    EXPECT_FLOAT_EQ(strikeItems.blasts[0].radius, 60.0f);
    EXPECT_FLOAT_EQ(strikeItems.blasts[0].centre.z, target.z);
    // 4 s of approach and 8 s of flight, then the last bomb's sound (none without a device).
    EXPECT_NEAR(float(frames) / 60.0f, 12.0f, 0.1f);
}

} // namespace
