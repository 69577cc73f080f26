#include "platform/skeleton/FileReader.h"

// The only translation unit that compiles tinygltf. Images are never decoded (the engine loads
// textures itself by name) and no file system is reachable from here.
#define TINYGLTF_IMPLEMENTATION
#define TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#define TINYGLTF_NO_EXTERNAL_IMAGE
#define TINYGLTF_NO_FS
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wpedantic"
#endif
#include <fstream> // tinygltf's writer needs it even without a file system
#include <tiny_gltf.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace platform::skeleton {

namespace {

constexpr std::uint32_t kGlbMagic = 0x46546C67u; // "glTF"
constexpr std::uint32_t kChunkJson = 0x4E4F534Au;
constexpr std::uint32_t kChunkBin = 0x004E4942u;

std::uint32_t LoadLittle32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// The container is checked here in full, so the parser only ever sees well-formed chunks.
bool CheckContainer(std::span<const std::uint8_t> bytes, std::size_t& length, std::string& error)
{
    if (bytes.size() < 20) {
        error = "file too short for a glTF binary container";
        return false;
    }
    if (LoadLittle32(bytes.data()) != kGlbMagic) {
        error = "not a glTF binary container";
        return false;
    }
    if (LoadLittle32(bytes.data() + 4) != 2) {
        error = "glTF container version is not 2";
        return false;
    }
    length = LoadLittle32(bytes.data() + 8);
    if (length > bytes.size() || length < 20) {
        error = "glTF container length does not match the file";
        return false;
    }
    const std::uint64_t jsonLength = LoadLittle32(bytes.data() + 12);
    if (LoadLittle32(bytes.data() + 16) != kChunkJson || jsonLength == 0 || 20 + jsonLength > length) {
        error = "glTF container has no valid JSON chunk";
        return false;
    }
    const std::uint64_t binStart = 20 + jsonLength;
    if (binStart < length) {
        if (binStart + 8 > length) {
            error = "glTF container ends inside a chunk header";
            return false;
        }
        const std::uint64_t binLength = LoadLittle32(bytes.data() + binStart);
        if (LoadLittle32(bytes.data() + binStart + 4) != kChunkBin || binStart + 8 + binLength > length ||
            binLength % 4 != 0 || binLength == 0) {
            error = "glTF container has a bad binary chunk";
            return false;
        }
        // Further chunks are allowed by the format and ignored; the parser only reads two.
        length = static_cast<std::size_t>(binStart + 8 + binLength);
    }
    return true;
}

bool KeepImageUndecoded(tinygltf::Image*, const int, std::string*, std::string*, int, int, const unsigned char*, int,
                        void*)
{
    return true;
}

bool Finite(float v)
{
    return std::isfinite(v);
}

// Converts the parsed glTF document into File, checking every index and range on the way.
class Converter {
public:
    Converter(const tinygltf::Model& gltf, std::string& error) : g(gltf), error(error) {}

    std::unique_ptr<File> Run();

private:
    struct NodeInfo {
        std::string name;
        Transform local;
        int parent = -1;
    };

    const tinygltf::Model& g;
    std::string& error;
    std::unique_ptr<File> file;
    std::vector<NodeInfo> nodes;
    // Per node, reset after each use, so many scenes or animations over many nodes stay linear.
    std::vector<int> nodeToBone;
    std::vector<int> trackOfNode;
    // Values read from accessors so far: files that name the same large accessor over and over
    // are refused before they exhaust memory.
    std::size_t valuesRead = 0;
    static constexpr std::size_t kMaxValues = std::size_t(1) << 22;

    bool Fail(std::string message)
    {
        error = std::move(message);
        return false;
    }

    bool ReadNodes();
    bool ReadTransform(const tinygltf::Node& node, Transform& out);
    bool ReadTexturesAndMaterials();
    bool ReadModel(const std::string& name, const std::vector<int>& roots);
    bool ReadMesh(const Skeleton& skeleton, int bone, int nodeIndex, const std::vector<int>& boneOfNode);
    bool ReadPrimitive(const tinygltf::Primitive& primitive, int meshBoneCount, Mesh& mesh, const std::string& meshName);
    bool ReadAnimations();
    bool ReadCurve(const tinygltf::AnimationSampler& sampler, int components, Curve& curve, const std::string& name);

