// Copies, locks and clears mixed with drawing on the same render target within one frame: each
// lands in the order it was made.
#include "tests/renderer/DrawFixture.h"

namespace {

constexpr std::uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu, kBlack = 0xFF000000u;

struct Probe {
    int x, y;
    std::uint32_t expected; // 0x00RRGGBB
};

} // namespace

class TargetCopyTest : public DrawTest {
protected:
    void SetUp() override
    {
        DrawTest::SetUp();
        back = device->GetBackBuffer();
        ASSERT_EQ(back->GetBytesPerPixel(), 4u);
        device->SetClearColor(kBlack);
    }

    void TearDown() override
    {
        for (D3DBitmap* bitmap : made)
            bitmap->Destroy();
        DrawTest::TearDown();
    }

    // A private one-level bitmap in the back buffer's format, filled with one colour.
    D3DBitmap* Solid(int width, int height, std::uint32_t color)
    {
        D3DBitmap* bitmap = device->CreateBitmap(nullptr);
        EXPECT_EQ(bitmap->Create("solid", width, height, back->GetFormat(), BitmapOneLevel | BitmapPrivate), 1);
        auto* bits = static_cast<std::uint8_t*>(bitmap->Lock(true));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                std::memcpy(bits + y * bitmap->GetPitch() + x * 4, &color, 4);
        bitmap->Unlock();
        made.push_back(bitmap);
        return bitmap;
    }

    void Expect(const std::vector<Probe>& probes)
    {
        const auto pixels = ReadBack();
        for (const Probe& p : probes)
            EXPECT_EQ(At(pixels, p.x, p.y), p.expected) << p.x << "," << p.y;
    }

    D3DBitmap* back = nullptr;
    std::vector<D3DBitmap*> made;
};

TEST_F(TargetCopyTest, ADrawAfterACopyOntoTheBackBufferLandsOverIt)
{
    D3DBitmap* red = Solid(16, 16, kRed);
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    red->CopyTo(8, 8, back);                               // (8,8)-(24,24)
    DrawQuad(Quad(16, 16, 32, 32, kGreen), &material);     // over its lower right quarter
    EXPECT_EQ(device->EndFrame(true, true), 0);
    Expect({{8, 8, 0xFF0000}, {15, 15, 0xFF0000}, {23, 8, 0xFF0000}, {16, 16, 0x00FF00}, {23, 23, 0x00FF00},
            {31, 31, 0x00FF00}, {7, 7, 0}, {32, 32, 0}, {40, 10, 0}});
}

TEST_F(TargetCopyTest, ACopyRectAfterADrawKeepsWhatWasDrawnElsewhere)
{
    struct Case {
        const char* name;
        float source[4], destination[4]; // x, y, width, height
    };
    // Same size (copied as it is) and doubled (scaled point by point).
    const Case cases[] = {{"same size", {0, 0, 8, 8}, {40, 40, 8, 8}}, {"scaled", {0, 0, 4, 4}, {40, 40, 8, 8}}};
    D3DBitmap* blue = Solid(8, 8, kBlue);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(device->BeginFrame(true, true), 0);
        DrawQuad(Quad(0, 0, 16, 16, kGreen), &material);
        blue->CopyRect(c.source, c.destination, back);
        DrawQuad(Quad(44, 0, 60, 16, kRed), &material);
        EXPECT_EQ(device->EndFrame(true, true), 0);
        Expect({{0, 0, 0x00FF00}, {15, 15, 0x00FF00}, {40, 40, 0x0000FF}, {47, 47, 0x0000FF}, {44, 8, 0xFF0000},
                {39, 40, 0}, {48, 48, 0}, {20, 20, 0}});
    }
}

TEST_F(TargetCopyTest, AClearAfterACopyCoversItWhereItClears)
{
    D3DBitmap* red = Solid(16, 16, kRed);
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    red->CopyTo(0, 0, back);
    device->SetClearColor(kBlue);
    const float rect[4] = {4, 4, 8, 8};
    device->Clear(true, false, false, rect);
    red->CopyTo(32, 32, back);
    device->Clear(true, false, false, nullptr);
    red->CopyTo(40, 0, back);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    // The whole clear covers the first two copies; the third was made after it.
    Expect({{0, 0, 0x0000FF}, {6, 6, 0x0000FF}, {34, 34, 0x0000FF}, {40, 0, 0xFF0000}, {55, 15, 0xFF0000}});
}

