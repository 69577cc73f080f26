#include "items/events/AirStrike.h"
#include "items/events/AirStrikeItem.h"
#include "items/events/AirStrikeOrder.h"
#include "items/events/ScheduledEvent.h"

#include "engine/core/q3DError.h"
#include "engine/serial/SaveStream.h"
#include "platform/net/BitStream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

// A strike that plays nothing and shows nothing: the flight alone.
AirStrikeOrder SilentOrder(int bombs, float interval, int pattern = 0)
{
    AirStrikeOrder order;
    order.callerID = 0xFFFF;
    order.radioID = 0xFFFF;
    order.damage = 0;
    order.radius = 400;
    order.target = Vector3(100.0f, 0.0f, 50.0f);
    order.flightStart = Vector3(-1000.0f, 200.0f, 50.0f);
    order.flightEnd = Vector3(1000.0f, 200.0f, 50.0f);
    order.duration = 10.0f;
    order.delay = 2.0f;
    order.interval = interval;
    order.bombCount = bombs;
    order.pattern = pattern;
    return order;
}

std::vector<std::uint8_t> Saved(ScheduledEvent& event)
{
    std::vector<std::uint8_t> bytes(4096);
    SaveStream stream = SaveStream::OnMemory(bytes.data(), std::uint32_t(bytes.size()));
    ScheduledEvent::SaveTagged(event, stream);
    bytes.resize(stream.position);
    return bytes;
}

std::unique_ptr<ScheduledEvent> Loaded(std::vector<std::uint8_t> bytes)
{
    SaveStream stream = SaveStream::OnMemory(bytes.data(), std::uint32_t(bytes.size()));
    return std::unique_ptr<ScheduledEvent>(ScheduledEvent::LoadTagged(stream));
}

template <typename T>
void Put(std::vector<std::uint8_t>& bytes, std::size_t at, T value)
{
    std::memcpy(bytes.data() + at, &value, sizeof value);
}

template <typename T>
T Get(const std::vector<std::uint8_t>& bytes, std::size_t at)
{
    T value;
    std::memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}

// The block's parts after the 4-byte tag.
constexpr std::size_t kFirstOrder = 4;
constexpr std::size_t kElapsed = kFirstOrder + AirStrikeOrder::kBlockSize;
constexpr std::size_t kState = kElapsed + 4;
constexpr std::size_t kSecondOrder = kState + AirStrike::kStateBytes;

TEST(AirStrikeFlight, BombsFillTheEndOfTheFlight)
{
    struct Case {
        int bombs;
        float interval;
        std::vector<float> dropsAbove; // flight fractions the drops follow, in order
    };
    const Case cases[] = {
        {5, 0.1f, {0.5f, 0.6f, 0.7f, 0.8f, 0.9f}},
        {5, 0.3f, {0.0f, 0.3f, 0.6f, 0.9f}}, // the fifth would fall after the flight's end
        {1, 0.001f, {0.999f}},
    };
    for (const Case& c : cases) {
        std::unique_ptr<AirStrike> strike(AirStrike::Create(SilentOrder(c.bombs, c.interval)));
        EXPECT_NEAR(strike->GetThreshold(), c.dropsAbove.front(), 1e-5f);
        std::vector<float> drops;
        bool firstFrameAfterDelay = true;
        while (!strike->IsFlightOver()) {
            const int bomb = strike->Advance(0.05f);
            if (bomb >= 0) {
                EXPECT_EQ(bomb, int(drops.size()));
                drops.push_back(strike->Progress());
                if (c.dropsAbove.front() == 0.0f && drops.size() == 1) {
                    EXPECT_TRUE(firstFrameAfterDelay) << "a threshold of 0 drops at once";
                }
            }
            if (strike->GetElapsed() > 2.0f)
                firstFrameAfterDelay = false;
        }
        ASSERT_EQ(drops.size(), c.dropsAbove.size()) << c.bombs << " bombs at " << c.interval;
        for (std::size_t i = 0; i < drops.size(); ++i) {
            EXPECT_GT(drops[i], c.dropsAbove[i] - 1e-5f);
            EXPECT_LT(drops[i], c.dropsAbove[i] + 0.0051f) << "one frame after its fraction";
        }
    }
}

