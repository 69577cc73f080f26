#include "mission/files/MissionDefinition.h"

#include "engine/core/EngineLog.h"
#include "engine/core/LittleEndianReader.h"
#include "engine/core/q3DError.h"
#include "engine/filesystem/PackFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// Header bytes after the version that a file of each version holds, and for versions 3 and 4 the
// further bytes that follow a 256-byte block the reader skips.
constexpr std::size_t OldPrefixSize = 2232;     // versions 4 and below: through offset 2235
constexpr std::size_t OldSkippedSize = 256;
constexpr std::size_t OldExtraOffset = 2236;
constexpr std::size_t Version3ExtraSize = 42324; // up to the end of the briefing texts
constexpr std::size_t Version4ExtraSize = 42068;

std::size_t HeaderPrefixSize(int version)
{
    switch (version) {
    case 5: return 45068; // through aiStatsFile
    case 6: return 45324; // through musicFile1
    case 7: return 45580; // through musicFile2
    default: return version <= 4 ? OldPrefixSize : MissionDefinition::HeaderSize - 4;
    }
}

std::size_t OldExtraSize(int version)
{
    if (version == 3)
        return Version3ExtraSize;
    if (version == 4)
        return Version4ExtraSize;
    return 0;
}

// A cursor over a record being read (of a known size, so a field never reads past it); every text
// gets a terminator in its last byte when it has none, so that no reader runs past its field.
class RecordReader {
public:
    RecordReader(const std::uint8_t* bytes, std::size_t size, std::vector<std::string>* unterminated)
        : in(bytes, size), unterminated(unterminated)
    {
    }

    std::int32_t Int() { return in.I32(); }
    template <std::size_t N>
    void Ints(std::int32_t (&values)[N])
    {
        for (std::int32_t& value : values)
            value = Int();
    }
    template <std::size_t N>
    void Text(char (&text)[N], const std::string& name)
    {
        in.Bytes(text, N);
        if (!std::memchr(text, '\0', N)) {
            text[N - 1] = '\0';
            if (unterminated)
                unterminated->push_back(name);
        }
    }
    template <std::size_t N>
    void Bytes(std::uint8_t (&block)[N])
    {
        in.Bytes(block, N);
    }
    std::uint8_t Byte() { return in.U8(); }
    void Skip(std::size_t count) { in.Skip(count); }

private:
    LittleEndianReader in;
    std::vector<std::string>* unterminated;
};

class RecordWriter {
public:
    explicit RecordWriter(std::uint8_t* bytes) : bytes(bytes) {}

    void Int(std::int32_t value)
    {
        const std::uint32_t bits = std::uint32_t(value);
        for (int shift = 0; shift < 32; shift += 8)
            bytes[at++] = std::uint8_t(bits >> shift);
    }
    template <std::size_t N>
    void Ints(const std::int32_t (&values)[N])
    {
        for (std::int32_t value : values)
            Int(value);
    }
    template <std::size_t N>
    void Text(const char (&text)[N])
    {
        std::memcpy(bytes + at, text, N);
        at += N;
    }
    template <std::size_t N>
    void Bytes(const std::uint8_t (&block)[N])
    {
        std::memcpy(bytes + at, block, N);
        at += N;
    }
    void Byte(std::uint8_t value) { bytes[at++] = value; }
    void Zeros(std::size_t count)
    {
        std::memset(bytes + at, 0, count);
        at += count;
    }
    std::size_t Offset() const { return at; }

private:
    std::uint8_t* bytes;
    std::size_t at = 0;
};

template <std::size_t N>
void SetText(char (&field)[N], const char* text)
{
    std::memset(field, 0, N);
    std::strncpy(field, text, N - 1);
}

void ReadExactly(PackFile* file, std::uint8_t* bytes, std::size_t size, const char* path, const char* part)
{
    if (PackFileRead(bytes, 1, size, file) != size)
        throw q3DError("Unexpected end of %s in the %s", path, part);
}

} // namespace

MissionObjective::MissionObjective()
{
    std::fill(std::begin(targets), std::end(targets), -1);
}

