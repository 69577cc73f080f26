// The props that draw something of their own: glow sprites, particle emitters and shadow quads.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <strings.h>

#include "engine/camera/Camera.h"
#include "engine/core/q3DError.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "engine/mesh/qMesh.h"
#include "engine/particle/qParticle.h"
#include "engine/sprite/Sprite.h"
#include "engine/sprite/SpriteNode.h"
#include "renderer/Device.h"
#include "world/props/PropArena.h"
#include "world/props/PropClasses.h"
#include "world/props/PropLine.h"
#include "world/World.h"

namespace {

// A number of the line that was not finite or too large is logged once, with the line.
void LogProblem(World* world, const PropLine& words, const char* line)
{
    if (words.Problem())
        world->device->Log("\"%s\": %s", line, words.Problem());
}

// Only opaque surfaces hide a glow.
bool OpaqueOnly(D3DPrim* prim, HitResult&, int*, int*, int*)
{
    const Material* material = prim ? prim->material : nullptr;
    return !material || (material->srcBlend == BlendOne && material->destBlend == BlendZero);
}

} // namespace

class GlowProp : public Prop {
public:
    std::uint32_t Parse(MapObject*, const char* line) override
    {
        PropLine words(line);
        World* world = World::Current();
        if (!words.Word(1) || !world || !world->device)
            return PropOneShot;
        sprite = std::make_unique<SpriteNode>();
        sprite->Load(world->device, world->InBase(words.Word(1)).c_str());
        if (sprite->material) {
            sprite->material->srcBlend = BlendSrcAlpha;
            sprite->material->destBlend = BlendOne;
        }
        for (int i = 0; i < 3; ++i)
            if (words.IsNumber(2 + i))
                words.Number(2 + i, offset[i]);
        LogProblem(world, words, line);
        return PropPostDraw;
    }
    void PostDraw(MapObject* object, float) override
    {
        World* world = World::Current();
        Camera* camera = world ? world->camera : nullptr;
        if (!sprite || !camera)
            return;
        if (object->hidden) {
            seen = false;
            return;
        }
        if (!seen)
            timer = 0.0f;
        seen = true;
        Matrix4 transform;
        object->GetTransform(transform);
        sprite->position = offset;
        sprite->SetParent(world->drawNode);
        world->drawNode->world = transform;
        sprite->UpdateTransform(0.0f);
        sprite->Detach();
        const Vector3 eye = camera->world.GetTranslation();
        const Vector3 forward(camera->world.m[8], camera->world.m[9], camera->world.m[10]);
        const Vector3 v = sprite->world.GetTranslation() - eye;
        const float far = camera->GetFar();
        bool visible = v.Dot(forward) >= 0.0f && v.LengthSquared() <= 0.36f * far * far && v.LengthSquared() >= 81.0f;
        if (visible) {
            HitResult ray;
            ray.Clear();
            ray.origin = eye;
            ray.direction = v;
            ray.direction.Normalize();
            PickResult hit;
            if (world->Pick(ray, &hit, far, OpaqueOnly) && hit.distance > 0.0f && hit.distance < v.Length())
                visible = false;
        }
        if (visible) {
            timer = 300.0f;
        } else {
            timer -= float(world->device->GetFrameTime());
            if (timer <= 0.0f)
                return;
        }
        Device* device = world->device;
        sprite->alpha = timer * 0.0033333334f;
        const bool fog = device->GetFogEnable();
        device->SetZWrite(false);
        device->SetZEnable(false);
        device->SetFogEnable(false);
        sprite->Draw(device);
        device->SetFogEnable(fog);
        device->SetZWrite(true);
        device->SetZEnable(true);
    }
    void Detach(MapObject*) override { sprite.reset(); }
    std::uint32_t GetFlags() override { return PropPostDraw; }

    std::unique_ptr<SpriteNode> sprite;
    Vector3 offset;
    float timer = 0.0f;
    bool seen = false;
};

