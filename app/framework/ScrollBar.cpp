#include "app/framework/ScrollBar.h"

#include "app/framework/Application.h"
#include "engine/core/FormatText.h"
#include "engine/core/q3DError.h"
#include "engine/sprite/Sprite.h"
#include "platform/os/VirtualKeys.h"
#include "renderer/Device.h"

#include <string>

namespace {

constexpr int ArrowSize = 18;
// The thumb's travel is the bar less both arrows and the thumb's own extent.
constexpr int TravelMargin = 50;

std::string InFolder(const char* folder, const char* name)
{
    return std::string(folder ? folder : "") + "/" + name;
}

D3DBitmap* LoadImage(Device* device, const std::string& path, bool required)
{
    D3DBitmap* bitmap = nullptr;
    if (device)
        device->CreateRenderTargetBitmap(&bitmap);
    if (bitmap) {
        D3DBitmap* backBuffer = device->GetBackBuffer();
        if (bitmap->Load(path.c_str(), backBuffer ? backBuffer->GetFormat() : 0, 0) >= 0)
            return bitmap;
        bitmap->Destroy();
    }
    if (required)
        throw q3DError("Can't load %s", path.c_str());
    return nullptr;
}

} // namespace

ScrollBar::ScrollBar(int x, int y, Device* device, int length, int count, bool horizontal, const char* folder)
    : Widget(x, y, ArrowSize, length), length(length), horizontal(horizontal)
{
    // A vertical bar's down arrow has no pressed image of its own.
    const char* vertical[7] = {"ArrowUp.tga",   "ArrowUpO.tga",   "ArrowUpD.tga", "ArrowDown.tga",
                               "ArrowDownO.tga", "ArrowDown.tga", "bar.tga"};
    const char* across[7] = {"ArrowLeft.tga",  "ArrowLeftO.tga",  "ArrowLeftD.tga", "ArrowRight.tga",
                             "ArrowRightO.tga", "ArrowRightD.tga", "barVertical.tga"};
    const char* const* names = horizontal ? across : vertical;
    try {
        for (int i = 0; i < 6; ++i)
            arrows[i] = LoadImage(device, InFolder(folder, names[i]), true);
        bar = LoadImage(device, InFolder(folder, names[6]), false);
        thumb = std::make_unique<Sprite>();
        thumb->Load(device, InFolder(folder, "Scroll.tga").c_str());
        draggedThumb = std::make_unique<Sprite>();
        draggedThumb->Load(device, InFolder(folder, "ScrollD.tga").c_str());
    } catch (...) {
        for (D3DBitmap*& image : arrows)
            if (image)
                image->Destroy();
        if (bar)
            bar->Destroy();
        throw;
    }
    SetCount(count);
    lastTime = device ? device->GetTime() : 0;
}

ScrollBar::~ScrollBar()
{
    thumb.reset();
    draggedThumb.reset();
    for (D3DBitmap* image : arrows)
        if (image)
            image->Destroy();
    if (bar)
        bar->Destroy();
}

void ScrollBar::SetCount(int newCount)
{
    count = newCount <= 1 ? 0 : newCount;
    ClampPosition();
}

void ScrollBar::SetPosition(int newPosition)
{
    position = newPosition;
    ClampPosition();
}

void ScrollBar::ClampPosition()
{
    if (position >= count)
        position = count - 1;
    if (position < 0 || count == 0)
        position = 0;
}

void ScrollBar::SetClock(std::function<int()> newClock)
{
    clock = std::move(newClock);
    if (clock)
        lastTime = clock();
}

int ScrollBar::Run(Device* device, int mouseX, int mouseY)
{
    const int now = clock ? clock() : device ? device->GetTime() : lastTime;
    repeatTimer -= now - lastTime;
    lastTime = now;
    const bool leftDown = Application::Instance()->GetKeyState(platform::os::VK_LBUTTON) != 0;
    const bool pressEdge = leftDown && !leftDownLastFrame;
    leftDownLastFrame = leftDown;
    if (!visible) {
        dragging = false;
        return false;
    }
    D3DBitmap* target = device ? device->GetBackBuffer() : nullptr;
    auto copy = [&](D3DBitmap* image, int along, int cross) {
        if (image && target)
            horizontal ? image->CopyTo(along, cross, target) : image->CopyTo(cross, along, target);
    };
    const int start = horizontal ? x : y;
    const int cross = horizontal ? y : x;
    const int mouseAlong = horizontal ? mouseX : mouseY;
    const int mouseCross = horizontal ? mouseY : mouseX;

    // First arrow (up or left).
    if (x < mouseX && mouseX < x + ArrowSize && y < mouseY && mouseY < y + ArrowSize && enabled) {
        copy(arrows[1], start, cross);
        if (leftDown && repeatTimer <= 0) {
            if (position > 0)
                --position;
            repeatTimer = 200;
        } else if (!leftDown) {
            repeatTimer = 0;
        }
    } else {
        copy(arrows[0], start, cross);
    }

    // Second arrow (down or right).
    const int secondStart = start + length - ArrowSize;
    if (cross < mouseCross && mouseCross < cross + ArrowSize && secondStart < mouseAlong &&
        mouseAlong < start + length && enabled) {
        copy(arrows[4], secondStart, cross);
        if (leftDown && repeatTimer <= 0) {
            if (position < count - 1)
                ++position;
            repeatTimer = 100;
        } else if (!leftDown) {
            repeatTimer = 0;
        }
    } else {
        copy(arrows[3], secondStart, cross);
    }

    if (bar)
        for (int along = start + ArrowSize; along < start + length - ArrowSize; along += 2)
            copy(bar, along, cross);

    const int travel = length - TravelMargin;
    int thumbAlong = start + (length / 2 - 8);
    if (count >= 1)
        thumbAlong = start + int(float(position) / float(count - 1) * float(travel)) + 16;
    thumbPosition = thumbAlong;
    for (Sprite* sprite : {thumb.get(), draggedThumb.get()}) {
        sprite->x = horizontal ? thumbAlong : cross;
        sprite->y = horizontal ? cross : thumbAlong;
    }

    // A bar too short to give the thumb any travel cannot be dragged.
    if (pressEdge && travel > 0 && enabled && cross < mouseCross && mouseCross < cross + ArrowSize &&
        thumbAlong < mouseAlong && mouseAlong < thumbAlong + ArrowSize)
        dragging = true;
    if (!leftDown)
        dragging = false;

    if (device)
        (dragging ? draggedThumb : thumb)->Draw(device);

    if (dragging) {
        position = int(float(mouseAlong - start - 24) / float(travel) * float(count));
        if (position > count - 1)
            position = count - 1;
        if (position < 0)
            position = 0;
    }
    ClampPosition();
    return false;
}
