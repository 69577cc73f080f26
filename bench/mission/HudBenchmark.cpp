// The HUD of the running demo mission (MissionState::DrawHUD with its overhead map shown) and the
// overhead map on its own, CPU time per frame, each against a plain baseline that makes the same
// sprite, text and line draws from positions worked out once, and the empty frame they all carry.
// The ratios (the empty frame taken off) and the HUD's time per frame (goal: under 1 ms) are
// printed at the end.
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "app/framework/Application.h"
#include "app/framework/ArenaAlloc.h"
#include "app/framework/Singletons.h"
#include "bench/support/BenchmarkCommandLine.h"
#include "bench/support/DemoDataSession.h"
#include "bench/support/RatioReporter.h"
#include "characters/body/Character.h"
#include "characters/player/Player.h"
#include "engine/core/RenderTypes.h"
#include "engine/font/BitmapFont.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "engine/sprite/Sprite.h"
#include "items/Item.h"
#include "media/SoundSystem.h"
#include "mission/drawing/Hud.h"
#include "mission/MissionState.h"
#include "mission/drawing/OverheadMap.h"
#include "renderer/Device.h"
#include "world/map/MapDescription.h"

namespace {

// The demo mission loaded once for the run, its map shown and its first objective given a target.
struct Bench {
    Bench()
    {
        sound = std::make_unique<SoundSystem>();
        sound->Create(true, 14, 2, 22050, "GameData/Audio");
        Application* application = Application::Instance();
        application->SetDevice(session.device);
        application->SetSoundSystem(sound.get());
        application->LoadResources();
        session.WaitForSettledListings();
        mission = MissionState::Instance();
        mission->ResetForNewGame();
        mission->LoadMission("Maps/Demo/Demo.mis");
        mission->LoadLevel();
        if (!mission->HasLoadedLevel() || !mission->roster.controlledCharacter || !mission->hud.overheadMap)
            return;
        mission->level.triggers = {TriggerRecord{0, 1, 250.0f, 0.0f, 250.0f}};
        mission->level.currentObjective = 0;
        mission->hud.overheadMap->shown = 1;
        loaded = true;
    }
    ~Bench()
    {
        if (mission && mission->IsLevelPresent())
            mission->UnloadLevel();
        DestroySingletons();
        ArenaFreeAll();
    }

    DemoDataSession session{BEXAL_DATA_DIR, "bexal-hud-bench"};
    std::unique_ptr<SoundSystem> sound;
    MissionState* mission = nullptr;
    bool loaded = false;
};

Bench& TheBench()
{
    static Bench bench;
    return bench;
}

// What a frame of the HUD draws, as plain draw calls with every position and text settled
// beforehand.
struct PlainFrame {
    struct Placed {
        Sprite* sprite;
        int x, y;
    };
    struct Text {
        BitmapFont* font;
        int x, y;
        float scale;
        std::string text;
    };
    struct ArrowVertex {
        float x, y, z, rhw;
        std::uint32_t colour;
        float u0, v0, u1, v1;
    };
    struct LineVertex {
        float x, y, z, rhw;
        std::uint32_t colour;
        float u, v;
    };

    std::vector<std::unique_ptr<Sprite>> owned;
    std::vector<Placed> mapSprites;
    std::vector<Placed> hudSprites;
    std::vector<Text> texts;
    Material arrowMaterial;
    D3DBitmap* arrowTextures[2] = {};
    ArrowVertex arrows[2][4] = {};
    LineVertex lines[8] = {};
    Material lineMaterial;

    Sprite* Load(Device* device, const char* path)
    {
        owned.push_back(std::make_unique<Sprite>(device, path));
        return owned.back().get();
    }

