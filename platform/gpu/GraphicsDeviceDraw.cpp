// Drawing on OpenGL's fixed-function pipeline (compatibility profile): render states, texture
// stages as texture combiners, lights and material, vertex formats as client arrays, and
// compiled shaders through their GLSL translation.
#include <algorithm>
#include <cmath>
#include <cstring>

#include <epoxy/gl.h>
#include <mojoshader.h>

#include "engine/core/RenderTypes.h"
#include "platform/gpu/DrawState.h"
#include "platform/gpu/GlContext.h"
#include "platform/gpu/GraphicsDevice.h"
#include "platform/gpu/Shader.h"

namespace platform::gpu {
namespace {

float BitsToFloat(std::uint32_t bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

void ColorToFloats(std::uint32_t color, float out[4])
{
    out[0] = float((color >> 16) & 0xFF) / 255.0f;
    out[1] = float((color >> 8) & 0xFF) / 255.0f;
    out[2] = float(color & 0xFF) / 255.0f;
    out[3] = float(color >> 24) / 255.0f;
}

GLenum BlendFactorGl(std::uint32_t factor)
{
    switch (factor) {
    case 1: return GL_ZERO;
    case 2: return GL_ONE;
    case 3: return GL_SRC_COLOR;
    case 4: return GL_ONE_MINUS_SRC_COLOR;
    case 5: return GL_SRC_ALPHA;
    case 6: return GL_ONE_MINUS_SRC_ALPHA;
    case 7: return GL_DST_ALPHA;
    case 8: return GL_ONE_MINUS_DST_ALPHA;
    case 9: return GL_DST_COLOR;
    case 10: return GL_ONE_MINUS_DST_COLOR;
    case 11: return GL_SRC_ALPHA_SATURATE;
    default: return GL_ONE;
    }
}

// Direct3D's "both source alpha" (12) and "both inverse source alpha" (13) set the pair from the
// source state alone: (As, 1 - As) and (1 - As, As). Given as a destination, each stands for its
// destination half.
void SetBlendFuncGl(std::uint32_t source, std::uint32_t destination)
{
    if (source == 12) {
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    } else if (source == 13) {
        glBlendFunc(GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA);
    } else {
        const GLenum to = destination == 12 ? GL_ONE_MINUS_SRC_ALPHA
                          : destination == 13 ? GL_SRC_ALPHA
                                              : BlendFactorGl(destination);
        glBlendFunc(BlendFactorGl(source), to);
    }
}

GLenum CompareGl(std::uint32_t func)
{
    switch (func) {
    case 1: return GL_NEVER;
    case 2: return GL_LESS;
    case 3: return GL_EQUAL;
    case 4: return GL_LEQUAL;
    case 5: return GL_GREATER;
    case 6: return GL_NOTEQUAL;
    case 7: return GL_GEQUAL;
    default: return GL_ALWAYS;
    }
}

GLenum StencilOpGl(std::uint32_t op)
{
    switch (op) {
    case 2: return GL_ZERO;
    case 3: return GL_REPLACE;
    case 4: return GL_INCR;
    case 5: return GL_DECR;
    case 6: return GL_INVERT;
    case 7: return GL_INCR_WRAP;
    case 8: return GL_DECR_WRAP;
    default: return GL_KEEP;
    }
}

bool ValidPrimitive(int type)
{
    return type >= 1 && type <= 6;
}

GLenum PrimitiveGl(int type)
{
    switch (type) {
    case 1: return GL_POINTS;
    case 2: return GL_LINES;
    case 3: return GL_LINE_STRIP;
    case 4: return GL_TRIANGLES;
    case 5: return GL_TRIANGLE_STRIP;
    case 6: return GL_TRIANGLE_FAN;
    default: return GL_NONE;
    }
}

// Source and operand of one combiner argument.
void ArgumentGl(std::uint32_t argument, bool alpha, GLenum& source, GLenum& operand)
{
    switch (argument & 0xF) {
    case ArgCurrent: source = GL_PREVIOUS; break;
    case ArgTexture: source = GL_TEXTURE; break;
    case ArgTextureFactor: source = GL_CONSTANT; break;
    default: source = GL_PRIMARY_COLOR; break; // diffuse; specular has no combiner source
    }
    const bool complement = (argument & ArgComplement) != 0;
    if (alpha || (argument & ArgAlphaReplicate))
        operand = complement ? GL_ONE_MINUS_SRC_ALPHA : GL_SRC_ALPHA;
    else
        operand = complement ? GL_ONE_MINUS_SRC_COLOR : GL_SRC_COLOR;
}

// One half (colour or alpha) of a stage as a texture combiner. The third argument of the
// operations that take one (Direct3D's argument 0) is the current colour, its default. With
// combine3 (GL_ATI_texture_env_combine3) the operations of the form a x b + c are exact.
void CombinerGl(std::uint32_t op, std::uint32_t arg1, std::uint32_t arg2, bool alpha, bool combine3)
{
    const GLenum combine = alpha ? GL_COMBINE_ALPHA : GL_COMBINE_RGB;
    const GLenum sources[3] = {alpha ? GLenum(GL_SRC0_ALPHA) : GLenum(GL_SRC0_RGB),
                               alpha ? GLenum(GL_SRC1_ALPHA) : GLenum(GL_SRC1_RGB),
                               alpha ? GLenum(GL_SRC2_ALPHA) : GLenum(GL_SRC2_RGB)};
    const GLenum operands[3] = {alpha ? GLenum(GL_OPERAND0_ALPHA) : GLenum(GL_OPERAND0_RGB),
                                alpha ? GLenum(GL_OPERAND1_ALPHA) : GLenum(GL_OPERAND1_RGB),
                                alpha ? GLenum(GL_OPERAND2_ALPHA) : GLenum(GL_OPERAND2_RGB)};
    auto setArgument = [&](int slot, std::uint32_t argument) {
        GLenum source, operand;
        ArgumentGl(argument, alpha, source, operand);
        glTexEnvi(GL_TEXTURE_ENV, sources[slot], GLint(source));
        glTexEnvi(GL_TEXTURE_ENV, operands[slot], GLint(operand));
    };
    constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    // OpenGL's arguments 0, 1 and 2 for the mode.
    std::uint32_t slot0 = arg1, slot1 = arg2, slot2 = kNone;
    float scale = 1.0f;
    GLenum mode = GL_MODULATE;
    // a x b + c as MODULATE_ADD (slot 0 x slot 2 + slot 1), where the extension is there.
    auto multiplyAdd = [&](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        if (!combine3)
            return false;
        mode = GL_MODULATE_ADD_ATI;
        slot0 = a;
        slot2 = b;
        slot1 = c;
        return true;
    };
    switch (op) {
    case TexOpDisable: // alpha only: the colour half decides whether the stage runs
        mode = GL_REPLACE;
        slot0 = ArgCurrent;
        break;
    case TexOpSelectArg1: mode = GL_REPLACE; break;
    case TexOpSelectArg2: mode = GL_REPLACE; slot0 = arg2; break;
    case TexOpModulate2x: scale = 2.0f; break;
    case TexOpModulate4x: scale = 4.0f; break;
    case TexOpAdd: mode = GL_ADD; break;
    case TexOpAddSmooth: // arg1 + arg2 - arg1 x arg2 = arg2 x (1 - arg1) + arg1
        if (!multiplyAdd(arg2, arg1 ^ ArgComplement, arg1))
            mode = GL_ADD;
        break;
    case TexOpAddSigned: mode = GL_ADD_SIGNED; break;
    case TexOpAddSigned2x: mode = GL_ADD_SIGNED; scale = 2.0f; break;
    case TexOpSubtract: mode = GL_SUBTRACT; break;
    case TexOpBlendDiffuseAlpha: mode = GL_INTERPOLATE; slot2 = ArgDiffuse | ArgAlphaReplicate; break;
    case TexOpBlendTextureAlpha: mode = GL_INTERPOLATE; slot2 = ArgTexture | ArgAlphaReplicate; break;
    case TexOpBlendTextureAlphaPremultiplied: // arg1 + arg2 x (1 - texture alpha)
        if (!multiplyAdd(arg2, ArgTexture | ArgAlphaReplicate | ArgComplement, arg1)) {
            mode = GL_INTERPOLATE;
            slot2 = ArgTexture | ArgAlphaReplicate;
        }
        break;
    case TexOpBlendFactorAlpha: mode = GL_INTERPOLATE; slot2 = ArgTextureFactor | ArgAlphaReplicate; break;
    case TexOpBlendCurrentAlpha: mode = GL_INTERPOLATE; slot2 = ArgCurrent | ArgAlphaReplicate; break;
    case TexOpModulateAlphaAddColor: multiplyAdd(arg1 | ArgAlphaReplicate, arg2, arg1); break;
    case TexOpModulateColorAddAlpha: multiplyAdd(arg1, arg2, arg1 | ArgAlphaReplicate); break;
    case TexOpModulateInvAlphaAddColor: multiplyAdd(arg1 | ArgAlphaReplicate | ArgComplement, arg2, arg1); break;
    case TexOpModulateInvColorAddAlpha: multiplyAdd(arg1 ^ ArgComplement, arg2, arg1 | ArgAlphaReplicate); break;
    case TexOpMultiplyAdd: // current + arg1 x arg2
        if (!multiplyAdd(arg1, arg2, ArgCurrent))
            mode = GL_MODULATE;
        break;
    case TexOpLerp: // current x arg1 + (1 - current) x arg2, channel by channel
        mode = GL_INTERPOLATE;
        slot2 = ArgCurrent;
        break;
    case TexOpDotProduct3: mode = alpha ? GL_MODULATE : GL_DOT3_RGBA; break;
    default: break; // modulate and the operations without a combiner of their own
    }
    glTexEnvi(GL_TEXTURE_ENV, combine, GLint(mode));
    setArgument(0, slot0);
    if (mode != GL_REPLACE)
        setArgument(1, slot1);
    if (slot2 != kNone)
        setArgument(2, slot2);
    glTexEnvf(GL_TEXTURE_ENV, alpha ? GL_ALPHA_SCALE : GL_RGB_SCALE, scale);
}

// A row-vector matrix loaded as OpenGL's column-major one is the same transform.
void LoadMatrix(GLenum mode, const float* m)
{
    glMatrixMode(mode);
    glLoadMatrixf(m);
}

void Multiply(const float* a, const float* b, float* out)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a[r * 4 + k] * b[k * 4 + c];
            out[r * 4 + c] = sum;
        }
}

const float kIdentityMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// The generic attribute that carries the specular colour to the screen program.
constexpr GLuint kSpecularAttribute = 6;

// The start of every vertex program of the gpu layer: the specular colour as a generic
// attribute, and the texture coordinates of every unit through its texture matrix.
const char* const kVertexProgramCommon = R"(#version 120
attribute vec4 specularIn;
void PassTextureCoordinates()
{
    gl_TexCoord[0] = gl_TextureMatrix[0] * gl_MultiTexCoord0;
    gl_TexCoord[1] = gl_TextureMatrix[1] * gl_MultiTexCoord1;
    gl_TexCoord[2] = gl_TextureMatrix[2] * gl_MultiTexCoord2;
    gl_TexCoord[3] = gl_TextureMatrix[3] * gl_MultiTexCoord3;
    gl_TexCoord[4] = gl_TextureMatrix[4] * gl_MultiTexCoord4;
    gl_TexCoord[5] = gl_TextureMatrix[5] * gl_MultiTexCoord5;
    gl_TexCoord[6] = gl_TextureMatrix[6] * gl_MultiTexCoord6;
    gl_TexCoord[7] = gl_TextureMatrix[7] * gl_MultiTexCoord7;
}
)";

