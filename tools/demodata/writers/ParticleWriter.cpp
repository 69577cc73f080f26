#include "tools/demodata/writers/ParticleWriter.h"

#include <cstdio>
#include <cstdlib>

namespace {

class Lines {
public:
    explicit Lines(const char* lineEnd) : lineEnd(lineEnd) {}

    void Text(const std::string& value) { text += value + lineEnd; }
    void Float(float value)
    {
        // Short where that reads back as the same float, else every digit needed.
        char buffer[64];
        std::snprintf(buffer, sizeof(buffer), "%g", double(value));
        if (std::strtof(buffer, nullptr) != value)
            std::snprintf(buffer, sizeof(buffer), "%.9g", double(value));
        Text(buffer);
    }
    void Int(int value) { Text(std::to_string(value)); }
    void Flag(bool value) { Int(value ? 1 : 0); }

    std::string text;

private:
    const char* lineEnd;
};

} // namespace

std::string WriteParticleText(const ParticleFileSettings& s, const char* lineEnd)
{
    Lines out(lineEnd);
    out.Text(s.version08 ? "qParticle File Version 0.8" : "qParticle File Version 0.7");
    out.Text(s.texture);
    out.Float(s.emissionRate);
    out.Float(s.floorHeight);
    out.Float(s.gravityBase);
    out.Float(s.gravityEnd);
    out.Float(s.gravitySpread);
    out.Float(s.sizeBase);
    out.Float(s.sizeEnd);
    out.Float(s.sizeSpread);
    out.Float(s.alphaBase);
    out.Float(s.alphaEnd);
    out.Float(s.alphaSpread);
    for (float c : s.startColor)
        out.Float(c);
    for (float c : s.endColor)
        out.Float(c);
    for (float c : s.colorSpread)
        out.Float(c);
    out.Float(s.speedBase);
    out.Float(s.speedSpread);
    out.Float(s.lifetimeBase);
    out.Float(s.lifetimeSpread);
    out.Float(s.coneAngle);
    out.Flag(s.attract);
    out.Float(s.attractStrength);
    out.Flag(s.collide);
    out.Float(s.slideSpeed);
    out.Float(s.restitution);
    for (float value : s.unusedValues)
        out.Float(value);
    out.Int(s.maxParticles);
    out.Flag(s.recycle);
    out.Flag(s.depthTest);
    out.Flag(s.alphaBlend);
    out.Flag(s.ambientLit);
    out.Flag(s.screenSpace);
    out.Float(s.startDelay);
    out.Text(s.mesh);
    out.Float(s.meshGrowth);
    out.Float(s.streakBase);
    out.Float(s.streakEnd);
    out.Float(s.streakDelaySpread);
    out.Float(s.streakDelay);
    out.Flag(s.sorted);
    if (s.version08)
        out.Flag(s.inheritVelocity);
    return out.text;
}

std::vector<std::uint8_t> WriteParticleFile(const ParticleFileSettings& settings, const char* lineEnd)
{
    const std::string text = WriteParticleText(settings, lineEnd);
    return std::vector<std::uint8_t>(text.begin(), text.end());
}
