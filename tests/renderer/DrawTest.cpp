#include <algorithm>

#include "tests/renderer/DrawFixture.h"

TEST_F(DrawTest, PreTransformedQuadsCoverThePixelCentresTheyEncloseAndCullAnticlockwise)
{
    device->SetClearColor(0xFF000000u);
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    DrawQuad(Quad(8, 8, 24, 16, 0xFFFF0000u), &material);
    DrawQuad(Quad(32, 8, 48, 16, 0xFF00FF00u, true), &material); // anticlockwise: culled
    Material twoSided = material;
    twoSided.cullFlags = Material::kTwoSided;
    DrawQuad(Quad(32, 24, 48, 32, 0xFF0000FFu, true), &twoSided);
    Material clockwiseCulled = material;
    clockwiseCulled.cullFlags = Material::kCullClockwise;
    DrawQuad(Quad(8, 24, 24, 32, 0xFFFFFF00u), &clockwiseCulled);
    DrawQuad(Quad(8, 40, 24, 48, 0xFFFFFF00u, true), &clockwiseCulled);
    EXPECT_EQ(device->EndFrame(true, true), 0);

    const auto pixels = ReadBack();
    struct Case {
        int x, y;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {8, 8, 0xFF0000}, {23, 15, 0xFF0000}, {7, 8, 0}, {24, 8, 0}, {8, 7, 0}, {8, 16, 0}, // edges
        {40, 12, 0},                                                                      // culled
        {40, 28, 0x0000FF},                                                               // two-sided
        {16, 28, 0}, {16, 44, 0xFFFF00},                                                  // clockwise culling
    };
    for (const Case& c : cases)
        EXPECT_EQ(At(pixels, c.x, c.y), c.expected) << c.x << "," << c.y;
}

TEST_F(DrawTest, BlendFactorsAndAlphaTestFollowTheMaterialAndReference)
{
    device->SetClearColor(0xFF404040u);
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    struct Case {
        std::int32_t src, dest;
        std::uint32_t vertex;
        int alphaRef;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {BlendSrcAlpha, BlendInvSrcAlpha, 0x80FF0000u, 1, 0xA02020},
        {BlendOne, BlendOne, 0xFF102030u, 1, 0x506070},
        {BlendZero, BlendSrcColor, 0xFF800080u, 1, 0x200020},
        // "Both source alpha" (12) and "both inverse source alpha" (13) set the pair from the
        // source factor, whatever the destination factor says.
        {12, BlendOne, 0x40FF0000u, 1, 0x703030},
        {13, BlendZero, 0x40FF0000u, 1, 0xCF1010},
        {BlendOne, BlendZero, 0x00FFFFFFu, 1, 0x404040},    // alpha 0 fails the reference of 1
        {BlendOne, BlendZero, 0x7FFFFFFFu, 0x80, 0x404040}, // below the raised reference
        {BlendOne, BlendZero, 0x80FFFFFFu, 0x80, 0xFFFFFF}, // at it
    };
    std::vector<Material> materials(std::size(cases), material);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        materials[i].srcBlend = cases[i].src;
        materials[i].destBlend = cases[i].dest;
        device->SetAlphaRef(cases[i].alphaRef);
        const float x = float(i % 6) * 10.0f, y = float(i / 6) * 10.0f;
        DrawQuad(Quad(x, y, x + 8, y + 8, cases[i].vertex), &materials[i]);
    }
    EXPECT_EQ(device->GetAlphaRef(), 0x80);
    device->SetAlphaRef(1);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    const auto pixels = ReadBack();
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_TRUE(Near(At(pixels, int(i % 6) * 10 + 4, int(i / 6) * 10 + 4), cases[i].expected)) << "case " << i;
}

TEST_F(DrawTest, StencilKeepsASecondDrawInsideTheFirst)
{
    ASSERT_EQ(device->GetStencilBits(), 8);
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    device->SetStencilEnable(true);
    device->SetStencilFunc(CompareAlways);
    device->SetStencilRef(1);
    device->SetStencilPass(StencilReplace);
    DrawQuad(Quad(8, 8, 24, 24, 0xFF00FF00u), &material);
    device->SetStencilFunc(CompareEqual);
    device->SetStencilPass(StencilKeep);
    DrawQuad(Quad(16, 16, 32, 32, 0xFFFF0000u), &material);
    device->SetStencilEnable(false);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    const auto pixels = ReadBack();
    EXPECT_EQ(At(pixels, 10, 10), 0x00FF00u);
    EXPECT_EQ(At(pixels, 20, 20), 0xFF0000u);
    EXPECT_EQ(At(pixels, 28, 28), 0u);
    EXPECT_EQ(At(pixels, 20, 28), 0u);
}

