// Actions, postures, items, damage, falling, burning, network moves and contacts, on characters
// without a body model or a world.
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "characters/body/AnimationController.h"
#include "tests/characters/CampaignRecorder.h"
#include "tests/characters/LevelFake.h"
#include "tests/characters/SessionFake.h"
#include "tests/characters/body/CharacterFixture.h"

namespace {

class CharacterRulesTest : public CharacterTest {};

// A character a human plays (on this machine or another).
class HumanCharacter : public Character {
public:
    int GetController() override { return 1; }
};

} // namespace

TEST_F(CharacterRulesTest, ActionFlagsAndAnimationsFollowTheTables)
{
    struct FlagCase {
        int action;
        int flags;
    };
    for (const FlagCase& c : std::vector<FlagCase>{{0, 0x00}, {15, 0x00}, {16, 0x20}, {17, 0x17}, {20, 0x17},
                                                   {21, 0x7F}, {22, 0x3F}, {31, 0x7F}, {32, 0x3F}, {33, 0x30},
                                                   {34, 0x11}, {35, 0x32}, {36, 0x32}, {37, 0x3F}, {39, 0x3F},
                                                   {40, 0x25}, {43, 0x25}, {44, 0x3E}, {45, 0x00}, {-1, 0x00}})
        EXPECT_EQ(Character::GetActionFlags(c.action), c.flags) << "action " << c.action;

    struct AnimationCase {
        int action, posture;
        bool alerted, burning;
        int channel, animation;
        bool once, hold;
    };
    for (const AnimationCase& c : std::vector<AnimationCase>{
             {0, 0, false, false, 0, 0, false, false},   {0, 0, true, false, 0, 21, false, false},
             {0, 1, true, false, 0, 36, false, false},   {0, 2, true, false, 0, 51, false, false},
             {3, 0, false, false, 0, 34, false, false},  {3, 0, true, false, 0, 23, false, false},
             {16, 2, false, false, 8, 62, false, false}, {18, 2, false, false, 0, 64, false, false},
             {19, 2, false, false, 0, 63, false, false}, {21, 1, false, false, 0, 66, true, false},
             {22, 0, false, false, 0, 83, true, true},   {22, 2, false, true, 0, 101, true, true},
             {22, 1, false, true, 0, 101, true, true},   {33, 1, false, false, 0, -1, false, false},
             {37, 2, false, false, 0, 6, true, true},    {38, 2, false, false, 0, -1, false, false},
             {44, 2, false, false, 8, 20, false, false}, {43, 1, false, false, 0, 8, false, false}}) {
        const Character::ActionAnimation a = Character::GetActionAnimation(c.action, c.posture, c.alerted, c.burning);
        EXPECT_EQ(a.channel, c.channel) << "action " << c.action << " posture " << c.posture;
        EXPECT_EQ(a.animation, c.animation) << "action " << c.action << " posture " << c.posture;
        EXPECT_EQ(a.once, c.once) << "action " << c.action;
        EXPECT_EQ(a.hold, c.hold) << "action " << c.action;
    }
}

TEST_F(CharacterRulesTest, ActionsLockRefuseAndDrownAsTheRulesSay)
{
    Character c;
    c.LoadAnimationInfo();
    EXPECT_TRUE(c.StartAction(21, false));
    EXPECT_TRUE(c.actionLocked);
    EXPECT_FALSE(c.StartAction(1, false)) << "a locked action is replaced only with force";
    EXPECT_TRUE(c.StartAction(23, true));
    EXPECT_EQ(c.currentAction, 23);
    EXPECT_TRUE(c.actionLocked);

    Character swimmer;
    swimmer.swimming = true;
    EXPECT_FALSE(swimmer.StartAction(23, false));
    EXPECT_TRUE(swimmer.StartAction(22, false));
    swimmer.actionLocked = false;
    swimmer.health = 0;
    EXPECT_TRUE(swimmer.StartAction(1, true));
    EXPECT_EQ(swimmer.currentAction, 37) << "a dead swimmer floats whatever is asked";

    Character rider;
    rider.moveMode = 2;
    EXPECT_FALSE(rider.StartAction(21, false));
    EXPECT_TRUE(rider.StartAction(1, false));

    // A locked action holds steadiness at 0 whatever the time.
    c.UpdateSteadiness(10.0f);
    EXPECT_FLOAT_EQ(c.GetSteadiness(), 0.0f);
    c.actionLocked = false;
    c.UpdateSteadiness(0.25f);
    EXPECT_FLOAT_EQ(c.GetSteadiness(), 0.25f);
}

TEST_F(CharacterRulesTest, PosturesStepOnceAndSetTheirRadii)
{
    Character c;
    c.LoadAnimationInfo();
    c.SetPosture(Character::Prone);
    EXPECT_EQ(c.posture, Character::Prone);
    EXPECT_EQ(c.currentAction, 20) << "standing to prone goes through the step back, once";
    EXPECT_FLOAT_EQ(c.radii.y, 2.0f);
    EXPECT_FLOAT_EQ(c.radii.z, 5.0f);
    c.actionLocked = true;
    c.SetPosture(Character::Standing);
    EXPECT_EQ(c.posture, Character::Prone) << "refused while an action locks";
    c.actionLocked = false;
    c.SetPosture(Character::Standing);
    EXPECT_EQ(c.posture, Character::Standing);
    EXPECT_EQ(c.currentAction, 19);
    EXPECT_FLOAT_EQ(c.radii.y, 3.0f);
    c.postureLocked = true;
    c.PostureNext(false);
    EXPECT_EQ(c.posture, Character::Standing);
}

