#include "world/environment/Weather.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/camera/Camera.h"
#include "engine/core/LittleEndianReader.h"
#include "engine/core/q3DError.h"
#include "engine/filesystem/PackFile.h"
#include "engine/material/VertexLayout.h"
#include "engine/sprite/Sprite.h"
#include "engine/sprite/SpriteNode.h"
#include "media/Sound2D.h"
#include "renderer/Device.h"
#include "engine/core/MersenneTwister.h"
#include "world/World.h"

namespace {

bool Finite(std::initializer_list<float> values)
{
    return std::all_of(values.begin(), values.end(), [](float v) { return std::isfinite(v); });
}

std::uint32_t Grey(float level, float alpha)
{
    const auto channel = [](float v) { return std::uint32_t(std::clamp(v, 0.0f, 1.0f) * 255.0f); };
    const std::uint32_t g = channel(level);
    return channel(alpha) << 24 | g << 16 | g << 8 | g;
}

} // namespace

Weather::Weather()
{
    // Until the mission hands over its generator, a private one keeps the weather going.
    auto own = std::make_shared<MersenneTwister>(4357u);
    random = [own] { return own->Next(); };
}

Weather::~Weather() { Release(); }

void Weather::Init(float x, float y, float z)
{
    Release();
    centre = Vector3(x, y, z);
    type = None;
    creationRate[0] = creationRate[1] = 0.0f;
    radius = 100.0f;
    intervalDuration = 1.0f, intervalSpread = 0.5f;
    minimumCount = maximumCount = currentCount = targetCount = 0;
    transitionRate = 1;
    transitionTimer = 0.0f;
    velocityMinimum = velocityMaximum = meanVelocity = velocity = Vector3(0.0f, -48.0f, 0.0f);
    fallDirection = Vector3(0.0f, -1.0f, 0.0f);
    horizontalSpeed = 0.0f;
    brightnessBase = 0.4f, brightnessTop = 0.8f;
    intervalTimer = driftTimer = 0.0f;
    gust = Vector3();
    gustProgress = 0.0f;
    gustTimer = (FRandom() + 1.0f) * 20.0f;
    boltIndex = 0;
    strikeBase = strikeSpread = strikeTimer = flashTimer = flashDuration = 0.0f;
    lastThunder = -1;
}

void Weather::Load(const char* name, float newOffsetX, float newOffsetZ)
{
    if (!device)
        if (World* world = World::Current())
            device = world->device;
    if (!camera)
        if (World* world = World::Current())
            camera = world->camera;
    offsetX = newOffsetX;
    offsetZ = newOffsetZ;
    char path[512];
    std::snprintf(path, sizeof(path), "%s.sgd", name ? name : "");
    LoadCoverGrid(path);
    std::snprintf(path, sizeof(path), "%s.wfx", name ? name : "");
    LoadKeywords(path);

    particleMaterial = Material();
    particleMaterial.srcBlend = BlendSrcAlpha;
    particleMaterial.destBlend = BlendInvSrcAlpha;
    particleMaterial.lightingMode = 0;
    particles.assign(std::size_t(std::max(maximumCount, 0)), WeatherParticle());
    for (int i = 0; i < int(particles.size()); ++i)
        ResetParticle(i, true);
    meanVelocity = velocity = (velocityMinimum + velocityMaximum) * 0.5f;
    if (type == Rain || type == Snow) {
        StartInterval();
        if (particleSound) {
            particleSound->loopCount = 0;
            particleSoundHandle = particleSound->Play(CountShare() * 0.7f, 0);
        }
    }
}

bool Weather::LoadCoverGrid(const char* path)
{
    gridWidth = gridHeight = 0;
    grid.clear();
    std::vector<std::uint8_t> bytes;
    if (!PackFileReadAll(path, bytes))
        return false;
    LittleEndianReader in(bytes.data(), bytes.size());
    const std::uint64_t width = in.U32(), height = in.U32();
    // The sizes come from the file: the grid must be there in full before any look-up trusts them.
    if (in.Failed() || width == 0 || height == 0 || in.Remaining() / 2 < width * height) {
        if (device)
            device->Log("Weather: cover grid %s is damaged (%llu x %llu entries in %zu bytes), not used", path,
                        static_cast<unsigned long long>(width), static_cast<unsigned long long>(height), bytes.size());
        return false;
    }
    grid.resize(std::size_t(width * height));
    for (std::uint16_t& entry : grid)
        entry = in.U16();
    gridWidth = std::uint32_t(width);
    gridHeight = std::uint32_t(height);
    return true;
}