TEST_F(DrawTest, TwoTextureStagesCombineByTheMaterialsOperation)
{
    D3DBitmap* base = SolidTexture("base", 0xFF806040u);
    D3DBitmap* detail = SolidTexture("detail", 0x80102030u);
    VertexLayout layout;
    layout.offsets[VertexLayout::TransformedPosition] = 0;
    layout.offsets[VertexLayout::Diffuse] = 16;
    layout.offsets[VertexLayout::TexCoord0] = 20;
    layout.offsets[VertexLayout::TexCoord0 + 1] = 28;
    layout.vertexSize = 36;
    struct Vertex {
        float x, y, z, rhw;
        std::uint32_t color;
        float u0, v0, u1, v1;
    };
    struct Case {
        std::int32_t op;
        std::uint32_t expected;
    };
    // Stage 0 = base x diffuse (white); stage 1 = op(detail, current).
    const Case cases[] = {
        {TexOpAdd, 0x908070},
        {TexOpModulate, 0x080C0C},
        {TexOpModulate2x, 0x101818},
        {TexOpBlendTextureAlpha, 0x484038},
        {TexOpSelectArg2, 0x806040},
    };
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    std::vector<Material> materials(std::size(cases), material);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        materials[i].texture[0] = base;
        materials[i].texture[1] = detail;
        materials[i].colorOp[0] = cases[i].op;
        const float x0 = float(i) * 10.0f, x1 = x0 + 8.0f;
        const Vertex quad[6] = {{x0, 0, 0.5f, 1, 0xFFFFFFFFu, 0, 0, 0, 0}, {x1, 0, 0.5f, 1, 0xFFFFFFFFu, 1, 0, 1, 0},
                                {x1, 8, 0.5f, 1, 0xFFFFFFFFu, 1, 1, 1, 1}, {x0, 0, 0.5f, 1, 0xFFFFFFFFu, 0, 0, 0, 0},
                                {x1, 8, 0.5f, 1, 0xFFFFFFFFu, 1, 1, 1, 1}, {x0, 8, 0.5f, 1, 0xFFFFFFFFu, 0, 1, 0, 1}};
        device->DrawUserPrimitives(PrimTriangleList, quad, 6, &layout, nullptr, 0, &materials[i]);
    }
    EXPECT_EQ(device->EndFrame(true, true), 0);
    const auto pixels = ReadBack();
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_TRUE(Near(At(pixels, int(i % 6) * 10 + 4, int(i / 6) * 10 + 4), cases[i].expected)) << "case " << i;
    base->Destroy();
    detail->Destroy();
}

TEST_F(DrawTest, LitFoggedTexturedMeshFromAPrim)
{
    LookAlongZ();
    D3DBitmap* texture = SolidTexture("meshtexture", 0xFF8080FFu);
    VertexLayout layout;
    layout.offsets[VertexLayout::Position] = 0;
    layout.offsets[VertexLayout::Normal] = 12;
    layout.offsets[VertexLayout::TexCoord0] = 24;
    layout.vertexSize = 32;
    struct Vertex {
        float x, y, z, nx, ny, nz, u, v;
    };
    D3DPrim* prim = nullptr;
    device->CreatePrim(&prim);
    ASSERT_EQ(prim->Create(PrimTriangleList, 4, 6, &layout, 0), 0);
    const Vertex corners[4] = {{-2, 2, 10, 0, 0, -1, 0, 0}, {2, 2, 10, 0, 0, -1, 1, 0},
                               {2, -2, 10, 0, 0, -1, 1, 1}, {-2, -2, 10, 0, 0, -1, 0, 1}};
    std::memcpy(prim->GetVertices(true, true), corners, sizeof(corners));
    const std::uint16_t indices[6] = {0, 1, 2, 0, 2, 3};
    std::memcpy(prim->GetIndices(true, true), indices, sizeof(indices));
    Material lit;
    lit.texture[0] = texture;
    lit.color = 0xFF80FF40u;
    lit.lightingMode = 2;
    prim->material = &lit;

    D3DLight* light = device->CreateLight(nullptr);
    light->type = LightDirectional;
    light->color = 0xFF808080u;
    light->direction[0] = 0.0f;
    light->direction[1] = 0.0f;
    light->direction[2] = 1.0f;
    ASSERT_EQ(light->Set(), 1);
    ASSERT_EQ(light->Enable(true), 1);
    device->SetAmbient(0xFF202020u);
    device->SetFogEnable(true);
    device->SetFogColor(0xFF0000FFu);
    device->SetFogStart(5.0f);
    device->SetFogEnd(15.0f);

    ASSERT_EQ(device->BeginFrame(true, true), 0);
    EXPECT_TRUE(device->DrawPrim(prim));
    EXPECT_EQ(device->GetDrawCount(), 1);
    EXPECT_EQ(device->GetTriangleCount(), 2);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    // Lit: ambient 0x20 x material + light 0x80 x material (N.L = 1) = (0.315, 0.628, 0.157);
    // x texture (0.5, 0.5, 1) = (0.158, 0.315, 0.157); half fogged at depth 10 towards blue.
    const auto pixels = ReadBack();
    EXPECT_TRUE(Near(At(pixels, 32, 32), 0x142894u, 4));
    EXPECT_EQ(At(pixels, 2, 2), 0u);
    light->Destroy();
    prim->Destroy();
    texture->Destroy();
}

TEST_F(DrawTest, TranslucentTrianglesAreDrawnFarToNearWithTheOriginAsEye)
{
    LookAlongZ();
    VertexLayout& layout = colourLayout;
    using Vertex = ColourVertex;
    auto triangle = [](float z, std::uint32_t color) {
        return std::vector<Vertex>{{-z, z, z, color}, {z, z, z, color}, {0, -z, z, color}};
    };
    Material translucent = material;
    translucent.srcBlend = BlendSrcAlpha;
    translucent.destBlend = BlendInvSrcAlpha;
    const auto nearRed = triangle(5, 0x80FF0000u), farGreen = triangle(10, 0x8000FF00u);

    ASSERT_EQ(device->BeginFrame(true, true), 0);
    device->DrawUserPrimitives(PrimTriangleList, nearRed.data(), 3, &layout, nullptr, 0, &translucent);
    device->DrawUserPrimitives(PrimTriangleList, farGreen.data(), 3, &layout, nullptr, 0, &translucent);
    EXPECT_EQ(device->GetSortedTriangleCount(), 2);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    // Green first (half over black), then red over it.
    EXPECT_TRUE(Near(At(ReadBack(), 32, 32), 0x804000u));

    // A fixed sort depth keeps the order of submission: the first triangle counts as farthest.
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    device->SetSortDepth(100.0f);
    device->DrawUserPrimitives(PrimTriangleList, nearRed.data(), 3, &layout, nullptr, 0, &translucent);
    device->DrawUserPrimitives(PrimTriangleList, farGreen.data(), 3, &layout, nullptr, 0, &translucent);
    device->SetSortDepth(3.4e38f);
    EXPECT_EQ(device->GetSortedTriangleCount(), 2);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    EXPECT_TRUE(Near(At(ReadBack(), 32, 32), 0x408000u));

    // With the queue off translucent draws happen at once, in order, writing depth: the far
    // triangle drawn second is hidden.
    device->SetSortQueueEnabled(false);
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    device->DrawUserPrimitives(PrimTriangleList, nearRed.data(), 3, &layout, nullptr, 0, &translucent);
    device->DrawUserPrimitives(PrimTriangleList, farGreen.data(), 3, &layout, nullptr, 0, &translucent);
    EXPECT_EQ(device->GetSortedTriangleCount(), 0);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    EXPECT_TRUE(Near(At(ReadBack(), 32, 32), 0x800000u));
    std::uint32_t ambient = 0;
    device->GetAmbient(&ambient);
    EXPECT_EQ(ambient, 0xFFFFFFFFu);
}