TEST_F(CharacterRulesTest, LivesAndSelectionSequences)
{
    Character c;
    EXPECT_EQ(c.kind, Character::PlainKind);
    EXPECT_EQ(c.GetLives(), 255);
    c.UseLife();
    EXPECT_EQ(c.GetLives(), 255);
    c.SetLives(0);
    c.UseLife();
    EXPECT_EQ(c.GetLives(), 0);
    c.SetLives(3);
    c.UseLife();
    EXPECT_EQ(c.GetLives(), 2);

    auto* rifle = new TestItem("Rifle", 0, CarriedItem::Weapon);
    c.PickUpItem(rifle, false);
    c.SelectItemIfNewer(rifle, 5);
    EXPECT_EQ(c.GetHeldItem(), rifle);
    c.SelectItem(nullptr);
    c.SelectItemIfNewer(rifle, 5);
    EXPECT_EQ(c.GetHeldItem(), nullptr) << "an equal sequence changes nothing";

    TestItem foreign("Pistol");
    Character other;
    other.PickUpItem(&foreign, false);
    c.SelectItem(&foreign);
    EXPECT_EQ(c.GetHeldItem(), nullptr) << "nobody selects another's item";
    other.DropItem(&foreign, Vector3());
    c.DeleteInventory();
}

TEST_F(CharacterRulesTest, PickUpOrderDefaultItemDropAndAmmoMerge)
{
    Character c;
    auto* pistol = new TestItem("Pistol", 1, CarriedItem::Weapon);
    auto* rifle = new TestItem("Rifle", 0, CarriedItem::Weapon);
    auto* medkit = new TestItem("Medkit", 2);
    auto* knife = new TestItem("Knife", 2);
    c.PickUpItem(pistol, false);
    c.PickUpItem(rifle, false); // primary: right after the first (no secondary rule applies)
    c.PickUpItem(medkit, false); // slot 2 with a secondary: after the last item
    c.PickUpItem(knife, false);  // the knife goes to the front
    ASSERT_EQ(c.GetInventory().size(), 4u);
    EXPECT_EQ(c.GetInventory()[0], knife);
    EXPECT_EQ(c.GetInventory()[3], medkit);
    EXPECT_FALSE(c.PickUpItem(rifle, false)) << "an owned item cannot be picked up again";

    c.SelectDefaultItem();
    EXPECT_EQ(c.GetHeldItem(), rifle) << "a primary weapon that is no explosive wins";
    rifle->explosive = true;
    c.SelectItem(nullptr);
    c.SelectDefaultItem();
    EXPECT_EQ(c.GetHeldItem(), pistol);
    EXPECT_EQ(pistol->previousItemID, -1);
    c.SelectItem(rifle);
    EXPECT_EQ(rifle->previousItemID, pistol->GetID());

    LevelFake level;
    level.ground = 5.0f;
    const std::vector<CarriedItem*>& loose = level.loose;
    c.DropItem(rifle, Vector3(10, 50, 10));
    EXPECT_EQ(c.GetHeldItem(), nullptr);
    EXPECT_EQ(rifle->owner, nullptr);
    EXPECT_EQ(rifle->previousOwnerID, c.GetID());
    EXPECT_EQ(rifle->position, Vector3(10, 5, 10));
    EXPECT_NEAR(rifle->rotation.m[4], 0.0f, 1e-6f) << "laid on its side";
    ASSERT_EQ(loose.size(), 1u);

    // Two ammo belts add four magazines to the first weapon, and the belts are gone.
    rifle->magazines = 0;
    c.PickUpItem(rifle, true);
    pistol->magazines = 1;
    c.PickUpItem(new TestItem("Ammo Belt"), true);
    c.PickUpItem(new TestItem("Ammo Belt"), true);
    EXPECT_TRUE(c.ammoMergePending);
    c.Update(0.01f);
    EXPECT_FALSE(c.ammoMergePending);
    EXPECT_EQ(c.FindItemByName("Ammo Belt"), nullptr);
    const int total = rifle->magazines + pistol->magazines;
    EXPECT_EQ(total, 5);
    c.DeleteInventory();
}

