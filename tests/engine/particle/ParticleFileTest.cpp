#include <cmath>
#include <string>
#include <vector>

#include "engine/mesh/MeshVertices.h"
#include "engine/mesh/qMesh.h"
#include "tests/engine/particle/ParticleFixture.h"
#include "tests/renderer/RendererFixture.h"
#include "tools/demodata/writers/ParticleWriter.h"
#include "tools/demodata/writers/Q3dWriter.h"
#include "tools/demodata/writers/TgaWriter.h"
#include "tests/support/ErrorText.h"

namespace {

std::string LinesUpTo(const std::string& text, int count)
{
    std::size_t at = 0;
    for (int i = 0; i < count; ++i)
        at = text.find('\n', at) + 1;
    return text.substr(0, at);
}

ParticleFileSettings Distinct()
{
    // Every value different, so that a line read into the wrong setting shows.
    ParticleFileSettings s;
    s.emissionRate = 3;
    s.floorHeight = -4;
    s.gravityBase = 5, s.gravityEnd = 6, s.gravitySpread = 7;
    s.sizeBase = 8, s.sizeEnd = 9, s.sizeSpread = 10;
    s.alphaBase = 0.11f, s.alphaEnd = 0.12f, s.alphaSpread = 0.13f;
    s.startColor[0] = 0.14f, s.startColor[1] = 0.15f, s.startColor[2] = 0.16f;
    s.endColor[0] = 0.17f, s.endColor[1] = 0.18f, s.endColor[2] = 0.19f;
    s.colorSpread[0] = 0.20f, s.colorSpread[1] = 0.21f, s.colorSpread[2] = 0.22f;
    s.speedBase = 23, s.speedSpread = 24, s.lifetimeBase = 25, s.lifetimeSpread = 26, s.coneAngle = 27;
    s.attract = true, s.attractStrength = 29, s.collide = false, s.slideSpeed = -31, s.restitution = 0.32f;
    for (int i = 0; i < 8; ++i)
        s.unusedValues[i] = float(33 + i);
    s.maxParticles = 41, s.recycle = false, s.depthTest = false, s.alphaBlend = true, s.ambientLit = true;
    s.screenSpace = true, s.startDelay = 47, s.meshGrowth = 49;
    s.streakBase = 50, s.streakEnd = 51, s.streakDelaySpread = 52, s.streakDelay = 53;
    s.sorted = true, s.inheritVelocity = true;
    return s;
}

class ParticleFileTest : public RendererTest {};

} // namespace

TEST_F(ParticleFileTest, EveryLineLandsInItsSettingInBothVersionsAndLineEnds)
{
    for (const bool version08 : {true, false})
        for (const char* lineEnd : {"\n", "\r\n"}) {
            SCOPED_TRACE(std::string(version08 ? "0.8" : "0.7") + (lineEnd[0] == '\r' ? " CRLF" : " LF"));
            ParticleFileSettings s = Distinct();
            s.version08 = version08;
            WriteFile("all.par", WriteParticleFile(s, lineEnd));
            qParticle system;
            system.Load(nullptr, "all.par");
            EXPECT_EQ(system.emissionRate, 3);
            EXPECT_EQ(system.floorHeight, -4);
            EXPECT_EQ(system.gravityBase, 5);
            EXPECT_EQ(system.gravityEnd, 6);
            EXPECT_EQ(system.gravitySpread, 7);
            EXPECT_EQ(system.sizeBase, 8);
            EXPECT_EQ(system.sizeEnd, 9);
            EXPECT_EQ(system.sizeSpread, 10);
            EXPECT_EQ(system.alphaBase, 0.11f);
            EXPECT_EQ(system.alphaEnd, 0.12f);
            EXPECT_EQ(system.alphaSpread, 0.13f);
            EXPECT_EQ(system.startColor[2], 0.16f);
            EXPECT_EQ(system.endColor[0], 0.17f);
            EXPECT_EQ(system.colorSpread[1], 0.21f);
            EXPECT_EQ(system.speedBase, 23);
            EXPECT_EQ(system.speedSpread, 24);
            EXPECT_EQ(system.lifetimeBase, 25);
            EXPECT_EQ(system.lifetimeSpread, 26);
            EXPECT_EQ(system.coneAngle, 27);
            EXPECT_TRUE(system.attract);
            EXPECT_EQ(system.attractStrength, 29);
            EXPECT_FALSE(system.collide);
            EXPECT_EQ(system.slideSpeed, -31);
            EXPECT_EQ(system.restitution, 0.32f);
            EXPECT_EQ(system.unusedValues[7], 40);
            EXPECT_EQ(system.maxParticles, 41);
            EXPECT_FALSE(system.recycle);
            EXPECT_FALSE(system.depthTest);
            EXPECT_TRUE(system.alphaBlend);
            EXPECT_TRUE(system.ambientLit);
            EXPECT_TRUE(system.screenSpace);
            EXPECT_EQ(system.startDelay, 47);
            EXPECT_EQ(system.meshGrowth, 49);
            EXPECT_EQ(system.streakBase, 50);
            EXPECT_EQ(system.streakEnd, 51);
            EXPECT_EQ(system.streakDelaySpread, 52);
            EXPECT_EQ(system.streakDelay, 53);
            EXPECT_TRUE(system.sorted);
            // Version 0.7 has no line 55.
            EXPECT_EQ(system.inheritVelocity, version08);
            char name[256];
            system.GetTextureName(name);
            EXPECT_STREQ(name, "None");
            system.GetEmitterMeshName(name);
            EXPECT_STREQ(name, "None");
        }
}

