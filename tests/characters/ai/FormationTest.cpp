#include "characters/ai/Formation.h"

#include "tests/characters/ai/AITestFolder.h"
#include "tools/demodata/writers/AIDataWriter.h"

namespace {

// Characters are only named by the formation code, never touched.
Character* Soldier(int n)
{
    static char people[16];
    return reinterpret_cast<Character*>(&people[n]);
}

class FormationTest : public AITestFolder {
protected:
    void SetUp() override
    {
        AITestFolder::SetUp();
        Formation::FreeAll();
        WriteFile("Formations/Wedge.for", WriteFormationText({{-5, -5, 0, 0, 0}, {5, -5, 0, 0, 0}, {-10, -10, 0, 0, 0}}));
        WriteFile("Formations/Line.for", WriteFormationText({{2, -3, 7, 8, 9}, {4, 0, 0, 0, 0}}));
        Formation::LoadDirectory("Formations");
    }

    void TearDown() override
    {
        Formation::FreeAll();
        AITestFolder::TearDown();
    }

    // Slot index of every member from the oldest to the newest.
    static std::vector<int> SlotsOldestFirst(const Formation& formation)
    {
        std::vector<int> slots;
        for (PtrListNode* node = formation.members.GetTail(); node; node = node->prev)
            slots.push_back(formation.GetSlotIndex(PtrListOf<FormationMember>::ItemOf(node)));
        return slots;
    }
};

TEST_F(FormationTest, DefinitionsAreFoundIgnoringCaseAndKeepEveryNumber)
{
    const FormationDefinition* wedge = Formation::FindDefinition("wedge.FOR");
    ASSERT_NE(wedge, nullptr);
    EXPECT_EQ(wedge->fileName, "Wedge.for");
    EXPECT_EQ(wedge->slots.size(), 3u);
    const FormationDefinition* line = Formation::FindDefinition("Line.for");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->slots[0].value3, 7.0f);
    EXPECT_EQ(line->slots[0].value5, 9.0f);
    EXPECT_EQ(Formation::FindDefinition("Wedge"), nullptr);
    // Loaded twice, the copy loaded first is found.
    Formation::LoadDirectory("Formations");
    EXPECT_EQ(Formation::GetDefinitions().GetCount(), 4);
    EXPECT_EQ(Formation::FindDefinition("Wedge.for"), wedge);
}

TEST_F(FormationTest, MembersTakeSlotsInJoiningOrderAndAreRenumbered)
{
    FormationMember* leader = nullptr;
    Formation* formation = Formation::Create("Wedge.for", &leader, Soldier(0));
    ASSERT_NE(formation, nullptr);
    EXPECT_EQ(formation->leaderLink, leader);
    EXPECT_EQ(leader->character, Soldier(0));
    EXPECT_EQ(formation->GetSlotIndex(leader), 0);
    EXPECT_STREQ(formation->definitionName, "Wedge.for");
    EXPECT_EQ(Formation::GetInstances().GetCount(), 1);
    EXPECT_EQ(formation->orientation, Matrix3());

    FormationMember* links[3] = {};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(Formation::AddMember(formation, &links[i], Soldier(i + 1)));
        EXPECT_EQ(links[i]->formation, formation);
    }
    EXPECT_EQ(formation->members.GetHead()->item, links[2]); // newest at the head
    EXPECT_EQ(SlotsOldestFirst(*formation), (std::vector<int>{0, 1, 2}));

    Formation::RemoveMember(formation, &links[0]);
    EXPECT_EQ(links[0], nullptr);
    EXPECT_EQ(formation->GetSlotIndex(links[1]), 0);
    EXPECT_EQ(formation->GetSlotIndex(links[2]), 1);

    // Into a definition of two slots: the two members renumber in joining order.
    ASSERT_TRUE(Formation::SetDefinition(formation, "line.for"));
    EXPECT_STREQ(formation->definitionName, "line.for");
    EXPECT_EQ(formation->GetDefinition(), Formation::FindDefinition("Line.for"));
    EXPECT_EQ(links[1]->slot, &formation->GetDefinition()->slots[0]);
    EXPECT_EQ(links[2]->slot, &formation->GetDefinition()->slots[1]);
    EXPECT_EQ(leader->slot, &formation->GetDefinition()->slots[0]);
}

