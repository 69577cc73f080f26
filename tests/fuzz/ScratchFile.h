#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include <unistd.h>

namespace readers {

// The bytes as a file of this process's own in the working folder, for readers that open their
// file by name; removed again with the object.
class ScratchFile {
public:
    ScratchFile(const char* stem, const char* extension, const std::uint8_t* data, std::size_t size)
        : path(std::string(stem) + "-" + std::to_string(getpid()) + extension)
    {
        if (std::FILE* out = std::fopen(path.c_str(), "wb")) {
            written = std::fwrite(data, 1, size, out) == size;
            written = std::fclose(out) == 0 && written;
        }
    }
    ~ScratchFile() { std::remove(path.c_str()); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::string path;
    bool written = false;
};

} // namespace readers
