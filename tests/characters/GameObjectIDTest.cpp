#include "GameObjectFixture.h"

#include <climits>
#include <memory>

namespace {

std::string Count(const std::string& text, const std::string& what)
{
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return std::to_string(n);
}

const char* const kSetIDWarning = "Warning: GameObject::SetID passed %d, which has an existing node in the tree.  Old "
                                  "node removed, which will cause the item pointed to to be inaccessible to the network";

std::string SetIDWarning(int id)
{
    char text[512];
    std::snprintf(text, sizeof text, kSetIDWarning, id);
    return text;
}

std::string DeleteWarning(int id)
{
    return "Warning: Deleting object with ID " + std::to_string(id) +
           " that does not match the object with that ID in the tree.  Leaving the existing node in the tree.  "
           "Possible cause: Assigning the ID of this object to another object and then deleting this object.  "
           "Correct action: Delete this object before assigning its ID to another object.";
}

} // namespace

TEST_F(GameObjectTest, NewObjectsTakeTheCounterInTurnAndAreFoundByID)
{
    GameObject first, second, third;
    EXPECT_EQ(first.GetID(), 0);
    EXPECT_EQ(second.GetID(), 1);
    EXPECT_EQ(third.GetID(), 2);
    EXPECT_EQ(GameObject::GetNextObjectID(), 3);
    EXPECT_TRUE(first.HasID());
    EXPECT_EQ(GameObject::GetByID(1), &second);
    EXPECT_EQ(GameObject::GetByID(3), nullptr);
    EXPECT_EQ(GameObject::GetByID(-1), nullptr);
    EXPECT_EQ(first.health, 100);
    EXPECT_EQ(first.objectType, 0);
    EXPECT_EQ(first.targetedByCount, 0);
    EXPECT_EQ(ObjectIDTree::Instance().GetCount(), 3);
}

TEST_F(GameObjectTest, IdsInUseAreSkippedAndTheCounterPassesEveryValueTried)
{
    auto early = std::make_unique<GameObject>(); // 0
    auto moved = std::make_unique<GameObject>(); // 1
    moved->SetID(3);                              // 1 is free again, 3 is taken
    EXPECT_EQ(GameObject::GetByID(1), nullptr);
    GameObject::SetNextObjectID(3);
    GameObject skipping;
    EXPECT_EQ(skipping.GetID(), 4);
    EXPECT_EQ(GameObject::GetNextObjectID(), 5);

    // A freed identifier is handed out again once the counter comes round to it.
    early.reset();
    GameObject::SetNextObjectID(0);
    GameObject reused;
    EXPECT_EQ(reused.GetID(), 0);
    EXPECT_EQ(GameObject::GetByID(0), &reused);
}

// The counter wraps, and 0xFFFF, which names no object, is never handed out.
TEST_F(GameObjectTest, TheCounterWrapsPastNoID)
{
    GameObject::SetNextObjectID(0xFFFE);
    GameObject last, wrapped;
    EXPECT_EQ(last.GetStoredID(), 0xFFFE);
    EXPECT_EQ(wrapped.GetStoredID(), 0);
    EXPECT_EQ(GameObject::GetNextObjectID(), 1);
    EXPECT_EQ(GameObject::GetByID(0), &wrapped);
    EXPECT_EQ(GameObject::GetByID(std::int16_t(0xFFFE)), &last);
}

TEST_F(GameObjectTest, AFullTreeLeavesANewObjectWithoutAnIdentifier)
{
    ObjectIDTree& tree = ObjectIDTree::Instance();
    GameObject placeholder; // takes 0
    for (int id = 1; id < 0xFFFF; ++id)
        ASSERT_TRUE(tree.Insert(std::uint16_t(id), &placeholder));
    GameObject::SetNextObjectID(123);
    {
        GameObject homeless;
        EXPECT_FALSE(homeless.HasID());
        EXPECT_EQ(homeless.GetID(), -1);
        EXPECT_EQ(tree.GetCount(), 0xFFFF);
        EXPECT_EQ(GameObject::GetNextObjectID(), 123); // a whole turn of the counter
    }
    EXPECT_NE(Log().find("Warning: GameObject::GameObject found every object ID in use."), std::string::npos);
    // With one identifier free again the next object takes it.
    ASSERT_TRUE(tree.Remove(500));
    {
        GameObject lucky;
        EXPECT_EQ(lucky.GetID(), 500);
    }
    for (int id = 1; id < 0xFFFF; ++id)
        tree.Remove(std::uint16_t(id));
}

