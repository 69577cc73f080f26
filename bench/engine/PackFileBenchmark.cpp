// Reading every member of a ~50 MB archive through the pack-file layer, against zlib's raw inflate
// used directly on the same members and against plain files of the same sizes; and opening,
// reading and closing many small members, against the C library doing the same to plain files.

#include "bench/support/BenchmarkCommandLine.h"
#include "engine/filesystem/PackFile.h"
#include "tools/demodata/writers/ZipWriter.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kDeflatedMembers = 24;
constexpr std::size_t kDeflatedMemberSize = 2 << 20;
constexpr int kStoredMembers = 24;
constexpr std::size_t kStoredMemberSize = 1400 << 10;
// Most of the game's files are small (configuration, particle and material files, sounds): the
// cost of finding and opening a member then outweighs reading it.
constexpr int kSmallMembers = 1000;
constexpr std::size_t kSmallMemberSize = 4 << 10;

struct Member {
    std::string path;      // as the game would ask for it
    std::string plainPath; // stored members only: a plain file with the same bytes
    std::uint32_t dataOffset = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t size = 0;
};

// Game-like data in 16 KiB blocks: text, smooth vertex floats and incompressible noise.
std::vector<std::uint8_t> MixedData(std::size_t size, std::uint32_t seed, bool noiseOnly)
{
    static const char* const kWords[] = {"soldier ", "waypoint ", "12.5 ", "-3 ", "tree\n", "vehicle ", "0 "};
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t state = seed * 2654435761u + 1;
    const auto next = [&state] { return state = state * 1664525u + 1013904223u; };
    for (std::size_t block = 0; block < size; block += 16384) {
        const std::size_t end = std::min(size, block + 16384);
        const int kind = noiseOnly ? 2 : static_cast<int>(next() >> 28) % 4; // noise in about a quarter
        std::size_t i = block;
        if (kind == 0 || kind == 3) {
            while (i < end) {
                for (const char* c = kWords[(next() >> 24) % 7]; *c && i < end; ++c)
                    bytes[i++] = static_cast<std::uint8_t>(*c);
            }
        } else if (kind == 1) {
            for (float t = static_cast<float>(block); i + 4 <= end; t += 1.0f) {
                const float value = std::round(std::sin(t * 0.01f) * 512.0f) / 16.0f;
                std::uint32_t bits;
                std::memcpy(&bits, &value, 4);
                for (int b = 0; b < 4; ++b)
                    bytes[i++] = static_cast<std::uint8_t>(bits >> (8 * b));
            }
            while (i < end)
                bytes[i++] = 0;
        } else {
            while (i < end)
                bytes[i++] = static_cast<std::uint8_t>(next() >> 24);
        }
    }
    return bytes;
}

void WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

