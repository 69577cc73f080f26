#include "engine/serial/SaveStream.h"

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>

#include <sys/stat.h>

#include "engine/core/LittleEndianReader.h"
#include "engine/core/q3DError.h"
#include "platform/os/File.h"

namespace {

// The bytes a transfer moves, refused when size x count does not fit the 32-bit position.
std::uint32_t TransferLength(unsigned size, unsigned count, const char* direction, const SaveStream* stream)
{
    const std::uint64_t length = std::uint64_t(size) * std::uint64_t(count);
    if (length > UINT32_MAX - stream->position)
        throw q3DError("Save stream: can't %s %u items of %u bytes at offset %u", direction, count, size,
                       stream->position);
    return static_cast<std::uint32_t>(length);
}

void PutLittleEndian(std::uint8_t* bytes, std::uint32_t value, int width)
{
    for (int i = 0; i < width; ++i)
        bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A float read from the stream that must be a number, and may be infinite only when allowed.
float CheckedFloat(float value, bool infinityAllowed, const char* what, std::uint32_t at)
{
    if (std::isnan(value) || (!infinityAllowed && std::isinf(value)))
        throw q3DError("Save stream: the %s at offset %u is not a number", what, at);
    return value;
}

} // namespace

SaveStream SaveStream::OnFile(std::FILE* file)
{
    SaveStream stream;
    stream.file = file;
    stream.toFile = true;
    return stream;
}

SaveStream SaveStream::OnMemory(void* buffer, std::uint32_t capacity)
{
    SaveStream stream;
    stream.buffer = static_cast<std::uint8_t*>(buffer);
    stream.capacity = buffer ? capacity : 0;
    return stream;
}

unsigned StreamWrite(const void* source, unsigned size, unsigned count, SaveStream* stream)
{
    const std::uint32_t length = TransferLength(size, count, "write", stream);
    if (length == 0)
        return 0;
    if (stream->toFile) {
        if (!stream->file)
            throw q3DError("Save stream: write of %u bytes at offset %u to a closed file", length, stream->position);
        const std::size_t written = std::fwrite(source, size, count, stream->file);
        if (written != count)
            throw q3DError("Save stream: write of %u bytes at offset %u failed: %s", length, stream->position,
                           std::strerror(errno));
    } else {
        if (length > stream->capacity || stream->position > stream->capacity - length)
            throw q3DError("Save stream: %u bytes at offset %u do not fit in the %u-byte block", length,
                           stream->position, stream->capacity);
        std::memcpy(stream->buffer + stream->position, source, length);
    }
    stream->position += length;
    return count;
}

unsigned StreamRead(void* destination, unsigned size, unsigned count, SaveStream* stream)
{
    const std::uint32_t length = TransferLength(size, count, "read", stream);
    if (length == 0)
        return 0;
    if (stream->toFile) {
        if (!stream->file)
            throw q3DError("Save stream: read of %u bytes at offset %u from a closed file", length, stream->position);
        const std::size_t read = std::fread(destination, size, count, stream->file);
        if (read != count) {
            if (std::ferror(stream->file))
                throw q3DError("Save stream: read of %u bytes at offset %u failed: %s", length, stream->position,
                               std::strerror(errno));
            throw q3DError("Save stream ends early: %u bytes wanted at offset %u", length, stream->position);
        }
    } else {
        if (length > stream->capacity || stream->position > stream->capacity - length)
            throw q3DError("Save stream ends early: %u bytes wanted at offset %u of the %u-byte block", length,
                           stream->position, stream->capacity);
        std::memcpy(destination, stream->buffer + stream->position, length);
    }
    stream->position += length;
    return count;
}

int StreamClose(SaveStream* stream)
{
    if (!stream->toFile || !stream->file)
        return 0;
    std::FILE* file = stream->file;
    stream->file = nullptr;
    // The last buffered bytes reach the disk here, so a full disk shows up at the close.
    if (std::fclose(file) != 0)
        throw q3DError("Save stream: closing the file after %u bytes failed: %s", stream->position,
                       std::strerror(errno));
    return 0;
}

void SaveStream::WriteUInt8(std::uint8_t value)
{
    StreamWrite(&value, 1, 1, this);
}

void SaveStream::WriteUInt16(std::uint16_t value)
{
    std::uint8_t bytes[2];
    PutLittleEndian(bytes, value, 2);
    StreamWrite(bytes, 1, 2, this);
}

void SaveStream::WriteUInt32(std::uint32_t value)
{
    std::uint8_t bytes[4];
    PutLittleEndian(bytes, value, 4);
    StreamWrite(bytes, 1, 4, this);
}

void SaveStream::WriteFloat(float value)
{
    WriteUInt32(std::bit_cast<std::uint32_t>(value));
}

void SaveStream::WriteVector3(const Vector3& value)
{
    std::uint8_t bytes[12];
    PutLittleEndian(bytes, std::bit_cast<std::uint32_t>(value.x), 4);
    PutLittleEndian(bytes + 4, std::bit_cast<std::uint32_t>(value.y), 4);
    PutLittleEndian(bytes + 8, std::bit_cast<std::uint32_t>(value.z), 4);
    StreamWrite(bytes, 1, 12, this);
}

void SaveStream::WriteMatrix3(const Matrix3& value)
{
    std::uint8_t bytes[36];
    for (int i = 0; i < 9; ++i)
        PutLittleEndian(bytes + 4 * i, std::bit_cast<std::uint32_t>(value.m[i]), 4);
    StreamWrite(bytes, 1, 36, this);
}

void SaveStream::WriteBytes(const void* source, std::uint32_t length)
{
    StreamWrite(source, 1, length, this);
}

void SaveStream::WriteText(const char* text, std::uint32_t width)
{
    if (width == 0)
        return;
    const std::size_t length = text ? strnlen(text, width - 1) : 0;
    StreamWrite(text, 1, static_cast<unsigned>(length), this);
    static constexpr std::uint8_t zeros[64] = {};
    for (std::uint32_t left = width - static_cast<std::uint32_t>(length); left > 0;) {
        const std::uint32_t part = left < sizeof zeros ? left : std::uint32_t(sizeof zeros);
        StreamWrite(zeros, 1, part, this);
        left -= part;
    }
}

std::uint8_t SaveStream::ReadUInt8()
{
    std::uint8_t value;
    StreamRead(&value, 1, 1, this);
    return value;
}

std::uint16_t SaveStream::ReadUInt16()
{
    std::uint8_t bytes[2];
    StreamRead(bytes, 1, 2, this);
    return LittleEndianReader(bytes, sizeof bytes).U16();
}

std::uint32_t SaveStream::ReadUInt32()
{
    std::uint8_t bytes[4];
    StreamRead(bytes, 1, 4, this);
    return LittleEndianReader(bytes, sizeof bytes).U32();
}

float SaveStream::ReadFloat(const char* what)
{
    const std::uint32_t at = position;
    return CheckedFloat(std::bit_cast<float>(ReadUInt32()), false, what, at);
}

float SaveStream::ReadFloatOrInfinity(const char* what)
{
    const std::uint32_t at = position;
    return CheckedFloat(std::bit_cast<float>(ReadUInt32()), true, what, at);
}

Vector3 SaveStream::ReadVector3(const char* what)
{
    const std::uint32_t at = position;
    std::uint8_t bytes[12];
    StreamRead(bytes, 1, 12, this);
    LittleEndianReader in(bytes, sizeof bytes);
    const float x = CheckedFloat(in.F32(), false, what, at);
    const float y = CheckedFloat(in.F32(), false, what, at);
    return Vector3(x, y, CheckedFloat(in.F32(), false, what, at));
}

Matrix3 SaveStream::ReadMatrix3(const char* what)
{
    const std::uint32_t at = position;
    std::uint8_t bytes[36];
    StreamRead(bytes, 1, 36, this);
    LittleEndianReader in(bytes, sizeof bytes);
    Matrix3 value;
    for (float& element : value.m)
        element = CheckedFloat(in.F32(), false, what, at);
    return value;
}

void SaveStream::ReadBytes(void* destination, std::uint32_t length)
{
    StreamRead(destination, 1, length, this);
}

void SaveStream::ReadText(char* text, std::uint32_t width)
{
    if (width == 0)
        return;
    StreamRead(text, 1, width, this);
    text[width - 1] = '\0';
}

std::int32_t SaveStream::ReadCount(std::int32_t maximum, const char* what, std::uint32_t itemBytes)
{
    const std::uint32_t at = position;
    const std::int32_t count = ReadInt32();
    if (count < 0 || count > maximum)
        throw q3DError("Save stream: %d %s at offset %u, at most %d fit", count, what, at, maximum);
    const std::uint64_t needed = std::uint64_t(count) * itemBytes;
    if (needed > BytesLeft())
        throw q3DError("Save stream: %d %s at offset %u need %llu bytes, the stream holds %llu more", count, what, at,
                       static_cast<unsigned long long>(needed), static_cast<unsigned long long>(BytesLeft()));
    return count;
}

std::int32_t SaveStream::ReadInRange(std::int32_t first, std::int32_t last, const char* what)
{
    const std::uint32_t at = position;
    const std::int32_t value = ReadInt32();
    if (value < first || value > last)
        throw q3DError("Save stream: the %s %d at offset %u is out of range (%d to %d)", what, value, at, first, last);
    return value;
}

std::uint64_t SaveStream::BytesLeft() const
{
    if (!toFile)
        return position <= capacity ? capacity - position : 0;
    if (!file)
        return 0;
    struct stat status;
    const long at = std::ftell(file);
    if (at < 0 || fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode))
        return UINT64_MAX; // not a plain file: its length is not known beforehand
    return std::uint64_t(status.st_size) > std::uint64_t(at) ? std::uint64_t(status.st_size) - std::uint64_t(at) : 0;
}

void SaveStream::ExpectVersion(std::uint8_t expected, const char* message)
{
    if (ReadUInt8() != expected)
        throw q3DError("%s", message);
}

SaveFile::SaveFile(const char* path, const char* mode)
{
    stream = SaveStream::OnFile(platform::os::OpenFile(path, mode));
}

SaveFile::~SaveFile()
{
    if (stream.file)
        std::fclose(stream.file);
}
