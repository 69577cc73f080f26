#include "renderer/DataFile.h"

#include <cstring>

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

bool ByteReader::Take(std::size_t count)
{
    if (failed || count > size - position) {
        failed = true;
        return false;
    }
    return true;
}

std::uint8_t ByteReader::U8()
{
    if (!Take(1))
        return 0;
    return data[position++];
}

std::uint16_t ByteReader::U16()
{
    if (!Take(2))
        return 0;
    const std::uint16_t v = std::uint16_t(data[position] | data[position + 1] << 8);
    position += 2;
    return v;
}

std::uint32_t ByteReader::U32()
{
    if (!Take(4))
        return 0;
    const std::uint32_t v = std::uint32_t(data[position]) | std::uint32_t(data[position + 1]) << 8 |
                            std::uint32_t(data[position + 2]) << 16 | std::uint32_t(data[position + 3]) << 24;
    position += 4;
    return v;
}

float ByteReader::F32()
{
    const std::uint32_t bits = U32();
    float v;
    std::memcpy(&v, &bits, sizeof(v));
    return v;
}

bool ByteReader::Bytes(void* destination, std::size_t count)
{
    if (!Take(count))
        return false;
    std::memcpy(destination, data + position, count);
    position += count;
    return true;
}

bool ByteReader::Skip(std::size_t count)
{
    if (!Take(count))
        return false;
    position += count;
    return true;
}
