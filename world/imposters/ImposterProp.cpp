#include "world/imposters/ImposterProp.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/camera/Camera.h"
#include "engine/core/q3DError.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "engine/mesh/qMesh.h"
#include "renderer/Device.h"
#include "world/map/MapDescription.h"
#include "world/map/MapObject.h"
#include "world/props/PropArena.h"
#include "world/props/PropClasses.h"
#include "world/World.h"

namespace {

// What every object of one library entry shares, kept in one of the entry's user-data slots.
struct ImposterEntry {
    PropFactory kind = ImposterPropFactory;
    int users = 0;
    Vector3 centre;
    BoundingBox box;
    std::vector<Material*> materials; // per prim: the material the picture is drawn with
    std::vector<Material*> owned;     // the "ImposterMat" copies made for alpha-blended prims
    float maximumDistance = 0.0f;
};

// The page budget set for tests and low-memory machines (0: by video memory). A setting of the
// program, not of a world: it outlasts levels and may be set before the first.
int budgetSetting = 0;

// The current world's atlas; null with none.
ImposterAtlas* CurrentAtlas()
{
    World* world = World::Current();
    return world ? &world->imposters : nullptr;
}

ImposterEntry* EntryOf(MapObject* object, int slot)
{
    LibraryObject* library = object->GetLibraryEntry();
    return library && slot >= 0 ? static_cast<ImposterEntry*>(library->userData[slot]) : nullptr;
}

Matrix4 LookAt(const Vector3& eye, const Vector3& target)
{
    Vector3 forward = target - eye;
    forward.Normalize();
    Vector3 right = Cross(Vector3(0.0f, 1.0f, 0.0f), forward);
    if (right.LengthSquared() == 0.0f)
        right = Vector3(1.0f, 0.0f, 0.0f);
    right.Normalize();
    const Vector3 up = Cross(forward, right);
    Matrix4 world(Vector4(right.x, right.y, right.z, 0.0f), Vector4(up.x, up.y, up.z, 0.0f),
                  Vector4(forward.x, forward.y, forward.z, 0.0f), Vector4(eye.x, eye.y, eye.z, 1.0f));
    return world;
}

Matrix4 ViewFrom(const Vector3& eye, const Vector3& target)
{
    Matrix4 view = LookAt(eye, target);
    view.Invert();
    return view;
}

bool Opaque(const Material* material)
{
    return !material || (material->srcBlend == BlendOne && material->destBlend == BlendZero);
}

// A copy of the texture with its colour multiplied by its alpha, so that blending with ONE over
// the page's transparent black keeps the edges clean.
D3DBitmap* PremultipliedCopy(Device* device, D3DBitmap* source, const char* entryName)
{
    char name[300];
    std::snprintf(name, sizeof(name), "%sPreMult", source->GetName() ? source->GetName() : "");
    D3DBitmap* copy = nullptr;
    device->CreateBitmap(&copy);
    const int w = source->GetWidth(), h = source->GetHeight();
    if (!copy || copy->Create(name, w, h, FormatA8R8G8B8, 0) < 0) {
        const std::string reason = copy && copy->GetLastError() ? copy->GetLastError() : "no bitmap";
        if (copy)
            copy->Destroy();
        throw q3DError("Can't create copy of texture %s for imposter on object %s: %s", source->GetName(), entryName,
                       reason.c_str());
    }
    std::int32_t sourcePitch = 0, copyPitch = 0;
    const bool texels32 = source->GetBytesPerPixel() == 4;
    const auto* from = texels32 ? static_cast<const std::uint8_t*>(source->LockLevel(0, &sourcePitch, false)) : nullptr;
    if (!from) {
        device->Log("Imposter: texture %s of %s is not 32-bit, drawn without premultiplying", source->GetName(),
                    entryName);
        return copy;
    }
    if (auto* to = static_cast<std::uint8_t*>(copy->LockLevel(0, &copyPitch, true))) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const std::uint8_t* s = from + std::size_t(y) * std::size_t(sourcePitch) + std::size_t(x) * 4;
                std::uint8_t* d = to + std::size_t(y) * std::size_t(copyPitch) + std::size_t(x) * 4;
                const float alpha = float(s[3]) / 255.0f;
                for (int c = 0; c < 3; ++c)
                    d[c] = std::uint8_t(alpha * (float(s[c]) / 255.0f) * 255.0f);
                d[3] = s[3];
            }
        copy->UnlockLevel();
    }
    source->UnlockLevel();
    return copy;
}

