#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include "platform/gpu/GraphicsDevice.h"
#include "platform/gpu/ImageCopy.h"
#include "platform/gpu/PixelFormat.h"
#include "platform/gpu/System.h"
#include "platform/os/Window.h"
#include "renderer/Device.h"

using namespace platform::gpu;

namespace {

class GraphicsDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = platform::os::Window::Create("gpu test", 64, 32, platform::os::WindowMode::Windowed);
        ASSERT_NE(window, nullptr);
        PresentParameters parameters;
        parameters.window = window.get();
        parameters.backBufferWidth = 64;
        parameters.backBufferHeight = 32;
        parameters.backBufferFormat = FormatX8R8G8B8;
        std::string error;
        device = GraphicsDevice::Create(parameters, &error);
        ASSERT_NE(device, nullptr) << error;
    }

    // What OpenGL holds for a level, as 0xAARRGGBB.
    std::vector<std::uint32_t> Uploaded(Texture* texture, int level, int face = 0)
    {
        const GLuint name = texture->PrepareForSampling();
        int width = 0, height = 0;
        texture->GetLevelSize(level, width, height);
        std::vector<std::uint32_t> pixels(std::size_t(width) * height);
        if (texture->IsCube())
            glGetTextureSubImage(name, level, 0, 0, face, width, height, 1, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                                 GLsizei(pixels.size() * 4), pixels.data());
        else
            glGetTextureImage(name, level, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, GLsizei(pixels.size() * 4),
                              pixels.data());
        return pixels;
    }

    std::unique_ptr<platform::os::Window> window;
    std::unique_ptr<GraphicsDevice> device;
};

} // namespace

TEST_F(GraphicsDeviceTest, TexturesReachOpenGlInTheirOwnFormats)
{
    Texture* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 2, 0, UsageNone, FormatR5G6B5, Pool::Managed, &texture), Ok);
    EXPECT_EQ(texture->GetLevelCount(), 3);
    LockedRect locked;
    ASSERT_EQ(texture->LockLevel(0, 0, locked, false), Ok);
    EXPECT_EQ(locked.pitch, 8);
    auto* texels = reinterpret_cast<std::uint16_t*>(locked.bits);
    texels[0] = 0xF800; // red, top left
    texels[7] = 0x001F; // blue, bottom right
    texture->UnlockLevel(0, 0);
    const std::vector<std::uint32_t> level0 = Uploaded(texture, 0);
    // The first row in memory is the first row OpenGL holds (texture coordinate v = 0).
    EXPECT_EQ(level0[0], 0xFFFF0000u);
    EXPECT_EQ(level0[7], 0xFF0000FFu);
    EXPECT_EQ(level0[1], 0xFF000000u);
    texture->Release();
}

TEST_F(GraphicsDeviceTest, CompressedAndCubeTexturesUpload)
{
    Texture* dxt = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 8, 1, UsageNone, FormatDXT1, Pool::Managed, &dxt), Ok);
    std::vector<std::uint32_t> pixels(64, 0xFF00FF00u);
    LockedRect locked;
    ASSERT_EQ(dxt->LockLevel(0, 0, locked, false), Ok);
    EncodeImage(FormatDXT1, pixels.data(), 8, 8, locked.bits, std::size_t(locked.pitch));
    dxt->UnlockLevel(0, 0);
    EXPECT_EQ(Uploaded(dxt, 0)[63], 0xFF00FF00u);
    dxt->Release();

    Texture* cube = nullptr;
    ASSERT_EQ(device->CreateCubeTexture(2, 1, UsageNone, FormatA8R8G8B8, Pool::Managed, &cube), Ok);
    for (int face = 0; face < 6; ++face) {
        ASSERT_EQ(cube->LockLevel(face, 0, locked, false), Ok);
        for (int i = 0; i < 4; ++i)
            reinterpret_cast<std::uint32_t*>(locked.bits)[i] = 0x10000000u * std::uint32_t(face + 1);
        cube->UnlockLevel(face, 0);
    }
    EXPECT_EQ(Uploaded(cube, 0, 4)[3], 0x50000000u);
    cube->Release();
}

