#include "world/props/PropClasses.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "engine/camera/Camera.h"
#include "engine/core/q3DError.h"
#include "engine/material/Material.h"
#include "engine/mesh/MeshVertices.h"
#include "engine/mesh/qMesh.h"
#include "renderer/Device.h"
#include "world/map/MapDescription.h"
#include "world/imposters/ImposterProp.h"
#include "world/props/PropArena.h"
#include "world/props/PropLine.h"
#include "world/shadows/ShadowProp.h"
#include "world/World.h"

namespace {


// strtok over a private copy of a property line.
class Tokens {
public:
    explicit Tokens(const char* line)
    {
        std::strncpy(buffer, line ? line : "", sizeof(buffer) - 1);
        buffer[sizeof(buffer) - 1] = '\0';
        next = strtok_r(buffer, " \n", &state);
    }
    const char* Take()
    {
        const char* token = next;
        if (next)
            next = strtok_r(nullptr, " \n", &state);
        return token;
    }

private:
    char buffer[256];
    char* state = nullptr;
    char* next = nullptr;
};

qMesh* MeshOf(MapObject* object)
{
    LibraryObject* library = object->GetLibraryEntry();
    return library ? library->mesh : nullptr;
}

// A number of the line that was not finite or too large is logged once, with the line.
void LogProblem(const PropLine& words, const char* line)
{
    World* world = World::Current();
    if (words.Problem() && world && world->device)
        world->device->Log("\"%s\": %s", line, words.Problem());
}

Matrix3 AxisRotation(int axis, float angle)
{
    Matrix3 m;
    if (axis < 0)
        return m;
    Vector3 unit;
    unit[axis] = 1.0f;
    m.FromAxisAngle(angle, unit);
    return m;
}

Camera* WorldCamera()
{
    World* world = World::Current();
    return world ? world->camera : nullptr;
}

class AmbOnlyProp : public Prop {
public:
    std::uint32_t Parse(MapObject*, const char*) override { return PropPreDraw; }
    void PreDraw(MapObject* object, float) override
    {
        qMesh* mesh = MeshOf(object);
        World* world = World::Current();
        if (!mesh || !world)
            return;
        if (mesh != cachedMesh) {
            for (Material* material : mesh->GetMaterials())
                material->lightingMode = 0;
            cachedMesh = mesh;
        }
        std::uint32_t ambient = 0;
        world->device->GetAmbient(&ambient);
        if (ambient != cachedAmbient) {
            mesh->SetVertexColor(ambient);
            cachedAmbient = ambient;
        }
    }
    std::uint32_t GetFlags() override { return PropPreDraw; }
    qMesh* cachedMesh = nullptr;
    std::uint32_t cachedAmbient = 0;
};

class DensityProp : public Prop {
public:
    std::uint32_t Parse(MapObject*, const char*) override
    {
        // Without a world every object is kept, as at the full density level.
        World* world = World::Current();
        if (!world)
            return PropOneShot;
        const int n = ++world->densityCounter;
        const int level = world->objectDensityLevel;
        if (level == 0 && n % 2 == 0)
            return PropReject;
        if (level == 1 && n % 4 == 0)
            return PropReject;
        return PropOneShot;
    }
    std::uint32_t GetFlags() override { return PropReject; }
};

class DetailProp : public Prop {
public:
    std::uint32_t Parse(MapObject*, const char* line) override
    {
        PropLine words(line);
        int level = 0;
        const bool read = ReadDetailLine(words, level);
        LogProblem(words, line);
        World* world = World::Current();
        if (!read || !world)
            return PropOneShot;
        return world->objectDensityLevel < level ? PropReject : PropOneShot;
    }
    std::uint32_t GetFlags() override { return PropReject; }
};

class DistScaleProp : public Prop {
public:
    std::uint32_t Parse(MapObject*, const char* line) override
    {
        PropLine words(line);
        if (!words.Number(1, factor))
            factor = 0.0f;
        LogProblem(words, line);
        return PropPreDraw;
    }
    void PreDraw(MapObject* object, float) override
    {
        World* world = World::Current();
        Camera* camera = WorldCamera();
        if (!world || !camera)
            return;
        const float far = camera->GetFar();
        const float d = camera->world.GetTranslation().Distance(object->GetPosition());
        float s = factor + (1.0f - d / far) * (1.0f - factor);
        if (s <= 0.0f)
            s = 0.01f;
        else if (s > 1.0f)
            s = 1.0f;
        Matrix4 scale;
        scale.MakeScale(s, s, s);
        world->drawNode->local = scale * world->drawNode->local;
        if (auto* move = static_cast<MoveProp*>(object->FindProp(MovePropFactory)); move && !world->frozen) {
            if (rememberedSpeed < 0.0f)
                rememberedSpeed = move->speed;
            move->speed = d < far ? s * rememberedSpeed : rememberedSpeed;
        }
        lastScale = s;
    }
    std::uint32_t GetFlags() override { return PropPreDraw; }
    float factor = 0.0f, rememberedSpeed = -1.0f, lastScale = 1.0f;
};

class InvisibleProp : public Prop {
public:
    std::uint32_t Parse(MapObject* object, const char*) override
    {
        object->hidden = true;
        return PropOneShot;
    }
    std::uint32_t GetFlags() override { return PropOneShot; }
};

class LodProp : public Prop {
public:
    std::uint32_t Parse(MapObject* object, const char* line) override
    {
        PropLine words(line);
        LodLine read;
        const bool taken = ReadLodLine(words, read);
        LogProblem(words, line);
        World* world = World::Current();
        if (!taken || !world)
            return PropOneShot;
        const char* name = read.name;
        LibraryObject* own = object->GetLibraryEntry();
        for (int i = 0; i < world->GetLibraryObjectCount(); ++i) {
            LibraryObject* candidate = world->GetLibraryObject(i);
            if (strcasecmp(candidate->entry->objectName, name) != 0)
                continue;
            // An entry that names itself would swap its mesh for itself for ever.
            if (candidate == own || (own && candidate->mesh == own->mesh)) {
                world->device->Log("LOD of %s names its own entry; ignored", name);
                return PropOneShot;
            }
            lowMesh = candidate->mesh;
            ownMesh = own ? own->mesh : nullptr;
            nearSquared = read.nearSquared;
            farSquared = read.farSquared;
            return PropPreDraw | PropPostDraw;
        }
        return PropOneShot;
    }
    void PreDraw(MapObject* object, float) override
    {
        World* world = World::Current();
        Camera* camera = WorldCamera();
        if (!world || !camera)
            return;
        qMesh* mesh = ownMesh;
        if (LodSwitch && LodForce) {
            mesh = lowMesh;
        } else if (LodSwitch) {
            const float d2 = camera->world.GetTranslation().DistanceSquared(object->GetPosition());
            if (nearSquared < d2 && d2 < farSquared)
                mesh = lowMesh;
        }
        if (LibraryObject* library = object->GetLibraryEntry())
            library->mesh = mesh;
    }
    void PostDraw(MapObject* object, float) override
    {
        if (LibraryObject* library = object->GetLibraryEntry())
            library->mesh = ownMesh;
    }
    void Detach(MapObject* object) override { PostDraw(object, 0.0f); }
    std::uint32_t GetFlags() override { return PropPreDraw | PropPostDraw; }
    qMesh* lowMesh = nullptr;
    qMesh* ownMesh = nullptr;
    float nearSquared = 0.0f, farSquared = 0.0f;
};

class RotateProp : public Prop {
public:
    std::uint32_t Parse(MapObject* object, const char* line) override
    {
        PropLine words(line);
        RotateLine read;
        bool otherKeyword = false;
        const bool taken = ReadRotateLine(words, read, &otherKeyword);
        LogProblem(words, line);
        if (otherKeyword)
            return PropOneShot;
        if (!taken)
            return std::uint32_t(-1);
        axis = read.axis;
        speed = read.speed;
        base = object->GetRotation();
        return PropPreDraw;
    }
    void PreDraw(MapObject* object, float dt) override
    {
        angle += dt * speed;
        if (angle > 6.2831855f)
            angle -= 6.2831855f;
        else if (angle < 0.0f)
            angle += 6.2831855f;
        object->SetRotation(base * AxisRotation(axis, angle));
    }
    std::uint32_t GetFlags() override { return PropPreDraw; }
    int axis = -1;
    float speed = 0.0f, angle = 0.0f;
    Matrix3 base;
};

class SwayProp : public Prop {
public:
    std::uint32_t Parse(MapObject* object, const char* line) override
    {
        PropLine words(line);
        SwayLine read;
        const bool taken = ReadSwayLine(words, read);
        LogProblem(words, line);
        if (!taken)
            return PropOneShot;
        axis = read.axis;
        speed = read.speed;
        minimum = read.minimum;
        maximum = read.maximum;
        base = object->GetRotation();
        return PropPreDraw | PropPostDraw;
    }
    void PreDraw(MapObject* object, float dt) override
    {
        phase += dt * speed;
        const float angle = minimum + (std::sin(phase) + 1.0f) * (maximum - minimum) * 0.5f;
        object->SetRotation(object->GetRotation() * AxisRotation(axis, angle));
    }
    void PostDraw(MapObject* object, float) override { object->SetRotation(base); }
    std::uint32_t GetFlags() override { return PropPreDraw | PropPostDraw; }
    int axis = -1;
    float speed = 0.0f, minimum = 0.0f, maximum = 0.0f, phase = 0.0f;
    Matrix3 base;
};

class YBobProp : public Prop {
public:
    std::uint32_t Parse(MapObject* object, const char* line) override
    {
        PropLine words(line);
        YBobLine read;
        const bool taken = ReadYBobLine(words, read);
        LogProblem(words, line);
        if (!taken)
            return PropOneShot;
        amplitude = read.amplitude;
        speed = read.speed;
        baseHeight = object->GetPosition().y;
        return PropPreDraw;
    }
    void PreDraw(MapObject*, float dt) override
    {
        phase += dt * speed;
        if (World* world = World::Current())
            world->drawNode->local.m[13] = baseHeight - std::sin(phase) * amplitude;
    }
    std::uint32_t GetFlags() override { return PropPreDraw; }
    float amplitude = 0.0f, speed = 0.0f, phase = 0.0f, baseHeight = 0.0f;
};

class FullbrightProp : public Prop {
public:
    std::uint32_t Parse(MapObject* object, const char* line) override
    {
        Tokens tokens(line);
        const char* keyword = tokens.Take();
        qMesh* mesh = MeshOf(object);
        if (!keyword || strcasecmp(keyword, "FULLBRIGHT") != 0 || !mesh)
            return PropOneShot;
        // The material name is the rest of the line.
        const char* rest = std::strstr(line, keyword) + std::strlen(keyword);
        rest += std::strspn(rest, " ");
        char name[256];
        std::strncpy(name, rest, sizeof(name) - 1);
        name[sizeof(name) - 1] = '\0';
        name[std::strcspn(name, "\n")] = '\0';
        if (!name[0]) {
            for (Material* material : mesh->GetMaterials())
                material->lightingMode = 0;
            mesh->SetVertexColor(0xFFFFFFFFu);
            return PropOneShot;
        }
        for (D3DPrim* prim : mesh->prims) {
            if (!prim->material || strcasecmp(prim->material->name, name) != 0)
                continue;
            prim->material->lightingMode = 0;
            MeshVertices vertices(prim, true);
            for (int i = 0; i < vertices.Count(); ++i)
                vertices.SetDiffuse(i, 0xFFFFFFFFu);
        }
        return PropOneShot;
    }
    std::uint32_t GetFlags() override { return PropOneShot; }
};

class TakeShadowProp : public Prop {
public:
    std::uint32_t Parse(MapObject*, const char*) override { return GetFlags(); }
    std::uint32_t GetFlags() override { return PropMarker; }
};

} // namespace

