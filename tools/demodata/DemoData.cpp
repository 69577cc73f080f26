#include "tools/demodata/DemoData.h"

#include <fstream>
#include <stdexcept>
#include <string>

DemoDataWriter::DemoDataWriter(std::filesystem::path root) : root_(std::move(root)) {}

void DemoDataWriter::writeFile(std::string_view relativePath, const std::vector<std::uint8_t>& bytes) const
{
    const std::filesystem::path path = root_ / std::filesystem::path(std::string(relativePath));
    std::filesystem::create_directories(path.parent_path());
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file)
        throw std::runtime_error("cannot write " + path.string());
}

void DemoDataWriter::writeText(std::string_view relativePath, std::string_view text) const
{
    writeFile(relativePath, std::vector<std::uint8_t>(text.begin(), text.end()));
}
