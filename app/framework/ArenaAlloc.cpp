#include "app/framework/ArenaAlloc.h"

#include <cstdint>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr std::size_t BlockSize = 10000;
constexpr std::size_t Alignment = alignof(std::max_align_t);

struct Arena {
    std::vector<std::unique_ptr<std::byte[]>> blocks;
    std::size_t used = BlockSize;  // no current block yet
    std::size_t currentSize = 0;
};

Arena& MapPropArena()
{
    static Arena arena;
    return arena;
}

} // namespace

void* ArenaAlloc(std::size_t size)
{
    Arena& arena = MapPropArena();
    const std::size_t rounded = (size + Alignment - 1) & ~(Alignment - 1);
    if (rounded < size)
        return nullptr;
    if (arena.blocks.empty() || arena.used + rounded > arena.currentSize) {
        const std::size_t blockSize = rounded > BlockSize ? rounded : BlockSize;
        std::unique_ptr<std::byte[]> block(new (std::nothrow) std::byte[blockSize]);
        if (!block)
            return nullptr;
        arena.blocks.push_back(std::move(block));
        arena.used = 0;
        arena.currentSize = blockSize;
    }
    void* result = arena.blocks.back().get() + arena.used;
    arena.used += rounded;
    return result;
}

void ArenaFreeAll()
{
    Arena& arena = MapPropArena();
    arena.blocks.clear();
    arena.used = BlockSize;
    arena.currentSize = 0;
}
