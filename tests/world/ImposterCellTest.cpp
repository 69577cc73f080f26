#include <gtest/gtest.h>

#include "world/imposters/ImposterCell.h"
#include "world/imposters/ImposterProp.h"

namespace {

struct Page {
    Page() { ImposterCell::Build(&root, 512); }
    ImposterCell* Take(int wanted, int* x = nullptr, int* y = nullptr, int* size = nullptr)
    {
        int cx = -1, cy = -1, cs = -1;
        ImposterCell* cell = ImposterCell::Find(&root, 512, 0, 0, wanted, &cx, &cy, &cs);
        if (cell)
            ImposterCell::Take(cell);
        if (x)
            *x = cx, *y = cy, *size = cs;
        return cell;
    }
    ImposterCell root;
};

int Depth(const ImposterCell* node) { return node->children[0] ? 1 + Depth(node->children[0].get()) : 0; }

TEST(ImposterCellTest, TheTreeIsCompleteDownTo32Pixels)
{
    Page page;
    EXPECT_EQ(Depth(&page.root), 4); // 512, 256, 128, 64, 32
    EXPECT_EQ(page.root.children[3]->children[0]->parent, page.root.children[3].get());
}

TEST(ImposterCellTest, FindTakesTheFirstFreeCellOfTheSmallestFittingSize)
{
    Page page;
    const struct {
        int wanted, x, y, size;
    } cases[] = {
        {1, 0, 0, 32},    {32, 32, 0, 32}, {33, 64, 0, 64}, {20, 0, 32, 32},
        {100, 128, 0, 128}, {200, 256, 0, 256},
    };
    for (const auto& c : cases) {
        int x, y, size;
        ASSERT_NE(page.Take(c.wanted, &x, &y, &size), nullptr) << c.wanted;
        EXPECT_EQ(x, c.x) << c.wanted;
        EXPECT_EQ(y, c.y) << c.wanted;
        EXPECT_EQ(size, c.size) << c.wanted;
    }
    // 512 needs a completely free page; so does anything larger, which never fits.
    EXPECT_EQ(page.Take(512), nullptr);
    EXPECT_EQ(page.Take(513), nullptr);
    Page empty;
    int x, y, size;
    ASSERT_NE(empty.Take(512, &x, &y, &size), nullptr);
    EXPECT_EQ(size, 512);
    EXPECT_TRUE(empty.root.inUse);
    EXPECT_EQ(empty.Take(1), nullptr);
}

TEST(ImposterCellTest, ReleasingTheLastCellClearsTheMarksUpToTheRoot)
{
    Page page;
    ImposterCell* a = page.Take(32);
    ImposterCell* b = page.Take(32);
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(a->parent->inUse);
    EXPECT_TRUE(page.root.inUse);
    ImposterCell::Free(a);
    EXPECT_FALSE(a->inUse);
    EXPECT_TRUE(a->parent->inUse); // b still holds the parent
    ImposterCell::Free(b);
    for (const ImposterCell* up = b; up; up = up->parent)
        EXPECT_FALSE(up->inUse);
    // The freed cell is found again first.
    int x, y, size;
    EXPECT_EQ(page.Take(32, &x, &y, &size), a);
    // A big cell taken marks its whole subtree, so nothing below it is offered.
    ImposterCell* big = page.Take(256);
    ASSERT_NE(big, nullptr);
    EXPECT_TRUE(big->children[2]->children[1]->inUse);
    // Filled with 32-pixel cells, the page has 256 of them.
    Page full;
    int taken = 0;
    while (full.Take(32))
        ++taken;
    EXPECT_EQ(taken, 256);
}

TEST(ImposterDecisionTest, ReRenderWhenDistanceOrDirectionChangedEnough)
{
    const Vector3 ahead(0, 0, 1);
    const struct {
        bool hasImposter;
        float distance, lastDistance;
        Vector3 direction;
        bool expected;
    } cases[] = {
        {false, 100, 100, ahead, true},                     // nothing rendered yet
        {true, 100, 100, ahead, false},                     // unchanged
        {true, 100, 106, ahead, false},                     // r = 0.1: 7 units allowed
        {true, 100, 108, ahead, true},
        {true, 500, 500, Vector3(0.02f, 0, 0.9998f), false}, // r = 0.5: dot down to 0.9975
        {true, 500, 500, Vector3(0.0872f, 0, 0.9962f), true},
        {true, 10, 10, Vector3(0.02f, 0, 0.9998f), true},  // near: the cap of 0.9999 holds
    };
    for (const auto& c : cases) {
        Vector3 direction = c.direction;
        direction.Normalize();
        EXPECT_EQ(ImposterProp::NeedsRender(c.hasImposter, c.distance, 1000.0f, c.lastDistance, direction, ahead),
                  c.expected)
            << c.distance << " " << c.lastDistance << " " << c.direction.x;
    }
}

} // namespace
