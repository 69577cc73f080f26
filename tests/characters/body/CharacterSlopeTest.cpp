// Soldiers with no input on sloping ground: on the demo map's hillsides and flats they stay where
// they stand (so a standing formation leader counts as standing and re-anchors), on a plane too
// steep to stand on they slide down it, and walking up and down a hillside still covers ground.
#include <cmath>
#include <memory>
#include <vector>

#include "characters/ai/Formation.h"
#include "characters/ai/Soldier.h"
#include "engine/material/Material.h"
#include "physics/Collision.h"
#include "tests/characters/body/DemoMapCharacterFixture.h"

namespace {

constexpr float kFrame = 1.0f / 30.0f;

// A plane falling away towards +x at a set angle, laid out as terrain cells around a point.
class SlopeScene final : public CollisionScene {
public:
    SlopeScene(const Vector3& centre, float degrees) : centre(centre), fall(std::tan(degrees * 3.14159265f / 180.0f))
    {
        material.srcBlend = BlendOne;
        material.destBlend = BlendZero;
    }

    bool GetTerrainGrid(int& rows, int& columns, float& cellSize) override
    {
        rows = columns = kCells;
        cellSize = kCellSize;
        return true;
    }
    void WorldToCell(float x, float z, int& row, int& column) override
    {
        column = int(std::floor((x - Left()) / kCellSize));
        row = int(std::floor((z - Near()) / kCellSize));
    }
    const Material* GetCellMaterial(int, int) override { return &material; }
    void GetCellTriangles(int row, int column, Vector3 corners[6]) override
    {
        const float x = Left() + float(column) * kCellSize, z = Near() + float(row) * kCellSize;
        const Vector3 a = At(x, z), b = At(x, z + kCellSize), c = At(x + kCellSize, z),
                      d = At(x + kCellSize, z + kCellSize);
        corners[0] = a, corners[1] = b, corners[2] = c; // facing up
        corners[3] = c, corners[4] = b, corners[5] = d;
    }
    void GatherObjectsInRadius(const Vector3&, float, std::vector<CollisionObject>&) override {}

    Vector3 At(float x, float z) const { return Vector3(x, centre.y - fall * (x - centre.x), z); }

private:
    static constexpr int kCells = 16;
    static constexpr float kCellSize = 10.0f;
    float Left() const { return centre.x - kCells * kCellSize / 2.0f; }
    float Near() const { return centre.z - kCells * kCellSize / 2.0f; }

    Vector3 centre;
    float fall;
    Material material;
};

class CharacterSlopeTest : public DemoMapCharacterTest {
protected:
    float Ground(const Vector3& p) const { return world->GetTerrainHeightSmooth(p); }

    // The fall of the demo terrain across a corner, as rise over run, and its downhill way.
    float Gradient(const Vector3& p, Vector3* downhill = nullptr) const
    {
        const float dx = (Ground(p + Vector3(2, 0, 0)) - Ground(p - Vector3(2, 0, 0))) / 4.0f;
        const float dz = (Ground(p + Vector3(0, 0, 2)) - Ground(p - Vector3(0, 0, 2))) / 4.0f;
        if (downhill) {
            *downhill = Vector3(-dx, 0.0f, -dz);
            downhill->Normalize();
        }
        return std::hypot(dx, dz);
    }

    // Dry inland ground of the demo map: its steepest and flattest corners, and the point
    // halfway between them, a gentler hillside.
    struct Spots {
        Vector3 steepest, flattest, between;
    };
    Spots FindSlopes() const
    {
        Spots spots;
        float most = -1.0f, least = 1e9f;
        for (int column = 8; column <= 56; ++column)
            for (int row = 8; row <= 56; ++row) {
                Vector3 p = world->GetCornerPosition(column, row);
                p.y = Ground(p);
                if (world->GetWaterHeight(p) > p.y - 10.0f)
                    continue;
                const float g = Gradient(p);
                if (g > most)
                    most = g, spots.steepest = p;
                if (g < least)
                    least = g, spots.flattest = p;
            }
        spots.between = (spots.steepest + spots.flattest) * 0.5f;
        spots.between.y = Ground(spots.between);
        return spots;
    }

    // A soldier standing on the ground at a point, landed.
    Soldier& Place(const Vector3& at)
    {
        auto s = std::make_unique<Soldier>();
        s->kind = Character::SquadKind;
        s->LoadAnimationInfo();
        s->LoadModel(device, "GameData/Models/Soldiers/soldier.gr2");
        s->SetPosition(at.x, at.y + s->radii.y + 0.5f, at.z);
        s->collides = s->gravity = true;
        s->StartAction(0, true);
        Soldier& kept = Keep(std::move(s));
        Run(kept, 0.5f);
        return kept;
    }

    // The body's own frames at the fixed frame clock, with whatever input each frame gives.
    template <typename Input>
    void Run(Soldier& s, float seconds, Input input)
    {
        for (int frame = 0; frame < int(std::lround(seconds / kFrame)); ++frame) {
            input(s);
            s.Character::Update(kFrame);
        }
    }
    void Run(Soldier& s, float seconds)
    {
        Run(s, seconds, [](Soldier&) {});
    }