ImposterEntry* MakeEntry(Device* device, LibraryObject* library, MapObject* object)
{
    auto entry = std::make_unique<ImposterEntry>();
    entry->box = library->mesh->GetBoundingBox();
    entry->centre = (entry->box.min + entry->box.max) * 0.5f;
    for (D3DPrim* prim : library->mesh->prims) {
        Material* material = prim ? prim->material : nullptr;
        if (material && material->srcBlend == BlendSrcAlpha && material->destBlend == BlendInvSrcAlpha && device) {
            auto* copy = new Material();
            std::strcpy(copy->name, "ImposterMat");
            copy->srcBlend = BlendOne;
            copy->destBlend = BlendInvSrcAlpha;
            copy->cullFlags = material->cullFlags;
            copy->color = material->color;
            copy->lightingMode = material->lightingMode;
            copy->specularPower = material->specularPower;
            entry->owned.push_back(copy);
            if (material->texture[0])
                copy->texture[0] = PremultipliedCopy(device, material->texture[0], library->entry->objectName);
            material = copy;
        }
        entry->materials.push_back(material);
    }
    if (const auto* drawDist = static_cast<DrawDistProp*>(object->FindProp(DrawDistPropFactory)))
        entry->maximumDistance = std::sqrt(drawDist->distanceSquared);
    return entry.release();
}

void FreeEntry(ImposterEntry* entry)
{
    for (Material* material : entry->owned) {
        if (material->texture[0])
            material->texture[0]->Destroy();
        delete material;
    }
    delete entry;
}

ImposterProp* PropOf(MapObject* object)
{
    return static_cast<ImposterProp*>(object->FindProp(ImposterPropFactory));
}

// The nosort prop added by the parse lands in the slot before the imposter, but its pre-draw
// draws the mesh; the imposter must decide first.
void RunBeforeNoSort(MapObject* object, Prop* imposter)
{
    int own = -1, noSort = -1;
    for (int i = 0; i < MapObject::kPropSlots && object->props[i]; ++i) {
        if (object->props[i] == imposter)
            own = i;
        else if (object->props[i]->kind == NoSortPropFactory && noSort < 0)
            noSort = i;
    }
    if (own >= 0 && noSort >= 0 && noSort < own)
        std::swap(object->props[own], object->props[noSort]);
}

} // namespace

const std::list<std::unique_ptr<ImposterPage>>& ImposterProp::Pages()
{
    static const std::list<std::unique_ptr<ImposterPage>> kNone;
    const ImposterAtlas* atlas = CurrentAtlas();
    return atlas ? atlas->pages : kNone;
}

int ImposterProp::PageBudget()
{
    const ImposterAtlas* atlas = CurrentAtlas();
    return atlas && atlas->pageBudget != 0 ? atlas->pageBudget : budgetSetting;
}

void ImposterProp::SetPageBudget(int budget)
{
    budgetSetting = budget;
    if (ImposterAtlas* atlas = CurrentAtlas())
        atlas->pageBudget = budget;
}
int ImposterProp::DrawnThisFrame()
{
    const World* world = World::Current();
    return world ? world->impostersDrawn : 0;
}

bool ImposterProp::NeedsRender(bool hasImposter, float distance, float far, float lastDistance,
                               const Vector3& direction, const Vector3& lastDirection)
{
    if (!hasImposter)
        return true;
    const float r = far > 0.0f ? distance / far : 1.0f;
    if (r * 70.0f < std::fabs(distance - lastDistance))
        return true;
    return direction.Dot(lastDirection) < std::min(1.01f - r * 0.025f, 0.9999f);
}

