#include "tools/demodata/writers/GlbWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace {

constexpr int kFloat = 5126;
constexpr int kUnsignedByte = 5121;
constexpr int kUnsignedInt = 5125;

void AppendLittle32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::string Number(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}

std::string Quoted(std::string_view text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// Collects the binary chunk and the buffer views and accessors that describe it.
class Arrays {
public:
    int AddFloats(const std::vector<float>& values, int components, const char* type, bool bounds)
    {
        const std::size_t offset = Begin();
        for (float v : values) {
            std::uint32_t bits;
            std::memcpy(&bits, &v, sizeof bits);
            AppendLittle32(binary, bits);
        }
        std::string accessor = "{\"bufferView\":" + View(offset) + ",\"componentType\":" + std::to_string(kFloat) +
                               ",\"count\":" + std::to_string(values.size() / static_cast<std::size_t>(components)) +
                               ",\"type\":\"" + type + "\"";
        if (bounds && !values.empty()) {
            std::string lo = "[";
            std::string hi = "[";
            for (int c = 0; c < components; ++c) {
                float mn = values[static_cast<std::size_t>(c)];
                float mx = mn;
                for (std::size_t i = static_cast<std::size_t>(c); i < values.size(); i += static_cast<std::size_t>(components)) {
                    mn = std::min(mn, values[i]);
                    mx = std::max(mx, values[i]);
                }
                lo += (c ? "," : "") + Number(mn);
                hi += (c ? "," : "") + Number(mx);
            }
            accessor += ",\"min\":" + lo + "],\"max\":" + hi + "]";
        }
        return Add(accessor + "}");
    }

    int AddBytes(const std::vector<std::uint8_t>& values, const char* type, int components)
    {
        const std::size_t offset = Begin();
        binary.insert(binary.end(), values.begin(), values.end());
        return Add("{\"bufferView\":" + View(offset) + ",\"componentType\":" + std::to_string(kUnsignedByte) +
                   ",\"count\":" + std::to_string(values.size() / static_cast<std::size_t>(components)) + ",\"type\":\"" +
                   type + "\"}");
    }

    int AddIndices(const std::vector<std::uint32_t>& values)
    {
        const std::size_t offset = Begin();
        for (std::uint32_t v : values)
            AppendLittle32(binary, v);
        return Add("{\"bufferView\":" + View(offset) + ",\"componentType\":" + std::to_string(kUnsignedInt) +
                   ",\"count\":" + std::to_string(values.size()) + ",\"type\":\"SCALAR\"}");
    }

    std::vector<std::uint8_t> binary;
    std::vector<std::string> views;
    std::vector<std::string> accessors;

private:
    std::size_t Begin()
    {
        while (binary.size() % 4 != 0)
            binary.push_back(0);
        return binary.size();
    }

    std::string View(std::size_t offset)
    {
        views.push_back("{\"buffer\":0,\"byteOffset\":" + std::to_string(offset) +
                        ",\"byteLength\":" + std::to_string(binary.size() - offset) + "}");
        return std::to_string(views.size() - 1);
    }

    int Add(std::string accessor)
    {
        accessors.push_back(std::move(accessor));
        return static_cast<int>(accessors.size()) - 1;
    }
};

std::string Join(const std::vector<std::string>& items)
{
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i)
        out += (i ? "," : "") + items[i];
    return out + "]";
}

std::string Floats(const float* values, int count)
{
    std::string out = "[";
    for (int i = 0; i < count; ++i)
        out += (i ? "," : "") + Number(values[i]);
    return out + "]";
}

} // namespace

std::vector<std::uint8_t> PackGlb(std::string_view json, const std::vector<std::uint8_t>& binary)
{
    std::string text(json);
    while (text.size() % 4 != 0)
        text += ' ';
    std::vector<std::uint8_t> bin = binary;
    while (bin.size() % 4 != 0)
        bin.push_back(0);
    const std::size_t total = 12 + 8 + text.size() + (bin.empty() ? 0 : 8 + bin.size());
    std::vector<std::uint8_t> out;
    out.reserve(total);
    AppendLittle32(out, 0x46546C67u); // "glTF"
    AppendLittle32(out, 2);
    AppendLittle32(out, static_cast<std::uint32_t>(total));
    AppendLittle32(out, static_cast<std::uint32_t>(text.size()));
    AppendLittle32(out, 0x4E4F534Au); // "JSON"
    out.insert(out.end(), text.begin(), text.end());
    if (!bin.empty()) {
        AppendLittle32(out, static_cast<std::uint32_t>(bin.size()));
        AppendLittle32(out, 0x004E4942u); // "BIN\0"
        out.insert(out.end(), bin.begin(), bin.end());
    }
    return out;
}

