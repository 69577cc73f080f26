#pragma once

#include "app/framework/Widget.h"

class D3DBitmap;

// A button of three images of one asset folder: pressed (required, sets the size), hover and
// normal (optional), by convention "Name" + "D", "O" and nothing. A click is a release of the left
// button over the button after a press that began on it.
class ImageButton : public Widget {
public:
    // Loads the images in the back buffer's format; throws q3DError "Can't load %s: %s".
    ImageButton(int x, int y, Device* device, const char* pressedPath, const char* hoverPath, const char* normalPath);
    ~ImageButton() override;

    // Draws the button; non-zero while the left button is held after a press (its key state),
    // true on the frame of a click, else false.
    int Run(Device* device, int mouseX, int mouseY) override;

    bool highlight = false;  // show the hover image even when the mouse is elsewhere
    bool latched = false;    // show the pressed image
    bool toggle = false;     // a press latches

private:
    D3DBitmap* pressed = nullptr;
    D3DBitmap* hover = nullptr;
    D3DBitmap* normal = nullptr;
    bool downLastFrame = false;
    bool pressedVisual = false;
    // The press began over the button: only then is the release a click.
    bool pressBeganHere = false;
};
