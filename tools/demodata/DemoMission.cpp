#include "tools/demodata/DemoData.h"

#include "tools/demodata/writers/MissionWriter.h"
#include "tools/demodata/writers/Q3dWriter.h"
#include "tools/demodata/writers/TgaWriter.h"
#include "tools/demodata/writers/WaveWriter.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <array>
#include <numbers>
#include <string>
#include <vector>

// The demo mission on the demo map and everything the in-game state opens at fixed paths when it
// is made and when it loads a level: the loading display, the interface and crosshair images, the
// radial menu, the marker arrow, the mission and hit sounds, the AI statistics, the formations,
// the tile footsteps and the factoids.

namespace {

constexpr int kSoundRate = 22050;
constexpr std::uint32_t kOlive = 0xFF2B3A22u;
constexpr std::uint32_t kPaper = 0xFFE6DEC2u;
constexpr std::uint32_t kGold = 0xFFC8B45Au;
constexpr std::uint32_t kRed = 0xFFC03020u;
constexpr std::uint32_t kClear = 0x00000000u;

// A tone or a noise burst with a decaying envelope; deterministic.
std::vector<std::int16_t> Sound(double frequency, double seconds, double noiseShare, double decay)
{
    std::vector<std::int16_t> samples;
    const int length = int(kSoundRate * seconds);
    std::uint32_t noise = 2463534242u;
    for (int i = 0; i < length; ++i) {
        noise ^= noise << 13, noise ^= noise >> 17, noise ^= noise << 5;
        const double t = double(i) / kSoundRate;
        const double envelope = std::exp(-t * decay) * std::min(1.0, double(length - i) / (kSoundRate * 0.01));
        const double tone = std::sin(2.0 * std::numbers::pi * frequency * t);
        const double hiss = double(noise >> 16) / 32768.0 - 1.0;
        samples.push_back(std::int16_t(std::lround(14000.0 * envelope * ((1.0 - noiseShare) * tone + noiseShare * hiss))));
    }
    return samples;
}

void WriteSound(const DemoDataWriter& out, const std::string& path, double frequency, double seconds, double noiseShare,
                double decay)
{
    out.writeFile(path, WriteWave(Sound(frequency, seconds, noiseShare, decay), kSoundRate, 1));
}

// A framed flat panel.
TgaImage Panel(int width, int height, std::uint32_t fill, std::uint32_t frame, int border = 2)
{
    TgaImage image(width, height, frame);
    image.Fill(border, border, width - 2 * border, height - 2 * border, fill);
    return image;
}

// A crosshair-like mark: a ring or a cross on a clear background.
TgaImage Mark(int size, std::uint32_t colour, bool ring)
{
    TgaImage image(size, size, kClear);
    const float centre = float(size - 1) / 2.0f;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float dx = float(x) - centre, dy = float(y) - centre;
            const float r = std::sqrt(dx * dx + dy * dy);
            const bool on = ring ? std::fabs(r - centre * 0.8f) < 1.2f
                                 : (std::fabs(dx) < 1.0f || std::fabs(dy) < 1.0f) && r > centre * 0.3f && r < centre;
            if (on)
                image.At(x, y) = colour;
        }
    return image;
}

// The radial menu: a ring of eight segments, the chosen one lit (none for image 0). Segments are
// numbered as the game reads the pointer's gesture: clockwise on the screen from the right.
TgaImage RadialMenu(int lit)
{
    TgaImage image(256, 256, kClear);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const double dx = x - 127.5, dy = y - 127.5;
            const double r = std::sqrt(dx * dx + dy * dy);
            if (r < 40.0 || r > 124.0)
                continue;
            double angle = std::atan2(dy, dx);
            if (angle < 0.0)
                angle += 2.0 * std::numbers::pi;
            const int segment = int(angle / (std::numbers::pi / 4.0)) % 8 + 1;
            const bool edge = std::fmod(angle, std::numbers::pi / 4.0) < 0.03 || r > 121.0 || r < 43.0;
            image.At(x, y) = edge ? kPaper : segment == lit ? 0xC0C8B45Au : 0x90304028u;
        }
    return image;
}

