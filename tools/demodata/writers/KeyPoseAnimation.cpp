#include "tools/demodata/writers/KeyPoseAnimation.h"

#include <cmath>

void KeyTurnQuaternion(float aboutX, float aboutZ, float* q)
{
    constexpr double kHalfDegree = 3.14159265358979323846 / 360.0;
    const double hx = aboutX * kHalfDegree, hz = aboutZ * kHalfDegree;
    const double sx = std::sin(hx), cx = std::cos(hx), sz = std::sin(hz), cz = std::cos(hz);
    q[0] = static_cast<float>(cz * sx);
    q[1] = static_cast<float>(sz * sx);
    q[2] = static_cast<float>(sz * cx);
    q[3] = static_cast<float>(cz * cx);
}

GltfScene::Animation KeyPoseAnimation(const std::string& name, const std::vector<float>& times,
                                      const std::vector<KeyPose>& poses,
                                      const std::function<int(const std::string&)>& jointIndex,
                                      const float* rootRest)
{
    GltfScene::Animation animation;
    animation.name = name;
    std::vector<std::string> joints;
    for (const KeyPose& pose : poses)
        for (const KeyPose::Turn& turn : pose.turns) {
            bool named = false;
            for (const std::string& joint : joints)
                named = named || joint == turn.joint;
            if (!named)
                joints.emplace_back(turn.joint);
        }
    for (const std::string& joint : joints) {
        GltfScene::Channel channel;
        channel.node = jointIndex(joint);
        channel.path = "rotation";
        channel.times = times;
        for (const KeyPose& pose : poses) {
            float q[4] = {0, 0, 0, 1};
            for (const KeyPose::Turn& turn : pose.turns)
                if (joint == turn.joint)
                    KeyTurnQuaternion(turn.aboutX, turn.aboutZ, q);
            channel.values.insert(channel.values.end(), q, q + 4);
        }
        animation.channels.push_back(channel);
    }
    if (rootRest) {
        GltfScene::Channel channel;
        channel.node = 0;
        channel.path = "translation";
        channel.times = times;
        for (const KeyPose& pose : poses)
            channel.values.insert(channel.values.end(), {rootRest[0], rootRest[1] - pose.rootDrop, rootRest[2]});
        animation.channels.push_back(channel);
    }
    return animation;
}