TEST_F(DrawTest, TranslucentPrimsWith32BitIndicesAreSortedToo)
{
    LookAlongZ();
    Material translucent = material;
    translucent.srcBlend = BlendSrcAlpha;
    translucent.destBlend = BlendInvSrcAlpha;
    // A spare vertex before each triangle, so the indices do not start at 0.
    auto makePrim = [&](float z, std::uint32_t color, std::uint32_t flags) {
        D3DPrim* prim = nullptr;
        device->CreatePrim(&prim);
        EXPECT_EQ(prim->Create(PrimTriangleList, 4, 3, &colourLayout, flags | PrimIndex32), 0);
        auto* v = static_cast<ColourVertex*>(prim->GetVertices(true, true));
        v[0] = ColourVertex{0, 0, 0, 0};
        v[1] = ColourVertex{-z, z, z, color};
        v[2] = ColourVertex{z, z, z, color};
        v[3] = ColourVertex{0, -z, z, color};
        auto* indices = reinterpret_cast<std::uint32_t*>(prim->GetIndices(true, true));
        indices[0] = 1;
        indices[1] = 2;
        indices[2] = 3;
        prim->material = &translucent;
        return prim;
    };
    for (const std::uint32_t flags : {0u, std::uint32_t(PrimSystemMemory)}) {
        SCOPED_TRACE(flags);
        D3DPrim* nearRed = makePrim(5, 0x80FF0000u, flags);
        D3DPrim* farGreen = makePrim(10, 0x8000FF00u, flags);
        ASSERT_EQ(device->BeginFrame(true, true), 0);
        EXPECT_TRUE(device->DrawPrim(nearRed));
        EXPECT_TRUE(device->DrawPrim(farGreen));
        EXPECT_EQ(device->GetSortedTriangleCount(), 2);
        EXPECT_EQ(device->EndFrame(true, true), 0);
        // Green first (half over black), then red over it; drawn at once, the near red triangle
        // would hide the far green one.
        EXPECT_TRUE(Near(At(ReadBack(), 32, 32), 0x804000u));
        nearRed->Destroy();
        farGreen->Destroy();
    }
}

TEST_F(DrawTest, QueueIsEmptiedAtFrameStartAndAnOverfullDrawIsDroppedWhole)
{
    LookAlongZ();
    VertexLayout& layout = colourLayout;
    using Vertex = ColourVertex;
    Material translucent = material;
    translucent.srcBlend = BlendSrcAlpha;
    translucent.destBlend = BlendInvSrcAlpha;
    const Vertex red[3] = {{-5, 5, 5, 0xFFFF0000u}, {5, 5, 5, 0xFFFF0000u}, {0, -5, 5, 0xFFFF0000u}};
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    device->DrawUserPrimitives(PrimTriangleList, red, 3, &layout, nullptr, 0, &translucent);
    EXPECT_EQ(device->EndFrame(true, false), 0); // not flushed
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    EXPECT_EQ(device->GetSortedTriangleCount(), 0);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    EXPECT_EQ(At(ReadBack(), 32, 32), 0u); // last frame's triangle is gone

    // 20479 triangles fit; one more draw of any size is dropped.
    std::vector<Vertex> many(std::size_t(20479) * 3, Vertex{0, 0, 5, 0xFFFF0000u});
    std::vector<std::uint16_t> indices(many.size());
    for (std::size_t i = 0; i < indices.size(); ++i)
        indices[i] = std::uint16_t(i % 3);
    auto overflowLines = [this] {
        int count = 0;
        for (const std::string& line : ReadLines("q3D.log"))
            count += line.rfind("Sort queue full: ", 0) == 0;
        return count;
    };
    // The first drop of a frame is logged, and only the first.
    for (int frame = 0; frame < 2; ++frame) {
        ASSERT_EQ(device->BeginFrame(true, true), 0);
        device->DrawUserPrimitives(PrimTriangleList, red, 3, &layout, indices.data(), int(indices.size()),
                                   &translucent);
        EXPECT_EQ(device->GetSortedTriangleCount(), 20479);
        device->DrawUserPrimitives(PrimTriangleList, red, 3, &layout, nullptr, 0, &translucent);
        device->DrawUserPrimitives(PrimTriangleList, red, 3, &layout, nullptr, 0, &translucent);
        EXPECT_EQ(device->GetSortedTriangleCount(), 20479);
        EXPECT_EQ(device->EndFrame(true, true), 0);
        EXPECT_EQ(At(ReadBack(), 32, 32), 0xFF0000u);
        EXPECT_EQ(overflowLines(), frame + 1);
    }
    EXPECT_EQ(ReadLines("q3D.log").back(),
              "Sort queue full: a draw of 1 triangles and 3 vertices dropped (the queue holds 20479 triangles and "
              "61440 vertices a frame)");

    // 61440 pooled vertices a frame: one triangle spanning 61441 of them is dropped and logged.
    std::vector<Vertex> wide(61441, Vertex{0, 0, 5, 0xFFFF0000u});
    wide[0] = red[0];
    wide[1] = red[1];
    wide[61440] = red[2];
    const std::uint16_t spanning[3] = {0, 1, 61440};
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    device->DrawUserPrimitives(PrimTriangleList, wide.data(), int(wide.size()), &layout, spanning, 3, &translucent);
    EXPECT_EQ(device->GetSortedTriangleCount(), 0);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    EXPECT_EQ(At(ReadBack(), 32, 32), 0u);
    EXPECT_EQ(overflowLines(), 3);
    EXPECT_EQ(ReadLines("q3D.log").back(),
              "Sort queue full: a draw of 1 triangles and 61441 vertices dropped (the queue holds 20479 triangles and "
              "61440 vertices a frame)");
}

