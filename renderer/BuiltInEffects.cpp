#include "renderer/BuiltInEffects.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

#include "engine/core/Matrix.h"
#include "engine/core/q3DError.h"
#include "engine/filesystem/PackFile.h"
#include "engine/material/Material.h"
#include "platform/gpu/GraphicsDevice.h"
#include "platform/gpu/Shader.h"
#include "platform/os/Path.h"
#include "renderer/LibraryState.h"
#include "renderer/RenderDevice.h"

namespace gpu = platform::gpu;

namespace {

// The words of an effect line, split at the given separators.
std::vector<std::string> Words(const char* line, const char* separators)
{
    std::vector<std::string> words;
    if (!line)
        return words;
    std::string current;
    for (const char* p = line; *p; ++p) {
        if (std::strchr(separators, *p)) {
            if (!current.empty())
                words.push_back(current);
            current.clear();
        } else {
            current += *p;
        }
    }
    if (!current.empty())
        words.push_back(current);
    return words;
}

RenderDevice* Owner(Device* device)
{
    return static_cast<RenderDevice*>(device);
}

Material* MaterialOf(D3DPrim* descriptor)
{
    return descriptor ? descriptor->material : nullptr;
}

Matrix4 Identity()
{
    return Matrix4();
}

// The inverse of the view matrix's rotation (the translation dropped first).
Matrix4 InverseViewRotation(Device* device)
{
    Matrix4 view;
    device->GetViewTransform(&view);
    view.SetTranslation(Vector3(0.0f, 0.0f, 0.0f));
    view.Invert();
    view.SetTranslation(Vector3(0.0f, 0.0f, 0.0f));
    return view;
}

bool FormatHasAlpha(int format)
{
    switch (format) {
    case FormatA8R8G8B8: case FormatA1R5G5B5: case FormatA4R4G4B4: case FormatA8L8: case FormatA8:
    case FormatDXT3: case FormatDXT5: return true;
    default: return false;
    }
}

class BuiltInEffect : public Effect {
public:
    virtual ~BuiltInEffect() = default;
    int Init(Device*, D3DBitmap*, const char*, int) override { return 0; }
    void Release(Device*, int) override {}
    void Apply(Device*, D3DPrim*) override {}
    void Restore(Device*, D3DPrim*) override {}
};

// ---- envmap: an environment map on stage 1, looked up by the reflection vector ----

class EnvMapEffect final : public BuiltInEffect {
public:
    int Init(Device* device, D3DBitmap* owner, const char* line, int) override
    {
        const std::vector<std::string> words = Words(line, " \n");
        if (words.size() < 2) {
            device->Log("No env map file name specified");
            return 0;
        }
        std::string file = words[1];
        for (std::size_t i = 2; i < words.size() && i < 8; ++i)
            p[i - 2] = float(std::atof(words[i].c_str()));
        if (words.size() > 8)
            worldSpace = std::atoi(words[8].c_str()) != 0;
        const bool none = strcasecmp(file.c_str(), "none") == 0;
        if (!none && owner && owner->GetName()) {
            const platform::os::PathParts parts = platform::os::SplitPath(file);
            if (parts.drive.empty() && parts.dir.empty()) {
                const platform::os::PathParts ownerParts = platform::os::SplitPath(owner->GetName());
                file = ownerParts.drive + ownerParts.dir + file;
            }
        }
        // The states the effect needs always validate here; leave them as a draw expects them.
        ResetStageOne(device);
        if (gpu::GraphicsDevice* g = Owner(device)->Gpu()) {
            g->SetRenderState(gpu::RsAlphaTestEnable, 1);
            g->SetTextureStageState(1, gpu::StageState::ColorOp, TexOpModulate);
        }
        if (none)
            return 0;
        device->CreateBitmap(&bitmap);
        if (bitmap->Load(file.c_str(), FormatR5G6B5, 0) < 0) {
            device->Log("Couldn't load env map %s: %s", file.c_str(),
                        bitmap->GetLastError() ? bitmap->GetLastError() : "");
            bitmap->Destroy();
            bitmap = nullptr;
        }
        return 0;
    }

