#include "tools/demodata/writers/Q3dWriter.h"

#include "tools/demodata/writers/LittleEndian.h"

#include <cmath>
#include <cstring>

namespace {

// A fixed 256-byte string field, cut to 255 characters and zero-filled.
void PutString(std::vector<std::uint8_t>& out, const std::string& text)
{
    const std::size_t length = text.size() < 255 ? text.size() : 255;
    out.insert(out.end(), text.begin(), text.begin() + std::ptrdiff_t(length));
    out.insert(out.end(), 256 - length, 0);
}

void PutVertex(std::vector<std::uint8_t>& out, const Q3dVertex& v)
{
    for (float p : v.position)
        PutF32(out, p);
    PutU32(out, v.color);
    PutF32(out, v.uv0[0]);
    PutF32(out, v.uv0[1]);
    PutF32(out, v.uv1[0]);
    PutF32(out, v.uv1[1]);
    PutU32(out, 0); // reserved
}

Q3dVertex Vertex(float x, float y, float z, float u, float v, std::uint32_t color)
{
    Q3dVertex vertex;
    vertex.position[0] = x;
    vertex.position[1] = y;
    vertex.position[2] = z;
    vertex.color = color;
    vertex.uv0[0] = vertex.uv1[0] = u;
    vertex.uv0[1] = vertex.uv1[1] = v;
    return vertex;
}

void AddQuad(Q3dObject& object, const Q3dVertex& a, const Q3dVertex& b, const Q3dVertex& c, const Q3dVertex& d,
             std::uint32_t material)
{
    object.triangles.push_back(Q3dTriangle{{a, b, c}, material});
    object.triangles.push_back(Q3dTriangle{{a, c, d}, material});
}

} // namespace

std::vector<std::uint8_t> WriteQ3dModel(const std::vector<Q3dObject>& objects)
{
    std::vector<std::uint8_t> out;
    PutF32(out, 1.1f);
    PutU32(out, std::uint32_t(objects.size()));
    for (const Q3dObject& object : objects) {
        PutString(out, object.name);
        PutU32(out, std::uint32_t(object.properties.size()));
        out.insert(out.end(), object.properties.begin(), object.properties.end());
        for (float r : object.rotation)
            PutF32(out, r);
        for (float p : object.position)
            PutF32(out, p);
        for (float s : object.scale)
            PutF32(out, s);
        PutU32(out, std::uint32_t(object.materials.size()));
        for (const Q3dMaterial& m : object.materials) {
            PutString(out, m.name);
            PutString(out, m.texture0);
            PutString(out, m.texture1);
            PutU32(out, m.color);
            PutU32(out, m.lighting);
            PutU32(out, m.flags);
            PutU32(out, m.srcBlend);
            PutU32(out, m.destBlend);
            PutU32(out, m.stage1Op);
        }
        PutU32(out, std::uint32_t(object.triangles.size()));
        for (const Q3dTriangle& t : object.triangles) {
            for (const Q3dVertex& v : t.vertices)
                PutVertex(out, v);
            PutU32(out, t.material);
        }
    }
    return out;
}

void AddQ3dBox(Q3dObject& object, float hx, float hy, float hz, std::uint32_t material, std::uint32_t color)
{
    auto v = [&](float x, float y, float z, float u, float w) { return Vertex(x, y, z, u, w, color); };
    // Each face: corners listed clockwise as seen from outside (left-handed, +z forward).
    AddQuad(object, v(-hx, hy, -hz, 0, 0), v(hx, hy, -hz, 1, 0), v(hx, -hy, -hz, 1, 1), v(-hx, -hy, -hz, 0, 1), material); // -z
    AddQuad(object, v(hx, hy, hz, 0, 0), v(-hx, hy, hz, 1, 0), v(-hx, -hy, hz, 1, 1), v(hx, -hy, hz, 0, 1), material);     // +z
    AddQuad(object, v(-hx, hy, hz, 0, 0), v(-hx, hy, -hz, 1, 0), v(-hx, -hy, -hz, 1, 1), v(-hx, -hy, hz, 0, 1), material); // -x
    AddQuad(object, v(hx, hy, -hz, 0, 0), v(hx, hy, hz, 1, 0), v(hx, -hy, hz, 1, 1), v(hx, -hy, -hz, 0, 1), material);     // +x
    AddQuad(object, v(-hx, hy, hz, 0, 0), v(hx, hy, hz, 1, 0), v(hx, hy, -hz, 1, 1), v(-hx, hy, -hz, 0, 1), material);     // +y
    AddQuad(object, v(-hx, -hy, -hz, 0, 0), v(hx, -hy, -hz, 1, 0), v(hx, -hy, hz, 1, 1), v(-hx, -hy, hz, 0, 1), material); // -y
}

void AddQ3dCylinder(Q3dObject& object, float bottomRadius, float topRadius, float height, int sides,
                    std::uint32_t material, std::uint32_t color)
{
    const float step = 6.2831853f / float(sides);
    for (int i = 0; i < sides; ++i) {
        const float a0 = step * float(i), a1 = step * float(i + 1);
        const float u0 = float(i) / float(sides), u1 = float(i + 1) / float(sides);
        const Q3dVertex b0 = Vertex(bottomRadius * std::cos(a0), 0, bottomRadius * std::sin(a0), u0, 1, color);
        const Q3dVertex b1 = Vertex(bottomRadius * std::cos(a1), 0, bottomRadius * std::sin(a1), u1, 1, color);
        const Q3dVertex t0 = Vertex(topRadius * std::cos(a0), height, topRadius * std::sin(a0), u0, 0, color);
        const Q3dVertex t1 = Vertex(topRadius * std::cos(a1), height, topRadius * std::sin(a1), u1, 0, color);
        object.triangles.push_back(Q3dTriangle{{b0, t0, t1}, material});
        if (topRadius > 0.0f)
            object.triangles.push_back(Q3dTriangle{{b0, t1, b1}, material});
        else
            object.triangles.back().vertices[2] = b1;
        // Caps: the bottom seen from below, the top from above.
        const Q3dVertex bottomCentre = Vertex(0, 0, 0, 0.5f, 0.5f, color);
        object.triangles.push_back(Q3dTriangle{{bottomCentre, b0, b1}, material});
        if (topRadius > 0.0f) {
            const Q3dVertex topCentre = Vertex(0, height, 0, 0.5f, 0.5f, color);
            object.triangles.push_back(Q3dTriangle{{topCentre, t1, t0}, material});
        }
    }
}