// --- MoveProp ---

std::uint32_t MoveProp::Parse(MapObject* object, const char* line)
{
    PropLine words(line);
    MoveLine read;
    const bool taken = ReadMoveLine(words, read);
    LogProblem(words, line);
    if (!taken)
        return PropOneShot;
    speed = read.speed;
    random = read.random;
    once = read.once;
    start = object->GetPosition();
    if (World* world = World::Current())
        world->AddToUpdateList(object);
    return PropUpdate;
}

void MoveProp::Update(MapObject* object, float dt)
{
    World* world = World::Current();
    if (!world || world->frozen || speed == 0.0f)
        return;
    Matrix4 transform;
    object->GetTransform(transform);
    Vector3 forward(transform.m[8], transform.m[9], transform.m[10]);
    forward.Normalize();
    const Vector3 step = forward * (speed * dt);
    Vector3 position = object->GetPosition() + step;
    const float w = float(world->width) * world->cellSize, h = float(world->height) * world->cellSize;
    if (-w / 2 < position.x && position.x < w / 2 && -50.0f < position.y && position.y < 1000.0f &&
        -h / 2 < position.z && position.z < h / 2) {
        object->SetPosition(position.x, position.y, position.z);
        return;
    }
    if (once) {
        object->hidden = true;
        position = position - step;
    } else if (random) {
        if (position.x <= -w / 2)
            position.x = w / 2;
        else if (position.x >= w / 2)
            position.x = -w / 2;
        if (position.z <= -h / 2)
            position.z = h / 2;
        else if (position.z >= h / 2)
            position.z = -h / 2;
    } else {
        position = start;
    }
    object->SetPosition(position.x, position.y, position.z);
}

