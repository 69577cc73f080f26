#include <cmath>
#include <vector>

#include "tests/engine/particle/ParticleFixture.h"

namespace {

using R = ScriptedRandom;

std::vector<int> Join(std::initializer_list<std::vector<int>> parts)
{
    std::vector<int> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

} // namespace

TEST(ParticleEmission, FirstUpdateEmitsOneEvenWhenTheRateGivesLess)
{
    ScriptedRandom random;
    auto system = PlainSystem(random);
    system->emissionRate = 100.0f;
    system->UpdateTransform(0.001f); // 0.1 of a particle
    EXPECT_EQ(system->GetLiveCount(), 1);
    EXPECT_NEAR(system->GetEmissionRemainder(), 0.1f, 1e-5f);
    // Later updates carry the fraction instead.
    system->UpdateTransform(0.001f);
    EXPECT_EQ(system->GetLiveCount(), 1);
    EXPECT_NEAR(system->GetEmissionRemainder(), 0.2f, 1e-5f);
    EXPECT_NEAR(system->GetActivity(), 1.2f, 1e-5f);
}

TEST(ParticleEmission, NewParticlesAreSpreadOverTheUpdateAlongTheUpAxis)
{
    ScriptedRandom random;
    auto system = PlainSystem(random);
    system->emissionRate = 30.0f;
    system->position = Vector3(1, 2, 3);
    system->UpdateTransform(0.1f); // three particles, advanced 0.1, 2/3 of it and 1/3 of it
    const auto live = LiveParticles(*system);
    ASSERT_EQ(live.size(), 3u);
    const float ages[3] = {0.1f, 0.2f / 3.0f, 0.1f / 3.0f};
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(live[std::size_t(i)]->age, ages[i], 1e-5f);
        ExpectVector(live[std::size_t(i)]->position, Vector3(1, 2 + 10 * ages[i], 3));
        ExpectVector(live[std::size_t(i)]->velocity, Vector3(0, 10, 0));
    }
    EXPECT_EQ(random.drawn, 3 * ScriptedRandom::kDrawsPerParticle);
}

TEST(ParticleEmission, DirectionFollowsTheNodeRotationAndTheConeDraws)
{
    // The node's up axis turned onto +z.
    {
        ScriptedRandom random;
        auto system = PlainSystem(random);
        system->rotation.m[3] = 0, system->rotation.m[4] = 0, system->rotation.m[5] = 1;
        system->rotation.m[6] = 0, system->rotation.m[7] = -1, system->rotation.m[8] = 0;
        system->UpdateTransform(0.1f);
        ASSERT_EQ(LiveParticles(*system).size(), 1u);
        ExpectVector(LiveParticles(*system)[0]->velocity, Vector3(0, 0, 10));
    }
    // A 90-degree cone: r = 0.5 tilts by 45 degrees, r = 0.25 turns a quarter round to +z.
    {
        ScriptedRandom random(R::Particle({{R::Cone, 0.5f}, {R::Turn, 0.25f}}));
        auto system = PlainSystem(random);
        system->coneAngle = 90.0f;
        system->UpdateTransform(0.1f);
        ASSERT_EQ(LiveParticles(*system).size(), 1u);
        const float s = 10.0f * std::sqrt(0.5f);
        ExpectVector(LiveParticles(*system)[0]->velocity, Vector3(0, s, s));
    }
    // Speed spread: base + spread x (r - 0.5), clamped to 0..2000.
    {
        ScriptedRandom random(Join({R::Particle({{R::Speed, 0.9f}}), R::Particle({{R::Speed, 0.0f}})}));
        auto system = PlainSystem(random);
        system->speedSpread = 30.0f;
        system->emissionRate = 20.0f;
        system->UpdateTransform(0.1f);
        const auto live = LiveParticles(*system);
        ASSERT_EQ(live.size(), 2u);
        EXPECT_NEAR(live[0]->velocity.y, 22.0f, 1e-3f);
        EXPECT_NEAR(live[1]->velocity.y, 0.0f, 1e-3f);
    }
}

