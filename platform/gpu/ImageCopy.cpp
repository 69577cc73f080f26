#include "platform/gpu/ImageCopy.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/gpu/GraphicsDevice.h"
#include "platform/gpu/PixelFormat.h"

namespace platform::gpu {
namespace {

Result LockImage(const ImageTarget& image, LockedRect& locked, bool readOnly)
{
    if (image.surface)
        return image.surface->Lock(locked, readOnly);
    if (image.texture)
        return image.texture->LockLevel(image.face, image.level, locked, readOnly);
    return ErrorInvalidCall;
}

void UnlockImage(const ImageTarget& image)
{
    if (image.surface)
        image.surface->Unlock();
    else if (image.texture)
        image.texture->UnlockLevel(image.face, image.level);
}

bool ReadPixels(const ImageTarget& image, std::vector<std::uint32_t>& pixels, int& width, int& height)
{
    int format = 0;
    if (!DescribeImage(image, width, height, format) || !CanConvert(format))
        return false;
    LockedRect locked;
    if (Failed(LockImage(image, locked, true)))
        return false;
    pixels.resize(std::size_t(width) * height);
    DecodeImage(format, locked.bits, std::size_t(locked.pitch), width, height, pixels.data());
    UnlockImage(image);
    return true;
}

bool WritePixels(const ImageTarget& image, const std::vector<std::uint32_t>& pixels)
{
    int width = 0, height = 0, format = 0;
    if (!DescribeImage(image, width, height, format) || !CanConvert(format))
        return false;
    LockedRect locked;
    if (Failed(LockImage(image, locked, false)))
        return false;
    EncodeImage(format, pixels.data(), width, height, locked.bits, std::size_t(locked.pitch));
    UnlockImage(image);
    return true;
}

// Writes pixels into one rectangle of an image; block-compressed images are re-encoded whole.
bool WriteRegion(const ImageTarget& image, const Rect& rect, const std::vector<std::uint32_t>& pixels)
{
    int width = 0, height = 0, format = 0;
    if (!DescribeImage(image, width, height, format) || !CanConvert(format))
        return false;
    if (IsBlockCompressed(format) || (rect.left == 0 && rect.top == 0 && rect.Width() == width && rect.Height() == height)) {
        std::vector<std::uint32_t> whole;
        if (rect.Width() == width && rect.Height() == height)
            whole = pixels;
        else if (!ReadPixels(image, whole, width, height))
            return false;
        else
            for (int y = 0; y < rect.Height(); ++y)
                std::copy(pixels.begin() + std::ptrdiff_t(y) * rect.Width(),
                          pixels.begin() + std::ptrdiff_t(y + 1) * rect.Width(),
                          whole.begin() + std::ptrdiff_t(rect.top + y) * width + rect.left);
        return WritePixels(image, whole);
    }
    LockedRect locked;
    if (Failed(LockImage(image, locked, false)))
        return false;
    const int bytes = BitsPerPixel(format) / 8;
    for (int y = 0; y < rect.Height(); ++y)
        EncodeImage(format, pixels.data() + std::size_t(y) * rect.Width(), rect.Width(), 1,
                    locked.bits + std::size_t(rect.top + y) * std::size_t(locked.pitch) + std::size_t(rect.left) * bytes,
                    std::size_t(locked.pitch));
    UnlockImage(image);
    return true;
}

} // namespace

bool DescribeImage(const ImageTarget& image, int& width, int& height, int& format)
{
    if (image.surface) {
        width = image.surface->GetWidth();
        height = image.surface->GetHeight();
        format = image.surface->GetFormat();
        return image.surface->GetKind() != SurfaceKind::DepthStencil;
    }
    if (image.texture && image.level >= 0 && image.level < image.texture->GetLevelCount()) {
        image.texture->GetLevelSize(image.level, width, height);
        format = image.texture->GetFormat();
        return true;
    }
    return false;
}

namespace {

// Same format and size: the rows are copied as they are.
bool CopyRows(const ImageTarget& destination, const Rect& d, const ImageTarget& source, const Rect& s, int format)
{
    LockedRect from, to;
    if (Failed(LockImage(source, from, true)))
        return false;
    if (Failed(LockImage(destination, to, false))) {
        UnlockImage(source);
        return false;
    }
    const std::size_t bytes = std::size_t(BitsPerPixel(format) / 8);
    for (int y = 0; y < d.Height(); ++y)
        std::memcpy(to.bits + std::size_t(d.top + y) * std::size_t(to.pitch) + std::size_t(d.left) * bytes,
                    from.bits + std::size_t(s.top + y) * std::size_t(from.pitch) + std::size_t(s.left) * bytes,
                    std::size_t(d.Width()) * bytes);
    UnlockImage(destination);
    UnlockImage(source);
    return true;
}

// The texture level behind an image that lives on the GPU: a texture level, or the colour texture
// of a render target or single-sampled back buffer. Null for images kept only in memory.
Texture* GpuImage(const ImageTarget& image, int& face, int& level)
{
    face = image.face;
    level = image.level;
    if (image.texture)
        return image.texture;
    if (image.surface && !(image.surface->GetKind() == SurfaceKind::BackBuffer && image.surface->GetSamples() > 0)) {
        face = level = 0;
        return image.surface->GetColorTexture();
    }
    return nullptr;
}

// A copy onto an image whose newest picture was drawn on the GPU (a back buffer or render target
// in the middle of a frame) is made there, instead of reading the whole image back to copy in
// memory and uploading it again.
bool CopyOnGpu(const ImageTarget& destination, const Rect& d, const ImageTarget& source, const Rect& s)
{
    int destinationFace = 0, destinationLevel = 0, sourceFace = 0, sourceLevel = 0;
    Texture* to = GpuImage(destination, destinationFace, destinationLevel);
    Texture* from = GpuImage(source, sourceFace, sourceLevel);
    if (!to || !from || destinationFace != 0 || destinationLevel != 0)
        return false;
    return Texture::CopyOnGpu(to, d.left, d.top, from, sourceFace, sourceLevel, s);
}

// The same for a copy that scales point by point or converts the format: drawn there by the
// device, with the texels and values a copy in memory gives.
bool ScaleOnGpu(const ImageTarget& destination, const Rect& d, const ImageTarget& source, const Rect& s)
{
    GraphicsDevice* device = GraphicsDevice::Current();
    int destinationFace = 0, destinationLevel = 0, sourceFace = 0, sourceLevel = 0;
    Texture* to = GpuImage(destination, destinationFace, destinationLevel);
    Texture* from = GpuImage(source, sourceFace, sourceLevel);
    if (!device || !to || !from || destinationFace != 0 || destinationLevel != 0 || sourceFace != 0)
        return false;
    return device->CopyTextureOnGpu(to, d, from, sourceLevel, s);
}

} // namespace

Result LoadImage(const ImageTarget& destination, const Rect* destinationRect, const ImageTarget& source,
                 const Rect* sourceRect, Filter filter)
{
    {
        int sw = 0, sh = 0, sf = 0, dw = 0, dh = 0, df = 0;
        if (DescribeImage(source, sw, sh, sf) && DescribeImage(destination, dw, dh, df) && sf == df &&
            !IsBlockCompressed(sf) && BitsPerPixel(sf) % 8 == 0 && BitsPerPixel(sf) > 0 &&
            !(source.surface && source.surface == destination.surface) &&
            !(source.texture && source.texture == destination.texture && source.level == destination.level &&
              source.face == destination.face)) {
            const Rect s = sourceRect ? *sourceRect : Rect{0, 0, sw, sh};
            const Rect d = destinationRect ? *destinationRect : Rect{0, 0, dw, dh};
            if (s.Width() == d.Width() && s.Height() == d.Height() && s.left >= 0 && s.top >= 0 && s.right <= sw &&
                s.bottom <= sh && d.left >= 0 && d.top >= 0 && d.right <= dw && d.bottom <= dh && s.Width() > 0 &&
                s.Height() > 0) {
                // A source stored in memory byte order is not copied raw onto a drawn image; the
                // drawn copy gives the same values.
                if (CopyOnGpu(destination, d, source, s) || ScaleOnGpu(destination, d, source, s))
                    return Ok;
                return CopyRows(destination, d, source, s, sf) ? Ok : ErrorInvalidCall;
            }
        }
    }
    const bool averaging = filter == Filter::Linear || filter == Filter::Box;
    {
        int sw = 0, sh = 0, sf = 0, dw = 0, dh = 0, df = 0;
        if (DescribeImage(source, sw, sh, sf) && DescribeImage(destination, dw, dh, df)) {
            const Rect s = sourceRect ? *sourceRect : Rect{0, 0, sw, sh};
            const Rect d = destinationRect ? *destinationRect : Rect{0, 0, dw, dh};
            if (!(averaging && (s.Width() != d.Width() || s.Height() != d.Height())) && ScaleOnGpu(destination, d, source, s))
                return Ok;
        }
    }
    std::vector<std::uint32_t> sourcePixels, destinationPixels;
    int sw = 0, sh = 0, dw = 0, dh = 0;
    if (!ReadPixels(source, sourcePixels, sw, sh))
        return ErrorInvalidCall;
    int destinationFormat = 0;
    if (!DescribeImage(destination, dw, dh, destinationFormat) || !CanConvert(destinationFormat))
        return ErrorInvalidCall;
    const Rect s = sourceRect ? *sourceRect : Rect{0, 0, sw, sh};
    const Rect d = destinationRect ? *destinationRect : Rect{0, 0, dw, dh};
    if (s.left < 0 || s.top < 0 || s.right > sw || s.bottom > sh || s.Width() <= 0 || s.Height() <= 0 ||
        d.left < 0 || d.top < 0 || d.right > dw || d.bottom > dh || d.Width() <= 0 || d.Height() <= 0)
        return ErrorInvalidCall;
    if (s.Width() == d.Width() && s.Height() == d.Height()) {
        // A conversion without scaling: the rectangle's rows as they are.
        if (s.left == 0 && s.top == 0 && s.Width() == sw && s.Height() == sh)
            return WriteRegion(destination, d, sourcePixels) ? Ok : ErrorInvalidCall;
        destinationPixels.resize(std::size_t(d.Width()) * d.Height());
        for (int y = 0; y < d.Height(); ++y)
            std::copy_n(sourcePixels.begin() + std::ptrdiff_t(s.top + y) * sw + s.left, d.Width(),
                        destinationPixels.begin() + std::ptrdiff_t(y) * d.Width());
        return WriteRegion(destination, d, destinationPixels) ? Ok : ErrorInvalidCall;
    }
    destinationPixels.assign(std::size_t(d.Width()) * d.Height(), 0);
    for (int y = 0; y < d.Height(); ++y) {
        for (int x = 0; x < d.Width(); ++x) {
            std::uint32_t value;
            if (!averaging || (s.Width() == d.Width() && s.Height() == d.Height())) {
                const int sx = s.left + int((std::int64_t(x) * s.Width()) / d.Width());
                const int sy = s.top + int((std::int64_t(y) * s.Height()) / d.Height());
                value = sourcePixels[std::size_t(sy) * sw + sx];
            } else {
                // The source texels whose area this destination texel covers (at least one).
                const int x0 = s.left + int((std::int64_t(x) * s.Width()) / d.Width());
                const int x1 = std::max(x0 + 1, s.left + int((std::int64_t(x + 1) * s.Width()) / d.Width()));
                const int y0 = s.top + int((std::int64_t(y) * s.Height()) / d.Height());
                const int y1 = std::max(y0 + 1, s.top + int((std::int64_t(y + 1) * s.Height()) / d.Height()));
                std::uint64_t sum[4] = {0, 0, 0, 0};
                for (int yy = y0; yy < y1; ++yy)
                    for (int xx = x0; xx < x1; ++xx) {
                        const std::uint32_t p = sourcePixels[std::size_t(yy) * sw + xx];
                        for (int c = 0; c < 4; ++c)
                            sum[c] += (p >> (8 * c)) & 0xFF;
                    }
                const std::uint64_t n = std::uint64_t(x1 - x0) * std::uint64_t(y1 - y0);
                value = 0;
                for (int c = 0; c < 4; ++c)
                    value |= std::uint32_t((sum[c] + n / 2) / n) << (8 * c);
            }
            destinationPixels[std::size_t(y) * d.Width() + x] = value;
        }
    }
    return WriteRegion(destination, d, destinationPixels) ? Ok : ErrorInvalidCall;
}

Result FilterTexture(Texture* texture)
{
    if (!texture || !CanConvert(texture->GetFormat()))
        return ErrorInvalidCall;
    for (int face = 0; face < texture->GetFaceCount(); ++face) {
        std::vector<std::uint32_t> previous;
        int pw = 0, ph = 0;
        if (!ReadPixels(ImageTarget::Of(texture, 0, face), previous, pw, ph))
            return ErrorInvalidCall;
        for (int level = 1; level < texture->GetLevelCount(); ++level) {
            int w = 0, h = 0;
            texture->GetLevelSize(level, w, h);
            std::vector<std::uint32_t> next(std::size_t(w) * h);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const int x0 = std::min(2 * x, pw - 1), x1 = std::min(2 * x + 1, pw - 1);
                    const int y0 = std::min(2 * y, ph - 1), y1 = std::min(2 * y + 1, ph - 1);
                    const std::uint32_t a = previous[std::size_t(y0) * pw + x0], b = previous[std::size_t(y0) * pw + x1],
                                        c = previous[std::size_t(y1) * pw + x0], d = previous[std::size_t(y1) * pw + x1];
                    // The rounded mean of each channel of the four.
                    std::uint32_t mean = 0;
                    for (int shift = 0; shift < 32; shift += 8)
                        mean |= ((((a >> shift) & 0xFF) + ((b >> shift) & 0xFF) + ((c >> shift) & 0xFF) +
                                  ((d >> shift) & 0xFF) + 2) >> 2) << shift;
                    next[std::size_t(y) * w + x] = mean;
                }
            if (!WritePixels(ImageTarget::Of(texture, level, face), next))
                return ErrorInvalidCall;
            previous.swap(next);
            pw = w;
            ph = h;
        }
    }
    return Ok;
}

} // namespace platform::gpu