    // Reads an accessor as floats (normalised integers scaled to 0..1 or -1..1), components per
    // element given by its type, which must be one of the allowed ones.
    bool ReadFloats(int accessorIndex, std::initializer_list<int> types, std::vector<float>& out, int& components,
                    const std::string& what);
    bool ReadUnsigned(int accessorIndex, std::initializer_list<int> types, std::vector<std::uint32_t>& out,
                      int& components, const std::string& what);
    bool Locate(int accessorIndex, const std::string& what, const std::uint8_t*& data, std::size_t& stride,
                std::size_t& count, int& components, int& componentSize);
};

bool Converter::Locate(int accessorIndex, const std::string& what, const std::uint8_t*& data, std::size_t& stride,
                       std::size_t& count, int& components, int& componentSize)
{
    if (accessorIndex < 0 || static_cast<std::size_t>(accessorIndex) >= g.accessors.size())
        return Fail(what + ": accessor index out of range");
    const tinygltf::Accessor& a = g.accessors[static_cast<std::size_t>(accessorIndex)];
    if (a.sparse.isSparse)
        return Fail(what + ": sparse accessors are not supported");
    if (a.bufferView < 0 || static_cast<std::size_t>(a.bufferView) >= g.bufferViews.size())
        return Fail(what + ": accessor has no valid buffer view");
    const tinygltf::BufferView& view = g.bufferViews[static_cast<std::size_t>(a.bufferView)];
    if (view.buffer < 0 || static_cast<std::size_t>(view.buffer) >= g.buffers.size())
        return Fail(what + ": buffer view has no valid buffer");
    const std::vector<unsigned char>& buffer = g.buffers[static_cast<std::size_t>(view.buffer)].data;
    if (view.byteOffset > buffer.size() || view.byteLength > buffer.size() - view.byteOffset)
        return Fail(what + ": buffer view reaches past its buffer");
    components = tinygltf::GetNumComponentsInType(static_cast<std::uint32_t>(a.type));
    componentSize = tinygltf::GetComponentSizeInBytes(static_cast<std::uint32_t>(a.componentType));
    if (components <= 0 || componentSize <= 0)
        return Fail(what + ": accessor has an unknown type");
    const std::size_t elementSize = static_cast<std::size_t>(components) * static_cast<std::size_t>(componentSize);
    stride = view.byteStride != 0 ? view.byteStride : elementSize;
    if (stride < elementSize)
        return Fail(what + ": buffer view stride is smaller than an element");
    count = a.count;
    if (count == 0)
        return Fail(what + ": accessor is empty");
    if (a.byteOffset > view.byteLength || elementSize > view.byteLength - a.byteOffset ||
        (count - 1) > (view.byteLength - a.byteOffset - elementSize) / stride)
        return Fail(what + ": accessor reaches past its buffer view");
    if (valuesRead + count * static_cast<std::size_t>(components) > kMaxValues)
        return Fail(what + ": the file holds more data than a model may");
    data = buffer.data() + view.byteOffset + a.byteOffset;
    valuesRead += count * static_cast<std::size_t>(components);
    return true;
}

bool Converter::ReadFloats(int accessorIndex, std::initializer_list<int> types, std::vector<float>& out,
                           int& components, const std::string& what)
{
    const std::uint8_t* data;
    std::size_t stride;
    std::size_t count;
    int componentSize;
    if (!Locate(accessorIndex, what, data, stride, count, components, componentSize))
        return false;
    const tinygltf::Accessor& a = g.accessors[static_cast<std::size_t>(accessorIndex)];
    if (std::find(types.begin(), types.end(), a.type) == types.end())
        return Fail(what + ": accessor has the wrong type");
    const int ct = a.componentType;
    if (ct != TINYGLTF_COMPONENT_TYPE_FLOAT && !a.normalized)
        return Fail(what + ": accessor must hold floats");
    out.resize(count * static_cast<std::size_t>(components));
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* element = data + i * stride;
        for (int c = 0; c < components; ++c) {
            const std::uint8_t* p = element + c * componentSize;
            float value;
            switch (ct) {
            case TINYGLTF_COMPONENT_TYPE_FLOAT: {
                const std::uint32_t bits = LoadLittle32(p);
                std::memcpy(&value, &bits, sizeof value);
                break;
            }
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: value = p[0] / 255.0f; break;
            case TINYGLTF_COMPONENT_TYPE_BYTE: value = std::max(static_cast<std::int8_t>(p[0]) / 127.0f, -1.0f); break;
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: value = (p[0] | (p[1] << 8)) / 65535.0f; break;
            case TINYGLTF_COMPONENT_TYPE_SHORT:
                value = std::max(static_cast<std::int16_t>(p[0] | (p[1] << 8)) / 32767.0f, -1.0f);
                break;
            default: return Fail(what + ": accessor has an unsupported component type");
            }
            if (!Finite(value))
                return Fail(what + ": accessor holds a value that is not a finite number");
            out[i * static_cast<std::size_t>(components) + static_cast<std::size_t>(c)] = value;
        }
    }
    return true;
}