TEST_F(DrawTest, OutOfRangeCountsAreRefused)
{
    VertexLayout layout;
    layout.InitScreenTextured();
    D3DPrim* prim = nullptr;
    device->CreatePrim(&prim);
    ASSERT_EQ(prim->Create(PrimTriangleList, 3, 3, &layout, 0), 0);
    auto* vertices = static_cast<ScreenVertex*>(prim->GetVertices(true, true));
    vertices[0] = ScreenVertex{0, 0, 0.5f, 1, 0xFFFFFFFFu, 0, 0};
    vertices[1] = ScreenVertex{64, 0, 0.5f, 1, 0xFFFFFFFFu, 0, 0};
    vertices[2] = ScreenVertex{0, 64, 0.5f, 1, 0xFFFFFFFFu, 0, 0};
    std::uint16_t* indices = prim->GetIndices(true, true);
    indices[0] = 0;
    indices[1] = 1;
    indices[2] = 7; // past the last vertex
    prim->material = &material;
    EXPECT_FALSE(device->DrawPrim(prim)) << "outside a frame";
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    EXPECT_FALSE(device->DrawPrim(prim));
    prim->GetIndices(true, true)[2] = 2;
    prim->SetVertexRange(1, 5);
    EXPECT_FALSE(device->DrawPrim(prim));
    prim->SetVertexRange(0, 0);
    prim->SetIndexRange(2, 9);
    EXPECT_FALSE(device->DrawPrim(prim));
    prim->SetIndexRange(0, 0);
    const std::uint16_t bad[3] = {0, 1, 3};
    device->DrawUserPrimitives(PrimTriangleList, vertices, 3, &layout, bad, 3, &material);
    device->DrawUserPrimitives(PrimTriangleList, vertices, -3, &layout, nullptr, 0, &material);
    EXPECT_EQ(device->GetTriangleCount(), 0);
    EXPECT_TRUE(device->DrawPrim(prim));
    EXPECT_EQ(device->GetTriangleCount(), 1);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    EXPECT_EQ(At(ReadBack(), 2, 2), 0xFFFFFFu);
    prim->Destroy();
}

TEST_F(DrawTest, DrawTextWritesTheLineAtItsPosition)
{
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    device->DrawText(4, 20, "Hi %d", 42);
    const std::string tooLong(1793, 'x');
    device->DrawText(4, 40, tooLong.c_str()); // a format above 1792 characters draws nothing
    EXPECT_EQ(device->EndFrame(true, true), 0);
    const auto pixels = ReadBack();
    int inside = 0, outside = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const bool lit = At(pixels, x, y) != 0;
            const bool inBox = x >= 4 && x < 40 && y >= 20 && y < 30;
            (inBox ? inside : outside) += lit ? 1 : 0;
        }
    EXPECT_GT(inside, 10);
    EXPECT_EQ(outside, 0);
}

TEST_F(DrawTest, MaterialsAndTexturesAtAReusedAddressAreAppliedAfresh)
{
    // A material freed and another made in its place: the device must not take it for the
    // current one.
    alignas(Material) unsigned char storage[sizeof(Material)];
    Material* first = new (storage) Material();
    first->lightingMode = 0;
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    DrawQuad(Quad(0, 0, 16, 16, 0xFFFF0000u), first);
    first->~Material();
    Material* second = new (storage) Material();
    second->lightingMode = 0;
    second->srcBlend = BlendZero;
    second->destBlend = BlendOne; // keeps what is there
    DrawQuad(Quad(16, 0, 32, 16, 0xFFFF0000u), second);
    second->~Material();

    // Likewise a texture destroyed and another created, quite possibly at the same address.
    Material textured = material;
    textured.texture[0] = SolidTexture("first", 0xFF0000FFu);
    DrawQuad(Quad(0, 16, 16, 32, 0xFFFFFFFFu), &textured);
    textured.texture[0]->Destroy();
    textured.texture[0] = SolidTexture("second", 0xFF00FF00u);
    DrawQuad(Quad(16, 16, 32, 32, 0xFFFFFFFFu), &textured);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    const auto pixels = ReadBack();
    EXPECT_EQ(At(pixels, 8, 8), 0xFF0000u);
    EXPECT_EQ(At(pixels, 24, 8), 0u);
    EXPECT_EQ(At(pixels, 8, 24), 0x0000FFu);
    EXPECT_EQ(At(pixels, 24, 24), 0x00FF00u);
    textured.texture[0]->Destroy();
}

TEST_F(DrawTest, FrontBufferCopyStretchesTheWholePictureIntoTheBitmap)
{
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    DrawQuad(Quad(0, 0, 32, 64, 0xFFFF0000u), &material);
    DrawQuad(Quad(32, 0, 64, 64, 0xFF00FF00u), &material);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    D3DBitmap* copy = device->CreateBitmap(nullptr);
    ASSERT_EQ(copy->Create("frontcopy", 16, 16, FormatA8R8G8B8, BitmapOneLevel), 1);
    EXPECT_EQ(device->CopyFrontBuffer(copy), 1);
    const auto* bits = static_cast<const std::uint8_t*>(copy->Lock(false));
    ASSERT_NE(bits, nullptr);
    auto pixel = [&](int x, int y) {
        std::uint32_t p;
        std::memcpy(&p, bits + y * copy->GetPitch() + x * 4, 4);
        return p & 0x00FFFFFFu;
    };
    EXPECT_EQ(pixel(2, 2), 0xFF0000u);
    EXPECT_EQ(pixel(13, 13), 0x00FF00u);
    copy->Unlock();
    copy->Destroy();
}

