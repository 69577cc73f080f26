// Building a running level from the mission definition: the loading display, the map and its
// world, the interface, the navigation and AI data, the squad at its start and the first save.
#include "media/SoundStream.h"
#include "mission/services/MissionLevelServices.h"
#include "engine/core/RandomMT.h"
#include "mission/MissionState.h"
#include "mission/session/MissionNetwork.h"
#include "mission/files/TilePropertiesFile.h"

#include "app/framework/Application.h"
#include "app/framework/FileHelpers.h"
#include "app/framework/Options.h"
#include "characters/objects/CarriedItem.h"
#include "characters/body/Character.h"
#include "characters/ai/CoverPoints.h"
#include "engine/core/EngineLog.h"
#include "characters/ai/Formation.h"
#include "characters/player/Player.h"
#include "characters/ai/Soldier.h"
#include "characters/ai/WaypointGraph.h"
#include "engine/camera/Camera.h"
#include "engine/core/FormatText.h"
#include "engine/core/q3DError.h"
#include "engine/filesystem/PackFile.h"
#include "engine/font/BitmapFont.h"
#include "engine/material/q3DModelReader.h"
#include "engine/sprite/Sprite.h"
#include "engine/sprite/SpriteNode.h"
#include "items/Item.h"
#include "items/TileSounds.h"
#include "items/projectiles/Bullet.h"
#include "items/projectiles/GasProjectiles.h"
#include "media/Sound2D.h"
#include "media/Sound3D.h"
#include "media/SoundSystem.h"
#include "mission/services/WorldCollisionScene.h"
#include "physics/Collision.h"
#include "platform/os/Clock.h"
#include "platform/os/Directory.h"
#include "platform/os/Path.h"
#include "platform/os/Window.h"
#include "renderer/Device.h"
#include "world/map/MapDescription.h"
#include "world/PickResult.h"
#include "world/environment/Weather.h"
#include "world/World.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