std::string Factoids()
{
    const char* facts[] = {
        "A squad that moves in a wedge sees to both flanks.",
        "Crouching steadies your aim; lying prone steadies it more.",
        "Footsteps on gravel carry farther than footsteps on grass.",
        "Enemies recognise you from farther away by day than at night.",
        "Water slows you down and hides you from nobody.",
        "Keep to the tree line: open ground is where patrols look first.",
        "A wounded soldier moves slower and aims worse.",
        "Reload behind cover, not in the open.",
    };
    std::string text;
    // Forty-eight lines, so that every draw of the loading screen finds a line.
    for (int i = 0; i < 48; ++i)
        text += std::string(facts[i % 8]) + "\n";
    return text;
}

std::string TileProperties()
{
    return "// Footstep sounds by terrain tile: min tile, max tile, AI alert, left foot, right foot\n"
           "0\n0\n0.5\nSound/Steps/grass_left\nSound/Steps/grass_right\n"
           "1\n1\n0.8\nSound/Steps/sand_left\nSound/Steps/sand_right\n"
           "2\n3\n1.0\nSound/Steps/rock_left\nSound/Steps/rock_right\n";
}

void WriteMissionFile(const DemoDataWriter& out)
{
    MissionFileContents mission;
    mission.title = "Demo Valley: First Patrol";
    mission.mapPath = "Maps/Demo/area.mpb";
    mission.overallObjective = "Scout the valley, reach the house, take the intelligence from the guard post and leave by the exit zone in the west.";
    mission.briefingTexts[0] = "Two soldiers walk the valley from the hill to the house by the road.";
    mission.soldierNames[0] = "Sgt. Harlan Voss";
    mission.soldierNames[1] = "Cpl. Mara Quill";
    mission.soldierModels[0] = mission.soldierModels[1] = "us01";
    // Names of the demo item definitions, so the squad carries them.
    // Five items a soldier: the leader carries the remote charge and the radio, the second
    // soldier the timed charge and the mine.
    const char* items[2][5] = {{"M4", "Pistol", "Frag Grenade", "Remote Charge", "Air Strike Radio"},
                               {"Sniper Rifle", "Pistol", "First Aid Kit", "Timed Charge", "AP Mine"}};
    for (int soldier = 0; soldier < 2; ++soldier)
        for (int item = 0; item < 5; ++item)
            mission.soldierItems[soldier][item] = items[soldier][item];
    mission.soldierValues[0] = 1;
    mission.soldierValues[1] = 2;
    mission.aiStatsFile = "GameData/AI/AIStats.txt";
    MissionObjectiveContents reach;
    reach.text = "Reach the house by the road";
    reach.completionText = "House reached";
    reach.targets[0] = 1;
    MissionObjectiveContents intelligence;
    intelligence.text = "Take the intelligence from the guard post in the east";
    intelligence.completionText = "Intelligence taken";
    intelligence.prerequisites[0] = 1;
    intelligence.targets[0] = 3;
    // A secondary objective: it never holds the squad back from the exit.
    MissionObjectiveContents lamp;
    lamp.kind = 1;
    lamp.text = "Check the lamp post";
    lamp.completionText = "Lamp checked";
    lamp.prerequisites[0] = 1;
    lamp.targets[0] = 2;
    mission.objectives = {reach, intelligence, lamp};
    out.writeFile("Maps/Demo/Demo.mis", WriteMissionFile(mission));
}

} // namespace