TEST(ParticleEmission, AMovingEmitterLeavesParticlesAlongItsPath)
{
    for (const bool inherit : {false, true}) {
        SCOPED_TRACE(inherit ? "inherit velocity" : "own velocity only");
        ScriptedRandom random(Join({R::Particle({}), R::Particle({{R::Path, 0.25f}})}));
        auto system = PlainSystem(random);
        system->speedBase = 0.0f;
        system->inheritVelocity = inherit;
        system->UpdateTransform(0.1f);
        // Nothing is inherited from a move before the first update.
        ExpectVector(LiveParticles(*system)[0]->velocity, Vector3());
        system->position = Vector3(10, 0, 0);
        system->UpdateTransform(0.1f);
        const auto live = LiveParticles(*system);
        ASSERT_EQ(live.size(), 2u);
        const Vector3 velocity = inherit ? Vector3(100, 0, 0) : Vector3();
        ExpectVector(live[1]->velocity, velocity, 1e-3f);
        // A quarter of the way from the previous place, then moved by its share of the update.
        ExpectVector(live[1]->position, Vector3(2.5f, 0, 0) + velocity * 0.1f, 1e-3f);
        ExpectVector(live[1]->previousPosition, Vector3(2.5f, 0, 0), 1e-3f);
    }
}

TEST(ParticleMotion, GravityAcceleratesDownwardsAndChangesOverTheLife)
{
    ScriptedRandom random;
    auto system = PlainSystem(random);
    system->gravityBase = 1.0f;
    system->gravityEnd = 2.0f;
    system->lifetimeBase = 1.0f;
    system->UpdateTransform(0.1f);
    const ParticleInstance& p = *LiveParticles(*system)[0];
    // Moved first, then accelerated by 9.8 x 9.8 per second.
    EXPECT_NEAR(p.position.y, 1.0f, 1e-4f);
    EXPECT_NEAR(p.velocity.y, 10.0f - 0.1f * 96.04f, 1e-3f);
    // The gravity value runs from 9.8 x base to 9.8 x end over the life.
    EXPECT_NEAR(p.gravity, 9.8f + 0.1f * 9.8f, 1e-3f);
    system->maxParticles = 1;
    system->UpdateTransform(0.1f);
    EXPECT_NEAR(p.position.y, 1.0f + 0.1f * (10.0f - 9.604f), 1e-3f);
    EXPECT_NEAR(p.velocity.y, 10.0f - 9.604f - 0.1f * 9.8f * 10.78f, 1e-3f);
}

TEST(ParticleMotion, ColourAlphaAndSizeMoveLinearlyToTheirEndValues)
{
    ScriptedRandom random;
    auto system = PlainSystem(random);
    system->lifetimeBase = 2.0f;
    system->emissionRate = 2.0f;
    system->maxParticles = 1;
    const float start[3] = {1.0f, 0.0f, 0.2f}, end[3] = {0.0f, 0.0f, 1.0f};
    std::copy(start, start + 3, system->startColor);
    std::copy(end, end + 3, system->endColor);
    system->alphaBase = 1.0f;
    system->alphaEnd = 0.0f;
    system->sizeBase = 4.0f;
    system->sizeEnd = 2.0f;
    system->UpdateTransform(0.5f);
    system->UpdateTransform(0.5f);
    const ParticleInstance& p = *LiveParticles(*system)[0];
    EXPECT_NEAR(p.age, 1.0f, 1e-5f);
    EXPECT_NEAR(p.color[0], 0.5f, 1e-5f);
    EXPECT_NEAR(p.color[1], 0.0f, 1e-5f);
    EXPECT_NEAR(p.color[2], 0.6f, 1e-5f);
    EXPECT_NEAR(p.alpha, 0.5f, 1e-5f);
    EXPECT_NEAR(p.size, 3.0f, 1e-5f);
    // Dies when its age would reach the lifetime.
    system->emissionRate = 0.0f;
    system->UpdateTransform(1.0f);
    EXPECT_EQ(system->GetLiveCount(), 0);
    EXPECT_EQ(system->GetDiedCount(), 1);
    EXPECT_EQ(system->GetPool()[0].age, ParticleInstance::kDied);
}

