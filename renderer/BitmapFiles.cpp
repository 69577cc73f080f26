// Image files of D3DBitmap: loading ".tga" and ".dds", the ".shd" texture script, and the ".tga"
// and ".bmp" writers.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

#include "engine/core/LittleEndianReader.h"
#include "engine/filesystem/PackFile.h"
#include "platform/gpu/GraphicsDevice.h"
#include "platform/gpu/PixelFormat.h"
#include "platform/os/Path.h"
#include "renderer/Bitmap.h"
#include "renderer/DataFile.h"
#include "renderer/LibraryState.h"
#include "renderer/RenderDevice.h"

namespace gpu = platform::gpu;

namespace {

constexpr std::uint32_t kDdsMagic = 0x20534444;         // "DDS "
constexpr std::uint32_t kDdsCubeFaces = 0xFE00;
constexpr std::uint32_t kFourCcDxt1 = 0x31545844;       // "DXT1"
constexpr std::uint32_t kFourCcDxt3 = 0x33545844;
constexpr std::uint32_t kFourCcDxt5 = 0x35545844;
constexpr int kMaxImageSide = 16384;

bool IsPowerOfTwo(std::uint32_t v)
{
    return v != 0 && (v & (v - 1)) == 0;
}

// drive + folder + file name of a path, without its extension.
std::string WithoutExtension(const char* path)
{
    const platform::os::PathParts parts = platform::os::SplitPath(path);
    return parts.drive + parts.dir + parts.fname;
}

std::string ExtensionOf(const char* path)
{
    return platform::os::SplitPath(path).ext;
}

// Opens a file for writing: an existing file of any letter case, else a new one in the folder.
std::FILE* OpenForWriting(const char* path)
{
    const auto resolved = platform::os::ResolvePathForWrite(path);
    return std::fopen(resolved ? resolved->c_str() : path, "wb");
}

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

} // namespace

bool Bitmap::ReadImageFile(const char* path, std::vector<std::uint8_t>& file)
{
    if (!path) {
        SetError("Can't open %s", "(null)");
        return false;
    }
    PackFileSetArchiveExtension(".qa");
    if (!ReadDataFile(path, "rb", file)) {
        SetError("Can't open %s", path);
        return false;
    }
    return true;
}

// ---- .tga ----

int Bitmap::LoadTga(const char* path)
{
    std::vector<std::uint8_t> file;
    if (!ReadImageFile(path, file))
        return -1;
    LittleEndianReader in(file.data(), file.size());
    const std::uint8_t idLength = in.U8();
    const std::uint8_t colorMapType = in.U8();
    const std::uint8_t imageType = in.U8();
    in.U16(); // colour-map first entry
    const std::uint16_t colorMapLength = in.U16();
    const std::uint8_t colorMapEntrySize = in.U8();
    in.U16(); // x origin
    in.U16(); // y origin
    const std::uint16_t width = in.U16();
    const std::uint16_t height = in.U16();
    const std::uint8_t bitsPerPixel = in.U8();
    in.U8(); // descriptor
    in.Skip(idLength);
    if (in.Failed()) {
        SetError("Can't load %s: the file is truncated", path);
        return -1;
    }
    switch (imageType) {
    case 0: case 3:
        SetError("Unsupported TGA file format: Monochrome");
        return -1;
    case 1:
        SetError("Unsupported TGA file format: 8-bit Palettized");
        return -1;
    case 9: case 10: case 11: case 32: case 33:
        SetError("Unsupported TGA file format, compressed TGA files not supported");
        return -1;
    case 2:
        break;
    default:
        SetError("Unsupported TGA file format: image type %d", imageType);
        return -1;
    }
    int format = 0;
    switch (bitsPerPixel) {
    case 8: format = FormatP8; break;
    case 16: format = FormatX1R5G5B5; break;
    case 24: format = FormatR8G8B8; break;
    case 32: format = FormatA8R8G8B8; break;
    default:
        SetError("Can't load %s: invalid pixel format", path);
        return -1;
    }
    if (width == 0 || height == 0) {
        SetError("Can't load %s: the image has no pixels", path);
        return -1;
    }
    // A colour map in front of true-colour pixels is not used, but its bytes are skipped.
    if (colorMapType != 0)
        in.Skip(std::size_t(colorMapLength) * ((colorMapEntrySize + 7) / 8));
    const std::size_t rowBytes = std::size_t(width) * (bitsPerPixel / 8);
    if (in.Failed() || in.Remaining() < rowBytes * height) {
        SetError("Can't load %s: the file is truncated", path);
        return -1;
    }
    if (Create(path, width, height, format, flags) != 1)
        return -1;
    if (record->format != format) {
        SetError("Can't load %s: invalid pixel format", path);
        return -1;
    }
    auto* bits = static_cast<std::uint8_t*>(Lock(true));
    if (!bits)
        return -1;
    const std::size_t pitch = gpu::RowPitch(format, width);
    for (int row = 0; row < height; ++row)
        in.Bytes(bits + std::size_t(height - 1 - row) * pitch, rowBytes);
    Unlock();
    return 1;
}