void GenerateDemoMission(const DemoDataWriter& out)
{
    WriteMissionFile(out);
    out.writeText("GameData/factoids.txt", Factoids());


    // Footsteps of the tiles, for the shipped tile folder and the demo map's own (also its
    // low-detail copy, which the lowest texture setting reads); each foot's variants are numbered
    // from 0.
    for (const char* folder : {"Maps/Tiles/", "Maps/tWorld/", "Maps/tWorld/Low/"})
        out.writeText(std::string(folder) + "TileProperties.txt", TileProperties());
    // The low-detail tiles: the demo tiles' colours, flat and small.
    const std::uint32_t lowTiles[4] = {0xFF367030u, 0xFFBCA872u, 0xFF6C6864u, 0xFF524334u};
    for (int tile = 0; tile < 4; ++tile)
        out.writeFile("Maps/tWorld/Low/" + std::to_string(tile) + ".tga", WriteTga(TgaImage(8, 8, lowTiles[tile]), 24));
    const struct {
        const char* name;
        double frequency, noise;
    } grounds[] = {{"grass", 300.0, 0.8}, {"sand", 500.0, 0.9}, {"rock", 900.0, 0.6}};
    for (const auto& ground : grounds)
        for (const char* foot : {"left", "right"})
            for (int n = 0; n < 2; ++n)
                WriteSound(out, "Sound/Steps/" + std::string(ground.name) + "_" + foot + "_" + std::to_string(n) + ".wav",
                           ground.frequency + 40.0 * n, 0.08, ground.noise, 60.0);

    // The loading display: an 800 x 600 backdrop with the bar's trough, and the bar.
    TgaImage backdrop = Panel(800, 600, 0xFF1F2A1Cu, kOlive, 8);
    backdrop.Fill(40, 40, 720, 420, 0xFF3E5230u);
    backdrop.Fill(246, 483, 308, 16, kPaper);
    backdrop.Fill(248, 485, 304, 12, 0xFF101810u);
    out.writeFile("GameData/Menus/Loading1.tga", WriteTga(backdrop, 24));
    out.writeFile("GameData/Menus/LoadBar.tga", WriteTga(TgaImage(8, 8, kGold), 24));

    // The interface.
    const std::string ui = "GameData/Interface/";
    out.writeFile(ui + "charstats.tga", WriteTga(Panel(128, 64, 0xFF202820u, kGold), 24));
    out.writeFile(ui + "ChatIcon.tga", WriteTga(Panel(16, 16, kPaper, kOlive), 32));
    out.writeFile(ui + "InvulIcon.tga", WriteTga(Panel(16, 16, kGold, kOlive), 32));
    out.writeFile(ui + "overheadSelection.tga", WriteTga(Mark(32, kGold, true), 32));
    const struct {
        const char* name;
        std::uint32_t colour;
    } states[] = {{"dead", kRed},          {"pathfollow", 0xFF3070C0u}, {"holdPos", kGold},
                  {"holdFire", 0xFFE08020u}, {"inVehicle", 0xFF808080u}, {"moveToPoint", 0xFF40A040u},
                  {"moveToPointDone", 0xFF207020u}};
    for (const auto& state : states)
        out.writeFile(ui + state.name + ".tga", WriteTga(Panel(32, 32, state.colour, kOlive), 32));
    out.writeFile(ui + "selector.tga", WriteTga(Panel(35, 35, kClear, kGold), 32));
    out.writeFile(ui + "interfacebox.tga", WriteTga(Panel(256, 64, 0x80202820u, kOlive), 32));
    out.writeFile(ui + "damage.tga", WriteTga(TgaImage(32, 32, 0xC0A01010u), 32));
    out.writeFile(ui + "health.tga", WriteTga(Panel(128, 24, 0xFF30A030u, kOlive), 32));
    out.writeFile(ui + "item.tga", WriteTga(Panel(256, 48, 0xFF202820u, kPaper), 32));
    out.writeFile(ui + "itemSelLeft.tga", WriteTga(Panel(32, 64, kGold, kOlive), 32));
    out.writeFile(ui + "itemSelRight.tga", WriteTga(Panel(32, 64, kGold, kOlive), 32));
    out.writeFile(ui + "formation.tga", WriteTga(Panel(120, 120, 0x80202820u, kPaper), 32));
    out.writeFile(ui + "formationDot.tga", WriteTga(Mark(8, kGold, false), 32));
    for (int i = 0; i < 9; ++i)
        out.writeFile(ui + "RadialMenu" + std::to_string(i) + ".tga", WriteTga(RadialMenu(i), 32));

    const std::string hairs = "GameData/CrossHairs/";
    out.writeFile(hairs + "enemyhair.tga", WriteTga(Mark(32, kRed, true), 32));
    out.writeFile(hairs + "usehair.tga", WriteTga(Mark(32, 0xFF40C040u, true), 32));
    out.writeFile(hairs + "xhair.tga", WriteTga(Mark(32, kPaper, false), 32));
    out.writeFile(hairs + "invfullhair.tga", WriteTga(Mark(32, 0xFFE08020u, false), 32));

    out.writeFile("GameData/EdData/circle.tga", WriteTga(Mark(32, kGold, true), 32));
    Q3dObject arrow;
    arrow.materials.push_back(Q3dMaterial{});
    AddQ3dCylinder(arrow, 8.0f, 0.0f, 20.0f, 8, 0, kGold);
    AddQ3dBox(arrow, 2.0f, 10.0f, 2.0f, 0, kGold);
    out.writeFile("GameData/EdData/WParrow.q3d", WriteQ3dModel({arrow}));

    // The explosion images.
    out.writeFile("GameData/fx/exp/sm_base.tga", WriteTga(Mark(64, 0xFFFFA040u, true), 32));
    out.writeFile("GameData/fx/GroundExp/BoomF.tga", WriteTga(Mark(64, 0xFFFFD080u, false), 32));

    // Sounds.
    WriteSound(out, "Sound/beep_fm.wav", 1200.0, 0.12, 0.0, 10.0);
    WriteSound(out, "Sound/Mission/HeartBeat.wav", 60.0, 0.4, 0.1, 8.0);
    WriteSound(out, "Sound/Mission/noise.wav", 1000.0, 0.5, 1.0, 1.0);
    WriteSound(out, "Sound/Mission/map.wav", 700.0, 0.2, 0.7, 20.0);
    WriteSound(out, "Sound/Mission/doorlocked.wav", 180.0, 0.25, 0.3, 15.0);
    WriteSound(out, "Sound/Mission/pickUpItem.wav", 880.0, 0.15, 0.2, 20.0);
    WriteSound(out, "Sound/Mission/pickUpGun.wav", 440.0, 0.2, 0.5, 20.0);
    WriteSound(out, "Sound/Mission/dropItem.wav", 220.0, 0.2, 0.5, 25.0);
    WriteSound(out, "Sound/Mission/carHitBody.wav", 90.0, 0.4, 0.6, 10.0);
    for (int i = 1; i <= 3; ++i)
        WriteSound(out, "Sound/Mission/hitGround" + std::to_string(i) + ".wav", 70.0 + 15.0 * i, 0.3, 0.7, 18.0);
    const struct {
        const char* name;
        double frequency, noise;
    } hits[] = {{"body", 150.0, 0.5}, {"dirt", 250.0, 0.9}, {"glass", 2400.0, 0.6},
                {"metal", 1600.0, 0.3}, {"rock", 800.0, 0.8}, {"wood", 400.0, 0.5}};
    for (const auto& hit : hits)
        for (int n = 1; n <= 3; ++n) {
            char path[128];
            std::snprintf(path, sizeof path, "Sound/Mission/HitSounds/bullet_hit_%s%02d.wav", hit.name, n);
            WriteSound(out, path, hit.frequency * (1.0 + 0.1 * n), 0.12, hit.noise, 35.0);
        }
    for (int n = 1; n <= 3; ++n)
        WriteSound(out, "Sound/Voice/ChitChat/chatter" + std::to_string(n) + ".wav", 180.0 + 30.0 * n, 0.8, 0.2, 2.0);
}

void GenerateDemoMissionWeather(const DemoDataWriter& out)
{
    // A map's weather goes by the map's name: the demo map rains with the demo rain.
    for (const char* extension : {".wfx", ".sgd"}) {
        std::ifstream file(out.root() / (std::string("Maps/Demo/rain") + extension), std::ios::binary);
        if (!file)
            throw std::runtime_error(std::string("the demo rain is missing: Maps/Demo/rain") + extension);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        out.writeFile(std::string("Maps/Demo/area") + extension, bytes);
    }
}
