#include "tests/engine/filesystem/PackFileFixture.h"

#include "platform/os/File.h"
#include "platform/os/FolderListing.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

using Method = ZipWriter::Method;

struct HandleCloser {
    void operator()(PackFile* file) const { PackFileClose(file); }
};
using Handle = std::unique_ptr<PackFile, HandleCloser>;

std::string Repeat(std::string_view text, int times)
{
    std::string repeated;
    for (int i = 0; i < times; ++i)
        repeated += text;
    return repeated;
}

// A clock far past every folder's last change while it lives, so every folder listing read is
// kept and only the file layer's own checks keep lookups true.
struct KeepEveryListing {
    KeepEveryListing() { platform::os::SetFolderListingClock([] { return std::int64_t(1) << 62; }); }
    ~KeepEveryListing() { platform::os::SetFolderListingClock({}); }
    KeepEveryListing(const KeepEveryListing&) = delete;
    KeepEveryListing& operator=(const KeepEveryListing&) = delete;
};

Handle Open(const char* path, const char* mode = "rb")
{
    return Handle(PackFileOpen(path, mode));
}

// GameData.qa with members in nested folders, stored and deflated.
void WriteGameDataArchive(const std::string& models, const std::string& readme)
{
    ZipWriter zip;
    zip.Add("Models/a.q3d", models, Method::Deflated);
    zip.Add("Text/readme.txt", readme, Method::Stored);
    zip.Add("Deep/Er/Still/x.bin", std::string("deep member"), Method::Deflated);
    PackFileTest::WriteBytes("GameData.qa", zip.Finish());
}

TEST(PackFileHash, FoldsAsciiLettersOnlyAndTakesOtherBytesSigned)
{
    struct Case {
        const char* name;
        std::uint32_t hash;
    };
    const Case cases[] = {
        {"", 0u},
        {"a", 97u},
        {"A", 97u},
        {"ab", 97u * 31u + 98u},
        {"[", 91u},                 // just after 'Z': not folded
        {"@", 64u},                 // just before 'A'
        {"\xC4", 0xFFFFFFC4u},      // 0xC4 is -60 as a signed byte
        {"a\xFF", 97u * 31u - 1u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PackFileHashName(c.name), c.hash);
    }
    EXPECT_EQ(PackFileHashName("GameData.qa"), PackFileHashName("gamedata.QA"));
    // 32-bit wrap: a long name must not depend on wider arithmetic.
    std::uint32_t expected = 0;
    const std::string longName(100, 'z');
    for (char c : longName)
        expected = expected * 31u + static_cast<std::uint32_t>(c);
    EXPECT_EQ(PackFileHashName(longName.c_str()), expected);
}

TEST(PackFilePathParts, WalksFoldersAndNameOverEitherSlash)
{
    char path[] = "GameData\\Models/Tank/t.q3d";
    std::vector<std::string> parts;
    for (char* part = PackFileNextPathPart(path); part; part = PackFileNextPathPart(nullptr))
        parts.emplace_back(part);
    EXPECT_EQ(parts, (std::vector<std::string>{"GameData", "Models", "Tank", "t.q3d"}));
    EXPECT_STREQ(path, "GameData"); // the separators were cut
    EXPECT_EQ(PackFileNextPathPart(nullptr), nullptr);

    char empty[] = "";
    EXPECT_EQ(PackFileNextPathPart(empty), nullptr);

    // A part longer than 255 characters ends the walk instead of overrunning the part buffer.
    std::string tooLong = "Folder/" + std::string(300, 'x') + "/name";
    EXPECT_STREQ(PackFileNextPathPart(tooLong.data()), "Folder");
    EXPECT_EQ(PackFileNextPathPart(nullptr), nullptr);
    EXPECT_EQ(PackFileNextPathPart(nullptr), nullptr);
}

