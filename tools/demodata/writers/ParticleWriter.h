#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A particle file: a version line, then one value a line in a fixed order (texture, emission,
// floor, gravity, size, alpha, colours, speed, life, cone, attraction, floor response, eight
// spare values, pool and drawing switches, start delay, mesh, growth, streaks, sorting and, in
// version 0.8, inherited velocity). Defaults are those of a new particle system.
struct ParticleFileSettings {
    bool version08 = true;
    std::string texture = "None"; // relative to the particle file's folder
    float emissionRate = 100.0f;
    float floorHeight = -25.0f;
    float gravityBase = 4.0f, gravityEnd = 4.0f, gravitySpread = 0.0f;
    float sizeBase = 4.0f, sizeEnd = 0.2f, sizeSpread = 0.0f;
    float alphaBase = 1.0f, alphaEnd = 0.0f, alphaSpread = 0.0f;
    float startColor[3] = {1.0f, 1.0f, 1.0f};
    float endColor[3] = {0.0f, 0.0f, 1.0f};
    float colorSpread[3] = {0.0f, 0.0f, 0.0f};
    float speedBase = 100.0f, speedSpread = 10.0f;
    float lifetimeBase = 3.0f, lifetimeSpread = 0.0f;
    float coneAngle = 45.0f;
    bool attract = false;
    float attractStrength = 25.0f;
    bool collide = true;
    float slideSpeed = -5.0f;
    float restitution = 0.5f;
    float unusedValues[8] = {};
    int maxParticles = 0;
    bool recycle = true;
    bool depthTest = true;
    bool alphaBlend = false;
    bool ambientLit = false;
    bool screenSpace = false;
    float startDelay = 0.0f;
    std::string mesh = "None"; // a model file relative to the particle file's folder
    float meshGrowth = 1.0f;
    float streakBase = 0.0f, streakEnd = 0.0f, streakDelaySpread = 0.0f, streakDelay = 0.0f;
    bool sorted = false;
    bool inheritVelocity = false; // written in version 0.8 only
};

// The file's text; lines end in lineEnd ("\n" or "\r\n").
std::string WriteParticleText(const ParticleFileSettings& settings, const char* lineEnd = "\n");
std::vector<std::uint8_t> WriteParticleFile(const ParticleFileSettings& settings, const char* lineEnd = "\n");
