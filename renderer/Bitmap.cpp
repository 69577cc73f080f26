#include "renderer/Bitmap.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "engine/core/FormatText.h"
#include "engine/filesystem/PackFile.h"
#include "platform/gpu/GraphicsDevice.h"
#include "platform/gpu/PixelFormat.h"
#include "renderer/LibraryState.h"
#include "renderer/RenderDevice.h"

namespace gpu = platform::gpu;

namespace {

gpu::GraphicsDevice* Gpu()
{
    return Library().gpu;
}

RenderDevice* TheDevice()
{
    return Library().device;
}

// Hash of the first word of a line; the separators are blank, newline and carriage return.
std::uint32_t FirstWordHash(const char* line, std::string* word = nullptr)
{
    const char* start = line;
    while (*start == ' ' || *start == '\n' || *start == '\r')
        ++start;
    const char* end = start;
    while (*end && *end != ' ' && *end != '\n' && *end != '\r')
        ++end;
    const std::string first(start, end);
    if (word)
        *word = first;
    return PackFileHashName(first.c_str());
}

} // namespace

Bitmap::Bitmap(std::uint32_t flags) : flags(flags) {}

Bitmap::~Bitmap()
{
    for (EffectLine* line : effectLines)
        delete line;
    effectLines.RemoveAll();
}

Bitmap* Bitmap::ForSurface(const char* name, gpu::Surface* surface, bool readPitch)
{
    Bitmap* bitmap = new Bitmap(BitmapSurface | BitmapOneLevel | BitmapPrivate);
    TextureRecord* r = bitmap->NewRecord(name);
    r->surface = surface;
    bitmap->ReadDescription();
    if (!readPitch)
        r->pitch = 0;
    r->Register(false);
    return bitmap;
}

Bitmap* Bitmap::ForDepthSurface(const char* name, gpu::Surface* surface)
{
    Bitmap* bitmap = new Bitmap(BitmapSurface | BitmapOneLevel | BitmapPrivate | BitmapDepthStencil);
    TextureRecord* r = bitmap->NewRecord(name);
    r->surface = surface;
    r->width = std::uint32_t(surface->GetWidth());
    r->height = std::uint32_t(surface->GetHeight());
    r->format = FormatUnknown;
    r->bitsPerPixel = std::uint32_t(gpu::DepthFormatBitsPerPixel(surface->GetDepthFormat()));
    r->bytesPerPixel = r->bitsPerPixel / 8;
    r->pitch = r->bytesPerPixel * r->width;
    r->levelCount = 1;
    r->Register(false);
    return bitmap;
}

TextureRecord* Bitmap::NewRecord(const char* name)
{
    DropRecord();
    record = new TextureRecord();
    record->users = 1;
    std::snprintf(record->name, sizeof(record->name), "%s", name ? name : "");
    return record;
}

void Bitmap::ShareRecord(TextureRecord* shared)
{
    if (shared == record)
        return;
    DropRecord();
    record = shared;
    ++record->users;
    if (record->texture)
        record->texture->AddRef();
    if (record->surface)
        record->surface->AddRef();
}

void Bitmap::DropRecord()
{
    if (!record)
        return;
    if (record->texture && record->texture->Release() == 0)
        record->texture = nullptr;
    if (record->surface && record->surface->Release() == 0)
        record->surface = nullptr;
    if (--record->users <= 0) {
        record->Unregister();
        delete record;
    }
    record = nullptr;
}

bool Bitmap::IsCube() const
{
    return record && record->texture && record->texture->IsCube();
}

gpu::ImageTarget Bitmap::Level0() const
{
    if (!record)
        return {};
    if (record->surface)
        return gpu::ImageTarget::Of(record->surface);
    return gpu::ImageTarget::Of(record->texture, 0, 0);
}

