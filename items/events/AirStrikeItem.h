#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "items/Item.h"
#include "items/events/AirStrikeOrder.h"

class Sound3D;

// The radio's class lines after the common ones, read and checked: the texts as they stand, the
// numbers clamped to what an order can take.
struct AirStrikeRadioLines {
    std::string boneName, heldModel, radioSound, chatterSound, refusalSound;
    std::vector<std::string> explosionSounds, explosionEffects; // 1..3 variants
    std::string bomberModel, flightSound, markerModel;
    float modelScale = 1.0f, markerScale = 1.0f, delay = 0.0f;
    float flightHeight = 0.001f, duration = 0.001f;
    std::int32_t damage = 0, radius = 0, aimDistance = 0;
    std::int32_t pattern = 1, bombCount = 1;
    float interval = 0.001f;
    std::int32_t campaignAllowance = 0;
};
// The lines from the definition's class data; a number that is not one reads as 0 before its
// clamp, a float that is not finite is logged with the file and read as 0.
AirStrikeRadioLines ReadAirStrikeRadioLines(const std::vector<std::string>& lines, const char* path);
// The radio's line count for a variant count line (atoi, clamped to 1..3).
int AirStrikeRadioLineCount(const std::string& variantLine);

// "AirStrikeRadio": aimed at a point, it calls in an airstrike for as long as its count lasts.
// Its saved block is the 4-byte count alone.
class AirStrikeItem : public Item {
public:
    explicit AirStrikeItem(const ItemDefinition& definition);
    ~AirStrikeItem() override;

    void ReadDefinition(const ItemDefinition& definition) override;
    // The icon with the strikes left written on it.
    void DrawIcon(Device* device) override;
    void Select() override;
    // The trigger calls the strike; the radio is never left in use.
    bool BeginUse(bool forced) override;
    void EndUse() override {}
    void Load(SaveStream* stream) override;
    void Save(SaveStream* stream) override;

    // Builds the order towards the point the owner aims at and starts the strike; false (with the
    // refusal) when no strike is left.
    bool CallStrike();
    // The order for a target seen from the owner's position and horizontal facing, over a map of
    // the extent (its flight line crosses the whole map), with explosion variant r.
    AirStrikeOrder BuildOrder(const Vector3& target, const Vector3& from, Vector3 facing, float extent, int variant);
    // The point the owner aims at: the crosshair's hit, else the aim distance ahead on the ground.
    Vector3 AimPoint() const;

    std::int32_t strikesLeft = 0;
    AirStrikeRadioLines lines;

private:
    void PlayRadio(std::unique_ptr<Sound3D>& sound, int& handle, const std::string& path);

    std::unique_ptr<Sound3D> radioSound, refusalSound;
    int radioHandle = -1, refusalHandle = -1;
};
