#include "platform/gpu/GraphicsDevice.h"

#include <algorithm>
#include <cstring>

#include <SDL2/SDL.h>
#include <epoxy/gl.h>
#include <sys/sysinfo.h>

#include "engine/core/RenderTypes.h"
#include "platform/gpu/DrawState.h"
#include "platform/gpu/GlContext.h"
#include "platform/gpu/PixelFormat.h"
#include "platform/os/Window.h"

namespace platform::gpu {
namespace {

GraphicsDevice* currentDevice = nullptr;
std::uint32_t currentGeneration = 0;
std::uint32_t lastGeneration = 0;

const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

} // namespace

std::uint32_t CurrentGlGeneration()
{
    return currentGeneration;
}

GraphicsDevice* GraphicsDevice::Current()
{
    return currentDevice;
}

std::unique_ptr<GraphicsDevice> GraphicsDevice::Create(const PresentParameters& parameters, std::string* error)
{
    auto fail = [&](const char* what) -> std::unique_ptr<GraphicsDevice> {
        if (error)
            *error = std::string(what) + ": " + SDL_GetError();
        return nullptr;
    };
    if (!parameters.window || !parameters.window->GetSdlWindow())
        return fail("no window");
    if (currentDevice)
        return fail("a graphics device exists already");
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 5);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GLContext context = SDL_GL_CreateContext(parameters.window->GetSdlWindow());
    if (!context)
        return fail("cannot create an OpenGL 4.5 context");
    if (epoxy_gl_version() < 45) {
        SDL_GL_DeleteContext(context);
        return fail("OpenGL 4.5 is not available");
    }
    std::unique_ptr<GraphicsDevice> device(new GraphicsDevice());
    device->context = context;
    device->parameters = parameters;
    device->generation = currentGeneration = ++lastGeneration;
    currentDevice = device.get();
    SDL_GL_SetSwapInterval(0);

    // Direct3D's conventions: depth 0..1 and the top row of every image first in memory.
    glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
    glCreateFramebuffers(1, &device->drawFramebuffer);
    glCreateFramebuffers(1, &device->readFramebuffer);

    GLint maxLights = 8;
    glGetIntegerv(GL_MAX_LIGHTS, &maxLights);
    device->capabilities.maxActiveLights = std::min(maxLights, kMaxLights);
    GLint maxSamples = 0;
    glGetIntegerv(GL_MAX_SAMPLES, &maxSamples);
    device->capabilities.maxSamples = std::min(maxSamples, 16);
    GLint maxSize = 8192;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    device->capabilities.maxTextureWidth = device->capabilities.maxTextureHeight = maxSize;
    // Mesa's software rasterisers can spend seconds, even minutes, on one anisotropically filtered
    // draw at some views (the water's ripple map seen from the lake's surface); there a wish for
    // anisotropic filtering falls back to linear, as on hardware without it.
    const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    if (renderer && (std::strstr(renderer, "llvmpipe") || std::strstr(renderer, "softpipe")))
        device->capabilities.minAnisotropic = device->capabilities.magAnisotropic = false;
    for (auto& t : device->transforms)
        std::copy(kIdentity, kIdentity + 16, t.begin());
    for (int i = 0; i < 256; ++i) {
        device->gammaRamp[i] = device->gammaRamp[256 + i] = device->gammaRamp[512 + i] = std::uint16_t(i * 257);
    }
    if (Failed(device->MakeBuffers()))
        return fail("cannot make the back buffer");
    device->InitialiseDrawing();
    return device;
}

GraphicsDevice::~GraphicsDevice()
{
    ReleaseDrawing();
    ReleaseBuffers();
    if (targetSurface)
        targetSurface->Release();
    if (targetTexture)
        targetTexture->Release();
    if (targetDepth)
        targetDepth->Release();
    glDeleteFramebuffers(1, &drawFramebuffer);
    glDeleteFramebuffers(1, &readFramebuffer);
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context));
    currentGeneration = 0;
    currentDevice = nullptr;
}

Result GraphicsDevice::MakeBuffers()
{
    const int width = std::max(1, parameters.backBufferWidth);
    const int height = std::max(1, parameters.backBufferHeight);
    backBuffer = new Surface(SurfaceKind::BackBuffer, parameters.backBufferFormat, 0, width, height, Pool::Default,
                             parameters.multisampleQuality);
    depthStencil = new Surface(SurfaceKind::DepthStencil, 0, parameters.depthStencilFormat, width, height,
                               Pool::Default, parameters.multisampleQuality);
    Hold(targetTexture, static_cast<Texture*>(nullptr));
    Hold(targetSurface, backBuffer);
    Hold(targetDepth, depthStencil);
    viewport = Viewport{0, 0, width, height, 0.0f, 1.0f};
    BindTarget();
    return Ok;
}

