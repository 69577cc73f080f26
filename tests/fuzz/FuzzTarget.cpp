// The libFuzzer target of one reader family, chosen by BEXAL_FUZZ_ENTRY when it is built: a
// broken promise stops the run with its text, as a sanitizer report would.
#include <cstdio>
#include <cstdlib>

#include "tests/fuzz/ReaderEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string broken = readers::BEXAL_FUZZ_ENTRY(data, size);
    if (!broken.empty()) {
        std::fprintf(stderr, "broken promise: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
