#include "platform/net/BitStream.h"
#include "platform/net/FileListClient.h"
#include "platform/net/FileListRecords.h"
#include "platform/net/FileListServer.h"
#include "platform/net/StringCompressor.h"
#include "tests/platform/net/TransferFolders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace platform::net;
using Bytes = std::vector<std::uint8_t>;

constexpr PeerHandle kHost = 0;
constexpr PeerHandle kClient = 5;

// One side of an in-memory connection: what it sends waits in a queue until the test delivers it.
class QueueLink : public PacketLink {
public:
    bool Send(PeerHandle peer, const std::uint8_t* data, std::size_t size) override
    {
        if (!open)
            return false;
        sent.push_back({peer, Bytes(data, data + size)});
        if (afterSend)
            afterSend();
        return true;
    }

    struct Record {
        PeerHandle peer;
        Bytes bytes;
    };
    std::deque<Record> sent;
    bool open = true;
    std::function<void()> afterSend;
};

Bytes Record(const BitStream& s)
{
    return Bytes(s.GetData(), s.GetData() + s.GetNumberOfBytesUsed());
}

Bytes ListRecord(const std::vector<FileListEntry>& files)
{
    BitStream s;
    FileListRecord{files}.Write(s);
    return Record(s);
}

Bytes PieceRecord(std::uint8_t id, std::uint32_t index, std::uint32_t offset, const std::string& text)
{
    BitStream s;
    FilePieceRecord{id, index, offset, Bytes(text.begin(), text.end())}.Write(s);
    return Record(s);
}

class FileListTransferTest : public ::testing::Test {
protected:
    void Put(const std::string& name, const Bytes& bytes) { folders.Put(name, bytes); }
    Bytes Downloaded(const std::string& name) const { return folders.Downloaded(name); }

    // Hands each of the host's records to the client, noting after each whether downloads remain.
    std::vector<bool> DeliverToClient()
    {
        std::vector<bool> remain;
        while (!hostLink.sent.empty()) {
            const QueueLink::Record r = hostLink.sent.front();
            hostLink.sent.pop_front();
            EXPECT_EQ(r.peer, kClient);
            client.HandlePacket(kHost, r.bytes.data(), r.bytes.size());
            remain.push_back(client.DownloadsRemain());
        }
        return remain;
    }

    void Request()
    {
        ASSERT_TRUE(client.RequestFiles(kHost));
        ASSERT_EQ(clientLink.sent.size(), 1u);
        const Bytes request = clientLink.sent.front().bytes;
        clientLink.sent.clear();
        server.HandlePacket(kClient, request.data(), request.size());
    }

    const nettest::TransferFolders folders;
    const fs::path root = folders.Root();
    QueueLink hostLink, clientLink;
    FileListServer server{hostLink, root / "host"};
    FileListClient client{clientLink, root / "MultiTXT"};
};

