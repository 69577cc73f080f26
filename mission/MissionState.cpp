#include "mission/MissionState.h"
#include "media/SoundStream.h"

#include "app/framework/Application.h"
#include "app/framework/Options.h"
#include "characters/ai/AIMissionServices.h"
#include "characters/body/AnimationCache.h"
#include "characters/objects/CarriedItem.h"
#include "characters/body/Character.h"
#include "characters/ai/CoverPoints.h"
#include "engine/core/EngineLog.h"
#include "characters/ai/Formation.h"
#include "characters/player/Player.h"
#include "characters/ai/WaypointGraph.h"
#include "engine/camera/Camera.h"
#include "engine/core/FormatText.h"
#include "engine/core/q3DError.h"
#include "engine/filesystem/PackFile.h"
#include "engine/font/BitmapFont.h"
#include "engine/material/VertexLayout.h"
#include "engine/mesh/MeshNode.h"
#include "engine/sprite/Sprite.h"
#include "engine/sprite/SpriteNode.h"
#include "items/TileSounds.h"
#include "items/events/ScheduledEvent.h"
#include "items/projectiles/Bullet.h"
#include "media/Sound2D.h"
#include "media/Sound3D.h"
#include "media/SoundSystem.h"
#include "mission/input/CommandLine.h"
#include "mission/services/MissionLevelServices.h"
#include "mission/services/MissionVehicles.h"
#include "mission/session/MissionNetwork.h"
#include "mission/services/WorldCollisionScene.h"
#include "physics/Collision.h"
#include "platform/net/NetClock.h"
#include "platform/os/Clock.h"
#include "platform/os/Cursor.h"
#include "platform/os/Directory.h"
#include "platform/os/Messages.h"
#include "platform/os/Window.h"
#include "renderer/Device.h"
#include "world/environment/DecalManager.h"
#include "world/map/MapDescription.h"
#include "world/environment/Weather.h"
#include "world/World.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <strings.h>
#include <thread>

D3DBitmap* LoadingBackdrop = nullptr;

namespace {

// How far from the icon's centre a formation slot's pixel may lie.
constexpr double kIconReach = 1000.0;

constexpr const char* typedWordList[] = {
    "plumbquart", "vorpa", "bristle", "gatepost", "flib", "quon", "zop", "mezzo",
    "gantry", "treblejig", "ulmar", "qj", "wq", "hobnails", "crumpletoe", "waxwing",
    "sporklette", "drizzlebank", "kelpy", "mungle", "vump", "vix", "fennelcask", "gobbets",
};

constexpr const char* hitSoundSets[MissionState::HitSoundSetCount] = {
    "Sound/Mission/HitSounds/bullet_hit_body",  "Sound/Mission/HitSounds/bullet_hit_dirt",
    "Sound/Mission/HitSounds/bullet_hit_glass", "Sound/Mission/HitSounds/bullet_hit_metal",
    "Sound/Mission/HitSounds/bullet_hit_rock",  "Sound/Mission/HitSounds/bullet_hit_wood",
};

// The numbered sounds of one hit-sound set.
constexpr int hitSoundsPerSet = 8;

Device* GetDevice() { return Application::Instance()->GetDevice(); }

template <std::size_t N>
void CopyText(char (&field)[N], const char* text)
{
    std::snprintf(field, N, "%s", text ? text : "");
}

// A 3D sound with its distances, or null (logged) when the file does not load.
std::unique_ptr<Sound3D> MakeSound3D(const char* path, float maximum, float minimum)
{
    auto sound = std::make_unique<Sound3D>();
    if (sound->Create(Application::Instance()->GetSoundSystem(), path) < 0) {
        LogToEngine("Can't load %s: %s", path, sound->GetErrorText());
        return nullptr;
    }
    sound->SetDistances(maximum, minimum, -1000);
    return sound;
}

std::unique_ptr<Sound2D> MakeSound2D(const char* path)
{
    auto sound = std::make_unique<Sound2D>();
    if (sound->Create(Application::Instance()->GetSoundSystem(), path) < 0) {
        LogToEngine("Can't load %s: %s", path, sound->GetErrorText());
        return nullptr;
    }
    return sound;
}

} // namespace

MissionState* MissionState::Instance()
{
    return SingletonInstance<MissionState>();
}

MissionState::MissionState()
{
    // Step 1 is the members' initialisers.
    for (int i = 0; i < 5; ++i)
        std::snprintf(level.nameEntries[i], NameSize, "Player %d", i + 1);
    CopyText(level.nameEntries[5], "Package");

    ResetSession();
    ResetPlayers();
    ResetGameFlags();
    session.missionFile[0] = '\0';

    controls.typedWords.reserve(24);
    for (const char* word : typedWordList)
        controls.typedWords.push_back(word);

    LoadResources();
}

