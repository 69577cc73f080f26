#include "platform/os/File.h"

#include "platform/os/FolderListing.h"
#include "platform/os/Path.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform::os {

namespace {

// The bytes of a text file with the '\r' of each CRLF dropped, served as a read-only stream.
struct TextStream {
    std::vector<char> bytes;
    std::size_t position = 0;
};

ssize_t TextRead(void* cookie, char* buffer, size_t size)
{
    auto* text = static_cast<TextStream*>(cookie);
    const std::size_t left = text->bytes.size() - std::min(text->position, text->bytes.size());
    const std::size_t count = std::min(size, left);
    if (count > 0)
        std::memcpy(buffer, text->bytes.data() + text->position, count);
    text->position += count;
    return static_cast<ssize_t>(count);
}

int TextSeek(void* cookie, off64_t* offset, int whence)
{
    auto* text = static_cast<TextStream*>(cookie);
    off64_t base = 0;
    switch (whence) {
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = static_cast<off64_t>(text->position); break;
    case SEEK_END: base = static_cast<off64_t>(text->bytes.size()); break;
    default: errno = EINVAL; return -1;
    }
    const off64_t target = base + *offset;
    if (target < 0) {
        errno = EINVAL;
        return -1;
    }
    text->position = static_cast<std::size_t>(target);
    *offset = target;
    return 0;
}

int TextClose(void* cookie)
{
    delete static_cast<TextStream*>(cookie);
    return 0;
}

// Takes over a binary stream of the file and gives the stream of its text.
std::FILE* OpenText(FileHandle raw)
{
    auto text = std::make_unique<TextStream>();
    char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, raw.get())) > 0)
        text->bytes.insert(text->bytes.end(), chunk, chunk + got);
    if (std::ferror(raw.get())) {
        errno = EIO;
        return nullptr;
    }
    // A '\r' is dropped only when a '\n' follows it; a lone '\r' stays.
    std::size_t out = 0;
    for (std::size_t i = 0; i < text->bytes.size(); ++i) {
        if (text->bytes[i] == '\r' && i + 1 < text->bytes.size() && text->bytes[i + 1] == '\n')
            continue;
        text->bytes[out++] = text->bytes[i];
    }
    text->bytes.resize(out);

    const cookie_io_functions_t functions{TextRead, nullptr, TextSeek, TextClose};
    std::FILE* stream = ::fopencookie(text.get(), "r", functions);
    if (stream)
        text.release();
    return stream;
}

bool IsDirectory(std::FILE* stream)
{
    struct stat info;
    return ::fstat(::fileno(stream), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string NormalSlashes(const char* path)
{
    std::string normal(path);
    std::replace(normal.begin(), normal.end(), '\\', '/');
    return normal;
}

// Reading: the path as given is tried first, so a name that exists costs one open; only a
// missing one is looked for without regard to case.
FileHandle OpenForReading(const char* path, const char* cMode)
{
    const std::string normal = NormalSlashes(path);
    if (normal.empty()) {
        errno = ENOENT;
        return nullptr;
    }
    FileHandle stream(std::fopen(normal.c_str(), cMode));
    if (stream || (errno != ENOENT && errno != ENOTDIR))
        return stream;
    const std::optional<std::string> resolved = ResolveThroughListings(normal, false);
    if (!resolved) {
        errno = ENOENT;
        return nullptr;
    }
    return FileHandle(std::fopen(resolved->c_str(), cMode));
}

} // namespace

std::FILE* OpenFile(const char* path, const char* mode)
{
    if (!path || !mode || (mode[0] != 'r' && mode[0] != 'w' && mode[0] != 'a')) {
        errno = EINVAL;
        return nullptr;
    }
    // glibc knows no 't'; the C modes without it do the rest.
    std::string cMode;
    bool binary = false;
    bool update = false;
    for (const char* c = mode; *c; ++c) {
        if (*c == 'b')
            binary = true;
        if (*c == '+')
            update = true;
        if (*c != 't')
            cMode += *c;
    }
    const bool creates = mode[0] != 'r';
    if (!creates) {
        const bool text = !update && !binary;
        FileHandle stream = OpenForReading(path, text ? "rb" : cMode.c_str());
        if (!stream)
            return nullptr;
        if (IsDirectory(stream.get())) {
            errno = EISDIR;
            return nullptr;
        }
        return text ? OpenText(std::move(stream)) : stream.release();
    }
    const std::optional<std::string> resolved = ResolvePathForWrite(path);
    if (!resolved) {
        errno = ENOENT;
        return nullptr;
    }
    struct stat info;
    if (::stat(resolved->c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        errno = EISDIR;
        return nullptr;
    }
    std::FILE* stream = std::fopen(resolved->c_str(), cMode.c_str());
    if (stream)
        ForgetFolderListings(); // the file may be new
    return stream;
}

int RemoveFile(const char* path)
{
    const std::optional<std::string> resolved = path ? ResolvePath(path) : std::nullopt;
    if (!resolved) {
        errno = ENOENT;
        return -1;
    }
    const int result = std::remove(resolved->c_str());
    ForgetFolderListings();
    return result;
}

int RenameFile(const char* from, const char* to)
{
    const std::optional<std::string> source = from ? ResolvePath(from) : std::nullopt;
    const std::optional<std::string> target = to ? ResolvePathForWrite(to) : std::nullopt;
    if (!source || !target) {
        errno = ENOENT;
        return -1;
    }
    const int result = std::rename(source->c_str(), target->c_str());
    ForgetFolderListings();
    return result;
}

} // namespace platform::os
