#include "characters/body/AnimationController.h"

#include <cmath>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "app/framework/Application.h"
#include "characters/body/AnimationCache.h"
#include "engine/animation/AnimatedModel.h"
#include "engine/core/q3DError.h"
#include "tests/engine/animation/AnimationFixture.h"

namespace {

// A model folder of the test's own: "Models/animinfo.txt", the set folder "Models/Set/" and the
// shared "GameData/Models/LowerBody/" (both entered in the animation file cache), and a controller
// over a chain model whose variations draw from a scripted sequence.
class AnimationControllerTest : public RendererTest {
protected:
    void SetUp() override
    {
        RendererTest::SetUp();
        OpenWindowed(160, 120);
        std::filesystem::create_directories("Models/Set");
        std::filesystem::create_directories("GameData/Models/LowerBody");
        WriteFile("chain.gr2", WriteGlb(ChainModel()));
        AnimationCache::Instance().Clear();
    }

    void TearDown() override
    {
        controller.reset();
        AnimationCache::Instance().Clear();
        RendererTest::TearDown();
    }

    static void WriteText(const std::string& path, const std::string& text)
    {
        WriteFile(path, std::vector<std::uint8_t>(text.begin(), text.end()));
    }
    static void WriteClip(const std::string& path, float length = 1.0f, float degrees = 45.0f)
    {
        WriteFile(path, WriteGlb(ChainTurn(degrees, length)));
    }

    // Names "idle", "walk", "wave", "fall"; loaded after the files are written.
    void MakeController(int channels = 3, int maxVariations = 4)
    {
        WriteText("Models/animinfo.txt", "idle,standing still\r\nwalk\r\n/ a comment line\r\nwave\r\nfall\r\n");
        AnimationCache::Instance().Build("Models/Set/");
        AnimationCache::Instance().Build("GameData/Models/LowerBody/");
        controller = std::make_unique<AnimationController>("Models/", channels, 2, 4, maxVariations);
        controller->LoadModel(device, "chain.gr2");
        controller->SetRandomSource([this] {
            const std::uint32_t next = draws.empty() ? 0u : draws.front();
            if (!draws.empty())
                draws.pop_front();
            return next;
        });
        controller->LoadAnimationSet(0, "Models/Set/");
    }

    // One frame: requests, then the model's clock.
    void Step(float elapsed)
    {
        controller->Update(elapsed);
        controller->GetModel()->UpdateTransform(elapsed);
    }

    std::unique_ptr<AnimationController> controller;
    std::deque<std::uint32_t> draws;
};

} // namespace

TEST_F(AnimationControllerTest, VariationsStopAtTheFirstGapAndFallBackToTheSharedFolder)
{
    WriteClip("Models/Set/idle01.gr2");
    WriteClip("Models/Set/idle02.gr2");
    WriteClip("Models/Set/idle03.gr2");
    WriteClip("Models/Set/walk01.gr2");
    WriteClip("Models/Set/walk03.gr2"); // no 02: one variation
    WriteClip("GameData/Models/LowerBody/wave01.gr2");
    WriteClip("GameData/Models/LowerBody/wave02.gr2");
    MakeController();
    EXPECT_EQ(controller->GetName(0), "idle");
    EXPECT_EQ(controller->GetName(2), "wave");
    EXPECT_EQ(controller->GetVariationCount(0, 0), 3);
    EXPECT_EQ(controller->GetVariationCount(0, 1), 1);
    EXPECT_EQ(controller->GetVariationCount(0, 2), 2);
    EXPECT_EQ(controller->GetVariationCount(0, 3), 0);
    EXPECT_NE(controller->GetControl(0, 2, 1), nullptr);
    EXPECT_EQ(controller->GetVariationCount(1, 0), 0) << "set 1 was never loaded";
}