bool Converter::ReadUnsigned(int accessorIndex, std::initializer_list<int> types, std::vector<std::uint32_t>& out,
                             int& components, const std::string& what)
{
    const std::uint8_t* data;
    std::size_t stride;
    std::size_t count;
    int componentSize;
    if (!Locate(accessorIndex, what, data, stride, count, components, componentSize))
        return false;
    const tinygltf::Accessor& a = g.accessors[static_cast<std::size_t>(accessorIndex)];
    if (std::find(types.begin(), types.end(), a.type) == types.end())
        return Fail(what + ": accessor has the wrong type");
    out.resize(count * static_cast<std::size_t>(components));
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* element = data + i * stride;
        for (int c = 0; c < components; ++c) {
            const std::uint8_t* p = element + c * componentSize;
            std::uint32_t value;
            switch (a.componentType) {
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: value = p[0]; break;
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: value = static_cast<std::uint32_t>(p[0] | (p[1] << 8)); break;
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: value = LoadLittle32(p); break;
            default: return Fail(what + ": accessor must hold unsigned integers");
            }
            out[i * static_cast<std::size_t>(components) + static_cast<std::size_t>(c)] = value;
        }
    }
    return true;
}

bool Converter::ReadTransform(const tinygltf::Node& node, Transform& out)
{
    out = Transform();
    const std::string what = "node \"" + node.name + "\"";
    if (!node.matrix.empty()) {
        if (node.matrix.size() != 16)
            return Fail(what + ": matrix does not have 16 numbers");
        // glTF stores column vectors column by column: that is our row-vector matrix row by row.
        Matrix4 m;
        for (int i = 0; i < 16; ++i) {
            m.m[i] = static_cast<float>(node.matrix[static_cast<std::size_t>(i)]);
            if (!Finite(m.m[i]))
                return Fail(what + ": matrix is not finite");
        }
        out.translation = Vector3(m.m[12], m.m[13], m.m[14]);
        Vector3 rows[3] = {{m.m[0], m.m[1], m.m[2]}, {m.m[4], m.m[5], m.m[6]}, {m.m[8], m.m[9], m.m[10]}};
        float scale[3];
        for (int r = 0; r < 3; ++r) {
            scale[r] = rows[r].Length();
            if (scale[r] <= 0.0f)
                return Fail(what + ": matrix has a zero scale");
            rows[r].Scale(1.0f / scale[r]);
        }
        if (Dot(Cross(rows[0], rows[1]), rows[2]) < 0.0f) {
            scale[2] = -scale[2];
            rows[2] = -rows[2];
        }
        Matrix3 rotation;
        for (int r = 0; r < 3; ++r) {
            rotation(r, 0) = rows[r].x;
            rotation(r, 1) = rows[r].y;
            rotation(r, 2) = rows[r].z;
        }
        out.rotation.FromMatrix3(rotation);
        out.scale = Vector3(scale[0], scale[1], scale[2]);
    } else {
        if (!node.translation.empty()) {
            if (node.translation.size() != 3)
                return Fail(what + ": translation does not have 3 numbers");
            out.translation = Vector3(static_cast<float>(node.translation[0]), static_cast<float>(node.translation[1]),
                                      static_cast<float>(node.translation[2]));
        }
        if (!node.rotation.empty()) {
            if (node.rotation.size() != 4)
                return Fail(what + ": rotation does not have 4 numbers");
            out.rotation = Quaternion(static_cast<float>(node.rotation[0]), static_cast<float>(node.rotation[1]),
                                      static_cast<float>(node.rotation[2]), static_cast<float>(node.rotation[3]));
        }
        if (!node.scale.empty()) {
            if (node.scale.size() != 3)
                return Fail(what + ": scale does not have 3 numbers");
            out.scale = Vector3(static_cast<float>(node.scale[0]), static_cast<float>(node.scale[1]),
                                static_cast<float>(node.scale[2]));
        }
    }
    Quaternion& q = out.rotation;
    const float length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    if (!Finite(out.translation.x) || !Finite(out.translation.y) || !Finite(out.translation.z) ||
        !Finite(out.scale.x) || !Finite(out.scale.y) || !Finite(out.scale.z) || !Finite(length) || length < 1e-6f)
        return Fail(what + ": transform is not usable");
    q.x /= length;
    q.y /= length;
    q.z /= length;
    q.w /= length;
    return true;
}