TEST_F(CharacterRulesTest, HitsKillOnceAndVehiclesShield)
{
    Character c;
    int deaths = 0;
    c.deathTrigger = [&] { ++deaths; };
    c.health = 30;
    EXPECT_TRUE(c.OnHit(100, Vector3(0, 1, 0), Vector3(0, 0, 1), nullptr, 0, 0, "Rifle"));
    EXPECT_EQ(c.health, -70);
    EXPECT_EQ(c.overkill, 70);
    EXPECT_EQ(deaths, 1);
    EXPECT_FALSE(c.OnHit(10, Vector3(), Vector3(), nullptr, 0, 0, "Rifle")) << "the dead take no more";
    c.TakeDamage(10, Vector3(), Vector3(), nullptr, -1, 0, false);
    EXPECT_EQ(c.health, -70);
    EXPECT_EQ(deaths, 1);

    // A passenger of a vehicle whose troop protection is 50 loses half of each hit.
    Character rider;
    rider.moveMode = 2;
    TestItem truck("Truck", -1, CarriedItem::Vehicle);
    truck.protection = 50.0f;
    LevelFake level;
    level.vehicle = &truck;
    rider.OnHit(40, Vector3(), Vector3(), nullptr, 0, 0, "Rifle");
    EXPECT_EQ(rider.health, 80);

    // Holding the vehicle: it takes the hit first; the driver loses the protected share.
    Character driver;
    auto* car = new TestItem("Car", -1, CarriedItem::Vehicle);
    car->protection = 50.0f;
    driver.PickUpItem(car, true);
    driver.SelectItem(car);
    driver.OnHit(40, Vector3(), Vector3(), nullptr, 0, 0, "Rifle");
    EXPECT_EQ(car->health, 60);
    EXPECT_EQ(driver.health, 80);
    driver.DeleteInventory();

    // Bones outside the table count as a plain hit.
    EXPECT_FLOAT_EQ(c.GetBoneDamageFactor(-5), 1.0f);
    EXPECT_FLOAT_EQ(c.GetBoneDamageFactor(Character::kHeldItemBone), 1.0f);
    EXPECT_FLOAT_EQ(c.GetBoneDamageFactor(100000), 1.0f);
}

TEST_F(CharacterRulesTest, FallsHurtAboveEightyAndBurningHurtsFiveTimesASecond)
{
    struct Fall {
        float rate;
        int posture;
        int health;
    };
    for (const Fall& f : std::vector<Fall>{{90.0f, Character::Standing, 28},
                                           {90.0f, Character::Prone, 100},
                                           {80.0f, Character::Standing, 100},
                                           {200.0f, Character::Standing, 0}}) {
        Character c;
        c.LoadAnimationInfo();
        c.SetPostureImmediate(f.posture);
        c.fallRate = f.rate;
        c.moveMode = 1; // every contact counts as a landing
        c.MoveWithCollision(0.0f, true, true, true, Vector3(0, -1, 0));
        EXPECT_EQ(std::max(c.health, 0), f.health) << "fall rate " << f.rate << " posture " << f.posture;
        EXPECT_FLOAT_EQ(c.fallRate, 1.0f);
        if (f.health == 0) {
            EXPECT_EQ(c.currentAction, 22);
        }
    }

    Character burning;
    burning.SetOnFire(10.0f, 7);
    for (int frame = 0; frame < 200; ++frame)
        burning.Update(0.01f); // two seconds
    EXPECT_GE(burning.health, 100 - 2 * 11);
    EXPECT_LE(burning.health, 100 - 2 * 9);
    burning.swimming = true;
    burning.Update(0.01f);
    EXPECT_FLOAT_EQ(burning.burnTime, 0.0f) << "water puts the fire out at once";
}

TEST_F(CharacterRulesTest, RemoteMovesJumpGlideOrAreRefused)
{
    Character c;
    c.SetPosition(0, 0, 0);
    EXPECT_TRUE(c.ApplyRemoteMove(0.5f, 0, 0, 0, 1));
    EXPECT_EQ(c.position, Vector3(0.5f, 0, 0));
    EXPECT_FALSE(c.ApplyRemoteMove(9, 0, 0, 0, 1)) << "an old sequence number is ignored";
    EXPECT_TRUE(c.ApplyRemoteMove(3.5f, 0, 0, 0, 2));
    EXPECT_NEAR(c.glideTime, 0.2f * std::sqrt(3.0f), 1e-4f);
    EXPECT_EQ(c.position, Vector3(0.5f, 0, 0)) << "a glide leaves the position to the update";
    for (int frame = 0; frame < 100; ++frame)
        c.UpdateAnimationState(0.01f, true);
    EXPECT_NEAR(c.position.x, 3.5f, 1e-3f);
    EXPECT_TRUE(c.ApplyRemoteMove(28.5f, 0, 0, 0, 3)) << "25 units away is taken at once";
    EXPECT_EQ(c.position, Vector3(28.5f, 0, 0));
    const float nan = std::nanf("");
    EXPECT_FALSE(c.ApplyRemoteMove(nan, 0, 0, 0, 4));
    EXPECT_FALSE(c.ApplyRemoteMove(INFINITY, 0, 0, 0, 5));
    EXPECT_EQ(c.position, Vector3(28.5f, 0, 0));
    EXPECT_TRUE(std::isfinite(c.glideTime));
}

