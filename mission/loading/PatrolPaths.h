#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "engine/core/Vector.h"

struct PackFile;

// One waypoint line of a patrol path file.
struct PatrolPathPoint {
    Vector3 position;
    float minimumIdle = 0.0f, maximumIdle = 0.0f; // seconds
    float firstAngle = 0.0f, secondAngle = 0.0f;  // look angles in degrees, -90..0 and 0..90
    bool talker = false;
};

// One character's part of a patrol path file: its start line, optionally with the position of
// its group's leader, and its waypoints in file order.
struct PatrolPathRecord {
    Vector3 start;
    bool hasLeader = false;
    Vector3 leader;
    std::vector<PatrolPathPoint> waypoints;
};

// Reads the records up to the end of the file or the first empty line. A file that no path editor
// writes (a line above 1023 characters, a number that is not finite or lies beyond any map, more
// than 65536 waypoints) is refused whole: false, no records and the reason in error. Values that
// do not parse read as 0.
bool ReadPatrolPathFile(PackFile* file, std::vector<PatrolPathRecord>& records, std::string& error);
// Writes the records: start lines, waypoint lines with six decimals, and "*" after each character.
void WritePatrolPathFile(std::FILE* file, const std::vector<PatrolPathRecord>& records);
