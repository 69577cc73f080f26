#pragma once

// A texture in memory for the movie player's tests: the pixels, guard bytes after them, and the
// formats the player reads.

#include <cstdint>
#include <vector>

#include "renderer/Device.h"

class FakeBitmap : public D3DBitmap {
public:
    static constexpr std::uint8_t Guard = 0xCD;

    FakeBitmap(int width, int height, int format) : width(width), height(height), format(format)
    {
        bits = format == FormatA8R8G8B8 || format == FormatX8R8G8B8 ? 32 : format == FormatR8G8B8 ? 24 : 16;
        pitch = width * bits / 8;
        pixels.assign(static_cast<std::size_t>(pitch * height) + 64, Guard);
    }

    bool GuardIntact() const
    {
        for (std::size_t i = static_cast<std::size_t>(pitch * height); i < pixels.size(); ++i)
            if (pixels[i] != Guard)
                return false;
        return true;
    }
    std::uint32_t Pixel32(int x, int y) const
    {
        const std::uint8_t* p = pixels.data() + y * pitch + x * 4;
        return static_cast<std::uint32_t>(p[0] | p[1] << 8 | p[2] << 16 | p[3] << 24);
    }
    std::uint16_t Pixel16(int x, int y) const
    {
        const std::uint8_t* p = pixels.data() + y * pitch + x * 2;
        return static_cast<std::uint16_t>(p[0] | p[1] << 8);
    }

    int Create(const char*, int, int, int, std::uint32_t) override { return 0; }
    int Load(const char*, int, std::uint32_t) override { return -1; }
    int CreateTwoStage(const char*, D3DBitmap*, int, std::uint32_t) override { return -1; }
    int Release() override { return 0; }
    D3DBitmap* Clone() override { return nullptr; }
    int Reformat(int) override { return -1; }
    int LoadTga(const char*) override { return -1; }
    int LoadDds(const char*) override { return -1; }
    int SaveTga(const char*) override { return -1; }
    int SaveBmp(const char*) override { return -1; }
    void CopyTo(int, int, D3DBitmap*) override {}
    void CopyRect(const float*, const float*, D3DBitmap*) override {}
    void* Lock(bool) override
    {
        ++locks;
        return pixels.data();
    }
    int Unlock() override
    {
        ++unlocks;
        return 0;
    }
    void* LockLevel(int, std::int32_t* p, bool) override
    {
        if (p)
            *p = pitch;
        return pixels.data();
    }
    int UnlockLevel() override { return 0; }
    void DrawLine(float, float, float, float, std::uint32_t) override {}
    int AddRefTexture() override { return 1; }
    int ReleaseTexture() override { return 0; }
    void Destroy() override {}
    void SetFlags(std::uint32_t) override {}
    void AddEffect(const char*) override {}
    void RemoveEffect(const char*) override {}
    bool HasEffect(const char*, char*) override { return false; }
    Effect* FindEffect(const char*) override { return nullptr; }
    void ApplyEffects(bool, D3DPrim*) override {}
    const char* GetName() override { return "AVI Frame"; }
    int GetWidth() override { return width; }
    int GetHeight() override { return height; }
    int GetBitsPerPixel() override { return bits; }
    int GetBytesPerPixel() override { return bits / 8; }
    int GetPitch() override { return pitch; }
    int GetFormat() override { return format; }
    int GetLevelCount() override { return 1; }
    std::uint32_t GetFlags() override { return 0; }
    Device* GetDevice() override { return nullptr; }
    const char* GetLastError() override { return ""; }
    void SetError(const char*, ...) override {}
    void ReleaseEffects(int) override {}
    int Unsupported(int) override { return -1; }
    void MaskToShift(std::uint32_t, std::int16_t*, std::int16_t*) override {}
    TextureRecord* FindByName(const char*) override { return nullptr; }

    int width, height, format, bits, pitch;
    int locks = 0, unlocks = 0;
    std::vector<std::uint8_t> pixels;
};
