#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/binding/RendererBinding.h"
#include "platform/os/Window.h"
#include "renderer/Device.h"

// Loads liblumora.so by name and creates the device; each test runs in a fresh folder, so
// "q3D.log" and the files a test writes are its own.
class RendererTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::current_path() / "work" / (std::string(info->test_suite_name()) + "." + info->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        std::filesystem::current_path(folder);
        LoadRendererLibrary(kRendererLibraryName, &device);
        ASSERT_NE(device, nullptr);
    }

    void TearDown() override
    {
        UnloadRendererLibrary(&device);
        window.reset();
        std::filesystem::current_path(folder.parent_path().parent_path());
    }

    // A device on a window of the given client size.
    void OpenWindowed(int width = 320, int height = 240)
    {
        window = platform::os::Window::Create("renderer test", width, height, platform::os::WindowMode::Windowed);
        ASSERT_NE(window, nullptr);
        ASSERT_EQ(device->CreateWindowed(window.get(), -1), 1) << (device->GetLastError() ? device->GetLastError() : "");
    }

    static void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

    static std::vector<std::uint8_t> ReadFile(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
    }

    static std::vector<std::string> ReadLines(const std::string& path)
    {
        std::ifstream in(path);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    Device* device = nullptr;
    std::unique_ptr<platform::os::Window> window;
    std::filesystem::path folder;
};

// Little-endian byte builders for test files.
inline void Put8(std::vector<std::uint8_t>& out, unsigned v) { out.push_back(std::uint8_t(v)); }
inline void Put16(std::vector<std::uint8_t>& out, unsigned v)
{
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}
inline void Put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// An 18-byte true-colour TGA header followed by the given pixel bytes.
inline std::vector<std::uint8_t> TgaFile(int width, int height, int bits, const std::vector<std::uint8_t>& pixels,
                                         int imageType = 2)
{
    std::vector<std::uint8_t> out;
    Put8(out, 0);
    Put8(out, 0);
    Put8(out, unsigned(imageType));
    Put16(out, 0);
    Put16(out, 0);
    Put8(out, 0);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, unsigned(width));
    Put16(out, unsigned(height));
    Put8(out, unsigned(bits));
    Put8(out, 0);
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}
