// Frames per second of the options screen (the Application's Update and Draw with the options
// screen current: backdrop, values, 33 labels, six buttons, cursor) against an empty frame
// (BeginFrame with clear, EndFrame) on the same headless device, in one run. The ratio of the
// two rates is printed at the end.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "app/framework/Application.h"
#include "app/framework/Singletons.h"
#include "app/options/OptionsScreen.h"
#include "bench/support/BenchmarkCommandLine.h"
#include "bench/support/FrameCpu.h"
#include "bench/support/DemoDataSession.h"
#include "bench/support/RatioReporter.h"
#include "engine/binding/RendererBinding.h"
#include "media/SoundSystem.h"
#include "platform/os/Window.h"
#include "renderer/Device.h"

namespace {


struct Session {
    Session()
    {
        sound.Create(false, 14, 2, 22050, "GameData/Audio");
        application = Application::Instance();
        application->SetDevice(data.device);
        application->SetSoundSystem(&sound);
        application->Enter();
        application->SetState(OptionsScreen::Instance());
        if (application->GetQuitFlag()) {
            std::fprintf(stderr, "%s\n", application->GetExitMessage());
            std::exit(1);
        }
    }

    ~Session()
    {
        application->Leave();
        DestroySingletons();
    }

    DemoDataSession data{BEXAL_DATA_DIR, "bexal-app-bench"};
    SoundSystem sound;
    Application* application = nullptr;
};

Session* session = nullptr;

void EmptyFrame(benchmark::State& state)
{
    FrameCpu cpu;
    cpu.Start();
    for (auto _ : state) {
        session->data.device->BeginFrame(true, true);
        session->data.device->EndFrame(true, true);
    }
    cpu.Stop();
    cpu.Report(state);
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(EmptyFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

void OptionsScreenFrame(benchmark::State& state)
{
    FrameCpu cpu;
    cpu.Start();
    for (auto _ : state) {
        session->application->Update();
        session->application->Draw();
    }
    cpu.Stop();
    cpu.Report(state);
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(OptionsScreenFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    BenchmarkCommandLine commandLine(argc, argv);
    session = new Session();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintFrameRateRatio("OptionsScreenFrame", "EmptyFrame", "options screen");
    delete session;
    benchmark::Shutdown();
    return 0;
}
