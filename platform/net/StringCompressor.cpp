#include "platform/net/StringCompressor.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace platform::net {

bool StringCompressor::EncodeString(const char* text, std::size_t maxLength, BitStream& out)
{
    const std::size_t limit = maxLength > 0 ? maxLength - 1 : 0;
    const std::size_t length = text != nullptr ? ::strnlen(text, limit) : 0;
    bool sevenBit = true;
    for (std::size_t i = 0; i < length; ++i)
        sevenBit = sevenBit && static_cast<unsigned char>(text[i]) < 0x80;

    // Built aside so that a text the stream cannot hold leaves no half of itself behind.
    // Its own limit always holds the length group, the alphabet bit and the characters.
    BitStream record(length + 16);
    record.WriteCompressed(static_cast<std::uint64_t>(length));
    record.WriteBit(sevenBit);
    for (std::size_t i = 0; i < length; ++i)
        record.WriteBits(static_cast<unsigned char>(text[i]), sevenBit ? 7 : 8);
    return out.WriteStream(record);
}

bool StringCompressor::EncodeString(const std::string& text, std::size_t maxLength, BitStream& out)
{
    return EncodeString(text.c_str(), maxLength, out);
}

bool StringCompressor::DecodeString(char* out, std::size_t maxLength, BitStream& in)
{
    if (out == nullptr || maxLength == 0)
        return false;
    out[0] = '\0';
    const std::size_t start = in.GetReadOffset();
    auto refuse = [&] {
        in.SetReadOffset(start);
        out[0] = '\0';
        return false;
    };

    std::uint64_t length = 0;
    bool sevenBit = false;
    if (!in.ReadCompressed(length) || !in.ReadBit(sevenBit) || length > maxLength - 1)
        return refuse();
    const unsigned bits = sevenBit ? 7 : 8;
    if (length > in.GetNumberOfUnreadBits() / bits)
        return refuse();
    for (std::uint64_t i = 0; i < length; ++i) {
        std::uint64_t c = 0;
        in.ReadBits(c, bits);
        if (c == 0)
            return refuse();
        out[i] = static_cast<char>(c);
    }
    out[length] = '\0';
    return true;
}

bool StringCompressor::DecodeString(std::string& out, std::size_t maxLength, BitStream& in)
{
    out.clear();
    if (maxLength == 0)
        return false;
    // No text can be longer than the bits left allow, so a generous limit costs no memory.
    std::string buffer(std::min(maxLength, in.GetNumberOfUnreadBits() / 7 + 1), '\0');
    if (!DecodeString(buffer.data(), maxLength, in))
        return false;
    buffer.resize(std::strlen(buffer.c_str()));
    out = std::move(buffer);
    return true;
}

} // namespace platform::net
