#include <cmath>
#include <optional>
#include <string>

#include "characters/body/AnimationCache.h"
#include "characters/level/RunningLevel.h"
#include "tests/support/WorldStandIn.h"
#include "engine/core/RandomMT.h"
#include "engine/core/q3DError.h"
#include "items/ItemServices.h"
#include "items/NoLevelItems.h"
#include "items/projectiles/Bullet.h"
#include "tests/items/body/ItemFixture.h"

namespace {

// A loose item that says whether it stopped the shot.
class TargetItem : public Item {
public:
    bool OnHit(HitResult& hit, Bullet* bullet, int damage, const Vector3& point, const Vector3& normal) override
    {
        (void)hit, (void)bullet, (void)point, (void)normal;
        hits.push_back(damage);
        return stops;
    }
    bool stops = true;
    std::vector<int> hits;
};

// Hand-placed targets along the +z axis from the origin: a character and a loose item at the
// distances given (a negative distance: not there). No world is loaded, so nothing else is hit.
class BulletTest : public ItemTest {
protected:
    // The level's item services as the cases see them.
    struct FakeItems : NoLevelItems {
        explicit FakeItems(BulletTest& test) : test(test) {}
        Character* RayCastObjects(HitResult& hit, Character* ignore, int) override
        {
            ++test.characterPicks;
            if (test.characterAt < 0.0f || ignore == test.victim)
                return nullptr;
            hit.distance = test.characterAt;
            hit.hitPoint = hit.origin + hit.direction * test.characterAt;
            hit.normal = Vector3(0, 0, -1);
            return test.victim;
        }
        Item* RayCastItems(HitResult& hit) override
        {
            if (test.itemAt < 0.0f)
                return nullptr;
            hit.distance = test.itemAt;
            hit.hitPoint = hit.origin + hit.direction * test.itemAt;
            return test.item;
        }
        void Count(int counter, int) override { test.counters[counter] += 1; }
        int LocalSquadIndex(Character*) override { return 0; }
        float CameraFar() override { return test.far; }
        BulletTest& test;
    };
    FakeItems items{*this};
    std::optional<RunningLevel> level;

    void SetUp() override
    {
        ItemTest::SetUp();
        BuildModelAnimationCache({"Rifle", "Unarmed"});
        victimOwner = std::make_unique<Character>();
        shooterOwner = std::make_unique<Character>();
        itemOwner = std::make_unique<TargetItem>();
        victim = victimOwner.get();
        shooter = shooterOwner.get();
        item = itemOwner.get();
        victim->LoadAnimationInfo();
        victim->LoadModel(device, "GameData/Models/Soldiers/soldier.gr2");
        shooter->LoadAnimationInfo();
        level.emplace(RunningLevel::Services{.items = &items});
    }
    void TearDown() override
    {
        level.reset();
        itemOwner.reset();
        shooterOwner.reset();
        victimOwner.reset();
        AnimationCache::Instance().Clear();
        ItemTest::TearDown();
    }

    Bullet Fire(float range, float minimum, float maximum, bool tracer)
    {
        return Bullet(Vector3(0, 0, 0), Vector3(0, 0, 1), range, shooter, minimum, maximum, tracer);
    }

    // Made once the device exists and gone before it goes.
    std::unique_ptr<Character> victimOwner, shooterOwner;
    std::unique_ptr<TargetItem> itemOwner;
    Character* victim = nullptr;
    Character* shooter = nullptr;
    TargetItem* item = nullptr;
    float characterAt = -1.0f;
    float itemAt = -1.0f;
    int characterPicks = 0;
    int counters[4] = {};
    float far = 0.0f; // the camera's far distance, 0 none
};

} // namespace