// Pre-transformed vertices: the projection maps pixels to clip space with z unchanged; the
// position is then scaled by w = 1 / rhw. The rest of the pipeline is fixed function.
const char* const kScreenVertexProgram = R"(
uniform float fogFromSpecular;
void main()
{
    float w = gl_Vertex.w > 0.0 ? 1.0 / gl_Vertex.w : 1.0;
    gl_Position = (gl_ProjectionMatrix * vec4(gl_Vertex.xyz, 1.0)) * w;
    gl_FrontColor = gl_Color;
    gl_BackColor = gl_Color;
    gl_FrontSecondaryColor = vec4(specularIn.rgb, 0.0);
    gl_BackSecondaryColor = vec4(specularIn.rgb, 0.0);
    PassTextureCoordinates();
    gl_FogFragCoord = fogFromSpecular > 0.5 ? specularIn.a : w;
}
)";

// Direct3D's vertex lighting with OpenGL's light and spot model as the fixed-function path sets
// it up: lights end at their range, and each material colour comes from the material (0), the
// vertex diffuse colour (1) or the vertex specular colour (2).
const char* const kLitVertexProgram = R"(
uniform float lightOn[8];
uniform float lightRange[8];
uniform vec4 sources; // diffuse, ambient, specular, emissive
uniform float specularOn;
uniform float power;
uniform vec4 materialDiffuse, materialAmbient, materialSpecular, materialEmissive;
vec4 Source(float source, vec4 material)
{
    return source > 1.5 ? specularIn : source > 0.5 ? gl_Color : material;
}
void main()
{
    vec4 eye = gl_ModelViewMatrix * gl_Vertex;
    gl_Position = gl_ProjectionMatrix * eye;
    vec3 n = gl_NormalMatrix * gl_Normal;
    n = length(n) > 0.0 ? normalize(n) : n; // no normal: no diffuse or specular light
    vec3 toViewer = -normalize(eye.xyz);
    vec4 md = Source(sources.x, materialDiffuse);
    vec4 ma = Source(sources.y, materialAmbient);
    vec4 ms = Source(sources.z, materialSpecular);
    vec4 me = Source(sources.w, materialEmissive);
    vec3 ambient = vec3(0.0), diffuse = vec3(0.0), specular = vec3(0.0);
    for (int i = 0; i < 8; ++i) {
        if (lightOn[i] < 0.5)
            continue;
        vec4 position = gl_LightSource[i].position;
        vec3 l;
        float attenuation = 1.0;
        if (position.w == 0.0) {
            l = normalize(position.xyz);
        } else {
            vec3 d = position.xyz - eye.xyz;
            float distance = length(d);
            if (distance > lightRange[i])
                continue;
            l = distance > 0.0 ? d / distance : vec3(0.0, 0.0, 1.0);
            attenuation = 1.0 / (gl_LightSource[i].constantAttenuation + gl_LightSource[i].linearAttenuation * distance +
                                 gl_LightSource[i].quadraticAttenuation * distance * distance);
            if (gl_LightSource[i].spotCutoff < 180.0) {
                float c = dot(-l, normalize(gl_LightSource[i].spotDirection));
                attenuation = c < gl_LightSource[i].spotCosCutoff ? 0.0 : attenuation * pow(c, gl_LightSource[i].spotExponent);
            }
        }
        float nl = max(dot(n, l), 0.0);
        ambient += attenuation * gl_LightSource[i].ambient.rgb;
        diffuse += attenuation * nl * gl_LightSource[i].diffuse.rgb;
        if (specularOn > 0.5 && nl > 0.0)
            specular += attenuation * pow(max(dot(n, normalize(l + toViewer)), 0.0), power) * gl_LightSource[i].specular.rgb;
    }
    vec3 color = me.rgb + ma.rgb * (gl_LightModel.ambient.rgb + ambient) + md.rgb * diffuse;
    gl_FrontColor = clamp(vec4(color, md.a), 0.0, 1.0);
    gl_BackColor = gl_FrontColor;
    gl_FrontSecondaryColor = vec4(clamp(ms.rgb * specular, 0.0, 1.0), 0.0);
    gl_BackSecondaryColor = gl_FrontSecondaryColor;
    PassTextureCoordinates();
    gl_FogFragCoord = abs(eye.z);
}
)";

// A vertex program of one source, with the specular colour at its generic attribute; 0 when
// it does not compile or link.
GLuint BuildVertexProgram(const char* source)
{
    const GLuint shader = glCreateShader(GL_VERTEX_SHADER);
    const char* const sources[2] = {kVertexProgramCommon, source};
    glShaderSource(shader, 2, sources, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        glDeleteShader(shader);
        return 0;
    }
    const GLuint program = glCreateProgram();
    glAttachShader(program, shader);
    glBindAttribLocation(program, kSpecularAttribute, "specularIn");
    glLinkProgram(program);
    glDeleteShader(shader);
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
        glDeleteProgram(program);
        return 0;
    }
    return program;
}

// Pixel centres lie on whole coordinates, half a pixel before OpenGL's. Rows are shifted a
// little less, so that with the top row first an edge through a centre still takes the pixel
// below it (top-left filling) rather than the one above.
constexpr float kPixelShiftX = 0.5f;
constexpr float kPixelShiftY = 0.5f - 1.0f / 128.0f;

} // namespace

// ---- Set-up ----

