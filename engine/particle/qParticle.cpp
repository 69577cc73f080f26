#include "engine/particle/qParticle.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "engine/core/MathConstants.h"
#include "engine/mesh/qMesh.h"

bool ParticleInstance::Update(float t)
{
    if (age + t >= lifetime) {
        age = kDied;
        return false;
    }
    age += t;
    previousPosition = position;
    position += velocity * t;

    if (owner->collide) {
        const Vector3& n = owner->floorNormal;
        const float d = owner->floorHeight + size * 0.5f;
        if (n.Dot(position) <= d) {
            if (owner->slideSpeed * owner->slideSpeed > velocity.LengthSquared()) {
                // Slow: rest on the plane where the particle came through it, and slide along it.
                HitResult ray;
                ray.origin = position;
                ray.direction = -velocity;
                if (Plane(n, d).IntersectRay(ray))
                    position = ray.hitPoint;
                velocity -= n * n.Dot(velocity);
            } else {
                position = previousPosition;
                velocity -= n * ((1.0f + owner->restitution) * n.Dot(velocity));
            }
        }
    }

    velocity.y += t * (gravity * -9.8f);
    if (owner->attract) {
        Vector3 toEmitter = owner->world.GetTranslation() - position;
        toEmitter.Normalize();
        velocity += toEmitter * (t * owner->attractStrength);
    }

    for (int c = 0; c < 3; ++c)
        color[c] += t * colorRate[c];
    alpha += t * alphaRate;
    size += t * sizeRate;
    gravity += t * gravityRate;

    if (streakDelay > 0.0f)
        streak = age <= streakDelay ? 0.0f : owner->streakBase + streakRate * (age - streakDelay);
    else
        streak = age < -streakDelay ? owner->streakBase + streakRate * age : 0.0f;
    if (streak < 0.0f)
        streak = 0.0f;
    return true;
}

qParticle::qParticle()
{
    pool.resize(25);
    // Particles light themselves (ambientLit), so their materials take no device lighting.
    quadMaterial.lightingMode = 0;
    random = [] { return std::rand(); };
}

qParticle::~qParticle()
{
    FreeTextures();
}

void qParticle::SetRandomSource(RandomSource source)
{
    random = source ? std::move(source) : RandomSource([] { return std::rand(); });
}

float qParticle::Random()
{
    int value = random() % 32000;
    if (value < 0)
        value += 32000;
    return float(value) / 32000.0f;
}

void qParticle::Reset()
{
    for (ParticleInstance& particle : pool) {
        particle.age = ParticleInstance::kNeverUsed;
        particle.lifetime = 0.0f;
    }
    timeSinceStart = 0.0f;
    emissionRemainder = 0.0f;
    liveCount = 0;
    active = true;
}

void qParticle::GrowPool(int needed)
{
    const int size = int(pool.size());
    if (size >= needed && size >= maxParticles)
        return;
    int target = maxParticles > size ? maxParticles : (needed / 10) * 10 + 20;
    target = std::min(target, kMaxPool);
    if (target > size)
        pool.resize(std::size_t(target));
}

