#pragma once

#include <memory>

#include "engine/core/Vector.h"
#include "engine/mesh/MeshNode.h"
#include "engine/scene/SceneNode.h"

class Device;
class MapDescription;

// The sky domes of the five lighting sets, the clouds and the star box, drawn around the camera.
class Sky : public SceneNode {
public:
    Sky() = default;
    ~Sky() override { Release(); }
    void Update(float) override {}

    // Throws q3DError when a model or the cloud texture can't be loaded.
    void Load(Device* device, MapDescription* map);
    void SetCloudOpacity(float opacity);
    void SetTimeOfDay(int set, float skyValue);
    void FollowCamera(const Vector3& eye);
    void Draw();
    void Release();

    std::unique_ptr<MeshNode> domes[5];
    std::unique_ptr<MeshNode> starBox;
    std::unique_ptr<MeshNode> clouds;
    float cloudOpacity = 1.0f;
    int currentSet = 0;
    bool cloudsOn = true;
    bool domeOn = true;
    bool thirdSwitch = true;

private:
    Device* device = nullptr;
    MapDescription* map = nullptr;
};
