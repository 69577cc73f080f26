#include "platform/skeleton/BasisConversion.h"
#include "platform/skeleton/ModelInstance.h"
#include "platform/skeleton/Pose.h"
#include "tests/platform/skeleton/SkeletonFixtures.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace platform::skeleton;
using skeleton_test::Keys;

namespace {

// The chain a-b-c with: "lift" moving a from y 0 to 4 over 2 s; "lower" holding a at y -4;
// "bend" turning b about z 0 -> 90 -> 0 degrees at 0, 1, 2 s; "step" moving a in steps of 10 each
// second; "elsewhere" moving only a bone the chain does not have.
class SkeletonAnimation : public ::testing::Test {
protected:
    void SetUp() override
    {
        GltfScene scene = skeleton_test::Chain();
        float q90[4];
        skeleton_test::AxisAngle(0, 0, 1, 90, q90);
        scene.animations.push_back({"lift", {Keys(0, "translation", {0, 2}, {0, 0, 0, 0, 4, 0})}});
        scene.animations.push_back({"lower", {Keys(0, "translation", {0, 2}, {0, -4, 0, 0, -4, 0})}});
        scene.animations.push_back(
            {"bend", {Keys(1, "rotation", {0, 1, 2}, {0, 0, 0, 1, q90[0], q90[1], q90[2], q90[3], 0, 0, 0, 1})}});
        scene.animations.push_back({"step", {Keys(0, "translation", {0, 1, 2}, {0, 0, 0, 0, 10, 0, 0, 20, 0}, "STEP")}});
        GltfScene::Node stranger;
        stranger.name = "stranger";
        scene.nodes.push_back(stranger);
        scene.animations.push_back({"elsewhere", {Keys(3, "translation", {0, 1}, {0, 0, 0, 1, 1, 1})}});
        scene.writeScene = true;
        file = skeleton_test::Read(WriteGlb(scene));
        ASSERT_TRUE(file);
        // The chain is the scene's first root; the stranger is a model bone too, so take a
        // skeleton of the chain alone.
        chain = file->skeletons[0];
        chain.bones.resize(3);
        instance = std::make_unique<ModelInstance>(chain);
        local.resize(3);
    }

    const Animation& Named(const std::string& name) const
    {
        for (const Animation& a : file->animations) {
            if (a.name == name)
                return a;
        }
        throw std::runtime_error(name);
    }

    // a's height and b's turn about z (degrees) after sampling at the model clock.
    float Height(float clock)
    {
        instance->SetClock(clock);
        EXPECT_TRUE(instance->SampleAnimations(local));
        return local[0].translation.y;
    }

    float BendDegrees(float clock)
    {
        instance->SetClock(clock);
        EXPECT_TRUE(instance->SampleAnimations(local));
        return static_cast<float>(2.0 * std::atan2(local[1].rotation.z, local[1].rotation.w) * 180.0 / 3.14159265358979);
    }

    std::unique_ptr<File> file;
    Skeleton chain;
    std::unique_ptr<ModelInstance> instance;
    std::vector<Transform> local;
};

} // namespace

TEST_F(SkeletonAnimation, SamplesAtKeysAndBetweenThem)
{
    instance->PlayAnimation(Named("lift"), 0.0f);
    instance->PlayAnimation(Named("bend"), 0.0f);
    EXPECT_NEAR(Height(0.0f), 0.0f, 1e-6f);
    EXPECT_NEAR(Height(0.5f), 1.0f, 1e-6f);
    EXPECT_NEAR(Height(1.5f), 3.0f, 1e-6f);
    EXPECT_NEAR(BendDegrees(0.5f), 45.0f, 1e-3f);
    EXPECT_NEAR(BendDegrees(1.0f), 90.0f, 1e-3f);
    EXPECT_NEAR(BendDegrees(1.25f), 67.5f, 1e-3f);
    // Looping forever: the clock wraps at the 2 s duration.
    EXPECT_NEAR(Height(2.5f), 1.0f, 1e-5f);
    EXPECT_NEAR(BendDegrees(3.0f), 90.0f, 1e-3f);
    // Bones no control moves stay at rest.
    EXPECT_NEAR(local[2].translation.y, 1.0f, 1e-6f);
}

