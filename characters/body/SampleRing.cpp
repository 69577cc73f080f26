#include "characters/body/SampleRing.h"

#include <cstring>

void SampleRing::Clear()
{
    std::memset(this, 0, sizeof *this);
}

void SampleRing::Push(float value)
{
    // A ring read from a block or left uncleared could hold any index: keep the write in bounds.
    if (next < 0 || next >= kCapacity)
        next = 0;
    samples[next] = value;
    next = (next + 1) % kCapacity;
    if (count < kCapacity)
        ++count;
}

float SampleRing::Mean() const
{
    const int used = count > kCapacity ? kCapacity : count;
    if (used <= 0)
        return 0.0f;
    float sum = 0.0f;
    for (int i = 0; i < used; ++i)
        sum += samples[i];
    return sum / static_cast<float>(used);
}

void SampleRing::Fill(float value)
{
    for (float& sample : samples)
        sample = value;
}
