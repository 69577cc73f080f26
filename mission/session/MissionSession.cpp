#include "mission/session/MissionSession.h"

// Out of line: the name hook is made and destroyed here rather than in every includer.
MissionSession::MissionSession() = default;
MissionSession::~MissionSession() = default;
