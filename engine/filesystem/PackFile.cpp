#include "engine/filesystem/PackFile.h"

#include "platform/os/Path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

constexpr std::uint32_t kEndRecordSignature = 0x06054B50;
constexpr std::uint32_t kCentralHeaderSignature = 0x02014B50;
constexpr std::uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kCentralHeaderSize = 46;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kReadBufferSize = 65535;
constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflated = 8;

// Process-wide state: the open archives (newest first), the archive extension, and the walk of
// PackFileNextPathPart.
std::unique_ptr<PackArchive> archiveList;
char archiveExtension[5] = ".zip";
bool closeAtExitRegistered = false;
char* pathPartCursor = nullptr;
char pathPartBuffer[256];

std::uint16_t Little16(const unsigned char* bytes)
{
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

std::uint32_t Little32(const unsigned char* bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
           (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
}

// PackFileHashName of the name with every '\\' read as '/'.
std::uint32_t HashWithForwardSlashes(std::string_view name)
{
    std::uint32_t hash = 0;
    for (const char c : name) {
        int value = static_cast<signed char>(c == '\\' ? '/' : c);
        if (value >= 'A' && value <= 'Z')
            value += 'a' - 'A';
        hash = hash * 31u + static_cast<std::uint32_t>(value);
    }
    return hash;
}

bool SeekTo(std::FILE* file, std::uint64_t offset)
{
    return ::fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool ReadExactly(std::FILE* file, void* buffer, std::size_t size)
{
    return std::fread(buffer, 1, size, file) == size;
}

// Members are read at their own offsets with positional reads on the archive's descriptor, so
// handles that share an archive never move a common position and need no seek before a read.
// The bytes got: fewer than asked only at the end of the file or on an error.
std::size_t ReadAt(std::FILE* archive, void* buffer, std::size_t size, std::uint64_t offset)
{
    const int descriptor = ::fileno(archive);
    if (descriptor < 0)
        return 0;
    auto* bytes = static_cast<unsigned char*>(buffer);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t now = ::pread(descriptor, bytes + got, size - got, static_cast<off_t>(offset + got));
        if (now < 0 && errno == EINTR)
            continue;
        if (now <= 0)
            break;
        got += static_cast<std::size_t>(now);
    }
    return got;
}

// Removes a drive ("C:") and the slashes after it from the front of rest and returns them: they
// belong to no folder name.
std::string TakeRootPrefix(std::string_view& rest)
{
    std::string prefix;
    if (rest.size() >= 2 && rest[1] == ':') {
        prefix = std::string(rest.substr(0, 2));
        rest.remove_prefix(2);
    }
    while (!rest.empty() && rest.front() == '/') {
        prefix += '/';
        rest.remove_prefix(1);
    }
    return prefix;
}

// The path as the layer uses it: '\' turned into '/', and "A/B/../C" folded to "A/C". A ".."
// with no folder before it, or ".." inside a longer name, refuses the path, since neither names
// a file under the data folders. Paths longer than kPackFileMaxPath are refused too.
bool NormalisePath(const char* path, std::string& normal)
{
    if (!path)
        return false;
    const std::size_t length = std::strlen(path);
    if (length == 0 || length > kPackFileMaxPath)
        return false;
    normal.assign(path, length);
    std::replace(normal.begin(), normal.end(), '\\', '/');
    if (normal.find("..") == std::string::npos)
        return true;

    std::string_view rest(normal);
    const std::string prefix = TakeRootPrefix(rest);
    std::vector<std::string_view> kept;
    bool lastWasParent = false;
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('/'), rest.size());
        const std::string_view part = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        lastWasParent = part == "..";
        if (part.empty())
            continue;
        if (part == "..") {
            if (kept.empty())
                return false;
            kept.pop_back();
        } else if (part.find("..") != std::string_view::npos) {
            return false;
        } else {
            kept.push_back(part);
        }
    }
    // "A/B/.." names a folder, never a data file.
    if (lastWasParent || kept.empty())
        return false;
    std::string rebuilt = prefix;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (i > 0)
            rebuilt += '/';
        rebuilt += kept[i];
    }
    normal = std::move(rebuilt);
    return true;
}

// One archive an open may be served by: its name as built and the member name inside it.
struct Candidate {
    std::string archiveName;
    std::string memberName;
};

