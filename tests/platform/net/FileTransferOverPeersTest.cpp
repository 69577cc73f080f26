#include <gtest/gtest.h>

#include "platform/net/BitStream.h"
#include "platform/net/FileListClient.h"
#include "platform/net/FileListRecords.h"
#include "platform/net/FileListServer.h"
#include "platform/net/PeerPacketLink.h"
#include "tests/platform/net/NetFixture.h"
#include "tests/platform/net/TransferFolders.h"

#include <filesystem>

using namespace nettest;

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// A host and a client on loopback, each with its side of the file transfer over the real link.
class FileTransferOverPeers : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pair.Open()); }

    // Pumps both ends as the game does: records 32-36 go to the file transfer, and after 33, 35 or
    // 36 the client asks whether downloads remain. True once none remain.
    bool Transfer()
    {
        return WaitUntil([this] { Pump(); }, [this] { return !remain.empty() && !remain.back(); }, 10000ms);
    }
    void Pump()
    {
        while (Packet* packet = pair.server.Receive()) {
            if (IsFileTransfer(*packet))
                hostFiles.HandlePacket(packet->playerIndex, packet->data, packet->length);
            pair.server.DeallocatePacket(packet);
        }
        while (Packet* packet = pair.client.Receive()) {
            if (IsFileTransfer(*packet)) {
                clientFiles.HandlePacket(packet->playerIndex, packet->data, packet->length);
                if (packet->data[0] != kFilePiece)
                    remain.push_back(clientFiles.DownloadsRemain());
            }
            pair.client.DeallocatePacket(packet);
        }
    }
    static bool IsFileTransfer(const Packet& packet)
    {
        return packet.length > 0 && packet.data[0] >= kFileListRequest && packet.data[0] <= kLastFilePiece;
    }

    const TransferFolders folders;
    const fs::path root = folders.Root();
    LogCapture log;
    Pair pair{QuietConfig(log), QuietConfig(log)};
    PeerPacketLink hostLink{pair.server};
    PeerPacketLink clientLink{pair.client};
    FileListServer hostFiles{hostLink, root / "host"};
    FileListClient clientFiles{clientLink, root / "MultiTXT"};
    std::vector<bool> remain;
    int requests = 0;
};

TEST_F(FileTransferOverPeers, OfferedFilesArriveOverRealSockets)
{
    const Bytes speeds = {'r', 'u', 'n', ' ', '3'};
    const Bytes stats = PatternBytes(3 * kFilePieceBytes + 5);
    folders.Put("GameData/Models/movespeeds.txt", speeds);
    folders.Put("GameData/AI/stats.ai", stats);
    for (const char* name : {"GameData/Models/movespeeds.txt", "GameData/AI/stats.ai"})
        ASSERT_TRUE(hostFiles.Offer(name)) << name;

    ASSERT_TRUE(clientFiles.RequestFiles(kHostPeer));
    ASSERT_TRUE(Transfer());
    // After the list, the small file whole and the large one's last piece.
    EXPECT_EQ(remain, (std::vector<bool>{true, true, false}));
    EXPECT_EQ(clientFiles.GetDownloaded().size(), 2u);
    EXPECT_TRUE(clientFiles.GetFailed().empty());
    EXPECT_EQ(folders.Downloaded("GameData/Models/movespeeds.txt"), speeds);
    EXPECT_EQ(folders.Downloaded("GameData/AI/stats.ai"), stats);

    // With nothing offered the list alone ends the download.
    hostFiles.ClearOffers();
    remain.clear();
    ASSERT_TRUE(clientFiles.RequestFiles(kHostPeer));
    ASSERT_TRUE(Transfer());
    EXPECT_EQ(remain, std::vector<bool>{false});
}

// A host that lists names leaving the download folder: the client refuses them one by one and
// still takes the rest.
TEST_F(FileTransferOverPeers, TheClientRefusesNamesFromARealHost)
{
    ASSERT_TRUE(clientFiles.RequestFiles(kHostPeer));
    // The host's game swallows the request; the test speaks for a hostile host over the same link.
    ASSERT_TRUE(WaitUntil([this] {
        while (Packet* packet = pair.server.Receive()) {
            requests += IsFileTransfer(*packet);
            pair.server.DeallocatePacket(packet);
        }
    }, [this] { return requests == 1; }));
    const std::string absolute = (root / "absolute.txt").string();
    BitStream list;
    FileListRecord{{{"../escape.txt", 1}, {absolute, 1}, {"good.txt", 2}}}.Write(list);
    ASSERT_TRUE(hostLink.Send(0, list.GetData(), list.GetNumberOfBytesUsed()));
    for (std::uint32_t index : {0u, 1u, 2u}) {
        BitStream piece;
        const Bytes bytes = index == 2 ? Bytes{'o', 'k'} : Bytes{'!'};
        FilePieceRecord{kWholeFile, index, 0, bytes}.Write(piece);
        ASSERT_TRUE(hostLink.Send(0, piece.GetData(), piece.GetNumberOfBytesUsed()));
    }
    ASSERT_TRUE(Transfer());
    EXPECT_EQ(remain, (std::vector<bool>{true, true, true, false}));
    EXPECT_EQ(clientFiles.GetRefused(), (std::vector<std::string>{"../escape.txt", absolute}));
    EXPECT_EQ(clientFiles.GetDownloaded(), std::vector<std::string>{"good.txt"});
    EXPECT_EQ(folders.Downloaded("good.txt"), (Bytes{'o', 'k'}));
    EXPECT_FALSE(fs::exists(root / "escape.txt"));
    EXPECT_FALSE(fs::exists(absolute));
}

// Each link speaks only to the peers its connection has.
TEST_F(FileTransferOverPeers, LinksRefuseOtherPeers)
{
    const std::uint8_t request = kFileListRequest;
    const struct {
        const char* name;
        PacketLink& link;
        PeerHandle peer;
        bool sent;
    } cases[] = {
        {"host to its player", hostLink, 0, true},
        {"host to a free slot", hostLink, 1, false},
        {"host to no player", hostLink, kHostPeer, false},
        {"client to its host", clientLink, kHostPeer, true},
        {"client to a player", clientLink, 0, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.link.Send(c.peer, &request, 1), c.sent) << c.name;
}

} // namespace
