#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform::audio {

// Every file the layer reads goes through these, so that the owner can serve files from archives.
struct FileCallbacks {
    // True and a handle when the file exists.
    bool (*open)(const char* name, void** handle) = nullptr;
    void (*close)(void* handle) = nullptr;
    // Origin 0 start, 1 current, 2 end; the position afterwards.
    long (*seek)(void* handle, long offset, int origin) = nullptr;
    // The bytes read.
    std::size_t (*read)(void* handle, void* buffer, std::size_t count) = nullptr;
};

// Installs the callbacks (null members fall back to plain files).
void SetFileCallbacks(const FileCallbacks& callbacks);
// Reads a whole file; false with LastError set when it cannot.
bool ReadWholeFile(const char* name, std::vector<std::uint8_t>& out);

// Text of the layer's last failure.
const char* LastError();
void SetLastError(std::string text);

}
