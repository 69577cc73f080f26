#pragma once

#include <cstdint>

#include "engine/core/Vector.h"

struct SaveStream;
namespace platform::net {
class BitStream;
}

// An airstrike as the radio calls it in: sent to the other machines ("AS"), kept by the strike and
// written twice into its saved block. Saved (little-endian, 844 bytes):
//   0   2  caller's object ID            2   2  radio item's object ID
//   4   4  damage (>= 0)                 8   4  blast radius (>= 0; also the safe distance in feet)
//   12 12  target point                  24 12  flight start          36 12  flight end
//   48  4  flight duration (>= 0.001)    52  4  bomber model scale    56  4  target marker scale
//   60  4  approach delay (>= 0)         64  4  bomb interval, fraction of the flight (>= 0.001)
//   68  4  bomb count (1..5)             72  4  pattern: 0 napalm line, 1 scattered bombs
//   76 128 x 6  flight sound, bomb sound, bomb effect, bomber model, marker model, chatter sound
struct AirStrikeOrder {
    static constexpr std::uint32_t kBlockSize = 844;
    static constexpr std::uint32_t kNameSize = 128;
    static constexpr int kMaxBombs = 5;

    std::uint16_t callerID = 0xFFFF;
    std::uint16_t radioID = 0xFFFF;
    std::int32_t damage = 0;
    std::int32_t radius = 0;
    Vector3 target, flightStart, flightEnd;
    float duration = 1.0f;
    float modelScale = 1.0f;
    float markerScale = 1.0f;
    float delay = 0.0f;
    float interval = 0.1f;
    std::int32_t bombCount = 1;
    std::int32_t pattern = 0;
    char flightSound[kNameSize] = {};
    char bombSound[kNameSize] = {};
    char bombEffect[kNameSize] = {};
    char bomberModel[kNameSize] = {};
    char markerModel[kNameSize] = {};
    char chatterSound[kNameSize] = {};

    // The radio definition's limits, for an order that came from a peer or a save: numbers
    // clamped, a name that is absolute or climbs out with ".." emptied (logged), so the strike
    // plays without it.
    void Clamp();

    void Save(SaveStream& stream) const;
    // Raises q3DError on a short block or a number that is not finite; then clamps.
    void Load(SaveStream& stream);

    // The "AS" record. Read answers false when the stream runs short or carries a number that
    // is not finite or a name it refuses; a complete order is clamped.
    bool Write(platform::net::BitStream& stream) const;
    bool Read(platform::net::BitStream& stream);
};

// A name an order may carry: relative, without a ".." step, terminated within its field.
bool IsSafeOrderPath(const char* name);