void GraphicsDevice::ReleaseBuffers()
{
    if (backBuffer)
        backBuffer->Release();
    if (depthStencil)
        depthStencil->Release();
    backBuffer = depthStencil = nullptr;
}

Result GraphicsDevice::Reset(const PresentParameters& newParameters)
{
    if (!newParameters.window || !newParameters.window->GetSdlWindow())
        return ErrorInvalidCall;
    if (newParameters.window != parameters.window &&
        SDL_GL_MakeCurrent(newParameters.window->GetSdlWindow(), static_cast<SDL_GLContext>(context)) != 0)
        return ErrorInvalidCall;
    ReleaseBuffers();
    parameters = newParameters;
    return MakeBuffers();
}

void GraphicsDevice::BindTarget()
{
    const bool multisampled = !targetTexture && targetSurface && targetSurface->GetSamples() > 0;
    targetMultisampled = multisampled;
    if (multisampled) {
        glNamedFramebufferTexture(drawFramebuffer, GL_COLOR_ATTACHMENT0, 0, 0);
        glNamedFramebufferRenderbuffer(drawFramebuffer, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                       targetSurface->GetGlRenderbuffer());
    } else {
        Texture* color = targetTexture ? targetTexture : (targetSurface ? targetSurface->GetColorTexture() : nullptr);
        glNamedFramebufferTexture(drawFramebuffer, GL_COLOR_ATTACHMENT0, color ? color->PrepareForRendering() : 0, 0);
    }
    // A depth buffer must match the target's sampling; a mismatched one is left off.
    const bool depthMatches = targetDepth && (targetDepth->GetSamples() > 0) == multisampled;
    const GLuint depthName = depthMatches ? targetDepth->GetGlRenderbuffer() : 0;
    glNamedFramebufferRenderbuffer(drawFramebuffer, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depthName);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, drawFramebuffer);
    glViewport(viewport.x, viewport.y, viewport.width, viewport.height);
    glDepthRangef(viewport.minZ, viewport.maxZ);
    if (draw)
        draw->transformsDirty = true;
}

void GraphicsDevice::PrepareTarget()
{
    if (targetMultisampled) {
        if (!targetSurface->GetColorTexture()->IsReadyForRendering())
            PushToMultisampled();
        resolvePending = true;
        return;
    }
    Texture* color = targetTexture ? targetTexture : (targetSurface ? targetSurface->GetColorTexture() : nullptr);
    // Uploading may make the texture anew, so it is attached again.
    if (color && !color->IsReadyForRendering())
        BindTarget();
}