void Bitmap::ReadDescription()
{
    if (!record)
        return;
    if (record->texture) {
        gpu::Texture* t = record->texture;
        record->width = std::uint32_t(t->GetWidth());
        record->height = std::uint32_t(t->GetHeight());
        record->format = t->GetFormat();
        record->levelCount = std::uint32_t(t->GetLevelCount());
        // A default-pool texture or a cube map cannot be locked for this.
        record->pitch = (t->GetPool() == gpu::Pool::Default || t->IsCube()) ? 0 : gpu::RowPitch(t->GetFormat(), t->GetWidth());
    } else if (record->surface) {
        gpu::Surface* s = record->surface;
        record->width = std::uint32_t(s->GetWidth());
        record->height = std::uint32_t(s->GetHeight());
        record->format = s->GetFormat();
        record->levelCount = 1;
        record->pitch = gpu::RowPitch(s->GetFormat(), s->GetWidth());
    }
    record->bitsPerPixel = std::uint32_t(gpu::BitsPerPixel(record->format));
    record->bytesPerPixel = record->bitsPerPixel / 8;
}

bool Bitmap::JoinSharedRecord(const char*& name, std::uint32_t newFlags)
{
    flags |= newFlags;
    if (flags & BitmapSurface)
        flags |= BitmapOneLevel;
    if (!name)
        name = "";
    if (flags & BitmapPrivate)
        return false;
    TextureRecord* shared = FindByName(name);
    if (!shared)
        return false;
    ShareRecord(shared);
    ReadDescription();
    return true;
}

int Bitmap::Create(const char* name, int width, int height, int format, std::uint32_t newFlags)
{
    if (JoinSharedRecord(name, newFlags))
        return 1;
    gpu::GraphicsDevice* device = Gpu();
    RenderDevice* owner = TheDevice();
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) {
        SetError("Error creating texture %s: %s", name, gpu::ResultName(gpu::ErrorInvalidCall));
        return -1;
    }
    if ((flags & BitmapSurface) && (flags & BitmapDepthStencil)) {
        TextureRecord* r = NewRecord(name);
        gpu::Surface* surface = nullptr;
        const gpu::Result result =
            device ? device->CreateDepthStencilSurface(width, height, owner->GetDepthStencilFormat(),
                                                       owner->GetMultisamples(), &surface)
                   : gpu::ErrorInvalidCall;
        if (gpu::Failed(result)) {
            SetError("Error creating depth/stencil surface (%s)", gpu::ResultName(result));
            return -1;
        }
        r->surface = surface;
        r->width = std::uint32_t(width);
        r->height = std::uint32_t(height);
        r->format = format;
        r->bitsPerPixel = std::uint32_t(gpu::DepthFormatBitsPerPixel(surface->GetDepthFormat()));
        r->bytesPerPixel = r->bitsPerPixel / 8;
        r->pitch = r->bytesPerPixel * r->width;
        r->levelCount = 1;
        r->Register(false);
        return 1;
    }
    if (flags & BitmapSurface) {
        TextureRecord* r = NewRecord(name);
        gpu::Surface* surface = nullptr;
        gpu::Result result = gpu::ErrorInvalidCall;
        if (device) {
            if (owner->IsTextureFormatSupported(format, true) && !(flags & BitmapScratch)) {
                result = device->CreateSurface(width, height, format, gpu::Pool::Default, true, &surface);
            } else {
                result = device->CreateSurface(width, height, format, gpu::Pool::Scratch, false, &surface);
                r->recreatable = false;
            }
        }
        if (gpu::Failed(result)) {
            SetError("Error creating surface (%s)", gpu::ResultName(result));
            return -1;
        }
        r->surface = surface;
    } else {
        TextureRecord* r = NewRecord(name);
        const int levels = (flags & BitmapOneLevel) ? 1 : 0;
        const int chosen = owner ? owner->GetNearestTextureFormat(format) : format;
        std::uint32_t usage = gpu::UsageNone;
        if (flags & BitmapDynamic)
            usage |= gpu::UsageDynamic;
        if (flags & BitmapRenderTarget)
            usage |= gpu::UsageRenderTarget;
        const gpu::Pool pool = (flags & BitmapDefaultPool) ? gpu::Pool::Default : gpu::Pool::Managed;
        gpu::Texture* texture = nullptr;
        gpu::Result result = gpu::ErrorInvalidCall;
        if (device) {
            result = (flags & BitmapCube) ? device->CreateCubeTexture(width, levels, usage, chosen, pool, &texture)
                                          : device->CreateTexture(width, height, levels, usage, chosen, pool, &texture);
        }
        if (gpu::Failed(result)) {
            SetError("Error creating texture %s: %s", name, gpu::ResultName(result));
            return -1;
        }
        r->texture = texture;
    }
    record->Register(!(flags & BitmapPrivate));
    ReadDescription();
    return 1;
}

