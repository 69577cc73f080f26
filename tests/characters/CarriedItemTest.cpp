#include "characters/objects/CarriedItem.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "characters/body/Character.h"
#include "engine/core/q3DError.h"

namespace {

struct FactoryReset {
    ~FactoryReset() { SetCarriedItemFactory({}); }
};

} // namespace

TEST(CarriedItemTest, PlainItemDefaults)
{
    CarriedItem item;
    EXPECT_EQ(item.objectType, GameObject::ItemType);
    EXPECT_EQ(item.category, CarriedItem::PlainItem);
    EXPECT_EQ(item.animationSet, -1);
    EXPECT_EQ(item.boneIndex, -1);
    EXPECT_EQ(item.previousItemID, -1);
    EXPECT_EQ(item.previousOwnerID, -1);
    EXPECT_TRUE(item.MovesWhenDropped());
    EXPECT_TRUE(item.LiesDownWhenDropped());
    EXPECT_TRUE(item.ExpiresWhenDropped());
    EXPECT_FALSE(item.IsWeapon());
    EXPECT_FALSE(item.IsGrenade());
    EXPECT_EQ(item.GetSlotKind(), -1);

    EXPECT_FALSE(item.IsInUse());
    EXPECT_TRUE(item.BeginUse(false));
    EXPECT_TRUE(item.IsInUse());
    item.EndUse();
    EXPECT_FALSE(item.IsInUse());

    item.health = 30;
    item.ApplyDamage(50, Vector3{}, Vector3{});
    EXPECT_EQ(item.health, 0); // never below 0
}

TEST(CarriedItemTest, SetOwnerRemembersThePreviousOwner)
{
    Character first;
    Character second;
    CarriedItem item;
    item.SetOwner(&first);
    EXPECT_EQ(item.owner, &first);
    EXPECT_EQ(item.previousOwnerID, -1);
    item.SetOwner(&second);
    EXPECT_EQ(item.previousOwnerID, first.GetID());
    item.SetOwner(nullptr);
    EXPECT_EQ(item.owner, nullptr);
    EXPECT_EQ(item.previousOwnerID, second.GetID());
}

TEST(CarriedItemTest, FactoryCreatesKnownTypesAndNamesUnknownOnes)
{
    FactoryReset reset;
    EXPECT_THROW(CreateCarriedItem("Rifle"), q3DError); // no factory yet

    SetCarriedItemFactory([](const char* typeName) -> CarriedItem* {
        if (std::strcmp(typeName, "Rifle") != 0)
            return nullptr;
        auto* item = new CarriedItem;
        std::strcpy(item->name, typeName);
        return item;
    });
    std::unique_ptr<CarriedItem> rifle(CreateCarriedItem("Rifle"));
    EXPECT_STREQ(rifle->name, "Rifle");
    try {
        CreateCarriedItem("Banana");
        FAIL() << "an unknown type must fail";
    } catch (const q3DError& error) {
        EXPECT_NE(std::string(error.GetText()).find("Banana"), std::string::npos);
    }
    EXPECT_THROW(CreateCarriedItem(""), q3DError);
}
