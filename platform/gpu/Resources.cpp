#include "platform/gpu/Resources.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include <epoxy/gl.h>

#include "engine/core/RenderTypes.h"
#include "platform/gpu/GlContext.h"
#include "platform/gpu/GraphicsDevice.h"
#include "platform/gpu/PixelFormat.h"

namespace platform::gpu {
namespace {

GLenum CompressedFormat(int format)
{
    switch (format) {
    case FormatDXT1: return GL_COMPRESSED_RGBA_S3TC_DXT1_EXT;
    case FormatDXT3: return GL_COMPRESSED_RGBA_S3TC_DXT3_EXT;
    case FormatDXT5: return GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
    default: return 0;
    }
}

bool Alive(std::uint32_t generation)
{
    return generation != 0 && generation == CurrentGlGeneration();
}

// Client format and type of plain uploads and read-backs. Storage in memory byte order takes the
// bytes as they are, which costs the driver no conversion; storage in channel order takes each
// 0xAARRGGBB as a whole.
void PixelTransfer(bool memoryOrder, GLenum& pixelFormat, GLenum& type)
{
    pixelFormat = memoryOrder ? GL_RGBA : GL_BGRA;
    type = memoryOrder ? GL_UNSIGNED_BYTE : GL_UNSIGNED_INT_8_8_8_8_REV;
}

} // namespace

int Resource::Release()
{
    const int left = --references;
    if (left <= 0)
        delete this;
    return std::max(left, 0);
}

// ---- Texture ----

Texture::Texture(int format, int width, int height, int levels, bool cube, std::uint32_t usage, Pool pool)
    : format(format), width(width), height(height), levelCount(levels), cube(cube), usage(usage), pool(pool)
{
    this->levels.resize(std::size_t(GetFaceCount() * levels));
    for (int face = 0; face < GetFaceCount(); ++face)
        for (int level = 0; level < levels; ++level) {
            Level& l = LevelAt(face, level);
            GetLevelSize(level, l.width, l.height);
            l.data.assign(LevelSize(format, l.width, l.height), 0);
            l.written = true;
        }
}

Texture::~Texture()
{
    if (glTexture != 0 && Alive(glGeneration))
        glDeleteTextures(1, &glTexture);
    if (spareTexture != 0 && Alive(glGeneration))
        glDeleteTextures(1, &spareTexture);

}

void Texture::GetLevelSize(int level, int& levelWidth, int& levelHeight) const
{
    levelWidth = std::max(1, width >> level);
    levelHeight = std::max(1, height >> level);
}

Result Texture::LockLevel(int face, int level, LockedRect& out, bool readOnly)
{
    if (face < 0 || face >= GetFaceCount() || level < 0 || level >= levelCount)
        return ErrorInvalidCall;
    if (gpuNewer && face == 0 && level == 0)
        ReadBack();
    Level& l = LevelAt(face, level);
    out.bits = l.data.data();
    out.pitch = std::int32_t(RowPitch(format, l.width));
    if (!readOnly)
        l.written = true;
    ++lockCount;
    return Ok;
}

Result Texture::UnlockLevel(int face, int level)
{
    if (face < 0 || face >= GetFaceCount() || level < 0 || level >= levelCount || lockCount == 0)
        return ErrorInvalidCall;
    --lockCount;
    return Ok;
}

void Texture::CreateGlTexture()
{
    if (glTexture != 0 && Alive(glGeneration))
        return;
    glTexture = 0;
    if (CurrentGlGeneration() == 0)
        return;
    glGeneration = CurrentGlGeneration();
    // Whatever was drawn went with the old context: the picture in memory is the newest.
    gpuNewer = false;
    spareTexture = 0;
    level0Uploads = 0;
    // A8R8G8B8 and X8R8G8B8 bytes in memory are blue, green, red, alpha: stored as they are, the
    // swizzle gives sampling the channels back. Only for images never drawn into, as drawing,
    // blits and raw copies work on the storage itself; cube maps are uploaded once and kept simple.
    memoryOrder = !channelOrder && !cube && (format == FormatA8R8G8B8 || format == FormatX8R8G8B8) &&
                  std::endian::native == std::endian::little;
    glTexture = MakeGlTexture();
    for (Level& l : levels)
        l.written = true;
}

std::uint32_t Texture::MakeGlTexture() const
{
    GLuint name = 0;
    glCreateTextures(cube ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D, 1, &name);
    const GLenum compressed = CompressedFormat(format);
    // Q8W8V8U8 holds signed normals that shaders read as -1..1.
    const GLenum plain = format == FormatQ8W8V8U8 ? GL_RGBA8_SNORM : GL_RGBA8;
    glTextureStorage2D(name, levelCount, compressed ? compressed : plain, width, height);
    glTextureParameteri(name, GL_TEXTURE_MAX_LEVEL, levelCount - 1);
    // X8R8G8B8 keeps its unused byte as it is and reads alpha as one, so its rows upload as they
    // are in memory.
    const GLint alpha = format == FormatX8R8G8B8 ? GL_ONE : GL_ALPHA;
    if (memoryOrder) {
        const GLint swizzle[4] = {GL_BLUE, GL_GREEN, GL_RED, alpha};
        glTextureParameteriv(name, GL_TEXTURE_SWIZZLE_RGBA, swizzle);
    } else if (alpha == GL_ONE) {
        glTextureParameteri(name, GL_TEXTURE_SWIZZLE_A, GL_ONE);
    }
    return name;
}

void Texture::Upload(int face, int level)
{
    Level& l = LevelAt(face, level);
    const GLenum compressed = CompressedFormat(format);
    // A one-level image written again and again (a movie frame) alternates between two OpenGL
    // textures: the upload goes into the one the draws still queued do not read, instead of
    // waiting for them.
    if (!cube && levelCount == 1 && ++level0Uploads > 1) {
        if (spareTexture == 0)
            spareTexture = MakeGlTexture();
        std::swap(glTexture, spareTexture);
        if (GraphicsDevice* device = GraphicsDevice::Current())
            device->ForgetTexture();
    }

    if (compressed) {
        if (cube)
            glCompressedTextureSubImage3D(glTexture, level, 0, 0, face, l.width, l.height, 1, compressed,
                                          GLsizei(l.data.size()), l.data.data());
        else
            glCompressedTextureSubImage2D(glTexture, level, 0, 0, l.width, l.height, compressed,
                                          GLsizei(l.data.size()), l.data.data());
    } else if (format == FormatQ8W8V8U8) {
        // U, V, W, Q in memory order are the signed red, green, blue and alpha.
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        if (cube)
            glTextureSubImage3D(glTexture, level, 0, 0, face, l.width, l.height, 1, GL_RGBA, GL_BYTE, l.data.data());
        else
            glTextureSubImage2D(glTexture, level, 0, 0, l.width, l.height, GL_RGBA, GL_BYTE, l.data.data());
    } else {
        // A8R8G8B8 and X8R8G8B8 rows in memory are already what OpenGL reads; the others are
        // decoded.
        std::vector<std::uint32_t> decoded;
        const void* pixels = l.data.data();
        if (format != FormatA8R8G8B8 && format != FormatX8R8G8B8) {
            decoded.resize(std::size_t(l.width) * l.height);
            DecodeImage(format, l.data.data(), RowPitch(format, l.width), l.width, l.height, decoded.data());
            pixels = decoded.data();
        }
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        GLenum pixelFormat = 0, type = 0;
        PixelTransfer(memoryOrder, pixelFormat, type);
        if (cube)
            glTextureSubImage3D(glTexture, level, 0, 0, face, l.width, l.height, 1, pixelFormat, type, pixels);
        else
            glTextureSubImage2D(glTexture, level, 0, 0, l.width, l.height, pixelFormat, type, pixels);
    }
    l.written = false;
}

void Texture::ReadBack()
{
    gpuNewer = false;
    if (glTexture == 0 || !Alive(glGeneration))
        return;
    Level& l = LevelAt(0, 0);
    std::vector<std::uint32_t> pixels(std::size_t(l.width) * l.height);
    // Rendering may still be running on the rasteriser's threads.
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    GLenum pixelFormat = 0, type = 0;
    PixelTransfer(memoryOrder, pixelFormat, type);
    glGetTextureImage(glTexture, 0, pixelFormat, type, GLsizei(pixels.size() * 4), pixels.data());
    EncodeImage(format, pixels.data(), l.width, l.height, l.data.data(), RowPitch(format, l.width));
    l.written = false;
}

std::uint32_t Texture::PrepareForSampling()
{
    CreateGlTexture();
    if (glTexture == 0)
        return 0;
    for (int face = 0; face < GetFaceCount(); ++face)
        for (int level = 0; level < levelCount; ++level)
            if (LevelAt(face, level).written && !(gpuNewer && face == 0 && level == 0))
                Upload(face, level);
    return glTexture;
}

bool Texture::HasPendingWrites() const
{
    if (glTexture == 0 || !Alive(glGeneration))
        return true;
    for (std::size_t i = 0; i < levels.size(); ++i)
        if (levels[i].written && !(gpuNewer && i == 0)) // level 0 of face 0 drawn into stays as drawn
            return true;
    return false;
}

bool Texture::IsReadyForRendering() const
{
    return gpuNewer && glTexture != 0 && Alive(glGeneration) && !levels[0].written;
}

std::uint32_t Texture::PrepareForRendering()
{
    if (!channelOrder) {
        // Drawing writes channels in their order: a texture stored in memory byte order is made
        // anew from the copy in memory, which is the newest as nothing was drawn into it yet.
        channelOrder = true;
        if (memoryOrder && glTexture != 0 && Alive(glGeneration)) {
            glDeleteTextures(1, &glTexture);
            if (spareTexture != 0)
                glDeleteTextures(1, &spareTexture);
            glTexture = spareTexture = 0;
            if (GraphicsDevice* device = GraphicsDevice::Current())
                device->ForgetTexture();
        }
    }
    if (!IsReadyForRendering())
        PrepareForSampling();
    gpuNewer = glTexture != 0;
    return glTexture;
}

bool Texture::CopyOnGpu(Texture* destination, int x, int y, Texture* source, int sourceFace, int sourceLevel,
                        const Rect& sourceRect)
{
    if (!destination || !source || destination == source || destination->cube || !destination->IsReadyForRendering() ||
        destination->format != source->format || CompressedFormat(source->format) != 0 || sourceFace < 0 ||
        sourceFace >= source->GetFaceCount() || sourceLevel < 0 || sourceLevel >= source->levelCount)
        return false;
    int sourceWidth = 0, sourceHeight = 0;
    source->GetLevelSize(sourceLevel, sourceWidth, sourceHeight);
    const int width = sourceRect.Width(), height = sourceRect.Height();
    if (width <= 0 || height <= 0 || sourceRect.left < 0 || sourceRect.top < 0 || sourceRect.right > sourceWidth ||
        sourceRect.bottom > sourceHeight || x < 0 || y < 0 || x + width > destination->width ||
        y + height > destination->height)
        return false;
    source->CreateGlTexture();
    if (source->glTexture == 0)
        return false;
    // Raw copies between storage in memory byte order and in channel order would swap red and blue.
    if (source->memoryOrder != destination->memoryOrder)
        return false;
    if (source->LevelAt(sourceFace, sourceLevel).written && !(source->gpuNewer && sourceFace == 0 && sourceLevel == 0))
        source->Upload(sourceFace, sourceLevel);
    // Both keep their rows in memory order on the GPU, so the rectangle lands where a copy in
    // memory would put it.
    glCopyImageSubData(source->glTexture, source->cube ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D, sourceLevel,
                       sourceRect.left, sourceRect.top, source->cube ? sourceFace : 0, destination->glTexture,
                       GL_TEXTURE_2D, 0, x, y, 0, width, height, 1);
    return true;
}

// ---- Surface ----

Surface::Surface(SurfaceKind kind, int format, int depthFormat, int width, int height, Pool pool,
                 int multisampleQuality)
    : kind(kind), format(format), depthFormat(depthFormat), width(width), height(height), pool(pool),
      multisampleQuality(multisampleQuality)
{
    if (kind == SurfaceKind::Plain)
        data.assign(LevelSize(format, width, height), 0);
    else if (kind == SurfaceKind::RenderTarget || kind == SurfaceKind::BackBuffer) {
        colorTexture = new Texture(format, width, height, 1, false, UsageRenderTarget, Pool::Default);
        // The back buffer is blitted to and from. A render target filled from memory (a movie
        // frame) keeps the cheaper upload until it is first drawn into.
        colorTexture->channelOrder = kind == SurfaceKind::BackBuffer;
    }
}

Surface::~Surface()
{
    if (colorTexture)
        colorTexture->Release();
    if (glRenderbuffer != 0 && Alive(glGeneration))
        glDeleteRenderbuffers(1, &glRenderbuffer);
}

Result Surface::Lock(LockedRect& out, bool readOnly)
{
    if (kind == SurfaceKind::DepthStencil)
        return ErrorInvalidCall;
    // A multisampled back buffer is drawn elsewhere; its colour texture catches up first.
    if (kind == SurfaceKind::BackBuffer && GetSamples() > 0)
        if (GraphicsDevice* device = GraphicsDevice::Current())
            device->Resolve();
    if (colorTexture)
        return colorTexture->LockLevel(0, 0, out, readOnly);
    out.bits = data.data();
    out.pitch = std::int32_t(RowPitch(format, width));
    return Ok;
}

Result Surface::Unlock()
{
    if (kind == SurfaceKind::DepthStencil)
        return ErrorInvalidCall;
    if (colorTexture)
        return colorTexture->UnlockLevel(0, 0);
    return Ok;
}

int Surface::GetSamples() const
{
    const GraphicsDevice* device = GraphicsDevice::Current();
    return SamplesForQuality(multisampleQuality, device ? device->GetCapabilities().maxSamples : 0);
}

std::uint32_t Surface::GetGlRenderbuffer()
{
    const bool multisampledColor = kind == SurfaceKind::BackBuffer && GetSamples() > 0;
    if (kind != SurfaceKind::DepthStencil && !multisampledColor)
        return 0;
    if (glRenderbuffer != 0 && Alive(glGeneration))
        return glRenderbuffer;
    glRenderbuffer = 0;
    if (CurrentGlGeneration() == 0)
        return 0;
    glGeneration = CurrentGlGeneration();
    glCreateRenderbuffers(1, &glRenderbuffer);
    const GLenum internal = multisampledColor ? GL_RGBA8
                                              : (depthFormat == DepthD32 ? GL_DEPTH32F_STENCIL8 : GL_DEPTH24_STENCIL8);
    const int samples = GetSamples();
    if (samples > 0)
        glNamedRenderbufferStorageMultisample(glRenderbuffer, samples, internal, width, height);
    else
        glNamedRenderbufferStorage(glRenderbuffer, internal, width, height);
    return glRenderbuffer;
}

// ---- Buffer ----

Buffer::Buffer(BufferKind kind, std::size_t size) : kind(kind), data(size, 0), dirtyEnd(size) {}

namespace {

// Vertex arrays of the current device may point into a buffer being deleted.
void DeleteGlBuffer(std::uint32_t name)
{
    glDeleteBuffers(1, &name);
    if (GraphicsDevice* device = GraphicsDevice::Current())
        device->ForgetBuffer();
}

} // namespace

void BufferPage::Leave(BufferPage*& page)
{
    if (--page->live <= 0 && !page->open) {
        if (page->glBuffer != 0 && Alive(page->glGeneration))
            DeleteGlBuffer(page->glBuffer); // unmapped with it
        delete page;
    }
    page = nullptr;
}

void BufferPage::Close(BufferPage*& page)
{
    page->open = false;
    ++page->live; // this reference, dropped at once
    Leave(page);
}

Buffer::~Buffer()
{
    if (page)
        BufferPage::Leave(page);
    else if (glBuffer != 0 && Alive(glGeneration))
        DeleteGlBuffer(glBuffer);
}

Result Buffer::Lock(std::size_t offset, std::size_t size, void** out)
{
    if (size == 0 && offset == 0)
        size = data.size();
    if (offset > data.size() || size > data.size() - offset) {
        *out = nullptr;
        return ErrorInvalidCall;
    }
    *out = data.data() + offset;
    // Only what was locked since the last upload goes up again.
    dirtyBegin = written ? std::min(dirtyBegin, offset) : offset;
    dirtyEnd = written ? std::max(dirtyEnd, offset + size) : offset + size;
    written = true;
    return Ok;
}

Result Buffer::Unlock()
{
    return Ok;
}

std::uint32_t Buffer::PrepareForDrawing()
{
    if (page && (!Alive(glGeneration) || (written && uploads > 0))) {
        BufferPage::Leave(page);
        glBuffer = 0;
        glOffset = 0;
    }
    if (glBuffer == 0 || !Alive(glGeneration)) {
        glBuffer = 0;
        if (CurrentGlGeneration() == 0)
            return 0;
        glGeneration = CurrentGlGeneration();
        glCreateBuffers(1, &glBuffer);
        glNamedBufferData(glBuffer, GLsizeiptr(data.size()), nullptr, GL_DYNAMIC_DRAW);
        written = true;
        dirtyBegin = 0;
        dirtyEnd = data.size();
    }
    if (written) {
        const std::size_t offset = glOffset + dirtyBegin, bytes = dirtyEnd - dirtyBegin;
        if (page && page->mapping)
            std::memcpy(page->mapping + offset, data.data() + dirtyBegin, bytes);
        else if (bytes > 0)
            glNamedBufferSubData(glBuffer, GLintptr(offset), GLsizeiptr(bytes), data.data() + dirtyBegin);
        written = false;
        ++uploads;
    }
    return glBuffer;
}

} // namespace platform::gpu