TEST_F(CharacterRulesTest, ContactsPushTheMoverAndVehiclesRunOver)
{
    Character mover, other;
    mover.kind = Character::SquadKind;
    mover.SetPosition(0, 0, 0);
    other.SetPosition(0, 0, 6.0f);
    std::vector<Character*> everyone{&mover, &other};
    LevelFake level;
    level.characters = &everyone;

    // Reach 2.7 + 2.7 + 1 = 6.4: the mover stops 0.1 beyond it; the other stays.
    mover.moveInput = Vector3(0, 0, 5.0f);
    mover.UpdateAnimationState(0.1f, true);
    EXPECT_NEAR(mover.position.z, 6.0f - 6.5f, 1e-4f);
    EXPECT_EQ(other.position, Vector3(0, 0, 6.0f));
    EXPECT_EQ(mover.nearbyCharacter, &other);

    // An enemy on foot does not push against a squad soldier.
    Character enemy, soldier;
    enemy.kind = Character::EnemyKind;
    soldier.kind = Character::SquadKind;
    soldier.SetPosition(0, 0, 6.0f);
    everyone = {&enemy, &soldier};
    enemy.moveInput = Vector3(0, 0, 5.0f);
    enemy.UpdateAnimationState(0.1f, true);
    EXPECT_NEAR(enemy.position.z, 0.5f, 1e-4f);

    // Driving at 25 runs nobody over; above 25 a non-squad character dies, once in two seconds.
    auto* truck = new TestItem("Truck", -1, CarriedItem::Vehicle);
    enemy.PickUpItem(truck, true);
    enemy.SelectItem(truck);
    Character walker;
    walker.LoadAnimationInfo();
    walker.SetPosition(0, 0, 6.0f);
    everyone = {&enemy, &walker};
    enemy.SetPosition(0, 0, 0);
    truck->speed = 25.0f;
    enemy.moveInput = Vector3(0, 0, 5.0f);
    enemy.UpdateAnimationState(0.1f, true);
    EXPECT_GT(walker.health, 0);
    truck->speed = 30.0f;
    enemy.SetPosition(0, 0, 0);
    enemy.moveInput = Vector3(0, 0, 5.0f);
    enemy.UpdateAnimationState(0.1f, true);
    EXPECT_LE(walker.health, 0);
    EXPECT_EQ(walker.currentAction, 22);
    EXPECT_FLOAT_EQ(walker.hurtTime, 2.0f);
    enemy.DeleteInventory();
}

TEST_F(CharacterRulesTest, UsingTheHeldItemWaitsForFreeHandsUnlessForced)
{
    Character c;
    c.LoadAnimationInfo();
    EXPECT_FALSE(c.UseHeldItem(false)) << "nothing held";
    auto* rifle = new TestItem("Rifle", 0, CarriedItem::Weapon);
    c.PickUpItem(rifle, true);
    c.SelectItem(rifle);
    c.SetProtectionTime(3.0f);
    c.StartAction(17, false); // a posture step occupies the hands
    EXPECT_FALSE(c.UseHeldItem(false));
    EXPECT_FALSE(c.IsProtected()) << "trying to use the item ends the protection";
    EXPECT_FALSE(rifle->IsInUse());
    EXPECT_TRUE(c.UseHeldItem(true));
    EXPECT_TRUE(rifle->IsInUse());
    EXPECT_EQ(c.currentAction, 0);
    c.StartAction(21, true); // its hands flag releases the trigger
    EXPECT_FALSE(rifle->IsInUse());
    c.DeleteInventory();
}

TEST_F(CharacterRulesTest, ANetworkedGameReportsDamageAndDeathsAndKeepsTheRespawnDelay)
{
    auto session = std::make_unique<SessionFake>();
    session->hosting = session->connected = true;
    session->now = 10000;
    session->settings.lives = 3;
    session->settings.respawnDelay = 500;
    const auto damageReports = [&session] { return session->shortDamageReports + int(session->hitReports.size()); };

    Character c;
    EXPECT_EQ(c.GetLives(), 3) << "lives come from the server's settings";
    EXPECT_FALSE(c.IsAboutToRespawn()) << "alive";
    c.SetProtectionTime(1.0f);
    c.TakeDamage(50, Vector3(), Vector3(), nullptr, -1, 0, false);
    EXPECT_EQ(damageReports(), 0) << "protected";
    c.SetProtectionTime(0.0f);
    c.TakeDamage(50, Vector3(), Vector3(), nullptr, -1, 0, false);
    EXPECT_EQ(damageReports(), 1);
    EXPECT_EQ(c.health, 100) << "the report comes back to be applied";

    EXPECT_TRUE(c.Die(true, 3, 0, "Rifle"));
    EXPECT_EQ(c.health, 1) << "alive until the host's report";
    EXPECT_EQ(session->deathReports, 1);
    EXPECT_TRUE(c.Die(false, 3, 0, "Rifle"));
    EXPECT_EQ(c.health, 0);
    EXPECT_EQ(c.GetRespawnTime(), 12000) << "never sooner than two seconds";
    EXPECT_TRUE(c.IsAboutToRespawn());
    EXPECT_FALSE(c.IsTargetable()) << "dead";
    c.SetLives(0);
    EXPECT_FALSE(c.IsAboutToRespawn()) << "no life left";
    session.reset();

    Character offline;
    offline.Die(false, 3, 0, "Rifle");
    EXPECT_FALSE(offline.IsAboutToRespawn()) << "only a networked death sets a respawn time";
}

TEST_F(CharacterRulesTest, TheLivingAreTargetableUnlessInactive)
{
    Character c;
    EXPECT_TRUE(c.IsTargetable());
    c.roles = Character::Inactive | Character::Alarmer;
    EXPECT_FALSE(c.IsTargetable());
    c.roles = Character::Stationary;
    EXPECT_TRUE(c.IsTargetable());
}

TEST_F(CharacterRulesTest, TakingOutTheHeldItemShowsItAgainOrTheDefaultItem)
{
    Character c;
    auto* rifle = new TestItem("Rifle", 0, CarriedItem::Weapon);
    c.PickUpItem(rifle, false);
    c.drawHeldItem = false;
    c.TakeOutHeldItem();
    EXPECT_EQ(c.GetHeldItem(), rifle) << "nothing held: the default item";
    EXPECT_TRUE(c.drawHeldItem);
    c.UseHeldItem(true);
    ASSERT_TRUE(rifle->IsInUse());
    c.drawHeldItem = false;
    c.TakeOutHeldItem();
    EXPECT_EQ(c.GetHeldItem(), rifle);
    EXPECT_FALSE(rifle->IsInUse()) << "taken out anew, the trigger is released";
    EXPECT_TRUE(c.drawHeldItem);
    c.DeleteInventory();
}

