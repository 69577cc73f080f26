#include "tools/demodata/DemoData.h"

#include "tools/demodata/writers/ZipWriter.h"

#include <bit>
#include <cstdint>
#include <vector>

namespace {

void PutFloat(std::vector<std::uint8_t>& bytes, float value)
{
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<std::uint8_t>(bits >> shift));
}

void PutU16(std::vector<std::uint8_t>& bytes, std::uint16_t value)
{
    bytes.push_back(static_cast<std::uint8_t>(value));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

// A unit box: eight corners (x, y, z floats) and twelve triangles (16-bit indices).
std::vector<std::uint8_t> MakeBox()
{
    std::vector<std::uint8_t> bytes;
    for (int corner = 0; corner < 8; ++corner) {
        PutFloat(bytes, (corner & 1) ? 0.5f : -0.5f);
        PutFloat(bytes, (corner & 2) ? 0.5f : -0.5f);
        PutFloat(bytes, (corner & 4) ? 0.5f : -0.5f);
    }
    constexpr std::uint16_t kIndices[36] = {
        0, 2, 1, 1, 2, 3, 4, 5, 6, 5, 7, 6, 0, 1, 4, 1, 5, 4,
        2, 6, 3, 3, 6, 7, 0, 4, 2, 2, 4, 6, 1, 3, 5, 3, 7, 5,
    };
    for (std::uint16_t index : kIndices)
        PutU16(bytes, index);
    return bytes;
}

} // namespace

// A small archive that the pack-file layer serves for paths under "GameData/Demo/": text with
// Windows line ends (one line empty), stored, and a deflated binary member, in nested folders.
void GenerateArchives(const DemoDataWriter& out)
{
    ZipWriter zip;
    zip.Add("Text/readme.txt",
            "Bexal demo archive\r\n"
            "\r\n"
            "Files in this archive are read through the pack-file layer.\r\n",
            ZipWriter::Method::Stored);
    zip.Add("Text/notes.txt",
            "// notes\r\n"
            "first note\r\n"
            "second note\r\n",
            ZipWriter::Method::Deflated);
    zip.Add("Models/box.bin", MakeBox(), ZipWriter::Method::Deflated);
    out.writeFile("GameData/Demo.qa", zip.Finish());
}
