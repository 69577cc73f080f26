#include "tests/engine/animation/AnimationFixture.h"

namespace {

// Where bone "c" of the chain sits with bone "b" turned by the given degrees about z.
Vector3 TipAt(float degrees)
{
    const float r = degrees * 3.14159265f / 180.0f;
    return Vector3(-std::sin(r), 1.0f + std::cos(r), 0.0f);
}

// A chain model and a one-second animation that holds bone "b" turned by 90 degrees.
class AnimationControlTest : public AnimatedModelTest {
protected:
    void SetUp() override
    {
        AnimatedModelTest::SetUp();
        Write("chain.gr2", ChainModel());
        Write("turn.gr2", ChainTurn(90.0f, 1.0f));
        model.Load(device, "chain.gr2", nullptr);
        tip = model.FindBone("c");
        ASSERT_EQ(tip, 2);
        turn = model.LoadAnimation("turn.gr2");
        ASSERT_NE(turn, nullptr);
    }

    void TearDown() override
    {
        model.Release();
        AnimatedModelTest::TearDown();
    }

    Vector3 Tip()
    {
        Vector3 p;
        model.GetBonePosition(tip, p);
        return p;
    }

    AnimatedModel model;
    AnimationControl* turn = nullptr;
    int tip = -1;
};

} // namespace

TEST_F(AnimationControlTest, ANewControlHasTheDefaultsAndAnswersWithoutRunning)
{
    EXPECT_EQ(turn->loopCount, 0);
    EXPECT_FLOAT_EQ(turn->speed, 1.0f);
    EXPECT_FLOAT_EQ(turn->weight, 1.0f);
    EXPECT_FLOAT_EQ(turn->easeIn, 0.3f);
    EXPECT_FLOAT_EQ(turn->startTime, -1.0f);
    EXPECT_FALSE(model.IsPlaying(turn));
    EXPECT_FLOAT_EQ(model.GetClock(turn), 0.0f);
    EXPECT_FLOAT_EQ(model.GetDuration(turn), 0.0f);
    // A control never started answers the loop count it stores.
    EXPECT_EQ(model.SetLoopCount(4, turn), 1);
    EXPECT_EQ(model.GetLoopCount(turn), 4);
    EXPECT_EQ(model.GetLoopCount(nullptr), 4) << "null is the newest control";
}

TEST_F(AnimationControlTest, WithoutAnyAnimationTheOperationsAnswerTheirDefaults)
{
    model.FreeAnimation(turn);
    EXPECT_EQ(model.GetLoopCount(nullptr), -1);
    EXPECT_FLOAT_EQ(model.GetClock(nullptr), -1.0f);
    EXPECT_FLOAT_EQ(model.GetDuration(nullptr), -1.0f);
    EXPECT_FALSE(model.IsPlaying(nullptr));
    EXPECT_EQ(model.SetLoopCount(2, nullptr), 0);
    EXPECT_EQ(model.SetWeight(0.5f, nullptr), 0);
    EXPECT_EQ(model.SetSpeed(2.0f, nullptr), 0);
    model.PlayAnimation(0.0f, nullptr);
    model.StopAnimation(0.0f, nullptr, false);
    model.SetClock(1.0f, nullptr);
    model.SetEaseInTime(1.0f, nullptr);
    EXPECT_TRUE(model.GetPlaying().empty());
}

TEST_F(AnimationControlTest, PlayingPosesTheBonesAndEasesIn)
{
    ExpectNear(Tip(), TipAt(0.0f));
    model.PlayAnimation(0.0f, turn);
    EXPECT_TRUE(model.IsPlaying(turn));
    EXPECT_FLOAT_EQ(turn->startTime, 0.0f);
    ASSERT_EQ(model.GetPlaying().size(), 1u);
    // Half way through the 0.3 s ease-in the weight is one half: the bone is half turned.
    model.UpdateTransform(0.15f);
    ExpectNear(Tip(), TipAt(45.0f), 1e-3f);
    model.UpdateTransform(0.15f);
    ExpectNear(Tip(), TipAt(90.0f), 1e-3f);
    // The node's own placement does not move the model-frame bone positions.
    model.position = Vector3(5, 0, 0);
    model.UpdateTransform(0.0f);
    ExpectNear(Tip(), TipAt(90.0f), 1e-3f);
}

