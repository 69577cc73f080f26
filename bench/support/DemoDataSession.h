#pragma once

// A benchmark's working folder that sees the demo data, with the real renderer library's device
// on a headless window. Benchmarks that run screens or levels start from it.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "engine/binding/RendererBinding.h"
#include "platform/os/Window.h"
#include "renderer/Device.h"

class DemoDataSession {
public:
    // Makes (afresh) a folder of the given name in the temporary folder, links every folder of
    // the demo data into it and works there; then loads the renderer library and opens an
    // windowed device of the given size (800 x 600 unless said). A run without a device ends the process: no figure would mean
    // anything.
    DemoDataSession(const char* dataFolder, const char* folderName, int width = 800, int height = 600)
    {
        namespace fs = std::filesystem;
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("ALSOFT_DRIVERS", "null", 0);
        folder = fs::temp_directory_path() / folderName;
        fs::remove_all(folder);
        fs::create_directories(folder);
        for (const fs::directory_entry& entry : fs::directory_iterator(dataFolder))
            if (entry.is_directory())
                fs::create_directory_symlink(entry.path(), folder / entry.path().filename());
        fs::current_path(folder);
        LoadRendererLibrary(kRendererLibraryName, &device);
        window = platform::os::Window::Create("bench", width, height, platform::os::WindowMode::Windowed);
        if (!device || !window || device->CreateWindowed(window.get(), -1) != 1) {
            std::fprintf(stderr, "no device\n");
            std::exit(1);
        }
    }

    // The game reads from folders nothing is writing into. Listings of a folder changed in the
    // last 2.5 s are read again on every lookup (its times cannot yet tell a later change apart),
    // which would charge the fresh working folder's age to every load measured: a benchmark
    // waits once, after writing what it needs, before it measures.
    void WaitForSettledListings() const { std::this_thread::sleep_for(std::chrono::milliseconds(2600)); }

    ~DemoDataSession()
    {
        UnloadRendererLibrary(&device);
        window.reset();
        std::filesystem::current_path(std::filesystem::temp_directory_path());
        std::filesystem::remove_all(folder);
    }

    DemoDataSession(const DemoDataSession&) = delete;
    DemoDataSession& operator=(const DemoDataSession&) = delete;

    std::filesystem::path folder;
    Device* device = nullptr;
    std::unique_ptr<platform::os::Window> window;
};
