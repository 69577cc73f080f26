#pragma once

// Items on the real renderer library, headless, beside the characters that carry them: the
// character fixture's device, demo data and seeded generator, plus small item models written by
// the test (a box of half size 20 in the file is 2 units after the tenth-size load), a level
// that knows two animation sets, and definitions made in memory.

#include <cstring>
#include <string>

#include "items/Item.h"
#include "items/ItemDefinition.h"
#include "tests/characters/LevelFake.h"
#include "tests/characters/body/CharacterFixture.h"
#include "tools/demodata/writers/Q3dWriter.h"

class ItemTest : public CharacterTest {
protected:
    void SetUp() override
    {
        CharacterTest::SetUp();
        WriteBox("Models/crate.q3d", 20.0f);
        WriteBox("Models/gun.q3d", 10.0f);
        WriteBox("Models/gun_lod1.q3d", 5.0f);
        WriteBox("Models/pistol.q3d", 4.0f);
        WriteBox("Models/pistol_lod1.q3d", 3.0f);
        WriteBox("Models/pistol_lod2.q3d", 2.0f);
        levelFake.sets = {"Rifle", "Unarmed"};
    }

    static void WriteBox(const std::string& path, float half)
    {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        Q3dObject box;
        box.materials.push_back(Q3dMaterial{});
        AddQ3dBox(box, half, half, half, 0, 0xFFC0C0C0u);
        WriteFile(path, WriteQ3dModel({box}));
    }

    static ItemDefinition Definition(const char* name, const char* worldModel, const char* set = "Rifle")
    {
        ItemDefinition d;
        std::strcpy(d.name, name);
        std::strcpy(d.animationSet, set);
        std::strcpy(d.worldModel, worldModel);
        std::strcpy(d.keyword, "MissionItem");
        d.baseWeight = 2.5f;
        d.kind = 2;
        return d;
    }

    LevelFake levelFake;
};
