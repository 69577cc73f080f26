#include "engine/core/PtrList.h"

PtrList::~PtrList()
{
    RemoveAll();
}

PtrListNode* PtrList::AddHead(void* item)
{
    PtrListNode* node = new PtrListNode;
    node->item = item;
    node->owner = this;
    node->next = head;
    if (head)
        head->prev = node;
    else
        tail = node;
    head = node;
    ++count;
    return node;
}

PtrListNode* PtrList::InsertBefore(void* item, PtrListNode* node)
{
    if (head == nullptr || node == head)
        return AddHead(item);
    PtrListNode* created = new PtrListNode;
    created->item = item;
    created->owner = this;
    if (node == nullptr || !Holds(node)) {
        created->prev = tail;
        tail->next = created;
        tail = created;
    } else {
        created->prev = node->prev;
        created->next = node;
        node->prev->next = created;
        node->prev = created;
    }
    ++count;
    return created;
}

PtrListNode* PtrList::Unlink(PtrListNode* node)
{
    // A node of another list would corrupt both lists, so it is refused like a null one.
    if (node == nullptr || !Holds(node))
        return nullptr;
    if (node->prev)
        node->prev->next = node->next;
    else
        head = node->next;
    if (node->next)
        node->next->prev = node->prev;
    else
        tail = node->prev;
    node->next = nullptr;
    node->prev = nullptr;
    node->owner = nullptr;
    --count;
    return node;
}

bool PtrList::Remove(void* item)
{
    PtrListNode* node = FindNode(item);
    if (node == nullptr)
        return false;
    delete Unlink(node);
    return true;
}

void PtrList::RemoveAll()
{
    while (head)
        delete Unlink(head);
}

PtrListNode* PtrList::FindNode(const void* item) const
{
    for (PtrListNode* node = head; node; node = node->next)
        if (node->item == item)
            return node;
    return nullptr;
}

bool PtrList::Holds(const PtrListNode* node) const
{
    return node->owner == this;
}
