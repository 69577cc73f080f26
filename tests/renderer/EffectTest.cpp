#include <cmath>
#include <cstring>

#include "engine/binding/MaterialEffects.h"
#include "engine/core/q3DError.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "tests/engine/mesh/RecordingDevice.h"
#include "tests/renderer/RendererFixture.h"

namespace {

int made = 0;
int freed = 0;

// A factory of the test's own, counting what it makes and frees.
class CountingEffect final : public Effect {
public:
    int Init(Device*, D3DBitmap*, const char*, int) override { return 1; }
    void Release(Device*, int) override {}
    void Apply(Device*, D3DPrim*) override {}
    void Restore(Device*, D3DPrim*) override {}
};

Effect* CountingFactory(const char* name, float* parameters, Effect** toFree)
{
    if (toFree) {
        delete static_cast<CountingEffect*>(*toFree);
        *toFree = nullptr;
        ++freed;
        return nullptr;
    }
    auto* effect = new CountingEffect();
    std::memcpy(effect->name, name, strnlen(name, 32));
    effect->parameters = parameters;
    ++made;
    return effect;
}

Effect* OtherFactory(const char* name, float* parameters, Effect** toFree)
{
    return CountingFactory(name, parameters, toFree);
}

class EffectTest : public RendererTest {
protected:
    void SetUp() override
    {
        RendererTest::SetUp();
        made = freed = 0;
    }
};

} // namespace

TEST_F(EffectTest, RegistryFindsTheNewestExactNameAndFreesThroughIt)
{
    device->RegisterEffect(&CountingFactory, "glow");
    Effect* effect = nullptr;
    EXPECT_EQ(device->CreateEffect("glow 1 2 3", &effect), effect);
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(made, 1);
    EXPECT_EQ(device->CreateEffect("Glow 1", nullptr), nullptr); // exact comparison
    device->SetEffectParam("GLOW", 3, 2.5f);                     // case ignored here
    device->SetEffectParam("glow", 256, 9.0f);                   // out of range: nothing
    device->SetEffectParam("glow", -1, 9.0f);
    EXPECT_EQ(effect->parameters[3], 2.5f);
    EXPECT_EQ(effect->parameters[255], 0.0f);
    device->FreeEffect(&effect);
    EXPECT_EQ(effect, nullptr);
    EXPECT_EQ(freed, 1);

    device->RegisterEffect(&OtherFactory, "glow");
    device->UnregisterEffect("GLOW"); // removes the newer one
    device->CreateEffect("glow", &effect);
    ASSERT_NE(effect, nullptr);
    device->FreeEffect(&effect);
    device->UnregisterEffect("glow");
    EXPECT_EQ(device->CreateEffect("glow", nullptr), nullptr);
}

TEST_F(EffectTest, NamesAreBoundedTo32Characters)
{
    const std::string longName(40, 'e');
    device->RegisterEffect(&CountingFactory, longName.c_str());
    EXPECT_EQ(device->CreateEffect(longName.c_str(), nullptr), nullptr);
    const std::string cut(32, 'e');
    Effect* effect = device->CreateEffect(cut.c_str(), nullptr);
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(std::string(effect->name, 32), cut);
    device->FreeEffect(&effect);
    device->UnregisterEffect(cut.c_str());
}

TEST_F(EffectTest, DeviceEffectsAttachAndRemoveByLine)
{
    device->RegisterEffect(&CountingFactory, "tint");
    device->AttachEffect("tint 0.5");
    device->AttachEffect("unknown 1");
    EXPECT_EQ(made, 1);
    device->RemoveEffect("tint");
    EXPECT_EQ(freed, 1);
    device->AttachEffect("tint 1");
    UnloadRendererLibrary(&device); // the shut-down frees what is still attached
    EXPECT_EQ(freed, 2);
}