void MissionObjective::ReadRecord(const std::uint8_t* record, std::vector<std::string>* unterminated)
{
    RecordReader in(record, RecordSize, unterminated);
    kind = in.Int();
    in.Text(text, "text");
    in.Text(completionText, "completionText");
    in.Text(soundFile, "soundFile");
    in.Ints(prerequisites);
    in.Ints(targets);
    in.Bytes(reserved);
    completed = in.Byte();
}

void MissionObjective::WriteRecord(std::uint8_t* record) const
{
    RecordWriter out(record);
    out.Int(kind);
    out.Text(text);
    out.Text(completionText);
    out.Text(soundFile);
    out.Ints(prerequisites);
    out.Ints(targets);
    out.Bytes(reserved);
    out.Byte(completed);
    out.Zeros(3);
}

MissionDefinition::MissionDefinition()
{
    Reset();
}

void MissionDefinition::Reset()
{
    version = CurrentVersion;
    std::memset(title, 0, sizeof(title));
    std::memset(mapPath, 0, sizeof(mapPath));
    std::memset(carriedPath1, 0, sizeof(carriedPath1));
    std::memset(briefingImage, 0, sizeof(briefingImage));
    briefingImageX = 128;
    briefingImageY = 128;
    objectiveCount = 0;
    FreeObjectives();
    std::fill(std::begin(requiredItems), std::end(requiredItems), -1);
    std::fill(std::begin(protectedTargets), std::end(protectedTargets), -1);
    std::memset(soldierNames, 0, sizeof(soldierNames));
    std::memset(soldierModels, 0, sizeof(soldierModels));
    std::memset(soldierItems, 0, sizeof(soldierItems));
    std::fill(std::begin(soldierValues), std::end(soldierValues), 1);
    carriedValue = -1;
    std::memset(carriedPath2, 0, sizeof(carriedPath2));
    std::memset(artImage, 0, sizeof(artImage));
    std::memset(carriedPath3, 0, sizeof(carriedPath3));
    std::memset(overallObjective, 0, sizeof(overallObjective));
    std::memset(briefingTexts, 0, sizeof(briefingTexts));
    std::memset(briefingMovie, 0, sizeof(briefingMovie));
    SetText(aiStatsFile, "GameData/AI/AIStats.txt");
    SetText(musicFile1, "Sound/Music/LongAmbient01.ogg");
    SetText(musicFile2, "Sound/Music/LongAmbient02.ogg");
    SetText(voiceFolder, "Sound/Voice");
}

void MissionDefinition::FreeObjectives()
{
    std::vector<MissionObjective>().swap(objectives);
}

void MissionDefinition::ReadHeader(const std::uint8_t* header, std::vector<std::string>* unterminated)
{
    RecordReader in(header, HeaderSize, unterminated);
    version = in.Int();
    in.Text(title, "title");
    in.Text(mapPath, "mapPath");
    in.Text(carriedPath1, "path at 516");
    in.Text(briefingImage, "briefingImage");
    briefingImageX = in.Int();
    briefingImageY = in.Int();
    objectiveCount = in.Int();
    in.Skip(4); // the objective pointer of the record the file was written from
    in.Ints(requiredItems);
    in.Ints(protectedTargets);
    for (int soldier = 0; soldier < SoldierCount; ++soldier)
        in.Text(soldierNames[soldier], "soldierNames[" + std::to_string(soldier) + "]");
    for (int soldier = 0; soldier < SoldierCount; ++soldier)
        in.Text(soldierModels[soldier], "soldierModels[" + std::to_string(soldier) + "]");
    for (int soldier = 0; soldier < SoldierCount; ++soldier)
        for (int item = 0; item < ItemsPerSoldier; ++item)
            in.Text(soldierItems[soldier][item],
                    "soldierItems[" + std::to_string(soldier) + "][" + std::to_string(item) + "]");
    in.Ints(soldierValues);
    carriedValue = in.Int();
    in.Text(carriedPath2, "path at 2768");
    in.Text(artImage, "artImage");
    in.Text(carriedPath3, "path at 3280");
    in.Text(overallObjective, "overallObjective");
    for (int page = 0; page < BriefingTextCount; ++page)
        in.Text(briefingTexts[page], "briefingTexts[" + std::to_string(page) + "]");
    in.Text(briefingMovie, "briefingMovie");
    in.Text(aiStatsFile, "aiStatsFile");
    in.Text(musicFile1, "musicFile1");
    in.Text(musicFile2, "musicFile2");
    in.Text(voiceFolder, "voiceFolder");
}

