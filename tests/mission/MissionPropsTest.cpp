// The mission's trigger, trigger text and door keywords as their handlers read them, and the rules
// by which triggers fire and doors swing.
#include "tests/mission/MapPropsFixture.h"

#include "app/framework/Application.h"
#include "mission/props/DoorProp.h"
#include "mission/props/TriggerProps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace {

constexpr float kQuarterTurn = 1.5707964f;

TEST_F(MapPropsTest, TriggerLinesGiveTheirTypeRadiusItemAndTextAndLinesMissingAWordAreDropped)
{
    struct Case {
        const char* line;
        bool kept;
        std::int32_t id;
        int type;
        float radius;
        const char* item;
        std::int32_t itemNumber;
        const char* text;
        std::uint32_t flags;
    };
    const Case cases[] = {
        {"trigger 3 0", true, 3, 0, 20.0f, "", -1, "", PropNearCamera},
        {"trigger 3 0 40", true, 3, 0, 40.0f, "", -1, "", PropNearCamera},
        {"trigger 3 0 -5", true, 3, 0, 20.0f, "", -1, "", PropNearCamera}, // a radius below 0 keeps the default
        {"trigger 4 3 Find the radio", true, 4, 3, 20.0f, "", -1, "Find the radio", PropMarker},
        {"trigger 4 3   Find   the radio\r\n", true, 4, 3, 20.0f, "", -1, "Find the radio", PropMarker},
        {"trigger 5 2 Medkit 7", true, 5, 2, 20.0f, "Medkit", 7, "", PropMarker},
        {"trigger 6 9", true, 6, 9, 20.0f, "", -1, "", PropMarker}, // kept, never fires by itself
        {"trigger 7", false, 0, -1, 0.0f, "", -1, "", 0},
        {"trigger", false, 0, -1, 0.0f, "", -1, "", 0},
        {"trigger x 1", false, 0, -1, 0.0f, "", -1, "", 0},
    };
    for (const Case& c : cases) {
        Prop* prop = TriggerPropFactory();
        const std::uint32_t flags = prop->Parse(nullptr, c.line);
        auto* trigger = static_cast<TriggerProp*>(prop);
        if (!c.kept) {
            EXPECT_EQ(flags, PropOneShot) << c.line;
            EXPECT_EQ(FindTrigger(trigger->triggerID) == trigger, false) << c.line;
            DestroyProp(prop);
            continue;
        }
        EXPECT_EQ(flags, c.flags) << c.line;
        EXPECT_EQ(trigger->triggerID, c.id) << c.line;
        EXPECT_EQ(trigger->triggerType, c.type) << c.line;
        EXPECT_FLOAT_EQ(trigger->radius, c.radius) << c.line;
        EXPECT_STREQ(trigger->itemName, c.item) << c.line;
        EXPECT_EQ(trigger->itemNumber, c.itemNumber) << c.line;
        EXPECT_STREQ(trigger->text, c.text) << c.line;
        EXPECT_EQ(FindTrigger(c.id), trigger) << c.line;
        DestroyProp(prop);
        EXPECT_EQ(FindTrigger(c.id), nullptr) << "a destroyed trigger leaves the list: " << c.line;
    }
    // The text of a use trigger is cut to its field and stays terminated.
    const std::string longText = "trigger 8 3 " + std::string(400, 'w');
    Prop* prop = TriggerPropFactory();
    prop->Parse(nullptr, longText.c_str());
    EXPECT_EQ(std::strlen(static_cast<TriggerProp*>(prop)->text), std::size_t(TriggerProp::kTextSize - 1));
    DestroyProp(prop);
}