void Weather::LoadKeywords(const char* path)
{
    PackFile* file = PackFileOpen(path, "rt");
    if (!file)
        return;
    char line[256];
    while (PackFileGets(line, sizeof(line), file)) {
        line[std::strcspn(line, "\r\n")] = '\0';
        if (!line[0])
            break;
        ParseLine(line);
    }
    PackFileClose(file);
}

std::unique_ptr<SpriteNode> Weather::LoadSprite(const char* name, bool quad)
{
    if (!name || !name[0] || std::strcmp(name, "null") == 0 || !device)
        return nullptr;
    auto node = std::make_unique<SpriteNode>();
    try {
        node->Load(device, name);
    } catch (const q3DError& error) {
        device->Log("Weather: %s", error.GetText());
        return nullptr;
    }
    node->billboard = quad ? 1 : 0;
    return node;
}

void Weather::ParseLine(const char* line)
{
    char keyword[256] = {}, a[256] = {}, b[256] = {}, c[256] = {};
    if (std::sscanf(line, "%255s", keyword) != 1)
        return;
    const char* values = line + std::strspn(line, " \t");
    values += std::strlen(keyword);
    float f[3] = {};
    int n[2] = {};
    const auto floats = [&](int count) {
        const int read = std::sscanf(values, "%f %f %f", &f[0], &f[1], &f[2]);
        if (read >= count && Finite({f[0], count > 1 ? f[1] : 0.0f, count > 2 ? f[2] : 0.0f}))
            return true;
        if (device)
            device->Log("Weather: bad values in \"%s\", line ignored", line);
        return false;
    };
    const int names = std::sscanf(values, "%255s %255s %255s", a, b, c);
    if (std::strcmp(keyword, "PRECIPITATION_TYPE") == 0) {
        if (std::strcmp(a, "RAIN") == 0)
            type = Rain;
        else if (std::strcmp(a, "SNOW") == 0)
            type = Snow;
    } else if (std::strcmp(keyword, "CREATION_RATE") == 0) {
        if (floats(2))
            creationRate[0] = f[0], creationRate[1] = f[1];
    } else if (std::strcmp(keyword, "PRECIPITATION_RADIUS") == 0) {
        if (floats(1))
            radius = f[0];
    } else if (std::strcmp(keyword, "PRECIPITATION_COLLISION_SPRITE") == 0) {
        collisionSprites[0] = LoadSprite(names >= 1 ? a : nullptr, true);
        collisionSprites[1] = LoadSprite(names >= 2 ? b : nullptr, true);
    } else if (std::strcmp(keyword, "PRECIPITATION_DROP_SPRITE") == 0) {
        dropSprites[0] = LoadSprite(names >= 1 ? a : nullptr, true);
        dropSprites[1] = LoadSprite(names >= 2 ? b : nullptr, true);
    } else if (std::strcmp(keyword, "PRECIPITATION_INTERVAL_DURATION") == 0) {
        if (floats(2))
            intervalDuration = f[0] * 60.0f, intervalSpread = f[1] * 60.0f;
    } else if (std::strcmp(keyword, "LIGHTNING_INTERVAL") == 0) {
        if (floats(2)) {
            strikeBase = f[0], strikeSpread = f[1];
            strikeTimer = strikeBase;
        }
    } else if (std::strcmp(keyword, "LIGHTNING_SPRITE") == 0) {
        for (int i = 0; i < 2; ++i) {
            bolts[i] = LoadSprite(names > i ? (i == 0 ? a : b) : nullptr, false);
            if (bolts[i]) {
                bolts[i]->material->srcBlend = BlendSrcAlpha;
                bolts[i]->material->destBlend = BlendOne;
                bolts[i]->material->lightingMode = 0;
                bolts[i]->alpha = 0.0f;
            }
        }
        CreateOverlay();
    } else if (std::strcmp(keyword, "LIGHTNING_DURATION") == 0) {
        if (floats(1))
            flashDuration = f[0];
    } else if (std::strcmp(keyword, "LIGHTNING_SOUND_EFFECT") == 0) {
        thunderCount = 0;
        for (int i = 0; i < 3 && i < names; ++i) {
            const char* sound = i == 0 ? a : i == 1 ? b : c;
            if (std::strcmp(sound, "null") == 0 || !soundSystem)
                continue;
            auto loaded = std::make_unique<Sound2D>();
            if (loaded->Create(soundSystem, sound) < 0) {
                if (device)
                    device->Log("Weather: Can't load %s", sound);
                continue;
            }
            loaded->volume = 1.0f;
            thunder[thunderCount++] = std::move(loaded);
        }
    } else if (std::strcmp(keyword, "PRECIPITATION_NUM_PARTICLES") == 0) {
        if (std::sscanf(values, "%d %d", &n[0], &n[1]) == 2) {
            // A minimum of INT_MIN has no absolute value; the pool is bounded anyway.
            int low = n[0] == INT32_MIN ? kMaxParticles : std::abs(n[0]);
            int high = n[1] == INT32_MIN ? kMaxParticles : std::abs(n[1]);
            if (low > high)
                std::swap(low, high);
            if (low == high)
                ++high;
            if (high > kMaxParticles) {
                if (device)
                    device->Log("Weather: %d particles asked, %d used", high, kMaxParticles);
                high = kMaxParticles;
                low = std::min(low, high);
            }
            minimumCount = low, maximumCount = high;
        }
    } else if (std::strcmp(keyword, "PRECIPITATION_TRANSITION_RATE") == 0) {
        if (std::sscanf(values, "%d", &n[0]) == 1)
            transitionRate = std::clamp(n[0], -kMaxParticles, kMaxParticles);
    } else if (std::strcmp(keyword, "PRECIPITATION_VELOCITY_RANGE_MIN") == 0) {
        if (floats(3))
            velocityMinimum = Vector3(f[0], f[1], f[2]);
    } else if (std::strcmp(keyword, "PRECIPITATION_VELOCITY_RANGE_MAX") == 0) {
        if (floats(3))
            velocityMaximum = Vector3(f[0], f[1], f[2]);
    } else if (std::strcmp(keyword, "PRECIPITATION_PARTICLE_SOUND_EFFECT") == 0) {
        if (names >= 1 && std::strcmp(a, "null") != 0 && soundSystem) {
            particleSound = std::make_unique<Sound2D>();
            if (particleSound->Create(soundSystem, a) < 0) {
                particleSound.reset();
                if (device)
                    device->Log("Can't load %s", a);
                throw q3DError("Can't load %s", a);
            }
        }
    } else if (std::strcmp(keyword, "PRECIPITATION_BRIGHTNESS") == 0) {
        if (floats(2))
            brightnessBase = f[0], brightnessTop = f[1];
    }
}