TEST_F(ParticleFileTest, RefusesMissingFilesOtherHeadersAndFilesThatEndEarly)
{
    EXPECT_EQ(ErrorText([] { qParticle().Load(nullptr, "missing.par"); }), "missing.par not found");

    const std::string full = WriteParticleText(ParticleFileSettings{});
    struct Case {
        const char* name;
        std::string text;
        bool loads;
    };
    std::vector<Case> cases = {
        {"version 0.9", "qParticle File Version 0.9\n" + full.substr(full.find('\n') + 1), false},
        {"other text", "particles\n" + full.substr(full.find('\n') + 1), false},
        {"empty file", "", false},
        {"header only", "qParticle File Version 0.8\n", false},
        {"more after the version", "qParticle File Version 0.8 (final)\n" + full.substr(full.find('\n') + 1), true},
        {"no line end at the end", full.substr(0, full.size() - 1), true},
    };
    // Cut after every line short of the last.
    for (int lines = 2; lines < 55; ++lines)
        cases.push_back({"cut short", LinesUpTo(full, lines), false});
    ParticleFileSettings old;
    old.version08 = false;
    const std::string full07 = WriteParticleText(old);
    cases.push_back({"0.7 without line 54", LinesUpTo(full07, 53), false});
    cases.push_back({"0.8 without line 55", LinesUpTo(full, 54), false});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + std::string(" ") + std::to_string(c.text.size()));
        WriteFile("case.par", std::vector<std::uint8_t>(c.text.begin(), c.text.end()));
        const std::string error = ErrorText([] { qParticle().Load(nullptr, "case.par"); });
        EXPECT_EQ(error, c.loads ? "" : "Particle file case.par is not a loadable version");
    }
}

TEST_F(ParticleFileTest, HostileNumbersLoadAsSettingsThatStayFinite)
{
    // Numbers no file should hold: each one, on every value line, must leave a system that
    // updates without non-finite values or a runaway pool.
    const std::string full = WriteParticleText(ParticleFileSettings{});
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < full.size();) {
        const std::size_t end = full.find('\n', at);
        lines.push_back(full.substr(at, end - at));
        at = end + 1;
    }
    for (const char* value : {"nan", "inf", "-inf", "1e39", "-1e39", "3e38", "2147483647", "-2147483648", "junk"}) {
        SCOPED_TRACE(value);
        std::string text = lines[0] + "\nNone\n";
        for (std::size_t i = 2; i < lines.size(); ++i)
            text += (i == 47 ? std::string("None") : std::string(value)) + "\n";
        WriteFile("hostile.par", std::vector<std::uint8_t>(text.begin(), text.end()));
        qParticle system;
        ScriptedRandom random;
        system.SetRandomSource(random.Source());
        ASSERT_EQ(ErrorText([&] { system.Load(nullptr, "hostile.par"); }), "");
        for (int step = 0; step < 3; ++step)
            system.UpdateTransform(0.05f);
        EXPECT_LE(system.GetPool().size(), std::size_t(qParticle::kMaxPool));
        EXPECT_TRUE(std::isfinite(system.GetEmissionRemainder()));
        for (const ParticleInstance& p : system.GetPool())
            if (p.IsAlive()) {
                EXPECT_TRUE(std::isfinite(p.lifetime));
                EXPECT_TRUE(std::isfinite(p.size));
            }
    }
}

