// The map's people and things: the character, modifier and marker keywords as their handlers read
// them, the rules that choose and order the map's characters, and the demo level populated for
// real, its enemies standing, patrolling and fighting the squad.
#include "engine/core/RandomMT.h"
#include "tests/characters/CampaignRecorder.h"
#include "tests/mission/DemoLevelFixture.h"
#include "tests/mission/MapPropsFixture.h"

#include "app/framework/ArenaAlloc.h"
#include "campaign/CampaignState.h"
#include "characters/objects/CarriedItem.h"
#include "characters/enemy/EnemyAlarm.h"
#include "characters/ai/Formation.h"
#include "characters/player/Player.h"
#include "engine/core/q3DError.h"
#include "characters/level/WeaponQueries.h"
#include "items/vehicles/TankVehicleItem.h"
#include "items/Item.h"
#include "items/ItemDefinition.h"
#include "items/WeaponItem.h"
#include "items/projectiles/Bullet.h"
#include "media/Sound2D.h"
#include "media/Sound3D.h"
#include "mission/props/AlarmProp.h"
#include "mission/props/CharacterProps.h"
#include "mission/props/LooseItemProp.h"
#include "mission/loading/MapPopulation.h"
#include "mission/props/MissionProps.h"
#include "world/map/MapDescription.h"
#include "world/map/MapObject.h"
#include "world/World.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