TEST_F(GraphicsDeviceTest, ClearsReachTheTargetAndFilteringBuildsMips)
{
    Texture* target = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 8, 1, UsageRenderTarget, FormatA8R8G8B8, Pool::Default, &target), Ok);
    ASSERT_EQ(device->SetRenderTarget(nullptr, target), Ok);
    const Rect rect{0, 0, 4, 2};
    ASSERT_EQ(device->Clear(&rect, true, false, false, 0x80FF8000u, 1.0f, 0), Ok);
    LockedRect locked;
    ASSERT_EQ(target->LockLevel(0, 0, locked, true), Ok);
    const auto* texels = reinterpret_cast<const std::uint32_t*>(locked.bits);
    EXPECT_EQ(texels[0], 0x80FF8000u);
    EXPECT_EQ(texels[8 + 3], 0x80FF8000u);
    EXPECT_EQ(texels[2 * 8], 0u);
    EXPECT_EQ(texels[4], 0u);
    target->UnlockLevel(0, 0);
    Surface* back = device->GetBackBuffer();
    EXPECT_EQ(device->SetRenderTarget(back, nullptr), Ok);
    back->Release();

    Texture* chain = nullptr;
    ASSERT_EQ(device->CreateTexture(2, 2, 0, UsageNone, FormatA8R8G8B8, Pool::Managed, &chain), Ok);
    ASSERT_EQ(LoadImage(ImageTarget::Of(chain), nullptr, ImageTarget::Of(target), &rect, Filter::Box), Ok);
    ASSERT_EQ(FilterTexture(chain), Ok);
    ASSERT_EQ(chain->LockLevel(0, 1, locked, true), Ok);
    EXPECT_EQ(*reinterpret_cast<const std::uint32_t*>(locked.bits), 0x80FF8000u);
    chain->UnlockLevel(0, 1);
    chain->Release();
    target->Release();
}

TEST(GpuSystem, OffersOneHardwareAdapterWithTheCommonModes)
{
    System system;
    ASSERT_TRUE(system.IsAvailable());
    EXPECT_EQ(system.GetAdapterCount(), 1);
    EXPECT_EQ(system.GetAdapterModeCount(0, FormatX8R8G8B8), system.GetAdapterModeCount(0, FormatR5G6B5));
    EXPECT_EQ(system.GetAdapterModeCount(0, FormatX1R5G5B5), 0);
    Capabilities caps;
    EXPECT_EQ(system.GetDeviceCapabilities(0, DeviceType::Hardware, caps), Ok);
    EXPECT_NE(system.GetDeviceCapabilities(0, DeviceType::Reference, caps), Ok);
    EXPECT_EQ(system.CheckDeviceFormat(0, DeviceType::Hardware, FormatX8R8G8B8, UsageDepthStencil,
                                       ResourceType::Surface, DepthD24S8),
              Ok);
    EXPECT_NE(system.CheckDeviceFormat(0, DeviceType::Hardware, FormatX8R8G8B8, UsageRenderTarget,
                                       ResourceType::Surface, FormatDXT1),
              Ok);
}

TEST_F(GraphicsDeviceTest, PresentShowsTheTopRowAtTheTopOfTheWindow)
{
    const Rect top{0, 0, 64, 4};
    ASSERT_EQ(device->Clear(nullptr, true, true, true, 0xFF000000u, 1.0f, 0), Ok);
    ASSERT_EQ(device->Clear(&top, true, false, false, 0xFFFF0000u, 1.0f, 0), Ok);
    ASSERT_EQ(device->Present(), Ok);
    // The window's first row in OpenGL is its bottom row.
    std::uint32_t bottom = 0, upper = 0;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_FRONT);
    glReadPixels(10, 0, 1, 1, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, &bottom);
    glReadPixels(10, 31, 1, 1, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, &upper);
    EXPECT_EQ(upper & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(bottom & 0xFFFFFF, 0u);
}