TEST_F(BulletTest, NearestTargetTakesTheShotAndTiesGoToTheCharacterThenTheItem)
{
    struct Case {
        float characterAt;
        float itemAt;
        bool itemStops;
        bool characterHurt;
        int itemHits;
        float maxDistance;
    } cases[] = {
        {10.0f, 20.0f, true, true, 0, 10.0f},   // character nearer
        {20.0f, 10.0f, true, false, 1, 10.0f},  // item nearer and stops the shot
        {20.0f, 10.0f, false, true, 1, 20.0f},  // item lets it through to the character
        {10.0f, 10.0f, true, true, 0, 10.0f},   // tie: the character
        {-1.0f, 15.0f, true, false, 1, 15.0f},  // only the item
        {150.0f, -1.0f, true, false, 0, 100.0f}, // beyond the range: flies to the range
    };
    for (const Case& c : cases) {
        victim->health = 100;
        item->hits.clear();
        item->stops = c.itemStops;
        characterAt = c.characterAt;
        itemAt = c.itemAt;
        Bullet shot = Fire(100.0f, 20.0f, 20.0f, true);
        EXPECT_EQ(victim->health < 100, c.characterHurt) << c.characterAt << " " << c.itemAt;
        EXPECT_EQ(int(item->hits.size()), c.itemHits) << c.characterAt << " " << c.itemAt;
        EXPECT_FLOAT_EQ(shot.maxDistance, c.maxDistance) << c.characterAt << " " << c.itemAt;
        EXPECT_TRUE(shot.active);
        EXPECT_GE(shot.travelled, 0.0f);
        EXPECT_LT(shot.travelled, 5.0f);
    }
}

TEST_F(BulletTest, CameraFarLimitsWhatTheShotCanHit)
{
    far = 50.0f;
    characterAt = 60.0f;
    Bullet shot = Fire(100.0f, 20.0f, 20.0f, false);
    EXPECT_EQ(victim->health, 100); // beyond the pick distance: a miss
    EXPECT_FALSE(shot.active);
}

TEST_F(BulletTest, DamageIsDrawnBetweenTheTwoValuesAndScaledByTheBone)
{
    seedMT(7);
    int low = 1000, high = -1;
    for (int i = 0; i < 500; ++i) {
        Bullet shot = Fire(100.0f, 10.0f, 20.0f, false);
        low = std::min(low, shot.damage);
        high = std::max(high, shot.damage);
        EXPECT_FALSE(shot.active); // nothing hit and no tracer
    }
    EXPECT_EQ(low, 10);
    EXPECT_EQ(high, 19);

    characterAt = 10.0f;
    shooter->kind = Character::SquadKind; // the local squad's shots are counted
    for (Character::Bone bone : {Character::Head, Character::Pelvis, Character::LeftCalf}) {
        victim->health = 100;
        victim->lastHitBone = victim->GetBoneIndex(bone);
        Bullet shot = Fire(100.0f, 8.0f, 8.0f, false);
        EXPECT_EQ(victim->health, 100 - int(8.0f * victim->GetBoneDamageFactor(victim->lastHitBone))) << bone;
    }
    EXPECT_GT(counters[0], 0);
    EXPECT_EQ(counters[0], counters[1]);
}

TEST_F(BulletTest, DeadOrProtectedVictimsTakeNoDamage)
{
    characterAt = 10.0f;
    victim->health = 0;
    Fire(100.0f, 30.0f, 30.0f, false);
    EXPECT_EQ(victim->health, 0);
    levelFake.peaceful = true;
    victim->health = 100;
    Fire(100.0f, 30.0f, 30.0f, false);
    EXPECT_EQ(victim->health, 100);
}

TEST_F(BulletTest, WeaponIdentifierComesFromTheHeldItem)
{
    Bullet bare = Fire(100.0f, 1.0f, 1.0f, false);
    EXPECT_EQ(bare.weaponID, 0xFFFF);
    auto* rifle = new TestItem("Rifle", 0, CarriedItem::Weapon);
    shooter->PickUpItem(rifle, true);
    shooter->SelectItem(rifle);
    Bullet held = Fire(100.0f, 1.0f, 1.0f, false);
    EXPECT_EQ(held.weaponID, rifle->GetStoredID());
    shooter->DeleteInventory();
}

