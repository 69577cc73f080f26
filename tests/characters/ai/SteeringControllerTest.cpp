#include "characters/ai/SteeringController.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr float kPi = 3.14159265f;

void ExpectNear(const Vector3& actual, const Vector3& expected)
{
    EXPECT_NEAR(actual.x, expected.x, 1e-5f);
    EXPECT_NEAR(actual.y, expected.y, 1e-5f);
    EXPECT_NEAR(actual.z, expected.z, 1e-5f);
}

// A controller as the AI sets it up, standing at position and facing along +z.
SteeringController Controller(const Vector3& position = {})
{
    SteeringController steering;
    steering.weight5 = 1.0f, steering.pathWeight = 1.0f, steering.pathRadius = 0.0f, steering.seekWeight = 1.0f;
    Matrix4 transform;
    transform.SetTranslation(position);
    steering.SetTransform(transform);
    return steering;
}

TEST(SteeringControllerTest, StartsCleared)
{
    SteeringController steering;
    EXPECT_EQ(steering.marker, -1.0f);
    EXPECT_EQ(steering.transform, Matrix4());
    EXPECT_EQ(steering.weight5, 0.0f);
    EXPECT_FALSE(steering.normalize1);
    EXPECT_EQ(steering.seekInput, Vector3());
}

TEST(SteeringControllerTest, WithoutInputsTheHeadingIsForwardAndNoTurn)
{
    SteeringController steering = Controller({5, 0, 5});
    EXPECT_EQ(steering.position, Vector3(5, 0, 5));
    EXPECT_EQ(steering.Combine(), Vector3(0, 0, 1));
    EXPECT_EQ(steering.GetTurnAngle(), 0.0f);
}

TEST(SteeringControllerTest, BlendsWeightedInputsAndClearsThem)
{
    SteeringController steering = Controller();
    steering.input5 = {1, 0, 0};
    steering.weight2 = 3.0f, steering.input2 = {0, 0, 1};
    steering.normalize1 = true, steering.weight1 = 1.0f, steering.input1 = {0, 0, 10}; // normalised to length 1
    steering.weight10 = 2.0f, steering.input10 = {0, 0, -1};
    // (1, 0, 0) + (0, 0, 3) + (0, 0, 1) - (0, 0, 2) = (1, 0, 2)
    ExpectNear(steering.Combine(), Vector3(1, 0, 2) * (1 / std::sqrt(5.0f)));
    EXPECT_FALSE(steering.normalize1);
    EXPECT_EQ(steering.input1, Vector3());
    EXPECT_EQ(steering.input2, Vector3());
    EXPECT_EQ(steering.input5, Vector3());
    EXPECT_EQ(steering.input10, Vector3());
    EXPECT_EQ(steering.marker, -1.0f);
    EXPECT_EQ(steering.weight2, 3.0f); // weights stay
    EXPECT_EQ(steering.Combine(), Vector3(0, 0, 1));

    // Without normalising, input 3 counts by its length; a zero input normalises to zero.
    steering.weight3 = 1.0f, steering.input3 = {4, 0, 0};
    steering.input5 = {0, 0, 1};
    ExpectNear(steering.Combine(), Vector3(4, 0, 1) * (1 / std::sqrt(17.0f)));
    steering.normalize3 = true, steering.input3 = {4, 0, 0};
    steering.input5 = {0, 0, 1};
    ExpectNear(steering.Combine(), Vector3(1, 0, 1) * (1 / std::sqrt(2.0f)));
    steering.normalize1 = true, steering.weight1 = 1;
    EXPECT_EQ(steering.Combine(), Vector3(0, 0, 1));
}

TEST(SteeringControllerTest, OpposingInputsCancelToForward)
{
    SteeringController steering = Controller();
    steering.input5 = {1, 0, 0};
    steering.weight8 = 1.0f, steering.input8 = {-1, 0, 0};
    EXPECT_EQ(steering.Combine(), Vector3(0, 0, 1));
}

TEST(SteeringControllerTest, TurnAngleIsSignedAndFlat)
{
    const struct {
        Vector3 heading;
        float angle;
    } cases[] = {
        {{1, 0, 0}, kPi / 2},         {{-1, 0, 0}, -kPi / 2}, {{1, 0, 1}, kPi / 4},
        {{0, 5, 1}, 0.0f},            {{0, 0, -1}, kPi},      {{-1, 0, -1}, -3 * kPi / 4},
        {{0, 1, 0}, 0.0f}, // straight up: no flat direction, no turn
    };
    for (const auto& c : cases) {
        SteeringController steering = Controller();
        steering.input5 = c.heading;
        EXPECT_NEAR(steering.GetTurnAngle(), c.angle, 1e-5f) << c.heading.x << " " << c.heading.y << " " << c.heading.z;
        EXPECT_EQ(steering.input5, Vector3()); // the turn consumed the inputs
    }
}

TEST(SteeringControllerTest, SeekPointsAtTheOffsetPointAndTheLastPostWins)
{
    SteeringController steering = Controller({0, 0, 0});
    steering.Seek({10, 0, 0}, Matrix3(), 0);
    steering.Seek({0, 0, 10}, Matrix3(), 0);
    ExpectNear(steering.seekInput, {0, 0, 1});
    // Offset along the orientation's third row: 10 beyond (0, 0, -10) along -x... facing -x.
    Matrix3 facingMinusX;
    facingMinusX.m[0] = 0, facingMinusX.m[2] = 1, facingMinusX.m[6] = -1, facingMinusX.m[8] = 0;
    steering.Seek({10, 0, 10}, facingMinusX, 10);
    ExpectNear(steering.seekInput, {0, 0, 1});
    EXPECT_NEAR(steering.GetTurnAngle(), 0.0f, 1e-6f);
}