void qParticle::Emit(ParticleInstance& p, const Vector3& movement, float elapsed, bool firstUpdate)
{
    const Vector3 current = world.GetTranslation();
    p.age = 0.0f;
    p.lifetime = std::clamp(Spread(lifetimeBase, lifetimeSpread), 0.0001f, 100.0f);
    for (int c = 0; c < 3; ++c)
        p.color[c] = std::clamp(Spread(startColor[c], colorSpread[c]), 0.0f, 1.0f);
    for (int c = 0; c < 3; ++c)
        p.colorRate[c] = (endColor[c] - p.color[c]) / p.lifetime;
    p.alpha = std::clamp(Spread(alphaBase, alphaSpread), 0.0f, 1.0f);
    p.alphaRate = (alphaEnd - p.alpha) / p.lifetime;
    p.size = std::clamp(Spread(sizeBase, sizeSpread), 0.01f, 100.0f);
    p.sizeRate = (sizeEnd - p.size) / p.lifetime;
    p.streakDelay = Spread(streakDelay, streakDelaySpread);
    // The streak changes over the part of the life outside its delay; a life with no such part
    // has no rate (rather than a division by zero or a rate of the wrong sign).
    const float streakSpan = p.lifetime - std::fabs(p.streakDelay);
    p.streakRate = streakSpan > 0.0f ? (streakEnd - streakBase) / streakSpan : 0.0f;
    p.streak = p.streakDelay > 0.0f ? 0.0f : streakBase;
    p.gravity = std::clamp(9.8f * Spread(gravityBase, gravitySpread), -49.0f, 49.0f);
    p.gravityRate = (9.8f * gravityEnd - p.gravity) / p.lifetime;

    // Somewhere along the emitter's path during this update.
    p.position = previousWorldPosition - movement * Random();
    p.previousPosition = current;

    const float theta = Random() * coneAngle * kPi / 180.0f;
    const float phi = Random() * 2.0f * kPi;
    const Vector3 local(std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi));
    const Vector3 direction = world.TransformDirection(local);
    const float speed = std::clamp(Spread(speedBase, speedSpread), 0.0f, 2000.0f);
    p.velocity = direction * speed;
    if (inheritVelocity && elapsed != 0.0f && !firstUpdate)
        p.velocity -= movement * (1.0f / elapsed);
    p.owner = this;
}

namespace {

void Widen(BoundingBox& box, const ParticleInstance& p)
{
    const float half = p.size * 0.5f;
    box.AddPoint(p.position - Vector3(half, half, half));
    box.AddPoint(p.position + Vector3(half, half, half));
}

} // namespace

void qParticle::UpdateTransform(float elapsed)
{
    if (!active)
        return;
    SceneNode::UpdateTransform(elapsed);
    const Vector3 current = world.GetTranslation();
    // Before the first update there is no earlier position: the emitter has not moved yet.
    const bool firstUpdate = timeSinceStart == 0.0f;
    if (firstUpdate)
        previousWorldPosition = current;
    const Vector3 movement = previousWorldPosition - current;

    liveCount = 0;
    if (startDelay > 0.0f && timeSinceStart < startDelay) {
        // The delay runs down on the system's own clock.
        previousWorldPosition = current;
        timeSinceStart += elapsed;
        return;
    }

    for (ParticleInstance& particle : pool) {
        if (!particle.IsAlive())
            continue;
        if (particle.Update(elapsed)) {
            ++liveCount;
            Widen(bounds, particle);
        } else {
            ++diedCount;
        }
    }

    float e = elapsed * emissionRate + emissionRemainder;
    if (std::isnan(e))
        e = 0.0f;
    if (firstUpdate && e < 1.0f && elapsed != 0.0f)
        e += 1.0f;
    int count = 0;
    if (emissionPaused) {
        emissionRemainder = e;
    } else {
        const float whole = std::trunc(e);
        if (whole > float(kMaxPool)) {
            // More than any pool holds: the excess is dropped rather than carried on.
            count = kMaxPool;
            emissionRemainder = 0.0f;
        } else {
            count = std::max(0, int(whole));
            emissionRemainder = e - whole;
        }
    }

    if (count > 0) {
        GrowPool(count + liveCount);
        const int limit = maxParticles >= 1 ? std::min(maxParticles, int(pool.size())) : int(pool.size());
        int remaining = count;
        for (int i = 0; i < limit && remaining > 0; ++i) {
            ParticleInstance& particle = pool[std::size_t(i)];
            if (particle.IsAlive() || (!recycle && particle.age != ParticleInstance::kNeverUsed))
                continue;
            Emit(particle, movement, elapsed, firstUpdate);
            ++liveCount;
            // Spread the new particles over the update: the first emitted has lived longest.
            particle.Update(elapsed * float(remaining) / e);
            Widen(bounds, particle);
            --remaining;
        }
    }

    previousWorldPosition = current;
    timeSinceStart += elapsed;
}
