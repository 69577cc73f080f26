#include "platform/net/FileListServer.h"

#include "platform/net/BitStream.h"
#include "platform/net/FileListRecords.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <utility>

namespace platform::net {

FileListServer::FileListServer(PacketLink& link, std::filesystem::path root)
    : link(link)
    , root(std::move(root))
{
}

bool FileListServer::Offer(const std::string& name)
{
    if (!IsSafeRelativeName(name))
        return Fail("Refused to offer the file \"" + name + "\": not a relative name below the data folder");
    if (std::find(offered.begin(), offered.end(), name) != offered.end())
        return true;
    if (offered.size() >= kMaxOfferedFiles)
        return Fail("Refused to offer the file \"" + name + "\": too many files offered");
    offered.push_back(name);
    return true;
}

bool FileListServer::Fail(std::string text)
{
    lastError = std::move(text);
    return false;
}

bool FileListServer::SendRecord(PeerHandle peer, const BitStream& record)
{
    if (record.HasOverflowed() || !link.Send(peer, record.GetData(), record.GetNumberOfBytesUsed()))
        return Fail("Could not send a file-transfer record to peer " + std::to_string(peer));
    return true;
}

bool FileListServer::HandlePacket(PeerHandle peer, const std::uint8_t* data, std::size_t size)
{
    if (size != 1 || data == nullptr || data[0] != kFileListRequest)
        return Fail("Refused a file-transfer record from peer " + std::to_string(peer) + ": only a request is answered");

    bool complete = true;
    FileListRecord list;
    std::vector<std::vector<std::uint8_t>> contents;
    for (const std::string& name : offered) {
        const std::filesystem::path path = root / name;
        std::error_code error;
        std::ifstream file;
        if (std::filesystem::is_regular_file(path, error))
            file.open(path, std::ios::binary);
        std::vector<std::uint8_t> bytes;
        if (file.is_open())
            bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        if (!file.is_open() || file.bad()) {
            complete = Fail("Could not read the offered file \"" + name + "\"");
            continue;
        }
        if (bytes.size() > kMaxOfferedFileBytes) {
            complete = Fail("The offered file \"" + name + "\" is too large to send");
            continue;
        }
        list.files.push_back({name, static_cast<std::uint32_t>(bytes.size())});
        contents.push_back(std::move(bytes));
    }

    BitStream record;
    list.Write(record);
    if (!SendRecord(peer, record))
        return false;
    for (std::size_t index = 0; index < contents.size(); ++index) {
        const std::vector<std::uint8_t>& bytes = contents[index];
        std::size_t offset = 0;
        do {
            const std::size_t length = std::min<std::size_t>(kFilePieceBytes, bytes.size() - offset);
            FilePieceRecord piece;
            piece.fileIndex = static_cast<std::uint32_t>(index);
            piece.offset = static_cast<std::uint32_t>(offset);
            piece.id = offset + length < bytes.size() ? kFilePiece : offset == 0 ? kWholeFile : kLastFilePiece;
            piece.bytes.assign(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                bytes.begin() + static_cast<std::ptrdiff_t>(offset + length));
            record.Reset();
            piece.Write(record);
            if (!SendRecord(peer, record))
                return false;
            offset += length;
        } while (offset < bytes.size());
    }
    return complete;
}

} // namespace platform::net