void GraphicsDevice::InitialiseDrawing()
{
    draw = std::make_unique<DrawState>();
    DrawState& d = *draw;
    for (int s = 0; s < kStages; ++s) {
        const bool first = s == 0;
        d.stage[s][int(StageState::ColorOp)] = first ? TexOpModulate : TexOpDisable;
        d.stage[s][int(StageState::ColorArg1)] = ArgTexture;
        d.stage[s][int(StageState::ColorArg2)] = ArgCurrent;
        d.stage[s][int(StageState::AlphaOp)] = first ? TexOpSelectArg1 : TexOpDisable;
        d.stage[s][int(StageState::AlphaArg1)] = ArgTexture;
        d.stage[s][int(StageState::AlphaArg2)] = ArgCurrent;
        d.stage[s][int(StageState::TexCoordIndex)] = std::uint32_t(s);
        d.stage[s][int(StageState::TransformFlags)] = 0;
        d.sampler[s][int(SamplerState::AddressU)] = AddressWrap;
        d.sampler[s][int(SamplerState::AddressV)] = AddressWrap;
        d.sampler[s][int(SamplerState::MagFilter)] = FilterPoint;
        d.sampler[s][int(SamplerState::MinFilter)] = FilterPoint;
        d.sampler[s][int(SamplerState::MipFilter)] = FilterNone;
        d.sampler[s][int(SamplerState::MipLodBias)] = 0;
    }
    d.combine3 = epoxy_has_gl_extension("GL_ATI_texture_env_combine3");
    glCreateSamplers(kStages, d.samplerObjects);
    for (int s = 0; s < kStages; ++s) {
        glSamplerParameteri(d.samplerObjects[s], GL_TEXTURE_WRAP_S, GL_REPEAT);
        glSamplerParameteri(d.samplerObjects[s], GL_TEXTURE_WRAP_T, GL_REPEAT);
        glSamplerParameteri(d.samplerObjects[s], GL_TEXTURE_WRAP_R, GL_REPEAT);
        glSamplerParameteri(d.samplerObjects[s], GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glSamplerParameteri(d.samplerObjects[s], GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glBindSampler(GLuint(s), d.samplerObjects[s]);
    }
    // Stages that run without a texture read opaque white.
    const std::uint32_t white = 0xFFFFFFFFu;
    glCreateTextures(GL_TEXTURE_2D, 1, &d.whiteTexture);
    glTextureStorage2D(d.whiteTexture, 1, GL_RGBA8, 1, 1);
    glTextureSubImage2D(d.whiteTexture, 0, 0, 0, 1, 1, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, &white);

    // Direct3D's lighting model: the viewer is local, specular is added after texturing, flat
    // shading takes the first vertex's colour, and materials are lit on both sides alike.
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, GL_TRUE);
    glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
    glColorMaterial(GL_FRONT_AND_BACK, GL_DIFFUSE);
    glFogi(GL_FOG_COORD_SRC, GL_FRAGMENT_DEPTH);
    glHint(GL_FOG_HINT, GL_NICEST);
    glEnableClientState(GL_VERTEX_ARRAY);
    // With the upper-left origin, triangles that are clockwise on screen count as front faces.
    glFrontFace(GL_CW);

    const std::uint32_t defaults[][2] = {
        {RsZEnable, 1}, {RsFillMode, 3}, {RsShadeMode, 2}, {RsZWriteEnable, 1}, {RsAlphaTestEnable, 0},
        {RsSrcBlend, 2}, {RsDestBlend, 1}, {RsCullMode, 3}, {RsZFunc, 4}, {RsAlphaRef, 0}, {RsAlphaFunc, 8},
        {RsAlphaBlendEnable, 0}, {RsFogEnable, 0}, {RsSpecularEnable, 0}, {RsFogColor, 0}, {RsFogTableMode, 0},
        {RsFogStart, 0}, {RsFogEnd, 0x3F800000u}, {RsFogDensity, 0x3F800000u}, {RsStencilEnable, 0},
        {RsStencilFail, 1}, {RsStencilZFail, 1}, {RsStencilPass, 1}, {RsStencilFunc, 8}, {RsStencilRef, 0},
        {RsStencilMask, 0xFFFFFFFFu}, {RsStencilWriteMask, 0xFFFFFFFFu}, {RsTextureFactor, 0xFFFFFFFFu},
        {RsClipping, 1}, {RsLighting, 1}, {RsAmbient, 0}, {RsFogVertexMode, 0}, {RsColorVertex, 1},
        {RsNormalizeNormals, 0}, {RsAntialiasedLineEnable, 0}, {RsDepthBias, 0}, {RsDiffuseMaterialSource, 1},
        {RsSpecularMaterialSource, 2}, {RsAmbientMaterialSource, 0}, {RsEmissiveMaterialSource, 0}};
    for (const auto& entry : defaults) {
        renderStates[entry[0]] = entry[1];
        ApplyRenderState(int(entry[0]), entry[1]);
    }
    ProbeShaderVersions();
}

void GraphicsDevice::ReleaseDrawing()
{
    if (!draw)
        return;
    DrawState& d = *draw;
    for (Texture*& texture : d.textures)
        if (texture) {
            texture->Release();
            texture = nullptr;
        }
    for (Shader*& shader : d.shaders)
        if (shader) {
            shader->Release();
            shader = nullptr;
        }
    if (d.stream)
        d.stream->Release();
    if (d.indices)
        d.indices->Release();
    for (auto& entry : d.programs)
        if (entry.second.name)
            glDeleteProgram(entry.second.name);
    if (d.screen.name != 0)
        glDeleteProgram(d.screen.name);
    if (d.lit.name != 0)
        glDeleteProgram(d.lit.name);
    for (GLuint program : {d.copy.sampled.name, d.copy.plain.name, d.copy.converting.name})
        if (program != 0)
            glDeleteProgram(program);
    if (d.copy.sampler != 0)
        glDeleteSamplers(1, &d.copy.sampler);
    if (d.copy.framebuffer != 0)
        glDeleteFramebuffers(1, &d.copy.framebuffer);
    if (d.copy.vertexArray != 0)
        glDeleteVertexArrays(1, &d.copy.vertexArray);
    for (void*& fence : d.ring.fences)
        if (fence) {
            glDeleteSync(static_cast<GLsync>(fence));
            fence = nullptr;
        }
    if (d.ring.buffer != 0)
        glDeleteBuffers(1, &d.ring.buffer); // unmapped with it
    if (d.page)
        BufferPage::Close(d.page);
    glDeleteSamplers(kStages, d.samplerObjects);
    glDeleteTextures(1, &d.whiteTexture);
    draw.reset();
}

// ---- Render states ----

Result GraphicsDevice::SetRenderState(int state, std::uint32_t value)
{
    if (state < 0 || state >= int(renderStates.size()))
        return ErrorInvalidCall;
    if (renderStates[std::size_t(state)] == value)
        return Ok;
    renderStates[std::size_t(state)] = value;
    ApplyRenderState(state, value);
    return Ok;
}

std::uint32_t GraphicsDevice::GetRenderState(int state) const
{
    return state >= 0 && state < int(renderStates.size()) ? renderStates[std::size_t(state)] : 0;
}

void GraphicsDevice::ApplyRenderState(int state, std::uint32_t value)
{
    auto enable = [](GLenum cap, bool on) { on ? glEnable(cap) : glDisable(cap); };
    auto rs = [this](int s) { return renderStates[std::size_t(s)]; };
    switch (state) {
    case RsZEnable: enable(GL_DEPTH_TEST, value != 0); break;
    case RsFillMode:
        glPolygonMode(GL_FRONT_AND_BACK, value == 1 ? GL_POINT : value == 2 ? GL_LINE : GL_FILL);
        break;
    case RsShadeMode: glShadeModel(value == 1 ? GL_FLAT : GL_SMOOTH); break;
    case RsZWriteEnable: glDepthMask(value ? GL_TRUE : GL_FALSE); break;
    case RsAlphaTestEnable: enable(GL_ALPHA_TEST, value != 0); break;
    case RsSrcBlend:
    case RsDestBlend: SetBlendFuncGl(rs(RsSrcBlend), rs(RsDestBlend)); break;
    case RsCullMode:
        if (value == 1) {
            glDisable(GL_CULL_FACE);
        } else {
            glEnable(GL_CULL_FACE);
            // Front faces are the clockwise ones: culling clockwise culls the front.
            glCullFace(value == 2 ? GL_FRONT : GL_BACK);
        }
        break;
    case RsZFunc: glDepthFunc(CompareGl(value)); break;
    case RsAlphaRef:
    case RsAlphaFunc: glAlphaFunc(CompareGl(rs(RsAlphaFunc)), float(rs(RsAlphaRef) & 0xFF) / 255.0f); break;
    case RsAlphaBlendEnable: enable(GL_BLEND, value != 0); break;
    case RsFogColor: {
        float color[4];
        ColorToFloats(value, color);
        glFogfv(GL_FOG_COLOR, color);
        break;
    }
    case RsFogStart:
    case RsFogEnd:
        if (draw && draw->fogFromSpecular) {
            RestoreFog();
            break;
        }
        glFogf(state == RsFogStart ? GL_FOG_START : GL_FOG_END, BitsToFloat(value));
        break;
    case RsFogDensity: glFogf(GL_FOG_DENSITY, BitsToFloat(value)); break;
    case RsFogTableMode:
    case RsFogVertexMode: {
        if (draw && draw->fogFromSpecular) {
            RestoreFog();
            break;
        }
        const std::uint32_t mode = rs(RsFogTableMode) ? rs(RsFogTableMode) : rs(RsFogVertexMode);
        glFogi(GL_FOG_MODE, mode == 1 ? GL_EXP : mode == 2 ? GL_EXP2 : GL_LINEAR);
        break;
    }
    case RsStencilEnable: enable(GL_STENCIL_TEST, value != 0); break;
    case RsStencilFail:
    case RsStencilZFail:
    case RsStencilPass:
        glStencilOp(StencilOpGl(rs(RsStencilFail)), StencilOpGl(rs(RsStencilZFail)), StencilOpGl(rs(RsStencilPass)));
        break;
    case RsStencilFunc:
    case RsStencilRef:
    case RsStencilMask: glStencilFunc(CompareGl(rs(RsStencilFunc)), GLint(rs(RsStencilRef)), rs(RsStencilMask)); break;
    case RsStencilWriteMask: glStencilMask(value); break;
    case RsTextureFactor:
        if (draw)
            draw->stagesDirty = true;
        break;
    case RsAmbient: {
        float color[4];
        ColorToFloats(value, color);
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, color);
        break;
    }
    case RsNormalizeNormals: enable(GL_NORMALIZE, value != 0); break;
    case RsAntialiasedLineEnable: enable(GL_LINE_SMOOTH, value != 0); break;
    case RsDepthBias: {
        const float bias = BitsToFloat(value);
        enable(GL_POLYGON_OFFSET_FILL, bias != 0.0f);
        enable(GL_POLYGON_OFFSET_LINE, bias != 0.0f);
        glPolygonOffset(0.0f, bias * 16777216.0f);
        break;
    }
    case RsSpecularEnable:
    case RsDiffuseMaterialSource:
    case RsAmbientMaterialSource:
    case RsEmissiveMaterialSource:
        if (draw) {
            draw->materialDirty = true;
            draw->colorMaterial = -1;
        }
        break;
    default: break; // fog enable, lighting and colour vertex are resolved per draw
    }
}

// OpenGL's fog parameters as the render states give them, after the pass-through of the
// specular alpha.
void GraphicsDevice::RestoreFog()
{
    draw->fogFromSpecular = false;
    ApplyRenderState(RsFogStart, renderStates[RsFogStart]);
    ApplyRenderState(RsFogEnd, renderStates[RsFogEnd]);
    ApplyRenderState(RsFogTableMode, renderStates[RsFogTableMode]);
}

// ---- Stages, samplers, textures, material ----

Result GraphicsDevice::SetTextureStageState(int stage, StageState state, std::uint32_t value)
{
    if (stage < 0 || stage >= kStages || int(state) < 0 || state >= StageState::Count)
        return ErrorInvalidCall;
    std::uint32_t& slot = draw->stage[stage][int(state)];
    if (slot != value) {
        slot = value;
        draw->stagesDirty = true;
        draw->arrayMask = -1;
    }
    return Ok;
}

std::uint32_t GraphicsDevice::GetTextureStageState(int stage, StageState state) const
{
    if (stage < 0 || stage >= kStages || int(state) < 0 || state >= StageState::Count)
        return 0;
    return draw->stage[stage][int(state)];
}

Result GraphicsDevice::SetSamplerState(int samplerIndex, SamplerState state, std::uint32_t value)
{
    if (samplerIndex < 0 || samplerIndex >= kStages || int(state) < 0 || state >= SamplerState::Count)
        return ErrorInvalidCall;
    std::uint32_t& slot = draw->sampler[samplerIndex][int(state)];
    if (slot == value)
        return Ok;
    slot = value;
    const std::uint32_t* s = draw->sampler[samplerIndex];
    const GLuint object = draw->samplerObjects[samplerIndex];
    auto address = [](std::uint32_t mode) {
        return GLint(mode == AddressClamp ? GL_CLAMP_TO_EDGE : mode == AddressMirror ? GL_MIRRORED_REPEAT : GL_REPEAT);
    };
    switch (state) {
    case SamplerState::AddressU: glSamplerParameteri(object, GL_TEXTURE_WRAP_S, address(value)); break;
    case SamplerState::AddressV:
        glSamplerParameteri(object, GL_TEXTURE_WRAP_T, address(value));
        glSamplerParameteri(object, GL_TEXTURE_WRAP_R, address(value));
        break;
    case SamplerState::MagFilter:
        glSamplerParameteri(object, GL_TEXTURE_MAG_FILTER, value >= FilterLinear ? GL_LINEAR : GL_NEAREST);
        glSamplerParameterf(object, GL_TEXTURE_MAX_ANISOTROPY, value == FilterAnisotropic ? 4.0f : 1.0f);
        break;
    case SamplerState::MinFilter:
    case SamplerState::MipFilter: {
        const bool linear = s[int(SamplerState::MinFilter)] >= FilterLinear;
        const std::uint32_t mip = s[int(SamplerState::MipFilter)];
        GLint mode = linear ? GL_LINEAR : GL_NEAREST;
        if (mip == FilterPoint)
            mode = linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
        else if (mip >= FilterLinear)
            mode = linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
        glSamplerParameteri(object, GL_TEXTURE_MIN_FILTER, mode);
        break;
    }
    case SamplerState::MipLodBias: glSamplerParameterf(object, GL_TEXTURE_LOD_BIAS, BitsToFloat(value)); break;
    default: break;
    }
    return Ok;
}

