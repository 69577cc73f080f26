#pragma once

// The command line of a benchmark program, with a warm-up for every benchmark. Google Benchmark
// measures from the first iteration on and stops after it when that iteration alone lasts its
// minimum time (0.5 s), so a cold first frame, a cache filled on first use or a fixture built in
// the first iteration would be the whole figure. Each benchmark first runs unmeasured for half a
// second (the command line may ask for another warm-up); a benchmark whose iterations are long
// asks for enough of them itself (MinTime or Iterations).
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

class BenchmarkCommandLine {
public:
    // More defaults of the program's own may follow the warm-up.
    BenchmarkCommandLine(int argc, char** argv, std::vector<std::string> moreDefaults = {})
        : defaults(std::move(moreDefaults)), arguments(argv, argv + argc)
    {
        defaults.insert(defaults.begin(), "--benchmark_min_warmup_time=0.5");
        // Before the program's own arguments, so that one given there wins.
        const std::size_t first = argc > 0 ? 1 : 0;
        for (std::size_t i = 0; i < defaults.size(); ++i)
            arguments.insert(arguments.begin() + std::ptrdiff_t(first + i), defaults[i].data());
        count = static_cast<int>(arguments.size());
        arguments.push_back(nullptr);
        benchmark::Initialize(&count, arguments.data());
    }

    BenchmarkCommandLine(const BenchmarkCommandLine&) = delete;
    BenchmarkCommandLine& operator=(const BenchmarkCommandLine&) = delete;

    // True (after a message) when arguments remain that no benchmark flag took.
    bool ReportUnrecognized() { return benchmark::ReportUnrecognizedArguments(count, arguments.data()); }

private:
    std::vector<std::string> defaults;
    std::vector<char*> arguments;
    int count = 0;
};

// main() for a program that needs nothing but its benchmarks.
#define BEXAL_BENCHMARK_MAIN()                                                                                         \
    int main(int argc, char** argv)                                                                                    \
    {                                                                                                                  \
        BenchmarkCommandLine commandLine(argc, argv);                                                                  \
        if (commandLine.ReportUnrecognized())                                                                          \
            return 1;                                                                                                  \
        benchmark::RunSpecifiedBenchmarks();                                                                           \
        benchmark::Shutdown();                                                                                         \
        return 0;                                                                                                      \
    }