void Weather::CreateOverlay()
{
    if (overlay || !device)
        return;
    auto sprite = std::make_unique<Sprite>();
    D3DBitmap* bitmap = nullptr;
    device->CreateBitmap(&bitmap);
    if (!bitmap || bitmap->Create("lightningoverlaybitmap", 32, 32, FormatR5G6B5, 0) < 0) {
        device->Log("Weather: can't create the lightning overlay: %s",
                    bitmap && bitmap->GetLastError() ? bitmap->GetLastError() : "no bitmap");
        if (bitmap)
            bitmap->Destroy();
        return;
    }
    std::int32_t pitch = 0;
    if (auto* texels = static_cast<std::uint8_t*>(bitmap->LockLevel(0, &pitch, true))) {
        for (int y = 0; y < 32; ++y)
            std::memset(texels + std::size_t(y) * std::size_t(pitch), 255, std::size_t(32 * 2));
        bitmap->UnlockLevel();
    }
    sprite->material.texture[0] = bitmap;
    sprite->ownsTexture = true;
    sprite->material.srcBlend = BlendSrcAlpha;
    sprite->material.destBlend = BlendOne;
    sprite->material.lightingMode = 0;
    sprite->width = 32;
    sprite->height = 32;
    sprite->scale = 1.0f;
    overlay = std::move(sprite);
}

float Weather::CountShare() const { return maximumCount > 0 ? float(currentCount) / float(maximumCount) : 0.0f; }

