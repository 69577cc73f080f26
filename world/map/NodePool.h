#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <utility>
#include <vector>

// Fixed-size nodes handed out from blocks of 100, so that thousands of map objects and placement
// records cost a handful of allocations. Freed nodes are threaded onto a free list and reused.
template <typename T>
class NodePool {
public:
    static constexpr int kBlockSize = 100;

    NodePool() = default;
    NodePool(const NodePool&) = delete;
    NodePool& operator=(const NodePool&) = delete;
    ~NodePool() { FreeAll(); }

    // A node constructed with the arguments.
    template <typename... Args>
    T* Allocate(Args&&... args)
    {
        if (!freeList)
            AddBlock();
        Slot* slot = freeList;
        freeList = slot->next;
        T* node = new (slot->storage) T(std::forward<Args>(args)...);
        slot->live = true;
        ++liveCount;
        return node;
    }

    // Destroys the node and puts its slot back on the free list.
    void Free(T* node)
    {
        if (!node)
            return;
        node->~T();
        Slot* slot = reinterpret_cast<Slot*>(node);
        slot->live = false;
        slot->next = freeList;
        freeList = slot;
        --liveCount;
    }

    // Destroys the nodes still handed out, then gives every block back.
    void FreeAll()
    {
        for (auto& block : blocks)
            for (int i = 0; i < kBlockSize; ++i)
                if (block[i].live) {
                    block[i].live = false;
                    reinterpret_cast<T*>(block[i].storage)->~T();
                }
        blocks.clear();
        freeList = nullptr;
        liveCount = 0;
    }

    int GetLiveCount() const { return liveCount; }
    int GetBlockCount() const { return int(blocks.size()); }

private:
    // The storage comes first, so that a node's address is its slot's.
    struct Slot {
        union {
            alignas(T) unsigned char storage[sizeof(T)];
            Slot* next;
        };
        bool live = false;
    };

    void AddBlock()
    {
        blocks.push_back(std::make_unique<Slot[]>(kBlockSize));
        Slot* block = blocks.back().get();
        for (int i = kBlockSize - 1; i >= 0; --i) {
            block[i].next = freeList;
            freeList = &block[i];
        }
    }

    std::vector<std::unique_ptr<Slot[]>> blocks;
    Slot* freeList = nullptr;
    int liveCount = 0;
};
