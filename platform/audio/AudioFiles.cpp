#include "platform/audio/AudioFiles.h"

#include <cstdio>

namespace platform::audio {
namespace {

FileCallbacks callbacks;
std::string lastError;

bool StdOpen(const char* name, void** handle)
{
    std::FILE* file = std::fopen(name, "rb");
    *handle = file;
    return file != nullptr;
}
void StdClose(void* handle) { std::fclose(static_cast<std::FILE*>(handle)); }
long StdSeek(void* handle, long offset, int origin)
{
    std::FILE* file = static_cast<std::FILE*>(handle);
    std::fseek(file, offset, origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END);
    return std::ftell(file);
}
std::size_t StdRead(void* handle, void* buffer, std::size_t count)
{
    return std::fread(buffer, 1, count, static_cast<std::FILE*>(handle));
}

FileCallbacks Effective()
{
    FileCallbacks c = callbacks;
    if (!c.open || !c.close || !c.seek || !c.read)
        c = FileCallbacks{StdOpen, StdClose, StdSeek, StdRead};
    return c;
}

}

void SetFileCallbacks(const FileCallbacks& c) { callbacks = c; }

bool ReadWholeFile(const char* name, std::vector<std::uint8_t>& out)
{
    const FileCallbacks c = Effective();
    void* handle = nullptr;
    if (!name || !c.open(name, &handle)) {
        SetLastError("File not found.");
        return false;
    }
    // Closed on every way out, a failed allocation included.
    struct Closer {
        const FileCallbacks& callbacks;
        void* handle;
        ~Closer() { callbacks.close(handle); }
    } closer{c, handle};
    const long size = c.seek(handle, 0, 2);
    c.seek(handle, 0, 0);
    if (size < 0) {
        SetLastError("Unable to read file size.");
        return false;
    }
    out.resize(static_cast<std::size_t>(size));
    const std::size_t got = size > 0 ? c.read(handle, out.data(), out.size()) : 0;
    if (got != out.size()) {
        SetLastError("Unable to read file.");
        return false;
    }
    return true;
}

const char* LastError() { return lastError.c_str(); }
void SetLastError(std::string text) { lastError = std::move(text); }

}
