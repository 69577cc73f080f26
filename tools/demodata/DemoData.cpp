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
    written_.emplace_back(relativePath);
}

void DemoDataWriter::writeText(std::string_view relativePath, std::string_view text) const
{
    writeFile(relativePath, std::vector<std::uint8_t>(text.begin(), text.end()));
}

namespace {

constexpr const char* recordName = ".generated";

} // namespace

bool DemoDataIsUpToDate(const std::filesystem::path& root, const std::string& generator)
{
    std::ifstream record(root / recordName);
    std::string line;
    if (!std::getline(record, line) || line != generator)
        return false;
    bool any = false;
    while (std::getline(record, line)) {
        if (line.empty())
            continue;
        any = true;
        if (!std::filesystem::is_regular_file(root / line))
            return false;
    }
    return any;
}

void WriteDemoDataRecord(const DemoDataWriter& out, const std::string& generator)
{
    std::string text = generator + "\n";
    for (const std::string& path : out.written())
        text += path + "\n";
    const std::filesystem::path path = out.root() / recordName;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    if (!file)
        throw std::runtime_error("cannot write " + path.string());
}