namespace {

// Paints every vertex of the draw green while it is drawn, as program effects change vertices.
class PaintGreenEffect final : public Effect {
public:
    int Init(Device*, D3DBitmap*, const char*, int) override { return 0; }
    void Release(Device*, int) override {}
    void Apply(Device*, D3DPrim* descriptor) override { Paint(descriptor, 0xFF00FF00u, &saved); }
    void Restore(Device*, D3DPrim* descriptor) override { Paint(descriptor, 0, &saved); }
    ~PaintGreenEffect() = default;

private:
    static void Paint(D3DPrim* descriptor, std::uint32_t color, std::vector<std::uint32_t>* saved)
    {
        VertexLayout layout;
        descriptor->GetVertexFormat(&layout);
        auto* vertices = static_cast<std::uint8_t*>(descriptor->GetVertices(true, false));
        if (!vertices || !layout.Has(VertexLayout::Diffuse))
            return;
        const int count = descriptor->GetVertexCount(false);
        if (color)
            saved->assign(std::size_t(count), 0);
        for (int i = 0; i < count; ++i) {
            std::uint8_t* diffuse = vertices + i * layout.vertexSize + layout.offsets[VertexLayout::Diffuse];
            if (color) {
                std::memcpy(&(*saved)[std::size_t(i)], diffuse, 4);
                std::memcpy(diffuse, &color, 4);
            } else if (std::size_t(i) < saved->size()) {
                std::memcpy(diffuse, &(*saved)[std::size_t(i)], 4);
            }
        }
        descriptor->Nop4();
    }
    std::vector<std::uint32_t> saved;
};

Effect* CreatePaintGreen(const char* name, float* parameters, Effect** toFree)
{
    if (toFree) {
        delete static_cast<PaintGreenEffect*>(*toFree);
        *toFree = nullptr;
        return nullptr;
    }
    auto* effect = new PaintGreenEffect();
    std::memcpy(effect->name, name, std::min(std::strlen(name), sizeof(effect->name) - 1));
    effect->parameters = parameters;
    return effect;
}

} // namespace

TEST_F(DrawTest, EffectsSeeAndChangeTheVerticesOfEachDraw)
{
    device->RegisterEffect(&CreatePaintGreen, "paintgreen");
    D3DBitmap* painted = SolidTexture("painted", 0xFFFFFFFFu);
    painted->AddEffect("paintgreen");
    Material withEffect = material;
    withEffect.texture[0] = painted;
    D3DPrim* prim = nullptr;
    device->CreatePrim(&prim);
    ASSERT_EQ(prim->Create(PrimTriangleList, 6, 0, &screenLayout, 0), 0);
    const auto quad = Quad(0, 0, 16, 16, 0xFFFF0000u);
    std::memcpy(prim->GetVertices(true, true), quad.data(), quad.size() * sizeof(ScreenVertex));
    prim->material = &withEffect;
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    EXPECT_TRUE(device->DrawPrim(prim));
    DrawQuad(Quad(16, 0, 32, 16, 0xFFFF0000u), &withEffect);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    const auto pixels = ReadBack();
    EXPECT_EQ(At(pixels, 8, 8), 0x00FF00u);
    EXPECT_EQ(At(pixels, 24, 8), 0x00FF00u);
    // Restored afterwards.
    std::uint32_t first;
    std::memcpy(&first, static_cast<std::uint8_t*>(prim->GetVertices(false, true)) + 16, 4);
    EXPECT_EQ(first, 0xFFFF0000u);
    prim->Destroy();
    painted->ReleaseEffects(0);
    painted->Destroy();
}

TEST_F(DrawTest, EveryPrimitiveTypeDrawsFromMemoryAndFromPrims)
{
    auto v = [](float x, float y) { return ScreenVertex{x, y, 0.5f, 1, 0xFFFFFFFFu, 0, 0}; };
    // Each case covers a spot that its primitive must light.
    struct Case {
        int type;
        std::vector<ScreenVertex> vertices;
        std::vector<std::uint16_t> indices;
        int x, y;
    };
    const Case cases[] = {
        {PrimTriangleStrip, {v(0, 0), v(12, 0), v(0, 12), v(12, 12)}, {}, 10, 10},
        {PrimTriangleFan, {v(16, 0), v(28, 0), v(28, 12), v(16, 12)}, {}, 26, 10},
        {PrimTriangleFan, {v(32, 0), v(44, 0), v(44, 12), v(32, 12)}, {0, 1, 2, 3}, 34, 10},
        {PrimTriangleList, {v(48, 0), v(60, 0), v(60, 12), v(48, 12)}, {0, 1, 2, 0, 2, 3}, 50, 10},
        {PrimLineList, {v(0, 20.5f), v(12, 20.5f)}, {}, 6, 20},
        {PrimLineStrip, {v(16, 20.5f), v(28, 20.5f), v(28, 30.5f)}, {}, 28, 26},
        {PrimPointList, {v(40, 24), v(44, 24)}, {}, 44, 24},
    };
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    std::vector<D3DPrim*> prims;
    for (const Case& c : cases) {
        const int count = int(c.vertices.size()), indexCount = int(c.indices.size());
        device->DrawUserPrimitives(c.type, c.vertices.data(), count, &screenLayout,
                                   c.indices.empty() ? nullptr : c.indices.data(), indexCount, &material);
        // The same through a prim with buffers, one row further down.
        D3DPrim* prim = nullptr;
        device->CreatePrim(&prim);
        ASSERT_EQ(prim->Create(c.type, count, indexCount, &screenLayout, 0), 0);
        auto* vertices = static_cast<ScreenVertex*>(prim->GetVertices(true, true));
        for (int i = 0; i < count; ++i) {
            vertices[i] = c.vertices[std::size_t(i)];
            vertices[i].y += 32.0f;
        }
        if (indexCount)
            std::memcpy(prim->GetIndices(true, true), c.indices.data(), c.indices.size() * 2);
        prim->material = &material;
        EXPECT_TRUE(device->DrawPrim(prim)) << c.type;
        prims.push_back(prim);
    }
    EXPECT_EQ(device->EndFrame(true, true), 0);
    const auto pixels = ReadBack();
    for (const Case& c : cases) {
        EXPECT_EQ(At(pixels, c.x, c.y), 0xFFFFFFu) << "type " << c.type << " from memory";
        EXPECT_EQ(At(pixels, c.x, c.y + 32), 0xFFFFFFu) << "type " << c.type << " from a prim";
    }
    EXPECT_EQ(At(pixels, 42, 24), 0u); // between the two points
    EXPECT_EQ(At(pixels, 6, 23), 0u);  // beside the line
    for (D3DPrim* prim : prims)
        prim->Destroy();
}

