#pragma once

#include "platform/net/PacketLink.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace platform::net {

// The client's side of the file transfer: asks the host for its offered files and writes them
// below the download folder. Names that would leave the folder (absolute, "..", backslashes,
// drives) are refused one by one; the others still arrive.
class FileListClient {
public:
    explicit FileListClient(PacketLink& link, std::filesystem::path downloadFolder = "MultiTXT");

    // Starts a new download from the host (record 32); forgets any earlier one.
    bool RequestFiles(PeerHandle host);

    // A file-transfer record (32-36) from a peer. False, with the reason in GetLastError, for a
    // record that is malformed, unasked for or from another peer; a malformed piece of a file
    // fails that file, so the download ends without it.
    bool HandlePacket(PeerHandle peer, const std::uint8_t* data, std::size_t size);

    // True from the request until the list arrived and every accepted file was written or failed.
    bool DownloadsRemain() const;

    const std::vector<std::string>& GetDownloaded() const { return downloaded; }
    const std::vector<std::string>& GetRefused() const { return refused; }
    const std::vector<std::string>& GetFailed() const { return failed; }
    const std::string& GetLastError() const { return lastError; }
    const std::filesystem::path& GetDownloadFolder() const { return downloadFolder; }

private:
    struct Incoming {
        std::string name;
        std::uint32_t size = 0;
        bool accepted = false;
        bool done = false;
        std::vector<std::uint8_t> bytes;
    };

    bool HandleList(const std::uint8_t* data, std::size_t size);
    bool HandlePiece(const std::uint8_t* data, std::size_t size);
    bool FailFile(Incoming& file, const std::string& why);
    bool WriteFile(Incoming& file);
    bool Fail(std::string text);

    PacketLink& link;
    std::filesystem::path downloadFolder;
    bool requested = false;
    bool awaitingList = false;
    PeerHandle host = 0;
    std::vector<Incoming> files;
    std::vector<std::string> downloaded;
    std::vector<std::string> refused;
    std::vector<std::string> failed;
    std::string lastError;
};

} // namespace platform::net
