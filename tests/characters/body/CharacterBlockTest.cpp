// The character's saved block: golden bytes with and without inventory and channels, round trips
// through files and memory, and hostile blocks.
#include <cmath>
#include <memory>
#include <string>

#include "characters/body/AnimationController.h"
#include "engine/core/q3DError.h"
#include "tests/characters/body/CharacterFixture.h"

namespace {

// The block head up to the posture, for a character set up by Configure.
Bytes Head(std::uint16_t id)
{
    Bytes b;
    b.u8(2).u16(id).i32(100).u8(3);
    b.v3(1, 2, 3).f32(0.0f).f32(0.5f).f32(0.25f).i32(0);
    b.u8(1).u8(1).u8(1).u8(0).u8(0).u8(1).u8(0);
    b.i32(0x21).i32(7).v3(0, 0, 1).f32(0).v3(1, 0, 0).f32(0).f32(1).u8(0).i32(1);
    return b;
}

Bytes& Tail(Bytes& b)
{
    b.i32(1).f32(7.0f).i32(0).i32(0).u8(0).i32(-1).v3(0, 0, 0).f32(0).f32(0).u16(0xFFFF);
    return b;
}

void Configure(Character& c)
{
    c.lives = 3;
    c.SetPosition(1, 2, 3);
    c.pitch = 0.5f;
    c.torsoYaw = 0.25f;
    c.collides = c.drawBody = c.gravity = c.alerted = true;
    c.roles = 0x21;
    c.activationTrigger = 7;
    c.moveInput = Vector3(0, 0, 1);
    c.velocity = Vector3(1, 0, 0);
    c.SetPostureImmediate(Character::Crouching);
}

class CharacterBlockTest : public CharacterTest {};

} // namespace

TEST_F(CharacterBlockTest, WithoutInventoryOrChannels)
{
    Character c;
    Configure(c);
    Bytes expected = Head(c.GetStoredID());
    expected.i32(0);       // no items
    expected.i32(0);       // animation set
    for (int channel = 0; channel < 8; ++channel)
        expected.i32(-1).u8(255).f32(-1.0f);
    expected.u8(0).f32(0.0f).f32(0.0f); // the first channel's flag and two floats: zeros, never garbage
    EXPECT_EQ(SaveToMemory(c), Tail(expected).data);
}

TEST_F(CharacterBlockTest, WithInventoryAndChannels)
{
    Character c;
    Configure(c);
    c.LoadAnimationInfo();
    auto* rifle = new TestItem("Rifle", 0, CarriedItem::Weapon);
    auto* medkit = new TestItem("Medkit");
    rifle->magazines = 4;
    c.PickUpItem(medkit, true);
    c.PickUpItem(rifle, true); // forced: to the front
    c.SelectItem(rifle);
    Bytes expected = Head(c.GetStoredID());
    expected.i32(2).text("Rifle", 40).u8(1).text("Medkit", 40).u8(0);
    expected.u8(1).u16(rifle->GetStoredID()).i32(100).i32(4);
    expected.u8(1).u16(medkit->GetStoredID()).i32(100).i32(0);
    expected.i32(0);
    for (int channel = 0; channel < 8; ++channel)
        expected.i32(-1).u8(255).f32(0.0f); // channels that exist, nothing playing
    expected.u8(1).f32(1.0f).f32(1.0f);
    EXPECT_EQ(SaveToMemory(c), Tail(expected).data);
    c.DeleteInventory();
}

TEST_F(CharacterBlockTest, RoundTripsThroughMemoryAndFiles)
{
    Character c;
    Configure(c);
    c.LoadAnimationInfo();
    auto* rifle = new TestItem("Rifle", 0, CarriedItem::Weapon);
    rifle->magazines = 5;
    c.PickUpItem(new TestItem("Knife"), true);
    c.PickUpItem(rifle, true);
    c.SelectItem(rifle);
    c.burnTime = 0.0f;
    c.stunTime = 1.5f;
    c.lastHitBone = 12;
    const std::vector<std::uint8_t> block = SaveToMemory(c);

    // Memory: a second character reads the block and writes the same bytes again.
    Character copy;
    copy.LoadAnimationInfo();
    LoadFromMemory(copy, block);
    ASSERT_EQ(copy.GetInventory().size(), 2u);
    EXPECT_STREQ(copy.GetInventory()[0]->name, "Rifle");
    EXPECT_EQ(copy.GetHeldItem(), copy.GetInventory()[0]);
    EXPECT_EQ(static_cast<TestItem*>(copy.GetInventory()[0])->magazines, 5);
    EXPECT_EQ(copy.GetStoredID(), c.GetStoredID()) << "the block's identifier moves to the copy";
    EXPECT_FLOAT_EQ(copy.loadCountdown, 0.4f);
    EXPECT_EQ(SaveToMemory(copy), block);

    // A file carries the same bytes.
    {
        SaveFile file("character.sav", "wb");
        ASSERT_TRUE(file.IsOpen());
        copy.Save(file.GetStream());
        file.Close();
    }
    Character again;
    again.LoadAnimationInfo();
    {
        SaveFile file("character.sav", "rb");
        ASSERT_TRUE(file.IsOpen());
        again.Load(file.GetStream());
    }
    EXPECT_EQ(SaveToMemory(again), block);
    c.DeleteInventory();
    copy.DeleteInventory();
    again.DeleteInventory();
}

