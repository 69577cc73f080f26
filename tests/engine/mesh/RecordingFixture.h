#pragma once

#include <memory>

#include "tests/engine/mesh/RecordingDevice.h"
#include "tests/renderer/RendererFixture.h"

// A renderer test on a kWidth x kHeight window whose device is wrapped in a RecordingDevice, for
// the engine objects whose draws the tests check.
class RecordingTest : public RendererTest {
protected:
    static constexpr int kWidth = 320;
    static constexpr int kHeight = 240;

    void SetUp() override
    {
        RendererTest::SetUp();
        OpenWindowed(kWidth, kHeight);
        recorder = std::make_unique<RecordingDevice>(device);
    }
    void TearDown() override
    {
        recorder.reset();
        RendererTest::TearDown();
    }

    // Pixel coordinates back from the device coordinates of recorded vertices.
    static float PixelX(float deviceX) { return (deviceX + 1.0f) * float(kWidth / 2); }
    static float PixelY(float deviceY) { return (deviceY + 1.0f) * float(kHeight / 2); }

    std::unique_ptr<RecordingDevice> recorder;
};
