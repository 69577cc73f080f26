#include "engine/filesystem/PackFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

// The generated data set's archive, read as the game reads it: from the data folder, through
// the deeper archive GameData\Demo.qa.
TEST(DemoDataArchive, ServesItsTextAndModelMembers)
{
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(BEXAL_DATA_DIR);
    PackFileCloseArchives();
    PackFileSetArchiveExtension(".qa");

    PackFile* readme = PackFileOpen("GameData\\Demo\\Text\\ReadMe.txt", "rt");
    ASSERT_NE(readme, nullptr);
    std::vector<std::string> lines;
    char line[256];
    while (PackFileGets(line, sizeof line, readme))
        lines.emplace_back(line);
    PackFileClose(readme);
    EXPECT_EQ(lines, (std::vector<std::string>{"Bexal demo archive", "",
                                               "Files in this archive are read through the pack-file layer."}));

    PackFile* box = PackFileOpen("GameData/Demo/Models/box.bin", "rb");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->method, 8);
    std::vector<unsigned char> bytes(box->uncompressedSize);
    EXPECT_EQ(PackFileRead(bytes.data(), 1, bytes.size(), box), 8u * 12u + 36u * 2u);
    PackFileClose(box);

    PackFileCloseArchives();
    std::filesystem::current_path(previous);
}

} // namespace