TEST_F(CharacterBlockTest, HostileBlocksFailWithoutACrash)
{
    Character c;
    Configure(c);
    c.PickUpItem(new TestItem("Rifle"), true);
    const std::vector<std::uint8_t> block = SaveToMemory(c);
    c.DeleteInventory();

    // Every truncation raises q3DError.
    for (std::size_t length = 0; length < block.size(); ++length) {
        Character reader;
        std::vector<std::uint8_t> cut(block.begin(), block.begin() + std::ptrdiff_t(length));
        EXPECT_THROW(LoadFromMemory(reader, cut), q3DError) << "cut at " << length;
        reader.DeleteInventory();
    }
    // A wrong version stops before anything is read.
    {
        std::vector<std::uint8_t> wrong = block;
        wrong[0] = 1;
        Character reader;
        reader.lives = 9;
        try {
            LoadFromMemory(reader, wrong);
            FAIL();
        } catch (const q3DError& error) {
            EXPECT_STREQ(error.GetText(), "Incorrection version number in Character block");
        }
        EXPECT_EQ(reader.lives, 9);
    }
    const std::size_t countAt = Head(0).data.size();
    // A huge or negative item count is refused before anything is made.
    for (std::int32_t count : {0x7FFFFFFF, -1, 100000}) {
        std::vector<std::uint8_t> huge = block;
        for (int k = 0; k < 4; ++k)
            huge[countAt + std::size_t(k)] = std::uint8_t(std::uint32_t(count) >> (8 * k));
        Character reader;
        EXPECT_THROW(LoadFromMemory(reader, huge), q3DError);
        EXPECT_TRUE(reader.GetInventory().empty());
    }
    // An unknown item type fails naming it, and leaves no half-built inventory.
    {
        std::vector<std::uint8_t> unknown = block;
        const char banana[] = "Banana";
        std::copy(banana, banana + 6, unknown.begin() + std::ptrdiff_t(countAt + 4));
        Character reader;
        try {
            LoadFromMemory(reader, unknown);
            FAIL();
        } catch (const q3DError& error) {
            EXPECT_NE(std::string(error.GetText()).find("Banana"), std::string::npos);
        }
        EXPECT_TRUE(reader.GetInventory().empty());
    }
    // An item name that fills its whole field is written cut, with its terminator.
    {
        Character holder;
        auto* item = new TestItem("Rifle");
        std::memset(item->name, 'R', CarriedItem::kNameSize); // no terminator of its own
        holder.PickUpItem(item, true);
        const std::vector<std::uint8_t> written = SaveToMemory(holder);
        const std::size_t nameAt = countAt + 4;
        EXPECT_EQ(written[nameAt + 38], 'R');
        EXPECT_EQ(written[nameAt + 39], 0) << "the last byte of the field ends the name";
        EXPECT_EQ(written[nameAt + 40], 0) << "the held byte follows the field";
        holder.DeleteInventory();
    }
    // A position, a movement or a fall rate that is not a number is refused, naming the field.
    for (const auto& [offset, field] : std::vector<std::pair<std::size_t, std::string>>{
             {8, "position"}, {51, "movement"}, {83, "fall rate"}}) {
        std::vector<std::uint8_t> nan = block;
        for (int k = 0; k < 4; ++k)
            nan[offset + std::size_t(k)] = 0xFF;
        Character reader;
        try {
            LoadFromMemory(reader, nan);
            FAIL() << field;
        } catch (const q3DError& error) {
            EXPECT_NE(std::string(error.GetText()).find(field), std::string::npos) << error.GetText();
        }
        EXPECT_TRUE(std::isfinite(reader.position.x)) << field;
        reader.DeleteInventory();
    }
}