// A copy onto a target that was just drawn into is made on the GPU: from any level of a texture,
// or a face of a cube map, written in memory and never uploaded, to where a copy in memory puts it.
TEST_F(GraphicsDeviceTest, CopiesOntoADrawnTargetComeFromTheLevelOrFaceAsked)
{
    Texture* target = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 8, 1, UsageRenderTarget, FormatX8R8G8B8, Pool::Default, &target), Ok);
    ASSERT_EQ(device->SetRenderTarget(nullptr, target), Ok);
    ASSERT_EQ(device->Clear(nullptr, true, false, false, 0xFF0000FFu, 1.0f, 0), Ok);

    Texture* chain = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 4, 2, UsageNone, FormatX8R8G8B8, Pool::Managed, &chain), Ok);
    Texture* cube = nullptr;
    ASSERT_EQ(device->CreateCubeTexture(2, 1, UsageNone, FormatX8R8G8B8, Pool::Managed, &cube), Ok);
    LockedRect locked;
    ASSERT_EQ(chain->LockLevel(0, 1, locked, false), Ok);
    for (int i = 0; i < 4; ++i)
        reinterpret_cast<std::uint32_t*>(locked.bits)[i] = 0xFFFF0000u; // level 1: 2 x 2 red
    chain->UnlockLevel(0, 1);
    ASSERT_EQ(cube->LockLevel(3, 0, locked, false), Ok);
    reinterpret_cast<std::uint32_t*>(locked.bits)[1] = 0xFF00FF00u; // face 3: green top right
    cube->UnlockLevel(3, 0);

    const Rect wholeLevel{0, 0, 2, 2}, oneTexel{1, 0, 2, 1};
    const Rect atTopLeft{0, 0, 2, 2}, atBottomRight{7, 7, 8, 8};
    ASSERT_EQ(LoadImage(ImageTarget::Of(target), &atTopLeft, ImageTarget::Of(chain, 1), &wholeLevel, Filter::Point), Ok);
    ASSERT_EQ(LoadImage(ImageTarget::Of(target), &atBottomRight, ImageTarget::Of(cube, 0, 3), &oneTexel, Filter::Point),
              Ok);

    ASSERT_EQ(target->LockLevel(0, 0, locked, true), Ok);
    const auto* texels = reinterpret_cast<const std::uint32_t*>(locked.bits);
    EXPECT_EQ(texels[0], 0xFFFF0000u);
    EXPECT_EQ(texels[8 + 1], 0xFFFF0000u);
    EXPECT_EQ(texels[2], 0xFF0000FFu);
    EXPECT_EQ(texels[2 * 8], 0xFF0000FFu);
    EXPECT_EQ(texels[7 * 8 + 7], 0xFF00FF00u);
    EXPECT_EQ(texels[7 * 8 + 6], 0xFF0000FFu);
    target->UnlockLevel(0, 0);

    Surface* back = device->GetBackBuffer();
    EXPECT_EQ(device->SetRenderTarget(back, nullptr), Ok);
    back->Release();
    cube->Release();
    chain->Release();
    target->Release();
}

