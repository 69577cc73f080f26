#pragma once

#include <functional>

// The eight-step zoom that binoculars and the scope share: a zoom value between the definition's
// least and most, turned into the camera's field of view atan2(zoom x 0.01, 1).

// The zoom one step (an eighth of the range) in or out (direction 1 or 0), kept in range.
float StepZoom(float zoom, float maxZoom, float minZoom, int direction);
// The zoom a definition starts with: the range, or the most when the two are equal.
float StartingZoom(float maxZoom, float minZoom);
// Sets the mission camera's field of view; nothing without a camera.
void ApplyZoomToCamera(float zoom);
// While the zoom-out or zoom-in key (the previous/next item actions) is held, steps at most every
// 0.05 s; timer counts the seconds since the last step.
void StepZoomWithKeys(float& timer, float elapsed, const std::function<void(int direction)>& step);
