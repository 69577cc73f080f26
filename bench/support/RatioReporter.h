#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

// The console reporter that also keeps each benchmark's real time per iteration, so that a
// benchmark program can print ratios measured in the same run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                secondsPerFrame[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }

    // Prints "<label> fps / empty frame fps" for two benchmarks timed per frame in real time, when
    // both ran.
    void PrintFrameRateRatio(const std::string& frame, const std::string& emptyFrame, const char* label) const
    {
        const auto measured = secondsPerFrame.find(frame + "/real_time");
        const auto empty = secondsPerFrame.find(emptyFrame + "/real_time");
        if (measured == secondsPerFrame.end() || empty == secondsPerFrame.end() || measured->second <= 0)
            return;
        std::printf("%s fps / empty frame fps = %.3f (%.1f / %.1f)\n", label, empty->second / measured->second,
                    1000.0 / measured->second, 1000.0 / empty->second);
    }

    std::map<std::string, double> secondsPerFrame;
};
