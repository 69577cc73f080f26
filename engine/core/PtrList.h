#pragma once

#include <cstdint>

struct PtrListNode {
    PtrListNode* next = nullptr;
    PtrListNode* prev = nullptr;
    void* item = nullptr;
    const class PtrList* owner = nullptr; // the list the node is linked into, so membership is O(1)
};

// Doubly linked list of untyped pointers. It owns its nodes, never its items.
class PtrList {
public:
    PtrList() = default;
    ~PtrList();
    PtrList(const PtrList&) = delete;
    PtrList& operator=(const PtrList&) = delete;

    PtrListNode* GetHead() const { return head; }
    PtrListNode* GetTail() const { return tail; }
    std::int32_t GetCount() const { return count; }
    bool IsEmpty() const { return head == nullptr; }

    PtrListNode* AddHead(void* item);
    // Before the node; at the head when the node is the head or the list is empty; at the tail
    // when the node is null or not in this list.
    PtrListNode* InsertBefore(void* item, PtrListNode* node);
    PtrListNode* AddTail(void* item) { return InsertBefore(item, nullptr); }
    // Unlinks without freeing; the caller takes the node (free it with delete). Null in, null out.
    PtrListNode* Unlink(PtrListNode* node);
    // Frees the first node (from the head) holding the item; false when there was none.
    bool Remove(void* item);
    void RemoveAll();

    PtrListNode* FindNode(const void* item) const;
    bool Contains(const void* item) const { return FindNode(item) != nullptr; }

    // Item iteration from head to tail: for (void* item : list). Do not remove the current
    // node while iterating this way.
    class Iterator {
    public:
        explicit Iterator(PtrListNode* node) : node(node) {}
        void* operator*() const { return node->item; }
        Iterator& operator++() { node = node->next; return *this; }
        bool operator==(const Iterator& other) const = default;
    private:
        PtrListNode* node;
    };
    Iterator begin() const { return Iterator(head); }
    Iterator end() const { return Iterator(nullptr); }

private:
    bool Holds(const PtrListNode* node) const;

    PtrListNode* head = nullptr;
    PtrListNode* tail = nullptr;
    std::int32_t count = 0;
};

// Typed face of a PtrList for lists that hold one kind of item.
template <class T>
class PtrListOf : public PtrList {
public:
    PtrListNode* AddHead(T* item) { return PtrList::AddHead(item); }
    PtrListNode* InsertBefore(T* item, PtrListNode* node) { return PtrList::InsertBefore(item, node); }
    PtrListNode* AddTail(T* item) { return PtrList::AddTail(item); }
    bool Remove(T* item) { return PtrList::Remove(item); }
    static T* ItemOf(const PtrListNode* node) { return node ? static_cast<T*>(node->item) : nullptr; }

    class Iterator {
    public:
        explicit Iterator(PtrListNode* node) : node(node) {}
        T* operator*() const { return static_cast<T*>(node->item); }
        Iterator& operator++() { node = node->next; return *this; }
        bool operator==(const Iterator& other) const = default;
    private:
        PtrListNode* node;
    };
    Iterator begin() const { return Iterator(GetHead()); }
    Iterator end() const { return Iterator(nullptr); }
};