    void Release(Device*, int) override
    {
        if (bitmap)
            bitmap->Destroy();
        bitmap = nullptr;
    }

    void Apply(Device* device, D3DPrim* descriptor) override
    {
        Material* material = MaterialOf(descriptor);
        if (bitmap && material) {
            material->texture[1] = bitmap;
            material->srcBlend = BlendOne;
            material->destBlend = BlendZero;
            material->colorOp[0] = TexOpBlendCurrentAlpha;
            material->cullFlags |= Material::kAlphaTested;
        }
        RenderDevice* owner = Owner(device);
        gpu::GraphicsDevice* g = owner->Gpu();
        if (!g)
            return;
        const Matrix4 transform = Transform(device);
        g->SetTransform(gpu::TextureTransform(1), transform.m);
        g->SetTextureStageState(1, gpu::StageState::TransformFlags, 2);
        owner->SetEffectTexCoordIndex(1, gpu::TexGenCameraSpaceReflection | 1);
        if (bitmap)
            g->SetRenderState(gpu::RsAlphaTestEnable, 0);
    }

    void Restore(Device* device, D3DPrim* descriptor) override
    {
        ResetStageOne(device);
        if (bitmap && Owner(device)->Gpu())
            Owner(device)->Gpu()->SetRenderState(gpu::RsAlphaTestEnable, 1);
        if (Material* material = MaterialOf(descriptor)) {
            material->texture[1] = nullptr;
            material->colorOp[0] = TexOpBlendTextureAlpha;
            material->changed = 1;
            device->SetMaterial(material);
        }
    }

private:
    static void ResetStageOne(Device* device)
    {
        RenderDevice* owner = Owner(device);
        gpu::GraphicsDevice* g = owner->Gpu();
        if (!g)
            return;
        const Matrix4 identity = Identity();
        g->SetTransform(gpu::TextureTransform(1), identity.m);
        g->SetTextureStageState(1, gpu::StageState::TransformFlags, 0);
        owner->ClearEffectTexCoordIndex(1, 1);
    }

    // R x M: a rotation by the angles p4 and p5, then the scale and offset into the map.
    Matrix4 Transform(Device* device) const
    {
        const float a = p[4], b = p[5];
        Matrix4 r;
        r.Set(std::cos(b), std::sin(a) * std::sin(b), -std::cos(a) * std::sin(b), 0.0f,
              0.0f, std::cos(a), std::sin(a), 0.0f,
              std::sin(b), -std::sin(a) * std::cos(b), std::cos(a) * std::cos(b), 0.0f,
              0.0f, 0.0f, 0.0f, 1.0f);
        Matrix4 m;
        if (worldSpace) {
            Matrix4 scale;
            scale.MakeScale(p[0], p[1], 1.0f);
            m = InverseViewRotation(device) * scale;
        } else {
            m(0, 0) = p[0];
            m(1, 1) = -p[1];
            m(2, 2) = 0.0f;
        }
        m(3, 0) = p[2];
        m(3, 1) = p[3];
        return r * m;
    }

    D3DBitmap* bitmap = nullptr;
    float p[6] = {0.4f, 0.4f, 0.5f, -0.5f, 0.0f, 0.0f};
    bool worldSpace = false;
};

// ---- cuberef: a cube map looked up by the reflection vector ----

class CubeRefEffect final : public BuiltInEffect {
public:
    int Init(Device* device, D3DBitmap* owner, const char* line, int) override
    {
        const std::vector<std::string> words = Words(line, " \n");
        const std::string file = words.size() > 1 ? words[1] : std::string();
        device->CreateBitmap(&cube);
        if (file.empty() || cube->Load(file.c_str(), 0, 0) < 0) {
            const std::string error = cube->GetLastError() ? cube->GetLastError() : "";
            cube->Destroy();
            cube = nullptr;
            throw q3DError("Can't load cubemap %s: %s", file.c_str(), error.c_str());
        }
        ownerHasAlpha = owner && FormatHasAlpha(owner->GetFormat());
        useStageZero = cube->GetFormat() == FormatDXT3 || cube->GetFormat() == FormatDXT5;
        return 0;
    }