// Copies that scale or convert onto a target that was just drawn into are made on the GPU; they
// give, byte for byte, what the same copy onto an image kept in memory gives: the texels picked by
// whole-number steps and each value rounded through both formats. Scales whose steps sample well
// and ones that need exact texel fetches, minifying, a level of a chain, and format pairs that
// keep, force or round the alpha, the colour depth or the luminance.
TEST_F(GraphicsDeviceTest, ScaledAndConvertingCopiesOntoADrawnTargetMatchTheCopyInMemory)
{
    struct Case {
        const char* name;
        int sourceFormat, destinationFormat;
        int sourceWidth, sourceHeight, sourceLevel;
        Rect source, destination;
        int destinationWidth, destinationHeight;
    };
    const Case cases[] = {
        {"movie frame 4:5", FormatX8R8G8B8, FormatX8R8G8B8, 64, 48, 0, {0, 0, 64, 48}, {0, 0, 80, 60}, 80, 60},
        {"odd enlargement", FormatA8R8G8B8, FormatA8R8G8B8, 7, 5, 0, {0, 0, 7, 5}, {3, 2, 19, 13}, 24, 16},
        {"reduction", FormatA8R8G8B8, FormatA8R8G8B8, 13, 9, 0, {0, 0, 13, 9}, {1, 1, 6, 5}, 8, 8},
        {"fine steps", FormatA8R8G8B8, FormatA8R8G8B8, 256, 4, 0, {1, 1, 200, 3}, {2, 0, 133, 5}, 140, 6},
        {"level of a chain", FormatA8R8G8B8, FormatA8R8G8B8, 8, 8, 1, {0, 0, 4, 4}, {0, 0, 6, 6}, 8, 8},
        {"to 16 bits", FormatA8R8G8B8, FormatR5G6B5, 9, 7, 0, {0, 0, 9, 7}, {0, 0, 12, 10}, 12, 10},
        {"from 16 bits", FormatR5G6B5, FormatA8R8G8B8, 9, 7, 0, {0, 0, 9, 7}, {1, 1, 10, 6}, 12, 10},
        {"opaque to alpha", FormatX8R8G8B8, FormatA8R8G8B8, 6, 6, 0, {0, 0, 6, 6}, {1, 1, 7, 7}, 8, 8},
        {"4444 to 1555", FormatA4R4G4B4, FormatX1R5G5B5, 5, 5, 0, {0, 0, 5, 5}, {0, 0, 11, 9}, 12, 10},
        {"to luminance", FormatA8R8G8B8, FormatA8L8, 6, 4, 0, {0, 0, 6, 4}, {0, 0, 9, 6}, 10, 8},
    };
    const std::uint32_t clearColor = 0x80336699u;
    std::uint32_t noise = 12345;
    // Targets wider than the back buffer's depth buffer are cleared whole without it.
    ASSERT_EQ(device->SetDepthStencilSurface(nullptr), Ok);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Texture* source = nullptr;
        ASSERT_EQ(device->CreateTexture(c.sourceWidth, c.sourceHeight, c.sourceLevel + 1, UsageNone, c.sourceFormat,
                                        Pool::Managed, &source),
                  Ok);
        LockedRect locked;
        ASSERT_EQ(source->LockLevel(0, c.sourceLevel, locked, false), Ok);
        int levelWidth = 0, levelHeight = 0;
        source->GetLevelSize(c.sourceLevel, levelWidth, levelHeight);
        for (int i = 0; i < locked.pitch * levelHeight; ++i) {
            noise = noise * 1664525u + 1013904223u;
            locked.bits[i] = std::uint8_t(noise >> 24);
        }
        source->UnlockLevel(0, c.sourceLevel);

        // The target drawn into (cleared) and the same picture kept only in memory.
        Texture* drawn = nullptr;
        Texture* kept = nullptr;
        ASSERT_EQ(device->CreateTexture(c.destinationWidth, c.destinationHeight, 1, UsageRenderTarget,
                                        c.destinationFormat, Pool::Default, &drawn),
                  Ok);
        ASSERT_EQ(device->CreateTexture(c.destinationWidth, c.destinationHeight, 1, UsageNone, c.destinationFormat,
                                        Pool::Managed, &kept),
                  Ok);
        ASSERT_EQ(device->SetRenderTarget(nullptr, drawn), Ok);
        ASSERT_EQ(device->Clear(nullptr, true, false, false, clearColor, 1.0f, 0), Ok);
        ASSERT_EQ(kept->LockLevel(0, 0, locked, false), Ok);
        const std::vector<std::uint32_t> cleared(std::size_t(c.destinationWidth) * c.destinationHeight, clearColor);
        EncodeImage(c.destinationFormat, cleared.data(), c.destinationWidth, c.destinationHeight, locked.bits,
                    std::size_t(locked.pitch));
        kept->UnlockLevel(0, 0);

        for (Texture* destination : {drawn, kept})
            ASSERT_EQ(LoadImage(ImageTarget::Of(destination), &c.destination, ImageTarget::Of(source, c.sourceLevel),
                                &c.source, Filter::Point),
                      Ok);

        LockedRect fromGpu, inMemory;
        ASSERT_EQ(drawn->LockLevel(0, 0, fromGpu, true), Ok);
        ASSERT_EQ(kept->LockLevel(0, 0, inMemory, true), Ok);
        ASSERT_EQ(fromGpu.pitch, inMemory.pitch);
        const int bytes = BitsPerPixel(c.destinationFormat) / 8;
        int differing = 0;
        for (int y = 0; y < c.destinationHeight; ++y)
            for (int x = 0; x < c.destinationWidth; ++x) {
                const std::uint8_t* a = fromGpu.bits + y * fromGpu.pitch + x * bytes;
                const std::uint8_t* b = inMemory.bits + y * inMemory.pitch + x * bytes;
                if (std::memcmp(a, b, std::size_t(bytes)) != 0 && differing++ < 3)
                    ADD_FAILURE() << "texel " << x << "," << y << " differs";
            }
        EXPECT_EQ(differing, 0);
        drawn->UnlockLevel(0, 0);
        kept->UnlockLevel(0, 0);

        Surface* back = device->GetBackBuffer();
        EXPECT_EQ(device->SetRenderTarget(back, nullptr), Ok);
        back->Release();
        kept->Release();
        drawn->Release();
        source->Release();
    }
    Surface* depth = device->GetDepthStencilSurface();
    EXPECT_EQ(device->SetDepthStencilSurface(depth), Ok);
    depth->Release();
}