void ImposterProp::ScreenRect(Device* device, const BoundingBox& box, int rect[4])
{
    float x0 = 10000.0f, y0 = 10000.0f, x1 = -10000.0f, y1 = -10000.0f;
    for (int i = 0; i < 8; ++i) {
        const Vector3 corner(i & 1 ? box.max.x : box.min.x, i & 2 ? box.max.y : box.min.y,
                             i & 4 ? box.max.z : box.min.z);
        Vector4 screen;
        device->TransformPoint(&screen, &corner);
        x0 = std::min(x0, screen.x), y0 = std::min(y0, screen.y);
        x1 = std::max(x1, screen.x), y1 = std::max(y1, screen.y);
    }
    rect[0] = int(x0), rect[1] = int(y0), rect[2] = int(x1), rect[3] = int(y1);
}

std::uint32_t ImposterProp::Parse(MapObject* object, const char*)
{
    World* world = World::Current();
    LibraryObject* library = object->GetLibraryEntry();
    if (!world || !world->device || !library || !library->mesh)
        return PropOneShot;
    Device* device = world->device;
    bool fresh = false;
    slot = FindUserDataSlot(library, ImposterPropFactory, &fresh);
    if (slot < 0 || fresh) {
        if (slot < 0)
            throw q3DError("Not enough user data space in object %s for imposter data", library->entry->objectName);
        library->userData[slot] = MakeEntry(device, library, object);
    }
    ++static_cast<ImposterEntry*>(library->userData[slot])->users;
    ImposterAtlas& atlas = world->imposters;
    if (atlas.pageBudget == 0)
        atlas.pageBudget = budgetSetting != 0 ? budgetSetting : device->GetTotalVideoMemory() < 32000001u ? 8 : 16;
    if (atlas.pages.empty())
        ImposterPage::Create(device, atlas);
    D3DBitmap*& depthBuffer = atlas.depthBuffer;
    if (!depthBuffer) {
        device->CreateRenderTargetBitmap(&depthBuffer);
        if (!depthBuffer || depthBuffer->Create("ImposterZBuffer", 512, 512, 0, 2048) < 0) {
            const std::string reason = depthBuffer && depthBuffer->GetLastError() ? depthBuffer->GetLastError() : "";
            if (depthBuffer)
                depthBuffer->Destroy();
            depthBuffer = nullptr;
            throw q3DError("Can't create imposter ZBuffer: %s", reason.c_str());
        }
    }
    if (!object->FindProp(NoSortPropFactory) && !object->HasPropText("nosort") && !object->HasPropText("NOSORT")) {
        object->AddProp("nosort");
        if (!object->FindProp(NoSortPropFactory))
            throw q3DError("Couldn't add NOSORT prop to object %s, probably already has 5 props?",
                           library->entry->objectName);
    }
    ++atlas.alive;
    return GetFlags();
}

void ImposterProp::ReleaseCell()
{
    if (cell)
        ImposterCell::Free(cell);
    if (page)
        for (int i = 0; i < page->queueLength; ++i)
            if (page->queue[i] && PropOf(page->queue[i]) == this)
                page->queue[i] = nullptr;
    cell = nullptr;
    page = nullptr;
}