TEST(ParticleMotion, SpreadValuesAreClampedToTheirRanges)
{
    struct Case {
        const char* name;
        R::Draw draw;
        float base, spread, r;
        float ParticleInstance::*field;
        float expected;
    };
    const Case cases[] = {
        {"lifetime at or below 0 lives 0.0001 s", R::Lifetime, -1.0f, 0.0f, 0.5f, &ParticleInstance::lifetime, 0.0001f},
        {"lifetime over 100", R::Lifetime, 300.0f, 0.0f, 0.5f, &ParticleInstance::lifetime, 100.0f},
        {"alpha above 1", R::Alpha, 0.8f, 1.0f, 0.9f, &ParticleInstance::alpha, 1.0f},
        {"size below 0.01", R::Size, 0.0f, 0.0f, 0.5f, &ParticleInstance::size, 0.01f},
        {"gravity above 49", R::Gravity, 10.0f, 0.0f, 0.5f, &ParticleInstance::gravity, 49.0f},
        {"gravity below -49", R::Gravity, -10.0f, 0.0f, 0.5f, &ParticleInstance::gravity, -49.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedRandom random(R::Particle({{c.draw, c.r}}));
        auto system = PlainSystem(random);
        float* base = c.draw == R::Lifetime ? &system->lifetimeBase
                      : c.draw == R::Alpha  ? &system->alphaBase
                      : c.draw == R::Size   ? &system->sizeBase
                                            : &system->gravityBase;
        float* spread = c.draw == R::Lifetime ? &system->lifetimeSpread
                        : c.draw == R::Alpha  ? &system->alphaSpread
                        : c.draw == R::Size   ? &system->sizeSpread
                                              : &system->gravitySpread;
        *base = c.base;
        *spread = c.spread;
        system->alphaEnd = system->alphaBase;
        system->sizeEnd = system->sizeBase;
        system->gravityEnd = c.draw == R::Gravity ? c.expected / 9.8f : 0.0f;
        system->UpdateTransform(1e-6f);
        EXPECT_NEAR(system->GetPool()[0].*c.field, c.expected, 1e-4f);
    }
}

TEST(ParticleMotion, StreaksWithNoTimeToChangeGetNoRate)
{
    // A streak delay as long as the life leaves no time for the streak to change: the rate is 0
    // rather than a division by zero.
    for (const float delay : {1.0f, -1.0f, 2.0f, -2.0f}) {
        SCOPED_TRACE(delay);
        ScriptedRandom random;
        auto system = PlainSystem(random);
        system->lifetimeBase = 1.0f;
        system->streakBase = 0.5f;
        system->streakEnd = 2.0f;
        system->streakDelay = delay;
        system->UpdateTransform(0.1f);
        const ParticleInstance& p = system->GetPool()[0];
        EXPECT_EQ(p.streakRate, 0.0f);
        EXPECT_TRUE(std::isfinite(p.streak));
        EXPECT_EQ(p.streak, delay > 0.0f ? 0.0f : 0.5f);
    }
    // With time left: a delayed streak starts from the base once the delay has passed; a
    // negative delay shows the streak from the start for that long.
    ScriptedRandom random;
    auto system = PlainSystem(random);
    system->lifetimeBase = 1.0f;
    system->streakBase = 0.5f;
    system->streakEnd = 1.5f;
    system->streakDelay = 0.5f;
    system->maxParticles = 1;
    system->emissionRate = 4.0f;
    system->UpdateTransform(0.25f);
    EXPECT_EQ(system->GetPool()[0].streak, 0.0f);
    system->UpdateTransform(0.5f);
    EXPECT_NEAR(system->GetPool()[0].streakRate, 2.0f, 1e-5f);
    EXPECT_NEAR(system->GetPool()[0].streak, 0.5f + 2.0f * 0.25f, 1e-4f);
    system->streakDelay = -0.5f;
    system->Reset();
    system->UpdateTransform(0.25f);
    EXPECT_NEAR(system->GetPool()[0].streak, 0.5f + 2.0f * 0.25f, 1e-4f);
    system->UpdateTransform(0.5f);
    EXPECT_EQ(system->GetPool()[0].streak, 0.0f);
}

TEST(ParticleFloor, AFastParticleBouncesAndASlowOneSlidesOnThePlane)
{
    // The up axis turned straight down; the floor at height 0, the particle 0.01 across.
    {
        ScriptedRandom random;
        auto system = PlainSystem(random);
        system->rotation.m[4] = -1.0f;
        system->rotation.m[8] = -1.0f;
        system->position = Vector3(0, 1, 0);
        system->speedBase = 20.0f;
        system->collide = true;
        system->floorHeight = 0.0f;
        system->sizeBase = system->sizeEnd = 0.01f;
        system->restitution = 0.5f;
        system->UpdateTransform(0.1f);
        const ParticleInstance& p = *LiveParticles(*system)[0];
        ExpectVector(p.position, Vector3(0, 1, 0));
        ExpectVector(p.velocity, Vector3(0, 10, 0), 1e-3f);
    }
    {
        // Down and sideways at 4 units a second, under the slide speed of 5.
        ScriptedRandom random;
        auto system = PlainSystem(random);
        system->rotation.m[0] = 0.8f, system->rotation.m[1] = 0.6f, system->rotation.m[2] = 0.0f;
        system->rotation.m[3] = 0.6f, system->rotation.m[4] = -0.8f, system->rotation.m[5] = 0.0f;
        system->position = Vector3(0, 0.2f, 0);
        system->speedBase = 4.0f;
        system->collide = true;
        system->floorHeight = 0.0f;
        system->sizeBase = system->sizeEnd = 0.01f;
        system->UpdateTransform(0.1f);
        const ParticleInstance& p = *LiveParticles(*system)[0];
        // Back along its path to the plane at floor + size / 2, then only the sideways motion.
        ExpectVector(p.position, Vector3(0.24f - 2.4f * (0.125f / 3.2f), 0.005f, 0));
        ExpectVector(p.velocity, Vector3(2.4f, 0, 0), 1e-3f);
        system->maxParticles = 1;
        system->UpdateTransform(0.1f);
        ExpectVector(p.position, Vector3(0.24f - 2.4f * (0.125f / 3.2f) + 0.24f, 0.005f, 0));
    }
}

TEST(ParticleMotion, AttractionPullsTowardsTheEmitter)
{
    ScriptedRandom random;
    auto system = PlainSystem(random);
    system->speedBase = 0.0f;
    system->attract = true;
    system->attractStrength = 25.0f;
    system->maxParticles = 1;
    system->UpdateTransform(0.1f);
    system->position = Vector3(10, 0, 0);
    system->UpdateTransform(0.1f);
    const ParticleInstance& p = system->GetPool()[0];
    ExpectVector(p.velocity, Vector3(2.5f, 0, 0));
    system->UpdateTransform(0.1f);
    ExpectVector(p.position, Vector3(0.25f, 0, 0));
    ExpectVector(p.velocity, Vector3(5.0f, 0, 0));
}

TEST(ParticlePool, WithoutRecycleEachSlotEmitsOnceUntilReset)
{
    ScriptedRandom random;
    auto system = PlainSystem(random);
    system->recycle = false;
    system->maxParticles = 5;
    system->emissionRate = 1000.0f;
    system->lifetimeBase = 0.05f;
    system->UpdateTransform(0.1f);
    EXPECT_EQ(system->GetLiveCount(), 5);
    // The pool grows for the hundred asked for, but only five slots are used.
    EXPECT_EQ(system->GetPool().size(), 120u);
    system->UpdateTransform(0.1f);
    EXPECT_EQ(system->GetLiveCount(), 0);
    system->UpdateTransform(0.1f);
    EXPECT_EQ(system->GetLiveCount(), 0);
    system->Reset();
    system->UpdateTransform(0.1f);
    EXPECT_EQ(system->GetLiveCount(), 5);
}

TEST(ParticlePool, GrowsToTheMaximumOrToTheNextTenPlusTwenty)
{
    struct Case {
        int maxParticles;
        float elapsed;
        std::size_t pool;
    };
    const Case cases[] = {{0, 0.01f, 25u}, {0, 0.3f, 50u}, {0, 0.35f, 50u}, {300, 0.01f, 300u},
                          {qParticle::kMaxPool * 2, 0.01f, std::size_t(qParticle::kMaxPool)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pool);
        ScriptedRandom random;
        auto system = PlainSystem(random);
        system->emissionRate = 100.0f;
        system->maxParticles = c.maxParticles;
        system->UpdateTransform(c.elapsed);
        EXPECT_EQ(system->GetPool().size(), c.pool);
    }
}

TEST(ParticlePool, AnEmissionRateBeyondAnyPoolIsHeldToTheLargestPool)
{
    ScriptedRandom random;
    auto system = PlainSystem(random);
    system->emissionRate = 3.0e38f;
    system->lifetimeBase = 100.0f;
    system->UpdateTransform(1.0f);
    EXPECT_EQ(system->GetPool().size(), std::size_t(qParticle::kMaxPool));
    EXPECT_EQ(system->GetLiveCount(), qParticle::kMaxPool);
    EXPECT_EQ(system->GetEmissionRemainder(), 0.0f);
}

TEST(ParticleEmission, StartDelayHoldsEmissionOnTheSystemsOwnClock)
{
    ScriptedRandom random;
    auto system = PlainSystem(random);
    system->startDelay = 0.25f;
    std::vector<int> live;
    for (int i = 0; i < 4; ++i) {
        system->UpdateTransform(0.1f);
        live.push_back(system->GetLiveCount());
    }
    EXPECT_EQ(live, (std::vector<int>{0, 0, 0, 1}));
    // Reset starts the delay again.
    system->Reset();
    system->UpdateTransform(0.1f);
    EXPECT_EQ(system->GetLiveCount(), 0);
}

TEST(ParticleEmission, PausedEmissionCarriesTheWholeAmount)
{
    ScriptedRandom random;
    auto system = PlainSystem(random);
    system->UpdateTransform(0.1f);
    system->emissionPaused = true;
    system->UpdateTransform(0.25f);
    EXPECT_EQ(system->GetLiveCount(), 1);
    EXPECT_NEAR(system->GetEmissionRemainder(), 2.5f, 1e-5f);
    system->emissionPaused = false;
    system->UpdateTransform(0.1f);
    EXPECT_EQ(system->GetLiveCount(), 4);
    EXPECT_NEAR(system->GetEmissionRemainder(), 0.5f, 1e-5f);
}

TEST(ParticleEmission, AnInactiveSystemDoesNothing)
{
    ScriptedRandom random;
    auto system = PlainSystem(random);
    system->active = false;
    system->UpdateTransform(1.0f);
    EXPECT_EQ(system->GetLiveCount(), 0);
    EXPECT_EQ(system->GetTimeSinceStart(), 0.0f);
    EXPECT_EQ(random.drawn, 0);
}

TEST(ParticleBounds, GrowToHoldEveryPlaceAParticleHasBeen)
{
    ScriptedRandom random;
    auto system = PlainSystem(random);
    system->sizeBase = system->sizeEnd = 2.0f;
    system->position = Vector3(5, 0, 0);
    system->UpdateTransform(0.1f);
    system->UpdateTransform(0.1f);
    const BoundingBox& box = system->GetBounds();
    // The origin stays inside: the box starts as the zero box.
    EXPECT_TRUE(box.Contains(Vector3()));
    EXPECT_NEAR(box.max.x, 6.0f, 1e-4f);
    EXPECT_NEAR(box.max.y, 2.0f + 1.0f, 1e-4f);
}
