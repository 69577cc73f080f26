#pragma once

#include <array>

// The counters of the local squad's members that the debriefing and the campaign read, by the
// member's place in the squad (0 to 3; a fifth member is not counted). The weapons count shots
// that hit something, character hits, kills, head-shot kills, knife stabs and silent kills (knife
// kills of unaware victims); a burning victim's death counts a kill by fire.
class SquadStatistics {
public:
    static constexpr int MemberCount = 4;
    // The first six in the order the weapons number them.
    enum Counter { Shots, Hits, Kills, HeadShots, KnifeStabs, SilentKills, FireKills, CounterCount };

    // A counter or member out of range changes nothing.
    void Count(int counter, int member);
    // 0 for a counter or member out of range.
    int Get(int counter, int member) const;
    void Reset();

private:
    std::array<std::array<int, MemberCount>, CounterCount> counts{};
};