TEST(FileListNames, OnlyRelativeNamesBelowTheFolderAreSafe)
{
    const struct {
        const char* name;
        bool safe;
    } cases[] = {
        {"GameData/Items/defloadout.txt", true},
        {"movespeeds.txt", true},
        {"GameData/AI/stats .ai", true},
        {"", false},
        {"/etc/passwd", false},
        {"../outside.txt", false},
        {"GameData/../../outside.txt", false},
        {"GameData/..", false},
        {"GameData\\Items\\a.idf", false},
        {"C:/game/a.txt", false},
        {"C:a.txt", false},
        {"GameData//a.txt", false},
        {"GameData/./a.txt", false},
        {"GameData/", false},
        {"line\nbreak", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsSafeRelativeName(c.name), c.safe) << c.name;
    EXPECT_FALSE(IsSafeRelativeName(std::string(kMaxFileNameLength, 'a')));
}

TEST_F(FileListTransferTest, OfferedFilesArriveBelowTheDownloadFolder)
{
    const Bytes small = {'r', 'u', 'n', ' ', '3'};
    const Bytes large = nettest::PatternBytes(2 * kFilePieceBytes + 17);
    Put("GameData/Models/movespeeds.txt", small);
    Put("GameData/AI/big.ai", large);
    Put("GameData/Items/empty.idf", {});
    for (const char* name : {"GameData/Models/movespeeds.txt", "GameData/AI/big.ai", "GameData/Items/empty.idf",
             "GameData/AI/big.ai"})
        EXPECT_TRUE(server.Offer(name)) << name;
    EXPECT_EQ(server.GetOffered().size(), 3u);

    EXPECT_FALSE(client.DownloadsRemain());
    Request();
    EXPECT_TRUE(client.DownloadsRemain());
    // List, the small file whole, the large one in three pieces, the empty one whole.
    EXPECT_EQ(DeliverToClient(), (std::vector<bool>{true, true, true, true, true, false}));
    EXPECT_EQ(client.GetDownloaded().size(), 3u);
    EXPECT_TRUE(client.GetRefused().empty());
    EXPECT_TRUE(client.GetFailed().empty());
    EXPECT_EQ(Downloaded("GameData/Models/movespeeds.txt"), small);
    EXPECT_EQ(Downloaded("GameData/AI/big.ai"), large);
    EXPECT_TRUE(fs::exists(root / "MultiTXT/GameData/Items/empty.idf"));
    EXPECT_FALSE(fs::exists(root / "MultiTXT/GameData/AI/big.ai.part"));

    // A second request starts over and gets the same files.
    Request();
    DeliverToClient();
    EXPECT_EQ(client.GetDownloaded().size(), 3u);
    EXPECT_FALSE(client.DownloadsRemain());
}

TEST_F(FileListTransferTest, AnEmptyListEndsTheDownloadAtOnce)
{
    Request();
    EXPECT_EQ(DeliverToClient(), (std::vector<bool>{false}));
    EXPECT_TRUE(client.GetDownloaded().empty());
}

TEST_F(FileListTransferTest, TheHostOffersOnlySafeNamesAndLeavesOutWhatItCannotRead)
{
    for (const char* name : {"../secret.txt", "/etc/passwd", "a\\b.txt", "D:x.txt"}) {
        EXPECT_FALSE(server.Offer(name)) << name;
        EXPECT_NE(server.GetLastError().find(name), std::string::npos) << name;
    }
    Put("present.txt", {'x'});
    fs::create_directories(root / "host/folder");
    EXPECT_TRUE(server.Offer("present.txt"));
    EXPECT_TRUE(server.Offer("missing.txt"));
    EXPECT_TRUE(server.Offer("folder"));
    Request();
    EXPECT_NE(server.GetLastError().find("folder"), std::string::npos);
    EXPECT_EQ(DeliverToClient(), (std::vector<bool>{true, false}));
    EXPECT_EQ(client.GetDownloaded(), std::vector<std::string>{"present.txt"});
}

// The host reads a file as it sends it: one that shrinks after the list went out ends with a
// short last piece, so the client fails that file alone and the download still ends.
TEST_F(FileListTransferTest, AFileThatShrinksWhileSentFailsOnlyThatFile)
{
    Put("a.txt", {'a'});
    Put("shrinks.ai", nettest::PatternBytes(2 * kFilePieceBytes + 17));
    Put("z.txt", {'z'});
    for (const char* name : {"a.txt", "shrinks.ai", "z.txt"})
        ASSERT_TRUE(server.Offer(name));
    hostLink.afterSend = [this] {
        hostLink.afterSend = nullptr;
        fs::resize_file(root / "host/shrinks.ai", 10);
    };
    Request();
    EXPECT_NE(server.GetLastError().find("shrinks.ai"), std::string::npos);
    // The list, a.txt whole, the short last piece of shrinks.ai, z.txt whole.
    EXPECT_EQ(DeliverToClient(), (std::vector<bool>{true, true, true, false}));
    EXPECT_EQ(client.GetDownloaded(), (std::vector<std::string>{"a.txt", "z.txt"}));
    EXPECT_EQ(client.GetFailed(), std::vector<std::string>{"shrinks.ai"});
    EXPECT_FALSE(fs::exists(root / "MultiTXT/shrinks.ai"));
}

// What a hostile or confused client can send the host: only a bare request is answered.
TEST_F(FileListTransferTest, TheHostAnswersNothingButARequest)
{
    Put("present.txt", {'x'});
    server.Offer("present.txt");
    const Bytes cases[] = {
        {},
        {kFileListRequest, 0},
        {kFileList, 0},
        PieceRecord(kWholeFile, 0, 0, "x"),
        {kLastFilePiece},
        {99},
    };
    for (const Bytes& record : cases) {
        EXPECT_FALSE(server.HandlePacket(kClient, record.data(), record.size()));
        EXPECT_TRUE(hostLink.sent.empty());
    }
}

TEST_F(FileListTransferTest, TheClientRefusesNamesThatLeaveTheFolder)
{
    ASSERT_TRUE(client.RequestFiles(kHost));
    const std::string absolute = (root / "absolute.txt").string();
    const std::vector<FileListEntry> list = {
        {"../escape.txt", 1}, {absolute, 1}, {"GameData\\back.txt", 1}, {"C:drive.txt", 1}, {"good.txt", 2}};
    const Bytes listRecord = ListRecord(list);
    EXPECT_FALSE(client.HandlePacket(kHost, listRecord.data(), listRecord.size()));
    EXPECT_EQ(client.GetRefused().size(), 4u);
    EXPECT_TRUE(client.DownloadsRemain());
    for (std::uint32_t index = 0; index < 4; ++index) {
        const Bytes piece = PieceRecord(kWholeFile, index, 0, "!");
        EXPECT_FALSE(client.HandlePacket(kHost, piece.data(), piece.size())) << index;
    }
    const Bytes good = PieceRecord(kWholeFile, 4, 0, "ok");
    EXPECT_TRUE(client.HandlePacket(kHost, good.data(), good.size()));
    EXPECT_FALSE(client.DownloadsRemain());
    EXPECT_EQ(client.GetDownloaded(), std::vector<std::string>{"good.txt"});
    EXPECT_FALSE(fs::exists(root / "escape.txt"));
    EXPECT_FALSE(fs::exists(absolute));
    std::size_t written = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root / "MultiTXT"))
        written += entry.is_regular_file();
    EXPECT_EQ(written, 1u);
}