    void Release(Device*, int) override
    {
        if (cube)
            cube->Destroy();
        cube = nullptr;
    }

    void Apply(Device* device, D3DPrim* descriptor) override
    {
        Material* material = MaterialOf(descriptor);
        RenderDevice* owner = Owner(device);
        gpu::GraphicsDevice* g = owner->Gpu();
        if (!material || !cube || !g)
            return;
        savedSrc = material->srcBlend;
        savedDest = material->destBlend;
        savedOp = material->colorOp[0];
        const Matrix4 t = InverseViewRotation(device);
        stage = useStageZero ? 0 : 1;
        movedToStageTwo = false;
        if (useStageZero) {
            material->srcBlend = BlendSrcAlpha;
            material->destBlend = BlendInvSrcAlpha;
            saved = material->texture[0];
            material->texture[0] = cube;
        } else {
            material->srcBlend = BlendOne;
            material->destBlend = BlendZero;
            saved = material->texture[1];
            material->texture[1] = cube;
            if (saved) {
                // The stage-1 texture moves to stage 2 with its operation and coordinates.
                savedStageTwo = material->texture[2];
                savedStageTwoOp = material->colorOp[1];
                savedStageTwoIndex = material->texCoordIndex[2];
                material->texture[2] = saved;
                material->colorOp[1] = savedOp;
                material->texCoordIndex[2] = 1;
                movedToStageTwo = true;
            }
        }
        g->SetTransform(gpu::TextureTransform(stage), t.m);
        g->SetTextureStageState(stage, gpu::StageState::TransformFlags, 3);
        owner->SetEffectTexCoordIndex(stage, gpu::TexGenCameraSpaceReflection | std::uint32_t(stage));
        if (ownerHasAlpha && stage == 1) {
            material->colorOp[0] = TexOpBlendCurrentAlpha;
            g->SetTextureStageState(1, gpu::StageState::ColorOp, TexOpBlendCurrentAlpha);
            g->SetRenderState(gpu::RsAlphaTestEnable, 0);
        }
    }

    void Restore(Device* device, D3DPrim* descriptor) override
    {
        Material* material = MaterialOf(descriptor);
        RenderDevice* owner = Owner(device);
        gpu::GraphicsDevice* g = owner->Gpu();
        if (!material || !cube || !g)
            return;
        material->colorOp[0] = savedOp;
        material->texture[stage] = saved;
        if (movedToStageTwo) {
            material->texture[2] = savedStageTwo;
            material->colorOp[1] = savedStageTwoOp;
            material->texCoordIndex[2] = savedStageTwoIndex;
            device->SetTexture(nullptr, 2);
            g->SetTextureStageState(2, gpu::StageState::ColorOp, TexOpDisable);
            g->SetTextureStageState(2, gpu::StageState::TexCoordIndex, 2);
        }
        const Matrix4 identity = Identity();
        g->SetTransform(gpu::TextureTransform(stage), identity.m);
        owner->ClearEffectTexCoordIndex(stage, std::uint32_t(stage));
        g->SetTextureStageState(stage, gpu::StageState::TransformFlags, 0);
        if (ownerHasAlpha && stage == 1) {
            g->SetTextureStageState(1, gpu::StageState::ColorOp, TexOpModulate);
            g->SetRenderState(gpu::RsAlphaTestEnable, 1);
        }
    }

private:
    D3DBitmap* cube = nullptr;
    bool ownerHasAlpha = false;
    bool useStageZero = false;
    D3DBitmap* saved = nullptr;
    std::int32_t savedSrc = 0, savedDest = 0, savedOp = 0;
    int stage = 1;
    bool movedToStageTwo = false;
    D3DBitmap* savedStageTwo = nullptr;
    std::int32_t savedStageTwoOp = 0, savedStageTwoIndex = 2;
};

// ---- dot3bump: per-pixel dot-product lighting on stage 0 ----

class Dot3BumpEffect final : public BuiltInEffect {
public:
    void Apply(Device* device, D3DPrim*) override
    {
        gpu::GraphicsDevice* g = Owner(device)->Gpu();
        if (!g || !parameters)
            return;
        auto term = [](float v) { return std::uint32_t(std::int32_t(v * 127.0f + 128.0f)); };
        const std::uint32_t factor =
            0x01000000u + term(parameters[0]) * 65536u + term(parameters[1]) * 256u + term(parameters[2]);
        g->SetRenderState(gpu::RsTextureFactor, factor);
        g->SetTextureStageState(0, gpu::StageState::ColorOp, TexOpDotProduct3);
        g->SetTextureStageState(0, gpu::StageState::ColorArg1, gpu::ArgTexture);
        g->SetTextureStageState(0, gpu::StageState::ColorArg2, gpu::ArgTextureFactor);
        g->SetTextureStageState(0, gpu::StageState::AlphaArg1, gpu::ArgDiffuse);
        g->SetTextureStageState(0, gpu::StageState::AlphaArg2, gpu::ArgCurrent);
        g->SetTextureStageState(0, gpu::StageState::AlphaOp, TexOpModulate);
    }