TEST_F(AnimationControlTest, PlayingAControlThatPlaysKeepsItsStart)
{
    model.SetEaseInTime(0.0f, turn);
    model.PlayAnimation(0.0f, turn);
    model.UpdateTransform(0.4f);
    model.PlayAnimation(0.0f, turn);
    EXPECT_FLOAT_EQ(turn->startTime, 0.0f);
    EXPECT_NEAR(model.GetClock(turn), 0.4f, 1e-5f);
    EXPECT_EQ(model.GetPlaying().size(), 1u);
}

TEST_F(AnimationControlTest, ClocksFollowTheOffsetAndTheSpeed)
{
    model.UpdateTransform(1.0f);
    model.SetSpeed(2.0f, turn);
    model.PlayAnimation(0.5f, turn);
    EXPECT_FLOAT_EQ(turn->startTime, 1.5f);
    // Half a model second before its start; the speed applies from now on.
    EXPECT_NEAR(model.GetClock(turn), -0.5f, 1e-5f);
    model.UpdateTransform(1.0f);
    EXPECT_NEAR(model.GetClock(turn), 1.5f, 1e-5f);
    model.SetClock(0.25f, turn);
    EXPECT_NEAR(model.GetClock(turn), 0.25f, 1e-5f);
    EXPECT_NEAR(model.GetModelClock(), 2.0f, 1e-6f);
}

TEST_F(AnimationControlTest, LoopCountsGiveDurationsAndAnEnd)
{
    struct Case {
        int loops;
        float speed;
        float duration;
        float stillPlayingAt;
        float doneAt; // < 0: never
    };
    const Case cases[] = {
        {0, 1.0f, 0.0f, 100.0f, -1.0f},
        {1, 1.0f, 1.0f, 0.9f, 1.1f},
        {2, 1.0f, 2.0f, 1.9f, 2.1f},
        {3, 2.0f, 3.0f, 1.4f, 1.6f}, // three loops at twice the speed take 1.5 s
    };
    for (const Case& c : cases) {
        AnimationControl* control = model.LoadAnimation("turn.gr2");
        model.SetLoopCount(c.loops, control);
        model.SetSpeed(c.speed, control);
        const float start = model.GetModelClock();
        model.PlayAnimation(0.0f, control);
        EXPECT_FLOAT_EQ(model.GetDuration(control), c.duration) << c.loops;
        EXPECT_EQ(model.GetLoopCount(control), c.loops);
        model.UpdateTransform(start + c.stillPlayingAt - model.GetModelClock());
        EXPECT_TRUE(model.IsPlaying(control)) << c.loops;
        if (c.doneAt >= 0.0f) {
            model.UpdateTransform(start + c.doneAt - model.GetModelClock());
            EXPECT_FALSE(model.IsPlaying(control)) << c.loops;
        }
        model.FreeAnimation(control);
    }
}

TEST_F(AnimationControlTest, AFinishedControlStartsAfreshWhenPlayedAgain)
{
    model.SetEaseInTime(0.0f, turn);
    model.SetLoopCount(1, turn);
    model.PlayAnimation(0.0f, turn);
    model.UpdateTransform(1.5f);
    EXPECT_FALSE(model.IsPlaying(turn));
    model.PlayAnimation(0.0f, turn);
    EXPECT_TRUE(model.IsPlaying(turn));
    EXPECT_FLOAT_EQ(turn->startTime, 1.5f);
    EXPECT_NEAR(model.GetClock(turn), 0.0f, 1e-6f);
    EXPECT_EQ(model.GetPlaying().size(), 1u);
}

TEST_F(AnimationControlTest, StoppingAtOnceReturnsToRestAtTheNextUpdate)
{
    model.SetEaseInTime(0.0f, turn);
    model.PlayAnimation(0.0f, turn);
    model.UpdateTransform(0.1f);
    ExpectNear(Tip(), TipAt(90.0f), 1e-3f);
    model.StopAnimation(0.0f, turn, true);
    EXPECT_EQ(turn->control, nullptr);
    EXPECT_FALSE(model.IsPlaying(turn));
    EXPECT_TRUE(model.GetPlaying().empty());
    EXPECT_FLOAT_EQ(model.GetClock(turn), 0.0f);
    model.UpdateTransform(0.0f);
    ExpectNear(Tip(), TipAt(0.0f), 1e-4f);
}