TEST_F(PackFileTest, OpensStoredAndDeflatedMembersInAnyCaseWithEitherSlash)
{
    const std::string models = SampleText(200000, 1);
    const std::string readme = "Readme text";
    WriteGameDataArchive(models, readme);

    struct Case {
        const char* path;
        const std::string* expected;
    };
    const std::string deep = "deep member";
    const Case cases[] = {
        {"GameData/Models/a.q3d", &models},
        {"gamedata\\MODELS\\A.Q3D", &models},
        {"GAMEDATA/text\\README.TXT", &readme},
        {"GameData/Deep/Er/Still/x.bin", &deep},
        {"GameData/Models/../Text/readme.txt", &readme},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Handle file = Open(c.path);
        ASSERT_TRUE(file);
        EXPECT_EQ(file->uncompressedSize, c.expected->size());
        EXPECT_EQ(ReadWhole(c.path), *c.expected);
    }
    EXPECT_FALSE(Open("GameData/Models/b.q3d"));
    EXPECT_FALSE(Open("GameData/Models"));
    EXPECT_FALSE(Open("Other/Models/a.q3d"));
}

TEST_F(PackFileTest, APlainFileShadowsTheMemberOfTheSamePath)
{
    WriteGameDataArchive("archived model", "archived readme");
    WriteText("gamedata/models/A.q3d", "plain model");

    EXPECT_EQ(ReadWhole("GameData/Models/a.q3d"), "plain model");
    Handle file = Open("GameData/Models/a.q3d");
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->plainFile);
    EXPECT_EQ(file->uncompressedSize, 11u);
    EXPECT_EQ(ReadWhole("GameData/Text/readme.txt"), "archived readme");
}

// Plain files the program writes, renames and removes beside an archive take over its members and
// give them back at once, in whatever case they are named, however long folder listings are kept.
TEST_F(PackFileTest, PlainFilesTheProgramChangesShadowMembersAtOnce)
{
    WriteGameDataArchive("archived model", "archived readme");
    std::filesystem::create_directories("GameData/Models");
    const KeepEveryListing keep;

    EXPECT_EQ(ReadWhole("gamedata/models/a.q3d"), "archived model");
    std::FILE* plain = platform::os::OpenFile("GAMEDATA\\MODELS\\Temp.q3d", "wb");
    ASSERT_NE(plain, nullptr);
    std::fputs("plain model", plain);
    std::fclose(plain);
    EXPECT_EQ(ReadWhole("gamedata/models/temp.Q3D"), "plain model");
    EXPECT_EQ(ReadWhole("gamedata/models/a.q3d"), "archived model");

    ASSERT_EQ(platform::os::RenameFile("gamedata/models/temp.q3d", "GameData/Models/A.Q3D"), 0);
    EXPECT_EQ(ReadWhole("gamedata/models/temp.q3d"), "<not found>");
    EXPECT_EQ(ReadWhole("gamedata/models/a.q3d"), "plain model");
    EXPECT_EQ(ReadWhole("GameData\\Models\\A.q3d", "rt"), "plain model");

    ASSERT_EQ(platform::os::RemoveFile("gamedata/MODELS/a.q3d"), 0);
    EXPECT_EQ(ReadWhole("gamedata/models/a.q3d"), "archived model");
    Handle file = Open("GameData/Models/A.q3d");
    ASSERT_TRUE(file);
    EXPECT_FALSE(file->plainFile);
}

TEST_F(PackFileTest, TheShallowestArchiveServesAPath)
{
    ZipWriter shallow;
    shallow.Add("Models/a.q3d", std::string("from GameData.qa"), Method::Stored);
    WriteBytes("GameData.qa", shallow.Finish());
    ZipWriter deeper;
    deeper.Add("a.q3d", std::string("from Models.qa"), Method::Stored);
    deeper.Add("only.q3d", std::string("only in Models.qa"), Method::Stored);
    WriteBytes("GameData/Models.qa", deeper.Finish());

    // Both on disk, neither open: the shallowest is opened.
    EXPECT_EQ(ReadWhole("GameData/Models/a.q3d"), "from GameData.qa");
    // GameData.qa is open now, so GameData\Models.qa is never consulted for these paths.
    EXPECT_EQ(ReadWhole("GameData/Models/only.q3d"), "<not found>");
    EXPECT_FALSE(PackFileExists("GameData/Models/only.q3d"));
}

