#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gpu/GpuTypes.h"

// Reference-counted graphics resources: textures (mip chains, cube maps, render targets),
// surfaces (plain images, render targets, depth-stencil buffers, the back buffer) and vertex and
// index buffers. Every lockable image keeps a copy in its own format in memory, so locks, pitches
// and format codes behave the same on every driver; the copy is mirrored to OpenGL when it is
// used after a write. Images that are drawn into are read back when locked.
namespace platform::gpu {

class GraphicsDevice;

class Resource {
public:
    Resource() = default;
    Resource(const Resource&) = delete;
    Resource& operator=(const Resource&) = delete;

    int AddRef() { return ++references; }
    // Drops one reference and deletes the object at none; returns the references left.
    int Release();
    int GetReferenceCount() const { return references; }

protected:
    virtual ~Resource() = default;

private:
    int references = 1;
};

// Points slot at value, holding a reference on value and dropping the one on what slot held.
template <class T>
void Hold(T*& slot, T* value)
{
    if (value)
        value->AddRef();
    if (slot)
        slot->Release();
    slot = value;
}

class Texture final : public Resource {
public:
    int GetFormat() const { return format; }
    int GetWidth() const { return width; }
    int GetHeight() const { return height; }
    int GetLevelCount() const { return levelCount; }
    int GetFaceCount() const { return cube ? 6 : 1; }
    bool IsCube() const { return cube; }
    Pool GetPool() const { return pool; }
    std::uint32_t GetUsage() const { return usage; }
    void GetLevelSize(int level, int& levelWidth, int& levelHeight) const;

    // Faces 0-5 of a cube map (+x, -x, +y, -y, +z, -z); face 0 otherwise.
    Result LockLevel(int face, int level, LockedRect& out, bool readOnly);
    Result UnlockLevel(int face, int level);

    // For drawing: the OpenGL texture with every written level uploaded.
    std::uint32_t PrepareForSampling();
    // Whether a level was written since the last upload (or no OpenGL texture exists yet).
    bool HasPendingWrites() const;
    // For drawing into level 0 of face 0: uploads a pending write, returns the OpenGL texture and
    // notes that the picture is now newer on the GPU. Called before every draw or clear into it,
    // so it costs a few tests when nothing was written.
    std::uint32_t PrepareForRendering();
    // Whether level 0 of face 0 is ready to be drawn into as it is: its OpenGL texture exists, no
    // write from memory is pending and the GPU holds the newest picture.
    bool IsReadyForRendering() const;
    // Copies the source rectangle of one texture level into another at (x, y) on the GPU, without
    // going through memory. Only when it saves a read-back: the destination is level 0 of face 0,
    // its newest picture is on the GPU, both have the same uncompressed format and are different
    // textures, and both store their channels in the same order. False when the copy has to be made
    // otherwise.
    static bool CopyOnGpu(Texture* destination, int x, int y, Texture* source, int sourceFace, int sourceLevel,
                          const Rect& sourceRect);

private:
    friend class GraphicsDevice;
    friend class Surface;
    Texture(int format, int width, int height, int levels, bool cube, std::uint32_t usage, Pool pool);
    ~Texture() override;

    struct Level {
        int width = 0;
        int height = 0;
        std::vector<std::uint8_t> data;
        bool written = false;
    };
    Level& LevelAt(int face, int level) { return levels[std::size_t(face * levelCount + level)]; }
    void CreateGlTexture();
    std::uint32_t MakeGlTexture() const;
    void Upload(int face, int level);
    void ReadBack();

