#include "engine/core/ObjectIDTree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <random>
#include <vector>

namespace {

// Stand-ins for objects: the tree files pointers and never follows them.
GameObject* Object(int n)
{
    static char objects[4096];
    return reinterpret_cast<GameObject*>(&objects[n % 4096]);
}

std::vector<std::uint16_t> Ids(const ObjectIDTree& tree)
{
    std::vector<std::uint16_t> ids;
    tree.ForEach([&](std::uint16_t id, GameObject*) { ids.push_back(id); });
    return ids;
}

// The AVL bound: a tree of n entries is at most about 1.44 log2(n + 2) high.
double HeightBound(int count)
{
    return 1.4405 * std::log2(double(count) + 2.0);
}

} // namespace

// Random inserts, removes and lookups against a std::map, with the tree's order, heights and
// balance checked as it goes.
TEST(ObjectIDTree, AgreesWithAMapUnderRandomInsertsAndRemoves)
{
    ObjectIDTree tree;
    std::map<std::uint16_t, GameObject*> model;
    std::mt19937 random(20261210);
    for (int step = 0; step < 60000; ++step) {
        // Ids from a small range so that inserts meet existing ids and removes find them; a
        // few from the whole range, the extremes included.
        std::uint16_t id = std::uint16_t(random() % 3000);
        if (step % 97 == 0)
            id = std::uint16_t(random());
        if (step % 1013 == 0)
            id = step % 2 ? 0 : 0xFFFF;
        const unsigned action = random() % 10;
        if (action < 5) {
            const bool inserted = tree.Insert(id, Object(step));
            EXPECT_EQ(inserted, model.emplace(id, Object(step)).second) << "insert " << id << " at step " << step;
        } else if (action < 9) {
            EXPECT_EQ(tree.Remove(id), model.erase(id) == 1) << "remove " << id << " at step " << step;
        } else {
            const auto found = model.find(id);
            EXPECT_EQ(tree.Find(id), found == model.end() ? nullptr : found->second) << "find " << id;
        }
        ASSERT_EQ(tree.GetCount(), int(model.size()));
        if (step % 500 == 0) {
            ASSERT_TRUE(tree.IsWellFormed()) << "at step " << step;
            EXPECT_LE(tree.GetHeight(), HeightBound(tree.GetCount()));
        }
    }
    std::vector<std::uint16_t> expected;
    for (const auto& [id, object] : model) {
        expected.push_back(id);
        EXPECT_EQ(tree.Find(id), object);
    }
    EXPECT_EQ(Ids(tree), expected);
    ASSERT_TRUE(tree.IsWellFormed());
    while (!model.empty()) {
        EXPECT_TRUE(tree.Remove(model.begin()->first));
        model.erase(model.begin());
    }
    EXPECT_EQ(tree.GetCount(), 0);
    EXPECT_EQ(tree.GetHeight(), 0);
}

// Identifiers handed out in ascending order (as the counter does) must not degrade the tree
// into a list.
TEST(ObjectIDTree, AscendingInsertsOverTheWholeRangeStayBalanced)
{
    ObjectIDTree tree;
    for (int id = 0; id < 0x10000; ++id)
        ASSERT_TRUE(tree.Insert(std::uint16_t(id), Object(id)));
    EXPECT_EQ(tree.GetCount(), 0x10000);
    EXPECT_EQ(tree.GetHeight(), 17);
    EXPECT_TRUE(tree.IsWellFormed());
    EXPECT_EQ(tree.Find(0xFFFF), Object(0xFFFF));
    for (int id = 0; id < 0x10000; id += 2)
        ASSERT_TRUE(tree.Remove(std::uint16_t(id)));
    EXPECT_TRUE(tree.IsWellFormed());
    EXPECT_LE(tree.GetHeight(), HeightBound(tree.GetCount()));
    tree.Clear();
    EXPECT_EQ(tree.GetCount(), 0);
    EXPECT_EQ(tree.Find(1), nullptr);
}

TEST(ObjectIDTree, RemovingTheOnlyNodeTakesOnlyItsOwnId)
{
    ObjectIDTree tree;
    EXPECT_FALSE(tree.Remove(5));
    ASSERT_TRUE(tree.Insert(5, Object(1)));
    // Another id leaves the only node where it is.
    EXPECT_FALSE(tree.Remove(6));
    EXPECT_EQ(tree.GetCount(), 1);
    EXPECT_EQ(tree.Find(5), Object(1));
    EXPECT_TRUE(tree.Remove(5));
    EXPECT_EQ(tree.GetCount(), 0);
    EXPECT_EQ(tree.Find(5), nullptr);
    EXPECT_EQ(tree.GetHeight(), 0);
}

TEST(ObjectIDTree, RemovingTheRootWithTwoChildrenKeepsTheOthersInOrder)
{
    ObjectIDTree tree;
    // 40 becomes the root with both subtrees full.
    for (std::uint16_t id : {40, 20, 60, 10, 30, 50, 70, 25, 35, 55})
        ASSERT_TRUE(tree.Insert(id, Object(id)));
    ASSERT_TRUE(tree.IsWellFormed());
    EXPECT_TRUE(tree.Remove(40));
    EXPECT_EQ(Ids(tree), (std::vector<std::uint16_t>{10, 20, 25, 30, 35, 50, 55, 60, 70}));
    EXPECT_TRUE(tree.IsWellFormed());
    for (std::uint16_t id : {10, 20, 25, 30, 35, 50, 55, 60, 70})
        EXPECT_EQ(tree.Find(id), Object(id)) << id;
    EXPECT_EQ(tree.Find(40), nullptr);
}

TEST(ObjectIDTree, DuplicateAndNullInsertsChangeNothing)
{
    ObjectIDTree tree;
    ASSERT_TRUE(tree.Insert(7, Object(1)));
    EXPECT_FALSE(tree.Insert(7, Object(2)));
    EXPECT_FALSE(tree.Insert(8, nullptr));
    EXPECT_EQ(tree.GetCount(), 1);
    EXPECT_EQ(tree.Find(7), Object(1));
    EXPECT_EQ(tree.Find(8), nullptr);
}
