#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/q3DError.h"
#include "engine/filesystem/PackFile.h"
#include "engine/mesh/MeshNode.h"
#include "engine/mesh/ModelMesh.h"
#include "engine/mesh/qMesh.h"
#include "engine/particle/qParticle.h"
#include "platform/os/Path.h"
#include "renderer/Device.h"

namespace {

constexpr int kLineSize = 2048;
constexpr const char* kHeader07 = "qParticle File Version 0.7";
constexpr const char* kHeader08 = "qParticle File Version 0.8";
constexpr std::size_t kHeaderLength = 26;

// The value lines of a particle file, one value a line in a fixed order.
class ParticleLines {
public:
    ParticleLines(PackFile* file, const char* path) : file(file), path(path) {}

    // The next line without its line end; a file that ends early cannot be read in its version.
    std::string Next()
    {
        char buffer[kLineSize];
        if (!PackFileGets(buffer, kLineSize, file))
            throw q3DError("Particle file %s is not a loadable version", path);
        buffer[kLineSize - 1] = '\0';
        buffer[std::strcspn(buffer, "\r\n")] = '\0';
        return buffer;
    }
    // atof; values that are not finite numbers read as 0 so that no particle ever gets them.
    float Float()
    {
        const double value = std::atof(Next().c_str());
        return std::isfinite(value) && std::fabs(value) <= 3.4e38 ? float(value) : 0.0f;
    }
    int Int() { return std::atoi(Next().c_str()); }
    bool Flag() { return Int() != 0; }

private:
    PackFile* file;
    const char* path;
};

bool IsNone(const std::string& name)
{
    return name.empty() || name.compare(0, 4, "None") == 0;
}

// The drive and folder of a path, with their trailing separator.
std::string FolderOf(const char* path)
{
    const platform::os::PathParts parts = platform::os::SplitPath(path);
    return parts.drive + parts.dir;
}

} // namespace

void qParticle::Load(Device* device, const char* path)
{
    if (!path)
        throw q3DError("%s not found", "(null)");
    PackFileHandle file(PackFileOpen(path, "rt"));
    if (!file)
        throw q3DError("%s not found", path);

    ParticleLines lines(file.get(), path);
    std::string header;
    {
        char buffer[kLineSize];
        if (!PackFileGets(buffer, kLineSize, file.get()))
            throw q3DError("Particle file %s is not a loadable version", path);
        header.assign(buffer, strnlen(buffer, kLineSize));
    }
    const bool version08 = header.compare(0, kHeaderLength, kHeader08) == 0;
    if (!version08 && header.compare(0, kHeaderLength, kHeader07) != 0)
        throw q3DError("Particle file %s is not a loadable version", path);

    const std::string textureName = lines.Next();
    emissionRate = lines.Float();
    floorHeight = lines.Float();
    gravityBase = lines.Float();
    gravityEnd = lines.Float();
    gravitySpread = lines.Float();
    sizeBase = lines.Float();
    sizeEnd = lines.Float();
    sizeSpread = lines.Float();
    alphaBase = lines.Float();
    alphaEnd = lines.Float();
    alphaSpread = lines.Float();
    for (float& c : startColor)
        c = lines.Float();
    for (float& c : endColor)
        c = lines.Float();
    for (float& c : colorSpread)
        c = lines.Float();
    speedBase = lines.Float();
    speedSpread = lines.Float();
    lifetimeBase = lines.Float();
    lifetimeSpread = lines.Float();
    coneAngle = lines.Float();
    attract = lines.Flag();
    attractStrength = lines.Float();
    collide = lines.Flag();
    slideSpeed = lines.Float();
    restitution = lines.Float();
    for (float& value : unusedValues)
        value = lines.Float();
    maxParticles = lines.Int();
    recycle = lines.Flag();
    depthTest = lines.Flag();
    alphaBlend = lines.Flag();
    ambientLit = lines.Flag();
    screenSpace = lines.Flag();
    startDelay = lines.Float();
    const std::string meshName = lines.Next();
    meshGrowth = lines.Float();
    streakBase = lines.Float();
    streakEnd = lines.Float();
    streakDelaySpread = lines.Float();
    streakDelay = lines.Float();
    sorted = lines.Flag();
    inheritVelocity = version08 ? lines.Flag() : false;
    file.reset();

    const std::string folder = FolderOf(path);
    if (IsNone(textureName))
        LoadTexture(device, nullptr);
    else
        LoadTexture(device, (folder + textureName).c_str());

    if (IsNone(meshName)) {
        SetEmitterMesh(nullptr, nullptr);
    } else {
        const std::string meshPath = folder + meshName;
        MeshNode reader;
        reader.Load(device, meshPath.c_str(), nullptr, 0);
        if (qMesh* mesh = reader.GetMesh()) {
            mesh->Scale(0.1f);
            SetEmitterMesh(mesh, meshPath.c_str());
        } else {
            SetEmitterMesh(nullptr, nullptr);
        }
    }
}

ParticleFrames::~ParticleFrames()
{
    for (Material* material : materials)
        DestroyMeshMaterial(material);
}

