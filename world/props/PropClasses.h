#pragma once

#include <cstdint>

#include "engine/core/Matrix.h"
#include "engine/core/Quaternion.h"
#include "world/props/Prop.h"

class D3DLight;
class qMesh;
class World;
struct LibraryEntry;

// Registers the world's own property keywords (the constructor of World calls it).
void RegisterWorldPropKeywords(World& world);
// True when a property text of the entry starts with exactly this word (case-sensitive).
bool MapObjectHasExactWord(const LibraryEntry* entry, const char* word);

// The user-data slot of a library entry whose record (a struct starting with its PropFactory kind)
// belongs to the kind; else, with *fresh set, the first free slot; -1 when all five are taken.
struct LibraryObject;
int FindUserDataSlot(const LibraryObject* library, PropFactory kind, bool* fresh);

// Factories; each is also the kind of the props it makes.
Prop* AmbOnlyPropFactory();
Prop* DensityPropFactory();
Prop* DetailPropFactory();
Prop* DistScalePropFactory();
Prop* DrawDistPropFactory();
Prop* GlowPropFactory();
Prop* ParticlePropFactory();
Prop* ShadowTexPropFactory();
Prop* IndoorShadePropFactory();
Prop* InvisiblePropFactory();
Prop* LodPropFactory();
Prop* LightPropFactory();
Prop* MovePropFactory();
Prop* RotatePropFactory();
Prop* SwayPropFactory();
Prop* YBobPropFactory();
Prop* NoSortPropFactory();
Prop* FullbrightPropFactory();
Prop* TakeShadowPropFactory();
Prop* SwayProxPropFactory();

class MoveProp : public Prop {
public:
    std::uint32_t Parse(MapObject* object, const char* line) override;
    void Update(MapObject* object, float dt) override;
    void Detach(MapObject* object) override;
    std::uint32_t GetFlags() override { return PropUpdate; }
    float speed = 0.0f;
    bool random = false, once = false;
    Vector3 start;
};

class LightProp : public Prop {
public:
    ~LightProp() override;
    std::uint32_t Parse(MapObject* object, const char* line) override;
    void UpdateNearCamera(MapObject* object, float dt) override;
    void Detach(MapObject* object) override;
    std::uint32_t GetFlags() override { return PropNearCamera; }
    D3DLight* light = nullptr;
    float range = 0.0f;
    float colour[3] = {};
    bool flicker = false;
    int minPhase = 0, maxPhase = 0, phaseStart = 0, phaseLength = 0, phase = 0;
    float low = 0.0f, high = 1.0f;
};

class DrawDistProp : public Prop {
public:
    std::uint32_t Parse(MapObject* object, const char* line) override;
    void PostDraw(MapObject* object, float dt) override;
    std::uint32_t GetFlags() override { return PropPostDraw; }
    float distanceSquared = 0.0f;
    char name[256] = {};
    MapObject* reference = nullptr;
    bool searched = false;
};

class IndoorShadeProp : public Prop {
public:
    std::uint32_t Parse(MapObject* object, const char* line) override { return PropPostDraw; }
    void PostDraw(MapObject* object, float dt) override;
    std::uint32_t GetFlags() override { return PropPostDraw; }
    std::int64_t lightValue = -1;
    Vector3 lastPosition{3.4e38f, 0.0f, 0.0f};
    bool checked = false;
};

class SwayProxProp : public Prop {
public:
    std::uint32_t Parse(MapObject* object, const char* line) override;
    void PreDraw(MapObject* object, float dt) override;
    void PostDraw(MapObject* object, float dt) override;
    std::uint32_t GetFlags() override { return PropPreDraw | PropPostDraw; }
    void Trigger() { amplitude = 1.0f; }
    // Both act on the current world, which keeps the watched point with its level.
    static void ClearGlobalFlag();
    // The point the character code watches (the local player), or null for plain swaying.
    static void SetWatchedPoint(const Vector3* point);
    float radius = 0.0f, amplitude = 0.0f, phase = 0.0f, minimumAngle = 0.0f, maximumAngle = 0.0f;
    Quaternion rest;

private:
    void Step(MapObject* object, float dt);
};

