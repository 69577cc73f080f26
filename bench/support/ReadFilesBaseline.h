#pragma once

// The plain baseline of a load: every file it opens read whole into memory through the pack-file
// layer, nothing decoded.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "engine/filesystem/PackFile.h"

inline void ReadFilesIntoMemory(benchmark::State& state, const std::vector<std::string>& files)
{
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (const std::string& file : files) {
            std::vector<std::uint8_t> contents;
            PackFileReadAll(file.c_str(), contents);
            bytes += contents.size();
            benchmark::DoNotOptimize(contents.data());
        }
    }
    state.SetLabel("floor: read, nothing decoded");
    state.counters["files"] = double(files.size());
    state.counters["bytes"] = double(bytes);
}
