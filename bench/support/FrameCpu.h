#pragma once

// The CPU a frame benchmark spends, beside its timer: the main thread's and the whole process's.
// The software renderer draws on worker threads of its own (most of the process's CPU in a frame),
// so the main thread's time alone hides the frame's cost on the machine. Both are reported per
// iteration, in milliseconds, as the counters "main_cpu_ms" and "process_cpu_ms".
#include <ctime>

#include <benchmark/benchmark.h>

class FrameCpu {
public:
    static double Seconds(clockid_t clock)
    {
        timespec now{};
        clock_gettime(clock, &now);
        return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
    }

    // Around the measured part of each frame, or around the whole timed loop when it holds
    // nothing else.
    void Start()
    {
        threadStart = Seconds(CLOCK_THREAD_CPUTIME_ID);
        processStart = Seconds(CLOCK_PROCESS_CPUTIME_ID);
    }
    // The main thread's CPU seconds since Start.
    double Stop()
    {
        const double thread = Seconds(CLOCK_THREAD_CPUTIME_ID) - threadStart;
        threadSeconds += thread;
        processSeconds += Seconds(CLOCK_PROCESS_CPUTIME_ID) - processStart;
        return thread;
    }

    void Report(benchmark::State& state) const
    {
        state.counters["main_cpu_ms"] = benchmark::Counter(threadSeconds * 1e3, benchmark::Counter::kAvgIterations);
        state.counters["process_cpu_ms"] = benchmark::Counter(processSeconds * 1e3, benchmark::Counter::kAvgIterations);
    }

private:
    double threadStart = 0.0, processStart = 0.0;
    double threadSeconds = 0.0, processSeconds = 0.0;
};
