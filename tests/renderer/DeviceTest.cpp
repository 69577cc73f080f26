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
    const int backFormat = device->GetBackBuffer()->GetFormat();
    ASSERT_EQ(splash->Load("gamedata\\menus\\SPLASH.tga", backFormat, 0), 1) << splash->GetLastError();
    EXPECT_EQ(splash->GetWidth(), 3);
    EXPECT_EQ(splash->GetFormat(), backFormat);
    const float from[4] = {0, 0, 3, 2}, to[4] = {0, 0, 800, 600};
    splash->CopyRect(from, to, device->GetBackBuffer());
    device->SetMaterial(nullptr);
    EXPECT_EQ(device->BeginFrame(false, true), 0);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    const auto* shown = static_cast<const std::uint32_t*>(device->GetBackBuffer()->Lock(false));
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown[800 * 599 + 799] & 0xFFFFFF, 0x102030u);
    device->GetBackBuffer()->Unlock();
    splash->Destroy();
}

TEST_F(RendererTest, TransformsProjectToTargetPixels)
{
    OpenWindowed(320, 240);
    Matrix4 scale;
    scale.MakeScale(0.5f, 0.5f, 1.0f);
    device->SetWorldTransform(&scale);
    Matrix4 back;
    device->GetWorldTransform(&back);
    EXPECT_EQ(back, scale);
    // (1, 1, 0.5) -> (0.5, 0.5, 0.5, 1): right of centre by a quarter, up by a quarter.
    const Vector3 point(1.0f, 1.0f, 0.5f);
    Vector4 out;
    device->TransformPoint(&out, &point);
    EXPECT_FLOAT_EQ(out.x, 240.0f);
    EXPECT_FLOAT_EQ(out.y, 60.0f);
    EXPECT_FLOAT_EQ(out.z, 0.5f);
    EXPECT_FLOAT_EQ(out.w, 1.0f);
    Vector3 projected;
    device->ProjectPoint(&projected, &point);
    EXPECT_FLOAT_EQ(projected.x, 240.0f);
    EXPECT_FLOAT_EQ(projected.z, 0.5f);

    // A sub-viewport shows what its rectangle covered before.
    Matrix4 identity;
    device->SetProjectionTransform(&identity);
    EXPECT_EQ(device->SetViewport2D(80, 60, 160, 120), 0);
    Matrix4 projection;
    device->GetProjectionTransform(&projection);
    EXPECT_FLOAT_EQ(projection(0, 0), 2.0f);
    EXPECT_FLOAT_EQ(projection(1, 1), 2.0f);
    EXPECT_FLOAT_EQ(projection(3, 0), 0.0f);
    EXPECT_FLOAT_EQ(projection(3, 1), 0.0f);
    int x = 0, y = 0, w = 0, h = 0;
    device->GetViewport(&x, &y, &w, &h);
    EXPECT_EQ(x, 80);
    EXPECT_EQ(h, 120);
    EXPECT_EQ(device->SetViewport(0, 0, 400, 240), -1);
    EXPECT_EQ(std::string(device->GetLastError()).rfind("Error setting viewport: ", 0), 0u);
    EXPECT_EQ(device->SetViewport(0, 0, 320, 240), 1);
}

TEST_F(RendererTest, FrameStatisticsCountOnlyCountedFrames)
{
    OpenWindowed();
    device->BeginFrame(false, true);
    device->EndFrame(true, true);
    EXPECT_EQ(device->GetFrameCount(), 1);
    device->BeginFrame(false, false);
    device->EndFrame(true, true);
    EXPECT_EQ(device->GetFrameCount(), 1);
    EXPECT_FALSE(device->DrawPrim(nullptr));
    device->ResetStats();
    EXPECT_EQ(device->GetFrameCount(), 0);
    EXPECT_EQ(device->GetFramesPerSecond(), 0);
}

TEST_F(RendererTest, MultisampledBackBufferIsResolvedWhenPresented)
{
    OpenWindowed(64, 48);
    const int maximum = device->GetMaxMultisamples();
    EXPECT_GE(maximum, 0);
    EXPECT_EQ(device->SetMultisamples(0), 1); // unchanged: no reset
    if (maximum < 1)
        GTEST_SKIP() << "no multisampling on this driver";
    ASSERT_EQ(device->SetMultisamples(maximum), 1) << device->GetLastError();
    EXPECT_EQ(device->GetMultisamples(), maximum);
    EXPECT_EQ(device->GetBackBuffer()->GetPitch(), 0);
    device->SetClearColor(0xFF204060u);
    EXPECT_EQ(device->BeginFrame(true, true), 0);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    const auto* bits = static_cast<const std::uint32_t*>(device->GetBackBuffer()->Lock(false));
    ASSERT_NE(bits, nullptr);
    EXPECT_EQ(bits[64 * 10 + 10] & 0xFFFFFF, 0x204060u);
    device->GetBackBuffer()->Unlock();
    ASSERT_EQ(device->SetMultisamples(0), 1);
    EXPECT_EQ(device->GetBackBuffer()->GetPitch(), 64 * 4);
}

TEST(RendererBinding, ConstructionFailureArrivesAsTheEngineError)
{
    // No video driver of that name: the display system cannot start.
    setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
    Device* device = nullptr;
    try {
        LoadRendererLibrary(kRendererLibraryName, &device);
        ADD_FAILURE() << "a device was made without a display";
    } catch (const q3DError& error) {
        EXPECT_STREQ(error.GetText(), "Direct3D9 object can't be created");
    }
    EXPECT_EQ(device, nullptr);
    UnloadRendererLibrary(&device);
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
}
