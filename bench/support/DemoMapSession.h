#pragma once

// The demo map loaded into a real world on a headless device, with the collision scene over it
// and the characters' stand-in for a level (animation sets "Rifle" and "Unarmed", hooks over the
// world and camera). The benchmarks of characters and items put their soldiers on it.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/framework/Application.h"
#include "bench/support/DemoDataSession.h"
#include "tests/support/WorldStandIn.h"
#include "engine/camera/Camera.h"
#include "mission/services/WorldCollisionScene.h"
#include "physics/Collision.h"
#include "world/map/MapDescription.h"
#include "world/World.h"

class Character;

class DemoMapSession {
public:
    DemoMapSession(const char* dataFolder, const char* folderName) : data(dataFolder, folderName, 320, 240)
    {
        Application::Instance()->SetDevice(data.device);
        camera = std::make_unique<Camera>(data.device);
        if (!map.Load("Maps/Demo/area.mpb")) {
            std::fprintf(stderr, "the demo map does not load: %s\n", map.GetLastError());
            std::exit(1);
        }
        world = std::make_unique<World>();
        world->Load(&map, data.device, camera.get());
        camera->SetFar(map.viewDistance);
        scene = std::make_unique<WorldCollisionScene>(world.get());
        CollisionSetScene(scene.get());
        BuildModelAnimationCache({"Rifle", "Unarmed"});
        level = std::make_unique<WorldStandIn>(*world, *camera, everyone, std::vector<std::string>{"Rifle", "Unarmed"});
    }

    // The soldiers placed on the map must be gone before this runs.
    ~DemoMapSession()
    {
        level.reset();
        CollisionSetScene(nullptr);
        scene.reset();
        world.reset();
        camera.reset();
        Application::Instance()->SetDevice(nullptr);
    }

    DemoMapSession(const DemoMapSession&) = delete;
    DemoMapSession& operator=(const DemoMapSession&) = delete;

    Device* GetDevice() const { return data.device; }

    DemoDataSession data;
    std::unique_ptr<Camera> camera;
    MapDescription map;
    std::unique_ptr<World> world;
    std::unique_ptr<WorldCollisionScene> scene;
    // Every character of the benchmark, as the stand-in level sees them.
    std::vector<Character*> everyone;
    std::unique_ptr<WorldStandIn> level;
};