int Bitmap::CreateTwoStage(const char* name, D3DBitmap* sourceBitmap, int format, std::uint32_t newFlags)
{
    if (JoinSharedRecord(name, newFlags))
        return 1;
    auto* source = static_cast<Bitmap*>(sourceBitmap);
    if (!source || !source->record || !Gpu()) {
        SetError("Error creating texture %s during stage 1: %s", name, gpu::ResultName(gpu::ErrorInvalidCall));
        return -1;
    }
    const int chosen = TheDevice()->GetNearestTextureFormat(format ? format : source->record->format);
    gpu::Texture* texture = nullptr;
    gpu::Result result = Gpu()->CreateTexture(int(source->record->width), int(source->record->height),
                                              (flags & BitmapOneLevel) ? 1 : 0, gpu::UsageNone, chosen,
                                              gpu::Pool::Managed, &texture);
    if (gpu::Failed(result)) {
        SetError("Error creating texture %s during stage 1: %s", name, gpu::ResultName(result));
        return -1;
    }
    TextureRecord* r = NewRecord(name);
    r->texture = texture;
    result = gpu::LoadImage(gpu::ImageTarget::Of(texture), nullptr, source->Level0(), nullptr, gpu::Filter::Box);
    if (gpu::Failed(result)) {
        SetError("Error creating texture %s during stage 2: %s", name, gpu::ResultName(result));
        r->Register(false);
        return -1;
    }
    r->Register(!(flags & BitmapPrivate));
    ReadDescription();
    return 1;
}

int Bitmap::Release()
{
    errorText.Clear();
    ReleaseEffects(0);
    // Shared records stay for their other bitmaps: the release counts like Destroy's.
    DropRecord();
    delete this;
    return 0;
}

void Bitmap::Destroy()
{
    ReleaseEffects(1);
    DropRecord();
    delete this;
}

D3DBitmap* Bitmap::Clone()
{
    Bitmap* copy = new Bitmap(flags);
    if (record) {
        copy->record = record;
        ++record->users;
        if (record->texture)
            record->texture->AddRef();
        if (record->surface)
            record->surface->AddRef();
    }
    // The lines are stored newest first; the clone gets them in the same order.
    for (PtrListNode* node = effectLines.GetTail(); node; node = node->prev)
        copy->AddEffect(static_cast<EffectLine*>(node->item)->text.c_str());
    return copy;
}