TEST_F(GameObjectTest, AClientCopyHasNoIdentifierUntilOneIsSet)
{
    JoinNetworkGame(false);
    {
        GameObject copy;
        EXPECT_FALSE(copy.HasID());
        EXPECT_EQ(copy.GetID(), -1);
        EXPECT_EQ(GameObject::GetNextObjectID(), 0);
        EXPECT_EQ(ObjectIDTree::Instance().GetCount(), 0);
        copy.SetID(42);
        EXPECT_EQ(copy.GetID(), 42);
        EXPECT_EQ(GameObject::GetByID(42), &copy);
    }
    EXPECT_EQ(GameObject::GetByID(42), nullptr);

    // The same class on the host takes its identifier at once.
    JoinNetworkGame(true);
    GameObject hosted;
    EXPECT_TRUE(hosted.HasID());
    EXPECT_EQ(hosted.GetID(), 0);
}

TEST_F(GameObjectTest, SetIDMovesTheObjectAndIgnoresNoIDAndItsOwnID)
{
    GameObject object; // 0
    object.SetID(9);
    EXPECT_EQ(object.GetID(), 9);
    EXPECT_EQ(GameObject::GetByID(0), nullptr);
    EXPECT_EQ(GameObject::GetByID(9), &object);
    object.SetID(0xFFFF);
    object.SetID(9);
    EXPECT_EQ(object.GetID(), 9);
    EXPECT_EQ(ObjectIDTree::Instance().GetCount(), 1);
    EXPECT_EQ(Log().find("Warning"), std::string::npos);
}

TEST_F(GameObjectTest, SetIDToAnotherObjectsIDTakesItWithAWarning)
{
    auto first = std::make_unique<GameObject>(); // 0
    GameObject second;                            // 1
    second.SetID(0);
    EXPECT_NE(Log().find(SetIDWarning(0)), std::string::npos) << Log();
    EXPECT_EQ(GameObject::GetByID(0), &second);
    EXPECT_EQ(GameObject::GetByID(1), nullptr);
    EXPECT_FALSE(first->HasID());
    EXPECT_TRUE(second.HasID());
    // The loser's destruction leaves the winner's entry alone, without a word.
    first.reset();
    EXPECT_EQ(GameObject::GetByID(0), &second);
    EXPECT_EQ(Count(Log(), "Warning"), "1");
}

TEST_F(GameObjectTest, DestroyingAnObjectWhoseEntryWasFiledForAnotherLeavesTheEntry)
{
    auto stale = std::make_unique<GameObject>(); // 0
    GameObject other;                             // 1
    ObjectIDTree& tree = ObjectIDTree::Instance();
    ASSERT_TRUE(tree.Remove(0));
    ASSERT_TRUE(tree.Insert(0, &other));
    stale.reset();
    EXPECT_NE(Log().find(DeleteWarning(0)), std::string::npos) << Log();
    EXPECT_EQ(GameObject::GetByID(0), &other);
    tree.Remove(0);
}

TEST_F(GameObjectTest, AddHealthCapsAtAHundredAndHasNoFloor)
{
    struct Case {
        int health, amount, expected;
    };
    const Case cases[] = {
        {90, 30, 100}, {90, -200, -110}, {100, 0, 100}, {-5, 3, -2}, {50, INT_MAX, 100}, {-10, INT_MIN, INT_MIN},
    };
    GameObject object;
    for (const Case& c : cases) {
        object.health = c.health;
        object.AddHealth(c.amount);
        EXPECT_EQ(object.health, c.expected) << c.health << " + " << c.amount;
    }
    EXPECT_TRUE(session.healthSent.empty());
}

TEST_F(GameObjectTest, AddHealthOnAConnectedMachineTellsTheServer)
{
    for (bool host : {false, true}) {
        JoinNetworkGame(host);
        session.healthSent.clear();
        GameObject object;
        if (!host)
            object.SetID(77);
        object.health = 40;
        object.AddHealth(25);
        ASSERT_EQ(session.healthSent.size(), 1u);
        EXPECT_EQ(session.healthSent[0].first, object.GetID());
        EXPECT_EQ(session.healthSent[0].second, 65);
    }
}

TEST_F(GameObjectTest, BaseOperations)
{
    GameObject object;
    object.position = Vector3(1.0f, 2.0f, 3.0f);
    Vector3 aim;
    object.GetAimPoint(1, &aim);
    EXPECT_EQ(aim, object.position);
    object.health = 30;
    EXPECT_FALSE(object.ApplyDamage(50, Vector3(), Vector3()));
    EXPECT_EQ(object.health, 30);
    EXPECT_EQ(object.GetTargetRating(nullptr, nullptr, 4.0f), 0.0f);
    object.ResetHealth();
    EXPECT_EQ(object.health, 100);
}
