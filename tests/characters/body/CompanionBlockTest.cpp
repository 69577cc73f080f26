// The neutral's and the dog's saved blocks: the layout around the soldier's block, the round trip,
// a member whose leader is gone, and the blocks refused whole.
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "engine/core/q3DError.h"
#include "tests/characters/body/CompanionFixture.h"

namespace {

std::vector<std::uint8_t> SoldierBlock(Soldier& soldier)
{
    std::vector<std::uint8_t> buffer(1 << 16);
    SaveStream stream = SaveStream::OnMemory(buffer.data(), std::uint32_t(buffer.size()));
    soldier.Soldier::Save(&stream);
    buffer.resize(stream.position);
    return buffer;
}

std::vector<std::uint8_t> Join(std::initializer_list<std::vector<std::uint8_t>> parts)
{
    std::vector<std::uint8_t> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// What each class puts in the block's tail, and how the test sets and reads it.
struct Kind {
    const char* name;
    const char* versionMessage;
    std::function<Soldier&(CompanionTest&)> make;
    std::function<void(Soldier&)> setFields;
    std::vector<std::uint8_t> tail;                      // the 13 bytes after setFields
    std::function<std::vector<float>(Soldier&)> fields;  // what the block carries
};

} // namespace

class CompanionBlockTest : public CompanionTest {
protected:
    std::vector<Kind> Kinds()
    {
        return {
            {"Neutral", "Incorrect version number in Neutral block",
             [](CompanionTest& t) -> Soldier& { return static_cast<CompanionBlockTest&>(t).MakeNeutral(); },
             [](Soldier& s) {
                 auto& n = static_cast<Neutral&>(s);
                 n.blockValueA = 2.5f;
                 n.deathLine = 0;
                 n.blockBytes = {7, 0, 9};
                 n.blockValueB = -3;
             },
             Bytes().u8(2).f32(2.5f).u8(0).u8(7).u8(0).u8(9).i32(-3).data,
             [](Soldier& s) {
                 auto& n = static_cast<Neutral&>(s);
                 return std::vector<float>{n.blockValueA, float(n.deathLine), float(n.blockBytes[0]),
                                           float(n.blockBytes[1]), float(n.blockBytes[2]), float(n.blockValueB)};
             }},
            {"Animal", "Incorrect version number in Animal block",
             [](CompanionTest& t) -> Soldier& { return static_cast<CompanionBlockTest&>(t).MakeDog(); },
             [](Soldier& s) {
                 auto& d = static_cast<Animal&>(s);
                 d.savedInt = 41;
                 d.deathVoice = 0;
                 d.savedBytes = {1, 1, 0};
                 d.deathTimer = -0.0001f;
             },
             Bytes().u8(2).i32(41).u8(0).u8(1).u8(1).u8(0).f32(-0.0001f).data,
             [](Soldier& s) {
                 auto& d = static_cast<Animal&>(s);
                 return std::vector<float>{float(d.savedInt), float(d.deathVoice), float(d.savedBytes[0]),
                                           float(d.savedBytes[1]), float(d.savedBytes[2]), d.deathTimer};
             }},
        };
    }
};

TEST_F(CompanionBlockTest, ALoneCharacterWritesNoFormationTheSoldierBlockAndItsTailAndReadsItBack)
{
    for (const Kind& kind : Kinds()) {
        Soldier& saved = kind.make(*this);
        kind.setFields(saved);
        saved.SetState(StateCower, 3.0f);
        const std::vector<std::uint8_t> bytes = SaveToMemory(saved);
        EXPECT_EQ(bytes, Join({{0}, SoldierBlock(saved), kind.tail})) << kind.name;

        Soldier& loaded = kind.make(*this);
        loaded.alerted = true;
        LoadFromMemory(loaded, bytes);
        EXPECT_EQ(kind.fields(loaded), kind.fields(saved)) << kind.name;
        EXPECT_EQ(loaded.state, StateCower) << kind.name;
        EXPECT_FALSE(loaded.alerted) << kind.name << ": loading forgets the alert";
        EXPECT_EQ(SaveToMemory(loaded), bytes) << kind.name;
    }
    // What a load starts afresh.
    Neutral& neutral = MakeNeutral();
    const std::vector<std::uint8_t> bytes = SaveToMemory(neutral);
    neutral.mayRaiseAlarm = 0;
    neutral.lookInterval = 5.0f;
    neutral.lookTimer = 3.0f;
    LoadFromMemory(neutral, bytes);
    EXPECT_EQ(neutral.mayRaiseAlarm, 1);
    EXPECT_FLOAT_EQ(neutral.lookInterval, 0.2f);
    EXPECT_FLOAT_EQ(neutral.lookTimer, 0.0f);
    Animal& dog = MakeDog();
    const std::vector<std::uint8_t> dogBytes = SaveToMemory(dog);
    dog.firstContact = 0;
    dog.senseInterval = 4.0f;
    LoadFromMemory(dog, dogBytes);
    EXPECT_EQ(dog.firstContact, 1);
    EXPECT_FLOAT_EQ(dog.senseInterval, 0.2f);
}

TEST_F(CompanionBlockTest, AMemberJoinsItsLeaderAgainOrStaysAloneWhenTheLeaderIsGone)
{
    for (const Kind& kind : Kinds()) {
        Soldier& leader = kind.make(*this);
        Soldier& member = kind.make(*this);
        leader.SetFormation(Neutral::kFormationFile);
        member.JoinFormationOf(&leader);
        const std::vector<std::uint8_t> memberBytes = SaveToMemory(member);
        EXPECT_EQ(std::vector<std::uint8_t>(memberBytes.begin(), memberBytes.begin() + 4),
                  Bytes().u8(1).u8(0).u16(std::uint16_t(leader.GetID())).data)
            << kind.name;
        const std::vector<std::uint8_t> leaderBytes = SaveToMemory(leader);
        EXPECT_EQ(leaderBytes.size(), 91 + SoldierBlock(leader).size() + 13) << kind.name;

        Soldier& newLeader = kind.make(*this);
        Soldier& newMember = kind.make(*this);
        std::vector<std::uint8_t> toNew = memberBytes;
        toNew[2] = std::uint8_t(newLeader.GetID() & 0xFF);
        toNew[3] = std::uint8_t(std::uint16_t(newLeader.GetID()) >> 8);
        LoadFromMemory(newMember, toNew);
        EXPECT_TRUE(newLeader.LeadsFormation()) << kind.name << ": a leader without formation is given one";
        EXPECT_EQ(newMember.GetFormationLeader(), &newLeader) << kind.name;
        LoadFromMemory(newLeader, leaderBytes);
        EXPECT_EQ(newLeader.GetFormationSize(), 2) << kind.name;

        // A leader identifier that names nothing, or the member itself: no formation.
        for (std::uint16_t id : {std::uint16_t(0x7F7F), std::uint16_t(newMember.GetID())}) {
            Soldier& orphan = kind.make(*this);
            std::vector<std::uint8_t> bytes = memberBytes;
            if (id == std::uint16_t(newMember.GetID()))
                id = std::uint16_t(orphan.GetID());
            bytes[2] = std::uint8_t(id & 0xFF);
            bytes[3] = std::uint8_t(id >> 8);
            LoadFromMemory(orphan, bytes);
            EXPECT_EQ(orphan.formationLink, nullptr) << kind.name << " leader id " << id;
        }
    }
}

TEST_F(CompanionBlockTest, AWrongVersionAShortBlockABadByteOrANonNumberIsRefusedWhole)
{
    for (const Kind& kind : Kinds()) {
        Soldier& leader = kind.make(*this);
        leader.SetFormation(Neutral::kFormationFile);
        kind.setFields(leader);
        const std::vector<std::uint8_t> bytes = SaveToMemory(leader);
        const std::size_t tailAt = bytes.size() - 13;
        // Where each class keeps its float: the neutral first, the dog last.
        const std::size_t floatAt = std::string(kind.name) == "Neutral" ? tailAt + 1 : bytes.size() - 4;

        struct Case {
            const char* name;
            std::vector<std::uint8_t> bytes;
            const char* message; // null: any message
        };
        std::vector<Case> cases;
        std::vector<std::uint8_t> wrongVersion = bytes;
        wrongVersion[tailAt] = 3;
        cases.push_back({"version 3", wrongVersion, kind.versionMessage});
        cases.push_back({"two bytes short", std::vector<std::uint8_t>(bytes.begin(), bytes.end() - 2), nullptr});
        cases.push_back({"empty", {}, nullptr});
        std::vector<std::uint8_t> badFlag = bytes;
        badFlag[0] = 2;
        cases.push_back({"formation byte 2", badFlag, nullptr});
        std::vector<std::uint8_t> badLeader = bytes;
        badLeader[1] = 0xFF;
        cases.push_back({"leader byte 255", badLeader, nullptr});
        std::vector<std::uint8_t> notANumber = bytes;
        for (std::size_t i = floatAt; i < floatAt + 4; ++i)
            notANumber[i] = 0xFF;
        cases.push_back({"the float NaN", notANumber, nullptr});

        for (const Case& c : cases) {
            Soldier& target = kind.make(*this);
            target.SetState(StateLookAround, 4.0f);
            target.alerted = true;
            const std::vector<float> before = kind.fields(target);
            const std::vector<std::uint8_t> soldierBefore = SoldierBlock(target);
            try {
                LoadFromMemory(target, c.bytes);
                ADD_FAILURE() << kind.name << " " << c.name << " accepted";
            } catch (const q3DError& error) {
                if (c.message) {
                    EXPECT_STREQ(error.GetText(), c.message) << kind.name << " " << c.name;
                }
            }
            EXPECT_EQ(target.formationLink, nullptr) << kind.name << " " << c.name;
            EXPECT_EQ(kind.fields(target), before) << kind.name << " " << c.name;
            EXPECT_EQ(target.state, StateLookAround) << kind.name << " " << c.name;
            EXPECT_TRUE(target.alerted) << kind.name << " " << c.name;
            EXPECT_EQ(SoldierBlock(target), soldierBefore) << kind.name << " " << c.name << ": half loaded";
        }
    }
}
