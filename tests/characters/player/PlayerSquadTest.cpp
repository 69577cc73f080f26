// The squad soldier itself: squad membership, the voice folders, the model fallback, slots and
// teams, damage scaling and the saved block.
#include <algorithm>
#include <cstring>
#include <string>

#include "engine/core/q3DError.h"
#include "tests/characters/CampaignRecorder.h"
#include "tests/characters/player/PlayerFixture.h"

namespace {

std::vector<std::uint8_t> Tail(const std::vector<std::uint8_t>& all, std::size_t from)
{
    return std::vector<std::uint8_t>(all.begin() + std::ptrdiff_t(from), all.end());
}

} // namespace

TEST_F(PlayerTest, AFullSquadRefusesASixthMemberWithALogLineAndLeavingKeepsTheOthersInOrder)
{
    MakeSquad(5);
    SquadRoster& squad = *roster;
    EXPECT_TRUE(squad.AddMember(members[2].get())); // already listed: not listed twice
    EXPECT_EQ(squad.GetMemberCount(), 5);
    Player sixth(5, Player::kComputer, nullptr, nullptr, "GameData/Models/us01");
    // Without a device the engine log line goes to standard error, where the test reads it.
    Application::Instance()->SetDevice(nullptr);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(squad.AddMember(&sixth));
    const std::string log = testing::internal::GetCapturedStderr();
    Application::Instance()->SetDevice(device);
    EXPECT_NE(log.find("is full"), std::string::npos) << log;
    EXPECT_EQ(squad.GetMemberCount(), 5);
    EXPECT_EQ(squad.GetMember(5), nullptr);

    squad.RemoveMember(members[1].get());
    ASSERT_EQ(squad.GetMemberCount(), 4);
    EXPECT_EQ(squad.GetMember(0), members[0].get());
    EXPECT_EQ(squad.GetMember(1), members[2].get());
    EXPECT_EQ(squad.GetMember(3), members[4].get());
    EXPECT_EQ(squad.IndexOf(members[1].get()), -1);

    // A soldier that goes leaves the squad.
    everyone.erase(std::find(everyone.begin(), everyone.end(), members[3].get()));
    members[3].reset();
    EXPECT_EQ(squad.GetMemberCount(), 3);
    EXPECT_EQ(squad.GetMember(2), members[4].get());
}

TEST_F(PlayerTest, VoiceFoldersCountUpToEightAndAMissingFolderOrSetIsAnError)
{
    MakeVoiceFolders(10);
    EXPECT_EQ(PlayerVoices::CountVoiceFolders(), PlayerVoices::kMaxSets);
    std::filesystem::remove_all("Sound");
    try {
        Player lonely(0, Player::kLocalHuman, nullptr, nullptr, "GameData/Models/us01");
        FAIL() << "constructed without voices";
    } catch (const q3DError& error) {
        EXPECT_STREQ(error.GetText(), "No Player voices (Sound/Avoice*) found");
    }

    MakeVoiceFolders(3);
    voiceSets = {3};
    try {
        Player unvoiced(0, Player::kLocalHuman, nullptr, nullptr, "GameData/Models/us01");
        FAIL() << "constructed with voice set 3 of 3";
    } catch (const q3DError& error) {
        EXPECT_STREQ(error.GetText(), "Invalid voice index for character Soldier0");
    }
    EXPECT_EQ(PlayerVoices::GetSetCount(), 3);

    voiceSets = {-4};
    Player belowZero(0, Player::kLocalHuman, nullptr, nullptr, "GameData/Models/us01");
    EXPECT_EQ(belowZero.GetVoiceSet(), 0);
}