void MissionState::LoadResources()
{
    // The program's splash makes this object before the sound system exists; the resources then
    // wait for the first level.
    Application* application = Application::Instance();
    if (resourcesLoaded || !application->GetDevice() || !application->GetSoundSystem())
        return;
    resourcesLoaded = true;
    SoundSystem* sound = Application::Instance()->GetSoundSystem();
    audio.beep = std::make_unique<Sound2D>();
    if (audio.beep->Create(sound, "Sound/beep_fm.wav") < 0) {
        audio.beep.reset();
        LogToEngine("Can't load Sound/beep_fm.wav");
    }

    Device* device = GetDevice();
    if (device) {
        for (int i = 0; i < 2; ++i) {
            try {
                auto arrow = std::make_unique<MeshNode>();
                arrow->Load(device, "GameData/EdData/WParrow.q3d", nullptr, 0);
                hud.markerArrows[i] = std::move(arrow);
            } catch (const q3DError& error) {
                LogToEngine("%s", error.GetText());
            }
        }
        if (hud.markerArrows[1])
            hud.markerArrows[1]->visible = false;
        for (int i = 0; i < RadialMenuCount; ++i) {
            char path[256];
            std::snprintf(path, sizeof path, "GameData/Interface/RadialMenu%i.tga", i);
            try {
                hud.radialMenu[i] = std::make_unique<Sprite>(device, path);
            } catch (const q3DError& error) {
                LogToEngine("%s", error.GetText());
            }
        }
    }

    LoadFormationIcons();

    for (const platform::os::DirectoryEntry& entry : platform::os::ListDirectory("Sound/Voice/ChitChat/*.wav")) {
        if (entry.isDirectory)
            continue;
        if (audio.chitChatCount == MaximumChitChatVoices) {
            LogToEngine("More than %d chit-chat voices; %s and later ones are left out", MaximumChitChatVoices, entry.name.c_str());
            break;
        }
        char path[512];
        std::snprintf(path, sizeof path, "Sound/Voice/ChitChat/%s", entry.name.c_str());
        audio.chitChat[audio.chitChatCount++] = MakeSound3D(path, 250.0f, 40.0f);
    }

    AnimationCache& cache = AnimationCache::Instance();
    for (const char* folder : {"GameData/Models/LowerBody/", "GameData/Models/LowerBody/Deaths/", "GameData/Models/LowerBody/Pains/"})
        cache.Build(folder);
    for (const platform::os::DirectoryEntry& entry : platform::os::ListDirectory("GameData/Models/UpperBody/*")) {
        if (!entry.isDirectory || entry.name[0] == '.')
            continue;
        if (upperBodyFolderCount == MaximumUpperBodyFolders) {
            LogToEngine("More than %d upper-body folders; %s and later ones are left out", MaximumUpperBodyFolders, entry.name.c_str());
            break;
        }
        for (const char* sub : {"", "Pains/", "Deaths/"}) {
            const std::string folder = "GameData/Models/UpperBody/" + entry.name + "/" + sub;
            cache.Build(folder.c_str());
        }
        CopyText(upperBodyFolders[upperBodyFolderCount], entry.name.c_str());
        if (strcasecmp(entry.name.c_str(), "Ambient") == 0)
            ambientUpperBody = upperBodyFolderCount;
        ++upperBodyFolderCount;
    }

    audio.heartBeat = MakeSound2D("Sound/Mission/HeartBeat.wav");
    audio.noise = MakeSound2D("Sound/Mission/noise.wav");
    audio.mapSound = MakeSound2D("Sound/Mission/map.wav");
    audio.doorLocked = MakeSound3D("Sound/Mission/doorlocked.wav", 400.0f, 30.0f);

    for (int set = 0; set < HitSoundSetCount; ++set) {
        try {
            LoadVoiceSet2D(audio.hitSounds[set], hitSoundsPerSet, hitSoundSets[set]);
        } catch (const q3DError& error) {
            // A set that fails to load stays empty; the hits are silent.
            audio.hitSounds[set].clear();
            LogToEngine("%s", error.GetText());
        }
    }

    audio.pickUpItem = MakeSound3D("Sound/Mission/pickUpItem.wav", 400.0f, 30.0f);
    audio.pickUpGun = MakeSound3D("Sound/Mission/pickUpGun.wav", 400.0f, 30.0f);
    audio.dropItem = MakeSound3D("Sound/Mission/dropItem.wav", 400.0f, 30.0f);
    audio.carHitBody = MakeSound3D("Sound/Mission/carHitBody.wav", 400.0f, 75.0f);

    for (int i = 0; i < 3; ++i) {
        char path[256];
        std::snprintf(path, sizeof path, "Sound/Mission/hitGround%d.wav", i + 1);
        auto sound3D = std::make_unique<Sound3D>();
        if (sound3D->Create(sound, path) < 0)
            throw q3DError("Can't load %s: %s", path, sound3D->GetErrorText());
        sound3D->SetDistances(100.0f, 20.0f, -1000);
        audio.hitGround[i] = std::move(sound3D);
    }
}

MissionState::~MissionState()
{
    // A program that ends in the middle of a level still hands every device object back.
    if (level.world || levelPresent)
        UnloadLevel();
    ReleaseLoadingDisplay();
    while (PtrListNode* node = level.events.GetHead()) {
        MissionEvent* event = PtrListOf<MissionEvent>::ItemOf(node);
        level.events.Remove(event);
        delete event;
    }
    level.definition.FreeObjectives();
}