TEST(AirStrikeFlight, NothingHappensBeforeTheDelayAndTheStrikeEndsAfterTheFlight)
{
    ScheduledEventList::DeleteAll();
    AirStrike* strike = AirStrike::Create(SilentOrder(2, 0.1f));
    ASSERT_EQ(ScheduledEventList::Count(), 1);
    ScheduledEventList::UpdateAll(1.9f);
    EXPECT_FLOAT_EQ(strike->Progress(), 0.0f);
    EXPECT_FALSE(strike->HasDropped(0));
    for (int frame = 0; frame < 40 && ScheduledEventList::Count() == 1; ++frame)
        ScheduledEventList::UpdateAll(0.5f);
    // 2 s delay and 10 s flight: over after 12 s, deleted by the walk that saw it end.
    EXPECT_EQ(ScheduledEventList::Count(), 0);
}

TEST(AirStrikePattern, ImpactPoints)
{
    struct Case {
        int pattern;
        float t, f, f2;
        Vector3 expected;
    };
    // Target (100, 0, 50), radius 400, flying along +x.
    const Case cases[] = {
        {0, 0.5f, 0.3f, 0.9f, Vector3(100.0f, 0.0f, 50.0f)},  // napalm: the middle of the line is the target
        {0, 0.9f, 0.0f, 0.0f, Vector3(260.0f, 0.0f, 50.0f)},  // (0.9 - 0.5) x 400 along the flight
        {0, 0.2f, 0.0f, 0.0f, Vector3(-20.0f, 0.0f, 50.0f)},
        {1, 0.7f, 0.0f, 1.0f, Vector3(100.0f, 0.0f, 250.0f)}, // no turn: along z, half the radius
        {1, 0.7f, 0.25f, 0.5f, Vector3(200.0f, 0.0f, 50.0f)}, // a quarter turn: along x
        {1, 0.7f, 0.5f, 0.0f, Vector3(100.0f, 0.0f, 50.0f)},  // no distance: the target
    };
    for (const Case& c : cases) {
        const Vector3 at = AirStrike::ImpactPoint(SilentOrder(5, 0.1f, c.pattern), c.t, c.f, c.f2);
        EXPECT_NEAR(at.x, c.expected.x, 1e-3f) << c.pattern << " " << c.t << " " << c.f;
        EXPECT_NEAR(at.z, c.expected.z, 1e-3f) << c.pattern << " " << c.t << " " << c.f;
    }
}

TEST(AirStrikePattern, ScatteredBombsOnASeededGeneratorRepeatAndStayWithinHalfTheRadius)
{
    const AirStrikeOrder order = SilentOrder(5, 0.1f, 1);
    const auto draw = [&] {
        std::vector<Vector3> points;
        for (int i = 0; i < 5; ++i) {
            const float f = float(std::rand() % 32000) / 32000.0f;
            const float f2 = float(std::rand() % 32000) / 32000.0f;
            points.push_back(AirStrike::ImpactPoint(order, 0.6f, f, f2));
        }
        return points;
    };
    std::srand(7);
    const std::vector<Vector3> first = draw();
    std::srand(7);
    const std::vector<Vector3> second = draw();
    for (std::size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i].x, second[i].x);
        EXPECT_EQ(first[i].z, second[i].z);
        EXPECT_LE((first[i] - order.target).Length(), 200.0f + 1e-3f);
    }
}

