#include "tools/demodata/DemoData.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    try {
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
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bexal-demodata: %s\n", e.what());
        return 1;
    }
    return 0;
}