TEST_F(CharacterRulesTest, AStunnedCharacterCrouchesAndRecovers)
{
    Character c;
    c.LoadAnimationInfo();
    c.SetPostureImmediate(Character::Prone);
    c.stunTime = 0.1f;
    c.Update(0.02f);
    EXPECT_TRUE(c.IsStunned());
    EXPECT_EQ(c.posture, Character::Crouching);
    EXPECT_EQ(c.currentAction, 38);
    for (int frame = 0; frame < 10; ++frame)
        c.Update(0.02f);
    EXPECT_FALSE(c.IsStunned());
    EXPECT_EQ(c.currentAction, 0);
    EXPECT_EQ(c.posture, Character::Crouching);
}

TEST_F(CharacterRulesTest, TakingAnItemInHandSwitchesToItsAnimationSet)
{
    LevelFake level;
    level.sets = {"Rifle", "Rifle"};
    Character c;
    c.LoadAnimationInfo();
    auto* binoculars = new TestItem("Medkit");
    binoculars->animationSet = 1;
    auto* plain = new TestItem("Pistol");
    c.PickUpItem(binoculars, true);
    c.PickUpItem(plain, true);
    c.SelectItem(plain);
    EXPECT_EQ(c.GetAnimationSet(), 0) << "an item without a set keeps the current one";
    c.SelectItem(binoculars);
    EXPECT_EQ(c.GetAnimationSet(), 1);
    c.DeleteInventory();
}

// Exactly one machine reports each hit: the attacking human's, the hit human's when no other human
// attacked, and the host's for a victim nobody plays; every other machine stays silent.
TEST_F(CharacterRulesTest, EachHitIsReportedByOneMachineInItsLongOrShortForm)
{
    enum Who { Nobody, Local, OtherHuman, Computer };
    enum Report { None, FromClient, FromServer };
    struct Case {
        bool hosting;
        Who victim;
        Who attacker;
        Report expected;
    };
    const std::vector<Case> cases = {
        {false, Computer, Local, FromClient},     {false, Local, Computer, FromClient},
        {false, Local, Nobody, FromClient},       {false, Local, OtherHuman, None},
        {false, Computer, OtherHuman, None},      {false, Computer, Computer, None},
        {false, OtherHuman, Computer, None},      {true, Computer, Computer, FromServer},
        {true, Computer, Nobody, FromServer},     {true, Computer, OtherHuman, None},
        {true, OtherHuman, Computer, None},       {true, Computer, Local, FromClient},
    };
    for (const Case& k : cases) {
        // Made before the session starts, so that each has its identifier as the host gave it.
        HumanCharacter local, otherHuman;
        Character computer, computerVictim;
        auto* rifle = new TestItem("Rifle", 0, CarriedItem::Weapon);
        SessionFake session;
        session.hosting = k.hosting;
        session.connected = true;
        std::vector<std::pair<HitDamageReport, bool>>& hits = session.hitReports;
        const int& shortReports = session.shortDamageReports;
        LevelFake level;
        level.player = &local;

        Character* victim = k.victim == Local ? static_cast<Character*>(&local)
                            : k.victim == OtherHuman ? static_cast<Character*>(&otherHuman)
                                                     : &computerVictim;
        Character* attacker = k.attacker == Local ? static_cast<Character*>(&local)
                              : k.attacker == OtherHuman ? static_cast<Character*>(&otherHuman)
                              : k.attacker == Computer ? &computer
                                                       : nullptr;
        if (attacker)
            attacker->PickUpItem(rifle, true);
        const int weaponID = attacker ? rifle->GetID() : -1;
        victim->TakeDamage(30, Vector3(1, 2, 3), Vector3(0, 0, 1), nullptr, weaponID,
                           attacker ? attacker->GetID() : -1, false);
        const std::string label = "hosting " + std::to_string(k.hosting) + " victim " + std::to_string(k.victim) +
                                  " attacker " + std::to_string(k.attacker);
        EXPECT_EQ(victim->health, 100) << label << ": a networked hit waits for its report";
        EXPECT_EQ(shortReports, 0) << label;
        if (k.expected == None) {
            EXPECT_TRUE(hits.empty()) << label;
        } else {
            ASSERT_EQ(hits.size(), 1u) << label;
            EXPECT_EQ(hits[0].second, k.expected == FromServer) << label;
            EXPECT_EQ(hits[0].first.amount, 30);
            EXPECT_EQ(hits[0].first.victim, victim->GetID());
            EXPECT_EQ(hits[0].first.point, Vector3(1, 2, 3));
            EXPECT_STREQ(hits[0].first.weaponName, attacker ? "Rifle" : "Unknown");
            EXPECT_FALSE(hits[0].first.vehicle);
        }
        // The short form carries only the amount and the two identifiers.
        hits.clear();
        victim->TakeDamage(30, Vector3(), Vector3(), nullptr, weaponID, attacker ? attacker->GetID() : -1, true);
        EXPECT_TRUE(hits.empty()) << label;
        EXPECT_EQ(shortReports, k.expected == None ? 0 : 1) << label;
        if (attacker)
            attacker->DeleteInventory();
        else
            delete rifle;
    }

    // A human squad soldier's death is reported by that human's machine only.
    HumanCharacter mine, theirs;
    SessionFake session;
    session.connected = true;
    const int& deathReports = session.deathReports;
    mine.kind = theirs.kind = Character::SquadKind;
    LevelFake level;
    level.player = &mine;
    EXPECT_TRUE(theirs.Die(true, 0, 0, "Rifle"));
    EXPECT_EQ(deathReports, 0) << "another human's death is reported by his machine";
    EXPECT_EQ(theirs.health, 1);
    EXPECT_TRUE(mine.Die(true, 0, 0, "Rifle"));
    EXPECT_EQ(deathReports, 1);
}

