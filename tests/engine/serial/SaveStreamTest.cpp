#include "engine/serial/SaveStream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include <unistd.h>

#include "tests/support/ErrorText.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A temporary file path, removed with the object.
struct TempFile {
    TempFile()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "bexal-savestream-XXXXXX").string();
        const int descriptor = mkstemp(pattern.data());
        close(descriptor);
        path = pattern;
    }
    ~TempFile() { std::filesystem::remove(path); }

    Bytes Read() const
    {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    void Write(const Bytes& bytes) const
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

    std::string path;
};

// The bytes a writer puts on a memory stream, and the same through a file, which must agree.
Bytes WrittenToMemory(const std::function<void(SaveStream*)>& write)
{
    std::uint8_t block[256] = {};
    SaveStream stream = SaveStream::OnMemory(block, sizeof block);
    write(&stream);
    return Bytes(block, block + stream.position);
}

Bytes WrittenToFile(const std::function<void(SaveStream*)>& write)
{
    TempFile file;
    SaveFile save(file.path.c_str(), "wb");
    EXPECT_TRUE(save.IsOpen());
    write(save.GetStream());
    save.Close();
    return file.Read();
}

struct FieldCase {
    const char* name;
    std::function<void(SaveStream*)> write;
    Bytes bytes;
    std::function<bool(SaveStream*)> readsBack;
};

Matrix3 CountingMatrix()
{
    Matrix3 matrix;
    for (int i = 0; i < 9; ++i)
        matrix.m[i] = float(i + 1);
    return matrix;
}

const std::vector<FieldCase>& FieldCases()
{
    static const std::vector<FieldCase> cases = {
        {"uint8", [](SaveStream* s) { s->WriteUInt8(0xAB); }, {0xAB}, [](SaveStream* s) { return s->ReadUInt8() == 0xAB; }},
        {"bool", [](SaveStream* s) { s->WriteBool(true); }, {0x01}, [](SaveStream* s) { return s->ReadBool(); }},
        {"int16", [](SaveStream* s) { s->WriteInt16(-2); }, {0xFE, 0xFF}, [](SaveStream* s) { return s->ReadInt16() == -2; }},
        {"uint16", [](SaveStream* s) { s->WriteUInt16(0x1234); }, {0x34, 0x12},
         [](SaveStream* s) { return s->ReadUInt16() == 0x1234; }},
        {"int32", [](SaveStream* s) { s->WriteInt32(-100000); }, {0x60, 0x79, 0xFE, 0xFF},
         [](SaveStream* s) { return s->ReadInt32() == -100000; }},
        {"uint32", [](SaveStream* s) { s->WriteUInt32(0xDEADBEEF); }, {0xEF, 0xBE, 0xAD, 0xDE},
         [](SaveStream* s) { return s->ReadUInt32() == 0xDEADBEEF; }},
        {"float", [](SaveStream* s) { s->WriteFloat(-1.5f); }, {0x00, 0x00, 0xC0, 0xBF},
         [](SaveStream* s) { return s->ReadFloat() == -1.5f; }},
        {"Vector3", [](SaveStream* s) { s->WriteVector3(Vector3(1.0f, 2.0f, -0.5f)); },
         {0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0xBF},
         [](SaveStream* s) { return s->ReadVector3() == Vector3(1.0f, 2.0f, -0.5f); }},
        {"Matrix3", [](SaveStream* s) { s->WriteMatrix3(CountingMatrix()); },
         {0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x40, 0x40, 0x00, 0x00, 0x80, 0x40,
          0x00, 0x00, 0xA0, 0x40, 0x00, 0x00, 0xC0, 0x40, 0x00, 0x00, 0xE0, 0x40, 0x00, 0x00, 0x00, 0x41,
          0x00, 0x00, 0x10, 0x41},
         [](SaveStream* s) { return s->ReadMatrix3() == CountingMatrix(); }},
        {"text cut to its width", [](SaveStream* s) { s->WriteText("knife", 4); }, {'k', 'n', 'i', 0},
         [](SaveStream* s) {
             char text[4];
             s->ReadText(text, 4);
             return std::strcmp(text, "kni") == 0;
         }},
        {"text padded to its width", [](SaveStream* s) { s->WriteText("ak", 6); }, {'a', 'k', 0, 0, 0, 0},
         [](SaveStream* s) {
             char text[6];
             s->ReadText(text, 6);
             return std::strcmp(text, "ak") == 0;
         }},
    };
    return cases;
}

} // namespace

