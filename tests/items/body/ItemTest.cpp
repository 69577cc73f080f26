#include <cmath>
#include <memory>

#include "characters/body/AnimationCache.h"
#include "characters/level/NetworkSession.h"
#include "tests/support/WorldStandIn.h"
#include "engine/animation/AnimatedModel.h"
#include "engine/mesh/qMesh.h"
#include "items/ItemModelCache.h"
#include "items/ItemSound.h"
#include "media/Sound3D.h"
#include "tests/characters/SessionFake.h"
#include "tests/items/body/ItemFixture.h"
#include "tests/support/ErrorText.h"

namespace {

// An Item block from its fields, written apart from the code under test.
Bytes ItemBlock(std::uint16_t id, int health, std::uint32_t remaining, std::int16_t previousItem, bool inUse,
                int itemID, Vector3 at, const float (&turn)[9], std::int16_t previousOwner)
{
    Bytes b;
    b.u8(1).u16(id).i32(health).i32(std::int32_t(remaining)).u16(std::uint16_t(previousItem)).u8(inUse ? 1 : 0);
    b.i32(itemID).v3(at.x, at.y, at.z);
    for (float f : turn)
        b.f32(f);
    b.u16(std::uint16_t(previousOwner));
    return b;
}

std::vector<std::uint8_t> SaveItem(Item& item)
{
    std::vector<std::uint8_t> buffer(256);
    SaveStream stream = SaveStream::OnMemory(buffer.data(), std::uint32_t(buffer.size()));
    item.Save(&stream);
    buffer.resize(stream.position);
    return buffer;
}

void LoadItem(Item& item, std::vector<std::uint8_t> bytes)
{
    SaveStream stream = SaveStream::OnMemory(bytes.data(), std::uint32_t(bytes.size()));
    item.Load(&stream);
}

constexpr float kIdentity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};

} // namespace

TEST_F(ItemTest, ReadDefinitionTakesWeightNameModelAndAnimationSet)
{
    Item item;
    item.ReadDefinition(Definition("Crate", "Models/crate.q3d"));
    EXPECT_STREQ(item.name, "Crate");
    EXPECT_FLOAT_EQ(item.weight, 2.5f);
    EXPECT_EQ(item.animationSet, 0);
    EXPECT_EQ(item.GetSlotKind(), 2);
    EXPECT_EQ(item.GetIcon(), nullptr);
    ASSERT_NE(item.GetWorldModel(), nullptr);
    const BoundingBox box = item.GetWorldModel()->GetMesh()->GetBoundingBox();
    EXPECT_NEAR(box.max.x, 2.0f, 1e-4f); // read at a tenth of its size

    Item none;
    none.ReadDefinition(Definition("Radio", "N/A"));
    EXPECT_EQ(none.GetWorldModel(), nullptr);

    Item unknown;
    EXPECT_EQ(ErrorText([&] { unknown.ReadDefinition(Definition("Crate", "N/A", "Sword")); }),
              "Couldn't find animation set with name Sword for item Crate");
}

TEST_F(ItemTest, AnEmptyOrDashedSoundLineLoadsNoSound)
{
    // Definitions mark a sound an item lacks with "-", as they do its other resources.
    EXPECT_EQ(LoadItemSound(""), nullptr);
    EXPECT_EQ(LoadItemSound("-"), nullptr);
}

TEST_F(ItemTest, ModelCacheSharesMeshesByPathAndFreesThemWithTheLastItem)
{
    const int before = ItemModelCache::Count();
    {
        Item a, b, c;
        a.LoadWorldModel("Models/crate.q3d");
        b.LoadWorldModel("models\\CRATE.q3d"); // the same data path
        c.LoadWorldModel("Models/gun.q3d");
        EXPECT_EQ(a.GetWorldModel()->GetMesh(), b.GetWorldModel()->GetMesh());
        EXPECT_NE(a.GetWorldModel()->GetMesh(), c.GetWorldModel()->GetMesh());
        EXPECT_EQ(ItemModelCache::Count(), before + 2);
    }
    EXPECT_EQ(ItemModelCache::Count(), before);
}