// ---- .dds ----

int Bitmap::LoadDds(const char* path)
{
    std::vector<std::uint8_t> file;
    if (!ReadImageFile(path, file))
        return -1;
    LittleEndianReader in(file.data(), file.size());
    if (in.U32() != kDdsMagic || in.Failed()) {
        SetError("Invalid DDS file %s", path);
        return -1;
    }
    in.U32(); // header size
    in.U32(); // flags: with or without the linear-size flag, level sizes follow from the dimensions
    const std::uint32_t height = in.U32();
    const std::uint32_t width = in.U32();
    in.U32(); // pitch or linear size: the level sizes follow from the dimensions
    in.U32(); // depth
    const std::uint32_t mipCount = in.U32();
    in.Skip(11 * 4);
    in.U32(); // pixel format size
    in.U32(); // pixel format flags
    const std::uint32_t fourCc = in.U32();
    in.Skip(5 * 4); // bit count and masks
    in.U32();       // caps
    const std::uint32_t caps2 = in.U32();
    in.Skip(3 * 4); // caps 3, caps 4, reserved
    if (in.Failed()) {
        SetError("Can't load %s: the file is truncated", path);
        return -1;
    }
    int format = 0;
    switch (fourCc) {
    case kFourCcDxt1: format = FormatDXT1; break;
    case kFourCcDxt3: format = FormatDXT3; break;
    case kFourCcDxt5: format = FormatDXT5; break;
    default:
        SetError("Invalid DDS format in %s", path);
        return -1;
    }
    if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide) {
        SetError("Can't load %s: invalid size %ux%u", path, width, height);
        return -1;
    }
    const bool cube = (caps2 & kDdsCubeFaces) != 0;
    if (cube && width != height) {
        SetError("Can't load %s: cube faces must be square", path);
        return -1;
    }
    const int fileLevels = std::max<std::uint32_t>(1, std::min<std::uint32_t>(mipCount, 32));
    const int faces = cube ? 6 : 1;
    auto levelBytes = [&](int level) {
        const int w = std::max(1, int(width) >> level), h = std::max(1, int(height) >> level);
        return gpu::LevelSize(format, w, h);
    };
    // Each face holds its whole chain before the next face starts.
    std::size_t faceBytes = 0;
    for (int level = 0; level < fileLevels; ++level)
        faceBytes += levelBytes(level);
    if (in.Remaining() < faceBytes * std::size_t(faces)) {
        SetError("Can't load %s: the file is truncated", path);
        return -1;
    }
    const std::size_t dataStart = in.Offset();

    RenderDevice* device = Library().device;
    const bool compressed = device && device->IsTextureFormatSupported(format, false) && device->GetTextureCompression();
    if (compressed) {
        std::string name = path;
        if (name.size() >= 4)
            name.replace(name.size() - 4, 4, ".tga");
        std::uint32_t extra = 0;
        if (cube)
            extra |= BitmapCube;
        if (mipCount == 0)
            extra |= BitmapOneLevel;
        if (Create(name.c_str(), int(width), int(height), format, flags | extra) != 1)
            return -1;
        if (record->texture && record->width == width && record->height == height &&
            int(record->levelCount) <= fileLevels && record->texture->GetFormat() == format &&
            record->texture->IsCube() == cube) {
            for (int face = 0; face < faces; ++face) {
                std::size_t offset = dataStart + faceBytes * std::size_t(face);
                for (int level = 0; level < int(record->levelCount); ++level) {
                    gpu::LockedRect locked;
                    gpu::Result result = record->texture->LockLevel(face, level, locked, false);
                    if (gpu::Failed(result)) {
                        SetError("Lock Error on surface %s: %s", record->name, gpu::ResultName(result));
                        return -1;
                    }
                    std::memcpy(locked.bits, file.data() + offset, levelBytes(level));
                    offset += levelBytes(level);
                    result = record->texture->UnlockLevel(face, level);
                    if (gpu::Failed(result)) {
                        SetError("Unlock Error on surface %s: %s", record->name, gpu::ResultName(result));
                        return -1;
                    }
                }
            }
            return 1;
        }
        DropRecord();
    }
    // Decompressed route: level 0 into a private memory surface, converted to a 16-bit format.
    const std::uint32_t savedFlags = flags;
    flags = BitmapSurface | BitmapPrivate | BitmapScratch;
    if (Create(path, int(width), int(height), format, flags) != 1) {
        flags = savedFlags;
        return -1;
    }
    auto* bits = static_cast<std::uint8_t*>(Lock(true));
    if (!bits) {
        flags = savedFlags;
        return -1;
    }
    std::memcpy(bits, file.data() + dataStart, levelBytes(0));
    Unlock();
    const int result = Reformat(format == FormatDXT1 ? FormatR5G6B5 : FormatA4R4G4B4);
    flags = savedFlags;
    return result;
}