// F1 + ext, F1 + '\' + F2 + ext, F1 + '/' + F2 + '\' + F3 + ext, ...: the leading folders keep
// their '/' and only the separator before the last folder is a backslash. A drive or root
// prefix belongs to the first folder.
std::vector<Candidate> CandidateArchives(const std::string& normal)
{
    std::string_view rest(normal);
    const std::string prefix = TakeRootPrefix(rest);
    std::vector<std::string_view> parts;
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('/'), rest.size());
        if (end > 0)
            parts.push_back(rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }

    std::vector<Candidate> candidates;
    if (parts.size() < 2)
        return candidates; // a path without a folder is only ever a plain file
    std::string leading = prefix;
    for (std::size_t folder = 0; folder + 1 < parts.size(); ++folder) {
        Candidate candidate;
        candidate.archiveName = leading;
        if (folder > 0)
            candidate.archiveName += '\\';
        candidate.archiveName += parts[folder];
        candidate.archiveName += archiveExtension;
        for (std::size_t i = folder + 1; i < parts.size(); ++i) {
            if (i > folder + 1)
                candidate.memberName += '/';
            candidate.memberName += parts[i];
        }
        candidates.push_back(std::move(candidate));
        if (folder > 0)
            leading += '/';
        leading += parts[folder];
    }
    return candidates;
}

PackArchive* FindOpenArchive(const std::string& name)
{
    const std::uint32_t hash = PackFileHashName(name.c_str());
    for (PackArchive* archive = archiveList.get(); archive; archive = archive->next.get()) {
        if (archive->nameHash == hash && platform::os::SamePathName(archive->name, name))
            return archive;
    }
    return nullptr;
}

// Reads the end record and the central directory. Every count, size, offset and name length is
// checked against the file, so a damaged archive is refused instead of read out of bounds.
std::unique_ptr<PackArchive> IndexArchive(platform::os::FileHandle file, const std::string& name)
{
    if (::fseeko(file.get(), 0, SEEK_END) != 0)
        return nullptr;
    const off_t end = ::ftello(file.get());
    if (end < static_cast<off_t>(kEndRecordSize))
        return nullptr;
    const std::uint64_t fileSize = static_cast<std::uint64_t>(end);
    const std::uint64_t endRecordOffset = fileSize - kEndRecordSize;
    unsigned char endRecord[kEndRecordSize];
    if (!SeekTo(file.get(), endRecordOffset) || !ReadExactly(file.get(), endRecord, sizeof endRecord))
        return nullptr;
    if (Little32(endRecord) != kEndRecordSignature)
        return nullptr;

    auto archive = std::make_unique<PackArchive>();
    archive->name = name;
    archive->nameHash = PackFileHashName(name.c_str());
    archive->entryCount = Little16(endRecord + 10);
    archive->centralDirectorySize = Little32(endRecord + 12);
    archive->centralDirectoryOffset = Little32(endRecord + 16);
    archive->fileSize = fileSize;
    const std::uint64_t directoryEnd =
        static_cast<std::uint64_t>(archive->centralDirectoryOffset) + archive->centralDirectorySize;
    if (directoryEnd > endRecordOffset ||
        static_cast<std::uint64_t>(archive->entryCount) * kCentralHeaderSize > archive->centralDirectorySize)
        return nullptr;

    std::vector<unsigned char> directory(archive->centralDirectorySize);
    if (!SeekTo(file.get(), archive->centralDirectoryOffset) ||
        !ReadExactly(file.get(), directory.data(), directory.size()))
        return nullptr;

    archive->entries.reserve(archive->entryCount);
    std::size_t at = 0;
    for (std::uint32_t i = 0; i < archive->entryCount; ++i) {
        if (directory.size() - at < kCentralHeaderSize)
            return nullptr;
        const unsigned char* header = directory.data() + at;
        if (Little32(header) != kCentralHeaderSignature)
            return nullptr;
        const std::size_t nameLength = Little16(header + 28);
        const std::size_t extraLength = Little16(header + 30);
        const std::size_t commentLength = Little16(header + 32);
        const std::uint32_t localHeaderOffset = Little32(header + 42);
        if (nameLength > kPackFileMaxMemberName)
            return nullptr;
        const std::size_t recordSize = kCentralHeaderSize + nameLength + extraLength + commentLength;
        if (directory.size() - at < recordSize)
            return nullptr;
        if (static_cast<std::uint64_t>(localHeaderOffset) + kLocalHeaderSize > archive->centralDirectoryOffset)
            return nullptr;
        PackArchiveEntry entry;
        entry.name.assign(reinterpret_cast<const char*>(header + kCentralHeaderSize), nameLength);
        entry.nameHash = HashWithForwardSlashes(entry.name);
        entry.localHeaderOffset = localHeaderOffset;
        archive->entries.push_back(std::move(entry));
        at += recordSize;
    }
    // Stable, so among names of one hash the first in the directory is found first.
    std::stable_sort(archive->entries.begin(), archive->entries.end(),
                     [](const PackArchiveEntry& a, const PackArchiveEntry& b) { return a.nameHash < b.nameHash; });
    archive->file = std::move(file);
    return archive;
}

