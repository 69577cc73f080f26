#include <cmath>
#include <string>

#include "tools/demodata/DemoData.h"
#include "tools/demodata/writers/ParticleWriter.h"
#include "tools/demodata/writers/Q3dWriter.h"
#include "tools/demodata/writers/TgaWriter.h"

namespace {

// A soft round spot: the colour everywhere, alpha falling from the centre to the rim.
TgaImage Spot(std::uint32_t rgb, float hardness)
{
    constexpr int kSize = 32;
    TgaImage image(kSize, kSize, 0);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const float dx = (float(x) + 0.5f - kSize / 2.0f) / (kSize / 2.0f);
            const float dy = (float(y) + 0.5f - kSize / 2.0f) / (kSize / 2.0f);
            const float d = std::sqrt(dx * dx + dy * dy);
            const float a = d >= 1.0f ? 0.0f : std::pow(1.0f - d, hardness);
            image.At(x, y) = std::uint32_t(a * 255.0f) << 24 | (rgb & 0xFFFFFFu);
        }
    return image;
}

// Flame frames: a spot that shrinks and reddens from frame to frame.
TgaImage FlameFrame(int frame)
{
    const std::uint32_t colours[4] = {0xFFF0A0u, 0xFFC050u, 0xF08020u, 0xC04010u};
    TgaImage image = Spot(colours[frame], 0.8f + 0.4f * float(frame));
    return image;
}

ParticleFileSettings Base(const char* texture)
{
    ParticleFileSettings s;
    s.texture = texture;
    s.collide = false;
    s.speedSpread = 0.0f;
    return s;
}

void Colour(float (&target)[3], float r, float g, float b)
{
    target[0] = r;
    target[1] = g;
    target[2] = b;
}

// Rising, fading smoke; burst = a fixed number of puffs emitted once.
ParticleFileSettings Smoke(float size, float life, int burst, float grey)
{
    ParticleFileSettings s = Base("smoke.tga");
    s.alphaBlend = true;
    s.ambientLit = true;
    s.emissionRate = burst > 0 ? 1000.0f : 12.0f;
    s.maxParticles = burst;
    s.recycle = burst == 0;
    s.gravityBase = s.gravityEnd = -0.003f;
    s.sizeBase = size * 0.4f;
    s.sizeEnd = size;
    s.sizeSpread = size * 0.2f;
    s.alphaBase = 0.6f;
    s.alphaEnd = 0.0f;
    Colour(s.startColor, grey, grey, grey);
    Colour(s.endColor, grey * 0.8f, grey * 0.8f, grey * 0.8f);
    Colour(s.colorSpread, 0.1f, 0.1f, 0.1f);
    s.speedBase = 0.6f;
    s.speedSpread = 0.4f;
    s.lifetimeBase = life;
    s.lifetimeSpread = life * 0.3f;
    s.coneAngle = 30.0f;
    s.sorted = true;
    return s;
}

// Short bright streaks thrown out in a wide cone, falling.
ParticleFileSettings Sparks(int count, float speed)
{
    ParticleFileSettings s = Base("spark.tga");
    s.emissionRate = 1000.0f;
    s.maxParticles = count;
    s.recycle = false;
    s.gravityBase = s.gravityEnd = 0.05f;
    s.sizeBase = 0.05f;
    s.sizeEnd = 0.02f;
    Colour(s.startColor, 1.0f, 0.9f, 0.5f);
    Colour(s.endColor, 1.0f, 0.4f, 0.1f);
    s.speedBase = speed;
    s.speedSpread = speed * 0.5f;
    s.lifetimeBase = 0.4f;
    s.lifetimeSpread = 0.2f;
    s.coneAngle = 60.0f;
    s.streakBase = 0.3f;
    s.streakEnd = 0.05f;
    s.streakDelay = -0.5f;
    return s;
}

