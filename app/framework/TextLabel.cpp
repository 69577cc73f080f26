#include "app/framework/TextLabel.h"

#include "engine/font/BitmapFont.h"

#include <cstring>

TextLabel::TextLabel(int x, int y, BitmapFont* font, const char* text) : Widget(x, y, 0, 0), font(font)
{
    SetText(text);
}

void TextLabel::SetText(const char* newText)
{
    const std::size_t length = newText ? strnlen(newText, TextSize - 1) : 0;
    if (length)
        std::memmove(text, newText, length);
    text[length] = '\0';
    width = font ? font->GetTextWidth(text) : 0;
    height = font ? font->GetLineHeight() : 0;
}

int TextLabel::Run(Device* device, int mouseX, int mouseY)
{
    if (!font)
        return false;
    const float savedRed = font->red, savedGreen = font->green, savedBlue = font->blue;
    std::uint32_t colour = normalColour;
    if ((HitTest(mouseX, mouseY) && hoverColourOn) || forcedHoverColour)
        colour = hoverColour;
    font->red = float((colour >> 16) & 0xFF) / 255.0f;
    font->green = float((colour >> 8) & 0xFF) / 255.0f;
    font->blue = float(colour & 0xFF) / 255.0f;
    font->DrawText(device, x, y, scale, text);
    font->red = savedRed;
    font->green = savedGreen;
    font->blue = savedBlue;
    return false;
}