void MissionDefinition::WriteHeader(std::uint8_t* header) const
{
    RecordWriter out(header);
    out.Int(version);
    out.Text(title);
    out.Text(mapPath);
    out.Text(carriedPath1);
    out.Text(briefingImage);
    out.Int(briefingImageX);
    out.Int(briefingImageY);
    out.Int(objectiveCount);
    out.Zeros(4);
    out.Ints(requiredItems);
    out.Ints(protectedTargets);
    for (const auto& name : soldierNames)
        out.Text(name);
    for (const auto& model : soldierModels)
        out.Text(model);
    for (const auto& items : soldierItems)
        for (const auto& item : items)
            out.Text(item);
    out.Ints(soldierValues);
    out.Int(carriedValue);
    out.Text(carriedPath2);
    out.Text(artImage);
    out.Text(carriedPath3);
    out.Text(overallObjective);
    for (const auto& page : briefingTexts)
        out.Text(page);
    out.Text(briefingMovie);
    out.Text(aiStatsFile);
    out.Text(musicFile1);
    out.Text(musicFile2);
    out.Text(voiceFolder);
}

bool MissionDefinition::Load(const char* path)
{
    Reset();
    PackFileHandle file(PackFileOpen(path, "rb"));
    if (!file)
        return false;
    try {
        // Older files hold a prefix of the header, so the file's bytes are laid over the bytes of
        // a reset definition and the whole record is then read field by field.
        std::vector<std::uint8_t> header(HeaderSize);
        WriteHeader(header.data());
        ReadExactly(file.get(), header.data(), 4, path, "mission version");
        const std::int32_t fileVersion = LittleEndianReader(header.data(), 4).I32();
        if (fileVersion < 1)
            throw q3DError("Unknown mission file version %d in %s", fileVersion, path);
        ReadExactly(file.get(), header.data() + 4, HeaderPrefixSize(fileVersion), path, "mission header");
        if (const std::size_t extra = OldExtraSize(fileVersion)) {
            std::uint8_t skipped[OldSkippedSize];
            ReadExactly(file.get(), skipped, sizeof(skipped), path, "mission header");
            ReadExactly(file.get(), header.data() + OldExtraOffset, extra, path, "mission header");
        }
        std::vector<std::string> unterminated;
        ReadHeader(header.data(), &unterminated);
        for (const std::string& field : unterminated)
            LogToEngine("%s: the text %s has no terminator; cut to its field", path, field.c_str());

        // The count decides an allocation, so it must fit the bytes the file still holds.
        const long position = PackFileTell(file.get());
        const std::uint64_t size = file->uncompressedSize;
        const std::uint64_t remaining =
            position >= 0 && std::uint64_t(position) <= size ? size - std::uint64_t(position) : 0;
        if (objectiveCount < 0 || std::uint64_t(objectiveCount) * MissionObjective::RecordSize > remaining)
            throw q3DError("Invalid objective count %d in %s", objectiveCount, path);

        objectives.resize(std::size_t(objectiveCount));
        std::vector<std::uint8_t> record(MissionObjective::RecordSize);
        for (int index = 0; index < objectiveCount; ++index) {
            ReadExactly(file.get(), record.data(), record.size(), path, "mission objectives");
            unterminated.clear();
            objectives[std::size_t(index)].ReadRecord(record.data(), &unterminated);
            for (const std::string& field : unterminated)
                LogToEngine("%s: the text %s of objective %d has no terminator; cut to its field", path, field.c_str(),
                        index + 1);
        }
    } catch (const q3DError&) {
        Reset();
        throw;
    }
    return true;
}
