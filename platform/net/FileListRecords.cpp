#include "platform/net/FileListRecords.h"

#include "platform/net/StringCompressor.h"

namespace platform::net {

bool IsSafeRelativeName(std::string_view name)
{
    if (name.empty() || name.size() >= kMaxFileNameLength || name.front() == '/')
        return false;
    for (char c : name)
        if (c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
    std::size_t start = 0;
    while (start <= name.size()) {
        const std::size_t end = std::min(name.find('/', start), name.size());
        const std::string_view part = name.substr(start, end - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        start = end + 1;
    }
    return true;
}

void FileListRecord::Write(BitStream& out) const
{
    out.Write(std::uint8_t{kFileList});
    out.WriteCompressed(static_cast<std::uint32_t>(files.size()));
    for (const FileListEntry& file : files) {
        StringCompressor::EncodeString(file.name, kMaxFileNameLength, out);
        out.WriteCompressed(file.size);
    }
}

bool FileListRecord::Read(BitStream& in)
{
    files.clear();
    std::uint8_t id = 0;
    std::uint32_t count = 0;
    if (!in.Read(id) || id != kFileList || !in.ReadCompressed(count) || count > kMaxOfferedFiles)
        return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        FileListEntry file;
        if (!StringCompressor::DecodeString(file.name, kMaxFileNameLength, in) || !in.ReadCompressed(file.size)
            || file.size > kMaxOfferedFileBytes) {
            files.clear();
            return false;
        }
        files.push_back(std::move(file));
    }
    return true;
}

void FilePieceRecord::Write(BitStream& out) const
{
    out.Write(id);
    out.WriteCompressed(fileIndex);
    out.WriteCompressed(offset);
    out.WriteCompressed(static_cast<std::uint32_t>(bytes.size()));
    out.WriteBytes(bytes.data(), bytes.size());
}

bool FilePieceRecord::Read(BitStream& in)
{
    bytes.clear();
    std::uint32_t length = 0;
    const bool ok = in.Read(id) && (id == kFilePiece || id == kWholeFile || id == kLastFilePiece)
        && in.ReadCompressed(fileIndex) && fileIndex < kMaxOfferedFiles && in.ReadCompressed(offset)
        && in.ReadCompressed(length) && length <= kFilePieceBytes && length <= in.GetNumberOfUnreadBits() / 8;
    if (!ok)
        return false;
    bytes.resize(length);
    return in.ReadBytes(bytes.data(), length);
}

} // namespace platform::net
