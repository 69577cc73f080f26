// The "minefield" and "explosion" map props as their handlers read them, hostile lines included,
// with the demo data's effect and sound files and a sound system.
#include "tests/mission/DemoLevelFixture.h"

#include "app/framework/ArenaAlloc.h"
#include "mission/props/ExplosiveProps.h"
#include "tests/support/ErrorText.h"
#include "world/map/MapObject.h"
#include "world/World.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace {

// A map object of its own library entry at a point.
class PropObject : public MapObject {
public:
    PropObject()
    {
        std::snprintf(entry.objectName, sizeof entry.objectName, "Marker");
        library.entry = &entry;
        record = &place;
        place.position[0] = 5.0f;
    }
    ~PropObject() override { Clear(); }
    LibraryObject* GetLibraryEntry() const override { return const_cast<LibraryObject*>(&library); }

    LibraryEntry entry;
    LibraryObject library;
    MapObjectRecord place;
};

class ExplosivePropsTest : public DemoMissionTest {
protected:
    void TearDown() override
    {
        ArenaFreeAll();
        DemoMissionTest::TearDown();
    }
};

TEST_F(ExplosivePropsTest, AMineFieldLineNeedsASaneRadiusAndTakesItsObjectsPlace)
{
    struct Case {
        const char* line;
        bool kept;
        float radius;
        int number;
    };
    const Case cases[] = {
        {"minefield 20", true, 20.0f, 1},      {"minefield 12.5 0", true, 12.5f, 0},
        {"minefield", false, 0, 0},            {"minefield nan", false, 0, 0},
        {"minefield -5", false, 0, 0},         {"minefield 1e30", false, 0, 0},
        {"minefield inf 1", false, 0, 0},      {"minefield twenty", false, 0, 0},
        {"minefield 20 many", false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        PropObject object;
        auto* prop = static_cast<MinefieldProp*>(MinefieldPropFactory());
        const std::uint32_t flags = prop->Parse(&object, c.line);
        EXPECT_EQ(flags, c.kept ? PropMarker : PropOneShot);
        if (c.kept) {
            EXPECT_FLOAT_EQ(prop->radius, c.radius);
            EXPECT_EQ(prop->number, c.number);
            EXPECT_FLOAT_EQ(prop->x, 5.0f);
            EXPECT_TRUE(object.hidden);
            prop->Detach(&object);
        }
        DestroyProp(prop);
    }
    EXPECT_TRUE(MinefieldPropList().IsEmpty());
}

TEST_F(ExplosivePropsTest, AnExplosionLineReadsItsEffectsDelaysAndSoundAndRefusesWhatCannotBeRead)
{
    const std::string fx = "GameData/fx/grenade_flak.par", smoke = "GameData/fx/grenade_smoke.par";
    struct Case {
        std::string line;
        std::string error; // "" when read
        std::uint32_t flags;
        int effects, minimum, maximum, trigger;
    };
    const Case cases[] = {
        {"explosion " + fx + " 5 5 0 0", "", PropUpdate, 1, 5, 5, -1},
        {"explosion 2 " + fx + " " + smoke + " 2 8 100 15.5 12", "", PropUpdate, 2, 2, 8, 12},
        // The count is capped at the files the line holds.
        {"explosion 9 " + fx + " " + smoke + " 5 5 0 0", "", PropUpdate, 2, 5, 5, -1},
        {"explosion 3 " + fx + " 5 5 0 0", "", PropUpdate, 1, 5, 5, -1},
        {"explosion missing.par 5 5 0 0", "Can't open missing.par for explosion prop on object Marker", 0, 0, 0, 0, 0},
        {"explosion ../" + fx + " 5 5 0 0", "Can't open ../" + fx + " for explosion prop on object Marker", 0, 0, 0, 0, 0},
        {"explosion", "", PropOneShot, 0, 0, 0, 0},
        {"explosion " + fx + " 5", "", PropOneShot, 1, 0, 0, 0},
        {"explosion " + fx + " -1 5 0 0", "", PropOneShot, 1, 0, 0, 0},
        {"explosion " + fx + " 5 5 0 nan", "", PropOneShot, 1, 0, 0, 0},
        {"explosion " + fx + " 5 5 0 0 -1 missing.wav", "Can't load missing.wav: ", 0, 1, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        PropObject object;
        auto* prop = static_cast<ExplosionProp*>(ExplosionPropFactory());
        std::uint32_t flags = 0;
        const std::string error = ErrorText([&] { flags = prop->Parse(&object, c.line.c_str()); });
        EXPECT_EQ(error.substr(0, c.error.size()), c.error);
        EXPECT_EQ(error.empty(), c.error.empty()) << error;
        if (error.empty()) {
            EXPECT_EQ(flags, c.flags);
            if (flags == PropUpdate) {
                EXPECT_EQ(int(prop->effects.size()), c.effects);
                EXPECT_EQ(prop->minimumDelay, c.minimum);
                EXPECT_EQ(prop->maximumDelay, c.maximum);
                EXPECT_EQ(prop->triggerNumber, c.trigger);
                EXPECT_GE(prop->countdown, float(c.minimum));
                EXPECT_LE(prop->countdown, float(c.maximum));
            }
        }
        DestroyProp(prop);
    }
}

} // namespace