TEST(AirStrikeWarning, TheCallersTeamIsToldTheCountdownAndTheSafeDistance)
{
    AirStrikeOrder order = SilentOrder(5, 0.1f);
    order.delay = 10.0f;
    order.duration = 20.0f;
    struct Case {
        float elapsed, distance;
        const char* text;
    };
    const Case cases[] = {
        {5.0f, 150.0f, "You have 15 seconds to reach minimum safe distance. 150 / 400 feet."},
        {5.0f, 400.0f, "Airstrike in 15 seconds."},
        {19.5f, 399.9f, "You have 0 seconds to reach minimum safe distance. 399 / 400 feet."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AirStrike::WarningText(order, c.elapsed, c.distance), c.text);
}

TEST(ScheduledEvents, AnEventThatEndsDuringTheWalkIsRemovedAfterIt)
{
    struct Counting : ScheduledEvent {
        int updates = 0;
        bool endNow = false;
        void Update(float) override
        {
            ++updates;
            finished = endNow;
        }
        void Draw(Device*) override {}
    };
    ScheduledEventList::DeleteAll();
    auto* ending = new Counting;
    ending->endNow = true;
    auto* staying = new Counting;
    auto* last = new Counting;
    ScheduledEventList::UpdateAll(0.1f);
    // The ending one left its place to the last one: a removal during the walk would skip it.
    EXPECT_EQ(staying->updates, 1);
    EXPECT_EQ(last->updates, 1);
    EXPECT_EQ(ScheduledEventList::Count(), 2);
    ScheduledEventList::DeleteAll();
    EXPECT_EQ(ScheduledEventList::Count(), 0);
}

TEST(AirStrikeBlock, GoldenLayoutOfTheOrderAndTheState)
{
    AirStrikeOrder order = SilentOrder(3, 0.2f, 1);
    order.callerID = 0x1234;
    order.radioID = 0x0506;
    order.damage = 300;
    std::strcpy(order.flightSound, "Sound/plane.wav");
    std::strcpy(order.chatterSound, "Sound/radio.wav");
    std::unique_ptr<AirStrike> strike(AirStrike::Create(order));
    for (int frame = 0; frame < 200 && !strike->HasDropped(1); ++frame)
        strike->Advance(0.05f);

    const std::vector<std::uint8_t> bytes = Saved(*strike);
    ASSERT_EQ(bytes.size(), 4 + 844 + 4 + 25 + 844u);
    EXPECT_EQ(Get<std::int32_t>(bytes, 0), 0);
    for (std::size_t at : {kFirstOrder, kSecondOrder}) {
        EXPECT_EQ(bytes[at], 0x34);
        EXPECT_EQ(bytes[at + 1], 0x12);
        EXPECT_EQ(Get<std::uint16_t>(bytes, at + 2), 0x0506);
        EXPECT_EQ(Get<std::int32_t>(bytes, at + 4), 300);
        EXPECT_EQ(Get<std::int32_t>(bytes, at + 8), 400);
        EXPECT_EQ(Get<float>(bytes, at + 12), 100.0f);
        EXPECT_EQ(Get<float>(bytes, at + 48), 10.0f);
        EXPECT_EQ(Get<float>(bytes, at + 64), 0.2f);
        EXPECT_EQ(Get<std::int32_t>(bytes, at + 68), 3);
        EXPECT_EQ(Get<std::int32_t>(bytes, at + 72), 1);
        EXPECT_STREQ(reinterpret_cast<const char*>(bytes.data() + at + 76), "Sound/plane.wav");
        EXPECT_STREQ(reinterpret_cast<const char*>(bytes.data() + at + 716), "Sound/radio.wav");
        EXPECT_EQ(bytes[at + 843], 0);
    }
    EXPECT_EQ(Get<float>(bytes, kElapsed), strike->GetElapsed());
    const std::uint8_t flags[8] = {1, 1, 0, 0, 0, 0, 0, 0}; // two dropped, spare, two zero bytes
    EXPECT_EQ(std::memcmp(bytes.data() + kState, flags, 8), 0);
    EXPECT_EQ(Get<std::int32_t>(bytes, kState + 8), 2);
    EXPECT_FLOAT_EQ(Get<float>(bytes, kState + 12), strike->GetThreshold());
    EXPECT_EQ(std::memcmp(bytes.data() + kState + 16, bytes.data() + kFirstOrder, 9), 0);
}

TEST(AirStrikeBlock, RoundTripAndTheSecondOrderWins)
{
    std::unique_ptr<AirStrike> strike(AirStrike::Create(SilentOrder(4, 0.1f)));
    for (int frame = 0; frame < 150; ++frame)
        strike->Advance(0.05f);
    std::vector<std::uint8_t> bytes = Saved(*strike);
    Put<std::int32_t>(bytes, kFirstOrder + 4, 1);     // first copy: damage 1
    Put<std::int32_t>(bytes, kSecondOrder + 4, 777);  // second copy: damage 777
    Put<std::int32_t>(bytes, kState + 16, -1);        // the ignored tail
    const std::unique_ptr<ScheduledEvent> loaded = Loaded(bytes);
    auto* back = dynamic_cast<AirStrike*>(loaded.get());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->GetOrder().damage, 777);
    EXPECT_EQ(back->GetElapsed(), strike->GetElapsed());
    EXPECT_EQ(back->GetBombIndex(), strike->GetBombIndex());
    EXPECT_EQ(back->GetThreshold(), strike->GetThreshold());
    for (int bomb = 0; bomb < AirStrikeOrder::kMaxBombs; ++bomb)
        EXPECT_EQ(back->HasDropped(bomb), strike->HasDropped(bomb));
    strike.reset();
    // Loaded mid-flight, it flies on and drops what is left.
    while (back->GetBombIndex() < 4 && back->GetElapsed() < 20.0f)
        back->Advance(0.05f);
    EXPECT_EQ(back->GetBombIndex(), 4);
}

