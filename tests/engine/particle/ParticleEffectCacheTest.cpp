#include <filesystem>
#include <string>
#include <vector>

#include "engine/mesh/qMesh.h"
#include "engine/particle/ParticleEffectCache.h"
#include "tests/engine/particle/ParticleFixture.h"
#include "tests/renderer/RendererFixture.h"
#include "tests/support/ErrorText.h"
#include "tools/demodata/writers/ParticleWriter.h"
#include "tools/demodata/writers/Q3dWriter.h"
#include "tools/demodata/writers/TgaWriter.h"

namespace {

class ParticleEffectCacheTest : public RendererTest {
protected:
    // An effect of three texture frames and a mesh, its settings away from the defaults.
    void WriteEffect()
    {
        OpenWindowed();
        std::filesystem::create_directories("fx");
        for (int i = 0; i < 3; ++i)
            WriteFile("fx/spark0" + std::to_string(i) + ".tga", WriteTga(TgaImage(4, 4, 0xFF102030u + std::uint32_t(i)), 32));
        Q3dObject chunk;
        chunk.name = "chunk";
        chunk.materials.push_back(Q3dMaterial{});
        AddQ3dBox(chunk, 1.0f, 2.0f, 3.0f, 0);
        WriteFile("fx/chunk.q3d", WriteQ3dModel({chunk}));
        ParticleFileSettings s;
        s.texture = "spark00.tga";
        s.mesh = "chunk.q3d";
        s.emissionRate = 40, s.floorHeight = -2, s.gravityBase = 1.5f, s.gravityEnd = 0.5f, s.gravitySpread = 0.2f;
        s.sizeBase = 2, s.sizeEnd = 0.7f, s.sizeSpread = 0.3f, s.alphaBase = 0.9f, s.alphaEnd = 0.1f;
        s.startColor[0] = 0.3f, s.endColor[1] = 0.6f, s.colorSpread[2] = 0.2f;
        s.speedBase = 7, s.speedSpread = 2, s.lifetimeBase = 0.8f, s.lifetimeSpread = 0.4f, s.coneAngle = 30;
        s.attract = true, s.attractStrength = 3, s.slideSpeed = -1, s.restitution = 0.8f;
        s.maxParticles = 60, s.recycle = false, s.depthTest = false, s.alphaBlend = true, s.ambientLit = true;
        s.startDelay = 0.05f, s.meshGrowth = 1.5f, s.streakBase = 0.2f, s.streakEnd = 0.6f, s.streakDelay = 0.1f;
        s.sorted = true, s.inheritVelocity = true;
        WriteFile("fx/sparks.par", WriteParticleFile(s));
    }

    // The particles after a second of updates drawing the same numbers.
    static std::vector<float> Run(qParticle& system)
    {
        ScriptedRandom random;
        system.SetRandomSource(random.Source());
        for (int step = 0; step < 30; ++step)
            system.UpdateTransform(1.0f / 30.0f);
        std::vector<float> state;
        for (const ParticleInstance& p : system.GetPool())
            state.insert(state.end(), {p.position.x, p.position.y, p.position.z, p.color[0], p.color[1], p.color[2],
                                       p.alpha, p.size, p.gravity, p.streak, p.age});
        return state;
    }
};

} // namespace

TEST_F(ParticleEffectCacheTest, AnEffectFromTheCacheIsTheEffectAFreshLoadMakes)
{
    WriteEffect();
    qParticle fresh;
    fresh.Load(device, "fx/sparks.par");
    ParticleEffectCache cache;
    const std::unique_ptr<qParticle> first = cache.Create(device, "fx/sparks.par");
    const std::unique_ptr<qParticle> second = cache.Create(device, "fx/sparks.par");
    EXPECT_EQ(cache.Size(), 1u);

    for (const qParticle* cached : {first.get(), second.get()}) {
        EXPECT_EQ(cached->maxParticles, fresh.maxParticles);
        EXPECT_EQ(cached->depthTest, fresh.depthTest);
        EXPECT_EQ(cached->alphaBlend, fresh.alphaBlend);
        EXPECT_EQ(cached->ambientLit, fresh.ambientLit);
        EXPECT_EQ(cached->screenSpace, fresh.screenSpace);
        EXPECT_EQ(cached->sorted, fresh.sorted);
        EXPECT_EQ(cached->meshGrowth, fresh.meshGrowth);
        ASSERT_EQ(cached->GetTextureCount(), 3);
        ASSERT_NE(cached->GetParticleMesh(), nullptr);
        EXPECT_EQ(cached->GetParticleMesh()->GetBoundingBox().max.z, fresh.GetParticleMesh()->GetBoundingBox().max.z);
        char name[256], freshName[256];
        const_cast<qParticle*>(cached)->GetEmitterMeshName(name);
        fresh.GetEmitterMeshName(freshName);
        EXPECT_STREQ(name, freshName);
    }
    // The frames are shared, not loaded again; the mesh is each system's own.
    EXPECT_EQ(first->GetTextureMaterial(2), second->GetTextureMaterial(2));
    EXPECT_NE(first->GetParticleMesh(), second->GetParticleMesh());
    // Every setting that moves, colours or times a particle came across.
    const std::vector<float> expected = Run(fresh);
    EXPECT_EQ(Run(*first), expected);
}

TEST_F(ParticleEffectCacheTest, AnEffectStartedAgainReadsNoFileAndItsFramesOutliveTheCache)
{
    WriteEffect();
    ParticleEffectCache cache;
    cache.Create(device, "fx/sparks.par");
    std::filesystem::remove_all("fx");
    std::unique_ptr<qParticle> again = cache.Create(device, "fx/sparks.par");
    EXPECT_EQ(again->GetTextureCount(), 3);

    // A running effect keeps its frames when the level's definitions go.
    cache.Clear();
    EXPECT_EQ(cache.Size(), 0u);
    ASSERT_NE(again->GetTextureMaterial(0)->texture[0], nullptr);
    EXPECT_EQ(again->GetTextureMaterial(0)->texture[0]->GetWidth(), 4);
    EXPECT_EQ(ErrorText([&] { cache.Create(device, "fx/sparks.par"); }), "fx/sparks.par not found");
}

TEST_F(ParticleEffectCacheTest, AFileThatFailedFailsAgainWithItsErrorWithoutBeingReadAgain)
{
    OpenWindowed();
    ParticleEffectCache cache;
    EXPECT_EQ(ErrorText([&] { cache.Create(device, "broken.par"); }), "broken.par not found");
    // Written after the first failure: the level keeps its answer until it is cleared.
    WriteFile("broken.par", WriteParticleFile(ParticleFileSettings{}));
    EXPECT_EQ(ErrorText([&] { cache.Create(device, "broken.par"); }), "broken.par not found");
    cache.Clear();
    EXPECT_NE(cache.Create(device, "broken.par"), nullptr);
    EXPECT_EQ(ErrorText([&] { cache.Create(device, nullptr); }), "(null) not found");
}