TEST_F(ParticleFileTest, ANumberedTextureLoadsTheWholeSequence)
{
    OpenWindowed();
    for (int i = 0; i < 8; ++i) {
        char name[32];
        std::snprintf(name, sizeof(name), "smoke%02d.tga", i);
        WriteFile(name, WriteTga(TgaImage(8, 8, 0xFF000000u | std::uint32_t(i * 30) << 16), 32));
    }
    WriteFile("plain.tga", WriteTga(TgaImage(8, 8, 0xFFFFFFFFu), 32));
    ParticleFileSettings s;
    s.texture = "smoke00.tga";
    WriteFile("sequence.par", WriteParticleFile(s));
    qParticle system;
    system.Load(device, "sequence.par");
    ASSERT_EQ(system.GetTextureCount(), 8);
    char name[256];
    system.GetTextureName(name);
    EXPECT_NE(std::string(name).find("smoke00"), std::string::npos) << name;

    // 01 starts a sequence too, from 02 on; other names are one frame.
    system.LoadTexture(device, "smoke01.tga");
    EXPECT_EQ(system.GetTextureCount(), 7);
    system.LoadTexture(device, "smoke05.tga");
    EXPECT_EQ(system.GetTextureCount(), 1);
    system.LoadTexture(device, "plain.tga");
    EXPECT_EQ(system.GetTextureCount(), 1);
    system.LoadTexture(device, nullptr);
    EXPECT_EQ(system.GetTextureCount(), 0);

    const std::string error = ErrorText([&] { system.LoadTexture(device, "nothing.tga"); });
    EXPECT_EQ(error.rfind("Error loading particle texture nothing.tga: ", 0), 0u) << error;
    s.texture = "nothing.tga";
    WriteFile("broken.par", WriteParticleFile(s));
    EXPECT_EQ(ErrorText([&] { qParticle().Load(device, "broken.par"); }).rfind("Error loading particle texture ", 0), 0u);
}

TEST_F(ParticleFileTest, AParticleMeshIsReadScaledToATenthBesideTheFile)
{
    OpenWindowed();
    std::filesystem::create_directories("fx");
    Q3dObject chunk;
    chunk.name = "chunk";
    chunk.materials.push_back(Q3dMaterial{});
    AddQ3dBox(chunk, 1.0f, 2.0f, 3.0f, 0);
    WriteFile("fx/chunk.q3d", WriteQ3dModel({chunk}));
    ParticleFileSettings s;
    s.mesh = "chunk.q3d";
    WriteFile("fx/chunks.par", WriteParticleFile(s));
    qParticle system;
    system.Load(device, "fx/chunks.par");
    ASSERT_NE(system.GetParticleMesh(), nullptr);
    const BoundingBox box = system.GetParticleMesh()->GetBoundingBox();
    ExpectVector(box.min, Vector3(-0.1f, -0.2f, -0.3f));
    ExpectVector(box.max, Vector3(0.1f, 0.2f, 0.3f));
    char name[256];
    system.GetEmitterMeshName(name);
    EXPECT_STREQ(name, "fx/chunk.q3d");
    system.SetEmitterMesh(nullptr, nullptr);
    system.GetEmitterMeshName(name);
    EXPECT_STREQ(name, "None");

    s.mesh = "missing.q3d";
    WriteFile("fx/nomesh.par", WriteParticleFile(s));
    EXPECT_EQ(ErrorText([&] { qParticle().Load(device, "fx/nomesh.par"); }), "Can't find file fx/missing.q3d");
}

TEST_F(ParticleFileTest, EveryEffectOfTheDemoDataLoadsRunsAndDraws)
{
    OpenWindowed();
    const std::filesystem::path root = std::filesystem::path(BEXAL_DATA_DIR);
    int files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root / "GameData")) {
        if (entry.path().extension() != ".par")
            continue;
        ++files;
        SCOPED_TRACE(entry.path().string());
        qParticle system;
        ASSERT_EQ(ErrorText([&] { system.Load(device, entry.path().string().c_str()); }), "");
        // Bursts live briefly and canisters start late: draw the first update with particles.
        bool drawn = false;
        for (int step = 0; step < 40 && !drawn; ++step) {
            system.UpdateTransform(0.05f);
            if (system.GetLiveCount() == 0)
                continue;
            ASSERT_EQ(device->BeginFrame(true, true), 0);
            drawn = system.Draw(device);
            ASSERT_EQ(device->EndFrame(true, true), 0);
        }
        EXPECT_TRUE(drawn);
    }
    EXPECT_GE(files, 20);
}
