#include "platform/net/FileListClient.h"

#include "platform/net/BitStream.h"
#include "platform/net/FileListRecords.h"

#include <fstream>
#include <utility>

namespace platform::net {

FileListClient::FileListClient(PacketLink& link, std::filesystem::path downloadFolder)
    : link(link)
    , downloadFolder(std::move(downloadFolder))
{
}

bool FileListClient::Fail(std::string text)
{
    lastError = std::move(text);
    return false;
}

bool FileListClient::RequestFiles(PeerHandle hostPeer)
{
    files.clear();
    downloaded.clear();
    refused.clear();
    failed.clear();
    host = hostPeer;
    const std::uint8_t request = kFileListRequest;
    requested = awaitingList = link.Send(host, &request, 1);
    return requested || Fail("Could not ask the host for its files");
}

bool FileListClient::DownloadsRemain() const
{
    if (awaitingList)
        return true;
    for (const Incoming& file : files)
        if (file.accepted && !file.done)
            return true;
    return false;
}

bool FileListClient::HandlePacket(PeerHandle peer, const std::uint8_t* data, std::size_t size)
{
    if (data == nullptr || size == 0)
        return Fail("Refused an empty file-transfer record");
    if (!requested || peer != host)
        return Fail("Refused a file-transfer record from peer " + std::to_string(peer) + " that was not asked");
    switch (data[0]) {
    case kFileList:
        return HandleList(data, size);
    case kFilePiece:
    case kWholeFile:
    case kLastFilePiece:
        return HandlePiece(data, size);
    default:
        return Fail("Refused a file-transfer record of type " + std::to_string(data[0]));
    }
}

bool FileListClient::HandleList(const std::uint8_t* data, std::size_t size)
{
    if (!awaitingList)
        return Fail("Refused a second file list");
    BitStream in(data, size);
    FileListRecord list;
    if (!list.Read(in))
        return Fail("Refused a malformed file list");
    awaitingList = false;
    for (FileListEntry& entry : list.files) {
        Incoming file;
        file.accepted = IsSafeRelativeName(entry.name);
        if (!file.accepted) {
            refused.push_back(entry.name);
            lastError = "Refused to download \"" + entry.name + "\": not a relative name below the download folder";
        }
        file.name = std::move(entry.name);
        file.size = entry.size;
        files.push_back(std::move(file));
    }
    return refused.empty();
}

bool FileListClient::FailFile(Incoming& file, const std::string& why)
{
    file.done = true;
    file.bytes.clear();
    failed.push_back(file.name);
    return Fail("Failed to download \"" + file.name + "\": " + why);
}

bool FileListClient::HandlePiece(const std::uint8_t* data, std::size_t size)
{
    BitStream in(data, size);
    FilePieceRecord piece;
    if (!piece.Read(in) || in.GetNumberOfUnreadBits() >= 8)
        return Fail("Refused a malformed file piece");
    if (piece.fileIndex >= files.size() || !files[piece.fileIndex].accepted || files[piece.fileIndex].done)
        return Fail("Refused a piece of a file that is not being downloaded");

    Incoming& file = files[piece.fileIndex];
    const std::uint64_t end = std::uint64_t{piece.offset} + piece.bytes.size();
    const bool last = piece.id != kFilePiece;
    if (piece.offset != file.bytes.size() || end > file.size || (piece.id == kWholeFile && piece.offset != 0)
        || last != (end == file.size))
        return FailFile(file, "a piece does not fit the file's size");
    file.bytes.insert(file.bytes.end(), piece.bytes.begin(), piece.bytes.end());
    return !last || WriteFile(file);
}

bool FileListClient::WriteFile(Incoming& file)
{
    const std::filesystem::path target = downloadFolder / file.name;
    std::filesystem::path partial = target;
    partial += ".part";
    std::error_code error;
    std::filesystem::create_directories(target.parent_path(), error);
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.bytes.data()), static_cast<std::streamsize>(file.bytes.size()));
        out.close();
        if (!out) {
            std::filesystem::remove(partial, error);
            return FailFile(file, "could not write " + partial.string());
        }
    }
    // Renamed only when whole, so a broken download never leaves a short file under its name.
    std::filesystem::rename(partial, target, error);
    if (error) {
        std::filesystem::remove(partial, error);
        return FailFile(file, "could not write " + target.string());
    }
    file.done = true;
    file.bytes.clear();
    file.bytes.shrink_to_fit();
    downloaded.push_back(file.name);
    return true;
}

} // namespace platform::net
