#include "renderer/DataFile.h"

#include "engine/filesystem/PackFile.h"

bool ReadDataFile(const char* path, const char* mode, std::vector<std::uint8_t>& out)
{
    out.clear();
    PackFile* file = PackFileOpen(path, mode);
    if (!file)
        return false;
    std::uint8_t chunk[65536];
    for (;;) {
        const std::size_t got = PackFileRead(chunk, 1, sizeof(chunk), file);
        if (got == 0)
            break;
        out.insert(out.end(), chunk, chunk + got);
    }
    PackFileClose(file);
    return true;
}

bool DataFileExists(const char* path)
{
    PackFile* file = PackFileOpen(path, "rb");
    if (!file)
        return false;
    PackFileClose(file);
    return true;
}