TEST_F(PackFileTest, ADeeperArchiveServesItsFolderWhenNoShallowerOneExists)
{
    ZipWriter deeper;
    deeper.Add("a.q3d", std::string("from Models.qa"), Method::Deflated);
    deeper.Add("Sub/b.q3d", std::string("nested in Models.qa"), Method::Stored);
    WriteBytes("GameData/Models.qa", deeper.Finish());

    EXPECT_EQ(ReadWhole("GameData/Models/a.q3d"), "from Models.qa");
    EXPECT_EQ(ReadWhole("gamedata\\models\\SUB\\b.q3d"), "nested in Models.qa");
    EXPECT_TRUE(PackFileExists("GAMEDATA/Models/sub/B.q3d"));
}

TEST_F(PackFileTest, APathWithoutAFolderIsOnlyEverAPlainFile)
{
    ZipWriter zip;
    zip.Add("loose.txt", std::string("member"), Method::Stored);
    WriteBytes(".qa", zip.Finish());
    WriteBytes("loose.qa", zip.Finish());

    EXPECT_FALSE(Open("loose.txt"));
    WriteText("LOOSE.TXT", "plain");
    EXPECT_EQ(ReadWhole("loose.txt"), "plain");
}

TEST_F(PackFileTest, ArchivesWithAbsolutePathsAreFoundBesideTheirFolder)
{
    ZipWriter zip;
    zip.Add("Models/a.q3d", std::string("absolute"), Method::Deflated);
    WriteBytes("GameData.qa", zip.Finish());
    const std::string path = (root / "GameData" / "Models" / "a.q3d").string();
    EXPECT_EQ(ReadWhole(path.c_str()), "absolute");
}

TEST_F(PackFileTest, ReadsInPiecesGiveTheSameBytesAsOneRead)
{
    const std::string data = MixedBytes(300000, 7); // several 64 KiB input blocks when deflated
    ZipWriter zip;
    zip.Add("Data/stored.bin", data, Method::Stored);
    zip.Add("Data/deflated.bin", data, Method::Deflated);
    WriteBytes("Pack.qa", zip.Finish());
    ASSERT_GT(zip.Entries()[1].compressedSize, 2u * 65535u);

    for (const char* path : {"Pack/Data/stored.bin", "Pack/Data/deflated.bin"}) {
        for (std::size_t piece : {std::size_t{1}, std::size_t{1000}, std::size_t{65535}, std::size_t{65536},
                                  std::size_t{100000}}) {
            SCOPED_TRACE(std::string(path) + " in pieces of " + std::to_string(piece));
            Handle file = Open(path);
            ASSERT_TRUE(file);
            std::string got;
            std::string chunk(piece, '\0');
            std::size_t n;
            while ((n = PackFileRead(chunk.data(), 1, piece, file.get())) > 0)
                got.append(chunk, 0, n);
            EXPECT_EQ(got.size(), data.size());
            EXPECT_TRUE(got == data);
            EXPECT_EQ(PackFileEof(file.get()), 1);
            EXPECT_EQ(PackFileTell(file.get()), static_cast<long>(data.size()));
        }
    }
}

TEST_F(PackFileTest, AReadPastTheEndReturnsOnlyTheWholeItemsDelivered)
{
    ZipWriter zip;
    zip.Add("Data/ten.bin", std::string("0123456789"), Method::Stored);
    zip.Add("Data/ten.z", std::string("0123456789"), Method::Deflated);
    WriteBytes("Pack.qa", zip.Finish());

    for (const char* path : {"Pack/Data/ten.bin", "Pack/Data/ten.z"}) {
        SCOPED_TRACE(path);
        Handle file = Open(path);
        ASSERT_TRUE(file);
        char buffer[32] = {};
        EXPECT_EQ(PackFileRead(buffer, 4, 8, file.get()), 2u); // 10 bytes: two whole items
        EXPECT_STREQ(buffer, "0123456789");
        EXPECT_EQ(PackFileTell(file.get()), 10);
        EXPECT_EQ(PackFileEof(file.get()), 1);
        EXPECT_EQ(PackFileRead(buffer, 1, 1, file.get()), 0u);
        EXPECT_EQ(PackFileRead(buffer, 0, 5, file.get()), 0u);
    }
}

