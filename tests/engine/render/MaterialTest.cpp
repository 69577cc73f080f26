#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "tests/renderer/RendererFixture.h"

TEST(MaterialRecord, DefaultsAndBlendModes)
{
    Material material;
    EXPECT_STREQ(material.name, "Material");
    EXPECT_EQ(material.srcBlend, BlendOne);
    EXPECT_EQ(material.destBlend, BlendZero);
    EXPECT_EQ(material.lightingMode, 2);
    EXPECT_EQ(material.texCoordIndex[3], 3);
    EXPECT_EQ(material.colorOp[2], TexOpModulate);
    struct Case {
        int code, src, dest;
    };
    const Case cases[] = {{4, BlendZero, BlendSrcColor}, {5, BlendZero, BlendSrcColor}, {6, BlendZero, BlendSrcColor},
                          {7, BlendOne, BlendOne},       {13, BlendSrcAlpha, BlendInvSrcAlpha}};
    for (const Case& c : cases) {
        Material m;
        m.SetBlendMode(c.code);
        EXPECT_EQ(m.srcBlend, c.src) << c.code;
        EXPECT_EQ(m.destBlend, c.dest) << c.code;
    }
    Material unchanged;
    unchanged.SetBlendMode(8);
    EXPECT_EQ(unchanged.srcBlend, BlendOne);
}

TEST(MaterialRecord, LayoutsPlaceTheirElements)
{
    const VertexLayout fresh;
    for (int i = 0; i < VertexLayout::ElementCount; ++i)
        EXPECT_EQ(fresh.offsets[i], -1);
    EXPECT_EQ(fresh.texCoordSizes[7], 8);
    EXPECT_EQ(fresh.vertexSize, 0);
    VertexLayout lit;
    lit.InitLitTextured();
    EXPECT_EQ(lit.offsets[VertexLayout::Normal], 12);
    EXPECT_EQ(lit.offsets[VertexLayout::TexCoord0 + 1], 36);
    EXPECT_EQ(lit.vertexSize, 44);
    VertexLayout screen;
    screen.InitScreenTextured();
    EXPECT_EQ(screen.offsets[VertexLayout::TransformedPosition], 0);
    EXPECT_EQ(screen.offsets[VertexLayout::Position], -1);
    EXPECT_EQ(screen.vertexSize, 28);
    VertexLayout decal;
    decal.InitColoredTextured2();
    EXPECT_EQ(decal.offsets[VertexLayout::Diffuse], 12);
    EXPECT_EQ(decal.vertexSize, 32);
    EXPECT_EQ(decal.TexCoordSetCount(), 2);
}

TEST_F(RendererTest, MaterialCopyClonesTextures)
{
    OpenWindowed();
    Material source;
    std::snprintf(source.name, sizeof(source.name), "metal");
    source.texture[0] = device->CreateBitmap(nullptr);
    ASSERT_EQ(source.texture[0]->Create("metal.tga", 4, 4, FormatR5G6B5, 0), 1);
    source.color = 0xFF102030u;
    source.specularPower = 12.0f;
    source.changed = 1;
    Material copy;
    copy.Copy(source);
    EXPECT_STREQ(copy.name, "metal");
    ASSERT_NE(copy.texture[0], nullptr);
    EXPECT_NE(copy.texture[0], source.texture[0]);
    EXPECT_STREQ(copy.texture[0]->GetName(), "metal.tga");
    EXPECT_EQ(copy.texture[1], nullptr);
    EXPECT_EQ(copy.color, 0xFF102030u);
    EXPECT_EQ(copy.specularPower, 12.0f);
    EXPECT_EQ(copy.changed, 1);
    source.texture[0]->Destroy();
    EXPECT_EQ(copy.texture[0]->GetWidth(), 4);
    copy.texture[0]->Destroy();
    device->SetMaterial(&copy);
    EXPECT_EQ(copy.changed, 0);
    EXPECT_EQ(device->GetMaterial(), &copy);
    device->SetMaterial(nullptr);
    EXPECT_EQ(device->GetMaterial(), nullptr);
}
