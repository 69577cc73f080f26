#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/demodata/DemoData.h"
#include "tools/demodata/writers/MapWriter.h"
#include "tools/demodata/writers/WaveWriter.h"

namespace {

constexpr int kSoundRate = 22050;
// A character's centre stands this far above the ground under it.
constexpr float kStandHeight = 4.0f;

struct Point {
    float x, z;
};

// The patrol of three riflemen in the south-western hills: the leader's round, the others follow.
constexpr Point kPatrolStart[3] = {{-260, -260}, {-266, -266}, {-254, -266}};
constexpr Point kPatrolRound[3] = {{-200, -280}, {-180, -230}, {-240, -200}};
// The guard on the eastern edge with his alarm post, the sentries picked at random in the
// south-east, each on level ground; the rifle lying near the start point. The squad starts
// facing north: everybody stands behind or beside it, out of its first view.
constexpr Point kGuard = {260, -60};
constexpr Point kAlarmPost = {266, -54};
constexpr Point kSentries[4] = {{180, -240}, {240, -180}, {120, -260}, {230, -230}};
constexpr Point kLooseRifle = {20, 10};

MapFilePlacement Stand(float (*groundHeight)(float x, float z), Point at, float raise, int library)
{
    MapFilePlacement placement;
    placement.position[0] = at.x;
    placement.position[1] = groundHeight(at.x, at.z) + raise;
    placement.position[2] = at.z;
    placement.library = library;
    return placement;
}

std::string Coordinates(float x, float y, float z)
{
    char text[96];
    std::snprintf(text, sizeof text, "%f,%f,%f", double(x), double(y), double(z));
    return text;
}

// The patrol file: the leader's start and round (a pause at each corner), the two others joined
// to the leader's group.
std::string PatrolPaths(float (*groundHeight)(float x, float z))
{
    const auto standing = [&](Point at) { return Coordinates(at.x, groundHeight(at.x, at.z) + kStandHeight, at.z); };
    std::string text = standing(kPatrolStart[0]) + "\n";
    for (const Point& corner : kPatrolRound)
        text += standing(corner) + ",2.000000,5.000000,-45.000000,45.000000,0\n";
    text += "*\n";
    for (int member = 1; member < 3; ++member)
        text += standing(kPatrolStart[member]) + "," + standing(kPatrolStart[0]) + "\n*\n";
    return text;
}

// Wind in the valley: low rumbling noise, swelling and falling, as a seamless four-second loop.
std::vector<std::int16_t> ValleyWind()
{
    const int length = kSoundRate * 4;
    std::vector<std::int16_t> samples(std::size_t(length), 0);
    std::uint32_t state = 12345u;
    float low = 0.0f;
    for (int i = 0; i < length; ++i) {
        state = state * 1664525u + 1013904223u;
        const float noise = float(state >> 9) / float(1u << 23) * 2.0f - 1.0f;
        low += (noise - low) * 0.02f;
        const float swell = 0.6f + 0.4f * std::sin(6.2831853f * float(i) / float(length));
        samples[std::size_t(i)] = std::int16_t(low * swell * 0.25f * 32000.0f);
    }
    return samples;
}

// A siren: a tone sweeping up and down twice a second, as a seamless one-second loop.
std::vector<std::int16_t> Siren()
{
    std::vector<std::int16_t> samples(std::size_t(kSoundRate), 0);
    double phase = 0.0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double t = double(i) / kSoundRate;
        const double frequency = 700.0 + 250.0 * std::sin(6.283185307 * 2.0 * t);
        phase += 6.283185307 * frequency / kSoundRate;
        samples[i] = std::int16_t(0.4 * std::sin(phase) * 32000.0);
    }
    return samples;
}

} // namespace

// The demo map's population: an enemy patrol walking its round, a guard holding his place beside
// an alarm post that he pulls when he sees the squad, four sentries of which the mission picks two
// at random, a rifle lying near the start and the wind. The enemies wear their own grey-blue
// uniform (the default enemy model), so they do not look like the squad.
void AddDemoPopulationObjects(const DemoDataWriter& out, MapFile& map, float (*groundHeight)(float x, float z))
{
    const int rifleman = int(map.entries.size());
    map.entries.push_back({"lamp.q3d", "Rifleman", {"enemy M4", "RUNPATROL", "", "", ""}, 1, 0});
    const int guard = int(map.entries.size());
    map.entries.push_back({"lamp.q3d", "Guard", {"enemy M4", "stationary", "ALARMER", "", ""}, 1, 0});
    const int sentry = int(map.entries.size());
    map.entries.push_back({"lamp.q3d", "RandomSentry", {"enemy Pistol", "POSTURE 1", "", "", ""}, 1, 0});
    const int alarm = int(map.entries.size());
    map.entries.push_back({"lamp.q3d", "AlarmPost", {"pullalarm Vane", "", "", "", ""}, 1, 0});
    const int rifle = int(map.entries.size());
    map.entries.push_back({"lamp.q3d", "LooseRifle", {"item M249", "", "", "", ""}, 1, 0});

    for (const Point& at : kPatrolStart)
        map.placements.push_back(Stand(groundHeight, at, kStandHeight, rifleman));
    map.placements.push_back(Stand(groundHeight, kGuard, kStandHeight, guard));
    for (const Point& at : kSentries)
        map.placements.push_back(Stand(groundHeight, at, kStandHeight, sentry));
    // The rifle lies as a dropped one does: its world model, standing on end, laid down by a
    // quarter turn about x.
    MapFilePlacement lying = Stand(groundHeight, kLooseRifle, 0.5f, rifle);
    lying.rotation[0] = lying.rotation[3] = 0.70710678f;
    map.placements.push_back(lying);
    map.placements.push_back(Stand(groundHeight, kAlarmPost, 0.0f, alarm));
    AddDemoTankObjects(out, map, groundHeight);

    WriteDemoSoldierBody(out, "GameData/Models/", "enemy", 0xFF4E5766u, 0xFF363C48u);
    out.writeText("Maps/Demo/area.pth", PatrolPaths(groundHeight));
    map.ambientSounds[0][0] = "Sound/Ambient/valleywind.wav";
    out.writeFile("Sound/Ambient/valleywind.wav", WriteWave(ValleyWind(), kSoundRate, 1));
    out.writeFile("Sound/PullAlarm.wav", WriteWave(Siren(), kSoundRate, 1));
    AddDemoNeutralObjects(out, map, groundHeight);
    AddDemoExplosives(out, map, groundHeight);
}
