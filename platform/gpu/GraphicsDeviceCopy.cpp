// Scaling and converting copies between textures on the GPU, for copies onto an image whose
// newest picture is there (the back buffer or a render target in the middle of a frame): reading
// it back, converting in memory and uploading it again would cost far more than the copy itself.
#include <numeric>

#include <epoxy/gl.h>

#include "platform/gpu/DrawState.h"
#include "platform/gpu/GlContext.h"
#include "platform/gpu/GraphicsDevice.h"
#include "platform/gpu/PixelFormat.h"

namespace platform::gpu {
namespace {

// One triangle that covers the viewport.
const char* const kCopyVertexProgram = R"(#version 130
void main()
{
    gl_Position = vec4(float((gl_VertexID & 1) * 4 - 1), float((gl_VertexID & 2) * 2 - 1), 0.0, 1.0);
}
)";

// A rectangle with interpolated texture coordinates, sampled at the nearest texel: the cheapest
// draw for a rasteriser. Its corners are the destination's in window rows (memory order).
const char* const kSampledVertexProgram = R"(#version 130
uniform vec4 corners; // source coordinates at the left, top, right and bottom edges
void main()
{
    vec2 corner = vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1));
    gl_Position = vec4(corner.x * 2.0 - 1.0, 1.0 - corner.y * 2.0, 0.0, 1.0);
    gl_TexCoord[0] = vec4(mix(corners.xy, corners.zw, corner), 0.0, 1.0);
}
)";

const char* const kSampledCopy = R"(#version 130
uniform sampler2D source;
void main()
{
    gl_FragColor = texture2D(source, gl_TexCoord[0].xy);
}
)";

// Each destination texel takes the source texel a copy in memory takes: the whole part of
// (x * source width) / destination width, worked out in floating point and corrected with exact
// integer products (division is slow on some rasterisers). Window rows are memory rows: every
// image keeps its top row first.
const char* const kCopyCommon = R"(#version 130
uniform sampler2D source;
uniform int level;
uniform ivec4 sourceRect;      // left, top, width, height
uniform ivec4 destinationRect; // left, top, width, height
uniform vec2 steps;            // source width and height / destination width and height

vec4 SourceTexel()
{
    ivec2 p = ivec2(gl_FragCoord.xy) - destinationRect.xy;
    ivec2 n = p * sourceRect.zw;
    ivec2 q = ivec2(vec2(p) * steps);
    q += ivec2(greaterThan(n, (q + 1) * destinationRect.zw - 1)) - ivec2(greaterThan(q * destinationRect.zw, n));
    return texelFetch(source, sourceRect.xy + q, level);
}
)";

// Formats of whole bytes per channel: the values stay; alpha is opaque unless both have it.
const char* const kPlainCopy = R"(
uniform float keepAlpha;
void main()
{
    vec4 texel = SourceTexel();
    gl_FragColor = vec4(texel.rgb, mix(1.0, texel.a, keepAlpha));
}
)";

// Other formats: the value each channel has after the source's format and then the
// destination's (the integer rounding of PixelFormat's Reduce and Expand).
const char* const kConvertingCopy = R"(
uniform ivec4 sourceBits;      // alpha, red, green, blue; 0 = absent
uniform ivec4 destinationBits;
uniform int sourceLuminance, destinationLuminance;

int Reduce(int value, int bits)
{
    return (value * ((1 << bits) - 1) + 127) / 255;
}

int Expand(int value, int bits)
{
    if (bits >= 8)
        return value >> (bits - 8);
    int result = value << (8 - bits);
    for (int shift = 8 - 2 * bits; shift > -bits; shift -= bits)
        result |= shift >= 0 ? value << shift : value >> -shift;
    return result & 255;
}

int Channel(int value, int bits)
{
    return bits == 0 ? 0 : Expand(Reduce(value, bits), bits);
}

ivec4 ThroughFormat(ivec4 argb, ivec4 bits, int luminance)
{
    int a = bits.x == 0 ? 255 : Channel(argb.x, bits.x);
    if (luminance != 0) {
        int l = Channel((argb.y * 299 + argb.z * 587 + argb.w * 114 + 500) / 1000, bits.y);
        return ivec4(a, l, l, l);
    }
    return ivec4(a, Channel(argb.y, bits.y), Channel(argb.z, bits.z), Channel(argb.w, bits.w));
}

void main()
{
    vec4 texel = SourceTexel();
    ivec4 argb = ivec4(floor(vec4(texel.a, texel.r, texel.g, texel.b) * 255.0 + 0.5));
    argb = ThroughFormat(ThroughFormat(argb, sourceBits, sourceLuminance), destinationBits, destinationLuminance);
    gl_FragColor = vec4(argb.yzw, argb.x) / 255.0;
}
)";

