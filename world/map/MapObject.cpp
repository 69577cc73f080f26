#include "world/map/MapObject.h"

#include <cmath>
#include <cstring>
#include <strings.h>

#include "world/environment/DecalManager.h"
#include "world/map/MapDescription.h"
#include "world/props/PropClasses.h"
#include "world/terrain/TerrainPatch.h"
#include "world/World.h"

bool MapObjectHasExactWord(const LibraryEntry* entry, const char* word)
{
    if (!entry)
        return false;
    for (const auto& text : entry->propText) {
        const std::size_t length = std::strcspn(text, " \n");
        if (length == std::strlen(word) && std::strncmp(text, word, length) == 0)
            return true;
    }
    return false;
}

LibraryObject* MapObject::GetLibraryEntry() const
{
    World* world = World::Current();
    return world && record ? world->GetLibraryObject(record->libraryIndex) : nullptr;
}

bool MapObject::Attach(MapObjectRecord* newRecord, World* world)
{
    record = newRecord;
    (void)world;
    UpdateGroundFlag();
    for (Prop*& prop : props)
        prop = nullptr;
    const LibraryObject* library = GetLibraryEntry();
    if (!library)
        return true;
    try {
        for (const auto& text : library->entry->propText) {
            if (!text[0])
                break;
            if (!AddProp(text))
                return false;
        }
    } catch (...) {
        Clear();
        throw;
    }
    return true;
}

bool MapObject::AddProp(const char* line)
{
    char copy[256];
    std::strncpy(copy, line ? line : "", 254);
    copy[254] = '\0';
    char keyword[256];
    const char* start = copy + std::strspn(copy, " \n");
    const std::size_t length = std::strcspn(start, " \n");
    if (length == 0)
        return true;
    std::memcpy(keyword, start, length);
    keyword[length] = '\0';
    World* world = World::Current();
    if (!world)
        return true;
    const PropFactory factory = world->FindPropKeyword(keyword);
    if (!factory)
        return true;
    Prop* prop = factory();
    if (!prop)
        return true;
    std::uint32_t flags = 0;
    try {
        flags = prop->Parse(this, copy);
    } catch (...) {
        // A prop that fails to parse leaves no trace.
        prop->Detach(this);
        DestroyProp(prop);
        throw;
    }
    if (flags & PropReject) {
        DestroyProp(prop);
        return false;
    }
    if (flags & PropOneShot) {
        DestroyProp(prop);
        prop = nullptr;
    }
    if (flags & PropPreDraw)
        hasPreDrawProps = true;
    if (flags & PropPostDraw)
        hasPostDrawProps = true;
    if (flags & PropNearCamera)
        hasNearCameraProps = true;
    if (flags & PropUpdate)
        world->AddToUpdateList(this);
    if (!prop)
        return true;
    for (Prop*& slot : props)
        if (!slot) {
            slot = prop;
            return true;
        }
    // All five slots taken: the prop is not kept, the object still is.
    prop->Detach(this);
    DestroyProp(prop);
    return true;
}

void MapObject::Clear()
{
    DecalManager::RemoveObjectDecals(this);
    World* world = World::Current();
    for (Prop*& prop : props) {
        if (!prop)
            continue;
        if ((prop->GetFlags() & PropUpdate) && world)
            world->RemoveFromUpdateList(this);
        prop->Detach(this);
        DestroyProp(prop);
        prop = nullptr;
    }
    if (onUpdateList && world)
        world->RemoveFromUpdateList(this);
    record = nullptr;
    visible = boxHighlight = 0;
    hidden = hasNearCameraProps = hasPostDrawProps = hasPreDrawProps = false;
}

Prop* MapObject::FindProp(PropFactory kind, int* slot) const
{
    for (int i = 0; i < kPropSlots; ++i) {
        if (!props[i]) {
            if (slot)
                *slot = i;
            return nullptr;
        }
        if (props[i]->kind == kind && kind != maskedProp) {
            if (slot)
                *slot = i;
            return props[i];
        }
    }
    if (slot)
        *slot = kPropSlots;
    return nullptr;
}

const char* MapObject::HasPropText(const char* name) const
{
    const LibraryObject* library = GetLibraryEntry();
    if (!library)
        return nullptr;
    for (const auto& text : library->entry->propText) {
        const std::size_t length = std::strcspn(text, " \n");
        if (length == std::strlen(name) && std::strncmp(text, name, length) == 0)
            return text;
    }
    return nullptr;
}

void MapObject::CallUpdate(float dt)
{
    for (Prop* prop : props) {
        if (!prop)
            break;
        if (prop->GetFlags() & PropUpdate)
            prop->Update(this, dt);
    }
}

void MapObject::CallPreDraw(float dt)
{
    for (Prop* prop : props) {
        if (!prop)
            break;
        if (prop->GetFlags() & PropPreDraw)
            prop->PreDraw(this, dt);
    }
}

void MapObject::CallPostDraw(float dt)
{
    for (Prop* prop : props) {
        if (!prop)
            break;
        if (prop->GetFlags() & PropPostDraw)
            prop->PostDraw(this, dt);
    }
}

void MapObject::CallUpdateNearCamera(float dt)
{
    for (Prop* prop : props) {
        if (!prop)
            break;
        if (prop->GetFlags() & PropNearCamera)
            prop->UpdateNearCamera(this, dt);
    }
}

void MapObject::GetTransform(Matrix4& out) const
{
    out.SetIdentity();
    if (!record)
        return;
    out.FromQuaternion(record->rotation);
    out.SetTranslation(record->position);
    if (record->scale != 1.0f) {
        Matrix4 scale;
        scale.MakeScale(record->scale, record->scale, record->scale);
        out = scale * out;
    }
}

Matrix3 MapObject::GetRotation() const { return record ? record->rotation.ToMatrix3() : Matrix3(); }

void MapObject::SetRotation(const Matrix3& rotation)
{
    if (record)
        record->rotation.FromMatrix3(rotation);
}

Quaternion MapObject::GetRotationQuat() const { return record ? record->rotation : Quaternion(); }

void MapObject::SetRotationQuat(const Quaternion& rotation)
{
    if (record)
        record->rotation = rotation;
}

Vector3 MapObject::GetPosition() const { return record ? record->position : Vector3(); }

float MapObject::GetScale() const { return record ? record->scale : 1.0f; }

void MapObject::SetPosition(float x, float y, float z)
{
    if (!record)
        return;
    World* world = World::Current();
    if (world && (x != record->position.x || z != record->position.z)) {
        for (auto& patch : world->patches)
            patch->RemoveObj(this);
        record->position = Vector3(x, y, z);
        world->InsertObject(this);
    } else {
        record->position.y = y;
    }
    UpdateGroundFlag();
}

void MapObject::UpdateGroundFlag()
{
    World* world = World::Current();
    if (!world || !record || world->patches.empty()) {
        noGround = false;
        return;
    }
    const Vector3 above = record->position + Vector3(0.0f, 2.0f, 0.0f);
    const float object = world->GetObjectBelow(above, nullptr, nullptr, this);
    const float ground = world->GetGroundBelow(above, nullptr, nullptr);
    noGround = ground == kNoHit || (object != kNoHit && object > ground);
}