TEST_F(FormationTest, UnknownNamesAndMembersBeyondTheSlotsAreRefusedWithALogLine)
{
    FormationMember* leader = reinterpret_cast<FormationMember*>(1);
    Formation* formation = nullptr;
    std::string log = LogOf([&] { formation = Formation::Create("Diamond.for", &leader, Soldier(0)); });
    EXPECT_EQ(formation, nullptr);
    EXPECT_EQ(leader, nullptr);
    EXPECT_NE(log.find("Formation::Create - no formation \"Diamond.for\""), std::string::npos) << log;
    EXPECT_EQ(Formation::GetInstances().GetCount(), 0);

    formation = Formation::Create("Line.for", &leader, Soldier(0));
    FormationMember* links[3] = {};
    EXPECT_TRUE(Formation::AddMember(formation, &links[0], Soldier(1)));
    EXPECT_TRUE(Formation::AddMember(formation, &links[1], Soldier(2)));
    bool added = true;
    log = LogOf([&] { added = Formation::AddMember(formation, &links[2], Soldier(3)); });
    EXPECT_FALSE(added);
    EXPECT_EQ(links[2], nullptr);
    EXPECT_NE(log.find("no slot left"), std::string::npos) << log;
    EXPECT_EQ(formation->members.GetCount(), 2);

    // Unknown, or too small for the members: the definition stays.
    log = LogOf([&] { EXPECT_FALSE(Formation::SetDefinition(formation, "Diamond.for")); });
    EXPECT_NE(log.find("no formation \"Diamond.for\""), std::string::npos) << log;
    WriteFile("Small/Point.for", "1\n0 4 0 0 0\n");
    Formation::LoadDirectory("Small");
    log = LogOf([&] { EXPECT_FALSE(Formation::SetDefinition(formation, "Point.for")); });
    EXPECT_NE(log.find("fewer slots"), std::string::npos) << log;
    EXPECT_STREQ(formation->definitionName, "Line.for");
    EXPECT_EQ(SlotsOldestFirst(*formation), (std::vector<int>{0, 1}));
}

TEST_F(FormationTest, SlotPositionsFollowTheAnchorOrientation)
{
    FormationMember* leader = nullptr;
    Formation* formation = Formation::Create("Line.for", &leader, Soldier(0));
    FormationMember* member = nullptr;
    Formation::AddMember(formation, &member, Soldier(1));
    Vector3 position;
    Formation::GetSlotPosition(position, Vector3(10, 1, 20), Matrix3(), member);
    EXPECT_EQ(position, Vector3(12, 1, 17));
    // Turned a quarter to the right: sideways is -z, forwards +x.
    Matrix3 turned;
    turned.m[0] = 0, turned.m[2] = -1, turned.m[6] = 1, turned.m[8] = 0;
    Formation::GetSlotPosition(position, Vector3(10, 1, 20), turned, member);
    EXPECT_EQ(position, Vector3(7, 1, 18));
    Formation::GetSlotPosition(position, Vector3(10, 1, 20), turned, nullptr);
    EXPECT_EQ(position, Vector3(10, 1, 20));
}

