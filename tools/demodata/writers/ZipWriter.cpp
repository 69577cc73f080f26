#include "tools/demodata/writers/ZipWriter.h"

#include <zlib.h>

#include <stdexcept>

namespace {

// 2000-01-01 00:00:00 in the DOS date and time fields.
constexpr std::uint16_t kDosTime = 0;
constexpr std::uint16_t kDosDate = ((2000 - 1980) << 9) | (1 << 5) | 1;

void PutLittle16(std::vector<std::uint8_t>& bytes, std::uint16_t value)
{
    bytes.push_back(static_cast<std::uint8_t>(value));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutLittle32(std::vector<std::uint8_t>& bytes, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint32_t CheckedSize(std::size_t size)
{
    if (size > 0xFFFFFFFFu)
        throw std::runtime_error("zip member or archive larger than 4 GiB");
    return static_cast<std::uint32_t>(size);
}

std::uint16_t VersionNeeded(ZipWriter::Method method)
{
    return method == ZipWriter::Method::Deflated ? 20 : 10;
}

} // namespace

std::vector<std::uint8_t> DeflateRaw(std::span<const std::uint8_t> data, int level)
{
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::vector<std::uint8_t> out(deflateBound(&stream, static_cast<uLong>(data.size())));
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END)
        throw std::runtime_error("deflate did not finish");
    return out;
}

void ZipWriter::Add(std::string_view name, std::span<const std::uint8_t> data, Method method)
{
    if (name.size() > 0xFFFF)
        throw std::runtime_error("zip member name too long");
    std::vector<std::uint8_t> deflated;
    std::span<const std::uint8_t> stored = data;
    if (method == Method::Deflated) {
        deflated = DeflateRaw(data);
        stored = deflated;
    }
    EntryLayout entry;
    entry.name = std::string(name);
    entry.method = method;
    entry.localHeaderOffset = CheckedSize(body.size());
    entry.compressedSize = CheckedSize(stored.size());
    entry.uncompressedSize = CheckedSize(data.size());
    entry.crc = static_cast<std::uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));

    PutLittle32(body, 0x04034B50);
    PutLittle16(body, VersionNeeded(method));
    PutLittle16(body, 0); // flags
    PutLittle16(body, static_cast<std::uint16_t>(method));
    PutLittle16(body, kDosTime);
    PutLittle16(body, kDosDate);
    PutLittle32(body, entry.crc);
    PutLittle32(body, entry.compressedSize);
    PutLittle32(body, entry.uncompressedSize);
    PutLittle16(body, static_cast<std::uint16_t>(name.size()));
    PutLittle16(body, 0); // extra field length
    body.insert(body.end(), name.begin(), name.end());
    entry.dataOffset = CheckedSize(body.size());
    body.insert(body.end(), stored.begin(), stored.end());
    CheckedSize(body.size());
    entries.push_back(std::move(entry));
}

void ZipWriter::Add(std::string_view name, std::string_view text, Method method)
{
    Add(name, std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), method);
}

std::vector<std::uint8_t> ZipWriter::Finish()
{
    std::vector<std::uint8_t> archive = body;
    centralDirectoryOffset = CheckedSize(archive.size());
    for (EntryLayout& entry : entries) {
        entry.centralHeaderOffset = CheckedSize(archive.size());
        PutLittle32(archive, 0x02014B50);
        PutLittle16(archive, 20); // made by: MS-DOS, version 2.0
        PutLittle16(archive, VersionNeeded(entry.method));
        PutLittle16(archive, 0); // flags
        PutLittle16(archive, static_cast<std::uint16_t>(entry.method));
        PutLittle16(archive, kDosTime);
        PutLittle16(archive, kDosDate);
        PutLittle32(archive, entry.crc);
        PutLittle32(archive, entry.compressedSize);
        PutLittle32(archive, entry.uncompressedSize);
        PutLittle16(archive, static_cast<std::uint16_t>(entry.name.size()));
        PutLittle16(archive, 0); // extra field length
        PutLittle16(archive, 0); // comment length
        PutLittle16(archive, 0); // disk number
        PutLittle16(archive, 0); // internal attributes
        PutLittle32(archive, 0); // external attributes
        PutLittle32(archive, entry.localHeaderOffset);
        archive.insert(archive.end(), entry.name.begin(), entry.name.end());
    }
    if (entries.size() > 0xFFFF)
        throw std::runtime_error("too many zip members");
    endRecordOffset = CheckedSize(archive.size());
    PutLittle32(archive, 0x06054B50);
    PutLittle16(archive, 0); // this disk
    PutLittle16(archive, 0); // disk with the central directory
    PutLittle16(archive, static_cast<std::uint16_t>(entries.size()));
    PutLittle16(archive, static_cast<std::uint16_t>(entries.size()));
    PutLittle32(archive, endRecordOffset - centralDirectoryOffset);
    PutLittle32(archive, centralDirectoryOffset);
    PutLittle16(archive, 0); // comment length
    return archive;
}

void StoreLittle16(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint16_t value)
{
    bytes.at(offset) = static_cast<std::uint8_t>(value);
    bytes.at(offset + 1) = static_cast<std::uint8_t>(value >> 8);
}

void StoreLittle32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.at(offset + i) = static_cast<std::uint8_t>(value >> (8 * i));
}