void MoveProp::Detach(MapObject* object)
{
    if (World* world = World::Current())
        world->RemoveFromUpdateList(object);
}

// --- LightProp ---

LightProp::~LightProp()
{
    if (light)
        light->Destroy();
}

std::uint32_t LightProp::Parse(MapObject* object, const char* line)
{
    Tokens tokens(line);
    const char* keyword = tokens.Take();
    if (!keyword || strcasecmp(keyword, "LIGHT") != 0)
        return PropOneShot;
    const char* values[4] = {tokens.Take(), tokens.Take(), tokens.Take(), tokens.Take()};
    for (const char* value : values)
        if (!value)
            return 0;
    World* world = World::Current();
    const auto log = [world, line](const char* what) {
        if (world && world->device)
            world->device->Log("\"%s\": %s", line, what);
    };
    range = std::strtof(values[0], nullptr);
    if (range == 0.0f)
        return 0;
    if (!std::isfinite(range)) {
        log("the range is not a number; no light");
        return 0;
    }
    // The colour becomes 8-bit channels: a value that is not a number would have none.
    for (int i = 0; i < 3; ++i) {
        const float value = std::strtof(values[i + 1], nullptr);
        if (std::isnan(value))
            log("a colour channel is not a number; taken as 0");
        colour[i] = value > 0.0f ? std::min(value, 1.0f) : 0.0f;
    }
    if (!world || !world->device)
        return 0;
    if (const char* option = tokens.Take(); option && strcasecmp(option, "FLICKER") == 0) {
        const char* minText = tokens.Take();
        const char* maxText = tokens.Take();
        const char* lowText = tokens.Take();
        const char* highText = tokens.Take();
        // Phases of up to an hour and intensities of up to ten times the colour: the phase
        // arithmetic and the channel products stay far from overflowing.
        constexpr long kMaxPhase = 3600000, kMaxPercent = 1000;
        bool clamped = false;
        const auto bounded = [&clamped](const char* text, long low, long high, long fallback) {
            if (!text)
                return fallback;
            const long value = std::strtol(text, nullptr, 10);
            if (value < low || value > high)
                clamped = true;
            return std::clamp(value, low, high);
        };
        flicker = true;
        minPhase = int(bounded(minText, 0, kMaxPhase, 0));
        maxPhase = int(bounded(maxText, 0, kMaxPhase, minPhase));
        if (maxPhase <= minPhase)
            maxPhase = minPhase + 1;
        low = float(bounded(lowText, -kMaxPercent, kMaxPercent, 0)) * 0.01f;
        high = float(bounded(highText, -kMaxPercent, kMaxPercent, 100)) * 0.01f;
        if (clamped)
            log("FLICKER phases are clamped to 0 to 3600000 ms and intensities to -1000 to 1000 percent");
        phaseStart = world->device->GetTime();
        phase = 0;
        phaseLength = minPhase + std::rand() % (maxPhase - minPhase);
    }
    world->device->CreateLight(&light);
    if (!light)
        return 0;
    light->type = LightPoint;
    const Vector3 position = object->GetPosition();
    light->position[0] = position.x, light->position[1] = position.y, light->position[2] = position.z;
    light->color = 0xFF000000u | std::uint32_t(colour[0] * 255.0f) << 16 | std::uint32_t(colour[1] * 255.0f) << 8 |
                   std::uint32_t(colour[2] * 255.0f);
    light->range = range;
    light->Set();
    world->AddLight(light, object->record ? object->record->libraryIndex : -1);
    return PropNearCamera;
}