void qParticle::FreeTextures()
{
    textures.clear();
    textureOwner.reset();
}

void qParticle::CopyDefinition(const qParticle& source)
{
    emissionRate = source.emissionRate;
    floorHeight = source.floorHeight;
    gravityBase = source.gravityBase, gravitySpread = source.gravitySpread, gravityEnd = source.gravityEnd;
    sizeBase = source.sizeBase, sizeSpread = source.sizeSpread, sizeEnd = source.sizeEnd;
    alphaBase = source.alphaBase, alphaSpread = source.alphaSpread, alphaEnd = source.alphaEnd;
    for (int c = 0; c < 3; ++c) {
        startColor[c] = source.startColor[c];
        colorSpread[c] = source.colorSpread[c];
        endColor[c] = source.endColor[c];
    }
    speedBase = source.speedBase, speedSpread = source.speedSpread;
    lifetimeBase = source.lifetimeBase, lifetimeSpread = source.lifetimeSpread;
    coneAngle = source.coneAngle;
    attract = source.attract;
    attractStrength = source.attractStrength;
    collide = source.collide;
    slideSpeed = source.slideSpeed;
    restitution = source.restitution;
    std::copy(std::begin(source.unusedValues), std::end(source.unusedValues), std::begin(unusedValues));
    maxParticles = source.maxParticles;
    recycle = source.recycle;
    depthTest = source.depthTest;
    alphaBlend = source.alphaBlend;
    ambientLit = source.ambientLit;
    screenSpace = source.screenSpace;
    startDelay = source.startDelay;
    meshGrowth = source.meshGrowth;
    streakBase = source.streakBase, streakEnd = source.streakEnd;
    streakDelaySpread = source.streakDelaySpread, streakDelay = source.streakDelay;
    sorted = source.sorted;
    inheritVelocity = source.inheritVelocity;

    textures = source.textures;
    textureOwner = source.textureOwner;
    particleMesh.reset();
    if (source.particleMesh)
        particleMesh = std::make_unique<ModelMesh>(*source.particleMesh, true);
    std::snprintf(particleMeshName, sizeof(particleMeshName), "%s", source.particleMeshName);
}

void qParticle::LoadTexture(Device* device, const char* path)
{
    FreeTextures();
    if (!path)
        return;
    if (!device)
        throw q3DError("Error loading particle texture %s: %s", path, "no device");
    // Frames already loaded stay with the system when a later one fails.
    textureOwner = std::make_shared<ParticleFrames>();

    auto loadFrame = [&](const std::string& framePath) {
        D3DBitmap* bitmap = nullptr;
        device->CreateBitmap(&bitmap);
        if (!bitmap)
            throw q3DError("Error loading particle texture %s: %s", framePath.c_str(), "no bitmap");
        if (bitmap->Load(framePath.c_str(), 0, 0) < 0) {
            const std::string reason = bitmap->GetLastError() ? bitmap->GetLastError() : "";
            bitmap->Destroy();
            throw q3DError("Error loading particle texture %s: %s", framePath.c_str(), reason.c_str());
        }
        auto* material = new Material();
        material->lightingMode = 0;
        material->texture[0] = bitmap;
        textureOwner->materials.push_back(material);
        textures.push_back(material);
    };
    loadFrame(path);

    // A name ending in 00 or 01 starts a numbered sequence: the following numbers load while
    // their files exist.
    const platform::os::PathParts parts = platform::os::SplitPath(path);
    const std::string& name = parts.fname;
    if (name.size() < 2)
        return;
    const std::string digits = name.substr(name.size() - 2);
    if (digits != "00" && digits != "01")
        return;
    const std::string stem = name.substr(0, name.size() - 2);
    for (int number = std::atoi(digits.c_str()) + 1;; ++number) {
        char framePath[1024];
        std::snprintf(framePath, sizeof(framePath), "%s%s%s%02d%s", parts.drive.c_str(), parts.dir.c_str(),
                      stem.c_str(), number, parts.ext.c_str());
        if (!PackFileCanOpen(framePath))
            break;
        loadFrame(framePath);
    }
}

void qParticle::GetTextureName(char* out)
{
    const char* name = "None";
    if (!textures.empty() && textures[0]->texture[0] && textures[0]->texture[0]->GetName())
        name = textures[0]->texture[0]->GetName();
    std::snprintf(out, 256, "%s", name);
}

void qParticle::SetEmitterMesh(qMesh* mesh, const char* meshName)
{
    particleMesh.reset();
    if (!mesh) {
        std::snprintf(particleMeshName, sizeof(particleMeshName), "None");
        return;
    }
    // A plain copy: the source may already be welded into indexed prims.
    particleMesh = std::make_unique<ModelMesh>(*mesh, true);
    particleMesh->ComputeNormals();
    particleMesh->ComputeBounds();
    std::snprintf(particleMeshName, sizeof(particleMeshName), "%s", meshName ? meshName : "");
}

void qParticle::GetEmitterMeshName(char* out)
{
    std::snprintf(out, 256, "%s", particleMeshName);
}