TEST(SaveStream, EveryFieldIsLittleEndianAtItsWidthOnFileAndMemory)
{
    for (const FieldCase& field : FieldCases()) {
        SCOPED_TRACE(field.name);
        EXPECT_EQ(WrittenToMemory(field.write), field.bytes);
        EXPECT_EQ(WrittenToFile(field.write), field.bytes);

        Bytes block = field.bytes;
        SaveStream memory = SaveStream::OnMemory(block.data(), std::uint32_t(block.size()));
        EXPECT_TRUE(field.readsBack(&memory));
        EXPECT_EQ(memory.position, block.size());

        TempFile file;
        file.Write(field.bytes);
        SaveFile load(file.path.c_str(), "rb");
        ASSERT_TRUE(load.IsOpen());
        EXPECT_TRUE(field.readsBack(load.GetStream()));
        EXPECT_EQ(load.GetStream()->position, block.size());
        load.Close();
    }
}

TEST(SaveStream, ShortIntShortReadBackInOrderEndAtEight)
{
    std::uint8_t block[8];
    SaveStream out = SaveStream::OnMemory(block, sizeof block);
    out.WriteInt16(-7);
    out.WriteInt32(123456789);
    out.WriteUInt16(0xFFFE);
    EXPECT_EQ(out.position, 8u);

    SaveStream in = SaveStream::OnMemory(block, sizeof block);
    EXPECT_EQ(in.ReadInt16(), -7);
    EXPECT_EQ(in.ReadInt32(), 123456789);
    EXPECT_EQ(in.ReadUInt16(), 0xFFFE);
    EXPECT_EQ(in.position, 8u);
}

TEST(SaveStream, WriteAndReadCountItemsOnBothKinds)
{
    const std::uint32_t values[3] = {1, 2, 3};
    std::uint8_t block[12];
    SaveStream memory = SaveStream::OnMemory(block, sizeof block);
    EXPECT_EQ(StreamWrite(values, 4, 3, &memory), 3u);
    EXPECT_EQ(memory.position, 12u);
    memory.position = 0;
    std::uint32_t back[3] = {};
    EXPECT_EQ(StreamRead(back, 4, 3, &memory), 3u);
    EXPECT_EQ(std::memcmp(back, values, sizeof values), 0);
    EXPECT_EQ(StreamClose(&memory), 0);

    TempFile file;
    {
        SaveFile save(file.path.c_str(), "wb");
        EXPECT_EQ(StreamWrite(values, 4, 3, save.GetStream()), 3u);
        EXPECT_EQ(StreamClose(save.GetStream()), 0);
        EXPECT_FALSE(save.IsOpen());
    }
    SaveFile load(file.path.c_str(), "rb");
    std::uint32_t fromFile[3] = {};
    EXPECT_EQ(StreamRead(fromFile, 4, 3, load.GetStream()), 3u);
    EXPECT_EQ(std::memcmp(fromFile, values, sizeof values), 0);
}

