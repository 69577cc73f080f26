#include "engine/core/ObjectIDTree.h"

#include <algorithm>

ObjectIDTree& ObjectIDTree::Instance()
{
    static ObjectIDTree tree;
    return tree;
}

bool ObjectIDTree::Insert(std::uint16_t id, GameObject* object)
{
    if (!object)
        return false;
    return InsertAt(root, id, object);
}

GameObject* ObjectIDTree::Find(std::uint16_t id) const
{
    const Node* node = root.get();
    while (node) {
        if (id == node->id)
            return node->object;
        node = id < node->id ? node->left.get() : node->right.get();
    }
    return nullptr;
}

bool ObjectIDTree::Remove(std::uint16_t id)
{
    return RemoveAt(root, id);
}

void ObjectIDTree::Clear()
{
    // The depth is bounded by the balance (at most about 24 levels for 65536 entries), so the
    // nodes' own destructors can free the tree recursively.
    root.reset();
    count = 0;
}

int ObjectIDTree::GetHeight() const
{
    return Height(root);
}

void ObjectIDTree::ForEach(const std::function<void(std::uint16_t id, GameObject* object)>& visit) const
{
    Visit(root, visit);
}

bool ObjectIDTree::IsWellFormed() const
{
    int height = 0;
    return Check(root, -1, 0x10000, &height);
}

void ObjectIDTree::UpdateHeight(Node& node)
{
    node.height = 1 + std::max(Height(node.left), Height(node.right));
}

// Lifts the right child over the node; the child's left subtree goes to the node's right.
void ObjectIDTree::RotateLeft(Link& link)
{
    Link child = std::move(link->right);
    link->right = std::move(child->left);
    UpdateHeight(*link);
    child->left = std::move(link);
    UpdateHeight(*child);
    link = std::move(child);
}

void ObjectIDTree::RotateRight(Link& link)
{
    Link child = std::move(link->left);
    link->left = std::move(child->right);
    UpdateHeight(*link);
    child->right = std::move(link);
    UpdateHeight(*child);
    link = std::move(child);
}

// Restores the balance of a node whose subtrees may differ in height by two. A child that
// leans the other way is first turned (the double rotation); a child in balance, which only a
// removal leaves, takes the single rotation, which keeps every subtree within one.
void ObjectIDTree::Rebalance(Link& link)
{
    Node& node = *link;
    const int lean = Height(node.right) - Height(node.left);
    if (lean > 1) {
        if (Height(node.right->left) > Height(node.right->right))
            RotateRight(node.right);
        RotateLeft(link);
    } else if (lean < -1) {
        if (Height(node.left->right) > Height(node.left->left))
            RotateLeft(node.left);
        RotateRight(link);
    } else {
        UpdateHeight(node);
    }
}

bool ObjectIDTree::InsertAt(Link& link, std::uint16_t id, GameObject* object)
{
    if (!link) {
        link = std::make_unique<Node>();
        link->id = id;
        link->object = object;
        ++count;
        return true;
    }
    if (id == link->id)
        return false;
    if (!InsertAt(id < link->id ? link->left : link->right, id, object))
        return false;
    Rebalance(link);
    return true;
}

bool ObjectIDTree::RemoveAt(Link& link, std::uint16_t id)
{
    if (!link)
        return false;
    if (id != link->id) {
        if (!RemoveAt(id < link->id ? link->left : link->right, id))
            return false;
    } else if (!link->left || !link->right) {
        // A leaf goes; a node with one child is replaced by that child.
        Link child = std::move(link->left ? link->left : link->right);
        link = std::move(child);
        --count;
    } else {
        // Two children: the node takes the entry of its in-order successor, which then leaves
        // the right subtree.
        const Node* successor = link->right.get();
        while (successor->left)
            successor = successor->left.get();
        const std::uint16_t successorID = successor->id;
        GameObject* successorObject = successor->object;
        RemoveAt(link->right, successorID);
        link->id = successorID;
        link->object = successorObject;
    }
    if (link)
        Rebalance(link);
    return true;
}

void ObjectIDTree::Visit(const Link& node, const std::function<void(std::uint16_t, GameObject*)>& visit)
{
    if (!node)
        return;
    Visit(node->left, visit);
    visit(node->id, node->object);
    Visit(node->right, visit);
}

bool ObjectIDTree::Check(const Link& node, int low, int high, int* height)
{
    if (!node) {
        *height = 0;
        return true;
    }
    if (node->id <= low || node->id >= high || !node->object)
        return false;
    int left = 0, right = 0;
    if (!Check(node->left, low, node->id, &left) || !Check(node->right, node->id, high, &right))
        return false;
    *height = 1 + std::max(left, right);
    return node->height == *height && left - right <= 1 && right - left <= 1;
}
