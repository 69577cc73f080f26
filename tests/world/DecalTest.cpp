#include "tests/support/FramePixels.h"
#include "tests/world/WorldFixture.h"
#include "world/environment/DecalManager.h"

namespace {

class DecalTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        WriteFile("hole.tga", WriteTga(TgaImage(64, 64, 0xFFFF0000u), 32));
        WriteFile("big.tga", WriteTga(TgaImage(256, 256, 0xFF0000FFu), 32));
    }
    void TearDown() override
    {
        DecalManager::Release();
        WorldTest::TearDown();
    }

    int LogLines(const char* text)
    {
        int lines = 0;
        for (const std::string& line : ReadLines("q3D.log"))
            lines += line.find(text) != std::string::npos;
        return lines;
    }

    std::vector<std::uint32_t> DrawDecals()
    {
        device->SetClearColor(0xFF000000u);
        device->BeginFrame(true, true);
        device->SetFogEnable(false);
        camera->UpdateTransform(0.0f);
        DecalManager::Render(device);
        device->EndFrame(true, true);
        return ReadFrame(device);
    }

    static void ExpectRow(const Matrix4& m, int row, const Vector3& v)
    {
        EXPECT_NEAR(m(row, 0), v.x, 1e-5f) << "row " << row;
        EXPECT_NEAR(m(row, 1), v.y, 1e-5f) << "row " << row;
        EXPECT_NEAR(m(row, 2), v.z, 1e-5f) << "row " << row;
        EXPECT_EQ(m(row, 3), 0.0f);
    }
};

TEST(DecalOrientation, WallAndGroundAxes)
{
    const struct {
        Vector3 normal, row0, row1;
    } cases[] = {
        {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
        {{0, 1, 0}, {1, 0, 0}, {0, 0, 1}},
        {{0, 0, -3}, {1, 0, 0}, {0, 1, 0}},
    };
    for (const auto& c : cases) {
        const Matrix4 m = DecalManager::Orientation(Vector3(5, 6, 7), c.normal);
        Vector3 n = c.normal;
        n.Normalize();
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(m(0, i), (&c.row0.x)[i], 1e-5f);
            EXPECT_NEAR(m(1, i), (&c.row1.x)[i], 1e-5f);
            EXPECT_NEAR(m(2, i), (&n.x)[i], 1e-5f);
        }
        // Lifted off the surface so it does not fight the surface's depth.
        EXPECT_NEAR(m(3, 0), 5 + 0.01f * n.x, 1e-5f);
        EXPECT_NEAR(m(3, 1), 6 + 0.01f * n.y, 1e-5f);
        EXPECT_NEAR(m(3, 2), 7 + 0.01f * n.z, 1e-5f);
        EXPECT_EQ(m(3, 3), 1.0f);
    }
}

TEST_F(DecalTest, RingOf200ReplacesTheOldestAndSizesByTexture)
{
    Load(Terrain());
    ASSERT_TRUE(DecalManager::AddDecal(device, "big.tga", Vector3(1, 2, 3), Vector3(1, 0, 0), nullptr));
    const Matrix4 first = DecalManager::GetDecal(0).transform;
    ExpectRow(first, 0, Vector3(0, 0, 2)); // 256 pixels: two units
    ExpectRow(first, 1, Vector3(0, 2, 0));
    EXPECT_NEAR(first(3, 0), 1.01f, 1e-5f);
    for (int i = 1; i < DecalManager::kDecals; ++i)
        ASSERT_TRUE(DecalManager::AddDecal(device, "hole.tga", Vector3(float(i), 0, 0), Vector3(0, 1, 0), nullptr));
    EXPECT_EQ(DecalManager::GetNextSlot(), 0);
    ASSERT_TRUE(DecalManager::AddDecal(device, "hole.tga", Vector3(9, 9, 9), Vector3(0, 1, 0), nullptr));
    EXPECT_EQ(DecalManager::GetNextSlot(), 1);
    const DecalManager::Decal& replaced = DecalManager::GetDecal(0);
    ASSERT_NE(replaced.texture, nullptr);
    EXPECT_EQ(replaced.texture->GetWidth(), 64);
    ExpectRow(replaced.transform, 0, Vector3(0.5f, 0, 0));
    EXPECT_NEAR(replaced.transform(3, 1), 9.01f, 1e-5f);
}