// Dust or blood thrown up and falling back.
ParticleFileSettings Spray(const char* texture, int count, float r, float g, float b, float size)
{
    ParticleFileSettings s = Base(texture);
    s.alphaBlend = true;
    s.ambientLit = true;
    s.emissionRate = 1000.0f;
    s.maxParticles = count;
    s.recycle = false;
    s.gravityBase = s.gravityEnd = 0.04f;
    s.sizeBase = size;
    s.sizeEnd = size * 2.0f;
    s.sizeSpread = size * 0.5f;
    s.alphaBase = 0.9f;
    Colour(s.startColor, r, g, b);
    Colour(s.endColor, r * 0.7f, g * 0.7f, b * 0.7f);
    s.speedBase = 2.0f;
    s.speedSpread = 1.5f;
    s.lifetimeBase = 0.8f;
    s.lifetimeSpread = 0.3f;
    s.coneAngle = 35.0f;
    return s;
}

// A fireball from the animated flame frames.
ParticleFileSettings Fireball(int count, float size)
{
    ParticleFileSettings s = Base("fire00.tga");
    s.emissionRate = 1000.0f;
    s.maxParticles = count;
    s.recycle = false;
    s.gravityBase = s.gravityEnd = -0.01f;
    s.sizeBase = size * 0.5f;
    s.sizeEnd = size;
    s.sizeSpread = size * 0.3f;
    s.alphaBase = 1.0f;
    Colour(s.startColor, 1.0f, 0.9f, 0.6f);
    Colour(s.endColor, 0.6f, 0.2f, 0.1f);
    s.speedBase = size * 2.0f;
    s.speedSpread = size;
    s.lifetimeBase = 0.7f;
    s.lifetimeSpread = 0.2f;
    s.coneAngle = 90.0f;
    return s;
}

// The effect textures beside the particle files of one folder (names are relative to it).
void WriteTextures(const DemoDataWriter& out, const std::string& folder)
{
    out.writeFile(folder + "smoke.tga", WriteTga(Spot(0xFFFFFFu, 1.5f), 32));
    out.writeFile(folder + "spark.tga", WriteTga(Spot(0xFFFFFFu, 0.5f), 32));
    out.writeFile(folder + "dirt.tga", WriteTga(Spot(0xFFFFFFu, 1.0f), 32));
    for (int frame = 0; frame < 4; ++frame)
        out.writeFile(folder + "fire0" + std::to_string(frame) + ".tga", WriteTga(FlameFrame(frame), 32));
}

void Write(const DemoDataWriter& out, const std::string& path, const ParticleFileSettings& settings)
{
    out.writeFile(path, WriteParticleFile(settings));
}

} // namespace