TEST_F(BulletTest, TracerFliesAtItsSpeedAndEnds)
{
    characterAt = 30.0f;
    Bullet shot = Fire(100.0f, 1.0f, 1.0f, true);
    shot.travelled = 0.0f;
    shot.UpdateTransform(0.05f);
    EXPECT_FLOAT_EQ(shot.travelled, 15.0f);
    EXPECT_TRUE(shot.IsActive());
    shot.UpdateTransform(0.05f);
    EXPECT_TRUE(shot.IsActive()); // exactly at the hit: not beyond it yet
    shot.UpdateTransform(0.001f);
    EXPECT_FALSE(shot.IsActive());
    EXPECT_TRUE(shot.Draw(device));
}

TEST_F(BulletTest, BlockGoldenBytesAndRoundTrip)
{
    Bullet shot;
    shot.typeCode = Bullet::GrenadeType;
    shot.travelled = 2.5f;
    shot.maxDistance = 80.0f;
    shot.weaponID = 0x1234;
    shot.start = Vector3(1, 2, 3);
    shot.direction = Vector3(0, 0, 1);
    shot.position = Vector3(4, 5, 6);
    std::vector<std::uint8_t> buffer(128);
    SaveStream out = SaveStream::OnMemory(buffer.data(), 128);
    shot.Save(&out);
    ASSERT_EQ(out.position, Bullet::kBlockSize);
    buffer.resize(out.position);
    Bytes expected;
    expected.i32(100).f32(2.5f).f32(80.0f).u8(1).u16(0x1234).v3(1, 2, 3).v3(0, 0, 1);
    for (float f : {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f})
        expected.f32(f);
    expected.v3(4, 5, 6).v3(1, 1, 1);
    EXPECT_EQ(buffer, expected.data);

    Bullet copy;
    SaveStream in = SaveStream::OnMemory(buffer.data(), std::uint32_t(buffer.size()));
    copy.Load(&in);
    EXPECT_EQ(copy.GetType(), 100);
    EXPECT_EQ(copy.weaponID, 0x1234);
    EXPECT_EQ(copy.start, Vector3(1, 2, 3));
    EXPECT_EQ(copy.position, Vector3(4, 5, 6));
    std::vector<std::uint8_t> again(128);
    SaveStream back = SaveStream::OnMemory(again.data(), 128);
    copy.Save(&back);
    again.resize(back.position);
    EXPECT_EQ(again, buffer);

    // A direction that is not a number is refused before anything changes (it would reach the
    // world's picks).
    std::vector<std::uint8_t> damagedBytes = buffer;
    const std::size_t directionAt = 4 + 4 + 4 + 1 + 2 + 12;
    for (std::size_t i = 0; i < 4; ++i)
        damagedBytes[directionAt + i] = std::uint8_t(0x7FC00000u >> (8 * i));
    SaveStream damaged = SaveStream::OnMemory(damagedBytes.data(), std::uint32_t(damagedBytes.size()));
    EXPECT_THROW(copy.Load(&damaged), q3DError);
    EXPECT_EQ(copy.direction, Vector3(0, 0, 1));
}

TEST_F(BulletTest, HitReactionOfAComputerShotComparesTheDamageWithTheVictimsHealth)
{
    characterAt = 10.0f;
    victim->lastHitBone = -1; // a torso hit
    struct Case {
        float damage;
        bool reacts;
    } cases[] = {{20.0f, true}, {60.0f, false}};
    for (const Case& c : cases) {
        victim->health = 100;
        victim->StartAction(0, true);
        victim->Update(0.02f);
        Fire(100.0f, c.damage, c.damage, false);
        EXPECT_EQ(victim->currentAction == 21, c.reacts) << c.damage;
    }
}