TEST_F(AnimationControllerTest, SurplusVariationsAndNamesAreIgnored)
{
    Application::Instance()->SetDevice(device); // the notes go to the engine log
    for (int v = 1; v <= 5; ++v)
        WriteClip("Models/Set/idle0" + std::to_string(v) + ".gr2");
    WriteText("Models/animinfo.txt", "idle\nwalk\nwave\nfall\nextra1\nextra2\n");
    AnimationCache::Instance().Build("Models/Set/");
    AnimationController small("Models/", 2, 1, 2, 3);
    small.LoadModel(device, "chain.gr2");
    small.LoadAnimationSet(0, "Models/Set/");
    EXPECT_EQ(small.GetAnimationCount(), 2);
    EXPECT_EQ(small.GetVariationCount(0, 0), 3);
    EXPECT_EQ(small.GetName(2), "") << "names past the count are not kept";
    Application::Instance()->SetDevice(nullptr);
    // One line for the four names past the count, one for the idle's two variations past three.
    std::ifstream in("q3D.log", std::ios::binary);
    const std::string log((std::istreambuf_iterator<char>(in)), {});
    const auto count = [&](const std::string& text) {
        std::size_t found = 0;
        for (std::size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
            ++found;
        return found;
    };
    EXPECT_EQ(count("animation names beyond"), 1u) << log;
    EXPECT_EQ(count("variations of idle"), 1u) << log;
}

TEST_F(AnimationControllerTest, HostileInfoFilesFailClearly)
{
    try {
        AnimationController none("Missing/", 2, 1, 4, 2);
        FAIL() << "a missing animinfo.txt must fail";
    } catch (const q3DError& error) {
        EXPECT_STREQ(error.GetText(), "Can't load Missing/animinfo.txt");
    }
    // Binary junk, an empty first name, a line of 10000 characters: no crash, names as read.
    std::string junk(10000, 'x');
    junk += ",\n";
    junk += std::string("\0\1\2\n", 4);
    WriteText("Models/animinfo.txt", junk);
    AnimationController odd("Models/", 2, 1, 3, 2);
    EXPECT_EQ(odd.GetName(0).size(), 255u);
    // A controller with no channels, sets or variations answers every question with "none".
    WriteText("Models/animinfo.txt", "idle\n");
    AnimationController empty("Models/", 0, 0, 1, 0);
    empty.Update(0.1f);
    EXPECT_EQ(empty.GetChannelAnimation(0), -1);
    EXPECT_FLOAT_EQ(empty.GetChannelClock(0), -1.0f);
    EXPECT_FALSE(empty.IsPlaying(5));
    EXPECT_EQ(empty.GetVariationControl(0), nullptr);
}

TEST_F(AnimationControllerTest, StartsWithTheChannelsBlendValuesAndFollowsChanges)
{
    WriteClip("Models/Set/idle01.gr2", 1.0f);
    MakeController();
    controller->SetChannelWeight(0, 0.25f);
    controller->SetChannelEaseIn(0, 0.5f);
    controller->SetChannelSpeed(0, 2.0f);
    controller->Request(0, 0);
    Step(0.1f);
    AnimationControl* control = controller->GetVariationControl(0);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(controller->GetChannelAnimation(0), 0);
    EXPECT_TRUE(controller->IsPlaying(0));
    EXPECT_FLOAT_EQ(control->weight, 0.25f);
    EXPECT_FLOAT_EQ(control->easeIn, 0.5f);
    EXPECT_FLOAT_EQ(control->speed, 2.0f);
    controller->SetChannelWeight(0, 0.75f); // reaches the running control at once
    EXPECT_FLOAT_EQ(control->weight, 0.75f);
    EXPECT_GT(controller->GetChannelClock(0), 0.0f);
    // A request with no variations is logged and not started; the channel counts it as playing.
    controller->Request(1, 3);
    Step(0.1f);
    EXPECT_EQ(controller->GetVariationControl(1), nullptr);
    EXPECT_FALSE(controller->IsPlaying(1));
    // Changing the set stops every channel.
    controller->SetAnimationSet(1);
    EXPECT_EQ(controller->GetChannelAnimation(0), -1);
    EXPECT_EQ(controller->GetAnimationSet(), 1);
}

TEST_F(AnimationControllerTest, LoopingVariationsSwitchOnTheSteppedClock)
{
    for (int v = 1; v <= 3; ++v)
        WriteClip("Models/Set/idle0" + std::to_string(v) + ".gr2", 0.5f);
    MakeController();
    controller->SetSwitchTimes(0, 1.0f, 1.0f);
    draws = {1}; // the first start takes variation 1 (of 0..2)
    controller->Request(0, 0);
    Step(0.0f);
    EXPECT_EQ(controller->GetChannelVariation(0), 1);
    const AnimationControl* first = controller->GetVariationControl(0);
    // Nothing changes before the switch time has run out.
    for (int frame = 0; frame < 4; ++frame)
        Step(0.25f);
    EXPECT_EQ(controller->GetChannelVariation(0), 1);
    // The next switch draws an offset among the other variations: 1 + 1 + (0 % 2) = 2.
    draws = {0};
    Step(0.25f);
    EXPECT_EQ(controller->GetChannelVariation(0), 2);
    EXPECT_NE(controller->GetVariationControl(0), first);
    EXPECT_TRUE(controller->IsPlaying(0));
    // A forced variation wins over the draw at the next switch.
    controller->GetChannel(0)->forcedVariation = 0;
    for (int frame = 0; frame < 5; ++frame)
        Step(0.25f);
    EXPECT_EQ(controller->GetChannelVariation(0), 0);
    // With the switch times held at the "never" value the variation stays.
    controller->SetSwitchTimes(0, AnimationController::kNoSwitch, AnimationController::kNoSwitch);
    controller->GetChannel(0)->forcedVariation = -1;
    for (int frame = 0; frame < 20; ++frame)
        Step(0.25f);
    EXPECT_EQ(controller->GetChannelVariation(0), 0);
}

TEST_F(AnimationControllerTest, AFirstVariationListedToPlayOnceNeverSwitches)
{
    WriteClip("Models/Set/wave01.gr2", 0.5f);
    WriteClip("Models/Set/wave02.gr2", 0.5f);
    WriteClip("Models/Set/idle01.gr2", 0.5f);
    WriteClip("Models/Set/idle02.gr2", 0.5f);
    // wave01 plays once; idle's listed 0 (loop forever) counts as no listed count.
    WriteText("Models/Set/animoptions.txt", "wave01.gr2 1\r\nwave02.gr2 1 1.5\r\nidle01.gr2 0\r\n");
    MakeController();
    EXPECT_EQ(controller->GetLoopCount(0, 2, 0), 1);
    EXPECT_EQ(controller->GetLoopCount(0, 0, 0), -1);
    EXPECT_FLOAT_EQ(controller->GetControl(0, 2, 1)->speed, 1.5f);
    controller->SetSwitchTimes(0, 0.1f, 0.1f);
    draws = {0};
    controller->Request(0, 2);
    Step(0.0f);
    EXPECT_EQ(controller->GetChannelVariation(0), 0);
    Step(0.3f);
    EXPECT_EQ(controller->GetChannelVariation(0), 0) << "no switch for a once-listed first variation";
    Step(0.3f);
    EXPECT_FALSE(controller->IsPlaying(0)) << "played once and finished";

    // A looping idle with no listed count switches on the random timer, not every frame.
    controller->SetSwitchTimes(0, 1.0f, 1.0f);
    draws = {0};
    controller->Request(0, 0);
    Step(0.0f);
    int switches = 0;
    int last = controller->GetChannelVariation(0);
    for (int frame = 0; frame < 8; ++frame) { // 0.8 s of a 1.0 s switch time
        Step(0.1f);
        switches += controller->GetChannelVariation(0) != last;
        last = controller->GetChannelVariation(0);
    }
    EXPECT_EQ(switches, 0);
}

TEST_F(AnimationControllerTest, AQueuedRequestFollowsAOneShotThatEnds)
{
    WriteClip("Models/Set/wave01.gr2", 0.4f);
    WriteClip("Models/Set/idle01.gr2", 1.0f);
    MakeController();
    AnimationController::Channel* channel = controller->GetChannel(0);
    channel->loop = false;
    channel->stopWhenDone = true;
    controller->Request(0, 2);
    controller->Enqueue(0, 0);
    Step(0.0f);
    EXPECT_EQ(controller->GetChannelAnimation(0), 2);
    Step(0.3f);
    EXPECT_EQ(controller->GetChannelAnimation(0), 2);
    Step(0.3f); // past the end: the next update finds it finished
    Step(0.0f);
    EXPECT_EQ(controller->GetChannelAnimation(0), 0);
    EXPECT_TRUE(channel->queue.empty());
    EXPECT_FALSE(channel->stopWhenDone);
}

TEST_F(AnimationControllerTest, ACopyKeepsTheSharedTablesAfterTheOriginalGoes)
{
    WriteClip("Models/Set/idle01.gr2");
    WriteClip("Models/Set/idle02.gr2");
    MakeController();
    auto copy = std::make_unique<AnimationController>(*controller);
    EXPECT_TRUE(copy->SharesTables());
    AnimatedModel other;
    other.Load(device, "chain.gr2", nullptr);
    copy->SetModel(&other);
    copy->CopyChannels(*controller, true);
    controller.reset();
    EXPECT_FALSE(copy->SharesTables());
    EXPECT_EQ(copy->GetName(0), "idle");
    EXPECT_EQ(copy->GetVariationCount(0, 0), 2);
    copy->Request(0, 0);
    copy->Update(0.0f);
    ASSERT_NE(copy->GetVariationControl(0), nullptr);
    EXPECT_TRUE(copy->IsPlaying(0));
    EXPECT_NE(std::find(other.GetAnimations().begin(), other.GetAnimations().end(), copy->GetVariationControl(0)),
              other.GetAnimations().end())
        << "the copy plays its own model's controls";
    copy.reset();
    other.Release();
}
