#pragma once

#include "platform/skeleton/FileReader.h"
#include "tools/demodata/writers/GlbWriter.h"

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace skeleton_test {

// Bytes of a file of the demo data set (empty when missing).
std::vector<std::uint8_t> DataFile(const std::string& relativePath);

// Reads bytes, failing the calling test with the reader's message when they do not load.
std::unique_ptr<platform::skeleton::File> Read(const std::vector<std::uint8_t>& bytes);

// Quaternion of a rotation by degrees about a unit axis.
void AxisAngle(float x, float y, float z, float degrees, float* q);

// A chain of three bones "a", "b", "c", each one unit above its parent along y, at rest.
GltfScene Chain();

// A keyed channel of one node.
GltfScene::Channel Keys(int node, const std::string& path, std::vector<float> times, std::vector<float> values,
                        const std::string& interpolation = "LINEAR");

} // namespace skeleton_test