void MissionState::LoadFormationIcons()
{
    hud.formationIconCount = 0;
    for (const platform::os::DirectoryEntry& entry : platform::os::ListDirectory("GameData/Formations/*.for")) {
        if (entry.isDirectory)
            continue;
        if (hud.formationIconCount == MaximumFormationIcons) {
            LogToEngine("More than %d formations; %s and later ones have no icon", MaximumFormationIcons, entry.name.c_str());
            break;
        }
        FormationIcon& icon = hud.formationIcons[hud.formationIconCount++];
        const std::string name = entry.name.substr(0, entry.name.rfind('.'));
        CopyText(icon.name, name.c_str());
        char path[512];
        std::snprintf(path, sizeof path, "GameData/Formations/%s.for", name.c_str());
        PackFileHandle file(PackFileOpen(path, "rt"));
        if (!file)
            continue;
        char line[1024];
        if (!PackFileGets(line, sizeof line, file.get()))
            continue;
        const long count = std::clamp(std::strtol(line, nullptr, 10), 0L, long(FormationIcon::MaximumPoints));
        for (int i = 0; i < count && PackFileGets(line, sizeof line, file.get()); ++i) {
            char* end = nullptr;
            const double x = std::strtod(line, &end);
            const double z = std::strtod(end, nullptr);
            // A slot is drawn inside the 120-pixel icon: a slot far outside it (or not a number)
            // is logged and its pixel clamped.
            if (!(std::fabs(x) <= kIconReach && std::fabs(z) <= kIconReach))
                LogToEngine("%s: slot %d (%g, %g) lies outside the icon", path, i + 1, x, z);
            const auto pixel = [](double v) { return v >= -kIconReach ? int(std::min(v, kIconReach)) : int(-kIconReach); };
            icon.points[i][0] = pixel(x + 60.0);
            icon.points[i][1] = pixel(60.0 - z);
            icon.pointCount = i + 1;
        }
    }
}

int MissionState::Enter()
{
    controls.paused = false;
    // The controlled character's movement state 2 keeps the pointer where it is; there is no
    // controlled character until squads exist.
    Application* application = Application::Instance();
    if (Device* device = application->GetDevice())
        if (platform::os::Window* window = device->GetWindow())
            window->SetCursorPosition(device->GetTargetWidth() / 2, device->GetTargetHeight() / 2);
    application->SetCursorVisible(false);
    return 0;
}

int MissionState::Leave()
{
    Application* application = Application::Instance();
    application->SetCursorVisible(true);
    application->ClearMessages();
    return 0;
}

void MissionState::ResetSession()
{
    Options* options = Options::Instance();
    const int copied[4] = {Options::Difficulty, Options::DamageRealism, Options::ShowNamesOverHeads,
                           Options::ShowFiringEnemyDirection};
    for (int i = 0; i < 4; ++i)
        session.optionCopies[i] = options->GetOption(copied[i]);
    level.mapPath[0] = '\0';
    std::memset(roster.scoreTable, 0, sizeof roster.scoreTable);
    std::memset(roster.teams, 0, sizeof roster.teams);
    session.missionRunning = false;
    levelRunning = false;
    session.cancelFlag = false;
    session.downloadFinished = false;
    session.sessionStart = 0;
    session.clockRunning = false;
    levelLoaded = false;
}

void MissionState::ResetPlayers()
{
    roster.localSetup.Reset();
    for (int member = 0; member < SquadSetup::MemberCount; ++member) {
        roster.localSetup.members[member] = SquadSetup::EmptyMember;
        roster.localSetup.health[member] = 100;
    }
    for (int i = 0; i < 5; ++i) {
        std::snprintf(level.nameEntries[i], NameSize, "Player %d", i + 1);
        level.voiceSets[i] = 0;
    }
    CopyText(level.nameEntries[5], "Package");
    level.voiceSets[5] = 0;
    CopyText(level.nameEntries[0], Options::Instance()->GetPlayerName());
}

void MissionState::ResetForNewGame()
{
    session.networkGame = false;
    session.serverRequested = false;
    session.clientRequested = false;
    ResetPlayers();
    ResetSession();
    roster.localSetup.members[0] = 0;
    roster.localSetup.setupByte = 0;
    CopyText(session.missionFile, session.commandLineMap);
}

void MissionState::EndSession()
{
    if (network) {
        network->Disconnect();
        network->StopServer();
    }
    Application::Instance()->ClearChatLines();
    levelLoaded = false;
    session.networkGame = false;
    levelRunning = false;
    session.cancelFlag = false;
    level.definition.Reset();
    Options* options = Options::Instance();
    const int copied[4] = {Options::Difficulty, Options::DamageRealism, Options::ShowNamesOverHeads,
                           Options::ShowFiringEnemyDirection};
    for (int i = 0; i < 4; ++i)
        options->SetOption(copied[i], session.optionCopies[i]);
}

