#include "tests/fuzz/ReaderEntries.h"

#include <cmath>
#include <cstring>
#include <string_view>

#include "world/map/MapDescription.h"

namespace readers {

namespace {

// The file the map reader's callbacks serve: one at a time.
struct MemoryFile {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t position = 0;
};
MemoryFile served;

void* OpenServed(const char*) { return &served; }
void CloseServed(void*) {}
bool ReadServed(void* handle, void* destination, std::size_t size)
{
    auto* file = static_cast<MemoryFile*>(handle);
    if (size > file->size - file->position)
        return false;
    std::memcpy(destination, file->data + file->position, size);
    file->position += size;
    return true;
}

bool Terminated(const char* text, std::size_t size) { return std::memchr(text, '\0', size) != nullptr; }

bool StaysInside(const char* name)
{
    const std::string_view text(name);
    if (text.size() >= 2 && text[1] == ':')
        return false;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find_first_of("/\\", start), text.size());
        if (text.substr(start, end - start) == "..")
            return false;
        start = end + 1;
    }
    return true;
}

} // namespace

std::string ReadMapDescriptionBytes(const std::uint8_t* data, std::size_t size)
{
    served = MemoryFile{data, size, 0};
    MapDescription map;
    map.SetFileCallbacks(OpenServed, CloseServed, ReadServed);
    if (!map.Load("Maps/Fuzz/area.mpb")) {
        if (!map.GetLastError()[0])
            return "a refused map gives no reason";
        if (std::strcmp(map.title, "Unnamed") != 0 || map.GetLibraryCount() != 0 || map.recordCount != 0)
            return "a refused map changed the description";
        return {};
    }
    const std::size_t cells = std::size_t(map.width) * std::size_t(map.height);
    if (map.width < 0 || map.height < 0 || map.heightData.size() != cells * 3 || map.colorData.size() != cells ||
        map.waterData.size() != std::size_t(map.width / 16) * std::size_t(map.height) / 16)
        return "the data blocks do not match the map size";
    for (float value : {map.scalarA, map.heightScale, map.startPosition.x, map.startPosition.y, map.startPosition.z,
                        map.startRotation.x, map.startRotation.y, map.startRotation.z, map.viewDistance})
        if (!std::isfinite(value))
            return "a scalar is not finite";
    if (!(map.cellSize > 0.0f) || !std::isfinite(map.cellSize))
        return "the cell size is not a positive number";
    for (const auto& table : map.lighting)
        for (float value : table)
            if (!std::isfinite(value))
                return "a lighting value is not finite";
    const char* names[] = {map.title, map.heightMapName, map.colorMapName, map.waterPath, map.tileDirectory,
                           map.objectDirectory, map.cloudTexture};
    for (const char* name : names)
        if (!Terminated(name, name == map.title ? MapDescription::kTitleSize : MapDescription::kPathSize))
            return "a text is not terminated";
    for (const char* name : names)
        if (name != map.title && !StaysInside(name))
            return std::string("a name leads outside the data folder: ") + name;
    if (map.groupCount < 0 || map.groupCount > MapDescription::kMaxGroups)
        return "the group count is out of range";
    for (int i = 0; i < map.GetLibraryCount(); ++i) {
        const LibraryEntry* entry = map.GetLibraryEntry(i);
        if (!Terminated(entry->modelPath, LibraryEntry::kTextSize) || !StaysInside(entry->modelPath))
            return "a model path is unterminated or leads outside";
        if (entry->groupIndex < 0 || entry->groupIndex >= map.groupCount)
            return "an entry's group is out of range";
    }
    int records = 0;
    for (const MapObjectRecord* record = map.firstRecord; record; record = record->next, ++records) {
        if (record->libraryIndex < 0 || record->libraryIndex > 32767)
            return "a placement's library index is out of range";
        for (float value : {record->position.x, record->position.y, record->position.z, record->scale})
            if (!std::isfinite(value))
                return "a placement value is not finite";
    }
    if (records != map.recordCount)
        return "the placement count does not match the list";
    return {};
}

} // namespace readers