PackArchive* OpenArchiveFromDisk(const std::vector<Candidate>& candidates, const Candidate** used)
{
    for (const Candidate& candidate : candidates) {
        platform::os::FileHandle file(platform::os::OpenFile(candidate.archiveName.c_str(), "rb"));
        if (!file)
            continue;
        // The first archive that exists decides: a damaged one fails the open.
        std::unique_ptr<PackArchive> archive = IndexArchive(std::move(file), candidate.archiveName);
        if (!archive)
            return nullptr;
        archive->next = std::move(archiveList);
        archiveList = std::move(archive);
        if (!closeAtExitRegistered) {
            std::atexit(PackFileCloseArchives);
            closeAtExitRegistered = true;
        }
        *used = &candidate;
        return archiveList.get();
    }
    return nullptr;
}

PackArchiveEntry* FindEntry(PackArchive& archive, std::string_view memberName)
{
    const std::uint32_t hash = HashWithForwardSlashes(memberName);
    auto entry = std::lower_bound(archive.entries.begin(), archive.entries.end(), hash,
                                  [](const PackArchiveEntry& a, std::uint32_t h) { return a.nameHash < h; });
    // Names that share a hash are told apart by the full name.
    for (; entry != archive.entries.end() && entry->nameHash == hash; ++entry) {
        if (platform::os::SamePathName(entry->name, memberName))
            return &*entry;
    }
    return nullptr;
}

bool StartInflate(PackFile* file)
{
    if (file->inflating)
        inflateEnd(&file->stream);
    file->stream = z_stream{};
    file->inflating = inflateInit2(&file->stream, -15) == Z_OK;
    return file->inflating;
}

std::size_t ReadStored(PackFile* file, unsigned char* buffer, std::size_t bytes)
{
    const std::size_t left = file->uncompressedSize - file->position;
    const std::size_t wanted = std::min(bytes, left);
    if (wanted == 0)
        return 0;
    const std::size_t got = ReadAt(file->archiveFile, buffer, wanted, file->archivePosition);
    file->archivePosition += static_cast<std::uint32_t>(got);
    return got;
}

// Inflates into the caller's buffer. A stream that ends early, stops making progress or runs out
// of input ends the loop with what it gave; a damaged stream gives 0.
std::size_t ReadDeflated(PackFile* file, unsigned char* buffer, std::size_t bytes)
{
    const std::size_t left = file->uncompressedSize - file->position;
    const std::size_t space = std::min(bytes, left);
    if (space == 0 || !file->inflating)
        return 0;
    z_stream& stream = file->stream;
    if (file->archivePosition == file->dataOffset)
        stream.avail_in = 0;
    std::uint32_t remaining = file->dataOffset + file->compressedSize - file->archivePosition;
    std::size_t produced = 0;
    while (produced < space) {
        if (stream.avail_in == 0 && remaining > 0) {
            const std::size_t chunk = std::min<std::size_t>(remaining, kReadBufferSize);
            const std::size_t got = ReadAt(file->archiveFile, file->readBuffer.get(), chunk, file->archivePosition);
            file->archivePosition += static_cast<std::uint32_t>(got);
            if (got != chunk)
                return 0;
            remaining -= static_cast<std::uint32_t>(got);
            stream.next_in = file->readBuffer.get();
            stream.avail_in = static_cast<uInt>(got);
        }
        // zlib counts in uInt; a huge request is served in slices.
        const std::size_t slice = std::min<std::size_t>(space - produced, 0x40000000u);
        stream.next_out = buffer + produced;
        stream.avail_out = static_cast<uInt>(slice);
        const uInt inputBefore = stream.avail_in;
        const int result = inflate(&stream, Z_SYNC_FLUSH);
        const std::size_t made = slice - stream.avail_out;
        produced += made;
        if (result == Z_STREAM_END)
            break;
        if (result == Z_BUF_ERROR)
            break; // no progress possible: the input is used up
        if (result != Z_OK)
            return 0;
        if (made == 0 && stream.avail_in == inputBefore)
            break;
    }
    return produced;
}

