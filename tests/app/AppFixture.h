#pragma once

// A test of the application shell in a working folder of its own, with the real renderer
// library loaded by name (the engine log "q3D.log" lands in that folder) and, where asked, a
// headless windowed device.

#include "app/framework/Application.h"
#include "app/framework/Singletons.h"
#include "engine/binding/RendererBinding.h"
#include "media/SoundSystem.h"
#include "platform/audio/Driver.h"
#include "platform/os/Window.h"
#include "renderer/Device.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

class AppTest : public testing::Test {
protected:
    void SetUp() override
    {
        previous = std::filesystem::current_path();
        std::string pattern = (std::filesystem::temp_directory_path() / "bexal-app-XXXXXX").string();
        folder = mkdtemp(pattern.data());
        std::filesystem::current_path(folder);
        DestroySingletons();
    }

    void TearDown() override
    {
        DestroySingletons();
        sound.reset();
        if (device)
            UnloadRendererLibrary(&device);
        window.reset();
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(folder);
    }

    // The renderer library and a device opened on a window of the given size; the Application
    // draws with it.
    void OpenDevice(int width = 320, int height = 240)
    {
        LoadRendererLibrary(kRendererLibraryName, &device);
        ASSERT_NE(device, nullptr);
        window = platform::os::Window::Create("app test", width, height, platform::os::WindowMode::Windowed);
        ASSERT_NE(window, nullptr);
        ASSERT_EQ(device->CreateWindowed(window.get(), -1), 1) << device->GetLastError();
        Application::Instance()->SetDevice(device);
    }

    // A sound system on the loopback output, given to the Application.
    void OpenSound(int rate = 22050)
    {
        platform::audio::Driver::SetOutput(platform::audio::Driver::Output::Loopback);
        sound = std::make_unique<SoundSystem>();
        ASSERT_EQ(sound->Create(true, 14, 2, rate, "GameData/Audio"), 0);
        Application::Instance()->SetSoundSystem(sound.get());
    }

    static void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

    static void WriteText(const std::string& path, const std::string& text)
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
    }

    static std::vector<std::uint8_t> ReadBytes(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
    }

    static std::string ReadText(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    static std::string Log() { return ReadText("q3D.log"); }

    // Links every folder of the demo data set into the working folder, as the program finds it.
    void LinkDemoData()
    {
        for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(BEXAL_DATA_DIR))
            if (entry.is_directory())
                std::filesystem::create_directory_symlink(entry.path(), folder / entry.path().filename());
    }

    Device* device = nullptr;
    std::unique_ptr<platform::os::Window> window;
    std::unique_ptr<SoundSystem> sound;
    std::filesystem::path folder;
    std::filesystem::path previous;
};

// Little-endian byte builders for hand-made files.
inline void Put32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(std::uint8_t(value >> (8 * i)));
}

inline void PutText(std::vector<std::uint8_t>& out, const std::string& text, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i)
        out.push_back(i < text.size() ? std::uint8_t(text[i]) : 0);
}

// The back buffer as saved by D3DBitmap::SaveTga, read back: 0xRRGGBB pixels, y from the top.
struct FrameImage {
    int width = 0, height = 0, bits = 0;
    bool topDown = false;
    std::vector<std::uint8_t> pixels;

    std::uint32_t Pixel(int x, int y) const
    {
        const int row = topDown ? y : height - 1 - y;
        const std::size_t at = (std::size_t(row) * std::size_t(width) + std::size_t(x)) * std::size_t(bits / 8);
        return std::uint32_t(pixels[at + 2]) << 16 | std::uint32_t(pixels[at + 1]) << 8 | pixels[at];
    }

    // Reads the back buffer of the device through a TGA file in the working folder.
    static FrameImage Grab(Device* device)
    {
        FrameImage image;
        D3DBitmap* backBuffer = device->GetBackBuffer();
        if (!backBuffer || backBuffer->SaveTga("frame.tga") < 0)
            return image;
        std::ifstream in("frame.tga", std::ios::binary);
        return FromTga(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {}));
    }

    // An uncompressed true-colour TGA file; empty for anything else.
    static FrameImage FromTga(const std::vector<std::uint8_t>& file)
    {
        FrameImage image;
        if (file.size() < 18 || file[2] != 2 || file.size() < 18u + file[0])
            return image;
        image.width = file[12] | file[13] << 8;
        image.height = file[14] | file[15] << 8;
        image.bits = file[16];
        image.topDown = (file[17] & 0x20) != 0;
        image.pixels.assign(file.begin() + 18 + file[0], file.end());
        return image;
    }
};