TEST_F(DrawTest, ATextureWrittenWhileBoundIsSampledAsWritten)
{
    Material textured = material;
    textured.texture[0] = SolidTexture("rewritten", 0xFFFF0000u);
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    DrawQuad(Quad(0, 0, 16, 16, 0xFFFFFFFFu), &textured);
    auto* bits = static_cast<std::uint32_t*>(textured.texture[0]->Lock(true));
    std::fill(bits, bits + 4, 0xFF00FF00u);
    textured.texture[0]->Unlock();
    DrawQuad(Quad(16, 0, 32, 16, 0xFFFFFFFFu), &textured);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    const auto pixels = ReadBack();
    EXPECT_EQ(At(pixels, 8, 8), 0xFF0000u);
    EXPECT_EQ(At(pixels, 24, 8), 0x00FF00u);
    textured.texture[0]->Destroy();
}

TEST_F(DrawTest, MemoryPrimsIndexFromTheFirstVertexOfTheirRange)
{
    // Faces of a level share one vertex array and number their vertices from their own range.
    auto v = [](float x, float y) { return ScreenVertex{x, y, 0.5f, 1, 0xFFFFFFFFu, 0, 0}; };
    const ScreenVertex all[6] = {v(0, 0), v(16, 0), v(0, 16), v(32, 0), v(48, 0), v(32, 16)};
    Material translucent = material;
    translucent.srcBlend = BlendSrcAlpha;
    translucent.destBlend = BlendInvSrcAlpha;
    std::vector<D3DPrim*> prims;
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    for (Material* with : {&material, &translucent}) {
        D3DPrim* prim = nullptr;
        device->CreatePrim(&prim);
        ASSERT_EQ(prim->Create(PrimTriangleList, 6, 3, &screenLayout, PrimSystemMemory), 0);
        auto* vertices = static_cast<ScreenVertex*>(prim->GetVertices(true, true));
        std::memcpy(vertices, all, sizeof(all));
        if (with == &translucent)
            for (int i = 0; i < 6; ++i)
                vertices[i].y += 32.0f;
        const std::uint16_t indices[3] = {0, 1, 2};
        std::memcpy(prim->GetIndices(true, true), indices, sizeof(indices));
        prim->SetVertexRange(3, 6);
        prim->material = with;
        EXPECT_TRUE(device->DrawPrim(prim));
        prims.push_back(prim);
    }
    EXPECT_EQ(device->EndFrame(true, true), 0);
    const auto pixels = ReadBack();
    EXPECT_EQ(At(pixels, 34, 2), 0xFFFFFFu);  // the range's triangle
    EXPECT_EQ(At(pixels, 2, 2), 0u);          // not the array's first one
    EXPECT_EQ(At(pixels, 34, 34), 0xFFFFFFu); // likewise through the sort queue
    EXPECT_EQ(At(pixels, 2, 34), 0u);
    for (D3DPrim* prim : prims)
        prim->Destroy();
}

TEST_F(DrawTest, AViewport2DShowsTheSameSceneInsideItsRectangle)
{
    VertexLayout& layout = colourLayout;
    using Vertex = ColourVertex;
    // World x from -24 to 8 is pixels 8 to 40 under a 64-unit-wide orthographic view.
    const Vertex quad[6] = {{-24, 32, 10, 0xFFFF0000u}, {8, 32, 10, 0xFFFF0000u},   {8, -32, 10, 0xFFFF0000u},
                            {-24, 32, 10, 0xFFFF0000u}, {8, -32, 10, 0xFFFF0000u},  {-24, -32, 10, 0xFFFF0000u}};
    Matrix4 identity, projection;
    projection.Orthographic(-32, 32, -32, 32, 1, 100);
    device->SetWorldTransform(&identity);
    device->SetViewTransform(&identity);
    device->SetProjectionTransform(&projection);
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    device->SetViewport2D(16, 0, 32, 64);
    device->DrawUserPrimitives(PrimTriangleList, quad, 6, &layout, nullptr, 0, &material);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    const auto pixels = ReadBack();
    EXPECT_EQ(At(pixels, 12, 32), 0u);        // left of the viewport
    EXPECT_EQ(At(pixels, 16, 32), 0xFF0000u); // where the quad always was
    EXPECT_EQ(At(pixels, 39, 32), 0xFF0000u);
    EXPECT_EQ(At(pixels, 40, 32), 0u);
    int x = 0, y = 0, w = 0, h = 0;
    device->GetViewport(&x, &y, &w, &h);
    EXPECT_EQ(x, 16);
    EXPECT_EQ(w, 32);
}