namespace {

constexpr const char* statisticKeys[MissionState::StatisticKeyCount] = {
    "explosives", "grenades", "machineguns", "riflery", "sidearms", "sniping", "toughness",
    "allyaccadjeasy", "allyaccadjmed", "allyaccadjhard", "enemyaccadjeasy", "enemyaccadjmed", "enemyaccadjhard",
    "newpathdist", "maxrecogdistday", "maxrecogdistdawnduskovercast", "maxrecogdistnight",
};

constexpr int factoidLines = 48;
constexpr int factoidWidth = 700;

template <std::size_t N>
void CopyText(char (&field)[N], const char* text)
{
    std::snprintf(field, N, "%s", text ? text : "");
}

void ReportWorldProgress(int percent, const char* text)
{
    MissionState::Instance()->SetLoadingProgress(percent, text);
}

// A sprite of the level's interface, or null (logged) when its image does not load.
std::unique_ptr<Sprite> LoadSprite(Device* device, const char* path)
{
    try {
        return std::make_unique<Sprite>(device, path);
    } catch (const q3DError& error) {
        LogToEngine("%s", error.GetText());
        return nullptr;
    }
}

// Soldier values count voice sets from 1; a value of 0 (an unset field) takes the first set.
int VoiceSetOf(int soldierValue)
{
    return soldierValue > 0 ? soldierValue - 1 : 0;
}

// Without the game's network (the mission alone, in tests) this machine neither joins nor hosts.
bool IsConnectedClient(MissionNetwork* network) { return network && network->IsClientConnected(); }
bool IsHosting(MissionNetwork* network) { return network && network->IsServerActive(); }

// The formation definitions: the AI's registry, and their names for the squad orders.
void LoadFormations(MissionLevel& level)
{
    Formation::FreeAll();
    Formation::LoadDirectory("GameData/Formations");
    level.formations.clear();
    for (const platform::os::DirectoryEntry& entry : platform::os::ListDirectory("GameData/Formations/*.for"))
        if (!entry.isDirectory)
            level.formations.push_back(entry.name);
}

// The level's world, loaded from its map description under the scene root.
void BuildWorld(MissionLevel& level, Device& device, const Options& options)
{
    level.world = new World();
    level.world->SetProgressCallback(ReportWorldProgress);
    level.world->detailOn = options.GetOption(Options::DetailObjects) != 0;
    RegisterMissionPropTypes(*level.world);
    level.world->Load(level.map.get(), &device, level.camera);
    level.world->SetParent(level.root.get());
}

// The map's first two exit zones and every object carrying a vehicle prop.
void FindExitZonesAndVehicles(MissionLevel& level)
{
    for (MapObject* object = level.world->GetFirstObject(); object; object = object->next) {
        if (!object->HasPropText("EXITZONE"))
            continue;
        if (!level.exitZones[0])
            level.exitZones[0] = object;
        else if (!level.exitZones[1])
            level.exitZones[1] = object;
    }
    if (!level.exitZones[0])
        LogToEngine("Map %s has no exit zones!", level.mapPath);
    level.vehicleObjects.clear();
    for (MapObject* object = level.world->GetFirstObject(); object; object = object->next)
        if (std::any_of(std::begin(object->props), std::end(object->props), IsVehicleProp))
            level.vehicleObjects.push_back(object);
}

// The AI statistics of the mission, every key the characters read found in them.
void LoadAIStatistics(MissionLevel& level, MissionNetwork* network)
{
    std::string statsPath = level.definition.aiStatsFile;
    if (IsConnectedClient(network) && !IsHosting(network))
        statsPath = "MultiTXT/" + statsPath;
    level.aiStats.Load(statsPath.c_str());
    for (int key = 0; key < MissionLevel::StatisticKeyCount; ++key) {
        level.statisticIndices[key] = level.aiStats.FindIndex(statisticKeys[key]);
        if (level.statisticIndices[key] < 0)
            throw q3DError("Cannot find stat \"%s\" in AIStats file (MissionState::LoadLevelAfterMultiplayerCheck)",
                           statisticKeys[key]);
    }
}

// A record for every trigger prop of the map, which the prop points at; two props with one
// trigger ID are refused.
void CollectTriggers(MissionLevel& level)
{
    std::vector<TriggerProp*> triggerProps;
    std::vector<MapObject*> triggerObjects;
    for (MapObject* object = level.world->GetFirstObject(); object; object = object->next)
        for (Prop* prop : object->props)
            if (prop && prop->kind == TriggerPropFactory) {
                auto* trigger = static_cast<TriggerProp*>(prop);
                for (std::size_t i = 0; i < triggerProps.size(); ++i)
                    if (triggerProps[i]->triggerID == trigger->triggerID) {
                        const auto name = [](MapObject* o) {
                            const LibraryObject* library = o->GetLibraryEntry();
                            return library && library->entry ? library->entry->objectName : "";
                        };
                        const Vector3 a = object->GetPosition(), b = triggerObjects[i]->GetPosition();
                        throw q3DError("Map has two object with same trigger ID\nObject type: %s Location: %f %f %f\n"
                                       "Object type: %s Location: %f %f %f",
                                       name(object), double(a.x), double(a.y), double(a.z), name(triggerObjects[i]),
                                       double(b.x), double(b.y), double(b.z));
                    }
                triggerProps.push_back(trigger);
                triggerObjects.push_back(object);
            }
    level.triggers.resize(triggerProps.size());
    for (std::size_t i = 0; i < triggerProps.size(); ++i) {
        const Vector3 at = triggerObjects[i]->GetPosition();
        level.triggers[i].triggerID = triggerProps[i]->triggerID;
        level.triggers[i].x = at.x, level.triggers[i].y = at.y, level.triggers[i].z = at.z;
        triggerProps[i]->record = &level.triggers[i];
    }
}

// The explosions' bitmaps, and the blood effect when the data has one.
void LoadEffectBitmaps(MissionLevel& level, MissionHud& hud, Device& device)
{
    const char* explosions[2] = {"GameData/fx/exp/sm_base.tga", "GameData/fx/GroundExp/BoomF.tga"};
    for (int i = 0; i < 2; ++i) {
        device.CreateBitmap(&hud.explosionBitmaps[i]);
        if (!hud.explosionBitmaps[i] || hud.explosionBitmaps[i]->Load(explosions[i], 0, 0) < 0)
            throw q3DError("Can't load %s", explosions[i]);
    }
    if (PackFileCanOpen("GameData/fx/blood.par"))
        CopyText(level.bloodEffect, "GameData/fx/blood.par");
}

// The HUD's per-level sprites: the crosshairs' and the formation chooser's, the crosshair of the
// options, and the ground marker of the orders (none, with a log line, when it fails to load).
void LoadLevelSprites(MissionState& mission, Device& device)
{
    for (const char* hair : {"GameData/CrossHairs/enemyhair.tga", "GameData/CrossHairs/usehair.tga", "GameData/CrossHairs/xhair.tga",
                             "GameData/CrossHairs/invfullhair.tga", "GameData/Interface/formation.tga",
                             "GameData/Interface/formationDot.tga"})
        if (std::unique_ptr<Sprite> sprite = LoadSprite(&device, hair))
            mission.hud.hudSprites.push_back(std::move(sprite));
    mission.LoadCrosshair();
    mission.hud.groundMarker = std::make_unique<SpriteNode>();
    try {
        mission.hud.groundMarker->Load(&device, "GameData/EdData/circle.tga");
    } catch (const q3DError& error) {
        LogToEngine("%s", error.GetText());
        mission.hud.groundMarker.reset();
    }
}

// The loading display's backdrop, to the back buffer's format, and its progress bar.
void LoadLoadingBackdrop(MissionHud& hud, Device& device)
{
    char path[600];
    std::snprintf(path, sizeof path, "GameData/Menus/Loading%d.tga", 1);
    device.CreateRenderTargetBitmap(&LoadingBackdrop);
    D3DBitmap* backBuffer = device.GetBackBuffer();
    if (!LoadingBackdrop || LoadingBackdrop->Load(path, backBuffer ? backBuffer->GetFormat() : 0, 0) < 0)
        throw q3DError("Can't load %s", path);
    hud.progressBar = LoadSprite(&device, "GameData/Menus/LoadBar.tga");
}

// The camera at the map's start point, and the collision scene of the loaded world.
void PlaceCameraAndCollision(MissionLevel& level)
{
    level.camera->SetFar(level.map->viewDistance);
    level.camera->position = level.map->startPosition + Vector3(0.0f, 6.0f, 0.0f);
    level.camera->rotation = Matrix3().FromEulerAngles(0.0f, level.map->startRotation.y, 0.0f);
    level.camera->SetParent(level.root.get());
    level.collisionScene = std::make_unique<WorldCollisionScene>(level.world);
    CollisionSetScene(level.collisionScene.get());
}

} // namespace

