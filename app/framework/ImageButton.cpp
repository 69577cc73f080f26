#include "app/framework/ImageButton.h"

#include "app/framework/Application.h"
#include "engine/core/q3DError.h"
#include "platform/os/VirtualKeys.h"
#include "renderer/Device.h"

#include <string>

namespace {

D3DBitmap* LoadButtonImage(Device* device, const char* path)
{
    if (!device)
        throw q3DError("Can't load %s: %s", path, "no device");
    D3DBitmap* bitmap = nullptr;
    device->CreateRenderTargetBitmap(&bitmap);
    if (!bitmap)
        throw q3DError("Can't load %s: %s", path, device->GetLastError());
    D3DBitmap* backBuffer = device->GetBackBuffer();
    if (bitmap->Load(path, backBuffer ? backBuffer->GetFormat() : 0, 0) < 0) {
        const std::string reason = bitmap->GetLastError() ? bitmap->GetLastError() : "";
        bitmap->Destroy();
        throw q3DError("Can't load %s: %s", path, reason.c_str());
    }
    return bitmap;
}

} // namespace

ImageButton::ImageButton(int x, int y, Device* device, const char* pressedPath, const char* hoverPath,
                         const char* normalPath)
    : Widget(x, y, 0, 0)
{
    pressed = LoadButtonImage(device, pressedPath ? pressedPath : "");
    width = pressed->GetWidth();
    height = pressed->GetHeight();
    try {
        if (hoverPath)
            hover = LoadButtonImage(device, hoverPath);
        if (normalPath)
            normal = LoadButtonImage(device, normalPath);
    } catch (...) {
        if (hover)
            hover->Destroy();
        pressed->Destroy();
        throw;
    }
    clickSound = true;
}

ImageButton::~ImageButton()
{
    for (D3DBitmap* image : {pressed, hover, normal})
        if (image)
            image->Destroy();
}

int ImageButton::Run(Device* device, int mouseX, int mouseY)
{
    // Hover is the plain rectangle, so a disabled button still lights up; presses and clicks
    // need the hit test.
    const bool inside = mouseX >= x && mouseX < x + width && mouseY >= y && mouseY < y + height;
    const bool over = HitTest(mouseX, mouseY);
    const int leftState = Application::Instance()->GetKeyState(platform::os::VK_LBUTTON);
    const bool leftDown = leftState != 0;

    D3DBitmap* image = normal;
    if (hover && (inside || highlight))
        image = hover;
    if (over && leftDown && !downLastFrame) {
        pressedVisual = true;
        pressBeganHere = true;
    }
    if (pressed && (pressedVisual || latched)) {
        if (toggle)
            latched = true;
        image = pressed;
    }
    if (image && device)
        image->CopyTo(x, y, device->GetBackBuffer());

    if (leftDown) {
        downLastFrame = true;
        return leftState;
    }
    if (!downLastFrame)
        return false;
    downLastFrame = false;
    pressedVisual = false;
    const bool beganHere = pressBeganHere;
    pressBeganHere = false;
    if (!over) {
        latched = false;
        return false;
    }
    return beganHere;
}