void LightProp::UpdateNearCamera(MapObject* object, float)
{
    if (!light)
        return;
    World* world = World::Current();
    const Vector3 position = object->GetPosition();
    bool changed = position.x != light->position[0] || position.y != light->position[1] || position.z != light->position[2];
    light->position[0] = position.x, light->position[1] = position.y, light->position[2] = position.z;
    if (flicker && world) {
        const int now = world->device->GetTime();
        const int elapsed = now - phaseStart;
        if (elapsed < phaseLength) {
            const float a = phase == 0 ? high : low, b = phase == 0 ? low : high;
            const float t = a + (float(elapsed) / float(phaseLength)) * (b - a);
            std::uint32_t c = 0xFF000000u;
            for (int i = 0; i < 3; ++i)
                c |= std::uint32_t(std::clamp(colour[i] * t, 0.0f, 1.0f) * 255.0f) << (16 - 8 * i);
            light->color = c;
            changed = true;
        } else {
            phase ^= 1;
            phaseStart = now;
            phaseLength = minPhase + std::rand() % (maxPhase - minPhase);
        }
    }
    if (changed)
        light->Set();
}

void LightProp::Detach(MapObject*)
{
    // A line that made no light leaves nothing to take back.
    if (!light)
        return;
    if (World* world = World::Current())
        world->RemoveLight(light);
    light->Enable(false);
    light->Destroy();
    light = nullptr;
}