// ---- Load ----

int Bitmap::BuildTextureFromSurface(const char* name, int format)
{
    RenderDevice* device = Library().device;
    gpu::GraphicsDevice* graphics = Library().gpu;
    const int chosen = device->GetNearestTextureFormat(format ? format : record->format);
    gpu::Texture* texture = nullptr;
    gpu::Result result = graphics ? graphics->CreateTexture(int(record->width), int(record->height),
                                                            (flags & BitmapOneLevel) ? 1 : 0, gpu::UsageNone, chosen,
                                                            gpu::Pool::Managed, &texture)
                                  : gpu::ErrorInvalidCall;
    if (gpu::Failed(result)) {
        SetError("Error creating texture %s during stage 1: %s", name, gpu::ResultName(result));
        return -1;
    }
    result = gpu::LoadImage(gpu::ImageTarget::Of(texture), nullptr, Level0(), nullptr, gpu::Filter::Box);
    if (gpu::Failed(result)) {
        texture->Release();
        SetError("Error creating texture %s during stage 2: %s", name, gpu::ResultName(result));
        return -1;
    }
    result = gpu::FilterTexture(texture);
    if (gpu::Failed(result)) {
        texture->Release();
        SetError("Error generating mipmaps for texture: %s Error: %s", name, gpu::ResultName(result));
        return -1;
    }
    // The loaded surface goes completely; the record keeps the texture.
    while (record->surface && record->surface->Release() > 0) {
    }
    record->surface = nullptr;
    record->texture = texture;
    record->recreatable = true;
    std::snprintf(record->name, sizeof(record->name), "%s", name);
    record->Register(!(flags & BitmapPrivate));
    RunScript();
    ReadDescription();
    return 1;
}

