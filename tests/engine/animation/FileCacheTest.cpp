#include <algorithm>
#include <cctype>
#include <fstream>

#include "engine/material/Material.h"
#include "tests/engine/animation/AnimationFixture.h"

namespace {

// The path with the part below the data folder in upper case, which the file layer still finds.
std::string Shouted(const std::string& relative)
{
    std::string upper = relative;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return DataPath(upper);
}

bool LogHas(const std::string& text)
{
    std::ifstream log("q3D.log");
    for (std::string line; std::getline(log, line);)
        if (line.find(text) != std::string::npos)
            return true;
    return false;
}

} // namespace

TEST_F(AnimatedModelTest, TwoNodesLoadingOnePathInAnyLetterCaseShareOneEntry)
{
    const int before = GrannyFileCache::EntryCount();
    auto first = std::make_unique<AnimatedModel>();
    auto second = std::make_unique<AnimatedModel>();
    first->Load(device, DataPath(kSoldier).c_str(), nullptr);
    second->Load(device, Shouted(kSoldier).c_str(), nullptr);

    ASSERT_NE(first->GetFileEntry(), nullptr);
    EXPECT_EQ(first->GetFileEntry(), second->GetFileEntry());
    EXPECT_EQ(first->GetFileEntry()->references, 2);
    EXPECT_EQ(GrannyFileCache::EntryCount(), before + 1);
    EXPECT_EQ(AnimatedModel::GetLoadCount(), 2);
    EXPECT_STREQ(second->GetName(), Shouted(kSoldier).c_str());

    // Releasing one leaves the other whole.
    first.reset();
    EXPECT_EQ(second->GetFileEntry()->references, 1);
    EXPECT_EQ(second->GetBoneCount(), 30);
    second->frustumCull = false;
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    EXPECT_TRUE(second->Draw(device));
    ASSERT_EQ(device->EndFrame(true, true), 0);

    second.reset();
    EXPECT_EQ(GrannyFileCache::EntryCount(), before);
}

TEST_F(AnimatedModelTest, AModelCachedByAnAnimationLoadStillGetsItsMeshes)
{
    AnimatedModel radar;
    // The file is cached by the animation load first; the model load still builds its meshes.
    AnimationControl* spin = radar.LoadAnimation(DataPath(kRadar).c_str());
    ASSERT_NE(spin, nullptr);
    EXPECT_EQ(spin->file->references, 1);
    radar.Load(device, DataPath(kRadar).c_str(), nullptr);
    ASSERT_EQ(radar.GetAnimations().size(), 1u) << "animations loaded before the model stay";
    EXPECT_EQ(radar.GetFileEntry(), spin->file);
    EXPECT_EQ(spin->file->references, 2);
    EXPECT_EQ(radar.GetMeshCount(), 3);
    EXPECT_EQ(radar.GetMaterialCount(), 1);

    AnimationControl* again = radar.LoadAnimation(DataPath(kRadar).c_str());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(spin->file->references, 3);
    radar.FreeAnimation(again);
    EXPECT_EQ(spin->file->references, 2);
    EXPECT_EQ(radar.GetAnimations().size(), 1u);
}

TEST_F(AnimatedModelTest, AFileWithoutAnimationGivesNoControlAndALogLine)
{
    AnimatedModel soldier;
    soldier.Load(device, DataPath(kSoldier).c_str(), nullptr);
    const int entries = GrannyFileCache::EntryCount();
    EXPECT_EQ(soldier.LoadAnimation(DataPath("GameData/Models/us01_LOD2.gr2").c_str()), nullptr);
    EXPECT_TRUE(soldier.GetAnimations().empty());
    EXPECT_EQ(GrannyFileCache::EntryCount(), entries) << "the file's entry is dropped again";
    soldier.Release();
    EXPECT_TRUE(LogHas("LoadAnimation: No animation in file"));
}

TEST_F(AnimatedModelTest, MaterialsAreNamedAfterTheirTexturePaths)
{
    AnimatedModel soldier;
    soldier.Load(device, DataPath(kSoldier).c_str(), nullptr);
    ASSERT_EQ(soldier.GetMaterialCount(), 1);
    EXPECT_STREQ(soldier.GetMaterial(0)->name, DataPath("GameData/Models/us01.tga").c_str());
    ASSERT_NE(soldier.GetMaterial(0)->texture[0], nullptr);
    EXPECT_EQ(soldier.GetMaterial(1), nullptr);
    EXPECT_EQ(soldier.GetMaterial(-1), nullptr);

    struct Case {
        const char* folder;
        const char* model;
        const char* texture;
        const char* expected;
    };
    const Case cases[] = {
        {nullptr, "GameData/Models/us01.gr2", "us01.tga", "GameData/Models/us01.tga"},
        {nullptr, "C:GameData\\Models\\us01.gr2", "art\\skins\\us01.tga", "C:GameData\\Models\\us01.tga"},
        {"Textures/", "GameData/Models/us01.gr2", "art/us01.dds", "Textures/us01.dds"},
        {nullptr, "plain.gr2", "skin.tga", "skin.tga"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MakeTexturePath(c.folder, c.model, c.texture), c.expected) << c.model << " " << c.texture;
}

TEST_F(AnimatedModelTest, CopiedAnimationsKeepTheOrderAndShareTheFiles)
{
    AnimatedModel source, copy;
    AnimationControl* walk = source.LoadAnimation(DataPath("GameData/Models/LowerBody/walk01.gr2").c_str());
    AnimationControl* idle = source.LoadAnimation(DataPath("GameData/Models/LowerBody/idle01.gr2").c_str());
    ASSERT_NE(walk, nullptr);
    ASSERT_NE(idle, nullptr);
    source.SetLoopCount(3, walk);
    source.SetSpeed(2.0f, walk);
    source.SetWeight(0.5f, idle);
    source.SetEaseInTime(0.1f, idle);

    copy.CopyAnimationsFrom(source);
    ASSERT_EQ(copy.GetAnimations().size(), 2u);
    const AnimationControl* copiedIdle = copy.GetAnimations()[0];
    const AnimationControl* copiedWalk = copy.GetAnimations()[1];
    EXPECT_EQ(copiedIdle->file, idle->file);
    EXPECT_EQ(copiedWalk->file, walk->file);
    EXPECT_EQ(walk->file->references, 2);
    EXPECT_EQ(copiedWalk->loopCount, 3);
    EXPECT_FLOAT_EQ(copiedWalk->speed, 2.0f);
    EXPECT_FLOAT_EQ(copiedIdle->weight, 0.5f);
    EXPECT_FLOAT_EQ(copiedIdle->easeIn, 0.1f);
    EXPECT_FLOAT_EQ(copiedIdle->startTime, -1.0f);
    EXPECT_EQ(copiedIdle->control, nullptr);

    // A control of another node is not this node's to free.
    copy.FreeAnimation(walk);
    EXPECT_EQ(source.GetAnimations().size(), 2u);
    EXPECT_EQ(walk->file->references, 2);
}
