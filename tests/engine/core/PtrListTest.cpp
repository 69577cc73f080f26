#include <vector>

#include <gtest/gtest.h>

#include "engine/core/PtrList.h"

namespace {

int items[6];

// Walks the list both ways and checks that head, tail, links and count agree.
std::vector<void*> Contents(const PtrList& list)
{
    std::vector<void*> forward;
    const PtrListNode* last = nullptr;
    for (const PtrListNode* node = list.GetHead(); node; node = node->next) {
        EXPECT_EQ(node->prev, last);
        forward.push_back(node->item);
        last = node;
    }
    EXPECT_EQ(list.GetTail(), last);
    EXPECT_EQ(list.GetCount(), static_cast<int>(forward.size()));
    EXPECT_EQ(list.IsEmpty(), forward.empty());
    return forward;
}

std::vector<void*> Items(std::initializer_list<int> indices)
{
    std::vector<void*> result;
    for (int i : indices)
        result.push_back(&items[i]);
    return result;
}

} // namespace

TEST(PtrList, EmptyList)
{
    PtrList list;
    EXPECT_EQ(list.GetHead(), nullptr);
    EXPECT_EQ(list.GetTail(), nullptr);
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_FALSE(list.Remove(&items[0]));
    EXPECT_EQ(list.Unlink(nullptr), nullptr);
    list.RemoveAll();
    EXPECT_TRUE(Contents(list).empty());
}

TEST(PtrList, AddHeadPutsNewestFirst)
{
    PtrList list;
    PtrListNode* first = list.AddHead(&items[0]);
    EXPECT_EQ(first->item, &items[0]);
    EXPECT_EQ(list.GetHead(), first);
    EXPECT_EQ(list.GetTail(), first);
    list.AddHead(&items[1]);
    list.AddHead(&items[2]);
    EXPECT_EQ(Contents(list), Items({2, 1, 0}));
    EXPECT_EQ(list.GetTail(), first);
}

TEST(PtrList, InsertBefore)
{
    PtrList other;
    PtrListNode* foreign = other.AddHead(&items[5]);

    struct Case {
        const char* what;
        int anchor; // -1: null, -2: a node of another list, else the index of the node's item
        std::vector<void*> expected;
    } cases[] = {
        {"before the head", 0, Items({4, 0, 1, 2})},
        {"in the middle", 1, Items({0, 4, 1, 2})},
        {"before the tail", 2, Items({0, 1, 4, 2})},
        {"null appends", -1, Items({0, 1, 2, 4})},
        {"foreign node appends", -2, Items({0, 1, 2, 4})},
    };
    for (const Case& c : cases) {
        PtrList list;
        PtrListNode* nodes[3];
        nodes[2] = list.AddHead(&items[2]);
        nodes[1] = list.AddHead(&items[1]);
        nodes[0] = list.AddHead(&items[0]);
        PtrListNode* anchor = c.anchor == -1 ? nullptr : (c.anchor == -2 ? foreign : nodes[c.anchor]);
        PtrListNode* created = list.InsertBefore(&items[4], anchor);
        EXPECT_EQ(created->item, &items[4]) << c.what;
        EXPECT_EQ(Contents(list), c.expected) << c.what;
    }
    EXPECT_EQ(Contents(other), Items({5})); // the other list is untouched

    PtrList empty;
    empty.InsertBefore(&items[0], foreign);
    EXPECT_EQ(Contents(empty), Items({0}));
    empty.AddTail(&items[1]);
    EXPECT_EQ(Contents(empty), Items({0, 1}));
}

TEST(PtrList, UnlinkKeepsTheNodeForTheCaller)
{
    for (int which = 0; which < 3; ++which) {
        PtrList list;
        PtrListNode* nodes[3];
        nodes[2] = list.AddHead(&items[2]);
        nodes[1] = list.AddHead(&items[1]);
        nodes[0] = list.AddHead(&items[0]);
        PtrListNode* node = list.Unlink(nodes[which]);
        ASSERT_EQ(node, nodes[which]);
        EXPECT_EQ(node->item, &items[which]);
        std::vector<void*> expected = Items({0, 1, 2});
        expected.erase(expected.begin() + which);
        EXPECT_EQ(Contents(list), expected);
        delete node;
    }

    PtrList list, other;
    list.AddHead(&items[0]);
    PtrListNode* foreign = other.AddHead(&items[1]);
    EXPECT_EQ(list.Unlink(foreign), nullptr);
    EXPECT_EQ(Contents(list), Items({0}));
    EXPECT_EQ(Contents(other), Items({1}));
}

TEST(PtrList, RemoveTakesTheFirstMatchOnly)
{
    PtrList list;
    list.AddHead(&items[0]);
    list.AddHead(&items[1]);
    list.AddHead(&items[0]);
    EXPECT_FALSE(list.Remove(&items[3]));
    EXPECT_EQ(Contents(list), Items({0, 1, 0}));
    EXPECT_TRUE(list.Remove(&items[0]));
    EXPECT_EQ(Contents(list), Items({1, 0}));
    EXPECT_TRUE(list.Remove(&items[0]));
    EXPECT_TRUE(list.Remove(&items[1]));
    EXPECT_TRUE(Contents(list).empty());
    list.AddHead(nullptr); // a null item is an item like any other
    EXPECT_TRUE(list.Contains(nullptr));
    EXPECT_TRUE(list.Remove(nullptr));
}

TEST(PtrList, RemoveAllAndIteration)
{
    PtrListOf<int> list;
    for (int i = 0; i < 4; ++i)
        list.AddTail(&items[i]);
    std::vector<int*> seen;
    for (int* item : list)
        seen.push_back(item);
    EXPECT_EQ(seen, (std::vector<int*>{&items[0], &items[1], &items[2], &items[3]}));
    EXPECT_EQ(PtrListOf<int>::ItemOf(list.GetTail()), &items[3]);
    EXPECT_EQ(PtrListOf<int>::ItemOf(nullptr), nullptr);
    EXPECT_EQ(list.FindNode(&items[2]), list.GetTail()->prev);

    list.RemoveAll();
    EXPECT_TRUE(Contents(list).empty());
    list.AddHead(&items[1]); // usable again after being emptied
    EXPECT_EQ(Contents(list), Items({1}));
}
