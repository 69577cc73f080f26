#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Where the generator writes and how: every file of the set goes through writeFile, so the set is
// the same bytes on every run.
class DemoDataWriter {
public:
    explicit DemoDataWriter(std::filesystem::path root);

    const std::filesystem::path& root() const { return root_; }

    // Writes bytes to a path relative to the root ("GameData/Menus/Splash.tga"), making folders.
    void writeFile(std::string_view relativePath, const std::vector<std::uint8_t>& bytes) const;
    void writeText(std::string_view relativePath, std::string_view text) const;

    // Every path written so far, relative to the root, in order.
    const std::vector<std::string>& written() const { return written_; }

private:
    std::filesystem::path root_;
    mutable std::vector<std::string> written_;
};

// The record of a generated set: which generator made it and the files it wrote, kept in
// "<root>/.generated". A set is up to date when the same generator made it and every file is there.
bool DemoDataIsUpToDate(const std::filesystem::path& root, const std::string& generator);
void WriteDemoDataRecord(const DemoDataWriter& out, const std::string& generator);

// One function per kind of data; main calls them in order.
void GenerateMenuImages(const DemoDataWriter& out);
void GenerateArchives(const DemoDataWriter& out);
void GenerateAnimatedModels(const DemoDataWriter& out);
void GenerateSoundsAndMovies(const DemoDataWriter& out);
void GenerateModels(const DemoDataWriter& out);
void GenerateFonts(const DemoDataWriter& out);
void GenerateParticleEffects(const DemoDataWriter& out);
void GenerateOctreeMeshes(const DemoDataWriter& out);
void GenerateOptionsScreenArt(const DemoDataWriter& out);
void GenerateDemoMap(const DemoDataWriter& out);
void GenerateDemoWaterShaders(const DemoDataWriter& out, const std::string& waterPath);
void GenerateDemoSoldiers(const DemoDataWriter& out);
// A soldier body of the map's characters: "<folder><name>_LOD1.gr2" to "_LOD3.gr2", its uniform
// ("<name>.tga", the colour with square patches) and its face with the blink and the teeth.
void WriteDemoSoldierBody(const DemoDataWriter& out, const std::string& folder, const std::string& name,
                          std::uint32_t uniform, std::uint32_t patch);
void GenerateDemoAI(const DemoDataWriter& out);

// The world position (x, ground height, z) of a grid corner of the demo map, column and row 0 to 63.
std::array<float, 3> DemoMapCorner(int column, int row);
// Whether a grid corner belongs to the rock rim around the demo map, out of everybody's reach.
bool DemoMapOnRim(int column, int row);
void GenerateDemoItems(const DemoDataWriter& out);
void GenerateDemoMission(const DemoDataWriter& out);
// The overhead map's art and the demo map's overhead image.
void GenerateDemoHud(const DemoDataWriter& out);
void GenerateDemoEffects(const DemoDataWriter& out);
// The demo mission's weather: the demo rain under the demo map's name (after the effects).
void GenerateDemoMissionWeather(const DemoDataWriter& out);
void GenerateDemoPlayer(const DemoDataWriter& out);
// A spoken-sounding line at DemoVoiceRate samples a second: the voice's pitch by set, its melody by
// line, a little longer with each variant.
constexpr int DemoVoiceRate = 22050;
std::vector<std::int16_t> DemoVoiceLine(int set, int line, int variant);
void GenerateDemoEnemyVoices(const DemoDataWriter& out);
// The mission's music tracks at the names the game opens them by.
void GenerateDemoMusic(const DemoDataWriter& out);
// The demo map's imposter trees, shadow caster and rain cover grid, on the ground the callback gives.
struct MapFile;
void AddDemoEffectObjects(const DemoDataWriter& out, MapFile& map, float (*groundHeight)(float x, float z));
// The demo map's enemies, loose item and ambient sound, with their patrol file, on the same ground.
void AddDemoPopulationObjects(const DemoDataWriter& out, MapFile& map, float (*groundHeight)(float x, float z));
// The demo map's villagers, their body and their voices.
void AddDemoNeutralObjects(const DemoDataWriter& out, MapFile& map, float (*groundHeight)(float x, float z));
// The demo map's guard dog, its body, its voices and its bite.
void AddDemoDogObjects(const DemoDataWriter& out, MapFile& map, float (*groundHeight)(float x, float z));
// The airstrike radio's definition and files, the destroyable fuel tank with its wreck and an
// airstrike zone on the demo map.
void AddDemoAirstrikeObjects(const DemoDataWriter& out, MapFile& map, float (*groundHeight)(float x, float z));
// The explosives' definitions, models and sounds; a mine field and an explosion prop on the map.
void AddDemoExplosives(const DemoDataWriter& out, MapFile& map, float (*groundHeight)(float x, float z));
// The mounted launcher's files and the launcher standing on the demo map.
void AddDemoTankObjects(const DemoDataWriter& out, MapFile& map, float (*groundHeight)(float x, float z));
// The demo car: its vehicle file, models and sounds, and an empty car near the start.
void AddDemoVehicleObjects(const DemoDataWriter& out, MapFile& map, float (*groundHeight)(float x, float z));
