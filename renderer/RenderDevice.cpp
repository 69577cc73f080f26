#include "renderer/RenderDevice.h"

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstring>
#include <strings.h>

#include "engine/core/FormatText.h"
#include "engine/core/q3DError.h"
#include "engine/filesystem/PackFile.h"
#include "engine/material/VertexLayout.h"
#include "platform/gpu/GraphicsDevice.h"
#include "platform/gpu/System.h"
#include "platform/os/Window.h"
#include "renderer/Bitmap.h"
#include "renderer/BuiltInEffects.h"
#include "renderer/LibraryState.h"
#include "renderer/Prim.h"

LibraryState& Library()
{
    static LibraryState state;
    return state;
}

namespace {

const char* const kBuiltInEffects[] = {"envmap", "vertexshader", "pixelshader", "cuberef", "dot3bump"};

} // namespace

int RenderDevice::TimeNow()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
    // 1/1024 s units, wrapping as the 32-bit counter does.
    const std::uint64_t ns = static_cast<std::uint64_t>(nanoseconds);
    const std::uint64_t units = (ns / 1000000000u) * 1024u + ((ns % 1000000000u) * 1024u) / 1000000000u;
    return static_cast<int>(static_cast<std::uint32_t>(units));
}

void RenderDevice::SetInternalMaterialBlends()
{
    internalMaterials[0].srcBlend = BlendZero;
    internalMaterials[0].destBlend = BlendSrcColor;
    internalMaterials[1].srcBlend = BlendOne;
    internalMaterials[1].destBlend = BlendOne;
    internalMaterials[2].srcBlend = BlendSrcAlpha;
    internalMaterials[2].destBlend = BlendInvSrcAlpha;
}

RenderDevice::RenderDevice()
{
    SetInternalMaterialBlends();

    logFile = std::fopen("q3D.log", "wt");
    WriteLogLine("q3D log opened");
    lastFrameStart = TimeNow();

    // The descriptor of every draw handed to effects: a prim without buffers of its own.
    VertexLayout layout;
    layout.InitLitTextured();
    Prim* prim = new Prim();
    prim->Create(PrimTriangleList, 1, 1, &layout, PrimSystemMemory);
    prim->DropArrays();
    prim->TakeOffList();
    descriptor = prim;

    system = std::make_unique<platform::gpu::System>();
    if (!system->IsAvailable()) {
        descriptor->Destroy();
        descriptor = nullptr;
        WriteLogLine("q3D log closing");
        if (logFile)
            std::fclose(logFile);
        logFile = nullptr;
        throw q3DError("Direct3D9 object can't be created");
    }
    totalVideoMemory = system->GetTotalVideoMemory();
    Enumerate();
    int entries = 0;
    for (int a = 0; a < adapterCount; ++a)
        entries += adapters[a].entryCount;
    if (entries == 0) {
        descriptor->Destroy();
        descriptor = nullptr;
        system.reset();
        WriteLogLine("q3D log closing");
        if (logFile)
            std::fclose(logFile);
        logFile = nullptr;
        throw q3DError("No compatable D3D9 devices found");
    }
    if (adapters[0].entries[0].type == platform::gpu::DeviceType::Reference)
        Log("Warning: Using reference device!");
}

RenderDevice::~RenderDevice()
{
    if (descriptor) {
        descriptor->Destroy();
        descriptor = nullptr;
    }
    Shutdown();
    WriteLogLine("q3D log closing");
    if (logFile)
        std::fclose(logFile);
    logFile = nullptr;
    lastError.Clear();
    effects.RemoveAll();
    for (RegistryEntry* entry : registry) {
        delete[] entry->parameters;
        delete entry;
    }
    registry.RemoveAll();
    for (float* block : retiredBlocks)
        delete[] block;
    retiredBlocks.clear();
}

void RenderDevice::WriteLogLine(const char* text)
{
    if (!logFile)
        return;
    std::fputs(text, logFile);
    std::fputc('\n', logFile);
    std::fflush(logFile);
}

void RenderDevice::Log(const char* format, ...)
{
    char buffer[2048];
    std::va_list args;
    va_start(args, format);
    const bool formatted = FormatBounded(buffer, sizeof(buffer), format, args);
    va_end(args);
    if (formatted)
        WriteLogLine(buffer);
}

void RenderDevice::SetError(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    lastError.Format(format, args);
    va_end(args);
    WriteLogLine(lastError.Get());
}

const char* RenderDevice::GetLastError()
{
    return lastError.Get();
}

// ---- Effect registry ----

RenderDevice::RegistryEntry* RenderDevice::FindRegistryEntry(const char* name, bool ignoreCase)
{
    if (!name || std::strlen(name) > kEffectNameSize)
        return nullptr;
    for (RegistryEntry* entry : registry) {
        const bool same = ignoreCase ? strcasecmp(entry->name, name) == 0 : std::strcmp(entry->name, name) == 0;
        if (same)
            return entry;
    }
    return nullptr;
}