TEST_F(DecalTest, ATextureThatFailsToLoadIsLoggedAndFreesItsSlot)
{
    Load(Terrain());
    ASSERT_TRUE(DecalManager::AddDecal(device, "hole.tga", Vector3(), Vector3(0, 1, 0), nullptr));
    ASSERT_TRUE(DecalManager::AddDecal(device, "hole.tga", Vector3(), Vector3(0, 1, 0), nullptr));
    // The ring comes round to slot 0 again: the failing load also frees what the slot held.
    for (int i = 2; i < DecalManager::kDecals; ++i)
        ASSERT_TRUE(DecalManager::AddDecal(device, "hole.tga", Vector3(), Vector3(0, 1, 0), nullptr));
    bool added = true;
    EXPECT_NO_THROW(added = DecalManager::AddDecal(device, "missing.tga", Vector3(), Vector3(0, 1, 0), nullptr));
    EXPECT_FALSE(added);
    EXPECT_EQ(DecalManager::GetDecal(0).texture, nullptr);
    EXPECT_EQ(DecalManager::GetNextSlot(), 0);
    EXPECT_EQ(LogLines("DecalManager Fatal Error: Can't load missing.tga"), 1);
    EXPECT_NO_THROW(DrawDecals());
}

TEST_F(DecalTest, DrawnInFrontWithinRangeKeptAcrossTheFirstRender)
{
    Load(Terrain());
    camera->SetFar(100.0f);
    LookFrom(Vector3(0, 200, 0), Vector3(0, 200, 10));
    // Added before anything was drawn: the first render keeps it.
    ASSERT_TRUE(DecalManager::AddDecal(device, "big.tga", Vector3(0, 200, 5), Vector3(0, 0, -1), nullptr));
    ASSERT_TRUE(DecalManager::AddDecal(device, "hole.tga", Vector3(0, 200, -5), Vector3(0, 0, 1), nullptr));  // behind
    ASSERT_TRUE(DecalManager::AddDecal(device, "hole.tga", Vector3(0, 200, 101), Vector3(0, 0, -1), nullptr)); // past the far distance
    std::vector<std::uint32_t> frame = DrawDecals();
    EXPECT_EQ(DecalManager::GetDrawnCount(), 1);
    ASSERT_EQ(frame.size(), 160u * 120u);
    EXPECT_TRUE(Near(frame[60 * 160 + 80], 0x0000FF, 40)) << std::hex << frame[60 * 160 + 80];
    EXPECT_TRUE(Near(frame[2 * 160 + 2], 0x000000, 8));
    frame = DrawDecals();
    EXPECT_EQ(DecalManager::GetDrawnCount(), 1);
    EXPECT_TRUE(Near(frame[60 * 160 + 80], 0x0000FF, 40));
}

TEST_F(DecalTest, OwnedDecalsMoveHideAndLeaveWithTheirObject)
{
    MapFile file = Terrain();
    file.placements = {At(0, 30, 0), At(50, 30, 50)};
    Load(file);
    MapObject* owner = world->GetFirstObject();
    ASSERT_NE(owner, nullptr);
    MapObject* other = owner->next;
    ASSERT_NE(other, nullptr);
    const Vector3 start = owner->GetPosition();
    ASSERT_TRUE(DecalManager::AddDecal(device, "big.tga", start + Vector3(0, 0, -2), Vector3(0, 0, -1), owner));
    ASSERT_TRUE(DecalManager::AddDecal(device, "hole.tga", Vector3(), Vector3(0, 1, 0), other));
    // Kept in the owner's space: the stored position is relative to the object.
    EXPECT_NEAR(DecalManager::GetDecal(0).transform(3, 2), -2.01f, 1e-4f);
    camera->SetFar(100.0f);
    LookFrom(Vector3(0, 200, -20), Vector3(0, 200, 0));
    owner->record->position = Vector3(0, 200, 0); // the decal follows without being touched
    DrawDecals();
    EXPECT_EQ(DecalManager::GetDrawnCount(), 1);
    std::vector<std::uint32_t> frame = DrawDecals();
    EXPECT_TRUE(Near(frame[60 * 160 + 80], 0x0000FF, 40)) << std::hex << frame[60 * 160 + 80];
    owner->hidden = true;
    DrawDecals();
    EXPECT_EQ(DecalManager::GetDrawnCount(), 0);
    EXPECT_NE(DecalManager::GetDecal(0).texture, nullptr);
    world->RemoveObject(owner);
    EXPECT_EQ(DecalManager::GetDecal(0).texture, nullptr);
    EXPECT_EQ(DecalManager::GetDecal(0).owner, nullptr);
    EXPECT_NE(DecalManager::GetDecal(1).texture, nullptr);
    DecalManager::RemoveObjectDecals(other);
    EXPECT_EQ(DecalManager::GetDecal(1).texture, nullptr);
}

} // namespace
