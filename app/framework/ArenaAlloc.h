#pragma once

#include <cstddef>

// The map-prop arena: props are carved from 10000-byte blocks and given back only as a whole
// when the level ends.

// The next size bytes (aligned for any prop), from the current block or a new one chained when
// the request does not fit; a request larger than a block gets a block of its own. Null when no
// block can be allocated.
void* ArenaAlloc(std::size_t size);

// Frees every block at level end.
void ArenaFreeAll();