TEST(SteeringControllerTest, FollowSegmentSteersBackOnlyWhenOffTheSegmentOrFacingAgainstIt)
{
    // On the segment along +z, facing along it, within the radius: no path input.
    SteeringController steering = Controller({0, 0, 0});
    steering.pathRadius = 1.0f;
    steering.FollowSegment(10, {0.5f, 0, -20}, {0.5f, 0, 40});
    EXPECT_EQ(steering.pathInput, Vector3());
    // With radius 0, any sideways offset of the predicted point steers towards the projection.
    steering.pathRadius = 0.0f;
    steering.FollowSegment(10, {0.5f, 0, -20}, {0.5f, 0, 40});
    ExpectNear(steering.pathInput, Vector3(0.5f, 0, 10) * (1 / std::sqrt(100.25f)));
    steering.Combine();
    // Standing on the segment but facing against it: always steers.
    steering.FollowSegment(10, {0, 0, 40}, {0, 0, -20});
    ExpectNear(steering.pathInput, {0, 0, -1});
    // Far off to the side: towards the projection of the point ahead.
    steering.Combine();
    steering.pathRadius = 2.0f;
    steering.FollowSegment(10, {20, 0, -20}, {20, 0, 40});
    ExpectNear(steering.pathInput, Vector3(20, 0, 10) * (1 / std::sqrt(500.0f)));
    EXPECT_GT(steering.GetTurnAngle(), 0.0f);
    // A segment of no length: its direction stays zero, so the projection is its point.
    steering.FollowSegment(10, {3, 0, 0}, {3, 0, 0});
    ExpectNear(steering.pathInput, {1, 0, 0});
}

TEST(SteeringControllerTest, TheImageIs268BytesInFieldOrder)
{
    SteeringController steering = Controller({7, 8, 9});
    steering.normalize1 = true;
    steering.weight1 = 1.5f;
    steering.normalize3 = true;
    steering.pathRadius = 2.5f;
    steering.seekInput = {0.25f, 0.5f, 0.75f};
    steering.input10 = {-1, -2, -3};
    std::uint8_t image[SteeringController::kImageSize];
    std::memset(image, 0xCD, sizeof image);
    steering.WriteImage(image);
    const auto u32 = [&](std::size_t at) {
        return std::uint32_t(image[at]) | std::uint32_t(image[at + 1]) << 8 | std::uint32_t(image[at + 2]) << 16 |
               std::uint32_t(image[at + 3]) << 24;
    };
    const auto f32 = [&](std::size_t at) {
        const std::uint32_t bits = u32(at);
        float value;
        std::memcpy(&value, &bits, 4);
        return value;
    };
    EXPECT_EQ(u32(0), 0u);      // the table pointer's place
    EXPECT_EQ(u32(4), 1u);      // normalize1, 32-bit
    EXPECT_EQ(f32(8), 1.5f);    // weight1
    EXPECT_EQ(f32(76), 1.0f);   // weight5
    EXPECT_EQ(u32(40), 1u);     // normalize3, a byte and three zero bytes
    EXPECT_EQ(f32(92), 1.0f);   // pathWeight
    EXPECT_EQ(f32(96), 2.5f);   // pathRadius
    EXPECT_EQ(f32(112), 1.0f);  // seekWeight
    EXPECT_EQ(f32(120), 0.5f);  // seekInput.y
    EXPECT_EQ(f32(128), -1.0f); // marker
    EXPECT_EQ(f32(184), -2.0f); // input10.y
    EXPECT_EQ(f32(192), 7.0f);  // position.x
    EXPECT_EQ(f32(204), 1.0f);  // transform[0]
    EXPECT_EQ(f32(252), 7.0f);  // transform[12]
    EXPECT_EQ(f32(264), 1.0f);  // transform[15]

    SteeringController read;
    ASSERT_TRUE(read.ReadImage(image));
    std::uint8_t again[SteeringController::kImageSize];
    read.WriteImage(again);
    EXPECT_EQ(std::memcmp(image, again, sizeof image), 0);
    EXPECT_EQ(read.position, Vector3(7, 8, 9));
    EXPECT_TRUE(read.normalize3);
}

// A number that is not finite, or so large that the blend of the inputs overflows into a turn that
// is not a number (a forward axis of 1e30), refuses the image and leaves the controller as it was.
TEST(SteeringControllerTest, AnImageWithANumberNotFiniteOrBeyondItsBoundIsRefused)
{
    const struct {
        const char* name;
        std::size_t offset;
        float value;
        bool read;
    } cases[] = {
        {"path radius NaN", 96, std::numeric_limits<float>::quiet_NaN(), false},
        {"forward axis infinite", 236, std::numeric_limits<float>::infinity(), false},
        {"forward axis 1e30", 236, 1.0e30f, false},
        {"position beyond any map", 192, -2.0e6f, false},
        {"position at the bound", 192, -SteeringController::kMaxImageValue, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SteeringController steering = Controller({1, 2, 3});
        std::uint8_t image[SteeringController::kImageSize];
        steering.WriteImage(image);
        std::memcpy(image + c.offset, &c.value, 4);
        SteeringController read = Controller({4, 5, 6});
        EXPECT_EQ(read.ReadImage(image), c.read);
        if (c.read) {
            EXPECT_EQ(read.position.x, c.value);
            EXPECT_TRUE(std::isfinite(read.GetTurnAngle()));
            continue;
        }
        EXPECT_EQ(read.position, Vector3(4, 5, 6));
        EXPECT_EQ(read.pathRadius, 0.0f);
    }
}

} // namespace
