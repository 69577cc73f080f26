#include "tools/demodata/DemoData.h"
#include "tools/demodata/writers/Q3dWriter.h"
#include "tools/demodata/writers/TgaWriter.h"

namespace {

TgaImage Checker(std::uint32_t a, std::uint32_t b)
{
    TgaImage image(64, 64, a);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            if (((x / 8) + (y / 8)) % 2)
                image.At(x, y) = b;
    return image;
}

TgaImage Planks()
{
    TgaImage image(64, 64, 0xFF8A6A3Cu);
    for (int y = 0; y < 64; y += 16)
        image.Fill(0, y, 64, 2, 0xFF5A4426u);
    return image;
}

Q3dMaterial TexturedMaterial(const char* name, const char* texture)
{
    Q3dMaterial material;
    material.name = name;
    material.texture0 = texture;
    return material;
}

} // namespace

// Props built from boxes, cylinders and cones, with their textures beside them.
void GenerateModels(const DemoDataWriter& out)
{
    const std::string folder = "GameData/Models/Props/";
    out.writeFile(folder + "crate.tga", WriteTga(Planks(), 24));
    out.writeFile(folder + "barrel.tga", WriteTga(Checker(0xFF3C5A3Cu, 0xFF2E462Eu), 24));
    out.writeFile(folder + "rock.tga", WriteTga(Checker(0xFF807C78u, 0xFF6E6A66u), 24));

    Q3dObject crate;
    crate.name = "crate";
    crate.materials.push_back(TexturedMaterial("crate", "crate.tga"));
    AddQ3dBox(crate, 0.5f, 0.5f, 0.5f, 0);
    crate.position[1] = 0.5f;
    out.writeFile(folder + "crate.q3d", WriteQ3dModel({crate}));

    Q3dObject barrel;
    barrel.name = "barrel";
    barrel.materials.push_back(TexturedMaterial("barrel", "barrel.tga"));
    AddQ3dCylinder(barrel, 0.3f, 0.3f, 0.9f, 12, 0);
    out.writeFile(folder + "barrel.q3d", WriteQ3dModel({barrel}));

    // A tent: a cone roof on a short cylinder wall, two objects sharing one texture.
    Q3dObject wall, roof;
    wall.name = "wall";
    wall.materials.push_back(TexturedMaterial("canvas", "barrel.tga"));
    AddQ3dCylinder(wall, 1.5f, 1.5f, 1.0f, 8, 0);
    roof.name = "roof";
    roof.properties = "collide";
    roof.materials.push_back(TexturedMaterial("canvas", "barrel.tga"));
    AddQ3dCylinder(roof, 1.7f, 0.0f, 1.2f, 8, 0);
    roof.position[1] = 1.0f;
    out.writeFile(folder + "tent.q3d", WriteQ3dModel({wall, roof}));

    Q3dObject rock;
    rock.name = "rock";
    rock.materials.push_back(TexturedMaterial("rock", "rock.tga"));
    AddQ3dBox(rock, 0.8f, 0.4f, 0.6f, 0, 0xFFC0C0C0u);
    out.writeFile(folder + "rock.q3d", WriteQ3dModel({rock}));
}
