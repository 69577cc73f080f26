#include "mission/rules/MissionAudio.h"

#include "media/Sound2D.h"
#include "media/Sound3D.h"
#include "media/SoundStream.h"

// Out of line, where the sounds' types are complete.
MissionAudio::MissionAudio() = default;
MissionAudio::~MissionAudio() = default;