int MissionState::LoadCrosshair()
{
    hud.crosshair.reset();
    Device* device = Application::Instance()->GetDevice();
    if (!device)
        return -1;
    char path[256];
    std::snprintf(path, sizeof path, "GameData/CrossHairs/crosshair%02d.tga",
                  Options::Instance()->GetOption(Options::CrosshairType) + 1);
    hud.crosshair = LoadSprite(device, path);
    return hud.crosshair ? 0 : -1;
}

void MissionState::SwitchResolution()
{
    Application* application = Application::Instance();
    Options* options = Options::Instance();
    const int index = options->GetOption(Options::ResolutionIndex);
    const bool bits32 = options->GetOption(Options::BitDepth) != 0;
    if (application->IsWindowed())
        return;
    Device* device = application->GetDevice();
    // A size asked for on the command line wins over the options' one when the display has it,
    // at the options' depth or else at 16 bits.
    int width = application->GetCommandLineScreenWidth(), height = application->GetCommandLineScreenHeight();
    int bits = bits32 ? 32 : 16;
    const int entry = device ? device->GetCurrentDevice() : -1;
    if (device && width > 0 && height > 0 && !device->IsModeAvailable(entry, width, height, bits))
        bits = 16;
    if (!device || width <= 0 || height <= 0 || !device->IsModeAvailable(entry, width, height, bits)) {
        if (index == 1 && !bits32)
            return;
        static constexpr int sizes[7][2] = {{640, 480}, {800, 600}, {1024, 768}, {1280, 960}, {1280, 1024}, {1600, 1024}, {1600, 1200}};
        if (index < 0 || index > 6)
            return;
        width = sizes[index][0], height = sizes[index][1], bits = bits32 ? 32 : 16;
    }
    application->SetScreenWidth(width);
    application->SetScreenHeight(height);
    if (!device)
        return;
    ModeInfo mode{};
    device->GetCurrentMode(&mode);
    if (mode.width == width && mode.height == height && mode.bitsPerPixel == bits)
        return;
    application->UnloadResources();
    if (device->ChangeResolution(width, height, bits, -1) < 0) {
        const std::string error = device->GetLastError();
        device->Log("Error switching resolution: %s", error.c_str());
        application->Quit(nullptr);
        if (error.find("OUTOFVIDEOMEMORY") != std::string::npos)
            application->SetExitMessage("You have chosen an invalid combination of resolution, bit depth and anti-aliasing "
                                        "settings.  Please run the game again then enter the options screen and lower the "
                                        "resolution, bit depth or disable anti-aliasing in order to play the game.");
        return;
    }
    if (platform::os::Window* window = device->GetWindow())
        window->ClipCursor(0, 0, device->GetTargetWidth(), device->GetTargetHeight());
    application->LoadResources();
    options->Apply();
}

