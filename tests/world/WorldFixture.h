#pragma once

#include <cstdlib>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/framework/ArenaAlloc.h"
#include "engine/camera/Camera.h"
#include "tests/renderer/RendererFixture.h"
#include "tests/support/FramePixels.h"
#include "tools/demodata/writers/MapWriter.h"
#include "tools/demodata/writers/Q3dWriter.h"
#include "tools/demodata/writers/TgaWriter.h"
#include "world/map/MapDescription.h"
#include "world/props/PropClasses.h"
#include "world/World.h"

// A map folder written by the test: tiles, sky models and a box model (model files are read at a
// tenth of their size, so a box of half size 20 in the file is 2 x 2 x 2 units... of half size 2).
class WorldTest : public RendererTest {
protected:
    void SetUp() override
    {
        RendererTest::SetUp();
        OpenWindowed(160, 120);
        World::SetSwayProxFactory(SwayProxPropFactory);
        WriteFile("Maps/tWorld/0.tga", WriteTga(TgaImage(16, 16, 0xFF40A040u), 24));
        WriteFile("Maps/tWorld/1.tga", WriteTga(TgaImage(16, 16, 0xFFA08040u), 24));
        Q3dObject dome;
        dome.materials.push_back(Q3dMaterial{});
        AddQ3dBox(dome, 50, 50, 50, 0, 0xFF80C0FFu);
        for (const char* sky : {"Maps/Sky/skydome.q3d", "Maps/Sky/clouds.q3d", "Maps/Sky/starbox.q3d"})
            WriteFile(sky, WriteQ3dModel({dome}));
        Q3dObject box;
        box.materials.push_back(Q3dMaterial{});
        AddQ3dBox(box, 20, 20, 20, 0, 0xFFC0C0C0u);
        WriteFile("Maps/tWorld/box.q3d", WriteQ3dModel({box}));
        Q3dObject small;
        small.materials.push_back(Q3dMaterial{});
        AddQ3dBox(small, 5, 5, 5, 0);
        WriteFile("Maps/tWorld/box2.q3d", WriteQ3dModel({small}));
        // The generated water shaders and cube map, where the maps' default water path looks.
        std::filesystem::create_directories("Maps/Water");
        for (const char* file : {"water.lumoravs", "water.lumoraps", "water-cubemap.dds"})
            std::filesystem::copy_file(std::filesystem::path(BEXAL_DATA_DIR) / "Maps/Water" / file,
                                       std::filesystem::path("Maps/Water") / file,
                                       std::filesystem::copy_options::overwrite_existing);
        camera = std::make_unique<Camera>(device);
        camera->SetFar(400.0f);
    }

    void TearDown() override
    {
        world.reset();
        camera.reset();
        ArenaFreeAll();
        RendererTest::TearDown();
    }

    static void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
    {
        const std::filesystem::path p(path);
        if (p.has_parent_path())
            std::filesystem::create_directories(p.parent_path());
        RendererTest::WriteFile(path, bytes);
    }
    static void WriteText(const std::string& path, const std::string& text)
    {
        WriteFile(path, std::vector<std::uint8_t>(text.begin(), text.end()));
    }

    // A 32 x 32 map of 10-unit cells: height = column + 2 x row (times the height scale 0.5),
    // tile 1 in the left half, water level 20 in the top-left block; one entry "box".
    static MapFile Terrain()
    {
        MapFile map;
        map.width = map.height = 32;
        map.SizeBlocks();
        for (int r = 0; r < 32; ++r)
            for (int c = 0; c < 32; ++c) {
                map.heightData[std::size_t(r * 32 + c) * 3] = std::uint8_t(c + 2 * r);
                map.colorData[std::size_t(r * 32 + c)] = c < 16 ? 1 : 0;
            }
        map.waterData[0] = 20;
        map.heightScale = 0.5f;
        map.cellSize = 10.0f;
        map.groups = {"Props", "Grass"};
        map.entries.push_back({"box.q3d", "box", {}, 0, 0});
        return map;
    }

    // The same map made flat at height 0 with one tile and no water.
    static MapFile FlatTerrain()
    {
        MapFile map = Terrain();
        std::fill(map.heightData.begin(), map.heightData.end(), std::uint8_t(0));
        std::fill(map.colorData.begin(), map.colorData.end(), std::uint16_t(0));
        std::fill(map.waterData.begin(), map.waterData.end(), std::uint16_t(0));
        return map;
    }

