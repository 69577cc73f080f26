// Screenshots: the frame on the back buffer saved as "Screenshots/bexal-%d.tga" on F12.
#include "AppFixture.h"

#include "platform/os/VirtualKeys.h"

namespace {

// Clears the frame to one colour and a small rectangle to another.
class PaintedScreen : public GameState {
public:
    explicit PaintedScreen(Device* device) : device(device) {}
    void Update() override {}
    void Draw() override
    {
        const float rect[4] = {10, 20, 5, 4};
        device->SetClearColor(0xFFCC2211u);
        device->Clear(true, false, false, rect);
        device->SetClearColor(0xFF336699u);
    }

private:
    Device* device;
};

class ScreenshotTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        OpenDevice(320, 240);
        screen = std::make_unique<PaintedScreen>(device);
        device->SetClearColor(0xFF336699u);
        Application::Instance()->SetState(screen.get());
    }

    void TearDown() override
    {
        Application::Instance()->SetState(nullptr);
        AppTest::TearDown();
    }

    static void Touch(const std::string& path) { WriteText(path, "x"); }

    std::unique_ptr<PaintedScreen> screen;
};

} // namespace

TEST_F(ScreenshotTest, F12SavesTheFrameDrawn)
{
    Application* application = Application::Instance();
    application->Draw();
    application->KeyUp(platform::os::VK_F12);
    ASSERT_TRUE(std::filesystem::exists("Screenshots/bexal-0.tga"));
    const FrameImage tga = FrameImage::FromTga(ReadBytes("Screenshots/bexal-0.tga"));
    ASSERT_EQ(tga.width, 320);
    ASSERT_EQ(tga.height, 240);
    ASSERT_TRUE(tga.bits == 24 || tga.bits == 32) << tga.bits;
    ASSERT_EQ(tga.pixels.size(), std::size_t(320 * 240 * (tga.bits / 8)));
    EXPECT_EQ(tga.Pixel(0, 0), 0x336699u);
    EXPECT_EQ(tga.Pixel(319, 239), 0x336699u);
    EXPECT_EQ(tga.Pixel(10, 20), 0xCC2211u);
    EXPECT_EQ(tga.Pixel(14, 23), 0xCC2211u);
    EXPECT_EQ(tga.Pixel(15, 23), 0x336699u);
    EXPECT_EQ(tga.Pixel(10, 24), 0x336699u);
    EXPECT_TRUE(application->GetNotices().empty());
}

TEST_F(ScreenshotTest, NumbersContinueAfterTheFilesThereWithoutProbingAgain)
{
    std::filesystem::create_directory("Screenshots");
    for (int i = 0; i < 5; ++i)
        Touch("Screenshots/bexal-" + std::to_string(i) + ".tga");
    Application* application = Application::Instance();
    application->Draw();
    EXPECT_EQ(application->TakeScreenshot(), 1);
    EXPECT_TRUE(std::filesystem::exists("Screenshots/bexal-5.tga"));
    for (int i = 0; i < 5; ++i)
        std::filesystem::remove("Screenshots/bexal-" + std::to_string(i) + ".tga");
    EXPECT_EQ(application->TakeScreenshot(), 1);
    EXPECT_TRUE(std::filesystem::exists("Screenshots/bexal-6.tga"));
    EXPECT_FALSE(std::filesystem::exists("Screenshots/bexal-0.tga"));
}

TEST_F(ScreenshotTest, AFileAlreadyThereIsNeverWrittenOver)
{
    // A gap at 0, then the player's own files at 1 .. 3 (one named in capitals) and at 5.
    std::filesystem::create_directory("Screenshots");
    for (const char* name : {"bexal-1.tga", "BEXAL-2.TGA", "bexal-3.tga", "bexal-5.tga"})
        Touch(std::string("Screenshots/") + name);
    Application* application = Application::Instance();
    application->Draw();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(application->TakeScreenshot(), 1);
    for (const char* name : {"bexal-1.tga", "BEXAL-2.TGA", "bexal-3.tga", "bexal-5.tga"})
        EXPECT_EQ(ReadText(std::string("Screenshots/") + name), "x") << name;
    for (const char* name : {"bexal-0.tga", "bexal-4.tga", "bexal-6.tga"})
        EXPECT_GT(ReadBytes(std::string("Screenshots/") + name).size(), 18u) << name;
    EXPECT_FALSE(std::filesystem::exists("Screenshots/bexal-7.tga"));
    EXPECT_TRUE(application->GetNotices().empty());
}

TEST_F(ScreenshotTest, AFolderThatCannotBeMadeGivesANoticeAndKeepsTheNumber)
{
    Touch("Screenshots");  // a file where the folder should be
    Application* application = Application::Instance();
    application->Draw();
    EXPECT_EQ(application->TakeScreenshot(), 0);
    ASSERT_EQ(application->GetNotices().size(), 1u);
    EXPECT_NE(application->GetNotices().front().text.find("Screenshots"), std::string::npos);
    EXPECT_EQ(application->GetNotices().front().time, 3000);

    std::filesystem::remove("Screenshots");
    EXPECT_EQ(application->TakeScreenshot(), 1);
    EXPECT_TRUE(std::filesystem::exists("Screenshots/bexal-0.tga"));
}
