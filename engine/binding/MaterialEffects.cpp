#include "engine/binding/MaterialEffects.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/q3DError.h"
#include "engine/filesystem/PackFile.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"

namespace {

struct ProgramEffect {
    const char* name;
    EffectFactory factory;
};

// Registered in this order after the device is made, unregistered in the same order. The
// application's "camalphafade" and the world's "wind" effects are registered by those
// subsystems through RegisterEffect once they exist.
const ProgramEffect kProgramEffects[] = {
    {"uvscroll", &CreateUVScrollEffect},   {"uvswirl", &CreateUVSwirlEffect},
    {"texanim", &CreateTexAnimEffect},     {"alpharef", &CreateAlphaRefEffect},
    {"nomipmap", &CreateNoMipmapEffect},   {"fullbright", &CreateFullbrightEffect},
    {"specular", &CreateSpecularEffect},
};

constexpr int kMaxAnimationFrames = 256;

// The words of an effect line after its name; separators are blanks and newlines.
std::vector<std::string> Arguments(const char* line)
{
    std::vector<std::string> words;
    std::string word;
    for (const char* c = line ? line : ""; ; ++c) {
        if (*c == '\0' || *c == ' ' || *c == '\n') {
            if (!word.empty())
                words.push_back(word);
            word.clear();
            if (*c == '\0')
                break;
        } else {
            word.push_back(*c);
        }
    }
    if (!words.empty())
        words.erase(words.begin());
    return words;
}

template <class Kind>
Effect* MakeOrFree(const char* name, float* parameters, Effect** toFree)
{
    if (toFree) {
        delete static_cast<Kind*>(*toFree);
        *toFree = nullptr;
        return nullptr;
    }
    Kind* effect = new Kind();
    std::memset(effect->name, 0, sizeof(effect->name));
    if (name)
        std::memcpy(effect->name, name, strnlen(name, sizeof(effect->name)));
    char terminated[sizeof(effect->name) + 1] = {};
    std::memcpy(terminated, effect->name, sizeof(effect->name));
    effect->nameHash = std::int32_t(PackFileHashName(terminated));
    effect->enabled = 1;
    effect->parameters = parameters;
    return effect;
}

// Walks every present texture-coordinate set of every vertex of the prim's used range.
template <class Visit>
void ForEachTexCoord(D3DPrim* prim, Visit visit)
{
    VertexLayout layout;
    prim->GetVertexFormat(&layout);
    if (!layout.Has(VertexLayout::TexCoord0) || layout.vertexSize <= 0)
        return;
    auto* vertices = static_cast<std::uint8_t*>(prim->GetVertices(true, false));
    if (!vertices)
        return;
    const int count = prim->GetVertexCount(false);
    for (int i = 0; i < count; ++i) {
        std::uint8_t* vertex = vertices + std::size_t(i) * std::size_t(layout.vertexSize);
        for (int set = 0; set < VertexLayout::kTexCoordSets; ++set) {
            const int offset = layout.offsets[VertexLayout::TexCoord0 + set];
            if (offset < 0 || layout.texCoordSizes[set] < 8)
                continue;
            float uv[2];
            std::memcpy(uv, vertex + offset, sizeof(uv));
            visit(i, uv);
            std::memcpy(vertex + offset, uv, sizeof(uv));
        }
    }
    prim->Nop4();
}

// Rebuilds a texture with a single mip level, keeping its format.
void MakeSingleLevel(D3DBitmap* texture)
{
    texture->SetFlags(texture->GetFlags() | BitmapOneLevel);
    texture->Reformat(texture->GetFormat());
}

} // namespace

void RegisterMaterialEffects(Device* device)
{
    for (const ProgramEffect& effect : kProgramEffects)
        device->RegisterEffect(effect.factory, effect.name);
}

void UnregisterMaterialEffects(Device* device)
{
    for (const ProgramEffect& effect : kProgramEffects)
        device->UnregisterEffect(effect.name);
}

Effect* CreateUVScrollEffect(const char* n, float* p, Effect** f) { return MakeOrFree<UVScrollEffect>(n, p, f); }
Effect* CreateUVSwirlEffect(const char* n, float* p, Effect** f) { return MakeOrFree<UVSwirlEffect>(n, p, f); }
Effect* CreateTexAnimEffect(const char* n, float* p, Effect** f) { return MakeOrFree<TexAnimEffect>(n, p, f); }
Effect* CreateAlphaRefEffect(const char* n, float* p, Effect** f) { return MakeOrFree<AlphaRefEffect>(n, p, f); }
Effect* CreateNoMipmapEffect(const char* n, float* p, Effect** f) { return MakeOrFree<NoMipmapEffect>(n, p, f); }
Effect* CreateFullbrightEffect(const char* n, float* p, Effect** f) { return MakeOrFree<FullbrightEffect>(n, p, f); }
Effect* CreateSpecularEffect(const char* n, float* p, Effect** f) { return MakeOrFree<SpecularEffect>(n, p, f); }

// ---- uvscroll ----