std::uint32_t GraphicsDevice::GetSamplerState(int samplerIndex, SamplerState state) const
{
    if (samplerIndex < 0 || samplerIndex >= kStages || int(state) < 0 || state >= SamplerState::Count)
        return 0;
    return draw->sampler[samplerIndex][int(state)];
}

Result GraphicsDevice::SetTexture(int stage, Texture* texture)
{
    if (stage < 0 || stage >= kStages)
        return ErrorInvalidCall;
    Texture*& slot = draw->textures[stage];
    if (slot == texture)
        return Ok;
    Hold(slot, texture);
    draw->stagesDirty = true;
    return Ok;
}

Texture* GraphicsDevice::GetTexture(int stage) const
{
    return stage >= 0 && stage < kStages ? draw->textures[stage] : nullptr;
}

Result GraphicsDevice::SetMaterial(const MaterialParameters& newMaterial)
{
    material = newMaterial;
    draw->materialDirty = true;
    return Ok;
}

// ---- Vertex sources ----

Result GraphicsDevice::SetVertexFormat(const VertexFormat& format)
{
    if (format.texSets < 0 || format.texSets > 8)
        return ErrorInvalidCall;
    if (!(draw->format == format)) {
        draw->format = format;
        draw->stagesDirty = true; // texture matrices depend on the coordinate sizes
        draw->arrayMask = -1;
    }
    return Ok;
}

Result GraphicsDevice::SetStreamSource(Buffer* vertices, int stride)
{
    if (vertices && (vertices->GetKind() != BufferKind::Vertex || stride <= 0))
        return ErrorInvalidCall;
    Hold(draw->stream, vertices);
    draw->streamStride = stride;
    return Ok;
}

Result GraphicsDevice::SetIndices(Buffer* indices)
{
    if (indices && indices->GetKind() == BufferKind::Vertex)
        return ErrorInvalidCall;
    Hold(draw->indices, indices);
    return Ok;
}

int GraphicsDevice::VerticesForPrimitives(int type, int count)
{
    if (count <= 0)
        return 0;
    switch (type) {
    case 1: return count;
    case 2: return count * 2;
    case 3: return count + 1;
    case 4: return count * 3;
    case 5: case 6: return count + 2;
    default: return 0;
    }
}

// ---- Per-draw state ----

void GraphicsDevice::ApplyTransforms(bool transformed)
{
    DrawState& d = *draw;
    if (transformed) {
        // Pre-transformed x and y are render-target pixels whose centres lie on whole numbers.
        const float w = float(std::max(1, viewport.width)), h = float(std::max(1, viewport.height));
        const float ortho[16] = {2.0f / w, 0, 0, 0,
                                 0, -2.0f / h, 0, 0,
                                 0, 0, 1, 0,
                                 2.0f * (kPixelShiftX - float(viewport.x)) / w - 1.0f,
                                 1.0f - 2.0f * (kPixelShiftY - float(viewport.y)) / h, 0, 1};
        LoadMatrix(GL_PROJECTION, ortho);
        LoadMatrix(GL_MODELVIEW, kIdentityMatrix);
    } else {
        // Pixel centres lie on whole coordinates: shift by half a pixel in clip space.
        float shift[16];
        std::copy(kIdentityMatrix, kIdentityMatrix + 16, shift);
        shift[12] = 2.0f * kPixelShiftX / float(std::max(1, viewport.width));
        shift[13] = -2.0f * kPixelShiftY / float(std::max(1, viewport.height));
        float projection[16];
        Multiply(transforms[2].data(), shift, projection);
        LoadMatrix(GL_PROJECTION, projection);
        if (d.lightsDirty)
            ApplyLights();
        float modelView[16];
        Multiply(transforms[0].data(), transforms[1].data(), modelView);
        LoadMatrix(GL_MODELVIEW, modelView);
    }
    d.transformsDirty = false;
}

void GraphicsDevice::ApplyLights()
{
    // Light positions and directions are given in world space: specify them under the view.
    LoadMatrix(GL_MODELVIEW, transforms[1].data());
    for (int i = 0; i < capabilities.maxActiveLights; ++i) {
        const GLenum id = GLenum(GL_LIGHT0 + i);
        if (!lightEnabled[std::size_t(i)]) {
            glDisable(id);
            continue;
        }
        const LightParameters& l = lights[std::size_t(i)];
        glEnable(id);
        glLightfv(id, GL_DIFFUSE, l.diffuse);
        glLightfv(id, GL_SPECULAR, l.specular);
        glLightfv(id, GL_AMBIENT, l.ambient);
        if (l.type == 3) {
            const float towards[4] = {-l.direction[0], -l.direction[1], -l.direction[2], 0.0f};
            glLightfv(id, GL_POSITION, towards);
            glLightf(id, GL_SPOT_CUTOFF, 180.0f);
        } else {
            const float position[4] = {l.position[0], l.position[1], l.position[2], 1.0f};
            glLightfv(id, GL_POSITION, position);
            glLightf(id, GL_CONSTANT_ATTENUATION, std::max(l.attenuation[0], 1e-6f));
            glLightf(id, GL_LINEAR_ATTENUATION, l.attenuation[1]);
            glLightf(id, GL_QUADRATIC_ATTENUATION, l.attenuation[2]);
            if (l.type == 2) {
                glLightfv(id, GL_SPOT_DIRECTION, l.direction);
                glLightf(id, GL_SPOT_CUTOFF, std::min(90.0f, l.phi * 0.5f * 57.29578f));
                glLightf(id, GL_SPOT_EXPONENT, std::clamp(l.falloff, 0.0f, 128.0f));
            } else {
                glLightf(id, GL_SPOT_CUTOFF, 180.0f);
            }
        }
    }
    draw->lightsDirty = false;
}

void GraphicsDevice::ApplyStages(bool transformed)
{
    DrawState& d = *draw;
    float factor[4];
    ColorToFloats(renderStates[RsTextureFactor], factor);
    int units = 0;
    while (units < kStages && d.stage[units][int(StageState::ColorOp)] != TexOpDisable)
        ++units;
    for (int u = 0; u < kStages; ++u) {
        if (u >= units && u >= d.enabledUnits)
            break;
        glActiveTexture(GLenum(GL_TEXTURE0 + u));
        if (u >= units) {
            glDisable(GL_TEXTURE_2D);
            glDisable(GL_TEXTURE_CUBE_MAP);
            glDisable(GL_TEXTURE_GEN_S);
            glDisable(GL_TEXTURE_GEN_T);
            glDisable(GL_TEXTURE_GEN_R);
            d.unitTarget[u] = 0;
            continue;
        }
        const std::uint32_t* s = d.stage[u];
        Texture* texture = d.textures[u];
        const GLenum target = texture && texture->IsCube() ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D;
        const GLuint name = texture ? texture->PrepareForSampling() : d.whiteTexture;
        if (d.unitTarget[u] != target) {
            glDisable(target == GL_TEXTURE_2D ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D);
            glEnable(target);
            d.unitTarget[u] = target;
        }
        glBindTexture(target, name);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
        glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, factor);
        CombinerGl(s[int(StageState::ColorOp)], s[int(StageState::ColorArg1)], s[int(StageState::ColorArg2)], false,
                   d.combine3);
        CombinerGl(s[int(StageState::AlphaOp)], s[int(StageState::AlphaArg1)], s[int(StageState::AlphaArg2)], true,
                   d.combine3);

        const std::uint32_t generation = s[int(StageState::TexCoordIndex)] & 0xFFFF0000u;
        GLint genMode = 0;
        if (generation == TexGenCameraSpaceReflection)
            genMode = GL_REFLECTION_MAP;
        else if (generation == TexGenCameraSpaceNormal)
            genMode = GL_NORMAL_MAP;
        else if (generation == TexGenCameraSpacePosition)
            genMode = GL_EYE_LINEAR;
        else if (generation == TexGenSphereMap)
            genMode = GL_SPHERE_MAP;
        const bool generate = genMode != 0 && !transformed;
        for (GLenum coord : {GL_S, GL_T, GL_R}) {
            const GLenum cap = coord == GL_S ? GL_TEXTURE_GEN_S : coord == GL_T ? GL_TEXTURE_GEN_T : GL_TEXTURE_GEN_R;
            if (generate && !(genMode == GL_SPHERE_MAP && coord == GL_R)) {
                glTexGeni(coord, GL_TEXTURE_GEN_MODE, genMode);
                glEnable(cap);
            } else {
                glDisable(cap);
            }
        }
        if (generate && genMode == GL_EYE_LINEAR) {
            // Eye planes are taken under the current model-view: give them under the identity.
            glMatrixMode(GL_MODELVIEW);
            glPushMatrix();
            glLoadIdentity();
            const float planes[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};
            glTexGenfv(GL_S, GL_EYE_PLANE, planes[0]);
            glTexGenfv(GL_T, GL_EYE_PLANE, planes[1]);
            glTexGenfv(GL_R, GL_EYE_PLANE, planes[2]);
            glPopMatrix();
        }

        // The texture transform. Direct3D pads an input coordinate with 1 right after its last
        // component (OpenGL puts it in the fourth) and divides only when asked to.
        const std::uint32_t flags = s[int(StageState::TransformFlags)];
        const int count = int(flags & 0xFF);
        if (count == 0) {
            LoadMatrix(GL_TEXTURE, kIdentityMatrix);
        } else {
            float m[16];
            std::copy(transforms[std::size_t(3 + u)].begin(), transforms[std::size_t(3 + u)].end(), m);
            const int set = int(s[int(StageState::TexCoordIndex)] & 0xFFFF);
            const int inputs = generate ? 3 : (set < d.format.texSets ? d.format.texFloats[set] : 2);
            if (inputs < 3)
                for (int c = 0; c < 4; ++c) {
                    m[12 + c] = m[inputs * 4 + c];
                    m[inputs * 4 + c] = 0.0f;
                }
            const bool projected = (flags & kTransformProjected) != 0;
            for (int r = 0; r < 4; ++r)
                m[r * 4 + 3] = projected && count >= 2 ? m[r * 4 + count - 1] : (r == 3 ? 1.0f : 0.0f);
            LoadMatrix(GL_TEXTURE, m);
        }
    }
    d.enabledUnits = units;
    d.stagesDirty = false;
    d.arraysValid = false; // texture-coordinate arrays follow the units and their sets
    d.transformsDirty = true; // the matrix mode moved
}