std::size_t ReadMemberRaw(PackFile* file, unsigned char* buffer, std::size_t bytes)
{
    const std::size_t delivered = file->method == kMethodDeflated ? ReadDeflated(file, buffer, bytes)
                                                                   : ReadStored(file, buffer, bytes);
    file->position += static_cast<std::uint32_t>(delivered);
    return delivered;
}

int ReadMemberByte(PackFile* file)
{
    unsigned char c;
    return ReadMemberRaw(file, &c, 1) == 1 ? c : -1;
}

// Text mode: every '\r' that comes right before a '\n' is dropped, in the same way as plain
// files opened in text mode. A byte read ahead to decide that is held for the next read.
std::size_t ReadMemberText(PackFile* file, unsigned char* buffer, std::size_t bytes)
{
    std::size_t out = 0;
    while (out < bytes) {
        if (file->heldByte < 0) {
            const std::size_t got = ReadMemberRaw(file, buffer + out, bytes - out);
            if (got == 0)
                break;
            const std::size_t end = out + got;
            std::size_t write = out;
            for (std::size_t i = out; i < end; ++i) {
                if (buffer[i] == '\r') {
                    if (i + 1 == end) {
                        file->heldByte = '\r';
                        continue;
                    }
                    if (buffer[i + 1] == '\n')
                        continue;
                }
                buffer[write++] = buffer[i];
            }
            out = write;
            continue;
        }
        const int held = file->heldByte;
        file->heldByte = -1;
        if (held != '\r') {
            buffer[out++] = static_cast<unsigned char>(held);
            continue;
        }
        const int next = ReadMemberByte(file);
        if (next == '\n') {
            buffer[out++] = '\n';
        } else {
            buffer[out++] = '\r';
            file->heldByte = next; // -1 at the end of the data
        }
    }
    return out;
}

std::size_t ReadMember(PackFile* file, unsigned char* buffer, std::size_t bytes)
{
    return file->textMode ? ReadMemberText(file, buffer, bytes) : ReadMemberRaw(file, buffer, bytes);
}

// Where a member read stands for the caller: a held byte is not given out yet.
std::uint32_t MemberPosition(const PackFile* file)
{
    return file->position - (file->heldByte >= 0 ? 1u : 0u);
}

// Reads and checks an entry's local header once; what it says is kept in the entry, since an
// open archive does not change.
bool ReadLocalHeader(const PackArchive& archive, PackArchiveEntry& entry)
{
    if (entry.headerRead)
        return true;
    unsigned char header[kLocalHeaderSize];
    if (ReadAt(archive.file.get(), header, sizeof header, entry.localHeaderOffset) != sizeof header)
        return false;
    if (Little32(header) != kLocalHeaderSignature)
        return false;
    const std::uint16_t method = Little16(header + 8);
    if (method != kMethodStored && method != kMethodDeflated)
        return false;
    const std::uint32_t compressedSize = Little32(header + 18);
    const std::uint32_t uncompressedSize = Little32(header + 22);
    const std::uint16_t nameLength = Little16(header + 26);
    const std::uint16_t extraLength = Little16(header + 28);
    // Names are matched by the central directory; the local header must agree on the length.
    if (nameLength != entry.name.size())
        return false;
    const std::uint64_t dataOffset =
        static_cast<std::uint64_t>(entry.localHeaderOffset) + kLocalHeaderSize + nameLength + extraLength;
    // The data must lie inside the archive; a stored member's two sizes must agree.
    if (dataOffset + compressedSize > archive.fileSize || dataOffset + compressedSize > 0xFFFFFFFFu)
        return false;
    if (method == kMethodStored && compressedSize != uncompressedSize)
        return false;
    entry.method = method;
    entry.compressedSize = compressedSize;
    entry.uncompressedSize = uncompressedSize;
    entry.dataOffset = static_cast<std::uint32_t>(dataOffset);
    entry.headerRead = true;
    return true;
}

