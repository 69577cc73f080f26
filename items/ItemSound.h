#pragma once

#include <memory>
#include <string>

class Sound3D;

// A positional sound of an item from a data file; an empty path or "-" gives none. Throws q3DError
// "Can't load %s" when the file cannot be read.
std::unique_ptr<Sound3D> LoadItemSound(const std::string& path);