bool Converter::ReadNodes()
{
    nodes.resize(g.nodes.size());
    for (std::size_t i = 0; i < g.nodes.size(); ++i) {
        const tinygltf::Node& node = g.nodes[i];
        nodes[i].name = node.name.empty() ? "node" + std::to_string(i) : node.name;
        if (!ReadTransform(node, nodes[i].local))
            return false;
        if (node.mesh < -1 || node.skin < -1)
            return Fail("node \"" + nodes[i].name + "\" names a mesh or skin out of range");
    }
    for (std::size_t i = 0; i < g.nodes.size(); ++i) {
        for (int child : g.nodes[i].children) {
            if (child < 0 || static_cast<std::size_t>(child) >= g.nodes.size())
                return Fail("node \"" + nodes[i].name + "\" has a child index out of range");
            if (nodes[static_cast<std::size_t>(child)].parent != -1 || static_cast<std::size_t>(child) == i)
                return Fail("node \"" + nodes[static_cast<std::size_t>(child)].name + "\" has more than one parent");
            nodes[static_cast<std::size_t>(child)].parent = static_cast<int>(i);
        }
    }
    // Every node must be reachable from a root; with one parent each, the others sit in loops.
    std::vector<int> queue;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].parent == -1)
            queue.push_back(static_cast<int>(i));
    }
    for (std::size_t next = 0; next < queue.size(); ++next) {
        for (int child : g.nodes[static_cast<std::size_t>(queue[next])].children)
            queue.push_back(child);
    }
    if (queue.size() != nodes.size())
        return Fail("node hierarchy has a loop");
    return true;
}

bool Converter::ReadTexturesAndMaterials()
{
    for (const tinygltf::Image& image : g.images) {
        Texture t;
        if (!image.uri.empty() && image.uri.rfind("data:", 0) != 0)
            t.fileName = image.uri;
        else
            t.fileName = image.name;
        file->textures.push_back(std::move(t));
    }
    for (std::size_t i = 0; i < g.materials.size(); ++i) {
        const tinygltf::Material& source = g.materials[i];
        Material m;
        m.name = source.name.empty() ? "material" + std::to_string(i) : source.name;
        const int texture = source.pbrMetallicRoughness.baseColorTexture.index;
        if (texture >= 0) {
            if (static_cast<std::size_t>(texture) >= g.textures.size())
                return Fail("material \"" + m.name + "\" names a texture out of range");
            const int image = g.textures[static_cast<std::size_t>(texture)].source;
            if (image >= static_cast<int>(g.images.size()))
                return Fail("texture of material \"" + m.name + "\" names an image out of range");
            m.colourTexture = image;
        }
        file->materials.push_back(std::move(m));
    }
    return true;
}

bool Converter::ReadModel(const std::string& name, const std::vector<int>& roots)
{
    Skeleton skeleton;
    skeleton.name = name;
    std::vector<int> boneToNode;
    // Depth first, parents before children, in the file's order.
    std::vector<int> stack(roots.rbegin(), roots.rend());
    while (!stack.empty()) {
        const int n = stack.back();
        stack.pop_back();
        if (n < 0 || static_cast<std::size_t>(n) >= g.nodes.size())
            return Fail("scene \"" + name + "\" names a node out of range");
        if (nodeToBone[static_cast<std::size_t>(n)] != -1)
            return Fail("scene \"" + name + "\" reaches node \"" + nodes[static_cast<std::size_t>(n)].name + "\" twice");
        if (skeleton.BoneCount() >= kMaxBones)
            return Fail("model \"" + name + "\" has more than " + std::to_string(kMaxBones) + " bones");
        Bone bone;
        bone.name = nodes[static_cast<std::size_t>(n)].name;
        bone.rest = nodes[static_cast<std::size_t>(n)].local;
        const int parentNode = nodes[static_cast<std::size_t>(n)].parent;
        bone.parent = parentNode >= 0 ? nodeToBone[static_cast<std::size_t>(parentNode)] : -1;
        nodeToBone[static_cast<std::size_t>(n)] = skeleton.BoneCount();
        boneToNode.push_back(n);
        skeleton.bones.push_back(std::move(bone));
        const std::vector<int>& children = g.nodes[static_cast<std::size_t>(n)].children;
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.push_back(*it);
    }

    std::vector<Matrix4> restWorld(skeleton.bones.size());
    for (std::size_t b = 0; b < skeleton.bones.size(); ++b) {
        Bone& bone = skeleton.bones[b];
        restWorld[b] = bone.rest.ToMatrix();
        if (bone.parent >= 0)
            restWorld[b] = restWorld[b] * restWorld[static_cast<std::size_t>(bone.parent)];
        bone.inverseWorld = restWorld[b];
        if (!bone.inverseWorld.Invert())
            return Fail("bone \"" + bone.name + "\" has a rest placement that cannot be inverted");
    }

    // Skins say how their joints sat when the meshes were bound; the first one to name a joint
    // decides that bone's bind pose.
    std::vector<bool> bound(skeleton.bones.size(), false);
    for (std::size_t b = 0; b < skeleton.bones.size(); ++b) {
        const int skinIndex = g.nodes[static_cast<std::size_t>(boneToNode[b])].skin;
        if (skinIndex < 0 || g.nodes[static_cast<std::size_t>(boneToNode[b])].mesh < 0)
            continue;
        if (static_cast<std::size_t>(skinIndex) >= g.skins.size())
            return Fail("node \"" + skeleton.bones[b].name + "\" names a skin out of range");
        const tinygltf::Skin& skin = g.skins[static_cast<std::size_t>(skinIndex)];
        if (skin.joints.empty() || skin.joints.size() > static_cast<std::size_t>(kMaxBones))
            return Fail("skin of node \"" + skeleton.bones[b].name + "\" has no joints or more than " +
                        std::to_string(kMaxBones));
        std::vector<float> matrices;
        if (skin.inverseBindMatrices >= 0) {
            int components;
            if (!ReadFloats(skin.inverseBindMatrices, {TINYGLTF_TYPE_MAT4}, matrices, components,
                            "inverse bind matrices of skin \"" + skin.name + "\""))
                return false;
            if (matrices.size() < skin.joints.size() * 16)
                return Fail("skin \"" + skin.name + "\" has fewer inverse bind matrices than joints");
        }
        for (std::size_t j = 0; j < skin.joints.size(); ++j) {
            const int jointNode = skin.joints[j];
            if (jointNode < 0 || static_cast<std::size_t>(jointNode) >= g.nodes.size())
                return Fail("skin \"" + skin.name + "\" names a joint out of range");
            const int jointBone = nodeToBone[static_cast<std::size_t>(jointNode)];
            if (jointBone < 0 || bound[static_cast<std::size_t>(jointBone)] || matrices.empty())
                continue;
            Matrix4& target = skeleton.bones[static_cast<std::size_t>(jointBone)].inverseWorld;
            std::copy_n(matrices.begin() + static_cast<std::ptrdiff_t>(j * 16), 16, target.m);
            bound[static_cast<std::size_t>(jointBone)] = true;
        }
    }

    file->skeletons.push_back(std::move(skeleton));
    const int skeletonIndex = static_cast<int>(file->skeletons.size()) - 1;
    Model model;
    model.name = name;
    model.skeleton = skeletonIndex;
    const std::size_t firstMesh = file->meshes.size();
    for (std::size_t b = 0; b < boneToNode.size(); ++b) {
        if (g.nodes[static_cast<std::size_t>(boneToNode[b])].mesh < 0)
            continue;
        if (!ReadMesh(file->skeletons.back(), static_cast<int>(b), boneToNode[b], nodeToBone))
            return false;
    }
    for (std::size_t m = firstMesh; m < file->meshes.size(); ++m)
        model.meshes.push_back(static_cast<int>(m));
    for (int n : boneToNode)
        nodeToBone[static_cast<std::size_t>(n)] = -1;
    file->models.push_back(std::move(model));
    return true;
}

