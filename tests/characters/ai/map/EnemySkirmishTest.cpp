// An enemy squad in a ranger file patrols across the demo map towards three computer-driven
// squad soldiers patrolling the other way. Each side runs its own per-frame update as the mission
// does (every character thinks, then updates): the enemies sense the squad, become alerted, zero
// in and attack, the soldiers return fire, and the same seed ends the same way.
#include <memory>
#include <set>
#include <vector>

#include "characters/enemy/Enemy.h"
#include "characters/ai/Formation.h"
#include "characters/player/Player.h"
#include "characters/player/PlayerVoices.h"
#include "characters/player/SquadRoster.h"
#include "engine/core/RandomMT.h"
#include "tests/characters/ai/SkirmishHarness.h"
#include "tests/characters/ai/map/DemoMapSkirmishFixture.h"

namespace {

struct Outcome {
    int frames = 0;
    int livingSquad = 0;
    int livingEnemies = 0;
    int shots = 0;
    std::set<int> enemyStates;
    bool enemiesAlerted = false;
    std::vector<Vector3> positions;
    bool operator==(const Outcome& other) const = default;
};

class EnemySkirmishTest : public DemoMapSkirmishTest {
protected:
    void SetUp() override
    {
        DemoMapSkirmishTest::SetUp();
        Formation::FreeAll();
        Formation::LoadDirectory("GameData/Formations");
        PlayerVoices::Release();
    }

    void TearDown() override
    {
        PlayerVoices::Release();
        Formation::FreeAll();
        DemoMapSkirmishTest::TearDown();
    }

    static void Patrol(AI& ai, const Vector3& from, const Vector3& to)
    {
        Waypoint start;
        start.position = from;
        Waypoint end;
        end.position = to;
        ai.AddPatrolWaypoint(start);
        ai.AddPatrolWaypoint(end);
        ai.pathFollower.Start(ai.patrolPath);
    }

    Outcome Play(std::uint32_t seed, float seconds)
    {
        seedMT(seed);
        GameObject::SetNextObjectID(0);
        std::vector<Character*> everyone;
        // The camera watches the middle of the field, so everyone runs the full body update.
        WorldStandIn level(*world, *camera, everyone, {"Rifle", "Unarmed"});
        level.watchedFrom = Ground(37, 30, 20.0f);
        Skirmish skirmish(*world, *camera);
        std::vector<std::vector<Character*>>& squads = skirmish.squads;
        squads.resize(1);

        SquadRoster roster;
        std::vector<std::unique_ptr<Player>> soldiers;
        std::vector<std::unique_ptr<Enemy>> enemies;
        const auto arm = [&](Character& c) {
            skirmish.rifles.push_back(std::make_unique<SkirmishRifle>());
            c.PickUpItem(skirmish.rifles.back().get(), true);
            c.SelectItem(skirmish.rifles.back().get());
            c.collides = c.gravity = true;
            everyone.push_back(&c);
        };
        for (int i = 0; i < 3; ++i) {
            auto s = std::make_unique<Player>(i, Player::kComputer, &roster, nullptr, "GameData/Models/us01");
            roster.AddMember(s.get());
            const Vector3 at = Ground(34 + i * 3, 22, s->radii.y);
            s->SetPosition(at.x, at.y, at.z);
            s->SetYaw(0.0f);
            arm(*s);
            Patrol(*s, at, Ground(34 + i * 3, 40, 0.0f));
            squads[0].push_back(s.get());
            soldiers.push_back(std::move(s));
        }
        for (int i = 0; i < 3; ++i) {
            static const char* const loadout[] = {"Skirmish Rifle"};
            auto e = std::make_unique<Enemy>("GameData/Models/Soldiers/soldier.gr2", "GameData/AI/infantry.sns",
                                             loadout, 1);
            const Vector3 at = Ground(37, 40 + i * 2, e->radii.y);
            e->SetPosition(at.x, at.y, at.z);
            e->SetYaw(kPi);
            arm(*e);
            if (i == 0) {
                Patrol(*e, at, Ground(37, 20, 0.0f));
                e->SetFormation(Enemy::kFormationFile);
            } else {
                e->JoinFormationOf(enemies.front().get());
            }
            enemies.push_back(std::move(e));
        }

        Outcome outcome;
        const auto living = [](const auto& side) {
            int n = 0;
            for (const auto& c : side)
                n += c->health > 0 ? 1 : 0;
            return n;
        };
        constexpr float kFrame = 1.0f / 30.0f;
        while (outcome.frames < int(seconds / kFrame) && living(soldiers) > 0 && living(enemies) > 0) {
            for (Character* c : std::vector<Character*>(everyone))
                c->Think();
            for (Character* c : std::vector<Character*>(everyone))
                c->Update(kFrame);
            for (const auto& e : enemies) {
                if (e->health > 0) {
                    outcome.enemyStates.insert(e->state);
                    outcome.enemiesAlerted = outcome.enemiesAlerted || e->alerted;
                }
            }
            ++outcome.frames;
        }
        outcome.livingSquad = living(soldiers);
        outcome.livingEnemies = living(enemies);
        for (auto& rifle : skirmish.rifles)
            outcome.shots += rifle->shots;
        for (Character* c : everyone)
            outcome.positions.push_back(c->position);
        everyone.clear();
        squads[0].clear();
        enemies.clear();
        soldiers.clear();
        return outcome;
    }

};

} // namespace

TEST_F(EnemySkirmishTest, AnEnemySquadMeetsTheSquadFightsAndEndsTheSameWayFromTheSameSeed)
{
    const Outcome first = Play(11, 120.0f);
    EXPECT_TRUE(first.enemiesAlerted);
    EXPECT_TRUE(first.enemyStates.count(StateFollow)) << "the members follow their leader in the ranger file";
    EXPECT_TRUE(first.enemyStates.count(StateZeroIn)) << "the first clear sight starts with zeroing in";
    EXPECT_TRUE(first.enemyStates.count(StateAttack) || first.enemyStates.count(StateBurstAttack) ||
                first.enemyStates.count(StateFadeAttack))
        << "then an attack state";
    EXPECT_GT(first.shots, 0);
    EXPECT_TRUE(first.livingSquad == 0 || first.livingEnemies == 0)
        << "one side is down within two minutes: " << first.livingSquad << " to " << first.livingEnemies;
    const Outcome second = Play(11, 120.0f);
    EXPECT_EQ(first.frames, second.frames);
    EXPECT_EQ(first.livingSquad, second.livingSquad);
    EXPECT_EQ(first.livingEnemies, second.livingEnemies);
    EXPECT_EQ(first.shots, second.shots);
    EXPECT_TRUE(first == second);
}
