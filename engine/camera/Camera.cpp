#include "engine/camera/Camera.h"

#include <cmath>

#include "renderer/Device.h"

Camera::Camera(Device* device) : device(device)
{
    if (device) {
        device->SetFogColor(0xFFFFFFFFu);
        device->SetCamera(this);
    }
}

Camera::~Camera()
{
    if (device && device->GetCamera() == this)
        device->SetCamera(nullptr);
}

void Camera::UpdateTransform(float elapsed)
{
    SceneNode::UpdateTransform(elapsed);
    view = world;
    view.Invert();
    if (device) {
        device->SetViewTransform(&view);
        if (device->GetTargetWidth() != builtTargetWidth || device->GetTargetHeight() != builtTargetHeight)
            projectionDirty = 1;
    }
    if (projectionDirty) {
        BuildProjection();
        if (device) {
            device->SetProjectionTransform(&projection);
            device->SetFogStart(fogStart * farDistance);
            device->SetFogEnd(fogEnd * farDistance);
        }
        projectionDirty = 0;
    }
    if (device)
        device->SetCamera(this);
}

void Camera::BuildProjection()
{
    int x = 0, y = 0, width = 1, height = 1;
    if (device) {
        device->GetViewport(&x, &y, &width, &height);
        builtTargetWidth = device->GetTargetWidth();
        builtTargetHeight = device->GetTargetHeight();
    }
    aspect = height != 0 ? float(width) / float(height) : 1.0f;
    const float verticalFov = 2.0f * std::atan2(std::tan(fov / 2.0f) / aspect, 1.0f);
    projection.Perspective(verticalFov, aspect, nearDistance, farDistance);
}

float Camera::GetNear() { return nearDistance; }
float Camera::GetFar() { return farDistance; }
float Camera::GetFov() { return fov; }
float Camera::GetFogStart() { return fogStart; }
float Camera::GetFogEnd() { return fogEnd; }

void Camera::SetNear(float distance)
{
    nearDistance = distance;
    projectionDirty = 1;
}

void Camera::SetFar(float distance)
{
    farDistance = distance;
    projectionDirty = 1;
}

void Camera::SetFov(float radians)
{
    fov = radians;
    projectionDirty = 1;
}

void Camera::SetFogStart(float fraction)
{
    fogStart = fraction;
    if (device)
        device->SetFogStart(fraction * farDistance);
}

void Camera::SetFogEnd(float fraction)
{
    fogEnd = fraction;
    if (device)
        device->SetFogEnd(fraction * farDistance);
}

void Camera::GetFogColor(std::uint32_t* out)
{
    if (out)
        *out = fogColor;
}

void Camera::SetFogColor(std::uint32_t color)
{
    if (device)
        device->SetFogColor(color);
    fogColor = color;
}

void Camera::Invalidate()
{
    projectionDirty = 1;
}

void Camera::BuildFrustum()
{
    Matrix4 worldMatrix;
    if (device)
        device->GetWorldTransform(&worldMatrix);
    const Matrix4 c = worldMatrix * view * projection;
    auto column = [&](int j) { return Vector4(c(0, j), c(1, j), c(2, j), c(3, j)); };
    const Vector4 c0 = column(0), c1 = column(1), c2 = column(2), c3 = column(3);
    auto plane = [](float a, float b, float cc, float d) { return Plane(Vector3(a, b, cc), d); };
    frustum[0] = plane(-(c0.x + c3.x), -(c0.y + c3.y), -(c0.z + c3.z), -(c0.w + c3.w)); // left
    frustum[1] = plane(-(c3.x - c0.x), -(c3.y - c0.y), -(c3.z - c0.z), -(c3.w - c0.w)); // right
    frustum[2] = plane(-(c3.x - c1.x), -(c3.y - c1.y), -(c3.z - c1.z), -(c3.w - c1.w)); // top
    frustum[3] = plane(-(c1.x + c3.x), -(c1.y + c3.y), -(c1.z + c3.z), -(c1.w + c3.w)); // bottom
    frustum[4] = plane(-(c2.x + c3.x), -(c2.y + c3.y), -(c2.z + c3.z), -(c2.w + c3.w)); // near
    frustum[5] = plane(-(c3.x - c2.x), -(c3.y - c2.y), -(c3.z - c2.z), -(c3.w - c2.w)); // far
}

void Camera::GetFrustumPlanes(Plane out[6])
{
    BuildFrustum();
    for (int i = 0; i < 6; ++i)
        out[i] = frustum[i];
}

bool Camera::IsPointVisible(const Vector3& point)
{
    if (!device)
        return false;
    // The clip-space test on the device's own transforms (the ones TransformPoint projects with);
    // the screen coordinates TransformPoint hands out cannot be compared with w.
    Matrix4 worldMatrix, viewMatrix, projectionMatrix;
    device->GetWorldTransform(&worldMatrix);
    device->GetViewTransform(&viewMatrix);
    device->GetProjectionTransform(&projectionMatrix);
    const Vector4 clip = (worldMatrix * viewMatrix * projectionMatrix).Transform(Vector4(point, 1.0f));
    return -clip.w <= clip.x && clip.x <= clip.w && -clip.w <= clip.y && clip.y <= clip.w && 0.0f <= clip.z &&
           clip.z <= clip.w;
}

int Camera::BoxInFrustum(const BoundingBox& box)
{
    BuildFrustum();
    bool crossing = false;
    for (const Plane& p : frustum) {
        float smallest = p.d, largest = p.d;
        for (int axis = 0; axis < 3; ++axis) {
            const float k = p.normal[axis];
            smallest += k * (k >= 0.0f ? box.min[axis] : box.max[axis]);
            largest += k * (k >= 0.0f ? box.max[axis] : box.min[axis]);
        }
        if (smallest > 0.0f)
            return 0;
        if (largest >= 0.0f)
            crossing = true;
    }
    return crossing ? 1 : 2;
}

int Camera::SphereInFrustum(const BoundingSphere& sphere)
{
    BuildFrustum();
    bool crossing = false;
    for (Plane p : frustum) {
        const float length = p.normal.Length();
        if (length != 0.0f) {
            p.normal.Scale(1.0f / length);
            p.d /= length;
        }
        const float distance = p.normal.Dot(sphere.centre) + p.d;
        if (distance > sphere.radius)
            return 0;
        if (distance > -sphere.radius)
            crossing = true;
    }
    return crossing ? 1 : 2;
}

void Camera::ScreenToRay(float pixelX, float pixelY, HitResult* ray)
{
    if (!ray)
        return;
    int x = 0, y = 0, width = 1, height = 1;
    if (device)
        device->GetViewport(&x, &y, &width, &height);
    const float px = (2.0f * pixelX / float(width) - 1.0f) / projection(0, 0);
    const float py = -(2.0f * pixelY / float(height) - 1.0f) / projection(1, 1);
    Matrix4 inverse = view;
    inverse.Invert();
    const Vector3 row0(inverse(0, 0), inverse(0, 1), inverse(0, 2));
    const Vector3 row1(inverse(1, 0), inverse(1, 1), inverse(1, 2));
    const Vector3 row2(inverse(2, 0), inverse(2, 1), inverse(2, 2));
    ray->direction = row0 * px + row1 * py + row2;
    ray->origin = Vector3(inverse(3, 0), inverse(3, 1), inverse(3, 2));
}
