#pragma once

#include <cstdint>

class Device;

// A control of a screen: a rectangle with a tooltip and a hit test. Screens run their widgets
// each frame; registered with the Application a widget also gets hover tooltips and the click
// sound.
class Widget {
public:
    static constexpr int TooltipSize = 256;

    Widget(int x, int y, int width, int height);
    virtual ~Widget() = default;
    Widget(const Widget&) = delete;
    Widget& operator=(const Widget&) = delete;

    // Draws and polls the widget; returns a click result (the base does nothing).
    virtual int Run(Device* device, int mouseX, int mouseY);
    // The left and top edges are inside, the right and bottom edges outside; a disabled widget
    // is never hit.
    virtual bool HitTest(int x, int y);

    // Copies at most 255 characters; null empties it.
    void SetTooltip(const char* text);

    std::int32_t x;
    std::int32_t y;
    bool visible = true;
    char tooltip[TooltipSize] = {};  // '\n' separates lines
    bool clickSound = false;
    std::int32_t width;
    std::int32_t height;
    bool enabled = true;
};