// The archive Bench.qa and the plain copies, made once in a temporary folder that becomes the
// working folder, as the game's data folder is.
class BenchData {
public:
    BenchData()
    {
        std::string pattern = (fs::temp_directory_path() / "bexal-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        root = pattern;
        fs::current_path(root);

        ZipWriter zip;
        for (int i = 0; i < kDeflatedMembers; ++i) {
            const std::string name = "Deflated/m" + std::to_string(i) + ".bin";
            zip.Add(name, MixedData(kDeflatedMemberSize, i, false), ZipWriter::Method::Deflated);
            deflated.push_back({"Bench/" + name, "", 0, 0, 0});
        }
        for (int i = 0; i < kStoredMembers; ++i) {
            const std::string name = "Stored/m" + std::to_string(i) + ".bin";
            const std::vector<std::uint8_t> bytes = MixedData(kStoredMemberSize, 1000 + i, true);
            zip.Add(name, bytes, ZipWriter::Method::Stored);
            WriteFile(root / "Plain" / ("m" + std::to_string(i) + ".bin"), bytes);
            stored.push_back({"Bench/" + name, "Plain/m" + std::to_string(i) + ".bin", 0, 0, 0});
        }
        for (int i = 0; i < kSmallMembers; ++i) {
            const std::string name = "Small/s" + std::to_string(i) + ".bin";
            const std::vector<std::uint8_t> bytes = MixedData(kSmallMemberSize, 5000 + i, false);
            zip.Add(name, bytes, ZipWriter::Method::Stored);
            WriteFile(root / "PlainSmall" / ("s" + std::to_string(i) + ".bin"), bytes);
            small.push_back({"Bench/" + name, "PlainSmall/s" + std::to_string(i) + ".bin", 0, 0, 0});
        }
        // The same bytes deflated: the plain copies above are their baseline too.
        for (int i = 0; i < kSmallMembers; ++i) {
            const std::string name = "SmallDeflated/s" + std::to_string(i) + ".bin";
            zip.Add(name, MixedData(kSmallMemberSize, 5000 + i, false), ZipWriter::Method::Deflated);
            smallDeflated.push_back({"Bench/" + name, "PlainSmall/s" + std::to_string(i) + ".bin", 0, 0, 0});
        }
        // As in the game's data, the members' folders also exist on disk (holding other files),
        // so that a lookup lists the folder before it turns to the archive.
        for (const char* folder : {"Small", "SmallDeflated"})
            WriteFile(root / "Bench" / folder / "loose.txt", {'x'});
        const std::vector<std::uint8_t> archive = zip.Finish();
        archiveSize = archive.size();
        WriteFile(root / "Bench.qa", archive);
        for (int i = 0; i < kDeflatedMembers; ++i)
            Fill(deflated[i], zip.Entries()[i]);
        for (int i = 0; i < kStoredMembers; ++i)
            Fill(stored[i], zip.Entries()[kDeflatedMembers + i]);
        for (int i = 0; i < kSmallMembers; ++i)
            Fill(small[i], zip.Entries()[kDeflatedMembers + kStoredMembers + i]);
        for (int i = 0; i < kSmallMembers; ++i)
            Fill(smallDeflated[i], zip.Entries()[kDeflatedMembers + kStoredMembers + kSmallMembers + i]);
        PackFileSetArchiveExtension(".qa");
        for (const fs::path& folder : {root, root / "Bench", root / "Bench" / "Small", root / "Bench" / "SmallDeflated"})
            WaitUntilSettled(folder);
        output.resize(std::max(kDeflatedMemberSize, kStoredMemberSize));
        std::memset(output.data(), 1, output.size());
    }

    ~BenchData()
    {
        PackFileCloseArchives();
        std::error_code ignored;
        fs::current_path(fs::temp_directory_path(), ignored);
        fs::remove_all(root, ignored);
    }

    static BenchData& Get()
    {
        static BenchData data;
        return data;
    }

    fs::path root;
    std::size_t archiveSize = 0;
    std::vector<Member> deflated;
    std::vector<Member> stored;
    std::vector<Member> small; // stored 4 KiB members, each with a plain copy
    std::vector<Member> smallDeflated; // the same deflated, with the same plain copies
    std::vector<char> output;

private:
    // The file layer re-reads a folder on every lookup for a few seconds after the folder
    // changed (its times could not yet tell a later change apart); the game's data folders are
    // long settled, so the measurements start once the new one is too.
    static void WaitUntilSettled(const fs::path& folder)
    {
        struct stat info;
        if (::stat(folder.c_str(), &info) != 0)
            throw std::runtime_error("cannot stat " + folder.string());
        const auto changed = std::chrono::system_clock::time_point(
            std::chrono::seconds(info.st_ctim.tv_sec) +
            std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::nanoseconds(info.st_ctim.tv_nsec)));
        std::this_thread::sleep_until(changed + std::chrono::seconds(3));
    }

    static void Fill(Member& member, const ZipWriter::EntryLayout& layout)
    {
        member.dataOffset = layout.dataOffset;
        member.compressedSize = layout.compressedSize;
        member.size = layout.uncompressedSize;
    }
};

std::int64_t TotalSize(const std::vector<Member>& members)
{
    std::int64_t total = 0;
    for (const Member& member : members)
        total += member.size;
    return total;
}

