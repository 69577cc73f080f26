// A minute of the demo mission played through the real program at 1024 x 768 (the renderer
// library on whatever GL the offscreen driver gives: llvmpipe on the build machines), as a player
// plays it: running to the lake's shore, looking over it, wading in and out, running over the
// hills and firing. Each frame (the application's update and its draw with the present) is timed
// on the wall clock and in the whole process's CPU time, the renderer's worker threads included;
// the median and the worst frame are reported, the worst because a stall is what a player sees.
//
// The baseline is the empty frame of the same program in the same run: the application's update
// and draw with a screen that does nothing, so the device's frame and the present are counted
// alike and the difference is the mission's own work.
#include <benchmark/benchmark.h>

#include "app/framework/GameState.h"
#include "bench/support/BenchmarkCommandLine.h"
#include "tests/mission/ScriptedPlay.h"

#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kFrames = 60 * 30; // a minute of game time

double ProcessSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

double WallSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

class EmptyScreen : public GameState {
public:
    void Update() override {}
    void Draw() override {}
};

// The wall and CPU time of each frame while recording, at most kFrames of them.
struct FrameTimes {
    std::vector<double> wall, cpu;
    double wallStart = 0.0, cpuStart = 0.0;
    bool recording = false;

    bool Full() const { return wall.size() >= std::size_t(kFrames); }
    void Begin()
    {
        wallStart = WallSeconds();
        cpuStart = ProcessSeconds();
    }
    void End()
    {
        if (!recording || Full())
            return;
        wall.push_back(WallSeconds() - wallStart);
        cpu.push_back(ProcessSeconds() - cpuStart);
    }

    // The figures into the benchmark's counters; the mean frame is its time.
    void Report(benchmark::State& state)
    {
        if (wall.empty()) {
            state.SkipWithError("no frame was timed");
            return;
        }
        double total = 0.0, cpuTotal = 0.0;
        for (std::size_t i = 0; i < wall.size(); ++i)
            total += wall[i], cpuTotal += cpu[i];
        std::vector<double> sorted = wall;
        std::sort(sorted.begin(), sorted.end());
        state.SetIterationTime(total / double(wall.size()));
        state.counters["median_ms"] = sorted[sorted.size() / 2] * 1e3;
        state.counters["worst_ms"] = sorted.back() * 1e3;
        state.counters["cpu_ms_per_frame"] = cpuTotal / double(wall.size()) * 1e3;
        state.counters["frames"] = double(wall.size());
        median = sorted[sorted.size() / 2];
        worst = sorted.back();
        cpuPerFrame = cpuTotal / double(wall.size());
    }

    double median = 0.0, worst = 0.0, cpuPerFrame = 0.0;
};

// The program running in a working folder of its own that sees the demo data.
struct Session {
    Session()
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("ALSOFT_DRIVERS", "null", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        folder = fs::temp_directory_path() / "bexal-demo-play-bench";
        fs::remove_all(folder);
        fs::create_directories(folder);
        for (const fs::directory_entry& entry : fs::directory_iterator(BEXAL_DATA_DIR))
            if (entry.is_directory())
                fs::create_directory_symlink(entry.path(), folder / entry.path().filename());
        fs::current_path(folder);
        ready = play.Start("-win -w 1024 -h 768 -skipmenu -map Maps/Demo/Demo.mis");
        play.beforeFrame = [this] { times->Begin(); };
        play.afterFrame = [this] { times->End(); };
    }
    ~Session()
    {
        play.beforeFrame = play.afterFrame = nullptr;
        play.ShutDown();
        fs::current_path(fs::temp_directory_path());
        fs::remove_all(folder);
    }

    fs::path folder;
    ScriptedPlay play;
    bool ready = false;
    FrameTimes mission, empty;
    FrameTimes* times = &mission;
    EmptyScreen emptyScreen;
};

// Made on first use and ended by main before the process's own clean-up runs.
std::unique_ptr<Session>& SessionSlot()
{
    static std::unique_ptr<Session> session;
    return session;
}

Session& TheSession()
{
    if (!SessionSlot())
        SessionSlot() = std::make_unique<Session>();
    return *SessionSlot();
}

// The minute of play: the script's legs over again until the minute is timed.
void PlayTheDemo(ScriptedPlay& play)
{
    const Vector3 lake(-80.0f, 20.0f, -80.0f);
    while (play.frame < play.stopAtFrame) {
        play.WalkTo(-80.0f, 25.0f, true, 600);
        play.LookAt(lake, 30);
        play.WalkTo(-80.0f, -40.0f, false, 300);
        play.WalkTo(-80.0f, 30.0f, false, 300);
        for (const auto& [x, z] : {std::pair{-20.0f, 90.0f}, {40.0f, 140.0f}, {90.0f, 60.0f}, {20.0f, 0.0f}})
            play.WalkTo(x, z, true, 300);
        // Three rounds towards the hills in the south, where the enemies are: a click each.
        play.LookAt(Vector3(150.0f, 30.0f, -200.0f), 20);
        for (int round = 0; round < 3; ++round) {
            play.PushButton(SDL_BUTTON_LEFT, true);
            play.Turn();
            play.PushButton(SDL_BUTTON_LEFT, false);
            play.Turn(9);
        }
    }
}

void BM_DemoPlayFrame(benchmark::State& state)
{
    Session& session = TheSession();
    if (!session.ready) {
        state.SkipWithError("the program did not start on the demo mission");
        return;
    }
    for (auto _ : state) {
        session.times = &session.mission;
        session.mission.recording = true;
        session.play.stopAtFrame = session.play.frame + kFrames;
        PlayTheDemo(session.play);
        session.mission.recording = false;
        session.mission.Report(state);
    }
}

void BM_EmptyFrame(benchmark::State& state)
{
    Session& session = TheSession();
    if (!session.ready) {
        state.SkipWithError("the program did not start on the demo mission");
        return;
    }
    Application::Instance()->SetState(&session.emptyScreen);
    for (auto _ : state) {
        session.times = &session.empty;
        session.empty.recording = true;
        session.play.stopAtFrame = std::numeric_limits<int>::max();
        while (!session.empty.Full())
            session.play.Turn();
        session.empty.recording = false;
        session.empty.Report(state);
    }
}

} // namespace

// One pass each: a pass is a minute of frames, whose spread is the measurement (a warm-up pass
// would be another minute of play).
BENCHMARK(BM_DemoPlayFrame)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->MinWarmUpTime(0.0);
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->MinWarmUpTime(0.0);

int main(int argc, char** argv)
{
    BenchmarkCommandLine commandLine(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    if (!SessionSlot()) {
        benchmark::Shutdown();
        return 0;
    }
    const FrameTimes& mission = SessionSlot()->mission;
    const FrameTimes& empty = SessionSlot()->empty;
    if (mission.median > 0.0 && empty.median > 0.0)
        std::printf("demo play at 1024 x 768, %zu frames: median %.2f ms, worst %.2f ms, process CPU %.2f ms a frame; "
                    "empty frame: median %.3f ms, worst %.3f ms, process CPU %.3f ms a frame; "
                    "median / empty median = %.1f\n",
                    mission.wall.size(), mission.median * 1e3, mission.worst * 1e3, mission.cpuPerFrame * 1e3,
                    empty.median * 1e3, empty.worst * 1e3, empty.cpuPerFrame * 1e3, mission.median / empty.median);
    SessionSlot().reset();
    benchmark::Shutdown();
    return 0;
}
