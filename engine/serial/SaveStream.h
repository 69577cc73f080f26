#pragma once

#include <cstdint>
#include <cstdio>

#include "engine/core/Matrix.h"
#include "engine/core/Vector.h"

// The one stream through which every Load and Save reads and writes its block: a saved-game
// file, or a block of memory (the game a host sends to a joining client). Both carry the same
// bytes: every field little-endian at its own width (short 2, int 4, bool and char 1, float 4
// in IEEE single, Vector3 12, Matrix3 36), written and read one field at a time.
//
// A plain record the caller keeps on its stack. The memory block belongs to the caller, and
// capacity says how many bytes of it the stream may touch: reading or writing past it, or a
// file that fails to write, read or close, raises q3DError, so a block that was not wholly
// written or read is never taken for one that was.
//
// The reads of values are checked where they are read, so that a Load never has to: a float that
// is not finite, a count beyond its maximum or the bytes left, and a value outside its range raise
// q3DError naming what was read and where.
struct SaveStream {
    std::FILE* file = nullptr;      // used when toFile is set; not owned
    std::uint8_t* buffer = nullptr; // used when toFile is clear; not owned
    std::uint32_t position = 0;     // bytes read or written so far (the next offset in buffer)
    bool toFile = false;
    std::uint32_t capacity = 0;     // bytes of buffer

    static SaveStream OnFile(std::FILE* file);
    static SaveStream OnMemory(void* buffer, std::uint32_t capacity);

    void WriteUInt8(std::uint8_t value);
    void WriteBool(bool value) { WriteUInt8(value ? 1 : 0); }
    void WriteInt16(std::int16_t value) { WriteUInt16(static_cast<std::uint16_t>(value)); }
    void WriteUInt16(std::uint16_t value);
    void WriteInt32(std::int32_t value) { WriteUInt32(static_cast<std::uint32_t>(value)); }
    void WriteUInt32(std::uint32_t value);
    void WriteFloat(float value);
    void WriteVector3(const Vector3& value);
    void WriteMatrix3(const Matrix3& value);
    void WriteBytes(const void* source, std::uint32_t length);
    // A text field of a fixed width: the text cut to width - 1 characters, then zeros to the
    // width, so the field always carries its terminator.
    void WriteText(const char* text, std::uint32_t width);

    std::uint8_t ReadUInt8();
    bool ReadBool() { return ReadUInt8() != 0; }
    std::int16_t ReadInt16() { return static_cast<std::int16_t>(ReadUInt16()); }
    std::uint16_t ReadUInt16();
    std::int32_t ReadInt32() { return static_cast<std::int32_t>(ReadUInt32()); }
    std::uint32_t ReadUInt32();
    float ReadFloat(const char* what = "value");
    // A float that may also be infinite (a time that never runs out); NaN is refused.
    float ReadFloatOrInfinity(const char* what);
    Vector3 ReadVector3(const char* what = "vector");
    Matrix3 ReadMatrix3(const char* what = "rotation");
    void ReadBytes(void* destination, std::uint32_t length);
    // The counterpart of WriteText: width bytes into text (width bytes long), always terminated.
    void ReadText(char* text, std::uint32_t width);

    // A 32-bit count of things that follow in the stream, each at least itemBytes long; a negative
    // count, one above the maximum or one whose things cannot fit in the bytes left raises
    // q3DError naming what was counted, before anything is made for it.
    std::int32_t ReadCount(std::int32_t maximum, const char* what, std::uint32_t itemBytes);
    // A 32-bit value that must lie in first..last: an enumeration or a bounded quantity.
    std::int32_t ReadInRange(std::int32_t first, std::int32_t last, const char* what);
    // The bytes a read may still take: the rest of the memory block, or of the file.
    std::uint64_t BytesLeft() const;
    // A block's one-byte version; any other value raises q3DError with the block's own message
    // ("Incorrect version number in Soldier block").
    void ExpectVersion(std::uint8_t expected, const char* message);
};

// size x count bytes from source to the stream; returns the items written (count).
unsigned StreamWrite(const void* source, unsigned size, unsigned count, SaveStream* stream);
// size x count bytes from the stream to destination; returns the items read (count).
unsigned StreamRead(void* destination, unsigned size, unsigned count, SaveStream* stream);
// Closes the file of a file stream (0); a memory stream has nothing to close (0).
int StreamClose(SaveStream* stream);

// A saved-game file opened through the data-path lookup, with the stream over it. Close reports
// a failed close; a file still open when its owner goes (a save or load that threw) is closed
// without a report.
class SaveFile {
public:
    SaveFile(const char* path, const char* mode);
    ~SaveFile();
    SaveFile(const SaveFile&) = delete;
    SaveFile& operator=(const SaveFile&) = delete;

    bool IsOpen() const { return stream.file != nullptr; }
    SaveStream* GetStream() { return &stream; }
    void Close() { StreamClose(&stream); }

private:
    SaveStream stream;
};
