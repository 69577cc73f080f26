// Every hand-held item of the demo data in the running demo mission: the controlled soldier is
// given the item by the mission's factory and pick-up, takes it in hand and uses it through the
// bound keys and mouse buttons, and real frames show what it did to the map, to a hostile soldier
// in front of it, to the camera and to himself. One level load serves every item.
#include "engine/core/RandomMT.h"
#include "characters/ai/AILevelView.h"
#include "characters/level/RunningLevel.h"
#include "tests/mission/WeaponPlayFixture.h"

#include "characters/ai/AI.h"
#include "characters/ai/AIMissionServices.h"
#include "items/AutoRifleItem.h"
#include "items/GrenadeItem.h"
#include "items/KnifeItem.h"
#include "items/PlainItems.h"
#include "items/RPGItem.h"
#include "items/ScopedRifleItem.h"
#include "items/projectiles/GasProjectiles.h"
#include "items/projectiles/GrenadeProjectile.h"
#include "items/projectiles/Rocket.h"
#include "platform/os/VirtualKeys.h"
#include "world/environment/DecalManager.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

// Actions of the options' key table.
constexpr int PrimaryAction = 10, SecondaryAction = 11, ReloadAction = 13, SelectNextItem = 16, SelectKnife = 38, SelectPrimary = 39,
              SelectSecondary = 40, SelectItem1 = 41, UseBinoculars = 46, UseFirstAid = 47, NightVisionAction = 30;
constexpr int AutomaticReloadOption = 95;
// A seed of the shared generator under which a shot that starts from it lands within the aimed
// part of a target 8 units away (the deviation is drawn within the weapon's spread).
constexpr std::uint32_t ShotSeed = 2;
// From the start point the valley falls away towards this heading, so a level shot meets nothing
// but what stands in it; towards the other the ground is flat for a throw.
constexpr float OpenYaw = -2.3561945f, FlatYaw = 1.5707964f;

class WeaponPlayTest : public WeaponPlayFixture {
protected:
    // Takes the item in hand through its selection key, and the primary button where the key only
    // makes it pending.
    void SelectThroughKeys(Item* item)
    {
        int action = -1;
        if (dynamic_cast<KnifeItem*>(item)) {
            action = SelectKnife;
        } else if (dynamic_cast<BinocularsItem*>(item)) {
            action = UseBinoculars;
        } else if (dynamic_cast<FirstAidItem*>(item)) {
            action = UseFirstAid;
        } else if (item->GetSlotKind() == 0) {
            action = SelectPrimary;
        } else if (item->GetSlotKind() == 1) {
            action = SelectSecondary;
        } else if (item->GetSlotKind() == 2) {
            action = SelectItem1;
            for (CarriedItem* carried : leader->GetInventory()) {
                if (carried == item)
                    break;
                action += carried->GetSlotKind() == 2;
            }
        }
        if (action >= 0) {
            TapAction(action);
        } else { // no key of its own: stepped to with the next-item key
            for (std::size_t i = 0; i < leader->GetInventory().size() && mission->controls.pendingItem != item; ++i)
                TapAction(SelectNextItem);
        }
        EXPECT_TRUE(mission->controls.pendingItem == item || leader->GetHeldItem() == item) << "the key did not reach it";
        if (mission->controls.pendingItem == item)
            TapAction(PrimaryAction);
        Frames(1);
        // The soldier's own skill steadies the weapon (a grenade's throw).
        auto* weapon = dynamic_cast<WeaponItem*>(item);
        if (auto* grenade = dynamic_cast<GrenadeItem*>(item)) {
            EXPECT_FLOAT_EQ(grenade->throwSkill, leader->GetSkill(grenade->GetSkillIndex()));
        } else if (weapon) {
            EXPECT_FLOAT_EQ(weapon->ownerSkill, leader->GetSkill(weapon->GetSkillIndex()));
        }
        WaitForFreeHands(weapon);
    }

