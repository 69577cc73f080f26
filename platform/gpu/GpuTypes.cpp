#include "platform/gpu/GpuTypes.h"

namespace platform::gpu {

const char* ResultName(Result result)
{
    switch (result) {
    case Ok: return "Ok";
    case ErrorInvalidCall: return "ErrorInvalidCall";
    case ErrorNotAvailable: return "ErrorNotAvailable";
    case ErrorOutOfVideoMemory: return "ErrorOutOfVideoMemory";
    case ErrorOutOfMemory: return "ErrorOutOfMemory";
    case ErrorDeviceLost: return "ErrorDeviceLost";
    case ErrorDeviceNotReset: return "ErrorDeviceNotReset";
    case ErrorNotFound: return "ErrorNotFound";
    case ErrorUnsupportedFormat: return "ErrorUnsupportedFormat";
    }
    return "ErrorUnknown";
}

int SamplesForQuality(int quality, int maxSamples)
{
    if (quality < 1 || maxSamples < 2)
        return 0;
    const int samples = quality >= 30 ? maxSamples : (1 << quality);
    return samples < maxSamples ? samples : maxSamples;
}

int QualityLevels(int maxSamples)
{
    int levels = 1;
    while (maxSamples >= 2) {
        ++levels;
        maxSamples /= 2;
    }
    return levels;
}

int DepthBits(int depthFormat)
{
    switch (depthFormat) {
    case DepthD16: case DepthD16Lockable: return 16;
    case DepthD32: return 32;
    case DepthD15S1: return 15;
    case DepthD24S8: case DepthD24X8: case DepthD24X4S4: return 24;
    default: return 0;
    }
}

int StencilBits(int depthFormat)
{
    switch (depthFormat) {
    case DepthD15S1: return 1;
    case DepthD24S8: return 8;
    case DepthD24X4S4: return 4;
    default: return 0;
    }
}

int DepthFormatBitsPerPixel(int depthFormat)
{
    switch (depthFormat) {
    case DepthD16: case DepthD16Lockable: case DepthD15S1: return 16;
    case DepthD32: case DepthD24S8: case DepthD24X8: case DepthD24X4S4: return 32;
    default: return 0;
    }
}

} // namespace platform::gpu

namespace platform::gpu {

int VertexFormat::NormalOffset() const
{
    switch (position) {
    case Position::None: return 0;
    case Position::Xyz: return 12;
    default: return 16;
    }
}

int VertexFormat::DiffuseOffset() const
{
    return NormalOffset() + (normal ? 12 : 0);
}

int VertexFormat::SpecularOffset() const
{
    return DiffuseOffset() + (diffuse ? 4 : 0);
}

int VertexFormat::TexOffset(int set) const
{
    int offset = SpecularOffset() + (specular ? 4 : 0);
    for (int i = 0; i < set && i < 8; ++i)
        offset += 4 * texFloats[i];
    return offset;
}

int VertexFormat::Size() const
{
    return TexOffset(texSets);
}

} // namespace platform::gpu
