#include <cstring>

#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "platform/os/SharedLibrary.h"
#include "tests/renderer/RendererFixture.h"

namespace {

class PrimLightTest : public RendererTest {
protected:
    void SetUp() override
    {
        RendererTest::SetUp();
        OpenWindowed();
        layout.InitLitTextured();
    }

    D3DPrim* Make(int vertices, int indices, std::uint32_t flags = 0)
    {
        D3DPrim* prim = nullptr;
        device->CreatePrim(&prim);
        EXPECT_EQ(prim->Create(PrimTriangleList, vertices, indices, &layout, flags), 0) << prim->GetLastError();
        return prim;
    }

    VertexLayout layout;
};

} // namespace

TEST_F(PrimLightTest, ArraysAreFilledRangedAndShared)
{
    D3DPrim* owner = Make(60, 90);
    EXPECT_EQ(owner->GetVertexCount(true), 60);
    EXPECT_EQ(owner->GetIndexCount(true), 90);
    auto* vertices = static_cast<std::uint8_t*>(owner->GetVertices(true, true));
    for (int i = 0; i < 60 * 44; ++i)
        vertices[i] = std::uint8_t(i);
    auto* indices = owner->GetIndices(true, true);
    for (int i = 0; i < 90; ++i)
        indices[i] = std::uint16_t(i % 60);

    owner->SetVertexRange(10, 40);
    EXPECT_EQ(owner->GetVertexCount(false), 30);
    EXPECT_EQ(owner->GetVertexCount(true), 60);
    EXPECT_EQ(owner->GetFirstVertex(), 10);
    EXPECT_EQ(static_cast<std::uint8_t*>(owner->GetVertices(false, false)), vertices + 10 * 44);
    owner->SetIndexRange(3, 9);
    EXPECT_EQ(owner->GetIndexCount(false), 6);
    EXPECT_EQ(owner->GetIndices(false, false), indices + 3);

    D3DPrim* part = nullptr;
    device->CreatePrim(&part);
    part->ShareVertices(owner);
    part->ShareIndices(owner);
    EXPECT_EQ(part->GetVertices(false, true), vertices);
    VertexLayout copied;
    part->GetVertexFormat(&copied);
    EXPECT_EQ(copied, layout);
    owner->Destroy();
    // The shared arrays live on with the other prim.
    EXPECT_EQ(static_cast<std::uint8_t*>(part->GetVertices(false, true))[45], 45);
    EXPECT_EQ(part->GetIndices(false, true)[61], 1);
    part->Destroy();

    D3DPrim* wide = Make(4, 6, PrimIndex32);
    auto* wideIndices = reinterpret_cast<std::uint32_t*>(wide->GetIndices(true, true));
    wideIndices[5] = 0x12345678u;
    wide->SetIndexRange(2, 0);
    EXPECT_EQ(reinterpret_cast<std::uint32_t*>(wide->GetIndices(false, false)), wideIndices + 2);
    EXPECT_EQ(wide->GetFlags(), PrimIndex32);
    wide->Destroy();
}

