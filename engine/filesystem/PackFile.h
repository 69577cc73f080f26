#pragma once

// The read-only file layer every data reader goes through: a path opens as a plain file when one
// exists, else as a member of a zip-format archive named after the path's leading folders plus the
// archive extension (GameData/Models/x.q3d is the member Models/x.q3d of GameData.qa). Archives
// stay open and indexed until exit.

#include "platform/os/File.h"

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

struct PackArchiveEntry {
    std::uint32_t nameHash = 0; // PackFileHashName of the name, '\' read as '/'
    std::uint32_t localHeaderOffset = 0;
    std::string name;           // as stored; a hash match is confirmed against it
    // From the local header, once the first open has read and checked it.
    bool headerRead = false;
    std::uint16_t method = 0;
    std::uint32_t dataOffset = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0;
};

struct PackArchive {
    std::uint32_t nameHash = 0;      // PackFileHashName of the archive's name as built for the lookup
    std::string name;                // that name ("GameData.qa", "GameData\Models.qa")
    std::uint32_t entryCount = 0;
    platform::os::FileHandle file;   // open "rb" until the archives are closed; members are read
                                     // at their offsets, so handles share no stream position
    std::uint64_t fileSize = 0;
    std::uint32_t centralDirectoryOffset = 0;
    std::uint32_t centralDirectorySize = 0;
    std::vector<PackArchiveEntry> entries; // ascending by nameHash
    std::unique_ptr<PackArchive> next;

    ~PackArchive();
};

struct PackFile {
    platform::os::FileHandle plainFile; // set when the path opened as a plain file
    std::FILE* archiveFile = nullptr;   // the archive's stream when reading a member (not owned)
    PackArchive* archive = nullptr;
    z_stream stream{};                  // raw inflate state of a deflated member
    bool inflating = false;             // stream holds a live inflate state
    std::unique_ptr<unsigned char[]> readBuffer; // compressed input of a deflated member
    std::uint32_t centralDirectorySize = 0;
    std::uint32_t centralDirectoryOffset = 0;
    std::uint32_t localHeaderOffset = 0;
    std::uint32_t dataOffset = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0; // plain file: its size
    std::uint32_t position = 0;         // member bytes taken from the member so far
    std::uint32_t archivePosition = 0;  // where this handle's next compressed byte lies
    std::uint16_t method = 0;           // 0 stored, 8 deflated
    bool textMode = false;              // opened without 'b': CRLF reads as "\n"
    int heldByte = -1;                  // text mode: a byte taken from the member but not yet given out

    PackFile() = default;
    PackFile(const PackFile&) = delete;
    PackFile& operator=(const PackFile&) = delete;
    ~PackFile();
};

// Longest path (without its terminator) PackFileOpen accepts, and longest member name of an
// archive; longer ones fail the open.
constexpr std::size_t kPackFileMaxPath = 263;
constexpr std::size_t kPackFileMaxMemberName = 259;

// Opens a data file with a C mode ("rb", "rt"; no 'b' means text). Null when neither a plain file
// nor an archive member exists, or the path is refused.
PackFile* PackFileOpen(const char* path, const char* mode);
// Items read, as fread; 0 on error or for a null handle. Text mode drops the '\r' of CRLF.
std::size_t PackFileRead(void* buffer, std::size_t size, std::size_t count, PackFile* file);
// One line: a plain file keeps its newline (fgets); a member's line comes without it. Null only at
// the end of the data.
char* PackFileGets(char* buffer, int n, PackFile* file);
// origin 0 set, 1 current, 2 end. 0 on success; nonzero on failure and for a null handle.
int PackFileSeek(PackFile* file, long offset, int origin);
long PackFileTell(PackFile* file);
// Nonzero at the end of the data; 1 for a null handle.
int PackFileEof(PackFile* file);
// The plain stream's close result, 0 for a member, -1 for a null handle. Frees the handle.
int PackFileClose(PackFile* file);
// True when the path names a member of an archive that is already open.
bool PackFileExists(const char* path);

// Owns an open file and closes it.
struct PackFileCloser {
    void operator()(PackFile* file) const { PackFileClose(file); }
};
using PackFileHandle = std::unique_ptr<PackFile, PackFileCloser>;

// True when the path opens "rb", as a plain file or as an archive member.
bool PackFileCanOpen(const char* path);
// Appends the whole file to bytes; false when it can't be opened.
bool PackFileReadAll(const char* path, std::vector<std::uint8_t>& bytes);
// 1 when set; 0 (unchanged) when longer than the extension in force (initially ".zip").
int PackFileSetArchiveExtension(const char* extension);
// Closes and frees every archive (also run at exit once an archive has opened).
void PackFileCloseArchives();
// x31 hash over the bytes, 'A'..'Z' folded to lower case, other bytes as signed 8-bit values.
std::uint32_t PackFileHashName(const char* name);
// strtok-like over a writable path: the next folder or file name (at most 255 characters; a
// longer part ends the walk), or null. Null path continues after the previous part.
char* PackFileNextPathPart(char* path);