TEST_F(PackFileTest, SeeksWithinStoredAndDeflatedMembers)
{
    const std::string data = SampleText(150000, 3);
    ZipWriter zip;
    zip.Add("Data/s.bin", data, Method::Stored);
    zip.Add("Data/d.bin", data, Method::Deflated);
    WriteBytes("Pack.qa", zip.Finish());

    struct Step {
        long offset;
        int origin;
        int result;   // 0 success
        long tell;    // where the handle stands afterwards
    };
    const long size = static_cast<long>(data.size());
    const Step steps[] = {
        {1000, SEEK_SET, 0, 1000},
        {0, SEEK_CUR, 0, 1000},        // to the current position: nothing happens
        {-500, SEEK_CUR, 0, 500},      // backwards: restarts the member
        {-10, SEEK_END, 0, size - 10},
        {120000, SEEK_SET, 0, 120000},
        {-1, SEEK_SET, 1, 120000},     // before the start: refused, unmoved
        {1, SEEK_END, 1, 120000},      // past the end: refused, unmoved
        {0, 7, 1, 120000},             // no such origin
        {0, SEEK_END, 0, size},
        {0, SEEK_SET, 0, 0},
    };
    for (const char* path : {"Pack/Data/s.bin", "Pack/Data/d.bin"}) {
        Handle file = Open(path);
        ASSERT_TRUE(file);
        for (const Step& step : steps) {
            SCOPED_TRACE(std::string(path) + " seek " + std::to_string(step.offset) + "/" + std::to_string(step.origin));
            EXPECT_EQ(PackFileSeek(file.get(), step.offset, step.origin) != 0, step.result != 0);
            EXPECT_EQ(PackFileTell(file.get()), step.tell);
            char bytes[8] = {};
            const std::size_t got = PackFileRead(bytes, 1, sizeof bytes, file.get());
            const std::size_t expected = std::min<std::size_t>(sizeof bytes, data.size() - step.tell);
            ASSERT_EQ(got, expected);
            EXPECT_EQ(std::string(bytes, got), data.substr(step.tell, got));
            ASSERT_EQ(PackFileSeek(file.get(), step.tell, SEEK_SET), 0);
        }
    }
}

TEST_F(PackFileTest, SeekingBackInADeflatedMemberReadsTheSameBytesAgain)
{
    const std::string data = SampleText(200000, 11);
    ZipWriter zip;
    zip.Add("Data/d.bin", data, Method::Deflated);
    WriteBytes("Pack.qa", zip.Finish());

    Handle file = Open("Pack/Data/d.bin");
    ASSERT_TRUE(file);
    std::string first(data.size(), '\0');
    ASSERT_EQ(PackFileRead(first.data(), 1, first.size(), file.get()), data.size());
    ASSERT_EQ(PackFileSeek(file.get(), 70000, SEEK_SET), 0);
    std::string again(data.size() - 70000, '\0');
    ASSERT_EQ(PackFileRead(again.data(), 1, again.size(), file.get()), again.size());
    EXPECT_TRUE(first == data);
    EXPECT_TRUE(again == data.substr(70000));
}

TEST(PackFileNullHandle, EveryOperationAnswersWithoutTouchingIt)
{
    char buffer[4];
    EXPECT_EQ(PackFileRead(buffer, 1, 4, nullptr), 0u);
    EXPECT_EQ(PackFileGets(buffer, 4, nullptr), nullptr);
    EXPECT_EQ(PackFileSeek(nullptr, 0, SEEK_SET), 1);
    EXPECT_EQ(PackFileEof(nullptr), 1);
    EXPECT_EQ(PackFileClose(nullptr), -1);
    EXPECT_EQ(PackFileOpen(nullptr, "rb"), nullptr);
    EXPECT_EQ(PackFileOpen("GameData/x", nullptr), nullptr);
    EXPECT_FALSE(PackFileExists(nullptr));
}

