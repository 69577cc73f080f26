#include "tools/demodata/DemoData.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

namespace {

// Which build of the generator this is: a rebuilt generator writes the set again.
std::string GeneratorIdentity()
{
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return "unknown";
    const auto size = std::filesystem::file_size(self, error);
    const auto time = std::filesystem::last_write_time(self, error).time_since_epoch().count();
    return "bexal-demodata " + std::to_string(size) + " " + std::to_string(time);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    try {
        const std::string generator = GeneratorIdentity();
        if (DemoDataIsUpToDate(argv[1], generator))
            return 0;
        std::printf("Writing the demo data set to %s\n", argv[1]);
        const DemoDataWriter out(argv[1]);
        GenerateMenuImages(out);
        GenerateArchives(out);
        GenerateAnimatedModels(out);
        GenerateSoundsAndMovies(out);
        GenerateModels(out);
        GenerateFonts(out);
        GenerateParticleEffects(out);
        GenerateOctreeMeshes(out);
        GenerateOptionsScreenArt(out);
        GenerateDemoMap(out);
        GenerateDemoSoldiers(out);
        GenerateDemoAI(out);
        GenerateDemoItems(out);
        GenerateDemoMission(out);
        GenerateDemoHud(out);
        GenerateDemoEffects(out);
        GenerateDemoMissionWeather(out);
        GenerateDemoPlayer(out);
        GenerateDemoEnemyVoices(out);
        GenerateDemoMusic(out);
        WriteDemoDataRecord(out, generator);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bexal-demodata: %s\n", e.what());
        return 1;
    }
    return 0;
}