void GraphicsDevice::ApplyVertexArrays(const std::uint8_t* base, int stride)
{
    DrawState& d = *draw;
    const VertexFormat& f = d.format;
    auto setArray = [](GLenum array, bool on) { on ? glEnableClientState(array) : glDisableClientState(array); };
    glVertexPointer(d.screenActive ? 4 : 3, GL_FLOAT, stride, base);
    // The screen program reads the specular colour, alpha included, as a generic attribute.
    const bool specularArray = (d.screenActive || d.litActive) && f.specular;
    if (specularArray)
        glVertexAttribPointer(kSpecularAttribute, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, base + f.SpecularOffset());
    if (int(specularArray) != d.specularArray) {
        if (specularArray) {
            glEnableVertexAttribArray(kSpecularAttribute);
        } else {
            glDisableVertexAttribArray(kSpecularAttribute);
            glVertexAttrib4f(kSpecularAttribute, 0.0f, 0.0f, 0.0f, 0.0f); // no specular colour: 0
        }
        d.specularArray = int(specularArray);
    }
    int mask = (f.normal ? 1 : 0) | (f.diffuse ? 2 : 0) | (f.specular ? 4 : 0);
    if (f.normal)
        glNormalPointer(GL_FLOAT, stride, base + f.NormalOffset());
    if (f.diffuse)
        glColorPointer(GL_BGRA, GL_UNSIGNED_BYTE, stride, base + f.DiffuseOffset());
    if (f.specular)
        glSecondaryColorPointer(GL_BGRA, GL_UNSIGNED_BYTE, stride, base + f.SpecularOffset());
    const int units = std::max(d.enabledUnits, 1);
    for (int u = 0; u < units; ++u) {
        const std::uint32_t index = d.stage[u][int(StageState::TexCoordIndex)];
        const int set = int(index & 0xFFFF);
        const bool present = set < f.texSets && u < d.enabledUnits;
        if (present) {
            mask |= 8 << u;
            if (d.clientUnit != u) {
                glClientActiveTexture(GLenum(GL_TEXTURE0 + u));
                d.clientUnit = u;
            }
            glTexCoordPointer(f.texFloats[set], GL_FLOAT, stride, base + f.TexOffset(set));
        }
    }
    if (mask != d.arrayMask) {
        setArray(GL_NORMAL_ARRAY, f.normal);
        setArray(GL_COLOR_ARRAY, f.diffuse);
        setArray(GL_SECONDARY_COLOR_ARRAY, f.specular);
        for (int u = 0; u < kStages; ++u) {
            glClientActiveTexture(GLenum(GL_TEXTURE0 + u));
            setArray(GL_TEXTURE_COORD_ARRAY, (mask & (8 << u)) != 0);
        }
        d.clientUnit = kStages - 1;
        d.arrayMask = mask;
    }
}

bool GraphicsDevice::PrepareDraw(std::uint32_t arrayBuffer, const std::uint8_t* base, int stride)
{
    DrawState& d = *draw;
    const bool wasScreenActive = d.screenActive, wasLitActive = d.litActive;
    const VertexFormat& f = d.format;
    if (f.position == VertexFormat::Position::None)
        return false;
    PrepareTarget();
    const bool transformed = f.position == VertexFormat::Position::Transformed;
    Shader* vertexShader = d.shaders[int(ShaderKind::Vertex)];
    Shader* pixelShader = d.shaders[int(ShaderKind::Pixel)];

    const bool lighting = renderStates[RsLighting] != 0 && !transformed && !vertexShader;
    if (lighting != d.lighting) {
        lighting ? glEnable(GL_LIGHTING) : glDisable(GL_LIGHTING);
        d.lighting = lighting;
    }
    float sources[4] = {0, 0, 0, 0};
    ChooseVertexProgram(transformed, lighting, sources);
    if (d.screenActive != wasScreenActive || d.litActive != wasLitActive)
        d.arraysValid = false; // the position size and the specular attribute depend on them
    const bool fogFromSpecular = ApplyFog(transformed);
    ApplyColourSources(lighting);
    if (d.stagesDirty || transformed != d.transformed) {
        ApplyStages(transformed);
    } else {
        // Images written since they were bound reach OpenGL before they are sampled.
        for (int u = 0; u < d.enabledUnits; ++u)
            if (Texture* texture = d.textures[u]; texture && texture->HasPendingWrites()) {
                glActiveTexture(GLenum(GL_TEXTURE0 + u));
                glBindTexture(d.unitTarget[u], texture->PrepareForSampling());
            }
    }
    if (d.transformsDirty || d.lightsDirty || transformed != d.transformed)
        ApplyTransforms(transformed);
    d.transformed = transformed;

    // Shaders: a program of the bound pair; either half may be fixed function.
    GLuint program = d.litActive ? d.lit.name : d.screenActive ? d.screen.name : 0;
    DrawState::Program* linked = nullptr;
    if (vertexShader || pixelShader) {
        linked = &d.LinkProgram();
        if (linked->name == 0)
            return false;
        program = linked->name;
    }
    if (program != d.program) {
        glUseProgram(program);
        d.program = program;
        d.constantsDirty[0] = d.constantsDirty[1] = true;
    }
    if (d.screenActive)
        glUniform1f(d.screen.fogFromSpecular, fogFromSpecular ? 1.0f : 0.0f);
    if (d.litActive)
        ApplyLitUniforms(sources);
    if (linked) {
        d.UploadShaderConstants(*linked);
        d.BindShaderSamplers();
    }

    if (vertexShader && linked) {
        d.BindShaderInputs(*linked, base, stride);
        d.arraysValid = false;
        ApplyVertexArrays(base, stride);
        return true;
    }
    if (!d.arraysValid || d.arraysBuffer != arrayBuffer || d.arraysBase != base || d.arraysStride != stride) {
        ApplyVertexArrays(base, stride);
        d.arraysValid = true;
        d.arraysBuffer = arrayBuffer;
        d.arraysBase = base;
        d.arraysStride = stride;
    }
    return true;
}

void GraphicsDevice::ChooseVertexProgram(bool transformed, bool lighting, float sources[4])
{
    DrawState& d = *draw;
    const VertexFormat& f = d.format;
    const Shader* vertexShader = d.shaders[int(ShaderKind::Vertex)];
    const Shader* pixelShader = d.shaders[int(ShaderKind::Pixel)];
    if (transformed && !vertexShader && !pixelShader && !d.screen.tried) {
        d.screen.tried = true;
        d.screen.name = BuildVertexProgram(kScreenVertexProgram);
        if (d.screen.name != 0)
            d.screen.fogFromSpecular = glGetUniformLocation(d.screen.name, "fogFromSpecular");
    }
    d.screenActive = transformed && !vertexShader && !pixelShader && d.screen.name != 0;
    d.litActive = false;
    if (lighting && !pixelShader) {
        // Material colour sources as they resolve for this vertex format (a missing vertex colour
        // gives the material's).
        const int states[4] = {RsDiffuseMaterialSource, RsAmbientMaterialSource, RsSpecularMaterialSource,
                               RsEmissiveMaterialSource};
        int fromDiffuse = 0, fromSpecular = 0;
        for (int i = 0; i < 4; ++i) {
            const std::uint32_t source = renderStates[RsColorVertex] != 0 ? renderStates[states[i]] : 0;
            if ((source == 1 && f.diffuse) || (source == 2 && f.specular)) {
                sources[i] = float(source);
                (source == 1 ? fromDiffuse : fromSpecular)++;
            }
        }
        // OpenGL's colour material follows the vertex diffuse colour with one material colour,
        // or with diffuse and ambient together.
        const bool tracked = fromSpecular == 0 && sources[2] != 1.0f &&
                             (fromDiffuse <= 1 || (fromDiffuse == 2 && sources[0] == 1.0f && sources[1] == 1.0f));
        bool ranged = false;
        for (int i = 0; i < capabilities.maxActiveLights && i < kMaxLights; ++i)
            ranged = ranged || (lightEnabled[std::size_t(i)] && lights[std::size_t(i)].type != 3 &&
                                lights[std::size_t(i)].range < 1e18f);
        // Coordinates generated from normals and positions stay with the fixed-function path.
        bool generated = false;
        for (int u = 0; u < kStages && d.stage[u][int(StageState::ColorOp)] != TexOpDisable; ++u)
            generated = generated || (d.stage[u][int(StageState::TexCoordIndex)] & 0xFFFF0000u) != 0;
        if ((ranged || !tracked) && !generated) {
            if (!d.lit.tried) {
                d.lit.tried = true;
                d.lit.name = BuildVertexProgram(kLitVertexProgram);
                const GLuint p = d.lit.name;
                if (p != 0) {
                    d.lit.lightOn = glGetUniformLocation(p, "lightOn");
                    d.lit.lightRange = glGetUniformLocation(p, "lightRange");
                    d.lit.sources = glGetUniformLocation(p, "sources");
                    d.lit.specularOn = glGetUniformLocation(p, "specularOn");
                    d.lit.power = glGetUniformLocation(p, "power");
                    d.lit.diffuse = glGetUniformLocation(p, "materialDiffuse");
                    d.lit.ambient = glGetUniformLocation(p, "materialAmbient");
                    d.lit.specular = glGetUniformLocation(p, "materialSpecular");
                    d.lit.emissive = glGetUniformLocation(p, "materialEmissive");
                }
            }
            d.litActive = d.lit.name != 0;
        }
    }
}

