#include <cmath>
#include <cstring>

#include "engine/mesh/qMesh.h"
#include "engine/core/q3DError.h"
#include "engine/material/Material.h"
#include "tests/world/WorldFixture.h"
#include "world/props/CollisionProps.h"
#include "world/environment/WindEffect.h"

namespace {

using PropsTest = WorldTest;

struct PropCase {
    const char* line;
    bool accepted;     // AddProp's result
    PropFactory kept;  // the kind left in slot 0, or null
    bool preDraw, postDraw, nearCamera, updateList, hidden;
};

TEST_F(PropsTest, KeywordLinesAttachTheirProps)
{
    MapFile file = Terrain();
    file.entries.push_back({"box2.q3d", "other", {}, 0, 0});
    Load(file);
    const PropCase cases[] = {
        {"SWAY 0.3", true, nullptr, false, false, false, false, false},
        {"sway Y 1 -5 5", true, SwayPropFactory, true, true, false, false, false},
        {"sway Y 0 -5 5", true, nullptr, false, false, false, false, false},
        {"invisible", true, nullptr, false, false, false, false, true},
        {"light 10 2 0.5 -1", true, LightPropFactory, false, false, true, false, false},
        {"light 0 1 1 1", true, LightPropFactory, false, false, false, false, false},
        {"light 10 1", true, LightPropFactory, false, false, false, false, false},
        {"lamp 10 1", true, nullptr, false, false, false, false, false},
        {"rotate Q 1", true, RotatePropFactory, true, false, false, false, false},
        {"rotate Y 0", false, nullptr, false, false, false, false, false},
        {"drawdist", false, nullptr, false, false, false, false, false},
        {"drawdist 50 other", true, DrawDistPropFactory, false, true, false, false, false},
        {"move 5 once", true, MovePropFactory, false, false, false, true, false},
        {"move", true, nullptr, false, false, false, false, false},
        {"ybob 1 2", true, YBobPropFactory, true, false, false, false, false},
        {"ybob 0 2", true, nullptr, false, false, false, false, false},
        {"lod other 10 20", true, LodPropFactory, true, true, false, false, false},
        {"lod box 10 20", true, nullptr, false, false, false, false, false},
        {"lod nobody 10 20", true, nullptr, false, false, false, false, false},
        {"detail 3", true, nullptr, false, false, false, false, false},
        {"takeshadow", true, TakeShadowPropFactory, false, false, false, false, false},
        {"swayprox", true, SwayProxPropFactory, true, true, false, false, false},
        {"fullbright", true, nullptr, false, false, false, false, false},
        {"banana 1", true, nullptr, false, false, false, false, false},
        // A number that is not finite counts as missing; one too large is clamped and kept.
        {"sway Y nan -5 5", true, nullptr, false, false, false, false, false},
        {"sway Y 1 -inf 5", true, nullptr, false, false, false, false, false},
        {"sway Y 1 -1e39 1e39", true, SwayPropFactory, true, true, false, false, false},
        {"rotate Y inf", false, nullptr, false, false, false, false, false},
        {"rotate Y 1e39", true, RotatePropFactory, true, false, false, false, false},
        {"ybob nan 2", true, nullptr, false, false, false, false, false},
        {"ybob 1 -inf", true, nullptr, false, false, false, false, false},
        {"move nan", true, nullptr, false, false, false, false, false},
        {"drawdist inf other", false, nullptr, false, false, false, false, false},
        {"lod other 10 nan", true, nullptr, false, false, false, false, false},
        {"detail 300", true, nullptr, false, false, false, false, false},
        {"", true, nullptr, false, false, false, false, false},
    };
    for (const PropCase& c : cases) {
        SCOPED_TRACE(c.line);
        MapObject* object = world->AddObject(0, Vector3(-50, 10, 50), Matrix3(), 1.0f);
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(object->AddProp(c.line), c.accepted);
        if (!c.accepted) {
            world->RemoveObject(object);
            continue;
        }
        EXPECT_EQ(object->props[0] ? object->props[0]->kind : nullptr, c.kept);
        EXPECT_EQ(object->hasPreDrawProps, c.preDraw);
        EXPECT_EQ(object->hasPostDrawProps, c.postDraw);
        EXPECT_EQ(object->hasNearCameraProps, c.nearCamera);
        EXPECT_EQ(object->onUpdateList, c.updateList);
        EXPECT_EQ(object->hidden, c.hidden);
        world->RemoveObject(object); // detaches every prop, a light-less light prop too
        EXPECT_TRUE(world->updateList.empty());
    }
    EXPECT_TRUE(world->lights.empty());
}

TEST_F(PropsTest, AttachReadsTheEntryTextsUntilTheFirstEmptyOne)
{
    MapFile file = Terrain();
    file.entries[0].propTexts = {"", "invisible", "", "", ""};
    file.entries.push_back({"box.q3d", "five", {"takeshadow", "takeshadow", "takeshadow", "takeshadow", "takeshadow"}, 0, 0});
    file.placements = {At(-50, 10, 50, 0), At(50, 10, 50, 1)};
    Load(file);
    MapObject* five = world->GetFirstObject();
    MapObject* none = five->next;
    EXPECT_FALSE(none->hidden);
    EXPECT_EQ(none->props[0], nullptr);
    for (Prop* prop : five->props)
        EXPECT_NE(prop, nullptr);
    // A sixth prop is dropped while the call still succeeds.
    EXPECT_TRUE(five->AddProp("takeshadow"));
    int slot = -1;
    EXPECT_NE(five->FindProp(TakeShadowPropFactory, &slot), nullptr);
    EXPECT_EQ(slot, 0);
    EXPECT_EQ(five->FindProp(LightPropFactory, &slot), nullptr);
    EXPECT_EQ(slot, 5);
    EXPECT_NE(five->HasPropText("takeshadow"), nullptr);
    EXPECT_EQ(five->HasPropText("TAKESHADOW"), nullptr);
}

TEST_F(PropsTest, AmbonlyInLowerCaseStillGetsNormals)
{
    MapFile file = Terrain();
    file.entries[0].propTexts[0] = "ambonly";
    file.placements = {At(-50, 10, 50)};
    Load(file);
    EXPECT_NE(world->GetFirstObject()->FindProp(world->FindPropKeyword("AMBONLY")), nullptr);
}

TEST_F(PropsTest, RotateAndSwayTurnTheObject)
{
    MapFile file = Terrain();
    file.placements = {At(-50, 10, 50)};
    Load(file);
    MapObject* object = world->GetFirstObject();
    ASSERT_TRUE(object->AddProp("rotate Y 1.5707964"));
    object->CallPreDraw(1.0f);
    const Matrix3 rotation = object->GetRotation();
    EXPECT_NEAR(std::fabs(rotation(0, 2)), 1.0f, 1e-4f);
    MapObject* swaying = world->AddObject(0, Vector3(50, 10, 50), Matrix3(), 1.0f);
    ASSERT_TRUE(swaying->AddProp("sway Z 1.5707964 0 90"));
    swaying->CallPreDraw(1.0f); // sin = 1: the maximum angle
    EXPECT_NEAR(std::fabs(swaying->GetRotation()(0, 1)), 1.0f, 1e-4f);
    swaying->CallPostDraw(0.0f);
    EXPECT_NEAR(swaying->GetRotation()(0, 0), 1.0f, 1e-5f);
}

TEST_F(PropsTest, NumbersBeyondAFloatStillTurnTheObjectFinitely)
{
    MapFile file = Terrain();
    Load(file);
    for (const char* line : {"rotate Y 1e39", "rotate X -1e300", "sway Z 1e39 -1e39 1e39", "sway X 1 -1e39 1e39"}) {
        SCOPED_TRACE(line);
        MapObject* object = world->AddObject(0, Vector3(-50, 10, 50), Matrix3(), 1.0f);
        ASSERT_TRUE(object->AddProp(line));
        ASSERT_NE(object->props[0], nullptr);
        object->CallPreDraw(0.016f);
        const Matrix3 rotation = object->GetRotation();
        for (int row = 0; row < 3; ++row)
            for (int column = 0; column < 3; ++column)
                EXPECT_TRUE(std::isfinite(rotation(row, column)));
        world->RemoveObject(object);
    }
}

TEST_F(PropsTest, MovePropsStopWrapOrReturnAtTheEdge)
{
    MapFile file = Terrain();
    Load(file);
    struct Case {
        const char* line;
        float expectedZ;
        bool hidden;
    };
    // Facing +z (identity rotation); the edge is z = 160.
    const Case cases[] = {{"move 100 once", 150.0f, true}, {"move 100 random", -160.0f, false}, {"move 100", 150.0f, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        MapObject* object = world->AddObject(0, Vector3(0, 10, 150), Matrix3(), 1.0f);
        ASSERT_TRUE(object->AddProp(c.line));
        world->Update(0.2f);
        EXPECT_NEAR(object->GetPosition().z, c.expectedZ, 1e-3f);
        EXPECT_EQ(object->hidden, c.hidden);
        world->RemoveObject(object);
    }
}

TEST_F(PropsTest, SwayproxFactorFollowsTheModelHeight)
{
    Load(Terrain());
    // The box is 4 units tall: h = 4 x scale / 15.
    for (const auto& [scale, factor] : {std::pair{1.0f, 2.0f - 4.0f / 15.0f}, {7.5f, 0.0f}, {9.0f, 0.1f}}) {
        MapObject* object = world->AddObject(0, Vector3(-50, 10, 50), Matrix3(), scale);
        ASSERT_TRUE(object->AddProp("swayprox 3"));
        const auto* prop = static_cast<SwayProxProp*>(object->FindProp(SwayProxPropFactory));
        ASSERT_NE(prop, nullptr);
        EXPECT_NEAR(prop->maximumAngle, factor * 0.049087387f, 1e-5f) << scale;
        EXPECT_FLOAT_EQ(prop->radius, 3.0f);
        world->RemoveObject(object);
    }
}

TEST_F(PropsTest, SwayproxSwaysWhenItsLevelsWatchedPointMovesWithinReach)
{
    // The watched point belongs to the level: a level loaded later watches nothing until told.
    struct Case {
        const char* name;
        bool watch;
        Vector3 offset; // of the watched point from the object
        float amplitude;
    } cases[] = {
        {"moved within reach", true, Vector3(0, 0, 2), 1.0f},
        {"moved out of reach", true, Vector3(0, 0, 4), 0.0f},
        {"nothing watched in this level", false, Vector3(0, 0, 2), 0.0f},
    };
    for (const Case& c : cases) {
        Load(Terrain());
        MapObject* object = world->AddObject(0, Vector3(-50, 10, 50), Matrix3(), 1.0f);
        ASSERT_TRUE(object->AddProp("swayprox 3"));
        auto* prop = static_cast<SwayProxProp*>(object->FindProp(SwayProxPropFactory));
        ASSERT_NE(prop, nullptr);
        // Each level's first frame finds the point moved from where nothing was.
        Vector3 watched = object->GetPosition() + c.offset;
        if (c.watch)
            SwayProxProp::SetWatchedPoint(&watched);
        prop->PreDraw(object, 0.0f);
        prop->PostDraw(object, 0.0f);
        EXPECT_FLOAT_EQ(prop->amplitude, c.amplitude) << c.name;
        world->RemoveObject(object);
    }
}

TEST_F(PropsTest, WindAndSwayAdvanceWithTheFrame)
{
    Load(Terrain());
    world->SetWind(Vector3(0, 0, 1), 5.0f);
    EXPECT_FLOAT_EQ(world->swayAmplitude, 0.2f);
    EXPECT_NEAR(world->damping, 1.0f - 0.115f, 1e-6f);
    world->Update(0.5f);
    EXPECT_NEAR(world->wind.z, 0.5f, 1e-5f);
    // The same wind asked for again every frame keeps blending and swaying.
    const float sway = world->swayTimer;
    world->SetWind(Vector3(0, 0, 1), 5.0f);
    EXPECT_FLOAT_EQ(world->swayTimer, sway);
    world->Update(0.6f);
    EXPECT_NEAR(world->wind.z, 1.0f, 1e-5f);
    world->SetWind(Vector3(1, 0, 0), 50.0f);
    EXPECT_FLOAT_EQ(world->damping, 0.1f);
    EXPECT_FLOAT_EQ(world->swayAmplitude, 10.0f);
}

TEST_F(PropsTest, NoiseTableIsTheFixedSequence)
{
    const float* noise = World::GetNoiseTable();
    std::uint32_t seed = 1u << 20;
    for (int i = 0; i < World::kNoiseSize; ++i) {
        seed *= 16807u;
        ASSERT_FLOAT_EQ(noise[i], float(seed % 64000u) * 0.000015625f) << i;
        ASSERT_GE(noise[i], 0.0f);
        ASSERT_LT(noise[i], 1.0f);
    }
}

} // namespace

namespace {

TEST_F(PropsTest, CollisionPropsCarryWhatTheQueryReads)
{
    Load(Terrain());
    MapObject* object = world->AddObject(0, Vector3(-50, 10, 50), Matrix3(), 1.0f);
    ASSERT_TRUE(object->AddProp("nocollision"));
    ASSERT_TRUE(object->AddProp("ALWAYSCOLLIDE"));
    ASSERT_TRUE(object->AddProp("colmesh box2.q3d"));
    ASSERT_TRUE(object->AddProp("colmesh")); // no model: dropped
    ASSERT_TRUE(object->AddProp("nocollisionalpha material nothing"));
    EXPECT_NE(object->FindProp(NoCollisionPropFactory), nullptr);
    EXPECT_NE(object->FindProp(AlwaysCollidePropFactory), nullptr);
    const auto* colmesh = static_cast<ColMeshProp*>(object->FindProp(ColMeshPropFactory));
    ASSERT_NE(colmesh, nullptr);
    ASSERT_NE(colmesh->mesh, nullptr);
    EXPECT_NEAR(colmesh->mesh->GetBoundingBox().max.y, 0.5f, 1e-4f);
    const auto* alpha = static_cast<NoCollisionAlphaProp*>(object->FindProp(NoCollisionAlphaPropFactory));
    ASSERT_NE(alpha, nullptr);
    ASSERT_EQ(alpha->materials.size(), 1u); // the box's one material is named "Material"
    EXPECT_STRCASEEQ(alpha->materials[0]->name, "Material");
    EXPECT_THROW(object->AddProp("colmesh missing.q3d"), q3DError);
    world->RemoveObject(object);
}

} // namespace

namespace {

TEST_F(PropsTest, VisualPropsLoadTheirFilesOrFailAsTheySay)
{
    WriteFile("glow.tga", WriteTga(TgaImage(16, 16, 0x80FFFFFFu), 32));
    Load(Terrain());
    MapObject* object = world->AddObject(0, Vector3(-50, 10, 50), Matrix3(), 1.0f);
    EXPECT_TRUE(object->AddProp("glow"));
    EXPECT_EQ(object->props[0], nullptr);
    EXPECT_TRUE(object->AddProp("glow glow.tga 0 3 0"));
    EXPECT_NE(object->FindProp(GlowPropFactory), nullptr);
    EXPECT_TRUE(object->hasPostDrawProps);
    EXPECT_FALSE(object->AddProp("shadowtex")); // no texture: the object is refused
    try {
        object->AddProp("shadowtex missing.tga");
        FAIL() << "no error";
    } catch (const q3DError& error) {
        EXPECT_STREQ(error.GetText(), "Can't load shadow texture missing.tga");
    }
    EXPECT_TRUE(object->AddProp("shadowtex glow.tga 2 2"));
    EXPECT_NE(object->FindProp(ShadowTexPropFactory), nullptr);
    EXPECT_THROW(object->AddProp("particle missing.par"), q3DError);
    world->frozen = true; // while frozen a missing particle file only drops the prop
    EXPECT_TRUE(object->AddProp("particle missing.par"));
    EXPECT_TRUE(world->loadError);
    // Drawing a frame runs the glow's visibility test and the shadow quad.
    LookFrom(Vector3(-50, 40, 0), Vector3(-50, 10, 50));
    device->BeginFrame(true, true);
    world->CollectVisible();
    world->RenderTerrain();
    world->RenderObjects();
    device->EndFrame(true, true);
    world->RemoveObject(object);
}

} // namespace

namespace {

TEST_F(PropsTest, NoSortObjectsShareOneCentreAndDrawOnce)
{
    MapFile file = Terrain();
    file.entries[0].propTexts[0] = "nosort";
    file.placements = {At(-50, 10, 50), At(-40, 10, 60)};
    Load(file);
    LibraryObject* library = world->GetLibraryObject(0);
    ASSERT_NE(library->userData[0], nullptr);
    MapObject* first = world->GetFirstObject();
    // The box is opaque, so its centre is the middle of its box.
    LookFrom(Vector3(-45, 30, 20), Vector3(-45, 10, 55));
    device->BeginFrame(true, true);
    world->CollectVisible();
    world->RenderTerrain();
    world->RenderObjects();
    device->EndFrame(true, true);
    EXPECT_EQ(world->visibleCount, 2);
    EXPECT_EQ(world->drawnObjectCount, 2); // each drawn once, by its prop
    EXPECT_FALSE(first->hidden);
    world->RemoveObject(first);
    EXPECT_NE(library->userData[0], nullptr);
    world->RemoveObject(world->GetFirstObject());
    EXPECT_EQ(library->userData[0], nullptr);
}

TEST_F(PropsTest, WindEffectBendsTheUpAxisAndRestoresIt)
{
    Load(Terrain());
    world->SetWind(Vector3(1, 0, 0), 5.0f);
    world->Update(2.0f);
    Effect* effect = WindEffectFactory("wind", nullptr, nullptr);
    ASSERT_NE(effect, nullptr);
    const Matrix4 identity;
    device->SetWorldTransform(&identity);
    effect->Apply(device, nullptr);
    Matrix4 bent;
    device->GetWorldTransform(&bent);
    EXPECT_GT(bent.m[4], 0.0f); // leaning along +x
    EXPECT_NEAR(Vector3(bent.m[4], bent.m[5], bent.m[6]).Length(), 1.0f, 1e-4f);
    effect->Restore(device, nullptr);
    Matrix4 restored;
    device->GetWorldTransform(&restored);
    EXPECT_EQ(restored, identity);
    WindEffectFactory(nullptr, nullptr, &effect);
    EXPECT_EQ(effect, nullptr);
}

} // namespace
