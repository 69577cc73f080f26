#pragma once

// The graphics vocabulary shared by the renderer library's interface and the graphics layer under
// it: texture formats, primitive types, blend factors, texture-stage operations, comparisons,
// stencil operations, fill modes, light types and object flags. The numbers are those that
// materials, model files and callers store, so they never change.

#include <cstdint>

// Texture format codes used in every format argument, in files and by callers.
enum TextureFormat : std::int32_t {
    FormatUnknown = 0,
    FormatR8G8B8 = 1,
    FormatA8R8G8B8 = 2,
    FormatX8R8G8B8 = 3,
    FormatR5G6B5 = 4,
    FormatX1R5G5B5 = 5,
    FormatA1R5G5B5 = 6,
    FormatX4R4G4B4 = 7,
    FormatA4R4G4B4 = 8,
    FormatR3G3B2 = 9,
    FormatA8R3G3B2 = 10,
    FormatA2B10G10R10 = 11,
    FormatP8 = 12,
    FormatL8 = 13,
    FormatA4L4 = 14,
    FormatA8L8 = 15,
    FormatA8 = 16,
    FormatV8U8 = 17,
    FormatL6V5U5 = 18,
    FormatX8L8V8U8 = 19,
    FormatQ8W8V8U8 = 20,
    FormatV16U16 = 21,
    FormatA2W10V10U10 = 22,
    FormatUYVY = 23,
    FormatYUY2 = 24,
    FormatDXT1 = 25,
    FormatDXT3 = 26,
    FormatDXT5 = 27,
};

// Primitive types of prims and caller-memory draws.
enum PrimitiveType : std::int32_t {
    PrimPointList = 1,
    PrimLineList = 2,
    PrimLineStrip = 3,
    PrimTriangleList = 4,
    PrimTriangleStrip = 5,
    PrimTriangleFan = 6,
};

// Blend factors, as stored in materials and model files.
enum BlendFactor : std::int32_t {
    BlendZero = 1,
    BlendOne = 2,
    BlendSrcColor = 3,
    BlendInvSrcColor = 4,
    BlendSrcAlpha = 5,
    BlendInvSrcAlpha = 6,
    BlendDestAlpha = 7,
    BlendInvDestAlpha = 8,
    BlendDestColor = 9,
    BlendInvDestColor = 10,
    BlendSrcAlphaSat = 11,
};

// Texture stage operations (a material's colorOp of stages 1-3).
enum TextureOp : std::int32_t {
    TexOpDisable = 1,
    TexOpSelectArg1 = 2,
    TexOpSelectArg2 = 3,
    TexOpModulate = 4,
    TexOpModulate2x = 5,
    TexOpModulate4x = 6,
    TexOpAdd = 7,
    TexOpAddSigned = 8,
    TexOpAddSigned2x = 9,
    TexOpSubtract = 10,
    TexOpAddSmooth = 11,
    TexOpBlendDiffuseAlpha = 12,
    TexOpBlendTextureAlpha = 13,
    TexOpBlendFactorAlpha = 14,
    TexOpBlendTextureAlphaPremultiplied = 15,
    TexOpBlendCurrentAlpha = 16,
    TexOpPremodulate = 17,
    TexOpModulateAlphaAddColor = 18,
    TexOpModulateColorAddAlpha = 19,
    TexOpModulateInvAlphaAddColor = 20,
    TexOpModulateInvColorAddAlpha = 21,
    TexOpBumpEnvMap = 22,
    TexOpBumpEnvMapLuminance = 23,
    TexOpDotProduct3 = 24,
    TexOpMultiplyAdd = 25,
    TexOpLerp = 26,
};

// Depth and stencil comparisons.
enum CompareFunc : std::int32_t {
    CompareNever = 1,
    CompareLess = 2,
    CompareEqual = 3,
    CompareLessEqual = 4,
    CompareGreater = 5,
    CompareNotEqual = 6,
    CompareGreaterEqual = 7,
    CompareAlways = 8,
};

enum StencilOp : std::int32_t {
    StencilKeep = 1,
    StencilZero = 2,
    StencilReplace = 3,
    StencilIncrementSaturate = 4,
    StencilDecrementSaturate = 5,
    StencilInvert = 6,
    StencilIncrement = 7,
    StencilDecrement = 8,
};

enum FillMode : std::int32_t {
    FillPoint = 1,
    FillWireframe = 2,
    FillSolid = 3,
};

enum LightType : std::int32_t {
    LightPoint = 1,
    LightSpot = 2,
    LightDirectional = 3,
};

// D3DBitmap flags.
enum BitmapFlags : std::uint32_t {
    BitmapOneLevel = 0x2,
    BitmapSurface = 0x4,
    BitmapPrivate = 0x8,
    BitmapClampU = 0x10,
    BitmapClampV = 0x20,
    BitmapScratch = 0x40,
    BitmapCube = 0x80,
    BitmapDefaultPool = 0x100,
    BitmapDynamic = 0x200,
    BitmapRenderTarget = 0x400,
    BitmapDepthStencil = 0x800,
    BitmapAnySize = 0x1000,
};

// D3DPrim flags.
enum PrimFlags : std::uint32_t {
    PrimSystemMemory = 0x1,
    PrimNeverSorted = 0x2,
    PrimIndex32 = 0x4,
};
