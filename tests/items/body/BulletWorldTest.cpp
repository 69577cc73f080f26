// Shots through a hand-placed map: a see-through pane in front of an opaque box, and the ties
// between the world and the targets the mission picks.
#include <memory>
#include <optional>
#include <vector>

#include "app/framework/Application.h"
#include "characters/body/Character.h"
#include "characters/level/RunningLevel.h"
#include "items/ItemServices.h"
#include "items/NoLevelItems.h"
#include "items/projectiles/Bullet.h"
#include "tests/world/WorldFixture.h"
#include "world/map/MapObject.h"

namespace {

class BulletWorldTest : public WorldTest {
protected:
    // The level's item services as the cases see them.
    struct FakeItems : NoLevelItems {
        explicit FakeItems(BulletWorldTest& test) : test(test) {}
        void PlayBulletHitSound(int kind, const Vector3& point) override { test.sounds.push_back({kind, point.z}); }
        void DamageDestroyable(MapObject* object, int, const Vector3&, std::uint16_t, bool) override
        {
            test.damaged.push_back(object);
        }
        void AddDecal(const char*, const Vector3& point, const Vector3&, MapObject*) override
        {
            test.decals.push_back(point.z);
        }
        Character* RayCastObjects(HitResult& hit, Character*, int) override
        {
            if (test.characterAt < 0.0f)
                return nullptr;
            hit.distance = test.characterAt;
            hit.hitPoint = hit.origin + hit.direction * test.characterAt;
            return test.victim.get();
        }
        BulletWorldTest& test;
    };
    FakeItems items{*this};
    std::optional<RunningLevel> level;

    void SetUp() override
    {
        WorldTest::SetUp();
        Application::Instance()->SetDevice(device);
        std::filesystem::create_directory_symlink(std::filesystem::path(BEXAL_DATA_DIR) / "GameData", "GameData");
        WriteFile("Maps/tWorld/glass.tga", WriteTga(TgaImage(8, 8, 0x80A0C0FFu), 32));
        WriteText("Maps/tWorld/glass.shd", "solidalpha\nhitsound 2\n");
        WriteFile("Maps/tWorld/mesh.tga", WriteTga(TgaImage(8, 8, 0x80406040u), 32));
        WriteText("Maps/tWorld/mesh.shd", "hitsound 5\n");
        WritePane("Maps/tWorld/pane.q3d", "glass.tga");
        WritePane("Maps/tWorld/fence.q3d", "mesh.tga");
        MapFile file = Terrain();
        file.entries.push_back({"pane.q3d", "pane", {}, 0, 0});
        file.entries.push_back({"fence.q3d", "fence", {}, 0, 0});
        file.placements.push_back(At(100, 80, 110, 1)); // pane: front face at z 109.9
        file.placements.push_back(At(100, 80, 120, 2)); // fence: front face at z 119.9
        file.placements.push_back(At(100, 80, 140, 0)); // box: front face at z 138
        Load(file);

        level.emplace(RunningLevel::Services{.items = &items});
        victim = std::make_unique<Character>();
        victim->LoadAnimationInfo();
        shooter = std::make_unique<Character>();
    }

    void TearDown() override
    {
        level.reset();
        victim.reset();
        shooter.reset();
        Application::Instance()->SetDevice(nullptr);
        WorldTest::TearDown();
    }

    static void WritePane(const std::string& path, const char* texture)
    {
        Q3dObject pane;
        Q3dMaterial blended;
        blended.texture0 = texture;
        blended.srcBlend = 5;  // SRCALPHA
        blended.destBlend = 6; // INVSRCALPHA
        pane.materials.push_back(blended);
        AddQ3dBox(pane, 20, 20, 1, 0);
        WriteFile(path, WriteQ3dModel({pane}));
    }

    Bullet Fire()
    {
        return Bullet(Vector3(100, 80, 100), Vector3(0, 0, 1), 200.0f, shooter.get(), 30.0f, 30.0f, true);
    }

    struct Sound {
        int kind;
        float z;
    };
    std::vector<Sound> sounds;
    std::vector<MapObject*> damaged;
    std::vector<float> decals;
    float characterAt = -1.0f;
    std::unique_ptr<Character> victim;
    std::unique_ptr<Character> shooter;
};

} // namespace

TEST_F(BulletWorldTest, ShotMarksTheSeeThroughPaneAndStopsAtTheBox)
{
    Bullet shot = Fire();
    EXPECT_NEAR(shot.maxDistance, 38.0f, 1e-3f);
    // The pane is crossed (damaged, no sound, no decal); the fence without "solidalpha" is passed
    // unmarked; the box takes the real hit with the map object's sound kind and a decal.
    ASSERT_EQ(damaged.size(), 2u);
    EXPECT_NE(damaged[0], damaged[1]);
    ASSERT_EQ(sounds.size(), 1u);
    EXPECT_EQ(sounds[0].kind, 4);
    EXPECT_NEAR(sounds[0].z, 138.0f, 1e-3f);
    ASSERT_EQ(decals.size(), 1u);
    EXPECT_NEAR(decals[0], 138.0f, 1e-3f);
}

TEST_F(BulletWorldTest, EqualDistancesGoToTheCharacterBeforeTheWorld)
{
    struct Case {
        float characterAt;
        bool characterHit;
        float maxDistance;
    } cases[] = {{38.0f, true, 38.0f}, {37.0f, true, 37.0f}, {39.0f, false, 38.0f}};
    for (const Case& c : cases) {
        victim->health = 100;
        sounds.clear();
        characterAt = c.characterAt;
        Bullet shot = Fire();
        EXPECT_EQ(victim->health < 100, c.characterHit) << c.characterAt;
        EXPECT_NEAR(shot.maxDistance, c.maxDistance, 1e-3f) << c.characterAt;
    }
}
