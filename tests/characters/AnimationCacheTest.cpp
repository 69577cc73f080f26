#include "characters/body/AnimationCache.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "engine/filesystem/PackFile.h"

TEST(AnimationCacheTest, HoldsWholePathsSortedAndOnce)
{
    AnimationCache cache;
    cache.Add("GameData/Models/LowerBody/", "Walk01.gr2");
    cache.Add("GameData/Models/LowerBody/Deaths/", "Walk01.gr2");  // same file name, other folder
    cache.Add("GameData\\Models\\LowerBody\\", "WALK01.GR2");      // the first again
    cache.Add("GameData/Models/LowerBody/", "Idle01.gr2");
    EXPECT_EQ(cache.Size(), 3u);
    EXPECT_TRUE(cache.Contains("gamedata/models/lowerbody/walk01.gr2"));
    EXPECT_TRUE(cache.Contains("GameData\\Models\\LowerBody\\Deaths\\walk01.GR2"));
    EXPECT_TRUE(cache.Contains("GameData/Models/LowerBody/Idle01.gr2"));
    EXPECT_FALSE(cache.Contains("GameData/Models/LowerBody/Idle02.gr2"));
    EXPECT_FALSE(cache.Contains("GameData/Models/Walk01.gr2"));
}

TEST(AnimationCacheTest, ManyFilesNeverOverflowOrCollide)
{
    // More files than a fixed table of 1024 hashes held, and two names the x31 name hash maps alike.
    ASSERT_EQ(PackFileHashName("Models/Anim1?.gr2"), PackFileHashName("Models/Anim2 .gr2"));
    AnimationCache cache;
    for (int i = 0; i < 3000; ++i)
        cache.Add("Models/", "Anim" + std::to_string(i) + ".gr2");
    cache.Add("Models/", "Anim1?.gr2");
    cache.Add("Models/", "Anim2 .gr2");
    EXPECT_EQ(cache.Size(), 3002u);
    EXPECT_TRUE(cache.Contains("Models/Anim2999.gr2"));
    EXPECT_TRUE(cache.Contains("Models/anim1?.gr2"));
    EXPECT_TRUE(cache.Contains("Models/anim2 .gr2"));
}

TEST(AnimationCacheTest, FoldersBuildIntoTheOneSharedTable)
{
    const auto root = std::filesystem::temp_directory_path() / ("bexal-animcache-" + std::to_string(getpid()));
    std::filesystem::create_directories(root / "Pains");
    std::ofstream(root / "Walk01.gr2") << "x";
    std::ofstream(root / "Walk02.gr2") << "x";
    std::ofstream(root / "notes.txt") << "x";
    std::ofstream(root / "Pains" / "Hit01.gr2") << "x";
    const std::string folder = root.string() + "/";
    const std::string pains = (root / "Pains").string() + "/";

    AnimationCache& cache = AnimationCache::Instance();
    cache.Clear();
    cache.Build(folder.c_str());
    cache.Build(pains.c_str());
    cache.Build(folder.c_str());  // building a folder again adds nothing
    std::filesystem::remove_all(root);

    EXPECT_EQ(cache.Size(), 3u);
    EXPECT_TRUE(AnimationFileExists((folder + "walk02.GR2").c_str()));  // seen after the files are gone
    EXPECT_TRUE(AnimationFileExists((pains + "Hit01.gr2").c_str()));
    EXPECT_FALSE(AnimationFileExists((folder + "notes.txt").c_str()));
    EXPECT_FALSE(AnimationFileExists((folder + "Hit01.gr2").c_str()));
    cache.Clear();
}