// A8R8G8B8 and X8R8G8B8 textures not drawn into keep the bytes of memory as they are in OpenGL
// (the swizzle sets the channels right): sampling them, copying them onto a drawn target as they
// are or scaled, and drawing into them (which turns their storage into channel order) then locking,
// sampling and copying again, all give the colours the picture in memory has.
TEST_F(GraphicsDeviceTest, TexturesKeptInMemoryByteOrderGiveTheColoursOfMemory)
{
    struct TexelVertex {
        float x, y, z, rhw, u, v;
    };
    VertexFormat vertexFormat;
    vertexFormat.position = VertexFormat::Position::Transformed;
    vertexFormat.texSets = 1;
    ASSERT_EQ(device->SetVertexFormat(vertexFormat), Ok);
    ASSERT_EQ(device->SetDepthStencilSurface(nullptr), Ok);
    constexpr int Width = 4, Height = 2;
    std::uint32_t noise = 777;

    for (const int format : {FormatA8R8G8B8, FormatX8R8G8B8}) {
        SCOPED_TRACE(format == FormatA8R8G8B8 ? "A8R8G8B8" : "X8R8G8B8");
        const auto decoded = [&](Texture* texture) {
            LockedRect locked;
            EXPECT_EQ(texture->LockLevel(0, 0, locked, true), Ok);
            int width = 0, height = 0;
            texture->GetLevelSize(0, width, height);
            std::vector<std::uint32_t> pixels(std::size_t(width) * height);
            DecodeImage(format, locked.bits, std::size_t(locked.pitch), width, height, pixels.data());
            texture->UnlockLevel(0, 0);
            return pixels;
        };
        const auto make = [&](int width, int height, std::uint32_t usage) {
            Texture* texture = nullptr;
            EXPECT_EQ(device->CreateTexture(width, height, 1, usage, format, Pool::Default, &texture), Ok);
            return texture;
        };

        // Every byte differs, the unused byte of X8R8G8B8 included.
        Texture* source = make(Width, Height, UsageRenderTarget);
        LockedRect locked;
        ASSERT_EQ(source->LockLevel(0, 0, locked, false), Ok);
        std::vector<std::uint8_t> bytes(std::size_t(locked.pitch) * Height);
        for (std::uint8_t& byte : bytes) {
            noise = noise * 1664525u + 1013904223u;
            byte = std::uint8_t(noise >> 24);
        }
        std::memcpy(locked.bits, bytes.data(), bytes.size());
        source->UnlockLevel(0, 0);
        std::vector<std::uint32_t> colours = decoded(source);

        // What OpenGL holds: the bytes of memory as they are.
        std::vector<std::uint8_t> stored(bytes.size());
        glGetTextureImage(source->PrepareForSampling(), 0, GL_RGBA, GL_UNSIGNED_BYTE, GLsizei(stored.size()),
                          stored.data());
        EXPECT_EQ(stored, bytes);

        Texture* canvas = make(8, 8, UsageRenderTarget);
        // Each texel drawn over the whole canvas (alpha kept), as the canvas reads back.
        const auto sampled = [&]() {
            EXPECT_EQ(device->SetRenderTarget(nullptr, canvas), Ok);
            EXPECT_EQ(device->SetTexture(0, source), Ok);
            std::vector<std::uint32_t> texels;
            for (int i = 0; i < Width * Height; ++i) {
                const float u = (float(i % Width) + 0.5f) / Width, v = (float(i / Width) + 0.5f) / Height;
                const TexelVertex a{0, 0, 0.5f, 1, u, v}, b{8, 0, 0.5f, 1, u, v}, c{8, 8, 0.5f, 1, u, v},
                    d{0, 8, 0.5f, 1, u, v};
                const TexelVertex quad[6] = {a, b, c, a, c, d};
                EXPECT_EQ(device->DrawPrimitiveUp(4, 2, quad, sizeof(TexelVertex)), Ok);
                texels.push_back(decoded(canvas)[4 * 8 + 4]);
            }
            EXPECT_EQ(device->SetTexture(0, nullptr), Ok);
            return texels;
        };
        // The same copy onto a drawn target (on the GPU) and onto one kept in memory.
        const auto copiesAgree = [&](int width, int height) {
            Texture* drawn = make(width, height, UsageRenderTarget);
            Texture* kept = make(width, height, UsageNone);
            EXPECT_EQ(device->SetRenderTarget(nullptr, drawn), Ok);
            EXPECT_EQ(device->Clear(nullptr, true, false, false, 0x80336699u, 1.0f, 0), Ok);
            LockedRect cleared;
            EXPECT_EQ(kept->LockLevel(0, 0, cleared, false), Ok);
            const std::vector<std::uint32_t> clearColour(std::size_t(width) * height, 0x80336699u);
            EncodeImage(format, clearColour.data(), width, height, cleared.bits, std::size_t(cleared.pitch));
            kept->UnlockLevel(0, 0);
            const Rect whole{0, 0, Width, Height}, onto{1, 1, 1 + width - 1, 1 + height - 1};
            for (Texture* destination : {drawn, kept})
                EXPECT_EQ(
                    LoadImage(ImageTarget::Of(destination), &onto, ImageTarget::Of(source), &whole, Filter::Point), Ok);
            EXPECT_EQ(decoded(drawn), decoded(kept));
            kept->Release();
            drawn->Release();
        };

        EXPECT_EQ(sampled(), colours);
        copiesAgree(Width + 1, Height + 1);  // as it is
        copiesAgree(Width * 2, Height * 3);  // scaled
        EXPECT_EQ(bytes, [&] {
            LockedRect again;
            EXPECT_EQ(source->LockLevel(0, 0, again, true), Ok);
            std::vector<std::uint8_t> now(again.bits, again.bits + bytes.size());
            source->UnlockLevel(0, 0);
            return now;
        }());

        // Drawn into: stored in channel order from now on, from the picture in memory.
        ASSERT_EQ(device->SetRenderTarget(nullptr, source), Ok);
        const Rect firstTexel{0, 0, 1, 1};
        ASSERT_EQ(device->Clear(&firstTexel, true, false, false, 0x40C08020u, 1.0f, 0), Ok);
        colours[0] = format == FormatX8R8G8B8 ? 0xFFC08020u : 0x40C08020u;
        EXPECT_EQ(decoded(source), colours);
        std::vector<std::uint32_t> channels(colours.size());
        glGetTextureImage(source->PrepareForSampling(), 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                          GLsizei(channels.size() * 4), channels.data());
        for (std::uint32_t& texel : channels)
            texel |= format == FormatX8R8G8B8 ? 0xFF000000u : 0;
        EXPECT_EQ(channels, colours);
        EXPECT_EQ(sampled(), colours);
        copiesAgree(Width + 1, Height + 1);
        copiesAgree(Width * 2, Height * 3);

        Surface* back = device->GetBackBuffer();
        EXPECT_EQ(device->SetRenderTarget(back, nullptr), Ok);
        back->Release();
        canvas->Release();
        source->Release();
    }
}