    // Frames until the soldier's hands are free: not stunned by a blast, done with what he was
    // doing (a throw, the reload of the weapon he held before), the weapon neither reloading nor
    // in use.
    void WaitForFreeHands(WeaponItem* weapon)
    {
        EXPECT_TRUE(FramesUntil(600, [this, weapon] {
            return !leader->IsStunned() &&
                   !(Character::GetActionFlags(leader->currentAction) & Character::ActionUsesHands) &&
                   !(weapon && (weapon->IsReloading() || weapon->IsInUse()));
        }));
    }

    // The point the crosshair shows at the distance, and a hostile soldier standing so that the
    // crosshair meets its belly (its position 3.8 below the line) or its head (5.8 below).
    Vector3 AimPoint(float distance)
    {
        const HitResult ray = CenterRay();
        return ray.origin + ray.direction * distance;
    }

    Character* TargetOnCrosshair(float distance, bool head = false)
    {
        Character* body = NewTarget(AimPoint(distance) - Vector3(0.0f, head ? 5.8f : 3.8f, 0.0f));
        Frames(1);
        return body;
    }

    // The point on the soldier's level the distance ahead of him.
    Vector3 Ahead(float distance)
    {
        Vector3 forward(leader->rotation.m[6], 0.0f, leader->rotation.m[8]);
        forward.Normalize();
        return leader->position + forward * distance;
    }

    // Frames until the mission's projectiles have all done their work.
    void SettleProjectiles(int most = 3600)
    {
        EXPECT_TRUE(FramesUntil(most, [this] { return mission->level.projectiles.empty(); }))
            << mission->level.projectiles.size() << " projectiles still flying";
    }

    // A frame drawn with what flies: the projectiles are drawn with the held item.
    void ExpectProjectilesDrawn()
    {
        application->Draw();
        EXPECT_GT(mission->hud.drawnProjectiles, 0);
    }

    template <typename Kind>
    Kind* NewestProjectile()
    {
        for (auto it = mission->level.projectiles.rbegin(); it != mission->level.projectiles.rend(); ++it)
            if (auto* projectile = dynamic_cast<Kind*>(*it))
                return projectile;
        return nullptr;
    }

    // Shots into the ground ahead leave a decal and start impact effects.
    void ExpectShotMarksTheMap(const std::function<void()>& fire)
    {
        RemoveTarget();
        Face(OpenYaw, 0.45f);
        const int decalSlot = DecalManager::GetNextSlot();
        const int effects = mission->level.particleEffects.Count();
        fire();
        Frames(1);
        EXPECT_NE(DecalManager::GetNextSlot(), decalSlot) << "no decal";
        EXPECT_GT(mission->level.particleEffects.Count(), effects) << "no impact effect";
        Face(OpenYaw);
    }

    // A hostile soldier close in front is hit where the crosshair is: in the body, or in the head,
    // which kills at once. The region is read from the bone the shot hit, so a shot that falls
    // within the fire call (without frames, in which other rays test the body) tells it.
    void ExpectShotHitsByRegion(const std::function<void()>& fire, bool shotWithinCall = true)
    {
        Face(OpenYaw);
        for (const int region : {1, 0}) {
            if (region == 0 && !shotWithinCall)
                break;
            SCOPED_TRACE(region == 0 ? "head" : "body");
            Character* body = TargetOnCrosshair(8.0f, region == 0);
            const SquadStatistics before = mission->squadStatistics;
            fire();
            EXPECT_LT(body->health, 100);
            if (shotWithinCall) {
                EXPECT_EQ(body->GetBodyRegion(body->GetLastHitBone()), region);
                EXPECT_EQ(body->health <= 0, region == 0) << "health " << body->health;
                // The soldier leads the squad: his shots and hits (a burst's several) and the
                // head-shot kill count at its place 0.
                const SquadStatistics& after = mission->squadStatistics;
                EXPECT_GT(after.Get(SquadStatistics::Shots, 0), before.Get(SquadStatistics::Shots, 0));
                EXPECT_GT(after.Get(SquadStatistics::Hits, 0), before.Get(SquadStatistics::Hits, 0));
                const int killed = region == 0 ? 1 : 0;
                EXPECT_EQ(after.Get(SquadStatistics::Kills, 0), before.Get(SquadStatistics::Kills, 0) + killed);
                EXPECT_EQ(after.Get(SquadStatistics::HeadShots, 0), before.Get(SquadStatistics::HeadShots, 0) + killed);
            }
            Frames(1);
        }
        RemoveTarget();
    }