TEST(AirStrikeBlock, HostileBlocksAreRefusedWithAnError)
{
    std::unique_ptr<AirStrike> strike(AirStrike::Create(SilentOrder(2, 0.1f)));
    const std::vector<std::uint8_t> good = Saved(*strike);
    strike.reset();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* what;
        std::size_t at;
        std::uint32_t bits;
    };
    std::uint32_t nanBits;
    std::memcpy(&nanBits, &nan, 4);
    const float negative = -1.0f;
    std::uint32_t negativeBits;
    std::memcpy(&negativeBits, &negative, 4);
    const Case cases[] = {
        {"not-a-number target", kSecondOrder + 12, nanBits},
        {"not-a-number duration", kFirstOrder + 48, nanBits},
        {"not-a-number elapsed time", kElapsed, nanBits},
        {"negative elapsed time", kElapsed, negativeBits},
        {"bomb index past five", kState + 8, 6},
        {"bomb index past the bomb count", kState + 8, 3},
        {"not-a-number threshold", kState + 12, nanBits},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes = good;
        Put<std::uint32_t>(bytes, c.at, c.bits);
        EXPECT_THROW(Loaded(bytes), q3DError) << c.what;
        EXPECT_EQ(ScheduledEventList::Count(), 0) << c.what;
    }
    std::vector<std::uint8_t> shortBlock(good.begin(), good.end() - 10);
    EXPECT_THROW(Loaded(shortBlock), q3DError);
    std::vector<std::uint8_t> unknown = good;
    Put<std::int32_t>(unknown, 0, 3);
    EXPECT_EQ(Loaded(unknown), nullptr);
}

