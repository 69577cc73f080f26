#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tools/demodata/writers/GlbWriter.h"

// A key pose of a biped skeleton: turns of named joints, and how far the root sits lowered.
struct KeyPose {
    // Degrees about x (positive swings a hanging limb forward, towards glTF -z), then z.
    struct Turn {
        const char* joint;
        float aboutX;
        float aboutZ;
    };
    std::vector<Turn> turns;
    float rootDrop = 0.0f;
};

// The turn about x then z (row vectors: x applied first) as one quaternion qz * qx: x, y, z, w.
void KeyTurnQuaternion(float aboutX, float aboutZ, float* q);

// Rotation keys at the given times, one pose each: a channel for every joint any pose names (in the
// order first named), a joint a pose leaves out at rest in it. With a root rest position, node 0
// also gets a translation channel lowered by each pose's drop.
GltfScene::Animation KeyPoseAnimation(const std::string& name, const std::vector<float>& times,
                                      const std::vector<KeyPose>& poses,
                                      const std::function<int(const std::string&)>& jointIndex,
                                      const float* rootRest);
