// Building a running level from the mission definition: the loading display, the map and its
// world, the interface, the navigation and AI data, the squad at its start and the first save.
#include "mission/MissionLevelServices.h"
#include "engine/core/RandomMT.h"
#include "mission/MissionState.h"
#include "mission/MissionNetwork.h"

#include "app/framework/Application.h"
#include "app/framework/FileHelpers.h"
#include "app/framework/Options.h"
#include "characters/CarriedItem.h"
#include "characters/Character.h"
#include "characters/CoverPoints.h"
#include "engine/core/EngineLog.h"
#include "characters/Formation.h"
#include "characters/MissionServices.h"
#include "characters/Player.h"
#include "characters/Soldier.h"
#include "characters/WaypointGraph.h"
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
#include "mission/WorldCollisionScene.h"
#include "physics/Collision.h"
#include "platform/os/Clock.h"
#include "platform/os/Directory.h"
#include "platform/os/Path.h"
#include "platform/os/Window.h"
#include "renderer/Device.h"
#include "world/MapDescription.h"
#include "world/PickResult.h"
#include "world/Weather.h"
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

} // namespace

int MissionState::LoadCrosshair()
{
    crosshair.reset();
    Device* device = Application::Instance()->GetDevice();
    if (!device)
        return -1;
    char path[256];
    std::snprintf(path, sizeof path, "GameData/CrossHairs/crosshair%02d.tga",
                  Options::Instance()->GetOption(Options::CrosshairType) + 1);
    crosshair = LoadSprite(device, path);
    return crosshair ? 0 : -1;
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
        downloadFinished = true;
    LoadLevel();
}

bool MissionState::LoadMission(const char* path)
{
    const bool loaded = definition.Load(path);
    CopyText(missionFile, path);
    ApplyMissionSquad();
    return loaded;
}

void MissionState::ApplyMissionSquad()
{
    if (networkGame)
        return;
    for (int member = 0; member < SquadSetup::MemberCount; ++member) {
        CopyText(nameEntries[member], definition.soldierNames[member]);
        const bool present = definition.soldierNames[member][0] != '\0';
        localSetup.members[member] = present ? std::uint8_t(member) : SquadSetup::EmptyMember;
        if (present)
            localSetup.health[member] = 100;
        voiceSets[member] = VoiceSetOf(definition.soldierValues[member]);
        CopyText(localSetup.itemNames[member][0], "Knife");
        // Registry names compare exactly, so a name stands as written; one the registry lacks is
        // logged and skipped when the squad is built.
        for (int item = 0; item < MissionDefinition::ItemsPerSoldier; ++item)
            CopyText(localSetup.itemNames[member][item + 1], definition.soldierItems[member][item]);
    }
}