TEST(AirStrikeOrderClamp, OrdersFromPeersAndSavesTakeTheDefinitionsLimits)
{
    struct Case {
        const char* what;
        void (*spoil)(AirStrikeOrder&);
        bool (*holds)(const AirStrikeOrder&);
    };
    const Case cases[] = {
        {"no bombs", [](AirStrikeOrder& o) { o.bombCount = 0; }, [](const AirStrikeOrder& o) { return o.bombCount == 1; }},
        {"nine bombs", [](AirStrikeOrder& o) { o.bombCount = 9; }, [](const AirStrikeOrder& o) { return o.bombCount == 5; }},
        {"negative duration", [](AirStrikeOrder& o) { o.duration = -3.0f; },
         [](const AirStrikeOrder& o) { return o.duration == 0.001f; }},
        {"zero interval", [](AirStrikeOrder& o) { o.interval = 0.0f; },
         [](const AirStrikeOrder& o) { return o.interval == 0.001f; }},
        {"negative delay", [](AirStrikeOrder& o) { o.delay = -1.0f; }, [](const AirStrikeOrder& o) { return o.delay == 0.0f; }},
        {"negative damage", [](AirStrikeOrder& o) { o.damage = -50; }, [](const AirStrikeOrder& o) { return o.damage == 0; }},
        {"negative radius", [](AirStrikeOrder& o) { o.radius = -1; }, [](const AirStrikeOrder& o) { return o.radius == 0; }},
        {"pattern 7", [](AirStrikeOrder& o) { o.pattern = 7; }, [](const AirStrikeOrder& o) { return o.pattern == 1; }},
        {"climbing path", [](AirStrikeOrder& o) { std::strcpy(o.bombSound, "Sound/../../etc/x.wav"); },
         [](const AirStrikeOrder& o) { return o.bombSound[0] == '\0'; }},
        {"absolute path", [](AirStrikeOrder& o) { std::strcpy(o.bomberModel, "/tmp/plane.gltf"); },
         [](const AirStrikeOrder& o) { return o.bomberModel[0] == '\0'; }},
        {"drive path", [](AirStrikeOrder& o) { std::strcpy(o.markerModel, "C:\\marker.gltf"); },
         [](const AirStrikeOrder& o) { return o.markerModel[0] == '\0'; }},
        {"relative path", [](AirStrikeOrder& o) { std::strcpy(o.flightSound, "Sound/..plane.wav"); },
         [](const AirStrikeOrder& o) { return std::string(o.flightSound) == "Sound/..plane.wav"; }},
        {"unterminated name", [](AirStrikeOrder& o) { std::memset(o.bombEffect, 'a', sizeof o.bombEffect); },
         [](const AirStrikeOrder& o) { return std::strlen(o.bombEffect) == 127; }},
    };
    for (const Case& c : cases) {
        AirStrikeOrder order = SilentOrder(2, 0.1f);
        c.spoil(order);
        order.Clamp();
        EXPECT_TRUE(c.holds(order)) << c.what;
    }
}

TEST(AirStrikeOrderWire, RoundTripClampsAndRefusesShortOrBrokenRecords)
{
    AirStrikeOrder order = SilentOrder(4, 0.15f, 1);
    order.callerID = 7;
    order.radioID = 8;
    order.markerScale = 2.5f;
    std::strcpy(order.bombEffect, "GameData/fx/exp/big.par");
    platform::net::BitStream out;
    ASSERT_TRUE(order.Write(out));

    AirStrikeOrder back;
    platform::net::BitStream in(out.GetData(), out.GetNumberOfBytesUsed());
    ASSERT_TRUE(back.Read(in));
    EXPECT_EQ(back.callerID, 7);
    EXPECT_EQ(back.radioID, 8);
    EXPECT_EQ(back.radius, 400);
    EXPECT_EQ(back.flightEnd.x, 1000.0f);
    EXPECT_EQ(back.markerScale, 2.5f);
    EXPECT_EQ(back.interval, 0.15f);
    EXPECT_EQ(back.bombCount, 4);
    EXPECT_STREQ(back.bombEffect, "GameData/fx/exp/big.par");

    platform::net::BitStream cut(out.GetData(), out.GetNumberOfBytesUsed() - 3);
    AirStrikeOrder unchanged;
    EXPECT_FALSE(unchanged.Read(cut));
    EXPECT_EQ(unchanged.bombCount, 1);

    AirStrikeOrder hostile = order;
    hostile.bombCount = 40;
    hostile.damage = -9;
    std::strcpy(hostile.chatterSound, "../../secret.wav");
    platform::net::BitStream spoilt;
    ASSERT_TRUE(hostile.Write(spoilt));
    platform::net::BitStream spoiltIn(spoilt.GetData(), spoilt.GetNumberOfBytesUsed());
    ASSERT_TRUE(back.Read(spoiltIn));
    EXPECT_EQ(back.bombCount, 5);
    EXPECT_EQ(back.damage, 0);
    EXPECT_STREQ(back.chatterSound, "");

    AirStrikeOrder broken = order;
    broken.duration = std::numeric_limits<float>::infinity();
    platform::net::BitStream brokenOut;
    ASSERT_TRUE(broken.Write(brokenOut));
    platform::net::BitStream brokenIn(brokenOut.GetData(), brokenOut.GetNumberOfBytesUsed());
    EXPECT_FALSE(back.Read(brokenIn));
}