void MissionState::BeginLevel()
{
    SwitchResolution();
    if (IsConnectedClient(network) && !IsHosting(network))
        return; // the level loads when the download of the map's files ends
    if (IsHosting(network))
        session.downloadFinished = true;
    LoadLevel();
}

bool MissionState::LoadMission(const char* path)
{
    const bool loaded = level.definition.Load(path);
    CopyText(session.missionFile, path);
    ApplyMissionSquad();
    return loaded;
}

void MissionState::ApplyMissionSquad()
{
    if (session.networkGame)
        return;
    for (int member = 0; member < SquadSetup::MemberCount; ++member) {
        CopyText(level.nameEntries[member], level.definition.soldierNames[member]);
        const bool present = level.definition.soldierNames[member][0] != '\0';
        roster.localSetup.members[member] = present ? std::uint8_t(member) : SquadSetup::EmptyMember;
        if (present)
            roster.localSetup.health[member] = 100;
        level.voiceSets[member] = VoiceSetOf(level.definition.soldierValues[member]);
        CopyText(roster.localSetup.itemNames[member][0], "Knife");
        // Registry names compare exactly, so a name stands as written; one the registry lacks is
        // logged and skipped when the squad is built.
        for (int item = 0; item < MissionDefinition::ItemsPerSoldier; ++item)
            CopyText(roster.localSetup.itemNames[member][item + 1], level.definition.soldierItems[member][item]);
    }
}

void MissionState::LoadTileProperties()
{
    if (!level.tileSounds.empty() || !level.world || !level.world->map)
        return;
    char path[600];
    std::snprintf(path, sizeof path, "%sTileProperties.txt", level.world->map->tileDirectory);
    PackFileHandle file(PackFileOpen(path, "rt"));
    if (!file)
        return;
    ReadTilePropertiesFile(file.get(), level.tileSounds);
    for (const std::unique_ptr<TileSounds>& set : level.tileSounds)
        set->Load();
}

void MissionState::LoadFactoids()
{
    const int draw = std::rand();
    PackFileHandle file(PackFileOpen("GameData/factoids.txt", "rt"));
    if (!file)
        return;
    char line[512] = {};
    char read[512];
    bool any = false;
    for (int i = 0; i < draw % factoidLines + 1; ++i) {
        if (!PackFileGets(read, sizeof read, file.get()))
            break;
        std::memcpy(line, read, sizeof line);
        any = true;
    }
    hud.statusText[0] = '\0';
    if (!any)
        return;
    line[std::strcspn(line, "\r\n")] = '\0';
    BitmapFont* font = Application::Instance()->GetFont(Application::Arial);
    std::size_t length = 0;
    for (const char* c = line; *c && length + 1 < sizeof hud.statusText; ++c) {
        hud.statusText[length++] = *c;
        hud.statusText[length] = '\0';
        if (font && float(font->GetTextWidth(hud.statusText)) * 0.6f > float(factoidWidth)) {
            for (std::size_t i = length; i-- > 0;)
                if (hud.statusText[i] == ' ') {
                    hud.statusText[i] = '\n';
                    break;
                } else if (hud.statusText[i] == '\n') {
                    break;
                }
        }
    }
}