// The particle effects the game opens by name: fire and smoke on burning characters, bullet hits
// on ground, objects and bodies, grenade, rocket and mine explosions, smoke canisters, trails.
void GenerateParticleEffects(const DemoDataWriter& out)
{
    const std::string fx = "GameData/fx/";
    const std::string grenades = "GameData/Items/Grenades/";
    const std::string rpg = "GameData/Items/RPG/";
    const std::string smokeCanister = "GameData/Items/grenade-smoke/";
    const std::string tearGas = "GameData/Items/grenade-teargas/";
    const std::string explosion = "GameData/fx/exp/";
    const std::string ground = "GameData/fx/GroundExp/";
    for (const std::string& folder : {fx, grenades, rpg, smokeCanister, tearGas, explosion, ground})
        WriteTextures(out, folder);

    // Continuous flames on a burning body.
    ParticleFileSettings fire = Fireball(0, 0.6f);
    fire.emissionRate = 40.0f;
    fire.recycle = true;
    fire.speedBase = 0.8f;
    fire.speedSpread = 0.4f;
    fire.coneAngle = 15.0f;
    fire.lifetimeBase = 0.8f;
    fire.sizeEnd = 0.1f;
    Write(out, fx + "fire.par", fire);
    Write(out, fx + "fireSmoke.par", Smoke(1.5f, 2.5f, 0, 0.3f));

    Write(out, fx + "dirtPuff.par", Spray("dirt.tga", 12, 0.55f, 0.45f, 0.3f, 0.15f));
    Write(out, fx + "objHit.par", Sparks(10, 5.0f));
    Write(out, fx + "bullethit_smoke.par", Smoke(0.6f, 1.0f, 4, 0.7f));
    Write(out, fx + "bullethit_smoke_small.par", Smoke(0.3f, 0.6f, 3, 0.7f));
    Write(out, fx + "bloodexit.par", Spray("dirt.tga", 10, 0.6f, 0.0f, 0.0f, 0.08f));
    Write(out, fx + "blood.par", Spray("dirt.tga", 8, 0.5f, 0.0f, 0.0f, 0.06f));
    Write(out, fx + "grenade_flak.par", Sparks(30, 9.0f));
    Write(out, fx + "grenade_smoke.par", Smoke(2.5f, 3.0f, 12, 0.4f));

    // A rocket's trail: smoke left behind along the path, drifting with the rocket's speed.
    ParticleFileSettings trail = Smoke(0.5f, 1.5f, 0, 0.8f);
    trail.emissionRate = 60.0f;
    trail.speedBase = 0.1f;
    trail.speedSpread = 0.1f;
    Write(out, fx + "rocketTrail.par", trail);

    ParticleFileSettings tank = Fireball(15, 1.0f);
    tank.coneAngle = 20.0f;
    Write(out, fx + "tankfire.par", tank);
    ParticleFileSettings tires = Smoke(1.0f, 1.2f, 0, 0.6f);
    tires.emissionRate = 20.0f;
    Write(out, fx + "tireSmoke.par", tires);

    Write(out, explosion + "small-ex_01.par", Fireball(20, 1.2f));
    Write(out, grenades + "GrenadeExp.par", Fireball(25, 1.5f));
    Write(out, grenades + "grenade_smoke.par", Smoke(2.5f, 3.0f, 12, 0.4f));
    Write(out, grenades + "grenadeHit.par", Spray("dirt.tga", 6, 0.55f, 0.45f, 0.3f, 0.1f));
    Write(out, rpg + "RPGBackSmoke.par", Smoke(1.2f, 1.5f, 10, 0.8f));

    // Canisters pour smoke for a while after a short delay.
    ParticleFileSettings canister = Smoke(3.0f, 6.0f, 0, 0.75f);
    canister.emissionRate = 8.0f;
    canister.startDelay = 0.5f;
    Write(out, smokeCanister + "GrenadeSmoke.par", canister);
    Colour(canister.startColor, 0.85f, 0.85f, 0.6f);
    Colour(canister.endColor, 0.7f, 0.7f, 0.5f);
    Write(out, tearGas + "GrenadeTeargas.par", canister);

    // A mine throws up clods of earth: a small mesh drawn for each particle, falling back and
    // bouncing off the ground below the emitter.
    out.writeFile(ground + "clod.tga", WriteTga(TgaImage(16, 16, 0xFF5A4630u), 24));
    Q3dObject clod;
    clod.name = "clod";
    Q3dMaterial earth;
    earth.name = "earth";
    earth.texture0 = "clod.tga";
    clod.materials.push_back(earth);
    AddQ3dBox(clod, 0.5f, 0.4f, 0.6f, 0);
    out.writeFile(ground + "clod.q3d", WriteQ3dModel({clod}));
    ParticleFileSettings clods = Spray("None", 16, 1.0f, 1.0f, 1.0f, 1.0f);
    clods.mesh = "clod.q3d";
    clods.meshGrowth = 0.0f;
    clods.sizeEnd = 1.0f;
    clods.speedBase = 5.0f;
    clods.lifetimeBase = 1.5f;
    clods.collide = true;
    clods.floorHeight = 0.0f;
    clods.restitution = 0.3f;
    clods.slideSpeed = -1.0f;
    Write(out, ground + "GroundExp.par", clods);
}
