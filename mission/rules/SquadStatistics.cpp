#include "mission/rules/SquadStatistics.h"

namespace {
bool InRange(int counter, int member)
{
    return counter >= 0 && counter < SquadStatistics::CounterCount && member >= 0 &&
           member < SquadStatistics::MemberCount;
}
} // namespace

void SquadStatistics::Count(int counter, int member)
{
    if (InRange(counter, member))
        ++counts[std::size_t(counter)][std::size_t(member)];
}

int SquadStatistics::Get(int counter, int member) const
{
    return InRange(counter, member) ? counts[std::size_t(counter)][std::size_t(member)] : 0;
}

void SquadStatistics::Reset() { counts = {}; }