TEST_F(PackFileTest, LinesOfArchivedTextKeepEmptyLinesAndLoseTheirLineEnds)
{
    const std::string text = "first\r\n\r\nthird\r\nlone\rcr\r\n\r\nlast";
    ZipWriter zip;
    zip.Add("Text/stored.txt", text, Method::Stored);
    zip.Add("Text/deflated.txt", text, Method::Deflated);
    WriteBytes("Pack.qa", zip.Finish());
    WriteText("Pack/Text/plain.txt", text);

    const auto lines = [](const char* path, const char* mode, int n) {
        std::vector<std::string> result;
        Handle file = Open(path, mode);
        if (!file)
            return result;
        std::vector<char> buffer(n);
        while (PackFileGets(buffer.data(), n, file.get()))
            result.emplace_back(buffer.data());
        return result;
    };
    const std::vector<std::string> textLines{"first", "", "third", "lone\rcr", "", "last"};
    for (const char* path : {"Pack/Text/stored.txt", "Pack/Text/deflated.txt"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(lines(path, "rt", 64), textLines);
        EXPECT_EQ(lines(path, "r", 64), textLines);
        // Binary mode keeps the carriage returns.
        EXPECT_EQ(lines(path, "rb", 64),
                  (std::vector<std::string>{"first\r", "\r", "third\r", "lone\rcr\r", "\r", "last"}));
        // A line longer than n - 1 comes in pieces.
        EXPECT_EQ(lines(path, "rt", 3), (std::vector<std::string>{"fi", "rs", "t", "", "th", "ir", "d", "lo", "ne",
                                                                   "\rc", "r", "", "la", "st"}));
    }
    // A plain file in text mode goes through fgets, which keeps the newline.
    EXPECT_EQ(lines("Pack/Text/plain.txt", "rt", 64),
              (std::vector<std::string>{"first\n", "\n", "third\n", "lone\rcr\n", "\n", "last"}));
}

TEST_F(PackFileTest, TextModeReadsDropTheCarriageReturnOfCrlfWhereverReadsSplit)
{
    std::string text;
    for (int i = 0; i < 2000; ++i)
        text += (i % 3 == 0) ? "line\r\n" : (i % 3 == 1 ? "\r\n" : "cr\ralone\r");
    text += "\r"; // a carriage return at the very end stays
    std::string expected;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            expected += text[i];
    }
    ZipWriter zip;
    zip.Add("Text/s.txt", text, Method::Stored);
    zip.Add("Text/d.txt", text, Method::Deflated);
    WriteBytes("Pack.qa", zip.Finish());
    WriteText("Pack/Text/plain.txt", text);

    for (const char* path : {"Pack/Text/s.txt", "Pack/Text/d.txt", "Pack/Text/plain.txt"}) {
        for (std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{5}, std::size_t{6}, std::size_t{4096}}) {
            SCOPED_TRACE(std::string(path) + " in pieces of " + std::to_string(piece));
            Handle file = Open(path, "rt");
            ASSERT_TRUE(file);
            std::string got;
            std::string chunk(piece, '\0');
            std::size_t n;
            while ((n = PackFileRead(chunk.data(), 1, piece, file.get())) > 0)
                got.append(chunk, 0, n);
            EXPECT_TRUE(got == expected);
            EXPECT_NE(PackFileEof(file.get()), 0);
        }
    }
    EXPECT_TRUE(ReadWhole("Pack/Text/d.txt", "rb") == text);
}

TEST_F(PackFileTest, MembersWhoseNamesShareAHashAreToldApartByName)
{
    // "a~" and "b_" hash alike: 97 * 31 + 126 == 98 * 31 + 95.
    ASSERT_EQ(PackFileHashName("Text/a~.txt"), PackFileHashName("Text/b_.txt"));
    ZipWriter zip;
    zip.Add("Text/a~.txt", std::string("first of two"), Method::Deflated);
    zip.Add("Text/b_.txt", std::string("second of two"), Method::Stored);
    WriteBytes("Pack.qa", zip.Finish());

    EXPECT_EQ(ReadWhole("Pack/Text/b_.txt"), "second of two");
    EXPECT_EQ(ReadWhole("Pack/Text/A~.TXT"), "first of two");
    EXPECT_TRUE(PackFileExists("Pack/Text/a~.txt"));
    // Same hash again, different name: not a member.
    ASSERT_EQ(PackFileHashName("Text/c@.txt"), PackFileHashName("Text/a~.txt"));
    EXPECT_FALSE(Open("Pack/Text/c@.txt"));
    EXPECT_FALSE(PackFileExists("Pack/Text/c@.txt"));
}

