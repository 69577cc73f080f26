#pragma once

#include "app/framework/Widget.h"

#include <cstdint>
#include <functional>
#include <memory>

class D3DBitmap;
class Sprite;

// A vertical or horizontal bar with an arrow at each end and a thumb that can be dragged; it
// selects a position 0..count - 1. The widget rectangle is 18 x length.
class ScrollBar : public Widget {
public:
    // Loads the arrows, the optional bar image and the thumb sprites from the folder; throws
    // q3DError "Can't load %s" for an arrow, the sprite's error for a thumb.
    ScrollBar(int x, int y, Device* device, int length, int count, bool horizontal, const char* folder);
    ~ScrollBar() override;

    // Draws the bar, steps on held arrows (at once, then every 200 or 100 device-clock units),
    // and drags the thumb; returns false.
    int Run(Device* device, int mouseX, int mouseY) override;

    // Counts of 1 or less are kept as 0; the position stays within the count.
    void SetCount(int count);
    int GetCount() const { return count; }
    void SetPosition(int position);
    int GetPosition() const { return position; }
    bool IsDragging() const { return dragging; }
    // Where the last Run put the thumb along the bar (y for a vertical bar, x for a horizontal one).
    int GetThumbPosition() const { return thumbPosition; }
    // The clock the arrow repeat reads, in device-clock units; the device's own when empty. Tests
    // step it themselves.
    void SetClock(std::function<int()> newClock);

private:
    void ClampPosition();

    std::int32_t length;
    std::int32_t count = 0;
    std::int32_t position = 0;
    // First arrow normal, hover, pressed; second arrow normal, hover, pressed.
    D3DBitmap* arrows[6] = {};
    D3DBitmap* bar = nullptr;
    std::unique_ptr<Sprite> thumb;
    std::unique_ptr<Sprite> draggedThumb;
    std::int32_t repeatTimer = 0;
    std::int32_t lastTime = 0;
    std::function<int()> clock;
    bool dragging = false;
    bool horizontal;
    bool leftDownLastFrame = false;
    int thumbPosition = 0;
};
