#pragma once

#include <cstdint>

namespace platform::input {

// Result codes of the input layer. They keep the numeric values the game's error table is keyed
// by, so a code can be described the way players have always seen it.
namespace result {
constexpr std::int32_t Ok = 0;
constexpr std::int32_t False = 1;
constexpr std::int32_t PolledDevice = 2;
constexpr std::int32_t DownloadSkipped = 3;
constexpr std::int32_t EffectRestarted = 4;
constexpr std::int32_t Truncated = 8;
constexpr std::int32_t TruncatedAndRestarted = 0xC;
constexpr std::int32_t Pending = static_cast<std::int32_t>(0x8000000Au);
constexpr std::int32_t NotImplemented = static_cast<std::int32_t>(0x80004001u);
constexpr std::int32_t NoInterface = static_cast<std::int32_t>(0x80004002u);
constexpr std::int32_t Fail = static_cast<std::int32_t>(0x80004005u);
constexpr std::int32_t NoAggregation = static_cast<std::int32_t>(0x80040110u);
constexpr std::int32_t DeviceNotRegistered = static_cast<std::int32_t>(0x80040154u);
constexpr std::int32_t DeviceFull = static_cast<std::int32_t>(0x80040201u);
constexpr std::int32_t MoreData = static_cast<std::int32_t>(0x80040202u);
constexpr std::int32_t NotDownloaded = static_cast<std::int32_t>(0x80040203u);
constexpr std::int32_t HasEffects = static_cast<std::int32_t>(0x80040204u);
constexpr std::int32_t NotExclusiveAcquired = static_cast<std::int32_t>(0x80040205u);
constexpr std::int32_t IncompleteEffect = static_cast<std::int32_t>(0x80040206u);
constexpr std::int32_t NotBuffered = static_cast<std::int32_t>(0x80040207u);
constexpr std::int32_t EffectPlaying = static_cast<std::int32_t>(0x80040208u);
constexpr std::int32_t Unplugged = static_cast<std::int32_t>(0x80040209u);
constexpr std::int32_t ReportFull = static_cast<std::int32_t>(0x8004020Au);
constexpr std::int32_t ObjectNotFound = static_cast<std::int32_t>(0x80070002u);
constexpr std::int32_t AccessDenied = static_cast<std::int32_t>(0x80070005u); // another program has priority
constexpr std::int32_t BadHandle = static_cast<std::int32_t>(0x80070006u);
constexpr std::int32_t NotAcquired = static_cast<std::int32_t>(0x8007000Cu);
constexpr std::int32_t OutOfMemory = static_cast<std::int32_t>(0x8007000Eu);
constexpr std::int32_t NotInitialized = static_cast<std::int32_t>(0x80070015u);
constexpr std::int32_t InputLost = static_cast<std::int32_t>(0x8007001Eu);
constexpr std::int32_t InvalidArgument = static_cast<std::int32_t>(0x80070057u);
constexpr std::int32_t BadDriverVersion = static_cast<std::int32_t>(0x80070077u);
constexpr std::int32_t Acquired = static_cast<std::int32_t>(0x800700AAu);
constexpr std::int32_t OldVersion = static_cast<std::int32_t>(0x8007047Eu);
constexpr std::int32_t BetaVersion = static_cast<std::int32_t>(0x80070481u);
constexpr std::int32_t AlreadyInitialized = static_cast<std::int32_t>(0x800704DFu);

inline bool Failed(std::int32_t code) { return code < 0; }
}

}
