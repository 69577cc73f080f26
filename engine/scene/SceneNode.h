#pragma once

#include <cstddef>

#include "engine/core/Matrix.h"
#include "engine/core/PtrList.h"
#include "engine/core/Vector.h"

// Base of every positioned object: local = Scale x Rotation x Translation,
// world = local x parent world. Parents never own their children.
class SceneNode {
public:
    static constexpr std::size_t kNameSize = 256;

    SceneNode();
    // Leaves the parent and detaches every child; the children stay alive as roots.
    virtual ~SceneNode();
    SceneNode(const SceneNode&) = delete;
    SceneNode& operator=(const SceneNode&) = delete;

    virtual void UpdateTransform(float elapsed);
    // This node, then each child from the newest to the oldest.
    virtual void Update(float elapsed);
    virtual void SetParent(SceneNode* newParent);
    virtual int Detach(); // nonzero when the node had a parent
    virtual SceneNode* GetParent();
    virtual SceneNode* FindChild(const char* childName); // direct children, case-insensitive
    virtual SceneNode* GetChild(int index);             // 0 = the most recently added child
    virtual int GetChildCount();

    // Copies at most 255 characters; null clears the name.
    void SetName(const char* newName);
    const char* GetName() const { return name; }
    const PtrListOf<SceneNode>& GetChildren() const { return children; }

    Matrix3 rotation;
    Vector3 position;
    Vector3 scale{1.0f, 1.0f, 1.0f};
    Matrix4 world;
    char name[kNameSize] = {};
    char* properties = nullptr; // owned and freed by the subclasses that read it
    Matrix4 local;

protected:
    SceneNode* parent = nullptr;
    PtrListOf<SceneNode> children;
};
