#pragma once

// Squad soldiers with bodies in a working folder of their own: the demo data set's "GameData"
// linked in, voice folders made as each test asks, a mission stand-in (current squad, current
// player, voice sets, names) the test fills, and the shared voice tables released afterwards.

#include <array>
#include <climits>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/framework/Application.h"
#include "app/framework/Options.h"
#include "characters/ai/Formation.h"
#include "characters/level/NoLevel.h"
#include "characters/level/RunningLevel.h"
#include "characters/player/Player.h"
#include "characters/player/PlayerVoices.h"
#include "characters/player/SquadRoster.h"
#include "tests/characters/LevelFake.h"
#include "tests/characters/body/CharacterFixture.h"

// The squad's side of the running level as a player test sets it: its squad and driven soldier
// (a hand-over drives the member), the names "Soldier<slot>" and its voice sets; what lies under
// the crosshair for each kind asked for, and the soldier under the pointer inside a screen box;
// the pointer's offset, when there is a pointer to read. Installed for its lifetime.
class SquadFake : public NoLevel {
public:
    SquadFake(std::unique_ptr<SquadRoster>& roster, Character*& current, std::vector<int>& voiceSets)
        : roster(roster), current(current), voiceSets(voiceSets)
    {
    }

    std::map<int, Character*> underCrosshair; // by the filter asked with
    Character* underPointer = nullptr;
    int pointerBox[4] = {INT_MIN, INT_MIN, INT_MAX, INT_MAX}; // x0, y0, x1, y1, inclusive
    std::optional<std::pair<int, int>> pointerOffset;

    SquadRoster* CurrentSquadRoster() override { return roster.get(); }
    void TakeControl(Character* member) override { current = member; }
    Character* CharacterUnderCrosshair(int filter) override
    {
        const auto found = underCrosshair.find(filter);
        return found != underCrosshair.end() ? found->second : nullptr;
    }
    Character* CharacterUnderPointer(int x, int y, int) override
    {
        const bool inside = x >= pointerBox[0] && y >= pointerBox[1] && x <= pointerBox[2] && y <= pointerBox[3];
        return inside ? underPointer : nullptr;
    }
    bool TakePointerOffset(int* dx, int* dy) override
    {
        if (!pointerOffset)
            return false;
        *dx = pointerOffset->first;
        *dy = pointerOffset->second;
        return true;
    }
    std::string PlayerName(int slot) override { return "Soldier" + std::to_string(slot); }
    int VoiceSet(int slot) override { return slot < int(voiceSets.size()) ? voiceSets[std::size_t(slot)] : 0; }

private:
    std::unique_ptr<SquadRoster>& roster;
    Character*& current;
    std::vector<int>& voiceSets;
    RunningLevel level{{.command = this, .controls = this, .records = this}};
};

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
    std::unique_ptr<SquadRoster> roster;
    std::vector<std::unique_ptr<Player>> members;
    std::vector<Character*> everyone;
    Character*& current = levelFake.player; // the soldier the local human controls
    std::vector<int> voiceSets{0, 1, 2, 3, 0};
    SquadFake squadLevel{roster, current, voiceSets};
    Options* options = nullptr;
    std::array<std::int32_t, Options::OptionCount> savedOptions{};
};
