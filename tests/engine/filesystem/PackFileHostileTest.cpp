#include "tests/engine/filesystem/PackFileFixture.h"

#include <functional>

namespace {

using Method = ZipWriter::Method;
using Layout = ZipWriter::EntryLayout;

// A small archive with one stored and one deflated member; the rows below damage it.
struct Sample {
    std::vector<std::uint8_t> bytes;
    Layout stored;
    Layout deflated;
    std::uint32_t endRecord = 0;
    std::uint32_t directory = 0;
    std::string storedText;
    std::string deflatedText;
};

Sample MakeSample()
{
    Sample sample;
    sample.storedText = "stored member bytes, read straight from the archive";
    sample.deflatedText = PackFileTest::SampleText(6000, 5);
    ZipWriter zip;
    zip.Add("Data/s.bin", sample.storedText, Method::Stored);
    zip.Add("Data/d.bin", sample.deflatedText, Method::Deflated);
    sample.bytes = zip.Finish();
    sample.stored = zip.Entries()[0];
    sample.deflated = zip.Entries()[1];
    sample.endRecord = zip.EndRecordOffset();
    sample.directory = zip.CentralDirectoryOffset();
    return sample;
}

enum class Outcome {
    OpenFails,   // PackFileOpen gives null
    ShortRead,   // opens; reading ends before the size the header claims
    PartialRead, // opens; reading gives the bytes the cut stream holds, then ends
    ClaimedSize, // opens; reading gives exactly the claimed (smaller) size
};

struct HostileCase {
    const char* damage;
    const char* member;
    std::function<void(Sample&)> corrupt;
    Outcome outcome;
};

// Reads until the layer gives nothing more; every loop here must end by itself.
std::size_t ReadToEnd(PackFile* file)
{
    std::vector<char> chunk(4096);
    std::size_t total = 0;
    std::size_t got;
    while ((got = PackFileRead(chunk.data(), 1, chunk.size(), file)) > 0)
        total += got;
    return total;
}

TEST_F(PackFileTest, DamagedArchivesFailTheOpenOrReadShortNeverMore)
{
    const std::vector<HostileCase> cases = {
        {"file shorter than an end record", "Pack/Data/s.bin", [](Sample& a) { a.bytes.resize(10); },
         Outcome::OpenFails},
        {"end record signature wrong", "Pack/Data/s.bin", [](Sample& a) { a.bytes[a.endRecord] ^= 0xFF; },
         Outcome::OpenFails},
        {"archive comment after the end record", "Pack/Data/s.bin",
         [](Sample& a) {
             StoreLittle16(a.bytes, a.endRecord + 20, 4);
             a.bytes.insert(a.bytes.end(), {'n', 'o', 't', 'e'});
         },
         Outcome::OpenFails},
        {"entry count beyond the directory", "Pack/Data/s.bin",
         [](Sample& a) { StoreLittle16(a.bytes, a.endRecord + 10, 1000); }, Outcome::OpenFails},
        {"entry count zero", "Pack/Data/s.bin", [](Sample& a) { StoreLittle16(a.bytes, a.endRecord + 10, 0); },
         Outcome::OpenFails},
        {"directory offset beyond the file", "Pack/Data/s.bin",
         [](Sample& a) { StoreLittle32(a.bytes, a.endRecord + 16, 0xFFFFFFF0u); }, Outcome::OpenFails},
        {"directory size beyond the file", "Pack/Data/s.bin",
         [](Sample& a) { StoreLittle32(a.bytes, a.endRecord + 12, 0x7FFFFFFFu); }, Outcome::OpenFails},
        {"directory size running into the end record", "Pack/Data/s.bin",
         [](Sample& a) { StoreLittle32(a.bytes, a.endRecord + 12, a.endRecord - a.directory + 1); },
         Outcome::OpenFails},
        {"central header signature wrong", "Pack/Data/s.bin",
         [](Sample& a) { a.bytes[a.deflated.centralHeaderOffset] ^= 0x01; }, Outcome::OpenFails},
        {"member name of 300 bytes", "Pack/Data/s.bin",
         [](Sample& a) { StoreLittle16(a.bytes, a.stored.centralHeaderOffset + 28, 300); }, Outcome::OpenFails},
        {"member name running past the directory", "Pack/Data/s.bin",
         [](Sample& a) { StoreLittle16(a.bytes, a.deflated.centralHeaderOffset + 28, 200); }, Outcome::OpenFails},
        {"extra field running past the directory", "Pack/Data/s.bin",
         [](Sample& a) { StoreLittle16(a.bytes, a.stored.centralHeaderOffset + 30, 0xFFFF); }, Outcome::OpenFails},
        {"local header offset beyond the file", "Pack/Data/s.bin",
         [](Sample& a) { StoreLittle32(a.bytes, a.stored.centralHeaderOffset + 42, 0xFFFFFF00u); },
         Outcome::OpenFails},
        {"local header offset inside the directory", "Pack/Data/s.bin",
         [](Sample& a) { StoreLittle32(a.bytes, a.stored.centralHeaderOffset + 42, a.directory); },
         Outcome::OpenFails},
        {"local header signature wrong", "Pack/Data/d.bin",
         [](Sample& a) { a.bytes[a.deflated.localHeaderOffset + 3] = 0; }, Outcome::OpenFails},
        {"method other than stored or deflated", "Pack/Data/d.bin",
         [](Sample& a) { StoreLittle16(a.bytes, a.deflated.localHeaderOffset + 8, 12); }, Outcome::OpenFails},
        {"local name length disagrees", "Pack/Data/s.bin",
         [](Sample& a) { StoreLittle16(a.bytes, a.stored.localHeaderOffset + 26, 9); }, Outcome::OpenFails},
        {"local extra field pushing the data past the file", "Pack/Data/s.bin",
         [](Sample& a) { StoreLittle16(a.bytes, a.stored.localHeaderOffset + 28, 0xFFFF); }, Outcome::OpenFails},
        {"compressed size beyond the file", "Pack/Data/d.bin",
         [](Sample& a) { StoreLittle32(a.bytes, a.deflated.localHeaderOffset + 18, 0x10000000u); },
         Outcome::OpenFails},
        {"stored member whose sizes disagree", "Pack/Data/s.bin",
         [](Sample& a) { StoreLittle32(a.bytes, a.stored.localHeaderOffset + 22, a.stored.uncompressedSize + 40); },
         Outcome::OpenFails},
        {"deflate data overwritten with garbage", "Pack/Data/d.bin",
         [](Sample& a) {
             for (std::uint32_t i = 0; i < a.deflated.compressedSize; ++i)
                 a.bytes[a.deflated.dataOffset + i] = static_cast<std::uint8_t>(0xFF - i * 7);
         },
         Outcome::ShortRead},
        {"deflate stream cut short by its compressed size", "Pack/Data/d.bin",
         [](Sample& a) {
             StoreLittle32(a.bytes, a.deflated.localHeaderOffset + 18, a.deflated.compressedSize / 2);
         },
         Outcome::PartialRead},
        {"compressed size zero", "Pack/Data/d.bin",
         [](Sample& a) { StoreLittle32(a.bytes, a.deflated.localHeaderOffset + 18, 0); }, Outcome::ShortRead},
        {"uncompressed size claiming more than the stream holds", "Pack/Data/d.bin",
         [](Sample& a) {
             StoreLittle32(a.bytes, a.deflated.localHeaderOffset + 22, a.deflated.uncompressedSize * 3);
         },
         Outcome::ShortRead},
        {"uncompressed size claiming 4 GiB", "Pack/Data/d.bin",
         [](Sample& a) { StoreLittle32(a.bytes, a.deflated.localHeaderOffset + 22, 0xFFFFFFFFu); },
         Outcome::ShortRead},
        {"uncompressed size claiming less than the stream holds", "Pack/Data/d.bin",
         [](Sample& a) { StoreLittle32(a.bytes, a.deflated.localHeaderOffset + 22, 100); }, Outcome::ClaimedSize},
    };

    for (const HostileCase& c : cases) {
        SCOPED_TRACE(c.damage);
        Sample sample = MakeSample();
        c.corrupt(sample);
        PackFileCloseArchives();
        WriteBytes("Pack.qa", sample.bytes);

        PackFile* file = PackFileOpen(c.member, "rb");
        if (c.outcome == Outcome::OpenFails) {
            EXPECT_EQ(file, nullptr);
            PackFileClose(file);
            continue;
        }
        ASSERT_NE(file, nullptr);
        const std::size_t claimed = file->uncompressedSize;
        const std::size_t got = ReadToEnd(file);
        if (c.outcome == Outcome::ClaimedSize) {
            EXPECT_EQ(got, claimed);
        } else {
            EXPECT_LT(got, claimed);
        }
        if (c.outcome == Outcome::PartialRead) {
            EXPECT_GT(got, claimed / 4);
        }
        // Seeking restarts the stream and must end too, whatever it answers.
        PackFileSeek(file, 0, SEEK_END);
        PackFileSeek(file, 1, SEEK_SET);
        char line[64];
        while (PackFileGets(line, sizeof line, file)) {
        }
        EXPECT_EQ(PackFileClose(file), 0);
    }
}

TEST_F(PackFileTest, ADamagedArchiveIsNotKeptAndTheUndamagedMemberStillReads)
{
    Sample sample = MakeSample();
    sample.bytes[sample.deflated.localHeaderOffset] = 'X';
    WriteBytes("Pack.qa", sample.bytes);
    EXPECT_EQ(PackFileOpen("Pack/Data/d.bin", "rb"), nullptr);
    // The archive itself indexed fine, so it stays open for its other members.
    EXPECT_TRUE(PackFileExists("Pack/Data/d.bin"));
    EXPECT_EQ(ReadWhole("Pack/Data/s.bin"), sample.storedText);

    sample.bytes[sample.endRecord] = 0;
    WriteBytes("Other.qa", sample.bytes);
    EXPECT_EQ(PackFileOpen("Other/Data/s.bin", "rb"), nullptr);
    EXPECT_FALSE(PackFileExists("Other/Data/s.bin")); // refused archives are not kept
}

// Every byte of the archive in turn set to a few values: whatever the damage, opening and reading
// every member ends, never reads past the claimed size, and never crashes.
TEST_F(PackFileTest, NoSingleDamagedByteCrashesOrHangsTheReader)
{
    const Sample sample = MakeSample();
    for (std::size_t at = 0; at < sample.bytes.size(); ++at) {
        for (const int value : {0x00, 0xFF, sample.bytes[at] ^ 0x80}) {
            std::vector<std::uint8_t> bytes = sample.bytes;
            bytes[at] = static_cast<std::uint8_t>(value);
            PackFileCloseArchives();
            WriteBytes("Pack.qa", bytes);
            for (const char* member : {"Pack/Data/s.bin", "Pack/Data/d.bin"}) {
                PackFile* file = PackFileOpen(member, "rt");
                if (!file)
                    continue;
                const std::size_t claimed = file->uncompressedSize;
                ASSERT_LE(ReadToEnd(file), claimed) << "byte " << at << " = " << value;
                PackFileSeek(file, 3, SEEK_SET);
                char line[32];
                while (PackFileGets(line, sizeof line, file)) {
                }
                PackFileClose(file);
            }
        }
    }
}

} // namespace
