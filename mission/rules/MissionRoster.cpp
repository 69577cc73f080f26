#include "mission/rules/MissionRoster.h"

// Out of line: the squads are deleted here rather than in every file that includes the header.
MissionRoster::MissionRoster() = default;
MissionRoster::~MissionRoster() = default;
