// The enemy's saved block: its layout around the soldier's block for a lone enemy, a formation
// leader and a member, the round trip that rebuilds the formation, and the blocks refused whole.
#include <vector>

#include "engine/core/q3DError.h"
#include "tests/characters/body/EnemyFixture.h"

namespace {

class EnemyBlockTest : public EnemyTest {
protected:
    // The soldier's block of the enemy as it stands, written apart.
    static std::vector<std::uint8_t> SoldierBlock(Enemy& enemy)
    {
        std::vector<std::uint8_t> buffer(1 << 16);
        SaveStream stream = SaveStream::OnMemory(buffer.data(), std::uint32_t(buffer.size()));
        enemy.Soldier::Save(&stream);
        buffer.resize(stream.position);
        return buffer;
    }

    static Bytes EnemyFields()
    {
        return Bytes().u8(2).i32(0).u8(0).u8(1).u8(0).u8(1).f32(-0.0001f);
    }

    static void SetFields(Enemy& enemy)
    {
        enemy.deathVoice = 0;
        enemy.charge = 1;
        enemy.firstSight = 0;
        enemy.choosePosture = 1;
        enemy.deathTimer = -0.0001f;
    }
};

std::vector<std::uint8_t> Join(std::initializer_list<std::vector<std::uint8_t>> parts)
{
    std::vector<std::uint8_t> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

} // namespace

TEST_F(EnemyBlockTest, ALoneEnemyWritesNoFormationThenTheSoldierBlockThenItsFields)
{
    Enemy& enemy = MakeEnemy(Vector3(5, 0, 7));
    SetFields(enemy);
    const std::vector<std::uint8_t> bytes = SaveToMemory(enemy);
    EXPECT_EQ(bytes, Join({{0}, SoldierBlock(enemy), EnemyFields().data}));

    Enemy& loaded = MakeEnemy();
    loaded.alerted = true;
    loaded.firstContact = 0;
    loaded.senseTimer = 3.0f;
    LoadFromMemory(loaded, bytes);
    EXPECT_EQ(loaded.deathVoice, 0);
    EXPECT_EQ(loaded.charge, 1);
    EXPECT_EQ(loaded.firstSight, 0);
    EXPECT_EQ(loaded.choosePosture, 1);
    EXPECT_FLOAT_EQ(loaded.deathTimer, -0.0001f);
    EXPECT_FALSE(loaded.alerted);
    EXPECT_EQ(loaded.firstContact, 1);
    EXPECT_FLOAT_EQ(loaded.senseTimer, 0.0f);
    EXPECT_FLOAT_EQ(loaded.senseInterval, 0.2f);
    EXPECT_EQ(loaded.formationLink, nullptr);
    EXPECT_EQ(SaveToMemory(loaded), bytes);
}

TEST_F(EnemyBlockTest, AFormationsLeaderAndMemberRoundTripIntoANewFormation)
{
    Enemy& leader = MakeEnemy(Vector3(0, 0, 0));
    Enemy& member = MakeEnemy(Vector3(10, 0, 0));
    leader.SetFormation(Enemy::kFormationFile);
    ASSERT_TRUE(leader.LeadsFormation());
    member.JoinFormationOf(&leader);
    Formation* formation = leader.formationLink->formation;
    formation->movedSquared = 12.5f;
    formation->anchor = Vector3(1, 2, 3);
    formation->holdPositions = 1;

    const std::vector<std::uint8_t> leaderBytes = SaveToMemory(leader);
    Bytes state = Bytes().u8(1).u8(1).f32(12.5f).v3(1, 2, 3);
    for (int m = 0; m < 2; ++m) {
        const Matrix3& r = m == 0 ? formation->orientation : formation->previousOrientation;
        for (int row = 0; row < 3; ++row)
            state.v3(r(row, 0), r(row, 1), r(row, 2));
    }
    state.u8(1);
    EXPECT_EQ(std::vector<std::uint8_t>(leaderBytes.begin(), leaderBytes.begin() + 91), state.data);
    EXPECT_EQ(leaderBytes.size(), 91 + SoldierBlock(leader).size() + 13);

    const std::vector<std::uint8_t> memberBytes = SaveToMemory(member);
    EXPECT_EQ(std::vector<std::uint8_t>(memberBytes.begin(), memberBytes.begin() + 4),
              Bytes().u8(1).u8(0).u16(std::uint16_t(leader.GetID())).data);

    // Into enemies without formation: the leader makes one from the ranger file and takes its
    // state, the member finds the leader by its identifier and joins.
    Enemy& newLeader = MakeEnemy();
    Enemy& newMember = MakeEnemy();
    std::vector<std::uint8_t> memberToNew = memberBytes;
    memberToNew[2] = std::uint8_t(newLeader.GetID() & 0xFF);
    memberToNew[3] = std::uint8_t(std::uint16_t(newLeader.GetID()) >> 8);
    LoadFromMemory(newMember, memberToNew);
    ASSERT_TRUE(newLeader.LeadsFormation()) << "a leader without formation is given one";
    EXPECT_EQ(newMember.GetFormationLeader(), &newLeader);
    LoadFromMemory(newLeader, leaderBytes);
    ASSERT_TRUE(newLeader.LeadsFormation());
    const Formation* rebuilt = newLeader.formationLink->formation;
    EXPECT_STREQ(rebuilt->definitionName, Enemy::kFormationFile);
    EXPECT_FLOAT_EQ(rebuilt->movedSquared, 12.5f);
    EXPECT_FLOAT_EQ(rebuilt->anchor.y, 2.0f);
    EXPECT_EQ(rebuilt->holdPositions, 1);
    EXPECT_EQ(newLeader.GetFormationSize(), 2);

    // A leader's identifier that names nothing leaves the member without formation.
    Enemy& orphan = MakeEnemy();
    std::vector<std::uint8_t> nobody = memberBytes;
    nobody[2] = nobody[3] = 0x7F;
    LoadFromMemory(orphan, nobody);
    EXPECT_EQ(orphan.formationLink, nullptr);
}

TEST_F(EnemyBlockTest, AWrongVersionAShortBlockOrABadByteIsRefusedWhole)
{
    Enemy& leader = MakeEnemy();
    leader.SetFormation(Enemy::kFormationFile);
    SetFields(leader);
    const std::vector<std::uint8_t> bytes = SaveToMemory(leader);
    const std::size_t versionAt = bytes.size() - 13;

    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const char* message; // null: any message
    };
    std::vector<Case> cases;
    std::vector<std::uint8_t> wrongVersion = bytes;
    wrongVersion[versionAt] = 3;
    cases.push_back({"version 3", wrongVersion, "Incorrect version number in Enemy block"});
    cases.push_back({"two bytes short", std::vector<std::uint8_t>(bytes.begin(), bytes.end() - 2), nullptr});
    std::vector<std::uint8_t> badFlag = bytes;
    badFlag[0] = 2;
    cases.push_back({"formation byte 2", badFlag, nullptr});
    std::vector<std::uint8_t> badTimer = bytes;
    for (std::size_t i = bytes.size() - 4; i < bytes.size(); ++i)
        badTimer[i] = 0xFF; // a NaN
    cases.push_back({"death timer NaN", badTimer, nullptr});

    for (const Case& c : cases) {
        Enemy& target = MakeEnemy();
        target.charge = 0;
        target.deathTimer = 2.0f;
        target.firstContact = 0;
        try {
            LoadFromMemory(target, c.bytes);
            ADD_FAILURE() << c.name << " accepted";
        } catch (const q3DError& error) {
            if (c.message) {
                EXPECT_STREQ(error.GetText(), c.message) << c.name;
            }
        }
        EXPECT_EQ(target.formationLink, nullptr) << c.name << ": the formation taken for the block is left";
        EXPECT_EQ(target.charge, 0) << c.name;
        EXPECT_FLOAT_EQ(target.deathTimer, 2.0f) << c.name;
        EXPECT_EQ(target.firstContact, 0) << c.name;
    }
}