// What a character tells the mission: a flag taken, an enemy killed (for the campaign's counts),
// its linked trigger's proximity test, the command view's marker, and which set is the default.
TEST_F(CharacterRulesTest, TheMissionHearsOfFlagsKillsTriggersAndMarkers)
{
    // The command view and the game mode keep what they are told.
    class MissionRecorder : public NoLevel {
    public:
        std::vector<std::pair<CarriedItem*, Character*>> stolen;
        std::vector<Vector3> markers;
        float markerRed = 0.0f;
        std::vector<Character*> left;

        void StealFlag(CarriedItem* flag, Character* by) override { stolen.emplace_back(flag, by); }
        void DrawSelectionMarker(Device*, const Vector3& at, float red, float, float) override
        {
            markers.push_back(at);
            markerRed = red;
        }
        void LeftCommandView(Character* who) override { left.push_back(who); }

    private:
        RunningLevel level{{.command = this, .gameMode = this}};
    } mission;
    CampaignRecorder campaign;
    const auto& stolen = mission.stolen;
    const auto& kills = campaign.kills;
    const auto& markers = mission.markers;
    Character player;
    LevelFake level;
    level.player = &player;
    level.sets = {"Rifle", "Rifle"};
    level.defaultSet = 1;

    Character squad;
    squad.kind = Character::SquadKind;
    auto* flag = new TestItem("Medkit", -1, CarriedItem::Flag);
    squad.PickUpItem(new TestItem("Pistol"), true);
    EXPECT_TRUE(stolen.empty()) << "only a flag is stolen";
    squad.PickUpItem(flag, false);
    ASSERT_EQ(stolen.size(), 1u);
    EXPECT_EQ(stolen[0].first, flag);
    EXPECT_EQ(stolen[0].second, &squad);

    Character enemy, neutral;
    enemy.kind = Character::EnemyKind;
    neutral.kind = Character::NeutralKind;
    enemy.OnHit(200, Vector3(), Vector3(), nullptr, squad.GetID(), 0, "Knife");
    neutral.OnHit(200, Vector3(), Vector3(), nullptr, squad.GetID(), 0, "Knife");
    ASSERT_EQ(kills.size(), 1u) << "only enemies count";
    EXPECT_EQ(kills[0].victim, &enemy);
    EXPECT_EQ(kills[0].squadKiller, &squad);
    EXPECT_EQ(kills[0].weaponName, "Knife");
    Character enemy2;
    enemy2.kind = Character::EnemyKind;
    enemy2.OnHit(200, Vector3(), Vector3(), nullptr, enemy.GetID(), 0, "Rifle");
    ASSERT_EQ(kills.size(), 2u);
    EXPECT_EQ(kills[1].squadKiller, nullptr) << "killed by somebody outside the squad";

    // The linked trigger's proximity test gets the character's and the player's positions.
    std::vector<std::pair<Vector3, Vector3>> tested;
    squad.triggerProximity = [&](const Vector3& at, const Vector3& playerAt) { tested.emplace_back(at, playerAt); };
    player.position = Vector3(7, 8, 9);
    squad.SetPosition(1, 2, 3);
    squad.Update(0.02f);
    ASSERT_EQ(tested.size(), 1u);
    EXPECT_EQ(tested[0].first, Vector3(1, 2, 3));
    EXPECT_EQ(tested[0].second, Vector3(7, 8, 9));

    // The selection marker is drawn 3 below the character only while the player is in the command view.
    squad.markerColour[0] = 255;
    squad.Draw(device);
    EXPECT_TRUE(markers.empty());
    player.viewMode = 2;
    squad.Draw(device);
    ASSERT_EQ(markers.size(), 1u);
    EXPECT_EQ(markers[0], Vector3(1, -1, 3));
    EXPECT_FLOAT_EQ(mission.markerRed, 1.0f);

    // Leaving the command view goes back to the mode it was entered from and tells the mission.
    player.savedViewMode = 0;
    player.CycleViewMode();
    EXPECT_EQ(player.viewMode, 0);
    player.CycleViewMode();
    EXPECT_EQ(player.viewMode, 1);
    EXPECT_EQ(mission.left, std::vector<Character*>{&player});

    // A forced use while alerted puts the aim poses up only outside the mission's default set.
    Character soldier;
    soldier.LoadAnimationInfo();
    auto* rifle = new TestItem("Rifle", 0, CarriedItem::Weapon);
    soldier.PickUpItem(rifle, true);
    soldier.SelectItem(rifle);
    soldier.alerted = true;
    for (int set : {1, 0}) {
        rifle->animationSet = set;
        soldier.GetAnimation()->StopAll(0.0f);
        soldier.UseHeldItem(true);
        EXPECT_EQ(soldier.GetAnimation()->GetChannel(3)->requested, set == 1 ? -1 : 12) << "set " << set;
    }
    soldier.DeleteInventory();
    squad.DeleteInventory();
}