void MissionState::SetMissionResult(int code)
{
    if (code == missionResult)
        return;
    const int previous = missionResult;
    missionResult = code;
    if (previous == Running && campaignMissionFinished)
        campaignMissionFinished();
}

PtrListNode* MissionState::AddEvent(float x, float y, float z, std::uintptr_t data, Character* source, float countdown,
                                    std::uint8_t flag)
{
    auto* event = new MissionEvent(MissionEvent::ExpiringKind);
    event->position = Vector3(x, y, z);
    event->startPosition = event->position;
    event->source = source;
    event->data = data;
    event->countdown = countdown;
    event->flag = flag;
    return level.events.AddHead(event);
}

void MissionState::UpdateEvents(float dt)
{
    PtrListNode* node = level.events.GetHead();
    while (node) {
        PtrListNode* next = node->next;
        MissionEvent* event = PtrListOf<MissionEvent>::ItemOf(node);
        if (event->Step(dt)) {
            level.events.Remove(event);
            delete event;
        }
        node = next;
    }
}

void MissionState::SetLoadingProgress(int progress, const char* caption)
{
    if (progress == lastProgress || progress > 100)
        return;
    lastProgress = progress;
    if (caption && caption[0])
        CopyText(hud.progressCaption, caption);
    Application* application = Application::Instance();
    Device* device = application->GetDevice();
    if (!device || !LoadingBackdrop)
        return;
    // A frame shown more often than the display refreshes is never seen, and presenting it waits
    // for the swap; the first and the complete frames are always shown.
    const std::uint32_t now = loadingClock ? loadingClock() : platform::os::Milliseconds();
    if (loadingFramePresented && progress != 100 && now - lastLoadingFrame < LoadingFrameInterval)
        return;
    loadingFramePresented = true;
    lastLoadingFrame = now;
    device->BeginFrame(true, true);
    const unsigned x0 = unsigned(device->GetTargetWidth()) / 2 - unsigned(LoadingBackdrop->GetWidth()) / 2;
    const unsigned y0 = unsigned(device->GetTargetHeight()) / 2 - unsigned(LoadingBackdrop->GetHeight()) / 2;
    if (D3DBitmap* backBuffer = device->GetBackBuffer())
        LoadingBackdrop->CopyTo(int(x0), int(y0), backBuffer);
    if (hud.progressBar) {
        const float bar = float(progress) * hud.progressScale + hud.progressOffset;
        if (bar >= 1.0f) {
            hud.progressBar->x = int(x0) + 250;
            hud.progressBar->y = int(y0) + 487;
            hud.progressBar->width = int(bar * 3.0f);
            hud.progressBar->height = 8;
            device->SetFilter(0, 2);
            hud.progressBar->Draw(device);
            device->SetFilter(1, 2);
        }
    }
    if (BitmapFont* font = application->GetFont(Application::Arial)) {
        // The step above the bar, the factoid below it.
        if (hud.progressCaption[0])
            font->DrawText(device, int(x0) + 250, int(y0) + 465, 0.6f, hud.progressCaption);
        if (hud.statusText[0])
            font->DrawText(device, int(x0) + 50, int(y0) + 500, 0.6f, hud.statusText);
    }
    device->EndFrame(true, true);
}

void MissionState::ReleaseLoadingDisplay()
{
    if (LoadingBackdrop) {
        LoadingBackdrop->Destroy();
        LoadingBackdrop = nullptr;
    }
    hud.progressBar.reset();
    hud.progressCaption[0] = '\0';
    loadingFramePresented = false;
    hud.progressScale = 1.0f;
    hud.progressOffset = 0.0f;
}

void MissionState::ReleaseLevelResources()
{
    for (D3DBitmap*& bitmap : hud.explosionBitmaps)
        if (bitmap) {
            bitmap->Destroy();
            bitmap = nullptr;
        }
    for (D3DBitmap** bitmap : {&hud.nightVisionTargets[0], &hud.nightVisionTargets[1], &hud.nightVisionOverlay, &hud.charStats})
        if (*bitmap) {
            (*bitmap)->Destroy();
            *bitmap = nullptr;
        }
    hud.groundMarker.reset();
    hud.overheadMap.reset();
    hud.overheadSelection.reset();
    hud.screenOverlay = nullptr;
    for (std::unique_ptr<Sprite>& sprite : hud.nightVisionSprites)
        sprite.reset();
    hud.nightVision = false;
    hud.nightVisionAccumulator = 0.0f;
    hud.hudSprites.clear();
    hud.crosshair.reset();
}

