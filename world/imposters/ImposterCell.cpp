#include "world/imposters/ImposterCell.h"

void ImposterCell::Build(ImposterCell* node, int size)
{
    if (!node || size / 2 <= kSmallest / 2)
        return;
    for (auto& child : node->children) {
        child = std::make_unique<ImposterCell>();
        child->parent = node;
        Build(child.get(), size / 2);
    }
}

ImposterCell* ImposterCell::Find(ImposterCell* node, int size, int x, int y, int wanted, int* outX, int* outY,
                                 int* outSize)
{
    if (!node)
        return nullptr;
    if (size / 2 >= wanted && node->children[0]) {
        const int half = size / 2;
        const int offsets[4][2] = {{0, 0}, {half, 0}, {0, half}, {half, half}};
        for (int i = 0; i < 4; ++i)
            if (ImposterCell* found = Find(node->children[i].get(), half, x + offsets[i][0], y + offsets[i][1], wanted,
                                           outX, outY, outSize))
                return found;
        return nullptr;
    }
    if (node->inUse || wanted > size)
        return nullptr;
    *outX = x, *outY = y, *outSize = size;
    return node;
}

void ImposterCell::MarkUp(ImposterCell* node, bool value)
{
    if (!node)
        return;
    node->inUse = value;
    for (ImposterCell* up = node->parent; up; up = up->parent) {
        if (!value)
            for (const auto& child : up->children)
                if (child && child->inUse)
                    return;
        up->inUse = value;
    }
}

void ImposterCell::MarkSubtree(ImposterCell* node, bool value)
{
    if (!node)
        return;
    node->inUse = value;
    for (const auto& child : node->children)
        MarkSubtree(child.get(), value);
}

void ImposterCell::Take(ImposterCell* cell)
{
    MarkSubtree(cell, true);
    MarkUp(cell->parent, true);
}

void ImposterCell::Free(ImposterCell* cell)
{
    MarkSubtree(cell, false);
    MarkUp(cell, false);
}