// A living character's light fades towards the world's between 30 and 60 units from the camera,
// and is the world's beyond that while the mission culls by distance.
TEST(CharacterFadeTest, TheLightFadesTowardsTheWorldsWithDistance)
{
    struct Case {
        float distance;
        bool culling;
        std::uint32_t expected;
    };
    const std::uint32_t own = 0xFF204060u, world = 0xFFA0C0E0u;
    for (const Case& k : std::vector<Case>{{10.0f, true, own},
                                           {30.0f, true, own},
                                           {45.0f, false, 0xFF6080A0u},
                                           {45.0f, true, 0xFF6080A0u},
                                           {59.0f, true, 0xFF9CBCDCu},
                                           {61.0f, true, world},
                                           {61.0f, false, own}}) {
        EXPECT_EQ(Character::FadeWithDistance(own, world, k.distance, k.culling), k.expected)
            << "distance " << k.distance << " culling " << k.culling;
    }
}

// An inactive character waits, unmoved, for its trigger; a reinforcement enemy is then alerted and
// called in; a stationary one is let go of its post.
TEST_F(CharacterRulesTest, TriggersActivateInactiveAndStationaryCharacters)
{
    struct Reinforcement : Character {
        void CallAsReinforcement() override { ++calls; }
        int calls = 0;
    };
    bool fired = false;
    Reinforcement enemy;
    enemy.kind = Character::EnemyKind;
    enemy.roles = Character::Inactive | Character::Reinforcements;
    enemy.activationTrigger = 4;
    enemy.isTriggerFired = [&](int trigger) { return fired && trigger == 4; };
    enemy.SetPosition(0, 10, 0);
    enemy.moveInput = Vector3(0, 0, 10.0f);
    enemy.Update(0.1f);
    EXPECT_EQ(enemy.position, Vector3(0, 10, 0)) << "an inactive character does not move";
    EXPECT_EQ(enemy.calls, 0);
    fired = true;
    enemy.Update(0.1f);
    EXPECT_EQ(enemy.roles, int(Character::Reinforcements));
    EXPECT_EQ(enemy.activationTrigger, -1);
    EXPECT_TRUE(enemy.alerted);
    EXPECT_EQ(enemy.calls, 1);

    Reinforcement guard; // not an enemy, or not a reinforcement: only activated
    guard.roles = Character::Inactive | Character::Reinforcements;
    guard.activationTrigger = 4;
    guard.isTriggerFired = enemy.isTriggerFired;
    guard.Update(0.1f);
    EXPECT_EQ(guard.calls, 0);
    EXPECT_FALSE(guard.alerted);

    Character post;
    post.roles = Character::Stationary | Character::StationaryPatrol | Character::Alarmer;
    post.activationTrigger = 4;
    post.isTriggerFired = enemy.isTriggerFired;
    post.Update(0.1f);
    EXPECT_EQ(post.roles, int(Character::Alarmer));
    EXPECT_EQ(post.activationTrigger, -1);
}

// A human's aim sways with his turning and steadies with time, slower for a heavier load; a
// computer's only recovers.
TEST_F(CharacterRulesTest, SteadinessSwaysWithTurningAndRecovers)
{
    struct Aiming : HumanCharacter {
        float GetTurnInputX() override { return x; }
        float GetTurnInputY() override { return y; }
        float x = 0.0f, y = 0.0f;
    };
    const float divisor = (30.0f * 0.005f + 1.0f) * 0.6f;
    Aiming human;
    human.x = 3.0f;
    human.y = 4.0f; // a sway of 5 x 1.0 x 0.2 = 1.0, half of it taken in 0.05 s
    human.UpdateSteadiness(0.05f);
    EXPECT_NEAR(human.GetSteadiness(), 0.5f + 0.05f / divisor, 1e-5f);
    human.x = human.y = 0.0f;
    human.SetSteadiness(1.0f);
    human.velocity = Vector3(1, 0, 0);
    human.running = true;
    human.UpdateSteadiness(0.01f);
    EXPECT_NEAR(human.GetSteadiness(), 0.25f + 0.01f / divisor, 1e-5f) << "running caps it at 0.25";
    human.running = false;
    human.SetSteadiness(1.0f);
    human.UpdateSteadiness(0.01f);
    EXPECT_NEAR(human.GetSteadiness(), 0.75f + 0.01f / divisor, 1e-5f) << "walking at 0.75";
    human.ReduceSteadiness(0.5f);
    EXPECT_NEAR(human.GetSteadiness(), 0.25f + 0.01f / divisor, 1e-5f) << "recoil reaches a human";

    Character computer;
    computer.SetSteadiness(0.2f);
    computer.ReduceSteadiness(0.1f);
    EXPECT_FLOAT_EQ(computer.GetSteadiness(), 0.2f) << "recoil leaves the computer's aim alone";
    computer.velocity = Vector3(5, 0, 0);
    computer.UpdateSteadiness(0.3f);
    EXPECT_FLOAT_EQ(computer.GetSteadiness(), 0.5f) << "no sway or cap, recovery at one a second";
    computer.UpdateSteadiness(1.0f);
    EXPECT_FLOAT_EQ(computer.GetSteadiness(), 1.0f);
}

