#include "items/Zoom.h"

#include <algorithm>
#include <cmath>

#include "app/framework/Application.h"
#include "app/framework/Options.h"
#include "engine/camera/Camera.h"
#include "items/ItemServices.h"

namespace {

constexpr int kZoomOutAction = 15;
constexpr int kZoomInAction = 16;

} // namespace

float StepZoom(float zoom, float maxZoom, float minZoom, int direction)
{
    const float step = (maxZoom - minZoom) / 8.0f;
    if (direction == 1)
        return std::min(zoom + step, maxZoom);
    if (direction == 0)
        return std::max(zoom - step, minZoom);
    return zoom;
}

float StartingZoom(float maxZoom, float minZoom)
{
    return maxZoom == minZoom ? maxZoom : maxZoom - minZoom;
}

void ApplyZoomToCamera(float zoom)
{
    if (Camera* camera = ItemsCamera()) {
        camera->SetFov(std::atan2(zoom * 0.01f, 1.0f));
        camera->UpdateTransform(0.0f);
    }
}

void StepZoomWithKeys(float& timer, float elapsed, const std::function<void(int direction)>& step)
{
    timer += elapsed;
    const Options* options = Options::Instance();
    if (!options)
        return;
    for (int direction : {0, 1}) {
        const int key = options->GetKeyForAction(direction == 0 ? kZoomOutAction : kZoomInAction);
        if (key > 0 && Application::Instance()->GetKeyState(key) && timer > 0.05f) {
            step(direction);
            timer = 0.0f;
        }
    }
}
