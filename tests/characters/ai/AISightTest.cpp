// The sight and hearing test: the view cone's edge, fog, grass, the sight line's solid and
// see-through triangles (alpha read from 32-bit, 16-bit, DXT3 and DXT5 textures), smoke, and
// hearing beyond 150 units.
#include <array>
#include <cmath>
#include <cstring>
#include <optional>

#include "engine/core/RenderTypes.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "tests/characters/LevelFake.h"
#include "tests/characters/ai/AIFixture.h"
#include "tests/media/FakeBitmap.h"

namespace {

// One triangle whose vertices carry texture coordinates, with a material and its texture.
class FakePrim : public D3DPrim {
public:
    explicit FakePrim(const std::array<std::array<float, 2>, 3>& uv)
    {
        layout.InitLitTextured();
        vertices.assign(std::size_t(3 * layout.vertexSize), 0);
        for (int i = 0; i < 3; ++i)
            std::memcpy(vertices.data() + i * layout.vertexSize + layout.offsets[VertexLayout::TexCoord0], uv[std::size_t(i)].data(), 8);
        material = &surface;
    }
    int Create(int, int, int, const VertexLayout*, std::uint32_t) override { return 0; }
    void Destroy() override {}
    void Release() override {}
    void* GetVertices(bool, bool) override { return vertices.data(); }
    void Nop4() override {}
    std::uint16_t* GetIndices(bool, bool) override { return nullptr; }
    void Nop6() override {}
    void ShareVertices(D3DPrim*) override {}
    void ShareIndices(D3DPrim*) override {}
    void SetIndexRange(int, int) override {}
    void SetVertexRange(int, int) override {}
    int GetVertexCount(bool) override { return 3; }
    int GetIndexCount(bool) override { return 0; }
    int GetFirstIndex() override { return 0; }
    int GetFirstVertex() override { return 0; }
    void GetVertexFormat(VertexLayout* out) override { *out = layout; }
    std::uint32_t GetFlags() override { return 0; }
    Device* GetDevice() override { return nullptr; }
    const char* GetLastError() override { return ""; }
    void SetError(const char*, ...) override {}

    Material surface;
    VertexLayout layout;
    std::vector<std::uint8_t> vertices;
};

// An 8 x 8 texture of one alpha everywhere in the format.
void FillAlpha(FakeBitmap& bitmap, int alpha)
{
    std::uint8_t* p = static_cast<std::uint8_t*>(bitmap.Lock(true));
    switch (bitmap.GetFormat()) {
    case FormatA8R8G8B8:
        for (int i = 0; i < 64; ++i)
            std::memcpy(p + i * 4, std::array<std::uint8_t, 4>{0, 0, 0, std::uint8_t(alpha)}.data(), 4);
        break;
    case FormatA4R4G4B4:
        for (int i = 0; i < 64; ++i)
            p[i * 2] = 0, p[i * 2 + 1] = std::uint8_t((alpha / 16) << 4);
        break;
    case FormatA1R5G5B5:
        for (int i = 0; i < 64; ++i)
            p[i * 2] = 0, p[i * 2 + 1] = alpha ? 0x80 : 0;
        break;
    case FormatDXT3: // four blocks: explicit 4-bit alpha, then colour
        for (int b = 0; b < 4; ++b)
            for (int i = 0; i < 16; ++i)
                p[b * 16 + i] = i < 8 ? std::uint8_t((alpha / 17) * 0x11) : 0;
        break;
    case FormatDXT5: // four blocks: alpha0, alpha1, 16 three-bit codes (all 0 = alpha0), colour
        for (int b = 0; b < 4; ++b)
            for (int i = 0; i < 16; ++i)
                p[b * 16 + i] = i == 0 ? std::uint8_t(alpha) : 0;
        break;
    default:
        break;
    }
    bitmap.Unlock();
}

// The level the observer looks through: its leaves are what a sight line meets, and the tile
// property, when set, lies under every point.
class SightLevel : public LevelFake {
public:
    bool PickLine(HitResult& ray, float, PickFilterCallback filter, Character*, Character*) override
    {
        bool solid = false;
        for (FakePrim* leaf : leaves) {
            HitResult hit = ray;
            hit.hitPoint = ray.origin + ray.direction * 0.5f;
            hit.u = hitU;
            hit.v = 0.0f;
            int i0 = 0, i1 = 1, i2 = 2;
            if (filter(leaf, hit, &i0, &i1, &i2)) {
                solid = true;
                ray.distance = ray.direction.Length() * 0.5f;
            }
        }
        return solid;
    }
    bool TilePropertyValue(const Vector3&, float* value) override
    {
        if (tileProperty)
            *value = *tileProperty;
        return tileProperty.has_value();
    }

