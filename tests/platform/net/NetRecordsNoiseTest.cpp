#include "platform/net/BitStream.h"
#include "platform/net/FileListRecords.h"
#include "platform/net/MasterRecords.h"
#include "platform/net/StringCompressor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace platform::net;
using Bytes = std::vector<std::uint8_t>;

Bytes Content(const BitStream& s)
{
    return Bytes(s.GetData(), s.GetData() + s.GetNumberOfBytesUsed());
}

// Reads one record from the bytes; on success writes it again into `rewritten`.
using Reader = std::function<bool(BitStream& in, BitStream& rewritten)>;

template <typename Record>
Reader RecordReader()
{
    return [](BitStream& in, BitStream& rewritten) {
        Record record;
        if (!record.Read(in))
            return false;
        record.Write(rewritten);
        return true;
    };
}

// Random records of random lengths, most starting with the record's own id so the readers go
// past their first byte. Whatever a reader takes must come out the same when written and read
// again; whatever it refuses must not crash it. The seed is fixed so that a failure repeats.
TEST(NetRecordsNoise, ReadersTakeOnlyWhatTheyCanWriteBack)
{
    const struct {
        const char* name;
        std::uint8_t id;
        Reader read;
    } readers[] = {
        {"file list", kFileList, RecordReader<FileListRecord>()},
        {"file piece", kFilePiece, RecordReader<FilePieceRecord>()},
        {"listing", kMasterListServer, RecordReader<ListServerRecord>()},
        {"list request", kMasterRequestList, RecordReader<RequestListRecord>()},
        {"server list", kMasterServerList, RecordReader<ServerListRecord>()},
        {"text", 0, [](BitStream& in, BitStream& rewritten) {
             char text[40];
             if (!StringCompressor::DecodeString(text, sizeof text, in))
                 return false;
             EXPECT_LT(std::strlen(text), sizeof text);
             return StringCompressor::EncodeString(text, sizeof text, rewritten);
         }},
    };
    std::mt19937 random(20261211);
    for (const auto& reader : readers) {
        int taken = 0;
        for (int round = 0; round < 3000; ++round) {
            Bytes bytes(random() % 48);
            for (std::uint8_t& b : bytes)
                b = static_cast<std::uint8_t>(random() % 4 == 0 ? random() : random() % 3);
            if (!bytes.empty() && reader.id != 0 && random() % 4 != 0)
                bytes[0] = reader.id;
            BitStream in(bytes.data(), bytes.size());
            BitStream rewritten;
            if (!reader.read(in, rewritten))
                continue;
            ++taken;
            BitStream again(rewritten.GetData(), rewritten.GetNumberOfBytesUsed());
            BitStream twice;
            ASSERT_TRUE(reader.read(again, twice)) << reader.name << " round " << round;
            EXPECT_EQ(Content(twice), Content(rewritten)) << reader.name << " round " << round;
        }
        // The noise is made so that each reader takes some records, or it would test only refusals.
        EXPECT_GT(taken, 0) << reader.name;
    }
}

} // namespace