TEST_F(FormationTest, LeadershipChangesHandsAndLinksAreFreedWithTheirInstance)
{
    FormationMember* oldLeader = nullptr;
    Formation* formation = Formation::Create("Wedge.for", &oldLeader, Soldier(0));
    FormationMember* heir = nullptr;
    Formation::AddMember(formation, &heir, Soldier(1));
    FormationMember* other = nullptr;
    Formation::AddMember(formation, &other, Soldier(2));
    // The heir leaves the members, then takes the lead.
    Formation::RemoveMember(formation, &heir);
    EXPECT_EQ(formation->GetSlotIndex(other), 0);
    FormationMember* newLeader = nullptr;
    Formation::ChangeLeader(formation, &oldLeader, &newLeader, Soldier(1));
    EXPECT_EQ(oldLeader, nullptr);
    EXPECT_EQ(formation->leaderLink, newLeader);
    EXPECT_EQ(newLeader->character, Soldier(1));
    EXPECT_EQ(formation->GetSlotIndex(newLeader), 0);

    // Cleared members stay valid until the instance goes.
    Formation::ClearMembers(formation);
    EXPECT_EQ(formation->members.GetCount(), 0);
    EXPECT_EQ(other->character, Soldier(2));
    Formation::RemoveMember(formation, &other);
    EXPECT_EQ(other, nullptr);

    // The leader's own link leaves the instance leaderless.
    Formation::RemoveMember(formation, &newLeader);
    EXPECT_EQ(formation->leaderLink, nullptr);

    FormationMember* second = nullptr;
    Formation* another = Formation::Create("Line.for", &second, Soldier(3));
    EXPECT_EQ(Formation::GetInstances().GetCount(), 2);
    // Another instance's link is not this one's to free.
    const std::string log = LogOf([&] { Formation::RemoveMember(formation, &second); });
    EXPECT_NE(log.find("Formation::RemoveMember - the link is not a member"), std::string::npos) << log;
    EXPECT_EQ(another->leaderLink, second);
    Formation::Destroy(formation);
    EXPECT_EQ(Formation::GetInstances().GetCount(), 1);
    EXPECT_EQ(Formation::GetInstances().GetHead()->item, another);
}

// Each file is skipped with a log line naming it; the good ones around it load.
TEST_F(FormationTest, HostileFilesAreSkipped)
{
    const struct {
        const char* name;
        std::string text;
        const char* reason;
    } cases[] = {
        {"Zero.for", "0\n", "not 1 to 64"},
        {"Negative.for", "-3\n1 2 3 4 5\n", "not 1 to 64"},
        {"Huge.for", "65\n" + std::string(65, '\n'), "not 1 to 64"},
        {"Words.for", "many\n1 2 3 4 5\n", "not 1 to 64"},
        {"Empty.for", "", "not 1 to 64"},
        {"Short.for", "2\n1 2 3 4 5\n6 7 8\n", "fewer numbers"},
        {"NaN.for", "1\n1 nan 3 4 5\n", "not finite"},
        {"Wrapping.for", "4294967297\n1 2 3 4 5\n", "not 1 to 64"}, // 2^32 + 1 would wrap to 1 in an int
    };
    for (const auto& c : cases)
        WriteFile(std::string("Bad/") + c.name, c.text);
    std::string wide = "64\n";
    for (int i = 0; i < 64; ++i)
        wide += std::to_string(i) + "\n0 0\r\n0 0\n"; // numbers may spread over lines
    WriteFile("Bad/Wide.for", wide);
    WriteFile("Bad/NotAFormation.txt", "1\n0 0 0 0 0\n");
    WriteFile("Bad/Far.for", "1\n1e39 -1e300 2 0 0\n");
    const std::string log = LogOf([] { Formation::LoadDirectory("Bad"); });
    for (const auto& c : cases) {
        EXPECT_EQ(Formation::FindDefinition(c.name), nullptr) << c.name;
        const std::size_t at = log.find(std::string("Bad/") + c.name + " skipped");
        ASSERT_NE(at, std::string::npos) << c.name << ": " << log;
        EXPECT_NE(log.find(c.reason, at), std::string::npos) << c.name << ": " << log;
    }
    const FormationDefinition* wideDefinition = Formation::FindDefinition("Wide.for");
    ASSERT_NE(wideDefinition, nullptr);
    ASSERT_EQ(wideDefinition->slots.size(), 64u);
    EXPECT_EQ(wideDefinition->slots[63].side, 63.0f);
    EXPECT_EQ(Formation::FindDefinition("NotAFormation.txt"), nullptr);
    // Numbers beyond a float are clamped, with a line, and the definition kept.
    const FormationDefinition* far = Formation::FindDefinition("Far.for");
    ASSERT_NE(far, nullptr);
    EXPECT_EQ(far->slots[0].side, FormationDefinition::kMaxNumber);
    EXPECT_EQ(far->slots[0].forward, -FormationDefinition::kMaxNumber);
    EXPECT_EQ(far->slots[0].value3, 2.0f);
    EXPECT_NE(log.find("Bad/Far.for: numbers beyond 1000000 are clamped"), std::string::npos) << log;
    Formation::LoadDirectory("Missing");
    Formation::LoadDirectory(nullptr);
}

} // namespace