void MissionState::LoadInterfaceResources()
{
    Device* device = Application::Instance()->GetDevice();
    const int w = device->GetTargetWidth(), h = device->GetTargetHeight();
    SetLoadingProgress(0, "Loading Interface Elements");

    device->CreateBitmap(&hud.charStats);
    if (!hud.charStats || hud.charStats->Load("GameData/Interface/charstats.tga", 0, 0) < 0) {
        const std::string error = hud.charStats ? hud.charStats->GetLastError() : device->GetLastError();
        throw q3DError("Can't load GameData/Interface/charstats.tga: %s", error.c_str());
    }
    // The sprite added, or null when its image did not load (the loader logged it).
    auto add = [&](const char* path, float alpha, int x, int y, bool blend) -> Sprite* {
        std::unique_ptr<Sprite> sprite = LoadSprite(device, path);
        if (!sprite)
            return nullptr;
        if (alpha >= 0.0f)
            sprite->alpha = alpha;
        if (x != INT32_MIN)
            sprite->x = x;
        if (y != INT32_MIN)
            sprite->y = y;
        if (blend)
            sprite->material.SetBlendMode(48);
        hud.hudSprites.push_back(std::move(sprite));
        return hud.hudSprites.back().get();
    };
    constexpr int keep = INT32_MIN;
    add("GameData/Interface/ChatIcon.tga", -1.0f, keep, keep, false);
    add("GameData/Interface/InvulIcon.tga", -1.0f, keep, keep, false);
    hud.overheadSelection = std::make_unique<SpriteNode>();
    try {
        hud.overheadSelection->Load(device, "GameData/Interface/overheadSelection.tga");
    } catch (const q3DError& error) {
        LogToEngine("%s", error.GetText());
        hud.overheadSelection.reset();
    }
    SetLoadingProgress(6);
    for (const char* path : {"GameData/Interface/dead.tga", "GameData/Interface/pathfollow.tga", "GameData/Interface/holdPos.tga",
                             "GameData/Interface/holdFire.tga", "GameData/Interface/inVehicle.tga",
                             "GameData/Interface/moveToPoint.tga", "GameData/Interface/moveToPointDone.tga"})
        add(path, 0.85f, w - 34, keep, false);
    add("GameData/Interface/selector.tga", 0.7f, w - 35, keep, true);
    add("GameData/Interface/interfacebox.tga", 0.7f, keep, keep, true);
    if (Sprite* damage = add("GameData/Interface/damage.tga", 0.4f, w - 34, keep, true))
        damage->width = 34;
    SetLoadingProgress(7);
    add("GameData/Interface/health.tga", 0.7f, 69, h - 32, true);
    hud.healthTextX = 69 + 90;
    add("GameData/Interface/item.tga", 0.3f, w - 300, h - 65, false);
    add("GameData/Interface/itemSelLeft.tga", 0.7f, w - 65, 0, true);
    add("GameData/Interface/itemSelRight.tga", 0.7f, w - 65, 0, true);
    if (Sprite* damage = add("GameData/Interface/damage.tga", 0.5f, keep, keep, false))
        damage->width = w, damage->height = h;
    auto tint = std::make_unique<Sprite>();
    tint->width = w, tint->height = h;
    tint->red = tint->green = tint->blue = 0.25f;
    tint->material.SetBlendMode(4);
    hud.screenOverlay = tint.get();
    hud.hudSprites.push_back(std::move(tint));

    device->CreateRenderTargetBitmap(&hud.nightVisionTargets[0]);
    if (!hud.nightVisionTargets[0] || hud.nightVisionTargets[0]->Create("NVRenderTarget", 512, 512, 3, 1330) < 0)
        throw q3DError("Can't create night vision render target: %s", device->GetLastError());
    device->CreateRenderTargetBitmap(&hud.nightVisionTargets[1]);
    if (!hud.nightVisionTargets[1] || hud.nightVisionTargets[1]->Create("NVLastFrameRT", 256, 256, 3, 1330) < 0)
        throw q3DError("Can't create night vision last frame render target: %s", device->GetLastError());
    device->CreateBitmap(&hud.nightVisionOverlay);
    if (!hud.nightVisionOverlay || hud.nightVisionOverlay->Create("NVOverLay", 32, 32, 3, 2) < 0)
        throw q3DError("Can't create night vision overlay: %s", device->GetLastError());
    if (auto* texels = static_cast<std::uint32_t*>(hud.nightVisionOverlay->Lock(true))) {
        for (int i = 0; i < 32 * 32; ++i)
            texels[i] = 0xFF00FF00u;
        hud.nightVisionOverlay->Unlock();
    }
}

