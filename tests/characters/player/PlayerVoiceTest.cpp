// The squad's voice sets from the demo data set, played on a sound system on the loopback output.
#include <cstdio>
#include <filesystem>
#include <memory>

#include "engine/filesystem/PackFile.h"
#include "media/Sound2D.h"
#include "media/Sound3D.h"
#include "media/SoundSystem.h"
#include "platform/audio/Driver.h"
#include "tests/characters/player/PlayerFixture.h"

namespace {

// "%s%02d.wav" from 01 while the file exists, at most maximum, as the mission's loaders do.
template <typename SoundType, typename Keep>
int LoadNumbered(int maximum, const char* prefix, Keep keep)
{
    int loaded = 0;
    for (; loaded < maximum; ++loaded) {
        char path[256];
        std::snprintf(path, sizeof path, "%s%02d.wav", prefix, loaded + 1);
        if (!PackFileCanOpen(path))
            break;
        auto sound = std::make_unique<SoundType>();
        if (sound->Create(Application::Instance()->GetSoundSystem(), path) < 0)
            break;
        keep(loaded, std::move(sound));
    }
    return loaded;
}

class PlayerVoiceTest : public PlayerTest {
protected:
    void SetUp() override
    {
        PlayerTest::SetUp();
        platform::audio::Driver::SetOutput(platform::audio::Driver::Output::Loopback);
        system = std::make_unique<SoundSystem>();
        ASSERT_EQ(system->Create(true, 14, 2, 22050, ".\\GameData\\Audio"), 0);
        system->Enumerate3DProviders();
        ASSERT_EQ(system->Open3DProvider(0, 32), 0);
        Application::Instance()->SetSoundSystem(system.get());
        std::filesystem::remove_all("Sound");
        std::filesystem::create_directory_symlink(std::filesystem::path(BEXAL_DATA_DIR) / "Sound", "Sound");
        hooks.loadVoiceSet = [](std::unique_ptr<Sound3D>* set, int maximum, const char* prefix, float minimum,
                                float maximumDistance) {
            return LoadNumbered<Sound3D>(maximum, prefix, [&](int i, std::unique_ptr<Sound3D> sound) {
                sound->SetDistances(maximumDistance, minimum, Sound::NoPlay);
                set[i] = std::move(sound);
            });
        };
        hooks.loadVoiceSet2D = [](std::vector<std::unique_ptr<Sound2D>>& set, int maximum, const char* prefix) {
            set.clear();
            return LoadNumbered<Sound2D>(maximum, prefix,
                                         [&](int, std::unique_ptr<Sound2D> sound) { set.push_back(std::move(sound)); });
        };
        SetMissionServiceHooks(hooks);
    }

    void TearDown() override
    {
        ReleaseSquad();
        PlayerVoices::Release();
        Application::Instance()->SetSoundSystem(nullptr);
        system.reset();
        PlayerTest::TearDown();
    }

    std::unique_ptr<SoundSystem> system;
};

} // namespace

TEST_F(PlayerVoiceTest, TheDemoVoiceSetsLoadWithEveryCategory)
{
    MakeSquad(1);
    EXPECT_EQ(PlayerVoices::GetSetCount(), 4);
    for (int set = 0; set < 4; ++set) {
        for (int category = 0; category < PlayerVoices::CategoryCount; ++category) {
            EXPECT_EQ(PlayerVoices::GetSampleCount(category, set), category == PlayerVoices::FireAtWill ? 1 : 2)
                << PlayerVoices::Prefix(category, set + 1);
        }
    }
    EXPECT_NE(members[0]->wadingSound, nullptr);
    EXPECT_NE(members[0]->fatigueSound, nullptr);
}

TEST_F(PlayerVoiceTest, AKillLineNeverInterruptsTheLastAndALoneSoldierSaysNone)
{
    MakeSquad(2);
    roster->RemoveMember(members[1].get());
    members[0]->SayVoiceLine();
    EXPECT_EQ(members[0]->voiceHandle, -1);

    ASSERT_TRUE(roster->AddMember(members[1].get()));
    members[0]->SayVoiceLine();
    const int first = members[0]->voiceHandle;
    EXPECT_NE(first, -1);
    members[0]->SayVoiceLine();
    EXPECT_EQ(members[0]->voiceHandle, first);
}
