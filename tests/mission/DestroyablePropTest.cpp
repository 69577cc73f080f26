#include "mission/props/destruction/AirstrikeProp.h"
#include "mission/props/destruction/DestroyableProp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A prop parsed without a map object: no wreck, no trigger, no library; the damage rules alone.
struct LooseDestroyable {
    DestroyableProp prop;
    explicit LooseDestroyable(const char* line) { prop.Parse(nullptr, line); }
    ~LooseDestroyable() { prop.Detach(nullptr); }
};

TEST(DestroyableDamage, DirectHitsByHealthAndArmour)
{
    struct Hit {
        int damage;
        int healthAfter;
    };
    struct Case {
        const char* line;
        bool splashOnly;
        std::vector<Hit> hits;
        bool destroyed;
    };
    const Case cases[] = {
        {"destroyable 50 null", false, {{60, 0}}, true},
        {"destroyable 100 NULL", false, {{30, 70}, {30, 40}, {-20, 40}, {40, 0}, {10, 0}}, true},
        {"destroyable 1000 null", false, {{99, 1000}, {100, 900}}, false},
        {"destroyable 2000", false, {{50, 2000}, {150, 1850}}, false},
        {"destroyable 100 null", true, {{500, 100}}, false}, // splash-only ignores direct hits
        {"destroyable", false, {{99, 1}, {1, 0}}, true},    // 100 by default
    };
    for (const Case& c : cases) {
        LooseDestroyable d(c.line);
        d.prop.splashOnly = c.splashOnly;
        for (const Hit& hit : c.hits) {
            d.prop.TakeDamage(hit.damage, 3, false);
            EXPECT_EQ(d.prop.health, hit.healthAfter) << c.line << " hit " << hit.damage;
        }
        EXPECT_EQ(d.prop.destroyed, c.destroyed) << c.line;
        EXPECT_EQ(d.prop.lastSource, 3) << c.line;
    }
}

TEST(DestroyableDamage, SplashComesOffInWholeStepsOverTheFrames)
{
    struct Case {
        const char* line;
        bool splashOnly;
        int splash;
        int healthAfter;
    };
    const Case cases[] = {
        {"destroyable 100 null", false, 40, 60},
        {"destroyable 100 null", true, 40, 60},   // splash-only refuses direct hits, not splash
        {"destroyable 30 null", true, 40, 0},
        {"destroyable 30 null", false, 40, 0},    // destroyed on the way
        {"destroyable 1000 null", false, 90, 1000}, // each step below 100 is refused on armour
    };
    for (const Case& c : cases) {
        LooseDestroyable d(c.line);
        d.prop.splashOnly = c.splashOnly;
        d.prop.TakeDamage(c.splash, -1, true);
        EXPECT_EQ(d.prop.health, d.prop.fullHealth) << "splash waits for the frames";
        int previous = d.prop.pendingDamage;
        for (int frame = 0; frame < 200 && d.prop.pendingDamage > 0 && !d.prop.destroyed; ++frame) {
            d.prop.UpdateNearCamera(nullptr, 0.1f);
            EXPECT_GE(previous - d.prop.pendingDamage, 1) << c.line << ": at least one a frame";
            previous = d.prop.pendingDamage;
        }
        EXPECT_EQ(d.prop.health, c.healthAfter) << c.line;
        EXPECT_EQ(d.prop.destroyed, c.healthAfter == 0) << c.line;
    }
}

TEST(DestroyableParse, FieldsAndHostileLines)
{
    LooseDestroyable plain("destroyable 250 Sound/boom.wav 15.5 80 nowreck 1 2 3 fx/a.par fx/b.par\r\n");
    EXPECT_EQ(plain.prop.fullHealth, 250);
    EXPECT_EQ(plain.prop.soundFile, "Sound/boom.wav");
    EXPECT_FLOAT_EQ(plain.prop.radius, 15.5f);
    EXPECT_EQ(plain.prop.damage, 80);
    EXPECT_EQ(plain.prop.replacement, -1); // no library entry of that name
    EXPECT_FLOAT_EQ(plain.prop.blastOffset.y, 2.0f);
    EXPECT_EQ(plain.prop.effects, (std::vector<std::string>{"fx/a.par", "fx/b.par"}));

    LooseDestroyable hostile("destroyable -7 ../../x.wav nan -5 none inf 1 nan /abs.par ../e.par fx/ok.par "
                             "1 2 3 4 5 6 7 8 9 10 11");
    EXPECT_EQ(hostile.prop.fullHealth, 0);
    EXPECT_TRUE(hostile.prop.soundFile.empty());
    EXPECT_EQ(hostile.prop.radius, 0.0f);
    EXPECT_EQ(hostile.prop.damage, 0);
    EXPECT_EQ(hostile.prop.blastOffset.x, 0.0f);
    EXPECT_EQ(hostile.prop.blastOffset.z, 0.0f);
    ASSERT_EQ(hostile.prop.effects.size(), 10u);
    EXPECT_EQ(hostile.prop.effects.front(), "fx/ok.par");

    // The running count numbers the level's destroyables; a wreck takes no damage.
    EXPECT_EQ(hostile.prop.number, plain.prop.number + 1);
    DestroyedProp wreck;
    wreck.Parse(nullptr, "destroyed");
    wreck.TakeDamage(500, 1, false);
    EXPECT_FALSE(wreck.IsDestroyable());
    EXPECT_EQ(wreck.health, 0);
    wreck.Detach(nullptr);
}

TEST(AirstrikeZone, NameRadiusAndItsEvent)
{
    struct Case {
        const char* line;
        const char* name;
        float radius;
    };
    const Case cases[] = {
        {"airstrike", "", 10.0f},
        {"airstrike Bridge 55", "Bridge", 55.0f},
        {"airstrike Ford nan", "Ford", 10.0f},
        {"airstrike Ford -3\r\n", "Ford", 10.0f},
    };
    for (const Case& c : cases) {
        AirstrikeProp zone;
        zone.Parse(nullptr, c.line);
        EXPECT_STREQ(zone.name, c.name) << c.line;
        EXPECT_EQ(zone.radius, c.radius) << c.line;
        EXPECT_EQ(AirstrikePropCount(), 1);
        EXPECT_EQ(zone.MakeEvent(), zone.MakeEvent()) << "made once";
        zone.Detach(nullptr);
        EXPECT_EQ(AirstrikePropCount(), 0);
    }
}

} // namespace
