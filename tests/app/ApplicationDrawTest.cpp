// What the Application draws around the current screen and what it owns for every screen: the
// eight fonts, the cursor, the registered widgets with hover and click sound, overlay images,
// notices and chat lines, on a headless device with the demo data.
#include "AppFixture.h"

#include "app/framework/Options.h"
#include "app/framework/Widget.h"
#include "engine/core/q3DError.h"
#include "engine/font/BitmapFont.h"
#include "engine/sprite/Sprite.h"

#include <algorithm>

namespace {

class ApplicationDrawTest : public AppTest {
protected:
    static constexpr int Rate = 22050;

    void SetUp() override
    {
        AppTest::SetUp();
        OpenDevice(320, 240);
        device->SetClearColor(0xFF000000u);
        OpenSound(Rate);
        application = Application::Instance();
    }

    void TearDown() override
    {
        Application::Instance()->Leave();
        AppTest::TearDown();
    }

    // The loudest sample of the next ms milliseconds of output.
    int Loudest(int ms)
    {
        std::vector<std::int16_t> out(std::size_t(Rate * ms / 1000) * 2);
        sound->GetDriver()->Render(out.data(), Rate * ms / 1000);
        int loudest = 0;
        for (std::int16_t sample : out)
            loudest = std::max(loudest, std::abs(int(sample)));
        return loudest;
    }

    // Pixels brighter than mid-grey in a rectangle of the last frame.
    int BrightPixels(int x, int y, int width, int height)
    {
        const FrameImage frame = FrameImage::Grab(device);
        int count = 0;
        for (int row = y; row < y + height; ++row)
            for (int column = x; column < x + width; ++column)
                if ((frame.Pixel(column, row) & 0xFF) > 0x80)
                    ++count;
        return count;
    }

    Application* application = nullptr;
};

} // namespace

TEST_F(ApplicationDrawTest, EnterLoadsTheEightFontsTheCursorAndTheClickSound)
{
    LinkDemoData();
    application->Enter();
    for (int font = 0; font < Application::FontCount; ++font)
        ASSERT_NE(application->GetFont(font), nullptr) << font;
    EXPECT_EQ(application->GetFont(Application::Courier)->GetLineHeight(), 16);
    EXPECT_EQ(application->GetFont(Application::Tooltip)->fillSpaces, 1);
    EXPECT_EQ(application->GetFont(Application::Digital)->fixedAdvance, 26);
    EXPECT_FLOAT_EQ(application->GetFont(Application::CourierMedium)->uOffset, 0.003f);
    EXPECT_GT(application->GetFont(Application::CourierMedium)->GetTextWidth("[]"), 0);
    EXPECT_NE(application->GetCursorSprite(), nullptr);
    EXPECT_EQ(application->GetFont(Application::FontCount), nullptr);
    application->Leave();
    EXPECT_EQ(application->GetFont(Application::Arial), nullptr);
    EXPECT_EQ(application->GetCursorSprite(), nullptr);
}

TEST_F(ApplicationDrawTest, MissingArtStopsEnterWithTheLoadersError)
{
    namespace fs = std::filesystem;
    const fs::path data = BEXAL_DATA_DIR;
    const struct {
        const char* missing;
        const char* named;
    } cases[] = {{"GameData/Fonts/army.tga", "army.tga"},
                 {"GameData/Cursors/arrow.tga", "GameData/Cursors/arrow.tga"},
                 {"Sound/clicksound.wav", "Can't load Sound/clicksound.wav"}};
    for (const auto& row : cases) {
        SCOPED_TRACE(row.missing);
        fs::remove_all(folder / "GameData");
        fs::remove_all(folder / "Sound");
        fs::create_directories(folder / "GameData");
        fs::copy(data / "GameData/Fonts", folder / "GameData/Fonts");
        fs::copy(data / "GameData/Cursors", folder / "GameData/Cursors");
        fs::copy(data / "Sound", folder / "Sound");
        fs::remove(folder / row.missing);
        try {
            application->Enter();
            ADD_FAILURE() << "no error";
        } catch (const q3DError& error) {
            EXPECT_NE(std::string(error.GetText()).find(row.named), std::string::npos) << error.GetText();
        }
        application->Leave();
    }
}

