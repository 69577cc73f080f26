#pragma once

#include <memory>

// One square of an imposter page's quadtree. The tree is complete: the 512-pixel root splits down
// to 32-pixel leaves; children in the order (x, y), (x + half, y), (x, y + half),
// (x + half, y + half). A node is in use when it or anything below it holds a picture.
class ImposterCell {
public:
    static constexpr int kPageSize = 512;
    static constexpr int kSmallest = 32;

    // Gives the node the complete tree below it for its size.
    static void Build(ImposterCell* node, int size);
    // The first free cell, in child order, of the smallest size (a power of two, at least 32)
    // that is not below wanted; null when none is free.
    static ImposterCell* Find(ImposterCell* node, int size, int x, int y, int wanted, int* outX, int* outY,
                              int* outSize);
    // value 1: the node and all its ancestors become in use. value 0: the node is cleared, then
    // each ancestor up to the first that still has a child in use.
    static void MarkUp(ImposterCell* node, bool value);
    static void MarkSubtree(ImposterCell* node, bool value);
    // Takes a found cell and frees a held one.
    static void Take(ImposterCell* cell);
    static void Free(ImposterCell* cell);

    bool inUse = false;
    std::unique_ptr<ImposterCell> children[4];
    ImposterCell* parent = nullptr;
};
