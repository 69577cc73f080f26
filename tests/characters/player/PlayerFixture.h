#pragma once

// Squad soldiers with bodies in a working folder of their own: the demo data set's "GameData"
// linked in, voice folders made as each test asks, a mission stand-in (current squad, current
// player, voice sets, names) the test fills, and the shared voice tables released afterwards.

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/framework/Application.h"
#include "app/framework/Options.h"
#include "characters/PlayerMissionServices.h"
#include "characters/Formation.h"
#include "characters/Player.h"
#include "characters/PlayerVoices.h"
#include "characters/SquadRoster.h"
#include "tests/characters/LevelFake.h"
#include "tests/characters/body/CharacterFixture.h"

class PlayerTest : public CharacterTest {
protected:
    void SetUp() override
    {
        CharacterTest::SetUp();
        MakeVoiceFolders(4);
        Formation::FreeAll();
        PlayerVoices::Release();
        options = Options::Instance();
        for (int i = 0; i < Options::OptionCount; ++i)
            savedOptions[std::size_t(i)] = options->GetOption(i);
        options->SetOption(Options::Difficulty, 1);
        options->SetOption(Options::DamageRealism, 1);
        Application::Instance()->ClearMessages();
        InstallHooks();
    }

    void TearDown() override
    {
        ReleaseSquad();
        PlayerVoices::Release();
        Formation::FreeAll();
        for (int i = 0; i < Options::OptionCount; ++i)
            options->SetOption(i, savedOptions[std::size_t(i)]);
        Application::Instance()->ClearMessages();
        CharacterTest::TearDown();
    }

    // The soldiers go before their squad, and the mission's list forgets them first.
    void ReleaseSquad()
    {
        everyone.clear();
        current = nullptr;
        members.clear();
        roster.reset();
    }

    static void MakeVoiceFolders(int count)
    {
        for (int n = 1; n <= count; ++n)
            std::filesystem::create_directories("Sound/AVoice" + std::to_string(n));
    }

    void InstallHooks()
    {
        hooks.currentSquadRoster = [this]() { return roster.get(); };
        hooks.voiceSet = [this](int slot) { return slot < int(voiceSets.size()) ? voiceSets[std::size_t(slot)] : 0; };
        hooks.playerName = [](int slot) { return "Soldier" + std::to_string(slot); };
        hooks.takeControl = [this](Character* member) { current = member; };
        SetMissionServiceHooks(hooks);
        levelFake.characters = &everyone;
    }

    // A squad of n soldiers 10 units apart along x, member 0 driven by the local human.
    void MakeSquad(int n)
    {
        roster = std::make_unique<SquadRoster>();
        for (int i = 0; i < n; ++i) {
            auto member = std::make_unique<Player>(i, i == 0 ? Player::kLocalHuman : Player::kComputer, roster.get(),
                                                   nullptr, "GameData/Models/us01");
            member->SetPosition(10.0f * float(i), 0.0f, 0.0f);
            ASSERT_TRUE(roster->AddMember(member.get()));
            everyone.push_back(member.get());
            members.push_back(std::move(member));
        }
        current = members.empty() ? nullptr : members[0].get();
    }

    std::vector<std::string> Notices() const
    {
        std::vector<std::string> texts;
        for (const auto& notice : Application::Instance()->GetNotices())
            texts.emplace_back(notice.text);
        return texts;
    }

    LevelFake levelFake;
    MissionServiceHooks hooks;
    std::unique_ptr<SquadRoster> roster;
    std::vector<std::unique_ptr<Player>> members;
    std::vector<Character*> everyone;
    Character*& current = levelFake.player; // the soldier the local human controls
    std::vector<int> voiceSets{0, 1, 2, 3, 0};
    Options* options = nullptr;
    std::array<std::int32_t, Options::OptionCount> savedOptions{};
};
