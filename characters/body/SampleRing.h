#pragma once

// The last five samples of a value (sight-line opacity, movement values), averaged over what has
// been pushed. A plain record: 28 bytes, cleared to zero.
struct SampleRing {
    static constexpr int kCapacity = 5;

    float samples[kCapacity];
    int next;   // where the next push writes, 0..4
    int count;  // samples pushed so far, at most 5

    void Clear();
    void Push(float value);
    // Mean of the pushed samples; 0 before the first push (a Fill alone counts as no samples).
    float Mean() const;
    // Sets every stored sample without counting them as pushed.
    void Fill(float value);
};

static_assert(sizeof(SampleRing) == 28, "the ring is a 28-byte record");
