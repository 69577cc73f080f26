#include "characters/objects/GameObject.h"

#include <climits>

#include "engine/core/EngineLog.h"
#include "characters/level/NetworkSession.h"
#include "engine/core/ObjectIDTree.h"
#include "engine/serial/SaveStream.h"

namespace {

std::uint16_t nextObjectID = 0;

// A connected client that does not host takes no identifiers of its own: the host names
// every object.
bool IsClientCopy()
{
    return !IsNetworkServerActive() && IsNetworkClientConnected();
}

} // namespace

GameObject::GameObject()
{
    if (IsClientCopy())
        return;
    ObjectIDTree& tree = ObjectIDTree::Instance();
    // Identifiers still in use are skipped, and NoID is never handed out: no lookup would
    // resolve it. Every identifier is tried at most once.
    for (int tried = 0; tried < 0x10000; ++tried) {
        const std::uint16_t candidate = nextObjectID++;
        if (candidate == NoID || tree.Contains(candidate))
            continue;
        id = candidate;
        tree.Insert(id, this);
        hasID = true;
        return;
    }
    LogToEngine("Warning: GameObject::GameObject found every object ID in use.  The object has none and is "
                "inaccessible to the network");
}

GameObject::~GameObject()
{
    if (!hasID)
        return;
    ObjectIDTree& tree = ObjectIDTree::Instance();
    if (tree.Find(id) == this)
        tree.Remove(id);
    else
        LogToEngine("Warning: Deleting object with ID %i that does not match the object with that ID in the tree.  "
                    "Leaving the existing node in the tree.  Possible cause: Assigning the ID of this object to "
                    "another object and then deleting this object.  Correct action: Delete this object before "
                    "assigning its ID to another object.",
                    int(id));
}

void GameObject::Load(SaveStream* stream)
{
    // Both fields are read before either is applied, so a block cut short changes nothing.
    const std::uint16_t savedID = stream->ReadUInt16();
    const std::int32_t savedHealth = stream->ReadInt32();
    SetID(savedID);
    health = savedHealth;
    targetedByCount = 0;
}

void GameObject::Save(SaveStream* stream)
{
    stream->WriteUInt16(id);
    stream->WriteInt32(health);
}

bool GameObject::ApplyDamage(int, const Vector3&, const Vector3&)
{
    return false;
}

void GameObject::GetAimPoint(int, Vector3* point)
{
    *point = position;
}

std::int16_t GameObject::GetID()
{
    if (!hasID && IsClientCopy())
        return -1;
    return static_cast<std::int16_t>(id);
}

float GameObject::GetTargetRating(GameObject*, const Stimulus*, float)
{
    return 0.0f;
}

void GameObject::SetID(std::uint16_t newID)
{
    if (newID == NoID || (hasID && id == newID))
        return;
    ObjectIDTree& tree = ObjectIDTree::Instance();
    if (GameObject* holder = tree.Find(newID)) {
        LogToEngine("Warning: GameObject::SetID passed %i, which has an existing node in the tree.  Old node "
                    "removed, which will cause the item pointed to to be inaccessible to the network",
                    int(newID));
        tree.Remove(newID);
        holder->hasID = false;
    }
    // Only this object's own entry goes: the old identifier may have been filed for another.
    if (hasID && tree.Find(id) == this)
        tree.Remove(id);
    id = newID;
    tree.Insert(newID, this);
    hasID = true;
}

void GameObject::AddHealth(int amount)
{
    // Wide arithmetic, so a huge amount cannot wrap the health around.
    long long sum = static_cast<long long>(health) + amount;
    if (sum > 100)
        sum = 100;
    if (sum < INT_MIN)
        sum = INT_MIN;
    health = static_cast<int>(sum);
    if (IsNetworkClientConnected())
        ClientSendHealth(GetID(), health);
}

void GameObject::LoadID(SaveStream* stream)
{
    SetID(stream->ReadUInt16());
}

void GameObject::SaveID(SaveStream* stream)
{
    stream->WriteUInt16(id);
}

GameObject* GameObject::GetByID(std::int16_t id)
{
    if (id == -1)
        return nullptr;
    return ObjectIDTree::Instance().Find(static_cast<std::uint16_t>(id));
}

std::uint16_t GameObject::GetNextObjectID()
{
    return nextObjectID;
}

void GameObject::SetNextObjectID(std::uint16_t id)
{
    nextObjectID = id;
}