TEST_F(SkeletonAnimation, StepKeysHoldUntilTheNextKey)
{
    instance->PlayAnimation(Named("step"), 0.0f);
    EXPECT_FLOAT_EQ(Height(0.99f), 0.0f);
    EXPECT_FLOAT_EQ(Height(1.0f), 10.0f);
    EXPECT_FLOAT_EQ(Height(1.9f), 10.0f);
}

TEST_F(SkeletonAnimation, WeightsBlendAndTheRestPoseFillsWhatIsMissing)
{
    AnimationControl* lift = instance->PlayAnimation(Named("lift"), 0.0f);
    AnimationControl* lower = instance->PlayAnimation(Named("lower"), 0.0f);
    ASSERT_TRUE(lift && lower);
    lower->SetWeight(3.0f);
    // (1 x 2 + 3 x -4) / 4
    EXPECT_NEAR(Height(1.0f), -2.5f, 1e-5f);
    lower->SetWeight(0.0f);
    EXPECT_NEAR(Height(1.0f), 2.0f, 1e-5f);
    // A quarter of the lift and three quarters of the rest height 0.
    lift->SetWeight(0.25f);
    EXPECT_NEAR(Height(1.0f), 0.5f, 1e-5f);
}

TEST_F(SkeletonAnimation, LoopCountsHoldTheLastFrameAndSetTheDuration)
{
    AnimationControl* lift = instance->PlayAnimation(Named("lift"), 0.0f);
    ASSERT_TRUE(lift);
    EXPECT_EQ(lift->LoopCount(), 0);
    EXPECT_FLOAT_EQ(lift->Duration(), 0.0f);
    EXPECT_EQ(lift->DurationLeft(), AnimationControl::kNever);

    lift->SetLoopCount(2);
    EXPECT_FLOAT_EQ(lift->Duration(), 4.0f);
    EXPECT_NEAR(Height(3.0f), 2.0f, 1e-5f); // second loop
    EXPECT_FLOAT_EQ(lift->DurationLeft(), 1.0f);
    EXPECT_NEAR(Height(4.5f), 4.0f, 1e-5f); // done: the last frame holds
    EXPECT_FLOAT_EQ(lift->DurationLeft(), 0.0f);
    EXPECT_FALSE(lift->IsComplete()); // only a completion time completes a control
    EXPECT_GT(lift->EffectiveWeight(), 0.0f);

    lift->SetLoopCount(-3);
    EXPECT_EQ(lift->LoopCount(), 0);
}

TEST_F(SkeletonAnimation, ClocksFollowSpeedStartTimeAndRawSettings)
{
    AnimationControl* lift = instance->PlayAnimation(Named("lift"), 0.0f);
    ASSERT_TRUE(lift);
    lift->SetLoopCount(1);
    lift->SetSpeed(0.5f);
    EXPECT_NEAR(Height(1.0f), 1.0f, 1e-5f);
    EXPECT_FLOAT_EQ(lift->RawLocalClock(), 0.5f);
    EXPECT_FLOAT_EQ(lift->DurationLeft(), 3.0f); // 1.5 local seconds at half speed
    lift->SetRawLocalClock(1.5f);
    EXPECT_NEAR(Height(1.0f), 3.0f, 1e-5f);
    lift->SetSpeed(2.0f);
    EXPECT_NEAR(Height(1.1f), 3.4f, 1e-4f);

    // A start time ahead of the clock holds the first frame until then.
    ModelInstance later(chain);
    AnimationControl* delayed = later.PlayAnimation(Named("lift"), 1.0f);
    ASSERT_TRUE(delayed);
    EXPECT_FLOAT_EQ(delayed->RawLocalClock(), -1.0f);
    later.SetClock(0.5f);
    later.SampleAnimations(local);
    EXPECT_FLOAT_EQ(local[0].translation.y, 0.0f);
    later.SetClock(1.5f);
    later.SampleAnimations(local);
    EXPECT_NEAR(local[0].translation.y, 1.0f, 1e-5f);
}

