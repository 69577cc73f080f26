#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Writes a zip-format archive in memory: one local header and the data per member, then the
// central directory and the end record (no comment, no data descriptors). Stored members are
// copied, deflated ones go through zlib's raw deflate. Dates are fixed, so the same members
// give the same bytes.
class ZipWriter {
public:
    enum class Method : std::uint16_t { Stored = 0, Deflated = 8 };

    // Where a member's records lie in the finished archive, for tests that corrupt them.
    struct EntryLayout {
        std::string name;
        Method method = Method::Stored;
        std::uint32_t localHeaderOffset = 0;
        std::uint32_t dataOffset = 0;
        std::uint32_t compressedSize = 0;
        std::uint32_t uncompressedSize = 0;
        std::uint32_t crc = 0;
        std::uint32_t centralHeaderOffset = 0; // set by Finish
    };

    static constexpr std::size_t kLocalHeaderSize = 30;
    static constexpr std::size_t kCentralHeaderSize = 46;
    static constexpr std::size_t kEndRecordSize = 22;

    void Add(std::string_view name, std::span<const std::uint8_t> data, Method method);
    void Add(std::string_view name, std::string_view text, Method method);

    // The whole archive. Members added afterwards start a new archive body.
    std::vector<std::uint8_t> Finish();

    const std::vector<EntryLayout>& Entries() const { return entries; }
    std::uint32_t CentralDirectoryOffset() const { return centralDirectoryOffset; }
    std::uint32_t EndRecordOffset() const { return endRecordOffset; }

private:
    std::vector<std::uint8_t> body;
    std::vector<EntryLayout> entries;
    std::uint32_t centralDirectoryOffset = 0;
    std::uint32_t endRecordOffset = 0;
};

// Little-endian fields written over bytes already in place (for corrupting archives in tests).
void StoreLittle16(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint16_t value);
void StoreLittle32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value);

// zlib's raw deflate (no header, window bits -15) of a block of bytes.
std::vector<std::uint8_t> DeflateRaw(std::span<const std::uint8_t> data, int level = 6);