// --- DrawDistProp ---

std::uint32_t DrawDistProp::Parse(MapObject*, const char* line)
{
    PropLine words(line);
    const bool taken = ReadDrawDistLine(words, distanceSquared);
    LogProblem(words, line);
    if (!taken)
        return std::uint32_t(-1);
    if (const char* reference = words.Word(2)) {
        std::strncpy(name, reference, sizeof(name) - 1);
        name[sizeof(name) - 1] = '\0';
    }
    return PropPostDraw;
}

void DrawDistProp::PostDraw(MapObject* object, float)
{
    World* world = World::Current();
    Camera* camera = WorldCamera();
    if (!world || !camera)
        return;
    if (!searched) {
        searched = true;
        reference = object;
        if (name[0]) {
            reference = nullptr;
            for (MapObject* candidate = world->GetFirstObject(); candidate; candidate = candidate->next) {
                const LibraryObject* library = candidate->GetLibraryEntry();
                if (!library || strcasecmp(library->entry->objectName, name) != 0)
                    continue;
                if (reference)
                    throw q3DError("DRAWDIST: more than one %s on map, needs to be just one!", name);
                reference = candidate;
            }
            if (!reference)
                throw q3DError("DRAWDIST: couldn't find %s, maybe spelled wrong?", name);
        }
    }
    // Mode 1 hides the object beyond its distance; any other mode shows it.
    if (world->drawDistanceMode == 1)
        object->hidden = camera->world.GetTranslation().DistanceSquared(reference->GetPosition()) > distanceSquared;
    else
        object->hidden = false;
}

// --- IndoorShadeProp ---

void IndoorShadeProp::PostDraw(MapObject* object, float)
{
    World* world = World::Current();
    if (!world)
        return;
    if (!checked) {
        object->UpdateGroundFlag();
        checked = true;
    }
    const Vector3 position = object->GetPosition();
    if (!object->noGround || position == lastPosition)
        return;
    lastPosition = position;
    const bool wasHidden = object->hidden;
    object->hidden = true;
    object->maskedProp = DrawDistPropFactory;
    std::uint32_t colour = 0;
    lightValue = world->GetLightAt(position + Vector3(0.0f, 2.0f, 0.0f), &colour) ? std::int64_t(colour) : -1;
    object->maskedProp = nullptr;
    object->hidden = wasHidden;
}

