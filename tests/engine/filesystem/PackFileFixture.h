#pragma once

#include "engine/filesystem/PackFile.h"
#include "tools/demodata/writers/ZipWriter.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

// Each test works in a fresh folder that is also the working folder, with no archive open and
// the game's archive extension ".qa".
class PackFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PackFileCloseArchives();
        ASSERT_EQ(PackFileSetArchiveExtension(".qa"), 1);
        std::string pattern = (std::filesystem::temp_directory_path() / "bexal-pack-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
        previous = std::filesystem::current_path();
        std::filesystem::current_path(root);
    }

    void TearDown() override
    {
        PackFileCloseArchives();
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(root);
    }

public:
    static void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes)
    {
        if (path.has_parent_path())
            std::filesystem::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    static void WriteText(const std::filesystem::path& path, std::string_view text)
    {
        WriteBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
    }

    // The whole of a file as the layer gives it, read in one call; empty when it does not open.
    static std::string ReadWhole(const char* path, const char* mode = "rb")
    {
        PackFile* file = PackFileOpen(path, mode);
        if (!file)
            return "<not found>";
        std::string bytes(file->uncompressedSize, '\0');
        bytes.resize(PackFileRead(bytes.data(), 1, bytes.size(), file));
        PackFileClose(file);
        return bytes;
    }

    // Bytes that compress but not to nothing: words and counters with some noise.
    static std::string SampleText(std::size_t size, std::uint32_t seed)
    {
        static const char* const kWords[] = {"squad ", "tank ", "river ", "hill ", "0.25 ", "waypoint\n", "-17 "};
        std::string text;
        std::uint32_t state = seed;
        while (text.size() < size) {
            state = state * 1664525u + 1013904223u;
            text += kWords[(state >> 24) % 7];
            if ((state & 0xFF) < 16)
                text += static_cast<char>(state >> 8);
        }
        text.resize(size);
        return text;
    }

    // Text with runs of random bytes between, so a deflated copy stays large.
    static std::string MixedBytes(std::size_t size, std::uint32_t seed)
    {
        std::string bytes = SampleText(size, seed);
        std::uint32_t state = seed ^ 0x9E3779B9u;
        for (std::size_t block = 0; block < size; block += 8192) {
            for (std::size_t i = block; i < std::min(size, block + 4096); ++i) {
                state = state * 1664525u + 1013904223u;
                bytes[i] = static_cast<char>(state >> 24);
            }
        }
        return bytes;
    }

    static std::vector<std::uint8_t> Bytes(std::string_view text)
    {
        return std::vector<std::uint8_t>(text.begin(), text.end());
    }

protected:
    std::filesystem::path root;
    std::filesystem::path previous;
};
