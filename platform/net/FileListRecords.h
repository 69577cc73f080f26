#pragma once

#include "platform/net/BitStream.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform::net {

// Record ids of the file transfer, in byte 0 beside the game's own records.
enum FileListId : std::uint8_t {
    kFileListRequest = 32, // client -> host: send me the offered files
    kFileList = 33,        // host -> client: names and sizes of what follows
    kFilePiece = 34,       // host -> client: part of a file, more to come
    kWholeFile = 35,       // host -> client: a file in one record
    kLastFilePiece = 36,   // host -> client: the part that completes a file
};

constexpr std::size_t kMaxOfferedFiles = 4096;
constexpr std::size_t kMaxFileNameLength = 256; // buffer size, terminator included
constexpr std::uint32_t kMaxOfferedFileBytes = 64u * 1024u * 1024u;
constexpr std::uint32_t kFilePieceBytes = 60000;

// A name below the download folder: relative, '/' separated, without "..", ".", empty parts,
// backslashes, drive letters (no ':' at all) or control characters.
bool IsSafeRelativeName(std::string_view name);

struct FileListEntry {
    std::string name;
    std::uint32_t size = 0;
};

// Record 33. Read refuses counts, sizes and names out of bounds; unsafe names are left to the
// client to refuse one by one.
struct FileListRecord {
    std::vector<FileListEntry> files;

    void Write(BitStream& out) const;
    bool Read(BitStream& in);
};

// Records 34, 35 and 36.
struct FilePieceRecord {
    std::uint8_t id = kWholeFile;
    std::uint32_t fileIndex = 0;
    std::uint32_t offset = 0;
    std::vector<std::uint8_t> bytes;

    void Write(BitStream& out) const;
    bool Read(BitStream& in);
};

} // namespace platform::net