TEST(AirStrikeRadioLines, TheDefinitionsNumbersAreClamped)
{
    const auto lines = [](std::vector<std::string> variable) {
        std::vector<std::string> text = {"BoneRightHand", "-", "radio.wav", "chatter.wav", "no.wav"};
        text.insert(text.end(), variable.begin(), variable.end());
        return text;
    };
    // variants, then its names, then the fifteen trailing lines
    const std::vector<std::string> plain = lines({"2", "a.wav", "b.wav", "a.par", "b.par", "plane.gltf", "1.5",
                                                   "fly.wav", "marker.gltf", "2", "4", "80", "12", "300", "400",
                                                   "50", "napalm", "5", "0.1", "3"});
    const AirStrikeRadioLines read = ReadAirStrikeRadioLines(plain, "radio.idf");
    EXPECT_EQ(read.explosionSounds, (std::vector<std::string>{"a.wav", "b.wav"}));
    EXPECT_EQ(read.explosionEffects, (std::vector<std::string>{"a.par", "b.par"}));
    EXPECT_EQ(read.bomberModel, "plane.gltf");
    EXPECT_EQ(read.modelScale, 1.5f);
    EXPECT_EQ(read.flightHeight, 80.0f);
    EXPECT_EQ(read.duration, 12.0f);
    EXPECT_EQ(read.damage, 300);
    EXPECT_EQ(read.pattern, 0);
    EXPECT_EQ(read.bombCount, 5);
    EXPECT_EQ(read.campaignAllowance, 3);
    EXPECT_EQ(AirStrikeRadioLineCount("2"), 6 + 4 + 15);

    const std::vector<std::string> hostile = lines({"9", "a", "b", "c", "x", "y", "z", "plane", "nan", "fly",
                                                     "marker", "inf", "-4", "0", "-2", "-300", "-400", "-50",
                                                     "carpet", "12", "0", "1"});
    const AirStrikeRadioLines clamped = ReadAirStrikeRadioLines(hostile, "radio.idf");
    EXPECT_EQ(clamped.explosionSounds.size(), 3u);
    EXPECT_EQ(clamped.modelScale, 0.0f);
    EXPECT_EQ(clamped.markerScale, 0.0f);
    EXPECT_EQ(clamped.delay, 0.0f);
    EXPECT_EQ(clamped.flightHeight, 0.001f);
    EXPECT_EQ(clamped.duration, 0.001f);
    EXPECT_EQ(clamped.damage, 0);
    EXPECT_EQ(clamped.radius, 0);
    EXPECT_EQ(clamped.aimDistance, 0);
    EXPECT_EQ(clamped.pattern, 1);
    EXPECT_EQ(clamped.bombCount, 5);
    EXPECT_EQ(clamped.interval, 0.001f);
    EXPECT_EQ(AirStrikeRadioLineCount("-1"), 6 + 2 + 15);
    EXPECT_EQ(ReadAirStrikeRadioLines({}, "empty.idf").explosionSounds.size(), 1u);
}

} // namespace
