#include "mission/drawing/MissionHud.h"

#include "engine/mesh/MeshNode.h"
#include "engine/sprite/Sprite.h"
#include "engine/sprite/SpriteNode.h"

// Out of line, where the sprites' and meshes' types are complete.
MissionHud::MissionHud() = default;
MissionHud::~MissionHud() = default;
