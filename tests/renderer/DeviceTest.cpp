#include <algorithm>
#include <cstring>

#include "engine/core/Matrix.h"
#include "engine/core/q3DError.h"
#include "platform/os/SharedLibrary.h"
#include "tests/renderer/RendererFixture.h"

TEST(RendererBinding, LoadsLibraryByNameAndChecksVersion)
{
    char buffer[4096];
    const char* path = ResolveRendererLibraryPath(kRendererLibraryName, buffer, sizeof(buffer));
    auto library = platform::os::SharedLibrary::Open(path);
    ASSERT_NE(library, nullptr);
    const auto version = library->FindFunction<GetDLLVersionFunction>("GetDLLVersion");
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version(), 1.421f);
    std::uint32_t bits;
    const float value = version();
    std::memcpy(&bits, &value, 4);
    EXPECT_EQ(bits, 0x3FB5E354u);
}

TEST(RendererBinding, MissingLibraryThrowsWithItsPath)
{
    Device* device = nullptr;
    try {
        LoadRendererLibrary("no/such/library.so", &device);
        FAIL() << "loaded a missing library";
    } catch (const q3DError& error) {
        EXPECT_STREQ(error.GetText(), "Error loading no/such/library.so");
    }
    EXPECT_EQ(device, nullptr);
    UnloadRendererLibrary(&device);
}

TEST_F(RendererTest, CreateDeviceTwiceGivesTheSameDeviceAndLogIsBracketed)
{
    char buffer[4096];
    auto library = platform::os::SharedLibrary::Open(ResolveRendererLibraryPath(kRendererLibraryName, buffer, 4096));
    const auto create = library->FindFunction<CreateDeviceFunction>("CreateDevice");
    Device* second = nullptr;
    EXPECT_EQ(create(&second), 1);
    EXPECT_EQ(second, device);
    EXPECT_EQ(device->GetLastError(), nullptr);
    UnloadRendererLibrary(&device);
    EXPECT_EQ(device, nullptr);
    const auto lines = ReadLines("q3D.log");
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.front(), "q3D log opened");
    EXPECT_EQ(lines.back(), "q3D log closing");
}

TEST_F(RendererTest, LogSkipsFormatsLongerThan1792Characters)
{
    const std::string fits(1792, 'a'), tooLong(1793, 'b');
    device->Log("%s", "first");
    device->Log(fits.c_str());
    device->Log(tooLong.c_str());
    device->SetError("failed %d", 7);
    EXPECT_STREQ(device->GetLastError(), "failed 7");
    const auto lines = ReadLines("q3D.log");
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], "first");
    EXPECT_EQ(lines[lines.size() - 2], fits);
    EXPECT_EQ(lines.back(), "failed 7");
}

TEST_F(RendererTest, CallsBeforeCreationFail)
{
    EXPECT_EQ(device->BeginFrame(true, true), -1);
    EXPECT_EQ(device->Clear(true, true, false, nullptr), -1);
    EXPECT_EQ(device->SetViewport(0, 0, 10, 10), -1);
    EXPECT_EQ(device->GetCurrentDevice(), -1);
    EXPECT_EQ(device->GetMaxActiveLights(), 0);
    D3DBitmap* bitmap = device->CreateBitmap(nullptr);
    EXPECT_EQ(bitmap->Create("early", 4, 4, FormatA8R8G8B8, 0), -1);
    EXPECT_NE(bitmap->GetLastError(), nullptr);
    bitmap->Destroy();
    D3DPrim* prim = nullptr;
    device->CreatePrim(&prim);
    VertexLayout* noLayout = nullptr;
    EXPECT_EQ(prim->Create(PrimTriangleList, 0, 0, noLayout, 0), 0);
    prim->Destroy();
}

TEST_F(RendererTest, ModeListOffersTheCommonSizesAt16And32Bits)
{
    ASSERT_GE(device->GetDeviceCount(), 1);
    const int entry = device->ChooseDefaultDevice();
    ASSERT_EQ(entry, 0);
    DeviceInfo info{};
    EXPECT_EQ(device->GetDeviceInfo(entry, &info), 1);
    EXPECT_STREQ(info.name, "HAL");
    EXPECT_TRUE(info.hardware);
    EXPECT_TRUE(info.hardwareTnL);
    for (int bits : {16, 32}) {
        EXPECT_TRUE(device->IsModeAvailable(entry, 640, 480, bits));
        EXPECT_TRUE(device->IsModeAvailable(entry, 800, 600, bits));
        EXPECT_TRUE(device->IsModeAvailable(entry, 1024, 768, bits));
        EXPECT_TRUE(device->IsModeAvailable(entry, 1600, 1200, bits));
    }
    EXPECT_FALSE(device->IsModeAvailable(entry, 800, 600, 24));
    const int count = device->GetModeCount(entry);
    EXPECT_LE(count, 150);
    bool found800x600x32 = false;
    for (int m = 0; m < count; ++m) {
        ModeInfo mode{};
        device->GetModeInfo(entry, m, &mode);
        EXPECT_GE(mode.width, 640);
        EXPECT_GE(mode.height, 480);
        for (int other = 0; other < m; ++other) {
            ModeInfo previous{};
            device->GetModeInfo(entry, other, &previous);
            EXPECT_FALSE(previous.width == mode.width && previous.height == mode.height &&
                         previous.bitsPerPixel == mode.bitsPerPixel);
        }
        if (mode.width == 800 && mode.height == 600 && mode.bitsPerPixel == 32) {
            EXPECT_STREQ(mode.text, "800 x 600 x 32bpp");
            found800x600x32 = true;
        }
    }
    EXPECT_TRUE(found800x600x32);
    EXPECT_EQ(device->GetModeCount(99), 0);
}

