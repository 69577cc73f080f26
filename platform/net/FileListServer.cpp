#include "platform/net/FileListServer.h"

#include "platform/net/BitStream.h"
#include "platform/net/FileListRecords.h"

#include <algorithm>
#include <fstream>
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

    // Only the sizes are taken now; each file is read a piece at a time as it is sent, so the host
    // never holds a whole file of its own.
    bool complete = true;
    FileListRecord list;
    for (const std::string& name : offered) {
        const std::filesystem::path path = root / name;
        std::error_code error;
        const bool regular = std::filesystem::is_regular_file(path, error);
        const std::uintmax_t bytes = regular ? std::filesystem::file_size(path, error) : 0;
        if (!regular || error) {
            complete = Fail("Could not read the offered file \"" + name + "\"");
            continue;
        }
        if (bytes > kMaxOfferedFileBytes) {
            complete = Fail("The offered file \"" + name + "\" is too large to send");
            continue;
        }
        list.files.push_back({name, static_cast<std::uint32_t>(bytes)});
    }

    BitStream record;
    list.Write(record);
    if (!SendRecord(peer, record))
        return false;
    for (std::uint32_t index = 0; index < list.files.size(); ++index)
        if (!SendFile(peer, index, list.files[index], record, complete))
            return false;
    return complete;
}

bool FileListServer::SendFile(PeerHandle peer, std::uint32_t index, const FileListEntry& entry, BitStream& record,
                              bool& complete)
{
    std::ifstream file(root / entry.name, std::ios::binary);
    FilePieceRecord piece;
    piece.fileIndex = index;
    std::uint32_t offset = 0;
    do {
        const std::uint32_t length = std::min(kFilePieceBytes, entry.size - offset);
        piece.bytes.resize(length);
        file.read(reinterpret_cast<char*>(piece.bytes.data()), length);
        piece.offset = offset;
        piece.id = offset + length < entry.size ? kFilePiece : offset == 0 ? kWholeFile : kLastFilePiece;
        if (static_cast<std::uint32_t>(file.gcount()) != length) {
            // Shorter than listed now: the last piece the client gets does not end the file, so it
            // fails this one file and the download still ends.
            piece.bytes.resize(static_cast<std::size_t>(file.gcount()));
            piece.id = kLastFilePiece;
            complete = Fail("The offered file \"" + entry.name + "\" could not be read whole");
        }
        record.Reset();
        piece.Write(record);
        if (!SendRecord(peer, record))
            return false;
        offset += length;
    } while (offset < entry.size && piece.id == kFilePiece);
    return true;
}

} // namespace platform::net