void RenderDevice::RegisterEffect(EffectFactory factory, const char* name)
{
    if (!name)
        return;
    RegistryEntry* entry = new RegistryEntry();
    std::strncpy(entry->name, name, kEffectNameSize);
    entry->name[kEffectNameSize] = '\0';
    entry->factory = factory;
    entry->parameters = new float[kEffectParameters]();
    registry.AddHead(entry);
}

void RenderDevice::UnregisterEffect(const char* name)
{
    RegistryEntry* entry = FindRegistryEntry(name, true);
    if (!entry)
        return;
    registry.Remove(entry);
    // Effects made from the entry keep pointing at its parameters.
    const bool used = std::any_of(blockUsers.begin(), blockUsers.end(),
                                  [&](const auto& user) { return user.first == entry->parameters; });
    if (used)
        retiredBlocks.push_back(entry->parameters);
    else
        delete[] entry->parameters;
    delete entry;
}

void RenderDevice::DropBlockUser(float* block)
{
    auto user = std::find_if(blockUsers.begin(), blockUsers.end(), [&](const auto& u) { return u.first == block; });
    if (user == blockUsers.end() || --user->second > 0)
        return;
    blockUsers.erase(user);
    auto retired = std::find(retiredBlocks.begin(), retiredBlocks.end(), block);
    if (retired != retiredBlocks.end()) {
        delete[] *retired;
        retiredBlocks.erase(retired);
    }
}

void RenderDevice::SetEffectParam(const char* name, int index, float value)
{
    if (index < 0 || index >= kEffectParameters)
        return;
    if (RegistryEntry* entry = FindRegistryEntry(name, true))
        entry->parameters[index] = value;
}

namespace {

// The first word of a line (separated by blanks and newlines), cut to fit the buffer.
void FirstWord(const char* line, char* word, std::size_t size, const char* separators = " \n")
{
    word[0] = '\0';
    if (!line)
        return;
    char copy[2048];
    std::strncpy(copy, line, sizeof(copy) - 1);
    copy[sizeof(copy) - 1] = '\0';
    char* save = nullptr;
    const char* first = strtok_r(copy, separators, &save);
    if (!first)
        return;
    std::strncpy(word, first, size - 1);
    word[size - 1] = '\0';
}

} // namespace

Effect* RenderDevice::CreateEffect(const char* line, Effect** out)
{
    Effect* made = nullptr;
    char word[2048];
    FirstWord(line, word, sizeof(word));
    if (RegistryEntry* entry = FindRegistryEntry(word, false); entry && entry->factory) {
        made = entry->factory(entry->name, entry->parameters, nullptr);
        if (made) {
            auto user = std::find_if(blockUsers.begin(), blockUsers.end(),
                                     [&](const auto& u) { return u.first == entry->parameters; });
            if (user == blockUsers.end())
                blockUsers.emplace_back(entry->parameters, 1);
            else
                ++user->second;
        }
    }
    if (out)
        *out = made;
    return made;
}

void RenderDevice::FreeEffect(Effect** effect)
{
    if (!effect || !*effect)
        return;
    char name[kEffectNameSize + 1];
    std::memcpy(name, (*effect)->name, kEffectNameSize);
    name[kEffectNameSize] = '\0';
    RegistryEntry* entry = FindRegistryEntry(name, false);
    float* block = (*effect)->parameters;
    if (entry && entry->factory) {
        *effect = entry->factory(entry->name, nullptr, effect);
        DropBlockUser(block);
    } else {
        *effect = nullptr; // its factory is gone, so nothing can free it (and its block stays)
    }
}

void RenderDevice::AttachEffect(const char* line)
{
    Effect* effect = nullptr;
    if (CreateEffect(line, &effect)) {
        try {
            effect->Init(this, nullptr, line, 0);
        } catch (...) {
            FreeEffect(&effect);
            throw;
        }
        effects.AddHead(effect);
    }
}

void RenderDevice::RemoveEffect(const char* line)
{
    char word[2048];
    FirstWord(line, word, sizeof(word));
    for (Effect* effect : effects) {
        if (std::strncmp(effect->name, word, kEffectNameSize) == 0 && std::strlen(word) <= kEffectNameSize) {
            effects.Remove(effect);
            effect->Release(this, 0);
            FreeEffect(&effect);
            return;
        }
    }
}

// ---- Exports ----

extern "C" {

LUMORA_EXPORT float GetDLLVersion()
{
    return RendererVersion;
}

LUMORA_EXPORT int CreateDevice(Device** out)
{
    LibraryState& library = Library();
    if (!library.device) {
        library.device = new RenderDevice();
        for (const char* name : kBuiltInEffects)
            library.device->RegisterEffect(BuiltInEffectFactory(name), name);
    }
    if (out)
        *out = library.device;
    return 1;
}

LUMORA_EXPORT int DestroyDevice(Device** inout)
{
    LibraryState& library = Library();
    if (inout && *inout) {
        for (const char* name : kBuiltInEffects)
            (*inout)->UnregisterEffect(name);
        delete *inout;
        *inout = nullptr;
    }
    library.gpu = nullptr;
    library.device = nullptr;
    return 1;
}

} // extern "C"
