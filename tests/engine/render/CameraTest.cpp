#include <cmath>

#include "engine/camera/Camera.h"
#include "tests/renderer/RendererFixture.h"

namespace {

class CameraTest : public RendererTest {
protected:
    void SetUp() override
    {
        RendererTest::SetUp();
        OpenWindowed(800, 600);
    }
};

constexpr float kTolerance = 1e-5f;

} // namespace

TEST_F(CameraTest, ConstructionMakesItTheActiveCameraAndDestructionClearsIt)
{
    auto* camera = new Camera(device);
    EXPECT_EQ(device->GetCamera(), camera);
    std::uint32_t fog = 0;
    device->GetFogColor(&fog);
    EXPECT_EQ(fog, 0xFFFFFFFFu);
    camera->GetFogColor(&fog);
    EXPECT_EQ(fog, 0u);
    delete camera;
    EXPECT_EQ(device->GetCamera(), nullptr);
}

TEST_F(CameraTest, ProjectionUsesTheHorizontalFieldOfViewAndViewportAspect)
{
    Camera camera(device);
    camera.UpdateTransform(0.0f);
    EXPECT_FLOAT_EQ(camera.GetAspect(), 800.0f / 600.0f);
    const float vertical = 2.0f * std::atan(std::tan(35.0f * 3.14159265f / 180.0f) * 0.75f);
    const float c = 1.0f / std::tan(vertical / 2.0f);
    Matrix4 projection;
    device->GetProjectionTransform(&projection);
    EXPECT_NEAR(projection(1, 1), c, kTolerance);
    EXPECT_NEAR(projection(0, 0), c / (800.0f / 600.0f), kTolerance);
    // Horizontally the default 70 degrees: x = tan(35 degrees) at z = 1 lands on the edge.
    EXPECT_NEAR(projection(0, 0) * std::tan(35.0f * 3.14159265f / 180.0f), 1.0f, kTolerance);
    const float q = 100.0f / (100.0f - 0.05f);
    EXPECT_NEAR(projection(2, 2), q, kTolerance);
    EXPECT_NEAR(projection(3, 2), -q * 0.05f, kTolerance);
    EXPECT_EQ(projection(2, 3), 1.0f);
}

TEST_F(CameraTest, ViewIsTheInverseOfTheWorldMatrix)
{
    Camera camera(device);
    camera.position = Vector3(3, 4, 5);
    camera.UpdateTransform(0.0f);
    Matrix4 view;
    device->GetViewTransform(&view);
    EXPECT_EQ(view.GetTranslation(), Vector3(-3, -4, -5));
    EXPECT_EQ(device->GetCamera(), &camera);
}

TEST_F(CameraTest, FogRangeFollowsTheFarDistance)
{
    Camera camera(device);
    camera.SetFar(200.0f);
    camera.SetFogEnd(0.5f); // uses the new far distance at once
    EXPECT_FLOAT_EQ(camera.GetFogEnd(), 0.5f);
    camera.UpdateTransform(0.0f);
    EXPECT_FLOAT_EQ(camera.GetFar(), 200.0f);
}

