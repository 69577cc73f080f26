#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "characters/level/RunningLevel.h"
#include "engine/core/RandomMT.h"
#include "items/ItemFactory.h"
#include "items/ItemServices.h"
#include "items/KnifeItem.h"
#include "items/NoLevelItems.h"
#include "items/projectiles/KnifeStab.h"
#include "tests/items/body/ItemFixture.h"

namespace {

class KnifeTest : public ItemTest {
protected:
    // The level's item services as the cases see them.
    struct FakeItems : NoLevelItems {
        explicit FakeItems(KnifeTest& test) : test(test) {}
        bool HasSkillMastery(int, int skill) override { return skill == 5 && test.mastery; }
        int LocalSquadIndex(Character*) override { return 0; }
        void Count(int counter, int) override { ++test.counters[counter]; }
        KnifeTest& test;
    };
    FakeItems items{*this};
    std::optional<RunningLevel> level;

    void SetUp() override
    {
        ItemTest::SetUp();
        levelFake.characters = &everyone;
        level.emplace(RunningLevel::Services{.items = &items});
        attacker = Add(Vector3(0, 0, 0));
    }
    void TearDown() override
    {
        attacker->DeleteInventory();
        people.clear();
        everyone.clear();
        level.reset();
        ItemTest::TearDown();
    }

    Character* Add(const Vector3& at)
    {
        people.push_back(std::make_unique<Character>());
        Character* c = people.back().get();
        c->LoadAnimationInfo();
        c->position = at;
        everyone.push_back(c);
        return c;
    }

    // A victim at the distance and angle (degrees off the attacker's facing, +z).
    Character* At(float distance, float degrees)
    {
        const float a = degrees * 3.14159265f / 180.0f;
        return Add(Vector3(std::sin(a) * distance, 0, std::cos(a) * distance));
    }

    std::vector<std::unique_ptr<Character>> people;
    std::vector<Character*> everyone;
    Character* attacker = nullptr;
    bool mastery = false;
    int counters[6] = {};
};

} // namespace

TEST_F(KnifeTest, StabHitsTheConeWithinReach)
{
    Character* inside = At(4.0f, 29.0f);
    Character* outside = At(4.0f, 30.0f);
    Character* far = At(5.3f, 0.0f);
    Character* behind = At(2.0f, 180.0f);
    for (Character* c : {inside, outside, far, behind})
        c->alerted = true;
    seedMT(3);
    KnifeStab stab(Vector3(), Vector3(0, 0, 1), 5.0f, attacker, 10.0f, 20.0f);
    EXPECT_EQ(stab.victims, 1);
    EXPECT_LT(inside->health, 100);
    EXPECT_GE(100 - inside->health, 10);
    EXPECT_LE(100 - inside->health, 19);
    for (Character* c : {outside, far, behind})
        EXPECT_EQ(c->health, 100);
    EXPECT_FALSE(stab.IsActive());

    // Knife mastery lengthens the reach to the root of r x r + 4.
    attacker->kind = Character::SquadKind;
    mastery = true;
    KnifeStab masterStab(Vector3(), Vector3(0, 0, 1), 5.0f, attacker, 10.0f, 20.0f);
    EXPECT_LT(far->health, 100);
    EXPECT_GT(counters[4], 0);
}

TEST_F(KnifeTest, UnawareVictimDiesAndAnEmptyRangeGivesItsLowValue)
{
    Character* unaware = At(3.0f, 0.0f);
    KnifeStab stab(Vector3(), Vector3(0, 0, 1), 5.0f, attacker, 10.0f, 20.0f);
    EXPECT_LE(unaware->health, 0);

    Character* alert = At(3.0f, 10.0f);
    alert->alerted = true;
    KnifeStab empty(Vector3(), Vector3(0, 0, 1), 5.0f, attacker, 12.0f, 12.0f);
    EXPECT_EQ(alert->health, 88);
    KnifeStab reversed(Vector3(), Vector3(0, 0, 1), 5.0f, attacker, 12.0f, 8.0f);
    EXPECT_EQ(alert->health, 76);
}

TEST_F(KnifeTest, KnifeFromItsDefinitionStabsOnce)
{
    const std::string text = "Knife\nA knife\n-\n0.5\n0\n0\n1\n0\nMelee\nUnarmed\n@\n@\n@\nN/A\n"
                             "1\n1\n0\n1\n0\n0\n5\n5\n50\n0.6\n1\n0\n0\nBip01 R Hand\nnone\n10\n20\n50\n";
    std::filesystem::create_directories("Defs");
    WriteFile("Defs/knife.idf", std::vector<std::uint8_t>(text.begin(), text.end()));
    ItemDefinition definition;
    ASSERT_TRUE(LoadItemDefinition("Defs/knife.idf", definition));
    auto* knife = dynamic_cast<KnifeItem*>(CreateItemFromDefinition(&definition, "Knife"));
    ASSERT_NE(knife, nullptr);
    EXPECT_TRUE(knife->IsMelee());
    EXPECT_FLOAT_EQ(knife->GetSuitability(3, 1.0f), 1.0f);
    EXPECT_FLOAT_EQ(knife->GetSuitability(1, 1.0f), -0.002f);
    attacker->PickUpItem(knife, true);
    attacker->SelectItem(knife);
    Character* victim = At(3.0f, 0.0f);
    victim->alerted = true;
    ASSERT_TRUE(knife->BeginUse(false));
    EXPECT_LT(victim->health, 100);
    EXPECT_EQ(knife->noiseLevel, 0);
    knife->UpdateTransform(0.02f);
    EXPECT_EQ(knife->noiseLevel, knife->noise);
    knife->UpdateTransform(0.02f);
    EXPECT_FALSE(knife->IsInUse()); // the stab is over: the knife may stab again
    EXPECT_TRUE(knife->BeginUse(false));
}