TEST_F(DrawTest, ADrawSeesWritesRangesAndTypesChangedSinceTheLastDraw)
{
    // Two buffer prims share one vertex array; a write through one, a new range and a new
    // primitive type must each reach the next draw of the other.
    D3DPrim* owner = nullptr;
    D3DPrim* sharer = nullptr;
    device->CreatePrim(&owner);
    device->CreatePrim(&sharer);
    ASSERT_EQ(owner->Create(PrimTriangleList, 6, 0, &screenLayout, 0), 0);
    ASSERT_EQ(sharer->Create(PrimTriangleList, 0, 0, &screenLayout, 0), 0);
    sharer->ShareVertices(owner);
    sharer->material = &material;
    auto triangleAt = [&](float x, float y) {
        auto* v = static_cast<ScreenVertex*>(owner->GetVertices(true, true));
        v[0] = ScreenVertex{x, y, 0.5f, 1, 0xFFFFFFFFu, 0, 0};
        v[1] = ScreenVertex{x + 16, y, 0.5f, 1, 0xFFFFFFFFu, 0, 0};
        v[2] = ScreenVertex{x, y + 16, 0.5f, 1, 0xFFFFFFFFu, 0, 0};
        v[3] = ScreenVertex{x + 40, y, 0.5f, 1, 0xFFFFFFFFu, 0, 0};
        v[4] = ScreenVertex{x + 56, y, 0.5f, 1, 0xFFFFFFFFu, 0, 0};
        v[5] = ScreenVertex{x + 40, y + 16, 0.5f, 1, 0xFFFFFFFFu, 0, 0};
    };
    auto frame = [&] {
        EXPECT_EQ(device->BeginFrame(true, true), 0);
        EXPECT_TRUE(device->DrawPrim(sharer));
        EXPECT_EQ(device->EndFrame(true, true), 0);
        return ReadBack();
    };
    triangleAt(0, 0);
    auto pixels = frame();
    EXPECT_EQ(At(pixels, 2, 2), 0xFFFFFFu);
    EXPECT_EQ(At(pixels, 42, 2), 0xFFFFFFu);

    triangleAt(0, 32); // written through the other prim
    pixels = frame();
    EXPECT_EQ(At(pixels, 2, 2), 0u);
    EXPECT_EQ(At(pixels, 2, 34), 0xFFFFFFu);

    sharer->SetVertexRange(3, 6);
    pixels = frame();
    EXPECT_EQ(At(pixels, 2, 34), 0u);
    EXPECT_EQ(At(pixels, 42, 34), 0xFFFFFFu);

    sharer->SetVertexRange(0, 0);
    sharer->primitiveType = PrimPointList;
    pixels = frame();
    EXPECT_EQ(At(pixels, 2, 34), 0u); // inside the first triangle, not on a point
    EXPECT_EQ(At(pixels, 0, 32), 0xFFFFFFu);
    sharer->Destroy();
    owner->Destroy();
}

TEST_F(DrawTest, MemoryPrimsTake32BitIndices)
{
    D3DPrim* prim = nullptr;
    device->CreatePrim(&prim);
    ASSERT_EQ(prim->Create(PrimTriangleList, 4, 3, &screenLayout, PrimSystemMemory | PrimIndex32), 0);
    auto* v = static_cast<ScreenVertex*>(prim->GetVertices(true, true));
    v[0] = ScreenVertex{60, 60, 0.5f, 1, 0xFFFFFFFFu, 0, 0}; // not indexed
    v[1] = ScreenVertex{0, 0, 0.5f, 1, 0xFFFFFFFFu, 0, 0};
    v[2] = ScreenVertex{16, 0, 0.5f, 1, 0xFFFFFFFFu, 0, 0};
    v[3] = ScreenVertex{0, 16, 0.5f, 1, 0xFFFFFFFFu, 0, 0};
    auto* indices = reinterpret_cast<std::uint32_t*>(prim->GetIndices(true, true));
    indices[0] = 1;
    indices[1] = 2;
    indices[2] = 0x10003; // past the vertices: refused
    prim->material = &material;
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    EXPECT_FALSE(device->DrawPrim(prim));
    reinterpret_cast<std::uint32_t*>(prim->GetIndices(true, true))[2] = 3;
    EXPECT_TRUE(device->DrawPrim(prim));
    EXPECT_EQ(device->GetTriangleCount(), 1);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    const auto pixels = ReadBack();
    EXPECT_EQ(At(pixels, 2, 2), 0xFFFFFFu);
    EXPECT_EQ(At(pixels, 58, 58), 0u);
    prim->Destroy();
}