bool OpenMember(PackFile* file, PackArchive* archive, std::string_view memberName)
{
    PackArchiveEntry* entry = FindEntry(*archive, memberName);
    if (!entry || !ReadLocalHeader(*archive, *entry))
        return false;
    file->archiveFile = archive->file.get();
    file->archive = archive;
    file->centralDirectorySize = archive->centralDirectorySize;
    file->centralDirectoryOffset = archive->centralDirectoryOffset;
    file->localHeaderOffset = entry->localHeaderOffset;
    file->dataOffset = entry->dataOffset;
    file->compressedSize = entry->compressedSize;
    file->uncompressedSize = entry->uncompressedSize;
    file->method = entry->method;
    file->position = 0;
    file->archivePosition = file->dataOffset;
    if (file->method == kMethodDeflated) {
        if (!StartInflate(file))
            return false;
        // Never more than the member's compressed bytes, so small members take small buffers.
        const std::size_t bufferSize = std::clamp<std::size_t>(file->compressedSize, 1, kReadBufferSize);
        file->readBuffer = std::make_unique_for_overwrite<unsigned char[]>(bufferSize);
    }
    return true;
}

bool OpenPlain(PackFile* file, const std::string& path, const char* mode)
{
    file->plainFile.reset(platform::os::OpenFile(path.c_str(), mode));
    if (!file->plainFile)
        return false;
    std::FILE* stream = file->plainFile.get();
    off_t end = -1;
    // A binary stream's size is its file's; a text stream (no descriptor) is measured by seeking.
    struct stat info;
    const int descriptor = ::fileno(stream);
    if (descriptor >= 0 && ::fstat(descriptor, &info) == 0) {
        end = info.st_size;
    } else if (::fseeko(stream, 0, SEEK_END) == 0) {
        end = ::ftello(stream);
        ::fseeko(stream, 0, SEEK_SET);
    }
    const std::uint32_t size = end < 0 ? 0 : static_cast<std::uint32_t>(std::min<off_t>(end, 0xFFFFFFFF));
    file->compressedSize = size;
    file->uncompressedSize = size;
    return true;
}

} // namespace

PackArchive::~PackArchive()
{
    // Unlinked one by one so a long list cannot recurse deeply.
    while (next)
        next = std::move(next->next);
}

PackFile::~PackFile()
{
    if (inflating)
        inflateEnd(&stream);
}

PackFile* PackFileOpen(const char* path, const char* mode)
{
    std::string normal;
    if (!mode || !NormalisePath(path, normal))
        return nullptr;
    auto file = std::make_unique<PackFile>();
    file->textMode = std::strchr(mode, 'b') == nullptr;
    if (OpenPlain(file.get(), normal, mode))
        return file.release();

    const std::vector<Candidate> candidates = CandidateArchives(normal);
    PackArchive* archive = nullptr;
    const Candidate* used = nullptr;
    for (const Candidate& candidate : candidates) {
        archive = FindOpenArchive(candidate.archiveName);
        if (archive) {
            used = &candidate;
            break;
        }
    }
    if (!archive)
        archive = OpenArchiveFromDisk(candidates, &used);
    if (!archive || !OpenMember(file.get(), archive, used->memberName))
        return nullptr;
    return file.release();
}

std::size_t PackFileRead(void* buffer, std::size_t size, std::size_t count, PackFile* file)
{
    if (!file || !buffer || size == 0)
        return 0;
    if (file->plainFile)
        return std::fread(buffer, size, count, file->plainFile.get());
    if (count > SIZE_MAX / size)
        return 0;
    const std::size_t delivered = ReadMember(file, static_cast<unsigned char*>(buffer), size * count);
    return delivered / size;
}

char* PackFileGets(char* buffer, int n, PackFile* file)
{
    if (!file || !buffer || n <= 0)
        return nullptr;
    if (file->plainFile)
        return std::fgets(buffer, n, file->plainFile.get());
    int stored = 0;
    bool readAny = false;
    while (stored < n - 1) {
        unsigned char c;
        if (ReadMember(file, &c, 1) != 1)
            break;
        readAny = true;
        if (c == '\n')
            break;
        buffer[stored++] = static_cast<char>(c);
    }
    buffer[stored] = '\0';
    // An empty line is a line; only the end of the data gives null.
    if (!readAny && (n > 1 || PackFileEof(file)))
        return nullptr;
    return buffer;
}