void Weather::UpdateSoundVolume()
{
    if (particleSound && particleSoundHandle >= 0)
        particleSound->SetVolume(CountShare() * 0.7f, particleSoundHandle);
}

int Weather::GridHeight(float x, float z, bool* covered) const
{
    if (covered)
        *covered = false;
    if (grid.empty())
        return 0;
    const float fx = (x + offsetX) * 0.25f, fz = (z + offsetZ) * 0.25f;
    // Also refuses NaN and the last half entry, which would round past the grid.
    if (!(fx >= 0.0f && fz >= 0.0f && fx < float(gridWidth) && fz < float(gridHeight)))
        return 0;
    const std::uint32_t i = std::uint32_t(fx + 0.5f), k = std::uint32_t(fz + 0.5f);
    if (i >= gridWidth || k >= gridHeight)
        return 0;
    const std::uint16_t value = grid[std::size_t(i) * gridHeight + k];
    if (value & kCovered) {
        if (covered)
            *covered = true;
        return value - kCovered;
    }
    return value;
}

void Weather::ResetParticle(int index, bool fresh)
{
    if (index < 0 || index >= int(particles.size()))
        return;
    WeatherParticle& particle = particles[std::size_t(index)];
    particle.position = centre;
    if (type == Rain)
        particle.position.y += float(fresh ? 1 + Random() % 57 : 40 + Random() % 18);
    else if (type == Snow)
        particle.position.y += float(fresh ? 1 + Random() % 78 : 60 + Random() % 19);
    particle.position.x += (float(Random() % 1000) - 500.0f) * radius * 0.001f;
    particle.position.z += (float(Random() % 1000) - 500.0f) * radius * 0.001f;
    if (type == Rain) {
        for (WeatherLineVertex& v : particle.line)
            v = WeatherLineVertex{{particle.position.x, particle.position.y, particle.position.z}, 0, {0, 0, 0, 0}};
        particle.line[1].colour = Grey(brightnessTop, 0.04f);
        particle.line[0].colour = Grey(brightnessBase + float(Random() % 1000) * 0.001f * 0.25f, 0.7f);
    }
    bool covered = false;
    particle.stopHeight = float(GridHeight(particle.position.x, particle.position.z, &covered));
    particle.covered = covered;
}

void Weather::StartInterval()
{
    if (type != Rain && type != Snow)
        return;
    intervalTimer = (float(Random() % 1000) - 500.0f) * intervalSpread * 0.002f + intervalDuration;
    const int spread = maximumCount - minimumCount;
    targetCount = minimumCount + (spread > 0 ? int(Random() % std::uint32_t(spread)) : 0);
    transitionTimer = 0.0f;
    if (currentCount == 0)
        currentCount = targetCount;
}

Vector3 Weather::CameraForward() const
{
    return camera ? Vector3(camera->world.m[8], camera->world.m[9], camera->world.m[10]) : Vector3(0, 0, 1);
}