bool Converter::ReadPrimitive(const tinygltf::Primitive& primitive, int meshBoneCount, Mesh& mesh,
                              const std::string& meshName)
{
    const std::string what = "mesh \"" + meshName + "\"";
    if (primitive.mode != -1 && primitive.mode != TINYGLTF_MODE_TRIANGLES)
        return Fail(what + ": only triangle lists are supported");
    if (primitive.indices < -1)
        return Fail(what + ": index accessor out of range");
    if (primitive.material < -1 || primitive.material >= static_cast<int>(g.materials.size()))
        return Fail(what + ": material index out of range");
    auto attribute = [&](const char* name) {
        const auto it = primitive.attributes.find(name);
        return it == primitive.attributes.end() ? -1 : it->second;
    };
    int components;
    std::vector<float> positions;
    if (attribute("POSITION") < 0)
        return Fail(what + ": a primitive has no positions");
    if (!ReadFloats(attribute("POSITION"), {TINYGLTF_TYPE_VEC3}, positions, components, what + " positions"))
        return false;
    const std::size_t count = positions.size() / 3;
    std::vector<float> normals;
    if (attribute("NORMAL") >= 0) {
        if (!ReadFloats(attribute("NORMAL"), {TINYGLTF_TYPE_VEC3}, normals, components, what + " normals"))
            return false;
        if (normals.size() != positions.size())
            return Fail(what + ": normal count differs from the position count");
    }
    std::vector<float> uvs;
    if (attribute("TEXCOORD_0") >= 0) {
        if (!ReadFloats(attribute("TEXCOORD_0"), {TINYGLTF_TYPE_VEC2}, uvs, components, what + " texture coordinates"))
            return false;
        if (uvs.size() != count * 2)
            return Fail(what + ": texture coordinate count differs from the position count");
    }
    std::vector<std::uint32_t> joints;
    std::vector<float> weights;
    if (!mesh.rigid) {
        if (attribute("JOINTS_0") < 0 || attribute("WEIGHTS_0") < 0)
            return Fail(what + ": a skinned primitive has no joints or weights");
        if (!ReadUnsigned(attribute("JOINTS_0"), {TINYGLTF_TYPE_VEC4}, joints, components, what + " joints") ||
            !ReadFloats(attribute("WEIGHTS_0"), {TINYGLTF_TYPE_VEC4}, weights, components, what + " weights"))
            return false;
        if (joints.size() != count * 4 || weights.size() != count * 4)
            return Fail(what + ": joint or weight count differs from the position count");
    }

    if (mesh.vertices.size() + count > std::numeric_limits<std::uint32_t>::max())
        return Fail(what + ": too many vertices");
    const std::uint32_t base = static_cast<std::uint32_t>(mesh.vertices.size());
    for (std::size_t i = 0; i < count; ++i) {
        MeshVertex v;
        v.position = Vector3(positions[i * 3], positions[i * 3 + 1], positions[i * 3 + 2]);
        if (!normals.empty())
            v.normal = Vector3(normals[i * 3], normals[i * 3 + 1], normals[i * 3 + 2]);
        if (!uvs.empty()) {
            v.u = uvs[i * 2];
            v.v = uvs[i * 2 + 1];
        }
        if (!mesh.rigid) {
            struct Influence {
                std::uint32_t bone;
                float weight;
            } influences[4];
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) {
                influences[k] = {joints[i * 4 + static_cast<std::size_t>(k)], weights[i * 4 + static_cast<std::size_t>(k)]};
                if (influences[k].weight < 0.0f)
                    return Fail(what + ": a vertex has a negative weight");
                if (influences[k].weight > 0.0f && influences[k].bone >= static_cast<std::uint32_t>(meshBoneCount))
                    return Fail(what + ": a vertex names a joint out of range");
                sum += influences[k].weight;
            }
            if (!(sum > 0.0f) || !Finite(sum))
                return Fail(what + ": a vertex has no weight");
            std::stable_sort(std::begin(influences), std::end(influences),
                             [](const Influence& a, const Influence& b) { return a.weight > b.weight; });
            for (int k = 0; k < 4; ++k) {
                const bool used = influences[k].weight > 0.0f;
                v.bones[k] = used ? static_cast<std::uint8_t>(influences[k].bone) : v.bones[0];
                v.weights[k] = used ? influences[k].weight / sum : 0.0f;
            }
        }
        mesh.vertices.push_back(v);
    }

    std::vector<std::uint32_t> indices;
    if (primitive.indices >= 0) {
        if (!ReadUnsigned(primitive.indices, {TINYGLTF_TYPE_SCALAR}, indices, components, what + " indices"))
            return false;
    } else {
        indices.resize(count);
        for (std::size_t i = 0; i < count; ++i)
            indices[i] = static_cast<std::uint32_t>(i);
    }
    if (indices.size() % 3 != 0)
        return Fail(what + ": index count is not a multiple of 3");
    for (std::uint32_t index : indices) {
        if (index >= count)
            return Fail(what + ": an index is out of range");
    }
    TriangleGroup group;
    group.material = primitive.material;
    group.firstTriangle = static_cast<int>(mesh.indices.size() / 3);
    group.triangleCount = static_cast<int>(indices.size() / 3);
    for (std::uint32_t index : indices)
        mesh.indices.push_back(base + index);
    if (normals.empty()) {
        // Smooth normals from the faces, for files that carry none.
        for (std::size_t t = 0; t + 2 < indices.size(); t += 3) {
            MeshVertex& a = mesh.vertices[base + indices[t]];
            MeshVertex& b = mesh.vertices[base + indices[t + 1]];
            MeshVertex& c = mesh.vertices[base + indices[t + 2]];
            const Vector3 n = Cross(b.position - a.position, c.position - a.position);
            a.normal += n;
            b.normal += n;
            c.normal += n;
        }
        for (std::size_t i = base; i < mesh.vertices.size(); ++i)
            mesh.vertices[i].normal.Normalize();
    }
    mesh.groups.push_back(group);
    return true;
}