GLuint CompileShader(GLenum kind, const char* common, const char* source)
{
    const GLuint shader = glCreateShader(kind);
    const char* const sources[2] = {common, source};
    glShaderSource(shader, source ? 2 : 1, sources, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

GLuint BuildCopyProgram(const char* vertexSource, const char* common, const char* body)
{
    const GLuint vertex = CompileShader(GL_VERTEX_SHADER, vertexSource, nullptr);
    const GLuint fragment = CompileShader(GL_FRAGMENT_SHADER, common, body);
    GLuint program = 0;
    if (vertex != 0 && fragment != 0) {
        program = glCreateProgram();
        glAttachShader(program, vertex);
        glAttachShader(program, fragment);
        glLinkProgram(program);
        GLint ok = 0;
        glGetProgramiv(program, GL_LINK_STATUS, &ok);
        if (!ok) {
            glDeleteProgram(program);
            program = 0;
        }
    }
    if (vertex != 0)
        glDeleteShader(vertex);
    if (fragment != 0)
        glDeleteShader(fragment);
    if (program != 0)
        glProgramUniform1i(program, glGetUniformLocation(program, "source"), 0);
    return program;
}

// Whole bytes per channel: red, green and blue of 8 bits and alpha of 8 or none.
bool WholeBytes(const int bits[4], bool luminance)
{
    return !luminance && (bits[0] == 0 || bits[0] == 8) && bits[1] == 8 && bits[2] == 8 && bits[3] == 8;
}

} // namespace

bool GraphicsDevice::DrawsInto(const Texture* texture) const
{
    if (targetMultisampled || !texture || texture->glTexture == 0)
        return false;
    const Texture* color = targetTexture ? targetTexture : (targetSurface ? targetSurface->GetColorTexture() : nullptr);
    if (color != texture)
        return false;
    // A depth buffer smaller than the image would clip the copy to its size.
    if (targetDepth && (targetDepth->GetSamples() > 0) == targetMultisampled &&
        (targetDepth->GetWidth() < texture->GetWidth() || targetDepth->GetHeight() < texture->GetHeight()))
        return false;
    GLint attached = 0;
    glGetNamedFramebufferAttachmentParameteriv(drawFramebuffer, GL_COLOR_ATTACHMENT0, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME,
                                               &attached);
    return GLuint(attached) == texture->glTexture;
}

bool GraphicsDevice::CopyTextureOnGpu(Texture* destination, const Rect& d, Texture* source, int sourceLevel,
                                      const Rect& s)
{
    if (!draw || !destination || !source || destination == source || destination->IsCube() || source->IsCube() ||
        !destination->IsReadyForRendering() || sourceLevel < 0 || sourceLevel >= source->GetLevelCount())
        return false;
    int sourceBits[4] = {}, destinationBits[4] = {};
    bool sourceLuminance = false, destinationLuminance = false;
    if (!ChannelDepths(source->GetFormat(), sourceBits, sourceLuminance) ||
        !ChannelDepths(destination->GetFormat(), destinationBits, destinationLuminance))
        return false;
    int sourceWidth = 0, sourceHeight = 0;
    source->GetLevelSize(sourceLevel, sourceWidth, sourceHeight);
    if (s.Width() <= 0 || s.Height() <= 0 || s.left < 0 || s.top < 0 || s.right > sourceWidth ||
        s.bottom > sourceHeight || d.Width() <= 0 || d.Height() <= 0 || d.left < 0 || d.top < 0 ||
        d.right > destination->GetWidth() || d.bottom > destination->GetHeight())
        return false;

    DrawState::Copying& copy = draw->copy;
    if (!copy.tried) {
        copy.tried = true;
        copy.sampled.name = BuildCopyProgram(kSampledVertexProgram, kSampledCopy, nullptr);
        copy.plain.name = BuildCopyProgram(kCopyVertexProgram, kCopyCommon, kPlainCopy);
        copy.converting.name = BuildCopyProgram(kCopyVertexProgram, kCopyCommon, kConvertingCopy);
        for (DrawState::CopyProgram* program : {&copy.sampled, &copy.plain, &copy.converting}) {
            const GLuint name = program->name;
            if (name == 0)
                continue;
            program->level = glGetUniformLocation(name, "level");
            program->sourceRect = glGetUniformLocation(name, "sourceRect");
            program->destinationRect = glGetUniformLocation(name, "destinationRect");
            program->steps = glGetUniformLocation(name, "steps");
            program->keepAlpha = glGetUniformLocation(name, "keepAlpha");
            program->sourceBits = glGetUniformLocation(name, "sourceBits");
            program->destinationBits = glGetUniformLocation(name, "destinationBits");
            program->sourceLuminance = glGetUniformLocation(name, "sourceLuminance");
            program->destinationLuminance = glGetUniformLocation(name, "destinationLuminance");
            program->corners = glGetUniformLocation(name, "corners");
        }
        glCreateSamplers(1, &copy.sampler);
        glSamplerParameteri(copy.sampler, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glSamplerParameteri(copy.sampler, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glSamplerParameteri(copy.sampler, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glSamplerParameteri(copy.sampler, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glCreateFramebuffers(1, &copy.framebuffer);
        glCreateVertexArrays(1, &copy.vertexArray);
    }
    const bool plain = WholeBytes(sourceBits, sourceLuminance) && WholeBytes(destinationBits, destinationLuminance);
    // Sampling picks texel floor(u) where the copy in memory picks floor(x * sw / dw): with u
    // shifted by half the smallest gap between x * sw / dw and the next whole number (gcd / dw),
    // both agree with room to spare for rounding, where that room is wide enough. The values
    // stay as they are when both formats keep whole bytes and the alpha of the source is not
    // lost (an alpha the destination has but the source lacks reads 1).
    const double marginX = double(std::gcd(s.Width(), d.Width())) / (2.0 * d.Width());
    const double marginY = double(std::gcd(s.Height(), d.Height())) / (2.0 * d.Height());
    const bool sampled = plain && sourceLevel == 0 && !(sourceBits[0] == 0 && destinationBits[0] != 0) &&
                         marginX >= 1.0 / 128 && marginY >= 1.0 / 128;
    const DrawState::CopyProgram& program = sampled ? copy.sampled : plain ? copy.plain : copy.converting;
    if (program.name == 0)
        return false;
    source->CreateGlTexture();
    if (source->glTexture == 0)
        return false;
    if (source->LevelAt(0, sourceLevel).written && !(source->gpuNewer && sourceLevel == 0))
        source->Upload(0, sourceLevel);

    const GLuint name = program.name;
    // Onto the image being drawn into, the copy joins the frame's own draws: another framebuffer
    // would make the rasteriser finish what was drawn so far (a clear) as a pass of its own.
    const bool ontoTarget = DrawsInto(destination);
    const GLuint framebuffer = ontoTarget ? drawFramebuffer : copy.framebuffer;
    if (!ontoTarget)
        glNamedFramebufferTexture(copy.framebuffer, GL_COLOR_ATTACHMENT0, destination->glTexture, 0);
    glProgramUniform1i(name, program.level, sourceLevel);
    glProgramUniform4i(name, program.sourceRect, s.left, s.top, s.Width(), s.Height());
    glProgramUniform4i(name, program.destinationRect, d.left, d.top, d.Width(), d.Height());
    glProgramUniform2f(name, program.steps, float(s.Width()) / float(d.Width()), float(s.Height()) / float(d.Height()));
    if (sampled) {
        // At the rectangle's edges (pixel centre x + 0.5 gives s.left + x * sw / dw + margin).
        const double stepX = double(s.Width()) / d.Width(), stepY = double(s.Height()) / d.Height();
        const double left = s.left - stepX / 2 + marginX, top = s.top - stepY / 2 + marginY;
        glProgramUniform4f(name, program.corners, float(left / sourceWidth), float(top / sourceHeight),
                           float((left + s.Width()) / sourceWidth), float((top + s.Height()) / sourceHeight));
    } else if (plain) {
        glProgramUniform1f(name, program.keepAlpha, sourceBits[0] != 0 && destinationBits[0] != 0 ? 1.0f : 0.0f);
    } else {
        glProgramUniform4i(name, program.sourceBits, sourceBits[0], sourceBits[1], sourceBits[2], sourceBits[3]);
        glProgramUniform4i(name, program.destinationBits, destinationBits[0], destinationBits[1], destinationBits[2],
                           destinationBits[3]);
        glProgramUniform1i(name, program.sourceLuminance, sourceLuminance ? 1 : 0);
        glProgramUniform1i(name, program.destinationLuminance, destinationLuminance ? 1 : 0);
    }
    // Every texel of the rectangle is written as it is: no test, blend or culling of the draws'
    // states applies, whatever they are.
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_CULL_FACE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
    glViewport(d.left, d.top, d.Width(), d.Height());
    // Rasterisers may fill beyond the viewport (guard bands): the scissor keeps to the rectangle.
    glEnable(GL_SCISSOR_TEST);
    glScissor(d.left, d.top, d.Width(), d.Height());
    glUseProgram(name);
    glActiveTexture(GL_TEXTURE0);
    glBindSampler(0, sampled ? copy.sampler : 0); // texel fetches read the texture as it is
    glBindTexture(GL_TEXTURE_2D, source->glTexture);
    glBindVertexArray(copy.vertexArray);
    if (sampled)
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    else
        glDrawArrays(GL_TRIANGLES, 0, 3);
    glBindVertexArray(0);
    glDisable(GL_SCISSOR_TEST); // the draws never scissor

    // Back to the draws' own state.
    glBindSampler(0, draw->samplerObjects[0]);
    glUseProgram(draw->program);
    for (int state : {RsZEnable, RsAlphaBlendEnable, RsStencilEnable, RsAlphaTestEnable, RsCullMode, RsFillMode})
        ApplyRenderState(state, renderStates[std::size_t(state)]);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, drawFramebuffer);
    glViewport(viewport.x, viewport.y, viewport.width, viewport.height);
    draw->stagesDirty = true; // unit 0's texture
    return true;
}

} // namespace platform::gpu