    static MapFilePlacement At(float x, float y, float z, int library = 0, float scale = 1.0f)
    {
        MapFilePlacement p;
        p.position[0] = x, p.position[1] = y, p.position[2] = z;
        p.scale = scale;
        p.library = library;
        return p;
    }

    // Writes and loads the map; the world is left for the test.
    void Load(const MapFile& file)
    {
        WriteFile("area.mpb", WriteMapFile(file));
        world.reset(); // before the map it was built from
        map = std::make_unique<MapDescription>();
        ASSERT_TRUE(map->Load("area.mpb")) << map->GetLastError();
        world = std::make_unique<World>();
        world->Load(map.get(), device, camera.get());
    }

    // The generated demo map, its data folders linked into the test's folder, loaded at the first
    // time of day with the map's view distance.
    void LoadDemoMap(std::initializer_list<const char*> folders = {"Maps"})
    {
        for (const char* folder : folders) {
            std::filesystem::remove_all(folder);
            std::filesystem::create_directory_symlink(std::filesystem::path(BEXAL_DATA_DIR) / folder, folder);
        }
        world.reset();
        map = std::make_unique<MapDescription>();
        ASSERT_TRUE(map->Load("Maps/Demo/area.mpb")) << map->GetLastError();
        world = std::make_unique<World>();
        world->Load(map.get(), device, camera.get());
        camera->SetFar(map->viewDistance);
        world->SetTimeOfDay(0);
    }

    void LookFrom(const Vector3& eye, const Vector3& target)
    {
        Vector3 forward = target - eye;
        forward.Normalize();
        Vector3 right = Cross(Vector3(0, 1, 0), forward);
        right.Normalize();
        const Vector3 up = Cross(forward, right);
        camera->rotation = Matrix3();
        camera->rotation.m[0] = right.x, camera->rotation.m[1] = right.y, camera->rotation.m[2] = right.z;
        camera->rotation.m[3] = up.x, camera->rotation.m[4] = up.y, camera->rotation.m[5] = up.z;
        camera->rotation.m[6] = forward.x, camera->rotation.m[7] = forward.y, camera->rotation.m[8] = forward.z;
        camera->position = eye;
        camera->UpdateTransform(0.0f);
    }

    // Compares a 160 x 120 frame with tests/world/golden/<name>, allowing a twentieth of the pixels
    // to differ by more than 40 in a channel; writes the file (and skips) when it is missing or
    // BEXAL_UPDATE_GOLDEN is set.
    void ExpectGoldenFrame(const std::vector<std::uint32_t>& frame, const char* name)
    {
        ASSERT_EQ(frame.size(), 160u * 120u);
        const std::filesystem::path golden = std::filesystem::path(BEXAL_SOURCE_DIR) / "tests/world/golden" / name;
        std::vector<std::uint8_t> bytes = ReadFile(golden.string());
        if (bytes.empty() || std::getenv("BEXAL_UPDATE_GOLDEN")) {
            TgaImage image(160, 120);
            for (int i = 0; i < 160 * 120; ++i)
                image.pixels[std::size_t(i)] = 0xFF000000u | frame[std::size_t(i)];
            std::filesystem::create_directories(golden.parent_path());
            WriteFile(golden.string(), WriteTga(image, 24));
            GTEST_SKIP() << "golden image written to " << golden;
        }
        // An uncompressed 24-bit file of our own writer: rows bottom to top after the 18-byte header.
        // (ImageMagick 6 keeps such rows in file order unless told -auto-orient, so views of these
        // files made with it stand upside down.)
        ASSERT_EQ(bytes.size(), 18u + 160u * 120u * 3u);
        int differing = 0;
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 160; ++x) {
                const std::uint8_t* p = &bytes[18 + (std::size_t(119 - y) * 160 + std::size_t(x)) * 3];
                const std::uint32_t expected = std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
                differing += !Near(frame[std::size_t(y * 160 + x)], expected, 40);
            }
        EXPECT_LT(differing, 160 * 120 / 20) << "pixels differing from the golden image " << name;
    }

    std::unique_ptr<Camera> camera;
    std::unique_ptr<MapDescription> map;
    std::unique_ptr<World> world;
};