TEST_F(MapPropsTest, CharacterLinesGiveSideItemsModelScriptAndTheLibraryNameTheRandomAndPatrolFlags)
{
    struct Case {
        const char* library;
        const char* line;
        int side;
        std::vector<std::string> items;
        const char* model;
        const char* script;
        bool random, patrol;
    };
    const std::string longName(60, 'W');
    const std::string longLine = "enemy " + longName;
    const Case cases[] = {
        {"Soldier", "ally", CharacterProp::AllySide, {"Knife"}, "GameData/Models/enemy", "GameData/AI/infantry.sns", false, false},
        {"Soldier", "enemy M4 GameData/Models/red GameData/AI/red.sns", CharacterProp::EnemySide, {"Knife", "M4"},
         "GameData/Models/red", "GameData/AI/red.sns", false, false},
        {"Soldier", "ENEMY Pistol\r", CharacterProp::EnemySide, {"Knife", "Pistol"}, "GameData/Models/enemy",
         "GameData/AI/infantry.sns", false, false},
        // An animal's first token is its model, never a weapon.
        {"Dog", "animal M4", CharacterProp::AnimalSide, {"Dog Bite"}, "M4", "GameData/AI/dog.sns", false, false},
        {"Dog", "Animal", CharacterProp::AnimalSide, {"Dog Bite"}, "GameData/Models/Shepard_Base", "GameData/AI/dog.sns", false, false},
        // A weapon name longer than its slot keeps what fits.
        {"Soldier", longLine.c_str(), CharacterProp::EnemySide, {"Knife", longName.substr(0, 39)},
         "GameData/Models/enemy", "GameData/AI/infantry.sns", false, false},
        {"NorthPatrol", "enemy", CharacterProp::EnemySide, {"Knife"}, "GameData/Models/enemy", "GameData/AI/infantry.sns", true, true},
        {"Random1", "enemy", CharacterProp::EnemySide, {"Knife"}, "GameData/Models/enemy", "GameData/AI/infantry.sns", true, false},
        {"PaTrol", "enemy", CharacterProp::EnemySide, {"Knife"}, "GameData/Models/enemy", "GameData/AI/infantry.sns", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        TestObject& object = Object(c.library);
        auto* prop = object.Add<CharacterProp>(CharacterPropFactory, c.line);
        EXPECT_EQ(prop->side, c.side);
        ASSERT_EQ(prop->itemCount, int(c.items.size()));
        for (std::size_t i = 0; i < c.items.size(); ++i)
            EXPECT_EQ(prop->itemNames[i], c.items[i]);
        EXPECT_STREQ(prop->modelPath, c.model);
        EXPECT_STREQ(prop->aiScriptPath, c.script);
        EXPECT_EQ(prop->randomFlag, c.random);
        EXPECT_EQ(prop->patrolFlag, c.patrol);
        EXPECT_TRUE(object.hidden);
        EXPECT_EQ(prop->object, &object);
    }
    // Every one joined the character-prop list, newest first; clearing an object takes its prop off.
    EXPECT_EQ(CharacterPropList().GetCount(), int(std::size(cases)));
    EXPECT_EQ(*CharacterPropList().begin(), objects.back()->props[0]);
    objects.back()->Clear();
    EXPECT_EQ(CharacterPropList().GetCount(), int(std::size(cases)) - 1);
    objects.clear();
    EXPECT_TRUE(CharacterPropList().IsEmpty());
}

TEST_F(MapPropsTest, ModifierAndMarkerLinesKeepTheirDefaultsUnlessTokensFollow)
{
    TestObject& object = Object("Marker");
    const auto* stationary = object.Add<StationaryProp>(StationaryPropFactory, "stationary");
    EXPECT_EQ(stationary->number, -1);
    EXPECT_EQ(stationary->flag, 1);
    const auto* holding = object.Add<StationaryProp>(StationaryPropFactory, "stationary 4 0");
    EXPECT_EQ(holding->number, 4);
    EXPECT_EQ(holding->flag, 0);
    const auto* far = object.Add<StationaryProp>(StationaryPropFactory, "stationary 99999999999 4294967296");
    EXPECT_EQ(far->number, INT32_MAX);
    EXPECT_EQ(far->flag, 1);
    const auto* inactive = object.Add<InactiveProp>(InactivePropFactory, "inactive");
    EXPECT_EQ(inactive->number, -1);
    EXPECT_EQ(inactive->inactiveFlag, 1);
    const auto* reinforce = object.Add<InactiveProp>(InactivePropFactory, "reinforce");
    EXPECT_EQ(reinforce->number, -1);
    EXPECT_EQ(reinforce->inactiveFlag, 0);
    const auto* skills = object.Add<SkillsProp>(SkillsPropFactory, "skills 0.9\r\n");
    EXPECT_FLOAT_EQ(skills->values[0], 0.9f);
    EXPECT_FLOAT_EQ(skills->values[1], 0.5f);

    const std::pair<const char*, int> codes[] = {{"multistart TEAM3", 3}, {"multistart blue", 0}, {"multistart", 0},
                                                 {"multistart mis2", 10}, {"multistart team8\r", 8}, {"multistart team9", 0}};
    for (const auto& [line, code] : codes) {
        TestObject& start = Object("Start");
        EXPECT_EQ(start.Add<MultiStartProp>(MultiStartPropFactory, line)->teamCode, code) << line;
        EXPECT_TRUE(start.hidden);
    }
    EXPECT_EQ(MultiStartPropList().GetCount(), int(std::size(codes)));
    TestObject& flag = Object("Flag");
    EXPECT_EQ(flag.Add<FlagSpawnProp>(FlagSpawnPropFactory, "flagspawn")->number, 9);
    EXPECT_EQ(Object("Flag").Add<FlagSpawnProp>(FlagSpawnPropFactory, "flagspawn 2")->number, 2);
    Object("Start").Add<PlayerStartProp>(PlayerStartPropFactory, "playerstart");
    EXPECT_EQ(FlagSpawnPropList().GetCount(), 2);
    EXPECT_EQ(PlayerStartPropList().GetCount(), 1);

    // An exit zone hides its marker and does not stay.
    TestObject& exit = Object("Exit");
    Prop* zone = ExitZonePropFactory();
    EXPECT_EQ(zone->Parse(&exit, "exitzone"), PropOneShot);
    DestroyProp(zone);
    EXPECT_TRUE(exit.hidden);

    const auto* neutral = Object("Farmer").Add<NeutralProp>(NeutralPropFactory, "neutral farmer");
    EXPECT_STREQ(neutral->model, "farmer");
    EXPECT_STREQ(neutral->aiScriptPath, "GameData/AI/infantry.sns");
    EXPECT_STREQ(neutral->voiceFolder, "Sound/Voice");
    EXPECT_EQ(NeutralPropList().GetCount(), 1);
}

TEST_F(MapPropsTest, AnAlarmNeedsItsKeywordAndAKnownModelAndLeavesTheAlarmListWithItsObject)
{
    // Without a world no library entry is known: a named model drops the prop, as does a line
    // whose first word is not the keyword. Lower case is the keyword too.
    const std::pair<const char*, std::uint32_t> lines[] = {
        {"pullalarm", PropPreDraw | PropUpdate | PropPostDraw}, {"PullAlarm\r", PropPreDraw | PropUpdate | PropPostDraw},
        {"pullalarm NoSuchModel", PropOneShot}, {"pull alarm", PropOneShot}};
    for (const auto& [line, flags] : lines) {
        Prop* prop = AlarmPropFactory();
        EXPECT_EQ(prop->Parse(&Object("Post"), line), flags) << line;
        if (flags == PropOneShot)
            DestroyProp(prop);
        else
            objects.back()->props[0] = prop;
    }
    EXPECT_EQ(AlarmCount(), 2);
    ASSERT_NE(FirstAlarm(), nullptr);
    EXPECT_EQ(FirstAlarm()->next, static_cast<AlarmProp*>(objects[0]->props[0]));
    objects[0]->Clear();
    EXPECT_EQ(AlarmCount(), 1);
    EXPECT_EQ(FirstAlarm()->next, nullptr);
    objects.clear();
    EXPECT_EQ(AlarmCount(), 0);
    EXPECT_EQ(FirstAlarm(), nullptr);
}

TEST_F(MapPropsTest, ATriggerFiresOnlyForItsKindAndAPulledAlarmSoundsAMinuteAndFiresItsAlarmTrigger)
{
    struct Case {
        const char* line;
        bool byAlarm, byDeath;
    };
    for (const Case& c : {Case{"trigger 5 4", true, false}, Case{"trigger 6 1", false, true},
                          Case{"trigger 8 3 Find the radio", false, false},
                          // 2^32 + 1 and 2^32 + 4 are clamped, never wrapped to kinds 1 and 4
                          Case{"trigger 9 4294967297", false, false}, Case{"trigger 9 4294967300", false, false}}) {
        TriggerRecord record;
        auto* trigger = Object("Switch").Add<TriggerProp>(TriggerPropFactory, c.line);
        trigger->record = &record;
        trigger->FireOnDestroyed();
        EXPECT_EQ(record.fired != 0, c.byDeath) << c.line;
        record.fired = 0;
        trigger->FireOnAlarm();
        EXPECT_EQ(record.fired != 0, c.byAlarm) << c.line;
    }

    // The alarm post: an object of the alarm type where it stands, silent until it sounds.
    TestObject& post = Object("Post");
    post.place.position = Vector3(10.0f, 2.0f, -4.0f);
    auto* alarm = post.Add<AlarmProp>(AlarmPropFactory, "pullalarm");
    TriggerRecord record;
    post.Add<TriggerProp>(TriggerPropFactory, "trigger 9 4")->record = &record;
    ASSERT_NE(alarm->state, nullptr);
    EXPECT_EQ(alarm->state->objectType, kAlarmObjectType);
    EXPECT_EQ(alarm->state->position, Vector3(10.0f, 2.0f, -4.0f));
    EXPECT_EQ(AlarmProp::Find(alarm->state.get()), alarm);
    AlarmState other;
    EXPECT_EQ(AlarmProp::Find(&other), nullptr);
    alarm->Sound();
    EXPECT_FLOAT_EQ(alarm->state->timer, AlarmProp::kSoundTime);
    EXPECT_EQ(record.fired, 1);
    alarm->Update(&post, 59.0f);
    EXPECT_FLOAT_EQ(alarm->state->timer, 1.0f);
    alarm->Update(&post, 2.0f);
    EXPECT_EQ(alarm->state->timer, 0.0f);
}

TEST_F(MapPropsTest, ALooseItemTakesTheWholeRestOfItsLineAndOnlyANameWithADefinition)
{
    static const ItemDefinition sniper{};
    MissionState* mission = MissionState::Instance();
    mission->findItemDefinition = [](const char* name) { return std::strcmp(name, "Sniper Rifle") == 0 ? &sniper : nullptr; };
    const std::pair<const char*, bool> lines[] = {
        {"item Sniper Rifle", true}, {"looseitem Sniper Rifle\r\n", true}, {"item", false}, {"item    ", false},
        {"item Moonbeam Rifle", false}, {"item Sniper", false}};
    for (const auto& [line, kept] : lines) {
        TestObject& object = Object("Crate");
        Prop* prop = LooseItemPropFactory();
        const std::uint32_t flags = prop->Parse(&object, line);
        EXPECT_EQ(flags, kept ? PropMarker : PropOneShot) << line;
        if (!kept) {
            DestroyProp(prop);
            continue;
        }
        object.props[0] = prop;
        EXPECT_STREQ(static_cast<LooseItemProp*>(prop)->itemName, "Sniper Rifle");
        EXPECT_TRUE(object.hidden);
    }
    EXPECT_EQ(LooseItemPropList().GetCount(), 2);
    mission->findItemDefinition = nullptr;
    objects.clear();
    EXPECT_TRUE(LooseItemPropList().IsEmpty());
}

class MapCharacterRulesTest : public MapPropsTest {
protected:
    std::vector<CharacterProp*> Add(const char* library, int count, std::initializer_list<const char*> texts = {})
    {
        std::vector<CharacterProp*> props;
        for (int i = 0; i < count; ++i)
            props.push_back(Object(library, texts).Add<CharacterProp>(CharacterPropFactory, "enemy M4"));
        return props;
    }

    std::vector<CharacterProp*> Choose(const MapCharacterRules& rules = {}, std::uint32_t seed = 5)
    {
        seedMT(seed);
        return ChooseMapCharacters(CharacterPropList(), rules, [] { return randomMT(); });
    }
};

TEST_F(MapCharacterRulesTest, HalfTheRandomCharactersArePickedAndAPatrolComesAsAGroup)
{
    EXPECT_EQ(RandomPickCount(5, false), 2);
    EXPECT_EQ(RandomPickCount(1, false), 0);
    EXPECT_EQ(RandomPickCount(5, true), 5);
    EXPECT_EQ(RandomPickCount(0, false), 0);

    const std::vector<CharacterProp*> fixed = Add("Sentry", 2);
    const std::vector<CharacterProp*> random = Add("RandomSentry", 5);
    for (std::uint32_t seed = 1; seed <= 20; ++seed) {
        const std::vector<CharacterProp*> chosen = Choose({}, seed);
        ASSERT_EQ(chosen.size(), 4u) << seed;
        // The fixed ones come first, in list order (newest first), then two distinct random ones.
        EXPECT_EQ(chosen[0], fixed[1]);
        EXPECT_EQ(chosen[1], fixed[0]);
        EXPECT_NE(chosen[2], chosen[3]);
        for (int i : {2, 3})
            EXPECT_NE(std::find(random.begin(), random.end(), chosen[std::size_t(i)]), random.end());
    }
    MapCharacterRules editor;
    editor.pathEditor = true;
    EXPECT_EQ(Choose(editor).size(), 7u);
    objects.erase(objects.begin() + 2, objects.end());
    Add("RandomSentry", 1);
    EXPECT_EQ(Choose().size(), 2u);
}

TEST_F(MapCharacterRulesTest, APickedPatrolBringsItsWholeGroupEachCountingAsAPick)
{
    const std::vector<CharacterProp*> patrol = Add("WestPatrol", 3);
    Add("RandomSentry", 3);
    for (std::uint32_t seed = 1; seed <= 30; ++seed) {
        const std::vector<CharacterProp*> chosen = Choose({}, seed);
        const auto fromPatrol = std::count_if(chosen.begin(), chosen.end(), [&](CharacterProp* p) {
            return std::find(patrol.begin(), patrol.end(), p) != patrol.end();
        });
        // Three picks are wanted; a patrol picked brings all three of its members.
        EXPECT_TRUE(fromPatrol == 0 || fromPatrol == 3) << seed;
        EXPECT_GE(chosen.size(), 3u);
        EXPECT_LE(chosen.size(), 5u);
    }
}

TEST_F(MapCharacterRulesTest, ReinforcementsStayOutOfAFirstKindCampaignMissionUntilTheirStateIsSix)
{
    Add("Sentry", 1);
    CharacterProp* reinforcement = Add("Sentry", 1, {"enemy M4", "REINFORCE 3"})[0];
    const auto has = [&](const std::vector<CharacterProp*>& chosen) {
        return std::find(chosen.begin(), chosen.end(), reinforcement) != chosen.end();
    };
    MapCharacterRules rules;
    EXPECT_TRUE(has(Choose(rules)));
    rules.campaignFirstKind = true;
    for (int state : {0, 5, 7}) {
        rules.reinforcementState = state;
        EXPECT_FALSE(has(Choose(rules))) << state;
    }
    rules.reinforcementState = 6;
    EXPECT_TRUE(has(Choose(rules)));
    EXPECT_EQ(Choose(rules).size(), 2u);
}

TEST_F(MapCharacterRulesTest, OrdersComeFromTheObjectsPropsAndTexts)
{
    TestObject& both = Object("Guard");
    both.Add<StationaryProp>(StationaryPropFactory, "stationary 2");
    both.Add<InactiveProp>(InactivePropFactory, "inactive 3");
    try {
        ReadMapCharacterOrders(both, Character::EnemyKind, CharacterProp::EnemySide);
        ADD_FAILURE() << "a character with both props was accepted";
    } catch (const q3DError& error) {
        EXPECT_STREQ(error.GetText(), "Character can't have a trigger on both STATIONARY and INACTIVE props");
    }

    struct Case {
        const char* what;
        std::vector<const char*> props; // keyword lines parsed onto the object
        std::initializer_list<const char*> texts;
        int kind;
        int roles, trigger, posture, join;
        const char* voice;
    };
    const Case cases[] = {
        {"holding its place on patrol", {"stationary 4 0"}, {"RUNPATROL"}, Character::EnemyKind,
         Character::Stationary | Character::StationaryPatrol | Character::RunPatrol, 4, -1, -1, "Sound/Voice/Alert"},
        {"a reinforcement", {"reinforce 7"}, {"ALARMER"}, Character::EnemyKind,
         Character::Inactive | Character::Reinforcements | Character::Alarmer, 7, -1, -1, "Sound/whistle"},
        {"an alarm responder, prone", {"inactive"}, {"ALARMRES", "POSTURE 2"}, Character::EnemyKind,
         Character::Inactive | Character::AlarmResponder, -1, 2, -1, "Sound/Voice/Alert"},
        {"a posture beyond the three", {}, {"POSTURE 99"}, Character::EnemyKind, 0, -1, -1, -1, "Sound/Voice/Alert"},
        {"a posture without a number", {}, {"POSTURE"}, Character::EnemyKind, 0, -1, -1, -1, "Sound/Voice/Alert"},
        {"a posture of huge digits", {}, {"POSTURE 99999999999999999999"}, Character::EnemyKind, 0, -1, -1, -1,
         "Sound/Voice/Alert"},
        {"an ally joining squad 3", {}, {"JOIN 3", "POSTURE 1"}, Character::SquadKind, 0, -1, 1, 3, nullptr},
        {"an ally joining no number", {}, {"JOIN squad"}, Character::SquadKind, 0, -1, -1, -1, nullptr},
        {"join is for allies only", {}, {"JOIN 3", "ALARMER"}, Character::EnemyKind, Character::Alarmer, -1, -1, -1,
         "Sound/whistle"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestObject& object = Object("Soldier", c.texts);
        for (const char* line : c.props) {
            if (std::strncmp(line, "stationary", 10) == 0)
                object.Add<StationaryProp>(StationaryPropFactory, line);
            else
                object.Add<InactiveProp>(InactivePropFactory, line);
        }
        const MapCharacterOrders orders = ReadMapCharacterOrders(object, c.kind, CharacterProp::EnemySide);
        EXPECT_EQ(orders.roles, c.roles);
        EXPECT_EQ(orders.activationTrigger, c.trigger);
        EXPECT_EQ(orders.posture, c.posture);
        EXPECT_EQ(orders.joinNumber, c.join);
        if (c.voice)
            EXPECT_STREQ(orders.alarmVoice, c.voice);
        else
            EXPECT_EQ(orders.alarmVoice, nullptr);
    }
}

// --- the demo level ---

class DemoPopulationTest : public DemoLevelTest {};

TEST_F(DemoPopulationTest, TheDemoLevelHasItsGuardPatrolTwoOfFourSentriesTheRifleAndTheWind)
{
    MissionState* mission = Load(7);
    const std::vector<Enemy*> enemies = Enemies(mission);
    ASSERT_EQ(enemies.size(), 6u);
    for (Character* enemy : enemies) {
        EXPECT_EQ(enemy->team, 1);
        EXPECT_EQ(enemy->roles & Character::Ally, 0);
        ASSERT_NE(enemy->GetHeldItem(), nullptr);
        EXPECT_TRUE(enemy->GetHeldItem()->IsWeapon());
        EXPECT_NE(enemy->FindItemByName("Knife"), nullptr);
        EXPECT_EQ(enemy->GetParent(), mission->level.root.get());
        // Far enough from the start for the squad to get its bearings.
        EXPECT_GT(Distance2D(enemy, mission->level.map->startPosition.x, mission->level.map->startPosition.z), 200.0f);
    }

    Character* guard = NearestEnemy(mission, 260.0f, -60.0f);
    EXPECT_LT(Distance2D(guard, 260.0f, -60.0f), 1.0f);
    EXPECT_EQ(guard->roles, Character::Stationary | Character::Alarmer);
    EXPECT_NE(guard->FindItemByName("M4"), nullptr);

    // Two sentries of the four, crouching where the map put them.
    int sentries = 0;
    for (const auto& [x, z] : {std::pair{180.0f, -240.0f}, {240.0f, -180.0f}, {120.0f, -260.0f}, {230.0f, -230.0f}}) {
        Character* sentry = NearestEnemy(mission, x, z);
        if (Distance2D(sentry, x, z) > 1.0f)
            continue;
        ++sentries;
        EXPECT_EQ(sentry->posture, Character::Crouching);
        EXPECT_NE(sentry->FindItemByName("Pistol"), nullptr);
    }
    EXPECT_EQ(sentries, 2);

    // The patrol's leader walks its round of four points; the two others follow it in a file.
    auto* leader = dynamic_cast<AI*>(NearestEnemy(mission, -260.0f, -260.0f));
    ASSERT_NE(leader, nullptr);
    ASSERT_NE(leader->patrolPath, nullptr);
    EXPECT_EQ(leader->patrolPath->GetCount(), 4);
    EXPECT_TRUE(leader->LeadsFormation());
    EXPECT_EQ(leader->GetFormationSize(), 3);
    EXPECT_TRUE(leader->roles & Character::RunPatrol);

    // The rifle lying near the start, the mounted launcher standing ahead of it, the car and the
    // tank (vehicles lie in the same list), and the mine field north-east of the start.
    ASSERT_EQ(mission->level.looseItems.size(), 5u);
    const auto named = [&](const char* name) -> CarriedItem* {
        for (CarriedItem* item : mission->level.looseItems)
            if (std::strcmp(item->name, name) == 0)
                return item;
        return nullptr;
    };
    EXPECT_NE(named("Mine Field"), nullptr);
    CarriedItem* launcher = named("Truck Launcher");
    ASSERT_NE(launcher, nullptr);
    EXPECT_TRUE(launcher->mounted);
    EXPECT_LT(std::hypot(launcher->position.x, launcher->position.z - 30.0f), 0.01f);
    CarriedItem* tank = named("Demo Tank");
    ASSERT_NE(tank, nullptr);
    EXPECT_NE(dynamic_cast<TankVehicleItem*>(tank), nullptr);
    CarriedItem* car = named("Demo Car");
    ASSERT_NE(car, nullptr);
    EXPECT_EQ(car->category, CarriedItem::Vehicle);
    CarriedItem* rifle = named("M249");
    ASSERT_NE(rifle, nullptr);
    EXPECT_EQ(rifle->owner, nullptr);
    EXPECT_LT(std::hypot(rifle->position.x - 20.0f, rifle->position.z - 10.0f), 0.01f);

    // The alarm post beside the guard: drawn as the vane while it sounds, as itself otherwise.
    ASSERT_EQ(AlarmCount(), 1);
    AlarmProp& alarm = *FirstAlarm();
    LibraryObject* post = alarm.object->GetLibraryEntry();
    ASSERT_NE(alarm.alarmModel, nullptr);
    EXPECT_NE(alarm.alarmModel, alarm.ownModel);
    EXPECT_NE(alarm.sound, nullptr);
    EXPECT_EQ(alarm.sound->loopCount, 0);
    alarm.PreDraw(alarm.object, 0.0f);
    EXPECT_EQ(post->mesh, alarm.ownModel);
    alarm.state->timer = 0.5f;
    alarm.PreDraw(alarm.object, 0.0f);
    EXPECT_EQ(post->mesh, alarm.alarmModel);
    alarm.PostDraw(alarm.object, 0.0f);
    EXPECT_EQ(post->mesh, alarm.ownModel);
    alarm.Update(alarm.object, 1.0f);
    EXPECT_EQ(alarm.state->timer, 0.0f);

    ASSERT_EQ(mission->audio.ambientSounds.size(), 1u);
    EXPECT_EQ(mission->audio.ambientSounds[0]->loopCount, 0);
    EXPECT_STREQ(mission->audio.ambientSounds[0]->GetFileData()->name.c_str(), "Sound/Ambient/valleywind.wav");

    // An enemy's death is no loss of the squad's in a campaign.
    {
        CampaignRecorder campaign;
        guard->Die(false, -1, 0, "M4");
        EXPECT_LE(guard->health, 0);
        EXPECT_TRUE(campaign.stats.empty());
        EXPECT_TRUE(campaign.morale.empty());
        ASSERT_EQ(campaign.kills.size(), 1u) << "the campaign counts the enemy";
        EXPECT_EQ(campaign.kills[0].squadKiller, nullptr);
    }

    // The same seed picks the same sentries.
    std::vector<Vector3> first;
    for (Character* enemy : enemies)
        first.push_back(enemy->position);
    mission->UnloadLevel();
    EXPECT_TRUE(mission->level.characters.empty());
    EXPECT_TRUE(mission->audio.ambientSounds.empty());
    EXPECT_EQ(AlarmCount(), 0);
    EXPECT_EQ(Formation::GetInstances().GetCount(), 0);
    mission = Load(7);
    const std::vector<Enemy*> again = Enemies(mission);
    ASSERT_EQ(again.size(), first.size());
    for (std::size_t i = 0; i < again.size(); ++i)
        EXPECT_LT(again[i]->position.DistanceSquared(first[i]), 0.01f);
}

TEST_F(DemoPopulationTest, TheGuardHoldsThePatrolWalksAndTheEnemyFightsTheSquadThatComesNear)
{
    MissionState* mission = Load(3);
    Character* guard = NearestEnemy(mission, 260.0f, -60.0f);
    Character* leader = NearestEnemy(mission, -260.0f, -260.0f);
    ASSERT_NE(guard, nullptr);
    ASSERT_NE(leader, nullptr);
    const Vector3 guardPlace = guard->position;
    const Vector3 patrolStart = leader->position;

    // Ten seconds: the guard keeps his place, the patrol walks its round and the squad at the
    // start is far enough for nobody to hit it.
    for (int i = 0; i < 300; ++i)
        Step(mission);
    EXPECT_LT(std::hypot(guard->position.x - guardPlace.x, guard->position.z - guardPlace.z), 1.0f);
    EXPECT_GT(std::hypot(leader->position.x - patrolStart.x, leader->position.z - patrolStart.z), 20.0f);
    ASSERT_NE(mission->roster.localSquad, nullptr);
    for (int i = 0; i < mission->roster.localSquad->GetMemberCount(); ++i)
        EXPECT_EQ(mission->roster.localSquad->GetMember(i)->health, 100);

    // The squad comes up to 30 units in front of the guard (at 50 a rise of the ground between
    // them takes the shots of the crouching guard).
    Player* first = mission->roster.localSquad->GetMember(0);
    Player* second = mission->roster.localSquad->GetMember(1);
    Vector3 ahead(guard->rotation.m[6], 0.0f, guard->rotation.m[8]);
    ahead.Normalize();
    const Vector3 across(ahead.z, 0.0f, -ahead.x);
    const auto placeNear = [&](Player* member, float side) {
        const Vector3 at = guardPlace + ahead * 30.0f + across * side;
        const float ground = mission->GetGroundHeight(Vector3(at.x, at.y + 50.0f, at.z));
        member->SetPosition(at.x, ground + 4.0f, at.z);
        member->PlaceAt(at.x, ground + 4.0f, at.z);
        member->SetYaw(guard->GetYaw() + 3.1415927f);
    };
    placeNear(first, -4.0f);
    placeNear(second, 4.0f);
    // Both sides at it: the guard aims at the squad and hurts it, the computer-driven member
    // shoots back (its rounds go, or the guard is hit).
    auto* rifle = dynamic_cast<WeaponItem*>(second->GetHeldItem());
    ASSERT_NE(rifle, nullptr);
    const auto* guardSoldier = dynamic_cast<Soldier*>(guard);
    ASSERT_NE(guardSoldier, nullptr);
    bool guardAims = false, squadHurt = false, returnsFire = false;
    int rounds = rifle->GetCartridges();
    for (int i = 0; i < 600 && !(guardAims && squadHurt && returnsFire) && second->health > 0; ++i) {
        Step(mission);
        guardAims = guardAims || guardSoldier->target.target == first || guardSoldier->target.target == second;
        squadHurt = squadHurt || first->health < 100 || second->health < 100;
        returnsFire = returnsFire || rifle->GetCartridges() < rounds || guard->health < 100;
        rounds = rifle->GetCartridges();
    }
    EXPECT_TRUE(guardAims);
    EXPECT_TRUE(squadHurt);
    EXPECT_TRUE(returnsFire) << "the squad's computer-driven member did not fire back";
}

TEST_F(DemoPopulationTest, AnAllyJoinsTheSquadsSideAndACharacterWithBothTriggerPropsIsNeverMade)
{
    MissionState* mission = Load(7);
    const std::size_t before = mission->level.characters.size();
    TestObject allyPost("Ranger", {"ally M4", "JOIN 3"});
    allyPost.place.position = Vector3(30.0f, 40.0f, 30.0f);
    const auto* allyProp = allyPost.Add<CharacterProp>(CharacterPropFactory, "ally M4");
    Character* ally = mission->CreateMapCharacter(*allyProp);
    ASSERT_NE(ally, nullptr);
    EXPECT_EQ(mission->level.characters.size(), before + 1);
    EXPECT_EQ(ally->kind, Character::SquadKind);
    EXPECT_EQ(ally->team, 2);
    EXPECT_EQ(ally->roles, int(Character::Ally));
    EXPECT_EQ(ally->GetController(), Player::kComputer);
    EXPECT_EQ(ally->position, Vector3(30.0f, 40.0f, 30.0f));
    ASSERT_NE(dynamic_cast<Player*>(ally), nullptr);
    EXPECT_EQ(static_cast<Player*>(ally)->joinTrigger, 3);
    EXPECT_NE(ally->FindItemByName("Knife"), nullptr);
    EXPECT_NE(ally->FindItemByName("M4"), nullptr);

    TestObject both("Soldier");
    const auto* prop = both.Add<CharacterProp>(CharacterPropFactory, "enemy M4");
    both.Add<StationaryProp>(StationaryPropFactory, "stationary 1");
    both.Add<InactiveProp>(InactivePropFactory, "reinforce 2");
    EXPECT_THROW(mission->CreateMapCharacter(*prop), q3DError);
    EXPECT_EQ(mission->level.characters.size(), before + 1);
}

} // namespace