int Bitmap::Reformat(int format)
{
    if (!record || (!record->texture && !record->surface)) {
        SetError("Error reformating texture %s: %s", GetName() ? GetName() : "", gpu::ResultName(gpu::ErrorInvalidCall));
        return -1;
    }
    const bool oneLevel = (flags & BitmapOneLevel) != 0;
    if (record->format == format && (!oneLevel || record->levelCount == 1))
        return 1;
    const std::uint32_t savedFlags = flags;
    Bitmap temporary(flags | BitmapPrivate);
    const int made = temporary.Create(record->name, int(record->width), int(record->height), format,
                                      flags | BitmapPrivate);
    flags = savedFlags;
    if (made != 1) {
        temporary.DropRecord();
        SetError("Error reformating texture %s: %s", record->name, temporary.GetLastError());
        return -1;
    }
    TextureRecord* fresh = temporary.record;
    gpu::Result result = gpu::LoadImage(temporary.Level0(), nullptr, Level0(), nullptr, gpu::Filter::Box);
    if (gpu::Failed(result)) {
        SetError("Error reformating texture %s: %s", record->name, gpu::ResultName(result));
        temporary.DropRecord();
        return -1;
    }
    // The other faces of a cube map come across level by level below; level 0 of each first.
    if (fresh->texture && fresh->texture->IsCube() && record->texture && record->texture->IsCube()) {
        for (int face = 1; face < fresh->texture->GetFaceCount(); ++face) {
            result = gpu::LoadImage(gpu::ImageTarget::Of(fresh->texture, 0, face), nullptr,
                                    gpu::ImageTarget::Of(record->texture, 0, face), nullptr, gpu::Filter::Box);
            if (gpu::Failed(result)) {
                SetError("Error reformating texture %s: %s", record->name, gpu::ResultName(result));
                temporary.DropRecord();
                return -1;
            }
        }
    }
    if (fresh->texture && fresh->texture->GetLevelCount() > 1) {
        if (!record->texture || record->texture->GetLevelCount() == 1) {
            result = gpu::FilterTexture(fresh->texture);
            if (gpu::Failed(result)) {
                SetError("Error generating mipmaps for texture: %s Error: %s", record->name, gpu::ResultName(result));
                temporary.DropRecord();
                return -1;
            }
        } else {
            const int levels = std::min(fresh->texture->GetLevelCount(), record->texture->GetLevelCount());
            for (int face = 0; face < fresh->texture->GetFaceCount(); ++face)
                for (int level = 0; level < levels; ++level) {
                    if (level == 0)
                        continue;
                    result = gpu::LoadImage(gpu::ImageTarget::Of(fresh->texture, level, face), nullptr,
                                            gpu::ImageTarget::Of(record->texture, level, face), nullptr,
                                            gpu::Filter::Box);
                    if (gpu::Failed(result)) {
                        SetError("Error reformating texture mipmap level %d %s: %s", level, record->name,
                                 gpu::ResultName(result));
                        temporary.DropRecord();
                        return -1;
                    }
                }
            if (levels < fresh->texture->GetLevelCount())
                gpu::FilterTexture(fresh->texture);
        }
    }
    // Every bitmap sharing the record sees the new image: the old objects go completely and the
    // record takes over the new ones with the same number of references, one per sharer.
    const int sharers = std::max(record->texture ? record->texture->GetReferenceCount() : 0,
                                 record->surface ? record->surface->GetReferenceCount() : 0);
    while (record->texture && record->texture->Release() > 0) {
    }
    while (record->surface && record->surface->Release() > 0) {
    }
    record->texture = fresh->texture;
    record->surface = fresh->surface;
    record->recreatable = fresh->recreatable;
    for (int i = 1; i < sharers; ++i) {
        if (record->texture)
            record->texture->AddRef();
        if (record->surface)
            record->surface->AddRef();
    }
    fresh->texture = nullptr;
    fresh->surface = nullptr;
    fresh->Unregister();
    delete fresh;
    temporary.record = nullptr;
    ReadDescription();
    return 1;
}

void Bitmap::CopyTo(int x, int y, D3DBitmap* destinationBitmap)
{
    auto* destination = static_cast<Bitmap*>(destinationBitmap);
    if (!record || !destination || !destination->record || IsCube() || destination->IsCube())
        return;
    const int from = record->format, to = destination->record->format;
    if (from != to && !gpu::IsBlockCompressed(from) && !gpu::IsBlockCompressed(to))
        return;
    gpu::Rect target{x, y, x + int(record->width), y + int(record->height)};
    gpu::Rect source{0, 0, int(record->width), int(record->height)};
    // Clipped to the destination, so a copy that hangs over its edge copies what fits.
    const int dw = int(destination->record->width), dh = int(destination->record->height);
    if (target.left < 0) { source.left -= target.left; target.left = 0; }
    if (target.top < 0) { source.top -= target.top; target.top = 0; }
    if (target.right > dw) { source.right -= target.right - dw; target.right = dw; }
    if (target.bottom > dh) { source.bottom -= target.bottom - dh; target.bottom = dh; }
    if (target.Width() <= 0 || target.Height() <= 0)
        return;
    gpu::LoadImage(destination->Level0(), &target, Level0(), &source, gpu::Filter::Point);
}

