#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace nettest {

// A temporary folder of the file-transfer tests: the host's data below "host", the client's
// downloads below "MultiTXT"; removed with its contents.
class TransferFolders {
public:
    TransferFolders()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "bexal-files-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("no temporary folder");
        root = pattern;
        std::filesystem::create_directories(root / "host");
    }
    ~TransferFolders()
    {
        std::error_code error;
        std::filesystem::remove_all(root, error);
    }
    TransferFolders(const TransferFolders&) = delete;
    TransferFolders& operator=(const TransferFolders&) = delete;

    const std::filesystem::path& Root() const { return root; }

    // A file the host can offer.
    void Put(const std::string& name, const std::vector<std::uint8_t>& bytes) const
    {
        std::filesystem::create_directories((root / "host" / name).parent_path());
        std::ofstream(root / "host" / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    // What the client wrote under the name; empty when it wrote nothing.
    std::vector<std::uint8_t> Downloaded(const std::string& name) const
    {
        std::ifstream in(root / "MultiTXT" / name, std::ios::binary);
        return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::filesystem::path root;
};

// Bytes that differ from one position to the next and do not repeat with a short period.
inline std::vector<std::uint8_t> PatternBytes(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    return bytes;
}

} // namespace nettest