void MissionState::UnloadLevel()
{
    levelPresent = false;
    levelRunning = false;
    session.missionRunning = false;
    session.downloadFinished = false;
    std::remove("multiQuickSave.sav");

    Application* application = Application::Instance();
    if (SoundSystem* sound = application->GetSoundSystem())
        sound->StopAll();
    ReleaseLevelResources();
    while (PtrListNode* node = level.events.GetHead()) {
        MissionEvent* event = PtrListOf<MissionEvent>::ItemOf(node);
        level.events.Remove(event);
        delete event;
    }

    // The squads go while the hooks still answer for them; then what flies and burns.
    RemoveAllSquads();
    for (Bullet* projectile : level.projectiles)
        delete projectile;
    level.projectiles.clear();
    ScheduledEventList::DeleteAll();
    level.particleEffects.Clear();
    level.particleDefinitions.Clear();
    RemoveMapPopulation();
    if (level.camera)
        level.camera->Detach();
    level.outcomePivot.Detach();
    roster.controlledCharacter = nullptr;
    controls.pendingItem = nullptr;
    level.characters.clear();
    // The world list owns what lies in it.
    for (CarriedItem* item : std::vector<CarriedItem*>(level.looseItems)) {
        item->Detach();
        delete item;
    }
    level.looseItems.clear();
    levelServices.reset();
    audio.objectiveMessage.reset();
    roster.squads.clear();
    roster.orderTargets.clear();
    roster.currentOrderTarget = -1;

    if (level.weather) {
        level.weather->Release();
        level.weather.reset();
    }
    DecalManager::Release();
    level.vehicleObjects.clear();
    level.vehicles.reset();
    level.combatFlag = level.previousCombatFlag = false;
    level.triggers.clear();
    level.waypointsPresent = level.coverPresent = false;
    level.coverPoints.reset();
    level.waypointGraph.reset();
    level.tileSounds.clear();
    if (level.collisionScene) {
        CollisionSetScene(nullptr);
        level.collisionScene.reset();
    }
    if (level.world) {
        level.world->Detach();
        delete level.world;
        level.world = nullptr;
    }
    level.map.reset();
    Formation::FreeAll();
    level.formations.clear();
    if (Device* device = application->GetDevice())
        if (device->GetCamera() == level.camera)
            device->SetCamera(nullptr);
    delete level.camera;
    level.camera = nullptr;
    level.root.reset();

    level.bloodEffect[0] = '\0';
    if (Device* device = application->GetDevice()) {
        device->SetClearColor(0xFF000000u);
        device->ResetStats();
    }
}

void MissionState::UpdateOutcomeCamera(float frameTime)
{
    Application* application = Application::Instance();
    if (roster.controlledCharacter && level.camera) {
        hud.hudDisplayFlags[1] = false;
        if (roster.controlledCharacter->viewMode == 0) {
            if (Player* player = AsPlayer(roster.controlledCharacter))
                player->CycleViewMode();
            else
                roster.controlledCharacter->CycleViewMode();
        }
        level.camera->SetParent(&level.outcomePivot);
        level.camera->position = Vector3(0.0f, 0.0f, -30.0f);
        level.camera->rotation = Matrix3();
        Matrix3 turn;
        turn.FromAxisAngle(frameTime * 0.3926991f, Vector3(0.0f, 1.0f, 0.0f));
        level.outcomePivot.rotation = turn * level.outcomePivot.rotation;
    }
    if (level.outcomeCountdown == 0.0f) {
        const bool lost = missionResult == Lost || missionResult == Surrendered;
        level.outcomeCountdown = lost ? 5.0f : 0.0f;
        level.outcomePivot.rotation.FromAxisAngle(0.7853982f, Vector3(1.0f, 0.0f, 0.0f));
        if (roster.controlledCharacter)
            roster.controlledCharacter->GetHeadPosition(&level.outcomePivot.position);
        const char* music = nullptr;
        if (missionResult == Won && !session.networkGame)
            music = "Sound/Music/VictoryCam01.ogg";
        else if (lost)
            music = "Sound/Music/Taps.ogg";
        if (music) {
            application->SetMusicVolume(float(Options::Instance()->GetOption(Options::MusicVolume)) * 0.01f);
            application->PlayMusic(music);
            application->SetMusicLooping(false);
        }
        for (int i = 0; roster.localSquad && i < roster.localSquad->GetMemberCount(); ++i)
            roster.localSquad->GetMember(i)->TakeOutHeldItem();
    }
    level.outcomePivot.Update(frameTime);
    level.outcomeCountdown -= frameTime;
    if (level.outcomeCountdown == 0.0f)
        level.outcomeCountdown = -0.01f;
    if (!roster.spectating && level.outcomeCountdown < 0.0f)
        controls.paused = true;
    hud.hudDisplayFlags[0] = false;
}

void MissionState::UpdateOutcome()
{
    const int limit = GetSettingsTimeLimit() * 60;
    if (limit > 0 && level.gameClock > float(limit))
        SetMissionResult(Lost);
    else
        SetMissionResult(UpdateObjectives());
}

float MissionState::FrameTime() const
{
    return frameClock ? frameClock() : Application::Instance()->GetFrameTime();
}