    // A magazine emptied by the trigger, then the reload key fills it from a spare one.
    void ExpectMagazineEmptiesAndReloads(WeaponItem* weapon, const std::function<void()>& fire)
    {
        RemoveTarget();
        Face(OpenYaw, -0.3f); // into the sky: nothing to hit
        Options::Instance()->SetOption(AutomaticReloadOption, 0);
        const int spare = weapon->GetMagazines();
        ASSERT_GT(spare, 0);
        for (int shots = 0; weapon->GetCartridges() > 0 && shots < 200; ++shots) {
            fire();
            FramesUntil(60, [weapon] { return !weapon->IsInUse(); });
        }
        EXPECT_EQ(weapon->GetCartridges(), 0);
        EXPECT_EQ(weapon->GetMagazines(), spare);
        TapAction(ReloadAction);
        EXPECT_TRUE(weapon->IsReloading());
        Frames(1);
        EXPECT_TRUE(weapon->IsReloading()) << "the reload lasts while its animation plays";
        EXPECT_TRUE(FramesUntil(300, [weapon] { return !weapon->IsReloading(); }));
        EXPECT_EQ(weapon->GetCartridges(), weapon->GetMagazineCapacity());
        EXPECT_EQ(weapon->GetMagazines(), spare - 1);
        Options::Instance()->SetOption(AutomaticReloadOption, 1);
        Face(OpenYaw);
    }

    void Click(int action) { TapAction(action); }

    // A click of the button once the weapon has finished its last use (the bolt cycled).
    std::function<void()> ClickWhenDone(WeaponItem* weapon, int action)
    {
        return [this, weapon, action] {
            FramesUntil(90, [weapon] { return !weapon->IsInUse(); });
            // The shot's deviation draws from the generator that the characters' animations draw
            // from too: seeded at the click, the shot goes the same way whatever the frames
            // before it drew.
            seedMT(ShotSeed);
            Click(action);
        };
    }

public:
    // --- the items ---

    void Stab(Item* item)
    {
        auto* knife = dynamic_cast<KnifeItem*>(item);
        ASSERT_NE(knife, nullptr);
        Face(OpenYaw);
        // Three units ahead, unaware: the stab kills. Beside the soldier: untouched.
        Character* victim = NewTarget(Ahead(3.0f));
        const SquadStatistics before = mission->squadStatistics;
        Click(PrimaryAction);
        EXPECT_LE(victim->health, 0);
        EXPECT_EQ(mission->squadStatistics.Get(SquadStatistics::KnifeStabs, 0), before.Get(SquadStatistics::KnifeStabs, 0) + 1);
        EXPECT_EQ(mission->squadStatistics.Get(SquadStatistics::SilentKills, 0), before.Get(SquadStatistics::SilentKills, 0) + 1);
        FramesUntil(60, [knife] { return !knife->IsInUse(); });
        const Vector3 side(leader->rotation.m[0], 0.0f, leader->rotation.m[2]);
        Character* bystander = NewTarget(leader->position + side * 3.0f);
        Click(PrimaryAction);
        EXPECT_EQ(bystander->health, 100);
    }

    void FireSingleShots(Item* item)
    {
        auto* pistol = dynamic_cast<ScopedRifleItem*>(item);
        ASSERT_NE(pistol, nullptr);
        EXPECT_FALSE(pistol->HasScope());
        const auto fire = ClickWhenDone(pistol, PrimaryAction);
        ExpectShotHitsByRegion(fire);
        ExpectShotMarksTheMap(fire);
        ExpectMagazineEmptiesAndReloads(pistol, fire);
    }

    // Bursts of the trigger held, and single aimed shots of the secondary button.
    void FireBursts(Item* item) { FireBursts(item, true); }

