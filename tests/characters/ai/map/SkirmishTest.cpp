// Two squads of three soldiers meet on the demo map: they patrol towards each other, see each
// other through the view cone, plan routes through the map's waypoint graph, and fight in the
// soldier's states until one side is down. The same seed ends the same way.
#include <memory>
#include <vector>

#include "engine/core/RandomMT.h"
#include "tests/characters/ai/SkirmishHarness.h"
#include "tests/characters/ai/map/DemoMapSkirmishFixture.h"

namespace {

struct Outcome {
    int frames = 0;
    int living[2] = {0, 0};
    int shots = 0;
    std::vector<Vector3> positions;
    bool operator==(const Outcome& other) const = default;
};

class SkirmishTest : public DemoMapSkirmishTest {
protected:
    // Plays a skirmish from the seed for at most the seconds given.
    Outcome Play(std::uint32_t seed, float seconds)
    {
        seedMT(seed);
        GameObject::SetNextObjectID(0);
        std::vector<Character*> everyone;
        WorldStandIn level(*world, *camera, everyone, {"Rifle", "Unarmed"});
        Skirmish skirmish(*world, *camera);
        std::vector<std::unique_ptr<Soldier>> soldiers;
        for (int side = 0; side < 2; ++side) {
            for (int i = 0; i < 3; ++i) {
                auto s = std::make_unique<Soldier>();
                s->kind = side == 0 ? Character::SquadKind : Character::EnemyKind;
                s->LoadAnimationInfo();
                s->LoadModel(device, "GameData/Models/Soldiers/soldier.gr2");
                const int row = side == 0 ? 24 : 36;
                const Vector3 at = Ground(34 + i * 3, row, s->radii.y);
                s->SetPosition(at.x, at.y, at.z);
                s->SetYaw(side == 0 ? 0.0f : kPi);
                s->collides = s->gravity = true;
                everyone.push_back(s.get());
                soldiers.push_back(std::move(s));
            }
        }
        for (int i = 0; i < 6; ++i) {
            const int side = i / 3;
            skirmish.Enrol(*soldiers[std::size_t(i)], side, Ground(34 + (i % 3) * 3, side == 0 ? 36 : 24, 0.0f));
        }
        Outcome outcome;
        constexpr float kFrame = 1.0f / 30.0f;
        while (outcome.frames < int(seconds / kFrame) && skirmish.Living(0) > 0 && skirmish.Living(1) > 0) {
            for (auto& s : soldiers)
                s->Update(kFrame);
            skirmish.Think(kFrame);
            ++outcome.frames;
        }
        for (int side = 0; side < 2; ++side)
            outcome.living[side] = skirmish.Living(side);
        for (auto& rifle : skirmish.rifles)
            outcome.shots += rifle->shots;
        for (auto& s : soldiers)
            outcome.positions.push_back(s->position);
        return outcome;
    }

};

} // namespace

TEST_F(SkirmishTest, TwoSquadsMeetFightAndEndTheSameWayFromTheSameSeed)
{
    const Outcome first = Play(7, 120.0f);
    EXPECT_GT(first.shots, 0) << "they saw each other and fired";
    EXPECT_TRUE(first.living[0] == 0 || first.living[1] == 0) << "one side is down within two minutes: "
                                                               << first.living[0] << " to " << first.living[1];
    const Outcome second = Play(7, 120.0f);
    EXPECT_EQ(first.frames, second.frames);
    EXPECT_EQ(first.living[0], second.living[0]);
    EXPECT_EQ(first.living[1], second.living[1]);
    EXPECT_EQ(first.shots, second.shots);
    EXPECT_TRUE(first == second);
}