TEST_F(ItemTest, HeldModelFindsItsReducedMeshes)
{
    Item gun, pistol, crate;
    gun.LoadHeldModel("Models/gun.q3d");
    pistol.LoadHeldModel("Models/pistol.q3d");
    crate.LoadHeldModel("Models/crate.q3d");
    EXPECT_NE(gun.heldLOD1, nullptr);
    EXPECT_EQ(gun.heldLOD2, nullptr);
    EXPECT_NE(pistol.heldLOD1, nullptr);
    EXPECT_NE(pistol.heldLOD2, nullptr);
    EXPECT_EQ(crate.heldLOD1, nullptr);
    EXPECT_NEAR(gun.heldLOD1->GetBoundingBox().max.x, 0.5f, 1e-4f);
}

TEST_F(ItemTest, LooseItemIsDrawnInsideTheCullingDistanceOnly)
{
    Item item;
    item.LoadWorldModel("Models/crate.q3d");
    item.position = Vector3(0, 0, 0);
    struct Case {
        bool culling;
        float distance;
        bool drawn;
    } cases[] = {{true, 119.9f, true}, {true, 120.0f, false}, {false, 5000.0f, true}};
    for (const Case& c : cases) {
        levelFake.culling = c.culling;
        levelFake.cameraAt = Vector3(0, 0, c.distance);
        item.Draw(device);
        EXPECT_EQ(item.lastDrawnMesh != nullptr, c.drawn) << c.distance;
    }
}

TEST_F(ItemTest, RayHitsTheLooseItemsBoxInWorldSpace)
{
    Item item;
    item.LoadWorldModel("Models/crate.q3d");
    item.position = Vector3(10, 0, 0);
    item.rotation.FromAxisAngle(0.5f, Vector3(0, 1, 0));
    HitResult hit;
    hit.origin = Vector3(10, 0.5f, -20);
    hit.direction = Vector3(0, 0, 1);
    ASSERT_TRUE(item.IntersectRay(hit));
    // The turned box's face lies between 2 and 2/cos(0.5) from its centre.
    EXPECT_GT(hit.distance, 20.0f - 2.0f / std::cos(0.5f) - 1e-3f);
    EXPECT_LT(hit.distance, 18.0f + 1e-3f);
    EXPECT_NEAR((hit.hitPoint - hit.origin).Length(), hit.distance, 1e-4f);
    EXPECT_NEAR(hit.normal.Length(), 1.0f, 1e-4f);

    HitResult miss;
    miss.origin = Vector3(20, 0.5f, -20);
    miss.direction = Vector3(0, 0, 1);
    EXPECT_FALSE(item.IntersectRay(miss));
    Item bare;
    EXPECT_FALSE(bare.IntersectRay(hit));
}

TEST_F(ItemTest, BlockGoldenBytesAndRoundTrip)
{
    Item item;
    item.LoadWorldModel("Models/crate.q3d");
    item.position = Vector3(1, 2, 3);
    item.health = 70;
    item.previousItemID = 12;
    item.inUse = true;
    item.itemID = 44;
    item.previousOwnerID = -1;
    const auto bytes = SaveItem(item);
    EXPECT_EQ(bytes.size(), Item::kBlockSize);
    EXPECT_EQ(bytes, ItemBlock(item.GetStoredID(), 70, 0, 12, true, 44, Vector3(1, 2, 3), kIdentity, -1).data);

    Item copy;
    copy.LoadWorldModel("Models/crate.q3d");
    LoadItem(copy, bytes);
    EXPECT_EQ(copy.health, 70);
    EXPECT_EQ(copy.previousItemID, 12);
    EXPECT_TRUE(copy.inUse);
    EXPECT_EQ(copy.itemID, 44);
    EXPECT_EQ(copy.position, Vector3(1, 2, 3));
    EXPECT_EQ(copy.deleteTime, 0u);
    EXPECT_EQ(SaveItem(copy), bytes);

    // Without a world model the block carries the origin and the identity.
    Item bare;
    bare.position = Vector3(5, 5, 5);
    EXPECT_EQ(SaveItem(bare), ItemBlock(bare.GetStoredID(), 100, 0, -1, false, 0, Vector3(), kIdentity, -1).data);

    auto wrong = bytes;
    wrong[0] = 2;
    EXPECT_EQ(ErrorText([&] { LoadItem(copy, wrong); }), "Incorrection version number in Item block");
    auto shortBlock = bytes;
    shortBlock.resize(40);
    EXPECT_NE(ErrorText([&] { LoadItem(copy, shortBlock); }), "");
}

