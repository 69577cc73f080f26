#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/core/q3DError.h"
#include "engine/scene/SceneNode.h"

namespace {

void ExpectNear(const Vector3& actual, const Vector3& expected, float eps = 1e-5f)
{
    EXPECT_NEAR(actual.x, expected.x, eps);
    EXPECT_NEAR(actual.y, expected.y, eps);
    EXPECT_NEAR(actual.z, expected.z, eps);
}

std::unique_ptr<SceneNode> Node(const char* name)
{
    auto node = std::make_unique<SceneNode>();
    node->SetName(name);
    return node;
}

// Records the order in which nodes are updated.
class RecordingNode : public SceneNode {
public:
    RecordingNode(const char* nodeName, std::vector<std::string>& log) : log(log) { SetName(nodeName); }
    void UpdateTransform(float elapsed) override
    {
        log.push_back(GetName());
        SceneNode::UpdateTransform(elapsed);
    }

private:
    std::vector<std::string>& log;
};

} // namespace

TEST(SceneNode, StartsAsAnIdentityRoot)
{
    SceneNode node;
    EXPECT_EQ(node.rotation, kIdentityMatrix3);
    EXPECT_EQ(node.position, Vector3(0, 0, 0));
    EXPECT_EQ(node.scale, Vector3(1, 1, 1));
    EXPECT_EQ(node.world, kIdentityMatrix4);
    EXPECT_EQ(node.local, kIdentityMatrix4);
    EXPECT_STREQ(node.GetName(), "");
    EXPECT_EQ(node.properties, nullptr);
    EXPECT_EQ(node.GetParent(), nullptr);
    EXPECT_EQ(node.GetChildCount(), 0);
    EXPECT_EQ(node.GetChild(0), nullptr);
}

TEST(SceneNode, LocalIsScaleThenRotationThenTranslation)
{
    SceneNode node;
    node.rotation.FromEulerAngles(0, 0, kPi / 2); // x -> y
    node.position = {1, 2, 3};
    node.UpdateTransform(0.016f);
    ExpectNear(node.world.TransformPoint({1, 0, 0}), {1, 3, 3});
    EXPECT_EQ(node.local, node.world);
    EXPECT_EQ(node.local.m[15], 1.0f);

    // Scale doubles the geometry but not the position.
    node.scale = {2, 2, 2};
    node.UpdateTransform(0);
    ExpectNear(node.world.TransformPoint({1, 0, 0}), {1, 4, 3});
    ExpectNear(node.world.GetTranslation(), {1, 2, 3});

    // A non-uniform scale acts along the node's own axes, before the turn.
    node.scale = {3, 1, 1};
    node.UpdateTransform(0);
    ExpectNear(node.world.TransformPoint({1, 0, 0}), {1, 5, 3});
    ExpectNear(node.world.TransformPoint({0, 1, 0}), {0, 2, 3});
}

TEST(SceneNode, UpdateRunsTopDownSoGrandchildrenSeeThisFramesAncestors)
{
    auto root = Node("root"), child = Node("child"), grandchild = Node("grandchild");
    child->SetParent(root.get());
    grandchild->SetParent(child.get());
    root->position = {10, 0, 0};
    child->position = {0, 5, 0};
    grandchild->position = {0, 0, 1};
    root->Update(0);
    ExpectNear(grandchild->world.GetTranslation(), {10, 5, 1});

    root->position = {20, 0, 0};
    root->rotation.FromEulerAngles(0, 0, kPi / 2); // the child's offset turns from y to -x
    root->Update(0);
    ExpectNear(child->world.GetTranslation(), {15, 0, 0});
    ExpectNear(grandchild->world.GetTranslation(), {15, 0, 1});

    // Between an edit and the next update the old matrices stay.
    root->position = {0, 0, 0};
    ExpectNear(grandchild->world.GetTranslation(), {15, 0, 1});
}

TEST(SceneNode, UpdateVisitsChildrenNewestFirst)
{
    std::vector<std::string> log;
    RecordingNode root("root", log), a("a", log), b("b", log), a1("a1", log);
    a.SetParent(&root);
    b.SetParent(&root);
    a1.SetParent(&a);
    root.Update(0.5f);
    EXPECT_EQ(log, (std::vector<std::string>{"root", "b", "a", "a1"}));
}