TEST_F(ApplicationDrawTest, WidgetsAreFoundInOrderAndHoverFollowsTheMouse)
{
    Widget back(0, 0, 100, 100), front(50, 50, 100, 100), hidden(0, 0, 300, 300), off(0, 0, 300, 300);
    hidden.visible = false;
    off.enabled = false;
    application->AddWidget(nullptr);
    for (Widget* widget : {&back, &hidden, &off, &front})
        application->AddWidget(widget);
    // The newest first; invisible and disabled widgets are passed over.
    EXPECT_EQ(application->FindWidgetAt(60, 60, 0), &front);
    EXPECT_EQ(application->FindWidgetAt(60, 60, 1), &back);
    EXPECT_EQ(application->FindWidgetAt(60, 60, 2), nullptr);
    EXPECT_EQ(application->FindWidgetAt(10, 10, 0), &back);
    EXPECT_EQ(application->FindWidgetAt(200, 200, 0), nullptr);

    application->MouseMove(10, 10);
    EXPECT_EQ(application->GetHoverWidget(), &back);
    application->MouseMove(60, 60);
    EXPECT_EQ(application->GetHoverWidget(), &front);
    int x = 0, y = 0;
    application->GetTooltipPosition(&x, &y);
    EXPECT_EQ(x, -1);
    EXPECT_EQ(y, -1);
    application->RemoveWidget(&front);
    EXPECT_EQ(application->GetHoverWidget(), nullptr);
    EXPECT_EQ(application->FindWidgetAt(60, 60, 0), &back);
    for (Widget* widget : {&back, &hidden, &off})
        application->RemoveWidget(widget);
    EXPECT_EQ(application->FindWidgetAt(10, 10, 0), nullptr);
}

TEST_F(ApplicationDrawTest, APressOnAWidgetWithClickSoundPlaysTheClick)
{
    LinkDemoData();
    application->Enter();
    Widget quiet(0, 0, 50, 50), loud(100, 100, 50, 50);
    loud.clickSound = true;
    application->AddWidget(&quiet);
    application->AddWidget(&loud);
    Loudest(50);
    application->MouseDown(0, 10, 10);
    EXPECT_LT(Loudest(40), 100);
    application->MouseDown(0, 110, 110);
    EXPECT_GT(Loudest(40), 1000);
    application->RemoveWidget(&quiet);
    application->RemoveWidget(&loud);
}

TEST_F(ApplicationDrawTest, NoticesAreDrawnFromTheTopAndOneFrameNoticesOnlyOnce)
{
    LinkDemoData();
    application->Enter();
    application->ShowMessage(-1, "Once only");
    application->ShowMessage(5000, "Objective reached");
    application->Draw();
    // The one-frame notice at the top, the timed one below it.
    EXPECT_GT(BrightPixels(0, 0, 120, 16), 20);
    EXPECT_GT(BrightPixels(0, 20, 160, 14), 20);
    ASSERT_EQ(application->GetNotices().size(), 1u);
    application->Draw();
    // The timed notice slides up into the free room.
    EXPECT_EQ(application->GetNotices().front().y, 16);
    EXPECT_GT(BrightPixels(0, 16, 160, 14), 20);
}

TEST_F(ApplicationDrawTest, ChatLinesKeepOnlyWhatFitsTheChatLineOption)
{
    LinkDemoData();
    application->Enter();
    Options::Instance()->SetOption(Options::ChatLines, 4);
    for (const char* text : {"one", "two", "three", "four", "five"})
        application->AddChatLine(1, 1, 1, text);
    application->Draw();
    // Each line takes 12 + 4 pixels; 75 pixels hold four, the oldest went first.
    std::vector<std::string> kept;
    for (const Application::ChatLine& line : application->GetChatLines())
        kept.push_back(line.text);
    EXPECT_EQ(kept, (std::vector<std::string>{"five", "four", "three", "two"}));
    EXPECT_GT(BrightPixels(0, 240 - 16 - 64, 80, 64), 20);
    // The font is white again afterwards.
    EXPECT_EQ(application->GetFont(Application::Courier)->red, 1.0f);
}

TEST_F(ApplicationDrawTest, WrappedTextTakesTheTargetWidthAndOverlaysNeedTheirImage)
{
    LinkDemoData();
    application->Enter();
    EXPECT_EQ(application->DrawWrappedText("", 0, false), 0);
    EXPECT_EQ(application->DrawWrappedText("short", 0, false), 12);
    const std::string longText(200, 'W');
    const int height = application->DrawWrappedText(longText, 0, false);
    const int width = application->GetFont(Application::Courier)->GetTextWidth(longText.c_str());
    EXPECT_GE(height, 12 * (width / 320));
    EXPECT_EQ(height % 12, 0);

    EXPECT_THROW(application->AddOverlayImage("GameData/none.tga"), q3DError);
    Application::Overlay* overlay = application->AddOverlayImage("GameData/Cursors/arrow.tga");
    ASSERT_NE(overlay, nullptr);
    EXPECT_TRUE(overlay->visible);
    application->Draw();
    application->RemoveOverlayImage(overlay);
    application->RemoveOverlayImage(nullptr);
}