    void FireBursts(Item* item, bool singleShots)
    {
        auto* rifle = dynamic_cast<AutoRifleItem*>(item);
        ASSERT_NE(rifle, nullptr);
        Face(OpenYaw, -0.3f);
        const int before = rifle->GetCartridges();
        PressAction(PrimaryAction);
        Frames(30);
        ReleaseAction(PrimaryAction);
        EXPECT_EQ(before - rifle->GetCartridges(), rifle->GetBurstLength());
        EXPECT_FALSE(rifle->IsInUse());
        // The first shot of a burst falls in the frame after the press.
        auto shot = [this, rifle] {
            FramesUntil(30, [rifle] { return !rifle->IsInUse() && rifle->timeSinceShot > rifle->GetFireInterval(); });
            PressAction(PrimaryAction);
            Frames(1);
            ReleaseAction(PrimaryAction);
        };
        auto burst = [this, rifle] {
            PressAction(PrimaryAction);
            FramesUntil(30, [rifle] { return !rifle->IsInUse(); });
            ReleaseAction(PrimaryAction);
        };
        if (singleShots) {
            Frames(5);
            Click(SecondaryAction);
            EXPECT_EQ(before - rifle->GetCartridges(), rifle->GetBurstLength() + 1);
            FramesUntil(30, [rifle] { return !rifle->IsInUse(); });
            EXPECT_FALSE(rifle->IsInUse());
            const auto single = ClickWhenDone(rifle, SecondaryAction);
            ExpectShotHitsByRegion(single);
            ExpectShotMarksTheMap(single);
        } else {
            ExpectShotHitsByRegion(shot, false);
            ExpectShotMarksTheMap(shot);
        }
        ExpectMagazineEmptiesAndReloads(rifle, burst);
    }

    // The grenade launcher under the rifle: an impact-fused grenade that blows up ahead.
    void FireBurstsAndLaunch(Item* item)
    {
        FireBursts(item, false);
        auto* launcher = dynamic_cast<MachinegunGrenItem*>(item);
        ASSERT_NE(launcher, nullptr);
        // Launched level from 12 units ahead of the soldier, it comes down on the ground beyond.
        Face(FlatYaw);
        Character* victim = NewTarget(Ahead(35.0f));
        const int grenades = launcher->grenades;
        const int cartridges = launcher->GetCartridges();
        Click(SecondaryAction);
        EXPECT_EQ(launcher->grenades, grenades - 1);
        EXPECT_EQ(launcher->GetCartridges(), cartridges);
        GrenadeProjectile* grenade = NewestProjectile<GrenadeProjectile>();
        ASSERT_NE(grenade, nullptr);
        EXPECT_TRUE(grenade->impactFuse);
        EXPECT_TRUE(FramesUntil(120, [grenade] { return grenade->wentOff; }));
        EXPECT_GT(grenade->position.DistanceSquared(grenade->origin), 75.0f);
        EXPECT_LT(victim->health, 100);
        SettleProjectiles();

        // Launched down at the ground rising ahead, it starts short of it and blows up on it
        // (by its fuse, as it is too close for the impact), never under it; the soldier, made
        // tough enough to live through it, is hurt by his own blast.
        leader->health = 1000;
        Face(FlatYaw, 0.15f);
        Click(SecondaryAction);
        grenade = NewestProjectile<GrenadeProjectile>();
        ASSERT_NE(grenade, nullptr);
        EXPECT_TRUE(FramesUntil(130, [grenade] { return grenade->wentOff; }));
        const Vector3 at = grenade->mesh.position;
        EXPECT_GT(at.y, mission->GetGroundHeight(at + Vector3(0.0f, 10.0f, 0.0f)) - 1.0f);
        EXPECT_LT(leader->health, 1000);
        SettleProjectiles();
    }