    std::vector<FakePrim*> leaves;
    float hitU = 0.0f;
    std::optional<float> tileProperty;
};

class AISightTest : public AIFixture {
protected:
    void SetUp() override
    {
        AIFixture::SetUp();
        // Eye at the origin looking along +z, a cone of 60 degrees either side.
        observer.sensor.orientation.SetIdentity();
        observer.sensor.sightRange = 400.0f;
        observer.sensor.sightWeight = 100.0f;
        observer.sensor.viewConeCos = 0.5f;
        observer.sensor.hearingRange = 400.0f;
        observer.sensor.soundFullDistance = 400.0f;
        observer.sensor.soundWeight = 1.0f;
    }

    // The sight stimulus of a source in the open at the point, through the level.
    float SightOf(const Vector3& at, float visibility = 1.0f, Character* source = nullptr)
    {
        StimulusSource record;
        record.position = at;
        record.visibility = visibility;
        SenseResult result;
        observer.Sense(source, record, at.LengthSquared(), 0.0f, result);
        return result.sight;
    }

    // What the sensor alone gives a visible source at the point with a sight factor.
    float Expected(const Vector3& at, float factor)
    {
        AISensor copy = observer.sensor;
        ChannelMultipliers m;
        m.sightFactor = factor;
        StimulusSource record;
        record.position = at;
        record.visibility = 1.0f;
        SenseResult result;
        copy.Sense(record, &m, result, 0.0f, 0.0f);
        return result.sight;
    }

    AI observer;
    SightLevel level;
    std::vector<FakePrim*>& leaves = level.leaves;
    float& hitU = level.hitU;
};

} // namespace

TEST_F(AISightTest, TheConesEdgeIsOutsideAndFogFadesFromItsStartToTheFarDistance)
{
    const float edge = std::sqrt(3.0f); // cos 60 degrees exactly: not greater than the cone's cosine
    EXPECT_EQ(SightOf(Vector3(edge * 10.0f, 0, 10.0f)), 0.0f);
    EXPECT_GT(SightOf(Vector3(edge * 10.0f - 0.1f, 0, 10.0f)), 0.0f);

    level.far = 200.0f;
    level.fogStart = 0.5f;
    EXPECT_FLOAT_EQ(SightOf(Vector3(0, 0, 100)), Expected(Vector3(0, 0, 100), 1.0f)) << "at the fog start";
    EXPECT_FLOAT_EQ(SightOf(Vector3(0, 0, 150)), Expected(Vector3(0, 0, 150), 0.5f));
    EXPECT_EQ(SightOf(Vector3(0, 0, 191)), 0.0f) << "a fog factor of 0.1 or less is nothing";
    EXPECT_EQ(SightOf(Vector3(0, 0, 200)), 0.0f);

    // A fog start at the far distance divides by nothing: the limit, full sight short of it.
    level.fogStart = 1.0f;
    EXPECT_FLOAT_EQ(SightOf(Vector3(0, 0, 190)), Expected(Vector3(0, 0, 190), 1.0f));
}

TEST_F(AISightTest, SeeThroughLeavesAddTheirAlphaAndSolidTrianglesBlock)
{
    FakeBitmap texture(8, 8, FormatA8R8G8B8);
    FillAlpha(texture, 128);
    FakePrim leaf({{{0.5f, 0.5f}, {1, 0.5f}, {0.5f, 1}}}); // hit at its first vertex: the middle texel
    leaf.surface.srcBlend = BlendSrcAlpha;
    leaf.surface.destBlend = BlendInvSrcAlpha;
    leaf.surface.texture[0] = &texture;
    const Vector3 at(0, 0, 50);

    // A ring without a push ignores foliage; after one clear sighting a leaf fills it at once.
    leaves = {&leaf};
    EXPECT_FLOAT_EQ(SightOf(at), Expected(at, 1.0f));
    leaves.clear();
    SightOf(at);
    leaves = {&leaf};
    EXPECT_FLOAT_EQ(SightOf(at), Expected(at, 0.5f));
    EXPECT_FLOAT_EQ(observer.sightSamples.Mean(), 0.5f);
    EXPECT_EQ(texture.locks, texture.unlocks);

    // Three leaves are capped at full opacity: nothing is seen.
    leaves = {&leaf, &leaf, &leaf};
    EXPECT_EQ(SightOf(at), 0.0f);
    // It falls back by single pushes: five clear sightings bring it to 0.
    leaves.clear();
    for (int i = 0; i < 5; ++i)
        SightOf(at);
    EXPECT_EQ(observer.sightSamples.Mean(), 0.0f);

    FakePrim wall({{{0, 0}, {1, 0}, {0, 1}}});
    wall.surface.texture[0] = &texture; // opaque blending: solid whatever the texture
    leaves = {&wall};
    EXPECT_EQ(SightOf(at), 0.0f);
}