void ImposterProp::PreDraw(MapObject* object, float)
{
    RunBeforeNoSort(object, this);
    World* world = World::Current();
    ImposterEntry* entry = EntryOf(object, slot);
    if (!world || !entry || !world->camera || !world->device)
        return;
    Device* device = world->device;
    Camera* camera = world->camera;
    Matrix4 transform;
    object->GetTransform(transform);
    device->SetWorldTransform(&transform);
    visible = camera->BoxInFrustum(entry->box) != 0;
    testedFrame = device->GetFrameCount();
    if (!visible) {
        object->hidden = true;
        return;
    }
    const Vector3 centre = transform.TransformPoint(entry->centre);
    const Vector3 eye = camera->world.GetTranslation();
    const float distance = std::sqrt(centre.DistanceSquared(eye));
    if (entry->maximumDistance != 0.0f && entry->maximumDistance < distance) {
        object->hidden = true;
        visible = false;
        return;
    }
    Vector3 direction = centre - eye;
    direction.Normalize();
    if (NeedsRender(hasImposter, distance, camera->GetFar(), lastDistance, direction, lastDirection)) {
        Matrix4 savedView, savedProjection;
        device->GetViewTransform(&savedView);
        device->GetProjectionTransform(&savedProjection);
        const Matrix4 view = ViewFrom(eye, centre);
        device->SetViewTransform(&view);
        int rect[4];
        ScreenRect(device, entry->box, rect);
        ReleaseCell();
        const int w = std::max(rect[2] - rect[0], 1), h = std::max(rect[3] - rect[1], 1);
        const int wanted = std::max(w, h);
        ImposterPage* best = nullptr;
        ImposterCell* found = nullptr;
        int bestX = 0, bestY = 0, bestSize = 0;
        std::list<std::unique_ptr<ImposterPage>>& pages = world->imposters.pages;
        if (wanted <= ImposterCell::kPageSize)
            for (const auto& candidate : pages) {
                int x, y, size;
                ImposterCell* c = ImposterCell::Find(&candidate->root, ImposterCell::kPageSize, 0, 0, wanted, &x, &y, &size);
                if (c && (!found || size < bestSize) && candidate->queueLength < ImposterPage::kQueueSize) {
                    best = candidate.get(), found = c;
                    bestX = x, bestY = y, bestSize = size;
                }
            }
        if (!found && int(pages.size()) < world->imposters.pageBudget && w < 512 && h < 512) {
            best = ImposterPage::Create(device, world->imposters);
            found = ImposterCell::Find(&best->root, ImposterCell::kPageSize, 0, 0, wanted, &bestX, &bestY, &bestSize);
            device->Log("%d imposter sprites created", int(pages.size()));
        }
        if (found) {
            ImposterCell::Take(found);
            page = best, cell = found;
            cellX = bestX, cellY = bestY, cellSize = bestSize;
            width = w, height = h;
            page->queue[page->queueLength++] = object;
            lastDistance = distance;
            lastDirection = direction;
            hasImposter = true;
        } else {
            hasImposter = false;
        }
        device->SetViewTransform(&savedView);
        device->SetProjectionTransform(&savedProjection);
    }
    if (hasImposter)
        object->hidden = true;
    else if (cell)
        ReleaseCell();
}

