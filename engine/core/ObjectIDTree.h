#pragma once

#include <cstdint>
#include <functional>
#include <memory>

class GameObject;

// The index from a 16-bit network object identifier to the game object that owns it: a
// height-balanced binary search tree ordered by the identifier as an unsigned number, each
// identifier at most once. Network handlers, the saved-game loader and the items resolve every
// identifier they receive through it, so a lookup is one descent from the root.
class ObjectIDTree {
public:
    // The process-wide tree behind GameObject::GetByID.
    static ObjectIDTree& Instance();

    ObjectIDTree() = default;
    ~ObjectIDTree() { Clear(); }
    ObjectIDTree(const ObjectIDTree&) = delete;
    ObjectIDTree& operator=(const ObjectIDTree&) = delete;

    // False, changing nothing, when the identifier is already there or the object is null.
    bool Insert(std::uint16_t id, GameObject* object);
    // The object filed under the identifier, or null.
    GameObject* Find(std::uint16_t id) const;
    bool Contains(std::uint16_t id) const { return Find(id) != nullptr; }
    // False, changing nothing, when the identifier is not there.
    bool Remove(std::uint16_t id);
    // Forgets every entry; the objects themselves are not touched.
    void Clear();

    int GetCount() const { return count; }
    int GetHeight() const;
    // Each entry in ascending identifier order.
    void ForEach(const std::function<void(std::uint16_t id, GameObject* object)>& visit) const;
    // True when the identifiers ascend in order, every node's height is right and no node's
    // subtrees differ in height by more than one.
    bool IsWellFormed() const;

private:
    struct Node {
        std::uint16_t id = 0;
        GameObject* object = nullptr;
        int height = 1;
        std::unique_ptr<Node> left;
        std::unique_ptr<Node> right;
    };
    using Link = std::unique_ptr<Node>;

    static int Height(const Link& node) { return node ? node->height : 0; }
    static void UpdateHeight(Node& node);
    static void RotateLeft(Link& link);
    static void RotateRight(Link& link);
    static void Rebalance(Link& link);
    bool InsertAt(Link& link, std::uint16_t id, GameObject* object);
    bool RemoveAt(Link& link, std::uint16_t id);
    static void Visit(const Link& node, const std::function<void(std::uint16_t, GameObject*)>& visit);
    static bool Check(const Link& node, int low, int high, int* height);

    Link root;
    int count = 0;
};