    // The overhead map's draws: compass, the view and objective arrows, the map image and its
    // three markers.
    void BuildMap(Device* device, MissionState* mission)
    {
        const int height = device->GetTargetHeight();
        Sprite* compass = Load(device, "GameData/Overhead/compass.tga");
        mapSprites.push_back({compass, 5, height - compass->GetDrawnTextureHeight() - 5});
        arrowMaterial.SetBlendMode(13);
        arrowMaterial.lightingMode = 0;
        arrowMaterial.cullFlags = Material::kTwoSided;
        const char* arrowPaths[2] = {"GameData/Overhead/compArrow.tga", "GameData/Overhead/compArrow2.tga"};
        for (int a = 0; a < 2; ++a) {
            device->CreateBitmap(&arrowTextures[a]);
            arrowTextures[a]->Load(arrowPaths[a], 0, BitmapOneLevel | BitmapAnySize);
            const float half = float(arrowTextures[a]->GetWidth()) / 2.0f;
            const float centreX = 5.0f + half, centreY = float(height - compass->GetDrawnTextureHeight() - 5) + half;
            static constexpr float corners[4][4] = {{-1, -1, 0, 0}, {1, -1, 1, 0}, {1, 1, 1, 1}, {-1, 1, 0, 1}};
            for (int i = 0; i < 4; ++i)
                arrows[a][i] = ArrowVertex{centreX + corners[i][0] * half, centreY + corners[i][1] * half, 0.0f, 1.0f,
                                           0xFFFFFFFFu, corners[i][2], corners[i][3], corners[i][2], corners[i][3]};
        }
        mapSprites.push_back({Load(device, "Maps/Demo/area.tga"), 5, 5});
        OverheadMapView view;
        view.tilesX = mission->level.map->width, view.tilesZ = mission->level.map->height, view.tileSize = mission->level.map->cellSize;
        auto marker = [&](const char* path, const Vector3& at) {
            Sprite* sprite = Load(device, path);
            int x = 0, y = 0;
            OverheadMap::MapPoint(view, 128, 128, 5, 5, at.x, at.z, sprite->GetDrawnTextureWidth(),
                                  sprite->GetDrawnTextureHeight(), &x, &y);
            mapSprites.push_back({sprite, x, y});
        };
        marker("GameData/Overhead/locX.tga", mission->roster.localSquad->GetMember(0)->position);
        marker("GameData/Overhead/locO.tga", mission->roster.localSquad->GetMember(1)->position);
        marker("GameData/Overhead/locObj1.tga", Vector3(250.0f, 0.0f, 250.0f));
    }

    // The rest of the HUD: squad panel, posture texts, health, the held item and its ammunition,
    // the accuracy marks.
    void BuildHud(Device* device, MissionState* mission)
    {
        const int width = device->GetTargetWidth(), height = device->GetTargetHeight();
        Application* application = Application::Instance();
        BitmapFont* courierMedium = application->GetFont(Application::CourierMedium);
        BitmapFont* arial = application->GetFont(Application::Arial);
        Sprite* state = Load(device, "GameData/Interface/pathfollow.tga");
        for (int i = 0; i < 2; ++i) {
            const int y = Hud::PanelTop + i * Hud::PanelRowHeight;
            hudSprites.push_back({state, width - Hud::PanelIconWidth, y});
            if (i == 0)
                hudSprites.push_back({Load(device, "GameData/Interface/selector.tga"), width - Hud::PanelIconWidth - 1, y - 1});
            const int textWidth = int(float(courierMedium->GetTextWidth("Standing")) * 0.6f);
            texts.push_back({courierMedium, width - Hud::PanelIconWidth - 6 - textWidth, y + 10, 0.6f, "Standing"});
        }
        hudSprites.push_back({Load(device, "GameData/Interface/health.tga"), 69, height - 32});
        texts.push_back({arial, mission->hud.healthTextX, height - 30, 0.8f, "100"});
        hudSprites.push_back({Load(device, "GameData/Interface/item.tga"), width - Hud::ItemBoxRight, height - Hud::ItemBoxBottom});
        if (auto* held = dynamic_cast<Item*>(mission->roster.controlledCharacter->GetHeldItem()); held && held->GetIcon())
            hudSprites.push_back({held->GetIcon(), width - Hud::ItemBoxRight + Hud::ItemIconInset,
                                  height - Hud::ItemBoxBottom + Hud::ItemIconInset});
        Sprite* ammo = Load(device, "GameData/Items/M4/ammo.tga");
        hudSprites.push_back({ammo, mission->HudItemColumn(), height - 32});
        texts.push_back({arial, mission->HudItemColumn() + ammo->GetDrawnTextureWidth() + 16, height - 28, 0.8f, "30/4"});
        float points[20][2];
        std::uint32_t colours[20];
        const int count = Hud::AccuracyMarks(width, height, 0.0f, -1, points, colours);
        for (int i = 0; i < count && i < 8; ++i)
            lines[i] = LineVertex{points[i][0], points[i][1], 0.0f, 1.0f, colours[i], 0.0f, 0.0f};
        lineMaterial.SetBlendMode(13);
        lineMaterial.lightingMode = 0;
    }

    void DrawMap(Device* device)
    {
        static constexpr std::uint16_t indices[6] = {0, 1, 2, 0, 2, 3};
        VertexLayout arrowLayout;
        OverheadMap::InitArrowLayout(&arrowLayout);
        mapSprites[0].sprite->x = mapSprites[0].x, mapSprites[0].sprite->y = mapSprites[0].y;
        mapSprites[0].sprite->Draw(device);
        for (int a = 0; a < 2; ++a) {
            arrowMaterial.texture[0] = arrowTextures[a];
            device->DrawUserPrimitives(PrimTriangleList, arrows[a], 4, &arrowLayout, indices, 6, &arrowMaterial);
        }
        arrowMaterial.texture[0] = nullptr;
        for (std::size_t i = 1; i < mapSprites.size(); ++i) {
            mapSprites[i].sprite->x = mapSprites[i].x, mapSprites[i].sprite->y = mapSprites[i].y;
            mapSprites[i].sprite->Draw(device);
        }
    }