bool GraphicsDevice::ApplyFog(bool transformed)
{
    DrawState& d = *draw;
    const bool vertexShader = d.shaders[int(ShaderKind::Vertex)] != nullptr;
    // Fog needs an eye distance: the fixed-function one, or the screen program's.
    const bool tableFog = renderStates[RsFogTableMode] != 0;
    const bool fog = renderStates[RsFogEnable] != 0 && !vertexShader && (!transformed || d.screenActive) &&
                     (tableFog || renderStates[RsFogVertexMode] != 0);
    if (fog != d.fog) {
        fog ? glEnable(GL_FOG) : glDisable(GL_FOG);
        d.fog = fog;
    }
    // Vertex fog of pre-transformed vertices is the factor the caller put in the specular alpha
    // (0 without a specular colour): linear fog from 1 to 0 passes the coordinate through.
    const bool fogFromSpecular = fog && d.screenActive && !tableFog;
    if (fogFromSpecular != d.fogFromSpecular) {
        if (fogFromSpecular) {
            glFogi(GL_FOG_MODE, GL_LINEAR);
            glFogf(GL_FOG_START, 1.0f);
            glFogf(GL_FOG_END, 0.0f);
            d.fogFromSpecular = true;
        } else {
            RestoreFog();
        }
    }
    return fogFromSpecular;
}

void GraphicsDevice::ApplyColourSources(bool lighting)
{
    DrawState& d = *draw;
    const VertexFormat& f = d.format;
    // One material colour can follow the vertex diffuse colour.
    GLenum tracked = GL_NONE;
    if (lighting && f.diffuse && renderStates[RsColorVertex] != 0) {
        const bool diffuse = renderStates[RsDiffuseMaterialSource] == 1;
        const bool ambient = renderStates[RsAmbientMaterialSource] == 1;
        if (diffuse && ambient)
            tracked = GL_AMBIENT_AND_DIFFUSE;
        else if (diffuse)
            tracked = GL_DIFFUSE;
        else if (ambient)
            tracked = GL_AMBIENT;
        else if (renderStates[RsEmissiveMaterialSource] == 1)
            tracked = GL_EMISSION;
    }
    if (int(tracked) != d.colorMaterial) {
        if (tracked != GL_NONE) {
            glColorMaterial(GL_FRONT_AND_BACK, tracked);
            glEnable(GL_COLOR_MATERIAL);
        } else {
            glDisable(GL_COLOR_MATERIAL);
        }
        d.colorMaterial = int(tracked);
        d.materialDirty = true;
    }
    // Without a vertex colour, unlit geometry is white and lit geometry takes the material. A
    // draw from an array leaves that attribute's current value undefined.
    if (!f.diffuse && !d.currentColorKnown)
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    if (!f.normal && !d.currentNormalKnown)
        glNormal3f(0.0f, 0.0f, 0.0f);
    if (!f.specular && !d.currentSecondaryKnown)
        glSecondaryColor3f(0.0f, 0.0f, 0.0f);
    d.currentColorKnown = !f.diffuse;
    d.currentNormalKnown = !f.normal;
    d.currentSecondaryKnown = !f.specular;
    // The lit program hands its specular light over as the secondary colour.
    const bool colorSum = renderStates[RsSpecularEnable] != 0 && ((!lighting && f.specular) || d.litActive);
    if (colorSum != d.colorSum) {
        colorSum ? glEnable(GL_COLOR_SUM) : glDisable(GL_COLOR_SUM);
        d.colorSum = colorSum;
    }
    if (lighting && d.materialDirty) {
        const bool specular = renderStates[RsSpecularEnable] != 0;
        const float none[4] = {0, 0, 0, 0};
        // Setting a tracked colour would be overwritten by the vertex colour anyway.
        if (tracked != GL_AMBIENT && tracked != GL_AMBIENT_AND_DIFFUSE)
            glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, material.ambient);
        if (tracked != GL_DIFFUSE && tracked != GL_AMBIENT_AND_DIFFUSE)
            glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, material.diffuse);
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular ? material.specular : none);
        if (tracked != GL_EMISSION)
            glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, material.emissive);
        glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, std::clamp(material.power, 0.0f, 128.0f));
        d.materialDirty = false;
    }
}

GraphicsDevice::DrawState::Program& GraphicsDevice::DrawState::LinkProgram()
{
    Shader* vertexShader = shaders[int(ShaderKind::Vertex)];
    Shader* pixelShader = shaders[int(ShaderKind::Pixel)];
    const std::uint32_t vsId = vertexShader ? vertexShader->GetId() : 0;
    const std::uint32_t psId = pixelShader ? pixelShader->GetId() : 0;
    DrawState::Program& entry = programs[{vsId, psId}];
    if (!entry.linked) {
        entry.linked = true;
        entry.name = glCreateProgram();
        if (vertexShader)
            glAttachShader(entry.name, vertexShader->GetGlShader());
        if (pixelShader)
            glAttachShader(entry.name, pixelShader->GetGlShader());
        glLinkProgram(entry.name);
        GLint ok = 0;
        glGetProgramiv(entry.name, GL_LINK_STATUS, &ok);
        if (!ok) {
            glDeleteProgram(entry.name);
            entry.name = 0;
        } else {
            entry.uniform[0] = glGetUniformLocation(entry.name, "vs_uniforms_vec4");
            entry.uniform[1] = glGetUniformLocation(entry.name, "ps_uniforms_vec4");
            entry.attributes.fill(-1);
            if (vertexShader) {
                const auto& inputs = vertexShader->GetInputs();
                for (std::size_t i = 0; i < inputs.size() && i < entry.attributes.size(); ++i)
                    entry.attributes[i] = glGetAttribLocation(entry.name, inputs[i].name.c_str());
            }
            glUseProgram(entry.name);
            if (pixelShader)
                for (int index : pixelShader->GetSamplers()) {
                    const std::string name = "ps_s" + std::to_string(index);
                    glUniform1i(glGetUniformLocation(entry.name, name.c_str()), index);
                }
            program = entry.name;
            constantsDirty[0] = constantsDirty[1] = true;
        }
    }
    return entry;
}

void GraphicsDevice::ApplyLitUniforms(const float sources[4])
{
    const DrawState& d = *draw;
    float on[kMaxLights] = {}, range[kMaxLights] = {};
    for (int i = 0; i < capabilities.maxActiveLights && i < kMaxLights; ++i) {
        on[i] = lightEnabled[std::size_t(i)] ? 1.0f : 0.0f;
        range[i] = lights[std::size_t(i)].range;
    }
    glUniform1fv(d.lit.lightOn, kMaxLights, on);
    glUniform1fv(d.lit.lightRange, kMaxLights, range);
    glUniform4fv(d.lit.sources, 1, sources);
    glUniform1f(d.lit.specularOn, renderStates[RsSpecularEnable] != 0 ? 1.0f : 0.0f);
    glUniform1f(d.lit.power, material.power);
    glUniform4fv(d.lit.diffuse, 1, material.diffuse);
    glUniform4fv(d.lit.ambient, 1, material.ambient);
    glUniform4fv(d.lit.specular, 1, material.specular);
    glUniform4fv(d.lit.emissive, 1, material.emissive);
}

void GraphicsDevice::DrawState::UploadShaderConstants(const Program& linked)
{
    for (int kind = 0; kind < 2; ++kind) {
        Shader* shader = shaders[kind];
        if (!shader || !constantsDirty[kind] || linked.uniform[kind] < 0)
            continue;
        std::vector<float> slots;
        for (const Shader::Constants& c : shader->GetConstants())
            for (int r = 0; r < c.count; ++r) {
                const int reg = std::clamp(c.firstRegister + r, 0, DrawState::kConstantRegisters - 1);
                slots.insert(slots.end(), constants[kind] + reg * 4, constants[kind] + reg * 4 + 4);
            }
        if (!slots.empty())
            glUniform4fv(linked.uniform[kind], GLsizei(slots.size() / 4), slots.data());
        constantsDirty[kind] = false;
    }
}

void GraphicsDevice::DrawState::BindShaderSamplers()
{
    const Shader* pixelShader = shaders[int(ShaderKind::Pixel)];
    if (pixelShader)
        for (int index : pixelShader->GetSamplers()) {
            if (index < 0 || index >= kStages)
                continue;
            Texture* texture = textures[index];
            glActiveTexture(GLenum(GL_TEXTURE0 + index));
            glBindTexture(texture && texture->IsCube() ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D,
                          texture ? texture->PrepareForSampling() : whiteTexture);
            stagesDirty = true;
        }
}

void GraphicsDevice::DrawState::BindShaderInputs(const Program& linked, const std::uint8_t* base, int stride)
{
    const VertexFormat& f = format;
    // Generic inputs by their declared use; fixed-function arrays stay as they are.
    const auto& inputs = shaders[int(ShaderKind::Vertex)]->GetInputs();
    for (std::size_t i = 0; i < inputs.size() && i < linked.attributes.size(); ++i) {
        const int location = linked.attributes[i];
        if (location < 0)
            continue;
        const Shader::Input& in = inputs[i];
        const std::uint8_t* pointer = nullptr;
        bool found = true;
        GLint size = 4;
        GLenum type = GL_FLOAT;
        GLboolean normalise = GL_FALSE;
        if (in.usage == MOJOSHADER_USAGE_POSITION) {
            pointer = base;
            size = f.position == VertexFormat::Position::Xyz ? 3 : 4;
        } else if (in.usage == MOJOSHADER_USAGE_NORMAL && f.normal) {
            pointer = base + f.NormalOffset();
            size = 3;
        } else if (in.usage == MOJOSHADER_USAGE_COLOR && ((in.index == 0 && f.diffuse) || (in.index == 1 && f.specular))) {
            pointer = base + (in.index == 0 ? f.DiffuseOffset() : f.SpecularOffset());
            size = GL_BGRA;
            type = GL_UNSIGNED_BYTE;
            normalise = GL_TRUE;
        } else if (in.usage == MOJOSHADER_USAGE_TEXCOORD && in.index < f.texSets) {
            pointer = base + f.TexOffset(in.index);
            size = f.texFloats[in.index];
        } else {
            found = false;
        }
        if (GLuint(location) == kSpecularAttribute)
            specularArray = -1;
        if (found) {
            glEnableVertexAttribArray(GLuint(location));
            glVertexAttribPointer(GLuint(location), size, type, normalise, stride, pointer);
        } else {
            glDisableVertexAttribArray(GLuint(location));
            glVertexAttrib4f(GLuint(location), 0.0f, 0.0f, 0.0f, 1.0f);
        }
    }
}