    static float Across(const Vector3& a, const Vector3& b) { return std::hypot(a.x - b.x, a.z - b.z); }
};

} // namespace

TEST_F(CharacterSlopeTest, StandingSoldiersStayWhereTheyStandOnHillsidesAndFlats)
{
    const Spots spots = FindSlopes();
    ASSERT_GT(Gradient(spots.steepest), 0.4f) << "the map has a real hillside";
    ASSERT_GT(Gradient(spots.between), 0.2f);
    for (const Vector3& spot : {spots.steepest, spots.flattest, spots.between}) {
        Soldier& s = Place(spot);
        const Vector3 start = s.position;
        Run(s, 10.0f);
        EXPECT_LT(Across(s.position, start), 0.05f) << "slope " << Gradient(spot);
        EXPECT_NEAR(s.position.y, start.y, 0.05f);
        EXPECT_LE(s.velocity.LengthSquared(), 0.001f) << "counts as standing";
        EXPECT_NEAR(s.position.y - s.radii.y, Ground(s.position), 1.0f);
        EXPECT_EQ(s.health, 100);
    }
}

TEST_F(CharacterSlopeTest, ALeaderStandingOnAHillsideReanchorsItsFormation)
{
    Formation::LoadDirectory("GameData/Formations");
    Soldier& leader = Place(FindSlopes().between);
    Soldier member;
    leader.SetFormation("Wedge.for");
    ASSERT_TRUE(leader.LeadsFormation());
    member.JoinFormationOf(&leader);
    Formation* formation = leader.formationLink->formation;

    // Held while the leader moved off: the anchor is left 10 units away, then the leader stands.
    formation->anchor = leader.position + Vector3(10.0f, 0.0f, 0.0f);
    member.reanchor = 0;
    Run(leader, 1.0f, [](Soldier& s) { s.UpdateFormationLeader(); });
    EXPECT_LT(Across(formation->anchor, leader.position), 0.05f) << "the anchor came to the standing leader";
    EXPECT_EQ(member.reanchor, 1);
    member.LeaveFormation();
}

TEST_F(CharacterSlopeTest, SlidesOnlyDownGroundTooSteepToStandOn)
{
    const Vector3 flattest = FindSlopes().flattest;
    // Planes through a point of dry ground; the demo terrain stays close beneath them, so the
    // rescue from below the world never takes a hand.
    const Vector3 centre(flattest.x, flattest.y + 5.0f, flattest.z);
    struct Case {
        float degrees;
        bool slides;
    };
    for (const Case& c : {Case{30.0f, false}, Case{40.0f, false}, Case{60.0f, true}, Case{75.0f, true}}) {
        SlopeScene plane(centre, c.degrees);
        CollisionSetScene(&plane);
        Soldier& s = Place(centre);
        const Vector3 start = s.position;
        Run(s, 2.0f);
        const float moved = Across(s.position, start);
        if (c.slides) {
            EXPECT_GT(s.position.x - start.x, 0.3f) << c.degrees << " degrees: slides downhill";
            EXPECT_LT(std::fabs(s.position.z - start.z), 0.01f) << c.degrees << " degrees: straight down the fall line";
        } else {
            EXPECT_LT(moved, 0.05f) << c.degrees << " degrees: stands";
        }
        EXPECT_GT(s.position.y - plane.At(s.position.x, s.position.z).y, s.radii.y - 0.1f)
            << c.degrees << " degrees: on the plane, not through it";
        CollisionSetScene(scene.get());
    }
}

TEST_F(CharacterSlopeTest, WalksUpAndDownAHillside)
{
    const Vector3 steepest = FindSlopes().steepest;
    Vector3 downhill;
    Gradient(steepest, &downhill);
    Soldier& s = Place(steepest);
    // Down no further than back to where it started: a map object stands lower down the hill.
    const auto walk = [&](const Vector3& way, float seconds) {
        const Vector3 local = s.rotation.Transpose().Transform(way * 10.0f);
        Run(s, seconds, [&](Soldier& w) {
            w.StartAction(1, false);
            w.moveInput = local;
        });
    };

    const Vector3 foot = s.position;
    walk(downhill * -1.0f, 2.0f);
    const Vector3 top = s.position;
    EXPECT_GT(Across(top, foot), 15.0f) << "walked uphill";
    EXPECT_GT(top.y, foot.y + 1.0f);
    EXPECT_NEAR(top.y - s.radii.y, Ground(top), 1.5f) << "on the ground";

    walk(downhill, 1.5f);
    const Vector3 bottom = s.position;
    EXPECT_GT(Across(bottom, top), 12.0f) << "walked downhill";
    EXPECT_LT(bottom.y, top.y - 1.0f);
    EXPECT_NEAR(bottom.y - s.radii.y, Ground(bottom), 1.5f) << "on the ground";
    EXPECT_EQ(s.health, 100) << "no fall on the way down";

    Run(s, 1.0f);
    const Vector3 stopped = s.position;
    Run(s, 3.0f);
    EXPECT_LT(Across(s.position, stopped), 0.05f) << "stands again where it stopped";
}
