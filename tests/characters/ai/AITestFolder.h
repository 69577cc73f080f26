#pragma once

// AI data tests in a working folder of their own, with helpers to write files into it and to
// read the log lines an action writes (without a device they go to standard error).

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

class AITestFolder : public testing::Test {
protected:
    void SetUp() override
    {
        previous = std::filesystem::current_path();
        std::string pattern = (std::filesystem::temp_directory_path() / "bexal-ai-XXXXXX").string();
        folder = mkdtemp(pattern.data());
        std::filesystem::current_path(folder);
    }

    void TearDown() override
    {
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(folder);
    }

    static void WriteFile(const std::string& path, const std::string& text)
    {
        const std::filesystem::path target(path);
        if (target.has_parent_path())
            std::filesystem::create_directories(target.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }

    static void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
    {
        WriteFile(path, std::string(bytes.begin(), bytes.end()));
    }

    // What the action wrote to the log.
    static std::string LogOf(const std::function<void()>& action)
    {
        testing::internal::CaptureStderr();
        action();
        return testing::internal::GetCapturedStderr();
    }

    std::filesystem::path folder;
    std::filesystem::path previous;
};