namespace {

// What the pictures rendered in one frame share: the main view's projection and size, the eye,
// and the ambient light with the brighter copy blended prims are drawn under.
struct PictureFrame {
    Matrix4 projection;
    float width = 0.0f, height = 0.0f;
    Vector3 eye;
    std::uint32_t ambient = 0, raised = 0;
};

// The entry's prims with the picture materials; blended prims unlit, without depth writes and
// under the raised ambient.
void DrawPicturePrims(Device* device, const std::vector<D3DPrim*>& prims, const ImposterEntry& entry,
                      const PictureFrame& frame)
{
    for (std::size_t i = 0; i < prims.size(); ++i) {
        D3DPrim* prim = prims[i];
        if (!prim)
            continue;
        Material* own = prim->material;
        prim->material = i < entry.materials.size() ? entry.materials[i] : own;
        const bool opaque = Opaque(prim->material);
        if (!opaque) {
            device->EnableLights(false);
            device->SetZWrite(false);
            device->SetAmbient(frame.raised);
        }
        device->DrawPrim(prim);
        if (!opaque) {
            device->EnableLights(true);
            device->SetZWrite(true);
            device->SetAmbient(frame.ambient);
        }
        prim->material = own;
    }
}

// Renders the object's picture into its cell of the page bound as the target, and places the
// quad it is drawn with: the cell's corners on the plane through the centre facing the camera.
void RenderPicture(Device* device, MapObject* object, ImposterProp& prop, const ImposterEntry& entry,
                   const qMesh& mesh, const PictureFrame& frame)
{
    const float sx = frame.width / 512.0f, sy = frame.height / 512.0f;
    const float tx = (float(prop.cellX) + float(prop.width) * 0.5f - 256.0f) / 256.0f;
    const float ty = -(float(prop.cellY) + float(prop.height) * 0.5f - 256.0f) / 256.0f;
    Matrix4 projection = frame.projection;
    for (int r = 0; r < 4; ++r) {
        projection(r, 0) = projection(r, 0) * sx + tx * projection(r, 3);
        projection(r, 1) = projection(r, 1) * sy + ty * projection(r, 3);
    }
    device->SetProjectionTransform(&projection);
    Matrix4 transform;
    object->GetTransform(transform);
    const Vector3 centre = transform.TransformPoint(entry.centre);
    const Matrix4 view = ViewFrom(frame.eye, centre);
    device->SetViewTransform(&view);
    const float rect[4] = {float(prop.cellX), float(prop.cellY), float(prop.cellSize), float(prop.cellSize)};
    device->Clear(true, true, false, rect);
    device->SetWorldTransform(&transform);
    DrawPicturePrims(device, mesh.prims, entry, frame);
    const float distance = std::sqrt(centre.DistanceSquared(frame.eye));
    prop.lastDistance = distance;
    // One pixel in from the cell's edges.
    const int inset[4][2] = {{1, 1}, {prop.width - 1, 1}, {prop.width - 1, prop.height - 1}, {1, prop.height - 1}};
    for (int k = 0; k < 4; ++k) {
        const float px = float(prop.cellX + inset[k][0]), py = float(prop.cellY + inset[k][1]);
        const float nx = (px / 256.0f - 1.0f - tx) / sx;
        const float ny = (1.0f - py / 256.0f - ty) / sy;
        prop.corners[k] = Vector3(nx * distance / frame.projection(0, 0), ny * distance / frame.projection(1, 1), 0.0f);
        prop.texCoords[k][0] = px / 512.0f;
        prop.texCoords[k][1] = py / 512.0f;
    }
}

// Renders the pictures queued on every page of the world's atlas and empties the queues; the
// device's state is as it was afterwards.
void RefreshPages(World& world, Device* device)
{
    std::uint32_t clearColour = 0;
    device->GetClearColor(&clearColour);
    const bool fog = device->GetFogEnable();
    device->SetClearColor(0x00000000u);
    device->SetFogEnable(false);
    PictureFrame frame;
    device->GetAmbient(&frame.ambient);
    frame.raised = frame.ambient & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8)
        frame.raised |= std::min<std::uint32_t>(((frame.ambient >> shift) & 0xFF) + 30, 255) << shift;
    const bool sorting = device->IsSortQueueEnabled();
    device->SetSortQueueEnabled(false);
    Matrix4 savedView;
    device->GetViewTransform(&savedView);
    device->GetProjectionTransform(&frame.projection);
    frame.width = float(device->GetTargetWidth()), frame.height = float(device->GetTargetHeight());
    frame.eye = world.camera->world.GetTranslation();
    for (const auto& each : world.imposters.pages) {
        ImposterPage& target = *each;
        if (target.queueLength == 0)
            continue;
        device->SetRenderTarget(target.sprite.material.texture[0], world.imposters.depthBuffer);
        if (!target.cleared) {
            device->Clear(true, true, false, nullptr);
            target.cleared = true;
        }
        for (int q = 0; q < target.queueLength; ++q) {
            MapObject* queued = target.queue[q];
            ImposterProp* prop = queued ? PropOf(queued) : nullptr;
            ImposterEntry* entry = prop ? EntryOf(queued, prop->slot) : nullptr;
            LibraryObject* library = queued ? queued->GetLibraryEntry() : nullptr;
            if (prop && entry && library && library->mesh && prop->page == &target)
                RenderPicture(device, queued, *prop, *entry, *library->mesh, frame);
        }
        target.queueLength = 0;
    }
    device->SetRenderTarget(nullptr, nullptr);
    device->SetViewTransform(&savedView);
    device->SetProjectionTransform(&frame.projection);
    device->SetSortQueueEnabled(sorting);
    device->SetFogEnable(fog);
    device->SetClearColor(clearColour);
}

} // namespace

