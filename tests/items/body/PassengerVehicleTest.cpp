#include "tests/items/body/VehicleFixture.h"

#include <cmath>
#include <memory>
#include <vector>

namespace {

class PassengerTest : public VehicleTest {
protected:
    std::unique_ptr<Character> Soldier(int kind = Character::SquadKind)
    {
        auto c = std::make_unique<Character>();
        c->kind = kind;
        c->health = 100;
        return c;
    }

    // The driver takes the car and holds it.
    static void Drive(Character& driver, VehicleItem& car)
    {
        ASSERT_TRUE(driver.PickUpItem(&car, true));
        driver.SelectItem(&car);
        ASSERT_EQ(car.owner, &driver);
    }
};

TEST_F(PassengerTest, TheDriversSquadFillsTheSeatsAndTheRestStayOut)
{
    auto car = MakeCar();
    Place(*car, 0.0f, 0.0f);
    std::vector<std::unique_ptr<Character>> squad;
    for (int i = 0; i < 5; ++i)
        squad.push_back(Soldier());
    ground.squadLeader = squad[0].get();
    for (auto& member : squad)
        ground.squad.push_back(member.get());
    Drive(*squad[0], *car);
    EXPECT_EQ(car->GetSeatedCount(), 4);
    int riding = 0;
    for (auto& member : squad)
        riding += member->IsRiding();
    EXPECT_EQ(riding, 4);
    EXPECT_FALSE(squad[4]->IsRiding());
    EXPECT_TRUE(car->collideWithWorld); // a squad-leading player's vehicle collides
    EXPECT_FALSE(car->alternateMeshShown); // every seat taken
    Character outsider;
    outsider.health = 100;
    EXPECT_FALSE(car->AddPassenger(&outsider)); // full
}

TEST_F(PassengerTest, AnAIDriverSitsAloneAndDrivesThroughClutter)
{
    auto car = MakeCar();
    Place(*car, 0.0f, 0.0f);
    auto enemy = Soldier(Character::EnemyKind);
    Drive(*enemy, *car);
    EXPECT_EQ(car->GetSeatedCount(), 1);
    EXPECT_FALSE(car->collideWithWorld);
    EXPECT_TRUE(car->alternateMeshShown);
    auto rider = Soldier(Character::EnemyKind);
    EXPECT_TRUE(car->AddPassenger(rider.get()));
    EXPECT_TRUE(car->IsPassenger(rider.get()));
    EXPECT_TRUE(car->IsAboard(rider.get()));
    EXPECT_TRUE(car->IsAboard(enemy.get()));
    EXPECT_FALSE(car->IsPassenger(enemy.get())); // the driver is no passenger
    // It drives towards a point by its own controls.
    car->SteerTowards(-100.0f, 0.0f, 100.0f);
    EXPECT_TRUE(car->controls.forward);
    EXPECT_TRUE(car->controls.left != car->controls.right);
}

// Getting out: each rule refuses with its notice, and a clear way lets the driver out beside the
// car on the ground.
TEST_F(PassengerTest, ExitRules)
{
    struct Case {
        const char* what;
        float speed;
        bool walls;
        const char* notice; // null: the driver gets out
    };
    const Case cases[] = {
        {"at rest", 0.0f, false, nullptr},
        {"rolling", 20.0f, false, PassengerVehicleItem::kNotStopped},
        {"just at the limit", 5.0f, false, PassengerVehicleItem::kNotStopped},
        {"between walls", 0.0f, true, PassengerVehicleItem::kNoRoom},
    };
    for (const Case& c : cases) {
        auto car = MakeCar();
        Place(*car, 0.0f, 0.0f);
        auto driver = Soldier(Character::PlainKind);
        Drive(*driver, *car);
        car->GetModel().SetVelocity({0.0, 0.0, double(c.speed)});
        ground.wallsBothSides = c.walls;
        ground.lastMessage.clear();
        EXPECT_FALSE(car->OnKeyDown('e')) << c.what; // consumed either way
        if (c.notice) {
            EXPECT_EQ(ground.lastMessage, c.notice) << c.what;
            EXPECT_EQ(car->owner, driver.get()) << c.what;
        } else {
            EXPECT_EQ(car->owner, nullptr) << c.what;
            EXPECT_FALSE(driver->IsRiding()) << c.what;
            EXPECT_NEAR(driver->position.y, 4.0f, 0.01f) << c.what; // 4 above the flat ground
            EXPECT_GT(std::fabs(driver->position.x - car->body->position.x), 3.0f) << c.what; // beside the body
            EXPECT_EQ(car->body->GetParent(), nullptr) << c.what;
        }
        ground.wallsBothSides = false;
    }
}

TEST_F(PassengerTest, KeysPassOnOrAreConsumed)
{
    auto car = MakeCar();
    EXPECT_TRUE(car->OnKeyDown(27));   // Escape
    EXPECT_TRUE(car->OnKeyDown('m'));  // Show Map
    EXPECT_FALSE(car->OnKeyDown('x')); // no action: consumed
    EXPECT_FALSE(car->OnKeyDown(-5));
    EXPECT_FALSE(car->OnKeyDown(100000));
}

TEST_F(PassengerTest, ADestroyedCarPutsOutTheDriverThenEveryRider)
{
    auto car = MakeCar();
    Place(*car, 0.0f, 0.0f);
    auto driver = Soldier(Character::PlainKind);
    auto rider = Soldier(Character::PlainKind);
    Drive(*driver, *car);
    ASSERT_TRUE(car->AddPassenger(rider.get()));
    car->armor = 0.0f;
    car->Update(1.0f / 60.0f);
    EXPECT_EQ(car->owner, nullptr);
    EXPECT_NE(driver->GetHeldItem(), car.get());
    EXPECT_FALSE(driver->IsRiding());
    EXPECT_FALSE(rider->IsRiding());
    EXPECT_TRUE(car->Passengers().empty());
    EXPECT_EQ(car->GetSeatedCount(), 0);

    // Without a driver only the riders go, and nothing else runs.
    auto second = Soldier(Character::PlainKind);
    car->passengers.push_back(std::uint16_t(second->GetID()));
    second->moveMode = 2;
    car->Update(1.0f / 60.0f);
    EXPECT_FALSE(second->IsRiding());
    EXPECT_TRUE(car->Passengers().empty());
}

TEST_F(PassengerTest, ARiderWhoseObjectIsGoneLeavesTheList)
{
    auto car = MakeCar();
    Place(*car, 0.0f, 0.0f);
    auto driver = Soldier(Character::PlainKind);
    Drive(*driver, *car);
    std::uint16_t goneID;
    {
        auto rider = Soldier(Character::PlainKind);
        ASSERT_TRUE(car->AddPassenger(rider.get()));
        goneID = std::uint16_t(rider->GetID());
    }
    EXPECT_TRUE(car->HasPassenger(goneID));
    car->Update(1.0f / 60.0f);
    EXPECT_FALSE(car->HasPassenger(goneID));
}

TEST_F(PassengerTest, APassengerPutOutWhereNoGroundIsFoundKeepsTheBodysHeight)
{
    ground.height = [](float, float) { return 1e9f; }; // ground nowhere below
    auto car = MakeCar();
    car->body->position = Vector3(0.0f, 50.0f, 0.0f);
    auto rider = Soldier(Character::PlainKind);
    ASSERT_TRUE(car->AddPassenger(rider.get()));
    car->SetExitingCharacter(rider.get());
    car->Deselect();
    EXPECT_FALSE(rider->IsRiding());
    EXPECT_FLOAT_EQ(rider->position.y, 50.0f);
    EXPECT_TRUE(std::isfinite(rider->position.x));
}

TEST_F(PassengerTest, TheChaseCameraBlendStaysWithinZeroAndOne)
{
    struct Case {
        double sinceDraw, rate, speed, blend;
    };
    const Case cases[] = {
        {0.0, 1.7, 0.0, 0.0},
        {0.1, 1.7, 0.0, 0.1 * 1.7 * 2.142857142857143},
        {10.0, 1.7, 0.0, 1.0},       // a long pause would overshoot
        {0.1, -4.0, 0.0, 0.0},       // a negative rate would swing away
        {0.1, 1.7, 1e200, 0.0},      // an absurd speed
        {std::nan(""), 1.7, 0.0, 0.0},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(PassengerVehicleItem::ChaseBlend(c.sinceDraw, c.rate, c.speed), c.blend, 1e-9)
            << c.sinceDraw << " " << c.rate << " " << c.speed;
}

TEST_F(PassengerTest, AnotherDriversControlBitsDriveTheCar)
{
    auto car = MakeCar();
    Place(*car, 0.0f, 0.0f);
    auto driver = Soldier(Character::SquadKind); // a player, not this machine's
    Drive(*driver, *car);
    car->SetControlBits(kControlForward | kControlLeft);
    for (int i = 0; i < 60; ++i)
        car->Update(1.0f / 60.0f);
    EXPECT_TRUE(car->controls.forward);
    EXPECT_TRUE(car->controls.left);
    EXPECT_FALSE(car->controls.right);
    EXPECT_GT(car->GetSpeed(), 5.0f);
    EXPECT_EQ(driver->position.x, car->body->position.x); // the driver rides along
}

} // namespace
