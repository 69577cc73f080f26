// The squad's voice sets from the demo data set, played on a sound system on the loopback output.
#include <filesystem>
#include <memory>

#include "media/Sound2D.h"
#include "tests/characters/LoopbackVoices.h"
#include "tests/characters/player/PlayerFixture.h"

namespace {

class PlayerVoiceTest : public PlayerTest {
protected:
    void SetUp() override
    {
        PlayerTest::SetUp();
        system = OpenLoopbackSoundSystem();
        ASSERT_NE(system, nullptr);
        Application::Instance()->SetSoundSystem(system.get());
        std::filesystem::remove_all("Sound");
        std::filesystem::create_directory_symlink(std::filesystem::path(BEXAL_DATA_DIR) / "Sound", "Sound");
    }

    void TearDown() override
    {
        ReleaseSquad();
        PlayerVoices::Release();
        Application::Instance()->SetSoundSystem(nullptr);
        system.reset();
        PlayerTest::TearDown();
    }

    // The fixture's squad, whose voices load from the files; it covers the fixture's own.
    class LoopbackSquad : public SquadFake {
    public:
        using SquadFake::SquadFake;
        int LoadVoiceSet(std::unique_ptr<Sound3D>* set, int maximum, const char* prefix, float minimum,
                         float maximumDistance) override
        {
            return LoadVoiceSet3D(set, maximum, prefix, minimum, maximumDistance);
        }
        int LoadVoiceSet2D(std::vector<std::unique_ptr<Sound2D>>& set, int maximum, const char* prefix) override
        {
            return ::LoadVoiceSet2D(set, maximum, prefix);
        }
    };

    std::unique_ptr<SoundSystem> system;
    LoopbackSquad voices{roster, current, voiceSets};
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