TEST_F(EffectTest, ProgramEffectsAreRegisteredAndBehave)
{
    OpenWindowed();
    VertexLayout layout;
    layout.InitLitTextured();
    D3DPrim* prim = nullptr;
    device->CreatePrim(&prim);
    ASSERT_EQ(prim->Create(PrimTriangleList, 3, 0, &layout, 0), 0);
    Material material;
    prim->material = &material;

    Effect* specular = device->CreateEffect("specular", nullptr);
    ASSERT_NE(specular, nullptr);
    specular->Init(device, nullptr, "specular", 0);
    specular->Apply(device, prim);
    EXPECT_EQ(material.specularPower, 35.0f);
    EXPECT_EQ(material.specularColor, 0xFFFFFFFFu);
    EXPECT_EQ(material.changed, 1);
    device->FreeEffect(&specular);

    Effect* fullbright = device->CreateEffect("fullbright", nullptr);
    ASSERT_NE(fullbright, nullptr);
    fullbright->Init(device, nullptr, "fullbright", 0);
    fullbright->Apply(device, prim);
    EXPECT_EQ(material.lightingMode, 0);
    std::uint32_t diffuse = 0;
    std::memcpy(&diffuse, static_cast<std::uint8_t*>(prim->GetVertices(false, true)) + 44 + 24, 4);
    EXPECT_EQ(diffuse, 0xFFFFFFFFu);
    device->FreeEffect(&fullbright);

    Effect* alpharef = device->CreateEffect("alpharef 128", nullptr);
    ASSERT_NE(alpharef, nullptr);
    alpharef->Init(device, nullptr, "alpharef 128", 0);
    device->SetAlphaRef(7);
    alpharef->Apply(device, prim);
    EXPECT_EQ(device->GetAlphaRef(), 128);
    EXPECT_EQ(material.cullFlags & Material::kAlphaTested, Material::kAlphaTested);
    alpharef->Restore(device, prim);
    EXPECT_EQ(device->GetAlphaRef(), 7);
    device->FreeEffect(&alpharef);

    // uvscroll: shifts every uv set by the offset and Restore takes it back.
    auto* uv = static_cast<float*>(prim->GetVertices(true, true));
    uv[7] = 0.25f;
    auto* scroll = static_cast<UVScrollEffect*>(device->CreateEffect("uvscroll 0.5 0", nullptr));
    ASSERT_NE(scroll, nullptr);
    scroll->Init(device, nullptr, "uvscroll 0.5 0", 0);
    EXPECT_EQ(scroll->speedU, 0.5f);
    scroll->offsetU = 0.5f;
    scroll->lastFrame = device->GetFrameCount();
    scroll->Apply(device, prim);
    EXPECT_EQ(uv[7], 0.75f);
    EXPECT_EQ(uv[9], 0.5f); // second set shifted too
    scroll->Restore(device, prim);
    EXPECT_EQ(uv[7], 0.25f);
    Effect* asEffect = scroll;
    device->FreeEffect(&asEffect);
    prim->Destroy();
}

TEST_F(EffectTest, TexAnimWithoutRateOrFramesStaysStillAndIsLogged)
{
    OpenWindowed();
    for (const char* line : {"texanim 0 4 a.tga b.tga", "texanim 10 0", "texanim"}) {
        auto* anim = static_cast<TexAnimEffect*>(device->CreateEffect(line, nullptr));
        ASSERT_NE(anim, nullptr);
        anim->Init(device, nullptr, line, 0);
        EXPECT_FALSE(anim->IsAnimated()) << line;
        D3DPrim* prim = nullptr;
        device->CreatePrim(&prim);
        Material material;
        prim->material = &material;
        anim->Apply(device, prim); // no division, no change
        EXPECT_EQ(material.texture[0], nullptr);
        anim->Release(device, 0);
        Effect* asEffect = anim;
        device->FreeEffect(&asEffect);
        prim->Destroy();
    }
    const auto lines = ReadLines("q3D.log");
    int still = 0;
    for (const std::string& line : lines)
        still += line.find("the texture stays still") != std::string::npos;
    EXPECT_EQ(still, 3);
}

TEST_F(EffectTest, TexAnimStepsFramesByElapsedTime)
{
    OpenWindowed();
    for (const char* name : {"f0.tga", "f1.tga", "f2.tga", "f3.tga"})
        WriteFile(name, TgaFile(2, 2, 24, std::vector<std::uint8_t>(12, 0x20)));
    D3DBitmap* owner = device->CreateBitmap(nullptr);
    ASSERT_EQ(owner->Create("owner.tga", 2, 2, FormatR5G6B5, 0), 1);
    const char* line = "texanim 10 4 f0.tga f1.tga f2.tga f3.tga";
    auto* anim = static_cast<TexAnimEffect*>(device->CreateEffect(line, nullptr));
    ASSERT_NE(anim, nullptr);
    anim->Init(device, owner, line, 0);
    ASSERT_TRUE(anim->IsAnimated());
    EXPECT_EQ(anim->timeLeft, 100);
    D3DPrim* prim = nullptr;
    device->CreatePrim(&prim);
    Material material;
    material.texture[0] = owner;
    prim->material = &material;
    // 350 units pass while 100 were left: -250 steps the frame by 2.
    anim->lastTime = device->GetTime() - 350;
    anim->Apply(device, prim);
    EXPECT_EQ(material.texture[0], anim->frames[0]); // the frame chosen before the advance
    EXPECT_EQ(anim->currentFrame, 2);
    EXPECT_EQ(anim->timeLeft, 100);
    anim->Restore(device, prim);
    EXPECT_EQ(material.texture[0], owner);
    anim->Release(device, 0);
    Effect* asEffect = anim;
    device->FreeEffect(&asEffect);
    prim->Destroy();

    D3DBitmap* compressed = device->CreateBitmap(nullptr);
    ASSERT_EQ(compressed->Create("packed.tga", 4, 4, FormatDXT1, 0), 1);
    Effect* refused = device->CreateEffect(line, nullptr);
    EXPECT_THROW(refused->Init(device, compressed, line, 0), q3DError);
    device->FreeEffect(&refused);
    compressed->Destroy();
    owner->Destroy();
}