int UVScrollEffect::Init(Device*, D3DBitmap*, const char* line, int)
{
    const std::vector<std::string> words = Arguments(line);
    speedU = words.size() > 0 ? float(std::atof(words[0].c_str())) : 0.0f;
    speedV = words.size() > 1 ? float(std::atof(words[1].c_str())) : 0.0f;
    lastFrame = 0;
    return 1;
}

void UVScrollEffect::Release(Device*, int) {}

namespace {

float Wrap(float offset)
{
    while (offset < 0.0f)
        offset += 1.0f;
    while (offset > 1.0f)
        offset -= 1.0f;
    return offset;
}

} // namespace

void UVScrollEffect::Apply(Device* device, D3DPrim* prim)
{
    VertexLayout layout;
    prim->GetVertexFormat(&layout);
    if (!layout.Has(VertexLayout::TexCoord0) || !prim->GetVertices(true, false))
        return;
    if (device->GetFrameCount() != lastFrame) {
        const float dt = float(device->GetFrameTime()) * 0.001f;
        offsetU = Wrap(offsetU + dt * speedU);
        offsetV = Wrap(offsetV + dt * speedV);
        lastFrame = device->GetFrameCount();
    }
    ForEachTexCoord(prim, [&](int, float uv[2]) {
        uv[0] += offsetU;
        uv[1] += offsetV;
    });
}

void UVScrollEffect::Restore(Device*, D3DPrim* prim)
{
    ForEachTexCoord(prim, [&](int, float uv[2]) {
        uv[0] -= offsetU;
        uv[1] -= offsetV;
    });
}

// ---- uvswirl ----

int UVSwirlEffect::Init(Device*, D3DBitmap*, const char* line, int)
{
    const std::vector<std::string> words = Arguments(line);
    radius = words.size() > 0 ? float(std::atof(words[0].c_str())) : 1.0f;
    angularSpeed = words.size() > 1 ? float(std::atof(words[1].c_str())) : 1.0f;
    lastFrame = 0;
    angle = 0.0f;
    return 1;
}

void UVSwirlEffect::Release(Device*, int) {}

void UVSwirlEffect::Apply(Device* device, D3DPrim* prim)
{
    VertexLayout layout;
    prim->GetVertexFormat(&layout);
    if (!layout.Has(VertexLayout::TexCoord0) || !prim->GetVertices(true, false))
        return;
    if (device->GetFrameCount() != lastFrame) {
        angle += float(device->GetFrameTime()) * 0.001f * angularSpeed;
        if (angle > 6.2831855f)
            angle -= 6.2831855f;
        offsetU = radius * std::cos(angle) - radius * std::sin(angle);
        offsetV = radius * (std::cos(angle) + std::sin(angle));
        lastFrame = device->GetFrameCount();
    }
    ForEachTexCoord(prim, [&](int vertex, float uv[2]) {
        const float sign = (vertex % 2 == 0) ? 1.0f : -1.0f;
        uv[0] += sign * offsetU;
        uv[1] += sign * offsetV;
    });
}

void UVSwirlEffect::Restore(Device*, D3DPrim* prim)
{
    ForEachTexCoord(prim, [&](int vertex, float uv[2]) {
        const float sign = (vertex % 2 == 0) ? 1.0f : -1.0f;
        uv[0] -= sign * offsetU;
        uv[1] -= sign * offsetV;
    });
}

// ---- texanim ----

int TexAnimEffect::Init(Device* device, D3DBitmap* owner, const char* line, int)
{
    if (owner) {
        const int format = owner->GetFormat();
        if (format == FormatDXT1 || format == FormatDXT3 || format == FormatDXT5)
            throw q3DError("Animated textures can't be compressed: %s", owner->GetName() ? owner->GetName() : "");
    }
    const std::vector<std::string> words = Arguments(line);
    frameRate = words.size() > 0 ? std::atoi(words[0].c_str()) : 0;
    frameCount = words.size() > 1 ? std::atoi(words[1].c_str()) : 0;
    currentFrame = 0;
    lastTime = 0;
    savedTexture = owner;
    if (frameRate <= 0 || frameCount <= 0) {
        // Without a rate or frames there is nothing to step through: the texture stays still.
        device->Log("texanim on %s: frame rate %d with %d frames, the texture stays still",
                    owner && owner->GetName() ? owner->GetName() : "(no texture)", frameRate, frameCount);
        frameCount = 0;
        timeLeft = 0;
        return 1;
    }
    if (frameCount > kMaxAnimationFrames) {
        device->Log("texanim on %s: %d frames, only the first %d are kept",
                    owner && owner->GetName() ? owner->GetName() : "(no texture)", frameCount, kMaxAnimationFrames);
        frameCount = kMaxAnimationFrames;
    }
    frames.assign(std::size_t(frameCount), nullptr);
    for (int i = 0; i < frameCount && std::size_t(i) + 2 < words.size(); ++i) {
        const char* file = words[std::size_t(i) + 2].c_str();
        D3DBitmap* bitmap = device->CreateBitmap(&frames[i]);
        if (!bitmap)
            continue;
        if (bitmap->Load(file, 0, BitmapOneLevel) != 1) {
            device->Log("Couldn't load %s: %s", file, bitmap->GetLastError() ? bitmap->GetLastError() : "");
            bitmap->Destroy();
            frames[i] = nullptr;
        }
    }
    timeLeft = 1000 / frameRate;
    return 1;
}