TEST(SceneNode, FindChildIgnoresCaseAndLooksOneLevelDeep)
{
    auto root = Node("root"), turret = Node("Turret"), barrel = Node("barrel");
    turret->SetParent(root.get());
    barrel->SetParent(turret.get());
    EXPECT_EQ(root->FindChild("TURRET"), turret.get());
    EXPECT_EQ(root->FindChild("turret"), turret.get());
    EXPECT_EQ(root->FindChild("barrel"), nullptr);
    EXPECT_EQ(root->FindChild("turre"), nullptr);
    EXPECT_EQ(root->FindChild("turrets"), nullptr);
    EXPECT_EQ(root->FindChild(nullptr), nullptr);
    EXPECT_EQ(turret->FindChild("BARREL"), barrel.get());
}

TEST(SceneNode, GetChildCountsFromTheNewest)
{
    auto root = Node("root"), first = Node("first"), second = Node("second");
    first->SetParent(root.get());
    second->SetParent(root.get());
    EXPECT_EQ(root->GetChildCount(), 2);
    EXPECT_EQ(root->GetChild(0), second.get());
    EXPECT_EQ(root->GetChild(1), first.get());
    EXPECT_EQ(root->GetChild(root->GetChildCount()), nullptr);
    EXPECT_EQ(root->GetChild(-1), nullptr);
}

TEST(SceneNode, SetParentAndDetach)
{
    auto a = Node("a"), b = Node("b"), child = Node("child");
    child->SetParent(a.get());
    child->SetParent(a.get()); // same parent: no second entry
    EXPECT_EQ(a->GetChildCount(), 1);

    child->SetParent(b.get());
    EXPECT_EQ(child->GetParent(), b.get());
    EXPECT_EQ(a->GetChildCount(), 0);
    EXPECT_EQ(b->GetChild(0), child.get());

    EXPECT_NE(child->Detach(), 0);
    EXPECT_EQ(child->GetParent(), nullptr);
    EXPECT_EQ(b->GetChildCount(), 0);
    EXPECT_EQ(child->Detach(), 0);

    child->SetParent(a.get());
    child->SetParent(nullptr); // treated as leaving the parent
    EXPECT_EQ(child->GetParent(), nullptr);
    EXPECT_EQ(a->GetChildCount(), 0);
}

TEST(SceneNode, RefusesToBecomeItsOwnAncestor)
{
    auto root = Node("root"), child = Node("child");
    child->SetParent(root.get());
    EXPECT_THROW(root->SetParent(child.get()), q3DError);
    EXPECT_THROW(root->SetParent(root.get()), q3DError);
    EXPECT_EQ(root->GetParent(), nullptr);
    EXPECT_EQ(child->GetParent(), root.get());
    root->Update(0); // still a finite tree
}

TEST(SceneNode, DeletingAParentLeavesItsChildrenAsRoots)
{
    auto parent = Node("parent");
    auto grandparent = Node("grandparent");
    auto a = Node("a"), b = Node("b");
    parent->SetParent(grandparent.get());
    a->SetParent(parent.get());
    b->SetParent(parent.get());
    parent->position = {1, 2, 3};
    grandparent->Update(0);
    const Matrix4 worldBefore = a->world;

    parent.reset();
    EXPECT_EQ(grandparent->GetChildCount(), 0);
    EXPECT_EQ(a->GetParent(), nullptr);
    EXPECT_EQ(b->GetParent(), nullptr);
    EXPECT_EQ(a->world, worldBefore); // kept until the next update
    a->Update(0);
    EXPECT_EQ(a->world, kIdentityMatrix4);
}

TEST(SceneNode, DeletingAChildRemovesItFromItsParent)
{
    auto root = Node("root");
    auto child = Node("child");
    child->SetParent(root.get());
    child.reset();
    EXPECT_EQ(root->GetChildCount(), 0);
    root->Update(0);
}

TEST(SceneNode, SetNameKeepsAtMost255Characters)
{
    SceneNode node;
    const std::string longName(400, 'n');
    node.SetName(longName.c_str());
    EXPECT_EQ(std::string(node.GetName()), longName.substr(0, 255));
    node.SetName("Hull");
    EXPECT_STREQ(node.GetName(), "Hull");
    node.SetName(nullptr);
    EXPECT_STREQ(node.GetName(), "");
}