void GraphicsDevice::PushToMultisampled()
{
    Texture* color = backBuffer->GetColorTexture();
    glNamedFramebufferTexture(readFramebuffer, GL_COLOR_ATTACHMENT0, color->PrepareForRendering(), 0);
    GLuint destination = 0;
    glCreateFramebuffers(1, &destination);
    glNamedFramebufferRenderbuffer(destination, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, backBuffer->GetGlRenderbuffer());
    glBlitNamedFramebuffer(readFramebuffer, destination, 0, 0, color->GetWidth(), color->GetHeight(), 0, 0,
                           color->GetWidth(), color->GetHeight(), GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glDeleteFramebuffers(1, &destination);
}

void GraphicsDevice::Resolve()
{
    if (!backBuffer || backBuffer->GetSamples() == 0)
        return;
    Texture* color = backBuffer->GetColorTexture();
    if (!color->IsReadyForRendering()) {
        // Written from memory after the last resolve (which a lock makes first), so the texture
        // holds everything; the buffer drawn into takes it over.
        PushToMultisampled();
        resolvePending = false;
        return;
    }
    if (!resolvePending)
        return;
    resolvePending = false;
    const GLuint resolveFramebuffer = readFramebuffer;
    glNamedFramebufferTexture(resolveFramebuffer, GL_COLOR_ATTACHMENT0, color->PrepareForRendering(), 0);
    GLuint source = 0;
    glCreateFramebuffers(1, &source);
    glNamedFramebufferRenderbuffer(source, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, backBuffer->GetGlRenderbuffer());
    glBlitNamedFramebuffer(source, resolveFramebuffer, 0, 0, color->GetWidth(), color->GetHeight(), 0, 0,
                           color->GetWidth(), color->GetHeight(), GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glDeleteFramebuffers(1, &source);
}

Result GraphicsDevice::BeginScene()
{
    if (inScene)
        return ErrorInvalidCall;
    inScene = true;
    BindTarget();
    return Ok;
}

Result GraphicsDevice::EndScene()
{
    if (!inScene)
        return ErrorInvalidCall;
    inScene = false;
    return Ok;
}

Result GraphicsDevice::Present()
{
    Resolve();
    Texture* color = backBuffer->GetColorTexture();
    const GLuint name = color->PrepareForSampling();
    glNamedFramebufferTexture(readFramebuffer, GL_COLOR_ATTACHMENT0, name, 0);
    int windowWidth = 0, windowHeight = 0;
    SDL_GL_GetDrawableSize(parameters.window->GetSdlWindow(), &windowWidth, &windowHeight);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    // The back buffer holds its top row first; the window's first row is its bottom.
    const bool sameSize = windowWidth == color->GetWidth() && windowHeight == color->GetHeight();
    glBlitNamedFramebuffer(readFramebuffer, 0, 0, 0, color->GetWidth(), color->GetHeight(), 0, windowHeight,
                           windowWidth, 0, GL_COLOR_BUFFER_BIT, sameSize ? GL_NEAREST : GL_LINEAR);
    SDL_GL_SwapWindow(parameters.window->GetSdlWindow());
    BindTarget();
    return Ok;
}

Result GraphicsDevice::Clear(const Rect* rect, bool target, bool depth, bool stencil, std::uint32_t color, float z,
                             std::uint32_t stencilValue)
{
    BindTarget();
    PrepareTarget();
    GLbitfield mask = 0;
    if (target) {
        mask |= GL_COLOR_BUFFER_BIT;
        glClearColor(float((color >> 16) & 0xFF) / 255.0f, float((color >> 8) & 0xFF) / 255.0f,
                     float(color & 0xFF) / 255.0f, float(color >> 24) / 255.0f);
    }
    if (depth && targetDepth) {
        mask |= GL_DEPTH_BUFFER_BIT;
        glClearDepth(z);
    }
    if (stencil && targetDepth) {
        mask |= GL_STENCIL_BUFFER_BIT;
        glClearStencil(GLint(stencilValue));
    }
    GLboolean colorMask[4], depthMask;
    GLint stencilMask;
    glGetBooleanv(GL_COLOR_WRITEMASK, colorMask);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
    glGetIntegerv(GL_STENCIL_WRITEMASK, &stencilMask);
    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glStencilMask(0xFF);
    if (rect) {
        glEnable(GL_SCISSOR_TEST);
        glScissor(rect->left, rect->top, std::max(0, rect->Width()), std::max(0, rect->Height()));
    } else {
        glDisable(GL_SCISSOR_TEST);
    }
    if (mask)
        glClear(mask);
    glColorMask(colorMask[0], colorMask[1], colorMask[2], colorMask[3]);
    glDepthMask(depthMask);
    glStencilMask(GLuint(stencilMask));
    if (scissor)
        glEnable(GL_SCISSOR_TEST);
    else
        glDisable(GL_SCISSOR_TEST);
    return Ok;
}

Surface* GraphicsDevice::GetBackBuffer()
{
    backBuffer->AddRef();
    return backBuffer;
}

Surface* GraphicsDevice::GetDepthStencilSurface()
{
    depthStencil->AddRef();
    return depthStencil;
}

Result GraphicsDevice::SetRenderTarget(Surface* surface, Texture* texture)
{
    if (!surface && !texture)
        return ErrorInvalidCall;
    if (surface && !surface->GetColorTexture())
        return ErrorInvalidCall;
    if (texture && !(texture->GetUsage() & UsageRenderTarget))
        return ErrorInvalidCall;
    Hold(targetSurface, surface);
    Hold(targetTexture, texture);
    int width = 0, height = 0;
    GetRenderTargetSize(width, height);
    viewport = Viewport{0, 0, width, height, 0.0f, 1.0f};
    BindTarget();
    return Ok;
}

Result GraphicsDevice::SetDepthStencilSurface(Surface* surface)
{
    if (surface && surface->GetKind() != SurfaceKind::DepthStencil)
        return ErrorInvalidCall;
    Hold(targetDepth, surface);
    BindTarget();
    return Ok;
}

void GraphicsDevice::GetRenderTargetSize(int& width, int& height) const
{
    if (targetTexture) {
        width = targetTexture->GetWidth();
        height = targetTexture->GetHeight();
    } else if (targetSurface) {
        width = targetSurface->GetWidth();
        height = targetSurface->GetHeight();
    } else {
        width = height = 0;
    }
}

Result GraphicsDevice::SetViewport(const Viewport& newViewport)
{
    int width = 0, height = 0;
    GetRenderTargetSize(width, height);
    if (newViewport.x < 0 || newViewport.y < 0 || newViewport.width <= 0 || newViewport.height <= 0 ||
        newViewport.x + newViewport.width > width || newViewport.y + newViewport.height > height)
        return ErrorInvalidCall;
    viewport = newViewport;
    glViewport(viewport.x, viewport.y, viewport.width, viewport.height);
    glDepthRangef(viewport.minZ, viewport.maxZ);
    if (draw)
        draw->transformsDirty = true;
    return Ok;
}

Result GraphicsDevice::SetTransform(TransformKind kind, const float matrix[16])
{
    const int index = int(kind);
    if (index < 0 || index >= int(transforms.size()))
        return ErrorInvalidCall;
    std::copy(matrix, matrix + 16, transforms[std::size_t(index)].begin());
    if (draw) {
        if (kind == TransformKind::View)
            draw->lightsDirty = true;
        if (index >= int(TransformKind::Texture0))
            draw->stagesDirty = true;
        else
            draw->transformsDirty = true;
    }
    return Ok;
}

void GraphicsDevice::GetTransform(TransformKind kind, float matrix[16]) const
{
    const int index = std::clamp(int(kind), 0, int(transforms.size()) - 1);
    std::copy(transforms[std::size_t(index)].begin(), transforms[std::size_t(index)].end(), matrix);
}

Result GraphicsDevice::SetLight(int index, const LightParameters& light)
{
    if (index < 0 || index >= capabilities.maxActiveLights)
        return ErrorInvalidCall;
    lights[std::size_t(index)] = light;
    if (draw)
        draw->lightsDirty = true;
    return Ok;
}

Result GraphicsDevice::EnableLight(int index, bool enable)
{
    if (index < 0 || index >= capabilities.maxActiveLights)
        return ErrorInvalidCall;
    if (lightEnabled[std::size_t(index)] != enable && draw)
        draw->lightsDirty = true;
    lightEnabled[std::size_t(index)] = enable;
    return Ok;
}

bool GraphicsDevice::IsLightEnabled(int index) const
{
    return index >= 0 && index < capabilities.maxActiveLights && lightEnabled[std::size_t(index)];
}

Result GraphicsDevice::SetGammaRamp(const std::uint16_t red[256], const std::uint16_t green[256],
                                    const std::uint16_t blue[256])
{
    std::copy(red, red + 256, gammaRamp.begin());
    std::copy(green, green + 256, gammaRamp.begin() + 256);
    std::copy(blue, blue + 256, gammaRamp.begin() + 512);
    // Drivers without gamma control (the offscreen one) simply keep the ramp.
    SDL_SetWindowGammaRamp(parameters.window->GetSdlWindow(), red, green, blue);
    return Ok;
}

void GraphicsDevice::GetGammaRamp(std::uint16_t red[256], std::uint16_t green[256], std::uint16_t blue[256]) const
{
    std::copy(gammaRamp.begin(), gammaRamp.begin() + 256, red);
    std::copy(gammaRamp.begin() + 256, gammaRamp.begin() + 512, green);
    std::copy(gammaRamp.begin() + 512, gammaRamp.end(), blue);
}

Result GraphicsDevice::CreateTexture(int width, int height, int levels, std::uint32_t usage, int format, Pool pool,
                                     Texture** out)
{
    *out = nullptr;
    if (width <= 0 || height <= 0 || width > capabilities.maxTextureWidth || height > capabilities.maxTextureHeight ||
        !CanConvert(format))
        return ErrorInvalidCall;
    const int full = FullChainLevels(width, height);
    if (levels <= 0 || levels > full)
        levels = full;
    if ((usage & UsageRenderTarget) && IsBlockCompressed(format))
        return ErrorInvalidCall;
    *out = new Texture(format, width, height, levels, false, usage, pool);
    return Ok;
}

Result GraphicsDevice::CreateCubeTexture(int edge, int levels, std::uint32_t usage, int format, Pool pool,
                                         Texture** out)
{
    *out = nullptr;
    if (edge <= 0 || edge > capabilities.maxTextureWidth || !CanConvert(format) || (usage & UsageRenderTarget))
        return ErrorInvalidCall;
    const int full = FullChainLevels(edge, edge);
    if (levels <= 0 || levels > full)
        levels = full;
    *out = new Texture(format, edge, edge, levels, true, usage, pool);
    return Ok;
}

Result GraphicsDevice::CreateSurface(int width, int height, int format, Pool pool, bool renderTarget, Surface** out)
{
    *out = nullptr;
    if (width <= 0 || height <= 0 || !CanConvert(format) || (renderTarget && IsBlockCompressed(format)))
        return ErrorInvalidCall;
    *out = new Surface(renderTarget ? SurfaceKind::RenderTarget : SurfaceKind::Plain, format, 0, width, height, pool, 0);
    return Ok;
}

Result GraphicsDevice::CreateDepthStencilSurface(int width, int height, int depthFormat, int multisampleQuality,
                                                 Surface** out)
{
    *out = nullptr;
    if (width <= 0 || height <= 0 || DepthBits(depthFormat) == 0)
        return ErrorInvalidCall;
    *out = new Surface(SurfaceKind::DepthStencil, 0, depthFormat, width, height, Pool::Default, multisampleQuality);
    return Ok;
}

Result GraphicsDevice::CreateBuffer(BufferKind kind, std::size_t size, Buffer** out, int vertexStride)
{
    *out = nullptr;
    if (size == 0)
        return ErrorInvalidCall;
    Buffer* buffer = new Buffer(kind, size);
    // Small buffers are placed one after another in pages, so that the driver's data of
    // buffers made one after another lies together and drawing them in turn binds one buffer.
    constexpr std::size_t kPageSize = std::size_t(1) << 20, kLargest = std::size_t(1) << 16, kAlign = 16;
    const std::size_t step = kind == BufferKind::Vertex && vertexStride > 0 && vertexStride % 4 == 0
                                 ? std::size_t(vertexStride)
                                 : kAlign;
    if (size <= kLargest && CurrentGlGeneration() != 0) {
        DrawState& d = *draw;
        auto placeAt = [&] { return d.page ? (d.page->used + step - 1) / step * step : 0; };
        if (d.page && placeAt() + size > d.page->size)
            BufferPage::Close(d.page);
        if (!d.page) {
            d.page = new BufferPage();
            d.page->size = kPageSize;
            d.page->glGeneration = CurrentGlGeneration();
            glCreateBuffers(1, &d.page->glBuffer);
            // Mapped for good: a buffer's first upload is a copy into memory the page owns, made
            // before any draw reads that part, so it never waits for the draws of the others.
            // (Still writable by the driver's copy, should the mapping fail.)
            glNamedBufferStorage(d.page->glBuffer, GLsizeiptr(kPageSize), nullptr,
                                 GL_MAP_WRITE_BIT | GL_MAP_PERSISTENT_BIT | GL_MAP_COHERENT_BIT |
                                     GL_DYNAMIC_STORAGE_BIT);
            d.page->mapping = static_cast<std::uint8_t*>(glMapNamedBufferRange(
                d.page->glBuffer, 0, GLsizeiptr(kPageSize),
                GL_MAP_WRITE_BIT | GL_MAP_PERSISTENT_BIT | GL_MAP_COHERENT_BIT));
        }
        buffer->page = d.page;
        buffer->glBuffer = d.page->glBuffer;
        buffer->glGeneration = d.page->glGeneration;
        buffer->glOffset = placeAt();
        d.page->used = (buffer->glOffset + size + kAlign - 1) / kAlign * kAlign;
        ++d.page->live;
    }
    *out = buffer;
    return Ok;
}

void GraphicsDevice::ForgetBuffer()
{
    if (draw) {
        draw->arraysValid = false;
        draw->arrayBufferBound = draw->elementBufferBound = ~0u; // deleting unbinds
    }
}

void GraphicsDevice::ForgetTexture()
{
    if (draw)
        draw->stagesDirty = true;
}

Result GraphicsDevice::ReadFrontBuffer(std::uint32_t* pixels, int& width, int& height)
{
    Resolve();
    Texture* color = backBuffer->GetColorTexture();
    width = color->GetWidth();
    height = color->GetHeight();
    if (pixels) {
        LockedRect locked;
        if (Failed(color->LockLevel(0, 0, locked, true)))
            return ErrorInvalidCall;
        DecodeImage(color->GetFormat(), locked.bits, std::size_t(locked.pitch), width, height, pixels);
        color->UnlockLevel(0, 0);
    }
    return Ok;
}

std::uint64_t GraphicsDevice::GetAvailableTextureMemory() const
{
    // The software rasteriser keeps textures in system memory.
    struct sysinfo info {};
    if (sysinfo(&info) != 0)
        return 0;
    return std::uint64_t(info.freeram) * info.mem_unit;
}

} // namespace platform::gpu
