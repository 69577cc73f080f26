// The villagers of the demo map: their body and clothes, their voice lines in a folder of their own
// and three of them about the house by the road, one of them the kind that runs to raise the alarm.
#include <cstdio>

#include "tools/demodata/DemoData.h"
#include "tools/demodata/writers/MapWriter.h"
#include "tools/demodata/writers/WaveWriter.h"

namespace {

// The villagers speak higher than every soldier.
constexpr int VillagerVoice = 5;
constexpr const char* kVoiceFolder = "Sound/Villager";
constexpr float kStandHeight = 4.0f;

struct Point {
    float x, z;
};

// The house stands at x 160, z 20; the villagers stand in its yard, the alarmer by the road.
constexpr Point kVillagers[] = {{148, 40}, {176, 36}, {150, 0}};

MapFilePlacement StandAt(float (*groundHeight)(float x, float z), Point at, int library)
{
    MapFilePlacement placement;
    placement.position[0] = at.x;
    placement.position[1] = groundHeight(at.x, at.z) + kStandHeight;
    placement.position[2] = at.z;
    placement.library = library;
    return placement;
}

} // namespace

void AddDemoNeutralObjects(const DemoDataWriter& out, MapFile& map, float (*groundHeight)(float x, float z))
{
    const std::string prop = std::string("neutral GameData/Models/villager GameData/AI/infantry.sns ") + kVoiceFolder;
    const int villager = int(map.entries.size());
    map.entries.push_back({"lamp.q3d", "Villager", {prop, "", "", "", ""}, 1, 0});
    const int alarmer = int(map.entries.size());
    map.entries.push_back({"lamp.q3d", "VillageAlarmer", {prop, "ALARMER", "", "", ""}, 1, 0});
    map.placements.push_back(StandAt(groundHeight, kVillagers[0], villager));
    map.placements.push_back(StandAt(groundHeight, kVillagers[1], villager));
    map.placements.push_back(StandAt(groundHeight, kVillagers[2], alarmer));

    // Brown working clothes with sand-coloured patches.
    WriteDemoSoldierBody(out, "GameData/Models/", "villager", 0xFF6A4A2Eu, 0xFFB89A6Au);
    static constexpr const char* kCategories[] = {"Damage", "Death", "Notice", "PDead", "EndSearch"};
    int line = 0;
    for (const char* category : kCategories) {
        for (int variant = 0; variant < 2; ++variant) {
            char path[96];
            std::snprintf(path, sizeof path, "%s/%s%02d.wav", kVoiceFolder, category, variant + 1);
            out.writeFile(path, WriteWave(DemoVoiceLine(VillagerVoice, line, variant), DemoVoiceRate, 1));
        }
        ++line;
    }
    AddDemoDogObjects(out, map, groundHeight);
}
