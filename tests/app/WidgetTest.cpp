// The widgets screens are built from: the hit test, the three-image button, the scroll bar and the
// text label, drawn on a real device and driven by mouse events injected into the input system.
#include "AppFixture.h"

#include "app/framework/ImageButton.h"
#include "app/framework/ScrollBar.h"
#include "app/framework/TextLabel.h"
#include "app/program/InputStartup.h"
#include "engine/core/q3DError.h"
#include "engine/font/BitmapFont.h"
#include "media/InputSystem.h"
#include "tests/platform/input/InputEvents.h"
#include "tools/demodata/writers/TgaWriter.h"

#include <optional>

using namespace inputevents;

namespace {

constexpr std::uint32_t Red = 0xFFD02020u, Green = 0xFF20D020u, Blue = 0xFF2020D0u, Yellow = 0xFFE0E020u,
                        Grey = 0xFF808080u;

void WriteImage(const std::string& path, int width, int height, std::uint32_t colour)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    const std::vector<std::uint8_t> bytes = WriteTga(TgaImage(width, height, colour), 24);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

class WidgetTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        OpenDevice(320, 240);
        device->SetClearColor(0xFF000000u);
        InputStartup started = StartInputSystem(nullptr);
        input = std::move(started.input);
        ASSERT_NE(input, nullptr);
        Application::Instance()->SetInputSystem(input.get(), -1, 0);
    }

    void TearDown() override
    {
        Application::Instance()->SetInputSystem(nullptr, -1, 0);
        input.reset();
        AppTest::TearDown();
    }

    // One frame: the injected events reach the input system, then the widget runs on a cleared
    // back buffer. Returns what Run gave.
    int Frame(Widget& widget, int x, int y)
    {
        Application::Instance()->Update();
        device->BeginFrame(true, true);
        const int result = widget.Run(device, x, y);
        device->EndFrame(true, true);
        return result;
    }

    SdlScope sdl;
    std::unique_ptr<InputSystem> input;
};

} // namespace

TEST(WidgetHitTest, TakesTheLeftAndTopEdgesOnlyWhileEnabled)
{
    Widget widget(10, 20, 30, 40);
    const struct {
        int x, y;
        bool hit;
    } cases[] = {{10, 20, true}, {39, 59, true}, {40, 20, false}, {10, 60, false}, {9, 30, false}, {20, 19, false}};
    for (const auto& row : cases)
        EXPECT_EQ(widget.HitTest(row.x, row.y), row.hit) << row.x << "," << row.y;
    widget.enabled = false;
    EXPECT_FALSE(widget.HitTest(20, 30));
}

