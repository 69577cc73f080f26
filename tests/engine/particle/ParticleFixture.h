#pragma once

#include <cmath>
#include <deque>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "engine/particle/qParticle.h"

// Random numbers for a system: the scripted values first (each r = value / 32000), then r = 0.5.
// Each new particle draws, in order: lifetime, red, green, blue, alpha, size, streak delay,
// gravity, place on the emitter's path, cone angle, turn about the axis, speed.
class ScriptedRandom {
public:
    static constexpr int kHalf = 16000;
    static constexpr int kDrawsPerParticle = 12;
    enum Draw { Lifetime, Red, Green, Blue, Alpha, Size, StreakDelay, Gravity, Path, Cone, Turn, Speed };

    explicit ScriptedRandom(std::vector<int> values = {}) : values(values.begin(), values.end()) {}

    // One particle's draws: r = 0.5 except where given.
    static std::vector<int> Particle(std::initializer_list<std::pair<Draw, float>> overrides)
    {
        std::vector<int> draws(kDrawsPerParticle, kHalf);
        for (const auto& [draw, r] : overrides)
            draws[std::size_t(draw)] = int(std::lround(r * 32000.0f));
        return draws;
    }

    qParticle::RandomSource Source()
    {
        return [this] {
            ++drawn;
            if (values.empty())
                return kHalf;
            const int value = values.front();
            values.pop_front();
            return value;
        };
    }

    int drawn = 0;

private:
    std::deque<int> values;
};

// A system that emits straight up along the node's up axis at a fixed speed, with no gravity,
// floor or spread, so that positions can be worked by hand.
inline std::unique_ptr<qParticle> PlainSystem(ScriptedRandom& random)
{
    auto system = std::make_unique<qParticle>();
    system->SetRandomSource(random.Source());
    system->gravityBase = system->gravityEnd = 0.0f;
    system->speedBase = 10.0f;
    system->speedSpread = 0.0f;
    system->coneAngle = 0.0f;
    system->collide = false;
    system->lifetimeBase = 3.0f;
    system->emissionRate = 10.0f;
    return system;
}

inline std::vector<const ParticleInstance*> LiveParticles(const qParticle& system)
{
    std::vector<const ParticleInstance*> live;
    for (const ParticleInstance& p : system.GetPool())
        if (p.IsAlive())
            live.push_back(&p);
    return live;
}

inline void ExpectVector(const Vector3& actual, const Vector3& expected, float tolerance = 1e-4f)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}