TEST_F(PackFileTest, MemberNamesStoredWithBackslashesAreFound)
{
    ZipWriter zip;
    zip.Add("Models\\Tank\\t.q3d", std::string("tank"), Method::Deflated);
    WriteBytes("Pack.qa", zip.Finish());
    EXPECT_EQ(ReadWhole("Pack/models/tank/T.q3d"), "tank");
    EXPECT_EQ(ReadWhole("Pack\\Models\\Tank\\t.q3d"), "tank");
}

TEST_F(PackFileTest, ParentFolderPartsResolveOrRefuseThePath)
{
    ZipWriter zip;
    zip.Add("Text/readme.txt", std::string("readme"), Method::Stored);
    zip.Add("Text/odd..name.txt", std::string("odd"), Method::Stored);
    WriteBytes("GameData.qa", zip.Finish());

    struct Case {
        std::string path;
        bool opens;
    };
    const Case cases[] = {
        {"GameData/Text/readme.txt", true},
        {"GameData/Models/../Text/readme.txt", true},
        {"A/B/../../GameData/Text/readme.txt", true},
        {"GameData\\X\\Y\\..\\..\\Text\\readme.txt", true},
        {"../GameData/Text/readme.txt", false},         // no folder before the ".."
        {"GameData/../../GameData/Text/readme.txt", false},
        {"GameData/Text/odd..name.txt", false},          // ".." inside a name
        {"GameData/a..b/../Text/readme.txt", false},
        {"GameData/Text/..", false},                     // names a folder
        {Repeat("X/../", 47) + "GameData/Text/readme.txt", true},  // 259 characters
        {Repeat("X/../", 48) + "GameData/Text/readme.txt", false}, // 264: too long, refused
        {Repeat("X/../", 400) + "GameData/Text/readme.txt", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Handle file = Open(c.path.c_str());
        EXPECT_EQ(static_cast<bool>(file), c.opens);
        if (file) {
            EXPECT_EQ(ReadWhole(c.path.c_str()), "readme");
        }
    }
}

TEST_F(PackFileTest, ExistsConsultsOnlyArchivesAlreadyOpen)
{
    ZipWriter zip;
    zip.Add("Models/a.q3d", std::string("a"), Method::Stored);
    WriteBytes("GameData.qa", zip.Finish());
    WriteText("GameData/Models/plain.q3d", "plain");

    EXPECT_FALSE(PackFileExists("GameData/Models/a.q3d")); // GameData.qa is not open yet
    EXPECT_FALSE(Open("GameData/Models/missing.q3d"));      // opens and indexes GameData.qa
    EXPECT_TRUE(PackFileExists("GameData/Models/a.q3d"));   // the archive stayed open
    EXPECT_TRUE(PackFileExists("gamedata\\MODELS\\A.Q3D"));
    EXPECT_FALSE(PackFileExists("GameData/Models/plain.q3d")); // plain files are not consulted
    EXPECT_FALSE(PackFileExists("a.q3d"));
}

TEST_F(PackFileTest, HandlesOnOneArchiveReadInTurnWithoutDisturbingEachOther)
{
    const std::string one = SampleText(180000, 21);
    const std::string two = SampleText(90000, 22);
    const std::string three = SampleText(70000, 23);
    ZipWriter zip;
    zip.Add("Data/one.bin", one, Method::Deflated);
    zip.Add("Data/two.bin", two, Method::Stored);
    zip.Add("Data/three.bin", three, Method::Deflated);
    WriteBytes("Pack.qa", zip.Finish());

    Handle handles[] = {Open("Pack/Data/one.bin"), Open("Pack/Data/two.bin"), Open("Pack/Data/three.bin")};
    const std::string* expected[] = {&one, &two, &three};
    std::string got[3];
    bool progress = true;
    for (std::size_t piece = 777; progress; piece = piece * 3 % 20011 + 1) {
        progress = false;
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(handles[i]);
            std::string chunk(piece, '\0');
            const std::size_t n = PackFileRead(chunk.data(), 1, piece, handles[i].get());
            got[i].append(chunk, 0, n);
            progress = progress || n > 0;
        }
    }
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(got[i] == *expected[i]) << "member " << i;
}

