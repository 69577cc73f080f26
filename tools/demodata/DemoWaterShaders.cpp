#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>

#include <mojoshader.h>

#include "tools/demodata/DemoData.h"
#include "tools/demodata/writers/LittleEndian.h"

namespace {

// The water's vertex shader. Constants as the world sets them: c0-c3 view x projection by columns,
// c4 the eye, c5 (0, 0.5, 1, 2), c6.xy how often the ripple map repeats over a patch, c8.x how much
// the broad waves outweigh the ripples, c9.xy the fog end and 1 / (fog end - fog start).
// Out: t0 ripple coordinates, t1 the way to the eye, t2 the weighted wave normal, the fog factor.
constexpr const char* kVertexShader = R"(vs_2_0
dcl_position v0
dcl_normal v1
dcl_texcoord1 v2
m4x4 oPos, v0, c0
mul oT0.xy, v2.xy, c6.xy
add r0.xyz, c4.xyz, -v0.xyz
mov oT1.xyz, r0.xyz
mul oT2.xyz, v1.xyz, c8.x
dp3 r1.x, r0, r0
rsq r1.y, r1.x
mul r1.z, r1.x, r1.y
add r1.w, c9.x, -r1.z
mul r1.w, r1.w, c9.y
max r1.w, r1.w, c5.x
min oFog, r1.w, c5.z
)";

// The water's pixel shader: the signed ripple normal (s0) added to the wave normal, the sky
// reflected in it (cube map s1), mixed over the water colours c0 (seen flat) and c1 (seen from
// above) by a Fresnel-like term; grazing views are more opaque.
constexpr const char* kPixelShader = R"(ps_2_0
def c2, 0.5, 1.0, 0.0, 0.7
dcl t0.xy
dcl t1.xyz
dcl t2.xyz
dcl_2d s0
dcl_cube s1
texld r0, t0, s0
add r0.xyz, r0, t2
nrm r1.xyz, r0
nrm r2.xyz, t1
dp3_sat r3.x, r1, r2
add r3.y, r3.x, r3.x
mad r4.xyz, r1, r3.y, -r2
texld r5, r4, s1
add r3.z, c2.y, -r3.x
mul r3.z, r3.z, r3.z
lrp r6.xyz, r3.x, c1, c0
lrp r7.xyz, r3.z, r5, r6
lrp r7.w, r3.z, c2.y, c2.w
mov oC0, r7
)";

std::vector<std::uint8_t> Assemble(const char* source)
{
    const MOJOSHADER_parseData* data =
        MOJOSHADER_assemble("water", source, unsigned(std::strlen(source)), nullptr, 0, nullptr, 0, nullptr, 0,
                            nullptr, nullptr, nullptr, nullptr, nullptr);
    std::string error;
    if (!data)
        error = "out of memory";
    else if (data->error_count > 0)
        error = std::string(data->errors[0].error ? data->errors[0].error : "error") + " at line " +
                std::to_string(data->errors[0].error_position);
    std::vector<std::uint8_t> bytes;
    if (error.empty())
        bytes.assign(data->output, data->output + data->output_len);
    MOJOSHADER_freeParseData(data);
    if (!error.empty())
        throw std::runtime_error("water shader: " + error);
    return bytes;
}

std::uint16_t To565(float r, float g, float b)
{
    const auto channel = [](float v, int bits) { return std::uint16_t(std::clamp(v, 0.0f, 1.0f) * float((1 << bits) - 1) + 0.5f); };
    return std::uint16_t(channel(r, 5) << 11 | channel(g, 6) << 5 | channel(b, 5));
}

// The sky seen from the water: pale at the horizon, deeper blue overhead, the shore's shaded sand
// below (ripples tilt some reflections under the horizon).
std::uint16_t SkyColour(float up)
{
    if (up < 0.0f)
        return To565(0.52f, 0.48f, 0.34f);
    const float t = std::sqrt(up);
    return To565(0.80f - 0.30f * t, 0.86f - 0.17f * t, 0.94f - 0.06f * t);
}

// A DXT1 cube map of 32 x 32 faces with its whole chain, one colour a block. Faces in the order
// +x, -x, +y, -y, +z, -z; on the four side faces the up component of a texel's direction is -t.
std::vector<std::uint8_t> SkyCubeMap()
{
    constexpr int kSize = 32, kLevels = 6;
    std::vector<std::uint8_t> out;
    PutU32(out, 0x20534444u); // "DDS "
    PutU32(out, 124);
    PutU32(out, 0x1007u | 0x20000u | 0x80000u); // caps, height, width, pixel format, levels, linear size
    PutU32(out, kSize);
    PutU32(out, kSize);
    PutU32(out, (kSize / 4) * (kSize / 4) * 8);
    PutU32(out, 0);
    PutU32(out, kLevels);
    for (int i = 0; i < 11; ++i)
        PutU32(out, 0);
    PutU32(out, 32);
    PutU32(out, 4); // four-character code
    for (char c : {'D', 'X', 'T', '1'})
        out.push_back(std::uint8_t(c));
    for (int i = 0; i < 5; ++i)
        PutU32(out, 0);
    PutU32(out, 0x1000u | 0x8u | 0x400000u); // texture, complex, mipmap
    PutU32(out, 0xFE00u);                    // cube map with all six faces
    for (int i = 0; i < 3; ++i)
        PutU32(out, 0);
    for (int face = 0; face < 6; ++face)
        for (int level = 0; level < kLevels; ++level) {
            const int side = std::max(kSize >> level, 1), blocks = std::max(side / 4, 1);
            for (int by = 0; by < blocks; ++by)
                for (int bx = 0; bx < blocks; ++bx) {
                    const float t = (float(by) + 0.5f) / float(blocks) * 2.0f - 1.0f;
                    const float up = face == 2 ? 1.0f : face == 3 ? -1.0f : -t;
                    const std::uint16_t colour = SkyColour(up);
                    PutU16(out, colour);
                    PutU16(out, colour);
                    PutU32(out, 0);
                }
        }
    return out;
}

} // namespace

// The demo map's water shaders, assembled from source, and the sky cube map they reflect.
void GenerateDemoWaterShaders(const DemoDataWriter& out, const std::string& waterPath)
{
    out.writeFile(waterPath + ".lumoravs", Assemble(kVertexShader));
    out.writeFile(waterPath + ".lumoraps", Assemble(kPixelShader));
    out.writeFile(waterPath + "-cubemap.dds", SkyCubeMap());
}