void TexAnimEffect::Release(Device*, int)
{
    for (D3DBitmap* frame : frames)
        if (frame)
            frame->Destroy();
    frames.clear();
    frameCount = 0;
}

void TexAnimEffect::Apply(Device* device, D3DPrim* prim)
{
    if (!IsAnimated() || !prim || !prim->material)
        return;
    Material* material = prim->material;
    savedTexture = material->texture[0];
    material->texture[0] = frames[std::size_t(currentFrame)];
    if (!enabled)
        return;
    const int now = device->GetTime();
    const int elapsed = lastTime == 0 ? 0 : now - lastTime;
    lastTime = now;
    timeLeft -= elapsed;
    if (timeLeft < 0) {
        const int period = 1000 / frameRate;
        int steps = period > 0 ? timeLeft / -period : 1;
        if (steps < 1)
            steps = 1;
        currentFrame = (currentFrame + steps) % frameCount;
        timeLeft = period;
    }
}

void TexAnimEffect::Restore(Device*, D3DPrim* prim)
{
    if (!IsAnimated() || !prim || !prim->material)
        return;
    prim->material->texture[0] = savedTexture;
}

// ---- alpharef ----

int AlphaRefEffect::Init(Device*, D3DBitmap* owner, const char* line, int)
{
    const std::vector<std::string> words = Arguments(line);
    reference = std::uint8_t(words.empty() ? 0 : std::atoi(words[0].c_str()));
    if (owner && owner->GetLevelCount() >= 1)
        MakeSingleLevel(owner);
    return 1;
}

void AlphaRefEffect::Release(Device*, int) {}

void AlphaRefEffect::Apply(Device* device, D3DPrim* prim)
{
    savedReference = std::uint8_t(device->GetAlphaRef());
    if (prim && prim->material)
        prim->material->cullFlags |= Material::kAlphaTested;
    device->SetAlphaRef(reference);
}

void AlphaRefEffect::Restore(Device* device, D3DPrim*)
{
    device->SetAlphaRef(savedReference);
}

// ---- nomipmap ----

int NoMipmapEffect::Init(Device*, D3DBitmap*, const char*, int) { return 1; }
void NoMipmapEffect::Release(Device*, int) {}
void NoMipmapEffect::Restore(Device*, D3DPrim*) {}

void NoMipmapEffect::Apply(Device*, D3DPrim* prim)
{
    if (!prim || !prim->material || !prim->material->texture[0])
        return;
    if (prim->material->texture[0]->GetLevelCount() > 1)
        MakeSingleLevel(prim->material->texture[0]);
}

// ---- fullbright ----

int FullbrightEffect::Init(Device*, D3DBitmap*, const char*, int) { return 1; }
void FullbrightEffect::Release(Device*, int) {}
void FullbrightEffect::Restore(Device*, D3DPrim*) {}

void FullbrightEffect::Apply(Device*, D3DPrim* prim)
{
    if (!prim || !prim->material || prim->material->lightingMode == 0)
        return;
    VertexLayout layout;
    prim->GetVertexFormat(&layout);
    if (!layout.Has(VertexLayout::Diffuse) || layout.vertexSize <= 0)
        return;
    prim->material->lightingMode = 0;
    auto* vertices = static_cast<std::uint8_t*>(prim->GetVertices(true, false));
    if (!vertices)
        return;
    const std::uint32_t white = 0xFFFFFFFFu;
    const int count = prim->GetVertexCount(false);
    for (int i = 0; i < count; ++i)
        std::memcpy(vertices + std::size_t(i) * std::size_t(layout.vertexSize) + layout.offsets[VertexLayout::Diffuse],
                    &white, sizeof(white));
    prim->Nop4();
}

// ---- specular ----

int SpecularEffect::Init(Device*, D3DBitmap*, const char* line, int)
{
    const std::vector<std::string> words = Arguments(line);
    power = words.size() > 0 ? float(std::atof(words[0].c_str())) : 35.0f;
    const float red = words.size() > 1 ? float(std::atof(words[1].c_str())) : 1.0f;
    const float green = words.size() > 2 ? float(std::atof(words[2].c_str())) : 1.0f;
    const float blue = words.size() > 3 ? float(std::atof(words[3].c_str())) : 1.0f;
    color = 0xFF000000u + (std::uint32_t(int(red * 255.0f)) << 16) + (std::uint32_t(int(green * 255.0f)) << 8) +
            std::uint32_t(int(blue * 255.0f));
    return 1;
}

void SpecularEffect::Release(Device*, int) {}
void SpecularEffect::Restore(Device*, D3DPrim*) {}

void SpecularEffect::Apply(Device*, D3DPrim* prim)
{
    if (!prim || !prim->material || prim->material->specularPower == power)
        return;
    prim->material->specularPower = power;
    prim->material->specularColor = color;
    prim->material->changed = 1;
}