void MissionState::LoadWeather()
{
    level.weather.reset();
    // The weather's name is the map path without its four-character extension.
    std::string name = level.mapPath;
    if (name.size() >= 4)
        name.resize(name.size() - 4);
    const bool wanted = weatherRequested ? weatherRequested() : PackFileCanOpen((name + ".wfx").c_str());
    if (!wanted || !level.world)
        return;
    Application* application = Application::Instance();
    level.weather = std::make_unique<Weather>();
    level.weather->device = application->GetDevice();
    level.weather->soundSystem = application->GetSoundSystem();
    level.weather->camera = level.camera;
    level.weather->SetRandomSource([] { return randomMT(); });
    level.weather->SetMissionResultSource([this] { return missionResult; });
    // The world is centred on the origin.
    level.weather->Init(0.0f, 0.0f, 0.0f);
    level.weather->Load(name.c_str(), float(level.world->width) * level.world->cellSize * 0.5f,
                  float(level.world->height) * level.world->cellSize * 0.5f);
}

void MissionState::FinishLoad()
{
    // Whatever way a load ends, the sound comes back, the listener returns from far away and the
    // loading display is gone.
    Application* application = Application::Instance();
    if (SoundSystem* sound = application->GetSoundSystem()) {
        sound->Unmute();
        const Vector3 at = level.camera ? level.camera->position : Vector3();
        sound->SetListenerPosition(at.x, at.y, at.z);
    }
    ReleaseLoadingDisplay();
}

void MissionState::LoadLevel()
{
    if (levelPresent)
        UnloadLevel();
    levelPresent = true;
    const std::uint32_t startStamp = platform::os::Milliseconds();
    levelStart = startStamp;
    levelRunning = false;
    try {
        LoadLevelSteps(startStamp);
    } catch (const q3DError& error) {
        // Whoever shows the error, the log keeps it.
        LogToEngine("Level load failed: %s", error.GetText());
        FinishLoad();
        throw;
    } catch (...) {
        FinishLoad();
        throw;
    }
}

void MissionState::LoadLevelSteps(std::uint32_t startStamp)
{
    Device* device = Application::Instance()->GetDevice();
    if (!device)
        throw q3DError("No device to load the level on");
    Options& options = *Options::Instance();
    const int loadStart = BeginLevelLoad(*device, options);
    if (!LoadLevelMap(*device, options) || !PopulateLevel(*device))
        return;

    const unsigned loadTime = unsigned(device->GetTime() - loadStart) * 1000u / 1024u;
    LogToEngine("%s Load Time: %ums Version: %s", level.mapPath, loadTime, "1.00");
    SetLoadingProgress(100, "Loading Complete");

    if (platform::os::Window* window = device->GetWindow())
        window->SetCursorPosition(device->GetTargetWidth() / 2, device->GetTargetHeight() / 2);
    device->ResetStats();
    FinishLoad();
    levelLoaded = true;

    StartRunning(startStamp);
}