void Bitmap::CopyRect(const float sourceRect[4], const float destRect[4], D3DBitmap* destinationBitmap)
{
    auto* destination = static_cast<Bitmap*>(destinationBitmap);
    if (!record || !destination || !destination->record || !sourceRect || !destRect || IsCube() ||
        destination->IsCube())
        return;
    const int from = record->format, to = destination->record->format;
    if (from != to && !gpu::IsBlockCompressed(from) && !gpu::IsBlockCompressed(to))
        return;
    float sx = sourceRect[0], sy = sourceRect[1], sw = sourceRect[2], sh = sourceRect[3];
    float dx = destRect[0], dy = destRect[1], dw = destRect[2], dh = destRect[3];
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0)
        return;
    // Clip the destination to its bitmap, moving the source edges in proportion.
    const float scaleX = sw / dw, scaleY = sh / dh;
    const float destWidth = float(destination->record->width), destHeight = float(destination->record->height);
    if (dx < 0) { sx -= dx * scaleX; sw += dx * scaleX; dw += dx; dx = 0; }
    if (dy < 0) { sy -= dy * scaleY; sh += dy * scaleY; dh += dy; dy = 0; }
    if (dx + dw > destWidth) { const float cut = dx + dw - destWidth; dw -= cut; sw -= cut * scaleX; }
    if (dy + dh > destHeight) { const float cut = dy + dh - destHeight; dh -= cut; sh -= cut * scaleY; }
    // Then the source to this bitmap, moving the destination edges back.
    const float width = float(record->width), height = float(record->height);
    if (sx < 0) { dx -= sx / scaleX; dw += sx / scaleX; sw += sx; sx = 0; }
    if (sy < 0) { dy -= sy / scaleY; dh += sy / scaleY; sh += sy; sy = 0; }
    if (sx + sw > width) { const float cut = sx + sw - width; sw -= cut; dw -= cut / scaleX; }
    if (sy + sh > height) { const float cut = sy + sh - height; sh -= cut; dh -= cut / scaleY; }
    const gpu::Rect source{int(sx), int(sy), int(sx + sw), int(sy + sh)};
    const gpu::Rect target{int(dx), int(dy), int(dx + dw), int(dy + dh)};
    if (source.Width() <= 0 || source.Height() <= 0 || target.Width() <= 0 || target.Height() <= 0)
        return;
    gpu::LoadImage(destination->Level0(), &target, Level0(), &source, gpu::Filter::Point);
}

void* Bitmap::Lock(bool write)
{
    if (!record || IsCube())
        return nullptr;
    gpu::LockedRect locked;
    gpu::Result result = gpu::ErrorInvalidCall;
    if (record->surface)
        result = record->surface->Lock(locked, !write);
    else if (record->texture)
        result = record->texture->LockLevel(0, 0, locked, !write);
    if (gpu::Failed(result)) {
        SetError("Lock Error on surface %s: %s", record->name, gpu::ResultName(result));
        return nullptr;
    }
    return locked.bits;
}

int Bitmap::Unlock()
{
    if (!record)
        return -1;
    if (IsCube())
        return 0;
    gpu::Result result = gpu::ErrorInvalidCall;
    if (record->surface)
        result = record->surface->Unlock();
    else if (record->texture)
        result = record->texture->UnlockLevel(0, 0);
    if (gpu::Failed(result)) {
        SetError("Unlock Error on surface %s: %s", record->name, gpu::ResultName(result));
        return -1;
    }
    return 1;
}