void Weather::Update(const WeatherStep& step)
{
    float dt = step.dt;
    if (missionResult && missionResult() != 0 && device)
        dt = float(device->GetFrameTime()) * 0.001f;
    if (!HasGrid())
        return;
    centre = Vector3(step.x, step.y, step.z);

    // Any loaded bolt keeps the lightning going: a strike on a missing one only draws nothing.
    if (bolts[0] || bolts[1]) {
        strikeTimer -= dt;
        if (strikeTimer < 0.0f) {
            boltIndex = int(Random() & 1);
            const float turn = FRandom() * 1.5707964f - 0.7853982f;
            const Vector3 forward = CameraForward();
            const float c = std::cos(turn), s = std::sin(turn);
            const Vector3 direction(forward.x * c + forward.z * s, 0.0f, -forward.x * s + forward.z * c);
            const float far = camera ? camera->GetFar() : 1000.0f;
            boltPosition.x = centre.x + direction.x * (far - 10.0f);
            boltPosition.z = centre.z + direction.z * (far - 10.0f);
            boltPosition.y = FRandom() * 30.0f + centre.y + 120.0f;
            const float size = FRandom() * 0.8f + 0.4f;
            if (bolts[boltIndex]) {
                bolts[boltIndex]->scale = Vector3(size, size, size);
                bolts[boltIndex]->position = boltPosition;
            }
            if (thunderCount > 0) {
                lastThunder = int(Random() % std::uint32_t(thunderCount));
                thunder[lastThunder]->Play();
            }
            flashTimer = flashDuration;
            strikeTimer = FRandom() * strikeSpread + strikeBase;
        }
    }
    if (flashTimer > 0.0f) {
        flashTimer = std::max(flashTimer - dt, 0.0f);
        if (bolts[boltIndex])
            bolts[boltIndex]->alpha = flashDuration > 0.0f ? flashTimer / flashDuration : 0.0f;
    }

    if (particles.empty())
        return;

    gustTimer -= dt;
    if (gustTimer < 0.0f) {
        gust = Vector3((FRandom() - 0.5f) * 20.0f + 30.0f, 0.0f, (FRandom() - 0.5f) * 20.0f + 30.0f);
        gustProgress = 0.0f;
        gustTimer = FRandom() * 5.0f + 10.0f;
    }
    if (gustProgress < 1.0f) {
        gust = gust - gust * gustProgress;
        velocity = meanVelocity + gust;
        fallDirection = velocity;
        fallDirection.Normalize();
        horizontalSpeed = std::sqrt(velocity.x * velocity.x + velocity.z * velocity.z);
    } else {
        gust = Vector3();
    }
    if (gustTimer < 40.0f)
        gustProgress += dt * 0.025f;

    if (type == Rain || type == Snow) {
        driftTimer -= dt;
        if (driftTimer < 0.0f) {
            driftTimer += 10.0f;
            for (int axis = 0; axis < 3; ++axis) {
                float& mean = (&meanVelocity.x)[axis];
                mean += (float(Random() % 1000) - 500.0f) * 0.001f * 5.0f;
                const float low = std::min((&velocityMinimum.x)[axis], (&velocityMaximum.x)[axis]);
                const float high = std::max((&velocityMinimum.x)[axis], (&velocityMaximum.x)[axis]);
                mean = std::clamp(mean, low, high);
            }
            velocity = meanVelocity;
            horizontalSpeed = std::sqrt(velocity.x * velocity.x + velocity.z * velocity.z);
            fallDirection = meanVelocity;
            fallDirection.Normalize();
        }
    }

    if (currentCount != targetCount) {
        transitionTimer += dt;
        if (transitionTimer > 0.1f) {
            transitionTimer -= 0.1f;
            const int rate = std::abs(transitionRate);
            currentCount = currentCount < targetCount ? std::min(currentCount + rate, targetCount)
                                                      : std::max(currentCount - rate, targetCount);
            UpdateSoundVolume();
        }
    }

    intervalTimer -= dt;
    if (intervalTimer < 0.0f)
        StartInterval();

    World* world = World::Current();
    const int active = std::clamp(currentCount, 0, int(particles.size()));
    for (int i = 0; i < active; ++i) {
        WeatherParticle& particle = particles[std::size_t(i)];
        if (particle.splashTimer > 0.0f)
            particle.splashTimer -= dt;
        const Vector3 stepped = velocity * dt;
        particle.position = particle.position + stepped;
        if (type == Rain) {
            const Vector3& p = particle.position;
            for (WeatherLineVertex& v : particle.line)
                v.position[0] = p.x, v.position[1] = p.y, v.position[2] = p.z;
            const float length = float(Random() % 1000) * 0.001f * 1.4f + 0.1f;
            particle.line[0].position[0] += fallDirection.x * length;
            particle.line[0].position[1] += fallDirection.y * length;
            particle.line[0].position[2] += fallDirection.z * length;
        } else if (type == Snow) {
            particle.position.x += (float(Random() % 1000) - 500.0f) * 0.001f * stepped.x;
            particle.position.y += (float(Random() % 1000) - 500.0f) * 0.001f * stepped.y * 0.16666667f;
            particle.position.z += (float(Random() % 1000) - 500.0f) * 0.001f * stepped.z;
        }
        if (std::fabs(stepped.x) > 0.01f || std::fabs(stepped.z) > 0.01f) {
            bool covered = false;
            particle.stopHeight = float(GridHeight(particle.position.x, particle.position.z, &covered));
            particle.covered = covered;
            if (world && !world->patches.empty())
                particle.stopHeight = std::max(particle.stopHeight, world->GetWaterHeight(particle.position));
        }
        if (particle.position.y < particle.stopHeight) {
            if (Random() % 5 == 0) {
                particle.splashTimer = 0.41f;
                particle.splash = Vector3(particle.position.x, particle.stopHeight, particle.position.z);
            }
            ResetParticle(i, false);
        }
    }
}

