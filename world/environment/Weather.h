#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/core/Vector.h"
#include "engine/material/Material.h"

class Camera;
class Device;
class Sound2D;
class SoundSystem;
class Sprite;
class SpriteNode;

// One frame's input of the weather: the step in seconds and the camera position.
struct WeatherStep {
    float dt = 0.0f;
    float x = 0.0f, y = 0.0f, z = 0.0f;
};

// One vertex of a rain streak: position, colour, two uv sets (32 bytes).
struct WeatherLineVertex {
    float position[3];
    std::uint32_t colour;
    float uv[4];
};
static_assert(sizeof(WeatherLineVertex) == 32);

struct WeatherParticle {
    Vector3 position;
    float stopHeight = 0.0f;
    std::uint8_t covered = 0;
    WeatherLineVertex line[2] = {}; // the head, then the tail of a rain streak
    float splashTimer = 0.0f;
    Vector3 splash;
};

// Rain or snow around the camera with lightning: a keyword file ("<name>.wfx") and a cover grid
// ("<name>.sgd"). Particles fall with a drifting, gusting velocity, stop on cover or water, may
// splash, and lightning flashes at random intervals with a bolt, a white overlay and thunder.
class Weather {
public:
    enum Type { None = 0, Rain = 1, Snow = 2 };
    static constexpr int kMaxParticles = 20000; // a larger pool asked by a file is cut to this
    static constexpr std::uint16_t kCovered = 0x4000;

    using RandomSource = std::function<std::uint32_t()>;
    // Non-zero once the mission has ended; the weather then steps on the device's frame time.
    using MissionResultSource = std::function<int()>;

    Weather();
    ~Weather();
    Weather(const Weather&) = delete;
    Weather& operator=(const Weather&) = delete;

    // The services the weather draws and plays with; the mission sets them before Load.
    Device* device = nullptr;
    SoundSystem* soundSystem = nullptr;
    Camera* camera = nullptr;
    // Draws of randomMT; frandomMT is a draw / 2^32.
    void SetRandomSource(RandomSource source) { random = std::move(source); }
    void SetMissionResultSource(MissionResultSource source) { missionResult = std::move(source); }

    void Init(float x, float y, float z);
    // Reads "<name>.sgd", then "<name>.wfx"; throws q3DError only for a particle sound that does
    // not load. Bad files are logged and read as far as they are valid.
    void Load(const char* name, float offsetX, float offsetZ);
    // The cover height of the grid entry under a world point; 0 outside the grid or without one.
    int GridHeight(float x, float z, bool* covered) const;
    void ResetParticle(int index, bool fresh);
    void StartInterval();
    void Update(const WeatherStep& step);
    void Render();
    void RenderEffectNode();
    void Release();

    bool HasGrid() const { return gridWidth > 0; }
    float FRandom() { return float(double(Random()) / 4294967296.0); }

    // Cover grid.
    std::uint32_t gridWidth = 0, gridHeight = 0;
    std::vector<std::uint16_t> grid;
    float offsetX = 0.0f, offsetZ = 0.0f;

    Vector3 centre;
    int type = None;
    float creationRate[2] = {};
    float radius = 100.0f;
    float intervalDuration = 1.0f, intervalSpread = 0.5f;
    int minimumCount = 0, maximumCount = 0, transitionRate = 1;
    int currentCount = 0, targetCount = 0;
    float transitionTimer = 0.0f;
    Vector3 velocityMinimum{0.0f, -48.0f, 0.0f}, velocityMaximum{0.0f, -48.0f, 0.0f};
    Vector3 meanVelocity{0.0f, -48.0f, 0.0f}, velocity{0.0f, -48.0f, 0.0f};
    Vector3 fallDirection{0.0f, -1.0f, 0.0f};
    float horizontalSpeed = 0.0f;
    float brightnessBase = 0.4f, brightnessTop = 0.8f;
    float intervalTimer = 0.0f, driftTimer = 0.0f;
    Vector3 gust;
    float gustProgress = 0.0f, gustTimer = 20.0f;
    std::vector<WeatherParticle> particles;
    Material particleMaterial;

    std::unique_ptr<Sound2D> particleSound;
    int particleSoundHandle = -1;
    std::unique_ptr<SpriteNode> collisionSprites[2];
    std::unique_ptr<SpriteNode> dropSprites[2];

    // Lightning.
    std::unique_ptr<Sound2D> thunder[3];
    int thunderCount = 0;
    std::unique_ptr<SpriteNode> bolts[2];
    std::unique_ptr<Sprite> overlay;
    int boltIndex = 0;
    Vector3 boltPosition;
    float strikeBase = 0.0f, strikeSpread = 0.0f;
    float strikeTimer = 0.0f, flashTimer = 0.0f, flashDuration = 0.0f;
    int lastThunder = -1; // index of the thunder played by the last strike

private:
    std::uint32_t Random() { return random(); }
    bool LoadCoverGrid(const char* path);
    void LoadKeywords(const char* path);
    void ParseLine(const char* line);
    std::unique_ptr<SpriteNode> LoadSprite(const char* name, bool quad);
    void CreateOverlay();
    void UpdateSoundVolume();
    float CountShare() const; // current / maximum, 0 for an empty pool
    Vector3 CameraForward() const;

    RandomSource random;
    MissionResultSource missionResult;
};