std::vector<std::uint8_t> WriteGlb(const GltfScene& scene)
{
    Arrays arrays;

    std::vector<std::string> meshes;
    for (const GltfScene::Mesh& mesh : scene.meshes) {
        std::vector<std::string> primitives;
        for (const GltfScene::Primitive& p : mesh.primitives) {
            std::string attributes = "{\"POSITION\":" + std::to_string(arrays.AddFloats(p.positions, 3, "VEC3", true));
            if (!p.normals.empty())
                attributes += ",\"NORMAL\":" + std::to_string(arrays.AddFloats(p.normals, 3, "VEC3", false));
            if (!p.uvs.empty())
                attributes += ",\"TEXCOORD_0\":" + std::to_string(arrays.AddFloats(p.uvs, 2, "VEC2", false));
            if (!p.joints.empty()) {
                attributes += ",\"JOINTS_0\":" + std::to_string(arrays.AddBytes(p.joints, "VEC4", 4));
                attributes += ",\"WEIGHTS_0\":" + std::to_string(arrays.AddFloats(p.weights, 4, "VEC4", false));
            }
            std::string primitive = "{\"attributes\":" + attributes + "}";
            if (!p.indices.empty())
                primitive += ",\"indices\":" + std::to_string(arrays.AddIndices(p.indices));
            if (p.material >= 0)
                primitive += ",\"material\":" + std::to_string(p.material);
            primitives.push_back(primitive + ",\"mode\":4}");
        }
        meshes.push_back("{\"name\":" + Quoted(mesh.name) + ",\"primitives\":" + Join(primitives) + "}");
    }

    std::vector<std::string> skins;
    for (const GltfScene::Skin& skin : scene.skins) {
        std::vector<std::string> joints;
        for (int j : skin.joints)
            joints.push_back(std::to_string(j));
        std::string text = "{\"name\":" + Quoted(skin.name) + ",\"joints\":" + Join(joints);
        if (!skin.inverseBindMatrices.empty())
            text += ",\"inverseBindMatrices\":" + std::to_string(arrays.AddFloats(skin.inverseBindMatrices, 16, "MAT4", false));
        skins.push_back(text + "}");
    }

    std::vector<std::string> animations;
    for (const GltfScene::Animation& animation : scene.animations) {
        std::vector<std::string> samplers;
        std::vector<std::string> channels;
        for (const GltfScene::Channel& channel : animation.channels) {
            const int components = channel.path == "rotation" ? 4 : 3;
            const int input = arrays.AddFloats(channel.times, 1, "SCALAR", true);
            const int output = arrays.AddFloats(channel.values, components, components == 4 ? "VEC4" : "VEC3", false);
            samplers.push_back("{\"input\":" + std::to_string(input) + ",\"output\":" + std::to_string(output) +
                               ",\"interpolation\":" + Quoted(channel.interpolation) + "}");
            channels.push_back("{\"sampler\":" + std::to_string(samplers.size() - 1) + ",\"target\":{\"node\":" +
                               std::to_string(channel.node) + ",\"path\":" + Quoted(channel.path) + "}}");
        }
        animations.push_back("{\"name\":" + Quoted(animation.name) + ",\"samplers\":" + Join(samplers) +
                             ",\"channels\":" + Join(channels) + "}");
    }

    std::vector<std::string> nodes;
    std::vector<std::string> roots;
    for (std::size_t i = 0; i < scene.nodes.size(); ++i) {
        const GltfScene::Node& n = scene.nodes[i];
        if (n.parent >= static_cast<int>(i))
            throw std::invalid_argument("glTF scene node parents must come first");
        std::string text = "{\"name\":" + Quoted(n.name) + ",\"translation\":" + Floats(n.translation, 3) +
                           ",\"rotation\":" + Floats(n.rotation, 4) + ",\"scale\":" + Floats(n.scale, 3);
        std::vector<std::string> children;
        for (std::size_t c = i + 1; c < scene.nodes.size(); ++c) {
            if (scene.nodes[c].parent == static_cast<int>(i))
                children.push_back(std::to_string(c));
        }
        if (!children.empty())
            text += ",\"children\":" + Join(children);
        if (n.mesh >= 0)
            text += ",\"mesh\":" + std::to_string(n.mesh);
        if (n.skin >= 0)
            text += ",\"skin\":" + std::to_string(n.skin);
        nodes.push_back(text + "}");
        if (n.parent < 0)
            roots.push_back(std::to_string(i));
    }

    std::vector<std::string> images;
    for (const std::string& image : scene.images)
        images.push_back("{\"uri\":" + Quoted(image) + "}");
    std::vector<std::string> textures;
    for (std::size_t i = 0; i < scene.images.size(); ++i)
        textures.push_back("{\"source\":" + std::to_string(i) + "}");
    std::vector<std::string> materials;
    for (const GltfScene::Material& m : scene.materials) {
        std::string text = "{\"name\":" + Quoted(m.name) + ",\"pbrMetallicRoughness\":{";
        if (m.image >= 0)
            text += "\"baseColorTexture\":{\"index\":" + std::to_string(m.image) + "},";
        materials.push_back(text + "\"metallicFactor\":0}}");
    }

    std::string json = "{\"asset\":{\"version\":\"2.0\",\"generator\":\"bexal-demodata\"}";
    if (scene.writeScene)
        json += ",\"scene\":0,\"scenes\":[{\"name\":" + Quoted(scene.sceneName) + ",\"nodes\":" + Join(roots) + "}]";
    if (!nodes.empty())
        json += ",\"nodes\":" + Join(nodes);
    if (!meshes.empty())
        json += ",\"meshes\":" + Join(meshes);
    if (!skins.empty())
        json += ",\"skins\":" + Join(skins);
    if (!animations.empty())
        json += ",\"animations\":" + Join(animations);
    if (!images.empty())
        json += ",\"images\":" + Join(images) + ",\"textures\":" + Join(textures);
    if (!materials.empty())
        json += ",\"materials\":" + Join(materials);
    if (!arrays.accessors.empty()) {
        while (arrays.binary.size() % 4 != 0)
            arrays.binary.push_back(0);
        json += ",\"accessors\":" + Join(arrays.accessors) + ",\"bufferViews\":" + Join(arrays.views) +
                ",\"buffers\":[{\"byteLength\":" + std::to_string(arrays.binary.size()) + "}]";
    }
    json += "}";
    return PackGlb(json, arrays.binary);
}