int PackFileSeek(PackFile* file, long offset, int origin)
{
    if (!file)
        return 1;
    if (file->plainFile)
        return std::fseek(file->plainFile.get(), offset, origin);
    long long base;
    switch (origin) {
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = MemberPosition(file); break;
    case SEEK_END: base = file->uncompressedSize; break;
    default: return 1;
    }
    const long long target = base + offset;
    if (target < 0 || target > file->uncompressedSize)
        return 1;
    if (target == MemberPosition(file))
        return 0;

    file->heldByte = -1;
    if (file->method == kMethodStored) {
        // Stored bytes lie where they are read from; no need to read up to the target.
        file->position = static_cast<std::uint32_t>(target);
        file->archivePosition = file->dataOffset + file->position;
        return 0;
    }
    // A deflated member restarts and inflates up to the target, also backwards.
    file->archivePosition = file->dataOffset;
    file->position = 0;
    if (!StartInflate(file))
        return 1;
    std::array<unsigned char, 16384> discard;
    long long left = target;
    while (left > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<long long>(left, discard.size()));
        const std::size_t got = ReadMemberRaw(file, discard.data(), want);
        if (got == 0)
            return 1;
        left -= static_cast<long long>(got);
    }
    return 0;
}

long PackFileTell(PackFile* file)
{
    if (!file)
        return -1;
    if (file->plainFile)
        return std::ftell(file->plainFile.get());
    return static_cast<long>(MemberPosition(file));
}

int PackFileEof(PackFile* file)
{
    if (!file)
        return 1;
    if (file->plainFile)
        return std::feof(file->plainFile.get());
    return (file->position < file->uncompressedSize || file->heldByte >= 0) ? 0 : 1;
}

int PackFileClose(PackFile* file)
{
    if (!file)
        return -1;
    std::unique_ptr<PackFile> owned(file);
    if (owned->plainFile)
        return std::fclose(owned->plainFile.release());
    return 0;
}

bool PackFileExists(const char* path)
{
    std::string normal;
    if (!NormalisePath(path, normal))
        return false;
    for (const Candidate& candidate : CandidateArchives(normal)) {
        if (PackArchive* archive = FindOpenArchive(candidate.archiveName))
            return FindEntry(*archive, candidate.memberName) != nullptr;
    }
    return false;
}

bool PackFileCanOpen(const char* path)
{
    return PackFileHandle(PackFileOpen(path, "rb")) != nullptr;
}

bool PackFileReadAll(const char* path, std::vector<std::uint8_t>& bytes)
{
    const PackFileHandle file(PackFileOpen(path, "rb"));
    if (!file)
        return false;
    // The size is known at open, so the bytes land in place in one read; a plain file that grew
    // since its open is still read to its end.
    std::size_t want = std::max<std::size_t>(file->uncompressedSize, 1);
    for (;;) {
        const std::size_t filled = bytes.size();
        bytes.resize(filled + want);
        const std::size_t got = PackFileRead(bytes.data() + filled, 1, want, file.get());
        if (got < want) {
            bytes.resize(filled + got);
            return true;
        }
        want = 65536;
    }
}

int PackFileSetArchiveExtension(const char* extension)
{
    if (!extension || std::strlen(extension) > std::strlen(archiveExtension))
        return 0;
    std::strcpy(archiveExtension, extension);
    return 1;
}

void PackFileCloseArchives()
{
    while (archiveList)
        archiveList = std::move(archiveList->next);
}

std::uint32_t PackFileHashName(const char* name)
{
    std::uint32_t hash = 0;
    for (const char* c = name; *c; ++c) {
        int value = static_cast<signed char>(*c);
        if (value >= 'A' && value <= 'Z')
            value += 'a' - 'A';
        hash = hash * 31u + static_cast<std::uint32_t>(value);
    }
    return hash;
}

char* PackFileNextPathPart(char* path)
{
    if (path) {
        pathPartCursor = path;
        pathPartBuffer[0] = '\0';
    }
    if (!pathPartCursor || *pathPartCursor == '\0')
        return nullptr;
    std::size_t length = 0;
    while (pathPartCursor[length] != '\0' && pathPartCursor[length] != '/' && pathPartCursor[length] != '\\')
        ++length;
    if (length >= sizeof pathPartBuffer) {
        pathPartCursor = nullptr;
        return nullptr;
    }
    std::memcpy(pathPartBuffer, pathPartCursor, length);
    pathPartBuffer[length] = '\0';
    if (pathPartCursor[length] != '\0') {
        pathPartCursor[length] = '\0';
        pathPartCursor += length + 1;
    } else {
        pathPartCursor += length;
    }
    return pathPartBuffer;
}