TEST_F(PrimLightTest, EverythingSurvivesAResolutionChange)
{
    D3DPrim* prim = Make(3, 3);
    std::memset(prim->GetVertices(true, true), 0x5A, 3 * 44);
    D3DPrim* memoryOnly = Make(3, 0, PrimSystemMemory);
    D3DBitmap* texture = device->CreateBitmap(nullptr);
    ASSERT_EQ(texture->Create("kept", 4, 4, FormatA8R8G8B8, BitmapDefaultPool), 1);
    static_cast<std::uint32_t*>(texture->LockLevel(0, nullptr, true))[5] = 0xCAFEBABEu;
    texture->UnlockLevel();
    D3DBitmap* target = device->CreateRenderTargetBitmap(nullptr);
    ASSERT_EQ(target->Create("target", 16, 16, FormatX8R8G8B8, 0), 1);
    D3DLight* light = device->CreateLight(nullptr);
    ASSERT_EQ(light->Enable(true), 1);

    ASSERT_EQ(device->ChangeResolution(640, 480, 32, -1), 1) << device->GetLastError();
    EXPECT_EQ(device->GetTargetWidth(), 640);
    EXPECT_EQ(device->GetBackBuffer()->GetWidth(), 640);
    // Only the target takes the mode's size; the window is neither moved nor resized.
    int clientWidth = 0, clientHeight = 0;
    window->GetClientSize(clientWidth, clientHeight);
    EXPECT_EQ(clientWidth, 320);
    EXPECT_EQ(clientHeight, 240);
    EXPECT_EQ(static_cast<std::uint8_t*>(prim->GetVertices(false, true))[100], 0x5A);
    EXPECT_EQ(static_cast<const std::uint32_t*>(texture->LockLevel(0, nullptr, false))[5], 0xCAFEBABEu);
    texture->UnlockLevel();
    light->position[1] = 3.0f;
    EXPECT_EQ(light->Set(), 1);
    EXPECT_TRUE(light->IsEnabled());

    // Drawing into the kept render target and reading it back still works.
    device->SetRenderTarget(target, nullptr);
    EXPECT_EQ(device->GetTargetWidth(), 16);
    device->SetClearColor(0xFF0000FFu);
    EXPECT_EQ(device->BeginFrame(true, true), 0);
    EXPECT_EQ(device->EndFrame(false, true), 0);
    EXPECT_EQ(static_cast<const std::uint32_t*>(target->Lock(false))[17] & 0xFFFFFF, 0x0000FFu);
    target->Unlock();
    device->SetRenderTarget(nullptr, nullptr);
    EXPECT_EQ(device->GetTargetWidth(), 640);

    ASSERT_EQ(device->ChangeResolutionWindowed(window.get(), -1), 1) << device->GetLastError();
    EXPECT_EQ(device->GetTargetWidth(), 320);
    EXPECT_EQ(static_cast<std::uint8_t*>(prim->GetVertices(false, true))[0], 0x5A);

    EXPECT_EQ(device->BeginFrame(true, true), 0);
    EXPECT_EQ(device->ChangeResolution(800, 600, 32, -1), -1);
    EXPECT_STREQ(device->GetLastError(), "Can't change resolution while rendering");
    EXPECT_EQ(device->SetMultisamples(1), -1);
    EXPECT_STREQ(device->GetLastError(), "Can't change anti aliasing properties while rendering");
    device->EndFrame(true, true);
    EXPECT_EQ(device->SetMultisamples(0), 1);

    light->Destroy();
    target->Destroy();
    texture->Destroy();
    memoryOnly->Destroy();
    prim->Destroy();
}

TEST_F(PrimLightTest, LightsTakeTheLowestFreeSlotUpToTheMaximum)
{
    const int maximum = device->GetMaxActiveLights();
    ASSERT_GE(maximum, 8);
    std::vector<D3DLight*> lights;
    for (int i = 0; i < maximum; ++i) {
        lights.push_back(device->CreateLight(nullptr));
        EXPECT_EQ(lights.back()->GetLastError(), nullptr);
        EXPECT_FALSE(lights.back()->IsEnabled());
        EXPECT_EQ(lights.back()->type, LightDirectional);
        EXPECT_EQ(lights.back()->color, 0xFFFFFFFFu);
        EXPECT_EQ(lights.back()->direction[2], 1.0f);
    }
    D3DLight* extra = device->CreateLight(nullptr);
    EXPECT_STREQ(extra->GetLastError(), "Max active lights for this device exceeded");
    EXPECT_EQ(extra->Enable(true), -1);
    EXPECT_EQ(extra->Set(), -1);
    EXPECT_STREQ(extra->GetLastError(), "Max active lights for this device exceeded");
    extra->Destroy();

    // Free slot 1: the next light takes it.
    lights[1]->Destroy();
    D3DLight* again = device->CreateLight(nullptr);
    EXPECT_EQ(again->GetLastError(), nullptr);
    EXPECT_EQ(again->Enable(true), 1);
    lights[1] = again;

    lights[0]->Enable(true);
    device->EnableLights(false);
    EXPECT_TRUE(lights[0]->IsEnabled()); // the lights' own flags stay
    device->EnableLights(true);
    for (D3DLight* light : lights)
        light->Destroy();
}

TEST_F(PrimLightTest, PrimsAndBitmapsLeftAtShutdownAreReported)
{
    D3DPrim* prim = Make(3, 0);
    D3DBitmap* bitmap = device->CreateBitmap(nullptr);
    ASSERT_EQ(bitmap->Create("leaked.tga", 4, 4, FormatR5G6B5, 0), 1);
    // A second handle keeps the library's code loaded for the objects left behind.
    char buffer[4096];
    auto keep = platform::os::SharedLibrary::Open(ResolveRendererLibraryPath(kRendererLibraryName, buffer, 4096));
    UnloadRendererLibrary(&device);
    const auto lines = ReadLines("q3D.log");
    auto has = [&](const std::string& text) { return std::find(lines.begin(), lines.end(), text) != lines.end(); };
    EXPECT_TRUE(has("[WARNING] 1 D3DPrims left in memory on shutdown"));
    EXPECT_TRUE(has("[WARNING] 1 D3DBitmaps left in memory on shutdown"));
    EXPECT_TRUE(has("          leaked.tga, Refs: 0"));
    EXPECT_EQ(lines.back(), "q3D log closing");
    // What was left behind can still be freed once the device is gone.
    prim->Destroy();
    bitmap->Destroy();
}