// The default extension is only observable in a fresh process, since setting ".qa" can never be
// undone; the death-test runner starts one.
TEST(PackFileExtension, StartsAsZipAndOnlyEverShortens)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The death-test child runs this body again in a new process, so it makes and removes a
    // folder of its own.
    std::string folder = (std::filesystem::temp_directory_path() / "bexal-pack-ext-XXXXXX").string();
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);
    ZipWriter zip;
    zip.Add("x.txt", std::string("zip member"), Method::Stored);
    PackFileTest::WriteBytes(folder + "/Data.zip", zip.Finish());
    PackFileTest::WriteBytes(folder + "/Data.qa", zip.Finish());
    PackFileTest::WriteBytes(folder + "/Data.q", zip.Finish());
    const std::string path = folder + "/Data/x.txt";

    const auto opens = [&path] { return PackFileClose(PackFileOpen(path.c_str(), "rb")) == 0; };
    EXPECT_EXIT(
        {
            bool ok = opens(); // found in Data.zip
            PackFileCloseArchives();
            ok = ok && PackFileSetArchiveExtension(".zip") == 1;
            ok = ok && PackFileSetArchiveExtension(".qa") == 1;
            ok = ok && PackFileSetArchiveExtension(".zip") == 0; // longer than ".qa": refused
            ok = ok && PackFileSetArchiveExtension(".pk") == 1;  // as long: taken
            ok = ok && PackFileSetArchiveExtension(".qa") == 1;
            ok = ok && opens();
            PackFileCloseArchives();
            ok = ok && PackFileSetArchiveExtension(".q") == 1;
            ok = ok && PackFileSetArchiveExtension(".qa") == 0;
            ok = ok && opens(); // Data.q
            ok = ok && PackFileSetArchiveExtension(nullptr) == 0;
            PackFileCloseArchives();
            std::filesystem::remove_all(folder);
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    std::filesystem::remove_all(folder);
}

TEST_F(PackFileTest, AnEmptyFileAndAnEmptyMemberOpenAtTheirEnd)
{
    ZipWriter zip;
    zip.Add("Data/empty.s", std::string(), Method::Stored);
    zip.Add("Data/empty.d", std::string(), Method::Deflated);
    WriteBytes("Pack.qa", zip.Finish());
    WriteText("Pack/Data/empty.plain", "");

    for (const char* path : {"Pack/Data/empty.s", "Pack/Data/empty.d", "Pack/Data/empty.plain"}) {
        SCOPED_TRACE(path);
        Handle file = Open(path, "rt");
        ASSERT_TRUE(file);
        char buffer[8];
        EXPECT_EQ(PackFileRead(buffer, 1, sizeof buffer, file.get()), 0u);
        EXPECT_EQ(PackFileGets(buffer, sizeof buffer, file.get()), nullptr);
        EXPECT_NE(PackFileEof(file.get()), 0);
    }
}

} // namespace

TEST_F(PackFileTest, ReadAllAppendsEveryByteOfPlainFilesAndMembersOfAnySize)
{
    // Sizes around the old 64 KiB read step, and a file larger than several of them.
    const std::size_t sizes[] = {0, 1, 65535, 65536, 65537, 300000};
    ZipWriter zip;
    for (std::size_t size : sizes) {
        const std::string data = MixedBytes(size, std::uint32_t(size));
        WriteBytes("Plain/f" + std::to_string(size) + ".bin", Bytes(data));
        zip.Add("Data/s" + std::to_string(size) + ".bin", data, Method::Stored);
        zip.Add("Data/d" + std::to_string(size) + ".bin", data, Method::Deflated);
    }
    WriteBytes("Pack.qa", zip.Finish());
    for (std::size_t size : sizes) {
        const std::string data = MixedBytes(size, std::uint32_t(size));
        for (const std::string& path : {"Plain/f" + std::to_string(size) + ".bin", "Pack/Data/s" + std::to_string(size) + ".bin",
                                        "Pack/Data/d" + std::to_string(size) + ".bin"}) {
            SCOPED_TRACE(path);
            std::vector<std::uint8_t> bytes = {'k', 'e', 'p', 't'};
            ASSERT_TRUE(PackFileReadAll(path.c_str(), bytes));
            EXPECT_TRUE(std::string(bytes.begin(), bytes.end()) == "kept" + data);
        }
    }
}
