#include "app/framework/OptionsFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int KeysLineSize = 256;  // lines of up to 255 characters

bool ReadBytes(std::FILE* file, void* out, std::size_t size)
{
    return std::fread(out, 1, size, file) == size;
}

bool ReadUint32(std::FILE* file, std::uint32_t& value)
{
    unsigned char bytes[4];
    if (!ReadBytes(file, bytes, sizeof bytes))
        return false;
    value = std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
            std::uint32_t(bytes[3]) << 24;
    return true;
}

bool WriteUint32(std::FILE* file, std::uint32_t value)
{
    const unsigned char bytes[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                                    static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    return std::fwrite(bytes, 1, sizeof bytes, file) == sizeof bytes;
}

// Writes the field in its full size: the text, cut to Size - 1 characters, then zeros.
template <std::size_t Size>
bool WriteTextField(std::FILE* file, const char (&text)[Size])
{
    static_assert(Size > 0);
    char field[Size] = {};
    std::memcpy(field, text, strnlen(text, Size - 1));
    return std::fwrite(field, 1, Size, file) == Size;
}

// Reads a line as fgets does (up to size - 1 bytes, the line break kept), but returns how many
// bytes it read: a NUL byte inside the line must not shorten it. 0 at the end of the file.
std::size_t ReadLine(std::FILE* file, char* line, std::size_t size)
{
    std::size_t length = 0;
    while (length + 1 < size) {
        const int c = std::getc(file);
        if (c == EOF)
            break;
        line[length++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    line[length] = '\0';
    return length;
}

bool IsDelimiter(char c)
{
    return c == ' ' || c == '\n' || c == '\t' || c == '\r';
}

} // namespace

OptionsRecordRead ReadOptionsRecord(std::FILE* file, OptionsRecord& record)
{
    OptionsRecordRead read;
    if (!ReadUint32(file, record.versionBits))
        return read;
    read.versionRead = true;
    for (int i = 0; i < OptionCount; ++i) {
        std::uint32_t value;
        if (!ReadUint32(file, value))
            return read;
        record.options[i] = std::int32_t(value);
        read.optionsRead = i + 1;
    }
    char name[OptionsRecord::PlayerNameSize];
    if (!ReadBytes(file, name, sizeof name))
        return read;
    std::memcpy(record.playerName, name, sizeof name);
    read.playerNameRead = true;
    char model[OptionsRecord::ModelNameSize];
    if (!ReadBytes(file, model, sizeof model))
        return read;
    std::memcpy(record.modelName, model, sizeof model);
    read.modelNameRead = true;
    read.trailingBytes = std::fgetc(file) != EOF;
    return read;
}

bool WriteOptionsRecord(std::FILE* file, const OptionsRecord& record)
{
    bool written = WriteUint32(file, record.versionBits);
    for (std::int32_t value : record.options)
        written = written && WriteUint32(file, std::uint32_t(value));
    written = written && WriteTextField(file, record.playerName);
    written = written && WriteTextField(file, record.modelName);
    return written;
}

KeysFileRead ReadKeysFile(std::FILE* file)
{
    KeysFileRead result;
    char line[KeysLineSize];
    int number = 0;
    bool continuation = false;
    while (const std::size_t length = ReadLine(file, line, sizeof line)) {
        const bool complete = length > 0 && line[length - 1] == '\n';
        // The rest of a line that did not fit belongs to the line already looked at.
        if (continuation) {
            continuation = !complete;
            continue;
        }
        ++number;
        if (!complete && !std::feof(file)) {
            result.problems.push_back("keys.cfg line " + std::to_string(number) + " is longer than 255 characters, skipped");
            continuation = true;
            continue;
        }
        if (std::memchr(line, '\0', length)) {
            result.problems.push_back("keys.cfg line " + std::to_string(number) + " holds a NUL byte, skipped");
            continue;
        }
        if (line[0] == '\n' || line[0] == '/' || line[0] == '\r')
            continue;
        char* separator = std::strchr(line, ';');
        if (!separator) {
            result.problems.push_back("keys.cfg line " + std::to_string(number) + " has no ';', skipped");
            continue;
        }
        *separator = '\0';
        const int action = FindAction(line);
        if (action < 0) {
            result.problems.push_back("keys.cfg line " + std::to_string(number) + " names no action (\"" +
                                      std::string(line) + "\"), skipped");
            continue;
        }
        char* token = separator + 1;
        while (*token && IsDelimiter(*token))
            ++token;
        char* end = token;
        while (*end && !IsDelimiter(*end))
            ++end;
        *end = '\0';
        char* parsedEnd = nullptr;
        errno = 0;
        const long key = *token ? std::strtol(token, &parsedEnd, 10) : 0;
        if (!*token || *parsedEnd != '\0' || errno == ERANGE) {
            result.problems.push_back("keys.cfg line " + std::to_string(number) + " has no key code for \"" +
                                      std::string(line) + "\", skipped");
            continue;
        }
        if (key != -1 && (key < 0 || key >= KeyCount)) {
            result.problems.push_back("keys.cfg line " + std::to_string(number) + " has the key code " +
                                      std::to_string(key) + ", outside 0..511, skipped");
            continue;
        }
        result.bindings.push_back({action, int(key)});
    }
    return result;
}

bool WriteKeysFile(std::FILE* file, const std::int32_t (&actionToKey)[ActionCount])
{
    bool written = std::fputs("// This is the key config file for the game.\n", file) >= 0 &&
                   std::fputs("// Best not to change it outside of the options menu.\n", file) >= 0;
    for (int action = 0; action < ActionCount && written; ++action)
        written = std::fprintf(file, "%s; %d\n", GetActionName(action), int(actionToKey[action])) > 0;
    return written;
}
