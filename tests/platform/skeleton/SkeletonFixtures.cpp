#include "tests/platform/skeleton/SkeletonFixtures.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace skeleton_test {

std::vector<std::uint8_t> DataFile(const std::string& relativePath)
{
    std::ifstream file(std::string(BEXAL_DATA_DIR) + "/" + relativePath, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::unique_ptr<platform::skeleton::File> Read(const std::vector<std::uint8_t>& bytes)
{
    std::string error;
    std::unique_ptr<platform::skeleton::File> file = platform::skeleton::ReadFile(bytes, error);
    EXPECT_TRUE(file) << error;
    return file;
}

void AxisAngle(float x, float y, float z, float degrees, float* q)
{
    const double half = degrees * 3.14159265358979323846 / 360.0;
    q[0] = static_cast<float>(x * std::sin(half));
    q[1] = static_cast<float>(y * std::sin(half));
    q[2] = static_cast<float>(z * std::sin(half));
    q[3] = static_cast<float>(std::cos(half));
}

GltfScene Chain()
{
    GltfScene scene;
    for (int i = 0; i < 3; ++i) {
        GltfScene::Node node;
        node.name = std::string(1, static_cast<char>('a' + i));
        node.parent = i - 1;
        node.translation[1] = i == 0 ? 0.0f : 1.0f;
        scene.nodes.push_back(node);
    }
    return scene;
}

GltfScene::Channel Keys(int node, const std::string& path, std::vector<float> times, std::vector<float> values,
                        const std::string& interpolation)
{
    GltfScene::Channel c;
    c.node = node;
    c.path = path;
    c.times = std::move(times);
    c.values = std::move(values);
    c.interpolation = interpolation;
    return c;
}

} // namespace skeleton_test