TEST_F(PlayerTest, AMissingModelFallsBackByNameAndAHighSlotIsStoredLessTen)
{
    EXPECT_EQ(Player::ResolveModelName("GameData/Models/us01"), "GameData/Models/us01");
    EXPECT_EQ(Player::ResolveModelName("GameData/Models/nobody"), Player::kFallbackModel);
    EXPECT_EQ(Player::ResolveModelName(nullptr), Player::kFallbackModel);

    const char caller[] = "GameData/Models/nobody";
    Player soldier(12, Player::kComputer, nullptr, nullptr, caller);
    EXPECT_STREQ(caller, "GameData/Models/nobody");
    EXPECT_NE(soldier.GetModel(), nullptr);
    EXPECT_EQ(soldier.GetSquadSlot(), 2);
    EXPECT_EQ(soldier.highSlot, 1);
    EXPECT_EQ(soldier.kind, Character::SquadKind);
    EXPECT_EQ(soldier.GetController(), Player::kComputer);
    EXPECT_TRUE(soldier.alerted);
    EXPECT_TRUE(soldier.collides);
    EXPECT_EQ(soldier.GetLives(), 255);
}

TEST_F(PlayerTest, SquadNumbersOutsideTheSlotsAndTeamsOutsideOneToEightAreIgnored)
{
    Player soldier(0, Player::kComputer, nullptr, nullptr, "GameData/Models/us01");
    struct Case {
        int squadNumber;
        int expectedNumber;
        int team;
        int expectedTeam;
    };
    const Case cases[] = {{5, 5, 2, 2}, {31, 31, 8, 8}, {32, 31, 9, 8}, {-1, -1, 1, 1}, {-2, -1, 0, 1}};
    for (const Case& c : cases) {
        soldier.SetSquadNumber(std::int16_t(c.squadNumber));
        soldier.SetTeam(c.team);
        EXPECT_EQ(soldier.squadNumber, c.expectedNumber) << c.squadNumber;
        EXPECT_EQ(soldier.team, c.expectedTeam) << c.team;
    }
}

TEST_F(PlayerTest, JoiningAFullSquadChangesNothingAndLeavingTakesOutTheLeaversOwnEntry)
{
    MakeSquad(5);
    members[0]->SetSquadNumber(3);
    members[0]->SetTeam(2);
    Player extra(5, Player::kComputer, nullptr, nullptr, "GameData/Models/us01");
    extra.joinNearestSquad = 1;
    extra.JoinSquad(members[0].get());
    EXPECT_EQ(extra.GetSquad(), nullptr);
    EXPECT_EQ(roster->GetMemberCount(), 5);
    EXPECT_EQ(extra.joinNearestSquad, 1);

    // An Ally leaving is the third member; the others keep their order.
    members[1]->roles |= Character::Ally;
    members[2]->LeaveSquad();
    ASSERT_EQ(roster->GetMemberCount(), 4);
    EXPECT_EQ(roster->GetMember(1), members[1].get());
    EXPECT_EQ(roster->GetMember(2), members[3].get());
    EXPECT_EQ(members[2]->GetSquad(), nullptr);
    EXPECT_EQ(members[2]->squadNumber, -1);
    EXPECT_EQ(members[2]->joinNearestSquad, 1);

    const float height = extra.position.y;
    extra.JoinSquad(members[0].get());
    EXPECT_EQ(extra.GetSquad(), roster.get());
    EXPECT_EQ(roster->GetMember(4), &extra);
    EXPECT_EQ(extra.squadNumber, 3);
    EXPECT_EQ(extra.team, 2);
    EXPECT_EQ(extra.joinNearestSquad, 0);
    EXPECT_FLOAT_EQ(extra.position.y, height + 3.0f);
    extra.LeaveSquad();
}

TEST_F(PlayerTest, DamageIsScaledByDifficultyRealismAndToughness)
{
    Player soldier(0, Player::kComputer, nullptr, nullptr, "GameData/Models/us01");
    struct Case {
        int difficulty, realism;
        float toughness;
        int amount, expected;
    };
    const Case cases[] = {
        {1, 1, 0.0f, 90, 90},  {0, 1, 0.0f, 91, 45},  {2, 1, 0.0f, 30, 60},   {0, 0, 0.0f, 90, 9},
        {1, 0, 0.0f, 500, 25}, {1, 1, 1.0f, 90, 72},  {0, 0, 2.5f, 90, 4},    {1, 1, 5.0f, 40, 0}, {1, 1, 6.0f, 40, 0},
    };
    for (const Case& c : cases) {
        options->SetOption(Options::Difficulty, c.difficulty);
        options->SetOption(Options::DamageRealism, c.realism);
        soldier.toughnessOverride = c.toughness;
        EXPECT_EQ(soldier.ScaleDamage(c.amount), c.expected)
            << c.difficulty << " " << c.realism << " " << c.toughness << " " << c.amount;
    }
}

