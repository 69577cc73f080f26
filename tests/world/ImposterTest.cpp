#include "engine/sprite/Sprite.h"
#include "tests/support/FramePixels.h"
#include "tests/world/WorldFixture.h"
#include "world/imposters/ImposterProp.h"

namespace {

class ImposterTest : public WorldTest {
protected:
    void TearDown() override
    {
        WorldTest::TearDown();
        ImposterProp::SetPageBudget(0); // a test may have set its own
    }

    // A flat map; entry 0 the plain box, entry 1 the same box as an imposter, entry 2 an imposter
    // that is not drawn beyond 100 units.
    MapFile FlatMap()
    {
        MapFile map = FlatTerrain();
        map.entries.push_back({"box.q3d", "far", {"imposter", "", "", "", ""}, 0, 0});
        map.entries.push_back({"box.q3d", "limited", {"drawdist 100", "imposter", "", "", ""}, 0, 0});
        return map;
    }

    std::vector<std::uint32_t> DrawFrame()
    {
        device->SetClearColor(0xFF000000u);
        device->BeginFrame(true, true);
        device->SetFogEnable(false);
        camera->UpdateTransform(0.0f);
        world->Update(0.02f);
        world->CollectVisible();
        world->RenderObjects();
        drawn = ImposterProp::DrawnThisFrame();
        device->EndFrame(true, true);
        return ReadFrame(device);
    }

    static int Lit(const std::vector<std::uint32_t>& frame, int x0, int x1)
    {
        int lit = 0;
        for (int y = 0; y < 120; ++y)
            for (int x = x0; x < x1; ++x)
                lit += !Near(frame[std::size_t(y * 160 + x)], 0x000000, 30);
        return lit;
    }

    int drawn = 0;
};

TEST_F(ImposterTest, AFarObjectIsDrawnAsItsPicture)
{
    MapFile file = FlatMap();
    // The plain box left, its imposter twin right, both 150 units ahead.
    file.placements = {At(-10, 20, 150, 0, 3.0f), At(10, 20, 150, 1, 3.0f)};
    Load(file);
    LookFrom(Vector3(0, 20, 0), Vector3(0, 20, 150));
    std::vector<std::uint32_t> frame;
    for (int i = 0; i < 3; ++i)
        frame = DrawFrame();
    EXPECT_EQ(drawn, 1);
    ASSERT_EQ(ImposterProp::Pages().size(), 1u);
    MapObject* twin = world->GetFirstObject();
    if (twin->record->libraryIndex != 1)
        twin = twin->next;
    auto* prop = static_cast<ImposterProp*>(twin->FindProp(ImposterPropFactory));
    ASSERT_NE(prop, nullptr);
    EXPECT_TRUE(prop->hasImposter);
    EXPECT_EQ(prop->cellSize, 32);
    EXPECT_NE(twin->FindProp(NoSortPropFactory), nullptr);
    // Both show about the same amount of box.
    const int plain = Lit(frame, 0, 80), picture = Lit(frame, 80, 160);
    EXPECT_GT(plain, 10);
    EXPECT_NEAR(picture, plain, plain * 4 / 10 + 4) << plain << " " << picture;

    // Turned away: the cell is kept while the object is near, freed once it is farther than half
    // the far distance.
    LookFrom(Vector3(0, 20, 0), Vector3(0, 20, -150));
    DrawFrame();
    EXPECT_NE(prop->cell, nullptr);
    LookFrom(Vector3(0, 20, -100), Vector3(0, 20, -250));
    DrawFrame();
    DrawFrame();
    EXPECT_EQ(prop->cell, nullptr);
    EXPECT_FALSE(prop->hasImposter);
}

TEST_F(ImposterTest, BeyondItsDrawDistanceNothingIsDrawnAndCloseUpItIsRenderedAgain)
{
    MapFile file = FlatMap();
    file.placements = {At(0, 20, 150, 2)};
    Load(file);
    LookFrom(Vector3(0, 20, 0), Vector3(0, 20, 150));
    std::vector<std::uint32_t> frame = DrawFrame();
    EXPECT_EQ(drawn, 0);
    EXPECT_EQ(Lit(frame, 0, 160), 0);
    MapObject* object = world->GetFirstObject();
    auto* prop = static_cast<ImposterProp*>(object->FindProp(ImposterPropFactory));
    ASSERT_NE(prop, nullptr);
    EXPECT_FALSE(object->hidden);
    LookFrom(Vector3(0, 20, 60), Vector3(0, 20, 150));
    DrawFrame();
    EXPECT_EQ(drawn, 1);
    const float first = prop->lastDistance;
    LookFrom(Vector3(0, 20, 90), Vector3(0, 20, 150));
    DrawFrame();
    EXPECT_LT(prop->lastDistance, first); // moved much closer: rendered again
}

TEST_F(ImposterTest, ThePagePictureMatchesItsGoldenImage)
{
    MapFile file = FlatMap();
    for (int i = 0; i < 6; ++i)
        file.placements.push_back(At(float(i * 12 - 30), 20, 80 + float(i * 15), 1, 5.0f));
    Load(file);
    LookFrom(Vector3(0, 24, 0), Vector3(0, 20, 150));
    DrawFrame();
    ASSERT_EQ(ImposterProp::Pages().size(), 1u);
    // The top-left quarter of the page, where the first cells are, shown on the screen.
    ImposterPage& page = *ImposterProp::Pages().front();
    device->SetClearColor(0xFF000000u);
    device->BeginFrame(true, true);
    Sprite view;
    view.material = page.sprite.material;
    view.material.srcBlend = BlendOne;
    view.material.destBlend = BlendZero;
    view.width = view.height = 128;
    view.texCoords[1][0] = view.texCoords[2][0] = 0.25f;
    view.texCoords[2][1] = view.texCoords[3][1] = 0.25f;
    view.Draw(device);
    device->EndFrame(true, true);
    view.material.texture[0] = nullptr;
    const std::vector<std::uint32_t> frame = ReadFrame(device);
    EXPECT_GT(Lit(frame, 0, 160), 30);
    ExpectGoldenFrame(frame, "imposter-page.tga");
}

TEST_F(ImposterTest, AFullAtlasAtItsPageBudgetLeavesTheMesh)
{
    ImposterProp::SetPageBudget(1);
    MapFile file = FlatMap();
    file.placements = {At(0, 20, 150, 1, 3.0f)};
    Load(file);
    ASSERT_EQ(ImposterProp::Pages().size(), 1u);
    ImposterCell::Take(&ImposterProp::Pages().front()->root); // every cell of the only page taken
    LookFrom(Vector3(0, 20, 0), Vector3(0, 20, 150));
    std::vector<std::uint32_t> frame = DrawFrame();
    EXPECT_EQ(drawn, 0);
    EXPECT_EQ(world->drawnObjectCount, 1); // drawn as its mesh, no error
    EXPECT_EQ(ImposterProp::Pages().size(), 1u);
    EXPECT_GT(Lit(frame, 0, 160), 0);
    // With room for another page the object gets one.
    ImposterProp::SetPageBudget(2);
    DrawFrame();
    EXPECT_EQ(drawn, 1);
    EXPECT_EQ(ImposterProp::Pages().size(), 2u);
    bool logged = false;
    for (const std::string& line : ReadLines("q3D.log"))
        logged |= line.find("2 imposter sprites created") != std::string::npos;
    EXPECT_TRUE(logged);
}

} // namespace