    void Restore(Device* device, D3DPrim*) override
    {
        gpu::GraphicsDevice* g = Owner(device)->Gpu();
        if (!g)
            return;
        g->SetTextureStageState(0, gpu::StageState::ColorOp, TexOpModulate);
        g->SetTextureStageState(0, gpu::StageState::ColorArg1, gpu::ArgTexture);
        g->SetTextureStageState(0, gpu::StageState::ColorArg2, gpu::ArgDiffuse);
        g->SetTextureStageState(0, gpu::StageState::AlphaOp, TexOpModulate);
        g->SetTextureStageState(0, gpu::StageState::AlphaArg1, gpu::ArgTexture);
        g->SetTextureStageState(0, gpu::StageState::AlphaArg2, gpu::ArgDiffuse);
    }
};

// ---- pixelshader, vertexshader: compiled shader files ----

class ShaderEffect final : public BuiltInEffect {
public:
    explicit ShaderEffect(gpu::ShaderKind kind) : kind(kind) {}

    int Init(Device* device, D3DBitmap*, const char* line, int) override
    {
        const bool pixel = kind == gpu::ShaderKind::Pixel;
        const float version = pixel ? device->GetPixelShaderVersion() : device->GetVertexShaderVersion();
        if (version == 0.0f) {
            device->UnregisterEffect(pixel ? "pixelshader" : "vertexshader");
            return 0;
        }
        const std::vector<std::string> words = Words(line, " ");
        const std::string base = words.size() > 1 ? words[1] : std::string();
        const std::string file = base + (pixel ? ".lumoraps" : ".lumoravs");
        PackFile* in = PackFileOpen(file.c_str(), "rb");
        if (!in) {
            device->Log("Can't find file %s", file.c_str());
            return 0;
        }
        std::vector<std::uint8_t> bytes;
        std::uint8_t chunk[4096];
        for (std::size_t got; (got = PackFileRead(chunk, 1, sizeof(chunk), in)) > 0;)
            bytes.insert(bytes.end(), chunk, chunk + got);
        PackFileClose(in);
        gpu::GraphicsDevice* g = Owner(device)->Gpu();
        std::string why;
        const gpu::Result result =
            g ? g->CreateShader(kind, bytes.data(), bytes.size(), &shader, &why) : gpu::ErrorInvalidCall;
        if (gpu::Failed(result)) {
            shader = nullptr;
            device->Log(pixel ? "Can't load pixel shader %s: %s" : "Can't load vertex shader %s: %s", file.c_str(),
                        gpu::ResultName(result));
            if (!why.empty())
                device->Log("%s", why.c_str());
            return 0;
        }
        (pixel ? Library().pixelShaders : Library().vertexShaders).AddTail(shader);
        return 0;
    }

    void Release(Device*, int) override
    {
        if (!shader)
            return;
        const bool pixel = kind == gpu::ShaderKind::Pixel;
        // A shader no longer listed was released by the device's shut-down.
        if ((pixel ? Library().pixelShaders : Library().vertexShaders).Remove(shader))
            shader->Release();
        shader = nullptr;
    }