TEST_F(EffectTest, ScrollOffsetsWrapAndSwirlAlternatesBySign)
{
    OpenWindowed();
    VertexLayout layout;
    layout.InitLitTextured();
    D3DPrim* prim = nullptr;
    device->CreatePrim(&prim);
    ASSERT_EQ(prim->Create(PrimTriangleList, 2, 0, &layout, 0), 0);
    auto* scroll = static_cast<UVScrollEffect*>(device->CreateEffect("uvscroll", nullptr));
    scroll->Init(device, nullptr, "uvscroll 0.5 -0.25", 0);
    // Frames of the test's own clock.
    RecordingDevice clock(device);
    clock.frameCount = 1;
    clock.frameTime = 2500;
    // One frame of 2500 time units: 1.25 wraps to 0.25; -0.625 wraps to 0.375.
    auto* uv = static_cast<float*>(prim->GetVertices(true, true));
    scroll->Apply(&clock, prim);
    EXPECT_NEAR(scroll->offsetU, 0.25f, 1e-6f);
    EXPECT_NEAR(scroll->offsetV, 0.375f, 1e-6f);
    EXPECT_NEAR(uv[7], 0.25f, 1e-6f);
    EXPECT_NEAR(uv[11 + 8], 0.375f, 1e-6f);
    scroll->Restore(&clock, prim);
    EXPECT_NEAR(uv[7], 0.0f, 1e-6f);
    // The update runs once per frame however many prims use the texture.
    scroll->Apply(&clock, prim);
    scroll->Restore(&clock, prim);
    EXPECT_NEAR(scroll->offsetU, 0.25f, 1e-6f);
    // An offset of exactly 1 stays 1 through the next frame's update.
    scroll->offsetU = 1.0f;
    scroll->speedU = 0.0f;
    clock.frameCount = 2;
    scroll->Apply(&clock, prim);
    scroll->Restore(&clock, prim);
    EXPECT_EQ(scroll->offsetU, 1.0f);
    Effect* asEffect = scroll;
    device->FreeEffect(&asEffect);

    auto* swirl = static_cast<UVSwirlEffect*>(device->CreateEffect("uvswirl", nullptr));
    swirl->Init(device, nullptr, "uvswirl", 0);
    EXPECT_EQ(swirl->radius, 1.0f);
    EXPECT_EQ(swirl->angularSpeed, 1.0f);
    // One frame of 1000 units turns the swirl by 1 radian.
    clock.frameCount = 3;
    clock.frameTime = 1000;
    swirl->Apply(&clock, prim);
    const float offsetU = std::cos(1.0f) - std::sin(1.0f), offsetV = std::cos(1.0f) + std::sin(1.0f);
    EXPECT_NEAR(swirl->offsetU, offsetU, 1e-6f);
    EXPECT_NEAR(swirl->offsetV, offsetV, 1e-6f);
    EXPECT_NEAR(uv[7], offsetU, 1e-6f);        // vertex 0: + offset
    EXPECT_NEAR(uv[11 + 7], -offsetU, 1e-6f);  // vertex 1: - offset
    EXPECT_NEAR(uv[11 + 8], -offsetV, 1e-6f);
    swirl->Restore(&clock, prim);
    EXPECT_NEAR(uv[11 + 7], 0.0f, 1e-6f);
    asEffect = swirl;
    device->FreeEffect(&asEffect);
    prim->Destroy();
}

TEST_F(EffectTest, NoMipmapRebuildsTheTextureWithOneLevel)
{
    OpenWindowed();
    D3DBitmap* texture = device->CreateBitmap(nullptr);
    ASSERT_EQ(texture->Create("mipped.tga", 8, 8, FormatR5G6B5, 0), 1);
    EXPECT_EQ(texture->GetLevelCount(), 4);
    D3DPrim* prim = nullptr;
    device->CreatePrim(&prim);
    Material material;
    material.texture[0] = texture;
    prim->material = &material;
    Effect* effect = device->CreateEffect("nomipmap", nullptr);
    ASSERT_NE(effect, nullptr);
    effect->Init(device, texture, "nomipmap", 0);
    effect->Apply(device, prim);
    EXPECT_EQ(texture->GetLevelCount(), 1);
    EXPECT_EQ(texture->GetFormat(), FormatR5G6B5);
    EXPECT_NE(texture->GetFlags() & BitmapOneLevel, 0u);
    device->FreeEffect(&effect);
    D3DBitmap* clone = texture->Clone();
    EXPECT_EQ(clone->GetLevelCount(), 1);
    clone->Destroy();
    texture->Destroy();
    prim->Destroy();
}