int Bitmap::Load(const char* path, int format, std::uint32_t newFlags)
{
    if (!path) {
        SetError("Can't find file");
        return -1;
    }
    flags |= newFlags;
    if (flags & BitmapSurface)
        flags |= BitmapOneLevel;
    if (!(flags & BitmapPrivate)) {
        if (TextureRecord* shared = FindByName(path)) {
            ShareRecord(shared);
            ReadDescription();
            RunScript();
            return 1;
        }
    }
    if (flags & BitmapSurface) {
        if (LoadTga(path) != 1)
            return -1;
        if (format != 0 && format != record->format)
            return Reformat(format);
        return 1;
    }
    const std::string dds = WithoutExtension(path) + ".dds";
    if (DataFileExists(dds.c_str())) {
        if (LoadDds(dds.c_str()) != 1)
            return -1;
        if (record->texture) {
            RunScript();
            return 1;
        }
        if (flags & BitmapCube) {
            SetError("Can't load cubemap directly");
            return -1;
        }
        return BuildTextureFromSurface(path, format);
    }
    const std::string extension = ExtensionOf(path);
    if (strcasecmp(extension.c_str(), ".tga") != 0) {
        SetError(strcasecmp(extension.c_str(), ".dds") == 0 ? "Can't find file" : "No loader for file format");
        return -1;
    }
    const std::uint32_t savedFlags = flags;
    flags = BitmapSurface | BitmapPrivate;
    const int loaded = LoadTga(path);
    flags = savedFlags;
    if (loaded != 1)
        return -1;
    if (!(flags & BitmapAnySize)) {
        if (!IsPowerOfTwo(record->width)) {
            SetError("%s's width is not a power of two, all textures must be power of 2 sizes", path);
            return -1;
        }
        if (!IsPowerOfTwo(record->height)) {
            SetError("%s's height is not a power of two, all textures must be power of 2 sizes", path);
            return -1;
        }
    }
    return BuildTextureFromSurface(path, format);
}

// ---- .shd ----

void Bitmap::RunScript()
{
    if (!record)
        return;
    const std::string script = WithoutExtension(record->name) + ".shd";
    std::vector<std::uint8_t> text;
    if (!ReadDataFile(script.c_str(), "rt", text))
        return;
    std::string line;
    auto flush = [&] {
        if (!line.empty())
            AddEffect(line.substr(0, 2047).c_str());
        line.clear();
    };
    for (std::uint8_t c : text) {
        if (c == '\r' || c == '\n' || c == '\0')
            flush();
        else
            line.push_back(char(c));
    }
    flush();
}

// ---- Writers ----

int Bitmap::SaveConverted(const char* path, std::uint32_t temporaryFlags, bool asBmp)
{
    Bitmap temporary(0);
    if (temporary.Create(record->name, int(record->width), int(record->height), record->format, temporaryFlags) != 1) {
        SetError("%s", temporary.GetLastError() ? temporary.GetLastError() : "Bitmap can't be saved");
        temporary.DropRecord();
        return -1;
    }
    // Same-format copy, so the conversion to 24 bits happens in one place.
    gpu::LoadImage(temporary.Level0(), nullptr, Level0(), nullptr, gpu::Filter::Point);
    int result = temporary.Reformat(FormatR8G8B8);
    if (result == 1)
        result = asBmp ? temporary.SaveBmp(path) : temporary.SaveTga(path);
    if (result != 1)
        SetError("%s", temporary.GetLastError() ? temporary.GetLastError() : "Bitmap can't be saved");
    temporary.DropRecord();
    return result;
}

int Bitmap::SaveTga(const char* path)
{
    if (!record || (!record->surface && !record->texture) || IsCube()) {
        SetError("Bitmap can't be saved, invalid format");
        return -1;
    }
    switch (record->format) {
    case FormatR8G8B8: case FormatA8R8G8B8: case FormatA1R5G5B5:
        return WriteTga(path);
    case FormatR3G3B2: case FormatP8: case FormatL8: case FormatA8L8: case FormatA8: case FormatV8U8:
    case FormatL6V5U5: case FormatX8L8V8U8: case FormatUYVY: case FormatYUY2: case FormatUnknown:
        SetError("Bitmap can't be saved, invalid format");
        return -1;
    default:
        if (!gpu::CanConvert(record->format)) {
            SetError("Bitmap can't be saved, invalid format");
            return -1;
        }
        return SaveConverted(path, BitmapSurface | BitmapPrivate | BitmapScratch, false);
    }
}