    void DrawHud(Device* device)
    {
        DrawMap(device);
        VertexLayout lineLayout;
        lineLayout.InitScreenTextured();
        device->DrawUserPrimitives(PrimLineList, lines, 8, &lineLayout, nullptr, 0, &lineMaterial);
        for (const Placed& placed : hudSprites) {
            placed.sprite->x = placed.x, placed.sprite->y = placed.y;
            placed.sprite->Draw(device);
        }
        for (const Text& text : texts)
            text.font->DrawText(device, text.x, text.y, text.scale, text.text.c_str());
    }

    ~PlainFrame()
    {
        for (D3DBitmap*& texture : arrowTextures)
            if (texture)
                texture->Destroy();
    }
};

template <typename Draw>
void RunFrames(benchmark::State& state, Draw draw)
{
    Bench& bench = TheBench();
    if (!bench.loaded) {
        state.SkipWithError("the demo mission did not load");
        return;
    }
    Device* device = bench.session.device;
    for (auto _ : state) {
        device->BeginFrame(true, false);
        draw(device);
        device->EndFrame(true, true);
    }
}

// The frame alone (begin, clear, end and present), which every figure above carries.
void BM_EmptyFrame(benchmark::State& state)
{
    RunFrames(state, [](Device*) {});
}

void BM_DrawHud(benchmark::State& state)
{
    RunFrames(state, [](Device*) { TheBench().mission->DrawHUD(); });
}

void BM_PlainHudDraws(benchmark::State& state)
{
    Bench& bench = TheBench();
    PlainFrame plain;
    if (bench.loaded) {
        plain.BuildMap(bench.session.device, bench.mission);
        plain.BuildHud(bench.session.device, bench.mission);
    }
    RunFrames(state, [&](Device* device) { plain.DrawHud(device); });
}

void BM_DrawOverheadMap(benchmark::State& state)
{
    RunFrames(state, [](Device*) { TheBench().mission->hud.overheadMap->Draw(); });
}

void BM_PlainOverheadMapDraws(benchmark::State& state)
{
    Bench& bench = TheBench();
    PlainFrame plain;
    if (bench.loaded)
        plain.BuildMap(bench.session.device, bench.mission);
    RunFrames(state, [&](Device* device) { plain.DrawMap(device); });
}

} // namespace

BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawHud)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainHudDraws)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawOverheadMap)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainOverheadMapDraws)->Unit(benchmark::kMicrosecond);

// Keeps each benchmark's CPU time per iteration, for the ratios.
class CpuTimeReporter : public RatioReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                cpuSeconds[run.benchmark_name()] = run.GetAdjustedCPUTime();
        RatioReporter::ReportRuns(runs);
    }
    std::map<std::string, double> cpuSeconds;
};

int main(int argc, char** argv)
{
    BenchmarkCommandLine commandLine(argc, argv);
    CpuTimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto empty = reporter.cpuSeconds.find("BM_EmptyFrame");
    const double frame = empty != reporter.cpuSeconds.end() ? empty->second : 0.0;
    // Each figure less the empty frame's, so the ratio compares the drawing itself.
    auto ratio = [&](const char* measured, const char* baseline, const char* label) {
        const auto a = reporter.cpuSeconds.find(measured), b = reporter.cpuSeconds.find(baseline);
        if (a == reporter.cpuSeconds.end() || b == reporter.cpuSeconds.end() || b->second - frame <= 0)
            return;
        std::printf("%s / plain draws = %.2f (%.1f us / %.1f us CPU a frame beyond the empty frame's %.1f us)\n", label,
                    (a->second - frame) / (b->second - frame), a->second - frame, b->second - frame, frame);
    };
    ratio("BM_DrawHud", "BM_PlainHudDraws", "HUD");
    ratio("BM_DrawOverheadMap", "BM_PlainOverheadMapDraws", "Overhead map");
    if (const auto hud = reporter.cpuSeconds.find("BM_DrawHud"); hud != reporter.cpuSeconds.end())
        std::printf("HUD CPU time a frame: %.3f ms with the frame, %.3f ms without (goal: under 1 ms)\n",
                    hud->second / 1000.0, (hud->second - frame) / 1000.0);
    benchmark::Shutdown();
    return 0;
}
