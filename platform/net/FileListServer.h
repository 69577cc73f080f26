#pragma once

#include "platform/net/PacketLink.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace platform::net {

// The host's side of the file transfer: it offers files below its data folder by relative name
// and, when a client asks (record 32), sends the list (33) and the files (34-36). It serves only
// what it offered; every other record from a client is refused.
class FileListServer {
public:
    FileListServer(PacketLink& link, std::filesystem::path root);

    // Offering a name twice keeps one entry. False, with the reason in GetLastError, for a name
    // that is not a safe relative name.
    bool Offer(const std::string& name);
    void ClearOffers() { offered.clear(); }
    const std::vector<std::string>& GetOffered() const { return offered; }

    // A file-transfer record (32-36) a peer sent. False, with the reason in GetLastError, for a
    // record the host does not answer or a send that failed; an offered file that cannot be read
    // is left out of the list and named there too.
    bool HandlePacket(PeerHandle peer, const std::uint8_t* data, std::size_t size);

    const std::string& GetLastError() const { return lastError; }

private:
    bool SendRecord(PeerHandle peer, const class BitStream& record);
    bool SendFile(PeerHandle peer, std::uint32_t index, const struct FileListEntry& entry, class BitStream& record,
                  bool& complete);
    bool Fail(std::string text);

    PacketLink& link;
    std::filesystem::path root;
    std::vector<std::string> offered;
    std::string lastError;
};

} // namespace platform::net