TEST_F(AISightTest, AlphaIsReadFromEveryFormatAndTextureCoordinatesWrap)
{
    struct Case {
        int format;
        int alpha;
        float opacity;
    };
    const Case cases[] = {
        {FormatA8R8G8B8, 255, 255.0f / 256.0f}, {FormatA4R4G4B4, 128, 128.0f / 256.0f},
        {FormatA1R5G5B5, 1, 128.0f / 256.0f},   {FormatDXT3, 136, 136.0f / 256.0f},
        {FormatDXT5, 200, 200.0f / 256.0f},     {FormatR5G6B5, 255, 0.0f},
    };
    const Vector3 at(0, 0, 50);
    for (const Case& c : cases) {
        FakeBitmap texture(8, 8, c.format);
        FillAlpha(texture, c.alpha);
        // Only the middle texel's window (columns 2 to 6 around column 4) reads inside the texture.
        FakePrim leaf({{{0.5f, 0.5f}, {1.5f, 0.5f}, {0.5f, 1.5f}}});
        leaf.surface.srcBlend = BlendSrcAlpha;
        leaf.surface.texture[0] = &texture;
        observer.sightSamples.Clear();
        observer.sightSamples.Push(0.0f);
        leaves = {&leaf};
        hitU = 0.75f; // u = 1.25 wraps to 0.25: column 2, its window 0 to 4 inside the texture
        EXPECT_NO_THROW(SightOf(at)) << c.format;
        EXPECT_NEAR(observer.sightSamples.Mean(), c.opacity, 0.02f) << "format " << c.format;
    }
}

TEST_F(AISightTest, SmokeBetweenHidesAndSmokeBeyondDoesNot)
{
    std::vector<Vector3>& clouds = level.smoke;
    clouds = {Vector3(0, 0, 300)};
    const Vector3 at(0, 0, 100);
    EXPECT_FLOAT_EQ(SightOf(at), Expected(at, 1.0f)) << "a cloud beyond the source";
    clouds = {Vector3(5, 0, 50)};
    EXPECT_FLOAT_EQ(SightOf(at), Expected(at, 0.01f));
}

TEST_F(AISightTest, AProneSoldierInGrassHidesBeyondHisInfiltrationReach)
{
    level.tileProperty = 1.0f;
    AI source; // skill 0.5: (1 - 0.5) x 100 + 15 = 65 units
    source.SetPostureValue(Character::Prone);
    EXPECT_GT(SightOf(Vector3(0, 0, 64), 1.0f, &source), 0.0f);
    EXPECT_EQ(SightOf(Vector3(0, 0, 66), 1.0f, &source), 0.0f);
    source.SetPostureValue(Character::Standing);
    EXPECT_GT(SightOf(Vector3(0, 0, 66), 1.0f, &source), 0.0f);
}

TEST_F(AISightTest, BeyondOneHundredFiftyUnitsOnlyTheHeldItemsNoiseIsHeard)
{
    AI source;
    StimulusSource record;
    record.position = Vector3(0, 0, 200);
    record.noise = 50.0f;
    SenseResult result;
    observer.Sense(&source, record, 40000.0f, 0.0f, result);
    EXPECT_EQ(result.sound, 0.0f);

    CarriedItem rifle;
    rifle.noiseLevel = 25;
    ASSERT_TRUE(source.PickUpItem(&rifle, true));
    source.SelectItem(&rifle);
    observer.Sense(&source, record, 40000.0f, 0.0f, result);
    EXPECT_FLOAT_EQ(result.sound, 25.0f);
    level.precipitation = 1;
    observer.Sense(&source, record, 40000.0f, 0.0f, result);
    EXPECT_FLOAT_EQ(result.sound, 20.0f);
    source.DropItem(&rifle, source.position);
}

TEST_F(AISightTest, ACrouchingSoldierSeenThroughFoliageLosesHisPostureAndInfiltrationShare)
{
    FakeBitmap texture(8, 8, FormatA8R8G8B8);
    FillAlpha(texture, 26); // about a tenth
    FakePrim leaf({{{0.5f, 0.5f}, {1, 0.5f}, {0.5f, 1}}});
    leaf.surface.srcBlend = BlendSrcAlpha;
    leaf.surface.texture[0] = &texture;
    AI source; // Infiltration 0.5
    source.SetPostureValue(Character::Crouching);
    const Vector3 at(0, 0, 50);
    SightOf(at, 1.0f, &source); // a first, clear push
    leaves = {&leaf};
    SightOf(at, 1.0f, &source);
    const float mean = observer.sightSamples.Mean();
    ASSERT_GT(mean, 0.0f);
    const float expected = std::max((1.0f - mean) - 0.3f - 0.5f * 0.4f, 0.0f);
    EXPECT_NEAR(SightOf(at, 1.0f, &source), Expected(at, expected), 1e-3f);
    // Without foliage in the ring the posture costs nothing.
    leaves.clear();
    for (int i = 0; i < 5; ++i)
        SightOf(at, 1.0f, &source);
    EXPECT_FLOAT_EQ(SightOf(at, 1.0f, &source), Expected(at, 1.0f));
}