void* Bitmap::LockLevel(int level, std::int32_t* pitch, bool write)
{
    if (!record || !record->texture || IsCube())
        return nullptr;
    gpu::LockedRect locked;
    const gpu::Result result = record->texture->LockLevel(0, level, locked, !write);
    if (gpu::Failed(result)) {
        SetError("Lock Error on surface %s: %s", record->name, gpu::ResultName(result));
        return nullptr;
    }
    lockedLevel = level;
    if (pitch)
        *pitch = locked.pitch;
    return locked.bits;
}

int Bitmap::UnlockLevel()
{
    if (!record || !record->texture || IsCube() || lockedLevel < 0)
        return -1;
    const gpu::Result result = record->texture->UnlockLevel(0, lockedLevel);
    lockedLevel = -1;
    if (gpu::Failed(result)) {
        SetError("Unlock Error on surface %s: %s", record->name, gpu::ResultName(result));
        return -1;
    }
    return 1;
}

void Bitmap::DrawLine(float fx0, float fy0, float fx1, float fy1, std::uint32_t value)
{
    if (!record || record->bytesPerPixel == 0 || gpu::IsBlockCompressed(record->format))
        return;
    auto* bits = static_cast<std::uint8_t*>(Lock(true));
    if (!bits)
        return;
    const int pitch = int(gpu::RowPitch(record->format, int(record->width)));
    const int bytes = int(record->bytesPerPixel);
    const int width = int(record->width), height = int(record->height);
    int x0 = int(fx0), y0 = int(fy0);
    const int x1 = int(fx1), y1 = int(fy1);
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int stepX = x0 < x1 ? 1 : -1, stepY = y0 < y1 ? 1 : -1;
    int error = dx + dy;
    for (;;) {
        if (x0 >= 0 && y0 >= 0 && x0 < width && y0 < height) {
            std::uint8_t* pixel = bits + y0 * pitch + x0 * bytes;
            for (int b = 0; b < bytes && b < 4; ++b)
                pixel[b] = std::uint8_t(value >> (8 * b));
        }
        if (x0 == x1 && y0 == y1)
            break;
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x0 += stepX;
        }
        if (twice <= dx) {
            error += dx;
            y0 += stepY;
        }
    }
}

int Bitmap::AddRefTexture()
{
    if (!record)
        return -1;
    if (record->surface)
        return record->surface->AddRef();
    if (record->texture)
        return record->texture->AddRef();
    return -1;
}

int Bitmap::ReleaseTexture()
{
    if (!record)
        return -1;
    if (record->surface) {
        const int left = record->surface->Release();
        if (left == 0)
            record->surface = nullptr;
        return left;
    }
    if (record->texture) {
        const int left = record->texture->Release();
        if (left == 0)
            record->texture = nullptr;
        return left;
    }
    return -1;
}

void Bitmap::SetFlags(std::uint32_t newFlags) { flags = newFlags; }
std::uint32_t Bitmap::GetFlags() { return flags; }
const char* Bitmap::GetName() { return record ? record->name : nullptr; }
int Bitmap::GetWidth() { return record ? int(record->width) : 0; }
int Bitmap::GetHeight() { return record ? int(record->height) : 0; }
int Bitmap::GetBitsPerPixel() { return record ? int(record->bitsPerPixel) : 0; }
int Bitmap::GetBytesPerPixel() { return record ? int(record->bytesPerPixel) : 0; }
int Bitmap::GetPitch() { return record ? int(record->pitch) : 0; }
int Bitmap::GetFormat() { return record ? record->format : 0; }
int Bitmap::GetLevelCount() { return record ? int(record->levelCount) : 0; }
Device* Bitmap::GetDevice() { return Library().device; }
const char* Bitmap::GetLastError() { return errorText.Get(); }
int Bitmap::Unsupported(int) { return -1; }

void Bitmap::SetError(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    errorText.Format(format, args);
    va_end(args);
}