// Prims of two vertex sizes made one after another share buffer pages with their index arrays;
// each is drawn from its own vertices, in one frame and again after one of them is rewritten
// (which gives it a buffer of its own) and another is freed.
TEST_F(DrawTest, PrimsSharingBufferPagesDrawTheirOwnVertices)
{
    VertexLayout withSpecular;
    withSpecular.offsets[VertexLayout::TransformedPosition] = 0;
    withSpecular.offsets[VertexLayout::Diffuse] = 16;
    withSpecular.offsets[VertexLayout::Specular] = 20;
    withSpecular.vertexSize = 24;
    struct SpecularVertex {
        float x, y, z, rhw;
        std::uint32_t color, specular;
    };
    const std::uint32_t colors[6] = {0xFF0000u, 0x00FF00u, 0x0000FFu, 0xFFFF00u, 0x00FFFFu, 0xFF00FFu};
    const std::uint16_t indices[6] = {0, 1, 2, 0, 2, 3};
    // Quad i covers x = 10i .. 10i + 8, y = 0 .. 8.
    auto fill = [&](D3DPrim* prim, int i, std::uint32_t color) {
        const float x0 = float(10 * i), x1 = x0 + 8;
        const float xs[4] = {x0, x1, x1, x0}, ys[4] = {0, 0, 8, 8};
        if (i % 2 == 0) {
            auto* v = static_cast<ScreenVertex*>(prim->GetVertices(true, true));
            for (int c = 0; c < 4; ++c)
                v[c] = ScreenVertex{xs[c], ys[c], 0.5f, 1, 0xFF000000u | color, 0, 0};
        } else {
            auto* v = static_cast<SpecularVertex*>(prim->GetVertices(true, true));
            for (int c = 0; c < 4; ++c)
                v[c] = SpecularVertex{xs[c], ys[c], 0.5f, 1, 0xFF000000u | color, 0};
        }
    };
    std::vector<D3DPrim*> prims;
    for (int i = 0; i < 6; ++i) {
        D3DPrim* prim = nullptr;
        device->CreatePrim(&prim);
        ASSERT_EQ(prim->Create(PrimTriangleList, 4, 6, i % 2 == 0 ? &screenLayout : &withSpecular, 0), 0);
        fill(prim, i, colors[i]);
        std::memcpy(prim->GetIndices(true, true), indices, sizeof(indices));
        prim->material = &material;
        prims.push_back(prim);
    }
    auto drawAll = [&] {
        ASSERT_EQ(device->BeginFrame(true, true), 0);
        for (D3DPrim* prim : prims) {
            if (prim) {
                EXPECT_TRUE(device->DrawPrim(prim));
            }
        }
        EXPECT_EQ(device->EndFrame(true, true), 0);
    };
    drawAll();
    auto pixels = ReadBack();
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(Near(At(pixels, 10 * i + 4, 4), colors[i])) << "quad " << i;

    fill(prims[3], 3, 0xFFFFFFu);
    prims[4]->Destroy();
    prims[4] = nullptr;
    drawAll();
    pixels = ReadBack();
    EXPECT_TRUE(Near(At(pixels, 34, 4), 0xFFFFFFu));
    EXPECT_TRUE(Near(At(pixels, 44, 4), 0x000000u));
    for (int i : {0, 1, 2, 5})
        EXPECT_TRUE(Near(At(pixels, 10 * i + 4, 4), colors[i])) << "quad " << i;
    for (D3DPrim* prim : prims)
        if (prim)
            prim->Destroy();
}

TEST_F(DrawTest, ASceneAboveTheEyeIsDrawnInTheUpperRowsOfTheBackBufferAndItsScreenshot)
{
    // Row 0 of a locked back buffer is the top of the picture, for transformed draws as for
    // pre-transformed ones, and a saved screenshot shows what the window shows.
    LookAlongZ();
    using Vertex = ColourVertex;
    const std::vector<Vertex> above{{-4, 1, 5, 0xFFFF0000u}, {0, 4, 5, 0xFFFF0000u}, {4, 1, 5, 0xFFFF0000u}};
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    device->DrawUserPrimitives(PrimTriangleList, above.data(), 3, &colourLayout, nullptr, 0, &material);
    EXPECT_EQ(device->EndFrame(true, true), 0);
    const auto pixels = ReadBack();
    EXPECT_EQ(At(pixels, 32, 20), 0xFF0000u) << "above the centre";
    EXPECT_EQ(At(pixels, 32, 44), 0u) << "below the centre";

    const std::vector<std::uint8_t> file = SaveScreenshot("upper.tga");
    ASSERT_EQ(file.size(), 18 + std::size_t(kSize) * kSize * 3);
    EXPECT_EQ(ScreenshotRed(file, 32, 20), 0xFF);
    EXPECT_EQ(ScreenshotRed(file, 32, 44), 0);
}

TEST_F(DrawTest, AfterAResetToTheProgramsModesTheSceneAboveTheEyeStaysInTheUpperRows)
{
    // The program's full-screen modes: a reset to 32 or 16 bits, a wider than tall buffer; its
    // screenshot converts the back buffer before saving.
    struct Mode {
        int bits, bytesPerPixel;
        std::uint32_t red;
    };
    for (const Mode mode : {Mode{32, 4, 0xFF0000u}, Mode{16, 2, 0xF800u}}) {
        SCOPED_TRACE(mode.bits);
        ASSERT_EQ(device->ChangeResolution(640, 480, mode.bits, -1), 1) << device->GetLastError();
        D3DBitmap* back = device->GetBackBuffer();
        ASSERT_EQ(back->GetBitsPerPixel(), mode.bits);
        LookAlongZ();
        const std::vector<ColourVertex> above{{-4, 1, 5, 0xFFFF0000u}, {0, 4, 5, 0xFFFF0000u}, {4, 1, 5, 0xFFFF0000u}};
        ASSERT_EQ(device->BeginFrame(true, true), 0);
        device->DrawUserPrimitives(PrimTriangleList, above.data(), 3, &colourLayout, nullptr, 0, &material);
        EXPECT_EQ(device->EndFrame(true, true), 0);

        const auto* bits = static_cast<const std::uint8_t*>(back->Lock(false));
        ASSERT_NE(bits, nullptr);
        auto pixel = [&](int x, int y) {
            std::uint32_t p = 0;
            std::memcpy(&p, bits + std::size_t(y) * back->GetPitch() + std::size_t(x) * mode.bytesPerPixel,
                        std::size_t(mode.bytesPerPixel));
            return p & (mode.bits == 32 ? 0xFFFFFFu : 0xFFFFu);
        };
        EXPECT_EQ(pixel(320, 120), mode.red) << "above the centre";
        EXPECT_EQ(pixel(320, 360), 0u) << "below the centre";
        back->Unlock();

        const std::vector<std::uint8_t> file = SaveScreenshot("reset.tga");
        ASSERT_EQ(file.size(), 18u + 640u * 480u * 3u);
        EXPECT_EQ(ScreenshotRed(file, 320, 120), 0xFF);
        EXPECT_EQ(ScreenshotRed(file, 320, 360), 0);
    }
}
