#pragma once

#include "platform/net/BitStream.h"

#include <cstddef>
#include <string>

namespace platform::net {

// Texts in bit streams: a compressed length, then the characters, seven bits each when all of
// them are plain ASCII (names and chat usually are) and eight bits otherwise.
//
// `maxLength` is the size of the text buffer, terminator included, so at most `maxLength` - 1
// characters travel; a longer text is cut on the way out, and a longer record is refused on the
// way in.
class StringCompressor {
public:
    // Writes at most `maxLength` - 1 characters of the terminated text (null counts as empty).
    // False when the stream's limit refuses it; the stream then keeps none of the text.
    static bool EncodeString(const char* text, std::size_t maxLength, BitStream& out);
    static bool EncodeString(const std::string& text, std::size_t maxLength, BitStream& out);

    // Reads a text into a buffer of `maxLength` bytes and always terminates it. False, with an
    // empty text and the read position unchanged, when the length is above `maxLength` - 1 or the
    // bits left, or the record holds a zero character.
    static bool DecodeString(char* out, std::size_t maxLength, BitStream& in);
    static bool DecodeString(std::string& out, std::size_t maxLength, BitStream& in);
};

} // namespace platform::net
