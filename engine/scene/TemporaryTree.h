#pragma once

#include "engine/scene/SceneNode.h"

// A root for nodes that a reader builds only for the length of a load: every node under it is
// detached and deleted when the tree goes, on success or on an error.
class TemporaryTree {
public:
    TemporaryTree() = default;
    TemporaryTree(const TemporaryTree&) = delete;
    TemporaryTree& operator=(const TemporaryTree&) = delete;
    ~TemporaryTree()
    {
        while (root.GetChildCount() > 0) {
            SceneNode* child = root.GetChild(0);
            child->Detach();
            delete child;
        }
    }

    SceneNode root;
};
