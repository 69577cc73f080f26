#pragma once

#include <cstdint>

#include "engine/core/Geometry.h"
#include "engine/core/HitResult.h"
#include "engine/core/Matrix.h"
#include "engine/scene/SceneNode.h"

class Device;

// A scene node that owns the device's view and projection: its world matrix becomes the view,
// its field of view and the viewport's aspect the projection. It answers frustum tests and turns
// screen pixels into picking rays. The last camera updated is the device's active one.
class Camera : public SceneNode {
public:
    explicit Camera(Device* device);
    ~Camera() override;

    void UpdateTransform(float elapsed) override;

    virtual float GetNear();
    virtual void SetNear(float distance);
    virtual float GetFar();
    virtual void SetFar(float distance);
    virtual float GetFov();
    virtual void SetFov(float radians); // horizontal field of view
    virtual float GetFogStart();
    virtual void SetFogStart(float fraction); // of the far distance
    virtual float GetFogEnd();
    virtual void SetFogEnd(float fraction);
    virtual void GetFogColor(std::uint32_t* out);
    virtual void SetFogColor(std::uint32_t color);
    // The projection and fog range are rebuilt at the next transform update.
    virtual void Invalidate();
    // Left, right, top, bottom, near, far; a point is outside a plane when
    // normal . p + d > 0 (here d is the plane's fourth coefficient).
    virtual void GetFrustumPlanes(Plane out[6]);
    virtual bool IsPointVisible(const Vector3& point);
    // 0 outside, 1 crossing a plane, 2 wholly inside.
    virtual int SphereInFrustum(const BoundingSphere& sphere);
    virtual int BoxInFrustum(const BoundingBox& box);
    // A ray through the pixel, in world space (direction not normalised).
    virtual void ScreenToRay(float pixelX, float pixelY, HitResult* ray);

    const Matrix4& GetView() const { return view; }
    const Matrix4& GetProjection() const { return projection; }
    float GetAspect() const { return aspect; }

private:
    void BuildProjection();
    // The six planes as (a, b, c, d) of the current world x view x projection.
    void BuildFrustum();

    std::uint8_t projectionDirty = 1;
    // Size of the render target the projection was last built for: a change of target (or of
    // resolution) rebuilds it, as Invalidate does.
    int builtTargetWidth = 0;
    int builtTargetHeight = 0;
    float nearDistance = 0.05f;
    float farDistance = 100.0f;
    float fov = 1.2217307f;
    float fogStart = 0.3f;
    float fogEnd = 1.05f;
    float aspect = 1.0f;
    std::uint32_t fogColor = 0;
    Matrix4 view;
    Matrix4 projection;
    Device* device = nullptr;
    Plane frustum[6] = {};
};