TEST_F(CameraTest, FrustumTestsAgainstHandWorkedBoxesAndSpheres)
{
    Camera camera(device);
    camera.SetFov(3.14159265f / 2.0f); // 90 degrees across
    camera.SetNear(1.0f);
    camera.SetFar(10.0f);
    camera.UpdateTransform(0.0f);
    Matrix4 identity;
    device->SetWorldTransform(&identity);

    struct BoxCase {
        Vector3 min, max;
        int expected;
    };
    const BoxCase boxes[] = {
        {{-0.5f, -0.5f, 4.0f}, {0.5f, 0.5f, 5.0f}, 2},    // well inside
        {{-0.5f, -0.5f, -5.0f}, {0.5f, 0.5f, -4.0f}, 0},  // behind
        {{-0.5f, -0.5f, 9.0f}, {0.5f, 0.5f, 11.0f}, 1},   // crosses the far plane
        {{-0.5f, -0.5f, 0.5f}, {0.5f, 0.5f, 2.0f}, 1},    // crosses the near plane
        {{20.0f, -0.5f, 4.0f}, {21.0f, 0.5f, 5.0f}, 0},   // right of the view
        {{-0.5f, -0.5f, 2.0f}, {0.5f, 0.5f, 10.0f}, 1},   // touches the far plane from inside
    };
    for (const BoxCase& c : boxes)
        EXPECT_EQ(camera.BoxInFrustum(BoundingBox(c.min, c.max)), c.expected)
            << c.min.x << "," << c.min.z << " - " << c.max.x << "," << c.max.z;

    EXPECT_EQ(camera.SphereInFrustum(BoundingSphere(Vector3(0, 0, 5), 1.0f)), 2);
    EXPECT_EQ(camera.SphereInFrustum(BoundingSphere(Vector3(0, 0, -5), 1.0f)), 0);
    EXPECT_EQ(camera.SphereInFrustum(BoundingSphere(Vector3(0, 0, 10), 1.0f)), 1);

    EXPECT_TRUE(camera.IsPointVisible(Vector3(0, 0, 5)));
    EXPECT_FALSE(camera.IsPointVisible(Vector3(0, 0, -5)));
    EXPECT_FALSE(camera.IsPointVisible(Vector3(0, 0, 11)));
    EXPECT_FALSE(camera.IsPointVisible(Vector3(0, 0, 0.5f))); // before the near plane: z < 0 in clip space

    Plane planes[6];
    camera.GetFrustumPlanes(planes);
    // The near plane tests the clip-space condition z >= -w: with q = far / (far - near) it
    // passes through z = q near / (1 + q), a little before the near distance.
    const float q = 10.0f / 9.0f;
    const Vector3 onNear(0, 0, q / (1.0f + q));
    EXPECT_NEAR(planes[4].normal.Dot(onNear) + planes[4].d, 0.0f, 1e-4f);
    EXPECT_LT(planes[4].normal.Dot(Vector3(0, 0, 1.0f)) + planes[4].d, 0.0f);
}

TEST_F(CameraTest, ScreenCentreRayPointsForward)
{
    Camera camera(device);
    camera.position = Vector3(1, 2, 3);
    camera.UpdateTransform(0.0f);
    HitResult ray;
    camera.ScreenToRay(400.0f, 300.0f, &ray);
    EXPECT_NEAR(ray.direction.x, 0.0f, kTolerance);
    EXPECT_NEAR(ray.direction.y, 0.0f, kTolerance);
    EXPECT_NEAR(ray.direction.z, 1.0f, kTolerance);
    EXPECT_EQ(ray.origin, Vector3(1, 2, 3));
    // The top-left pixel looks up and to the left.
    camera.ScreenToRay(0.0f, 0.0f, &ray);
    EXPECT_LT(ray.direction.x, 0.0f);
    EXPECT_GT(ray.direction.y, 0.0f);
    EXPECT_NEAR(ray.direction.x, -std::tan(35.0f * 3.14159265f / 180.0f), 1e-4f);
}

TEST_F(CameraTest, ANewRenderTargetRebuildsTheProjection)
{
    Camera camera(device);
    camera.UpdateTransform(0.0f);
    EXPECT_FLOAT_EQ(camera.GetAspect(), 800.0f / 600.0f);
    D3DBitmap* target = device->CreateRenderTargetBitmap(nullptr);
    ASSERT_EQ(target->Create("square", 256, 256, FormatX8R8G8B8, 0), 1);
    device->SetRenderTarget(target, nullptr);
    camera.UpdateTransform(0.0f);
    EXPECT_FLOAT_EQ(camera.GetAspect(), 1.0f);
    device->SetRenderTarget(nullptr, nullptr);
    camera.UpdateTransform(0.0f);
    EXPECT_FLOAT_EQ(camera.GetAspect(), 800.0f / 600.0f);
    target->Destroy();
}
