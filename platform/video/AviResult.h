#pragma once

#include <cstdint>

namespace platform::video {

// Result codes of the video layer, with the numeric values of the AVI file services the movie
// player's error names are keyed by.
namespace aviresult {
constexpr std::int32_t Ok = 0;
constexpr std::int32_t ClassNotRegistered = static_cast<std::int32_t>(0x80040154u);
constexpr std::int32_t Memory = static_cast<std::int32_t>(0x80044065u);
constexpr std::int32_t Unsupported = static_cast<std::int32_t>(0x80044066u);
constexpr std::int32_t BadFormat = static_cast<std::int32_t>(0x80044067u);
constexpr std::int32_t Internal = static_cast<std::int32_t>(0x80044068u);
constexpr std::int32_t BadFlags = static_cast<std::int32_t>(0x80044069u);
constexpr std::int32_t BadParam = static_cast<std::int32_t>(0x8004406Au);
constexpr std::int32_t BadSize = static_cast<std::int32_t>(0x8004406Bu);
constexpr std::int32_t BadHandle = static_cast<std::int32_t>(0x8004406Cu);
constexpr std::int32_t FileRead = static_cast<std::int32_t>(0x8004406Du);
constexpr std::int32_t FileWrite = static_cast<std::int32_t>(0x8004406Eu);
constexpr std::int32_t FileOpen = static_cast<std::int32_t>(0x8004406Fu);
constexpr std::int32_t Compressor = static_cast<std::int32_t>(0x80044070u);
constexpr std::int32_t NoCompressor = static_cast<std::int32_t>(0x80044071u);
constexpr std::int32_t ReadOnly = static_cast<std::int32_t>(0x80044072u);
constexpr std::int32_t NoData = static_cast<std::int32_t>(0x80044073u);
constexpr std::int32_t BufferTooSmall = static_cast<std::int32_t>(0x80044074u);
constexpr std::int32_t CantCompress = static_cast<std::int32_t>(0x80044075u);
constexpr std::int32_t UserAbort = static_cast<std::int32_t>(0x800440C6u);
constexpr std::int32_t Error = static_cast<std::int32_t>(0x800440C7u);
}

}