TEST_F(MapPropsTest, ATriggerFiresOnceOnlyForItsTypeShowsItsTextAndMirrorsItsRecordUnlessLocked)
{
    TestObject& bridge = Object("Bridge");
    TriggerRecord record;
    auto* trigger = bridge.Add<TriggerProp>(TriggerPropFactory, "trigger 12 1");
    auto* text = bridge.Add<TriggerTextProp>(TriggerTextPropFactory, "triggertext  The bridge is down!\r\n");
    trigger->record = &record;
    EXPECT_STREQ(text->text, "The bridge is down!");

    Application* application = Application::Instance();
    application->ClearCenterMessage();
    EXPECT_FALSE(trigger->Fire(4)) << "an alarm does not fire a type 1 trigger";
    EXPECT_EQ(record.fired, 0);

    TriggerProp::Lock() = true;
    EXPECT_FALSE(trigger->FireOnDestroyed()) << "the path editor's lock holds every trigger";
    TriggerProp::Lock() = false;

    EXPECT_TRUE(trigger->FireOnDestroyed());
    EXPECT_EQ(record.fired, 1);
    EXPECT_STREQ(application->GetCenterMessage(), "The bridge is down!");
    application->ClearCenterMessage();
    EXPECT_FALSE(trigger->FireOnDestroyed()) << "fired twice, it sets off its text once";
    EXPECT_STREQ(application->GetCenterMessage(), "");

    // Setting the state it has changes nothing; a saved game may clear it.
    EXPECT_FALSE(trigger->SetTriggered(true, false));
    EXPECT_TRUE(trigger->SetTriggered(false, false));
    EXPECT_EQ(record.fired, 0);

    // A type 2 trigger's object is hidden while triggered.
    TestObject& crate = Object("Crate");
    auto* give = crate.Add<TriggerProp>(TriggerPropFactory, "trigger 13 2 Medkit");
    EXPECT_TRUE(give->Fire(2));
    EXPECT_TRUE(crate.hidden);
    give->SetTriggered(false, false);
    EXPECT_FALSE(crate.hidden);

    // Lines without what they need are dropped.
    for (const char* line : {"triggertext", "triggertext   \r\n"}) {
        Prop* prop = TriggerTextPropFactory();
        EXPECT_EQ(prop->Parse(nullptr, line), PropOneShot) << line;
        DestroyProp(prop);
    }
    Prop* sound = TriggerSoundPropFactory();
    EXPECT_EQ(sound->Parse(nullptr, "triggersound"), PropOneShot);
    DestroyProp(sound);
}

TEST_F(MapPropsTest, ADoorSwingsBetweenClosedAndAQuarterTurnAndRefusesWhileLockedOrMoving)
{
    struct Case {
        const char* line;
        float startAngle;
        bool open, locked;
    };
    for (const Case& c : {Case{"door", 0.0f, false, false}, Case{"door 1 -1", -kQuarterTurn, true, false},
                          Case{"door 0 2 1 4", 0.0f, false, true}, Case{"door 1 nan", kQuarterTurn, true, false}}) {
        TestObject& object = Object("Door");
        auto* door = object.Add<DoorProp>(DoorPropFactory, c.line);
        EXPECT_FLOAT_EQ(door->angle, c.startAngle) << c.line;
        EXPECT_EQ(door->open != 0, c.open) << c.line;
        EXPECT_EQ(door->locked != 0, c.locked) << c.line;
        EXPECT_EQ(door->GetFlags(), PropUpdate);
        if (c.locked) {
            EXPECT_FALSE(door->Toggle()) << "a locked door stays shut";
            continue;
        }
        // Each swing turns at speed x 2 radians a second and stops exactly at its end.
        ASSERT_TRUE(door->Toggle()) << c.line;
        EXPECT_FALSE(door->Toggle()) << "a moving door refuses: " << c.line;
        const float end = door->open ? door->speed * kQuarterTurn : 0.0f;
        float previous = door->angle;
        for (int step = 0; step < 40 && door->moving; ++step) {
            door->Update(&object, 0.1f);
            EXPECT_LE(std::fabs(door->angle - end), std::fabs(previous - end) + 1e-6f) << c.line;
            previous = door->angle;
        }
        EXPECT_FALSE(door->moving) << c.line;
        EXPECT_FLOAT_EQ(door->angle, end) << c.line;
        // The object turned about the vertical axis by the angle.
        const Vector3 forward = object.GetRotation().Transform(Vector3(0.0f, 0.0f, 1.0f));
        EXPECT_NEAR(std::atan2(forward.x, forward.z), end, 1e-4f) << c.line;
        EXPECT_NEAR(forward.y, 0.0f, 1e-5f);
    }

    // A saved or sent state turns the door at once.
    TestObject& object = Object("Door");
    auto* door = object.Add<DoorProp>(DoorPropFactory, "door");
    door->SetState(true, false, true, 0.5f);
    EXPECT_TRUE(door->open && door->locked && !door->moving);
    EXPECT_FLOAT_EQ(door->angle, 0.5f);
    door->SetState(false, false, false, NAN);
    EXPECT_EQ(door->angle, 0.0f) << "an angle that is not finite reads as closed";
}

} // namespace
