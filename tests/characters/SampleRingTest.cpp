#include "characters/body/SampleRing.h"

#include <gtest/gtest.h>

TEST(SampleRingTest, MeanCoversOnlyThePushedSamples)
{
    SampleRing ring;
    ring.Clear();
    EXPECT_EQ(ring.Mean(), 0.0f);
    ring.Push(1.0f);
    ring.Push(3.0f);
    EXPECT_FLOAT_EQ(ring.Mean(), 2.0f);
    for (int i = 0; i < 5; ++i)
        ring.Push(0.0f);
    EXPECT_EQ(ring.count, 5);
    EXPECT_FLOAT_EQ(ring.Mean(), 0.0f);
}

TEST(SampleRingTest, WrapsAroundOverwritingTheOldestSample)
{
    SampleRing ring;
    ring.Clear();
    for (int i = 1; i <= 5; ++i)
        ring.Push(float(i));
    EXPECT_EQ(ring.next, 0);
    EXPECT_FLOAT_EQ(ring.Mean(), 3.0f);
    ring.Push(11.0f);  // the sixth push lands on the first slot
    EXPECT_EQ(ring.samples[0], 11.0f);
    EXPECT_EQ(ring.next, 1);
    EXPECT_EQ(ring.count, 5);
    EXPECT_FLOAT_EQ(ring.Mean(), (11.0f + 2 + 3 + 4 + 5) / 5);
    for (int i = 0; i < 9; ++i)
        ring.Push(7.0f);
    EXPECT_EQ(ring.next, 0);
    EXPECT_FLOAT_EQ(ring.Mean(), 7.0f);
}

TEST(SampleRingTest, FillSetsSamplesButNotTheCount)
{
    SampleRing ring;
    ring.Clear();
    ring.Fill(4.0f);
    EXPECT_EQ(ring.Mean(), 0.0f);  // nothing pushed yet
    ring.Push(2.0f);
    EXPECT_FLOAT_EQ(ring.Mean(), 2.0f);
    ring.Push(6.0f);
    ring.Fill(1.0f);
    EXPECT_EQ(ring.next, 2);
    EXPECT_EQ(ring.count, 2);
    EXPECT_FLOAT_EQ(ring.Mean(), 1.0f);
}

TEST(SampleRingTest, AnOutOfRangeIndexNeverWritesOutsideTheRing)
{
    // A ring with a corrupt index (from an uncleared record) writes into its own slots.
    struct Guarded {
        SampleRing ring;
        float after = 99.0f;
    } guarded;
    guarded.ring.Clear();
    guarded.ring.next = 7;
    guarded.ring.count = 40;
    guarded.ring.Push(5.0f);
    EXPECT_EQ(guarded.after, 99.0f);
    EXPECT_EQ(guarded.ring.samples[0], 5.0f);
    EXPECT_EQ(guarded.ring.next, 1);
    guarded.ring.Fill(5.0f);
    EXPECT_FLOAT_EQ(guarded.ring.Mean(), 5.0f);  // count beyond five reads only five samples
}
