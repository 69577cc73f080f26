#include "engine/scene/SceneNode.h"

#include <cstring>

#include "engine/core/q3DError.h"

namespace {

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b)
        if (LowerAscii(*a) != LowerAscii(*b))
            return false;
    return *a == *b;
}

} // namespace

SceneNode::SceneNode() = default;

SceneNode::~SceneNode()
{
    if (parent) {
        parent->children.Remove(this);
        parent = nullptr;
    }
    while (PtrListNode* node = children.GetHead()) {
        SceneNode* child = static_cast<SceneNode*>(node->item);
        child->Detach();
        // Whatever an overridden Detach left behind, the child must not point at a dead parent
        // and the loop must make progress.
        if (child->parent == this)
            child->parent = nullptr;
        if (children.GetHead() == node)
            delete children.Unlink(node);
    }
}

void SceneNode::UpdateTransform(float)
{
    local.SetIdentity();
    local.SetRotation(rotation);
    local.SetTranslation(position);
    local.m[15] = 1.0f;
    if (scale.x != 1.0f || scale.y != 1.0f || scale.z != 1.0f) {
        Matrix4 scaling;
        scaling.MakeScale(scale.x, scale.y, scale.z);
        local = scaling * local; // scale before rotation, so the position is not scaled
    }
    world = parent ? local * parent->world : local;
}

void SceneNode::Update(float elapsed)
{
    UpdateTransform(elapsed);
    // The next node is taken first so that a child may detach itself during its update.
    for (PtrListNode* node = children.GetHead(); node;) {
        PtrListNode* next = node->next;
        static_cast<SceneNode*>(node->item)->Update(elapsed);
        node = next;
    }
}

void SceneNode::SetParent(SceneNode* newParent)
{
    if (newParent == parent)
        return;
    if (newParent == nullptr) {
        Detach();
        return;
    }
    // A cycle would make every update of the tree recurse without end.
    for (SceneNode* ancestor = newParent; ancestor; ancestor = ancestor->parent)
        if (ancestor == this)
            throw q3DError("SceneNode::SetParent: \"%s\" cannot become a child of its own subtree", name);
    if (parent)
        parent->children.Remove(this);
    parent = newParent;
    newParent->children.AddHead(this);
}

int SceneNode::Detach()
{
    if (parent == nullptr)
        return 0;
    parent->children.Remove(this);
    parent = nullptr;
    return 1;
}

SceneNode* SceneNode::GetParent()
{
    return parent;
}

SceneNode* SceneNode::FindChild(const char* childName)
{
    if (childName == nullptr)
        return nullptr;
    for (SceneNode* child : children)
        if (EqualIgnoringCase(child->name, childName))
            return child;
    return nullptr;
}

SceneNode* SceneNode::GetChild(int index)
{
    if (index < 0)
        return nullptr;
    PtrListNode* node = children.GetHead();
    for (int i = 0; node && i < index; ++i)
        node = node->next;
    return PtrListOf<SceneNode>::ItemOf(node);
}

int SceneNode::GetChildCount()
{
    return children.GetCount();
}

void SceneNode::SetName(const char* newName)
{
    if (newName == nullptr) {
        name[0] = '\0';
        return;
    }
    const std::size_t length = strnlen(newName, kNameSize - 1);
    std::memcpy(name, newName, length);
    name[length] = '\0';
}