// Turning in place plays the posture's turning animation once the turn has lasted or is quick,
// at a squad soldier's speed of the turn; moving or a locked turn stops it.
TEST_F(CharacterRulesTest, TurningInPlacePlaysThePosturesTurn)
{
    Character c;
    c.kind = Character::SquadKind;
    c.LoadAnimationInfo();
    AnimationController::Channel* turning = c.GetAnimation()->GetChannel(1);
    c.turnRate = 0.05f;
    c.UpdateTurning(0.02f);
    EXPECT_EQ(turning->requested, -1) << "a slow turn waits a tenth of a second";
    for (int frame = 0; frame < 5; ++frame)
        c.UpdateTurning(0.02f);
    EXPECT_EQ(turning->requested, 30);
    EXPECT_FLOAT_EQ(turning->speed, 1.3f) << "40 x 0.05, held at 1.3";
    c.SetPostureImmediate(Character::Crouching);
    c.turnRate = -0.2f;
    c.UpdateTurning(0.02f);
    EXPECT_EQ(turning->requested, 44) << "a quick turn to the left, crouching";
    c.SetPostureImmediate(Character::Prone);
    c.turnRate = 0.004f;
    c.UpdateTurning(0.02f);
    EXPECT_EQ(turning->requested, 60) << "a turn that already plays goes on";
    EXPECT_FLOAT_EQ(turning->speed, 0.2f);
    c.velocity = Vector3(0, 0, 1);
    c.UpdateTurning(0.02f);
    EXPECT_EQ(turning->requested, -1) << "moving";
    c.velocity = Vector3();
    c.turnLocked = true;
    c.turnRate = 0.5f;
    c.UpdateTurning(0.02f);
    EXPECT_EQ(turning->requested, -1) << "locked";

    Character enemy;
    enemy.kind = Character::EnemyKind;
    enemy.LoadAnimationInfo();
    enemy.turnRate = 0.5f;
    for (int frame = 0; frame < 10; ++frame)
        enemy.UpdateTurning(0.02f);
    EXPECT_EQ(enemy.GetAnimation()->GetChannel(1)->requested, -1) << "enemies turn without it";
}

// Footsteps fall at the step lengths of the walk, one foot after the other; the aim point is the
// head, a foot lower for kind 1 unless prone; the upper body follows the pitch and a reset request.
TEST_F(CharacterRulesTest, FootstepsAimPointAndUpperBody)
{
    LevelFake level;
    const std::vector<int>& feet = level.feet;
    Character c;
    c.LoadAnimationInfo();
    c.LoadMoveSpeeds();
    ASSERT_FLOAT_EQ(c.GetStepLength(0, 1), 0.5f);
    c.StartAction(1, false);
    c.GetAnimation()->Update(0.0f); // the walk is on channel 0
    for (int frame = 0; frame < 16; ++frame) {
        c.moveInput = Vector3(0, 0, 10.0f);
        c.UpdateAnimationState(0.07f, true); // 0.07 of step distance a frame: a step every 8 frames
    }
    EXPECT_EQ(feet, (std::vector<int>{0, 1}));
    for (int frame = 0; frame < 8; ++frame)
        c.UpdateAnimationState(0.07f, true);
    EXPECT_EQ(feet.size(), 2u) << "standing still makes no steps";

    c.SetPosition(1, 2, 3);
    c.velocity = Vector3();
    Vector3 aim;
    c.GetAimPoint(0, &aim);
    EXPECT_EQ(aim, Vector3(1, 7, 3));
    c.GetAimPoint(1, &aim);
    EXPECT_EQ(aim, Vector3(1, 6, 3));
    c.SetPostureImmediate(Character::Prone);
    c.GetAimPoint(1, &aim);
    EXPECT_EQ(aim, Vector3(1, 7, 3));
    c.SetPostureImmediate(Character::Standing);

    // Pitch blends the up, level and down poses of both triples.
    AnimationController* a = c.GetAnimation();
    std::vector<bool> upwards;
    for (float pitch : {0.5f, -0.5f}) {
        c.SetPitch(pitch);
        c.Update(0.01f);
        const float up = a->GetChannel(2)->weight, level = a->GetChannel(3)->weight, down = a->GetChannel(4)->weight;
        EXPECT_NEAR(up + level + down, 1.0f, 1e-5f);
        EXPECT_NEAR(std::max(up, down), std::sin(0.5f), 1e-4f) << "pitch " << pitch;
        EXPECT_FLOAT_EQ(std::min(up, down), 0.0f);
        EXPECT_FLOAT_EQ(a->GetChannel(5)->weight, up);
        EXPECT_FLOAT_EQ(a->GetChannel(7)->weight, down);
        upwards.push_back(up > 0.0f);
    }
    EXPECT_NE(upwards[0], upwards[1]) << "opposite pitches lean on opposite poses";
    // A reset request puts the upper body back on its three aim poses for one update.
    c.RequestAnimationReset();
    c.Update(0.01f);
    EXPECT_EQ(a->GetChannel(2)->requested, 13);
    EXPECT_EQ(a->GetChannel(3)->requested, 12);
    EXPECT_EQ(a->GetChannel(4)->requested, 14);
    c.Update(0.01f);
    EXPECT_EQ(a->GetChannel(2)->requested, -1) << "with nothing in hand the poses go again";
}