void MissionState::Update()
{
    Application* application = Application::Instance();
    const float frameTime = FrameTime();
    if (!levelPresent || !level.world)
        return;

    if (missionResult != Running)
        UpdateOutcomeCamera(frameTime);
    else
        UpdateOutcome();

    // Projectiles that have done their work leave the list.
    for (std::size_t i = 0; i < level.projectiles.size();) {
        if (level.projectiles[i]->IsActive()) {
            ++i;
            continue;
        }
        delete level.projectiles[i];
        level.projectiles.erase(level.projectiles.begin() + std::ptrdiff_t(i));
    }

    level.previousCombatFlag = level.combatFlag;
    level.combatFlag = false;
    EnemyGroundQueryCount() = 0;
    float step = frameTime;
    if (controls.paused && hud.screenFade < 0.3f)
        step = 0.0f;
    else if (frameTime > 0.25f)
        step = 0.001f;
    if (step == 0.0f && controls.paused)
        return;

    const std::vector<Character*> thinking = level.characters; // a decision may change the list
    for (Character* character : thinking)
        character->Think();
    UpdateEvents(step);
    ScheduledEventList::UpdateAll(step);

    // The scene root runs every character, item, projectile, effect and the camera below it.
    if (level.root)
        level.root->Update(step);
    for (CarriedItem* item : std::vector<CarriedItem*>(level.looseItems))
        if (item && !item->GetParent())
            item->Update(step);

    // The game clock runs while somebody plays: a host counts only with a player connected.
    if (!network || !network->IsServerActive() || network->IsClientConnected())
        level.gameClock += step;
    UpdateMusic(step);
    UpdateConcussion();

    if (SoundSystem* sound = application->GetSoundSystem(); sound && level.camera) {
        const Vector3 at = level.camera->world.GetTranslation();
        sound->SetListenerPosition(at.x, at.y, at.z);
        const Matrix4& axes = level.camera->world;
        sound->SetListenerOrientation(axes(2, 0), axes(2, 1), axes(2, 2), axes(1, 0), axes(1, 1), axes(1, 2));
    }
    if (level.weather) {
        const Vector3 at = roster.controlledCharacter ? roster.controlledCharacter->position : Vector3();
        level.weather->Update(WeatherStep{step, at.x, at.y, at.z});
        // The rain's drift is the wind the world sways with.
        Vector3 drift(level.weather->velocity.x, 0.0f, level.weather->velocity.z);
        if (drift.LengthSquared() > 0.0f)
            drift.Normalize();
        level.world->SetWind(drift, level.weather->horizontalSpeed);
    }
    // The ground marker turns to face the controlled character.
    if (hud.groundMarkerShown && hud.groundMarker && roster.controlledCharacter) {
        Vector3 forward = roster.controlledCharacter->position - hud.groundMarker->position;
        forward.y = 0.0f;
        if (forward.LengthSquared() > 0.0f) {
            forward.Normalize();
            const Vector3 up(0.0f, 1.0f, 0.0f);
            const Vector3 right = Cross(up, forward);
            const float rows[9] = {right.x, right.y, right.z, up.x, up.y, up.z, forward.x, forward.y, forward.z};
            std::copy(std::begin(rows), std::end(rows), hud.groundMarker->rotation.m);
        }
        hud.groundMarker->Update(step);
    }
}

void MissionState::UpdateMusic(float step)
{
    if (missionResult != Running)
        return;
    Application* application = Application::Instance();
    const float volume = float(Options::Instance()->GetOption(Options::MusicVolume)) * 0.01f;
    audio.musicTimer -= step;
    if (level.combatFlag) {
        if (!level.previousCombatFlag) {
            char track[64];
            std::snprintf(track, sizeof track, "Sound/Music/Battle%02d.ogg", std::rand() % 5 + 1);
            application->PlayMusic(track);
            audio.battleMusic = true;
        }
        return;
    }
    if (level.previousCombatFlag)
        audio.musicTimer = 10.0f;
    if (audio.battleMusic && audio.musicTimer < 5.0f) {
        application->SetMusicVolume(std::clamp(volume * audio.musicTimer * 0.2f, 0.0f, 1.0f));
        if (audio.musicTimer < 0.1f)
            application->StopMusic();
    }
    if (audio.musicTimer < 0.0f) {
        audio.musicTimer = 120.0f + 30.0f * float(std::rand()) / float(RAND_MAX);
        const int previous = audio.ambientToggle;
        audio.ambientToggle ^= 1;
        const char* path = audio.musicNames[previous][0] ? audio.musicNames[previous] : audio.musicNames[audio.ambientToggle];
        if (path[0]) {
            application->SetMusicVolume(volume);
            application->PlayMusic(path);
            application->SetMusicLooping(false);
        }
        audio.battleMusic = false;
    }
}