    // The light machine gun keeps firing while the trigger is held.
    void FireAutomatic(Item* item)
    {
        auto* gun = dynamic_cast<LMGItem*>(item);
        ASSERT_NE(gun, nullptr);
        EXPECT_EQ(gun->GetBurstLength(), -1);
        Face(OpenYaw, -0.3f);
        const int before = gun->GetCartridges();
        PressAction(PrimaryAction);
        Frames(30); // a shot every third frame: the interval must be exceeded
        const int fired = before - gun->GetCartridges();
        EXPECT_GE(fired, 9);
        EXPECT_LE(fired, 11);
        EXPECT_TRUE(gun->IsInUse());
        ReleaseAction(PrimaryAction);
        Frames(10);
        EXPECT_EQ(before - gun->GetCartridges(), fired);
        EXPECT_FALSE(gun->IsInUse());
        ExpectShotHitsByRegion([this] {
            PressAction(PrimaryAction);
            Frames(1);
            ReleaseAction(PrimaryAction);
        }, false);
    }

    // The scope: up with the secondary button, eight zoom steps of the wheel, night vision by its
    // key, a shot through it, and down again by Escape with the camera as it was.
    void Scope(Item* item)
    {
        auto* rifle = dynamic_cast<ScopedRifleItem*>(item);
        ASSERT_NE(rifle, nullptr);
        ASSERT_TRUE(rifle->HasScope());
        Face(OpenYaw);
        Camera* camera = mission->level.camera;
        const float fieldOfView = camera->GetFov(), nearDistance = camera->GetNear();
        Click(SecondaryAction);
        ASSERT_TRUE(rifle->scopeActive);
        EXPECT_FLOAT_EQ(camera->GetNear(), 2.0f);
        EXPECT_FALSE(mission->hud.distanceCulling);
        EXPECT_FALSE(mission->hud.crosshairShown);
        for (int i = 0; i < 10; ++i)
            application->MouseWheel(true, 400, 300); // down: out to the least zoom
        EXPECT_FLOAT_EQ(rifle->zoom, rifle->minZoom);
        const float step = (rifle->maxZoom - rifle->minZoom) / 8.0f;
        for (int i = 1; i <= 9; ++i) {
            application->MouseWheel(false, 400, 300);
            Frames(1);
            const float expected = std::min(rifle->minZoom + step * float(i), rifle->maxZoom);
            EXPECT_FLOAT_EQ(rifle->zoom, expected) << "step " << i;
            EXPECT_NEAR(camera->GetFov(), std::atan2(expected * 0.01f, 1.0f), 1e-5f) << "step " << i;
        }
        EXPECT_EQ(mission->controls.pendingItem, nullptr); // the wheel zoomed instead of choosing items

        ASSERT_EQ(rifle->nightVision, 2);
        EXPECT_FALSE(mission->hud.nightVision);
        TapAction(NightVisionAction);
        EXPECT_TRUE(mission->hud.nightVision);
        TapAction(NightVisionAction);
        EXPECT_FALSE(mission->hud.nightVision);
        TapAction(NightVisionAction);

        Character* victim = TargetOnCrosshair(20.0f);
        Click(PrimaryAction);
        Frames(1);
        EXPECT_LT(victim->health, 100);
        RemoveTarget();
        FramesUntil(90, [rifle] { return !rifle->IsInUse(); });

        // Escape lowers the scope; it does not leave the level.
        application->KeyDown(platform::os::VK_ESCAPE);
        application->KeyUp(platform::os::VK_ESCAPE);
        EXPECT_TRUE(mission->IsLevelPresent());
        EXPECT_FALSE(rifle->scopeActive);
        EXPECT_FALSE(mission->hud.nightVision);
        EXPECT_TRUE(mission->hud.distanceCulling);
        EXPECT_TRUE(mission->hud.crosshairShown);
        EXPECT_FLOAT_EQ(camera->GetFov(), fieldOfView);
        EXPECT_FLOAT_EQ(camera->GetNear(), nearDistance);
        ExpectMagazineEmptiesAndReloads(rifle, ClickWhenDone(rifle, PrimaryAction));
    }