// A memory block is as long as its capacity: nothing beyond it is read or written, and the
// position stays where the refused transfer would have started.
TEST(SaveStream, MemoryBlockRefusesToRunPastItsCapacity)
{
    std::uint8_t block[8] = {};
    const std::uint8_t guard = 0x5A;
    block[5] = block[6] = block[7] = guard;
    SaveStream stream = SaveStream::OnMemory(block, 5);
    stream.WriteUInt16(0x0102);
    EXPECT_EQ(ErrorText([&] { stream.WriteInt32(-1); }), "Save stream: 4 bytes at offset 2 do not fit in the 5-byte block");
    // The refusal left the stream where it was; what fits still goes.
    EXPECT_EQ(stream.position, 2u);
    EXPECT_EQ(block[2], 0);
    stream.WriteUInt16(0x0304);
    stream.WriteUInt8(0x05);
    EXPECT_EQ(ErrorText([&] { stream.WriteUInt8(1); }), "Save stream: 1 bytes at offset 5 do not fit in the 5-byte block");
    EXPECT_EQ(block[5], guard);
    EXPECT_EQ(block[6], guard);

    SaveStream in = SaveStream::OnMemory(block, 5);
    EXPECT_EQ(in.ReadUInt32(), 0x03040102u);
    EXPECT_EQ(ErrorText([&] { in.ReadUInt16(); }), "Save stream ends early: 2 bytes wanted at offset 4 of the 5-byte block");
    EXPECT_EQ(in.ReadUInt8(), 0x05);

    // A count whose byte total does not fit 32 bits is refused, not wrapped.
    SaveStream huge = SaveStream::OnMemory(block, 8);
    EXPECT_NE(ErrorText([&] { StreamRead(block, 0x10000, 0x10001, &huge); }), "");
    SaveStream none = SaveStream::OnMemory(nullptr, 100);
    EXPECT_NE(ErrorText([&] { none.WriteUInt8(1); }), "");
}

TEST(SaveStream, FileThatEndsEarlyOrFailsIsAnError)
{
    TempFile file;
    file.Write({0x01, 0x02, 0x03});
    {
        SaveFile load(file.path.c_str(), "rb");
        EXPECT_EQ(load.GetStream()->ReadUInt16(), 0x0201);
        EXPECT_EQ(ErrorText([&] { load.GetStream()->ReadUInt16(); }), "Save stream ends early: 2 bytes wanted at offset 2");
    }
    {
        // Writing to a file opened for reading fails at once.
        SaveFile load(file.path.c_str(), "rb");
        EXPECT_NE(ErrorText([&] { load.GetStream()->WriteUInt32(7); }), "");
    }
    {
        // A full disk takes the buffered bytes and refuses them when they are flushed at the close.
        SaveStream full = SaveStream::OnFile(std::fopen("/dev/full", "wb"));
        ASSERT_NE(full.file, nullptr);
        full.WriteUInt32(7);
        const std::string error = ErrorText([&] { StreamClose(&full); });
        EXPECT_EQ(error.rfind("Save stream: closing the file after 4 bytes failed: ", 0), 0u) << error;
        EXPECT_EQ(full.file, nullptr);
    }
    SaveFile missing((file.path + "-missing/x.sav").c_str(), "rb");
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_NE(ErrorText([&] { missing.GetStream()->ReadUInt8(); }), "");
}