Result GraphicsDevice::DrawPrimitive(int type, int startVertex, int primitiveCount)
{
    DrawState& d = *draw;
    const GLenum mode = PrimitiveGl(type);
    const int count = VerticesForPrimitives(type, primitiveCount);
    if (!d.stream || !ValidPrimitive(type) || count <= 0 || startVertex < 0 || d.streamStride <= 0)
        return ErrorInvalidCall;
    const std::size_t available = d.stream->GetSize() / std::size_t(d.streamStride);
    if (std::size_t(startVertex) + std::size_t(count) > available)
        return ErrorInvalidCall;
    const GLuint buffer = d.stream->PrepareForDrawing();
    BindBuffer(GL_ARRAY_BUFFER, buffer);
    const std::size_t offset = d.stream->GetGlOffset(), stride = std::size_t(d.streamStride);
    if (!PrepareDraw(buffer, reinterpret_cast<const std::uint8_t*>(offset % stride), d.streamStride))
        return ErrorInvalidCall;
    glDrawArrays(mode, int(offset / stride) + startVertex, count);
    return Ok;
}

Result GraphicsDevice::DrawIndexedPrimitive(int type, int baseVertex, int minIndex, int vertexCount, int startIndex,
                                            int primitiveCount)
{
    DrawState& d = *draw;
    const GLenum mode = PrimitiveGl(type);
    const int count = VerticesForPrimitives(type, primitiveCount);
    if (!d.stream || !d.indices || !ValidPrimitive(type) || count <= 0 || startIndex < 0 || minIndex < 0 ||
        vertexCount <= 0 || baseVertex < 0 || d.streamStride <= 0)
        return ErrorInvalidCall;
    const std::size_t indexSize = d.indices->GetKind() == BufferKind::Index32 ? 4 : 2;
    if (std::size_t(startIndex) + std::size_t(count) > d.indices->GetSize() / indexSize)
        return ErrorInvalidCall;
    const std::size_t available = d.stream->GetSize() / std::size_t(d.streamStride);
    if (std::size_t(baseVertex) + std::size_t(minIndex) + std::size_t(vertexCount) > available)
        return ErrorInvalidCall;
    const GLuint buffer = d.stream->PrepareForDrawing();
    BindBuffer(GL_ARRAY_BUFFER, buffer);
    BindBuffer(GL_ELEMENT_ARRAY_BUFFER, d.indices->PrepareForDrawing());
    const std::size_t vertexOffset = d.stream->GetGlOffset(), stride = std::size_t(d.streamStride);
    if (!PrepareDraw(buffer, reinterpret_cast<const std::uint8_t*>(vertexOffset % stride), d.streamStride))
        return ErrorInvalidCall;
    const GLenum indexType = indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;
    const void* offset =
        reinterpret_cast<const void*>(d.indices->GetGlOffset() + std::size_t(startIndex) * indexSize);
    glDrawRangeElementsBaseVertex(mode, GLuint(minIndex), GLuint(minIndex + vertexCount - 1), count, indexType, offset,
                                  int(vertexOffset / stride) + baseVertex);
    return Ok;
}

Result GraphicsDevice::MakeBufferDraw(int type, Buffer* vertices, int stride, Buffer* indices, int minIndex,
                                      int vertexCount, int startIndex, int primitiveCount, BufferDraw& out)
{
    out = BufferDraw{};
    const int count = VerticesForPrimitives(type, primitiveCount);
    if (!vertices || vertices->GetKind() != BufferKind::Vertex || !ValidPrimitive(type) || count <= 0 ||
        stride <= 0 || minIndex < 0 || vertexCount <= 0)
        return ErrorInvalidCall;
    const std::size_t available = vertices->GetSize() / std::size_t(stride);
    if (indices) {
        if (indices->GetKind() == BufferKind::Vertex || startIndex < 0)
            return ErrorInvalidCall;
        const std::size_t indexSize = indices->GetKind() == BufferKind::Index32 ? 4 : 2;
        if (std::size_t(startIndex) + std::size_t(count) > indices->GetSize() / indexSize ||
            std::size_t(minIndex) + std::size_t(vertexCount) > available)
            return ErrorInvalidCall;
        out.indexBuffer = indices->PrepareForDrawing();
        out.indexType = indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;
        out.indexOffset = indices->GetGlOffset() + std::size_t(startIndex) * indexSize;
        out.last = minIndex + vertexCount - 1;
        if (out.indexBuffer == 0)
            return ErrorInvalidCall;
    } else if (std::size_t(minIndex) + std::size_t(count) > available) {
        return ErrorInvalidCall;
    }
    out.vertexBuffer = vertices->PrepareForDrawing();
    out.vertexOffset = vertices->GetGlOffset();
    if (out.vertexBuffer == 0)
        return ErrorInvalidCall;
    out.generation = CurrentGlGeneration();
    out.mode = PrimitiveGl(type);
    out.stride = stride;
    out.first = minIndex;
    out.count = count;
    return Ok;
}

Result GraphicsDevice::DrawBuffers(const BufferDraw& record)
{
    if (record.vertexBuffer == 0 || record.generation != CurrentGlGeneration())
        return ErrorInvalidCall;
    BindBuffer(GL_ARRAY_BUFFER, record.vertexBuffer);
    if (record.indexBuffer != 0)
        BindBuffer(GL_ELEMENT_ARRAY_BUFFER, record.indexBuffer);
    // The arrays point at the buffer's first vertex position in this stride's step, so that the
    // draws of every buffer placed in the same page in that step reuse one pointing and differ
    // only in their base vertex.
    const std::size_t stride = std::size_t(record.stride);
    const int baseVertex = int(record.vertexOffset / stride);
    if (!PrepareDraw(record.vertexBuffer, reinterpret_cast<const std::uint8_t*>(record.vertexOffset % stride),
                     record.stride))
        return ErrorInvalidCall;
    if (record.indexBuffer != 0)
        glDrawRangeElementsBaseVertex(record.mode, GLuint(record.first), GLuint(record.last), record.count,
                                      record.indexType, reinterpret_cast<const void*>(record.indexOffset), baseVertex);
    else
        glDrawArrays(record.mode, baseVertex + record.first, record.count);
    return Ok;
}

void GraphicsDevice::BindBuffer(std::uint32_t target, std::uint32_t name)
{
    std::uint32_t& bound = target == GL_ARRAY_BUFFER ? draw->arrayBufferBound : draw->elementBufferBound;
    if (bound != name) {
        glBindBuffer(target, name);
        bound = name;
    }
}

bool GraphicsDevice::ReserveInRing(std::size_t bytes, std::size_t align, std::size_t& offset)
{
    DrawState::StreamRing& ring = draw->ring;
    if (!ring.tried) {
        ring.tried = true;
        const GLbitfield flags = GL_MAP_WRITE_BIT | GL_MAP_PERSISTENT_BIT | GL_MAP_COHERENT_BIT;
        glCreateBuffers(1, &ring.buffer);
        glNamedBufferStorage(ring.buffer, GLsizeiptr(ring.kSize), nullptr, flags);
        ring.mapping = static_cast<std::uint8_t*>(glMapNamedBufferRange(ring.buffer, 0, GLsizeiptr(ring.kSize), flags));
    }
    if (!ring.mapping || bytes == 0 || bytes > ring.kQuarter || align == 0)
        return false;
    offset = (ring.head + align - 1) / align * align;
    if (offset + bytes > ring.kSize)
        offset = 0;
    const int last = int((offset + bytes - 1) / ring.kQuarter);
    while (ring.quarter != last) {
        // Leaving a quarter: fence what was drawn from it; entering one: wait for its fence.
        ring.fences[ring.quarter] = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
        ring.quarter = (ring.quarter + 1) % ring.kQuarters;
        if (GLsync fence = static_cast<GLsync>(ring.fences[ring.quarter])) {
            while (glClientWaitSync(fence, GL_SYNC_FLUSH_COMMANDS_BIT, 1000000000) == GL_TIMEOUT_EXPIRED) {
            }
            glDeleteSync(fence);
            ring.fences[ring.quarter] = nullptr;
        }
    }
    ring.head = offset + bytes;
    return true;
}

Result GraphicsDevice::DrawPrimitiveUp(int type, int primitiveCount, const void* vertices, int stride)
{
    const GLenum mode = PrimitiveGl(type);
    const int count = VerticesForPrimitives(type, primitiveCount);
    if (!vertices || !ValidPrimitive(type) || count <= 0 || stride <= 0)
        return ErrorInvalidCall;
    std::size_t offset = 0;
    const std::size_t bytes = std::size_t(count) * std::size_t(stride);
    if (stride % 4 == 0 && ReserveInRing(bytes, std::size_t(stride), offset)) {
        DrawState::StreamRing& ring = draw->ring;
        std::memcpy(ring.mapping + offset, vertices, bytes);
        BindBuffer(GL_ARRAY_BUFFER, ring.buffer);
        if (!PrepareDraw(ring.buffer, nullptr, stride))
            return ErrorInvalidCall;
        glDrawArrays(mode, int(offset / std::size_t(stride)), count);
        return Ok;
    }
    BindBuffer(GL_ARRAY_BUFFER, 0);
    if (!PrepareDraw(0, static_cast<const std::uint8_t*>(vertices), stride))
        return ErrorInvalidCall;
    glDrawArrays(mode, 0, count);
    return Ok;
}

