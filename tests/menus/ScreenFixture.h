#pragma once

// The full-screen image and movie screens on the real application object: a headless device
// from the renderer library and a sound system on the loopback output, whose mixing the tests
// step by hand, so that a movie's sound track is the clock.

#include "app/framework/Application.h"
#include "app/framework/GameState.h"
#include "renderer/Device.h"
#include "tests/app/AppFixture.h"

#include <cstdint>
#include <memory>
#include <vector>

// The screen a caller asks for after the image or movie; counts how often it was entered.
class NextScreen : public GameState {
public:
    int Enter() override
    {
        ++entered;
        return 0;
    }
    void Update() override {}
    void Draw() override {}

    int entered = 0;
};

class ScreenTest : public AppTest {
protected:
    static constexpr int Rate = 22050;

    void SetUp() override
    {
        AppTest::SetUp();
        OpenDevice(320, 240);
        OpenSound(Rate);
        application = Application::Instance();
    }

    void TearDown() override
    {
        // The screens give back what they hold while the device and the sound still exist.
        Application::Instance()->SetState(nullptr);
        AppTest::TearDown();
    }

    // One turn of the main loop.
    void Frame()
    {
        application->Update();
        application->Draw();
    }

    // Mixes ms milliseconds of the loopback output.
    std::vector<std::int16_t> Mix(int ms)
    {
        std::vector<std::int16_t> out(static_cast<std::size_t>(Rate * ms / 1000) * 2);
        sound->GetDriver()->Render(out.data(), Rate * ms / 1000);
        return out;
    }

    // The colour of one pixel of a 32-bit bitmap, without alpha.
    static std::uint32_t Pixel(D3DBitmap* bitmap, int x, int y)
    {
        EXPECT_EQ(bitmap->GetBitsPerPixel(), 32);
        const auto* bytes = static_cast<const std::uint8_t*>(bitmap->Lock(false));
        EXPECT_NE(bytes, nullptr) << bitmap->GetLastError();
        if (!bytes)
            return 0;
        const std::uint8_t* p = bytes + y * bitmap->GetPitch() + x * 4;
        const std::uint32_t value = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16;
        bitmap->Unlock();
        return value;
    }

    std::uint32_t BackBufferPixel(int x, int y) { return Pixel(device->GetBackBuffer(), x, y); }

    Application* application = nullptr;
    NextScreen next;
};
