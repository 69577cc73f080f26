#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/PtrList.h"
#include "platform/gpu/ImageCopy.h"
#include "renderer/Device.h"
#include "renderer/ErrorText.h"
#include "renderer/TextureRecord.h"

namespace platform::gpu {
class Surface;
}

// The library's image object: a texture, cube map, render target, plain surface, depth buffer or
// the back buffer, sharing its image with every bitmap of the same name.
class Bitmap final : public D3DBitmap {
public:
    explicit Bitmap(std::uint32_t flags);
    ~Bitmap() override;

    // A bitmap over a surface the device made (the back buffer), taking over one reference.
    static Bitmap* ForSurface(const char* name, platform::gpu::Surface* surface, bool readPitch);
    static Bitmap* ForDepthSurface(const char* name, platform::gpu::Surface* surface);

    TextureRecord* GetRecord() const { return record; }
    // Copies the back buffer (one reference taken over) into level 0, scaled to fit.
    bool CopyFromBackBuffer(platform::gpu::Surface* back);

    int Create(const char* name, int width, int height, int format, std::uint32_t flags) override;
    int Load(const char* path, int format, std::uint32_t flags) override;
    int CreateTwoStage(const char* name, D3DBitmap* source, int format, std::uint32_t flags) override;
    int Release() override;
    D3DBitmap* Clone() override;
    int Reformat(int format) override;
    int LoadTga(const char* path) override;
    int LoadDds(const char* path) override;
    int SaveTga(const char* path) override;
    int SaveBmp(const char* path) override;
    void CopyTo(int x, int y, D3DBitmap* destination) override;
    void CopyRect(const float sourceRect[4], const float destRect[4], D3DBitmap* destination) override;
    void* Lock(bool write) override;
    int Unlock() override;
    void* LockLevel(int level, std::int32_t* pitch, bool write) override;
    int UnlockLevel() override;
    void DrawLine(float x0, float y0, float x1, float y1, std::uint32_t value) override;
    int AddRefTexture() override;
    int ReleaseTexture() override;
    void Destroy() override;
    void SetFlags(std::uint32_t flags) override;
    void AddEffect(const char* line) override;
    void RemoveEffect(const char* line) override;
    bool HasEffect(const char* name, char* line) override;
    Effect* FindEffect(const char* line) override;
    void ApplyEffects(bool apply, D3DPrim* descriptor) override;
    const char* GetName() override;
    int GetWidth() override;
    int GetHeight() override;
    int GetBitsPerPixel() override;
    int GetBytesPerPixel() override;
    int GetPitch() override;
    int GetFormat() override;
    int GetLevelCount() override;
    std::uint32_t GetFlags() override;
    Device* GetDevice() override;
    const char* GetLastError() override;
    void SetError(const char* format, ...) override LUMORA_PRINTF(2, 3);
    void ReleaseEffects(int releaseArgument) override;
    int Unsupported(int argument) override;
    void MaskToShift(std::uint32_t mask, std::int16_t* shift, std::int16_t* width) override;
    TextureRecord* FindByName(const char* name) override;

private:
    struct EffectLine {
        std::string text;
        std::uint32_t hash = 0;
    };

    platform::gpu::ImageTarget Level0() const;
    TextureRecord* NewRecord(const char* name);
    void ShareRecord(TextureRecord* shared);
    // Drops this bitmap's references on its image; frees the record when none are left.
    void DropRecord();
    void ReadDescription();
    // The flags and name of a create; true when the name is shared and this bitmap now uses the
    // record of that name.
    bool JoinSharedRecord(const char*& name, std::uint32_t newFlags);
    // Reads an image file from the data folders or archives; false (with the error text) when
    // it cannot be read.
    bool ReadImageFile(const char* path, std::vector<std::uint8_t>& file);
    void RunScript();
    bool IsCube() const;
    // Builds the mip-mapped texture of a loaded surface (the texture route of Load).
    int BuildTextureFromSurface(const char* name, int format);
    int WriteTga(const char* path);
    int WriteBmp(const char* path);
    // Opens the file, encodes the locked top level into it and closes it: 1, or -1 with the
    // error text set.
    template <typename Encode>
    int WriteImageFile(const char* path, Encode encode);
    int SaveConverted(const char* path, std::uint32_t temporaryFlags, bool asBmp);

    PtrListOf<Effect> effects;
    TextureRecord* record = nullptr;
    std::uint32_t flags = 0;
    int lockedLevel = -1;
    ErrorText errorText;
    PtrListOf<EffectLine> effectLines;
};