    // A rocket flies at a hostile soldier ahead and blows up on him.
    void LaunchRocket(Item* item)
    {
        auto* launcher = dynamic_cast<RPGItem*>(item);
        ASSERT_NE(launcher, nullptr);
        leader->health = 1000; // tough enough to live through his own blast
        Face(OpenYaw);
        Character* victim = TargetOnCrosshair(14.0f);
        const int magazines = launcher->GetMagazines();
        Click(PrimaryAction);
        // The launcher takes its next rocket at once.
        EXPECT_EQ(launcher->GetMagazines(), magazines - 1);
        EXPECT_EQ(launcher->GetCartridges(), launcher->GetMagazineCapacity());
        Rocket* rocket = NewestProjectile<Rocket>();
        ASSERT_NE(rocket, nullptr);
        const Vector3 start = rocket->position;
        Frames(1);
        EXPECT_GT(rocket->position.DistanceSquared(start), 16.0f) << "the rocket flies";
        ExpectProjectilesDrawn();
        EXPECT_TRUE(FramesUntil(60, [rocket] { return rocket->exploded; }));
        EXPECT_LT(victim->health, 100);
        SettleProjectiles();
        RemoveTarget();
    }

    // The trigger held for the frames and released: one grenade fewer, and the projectile thrown.
    GrenadeProjectile* Throw(GrenadeItem* grenade, int heldFrames)
    {
        const int count = grenade->GetMagazines();
        PressAction(PrimaryAction);
        Frames(heldFrames);
        ReleaseAction(PrimaryAction);
        EXPECT_EQ(grenade->GetMagazines(), count - 1);
        return NewestProjectile<GrenadeProjectile>();
    }

    // The grenade in hand thrown onto the flat ground ahead: the canister of the kind that it made,
    // once it has come down; null (and a failure) when it made none.
    template <typename Kind>
    Kind* ThrowCanister(Item* item)
    {
        auto* grenade = dynamic_cast<GrenadeItem*>(item);
        EXPECT_NE(grenade, nullptr);
        if (!grenade)
            return nullptr;
        Face(FlatYaw, 0.6f);
        auto* canister = dynamic_cast<Kind*>(Throw(grenade, 10));
        EXPECT_NE(canister, nullptr);
        if (canister) {
            EXPECT_TRUE(FramesUntil(200, [canister] { return canister->velocity.Length() < 1.0f; }));
            ExpectProjectilesDrawn();
        }
        return canister;
    }

    // The frag grenade falls, bounces and blows up near a hostile soldier, hurting him.
    // Held past 0.8 s (30 frames) a grenade goes at once.
    void ThrowFrag(Item* item)
    {
        auto* grenade = dynamic_cast<GrenadeItem*>(item);
        ASSERT_NE(grenade, nullptr);
        Face(FlatYaw, 0.6f);
        Character* victim = NewTarget(Ahead(12.0f));
        GrenadeProjectile* thrown = Throw(grenade, 10);
        ASSERT_NE(thrown, nullptr);
        ExpectProjectilesDrawn();
        EXPECT_TRUE(FramesUntil(200, [thrown] { return thrown->wentOff; }));
        EXPECT_GT(thrown->bounces, 0);
        EXPECT_LT(victim->health, 100);
        SettleProjectiles();
        RemoveTarget();

        // The last grenades thrown, the empty item leaves the hand and, once they have gone off,
        // the world.
        const std::int16_t id = std::int16_t(grenade->GetStoredID());
        ASSERT_TRUE(grenade->HasID());
        for (int left = grenade->GetMagazines(); left > 0; --left) {
            WaitForFreeHands(grenade);
            Throw(grenade, 30);
        }
        EXPECT_FALSE(leader->OwnsItem(grenade));
        EXPECT_EQ(leader->GetHeldItem(), nullptr);
        SettleProjectiles();
        EXPECT_EQ(GameObject::GetByID(id), nullptr);
    }

