#pragma once

#include <cstdio>
#include <memory>

namespace platform::os {

struct FileCloser {
    void operator()(std::FILE* file) const
    {
        if (file)
            std::fclose(file);
    }
};

// An open C stream closed by its owner.
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// fopen for data paths: the path resolves as ResolvePath does (ResolvePathForWrite for modes
// that create). Modes take the C letters plus 't'. A read-only text mode ("r" or "rt", no 'b')
// gives a stream of the file's bytes with the '\r' of every CRLF dropped, so fgets, fread, fseek
// and ftell see "\n" line ends and offsets count the bytes without those '\r'. Folders do not
// open. Null (errno set) on failure. The path as given is tried first.
std::FILE* OpenFile(const char* path, const char* mode);

// remove and rename for data paths: the existing file resolves as ResolvePath does, a rename's
// target as ResolvePathForWrite does. 0 on success, -1 (errno set) on failure. Listings and
// lookups through this layer see the change at once.
int RemoveFile(const char* path);
int RenameFile(const char* from, const char* to);

} // namespace platform::os
