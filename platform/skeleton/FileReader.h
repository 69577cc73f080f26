#pragma once

#include "platform/skeleton/FileData.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace platform::skeleton {

// Reads a ".gr2" file: a glTF 2.0 binary container (GLB) held in memory. The caller reads the
// bytes (through the pack-file layer); nothing else is opened, so buffers or images stored
// outside the container are refused. The data stays in the file's own basis (glTF: right-handed,
// metres) until TransformFile converts it.
//
// glTF maps onto the file as follows: every scene is a model whose node tree is its skeleton
// (every node a bone, parents first); a node with a mesh and a skin gives a deformed mesh bound to
// the skin's joints, a node with a mesh and no skin a rigid mesh bound to that node; the
// primitives of a mesh become its triangle groups; images are the textures (by URI, else by name);
// a material's base-colour texture is its colour texture; animations keep one track per animated
// node, matched to bones by name. Without scenes the root nodes form the one model.
//
// Bad data (wrong container, indices out of range, accessors reaching past their buffers,
// unusable weights, non-increasing key times, more than kMaxBones bones, more than about four
// million values read from accessors in all) gives null and a message.
std::unique_ptr<File> ReadFile(std::span<const std::uint8_t> bytes, std::string& error);

} // namespace platform::skeleton