    // The smoke canister's cloud stands between a watcher and the soldier it watches.
    void ThrowSmoke(Item* item)
    {
        auto* canister = ThrowCanister<SmokeProjectile>(item);
        ASSERT_NE(canister, nullptr);
        // Pouring smoke; the AI's sight test reads its cloud.
        EXPECT_TRUE(canister->IsEmitting());
        const std::vector<Vector3>& clouds = RunningLevel::AI().SmokeClouds();
        ASSERT_EQ(clouds.size(), 1u);
        EXPECT_EQ(clouds[0], canister->position);

        // A watcher 20 units on one side of the cloud looks at a point 20 units on the other; a
        // second one looks along a parallel line 40 units beside the cloud.
        const Vector3 centre = canister->position + Vector3(0.0f, 3.0f, 0.0f);
        AI watcher;
        watcher.sensor.orientation.SetIdentity();
        watcher.sensor.orientation(2, 0) = 1.0f; // looking along +x
        watcher.sensor.orientation(2, 2) = 0.0f;
        watcher.sensor.orientation(0, 0) = 0.0f;
        watcher.sensor.orientation(0, 2) = -1.0f;
        watcher.sensor.sightRange = 400.0f;
        watcher.sensor.sightWeight = 100.0f;
        watcher.sensor.viewConeCos = 0.5f;
        auto sight = [&](const Vector3& from) {
            watcher.sensor.eyePosition = from;
            StimulusSource record;
            record.position = from + Vector3(40.0f, 0.0f, 0.0f);
            record.visibility = 1.0f;
            SenseResult result;
            watcher.sightSamples.Clear();
            watcher.Sense(nullptr, record, 1600.0f, 0.0f, result);
            return result.sight;
        };
        const float through = sight(centre - Vector3(20.0f, 0.0f, 0.0f));
        const float beside = sight(centre - Vector3(20.0f, 0.0f, 40.0f));
        EXPECT_GT(beside, 0.0f);
        EXPECT_LT(through, beside * 0.05f);
    }

    // A hostile soldier beside the tear-gas canister is stunned.
    void ThrowTearGas(Item* item)
    {
        auto* canister = ThrowCanister<TeargasProjectile>(item);
        ASSERT_NE(canister, nullptr);
        Character* victim = NewTarget(canister->position + Vector3(5.0f, 4.0f, 0.0f));
        EXPECT_TRUE(FramesUntil(60, [victim] { return victim->IsStunned(); }));
        RemoveTarget();
    }

    // Zoomed while held; wheel steps narrow the view; putting them away gives the camera back.
    void LookThroughBinoculars(Item* item)
    {
        auto* binoculars = dynamic_cast<BinocularsItem*>(item);
        ASSERT_NE(binoculars, nullptr);
        Camera* camera = mission->level.camera;
        EXPECT_FLOAT_EQ(camera->GetNear(), 2.0f);
        EXPECT_NEAR(camera->GetFov(), std::atan2(binoculars->zoom * 0.01f, 1.0f), 1e-5f);
        EXPECT_FALSE(mission->hud.distanceCulling);
        EXPECT_FALSE(mission->hud.crosshairShown);
        for (int i = 0; i < 10; ++i)
            application->MouseWheel(true, 400, 300);
        EXPECT_FLOAT_EQ(binoculars->zoom, binoculars->minZoom);
        application->MouseWheel(false, 400, 300);
        Frames(1);
        const float zoom = binoculars->minZoom + (binoculars->maxZoom - binoculars->minZoom) / 8.0f;
        EXPECT_FLOAT_EQ(binoculars->zoom, zoom);
        EXPECT_NEAR(camera->GetFov(), std::atan2(zoom * 0.01f, 1.0f), 1e-5f);
        EXPECT_EQ(mission->controls.pendingItem, nullptr);
        // The primary button puts them away: the item held before is back, and the camera too.
        Click(PrimaryAction);
        Frames(1);
        EXPECT_NE(leader->GetHeldItem(), item);
        EXPECT_FLOAT_EQ(camera->GetNear(), savedNear);
        EXPECT_FLOAT_EQ(camera->GetFov(), savedFieldOfView);
        EXPECT_TRUE(mission->hud.distanceCulling);
        EXPECT_TRUE(mission->hud.crosshairShown);
    }