// --- SwayProxProp ---

void SwayProxProp::ClearGlobalFlag()
{
    if (World* world = World::Current())
        world->swayWatch.point = nullptr;
}

void SwayProxProp::SetWatchedPoint(const Vector3* point)
{
    if (World* world = World::Current())
        world->swayWatch.point = point;
}

std::uint32_t SwayProxProp::Parse(MapObject* object, const char* line)
{
    PropLine words(line);
    qMesh* mesh = MeshOf(object);
    if (!words.Number(1, radius))
        radius = mesh ? mesh->GetRadius() : 0.0f;
    LogProblem(words, line);
    const BoundingBox box = mesh ? mesh->GetBoundingBox() : BoundingBox(Vector3(), Vector3());
    const float h = (box.max.y - box.min.y) * object->GetScale() / 15.0f;
    const float factor = h > 2.0f ? 0.1f : 2.0f - h;
    maximumAngle = factor * 0.049087387f;
    minimumAngle = -factor * 0.049087387f;
    amplitude = phase = 0.0f;
    rest = object->GetRotationQuat();
    return PropPreDraw | PropPostDraw;
}

void SwayProxProp::Step(MapObject* object, float dt)
{
    if (amplitude <= 0.0f) {
        amplitude = phase = 0.0f;
        return;
    }
    amplitude -= dt * 0.5f;
    phase += dt * kPi;
    const float angle = amplitude * (minimumAngle + (std::sin(phase) + 1.0f) * (maximumAngle - minimumAngle) / 2.0f);
    object->SetRotation(rest.ToMatrix3() * AxisRotation(2, angle));
}

void SwayProxProp::PreDraw(MapObject* object, float dt)
{
    World* world = World::Current();
    if (world && world->swayWatch.point) {
        World::SwayWatch& watch = world->swayWatch;
        const int frame = world->device->GetFrameCount();
        if (frame != watch.lastFrame) {
            const Vector3 d = *watch.point - watch.last;
            watch.moving = std::fabs(d.x) > 0.01f || std::fabs(d.y) > 0.01f || std::fabs(d.z) > 0.01f;
            watch.last = *watch.point;
            watch.lastFrame = frame;
        }
        const float reach = radius * object->GetScale();
        if (watch.moving && object->GetPosition().DistanceSquared(*watch.point) <= reach * reach)
            amplitude = 1.0f;
    }
    Step(object, dt);
}

void SwayProxProp::PostDraw(MapObject* object, float) { object->SetRotationQuat(rest); }

// --- NoSortProp ---

namespace {

// The centre shared by every object of one library entry, kept in the entry's user-data slots.
struct NoSortCentre {
    PropFactory kind = NoSortPropFactory;
    Vector3 centre;
    int users = 0;
};

} // namespace

class NoSortProp : public Prop {
public:
    std::uint32_t Parse(MapObject* object, const char*) override
    {
        library = object->GetLibraryEntry();
        if (!library || !library->mesh)
            return PropOneShot;
        bool fresh = false;
        slot = FindUserDataSlot(library, NoSortPropFactory, &fresh);
        if (slot < 0 || fresh) {
            if (slot < 0)
                throw q3DError("NOSORT prop has detected that object %s can't accomodate any more userData",
                               library->entry->objectName);
            auto* record = new NoSortCentre();
            // The middle of what is drawn translucent; a mesh without such prims uses its box.
            BoundingBox box;
            for (D3DPrim* prim : library->mesh->prims) {
                const Material* material = prim->material;
                if (!material || (material->srcBlend == BlendOne && material->destBlend == BlendZero))
                    continue;
                MeshVertices vertices(prim, false);
                for (int i = 0; i < vertices.Count(); ++i)
                    box.AddPoint(vertices.Position(i));
            }
            record->centre = box.IsEmpty() ? library->mesh->GetBoundingBox().GetCentre() : box.GetCentre();
            library->userData[slot] = record;
        }
        ++static_cast<NoSortCentre*>(library->userData[slot])->users;
        return PropPreDraw | PropPostDraw;
    }
    void PreDraw(MapObject* object, float) override
    {
        World* world = World::Current();
        Camera* camera = WorldCamera();
        if (!world || !camera || slot < 0)
            return;
        Matrix4 transform;
        object->GetTransform(transform);
        const Vector3 centre = transform.TransformPoint(static_cast<NoSortCentre*>(library->userData[slot])->centre);
        world->device->SetSortDepth(centre.Distance(camera->world.GetTranslation()));
        world->DrawObject(object);
        world->device->SetSortDepth(kNoHit);
        // Drawn already: the ordinary draw skips it this frame.
        object->hidden = true;
        hidThisFrame = true;
    }
    void PostDraw(MapObject* object, float) override
    {
        if (hidThisFrame)
            object->hidden = false;
        hidThisFrame = false;
    }
    void Detach(MapObject*) override
    {
        if (!library || slot < 0)
            return;
        auto* record = static_cast<NoSortCentre*>(library->userData[slot]);
        if (record && --record->users == 0) {
            delete record;
            library->userData[slot] = nullptr;
        }
        slot = -1;
    }
    std::uint32_t GetFlags() override { return PropPreDraw | PropPostDraw; }

