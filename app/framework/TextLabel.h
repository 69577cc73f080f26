#pragma once

#include "app/framework/Widget.h"

#include <cstdint>

class BitmapFont;

// One line of text in a font, in its normal colour or, under the mouse, its hover colour.
// Its size is the text's width and the font's line height.
class TextLabel : public Widget {
public:
    static constexpr int TextSize = 2048;

    TextLabel(int x, int y, BitmapFont* font, const char* text);

    // Draws the text; returns false.
    int Run(Device* device, int mouseX, int mouseY) override;

    // Copies at most 2047 characters and measures the text again.
    void SetText(const char* text);
    const char* GetText() const { return text; }

    bool hoverColourOn = true;
    bool forcedHoverColour = false;
    std::uint32_t normalColour = 0xFFCCCCCC;
    std::uint32_t hoverColour = 0xFFFFFFFF;
    float scale = 1.0f;
    BitmapFont* font;

private:
    char text[TextSize] = {};
};
