#pragma once

#include <cstdint>

// Result codes, pools, depth formats and the other small records of the graphics layer.
namespace platform::gpu {

enum Result : std::int32_t {
    Ok = 0,
    ErrorInvalidCall = -1001,
    ErrorNotAvailable = -1002,
    ErrorOutOfVideoMemory = -1003,
    ErrorOutOfMemory = -1004,
    ErrorDeviceLost = -1005,
    ErrorDeviceNotReset = -1006,
    ErrorNotFound = -1007,
    ErrorUnsupportedFormat = -1008,
};

inline bool Failed(Result r) { return r < 0; }

// The symbolic name of a result, for messages ("ErrorDeviceLost").
const char* ResultName(Result result);

enum class Pool { Default, Managed, SystemMemory, Scratch };

enum class DeviceType { Hardware = 1, Reference = 2 };

// Depth-stencil formats, numbered as the system's device tables record them.
enum DepthFormat : std::int32_t {
    DepthNone = 0,
    DepthD16Lockable = 70,
    DepthD32 = 71,
    DepthD15S1 = 73,
    DepthD24S8 = 75,
    DepthD24X8 = 77,
    DepthD24X4S4 = 79,
    DepthD16 = 80,
};

// Multisample quality q (1, 2, 3, ...) asks for 2^q samples, at most maxSamples; 0 = off.
int SamplesForQuality(int quality, int maxSamples);
// Quality levels a device offers (1 = off only).
int QualityLevels(int maxSamples);

int DepthBits(int depthFormat);
int StencilBits(int depthFormat);
int DepthFormatBitsPerPixel(int depthFormat);

// Texture and surface usage.
enum Usage : std::uint32_t {
    UsageNone = 0,
    UsageRenderTarget = 0x1,
    UsageDepthStencil = 0x2,
    UsageDynamic = 0x200,
};

enum class ResourceType { Surface, Texture, CubeTexture };

// Copy filters of the image utilities.
enum class Filter { None, Point, Linear, Box };

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

struct LockedRect {
    std::uint8_t* bits = nullptr;
    std::int32_t pitch = 0;
};

struct DisplayMode {
    int width = 0;
    int height = 0;
    int refreshRate = 0;
    int format = 0; // texture format code of the display (X8R8G8B8, R5G6B5, X1R5G5B5)
};

struct AdapterIdentifier {
    char description[512] = {};
    char driver[512] = {};
};

// What the device can do, as far as the renderer asks.
struct Capabilities {
    bool hardwareTransformAndLight = true;
    bool positionalLights = true;
    int maxSimultaneousTextures = 8;
    int maxTextureBlendStages = 8;
    bool modulate = true;
    bool dotProduct3 = true;
    int maxActiveLights = 8; // 0 = no limit
    float pixelShaderVersion = 0.0f;
    float vertexShaderVersion = 0.0f;
    bool antialiasedLines = true;
    bool fullScreenGamma = true;
    bool tableFog = true;
    bool alphaCompareGreaterEqual = true;
    bool minPoint = true, minLinear = true, minAnisotropic = true;
    bool magPoint = true, magLinear = true, magAnisotropic = true;
    bool mipPoint = true, mipLinear = true;
    int maxSamples = 0; // most samples of a multisampled buffer; 0 before a device exists
    int maxTextureWidth = 8192;
    int maxTextureHeight = 8192;
};

struct Viewport {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    float minZ = 0.0f;
    float maxZ = 1.0f;
};

// Light slot parameters (directions and positions in world space).
struct LightParameters {
    int type = 3;
    float diffuse[4] = {1, 1, 1, 1};
    float specular[4] = {1, 1, 1, 1};
    float ambient[4] = {0, 0, 0, 0};
    float position[3] = {0, 0, 0};
    float direction[3] = {0, 0, 1};
    float range = 0.0f;
    float falloff = 1.0f;
    float attenuation[3] = {1, 0, 0};
    float theta = 0.0f;
    float phi = 0.0f;
};

// Fixed-function render states, numbered as the renderer stores them. Values of blend factors,
// comparisons, stencil operations and fill modes are the renderer's own enumerations.
enum RenderStateId : int {
    RsZEnable = 7,
    RsFillMode = 8,
    RsShadeMode = 9, // 1 flat, 2 Gouraud
    RsZWriteEnable = 14,
    RsAlphaTestEnable = 15,
    RsSrcBlend = 19,
    RsDestBlend = 20,
    RsCullMode = 22, // 1 none, 2 clockwise, 3 counter-clockwise
    RsZFunc = 23,
    RsAlphaRef = 24,
    RsAlphaFunc = 25,
    RsAlphaBlendEnable = 27,
    RsFogEnable = 28,
    RsSpecularEnable = 29,
    RsFogColor = 34,
    RsFogTableMode = 35, // 0 none, 1 exp, 2 exp2, 3 linear
    RsFogStart = 36,     // float bits
    RsFogEnd = 37,       // float bits
    RsFogDensity = 38,   // float bits
    RsStencilEnable = 52,
    RsStencilFail = 53,
    RsStencilZFail = 54,
    RsStencilPass = 55,
    RsStencilFunc = 56,
    RsStencilRef = 57,
    RsStencilMask = 58,
    RsStencilWriteMask = 59,
    RsTextureFactor = 60,
    RsClipping = 136,
    RsLighting = 137,
    RsAmbient = 139,
    RsFogVertexMode = 140,
    RsColorVertex = 141,
    RsNormalizeNormals = 143,
    RsDiffuseMaterialSource = 145, // 0 material, 1 vertex diffuse, 2 vertex specular
    RsSpecularMaterialSource = 146,
    RsAmbientMaterialSource = 147,
    RsEmissiveMaterialSource = 148,
    RsAntialiasedLineEnable = 176,
    RsDepthBias = 195, // float bits, in units of the depth range
    RsCount = 256,
};

// Per-stage texture blending states.
enum class StageState : int {
    ColorOp = 0,
    ColorArg1,
    ColorArg2,
    AlphaOp,
    AlphaArg1,
    AlphaArg2,
    TexCoordIndex,  // coordinate set in the low 16 bits, generation mode above
    TransformFlags, // 0 off, 1-4 coordinates out, | kTransformProjected
    Count,
};

// Stage arguments and their modifiers.
enum StageArgument : std::uint32_t {
    ArgDiffuse = 0,
    ArgCurrent = 1,
    ArgTexture = 2,
    ArgTextureFactor = 3,
    ArgSpecular = 4,
    ArgComplement = 0x10,
    ArgAlphaReplicate = 0x20,
};

// Texture-coordinate generation in the upper half of TexCoordIndex.
enum TexCoordGeneration : std::uint32_t {
    TexGenCameraSpaceNormal = 0x10000,
    TexGenCameraSpacePosition = 0x20000,
    TexGenCameraSpaceReflection = 0x30000,
    TexGenSphereMap = 0x40000,
};
constexpr std::uint32_t kTransformProjected = 256;

enum class SamplerState : int { AddressU = 0, AddressV, MagFilter, MinFilter, MipFilter, MipLodBias, Count };
enum TextureAddress : std::uint32_t { AddressWrap = 1, AddressMirror = 2, AddressClamp = 3 };
enum TextureFilter : std::uint32_t { FilterNone = 0, FilterPoint = 1, FilterLinear = 2, FilterAnisotropic = 3 };

// The elements of a vertex, packed in this order: position (3 floats; 4 with a blend weight or
// when pre-transformed as x, y, z, 1/w), normal (3 floats), diffuse and specular (0xAARRGGBB),
// then each texture-coordinate set with its number of floats.
struct VertexFormat {
    enum class Position : std::uint8_t { None, Xyz, XyzWeight, Transformed };
    Position position = Position::Xyz;
    bool normal = false;
    bool diffuse = false;
    bool specular = false;
    int texSets = 0;
    std::uint8_t texFloats[8] = {2, 2, 2, 2, 2, 2, 2, 2};

    int Size() const;
    int NormalOffset() const;
    int DiffuseOffset() const;
    int SpecularOffset() const;
    int TexOffset(int set) const;
    friend bool operator==(const VertexFormat&, const VertexFormat&) = default;
};

// Surface properties of lit geometry (each colour r, g, b, a in 0..1).
struct MaterialParameters {
    float diffuse[4] = {1, 1, 1, 1};
    float ambient[4] = {1, 1, 1, 1};
    float specular[4] = {0, 0, 0, 0};
    float emissive[4] = {0, 0, 0, 0};
    float power = 0.0f;
};

enum class ShaderKind { Vertex, Pixel };

} // namespace platform::gpu