void Bitmap::MaskToShift(std::uint32_t mask, std::int16_t* shift, std::int16_t* width)
{
    std::int16_t s = 32, w = 0;
    if (mask != 0) {
        s = 0;
        while (!(mask & (1u << s)))
            ++s;
        while (s + w < 32 && (mask & (1u << (s + w))))
            ++w;
    }
    if (shift)
        *shift = s;
    if (width)
        *width = w;
}

TextureRecord* Bitmap::FindByName(const char* name)
{
    if (!name)
        return nullptr;
    for (void* item : Library().namedTextures) {
        auto* candidate = static_cast<TextureRecord*>(item);
        if (strcasecmp(candidate->name, name) != 0)
            continue;
        if (candidate->References() > 0)
            return candidate;
        // Its image is gone (released at a shut-down); its bitmaps still free the record.
        candidate->Unregister();
        return nullptr;
    }
    return nullptr;
}

bool Bitmap::CopyFromBackBuffer(gpu::Surface* back)
{
    const gpu::Result result = gpu::LoadImage(Level0(), nullptr, gpu::ImageTarget::Of(back), nullptr, gpu::Filter::Point);
    back->Release();
    if (gpu::Failed(result)) {
        SetError("Error copying frontbuffer copy to final surface (%s)", gpu::ResultName(result));
        return false;
    }
    return true;
}

// ---- Effects ----

void Bitmap::AddEffect(const char* line)
{
    if (!line)
        return;
    EffectLine* stored = new EffectLine();
    stored->text = line;
    stored->hash = FirstWordHash(line);
    effectLines.AddHead(stored);
    RenderDevice* device = TheDevice();
    if (!device)
        return;
    Effect* effect = nullptr;
    if (device->CreateEffect(line, &effect)) {
        try {
            effect->Init(device, this, line, 0);
        } catch (...) {
            device->FreeEffect(&effect);
            throw;
        }
        effects.AddHead(effect);
    }
}

void Bitmap::RemoveEffect(const char* line)
{
    if (!line)
        return;
    std::string word;
    const std::uint32_t hash = FirstWordHash(line, &word);
    for (EffectLine* stored : effectLines) {
        if (stored->hash == hash) {
            effectLines.Remove(stored);
            delete stored;
            break;
        }
    }
    for (Effect* effect : effects) {
        if (word.size() <= 32 && std::strncmp(effect->name, word.c_str(), 32) == 0) {
            effects.Remove(effect);
            if (RenderDevice* device = TheDevice()) {
                effect->Release(device, 0);
                device->FreeEffect(&effect);
            }
            break;
        }
    }
}

bool Bitmap::HasEffect(const char* name, char* line)
{
    if (!name)
        return false;
    const std::uint32_t hash = PackFileHashName(name);
    for (EffectLine* stored : effectLines) {
        if (stored->hash == hash) {
            if (line)
                std::snprintf(line, 2048, "%s", stored->text.c_str());
            return true;
        }
    }
    return false;
}

Effect* Bitmap::FindEffect(const char* line)
{
    if (!line)
        return nullptr;
    const std::uint32_t hash = FirstWordHash(line);
    for (Effect* effect : effects)
        if (std::uint32_t(effect->nameHash) == hash)
            return effect;
    return nullptr;
}

void Bitmap::ApplyEffects(bool apply, D3DPrim* descriptor)
{
    RenderDevice* device = TheDevice();
    for (Effect* effect : effects) {
        if (apply)
            effect->Apply(device, descriptor);
        else
            effect->Restore(device, descriptor);
    }
}

void Bitmap::ReleaseEffects(int releaseArgument)
{
    RenderDevice* device = TheDevice();
    while (!effects.IsEmpty()) {
        Effect* effect = PtrListOf<Effect>::ItemOf(effects.GetHead());
        effects.Remove(effect);
        if (device) {
            effect->Release(device, releaseArgument);
            device->FreeEffect(&effect);
        }
    }
}