void Weather::Render()
{
    if (!device || !camera)
        return;
    const Vector3 eye = camera->world.GetTranslation();
    const Vector3 forward = CameraForward();
    const float cone = type == Snow ? 0.4f : 0.72f;
    const auto inView = [&](const Vector3& p) {
        Vector3 to = p - eye;
        to.Normalize();
        return forward.Dot(to) > cone;
    };
    const int active = std::clamp(currentCount, 0, int(particles.size()));
    const Matrix4 identity;
    if (type == Rain && active > 0) {
        // One draw for all streaks: they share one material.
        std::vector<WeatherLineVertex> lines;
        lines.reserve(std::size_t(active) * 2);
        for (int i = 0; i < active; ++i)
            if (inView(particles[std::size_t(i)].position))
                lines.insert(lines.end(), particles[std::size_t(i)].line, particles[std::size_t(i)].line + 2);
        if (!lines.empty()) {
            VertexLayout layout;
            layout.InitColoredTextured2();
            device->SetWorldTransform(&identity);
            device->DrawUserPrimitives(PrimLineList, lines.data(), int(lines.size()), &layout, nullptr, 0,
                                       &particleMaterial);
        }
    } else if (type == Snow && dropSprites[0]) {
        for (int i = 0; i < active; ++i) {
            const WeatherParticle& particle = particles[std::size_t(i)];
            if (!inView(particle.position))
                continue;
            const float d2 = particle.position.DistanceSquared(eye);
            dropSprites[0]->alpha = radius > 0.0f ? std::max(0.0f, 1.0f - d2 / (radius * radius)) : 0.0f;
            dropSprites[0]->position = particle.position;
            dropSprites[0]->UpdateTransform(0.0f);
            dropSprites[0]->Draw(device);
        }
    }
    if (type == Rain && collisionSprites[0]) {
        for (int i = 0; i < active; ++i) {
            WeatherParticle& particle = particles[std::size_t(i)];
            if (particle.splashTimer <= 0.0f)
                continue;
            if (!inView(particle.splash)) {
                particle.splashTimer = 0.0f;
                continue;
            }
            collisionSprites[0]->position = particle.splash + Vector3(0.0f, 0.3f, 0.0f);
            collisionSprites[0]->alpha = particle.splashTimer * 1.2195122f;
            collisionSprites[0]->UpdateTransform(0.0f);
            device->SetZEnable(false);
            collisionSprites[0]->Draw(device);
            device->SetZEnable(true);
        }
    }
    if (overlay && bolts[boltIndex] && bolts[boltIndex]->alpha != 0.0f) {
        overlay->alpha = std::max(bolts[boltIndex]->alpha * 0.5f, 0.0f);
        overlay->x = overlay->y = 0;
        // Stretched over the whole target.
        overlay->scale = float(std::max(device->GetTargetWidth(), device->GetTargetHeight())) / 32.0f;
        overlay->Draw(device);
    }
}

void Weather::RenderEffectNode()
{
    SpriteNode* bolt = bolts[boltIndex].get();
    if (!HasGrid() || !bolt || bolt->alpha == 0.0f || !device)
        return;
    const Matrix4 identity;
    device->SetWorldTransform(&identity);
    bolt->position = boltPosition;
    bolt->rotation = Matrix3();
    bolt->UpdateTransform(0.0f);
    bolt->Draw(device);
}

void Weather::Release()
{
    grid.clear();
    gridWidth = gridHeight = 0;
    particles.clear();
    currentCount = targetCount = 0;
    overlay.reset();
    for (auto& bolt : bolts)
        bolt.reset();
    for (auto& sound : thunder) {
        if (sound)
            sound->Destroy();
        sound.reset();
    }
    thunderCount = 0;
    for (auto& sprite : collisionSprites)
        sprite.reset();
    for (auto& sprite : dropSprites)
        sprite.reset();
    if (particleSound) {
        if (particleSoundHandle >= 0)
            particleSound->Stop(particleSoundHandle);
        particleSound->Destroy();
    }
    particleSound.reset();
    particleSoundHandle = -1;
}