TEST_F(AnimationControlTest, StoppingOverTimeFadesOnlyWithEaseOut)
{
    struct Case {
        bool easeOut;
        float halfWayDegrees;
    };
    for (const Case c : {Case{true, 45.0f}, Case{false, 90.0f}}) {
        model.SetEaseInTime(0.0f, turn);
        model.PlayAnimation(0.0f, turn);
        model.UpdateTransform(0.2f);
        model.StopAnimation(0.5f, turn, c.easeOut);
        EXPECT_FALSE(model.IsPlaying(turn));
        model.UpdateTransform(0.25f);
        ExpectNear(Tip(), TipAt(c.halfWayDegrees), 1e-3f);
        model.UpdateTransform(0.25f);
        ExpectNear(Tip(), TipAt(0.0f), 1e-4f);
        model.UpdateTransform(1.0f);
        ExpectNear(Tip(), TipAt(0.0f), 1e-4f);
    }
}

TEST_F(AnimationControlTest, StoppingEveryControlAndWeights)
{
    AnimationControl* second = model.LoadAnimation("turn.gr2");
    for (AnimationControl* c : {turn, second}) {
        model.SetEaseInTime(0.0f, c);
        model.SetWeight(0.5f, c);
        model.PlayAnimation(0.0f, c);
    }
    EXPECT_EQ(model.GetPlaying().size(), 2u);
    // Two controls of weight one half together make a full turn.
    model.UpdateTransform(0.1f);
    ExpectNear(Tip(), TipAt(90.0f), 1e-3f);
    model.StopAnimation(0.0f, second, false);
    model.UpdateTransform(0.1f);
    // One control of weight one half blends with the rest pose.
    ExpectNear(Tip(), TipAt(45.0f), 1e-3f);
    model.PlayAnimation(0.0f, second);
    model.StopAnimation(0.0f, nullptr, false);
    EXPECT_TRUE(model.GetPlaying().empty());
    EXPECT_FALSE(model.IsPlaying(turn));
    EXPECT_FALSE(model.IsPlaying(second));
}

TEST_F(AnimationControlTest, FreeingAPlayingControlStopsIt)
{
    model.SetEaseInTime(0.0f, turn);
    model.PlayAnimation(0.0f, turn);
    const int entries = GrannyFileCache::EntryCount();
    model.FreeAnimation(turn);
    EXPECT_EQ(GrannyFileCache::EntryCount(), entries - 1) << "its only reference was dropped";
    EXPECT_TRUE(model.GetPlaying().empty());
    model.UpdateTransform(0.1f);
    ExpectNear(Tip(), TipAt(0.0f), 1e-4f);
}

TEST_F(AnimationControlTest, FreeingAControlThatStillFadesEndsTheFadeWithIt)
{
    model.SetEaseInTime(0.0f, turn);
    model.PlayAnimation(0.0f, turn);
    model.UpdateTransform(0.1f);
    model.StopAnimation(0.5f, turn, true);
    const int entries = GrannyFileCache::EntryCount();
    model.FreeAnimation(turn);
    EXPECT_EQ(GrannyFileCache::EntryCount(), entries - 1) << "the animation file is freed at once";
    model.UpdateTransform(0.1f);
    ExpectNear(Tip(), TipAt(0.0f), 1e-4f);
}

TEST_F(AnimationControlTest, PlayingInStepWithAnotherModel)
{
    AnimatedModel leader;
    leader.Load(device, "chain.gr2", nullptr);
    AnimationControl* led = leader.LoadAnimation("turn.gr2");
    leader.PlayAnimation(0.0f, led);
    leader.UpdateTransform(0.4f);
    model.UpdateTransform(5.0f);
    model.PlayAnimation(0.0f, turn, &leader);
    EXPECT_NEAR(model.GetClock(turn), 0.4f, 1e-5f);
    model.UpdateTransform(0.1f);
    leader.UpdateTransform(0.1f);
    EXPECT_NEAR(model.GetClock(turn), leader.GetClock(led), 1e-5f);
}