    void Apply(Device* device, D3DPrim*) override
    {
        gpu::GraphicsDevice* g = Owner(device)->Gpu();
        const bool pixel = kind == gpu::ShaderKind::Pixel;
        // After a shut-down the shader is gone, even when a new device has been made since.
        if (!shader || !g || !(pixel ? Library().pixelShaders : Library().vertexShaders).Contains(shader))
            return;
        const float n = parameters ? parameters[0] : 0.0f;
        if (n > 0.0f) {
            // The constants come from the 255 floats after the count: at most 63 registers.
            const int count = n >= 1024.0f ? 1024 : int(n);
            const int registers = std::min((count - 1) / 4 + 1, (RenderDevice::kEffectParameters - 1) / 4);
            const gpu::Result result = g->SetShaderConstants(kind, 0, parameters + 1, registers);
            if (gpu::Failed(result))
                device->Log(pixel ? "Can't set pixel shader constants: %s" : "Can't set vertex shader constants: %s",
                            gpu::ResultName(result));
        }
        const gpu::Result result = g->SetShader(kind, shader);
        if (gpu::Failed(result))
            device->Log(pixel ? "Can't set pixel shader: %s" : "Can't set vertex shader: %s", gpu::ResultName(result));
    }

    void Restore(Device* device, D3DPrim*) override
    {
        gpu::GraphicsDevice* g = Owner(device)->Gpu();
        if (shader && g)
            g->SetShader(kind, nullptr);
    }

private:
    gpu::ShaderKind kind;
    gpu::Shader* shader = nullptr;
};

template <typename Made>
Effect* Make(const char* name, float* parameters, Effect** toFree, Made* made)
{
    if (toFree) {
        delete static_cast<BuiltInEffect*>(*toFree);
        *toFree = nullptr;
        delete made;
        return nullptr;
    }
    std::strncpy(made->name, name ? name : "", sizeof(made->name));
    char terminated[33] = {};
    std::memcpy(terminated, made->name, sizeof(made->name));
    made->nameHash = std::int32_t(PackFileHashName(terminated));
    made->enabled = 1;
    made->parameters = parameters;
    return made;
}

Effect* CreateEnvMapEffect(const char* name, float* parameters, Effect** toFree)
{
    return Make(name, parameters, toFree, toFree ? static_cast<EnvMapEffect*>(nullptr) : new EnvMapEffect());
}

Effect* CreateCubeRefEffect(const char* name, float* parameters, Effect** toFree)
{
    return Make(name, parameters, toFree, toFree ? static_cast<CubeRefEffect*>(nullptr) : new CubeRefEffect());
}

Effect* CreateDot3BumpEffect(const char* name, float* parameters, Effect** toFree)
{
    return Make(name, parameters, toFree, toFree ? static_cast<Dot3BumpEffect*>(nullptr) : new Dot3BumpEffect());
}

Effect* CreatePixelShaderEffect(const char* name, float* parameters, Effect** toFree)
{
    return Make(name, parameters, toFree,
                toFree ? static_cast<ShaderEffect*>(nullptr) : new ShaderEffect(gpu::ShaderKind::Pixel));
}

Effect* CreateVertexShaderEffect(const char* name, float* parameters, Effect** toFree)
{
    return Make(name, parameters, toFree,
                toFree ? static_cast<ShaderEffect*>(nullptr) : new ShaderEffect(gpu::ShaderKind::Vertex));
}

Effect* NoEffect(const char*, float*, Effect** toFree)
{
    if (toFree)
        *toFree = nullptr;
    return nullptr;
}

} // namespace

EffectFactory BuiltInEffectFactory(const char* name)
{
    if (!name)
        return &NoEffect;
    if (std::strcmp(name, "envmap") == 0)
        return &CreateEnvMapEffect;
    if (std::strcmp(name, "cuberef") == 0)
        return &CreateCubeRefEffect;
    if (std::strcmp(name, "dot3bump") == 0)
        return &CreateDot3BumpEffect;
    if (std::strcmp(name, "pixelshader") == 0)
        return &CreatePixelShaderEffect;
    if (std::strcmp(name, "vertexshader") == 0)
        return &CreateVertexShaderEffect;
    return &NoEffect;
}