// A movie frame: a render-target surface filled from memory, copied scaled onto part of the back
// buffer in the middle of a frame. The copy lands between the clear and the draws after it, as
// the same copy in memory would make it, and leaves the depth buffer as the clear left it; once the
// surface is drawn into, a copy of it still gives its colours.
TEST_F(GraphicsDeviceTest, AMovieFrameCopiedOntoTheBackBufferJoinsTheFrameAndLeavesItsDepth)
{
    struct ColoredVertex {
        float x, y, z, rhw;
        std::uint32_t diffuse;
    };
    VertexFormat colored;
    colored.position = VertexFormat::Position::Transformed;
    colored.diffuse = true;
    ASSERT_EQ(device->SetVertexFormat(colored), Ok);
    ASSERT_EQ(device->SetRenderState(RsLighting, 0), Ok);
    ASSERT_EQ(device->SetRenderState(RsZEnable, 1), Ok);
    ASSERT_EQ(device->SetRenderState(RsZWriteEnable, 1), Ok);
    ASSERT_EQ(device->SetRenderState(RsZFunc, 2), Ok); // less
    ASSERT_EQ(device->SetTextureStageState(0, StageState::ColorOp, 2), Ok);
    ASSERT_EQ(device->SetTextureStageState(0, StageState::ColorArg1, ArgDiffuse), Ok);
    const auto drawQuad = [&](float left, float right, float z, std::uint32_t colour) {
        const ColoredVertex a{left, 0, z, 1, colour}, b{right, 0, z, 1, colour}, c{right, 32, z, 1, colour},
            d{left, 32, z, 1, colour};
        const ColoredVertex quad[6] = {a, b, c, a, c, d};
        EXPECT_EQ(device->DrawPrimitiveUp(4, 2, quad, sizeof(ColoredVertex)), Ok);
    };

    Surface* frame = nullptr;
    ASSERT_EQ(device->CreateSurface(16, 8, FormatX8R8G8B8, Pool::Default, true, &frame), Ok);
    LockedRect locked;
    ASSERT_EQ(frame->Lock(locked, false), Ok);
    std::uint32_t noise = 99;
    for (int i = 0; i < locked.pitch * 8; ++i) {
        noise = noise * 1664525u + 1013904223u;
        locked.bits[i] = std::uint8_t(noise >> 24);
    }
    frame->Unlock();
    Surface* back = device->GetBackBuffer();
    Texture* kept = nullptr;
    ASSERT_EQ(device->CreateTexture(64, 32, 1, UsageNone, FormatX8R8G8B8, Pool::Managed, &kept), Ok);
    const Rect whole{0, 0, 16, 8}, onto{8, 4, 52, 26};
    const std::uint32_t clearColour = 0xFF102030u, drawnColour = 0xFFE0C0A0u;

    for (const bool drawnInto : {false, true}) {
        SCOPED_TRACE(drawnInto ? "drawn into" : "filled from memory");
        if (drawnInto) {
            // Drawing turns the surface's storage into channel order, from the picture in memory.
            ASSERT_EQ(device->SetRenderTarget(frame, nullptr), Ok);
            const Rect corner{0, 0, 3, 2};
            ASSERT_EQ(device->Clear(&corner, true, false, false, 0xFF4080C0u, 1.0f, 0), Ok);
            ASSERT_EQ(device->SetRenderTarget(back, nullptr), Ok);
        }
        ASSERT_EQ(device->BeginScene(), Ok);
        ASSERT_EQ(device->Clear(nullptr, true, true, false, clearColour, 0.25f, 0), Ok);
        ASSERT_EQ(LoadImage(ImageTarget::Of(back), &onto, ImageTarget::Of(frame), &whole, Filter::Point), Ok);
        drawQuad(0, 64, 0.5f, 0xFFFF0000u);  // behind the cleared depth everywhere
        drawQuad(0, 24, 0.1f, drawnColour); // in front of it
        ASSERT_EQ(device->EndScene(), Ok);

        ASSERT_EQ(kept->LockLevel(0, 0, locked, false), Ok);
        const std::vector<std::uint32_t> cleared(64 * 32, clearColour);
        EncodeImage(FormatX8R8G8B8, cleared.data(), 64, 32, locked.bits, std::size_t(locked.pitch));
        kept->UnlockLevel(0, 0);
        ASSERT_EQ(LoadImage(ImageTarget::Of(kept), &onto, ImageTarget::Of(frame), &whole, Filter::Point), Ok);
        const Rect left{0, 0, 24, 32};
        const std::vector<std::uint32_t> drawn(24 * 32, drawnColour);
        ASSERT_EQ(kept->LockLevel(0, 0, locked, false), Ok);
        for (int y = 0; y < 32; ++y)
            EncodeImage(FormatX8R8G8B8, drawn.data(), left.Width(), 1, locked.bits + y * locked.pitch,
                        std::size_t(locked.pitch));
        kept->UnlockLevel(0, 0);

        LockedRect shown, expected;
        ASSERT_EQ(back->Lock(shown, true), Ok);
        ASSERT_EQ(kept->LockLevel(0, 0, expected, true), Ok);
        int differing = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 64; ++x) {
                std::uint32_t a = 0, b = 0;
                std::memcpy(&a, shown.bits + y * shown.pitch + x * 4, 4);
                std::memcpy(&b, expected.bits + y * expected.pitch + x * 4, 4);
                if ((a & 0xFFFFFFu) != (b & 0xFFFFFFu) && differing++ < 3)
                    ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << a << " for " << b;
            }
        EXPECT_EQ(differing, 0);
        kept->UnlockLevel(0, 0);
        back->Unlock();
    }
    kept->Release();
    back->Release();
    frame->Release();
}