bool Converter::ReadMesh(const Skeleton& skeleton, int bone, int nodeIndex, const std::vector<int>& boneOfNode)
{
    const tinygltf::Node& node = g.nodes[static_cast<std::size_t>(nodeIndex)];
    if (static_cast<std::size_t>(node.mesh) >= g.meshes.size())
        return Fail("node \"" + skeleton.bones[static_cast<std::size_t>(bone)].name + "\" names a mesh out of range");
    const tinygltf::Mesh& source = g.meshes[static_cast<std::size_t>(node.mesh)];
    Mesh mesh;
    mesh.name = source.name.empty() ? skeleton.bones[static_cast<std::size_t>(bone)].name : source.name;
    mesh.rigid = node.skin < 0;
    // Bone-space matrix per mesh bone, for the boxes.
    std::vector<Matrix4> toBone;
    if (mesh.rigid) {
        mesh.bones.push_back({skeleton.bones[static_cast<std::size_t>(bone)].name, {}, {}});
        toBone.push_back(skeleton.bones[static_cast<std::size_t>(bone)].inverseWorld);
    } else {
        const tinygltf::Skin& skin = g.skins[static_cast<std::size_t>(node.skin)]; // checked by ReadModel
        std::vector<float> matrices;
        int components;
        if (skin.inverseBindMatrices >= 0 &&
            !ReadFloats(skin.inverseBindMatrices, {TINYGLTF_TYPE_MAT4}, matrices, components, "skin"))
            return false;
        for (std::size_t j = 0; j < skin.joints.size(); ++j) {
            const int jointNode = skin.joints[j];
            mesh.bones.push_back({nodes[static_cast<std::size_t>(jointNode)].name, {}, {}});
            Matrix4 m;
            if (!matrices.empty())
                std::copy_n(matrices.begin() + static_cast<std::ptrdiff_t>(j * 16), 16, m.m);
            else if (boneOfNode[static_cast<std::size_t>(jointNode)] >= 0)
                m = skeleton.bones[static_cast<std::size_t>(boneOfNode[static_cast<std::size_t>(jointNode)])].inverseWorld;
            toBone.push_back(m);
        }
    }
    if (source.primitives.empty())
        return Fail("mesh \"" + mesh.name + "\" has no primitives");
    for (const tinygltf::Primitive& primitive : source.primitives) {
        if (!ReadPrimitive(primitive, static_cast<int>(mesh.bones.size()), mesh, mesh.name))
            return false;
    }
    if (mesh.indices.size() / 3 > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        return Fail("mesh \"" + mesh.name + "\" has too many triangles");

    if (mesh.rigid) {
        // A rigid mesh's vertices are given in its node's space; keep them in model space like
        // deformed ones, so the bone's composite matrix places them.
        Matrix4 toModel = skeleton.bones[static_cast<std::size_t>(bone)].inverseWorld;
        if (!toModel.Invert())
            return Fail("mesh \"" + mesh.name + "\": its bone's bind pose cannot be inverted");
        for (MeshVertex& v : mesh.vertices) {
            v.position = toModel.TransformPoint(v.position);
            v.normal = toModel.TransformDirection(v.normal).Normalize();
        }
    }

    // Boxes in bone space of the vertices each bone moves; a bone that moves none keeps a point
    // box at its own origin.
    std::vector<bool> seen(mesh.bones.size(), false);
    for (const MeshVertex& v : mesh.vertices) {
        for (int k = 0; k < 4; ++k) {
            if (v.weights[k] <= 0.0f)
                continue;
            const std::size_t b = v.bones[k];
            const Vector3 p = toBone[b].TransformPoint(v.position);
            MeshBone& mb = mesh.bones[b];
            if (!seen[b]) {
                mb.boxMin = mb.boxMax = p;
                seen[b] = true;
            } else {
                mb.boxMin = Vector3(std::min(mb.boxMin.x, p.x), std::min(mb.boxMin.y, p.y), std::min(mb.boxMin.z, p.z));
                mb.boxMax = Vector3(std::max(mb.boxMax.x, p.x), std::max(mb.boxMax.y, p.y), std::max(mb.boxMax.z, p.z));
            }
        }
    }
    file->meshes.push_back(std::move(mesh));
    return true;
}

bool Converter::ReadCurve(const tinygltf::AnimationSampler& sampler, int components, Curve& curve,
                          const std::string& what)
{
    if (sampler.interpolation == "STEP")
        curve.interpolation = Curve::Interpolation::Step;
    else if (sampler.interpolation.empty() || sampler.interpolation == "LINEAR")
        curve.interpolation = Curve::Interpolation::Linear;
    else
        return Fail(what + ": interpolation \"" + sampler.interpolation + "\" is not supported");
    int inputComponents;
    if (!ReadFloats(sampler.input, {TINYGLTF_TYPE_SCALAR}, curve.times, inputComponents, what + " key times"))
        return false;
    if (g.accessors[static_cast<std::size_t>(sampler.input)].componentType != TINYGLTF_COMPONENT_TYPE_FLOAT)
        return Fail(what + ": key times must be floats");
    for (std::size_t i = 0; i < curve.times.size(); ++i) {
        if (curve.times[i] < 0.0f || (i > 0 && curve.times[i] <= curve.times[i - 1]))
            return Fail(what + ": key times are negative or do not rise");
    }
    int outputComponents;
    const int type = components == 4 ? TINYGLTF_TYPE_VEC4 : TINYGLTF_TYPE_VEC3;
    if (!ReadFloats(sampler.output, {type}, curve.values, outputComponents, what + " key values"))
        return false;
    if (curve.values.size() != curve.times.size() * static_cast<std::size_t>(components))
        return Fail(what + ": key value count differs from the key time count");
    if (components == 4) {
        for (std::size_t i = 0; i < curve.values.size(); i += 4) {
            float* q = &curve.values[i];
            const float length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
            if (!(length > 1e-6f) || !Finite(length))
                return Fail(what + ": a rotation key is not a rotation");
            for (int c = 0; c < 4; ++c)
                q[c] /= length;
        }
    }
    return true;
}

bool Converter::ReadAnimations()
{
    trackOfNode.assign(g.nodes.size(), -1);
    for (std::size_t a = 0; a < g.animations.size(); ++a) {
        const tinygltf::Animation& source = g.animations[a];
        Animation animation;
        animation.name = source.name.empty() ? "animation" + std::to_string(a) : source.name;
        std::vector<int> touched;
        for (const tinygltf::AnimationChannel& channel : source.channels) {
            const std::string what = "animation \"" + animation.name + "\"";
            if (channel.target_path == "weights")
                continue; // morph weights do not move bones
            if (channel.target_node < 0 || static_cast<std::size_t>(channel.target_node) >= g.nodes.size())
                return Fail(what + ": a channel targets a node out of range");
            if (channel.sampler < 0 || static_cast<std::size_t>(channel.sampler) >= source.samplers.size())
                return Fail(what + ": a channel names a sampler out of range");
            int& track = trackOfNode[static_cast<std::size_t>(channel.target_node)];
            if (track < 0) {
                track = static_cast<int>(animation.tracks.size());
                touched.push_back(channel.target_node);
                BoneTrack t;
                t.boneName = nodes[static_cast<std::size_t>(channel.target_node)].name;
                t.constant = nodes[static_cast<std::size_t>(channel.target_node)].local;
                animation.tracks.push_back(std::move(t));
            }
            BoneTrack& t = animation.tracks[static_cast<std::size_t>(track)];
            const tinygltf::AnimationSampler& sampler = source.samplers[static_cast<std::size_t>(channel.sampler)];
            Curve* curve;
            int components = 3;
            if (channel.target_path == "translation") {
                curve = &t.translation;
            } else if (channel.target_path == "rotation") {
                curve = &t.rotation;
                components = 4;
            } else if (channel.target_path == "scale") {
                curve = &t.scale;
            } else {
                return Fail(what + ": a channel has an unknown path \"" + channel.target_path + "\"");
            }
            if (!curve->Empty())
                return Fail(what + ": bone \"" + t.boneName + "\" has two channels for " + channel.target_path);
            if (!ReadCurve(sampler, components, *curve, what + " " + channel.target_path))
                return false;
            animation.duration = std::max(animation.duration, curve->times.back());
        }
        for (int node : touched)
            trackOfNode[static_cast<std::size_t>(node)] = -1;
        file->animations.push_back(std::move(animation));
    }
    return true;
}

std::unique_ptr<File> Converter::Run()
{
    file = std::make_unique<File>();
    if (!ReadNodes() || !ReadTexturesAndMaterials())
        return nullptr;
    nodeToBone.assign(g.nodes.size(), -1);
    if (!g.scenes.empty()) {
        for (std::size_t s = 0; s < g.scenes.size(); ++s) {
            const std::string name = g.scenes[s].name.empty() ? "scene" + std::to_string(s) : g.scenes[s].name;
            if (!ReadModel(name, g.scenes[s].nodes))
                return nullptr;
        }
    } else if (!nodes.empty()) {
        std::vector<int> roots;
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            if (nodes[i].parent < 0)
                roots.push_back(static_cast<int>(i));
        }
        if (!ReadModel("scene", roots))
            return nullptr;
    }
    if (!ReadAnimations())
        return nullptr;
    return std::move(file);
}

} // namespace

std::unique_ptr<File> ReadFile(std::span<const std::uint8_t> bytes, std::string& error)
{
    error.clear();
    std::size_t length = 0;
    if (!CheckContainer(bytes, length, error))
        return nullptr;
    if (length > std::numeric_limits<unsigned int>::max()) {
        error = "glTF container is too large";
        return nullptr;
    }
    try {
        tinygltf::TinyGLTF parser;
        parser.SetImageLoader(KeepImageUndecoded, nullptr);
        tinygltf::Model gltf;
        std::string parseError;
        std::string warning;
        if (!parser.LoadBinaryFromMemory(&gltf, &parseError, &warning, bytes.data(), static_cast<unsigned int>(length),
                                         "")) {
            error = parseError.empty() ? "glTF document is not valid" : parseError;
            while (!error.empty() && (error.back() == '\n' || error.back() == '\r'))
                error.pop_back();
            return nullptr;
        }
        Converter converter(gltf, error);
        return converter.Run();
    } catch (const std::exception& e) {
        error = std::string("glTF document is not valid: ") + e.what();
    } catch (...) {
        error = "glTF document is not valid";
    }
    return nullptr;
}

} // namespace platform::skeleton
