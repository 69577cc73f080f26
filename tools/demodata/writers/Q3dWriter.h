#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The q3D model file (".q3d"), as the engine's reader reads it: version 1.1, then objects of
// fixed 256-byte strings, property text, transform, 792-byte material records and 112-byte
// triangle records (three 36-byte vertices whose last 4 bytes are reserved and written 0, then
// the material index).
struct Q3dVertex {
    float position[3] = {0, 0, 0};
    std::uint32_t color = 0xFFFFFFFFu;
    float uv0[2] = {0, 0};
    float uv1[2] = {0, 0};
};

struct Q3dTriangle {
    Q3dVertex vertices[3];
    std::uint32_t material = 0;
};

struct Q3dMaterial {
    std::string name = "Material";
    std::string texture0;
    std::string texture1;
    std::uint32_t color = 0xFFFFFFFFu;
    std::uint32_t lighting = 2;
    std::uint32_t flags = 0;       // bit 0: two-sided
    std::uint32_t srcBlend = 2;    // ONE
    std::uint32_t destBlend = 1;   // ZERO
    std::uint32_t stage1Op = 4;    // modulate
};

struct Q3dObject {
    std::string name;
    std::string properties;
    float rotation[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    float position[3] = {0, 0, 0};
    float scale[3] = {1, 1, 1};
    std::vector<Q3dMaterial> materials;
    std::vector<Q3dTriangle> triangles;
};

std::vector<std::uint8_t> WriteQ3dModel(const std::vector<Q3dObject>& objects);

// Shapes for models, with uv set 0 mapped around them and set 1 equal to set 0.
// A box of the given half extents centred at the origin, outward faces clockwise seen from
// outside (the renderer's front faces).
void AddQ3dBox(Q3dObject& object, float halfX, float halfY, float halfZ, std::uint32_t material,
               std::uint32_t color = 0xFFFFFFFFu);
// A cylinder (or, with topRadius 0, a cone) standing on y = 0.
void AddQ3dCylinder(Q3dObject& object, float bottomRadius, float topRadius, float height, int sides,
                    std::uint32_t material, std::uint32_t color = 0xFFFFFFFFu);