TEST_F(GraphicsDeviceTest, SoftwareRasterisersOfferNoAnisotropicFiltering)
{
    // Mesa's software rasterisers can take seconds over one anisotropically filtered draw.
    const std::string renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const bool software =
        renderer.find("llvmpipe") != std::string::npos || renderer.find("softpipe") != std::string::npos;
    EXPECT_EQ(device->GetCapabilities().minAnisotropic, !software) << renderer;
    EXPECT_EQ(device->GetCapabilities().magAnisotropic, !software) << renderer;
}

// A buffer written again uploads the span it locked since its last upload and leaves the rest of
// OpenGL's copy alone; a buffer's first upload (and the one into an OpenGL buffer of its own, when
// a small buffer leaves its page) takes everything.
TEST_F(GraphicsDeviceTest, ABufferUploadsOnlyWhatWasLockedSinceItsLastUpload)
{
    const auto fill = [](Buffer* buffer, std::size_t offset, std::size_t size, std::uint8_t value) {
        void* bytes = nullptr;
        ASSERT_EQ(buffer->Lock(offset, size, &bytes), Ok);
        std::memset(bytes, value, size == 0 ? buffer->GetSize() : size);
        buffer->Unlock();
    };
    const auto uploaded = [](Buffer* buffer) {
        const GLuint name = buffer->PrepareForDrawing();
        std::vector<std::uint8_t> bytes(buffer->GetSize());
        glGetNamedBufferSubData(name, GLintptr(buffer->GetGlOffset()), GLsizeiptr(bytes.size()), bytes.data());
        return bytes;
    };
    for (const std::size_t size : {std::size_t(256), std::size_t(1) << 17}) {
        SCOPED_TRACE(size);
        Buffer* buffer = nullptr;
        ASSERT_EQ(device->CreateBuffer(BufferKind::Vertex, size, &buffer), Ok);
        fill(buffer, 0, 0, 0x11);
        EXPECT_EQ(uploaded(buffer), std::vector<std::uint8_t>(size, 0x11));
        fill(buffer, 32, 16, 0x22);
        fill(buffer, 100, 8, 0x33);
        std::vector<std::uint8_t> expected(buffer->GetData(), buffer->GetData() + size);
        EXPECT_EQ(uploaded(buffer), expected);
        // OpenGL's copy marked outside the next span: an upload of the whole buffer would undo it.
        const GLuint name = buffer->PrepareForDrawing();
        const std::vector<std::uint8_t> marks(size, 0xEE);
        glNamedBufferSubData(name, GLintptr(buffer->GetGlOffset()), GLsizeiptr(size), marks.data());
        fill(buffer, 64, 4, 0x44);
        fill(buffer, 70, 2, 0x55);
        expected.assign(size, 0xEE);
        std::copy(buffer->GetData() + 64, buffer->GetData() + 72, expected.begin() + 64);
        EXPECT_EQ(uploaded(buffer), expected);
        buffer->Release();
    }
}