void MissionState::UpdateConcussion()
{
    Application* application = Application::Instance();
    SoundSystem* sound = application->GetSoundSystem();
    if (!roster.controlledCharacter || !sound)
        return;
    const float master = float(Options::Instance()->GetOption(Options::MasterVolume)) * 0.01f;
    if (roster.controlledCharacter->stunTime > 0.0f) {
        if (sound->GetMasterVolume() != master * 0.33333334f)
            sound->SetMasterVolume(master * 0.33333334f);
        if (application->GetMusicVolume() != 0.0f)
            application->SetMusicVolume(0.0f);
        if (audio.heartBeat && (audio.heartBeatHandle < 0 || !audio.heartBeat->IsPlaying(audio.heartBeatHandle))) {
            audio.heartBeatHandle = audio.heartBeat->Play();
            if (audio.noise) {
                if (audio.noiseHandle >= 0)
                    audio.noise->Stop(audio.noiseHandle);
                audio.noiseHandle = audio.noise->Play();
            }
        }
        return;
    }
    if (sound->GetMasterVolume() != master)
        sound->SetMasterVolume(master);
    if (application->GetMusicVolume() == 0.0f)
        application->SetMusicVolume(float(Options::Instance()->GetOption(Options::MusicVolume)) * 0.01f);
    if (audio.heartBeatHandle >= 0) {
        if (audio.heartBeat)
            audio.heartBeat->Stop(audio.heartBeatHandle);
        if (audio.noise && audio.noiseHandle >= 0)
            audio.noise->Stop(audio.noiseHandle);
        audio.heartBeatHandle = audio.noiseHandle = -1;
    }
}

const char* MissionState::EndTitle() const
{
    switch (missionResult) {
    case Lost: return "MISSION INCOMPLETE";
    case Won: return "MISSION COMPLETE";
    case Escaped: return "ESCAPED FROM AREA";
    case Surrendered: return "SURRENDERED";
    default: return "";
    }
}

void MissionState::DrawEndTitle()
{
    const char* title = EndTitle();
    if (!title[0] || session.networkGame)
        return;
    Application* application = Application::Instance();
    Device* device = GetDevice();
    const int width = device->GetTargetWidth();
    if (BitmapFont* small = application->GetFont(Application::ArialSmall)) {
        const char* line = missionResult == Won ? "Press ESC to exit" : "Press ESC to continue";
        small->DrawText(device, (width - small->GetTextWidth(line)) / 2, 67, 1.0f, line);
    }
    if (BitmapFont* army = application->GetFont(Application::Army))
        army->DrawText(device, (width - army->GetTextWidth(title)) / 2, 80, 1.0f, title);
}

void MissionState::Draw()
{
    if (!level.world || !level.camera)
        return;
    Device* device = GetDevice();
    if (!device)
        return;
    const float frameTime = FrameTime();
    // The projection is the screen's, also for the night-vision target, whose picture is
    // stretched back onto the screen.
    level.camera->UpdateTransform(0.0f);
    const bool nightVisionDrawn = BeginNightVision();
    level.world->Update(frameTime);
    device->SetDepthRange(0.1f, 1.0f);
    level.world->CollectVisible();
    if (level.weather)
        level.weather->RenderEffectNode();
    level.world->RenderObjects();
    for (CarriedItem* item : level.looseItems)
        item->Draw(device);
    level.world->RenderStencilShadows();
    hud.drawnCharacters = 0;
    for (Character* character : level.characters)
        hud.drawnCharacters += character->Draw(device) ? 1 : 0;
    hud.drawnProjectiles = 0;
    for (Bullet* projectile : level.projectiles)
        hud.drawnProjectiles += projectile->Draw(device) ? 1 : 0;
    ScheduledEventList::DrawAll(device);
    level.world->RenderTerrain();
    if (hud.pathGraphShown)
        DrawPathGraph();
    DecalManager::Render(device);
    level.particleEffects.Update(device);
    const Matrix4 identity;
    device->SetWorldTransform(&identity);
    device->FlushSortQueue();
    if (level.weather) {
        level.weather->Render();
        // What the weather queued for sorting lies in the world, below everything drawn over it.
        device->FlushSortQueue();
    }
    if (nightVisionDrawn)
        ComposeNightVision(frameTime);
    if (hud.patrolPathsShown)
        DrawPatrolPaths();

    if (hud.hudShown)
        DrawHUD();
    DrawStatistics();
    if (missionResult == Running && (controls.paused || Application::Instance()->IsInMenu()))
        DrawObjectivesScreen();
    DrawEndTitle();
    ApplyViewModeRequest();
    DrawSquadMarkers();
    DrawScreenFade(frameTime);
    if (hud.groundMarkerShown && hud.groundMarker) {
        if (CountLivingMembers(roster.localSquad) < 2)
            hud.groundMarkerShown = false;
        else
            hud.groundMarker->Draw(device);
    }
    DrawRadialMenu();
}

void MissionState::LeaveLevel()
{
    UnloadLevel();
    Application* application = Application::Instance();
    if (application->GetQuitOnLeave() || !returnToMainMenu)
        application->Quit(nullptr);
    else
        returnToMainMenu();
}

void MissionState::DrawRadialMenu()
{
    if (!controls.radialMenuOpen || controls.radialMenuIndex < 0 || controls.radialMenuIndex >= RadialMenuCount || !hud.radialMenu[controls.radialMenuIndex])
        return;
    Device* device = GetDevice();
    if (!device)
        return;
    Sprite& sprite = *hud.radialMenu[controls.radialMenuIndex];
    sprite.x = (device->GetTargetWidth() - 256) / 2;
    sprite.y = (device->GetTargetHeight() - 256) / 2;
    sprite.Draw(device);
}