TEST_F(PlayerTest, ThePlayersRulesHoldWhenTheSoldierIsReachedAsACharacter)
{
    Player soldier(0, Player::kComputer, nullptr, nullptr, "GameData/Models/us01");
    Character& character = soldier;
    soldier.stamina = 5.0f;
    EXPECT_FLOAT_EQ(character.GetSteadiness(), soldier.Character::GetSteadiness() * 0.8f) << "a tired soldier";
    soldier.lives = 0;
    character.ResetLives();
    EXPECT_EQ(soldier.lives, 255) << "outside a network game";
}

TEST_F(PlayerTest, ATutorialTakesNoDamageButTheSoldierIsUnderFire)
{
    levelFake.tutorial = true;
    Player soldier(0, Player::kComputer, nullptr, nullptr, "GameData/Models/us01");
    soldier.toughnessOverride = 0.0f;
    soldier.TakeDamage(40, soldier.position, Vector3(0, 0, 1), nullptr, -1, -1, true);
    EXPECT_EQ(soldier.health, 100);
    EXPECT_EQ(soldier.underFire, 1);
    EXPECT_FALSE(soldier.StartAction(21, true));

    levelFake.tutorial = false;
    soldier.TakeDamage(40, soldier.position, Vector3(0, 0, 1), nullptr, -1, -1, true);
    EXPECT_EQ(soldier.health, 60);
}

TEST_F(PlayerTest, ThePlayerBlockHasItsLayoutAndRoundTrips)
{
    MakeSquad(2);
    Player& soldier = *members[1];
    soldier.SetSquadNumber(7);
    soldier.mapProperty = 0x2A;
    soldier.order = OrderHoldPosition;
    soldier.fireMode = HoldFire;
    soldier.joinTrigger = 12;
    soldier.joinNearestSquad = 1;
    soldier.stamina = 42.5f;
    soldier.normalFieldOfView = 0.9f;

    std::vector<std::uint8_t> soldierBlock(1 << 16);
    SaveStream prefix = SaveStream::OnMemory(soldierBlock.data(), std::uint32_t(soldierBlock.size()));
    soldier.Soldier::Save(&prefix);
    const std::vector<std::uint8_t> all = SaveToMemory(soldier);
    ASSERT_EQ(all.size(), prefix.position + 27u);
    const Bytes expected = Bytes()
                               .u8(4)
                               .u16(7)
                               .u16(std::uint16_t(roster->GetID()))
                               .u8(0x2A)
                               .i32(OrderHoldPosition)
                               .i32(HoldFire)
                               .i32(12)
                               .u8(1)
                               .f32(42.5f)
                               .f32(0.9f);
    EXPECT_EQ(Tail(all, prefix.position), expected.data);

    // Loaded into a soldier outside any squad: it joins the saved squad and takes its number
    // and team from the first member.
    members[0]->SetSquadNumber(7);
    members[0]->SetTeam(3);
    roster->RemoveMember(&soldier);
    Player loaded(1, Player::kComputer, nullptr, nullptr, "GameData/Models/us01");
    LoadFromMemory(loaded, all);
    EXPECT_EQ(loaded.GetSquad(), roster.get());
    EXPECT_EQ(roster->IndexOf(&loaded), 1);
    EXPECT_EQ(loaded.squadNumber, 7);
    EXPECT_EQ(loaded.team, 3);
    EXPECT_EQ(loaded.order, OrderHoldPosition);
    EXPECT_EQ(loaded.fireMode, HoldFire);
    EXPECT_EQ(loaded.joinTrigger, 12);
    EXPECT_EQ(loaded.joinNearestSquad, 1);
    EXPECT_FLOAT_EQ(loaded.stamina, 42.5f);
    EXPECT_FLOAT_EQ(loaded.normalFieldOfView, 0.9f);
    EXPECT_FLOAT_EQ(loaded.attachOffset, 7.0f);
    EXPECT_EQ(Tail(SaveToMemory(loaded), prefix.position), expected.data);
    roster->RemoveMember(&loaded);
}

