#pragma once

// Enemies with bodies in a working folder of their own: the demo data set's "GameData" linked in,
// an AI statistics table of the test's own values, and a mission stand-in (the character list,
// the squads, the alarms, the events raised) that each test fills. Options, formations and the
// weapon queries are put back afterwards.

#include <array>
#include <fstream>
#include <memory>
#include <vector>

#include "app/framework/Options.h"
#include "characters/ai/AIStats.h"
#include "characters/enemy/Enemy.h"
#include "characters/ai/Formation.h"
#include "characters/level/WeaponQueries.h"
#include "tests/characters/LevelFake.h"
#include "tests/characters/body/CharacterFixture.h"

class EnemyTest : public CharacterTest {
protected:
    static constexpr const char* kModel = "GameData/Models/Soldiers/soldier.gr2";
    static constexpr const char* kSensor = "GameData/AI/infantry.sns";

    void SetUp() override
    {
        CharacterTest::SetUp();
        Formation::FreeAll();
        Formation::LoadDirectory("GameData/Formations");
        options = Options::Instance();
        for (int i = 0; i < Options::OptionCount; ++i)
            savedOptions[std::size_t(i)] = options->GetOption(i);
        options->SetOption(Options::Difficulty, 1);
        options->SetOption(Options::DamageRealism, 1);
        std::ofstream("stats.txt") << "// the test's skills\n"
                                      "sidearms, 0.40\nriflery, 0.70\nsniping, 0.90\nmachineguns, 0.80\n"
                                      "grenades, 0.30\nexplosives, 0.35\ntoughness, 0.25\n"
                                      "enemyaccadjeasy, 0.5\nenemyaccadjmed, 0.75\nenemyaccadjhard, 1.25\n";
        stats.Load("stats.txt");
        levelFake.stats = &stats;
        levelFake.characters = &everyone;
    }

    void TearDown() override
    {
        everyone.clear();
        squads.clear();
        enemies.clear();
        Formation::FreeAll();
        for (int i = 0; i < Options::OptionCount; ++i)
            options->SetOption(i, savedOptions[std::size_t(i)]);
        CharacterTest::TearDown();
    }

    // An enemy standing at the point, entered in the mission's character list.
    Enemy& MakeEnemy(const Vector3& at = Vector3())
    {
        static const char* const loadout[] = {"Knife", "Rifle"};
        enemies.push_back(std::make_unique<Enemy>(kModel, kSensor, loadout, 2));
        Enemy& enemy = *enemies.back();
        enemy.SetPosition(at.x, at.y, at.z);
        everyone.push_back(&enemy);
        return enemy;
    }

    // A test item the character picks up; weapons get a range through the weapon queries.
    TestItem& Give(Character& character, const char* name, int category, bool select)
    {
        items.push_back(std::make_unique<TestItem>(name, -1, category));
        TestItem& item = *items.back();
        character.PickUpItem(&item, true);
        if (select)
            character.SelectItem(&item);
        return item;
    }

    // First, so that it outlives everything the test made.
    LevelFake levelFake;
    AIStats stats;
    std::vector<std::unique_ptr<TestItem>> items; // before the enemies: they go last
    std::vector<std::unique_ptr<Enemy>> enemies;
    std::vector<Character*> everyone;
    std::vector<std::vector<Character*>>& squads = levelFake.squads;
    std::vector<GameObject*>& alarms = levelFake.alarms;
    std::vector<LevelFake::Event>& events = levelFake.events;
    std::vector<GameObject*>& sounded = levelFake.sounded;
    std::vector<CarriedItem*>& loose = levelFake.loose; // newest first
    Options* options = nullptr;
    std::array<std::int32_t, Options::OptionCount> savedOptions{};
};
