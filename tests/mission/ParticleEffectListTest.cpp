// The running effects list: spent effects are reaped after their last draw, kept ones stay until
// their owners take them back, and clearing deletes only what the list owns.
#include "tests/mission/MissionFixture.h"

#include "engine/particle/qParticle.h"
#include "mission/drawing/ParticleEffectList.h"

namespace {

// Counts its own deletion.
class CountedEffect : public qParticle {
public:
    explicit CountedEffect(int* deleted) : deleted(deleted) {}
    ~CountedEffect() override { ++*deleted; }

private:
    int* deleted;
};

using ParticleEffectListTest = MissionFixture;

TEST_F(ParticleEffectListTest, SpentEffectsAreReapedAndKeptOnesStayUntilRemoved)
{
    int deleted = 0;
    SceneNode root;
    ParticleEffectList list;
    auto* running = new CountedEffect(&deleted);
    auto* spent = new CountedEffect(&deleted);
    auto* kept = new CountedEffect(&deleted);
    spent->active = false;
    kept->active = false;
    list.Add(running, &root);
    list.Add(spent, &root);
    list.Add(kept, &root, true);
    EXPECT_EQ(root.GetChildCount(), 3);
    EXPECT_FALSE(ParticleEffectList::IsFinished(*running));

    list.Update(device);
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_FALSE(list.Contains(spent));
    EXPECT_TRUE(list.Contains(kept));
    list.Update(device);
    EXPECT_EQ(deleted, 1);

    list.Remove(nullptr);
    list.Remove(kept);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(kept->GetParent(), nullptr);

    // Clearing deletes the list's own effects and only forgets the kept ones.
    list.Add(kept, &root, true);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(deleted, 2);
    EXPECT_EQ(root.GetChildCount(), 0);
    delete kept;
    EXPECT_EQ(deleted, 3);
}

TEST_F(ParticleEffectListTest, AnEffectWithoutRecyclingFinishesWhenItsPoolIsSpent)
{
    qParticle effect;
    effect.recycle = false;
    effect.maxParticles = 2;
    effect.lifetimeBase = 0.1f;
    effect.emissionRate = 100.0f;
    effect.SetRandomSource([] { return 0; });
    effect.UpdateTransform(0.05f);
    EXPECT_FALSE(ParticleEffectList::IsFinished(effect));
    for (int i = 0; i < 10; ++i)
        effect.UpdateTransform(0.05f);
    EXPECT_TRUE(ParticleEffectList::IsFinished(effect));
}

} // namespace