TEST_F(PlayerTest, AWrongVersionOrAShortPlayerBlockIsRefusedBeforeAnyOfItIsApplied)
{
    MakeSquad(1);
    Player& soldier = *members[0];
    soldier.order = OrderHoldPosition;
    std::vector<std::uint8_t> bytes = SaveToMemory(soldier);
    std::vector<std::uint8_t> prefixBuffer(1 << 16);
    SaveStream prefix = SaveStream::OnMemory(prefixBuffer.data(), std::uint32_t(prefixBuffer.size()));
    soldier.Soldier::Save(&prefix);

    Player target(3, Player::kComputer, nullptr, nullptr, "GameData/Models/us01");
    target.order = OrderMoveFinished;
    std::vector<std::uint8_t> wrong = bytes;
    wrong[prefix.position] = 3;
    try {
        LoadFromMemory(target, wrong);
        FAIL() << "version 3 accepted";
    } catch (const q3DError& error) {
        EXPECT_STREQ(error.GetText(), "Incorrection version number in Player block");
    }

    std::vector<std::uint8_t> shortBlock(bytes.begin(), bytes.end() - 2);
    EXPECT_THROW(LoadFromMemory(target, shortBlock), q3DError);
    EXPECT_EQ(target.GetSquad(), nullptr);
    EXPECT_EQ(target.order, OrderMoveFinished);
    EXPECT_EQ(roster->GetMemberCount(), 1);
}

TEST_F(PlayerTest, ASquadThatGoesFirstLeavesItsMembersWithoutIt)
{
    MakeSquad(2);
    roster.reset();
    EXPECT_EQ(members[0]->GetSquad(), nullptr);
    EXPECT_EQ(members[1]->GetSquad(), nullptr);
    members[1]->SetOrder(OrderHoldPosition); // no squad: nothing happens
    EXPECT_EQ(members[1]->order, OrderFollow);
}

TEST_F(PlayerTest, DamageAndDeathKeepTheCampaignsSquadRecords)
{
    CampaignRecorder campaign;
    campaign.skill = 0.0f;
    std::vector<std::pair<int, float>>& stats = campaign.stats;
    std::vector<std::pair<int, float>>& morale = campaign.morale;
    const int& bonusCleared = campaign.bonusCleared;
    const int& squadBonusCleared = campaign.squadBonusCleared;
    MakeSquad(2);
    Player& soldier = *members[1];

    soldier.TakeDamage(20, soldier.position, Vector3(0, 0, 1), nullptr, -1, -1, true);
    EXPECT_EQ(soldier.health, 80);
    const std::vector<std::pair<int, float>> damageStats{{8, 20.0f}};
    EXPECT_EQ(stats, damageStats);
    const std::vector<std::pair<int, float>> damageMorale{{0, -0.2f}, {1, -1.0f}, {2, -0.2f}, {3, -0.2f}};
    ASSERT_EQ(morale.size(), damageMorale.size());
    for (std::size_t i = 0; i < morale.size(); ++i) {
        EXPECT_EQ(morale[i].first, damageMorale[i].first);
        EXPECT_FLOAT_EQ(morale[i].second, damageMorale[i].second);
    }
    EXPECT_EQ(bonusCleared, 1);
    EXPECT_EQ(squadBonusCleared, 3);

    stats.clear();
    morale.clear();
    soldier.zoomed = 1;
    soldier.directTurnTime = 2.0f;
    soldier.Die(false, -1, -1, "");
    const std::vector<std::pair<int, float>> deathStats{{6, 1.0f}, {5, 1.0f}, {6, 1.0f}, {6, 1.0f}};
    EXPECT_EQ(stats, deathStats);
    EXPECT_EQ(morale.size(), 3u);
    EXPECT_EQ(soldier.zoomed, 0);
    EXPECT_EQ(soldier.directTurnTime, 0.0f);
    EXPECT_EQ(soldier.diedWhileControlled, 0);

    Player& leader = *members[0];
    leader.health = 0;
    leader.Die(true, -1, -1, "");
    EXPECT_EQ(leader.diedWhileControlled, 1);
}