void MissionState::LoadTileProperties()
{
    if (!tileSounds.empty() || !world || !world->map)
        return;
    char path[600];
    std::snprintf(path, sizeof path, "%sTileProperties.txt", world->map->tileDirectory);
    PackFileHandle file(PackFileOpen(path, "rt"));
    if (!file)
        return;
    char line[256];
    for (;;) {
        if (!ReadConfigLine(file.get(), line, sizeof line) || !line[0])
            return;
        auto set = std::make_unique<TileSounds>();
        // Indices are read wide and kept within an int, so a long run of digits never wraps.
        const auto tileIndex = [](const char* text) {
            return int(std::clamp<long>(std::strtol(text, nullptr, 10), INT_MIN, INT_MAX));
        };
        set->minimumTile = tileIndex(line);
        if (!ReadConfigLine(file.get(), line, sizeof line) || !line[0]) {
            LogToEngine("Can't read max tile index in Maps/Tiles/TileProperties.txt");
            return;
        }
        set->maximumTile = tileIndex(line);
        if (set->maximumTile < set->minimumTile) {
            LogToEngine("Format error: maxTileIndex<minTileIndex in Maps/Tiles/TileProperties.txt");
            return;
        }
        if (!ReadConfigLine(file.get(), line, sizeof line) || !line[0]) {
            LogToEngine("Can't read AI alert value in Maps/Tiles/TileProperties.txt");
            return;
        }
        set->alertValue = std::strtof(line, nullptr);
        // The AI adds the value to its alertness: one that is not a number would poison it.
        if (!std::isfinite(set->alertValue)) {
            LogToEngine("Format error: AI alert value %s is not a finite number in Maps/Tiles/TileProperties.txt", line);
            return;
        }
        // Paths of up to 255 characters, as the table keeps them.
        if (!ReadConfigLine(file.get(), set->baseName[0], int(sizeof set->baseName[0])) || !set->baseName[0][0]) {
            LogToEngine("Can't read left foot sound path in Maps/Tiles/TileProperties.txt");
            return;
        }
        if (!ReadConfigLine(file.get(), set->baseName[1], int(sizeof set->baseName[1])) || !set->baseName[1][0]) {
            LogToEngine("Can't read right foot sound path in Maps/Tiles/TileProperties.txt");
            return;
        }
        set->Load();
        tileSounds.push_back(std::move(set));
    }
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
    statusText[0] = '\0';
    if (!any)
        return;
    line[std::strcspn(line, "\r\n")] = '\0';
    BitmapFont* font = Application::Instance()->GetFont(Application::Arial);
    std::size_t length = 0;
    for (const char* c = line; *c && length + 1 < sizeof statusText; ++c) {
        statusText[length++] = *c;
        statusText[length] = '\0';
        if (font && float(font->GetTextWidth(statusText)) * 0.6f > float(factoidWidth)) {
            for (std::size_t i = length; i-- > 0;)
                if (statusText[i] == ' ') {
                    statusText[i] = '\n';
                    break;
                } else if (statusText[i] == '\n') {
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

    device->CreateBitmap(&charStats);
    if (!charStats || charStats->Load("GameData/Interface/charstats.tga", 0, 0) < 0) {
        const std::string error = charStats ? charStats->GetLastError() : device->GetLastError();
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
        hudSprites.push_back(std::move(sprite));
        return hudSprites.back().get();
    };
    constexpr int keep = INT32_MIN;
    add("GameData/Interface/ChatIcon.tga", -1.0f, keep, keep, false);
    add("GameData/Interface/InvulIcon.tga", -1.0f, keep, keep, false);
    overheadSelection = std::make_unique<SpriteNode>();
    try {
        overheadSelection->Load(device, "GameData/Interface/overheadSelection.tga");
    } catch (const q3DError& error) {
        LogToEngine("%s", error.GetText());
        overheadSelection.reset();
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
    healthTextX = 69 + 90;
    add("GameData/Interface/item.tga", 0.3f, w - 300, h - 65, false);
    add("GameData/Interface/itemSelLeft.tga", 0.7f, w - 65, 0, true);
    add("GameData/Interface/itemSelRight.tga", 0.7f, w - 65, 0, true);
    if (Sprite* damage = add("GameData/Interface/damage.tga", 0.5f, keep, keep, false))
        damage->width = w, damage->height = h;
    auto tint = std::make_unique<Sprite>();
    tint->width = w, tint->height = h;
    tint->red = tint->green = tint->blue = 0.25f;
    tint->material.SetBlendMode(4);
    screenOverlay = tint.get();
    hudSprites.push_back(std::move(tint));

    device->CreateRenderTargetBitmap(&nightVisionTargets[0]);
    if (!nightVisionTargets[0] || nightVisionTargets[0]->Create("NVRenderTarget", 512, 512, 3, 1330) < 0)
        throw q3DError("Can't create night vision render target: %s", device->GetLastError());
    device->CreateRenderTargetBitmap(&nightVisionTargets[1]);
    if (!nightVisionTargets[1] || nightVisionTargets[1]->Create("NVLastFrameRT", 256, 256, 3, 1330) < 0)
        throw q3DError("Can't create night vision last frame render target: %s", device->GetLastError());
    device->CreateBitmap(&nightVisionOverlay);
    if (!nightVisionOverlay || nightVisionOverlay->Create("NVOverLay", 32, 32, 3, 2) < 0)
        throw q3DError("Can't create night vision overlay: %s", device->GetLastError());
    if (auto* texels = static_cast<std::uint32_t*>(nightVisionOverlay->Lock(true))) {
        for (int i = 0; i < 32 * 32; ++i)
            texels[i] = 0xFF00FF00u;
        nightVisionOverlay->Unlock();
    }
}

void MissionState::LoadWeather()
{
    weather.reset();
    // The weather's name is the map path without its four-character extension.
    std::string name = mapPath;
    if (name.size() >= 4)
        name.resize(name.size() - 4);
    const bool wanted = weatherRequested ? weatherRequested() : PackFileCanOpen((name + ".wfx").c_str());
    if (!wanted || !world)
        return;
    Application* application = Application::Instance();
    weather = std::make_unique<Weather>();
    weather->device = application->GetDevice();
    weather->soundSystem = application->GetSoundSystem();
    weather->camera = camera;
    weather->SetRandomSource([] { return randomMT(); });
    weather->SetMissionResultSource([this] { return missionResult; });
    // The world is centred on the origin.
    weather->Init(0.0f, 0.0f, 0.0f);
    weather->Load(name.c_str(), float(world->width) * world->cellSize * 0.5f,
                  float(world->height) * world->cellSize * 0.5f);
}

void MissionState::InstallAIHooks(MissionServiceHooks& hooks)
{
    Camera* view = camera;
    hooks.waypointGraph = [this] { return waypointsPresent ? waypointGraph.get() : nullptr; };
    hooks.aiStats = [this] { return &aiStats; };
    hooks.playChitChat = [this](const Vector3& at) { return PlayChitChat(at); };
    hooks.stopChitChat = [this](int handle) { StopChitChat(handle); };
    // Only a host sends character moves; this build never hosts.
    hooks.broadcastCharacterMove = [](std::int16_t, std::uint8_t, std::uint8_t, const Vector3&, float) {};
    hooks.cameraFar = [view] { return view->GetFar(); };
    hooks.cameraFogStart = [view] { return view->GetFogStart(); };
    hooks.isLogSuppressed = [this] { return aiLogSuppressed; };
    hooks.isDebugDraw = [this] { return aiDebugDraw; };
    hooks.pickLine = [this](HitResult& ray, float maxDistance, PickFilterCallback filter, Character* observer,
                            Character* source) { return PickLine(ray, maxDistance, filter, observer, source); };
    hooks.tilePropertyValue = [this](const Vector3& point, float* value) { return TilePropertyValue(point, value); };
    hooks.lightingCondition = [this] { return world ? world->timeOfDay : 0; };
    hooks.precipitationKind = [this] { return weather ? weather->type : int(Weather::None); };
    hooks.smokeClouds = [this]() -> const std::vector<Vector3>& {
        smokeCloudCentres.clear();
        for (const SmokeProjectile* cloud : GetSmokeClouds())
            smokeCloudCentres.push_back(cloud->position);
        return smokeCloudCentres;
    };
    // One list a squad, the local squad's first; resized in place, so that the current squad's
    // list stays where the AI was told it is while the squad count holds.
    const auto refreshSquads = [this] {
        squadMembers.resize(squads.size());
        std::size_t row = 0;
        const auto fill = [this, &row](const Squad* squad) {
            std::vector<Character*>& members = squadMembers[row++];
            members.clear();
            for (int i = 0; i < squad->GetMemberCount(); ++i)
                members.push_back(squad->GetMember(i));
        };
        if (localSquad)
            fill(localSquad);
        for (const std::unique_ptr<Squad>& squad : squads)
            if (squad.get() != localSquad)
                fill(squad.get());
    };
    hooks.squads = [this, refreshSquads]() -> const std::vector<std::vector<Character*>>& {
        refreshSquads();
        return squadMembers;
    };
    hooks.currentSquad = [this, refreshSquads]() -> const std::vector<Character*>* {
        refreshSquads();
        return localSquad ? &squadMembers.front() : nullptr;
    };
    hooks.raiseCombatFlag = [this] { combatFlag = true; };
}

void MissionState::InstallCharacterHooks()
{
    MissionServiceHooks hooks;
    World* level = world;
    Camera* view = camera;
    hooks.characters = [this]() -> const std::vector<Character*>& { return characters; };
    hooks.cameraPosition = [view] { return view->position; };
    hooks.currentPlayer = [this] { return controlledCharacter; };
    hooks.isNetworkGame = [this] { return networkGame; };
    hooks.groundHeight = [level](const Vector3& point) {
        PickResult hit;
        return level->GetGroundBelow(point, &hit, nullptr);
    };
    hooks.animationSetCount = [this] { return upperBodyFolderCount; };
    hooks.animationSetName = [this](int set) { return set >= 0 && set < upperBodyFolderCount ? upperBodyFolders[set] : ""; };
    hooks.findAnimationSet = [this](const char* name) {
        for (int set = 0; set < upperBodyFolderCount; ++set)
            if (strcasecmp(upperBodyFolders[set], name) == 0)
                return set;
        return -1;
    };
    hooks.playTileSound = [this](int foot, int tile, const Vector3& position, bool running) {
        PlayTileSound(foot, tile, position, running);
    };
    hooks.areHostile = [this](Character* attacker, Character* victim) { return AreHostile(attacker, victim); };
    hooks.isDistanceCulling = [this] { return distanceCulling; };
    hooks.addLooseItem = [this](CarriedItem* item) {
        if (item && std::find(looseItems.begin(), looseItems.end(), item) == looseItems.end())
            looseItems.insert(looseItems.begin(), item);
    };
    hooks.removeLooseItem = [this](CarriedItem* item) {
        looseItems.erase(std::remove(looseItems.begin(), looseItems.end(), item), looseItems.end());
    };
    hooks.deleteItem = [this](CarriedItem* item) {
        looseItems.erase(std::remove(looseItems.begin(), looseItems.end(), item), looseItems.end());
        delete item;
    };
    hooks.playCarHitBodySound = [this](const Vector3& at) { PlayCarHitBodySound(at); };
    hooks.playHitGroundSound = [this](Character* character) {
        if (character)
            PlayHitGroundSound(character->position);
    };
    InstallAIHooks(hooks);
    InstallSquadHooks(hooks);
    InstallEnemyHooks(hooks);
    SetMissionServiceHooks(std::move(hooks));
}

void MissionState::FinishLoad()
{
    // Whatever way a load ends, the sound comes back, the listener returns from far away and the
    // loading display is gone.
    Application* application = Application::Instance();
    if (SoundSystem* sound = application->GetSoundSystem()) {
        sound->Unmute();
        const Vector3 at = camera ? camera->position : Vector3();
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
    Application* application = Application::Instance();
    Device* device = application->GetDevice();
    Options* options = Options::Instance();
    if (!device)
        throw q3DError("No device to load the level on");
    LoadResources();

    // The loading display.
    ReleaseLoadingDisplay();
    char path[600];
    std::snprintf(path, sizeof path, "GameData/Menus/Loading%d.tga", 1);
    device->CreateRenderTargetBitmap(&LoadingBackdrop);
    D3DBitmap* backBuffer = device->GetBackBuffer();
    if (!LoadingBackdrop || LoadingBackdrop->Load(path, backBuffer ? backBuffer->GetFormat() : 0, 0) < 0)
        throw q3DError("Can't load %s", path);
    progressBar = LoadSprite(device, "GameData/Menus/LoadBar.tga");
    LoadFactoids();
    lastProgress = -1;
    loadingFramePresented = false;
    ResetGameFlags();

    q3DModelReader::SetSharedTextureDirectory("Maps/SharedTex/");
    application->StopMusic();
    const int loadStart = device->GetTime();
    device->SetClearColor(0xFF000000u);
    SoundSystem* sound = application->GetSoundSystem();
    if (sound) {
        sound->SetListenerPosition(100000.0f, 100000.0f, 100000.0f);
        sound->Mute();
    }

    // Per-level state.
    missionResult = Running;
    outcomeCountdown = 0.0f;
    screenFade = 1.5f;
    hudDisplayFlags[0] = hudDisplayFlags[1] = true;
    crosshairShown = true;
    spectating = false;
    RemoveAllSquads();
    ReleaseLevelResources();
    triggers.clear();
    exitZones[0] = exitZones[1] = nullptr;
    viewValue = options->GetOption(Options::CameraMode);
    std::memset(perLevelBlock, 0, sizeof perLevelBlock);
    currentObjective = -1;
    cameraDistance = 1.5f;
    bloodEffect[0] = '\0';

    root = std::make_unique<SceneNode>();
    camera = new Camera(device);
    camera->SetNear(0.5f);

    CopyText(mapPath, definition.mapPath[0] ? definition.mapPath : missionFile);
    for (int i = 0; i < SquadSetup::MemberCount; ++i)
        voiceSets[i] = VoiceSetOf(definition.soldierValues[i]);
    if (definition.mapPath[0])
        currentObjective = definition.objectiveCount < 1 ? 2147483647 : 0;

    // The formation definitions: the AI's registry, and their names for the squad orders.
    Formation::FreeAll();
    Formation::LoadDirectory("GameData/Formations");
    formations.clear();
    for (const platform::os::DirectoryEntry& entry : platform::os::ListDirectory("GameData/Formations/*.for"))
        if (!entry.isDirectory)
            formations.push_back(entry.name);

    LoadInterfaceResources();

    SetLoadingProgress(8, "Loading Overhead Map");
    const platform::os::PathParts parts = platform::os::SplitPath(mapPath);
    const std::string mapBase = parts.drive + parts.dir + parts.fname;
    overheadMap = std::make_unique<OverheadMap>();
    overheadMap->Load((mapBase + ".tga").c_str());

    CopyText(musicNames[0], definition.musicFile1);
    CopyText(musicNames[1], definition.musicFile2);
    LogToEngine("Using songs:\n%s\n%s", musicNames[0], musicNames[1]);

    SetLoadingProgress(9, "Loading AreaFile");
    map = std::make_unique<MapDescription>();
    if (!map->Load(mapPath)) {
        LogToEngine("%s", map->GetLastError());
        LogToEngine("Can't load %s.  Exiting", mapPath);
        application->ShowMessage(10000, "Can't load %s.  Exiting", mapPath);
        FinishLoad();
        UnloadLevel();
        if (returnToMainMenu)
            returnToMainMenu();
        return;
    }
    if (options->GetOption(Options::ViewDistance) == 0 && !networkGame)
        map->viewDistance -= 100.0f;
    if (options->GetOption(Options::TerrainTextureResolution) == 0)
        std::strncat(map->tileDirectory, "Low/", sizeof map->tileDirectory - std::strlen(map->tileDirectory) - 1);

    world = new World();
    world->SetProgressCallback(ReportWorldProgress);
    world->detailOn = options->GetOption(Options::DetailObjects) != 0;
    RegisterMissionPropTypes(*world);
    world->Load(map.get(), device, camera);
    world->SetParent(root.get());
    LoadTileProperties();
    camera->SetFar(map->viewDistance);
    camera->position = map->startPosition + Vector3(0.0f, 6.0f, 0.0f);
    camera->rotation = Matrix3().FromEulerAngles(0.0f, map->startRotation.y, 0.0f);
    camera->SetParent(root.get());
    collisionScene = std::make_unique<WorldCollisionScene>(world);
    CollisionSetScene(collisionScene.get());
    // A level starts with the normal view: nothing zoomed from the last one.
    distanceCulling = crosshairShown = true;
    nightVision = false;
    levelServices = std::make_unique<MissionLevelServices>(*this);
    InstallCharacterHooks();

    for (MapObject* object = world->GetFirstObject(); object; object = object->next) {
        if (!object->HasPropText("EXITZONE"))
            continue;
        if (!exitZones[0])
            exitZones[0] = object;
        else if (!exitZones[1])
            exitZones[1] = object;
    }
    if (!exitZones[0])
        LogToEngine("Map %s has no exit zones!", mapPath);
    vehicleObjects.clear();
    for (MapObject* object = world->GetFirstObject(); object; object = object->next)
        if (std::any_of(std::begin(object->props), std::end(object->props), IsVehicleProp))
            vehicleObjects.push_back(object);

    const bool fog = options->GetOption(Options::Fog) != 0;
    device->SetFogEnable(fog);
    world->fogOff = !fog;

    waypointGraph = std::make_unique<WaypointGraph>();
    waypointsPresent = waypointGraph->Load((mapBase + ".wps").c_str());
    coverPoints = std::make_unique<CoverPoints>();
    coverPresent = coverPoints->Load((mapBase + ".cvr").c_str(), waypointsPresent ? waypointGraph.get() : nullptr);

    std::string statsPath = definition.aiStatsFile;
    if (IsConnectedClient(network) && !IsHosting(network))
        statsPath = "MultiTXT/" + statsPath;
    aiStats.Load(statsPath.c_str());
    for (int key = 0; key < StatisticKeyCount; ++key) {
        statisticIndices[key] = aiStats.FindIndex(statisticKeys[key]);
        if (statisticIndices[key] < 0)
            throw q3DError("Cannot find stat \"%s\" in AIStats file (MissionState::LoadLevelAfterMultiplayerCheck)",
                           statisticKeys[key]);
    }

    std::vector<TriggerProp*> triggerProps;
    std::vector<MapObject*> triggerObjects;
    for (MapObject* object = world->GetFirstObject(); object; object = object->next)
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
    triggers.resize(triggerProps.size());
    for (std::size_t i = 0; i < triggerProps.size(); ++i) {
        const Vector3 at = triggerObjects[i]->GetPosition();
        triggers[i].triggerID = triggerProps[i]->triggerID;
        triggers[i].x = at.x, triggers[i].y = at.y, triggers[i].z = at.z;
        triggerProps[i]->record = &triggers[i];
    }

    PopulateMap();

    for (const char* hair : {"GameData/CrossHairs/enemyhair.tga", "GameData/CrossHairs/usehair.tga", "GameData/CrossHairs/xhair.tga",
                             "GameData/CrossHairs/invfullhair.tga", "GameData/Interface/formation.tga",
                             "GameData/Interface/formationDot.tga"})
        if (std::unique_ptr<Sprite> sprite = LoadSprite(device, hair))
            hudSprites.push_back(std::move(sprite));
    LoadCrosshair();
    groundMarker = std::make_unique<SpriteNode>();
    try {
        groundMarker->Load(device, "GameData/EdData/circle.tga");
    } catch (const q3DError& error) {
        LogToEngine("%s", error.GetText());
        groundMarker.reset();
    }

    LoadWeather();

    const char* explosions[2] = {"GameData/fx/exp/sm_base.tga", "GameData/fx/GroundExp/BoomF.tga"};
    for (int i = 0; i < 2; ++i) {
        device->CreateBitmap(&explosionBitmaps[i]);
        if (!explosionBitmaps[i] || explosionBitmaps[i]->Load(explosions[i], 0, 0) < 0)
            throw q3DError("Can't load %s", explosions[i]);
    }
    if (PackFileCanOpen("GameData/fx/blood.par"))
        CopyText(bloodEffect, "GameData/fx/blood.par");

    if (!networkGame) {
        if (localSetup.MemberTotal() == 0) {
            LogToEngine("%s has no squad to place; the level stops loading here", mapPath);
            FinishLoad();
            return;
        }
        SetLoadingProgress(95, "Placing Squad");
        localTeam = 2;
        AddSquad(localSetup, map->startPosition, Matrix3().FromEulerAngles(0.0f, map->startRotation.y, 0.0f));
        if (Player* leader = localSquad ? localSquad->GetLeader() : nullptr) {
            TakeControl(leader);
            ResetViewState();
        }
        const platform::os::PathParts mission = platform::os::SplitPath(missionFile);
        char savePath[600];
        std::snprintf(savePath, sizeof savePath, "Saves/%s-Start.sav", mission.fname.c_str());
        if (!Save(savePath)) {
            LogToEngine("Can't write the start save %s", savePath);
            application->ShowMessage(8000, "Can't write the start save %s", savePath);
        }
    }

    const unsigned loadTime = unsigned(device->GetTime() - loadStart) * 1000u / 1024u;
    LogToEngine("%s Load Time: %ums Version: %s", mapPath, loadTime, "1.00");
    SetLoadingProgress(100, "Loading Complete");

    if (platform::os::Window* window = device->GetWindow())
        window->SetCursorPosition(device->GetTargetWidth() / 2, device->GetTargetHeight() / 2);
    device->ResetStats();
    FinishLoad();
    levelLoaded = true;

    levelStart = platform::os::Milliseconds() - startStamp;
    world->SetTimeOfDay(0);
    levelRunning = true;
    missionRunning = true;
    cancelFlag = false;
    clockRunning = false;

    FlushKeyMessages();
    groundMarkerShown = false;
    if (radialMenuOpen) {
        radialMenuOpen = false;
        if (platform::os::Window* window = device->GetWindow())
            window->SetCursorPosition(cursorRestoreX, cursorRestoreY);
    }
}
