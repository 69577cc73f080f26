#pragma once

#include "engine/core/Vector.h"

#include <cstdint>
#include <string>

class BitmapFont;
class Device;

// The pieces of the in-game HUD that stand on their own: its texts, the geometry of its marks and
// its layout. MissionState::DrawHUD puts them together every frame.
class Hud {
public:
    // Squad panel: one row per member down the right edge.
    static constexpr int PanelTop = 5;
    static constexpr int PanelRowHeight = 38;
    static constexpr int PanelIconWidth = 34;
    // The held item's box at the bottom right, its icon inset by this much.
    static constexpr int ItemBoxRight = 300;
    static constexpr int ItemBoxBottom = 65;
    static constexpr int ItemIconInset = 8;
    static constexpr int ItemIconWidth = 64;
    // The formation chooser: its right edge this far from the screen's, standing on the item
    // box with this gap, so that neither covers the other and the chooser stays whole.
    static constexpr int FormationChooserRight = 138;
    static constexpr int FormationChooserGap = 4;
    // Accuracy marks around the screen centre.
    static constexpr float AccuracyReach = 40.0f;
    static constexpr float FixedAccuracyDistance = 10.0f;
    static constexpr float AccuracyMarkLength = 8.0f;
    static constexpr std::uint32_t AccuracyColour = 0x99FF0000u;
    static constexpr std::uint32_t IncomingFireColour = 0xFFFF0000u;
    static constexpr float IncomingFireSeconds = 1.5f;
    // The label of the object under the crosshair: below the centre, offering its action when
    // nearer than this along the pick ray.
    static constexpr int LabelOffset = 30;
    static constexpr float LabelActionDistance = 7.0f;
    // Edge warnings start this far inside the play rectangle.
    static constexpr float EdgeWarningDistance = 25.0f;

    // What taking a loose item would do for the character looking at it.
    enum class ItemOffer { Take, Ammunition, AmmunitionFull, NoAmmunition, Swap, Nothing };
    // The label of a loose item: the offer's text when near, the plain name when far.
    static std::string ItemLabel(const char* name, ItemOffer offer, bool near);
    // The text with the last blank before each line would pass the width (in the font's pixels)
    // turned into a line break; a word wider than the width stands on its own line.
    static std::string WrapText(BitmapFont* font, const char* text, int width);
    // "Prone" for posture 2, "Crouch" for 1, "Standing" otherwise.
    static const char* PostureName(int posture);
    // The warning for an edge of the play rectangle (minimum x, minimum z, maximum x, maximum z)
    // the point is within the warning distance of, null when it is near none.
    static const char* EdgeWarning(float x, float z, const float rectangle[4]);
    // How far the accuracy marks stand from the centre.
    static float AccuracyDistance(float accuracy, bool indicatorsOn);
    // The side (0 front, 1 right, 2 back, 3 left) a shot travelling along the direction came
    // from, seen along the view; -1 for no direction.
    static int IncomingSide(const Vector3& shotDirection, const Vector3& viewForward);
    // The four marks (and, for the marked side, a second line one pixel further in) as line
    // end points; returns how many points it wrote (at most 20).
    static int AccuracyMarks(int renderWidth, int renderHeight, float distance, int markedSide, float (*points)[2],
                             std::uint32_t* colours);
    // Screen-space lines, two points each.
    static void DrawLines(Device* device, const float (*points)[2], const std::uint32_t* colours, int pointCount);
};