TEST_F(ItemTest, DeleteTimeIsKeptAsTheTimeLeft)
{
    SessionFake session;
    session.hosting = true;
    session.settings.looseItemDelay = 30000;
    std::uint32_t& now = session.now;
    now = 50000;

    Item item;
    item.StartLooseItemTimer();
    EXPECT_EQ(item.deleteTime, 0u); // not a network game
    levelFake.networkGame = true;
    item.StartLooseItemTimer();
    EXPECT_EQ(item.deleteTime, 80000u);
    now = 60000;
    auto bytes = SaveItem(item);
    EXPECT_EQ(bytes[7] | bytes[8] << 8 | bytes[9] << 16 | bytes[10] << 24, 20000);
    now = 1000;
    Item copy;
    LoadItem(copy, bytes);
    EXPECT_EQ(copy.deleteTime, 21000u);
    // A time that has passed is stored as 1 and falls due right after loading.
    now = 90000;
    bytes = SaveItem(item);
    EXPECT_EQ(bytes[7], 1);
    LoadItem(copy, bytes);
    EXPECT_EQ(copy.deleteTime, 90001u);
}

TEST_F(ItemTest, OwnerCarriesTheHeldModelOnItsBoneWithLevelsOfDetail)
{
    BuildModelAnimationCache({"Rifle", "Unarmed"});
    Character soldier;
    soldier.LoadAnimationInfo();
    soldier.LoadModel(device, "GameData/Models/Soldiers/soldier.gr2");
    soldier.SetPosition(0, 0, 0);

    Item pistol;
    pistol.LoadHeldModel("Models/pistol.q3d");
    std::strcpy(pistol.boneName, "Bip01 R Hand");
    pistol.SetOwner(&soldier);
    EXPECT_EQ(pistol.boneIndex, soldier.GetModel()->FindBone("Bip01 R Hand"));
    EXPECT_NE(pistol.boneIndex, -1);

    Item gun;
    gun.LoadHeldModel("Models/gun.q3d");
    struct Case {
        bool culling;
        float distance;
        qMesh* shown;
    } cases[] = {
        {true, 39.0f, pistol.GetHeldModel()->GetMesh()}, {true, 40.0f, pistol.heldLOD1},
        {true, 80.0f, pistol.heldLOD2}, {false, 500.0f, pistol.GetHeldModel()->GetMesh()},
    };
    for (const Case& c : cases) {
        levelFake.culling = c.culling;
        levelFake.cameraAt = Vector3(c.distance, 0, 0);
        pistol.Draw(device);
        EXPECT_EQ(pistol.lastDrawnMesh, c.shown) << c.distance;
        EXPECT_EQ(pistol.GetHeldModel()->GetMesh(), cases[0].shown); // its own mesh is put back
    }
    // The held model follows the hand bone.
    Vector3 hand;
    soldier.GetModel()->GetBonePosition(pistol.boneIndex, hand);
    EXPECT_LT((pistol.GetHeldModel()->world.GetTranslation() - soldier.GetModel()->world.TransformPoint(hand)).Length(),
              1e-3f);

    std::strcpy(gun.boneName, "Bip01 Tail");
    EXPECT_EQ(ErrorText([&] { gun.SetOwner(&soldier); }),
              std::string("Can't find bone named Bip01 Tail in model ") + soldier.GetModel()->GetName());
    pistol.SetOwner(nullptr);
    EXPECT_EQ(pistol.previousOwnerID, soldier.GetID());
    AnimationCache::Instance().Clear();
}

TEST(ItemLoadout, RestrictedLoadoutOffersOnlyRestrictionZeroAndTwo)
{
    ItemDefinition d;
    d.kind = 1;
    struct Case {
        int restriction;
        int kind;
        bool restricted;
        bool offered;
    } cases[] = {
        {0, 1, true, true}, {1, 1, true, false}, {2, 1, true, true}, {3, 1, true, false},
        {1, 1, false, true}, {0, 0, false, false},
    };
    for (const Case& c : cases) {
        d.restriction = c.restriction;
        EXPECT_EQ(IsOfferedInLoadout(d, c.kind, c.restricted), c.offered) << c.restriction << " " << c.kind;
    }
}
