#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "items/ItemModelCache.h"
#include "items/events/AirStrikeOrder.h"
#include "items/events/ScheduledEvent.h"

class Sound3D;

// A called-in airstrike: after the order's delay the bombers fly from the flight start to its end,
// the caller's team is warned to keep the safe distance, the bombs fall over the last part of the
// flight (the first one does the whole strike's damage, all round the target) and, once the
// flight is over and the last bomb's sound has ended, the strike finishes.
//
// Saved block (after the type tag 0): the order; the elapsed time (4); 25 bytes of state (0-4 the
// dropped flags, 5 spare, 6-7 zero, 8-11 the next bomb's index, 12-15 the drop threshold, 16-24
// the order's first bytes, ignored on reading); the order again, which wins.
class AirStrike : public ScheduledEvent {
public:
    static constexpr std::uint32_t kStateBytes = 25;

    // The strike of the order, set up (models) and running from its first frame.
    static AirStrike* Create(const AirStrikeOrder& order);
    // The flight fraction at which the first bomb falls: the bombs fill the flight's end.
    static float FirstThreshold(const AirStrikeOrder& order);
    // Where a bomb falls at flight fraction t (before the ground height is taken): along the
    // flight through the target for the napalm line, or in a random direction (fraction f of a
    // turn) up to half the radius (fraction f2) for scattered bombs.
    static Vector3 ImpactPoint(const AirStrikeOrder& order, float t, float f, float f2);
    // The safe-distance line a member of the caller's team sees at the distance from the target.
    static std::string WarningText(const AirStrikeOrder& order, float elapsed, float distance);

    AirStrike();
    ~AirStrike() override;

    void Update(float time) override;
    void Draw(Device* device) override;
    void Save(SaveStream& stream) override;
    void Load(SaveStream& stream) override;

    // One step of the flight without sounds, models or damage: the elapsed time grows and, when a
    // bomb is due, answers its index (its flag set, the threshold raised), else -1.
    int Advance(float time);
    // The flight fraction now (0 before the bombers come).
    float Progress() const;
    bool IsFlightOver() const { return elapsed > order.delay + order.duration; }

    const AirStrikeOrder& GetOrder() const { return order; }
    float GetElapsed() const { return elapsed; }
    float GetThreshold() const { return threshold; }
    int GetBombIndex() const { return bombIndex; }
    bool HasDropped(int bomb) const { return bomb >= 0 && bomb < AirStrikeOrder::kMaxBombs && dropped[bomb] != 0; }

private:
    void SetUp();
    void DropBomb(int bomb);
    void ReleaseModels();

    float elapsed = 0.0f;
    std::uint8_t dropped[AirStrikeOrder::kMaxBombs] = {};
    std::uint8_t spare = 0;
    std::int32_t bombIndex = 0;
    float threshold = 0.0f;
    AirStrikeOrder order;

    SharedMeshNode bomber;
    SharedMeshNode marker;
    ItemModelRecord* bomberRecord = nullptr;
    ItemModelRecord* markerRecord = nullptr;
    std::unique_ptr<Sound3D> flightSound, bombSound, chatterSound;
    int flightHandle = -1, chatterHandle = -1;
    int bombHandles[AirStrikeOrder::kMaxBombs] = {-1, -1, -1, -1, -1};
    int lastBomb = -1;
};