// The loading display, the level's fresh state, its scene root and camera, its formations and the
// interface; the device's time when the level's own loading began.
int MissionState::BeginLevelLoad(Device& device, const Options& options)
{
    Application* application = Application::Instance();
    LoadResources();

    ReleaseLoadingDisplay();
    LoadLoadingBackdrop(hud, device);
    LoadFactoids();
    lastProgress = -1;
    loadingFramePresented = false;
    ResetGameFlags();

    q3DModelReader::SetSharedTextureDirectory("Maps/SharedTex/");
    application->StopMusic();
    const int loadStart = device.GetTime();
    device.SetClearColor(0xFF000000u);
    if (SoundSystem* sound = application->GetSoundSystem()) {
        sound->SetListenerPosition(100000.0f, 100000.0f, 100000.0f);
        sound->Mute();
    }

    ResetLevelState(options);

    level.root = std::make_unique<SceneNode>();
    level.camera = new Camera(&device);
    level.camera->SetNear(0.5f);

    CopyText(level.mapPath, level.definition.mapPath[0] ? level.definition.mapPath : session.missionFile);
    for (int i = 0; i < SquadSetup::MemberCount; ++i)
        level.voiceSets[i] = VoiceSetOf(level.definition.soldierValues[i]);
    if (level.definition.mapPath[0])
        level.currentObjective = level.definition.objectiveCount < 1 ? 2147483647 : 0;

    LoadFormations(level);
    LoadInterfaceResources();
    return loadStart;
}

// The overhead map, the songs' names, the map description and the world built from it, with the
// camera, collision, tile properties and the level's services; false when the map did not load
// (the level is then unloaded).
bool MissionState::LoadLevelMap(Device& device, const Options& options)
{
    SetLoadingProgress(8, "Loading Overhead Map");
    hud.overheadMap = std::make_unique<OverheadMap>();
    hud.overheadMap->Load((MapBase() + ".tga").c_str());

    CopyText(audio.musicNames[0], level.definition.musicFile1);
    CopyText(audio.musicNames[1], level.definition.musicFile2);
    LogToEngine("Using songs:\n%s\n%s", audio.musicNames[0], audio.musicNames[1]);

    if (!LoadMapDescription(options))
        return false;

    BuildWorld(level, device, options);
    LoadTileProperties();
    PlaceCameraAndCollision(level);
    // A level starts with the normal view: nothing zoomed from the last one.
    hud.distanceCulling = hud.crosshairShown = true;
    hud.nightVision = false;
    inputCaptured = true;
    squadStatistics.Reset();
    levelServices = std::make_unique<MissionLevelServices>(*this);

    FindExitZonesAndVehicles(level);

    const bool fog = options.GetOption(Options::Fog) != 0;
    device.SetFogEnable(fog);
    level.world->fogOff = !fog;
    return true;
}

// The AI's paths and statistics, the triggers, the map's population, sprites, weather and effect
// bitmaps, and the local squad; false when the squad could not be placed.
bool MissionState::PopulateLevel(Device& device)
{
    const std::string mapBase = MapBase();
    level.waypointGraph = std::make_unique<WaypointGraph>();
    level.waypointsPresent = level.waypointGraph->Load((mapBase + ".wps").c_str());
    level.coverPoints = std::make_unique<CoverPoints>();
    level.coverPresent = level.coverPoints->Load((mapBase + ".cvr").c_str(), level.waypointsPresent ? level.waypointGraph.get() : nullptr);

    LoadAIStatistics(level, network);

    CollectTriggers(level);

    PopulateMap();

    LoadLevelSprites(*this, device);

    LoadWeather();

    LoadEffectBitmaps(level, hud, device);

    return session.networkGame || PlaceLocalSquad();
}

// The map's path without its extension, beside which its overhead map, waypoints and cover lie.
std::string MissionState::MapBase() const
{
    const platform::os::PathParts parts = platform::os::SplitPath(level.mapPath);
    return parts.drive + parts.dir + parts.fname;
}