void MissionState::DrawRectangle(float x1, float y1, float x2, float y2, std::uint32_t colour)
{
    Device* device = GetDevice();
    if (!device)
        return;
    struct ScreenVertex {
        float x, y, z, rhw;
        std::uint32_t colour;
        float u, v;
    };
    static_assert(sizeof(ScreenVertex) == 28);
    const ScreenVertex line[2] = {{x1, y1, 0.0f, 1.0f, colour, 0.0f, 0.0f}, {x2, y2, 0.0f, 1.0f, colour, 0.0f, 0.0f}};
    VertexLayout layout;
    layout.InitScreenTextured();
    device->DrawUserPrimitives(PrimLineList, line, 2, &layout, nullptr, 0, nullptr);
}

bool MissionState::Save(const char*)
{
    std::error_code error;
    std::filesystem::create_directories("Saves", error);
    return std::filesystem::is_directory("Saves", error);
}

namespace {

// How long a joining client waits for the host to accept it, and how often a host's own client
// tries its server again, in ms of the networking clock.
constexpr std::int32_t JoinWaitMs = 7000;
constexpr std::int32_t LocalRetryMs = 200;
constexpr const char* LocalServerAddress = "127.0.0.1";

MissionNetwork& RequireNetwork(MissionNetwork* network)
{
    if (!network)
        throw q3DError("The game's network was not handed to the mission before a network game began");
    return *network;
}

} // namespace

bool MissionState::WaitForNetworkTurn()
{
    PumpNetwork();
    platform::os::Message message;
    if (!platform::os::TakeMessage(message)) {
        // Gives the network's thread its turn instead of spinning.
        std::this_thread::yield();
        return true;
    }
    if (message.message == platform::os::WM_QUIT) {
        Application::Instance()->Quit(nullptr);
        return false;
    }
    platform::os::DispatchMessage(message);
    return !Application::Instance()->GetQuitFlag();
}

void MissionState::ConnectToServer()
{
    MissionNetwork& net = RequireNetwork(network);
    Application* application = Application::Instance();
    application->OpenMultiplayerLog();
    ResetSession();
    for (int slot = 0; slot < Application::PlayerSlotCount; ++slot)
        application->ClearPlayerSlot(slot);
    if (!(session.clientRequested || session.connect) && !(session.serverRequested || session.server))
        return;
    if (net.IsClientConnected() || net.IsServerActive())
        return;
    LogToEngine("Connecting to %s on UDP port.", session.serverAddress);
    if (!net.Connect(session.serverAddress))
        return;
    session.cancelFlag = true;
    const std::uint32_t start = net.Time();
    bool waiting = true;
    while (session.cancelFlag && !net.IsClientConnected() && waiting) {
        waiting = WaitForNetworkTurn() && platform::net::TimeDifference(net.Time(), start) < JoinWaitMs;
    }
    const bool cancelled = !session.cancelFlag;
    session.cancelFlag = false;
    if (net.IsClientConnected()) {
        session.networkGame = true;
        return;
    }
    net.Disconnect();
    if (cancelled) {
        application->ShowMessage(12000, "Connection attempt cancelled by user.");
        LogToEngine("Connection attempt cancelled by user.");
    } else {
        application->ShowMessage(12000, "Server busy, unresponsive, or ignoring connection attempts (possibly different version).");
        LogToEngine("Server busy or unresponsive, or ignoring connection attempts (possibly different version).");
    }
}

void MissionState::StartServer()
{
    MissionNetwork& net = RequireNetwork(network);
    Application* application = Application::Instance();
    application->OpenMultiplayerLog();
    if (!net.IsServerActive() && (session.serverRequested || session.server)) {
        for (int slot = 0; slot < Application::PlayerSlotCount; ++slot)
        application->ClearPlayerSlot(slot);
        ResetSession();
        if (!net.StartServer(session.maxPlayers)) {
            net.Disconnect();
            net.StopServer();
            return;
        }
        session.networkGame = true;
    }
    if (!net.IsClientConnected() && net.IsServerActive()) {
        session.clientRequested = true;
        session.cancelFlag = true;
        net.Connect(LocalServerAddress);
        std::uint32_t lastTry = net.Time();
        while (!net.IsClientConnected() && net.IsServerActive() && session.cancelFlag) {
            if (!WaitForNetworkTurn())
                break;
            if (!net.IsClientConnected() && platform::net::TimeDifference(net.Time(), lastTry) >= LocalRetryMs) {
                net.Disconnect();
                net.Connect(LocalServerAddress);
                lastTry = net.Time();
            }
        }
        session.cancelFlag = false;
    }
    if (net.IsClientConnected() && net.IsServerActive()) {
        application->OpenMultiplayerLog();
        return;
    }
    application->ShowMessage(12000, "Unable to connect.");
    LogToEngine("Unable to connect.");
    net.Disconnect();
    session.clientRequested = false;
    session.serverRequested = false;
}

void MissionState::FillServerSettingsFromOptions(ServerSettings*)
{
}
