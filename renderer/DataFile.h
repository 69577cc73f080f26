#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Reads a whole data file through the pack-file layer (plain file first, then archive member).
// False when it cannot be opened.
bool ReadDataFile(const char* path, const char* mode, std::vector<std::uint8_t>& out);

// Whether a data file can be opened (it is closed again at once).
bool DataFileExists(const char* path);

// Little-endian reads from a block with a bounds check; a read past the end fails and leaves
// the reader failed.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}

    bool Ok() const { return !failed; }
    std::size_t Remaining() const { return failed ? 0 : size - position; }
    std::size_t Position() const { return position; }

    std::uint8_t U8();
    std::uint16_t U16();
    std::uint32_t U32();
    float F32();
    // Copies count bytes; false (and nothing copied) when fewer are left.
    bool Bytes(void* destination, std::size_t count);
    bool Skip(std::size_t count);

private:
    bool Take(std::size_t count);

    const std::uint8_t* data;
    std::size_t size;
    std::size_t position = 0;
    bool failed = false;
};