// The level's map description, with the options' view distance and tile resolution; false, the
// level unloaded and the program sent back to the main menu, when the map does not load.
bool MissionState::LoadMapDescription(const Options& options)
{
    SetLoadingProgress(9, "Loading AreaFile");
    level.map = std::make_unique<MapDescription>();
    if (!level.map->Load(level.mapPath)) {
        LogToEngine("%s", level.map->GetLastError());
        LogToEngine("Can't load %s.  Exiting", level.mapPath);
        Application::Instance()->ShowMessage(10000, "Can't load %s.  Exiting", level.mapPath);
        FinishLoad();
        UnloadLevel();
        if (returnToMainMenu)
            returnToMainMenu();
        return false;
    }
    if (options.GetOption(Options::ViewDistance) == 0 && !session.networkGame)
        level.map->viewDistance -= 100.0f;
    if (options.GetOption(Options::TerrainTextureResolution) == 0)
        std::strncat(level.map->tileDirectory, "Low/", sizeof level.map->tileDirectory - std::strlen(level.map->tileDirectory) - 1);
    return true;
}

// The loaded level set running: its clock started, the session's flags set and the input of the
// loading time dropped.
void MissionState::StartRunning(std::uint32_t startStamp)
{
    Device* device = Application::Instance()->GetDevice();
    levelStart = platform::os::Milliseconds() - startStamp;
    level.world->SetTimeOfDay(0);
    levelRunning = true;
    session.missionRunning = true;
    session.cancelFlag = false;
    session.clockRunning = false;

    FlushKeyMessages();
    hud.groundMarkerShown = false;
    if (controls.radialMenuOpen) {
        controls.radialMenuOpen = false;
        if (platform::os::Window* window = device->GetWindow())
            window->SetCursorPosition(controls.cursorRestoreX, controls.cursorRestoreY);
    }
}

// The state of the level before it loads: the result, the view, the HUD's switches and the
// level's records, no squads and no resources of the last level.
void MissionState::ResetLevelState(const Options& options)
{
    missionResult = Running;
    level.outcomeCountdown = 0.0f;
    hud.screenFade = 1.5f;
    hud.hudDisplayFlags[0] = hud.hudDisplayFlags[1] = true;
    hud.crosshairShown = true;
    roster.spectating = false;
    RemoveAllSquads();
    ReleaseLevelResources();
    level.triggers.clear();
    level.exitZones[0] = level.exitZones[1] = nullptr;
    level.viewValue = options.GetOption(Options::CameraMode);
    std::memset(level.perLevelBlock, 0, sizeof level.perLevelBlock);
    level.currentObjective = -1;
    level.gameClock = 0.0f;
    level.badPrerequisiteLogged = false;
    for (MissionObjective& objective : level.definition.objectives)
        objective.completed = 0;
    TriggerProp::Lock() = false;
    audio.objectiveMessage.reset();
    level.cameraDistance = 1.5f;
    level.bloodEffect[0] = '\0';
}

// The single player's squad at the map's start point, under control, and the level's start
// save; false, the load finished, when the mission has no squad to place.
bool MissionState::PlaceLocalSquad()
{
    if (roster.localSetup.MemberTotal() == 0) {
        LogToEngine("%s has no squad to place; the level stops loading here", level.mapPath);
        FinishLoad();
        return false;
    }
    SetLoadingProgress(95, "Placing Squad");
    roster.localTeam = 2;
    AddSquad(roster.localSetup, level.map->startPosition, Matrix3().FromEulerAngles(0.0f, level.map->startRotation.y, 0.0f));
    if (Player* leader = roster.localSquad ? roster.localSquad->GetLeader() : nullptr) {
        TakeControl(leader);
        ResetViewState();
    }
    const platform::os::PathParts mission = platform::os::SplitPath(session.missionFile);
    char savePath[600];
    std::snprintf(savePath, sizeof savePath, "Saves/%s-Start.sav", mission.fname.c_str());
    if (!Save(savePath)) {
        LogToEngine("Can't write the start save %s", savePath);
        Application::Instance()->ShowMessage(8000, "Can't write the start save %s", savePath);
    }
    return true;
}