TEST(SaveStream, CountsAndVersionsFromTheStreamAreChecked)
{
    // A count, then `following` bytes; each counted item takes `itemBytes`.
    struct Case {
        std::int32_t count;
        std::int32_t maximum;
        std::uint32_t itemBytes;
        std::uint32_t following;
        const char* error;
    };
    const Case cases[] = {
        {0, 10, 4, 0, ""},
        {10, 10, 4, 40, ""},
        {10, 10, 0, 0, ""},
        {11, 10, 4, 44, "Save stream: 11 items at offset 0, at most 10 fit"},
        {-1, 10, 4, 0, "Save stream: -1 items at offset 0, at most 10 fit"},
        {INT32_MIN, 10, 4, 0, "Save stream: -2147483648 items at offset 0, at most 10 fit"},
        {10, 10, 4, 39, "Save stream: 10 items at offset 0 need 40 bytes, the stream holds 39 more"},
        {65536, 65536, 21, 20, "Save stream: 65536 items at offset 0 need 1376256 bytes, the stream holds 20 more"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        Bytes block(4 + c.following);
        SaveStream out = SaveStream::OnMemory(block.data(), std::uint32_t(block.size()));
        out.WriteInt32(c.count);
        SaveStream in = SaveStream::OnMemory(block.data(), std::uint32_t(block.size()));
        std::int32_t read = -99;
        EXPECT_EQ(ErrorText([&] { read = in.ReadCount(c.maximum, "items", c.itemBytes); }), c.error);
        if (!*c.error) {
            EXPECT_EQ(read, c.count);
        }
        // A file holds as many bytes as it holds: the same answer.
        TempFile file;
        file.Write(block);
        SaveFile load(file.path.c_str(), "rb");
        EXPECT_EQ(ErrorText([&] { load.GetStream()->ReadCount(c.maximum, "items", c.itemBytes); }), c.error);
    }

    std::uint8_t version[2] = {2, 3};
    SaveStream in = SaveStream::OnMemory(version, 2);
    EXPECT_EQ(ErrorText([&] { in.ExpectVersion(2, "Incorrect version number in Character block"); }), "");
    EXPECT_EQ(ErrorText([&] { in.ExpectVersion(2, "Incorrect version number in Character block"); }),
              "Incorrect version number in Character block");
    EXPECT_EQ(ErrorText([&] { in.ExpectVersion(2, "Incorrect version number in Character block"); }),
              "Save stream ends early: 1 bytes wanted at offset 2 of the 2-byte block");
}

// Values are checked where they are read: a float must be a number (infinity only where a time
// may never run out), an enumeration must lie in its range; the error names the field and offset.
TEST(SaveStream, ValuesAreCheckedWhereTheyAreRead)
{
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    struct Case {
        const char* name;
        std::function<void(SaveStream*)> write;
        std::function<void(SaveStream*)> read;
        const char* error;
    };
    const auto floats = [](std::initializer_list<float> values) {
        return [values](SaveStream* s) {
            s->WriteUInt8(0);
            for (float v : values)
                s->WriteFloat(v);
        };
    };
    const auto ints = [](std::int32_t value) {
        return [value](SaveStream* s) {
            s->WriteUInt8(0);
            s->WriteInt32(value);
        };
    };
    const auto readFloat = [](SaveStream* s) { s->ReadFloat("fuse"); };
    const auto readEnum = [](SaveStream* s) { s->ReadInRange(-1, 3, "state"); };
    const std::vector<Case> cases = {
        {"a finite float", floats({-1e30f}), readFloat, ""},
        {"NaN", floats({nan}), readFloat, "Save stream: the fuse at offset 1 is not a number"},
        {"infinity", floats({inf}), readFloat, "Save stream: the fuse at offset 1 is not a number"},
        {"minus infinity", floats({-inf}), readFloat, "Save stream: the fuse at offset 1 is not a number"},
        {"a time that never runs out", floats({inf}), [](SaveStream* s) { s->ReadFloatOrInfinity("time"); }, ""},
        {"a time that is NaN", floats({nan}), [](SaveStream* s) { s->ReadFloatOrInfinity("time"); },
         "Save stream: the time at offset 1 is not a number"},
        {"a vector with NaN in z", floats({1, 2, nan}), [](SaveStream* s) { s->ReadVector3("velocity"); },
         "Save stream: the velocity at offset 1 is not a number"},
        {"a rotation with infinity last", floats({1, 0, 0, 0, 1, 0, 0, 0, inf}),
         [](SaveStream* s) { s->ReadMatrix3("rotation"); }, "Save stream: the rotation at offset 1 is not a number"},
        {"the lowest value", ints(-1), readEnum, ""},
        {"the highest value", ints(3), readEnum, ""},
        {"one below", ints(-2), readEnum, "Save stream: the state -2 at offset 1 is out of range (-1 to 3)"},
        {"one above", ints(4), readEnum, "Save stream: the state 4 at offset 1 is out of range (-1 to 3)"},
        {"far above", ints(INT32_MAX), readEnum, "Save stream: the state 2147483647 at offset 1 is out of range (-1 to 3)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes block = WrittenToMemory(c.write);
        SaveStream in = SaveStream::OnMemory(block.data(), std::uint32_t(block.size()));
        in.ReadUInt8();
        EXPECT_EQ(ErrorText([&] { c.read(&in); }), c.error);
    }
}