    LibraryObject* library = nullptr;
    int slot = -1;
    bool hidThisFrame = false;
};

// --- factories ---

#define WORLD_PROP_FACTORY(Type)                                                                                    \
    Prop* Type##Factory() { return MakeArenaProp<Type>(Type##Factory); }
WORLD_PROP_FACTORY(AmbOnlyProp)
WORLD_PROP_FACTORY(DensityProp)
WORLD_PROP_FACTORY(DetailProp)
WORLD_PROP_FACTORY(DistScaleProp)
WORLD_PROP_FACTORY(DrawDistProp)
WORLD_PROP_FACTORY(IndoorShadeProp)
WORLD_PROP_FACTORY(InvisibleProp)
WORLD_PROP_FACTORY(LodProp)
WORLD_PROP_FACTORY(LightProp)
WORLD_PROP_FACTORY(MoveProp)
WORLD_PROP_FACTORY(RotateProp)
WORLD_PROP_FACTORY(SwayProp)
WORLD_PROP_FACTORY(YBobProp)
WORLD_PROP_FACTORY(NoSortProp)
WORLD_PROP_FACTORY(FullbrightProp)
WORLD_PROP_FACTORY(TakeShadowProp)
WORLD_PROP_FACTORY(SwayProxProp)
#undef WORLD_PROP_FACTORY

int FindUserDataSlot(const LibraryObject* library, PropFactory kind, bool* fresh)
{
    *fresh = false;
    for (int i = 0; i < 5; ++i)
        if (library->userData[i] && *static_cast<const PropFactory*>(library->userData[i]) == kind)
            return i;
    *fresh = true;
    for (int i = 0; i < 5; ++i)
        if (!library->userData[i])
            return i;
    return -1;
}

void RegisterWorldPropKeywords(World& world)
{
    const struct {
        const char* name;
        PropFactory factory;
    } keywords[] = {
        {"ambonly", AmbOnlyPropFactory},   {"density", DensityPropFactory}, {"detail", DetailPropFactory},
        {"distscale", DistScalePropFactory}, {"drawdist", DrawDistPropFactory}, {"glow", GlowPropFactory},
        {"indoorshade", IndoorShadePropFactory}, {"invisible", InvisiblePropFactory}, {"lod", LodPropFactory},
        {"light", LightPropFactory},       {"move", MovePropFactory},       {"particle", ParticlePropFactory},
        {"rotate", RotatePropFactory},     {"shadowtex", ShadowTexPropFactory},
        {"sway", SwayPropFactory},         {"ybob", YBobPropFactory},       {"nosort", NoSortPropFactory},
        {"fullbright", FullbrightPropFactory}, {"takeshadow", TakeShadowPropFactory},
        {"dynshadow", DynShadowPropFactory}, {"imposter", ImposterPropFactory},
    };
    for (const auto& keyword : keywords)
        world.RegisterPropKeyword(keyword.name, keyword.factory);
    if (PropFactory swayprox = World::GetSwayProxFactory())
        world.RegisterPropKeyword("swayprox", swayprox);
}