// Each member opened, read whole in one call and closed, as the loaders do.
void ReadThroughPackFile(benchmark::State& state, const std::vector<Member>& members)
{
    BenchData& data = BenchData::Get();
    for (auto _ : state) {
        for (const Member& member : members) {
            PackFile* file = PackFileOpen(member.path.c_str(), "rb");
            if (!file || PackFileRead(data.output.data(), 1, member.size, file) != member.size) {
                state.SkipWithError("pack-file read failed");
                PackFileClose(file);
                return;
            }
            PackFileClose(file);
        }
        benchmark::DoNotOptimize(data.output.data());
    }
    state.SetBytesProcessed(state.iterations() * TotalSize(members));
    state.counters["archive_MB"] = static_cast<double>(data.archiveSize) / 1e6;
}

void BM_PackFileReadDeflated(benchmark::State& state)
{
    ReadThroughPackFile(state, BenchData::Get().deflated);
}

void BM_PackFileReadStored(benchmark::State& state)
{
    ReadThroughPackFile(state, BenchData::Get().stored);
}

// The same members inflated with zlib directly: the compressed bytes read from the archive in
// 64 KiB blocks and raw-inflated into the output.
void BM_ZlibInflateDirect(benchmark::State& state)
{
    BenchData& data = BenchData::Get();
    std::vector<unsigned char> input(65536);
    for (auto _ : state) {
        std::FILE* archive = std::fopen("Bench.qa", "rb");
        for (const Member& member : data.deflated) {
            std::fseek(archive, static_cast<long>(member.dataOffset), SEEK_SET);
            z_stream stream{};
            inflateInit2(&stream, -15);
            stream.next_out = reinterpret_cast<Bytef*>(data.output.data());
            stream.avail_out = member.size;
            std::uint32_t left = member.compressedSize;
            int result = Z_OK;
            while (result == Z_OK) {
                if (stream.avail_in == 0 && left > 0) {
                    const std::size_t got = std::fread(input.data(), 1, std::min<std::size_t>(left, input.size()), archive);
                    left -= static_cast<std::uint32_t>(got);
                    stream.next_in = input.data();
                    stream.avail_in = static_cast<uInt>(got);
                }
                result = inflate(&stream, Z_SYNC_FLUSH);
            }
            inflateEnd(&stream);
            if (result != Z_STREAM_END || stream.total_out != member.size) {
                state.SkipWithError("inflate failed");
                std::fclose(archive);
                return;
            }
        }
        std::fclose(archive);
        benchmark::DoNotOptimize(data.output.data());
    }
    state.SetBytesProcessed(state.iterations() * TotalSize(data.deflated));
}

// Plain files with the members' bytes, each opened, read whole and closed with the C library.
void ReadPlainFiles(benchmark::State& state, const std::vector<Member>& members)
{
    BenchData& data = BenchData::Get();
    for (auto _ : state) {
        for (const Member& member : members) {
            std::FILE* file = std::fopen(member.plainPath.c_str(), "rb");
            if (!file || std::fread(data.output.data(), 1, member.size, file) != member.size) {
                state.SkipWithError("plain read failed");
                if (file)
                    std::fclose(file);
                return;
            }
            std::fclose(file);
        }
        benchmark::DoNotOptimize(data.output.data());
    }
    state.SetBytesProcessed(state.iterations() * TotalSize(members));
}

void BM_PlainFileRead(benchmark::State& state)
{
    ReadPlainFiles(state, BenchData::Get().stored);
}

// Small files: the pack-file layer first tries the path as a plain file (which does not exist,
// as with the game's archived data, though its folder does), then finds the member in the open
// archive.
void BM_PackFileReadSmall(benchmark::State& state)
{
    ReadThroughPackFile(state, BenchData::Get().small);
    state.SetItemsProcessed(state.iterations() * kSmallMembers);
}

void BM_PackFileReadSmallDeflated(benchmark::State& state)
{
    ReadThroughPackFile(state, BenchData::Get().smallDeflated);
    state.SetItemsProcessed(state.iterations() * kSmallMembers);
}

void BM_PlainFileReadSmall(benchmark::State& state)
{
    ReadPlainFiles(state, BenchData::Get().small);
    state.SetItemsProcessed(state.iterations() * kSmallMembers);
}

BENCHMARK(BM_PackFileReadDeflated)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibInflateDirect)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PackFileReadStored)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainFileRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PackFileReadSmall)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PackFileReadSmallDeflated)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainFileReadSmall)->Unit(benchmark::kMicrosecond);

} // namespace

BEXAL_BENCHMARK_MAIN()