TEST_F(SkeletonAnimation, EaseInAndOutShapeTheWeightAndCompletionFreesTheControl)
{
    AnimationControl* lift = instance->PlayAnimation(Named("lift"), 0.0f);
    ASSERT_TRUE(lift);
    lift->EaseIn(1.0f);
    EXPECT_FLOAT_EQ(lift->EffectiveWeight(), 0.0f);
    instance->SetClock(0.25f);
    EXPECT_NEAR(lift->EffectiveWeight(), 0.15625f, 1e-6f);
    // Half way through the ease: half the lift's 1.0 at 0.5 s, half the rest height 0.
    EXPECT_NEAR(Height(0.5f), 0.5f, 1e-5f);
    instance->SetClock(1.0f);
    EXPECT_FLOAT_EQ(lift->EffectiveWeight(), 1.0f);

    lift->EaseOut(0.5f);
    lift->CompleteAt(1.5f);
    EXPECT_FLOAT_EQ(lift->DurationLeft(), 0.5f);
    instance->SetClock(1.25f);
    EXPECT_NEAR(lift->EffectiveWeight(), 0.5f, 1e-6f);
    EXPECT_FALSE(lift->IsComplete());
    instance->FreeCompletedControls();
    EXPECT_EQ(instance->ControlCount(), 1);
    instance->SetClock(1.5f);
    EXPECT_TRUE(lift->IsComplete());
    EXPECT_FLOAT_EQ(lift->EffectiveWeight(), 0.0f);
    instance->FreeCompletedControls();
    EXPECT_EQ(instance->ControlCount(), 0);
    EXPECT_FLOAT_EQ(Height(1.6f), 0.0f);
}

TEST_F(SkeletonAnimation, ControlsAreMadeAndFreedOnlyForTheirInstance)
{
    EXPECT_EQ(instance->PlayAnimation(Named("elsewhere"), 0.0f), nullptr);
    AnimationControl* lift = instance->PlayAnimation(Named("lift"), 0.0f);
    ModelInstance other(chain);
    AnimationControl* foreign = other.PlayAnimation(Named("lift"), 0.0f);
    instance->FreeControl(foreign);
    instance->FreeControl(nullptr);
    EXPECT_EQ(instance->ControlCount(), 1);
    EXPECT_EQ(other.ControlCount(), 1);
    instance->FreeControl(lift);
    EXPECT_EQ(instance->ControlCount(), 0);
}

// The upper-body aim over the walk: the legs keep the walk, the arms lean towards the heavier aim.
TEST(SkeletonSoldierAnimation, UpperBodyAimBlendsOverTheWalk)
{
    auto load = [](const char* path) {
        std::unique_ptr<File> f = skeleton_test::Read(skeleton_test::DataFile(path));
        if (f)
            TransformFile(*f, EngineBasisConversion());
        return f;
    };
    std::unique_ptr<File> soldier = load("GameData/Models/us01_LOD1.gr2");
    std::unique_ptr<File> walk = load("GameData/Models/LowerBody/walk01.gr2");
    std::unique_ptr<File> aim = load("GameData/Models/UpperBody/Rifle/aim01.gr2");
    ASSERT_TRUE(soldier && walk && aim);
    const Skeleton& skeleton = soldier->skeletons[0];
    const std::size_t thigh = static_cast<std::size_t>(skeleton.FindBone("Bip01 L Thigh"));
    const std::size_t arm = static_cast<std::size_t>(skeleton.FindBone("Bip01 R UpperArm"));
    auto sample = [&](float aimWeight) {
        ModelInstance instance(skeleton);
        instance.PlayAnimation(walk->animations[0], 0.0f);
        if (aimWeight > 0.0f)
            instance.PlayAnimation(aim->animations[0], 0.0f)->SetWeight(aimWeight);
        instance.SetClock(0.1f);
        std::vector<Transform> pose(skeleton.bones.size());
        instance.SampleAnimations(pose);
        return pose;
    };
    const std::vector<Transform> walking = sample(0.0f);
    const std::vector<Transform> aiming = sample(2.0f);
    const std::vector<Transform> aimingOnly = sample(1e6f);
    EXPECT_EQ(aiming[thigh].rotation, walking[thigh].rotation);
    auto angle = [](const Quaternion& q) { return 2.0f * std::acos(std::min(std::fabs(q.w), 1.0f)); };
    // The aim raises the arm by 80 degrees; two thirds of the blend goes its way.
    EXPECT_NEAR(angle(aimingOnly[arm].rotation), 80.0f * 3.14159265f / 180.0f, 0.2f);
    EXPECT_GT(angle(aiming[arm].rotation), angle(walking[arm].rotation) + 0.5f);
    EXPECT_LT(angle(aiming[arm].rotation), angle(aimingOnly[arm].rotation));
}
