#include "mission/input/MissionControls.h"

// Out of line: the input hooks are made and destroyed here rather than in every includer.
MissionControls::MissionControls() = default;
MissionControls::~MissionControls() = default;