TEST_F(TargetCopyTest, AClearInsideACopySplitsItWithinTheFrame)
{
    D3DBitmap* red = Solid(16, 16, kRed);
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    red->CopyTo(0, 0, back);
    device->SetClearColor(kBlue);
    const float rect[4] = {4, 4, 8, 8};
    device->Clear(true, false, false, rect);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    Expect({{0, 0, 0xFF0000}, {3, 3, 0xFF0000}, {4, 4, 0x0000FF}, {11, 11, 0x0000FF}, {12, 12, 0xFF0000},
            {15, 15, 0xFF0000}, {16, 16, 0}});
}

TEST_F(TargetCopyTest, ALockInTheMiddleOfAFrameReadsTheDrawingAndItsWritesStay)
{
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    DrawQuad(Quad(0, 0, 8, 8, kGreen), &material);
    auto* bits = static_cast<std::uint8_t*>(back->Lock(true));
    ASSERT_NE(bits, nullptr);
    std::uint32_t drawn = 0;
    std::memcpy(&drawn, bits + 4 * BackBufferPitch() + 4 * 4, 4);
    EXPECT_EQ(drawn & 0x00FFFFFFu, 0x00FF00u);
    for (int y = 32; y < 40; ++y)
        for (int x = 32; x < 40; ++x)
            std::memcpy(bits + y * BackBufferPitch() + x * 4, &kBlue, 4);
    back->Unlock();
    DrawQuad(Quad(36, 36, 48, 48, kRed), &material);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    Expect({{4, 4, 0x00FF00}, {32, 32, 0x0000FF}, {35, 35, 0x0000FF}, {36, 36, 0xFF0000}, {47, 47, 0xFF0000},
            {20, 20, 0}});
}

TEST_F(TargetCopyTest, ARenderTargetTextureTakesCopiesAndDrawsInOrder)
{
    D3DBitmap* target = device->CreateBitmap(nullptr);
    made.push_back(target);
    ASSERT_EQ(target->Create("target", 32, 32, back->GetFormat(), BitmapOneLevel | BitmapPrivate | BitmapRenderTarget |
                                                                      BitmapDefaultPool),
              1);
    D3DBitmap* red = Solid(8, 8, kRed);
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    device->SetRenderTarget(target, nullptr);
    device->SetClearColor(kBlue);
    device->Clear(true, false, false, nullptr);
    red->CopyTo(0, 0, target);
    DrawQuad(Quad(4, 4, 12, 12, kGreen), &material);
    device->SetRenderTarget(nullptr, nullptr);
    target->CopyTo(16, 16, back);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    Expect({{16, 16, 0xFF0000}, {19, 19, 0xFF0000}, {20, 20, 0x00FF00}, {27, 27, 0x00FF00}, {28, 28, 0x0000FF},
            {47, 47, 0x0000FF}, {15, 15, 0}, {48, 48, 0}});
}

// Multisampled drawing smooths the quads' edges, so only inner pixels are probed.
TEST_F(TargetCopyTest, AMultisampledBackBufferKeepsCopiesLocksClearsAndDrawsInOrder)
{
    if (device->GetMaxMultisamples() < 1)
        GTEST_SKIP() << "no multisampling";
    ASSERT_EQ(device->SetMultisamples(1), 1);
    back = device->GetBackBuffer();
    D3DBitmap* red = Solid(16, 16, kRed);
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    red->CopyTo(0, 0, back);
    DrawQuad(Quad(8, 8, 24, 24, kGreen), &material);
    device->SetClearColor(kBlue);
    const float rect[4] = {2, 2, 4, 4};
    device->Clear(true, false, false, rect);
    auto* bits = static_cast<std::uint8_t*>(back->Lock(true));
    ASSERT_NE(bits, nullptr);
    const std::size_t pitch = BackBufferPitch();
    std::uint32_t drawn = 0, cleared = 0;
    std::memcpy(&drawn, bits + 12 * pitch + 12 * 4, 4);
    std::memcpy(&cleared, bits + 3 * pitch + 3 * 4, 4);
    EXPECT_EQ(drawn & 0x00FFFFFFu, 0x00FF00u);
    EXPECT_EQ(cleared & 0x00FFFFFFu, 0x0000FFu);
    for (int y = 40; y < 48; ++y)
        for (int x = 40; x < 48; ++x)
            std::memcpy(bits + y * pitch + x * 4, &kRed, 4);
    back->Unlock();
    DrawQuad(Quad(44, 44, 56, 56, kGreen), &material);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    Expect({{1, 1, 0xFF0000}, {3, 3, 0x0000FF}, {12, 4, 0xFF0000}, {12, 12, 0x00FF00}, {20, 20, 0x00FF00},
            {41, 41, 0xFF0000}, {50, 50, 0x00FF00}, {30, 30, 0}});
}
