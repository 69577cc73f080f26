#include "tests/items/body/VehicleFixture.h"

#include <cstring>
#include <vector>

#include "engine/core/q3DError.h"
#include "engine/serial/SaveStream.h"

namespace {

std::vector<std::uint8_t> SaveBlock(VehicleItem& car)
{
    std::vector<std::uint8_t> bytes(512, 0);
    SaveStream stream = SaveStream::OnMemory(bytes.data(), std::uint32_t(bytes.size()));
    car.Save(&stream);
    bytes.resize(stream.position);
    return bytes;
}

std::string LoadError(VehicleItem& car, std::vector<std::uint8_t> bytes)
{
    SaveStream stream = SaveStream::OnMemory(bytes.data(), std::uint32_t(bytes.size()));
    try {
        car.Load(&stream);
    } catch (const q3DError& e) {
        return e.GetText();
    }
    return "";
}

TEST_F(VehicleTest, TheBlockHasItsLayoutAndReadsBack)
{
    auto car = MakeCar();
    car->armor = 750.0f;
    car->passengers = {5, 9};
    const std::vector<std::uint8_t> bytes = SaveBlock(*car);
    ASSERT_EQ(bytes.size(), 64u + Item::kBlockSize);
    const std::uint8_t head[] = {3, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(std::memcmp(bytes.data(), head, sizeof head), 0);
    for (int i = 5; i < 17; ++i)
        EXPECT_EQ(bytes[std::size_t(i)], 0) << i; // no linked object: position zero
    float rotation[9];
    std::memcpy(rotation, bytes.data() + 17, sizeof rotation);
    const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(rotation[i], identity[i]) << i;
    float armour;
    std::memcpy(&armour, bytes.data() + 53, 4);
    EXPECT_EQ(armour, 750.0f);
    const std::uint8_t tail[] = {0xFF, 0xFF, 2, 5, 0, 9, 0};
    EXPECT_EQ(std::memcmp(bytes.data() + 57, tail, sizeof tail), 0);
    EXPECT_EQ(bytes[64], 1); // the Item block follows

    auto copy = MakeCar();
    EXPECT_EQ(LoadError(*copy, bytes), "");
    EXPECT_EQ(copy->armor, 750.0f);
    EXPECT_EQ(copy->passengers, (std::list<std::uint16_t>{5, 9}));
    EXPECT_EQ(SaveBlock(*copy).size(), bytes.size());
}

// Bad blocks are refused with their message, and the vehicle keeps its riders.
TEST_F(VehicleTest, BadBlocksAreRefused)
{
    auto car = MakeCar();
    car->passengers = {1};
    const std::vector<std::uint8_t> good = SaveBlock(*car);
    struct Case {
        const char* what;
        std::function<void(std::vector<std::uint8_t>&)> spoil;
        const char* message;
    };
    const float nan = std::nanf("");
    const float huge = 5000.0f;
    const Case cases[] = {
        {"version", [](auto& b) { b[0] = 2; }, "Incorrection version number in VehicleItem block"},
        {"nan armour", [&](auto& b) { std::memcpy(b.data() + 53, &nan, 4); }, "vehicle armour"},
        {"armour above the maximum", [&](auto& b) { std::memcpy(b.data() + 53, &huge, 4); }, "above the maximum"},
        {"riders beyond the block", [](auto& b) { b[59] = 200; b.resize(70); }, "riders do not fit"},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes = good;
        c.spoil(bytes);
        auto target = MakeCar();
        target->passengers = {7};
        const std::string error = LoadError(*target, bytes);
        EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
        EXPECT_EQ(target->passengers, (std::list<std::uint16_t>{7})) << c.what;
    }
}

TEST_F(VehicleTest, DamageCountsOnlyWithADriverAndTheHostDecidesDestruction)
{
    struct Case {
        bool host, client;
        float armourAfter;
        int messages;
    };
    const Case cases[] = {{false, false, 0.0f, 0}, {true, false, 0.0f, 1}, {false, true, 1.0f, 0}};
    for (const Case& c : cases) {
        auto car = MakeCar();
        ground.host = c.host;
        ground.remoteClient = c.client;
        ground.destroyedMessages = 0;
        EXPECT_FALSE(car->ApplyDamage(100, Vector3(), Vector3())); // nobody drives it
        EXPECT_EQ(car->armor, 1000.0f);
        Character driver;
        car->owner = &driver;
        EXPECT_TRUE(car->ApplyDamage(400, Vector3(), Vector3()));
        EXPECT_EQ(car->GetLastDamage(), 400);
        EXPECT_EQ(car->armor, 600.0f);
        car->ApplyDamage(900, Vector3(), Vector3());
        EXPECT_EQ(car->armor, c.armourAfter);
        EXPECT_EQ(ground.destroyedMessages, c.messages);
        car->owner = nullptr;
        ground.host = ground.remoteClient = false;
    }
}

TEST_F(VehicleTest, ArmourFromTheFile)
{
    WriteVehicleFile("Vehicles/tough.txt", std::string(kCarKeys) + "BODY_ARMOR -1\n");
    auto car = MakeCar("Vehicles/tough.txt");
    EXPECT_EQ(car->maxArmor, VehicleItem::kIndestructibleArmor);
    EXPECT_EQ(car->armor, VehicleItem::kIndestructibleArmor);
    car->armor = 10.0f;
    car->AddArmor(50);
    EXPECT_EQ(car->armor, 60.0f);
}

} // namespace