TEST_F(WidgetTest, AButtonClicksOnlyOnAReleaseOverItAfterAPressThatBeganOnIt)
{
    WriteImage("Btn/PlayD.tga", 40, 20, Red);
    WriteImage("Btn/PlayO.tga", 40, 20, Green);
    WriteImage("Btn/Play.tga", 40, 20, Blue);
    ImageButton button(100, 50, device, "Btn/PlayD.tga", "Btn/PlayO.tga", "Btn/Play.tga");
    EXPECT_EQ(button.width, 40);
    EXPECT_EQ(button.height, 20);
    EXPECT_TRUE(button.clickSound);

    // Each step: where the mouse is, whether the left button changes, and whether Run clicks.
    struct Step {
        int x, y;
        std::optional<bool> press;
        bool clicked;
    };
    const struct {
        const char* name;
        std::vector<Step> steps;
    } cases[] = {
        {"press and release on it", {{110, 55, true, false}, {110, 55, false, true}}},
        {"press outside, move on, release", {{10, 10, true, false}, {110, 55, std::nullopt, false}, {110, 55, false, false}}},
        {"press on it, move off, release", {{110, 55, true, false}, {10, 10, std::nullopt, false}, {10, 10, false, false}}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        bool held = false;
        for (const Step& step : row.steps) {
            if (step.press) {
                PushButton(SDL_BUTTON_LEFT, *step.press);
                held = *step.press;
            }
            const int result = Frame(button, step.x, step.y);
            if (held)
                EXPECT_NE(result, 0);  // held: the button's state
            else
                EXPECT_EQ(result != 0, step.clicked);
        }
    }

    // The images: normal away, hover over it, pressed while held on it.
    Frame(button, 10, 10);
    EXPECT_EQ(FrameImage::Grab(device).Pixel(120, 60), Blue & 0xFFFFFFu);
    Frame(button, 120, 60);
    EXPECT_EQ(FrameImage::Grab(device).Pixel(120, 60), Green & 0xFFFFFFu);
    PushButton(SDL_BUTTON_LEFT, true);
    Frame(button, 120, 60);
    EXPECT_EQ(FrameImage::Grab(device).Pixel(120, 60), Red & 0xFFFFFFu);
    PushButton(SDL_BUTTON_LEFT, false);
    Frame(button, 120, 60);
}

TEST_F(WidgetTest, ADisabledButtonNeverClicksButStillLightsUpUnderTheMouse)
{
    WriteImage("Btn/PlayD.tga", 40, 20, Red);
    WriteImage("Btn/PlayO.tga", 40, 20, Green);
    WriteImage("Btn/Play.tga", 40, 20, Blue);
    ImageButton button(100, 50, device, "Btn/PlayD.tga", "Btn/PlayO.tga", "Btn/Play.tga");
    button.enabled = false;
    PushButton(SDL_BUTTON_LEFT, true);
    Frame(button, 110, 55);
    EXPECT_EQ(FrameImage::Grab(device).Pixel(110, 55), Green & 0xFFFFFFu);
    PushButton(SDL_BUTTON_LEFT, false);
    EXPECT_EQ(Frame(button, 110, 55), 0);
}

TEST_F(WidgetTest, MissingButtonArtNamesTheFileAndTheReason)
{
    WriteImage("Btn/PlayD.tga", 40, 20, Red);
    for (const char* missing : {"Btn/GoneD.tga", "Btn/GoneO.tga"}) {
        const bool pressedMissing = std::string(missing).find("D.tga") != std::string::npos;
        try {
            ImageButton button(0, 0, device, pressedMissing ? missing : "Btn/PlayD.tga", pressedMissing ? nullptr : missing,
                               nullptr);
            ADD_FAILURE() << "no error for " << missing;
        } catch (const q3DError& error) {
            const std::string text = error.GetText();
            EXPECT_EQ(text.rfind(std::string("Can't load ") + missing + ": ", 0), 0u) << text;
        }
    }
    // Hover and normal are optional.
    ImageButton plain(0, 0, device, "Btn/PlayD.tga", nullptr, nullptr);
    EXPECT_EQ(Frame(plain, 5, 5), 0);
}

namespace {

void WriteScrollBarArt(const std::string& folder, bool horizontal)
{
    const char* names[] = {"ArrowUp", "ArrowUpO", "ArrowUpD", "ArrowDown", "ArrowDownO"};
    const char* across[] = {"ArrowLeft", "ArrowLeftO", "ArrowLeftD", "ArrowRight", "ArrowRightO", "ArrowRightD"};
    if (horizontal)
        for (const char* name : across)
            WriteImage(folder + "/" + name + ".tga", 18, 18, Blue);
    else
        for (const char* name : names)
            WriteImage(folder + "/" + name + ".tga", 18, 18, Blue);
    WriteImage(folder + (horizontal ? "/barVertical.tga" : "/bar.tga"), 18, 2, Grey);
    WriteImage(folder + "/Scroll.tga", 18, 18, Yellow);
    WriteImage(folder + "/ScrollD.tga", 18, 18, Red);
}

} // namespace

TEST_F(WidgetTest, ScrollBarArrowsStepOnceAtOnceAndTheThumbDragsWithinTheCount)
{
    // A vertical bar needs no pressed image of its own for the down arrow.
    WriteScrollBarArt("Bar", false);
    ScrollBar bar(100, 20, device, 200, 10, false, "Bar");
    EXPECT_EQ(bar.width, 18);
    EXPECT_EQ(bar.height, 200);
    int now = 1000;
    bar.SetClock([&now] { return now; });
    bar.SetPosition(5);

    // Holding the up arrow steps once at once; the next step waits for the repeat time.
    PushButton(SDL_BUTTON_LEFT, true);
    Frame(bar, 105, 25);
    EXPECT_EQ(bar.GetPosition(), 4);
    now += 199;
    bar.Run(device, 105, 25);
    EXPECT_EQ(bar.GetPosition(), 4);
    now += 1;
    bar.Run(device, 105, 25);
    EXPECT_EQ(bar.GetPosition(), 3);
    bar.SetPosition(4);
    PushButton(SDL_BUTTON_LEFT, false);
    Frame(bar, 105, 25);
    // The down arrow, at the far end.
    PushButton(SDL_BUTTON_LEFT, true);
    Frame(bar, 105, 210);
    EXPECT_EQ(bar.GetPosition(), 5);
    PushButton(SDL_BUTTON_LEFT, false);
    Frame(bar, 105, 210);

    // The thumb of position 5 of 10 sits at 20 + trunc(5 / 9 x 150) + 16 = 119.
    Frame(bar, 0, 0);
    EXPECT_EQ(bar.GetThumbPosition(), 119);
    // Dragged past either end the position stays within 0..9.
    PushButton(SDL_BUTTON_LEFT, true);
    Frame(bar, 108, 125);
    EXPECT_TRUE(bar.IsDragging());
    Frame(bar, 108, 500);
    EXPECT_EQ(bar.GetPosition(), 9);
    Frame(bar, 108, -300);
    EXPECT_EQ(bar.GetPosition(), 0);
    PushButton(SDL_BUTTON_LEFT, false);
    Frame(bar, 108, -300);
    EXPECT_FALSE(bar.IsDragging());
}

TEST_F(WidgetTest, ScrollBarsOfOneStepOrTooShortToDragStayPut)
{
    WriteScrollBarArt("Bar", true);
    // One position is kept as none: position 0 and the thumb in the middle (x 100 + 100 - 8).
    ScrollBar single(100, 20, device, 200, 1, true, "Bar");
    EXPECT_EQ(single.GetCount(), 0);
    Frame(single, 0, 0);
    EXPECT_EQ(single.GetPosition(), 0);
    EXPECT_EQ(single.GetThumbPosition(), 192);

    // A bar of 50 pixels or less leaves the thumb no travel: a press on it starts no drag.
    for (int length : {50, 40}) {
        ScrollBar shortBar(10, 100, device, length, 5, true, "Bar");
        shortBar.SetPosition(2);
        const int thumb = 10 + int(2.0f / 4.0f * float(length - 50)) + 16;
        PushButton(SDL_BUTTON_LEFT, true);
        Frame(shortBar, thumb + 5, 105);
        EXPECT_FALSE(shortBar.IsDragging());
        // Moved along while held, away from the arrows: nothing follows the mouse.
        const int pressed = shortBar.GetPosition();
        Frame(shortBar, thumb + 30, 300);
        EXPECT_FALSE(shortBar.IsDragging());
        EXPECT_EQ(shortBar.GetPosition(), pressed);
        PushButton(SDL_BUTTON_LEFT, false);
        Frame(shortBar, 0, 0);
    }
}

TEST_F(WidgetTest, ScrollBarWithoutAnArrowSaysWhichFile)
{
    WriteScrollBarArt("Bar", false);
    std::filesystem::remove("Bar/ArrowDownO.tga");
    try {
        ScrollBar bar(0, 0, device, 100, 3, false, "Bar");
        ADD_FAILURE() << "no error";
    } catch (const q3DError& error) {
        EXPECT_STREQ(error.GetText(), "Can't load Bar/ArrowDownO.tga");
    }
    // The bar image is optional.
    WriteImage("Bar/ArrowDownO.tga", 18, 18, Blue);
    std::filesystem::remove("Bar/bar.tga");
    ScrollBar bar(0, 0, device, 100, 3, false, "Bar");
    EXPECT_EQ(Frame(bar, 0, 0), 0);
}

TEST_F(WidgetTest, LabelsUseTheirHoverColourUnderTheMouse)
{
    LinkDemoData();
    BitmapFont font;
    font.Load(device, "GameData/Fonts/courier.tga",
              "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789!#@$%&/()=+-'\",.;:<>_?[]\\^*{}|`~", 8, -9);
    TextLabel label(20, 30, &font, "Apply");
    EXPECT_EQ(label.width, font.GetTextWidth("Apply"));
    EXPECT_EQ(label.height, font.GetLineHeight());
    label.normalColour = 0xFF00FF00u;
    label.hoverColour = 0xFFFF0000u;

    // How many of the label's pixels are bright in one channel.
    auto count = [&](std::uint32_t mask) {
        const int shift = mask == 0xFF0000u ? 16 : 8;
        const FrameImage frame = FrameImage::Grab(device);
        int found = 0;
        for (int y = label.y; y < label.y + label.height; ++y)
            for (int x = label.x; x < label.x + label.width; ++x)
                if (((frame.Pixel(x, y) >> shift) & 0xFF) > 0x80)
                    ++found;
        return found;
    };
    Frame(label, 0, 0);
    EXPECT_GT(count(0x00FF00u), 0);
    EXPECT_EQ(count(0xFF0000u), 0);
    Frame(label, label.x + 2, label.y + 2);
    EXPECT_GT(count(0xFF0000u), 0);
    EXPECT_EQ(count(0x00FF00u), 0);
    // The font's own colour is left as it was.
    EXPECT_EQ(font.red, 1.0f);
    EXPECT_EQ(font.green, 1.0f);

    label.hoverColourOn = false;
    Frame(label, label.x + 2, label.y + 2);
    EXPECT_EQ(count(0xFF0000u), 0);
    label.forcedHoverColour = true;
    Frame(label, 0, 0);
    EXPECT_GT(count(0xFF0000u), 0);
}