void ImposterProp::PostDraw(MapObject* object, float)
{
    object->hidden = false;
    World* world = World::Current();
    if (!visible || !hasImposter || !world || !world->device || !world->camera)
        return;
    Device* device = world->device;
    // The pages are refreshed once a frame, by the first imposter drawn.
    if (device->GetFrameCount() != world->imposterRefreshFrame) {
        world->imposterRefreshFrame = device->GetFrameCount();
        RefreshPages(*world, device);
    }
    DrawQuad(object, device);
}

void ImposterProp::DrawQuad(MapObject* object, Device* device)
{
    World* world = World::Current();
    ImposterEntry* entry = EntryOf(object, slot);
    if (!entry || !page || !world->camera)
        return;
    Camera* camera = world->camera;
    Matrix4 transform;
    object->GetTransform(transform);
    const Vector3 centre = transform.TransformPoint(entry->centre);
    const Vector3 eye = camera->world.GetTranslation();
    const float distance = std::sqrt(centre.DistanceSquared(eye));
    Matrix4 facing = LookAt(eye, centre);
    facing.SetTranslation(centre);
    device->SetWorldTransform(&facing);
    const float far = camera->GetFar();
    const float fogStart = far * camera->GetFogStart();
    Material& material = page->sprite.material;
    material.srcBlend = distance > fogStart ? BlendSrcAlpha : BlendOne;
    material.destBlend = BlendInvSrcAlpha;
    const float end = entry->maximumDistance != 0.0f ? entry->maximumDistance : far;
    const float fade = std::clamp((end - distance) / (end - 0.95f * end), 0.0f, 1.0f);
    const std::uint32_t f = std::uint32_t(fade * 255.0f);
    const std::uint32_t colour = distance > fogStart ? f << 24 | 0x00FFFFFFu : f << 24 | f << 16 | f << 8 | f;
    struct QuadVertex {
        float position[3];
        std::uint32_t colour;
        float uv[4];
    } vertices[4];
    for (int k = 0; k < 4; ++k)
        vertices[k] = QuadVertex{{corners[k].x, corners[k].y, 0.0f}, colour, {texCoords[k][0], texCoords[k][1], 0, 0}};
    static constexpr std::uint16_t kIndices[6] = {0, 1, 2, 0, 2, 3};
    VertexLayout layout;
    layout.InitColoredTextured2();
    device->DrawUserPrimitives(PrimTriangleList, vertices, 4, &layout, kIndices, 6, &material);
    if (World* world = World::Current())
        ++world->impostersDrawn;
}

void ImposterProp::UpdateNearCamera(MapObject* object, float)
{
    RunBeforeNoSort(object, this);
    World* world = World::Current();
    if (world)
        world->impostersDrawn = 0;
    ImposterEntry* entry = EntryOf(object, slot);
    if (!cell || !world || !world->camera || !world->device || !entry)
        return;
    // An object whose patch was not gathered was not tested at all: that counts as unseen.
    if (visible && testedFrame >= world->device->GetFrameCount() - 1)
        return;
    Matrix4 transform;
    object->GetTransform(transform);
    const Vector3 centre = transform.TransformPoint(entry->centre);
    const float half = world->camera->GetFar() * 0.5f;
    if (centre.DistanceSquared(world->camera->world.GetTranslation()) > half * half) {
        ReleaseCell();
        hasImposter = false;
    }
}

void ImposterProp::Detach(MapObject* object)
{
    ReleaseCell();
    hasImposter = false;
    if (LibraryObject* library = object->GetLibraryEntry(); library && slot >= 0) {
        if (auto* entry = static_cast<ImposterEntry*>(library->userData[slot]); entry && --entry->users <= 0) {
            FreeEntry(entry);
            library->userData[slot] = nullptr;
        }
    }
    slot = -1;
    World* world = World::Current();
    if (world && --world->imposters.alive <= 0) {
        world->imposters.alive = 0;
        world->imposters.Clear();
        world->imposterRefreshFrame = -1;
    }
}

Prop* ImposterPropFactory() { return MakeArenaProp<ImposterProp>(ImposterPropFactory); }
