#include "world/map/MapDescription.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <string>
#include <cstring>
#include <strings.h>
#include <unistd.h>
#include <utility>

#include "engine/core/FormatText.h"
#include "engine/core/LittleEndianReader.h"
#include "engine/filesystem/PackFile.h"
#include "platform/os/Path.h"

namespace {

constexpr int kRelativePathSize = 260;
constexpr std::int32_t kMaxMapSide = 4096; // cells; keeps the data blocks within reason
constexpr std::int32_t kMaxLibraryIndex = 32767;
// Bounds of the scalars: far beyond any map (4096 cells of 1000 units), well inside the range
// where cell and patch indices still fit an int.
constexpr float kMaxCoordinate = 1.0e7f;
constexpr float kMaxHeightScale = 1.0e4f;
constexpr float kMaxAngle = 1.0e4f;
constexpr float kMinCellSize = 0.01f;
constexpr float kMaxCellSize = 1000.0f;

void* DefaultOpen(const char* path) { return PackFileOpen(path, "rb"); }
void DefaultClose(void* handle) { PackFileClose(static_cast<PackFile*>(handle)); }
bool DefaultRead(void* handle, void* destination, std::size_t size)
{
    return PackFileRead(destination, size, 1, static_cast<PackFile*>(handle)) == 1;
}

// Cut to the field, the rest of which is zeroed (as strncpy would, without its warning for the cut
// it is asked to make).
void CopyText(char* destination, std::size_t size, const char* source)
{
    const std::size_t length = source ? strnlen(source, size - 1) : 0;
    if (length)
        std::memcpy(destination, source, length);
    std::memset(destination + length, 0, size - length);
}

template <std::size_t N>
void CopyText(char (&destination)[N], const char* source)
{
    CopyText(destination, N, source);
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// False for a name with a drive or a ".." part; a leading separator stays inside (it is joined to
// the base folder).
bool StaysInDataFolder(const char* name)
{
    if (name[0] && name[1] == ':')
        return false;
    for (const char* part = name; *part;) {
        const std::size_t length = std::strcspn(part, "/\\");
        if (length == 2 && part[0] == '.' && part[1] == '.')
            return false;
        part += length;
        if (*part)
            ++part;
    }
    return true;
}

// Reads the fields of one file through the map's callbacks, with the little-endian reader's rule:
// the first short read sticks and every read from then on yields zero.
class FieldReader {
public:
    FieldReader(void* file, MapReadCallback read) : file(file), read(read) {}

    bool Bytes(void* destination, std::size_t size)
    {
        if (size == 0)
            return ok;
        ok = ok && read(file, destination, size);
        if (!ok)
            std::memset(destination, 0, size);
        return ok;
    }
    template <std::size_t N>
    bool Text(char (&destination)[N])
    {
        static_assert(N >= 255);
        if (!Bytes(destination, 255))
            return false;
        destination[254] = '\0'; // a hostile field may lack its terminator
        return true;
    }
    bool Text(char* destination, std::size_t fieldSize)
    {
        if (!Bytes(destination, fieldSize))
            return false;
        destination[fieldSize - 1] = '\0';
        return true;
    }
    bool U32(std::uint32_t& value)
    {
        std::uint8_t b[4];
        Bytes(b, 4);
        value = LittleEndianReader(b, 4).U32();
        return ok;
    }
    bool I32(std::int32_t& value)
    {
        std::uint32_t raw;
        if (!U32(raw))
            return false;
        value = std::int32_t(raw);
        return true;
    }
    bool F32(float& value)
    {
        std::uint8_t b[4];
        Bytes(b, 4);
        value = LittleEndianReader(b, 4).F32();
        return ok;
    }
    // A data block, read in pieces: a file that ends early costs what it holds, not the block
    // its header claims.
    bool ByteBlock(std::vector<std::uint8_t>& block, std::size_t size)
    {
        constexpr std::size_t kPiece = std::size_t(1) << 20;
        block.clear();
        while (ok && block.size() < size) {
            const std::size_t at = block.size();
            block.resize(at + std::min(kPiece, size - at));
            Bytes(block.data() + at, block.size() - at);
        }
        return ok;
    }
    bool U16Block(std::vector<std::uint16_t>& block, std::size_t count)
    {
        std::vector<std::uint8_t> raw;
        if (!ByteBlock(raw, count * 2))
            return false;
        LittleEndianReader in(raw.data(), raw.size());
        block.resize(count);
        for (std::uint16_t& value : block)
            value = in.U16();
        return true;
    }
    bool good() const { return ok; }

private:
    void* file;
    MapReadCallback read;
    bool ok = true;
};

} // namespace

MapDescription::MapDescription() : openFile(DefaultOpen), closeFile(DefaultClose), readFile(DefaultRead)
{
    RestoreDefaults();
}

MapDescription::~MapDescription() = default;

void MapDescription::SetFileCallbacks(MapOpenCallback open, MapCloseCallback close, MapReadCallback read)
{
    openFile = open ? open : DefaultOpen;
    closeFile = close ? close : DefaultClose;
    readFile = read ? read : DefaultRead;
}

bool MapDescription::IsSupportedVersion(float version)
{
    return version == 116.0f || version == 117.0f || version == 118.0f || version == 119.0f;
}

void MapDescription::Reset(bool freeMaps)
{
    if (freeMaps) {
        heightData.clear();
        colorData.clear();
        waterData.clear();
    }
    library.clear();
    if (recordPool)
        while (firstRecord) {
            MapObjectRecord* next = firstRecord->next;
            recordPool->Free(firstRecord);
            firstRecord = next;
        }
    firstRecord = lastRecord = nullptr;
    recordCount = 0;
    RestoreDefaults();
}

void MapDescription::RestoreDefaults()
{
    CopyText(baseDirectory, ".");
    CopyText(title, "Unnamed");
    CopyText(tileDirectory, "Maps/tWorld/");
    CopyText(objectDirectory, "Maps/tWorld/");
    CopyText(cloudTexture, "Maps/Sky/clouds.tga");
    scalarA = 4.0f;
    heightScale = 1.0f;
    startPosition = Vector3();
    startRotation = Vector3();
    viewDistance = 1000.0f;
    cellSize = 15.0f;
    scalarI = 1;
    scalarJ = 70;
    scalarK = 100;
    for (auto& sky : skyModels)
        CopyText(sky, "Maps/Sky/skydome.q3d");
    static const float firstSet[LightTableCount] = {0.5f, 0.2f, 0.7f, 1.0f, 0.8f, 0.8f, 0.8f, 1.0f, 1.0f, 1.0f, 1.0f};
    static const float laterSets[LightTableCount] = {0.5f, 0.8f, 0.8f, 1.0f, 0.4f, 0.4f, 0.6f, 0.8f, 0.8f, 1.0f, 0.0f};
    static const float laterSky[kSets] = {1.0f, 0.1f, 0.3f, 0.7f, 0.65f};
    for (int table = 0; table < LightTableCount; ++table)
        for (int set = 0; set < kSets; ++set)
            lighting[table][set] = set == 0 ? firstSet[table] : laterSets[table];
    for (int set = 0; set < kSets; ++set)
        lighting[LightSkyValue][set] = laterSky[set];
    for (auto& slot : ambientSounds)
        for (auto& name : slot)
            CopyText(name, "-");
    std::memset(ambientParameters1, 0, sizeof(ambientParameters1));
    std::memset(ambientParameters2, 0, sizeof(ambientParameters2));
    width = height = 0;
    CopyText(heightMapName, "height.tga");
    CopyText(colorMapName, "color.tga");
    CopyText(waterPath, "Maps/Water/water");
    std::memset(groupNames, 0, sizeof(groupNames));
    groupCount = 0;
    CopyText(mapPath, "area.mpb");
}

LibraryEntry* MapDescription::AddLibraryEntry(const char* modelPath, const char* objectName, const char* groupName)
{
    if (!groupName || !groupName[0])
        groupName = "Imported";
    int group = -1;
    for (int i = 0; i < groupCount; ++i)
        if (std::strcmp(groupNames[i], groupName) == 0) {
            group = i;
            break;
        }
    if (group < 0) {
        if (groupCount >= kMaxGroups)
            return nullptr;
        group = groupCount++;
        CopyText(groupNames[group], groupName);
    }
    auto entry = std::make_unique<LibraryEntry>();
    CopyText(entry->modelPath, modelPath);
    CopyText(entry->objectName, objectName);
    entry->groupIndex = group;
    library.push_back(std::move(entry));
    return library.back().get();
}

MapObjectRecord* MapDescription::AddObjectRecord(int libraryIndex, float x, float y, float z, float qx, float qy,
                                                 float qz, float qw, float scale)
{
    if (!recordPool)
        recordPool = std::make_unique<NodePool<MapObjectRecord>>();
    MapObjectRecord* record = recordPool->Allocate();
    record->position = Vector3(x, y, z);
    record->rotation = Quaternion(qx, qy, qz, qw);
    record->scale = scale;
    record->libraryIndex = libraryIndex;
    record->next = nullptr;
    if (lastRecord)
        lastRecord->next = record;
    else
        firstRecord = record;
    lastRecord = record;
    ++recordCount;
    return record;
}

void MapDescription::RemoveObjectRecord(MapObjectRecord* record)
{
    MapObjectRecord* previous = nullptr;
    for (MapObjectRecord* r = firstRecord; r; previous = r, r = r->next) {
        if (r != record)
            continue;
        (previous ? previous->next : firstRecord) = r->next;
        if (lastRecord == r)
            lastRecord = previous;
        recordPool->Free(r);
        --recordCount;
        return;
    }
}

bool MapDescription::Load(const char* path)
{
    void* file = openFile(path);
    if (!file) {
        FormatText(lastError, "Can't open %s", path);
        return false;
    }
    FieldReader versionReader(file, readFile);
    float fileVersion = 0.0f;
    if (!versionReader.F32(fileVersion) || !IsSupportedVersion(fileVersion)) {
        closeFile(file);
        FormatText(lastError, "%s is not a map description of version 116 to 119", path);
        return false;
    }
    // Read into a fresh description, so that a file that turns out bad leaves this one as it was.
    MapDescription fresh;
    fresh.SetFileCallbacks(openFile, closeFile, readFile);
    CopyText(fresh.mapPath, path);
    const bool read = fresh.ReadContents(file, fileVersion);
    closeFile(file);
    if (!read) {
        FormatText(lastError, "Error loading %s: %s", path, fresh.lastError);
        return false;
    }
    fresh.version = version; // the stored version is not the file's
    std::swap(static_cast<MapDescriptionData&>(*this), static_cast<MapDescriptionData&>(fresh));
    lastError[0] = '\0';
    return true;
}

class MapDescription::Reader : public FieldReader {
public:
    using FieldReader::FieldReader;
};

bool MapDescription::ReadContents(void* file, float fileVersion)
{
    // The map's own folder, for the paths of old maps that are relative to it.
    char mapDirectory[kRelativePathSize] = {};
    const platform::os::PathParts parts = platform::os::SplitPath(mapPath);
    if (!parts.drive.empty()) {
        char current[kRelativePathSize] = {};
        if (!getcwd(current, sizeof(current) - 2))
            current[0] = '\0';
        std::strcat(current, "\\");
        const std::string joined = parts.drive + parts.dir;
        MakeRelativePath(mapDirectory, sizeof(mapDirectory), joined.c_str(), current);
    } else {
        CopyText(mapDirectory, parts.dir.c_str());
    }
    CopyText(baseDirectory, ".");

    Reader in(file, readFile);
    return ReadTerrain(in, fileVersion) && ReadScalars(in) && ReadEnvironment(in) && ReadLibrary(in) &&
           ReadPlacements(in) && SettlePaths(mapDirectory, fileVersion);
}

bool MapDescription::Ends(const char* what)
{
    FormatText(lastError, "the file ends early in %s", what);
    return false;
}

bool MapDescription::ReadTerrain(Reader& in, float fileVersion)
{
    std::uint32_t w = 0, h = 0;
    if (!in.Text(title, kTitleSize) || !in.U32(w) || !in.U32(h))
        return Ends("the header");
    if (w > std::uint32_t(kMaxMapSide) || h > std::uint32_t(kMaxMapSide)) {
        FormatText(lastError, "the map size %u x %u is larger than %d x %d cells", w, h, kMaxMapSide, kMaxMapSide);
        return false;
    }
    width = std::int32_t(w);
    height = std::int32_t(h);
    const std::size_t cells = std::size_t(w) * h;
    if (!in.Text(heightMapName))
        return Ends("the height map name");
    if (!in.ByteBlock(heightData, cells * 3))
        return Ends("the height data");
    if (!in.Text(colorMapName) || !in.U16Block(colorData, cells))
        return Ends("the colour data");
    if (!in.Text(waterPath) || !in.U16Block(waterData, std::size_t(w / 16) * h / 16))
        return Ends("the water data");
    if (fileVersion == 116.0f)
        CopyText(waterPath, "../Water/water");
    if (!in.Text(tileDirectory) || !in.Text(objectDirectory) || !in.Text(cloudTexture))
        return Ends("the folders");
    return true;
}

bool MapDescription::ReadScalars(Reader& in)
{
    if (!in.F32(scalarA) || !in.F32(heightScale) || !in.F32(startPosition.x) || !in.F32(startPosition.y) ||
        !in.F32(startPosition.z) || !in.F32(startRotation.x) || !in.F32(startRotation.y) ||
        !in.F32(startRotation.z) || !in.F32(viewDistance) || !in.F32(cellSize) || !in.I32(scalarI) ||
        !in.I32(scalarJ) || !in.I32(scalarK))
        return Ends("the scalars");
    // The scalars become cell indices, positions and distances: a value that is not a number or
    // lies beyond any map would turn into garbage where it is converted.
    const struct {
        const char* name;
        float value, low, high;
    } scalars[] = {
        {"scalar A", scalarA, -kMaxCoordinate, kMaxCoordinate},
        {"height scale", heightScale, -kMaxHeightScale, kMaxHeightScale},
        {"start x", startPosition.x, -kMaxCoordinate, kMaxCoordinate},
        {"start y", startPosition.y, -kMaxCoordinate, kMaxCoordinate},
        {"start z", startPosition.z, -kMaxCoordinate, kMaxCoordinate},
        {"start rotation x", startRotation.x, -kMaxAngle, kMaxAngle},
        {"start rotation y", startRotation.y, -kMaxAngle, kMaxAngle},
        {"start rotation z", startRotation.z, -kMaxAngle, kMaxAngle},
        {"view distance", viewDistance, -kMaxCoordinate, kMaxCoordinate},
        {"cell size", cellSize, kMinCellSize, kMaxCellSize},
    };
    for (const auto& scalar : scalars)
        if (!(scalar.value >= scalar.low && scalar.value <= scalar.high)) {
            FormatText(lastError, "the %s %g is outside %g to %g", scalar.name, double(scalar.value),
                       double(scalar.low), double(scalar.high));
            return false;
        }
    return true;
}

bool MapDescription::ReadEnvironment(Reader& in)
{
    for (auto& sky : skyModels) {
        if (!in.Text(sky))
            return Ends("the sky models");
        const std::size_t length = std::strlen(sky);
        if (length >= 4 && strcasecmp(sky + length - 4, ".tga") == 0)
            CopyText(sky, "Maps/Sky/skydome.q3d");
    }
    for (int table = 0; table < LightTableCount; ++table)
        for (int set = 0; set < kSets; ++set) {
            float& value = lighting[table][set];
            if (!in.F32(value))
                return Ends("the lighting tables");
            if (!std::isfinite(value)) {
                FormatText(lastError, "lighting table %d of set %d is not a number", table, set);
                return false;
            }
        }
    for (auto& slot : ambientSounds)
        for (auto& name : slot)
            if (!in.Text(name))
                return Ends("the ambient sounds");
    for (auto* table : {&ambientParameters1, &ambientParameters2})
        for (auto& slot : *table)
            for (float& value : slot) {
                if (!in.F32(value))
                    return Ends("the ambient sound parameters");
                if (!std::isfinite(value)) {
                    FormatText(lastError, "an ambient sound parameter is not a number");
                    return false;
                }
            }
    return true;
}

bool MapDescription::ReadLibrary(Reader& in)
{
    std::int32_t fileGroups = 0;
    if (!in.I32(fileGroups))
        return Ends("the group count");
    if (fileGroups < 0 || fileGroups > kMaxGroups) {
        FormatText(lastError, "the group count %d is outside 0 to %d", fileGroups, kMaxGroups);
        return false;
    }
    // The stored names only serve to look up the entries' groups; AddLibraryEntry rebuilds the list.
    std::vector<std::array<char, kPathSize>> storedGroups(static_cast<std::size_t>(fileGroups));
    for (auto& name : storedGroups)
        if (!in.Text(name.data(), name.size()))
            return Ends("the group names");

    std::int32_t entryCount = 0;
    if (!in.I32(entryCount))
        return Ends("the library count");
    if (entryCount < 0) {
        FormatText(lastError, "the library count %d is negative", entryCount);
        return false;
    }
    for (std::int32_t i = 0; i < entryCount; ++i) {
        LibraryEntry stored;
        std::uint8_t padding[3], link[4];
        std::int32_t group = 0;
        if (!in.Text(stored.modelPath) || !in.Text(stored.objectName))
            return Ends("the library entries");
        for (auto& text : stored.propText)
            if (!in.Text(text))
                return Ends("the library entries");
        if (!in.Bytes(padding, 3) || !in.I32(group) || !in.I32(stored.libraryValue) || !in.Bytes(link, 4))
            return Ends("the library entries");
        const char* groupName = group >= 0 && group < fileGroups ? storedGroups[std::size_t(group)].data() : "";
        LibraryEntry* entry = AddLibraryEntry(stored.modelPath, stored.objectName, groupName);
        if (!entry) {
            FormatText(lastError, "library entry %d needs more than %d groups", i, kMaxGroups);
            return false;
        }
        entry->libraryValue = stored.libraryValue;
        std::memcpy(entry->propText, stored.propText, sizeof(stored.propText));
    }
    return true;
}

bool MapDescription::ReadPlacements(Reader& in)
{
    std::int32_t placements = 0;
    if (!in.I32(placements))
        return Ends("the placement count");
    if (placements < 0) {
        FormatText(lastError, "the placement count %d is negative", placements);
        return false;
    }
    for (std::int32_t i = 0; i < placements; ++i) {
        float values[8];
        std::int32_t index = 0;
        std::uint8_t link[4];
        for (float& value : values)
            if (!in.F32(value))
                return Ends("the placements");
        if (!in.I32(index) || !in.Bytes(link, 4))
            return Ends("the placements");
        if (index < 0 || index > kMaxLibraryIndex) {
            FormatText(lastError, "placement %d names library entry %d", i, index);
            return false;
        }
        // Position, rotation and scale become cell and patch indices when the object is placed.
        for (float value : values)
            if (!(std::fabs(value) <= kMaxCoordinate)) {
                FormatText(lastError, "placement %d holds the value %g", i, double(value));
                return false;
            }
        AddObjectRecord(index, values[0], values[1], values[2], values[3], values[4], values[5], values[6],
                        values[7]);
    }
    return true;
}

bool MapDescription::SettlePaths(const char* mapDirectory, float fileVersion)
{
    if (fileVersion == 116.0f) {
        const auto resolve = [&mapDirectory](char* field) {
            char resolved[kRelativePathSize];
            ResolveRelativePath(resolved, mapDirectory, field);
            CopyText(field, kPathSize, resolved);
        };
        resolve(tileDirectory);
        resolve(objectDirectory);
        resolve(cloudTexture);
        resolve(waterPath);
        for (auto& sky : skyModels)
            resolve(sky);
        for (auto& slot : ambientSounds)
            for (auto& name : slot)
                if (name[0] && name[0] != '-')
                    resolve(name);
        for (auto& entry : library)
            resolve(entry->modelPath);
    }
    // Names are opened below the data folder; one that climbs out of it names no data of the map.
    const auto refuseOutside = [this](const char* what, const char* name) {
        if (StaysInDataFolder(name))
            return false;
        FormatText(lastError, "the %s \"%s\" leads outside the data folder", what, name);
        return true;
    };
    if (refuseOutside("height map name", heightMapName) || refuseOutside("colour map name", colorMapName) ||
        refuseOutside("water path", waterPath) || refuseOutside("tile folder", tileDirectory) ||
        refuseOutside("object folder", objectDirectory) || refuseOutside("cloud texture", cloudTexture))
        return false;
    for (const auto& sky : skyModels)
        if (refuseOutside("sky model", sky))
            return false;
    for (const auto& slot : ambientSounds)
        for (const auto& name : slot)
            if (refuseOutside("ambient sound", name))
                return false;
    for (const auto& entry : library)
        if (refuseOutside("model path", entry->modelPath))
            return false;
    // Names are joined directly to the base folder "."; a leading separator only separates, so it
    // goes here, before any loader could take the name as absolute.
    const auto dropLeadingSeparators = [](char* name) {
        const std::size_t skip = std::strspn(name, "/\\");
        if (skip)
            std::memmove(name, name + skip, std::strlen(name + skip) + 1);
    };
    for (char* name : {heightMapName, colorMapName, waterPath, tileDirectory, objectDirectory, cloudTexture})
        dropLeadingSeparators(name);
    for (auto& sky : skyModels)
        dropLeadingSeparators(sky);
    for (auto& slot : ambientSounds)
        for (auto& name : slot)
            dropLeadingSeparators(name);
    for (auto& entry : library)
        dropLeadingSeparators(entry->modelPath);
    return true;
}

void ResolveRelativePath(char* destination, const char* base, const char* relative)
{
    char baseCopy[kRelativePathSize];
    char relativeCopy[kRelativePathSize];
    CopyText(baseCopy, base);
    CopyText(relativeCopy, relative);
    const char* rest = relativeCopy;
    while (rest[0] == '.') {
        if (rest[1] == '.') {
            rest += std::strlen(rest) >= 3 ? 3 : std::strlen(rest);
            // Cut the base after its second-to-last separator.
            int separators = 0;
            int cut = -1;
            for (int i = int(std::strlen(baseCopy)) - 1; i >= 0; --i)
                if (IsSeparator(baseCopy[i]) && ++separators == 2) {
                    cut = i + 1;
                    break;
                }
            baseCopy[cut < 0 ? 0 : cut] = '\0';
        } else if (IsSeparator(rest[1])) {
            rest += 2;
        } else {
            break;
        }
    }
    char result[2 * kRelativePathSize];
    std::snprintf(result, sizeof(result), "%s%s", baseCopy, rest);
    CopyText(destination, kRelativePathSize, result);
}

void MakeRelativePath(char* destination, std::size_t size, const char* path, const char* directory)
{
    std::memset(destination, 0, size);
    std::size_t common = 0;
    while (path[common] && directory[common] &&
           std::tolower(static_cast<unsigned char>(path[common])) ==
               std::tolower(static_cast<unsigned char>(directory[common])))
        ++common;
    std::size_t split = 0;
    for (std::size_t i = 0; i < common; ++i)
        if (IsSeparator(path[i]))
            split = i + 1;
    const char* pathRest = path + split;
    const char* directoryRest = directory + split;
    while (IsSeparator(*pathRest))
        ++pathRest;
    while (IsSeparator(*directoryRest))
        ++directoryRest;
    std::string result;
    for (const char* c = directoryRest; *c; ++c)
        if (*c == '\\')
            result += "..\\";
    result += pathRest;
    CopyText(destination, size, result.c_str());
}