TEST_F(RendererTest, WindowedDeviceClearsAndPresentsTheBackBuffer)
{
    OpenWindowed(320, 240);
    EXPECT_EQ(device->GetCurrentDevice(), 0);
    EXPECT_EQ(device->GetTargetWidth(), 320);
    EXPECT_EQ(device->GetTargetHeight(), 240);
    EXPECT_EQ(device->GetWindow(), window.get());
    D3DBitmap* back = device->GetBackBuffer();
    ASSERT_NE(back, nullptr);
    EXPECT_STREQ(back->GetName(), "Back Buffer");
    EXPECT_EQ(back->GetWidth(), 320);
    EXPECT_STREQ(device->GetDepthBuffer()->GetName(), "Z Buffer");
    EXPECT_EQ(device->GetStencilBits(), 8);
    const auto log = ReadLines("q3D.log");
    EXPECT_NE(std::find(log.begin(), log.end(), "Buffer Size: 320x240"), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), "Color Bits: 32 ZBuffer Bits: 24 Stencil Bits: 8"), log.end());

    device->SetClearColor(0xFF00FF00u);
    EXPECT_EQ(device->BeginFrame(true, true), 0);
    const float rect[4] = {10, 20, 5, 4};
    device->SetClearColor(0xFFFF0000u);
    EXPECT_EQ(device->Clear(true, false, false, rect), 0);
    EXPECT_EQ(device->EndFrame(true, true), 0);

    const auto* bits = static_cast<const std::uint8_t*>(back->Lock(false));
    ASSERT_NE(bits, nullptr);
    const int pitch = back->GetPitch();
    EXPECT_EQ(pitch, 320 * back->GetBytesPerPixel());
    auto pixel = [&](int x, int y) {
        std::uint32_t p;
        std::memcpy(&p, bits + y * pitch + x * 4, 4);
        return p & 0x00FFFFFF;
    };
    // Rows are addressed from the top, as the caller's rectangle was.
    EXPECT_EQ(pixel(10, 20), 0x00FF0000u);
    EXPECT_EQ(pixel(14, 23), 0x00FF0000u);
    EXPECT_EQ(pixel(15, 23), 0x0000FF00u);
    EXPECT_EQ(pixel(10, 24), 0x0000FF00u);
    EXPECT_EQ(pixel(0, 0), 0x0000FF00u);
    back->Unlock();
}

TEST_F(RendererTest, FullScreenDeviceUsesTheModeSizeAndFormat)
{
    ASSERT_EQ(device->CreateFullScreen(800, 600, 16, -1), 1) << device->GetLastError();
    EXPECT_EQ(device->GetTargetWidth(), 800);
    EXPECT_EQ(device->GetTargetHeight(), 600);
    ModeInfo mode{};
    device->GetCurrentMode(&mode);
    EXPECT_STREQ(mode.text, "800 x 600 x 16bpp");
    EXPECT_EQ(device->GetBackBuffer()->GetFormat(), FormatR5G6B5);
    ASSERT_NE(device->GetWindow(), nullptr);
    EXPECT_EQ(device->BeginFrame(true, true), 0);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    EXPECT_EQ(device->CreateFullScreen(800, 600, 16, -1), -1);
}

TEST_F(RendererTest, FullScreenRefusesModesTheDeviceLacks)
{
    EXPECT_EQ(device->CreateFullScreen(320, 200, 32, -1), -1);
    EXPECT_STREQ(device->GetLastError(), "No hardware devices found that support the given video mode");
    EXPECT_EQ(device->CreateFullScreen(320, 200, 32, 0), -1);
    EXPECT_STREQ(device->GetLastError(), "Video mode not supported on given device");
}

TEST_F(RendererTest, TimerCountsAbout1024UnitsPerSecond)
{
    const int first = device->GetTime();
    const int second = device->GetTime();
    EXPECT_GE(second - first, 0);
    EXPECT_LT(second - first, 1024);
}

TEST_F(RendererTest, NearestTextureFormatKeepsSupportedFormats)
{
    OpenWindowed();
    for (int format : {FormatA8R8G8B8, FormatR5G6B5, FormatA4R4G4B4, FormatDXT1, FormatDXT5})
        EXPECT_EQ(device->GetNearestTextureFormat(format), format);
    EXPECT_EQ(device->GetNearestTextureFormat(FormatUYVY), FormatUYVY); // outside every chain
}

TEST_F(RendererTest, SplashLoadsIntoARenderTargetBitmap)
{
    OpenWindowed(800, 600);
    std::vector<std::uint8_t> pixels;
    for (int i = 0; i < 3 * 2; ++i) {
        Put8(pixels, 0x30);
        Put8(pixels, 0x20);
        Put8(pixels, 0x10);
    }
    std::filesystem::create_directories("GameData/Menus");
    WriteFile("GameData/Menus/Splash.tga", TgaFile(3, 2, 24, pixels));
    D3DBitmap* splash = nullptr;
    device->CreateRenderTargetBitmap(&splash);
    ASSERT_NE(splash, nullptr);
    ASSERT_EQ(splash->Load("gamedata\\menus\\SPLASH.tga", 0, 0), 1) << splash->GetLastError();
    EXPECT_EQ(splash->GetWidth(), 3);
    EXPECT_EQ(splash->GetFormat(), FormatR8G8B8);
    splash->CopyTo(0, 0, device->GetBackBuffer());
    device->SetMaterial(nullptr);
    EXPECT_EQ(device->BeginFrame(false, true), 0);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    splash->Destroy();
}