    // Taken in hand by its key and the primary button, the kit heals the wounded soldier by his
    // medic skill once and is dropped spent.
    void HealWithFirstAid(Item* item)
    {
        static constexpr int MedicSkill = 9;
        auto* kit = dynamic_cast<FirstAidItem*>(item);
        ASSERT_NE(kit, nullptr);
        EXPECT_TRUE(kit->spent);
        EXPECT_EQ(kit->owner, nullptr) << "a spent kit is dropped";
        EXPECT_EQ(leader->health, 50 + int(leader->GetSkill(MedicSkill) * kit->healAmount));
        EXPECT_NE(leader->GetHeldItem(), item);
    }

    // Carried, never held: taking it in hand gives the hand back to the item held before.
    void CarryMissionItem(Item* item)
    {
        EXPECT_NE(dynamic_cast<MissionItem*>(item), nullptr);
        EXPECT_TRUE(leader->OwnsItem(item));
        EXPECT_EQ(leader->GetHeldItem(), heldBefore);
    }

    float savedNear = 0.0f, savedFieldOfView = 0.0f;
    CarriedItem* heldBefore = nullptr;
};

TEST_F(WeaponPlayTest, TheControlledSoldierUsesEveryHandHeldItemOfTheDemo)
{
    struct Case {
        const char* name;
        void (WeaponPlayTest::*play)(Item*);
        bool heldAfterSelection;
    };
    const Case cases[] = {
        {"Knife", &WeaponPlayTest::Stab, true},
        {"Pistol", &WeaponPlayTest::FireSingleShots, true},
        {"M4", &WeaponPlayTest::FireBursts, true},
        {"M4-M203", &WeaponPlayTest::FireBurstsAndLaunch, true},
        {"M249", &WeaponPlayTest::FireAutomatic, true},
        {"Sniper Rifle", &WeaponPlayTest::Scope, true},
        {"RPG", &WeaponPlayTest::LaunchRocket, true},
        {"Frag Grenade", &WeaponPlayTest::ThrowFrag, true},
        {"Smoke Grenade", &WeaponPlayTest::ThrowSmoke, true},
        {"Tear Gas", &WeaponPlayTest::ThrowTearGas, true},
        {"Binoculars", &WeaponPlayTest::LookThroughBinoculars, true},
        {"First Aid Kit", &WeaponPlayTest::HealWithFirstAid, false},
        {"Intel Documents", &WeaponPlayTest::CarryMissionItem, false},
    };
    const Vector3 start = leader->position;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The soldier at full health, standing at the start and looking ahead (a stun from the
        // last blast wears off); an item of the name that he carries from the demo's
        // set-up is given up, so that the new one is taken whole.
        leader->health = 100;
        if (leader->stunTime > 0.0f)
            leader->stunTime = 0.001f;
        // The smoke of the last blasts clears first: drawn in front of the camera it would fill
        // the software rasteriser's frame many times over.
        FramesUntil(1800, [this] { return mission->level.particleEffects.Count() == 0; });
        leader->SetPostureImmediate(Character::Standing);
        leader->SetPosition(start.x, start.y, start.z);
        Face(OpenYaw);
        for (CarriedItem* carried : std::vector<CarriedItem*>(leader->GetInventory()))
            if (std::string(carried->name) == c.name) {
                leader->DropItem(carried, leader->position);
                mission->DeleteItem(carried);
            }
        savedNear = mission->level.camera->GetNear();
        savedFieldOfView = mission->level.camera->GetFov();
        if (std::string(c.name) == "First Aid Kit")
            leader->health = 50;

        Item* item = Give(c.name);
        ASSERT_NE(item, nullptr) << Log();
        heldBefore = leader->GetHeldItem();
        SelectThroughKeys(item);
        if (c.heldAfterSelection) {
            EXPECT_EQ(leader->GetHeldItem(), item);
        }
        application->Draw(); // the item in the soldier's hand
        (this->*c.play)(item);
        SettleProjectiles();
        EXPECT_GT(leader->health, 0);
    }
    // Every file the items and their shots open is in the demo data.
    const std::string log = Log();
    for (const char* failure : {"Can't load", "Error loading GameData/Items", "DecalManager Fatal Error"})
        EXPECT_EQ(log.find(failure), std::string::npos) << log;
}

} // namespace