// Records that do not fit the download: each is refused; a bad piece of a listed file fails that file
// (so the download still ends), anything else leaves the download as it was.
TEST_F(FileListTransferTest, TheClientRefusesMalformedAndUnaskedRecords)
{
    struct Case {
        const char* name;
        PeerHandle from;
        Bytes record;
        bool failsTheFile;
    };
    BitStream tooMany;
    tooMany.Write(std::uint8_t{kFileList});
    tooMany.WriteCompressed(std::uint32_t{kMaxOfferedFiles + 1});
    BitStream hugeFile;
    hugeFile.Write(std::uint8_t{kFileList});
    hugeFile.WriteCompressed(std::uint32_t{1});
    StringCompressor::EncodeString("big.txt", kMaxFileNameLength, hugeFile);
    hugeFile.WriteCompressed(kMaxOfferedFileBytes + 1);
    BitStream shortPiece;
    shortPiece.Write(std::uint8_t{kWholeFile});
    shortPiece.WriteCompressed(std::uint32_t{0});
    shortPiece.WriteCompressed(std::uint32_t{0});
    shortPiece.WriteCompressed(std::uint32_t{4});
    shortPiece.WriteBytes("ab", 2);

    const std::vector<Case> cases = {
        {"empty", kHost, {}, false},
        {"another peer", kClient, PieceRecord(kWholeFile, 0, 0, "abcd"), false},
        {"unknown type", kHost, {37}, false},
        {"a request", kHost, {kFileListRequest}, false},
        {"too many files", kHost, Record(tooMany), false},
        {"file above the size limit", kHost, Record(hugeFile), false},
        {"second list", kHost, ListRecord({{"other.txt", 1}}), false},
        {"index past the list", kHost, PieceRecord(kWholeFile, 1, 0, "abcd"), false},
        {"piece shorter than it says", kHost, Record(shortPiece), false},
        {"trailing bytes", kHost, [] { Bytes b = PieceRecord(kWholeFile, 0, 0, "abcd"); b.push_back(0); return b; }(), false},
        {"whole file of the wrong size", kHost, PieceRecord(kWholeFile, 0, 0, "abc"), true},
        {"piece past the end", kHost, PieceRecord(kFilePiece, 0, 0, "abcde"), true},
        {"last piece that does not end the file", kHost, PieceRecord(kLastFilePiece, 0, 0, "ab"), true},
        {"gap before a piece", kHost, PieceRecord(kFilePiece, 0, 1, "ab"), true},
        {"piece that ends the file without saying so", kHost, PieceRecord(kFilePiece, 0, 0, "abcd"), true},
    };
    const Bytes list = ListRecord({{"four.txt", 4}});
    for (const Case& c : cases) {
        ASSERT_TRUE(client.RequestFiles(kHost));
        const std::string name = c.name;
        if (name != "too many files" && name != "file above the size limit") {
            ASSERT_TRUE(client.HandlePacket(kHost, list.data(), list.size())) << c.name;
        }
        EXPECT_FALSE(client.HandlePacket(c.from, c.record.data(), c.record.size())) << c.name;
        EXPECT_FALSE(client.GetLastError().empty()) << c.name;
        EXPECT_EQ(client.DownloadsRemain(), !c.failsTheFile) << c.name;
        EXPECT_EQ(client.GetFailed().size(), c.failsTheFile ? 1u : 0u) << c.name;
        EXPECT_FALSE(fs::exists(root / "MultiTXT/four.txt")) << c.name;
    }

    // Nothing is taken before a request.
    FileListClient fresh(clientLink, root / "MultiTXT");
    EXPECT_FALSE(fresh.HandlePacket(kHost, list.data(), list.size()));
    EXPECT_FALSE(fresh.DownloadsRemain());
}

TEST_F(FileListTransferTest, AClosedLinkIsReported)
{
    clientLink.open = false;
    EXPECT_FALSE(client.RequestFiles(kHost));
    EXPECT_FALSE(client.DownloadsRemain());
    hostLink.open = false;
    const std::uint8_t request = kFileListRequest;
    EXPECT_FALSE(server.HandlePacket(kClient, &request, 1));
    EXPECT_FALSE(server.GetLastError().empty());
}

} // namespace