namespace {

// Indices must fall among the vertices given: caller memory holds exactly those.
template <class Index>
bool IndicesInRange(const Index* indices, int count, int minIndex, int vertexCount)
{
    for (int i = 0; i < count; ++i)
        if (std::int64_t(indices[i]) < minIndex || std::int64_t(indices[i]) >= std::int64_t(minIndex) + vertexCount)
            return false;
    return true;
}

} // namespace

Result GraphicsDevice::DrawIndexedUp(int type, int minIndex, int vertexCount, int primitiveCount, const void* indices,
                                     bool wide, const void* vertices, int stride)
{
    const GLenum mode = PrimitiveGl(type);
    const int count = VerticesForPrimitives(type, primitiveCount);
    if (!vertices || !indices || !ValidPrimitive(type) || count <= 0 || stride <= 0 || minIndex < 0 || vertexCount <= 0)
        return ErrorInvalidCall;
    if (wide ? !IndicesInRange(static_cast<const std::uint32_t*>(indices), count, minIndex, vertexCount)
             : !IndicesInRange(static_cast<const std::uint16_t*>(indices), count, minIndex, vertexCount))
        return ErrorInvalidCall;
    // The vertices used and the indices, one after the other in the ring; the base vertex takes
    // index minIndex to the first vertex copied.
    const std::size_t vertexBytes = std::size_t(vertexCount) * std::size_t(stride);
    const std::size_t indexBytes = std::size_t(count) * (wide ? 4 : 2);
    const std::size_t lcmAlign = std::size_t(stride) % 4 == 0 ? std::size_t(stride) : 0;
    std::size_t vertexOffset = 0, indexOffset = 0;
    if (lcmAlign != 0 && ReserveInRing(vertexBytes + indexBytes + 4, lcmAlign, vertexOffset)) {
        DrawState::StreamRing& ring = draw->ring;
        indexOffset = (vertexOffset + vertexBytes + 3) / 4 * 4;
        std::memcpy(ring.mapping + vertexOffset,
                    static_cast<const std::uint8_t*>(vertices) + std::size_t(minIndex) * std::size_t(stride),
                    vertexBytes);
        std::memcpy(ring.mapping + indexOffset, indices, indexBytes);
        BindBuffer(GL_ARRAY_BUFFER, ring.buffer);
        BindBuffer(GL_ELEMENT_ARRAY_BUFFER, ring.buffer);
        if (!PrepareDraw(ring.buffer, nullptr, stride))
            return ErrorInvalidCall;
        glDrawRangeElementsBaseVertex(mode, GLuint(minIndex), GLuint(minIndex + vertexCount - 1), count,
                                      wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                                      reinterpret_cast<const void*>(indexOffset),
                                      int(vertexOffset / std::size_t(stride)) - minIndex);
        return Ok;
    }
    BindBuffer(GL_ARRAY_BUFFER, 0);
    BindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    if (!PrepareDraw(0, static_cast<const std::uint8_t*>(vertices), stride))
        return ErrorInvalidCall;
    glDrawRangeElements(mode, GLuint(minIndex), GLuint(minIndex + vertexCount - 1), count,
                        wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT, indices);
    return Ok;
}

Result GraphicsDevice::DrawIndexedPrimitiveUp(int type, int minIndex, int vertexCount, int primitiveCount,
                                              const std::uint16_t* indices, const void* vertices, int stride)
{
    return DrawIndexedUp(type, minIndex, vertexCount, primitiveCount, indices, false, vertices, stride);
}

Result GraphicsDevice::DrawIndexedPrimitiveUp(int type, int minIndex, int vertexCount, int primitiveCount,
                                              const std::uint32_t* indices, const void* vertices, int stride)
{
    return DrawIndexedUp(type, minIndex, vertexCount, primitiveCount, indices, true, vertices, stride);
}

// ---- Shaders ----

Shader::~Shader()
{
    if (glShader != 0 && glGeneration == CurrentGlGeneration())
        glDeleteShader(glShader);
}

int Shader::GetConstantSlots() const
{
    int slots = 0;
    for (const Constants& c : constants)
        slots += c.count;
    return slots;
}

Result GraphicsDevice::CreateShader(ShaderKind kind, const void* tokens, std::size_t size, Shader** out,
                                    std::string* error)
{
    *out = nullptr;
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return ErrorInvalidCall;
    };
    if (!tokens || size < 8 || size % 4 != 0 || size > 0x100000)
        return fail("not a shader token stream");
    const auto* bytes = static_cast<const unsigned char*>(tokens);
    // The version token: 0xFFFE (vertex) or 0xFFFF (pixel) above major and minor version.
    const std::uint32_t version = std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 |
                                  std::uint32_t(bytes[2]) << 16 | std::uint32_t(bytes[3]) << 24;
    const std::uint32_t wantedType = kind == ShaderKind::Vertex ? 0xFFFEu : 0xFFFFu;
    const int major = int((version >> 8) & 0xFF), minor = int(version & 0xFF);
    if ((version >> 16) != wantedType)
        return fail("not a shader of this kind");
    if (major < 1 || major > 2 || (major == 2 && minor != 0))
        return fail("shader version " + std::to_string(major) + "." + std::to_string(minor) + " is not supported");
    const MOJOSHADER_parseData* parsed = MOJOSHADER_parse(MOJOSHADER_PROFILE_GLSL120, "main", bytes,
                                                          unsigned(size), nullptr, 0, nullptr, 0, nullptr, nullptr,
                                                          nullptr);
    if (!parsed || parsed->error_count > 0) {
        const std::string why = parsed && parsed->errors && parsed->errors[0].error ? parsed->errors[0].error
                                                                                       : "cannot translate";
        MOJOSHADER_freeParseData(parsed);
        return fail(why);
    }
    const GLuint name = glCreateShader(kind == ShaderKind::Vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
    const GLchar* source = parsed->output;
    const GLint length = parsed->output_len;
    glShaderSource(name, 1, &source, &length);
    glCompileShader(name);
    GLint compiled = 0;
    glGetShaderiv(name, GL_COMPILE_STATUS, &compiled);
    if (!compiled) {
        char log[512] = {};
        glGetShaderInfoLog(name, sizeof(log) - 1, nullptr, log);
        glDeleteShader(name);
        MOJOSHADER_freeParseData(parsed);
        return fail(std::string("GLSL compile failed: ") + log);
    }
    Shader* shader = new Shader(kind);
    shader->glShader = name;
    shader->glGeneration = CurrentGlGeneration();
    shader->id = draw->nextShaderId++;
    for (int i = 0; i < parsed->attribute_count; ++i) {
        const MOJOSHADER_attribute& a = parsed->attributes[i];
        shader->inputs.push_back(Shader::Input{int(a.usage), a.index, a.name ? a.name : ""});
    }
    for (int i = 0; i < parsed->uniform_count; ++i) {
        const MOJOSHADER_uniform& u = parsed->uniforms[i];
        if (u.type == MOJOSHADER_UNIFORM_FLOAT && !u.constant)
            shader->constants.push_back(Shader::Constants{u.index, std::max(1, u.array_count)});
    }
    for (int i = 0; i < parsed->sampler_count; ++i)
        shader->samplers.push_back(parsed->samplers[i].index);
    MOJOSHADER_freeParseData(parsed);
    *out = shader;
    return Ok;
}

Result GraphicsDevice::SetShader(ShaderKind kind, Shader* shader)
{
    if (shader && shader->GetKind() != kind)
        return ErrorInvalidCall;
    Shader*& slot = draw->shaders[int(kind)];
    if (slot == shader)
        return Ok;
    Hold(slot, shader);
    draw->constantsDirty[int(kind)] = true;
    if (!shader && kind == ShaderKind::Vertex) {
        // Back to fixed-function inputs.
        for (GLuint i = 0; i < 16; ++i)
            glDisableVertexAttribArray(i);
        draw->specularArray = -1;
    }
    draw->stagesDirty = true;
    draw->transformsDirty = true;
    return Ok;
}

Shader* GraphicsDevice::GetShader(ShaderKind kind) const
{
    return draw->shaders[int(kind)];
}

Result GraphicsDevice::SetShaderConstants(ShaderKind kind, int startRegister, const float* values, int registerCount)
{
    if (!values || startRegister < 0 || registerCount < 0 ||
        startRegister + registerCount > DrawState::kConstantRegisters)
        return ErrorInvalidCall;
    std::copy(values, values + registerCount * 4, draw->constants[int(kind)] + startRegister * 4);
    draw->constantsDirty[int(kind)] = true;
    return Ok;
}

void GraphicsDevice::ProbeShaderVersions()
{
    // Report a version only when a shader of it really translates, compiles and links here.
    const char* vertexSource = "vs_2_0\ndcl_position v0\ndcl_color v1\nm4x4 oPos, v0, c0\nmov oD0, v1\n";
    const char* pixelSource = "ps_2_0\ndcl t0.xy\ndcl v0\ndcl_2d s0\ntexld r0, t0, s0\nmul r0, r0, v0\nmov oC0, r0\n";
    auto assembleAndCreate = [this](ShaderKind kind, const char* source) -> Shader* {
        const MOJOSHADER_parseData* assembled = MOJOSHADER_assemble(
            "probe", source, unsigned(std::strlen(source)), nullptr, 0, nullptr, 0, nullptr, 0, nullptr, nullptr,
            nullptr, nullptr, nullptr);
        Shader* shader = nullptr;
        if (assembled && assembled->error_count == 0)
            CreateShader(kind, assembled->output, std::size_t(assembled->output_len), &shader, nullptr);
        MOJOSHADER_freeParseData(assembled);
        return shader;
    };
    Shader* vs = assembleAndCreate(ShaderKind::Vertex, vertexSource);
    Shader* ps = assembleAndCreate(ShaderKind::Pixel, pixelSource);
    bool linked = false;
    if (vs && ps) {
        const GLuint program = glCreateProgram();
        glAttachShader(program, vs->GetGlShader());
        glAttachShader(program, ps->GetGlShader());
        glLinkProgram(program);
        GLint ok = 0;
        glGetProgramiv(program, GL_LINK_STATUS, &ok);
        linked = ok != 0;
        glDeleteProgram(program);
    }
    capabilities.vertexShaderVersion = linked ? 2.0f : 0.0f;
    capabilities.pixelShaderVersion = linked ? 2.0f : 0.0f;
    if (vs)
        vs->Release();
    if (ps)
        ps->Release();
}

} // namespace platform::gpu