class ParticleProp : public Prop {
public:
    std::uint32_t Parse(MapObject*, const char* line) override
    {
        PropLine words(line);
        World* world = World::Current();
        if (!words.Word(1) || !world || !world->device)
            return PropOneShot;
        system = std::make_unique<qParticle>();
        try {
            system->Load(world->device, world->InBase(words.Word(1)).c_str());
        } catch (const q3DError& error) {
            world->device->Log("%s", error.GetText());
            if (world->frozen) {
                system.reset();
                world->loadError = true;
                return PropOneShot;
            }
            throw;
        }
        int next = 2;
        for (int i = 0; i < 3 && words.IsNumber(next); ++i, ++next)
            words.Number(next, offset[i]);
        LogProblem(world, words, line);
        for (; words.Word(next); ++next)
            if (strcasecmp(words.Word(next), "HIDEWITHOBJECT") == 0)
                hideWithObject = true;
        return PropPostDraw;
    }
    void PostDraw(MapObject* object, float dt) override
    {
        World* world = World::Current();
        if (!system || !world || (object->hidden && hideWithObject))
            return;
        Matrix4 transform;
        object->GetTransform(transform);
        system->SetParent(world->drawNode);
        world->drawNode->world = transform;
        system->position = offset;
        system->UpdateTransform(dt);
        system->Detach();
        system->Draw(world->device);
    }
    void Detach(MapObject*) override { system.reset(); }
    std::uint32_t GetFlags() override { return PropPostDraw; }

    std::unique_ptr<qParticle> system;
    Vector3 offset;
    bool hideWithObject = false;
};

class ShadowTexProp : public Prop {
public:
    ~ShadowTexProp() override { Release(); }
    std::uint32_t Parse(MapObject* object, const char* line) override
    {
        PropLine words(line);
        World* world = World::Current();
        if (!words.Word(1) || !world || !world->device)
            return std::uint32_t(-1);
        material = new Material();
        std::strcpy(material->name, "ShadowMat");
        material->SetBlendMode(13);
        material->lightingMode = 0;
        material->cullFlags = Material::kTwoSided;
        world->device->CreateBitmap(&material->texture[0]);
        if (!material->texture[0] || material->texture[0]->Load(world->InBase(words.Word(1)).c_str(), 0, 0) < 0) {
            Release();
            throw q3DError("Can't load shadow texture %s", words.Word(1));
        }
        float sx = 1.0f, sz = 1.0f;
        if (words.IsNumber(2))
            words.Number(2, sx);
        if (words.IsNumber(3))
            words.Number(3, sz);
        LogProblem(world, words, line);
        const LibraryObject* library = object->GetLibraryEntry();
        const BoundingBox box = library && library->mesh ? library->mesh->GetBoundingBox() : BoundingBox(Vector3(), Vector3());
        sizeX = (box.max.x - box.min.x) * sx;
        sizeZ = (box.max.z - box.min.z) * sz;
        const float corners[4][4] = {{-0.5f, 0.5f, 0, 0}, {0.5f, 0.5f, 1, 0}, {0.5f, -0.5f, 1, 1}, {-0.5f, -0.5f, 0, 1}};
        for (int i = 0; i < 4; ++i) {
            std::uint8_t* v = vertices + i * 32;
            const float position[3] = {corners[i][0], 0.0f, corners[i][1]};
            const std::uint32_t white = 0xFFFFFFFFu;
            std::memcpy(v, position, 12);
            std::memcpy(v + 12, &white, 4);
            std::memcpy(v + 16, &corners[i][2], 8);
        }
        return PropPreDraw;
    }
    void PreDraw(MapObject* object, float) override
    {
        World* world = World::Current();
        if (!world || !material || !world->camera)
            return;
        Device* device = world->device;
        Matrix4 transform, scale;
        object->GetTransform(transform);
        scale.MakeScale(sizeX, 1.0f, sizeZ);
        transform = scale * transform;
        transform.m[13] = object->GetPosition().y;
        const float near = world->camera->GetNear();
        world->camera->SetNear(near + 0.05f);
        device->SetSortQueueEnabled(false);
        device->SetZWrite(false);
        device->SetWorldTransform(&transform);
        VertexLayout layout;
        layout.InitColoredTextured2();
        static const std::uint16_t fan[6] = {0, 1, 2, 0, 2, 3};
        device->DrawUserPrimitives(PrimTriangleList, vertices, 4, &layout, fan, 6, material);
        world->camera->SetNear(near);
        device->SetZWrite(true);
        device->SetSortQueueEnabled(true);
    }
    void Detach(MapObject*) override { Release(); }
    std::uint32_t GetFlags() override { return PropPreDraw; }

    void Release()
    {
        if (!material)
            return;
        if (material->texture[0])
            material->texture[0]->Destroy();
        delete material;
        material = nullptr;
    }

    Material* material = nullptr;
    std::uint8_t vertices[4 * 32] = {};
    float sizeX = 1.0f, sizeZ = 1.0f;
};

Prop* GlowPropFactory() { return MakeArenaProp<GlowProp>(GlowPropFactory); }
Prop* ParticlePropFactory() { return MakeArenaProp<ParticleProp>(ParticlePropFactory); }
Prop* ShadowTexPropFactory() { return MakeArenaProp<ShadowTexProp>(ShadowTexPropFactory); }