    int format;
    int width;
    int height;
    int levelCount;
    bool cube;
    std::uint32_t usage;
    Pool pool;
    std::vector<Level> levels;
    std::uint32_t glTexture = 0;
    std::uint32_t spareTexture = 0; // the other of two, for images uploaded again and again
    int level0Uploads = 0;
    std::uint32_t glGeneration = 0;
    bool gpuNewer = false;
    int lockCount = 0;
    // The OpenGL textures hold the bytes of the picture in memory as they are (red holding blue),
    // set right by their swizzle when sampled.
    bool memoryOrder = false;
    // Stored in channel order from now on: drawn into, or a surface's colour that is blitted.
    bool channelOrder = false;
};

enum class SurfaceKind { Plain, RenderTarget, DepthStencil, BackBuffer };

class Surface final : public Resource {
public:
    SurfaceKind GetKind() const { return kind; }
    int GetFormat() const { return format; }           // texture format code; 0 for depth
    int GetDepthFormat() const { return depthFormat; } // DepthFormat for depth-stencil surfaces
    int GetWidth() const { return width; }
    int GetHeight() const { return height; }
    Pool GetPool() const { return pool; }
    int GetMultisampleQuality() const { return multisampleQuality; }

    // Depth-stencil surfaces cannot be locked.
    Result Lock(LockedRect& out, bool readOnly);
    Result Unlock();

    // The colour texture behind a render target or the back buffer, null otherwise.
    Texture* GetColorTexture() const { return colorTexture; }
    // Depth-stencil surfaces: their buffer. A multisampled back buffer: the buffer drawn into,
    // resolved into the colour texture when presented.
    std::uint32_t GetGlRenderbuffer();
    int GetSamples() const;

private:
    friend class GraphicsDevice;
    Surface(SurfaceKind kind, int format, int depthFormat, int width, int height, Pool pool, int multisampleQuality);
    ~Surface() override;

    SurfaceKind kind;
    int format;
    int depthFormat;
    int width;
    int height;
    Pool pool;
    int multisampleQuality;
    std::vector<std::uint8_t> data; // plain surfaces
    Texture* colorTexture = nullptr; // render targets and the back buffer
    std::uint32_t glRenderbuffer = 0;
    std::uint32_t glGeneration = 0;
};

enum class BufferKind { Vertex, Index16, Index32 };

// One large OpenGL buffer holding the data of many small buffers one after another, so that
// drawing them in turn binds one buffer and reads neighbouring memory. It is freed with the last
// buffer placed in it once it takes no more.
struct BufferPage {
    std::uint32_t glBuffer = 0;
    std::uint32_t glGeneration = 0;
    std::size_t size = 0;
    std::size_t used = 0;
    std::uint8_t* mapping = nullptr; // the whole buffer, mapped for writing while it lives
    int live = 0;     // buffers placed in it and not yet freed or moved out
    bool open = true; // still taking new buffers
    // Drops one buffer; frees the page when it was the last of a page that takes no more.
    static void Leave(BufferPage*& page);
    // Takes no more buffers; freed now when it holds none, else with the last of them.
    static void Close(BufferPage*& page);
};

class Buffer final : public Resource {
public:
    BufferKind GetKind() const { return kind; }
    std::size_t GetSize() const { return data.size(); }
    // Offset and size 0 lock the whole buffer.
    Result Lock(std::size_t offset, std::size_t size, void** out);
    Result Unlock();
    const std::uint8_t* GetData() const { return data.data(); }
    // For drawing: the OpenGL buffer holding the latest data, which starts GetGlOffset() bytes in.
    std::uint32_t PrepareForDrawing();
    std::size_t GetGlOffset() const { return glOffset; }

private:
    friend class GraphicsDevice;
    Buffer(BufferKind kind, std::size_t size);
    ~Buffer() override;

    BufferKind kind;
    std::vector<std::uint8_t> data;
    bool written = true;
    // The bytes locked since the last upload (all of them until the first).
    std::size_t dirtyBegin = 0, dirtyEnd = 0;
    std::uint32_t glBuffer = 0;
    std::uint32_t glGeneration = 0;
    // A small buffer lives in a page until it is written again after its first upload; then it
    // gets an OpenGL buffer of its own, so that rewriting it never waits on other draws.
    BufferPage* page = nullptr;
    std::size_t glOffset = 0;
    int uploads = 0;
};

} // namespace platform::gpu
