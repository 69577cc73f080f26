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
#include "bench/support/RatioReporter.h"
#include "engine/binding/RendererBinding.h"
#include "media/SoundSystem.h"
#include "platform/os/Window.h"
#include "renderer/Device.h"

namespace {

namespace fs = std::filesystem;

struct Session {
    Session()
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("ALSOFT_DRIVERS", "null", 0);
        folder = fs::temp_directory_path() / "bexal-app-bench";
        fs::remove_all(folder);
        fs::create_directories(folder);
        for (const fs::directory_entry& entry : fs::directory_iterator(BEXAL_DATA_DIR))
            if (entry.is_directory())
                fs::create_directory_symlink(entry.path(), folder / entry.path().filename());
        fs::current_path(folder);
        LoadRendererLibrary(kRendererLibraryName, &device);
        window = platform::os::Window::Create("bench", 800, 600, platform::os::WindowMode::Windowed);
        if (!device || !window || device->CreateWindowed(window.get(), -1) != 1) {
            std::fprintf(stderr, "no device\n");
            std::exit(1);
        }
        sound.Create(false, 14, 2, 22050, "GameData/Audio");
        application = Application::Instance();
        application->SetDevice(device);
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
        UnloadRendererLibrary(&device);
        window.reset();
        fs::current_path(fs::temp_directory_path());
        fs::remove_all(folder);
    }

    fs::path folder;
    Device* device = nullptr;
    std::unique_ptr<platform::os::Window> window;
    SoundSystem sound;
    Application* application = nullptr;
};

Session* session = nullptr;

void EmptyFrame(benchmark::State& state)
{
    for (auto _ : state) {
        session->device->BeginFrame(true, true);
        session->device->EndFrame(true, true);
    }
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(EmptyFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

void OptionsScreenFrame(benchmark::State& state)
{
    for (auto _ : state) {
        session->application->Update();
        session->application->Draw();
    }
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(OptionsScreenFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    session = new Session();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintFrameRateRatio("OptionsScreenFrame", "EmptyFrame", "options screen");
    delete session;
    benchmark::Shutdown();
    return 0;
}