template <typename Encode>
int Bitmap::WriteImageFile(const char* path, Encode encode)
{
    std::FILE* out = OpenForWriting(path);
    if (!out) {
        SetError("Can't open %s for writing", path);
        return -1;
    }
    const auto* bits = static_cast<const std::uint8_t*>(Lock(false));
    if (!bits) {
        std::fclose(out);
        return -1;
    }
    const std::vector<std::uint8_t> bytes = encode(bits);
    Unlock();
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    const bool closed = std::fclose(out) == 0;
    if (!written || !closed) {
        SetError("Can't open %s for writing", path);
        return -1;
    }
    return 1;
}

int Bitmap::WriteTga(const char* path)
{
    return WriteImageFile(path, [this](const std::uint8_t* bits) {
        std::vector<std::uint8_t> bytes;
        bytes.push_back(0); // ID length
        bytes.push_back(0); // colour-map type
        bytes.push_back(2); // true colour
        Put16(bytes, 0);
        Put16(bytes, 0);
        bytes.push_back(0);
        Put16(bytes, 0);
        Put16(bytes, 0);
        Put16(bytes, record->width);
        Put16(bytes, record->height);
        bytes.push_back(std::uint8_t(record->bitsPerPixel));
        bytes.push_back(0);
        const std::size_t rowBytes = std::size_t(record->bytesPerPixel) * record->width;
        const std::size_t pitch = gpu::RowPitch(record->format, int(record->width));
        for (int row = int(record->height) - 1; row >= 0; --row)
            bytes.insert(bytes.end(), bits + std::size_t(row) * pitch, bits + std::size_t(row) * pitch + rowBytes);
        return bytes;
    });
}

int Bitmap::SaveBmp(const char* path)
{
    if (!record || (!record->surface && !record->texture) || IsCube()) {
        SetError("Bitmap can't be saved, invalid format");
        return -1;
    }
    switch (record->format) {
    case FormatR8G8B8:
        return WriteBmp(path);
    case FormatR3G3B2: case FormatP8: case FormatL8: case FormatA8L8: case FormatA8: case FormatV8U8:
    case FormatL6V5U5: case FormatX8L8V8U8: case FormatUYVY: case FormatYUY2: case FormatDXT1: case FormatDXT3:
    case FormatDXT5: case FormatUnknown:
        SetError("Bitmap can't be saved, invalid format");
        return -1;
    default:
        if (!gpu::CanConvert(record->format)) {
            SetError("Bitmap can't be saved, invalid format");
            return -1;
        }
        return SaveConverted(path, BitmapSurface | BitmapPrivate, true);
    }
}

int Bitmap::WriteBmp(const char* path)
{
    return WriteImageFile(path, [this](const std::uint8_t* bits) {
        const std::uint32_t width = record->width, height = record->height;
        const std::uint32_t stride = ((width * 24 + 31) / 32) * 4;
        const std::uint32_t imageSize = stride * height;
        std::vector<std::uint8_t> bytes;
        bytes.push_back('B');
        bytes.push_back('M');
        Put32(bytes, 54 + imageSize);
        Put16(bytes, 0);
        Put16(bytes, 0);
        Put32(bytes, 54);
        Put32(bytes, 40);
        Put32(bytes, width);
        Put32(bytes, height);
        Put16(bytes, 1);
        Put16(bytes, 24);
        Put32(bytes, 0);
        Put32(bytes, imageSize);
        Put32(bytes, 0);
        Put32(bytes, 0);
        Put32(bytes, 0);
        Put32(bytes, 0);
        const std::size_t pitch = gpu::RowPitch(FormatR8G8B8, int(width));
        for (int row = int(height) - 1; row >= 0; --row) {
            bytes.insert(bytes.end(), bits + std::size_t(row) * pitch, bits + std::size_t(row) * pitch + width * 3);
            bytes.insert(bytes.end(), stride - width * 3, 0);
        }
        return bytes;
    });
}
