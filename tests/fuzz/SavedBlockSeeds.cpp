// The saved-block target's seeds: the blocks the objects' own Saves write, put in the folder that
// BEXAL_FUZZ_SEEDS names (the corpus) before the fuzzer reads it, so that a change of a block's
// layout never leaves the run seeded with stale bytes.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/fuzz/ReaderEntries.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const char* folder = std::getenv("BEXAL_FUZZ_SEEDS");
    if (!folder || !folder[0])
        return 0;
    int index = 0;
    for (const auto& block : readers::MakeSavedBlockSeeds()) {
        const std::string path = std::string(folder) + "/saved-" + std::to_string(index++) + ".blk";
        std::FILE* out = std::fopen(path.c_str(), "wb");
        bool written = out && std::fwrite(block.data(), 1, block.size(), out) == block.size();
        written = out && std::fclose(out) == 0 && written;
        if (!written)
            std::fprintf(stderr, "can't write the seed %s\n", path.c_str());
    }
    return 0;
}
