// The demo mission played through the real program in this process: the program starts as
// "-skipmenu -map Maps/Demo/Demo.mis" would start it, key and mouse events go onto SDL's queue
// frame by frame (the keys the options' key table binds), the real window procedure and input
// system deliver them, and the state is read back through MissionState::Instance. Each frame
// lasts 1/30 s of game time, so a run steps alike on any machine.
#include "world/World.h"
#include "tests/app/ProgramRun.h"
#include "tests/support/FramePixels.h"
#include "tests/mission/ScriptedInput.h"

#include "app/framework/Application.h"
#include "app/program/Program.h"
#include "characters/objects/CarriedItem.h"
#include "characters/player/Player.h"
#include "engine/camera/Camera.h"
#include "engine/core/HitResult.h"
#include "engine/core/RandomMT.h"
#include "engine/core/Matrix.h"
#include "engine/core/Vector.h"
#include "engine/sprite/SpriteNode.h"
#include "items/WeaponItem.h"
#include "mission/MissionState.h"
#include "platform/os/Messages.h"
#include "platform/os/Window.h"
#include "renderer/Device.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr float FrameSeconds = 1.0f / 30.0f;

class MissionPlayTest : public testing::Test {
protected:
    void SetUp() override
    {
        previous = fs::current_path();
        fs::current_path(folder.path);
        ASSERT_EQ(StartProgram(Switches()), ProgramStarted)
            << programrun::ReadFile("q3D.log");
        // Start-up seeds the shared generators from the clock; the play is repeated alike.
        seedMT(1);
        std::srand(1);
        mission = MissionState::Instance();
        mission->frameClock = [] { return FrameSeconds; };
        // The briefing starts the mission on its first frame.
        Turn();
        ASSERT_EQ(Application::Instance()->GetState(), mission) << programrun::ReadFile("q3D.log");
        ASSERT_NE(mission->roster.controlledCharacter, nullptr);
        window = Program().window;
    }

    void TearDown() override
    {
        // Whatever the test left held is let go, so that no key outlives it.
        scriptedinput::ReleaseAllKeys();
        if (mission)
            mission->frameClock = nullptr;
        EXPECT_EQ(ShutDownProgram(0), 0);
        fs::current_path(previous);
    }

    virtual const char* Switches() const { return "-win -w 400 -h 300 -nosound -skipmenu -map Maps/Demo/Demo.mis"; }

    // One turn of the main loop: every waiting message through the window procedure, then a frame.
    void Turn(int frames = 1)
    {
        for (int i = 0; i < frames; ++i) {
            platform::os::Message message;
            while (platform::os::TakeMessage(message))
                platform::os::DispatchMessage(message);
            Application::Instance()->Update();
            Application::Instance()->Draw();
        }
    }

    void PushKey(SDL_Scancode scancode, bool down) { scriptedinput::PushKey(window->GetSdlWindow(), scancode, down); }

    // A key pressed for one frame and let go on the next.
    void Tap(SDL_Scancode scancode)
    {
        PushKey(scancode, true);
        Turn();
        PushKey(scancode, false);
        Turn();
    }

    // The key held for the frames, then let go.
    void Hold(SDL_Scancode scancode, int frames)
    {
        PushKey(scancode, true);
        Turn(frames);
        PushKey(scancode, false);
        Turn();
    }

    void PushButton(Uint8 button, bool down, int x, int y)
    {
        scriptedinput::PushButton(window->GetSdlWindow(), button, down, x, y);
    }

    // The mouse moved by (dx, dy) from the centre of the window, where the game keeps it.
    void MoveMouse(int dx, int dy)
    {
        Device* device = Application::Instance()->GetDevice();
        const int x = device->GetTargetWidth() / 2 + dx, y = device->GetTargetHeight() / 2 + dy;
        scriptedinput::PushMotion(window->GetSdlWindow(), x, y, dx, dy);
    }

    Player* Leader() const { return AsPlayer(mission->roster.controlledCharacter); }

    // The picture fades in and the squad settles after the level starts.
    void Settle() { Turn(45); }

    // The character's facing and its right hand, flat.
    static Vector3 Forward(const Character* character)
    {
        Vector3 forward(character->rotation.m[6], 0.0f, character->rotation.m[8]);
        forward.Normalize();
        return forward;
    }
    static Vector3 Right(const Character* character) { return Vector3(Forward(character).z, 0.0f, -Forward(character).x); }

    // Where the controlled character looks: its heading and the turn of its upper body.
    float LookYaw() const { return Leader()->GetYaw() + Leader()->torsoYaw; }

    static float Flat(const Vector3& a, const Vector3& b)
    {
        return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.z - b.z) * (a.z - b.z));
    }

    std::string LastNotice() const
    {
        const auto& notices = Application::Instance()->GetNotices();
        return notices.empty() ? std::string() : notices.back().text;
    }

    programrun::RunFolder folder{true};
    fs::path previous;
    MissionState* mission = nullptr;
    platform::os::Window* window = nullptr;
};

// The same mission full screen at the size the command line asks for.
class FullScreenPlayTest : public MissionPlayTest {
protected:
    const char* Switches() const override { return "-w 1024 -nosound -skipmenu -map Maps/Demo/Demo.mis"; }
};

} // namespace

TEST_F(MissionPlayTest, TheLeaderWalksRunsStrafesCrouchesLooksAroundZoomsAndPauses)
{
    Settle();
    Player* leader = Leader();
    ASSERT_NE(leader, nullptr);
    const Vector3 forward = Forward(leader), right = Right(leader);

    // A second of each movement key: walking back, walking, running (Shift), stepping right.
    const auto moved = [&](std::initializer_list<SDL_Scancode> keys) {
        const Vector3 start = leader->position;
        for (SDL_Scancode key : keys)
            PushKey(key, true);
        Turn(30);
        for (SDL_Scancode key : keys)
            PushKey(key, false);
        Turn(15);
        return leader->position - start;
    };
    // Backwards first, while the second soldier stands ahead in the wedge and not behind.
    const Vector3 back = moved({SDL_SCANCODE_S});
    EXPECT_LT(back.Dot(forward), -2.0f);
    const Vector3 walked = moved({SDL_SCANCODE_W});
    EXPECT_GT(walked.Dot(forward), 5.0f);
    EXPECT_LT(std::fabs(walked.Dot(right)), 1.0f);
    const Vector3 ran = moved({SDL_SCANCODE_LSHIFT, SDL_SCANCODE_W});
    EXPECT_GT(ran.Dot(forward), 1.5f * walked.Dot(forward));
    const Vector3 stepped = moved({SDL_SCANCODE_D});
    EXPECT_GT(stepped.Dot(right), 1.0f);

    // Postures, a second apart (a change plays its animation first): X crouches and X again
    // stands; Z lies down (up the slope, where the lake's edge is far); C stands.
    const std::pair<SDL_Scancode, int> postures[] = {{SDL_SCANCODE_X, Character::Crouching},
                                                     {SDL_SCANCODE_X, Character::Standing},
                                                     {SDL_SCANCODE_Z, Character::Prone},
                                                     {SDL_SCANCODE_C, Character::Standing}};
    for (const auto& [key, posture] : postures) {
        Tap(key);
        EXPECT_EQ(leader->posture, posture) << SDL_GetScancodeName(key);
        Turn(30);
    }

    // The mouse: right turns the look to the right, down looks down; the turn keys turn. Each is
    // checked on the camera's own axes in the world (row 0 right, row 2 ahead), as the screen shows.
    const auto cameraAxis = [&](int row) {
        const Matrix4& world = mission->level.camera->world;
        return Vector3(world(row, 0), world(row, 1), world(row, 2));
    };
    float yaw = LookYaw();
    Vector3 cameraRight = cameraAxis(0);
    MoveMouse(40, 0);
    Turn();
    EXPECT_GT(LookYaw(), yaw + 0.05f);
    EXPECT_GT(cameraAxis(2).Dot(cameraRight), 0.05f);
    const float pitch = leader->pitch;
    const float ahead = cameraAxis(2).y;
    MoveMouse(0, 30);
    Turn();
    EXPECT_GT(leader->pitch, pitch + 0.05f);
    EXPECT_LT(cameraAxis(2).y, ahead - 0.05f);
    MoveMouse(0, -30);
    Turn();
    EXPECT_NEAR(leader->pitch, pitch, 0.001f);
    yaw = LookYaw();
    cameraRight = cameraAxis(0);
    Hold(SDL_SCANCODE_END, 15);
    EXPECT_GT(LookYaw(), yaw + 0.3f);
    EXPECT_GT(cameraAxis(2).Dot(cameraRight), 0.3f);
    yaw = LookYaw();
    cameraRight = cameraAxis(0);
    Hold(SDL_SCANCODE_DELETE, 15);
    EXPECT_LT(LookYaw(), yaw - 0.3f);
    EXPECT_LT(cameraAxis(2).Dot(cameraRight), -0.3f);

    // Zoom Sights narrows the view and widens it again.
    const float normal = mission->level.camera->GetFov();
    Tap(SDL_SCANCODE_B);
    Turn(30);
    EXPECT_EQ(leader->zoomed, 1);
    EXPECT_NEAR(mission->level.camera->GetFov(), normal - 0.28f, 0.01f);
    Tap(SDL_SCANCODE_B);
    Turn(30);
    EXPECT_EQ(leader->zoomed, 0);
    EXPECT_NEAR(mission->level.camera->GetFov(), normal, 0.01f);

    // The pause key stops the game: a held movement key moves nobody until it is pressed again.
    Tap(SDL_SCANCODE_PAUSE);
    EXPECT_TRUE(mission->controls.paused);
    const Vector3 before = leader->position;
    EXPECT_LT((moved({SDL_SCANCODE_W})).Length(), 0.001f);
    EXPECT_EQ(leader->position.x, before.x);
    Tap(SDL_SCANCODE_PAUSE);
    EXPECT_FALSE(mission->controls.paused);
    EXPECT_GT(moved({SDL_SCANCODE_W}).Length(), 2.0f);
}

TEST_F(MissionPlayTest, OrdersByKeyAndRadialMenuAreCarriedOutAndControlPassesBetweenMembers)
{
    // The map's enemies go: a member that sees one fights it rather than carry out the orders
    // this test follows.
    mission->RemoveMapPopulation();
    Settle();
    Player* leader = Leader();
    ASSERT_NE(leader, nullptr);
    ASSERT_EQ(mission->GetSquadSize(), 2);
    Player* member = mission->GetSquadMember(1);
    ASSERT_NE(member, nullptr);
    EXPECT_EQ(member->order, OrderFollow);
    EXPECT_EQ(member->controller, Player::kComputer);

    // The squad walks off together; on Hold the member stays where it is while the leader walks
    // on; on Follow it closes up again.
    Hold(SDL_SCANCODE_W, 45);
    Turn(30);
    Tap(SDL_SCANCODE_H);
    EXPECT_EQ(member->order, OrderHoldPosition);
    EXPECT_NE(LastNotice().find(": Holding position"), std::string::npos) << LastNotice();
    const Vector3 held = member->position;
    Hold(SDL_SCANCODE_W, 45);
    Turn(30);
    EXPECT_LT(Flat(member->position, held), 1.0f);
    const float apart = Flat(member->position, leader->position);
    Tap(SDL_SCANCODE_F);
    EXPECT_EQ(member->order, OrderFollow);
    EXPECT_NE(LastNotice().find(": Following"), std::string::npos) << LastNotice();
    Turn(60);
    EXPECT_LT(Flat(member->position, leader->position), apart - 5.0f);

    // The radial menu: Q opens it and frees the pointer, which then chooses a sector (its picture
    // shows it) without turning the view, however long it rests there; letting Q go gives the order.
    const auto radialOrder = [&](int dx, int dy, int sector) {
        PushKey(SDL_SCANCODE_Q, true);
        Turn();
        EXPECT_TRUE(mission->controls.radialMenuOpen);
        const float yaw = LookYaw(), pitch = leader->pitch;
        MoveMouse(dx, dy);
        Turn(5);
        EXPECT_EQ(mission->controls.radialMenuIndex, sector);
        // The menu's ring is lit on the pointer's side, beyond the pointer itself, and dark on the
        // other side.
        Device* device = Application::Instance()->GetDevice();
        const std::vector<std::uint32_t> frame = ReadFrame(device);
        const int w = device->GetTargetWidth(), h = device->GetTargetHeight();
        const float reach = 108.0f / std::sqrt(float(dx * dx + dy * dy));
        const auto red = [&](float side) {
            const int x = w / 2 + int(side * reach * float(dx)), y = h / 2 + int(side * reach * float(dy));
            return int(frame[std::size_t(y * w + x)] >> 16 & 0xFF);
        };
        EXPECT_GT(red(1.0f), red(-1.0f) + 40) << "sector " << sector;
        EXPECT_NEAR(LookYaw(), yaw, 1e-4f);
        EXPECT_NEAR(leader->pitch, pitch, 1e-4f);
        PushKey(SDL_SCANCODE_Q, false);
        Turn();
        EXPECT_FALSE(mission->controls.radialMenuOpen);
        EXPECT_NEAR(LookYaw(), yaw, 1e-4f);
    };
    radialOrder(60, 10, 1); // hold position
    EXPECT_EQ(member->order, OrderHoldPosition);
    radialOrder(20, 60, 2); // follow
    EXPECT_EQ(member->order, OrderFollow);

    // Move to point, by the radial menu and by its key: the point is the ground under the
    // crosshair, ahead once the view tilts down (as the pitch rises).
    MoveMouse(0, 20);
    Turn(2);
    radialOrder(30, -60, 7); // move to point
    EXPECT_EQ(member->order, OrderMoveToPoint);
    EXPECT_TRUE(mission->hud.groundMarkerShown);
    Tap(SDL_SCANCODE_F);
    EXPECT_EQ(member->order, OrderFollow);
    Tap(SDL_SCANCODE_LCTRL);
    EXPECT_EQ(member->order, OrderMoveToPoint);
    ASSERT_TRUE(mission->hud.groundMarkerShown);
    const Vector3 marker = mission->hud.groundMarkerPosition;
    const float toGo = Flat(member->position, marker);
    Turn(90);
    EXPECT_LT(Flat(member->position, marker), toGo - 3.0f);
    // The marker on the ground faces the leader.
    ASSERT_NE(mission->hud.groundMarker, nullptr);
    Vector3 toLeader = leader->position - mission->hud.groundMarker->position;
    toLeader.y = 0.0f;
    toLeader.Normalize();
    const Matrix3& facing = mission->hud.groundMarker->rotation;
    EXPECT_GT(Vector3(facing(2, 0), facing(2, 1), facing(2, 2)).Dot(toLeader), 0.99f);

    // V takes the view to first person. F2 hands control to the second member, who takes the
    // chosen view once the picture has faded in again; Change Active Player (Tab) hands it back.
    Tap(SDL_SCANCODE_V);
    EXPECT_EQ(leader->viewMode, 0);
    Tap(SDL_SCANCODE_F2);
    EXPECT_EQ(mission->roster.controlledCharacter, member);
    EXPECT_EQ(member->controller, Player::kLocalHuman);
    EXPECT_EQ(leader->controller, Player::kComputer);
    EXPECT_EQ(leader->viewMode, 1);
    EXPECT_GT(mission->hud.screenFade, 1.0f);
    EXPECT_EQ(member->viewMode, 0);
    Tap(SDL_SCANCODE_TAB);
    EXPECT_EQ(mission->roster.controlledCharacter, leader);
    EXPECT_EQ(member->controller, Player::kComputer);
    EXPECT_EQ(leader->viewMode, 0);
}

TEST_F(FullScreenPlayTest, TheLevelRunsAtTheAskedSizeAndTheViewStaysWhereItIsUntilTheMouseMoves)
{
    Device* device = Application::Instance()->GetDevice();
    EXPECT_EQ(device->GetTargetWidth(), 1024);
    EXPECT_EQ(device->GetTargetHeight(), 768);
    ModeInfo mode{};
    device->GetCurrentMode(&mode);
    EXPECT_EQ(mode.bitsPerPixel, 32);
    ASSERT_NE(device->GetBackBuffer(), nullptr);
    EXPECT_EQ(device->GetBackBuffer()->GetWidth(), 1024);
    EXPECT_EQ(device->GetBackBuffer()->GetHeight(), 768);

    // Level at the start, and it stays so while nobody touches the mouse.
    Player* leader = Leader();
    ASSERT_NE(leader, nullptr);
    EXPECT_NEAR(leader->pitch, 0.0f, 1e-4f);
    const float yaw = LookYaw();
    Settle();
    EXPECT_NEAR(leader->pitch, 0.0f, 1e-4f);
    EXPECT_NEAR(LookYaw(), yaw, 1e-4f);
    // The mouse turns the view once, by its own move, and the pointer is back at the centre.
    MoveMouse(40, 0);
    Turn();
    const float turned = LookYaw();
    EXPECT_GT(turned, yaw + 0.05f);
    Turn(10);
    EXPECT_NEAR(LookYaw(), turned, 1e-4f);
    int x = 0, y = 0;
    window->GetCursorPosition(x, y);
    EXPECT_EQ(x, 512);
    EXPECT_EQ(y, 384);
}

TEST_F(MissionPlayTest, ThePlayerFiresDropsItsWeaponAndPicksItUpAgain)
{
    Settle();
    Player* leader = Leader();
    ASSERT_NE(leader, nullptr);
    auto* weapon = dynamic_cast<WeaponItem*>(leader->GetHeldItem());
    ASSERT_NE(weapon, nullptr);
    const int cartridges = weapon->GetCartridges();

    // The left button held fires; the magazine empties round by round.
    PushButton(SDL_BUTTON_LEFT, true, 200, 150);
    Turn(10);
    PushButton(SDL_BUTTON_LEFT, false, 200, 150);
    Turn();
    EXPECT_LT(weapon->GetCartridges(), cartridges);
    Turn(30);

    // Drop Item lays the held weapon on the ground.
    Tap(SDL_SCANCODE_P);
    EXPECT_FALSE(leader->OwnsItem(weapon));
    EXPECT_EQ(weapon->owner, nullptr);
    EXPECT_NE(std::find(mission->level.looseItems.begin(), mission->level.looseItems.end(), weapon), mission->level.looseItems.end());
    // It lies flat: its world model stands on end along its own y, which the drop turns level.
    EXPECT_NEAR(weapon->rotation(1, 1), 0.0f, 1e-3f);

    // Two steps back, and the view tilts down (as the pitch rises) until the crosshair finds the
    // weapon, which lies turned at random; Use Item in World takes it.
    Hold(SDL_SCANCODE_S, 8);
    // Under the crosshair means the use reaches it: no ground in front of the part the ray meets
    // (a weapon may lie half sunk where the ground slopes).
    const auto underCrosshair = [&] {
        HitResult ray;
        if (!mission->GetCenterRay(ray))
            return false;
        HitResult itemRay = ray;
        if (mission->RayCastItems(itemRay) != weapon)
            return false;
        HitResult worldRay = ray;
        PickResult ground;
        return !(mission->level.world->Pick(worldRay, &ground, itemRay.distance, nullptr) &&
                 ground.distance < itemRay.distance);
    };
    for (int step = 0; step < 80 && !underCrosshair(); ++step) {
        MoveMouse(0, 4);
        Turn();
    }
    ASSERT_TRUE(underCrosshair());
    Tap(SDL_SCANCODE_E);
    EXPECT_TRUE(leader->OwnsItem(weapon));
    EXPECT_EQ(std::find(mission->level.looseItems.begin(), mission->level.looseItems.end(), weapon), mission->level.looseItems.end());
}

#include "characters/ai/WaypointGraph.h"

TEST_F(MissionPlayTest, TheLeaderRunsOverTheHillsAroundTheStartWithoutHurtingHimself)
{
    // Running down a hillside, the leader keeps to the ground and takes no fall damage, at a
    // smooth frame rate and at a slow one (the longest frame the mission takes whole). Each run
    // heads out from the start over dry ground, away from the lake.
    Settle();
    Player* leader = Leader();
    ASSERT_NE(leader, nullptr);
    const Vector3 home = leader->position;
    struct Case {
        float frame;
        float heading; // radians: 0 north (+z), pi/2 east (+x)
    };
    const Case cases[] = {{FrameSeconds, 0.0f},   {FrameSeconds, 0.785f}, {FrameSeconds, 1.571f},
                          {FrameSeconds, 2.356f}, {FrameSeconds, 5.498f}, {0.24f, 0.0f},
                          {0.24f, 0.785f},        {0.24f, 1.571f},        {0.24f, 2.356f},
                          {0.24f, 5.498f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "frame " << c.frame << " s, heading " << c.heading);
        mission->frameClock = [frame = c.frame] { return frame; };
        leader->SetPosition(home.x, home.y, home.z);
        leader->PlaceAt(home.x, home.y, home.z);
        leader->SetYaw(c.heading);
        Turn(3);
        const int health = leader->health;
        const Vector3 start = leader->position;
        float highest = 0.0f;
        PushKey(SDL_SCANCODE_LSHIFT, true);
        PushKey(SDL_SCANCODE_W, true);
        for (int i = 0; i < int(4.0f / c.frame); ++i) {
            Turn();
            const Vector3& at = leader->position;
            const float ground = mission->GetGroundHeight(Vector3(at.x, at.y + 50.0f, at.z));
            highest = std::max(highest, at.y - leader->radii.y - ground);
        }
        PushKey(SDL_SCANCODE_W, false);
        PushKey(SDL_SCANCODE_LSHIFT, false);
        Turn(3);
        EXPECT_GT(Flat(start, leader->position), 30.0f);
        EXPECT_EQ(leader->health, health);
        EXPECT_LT(highest, 0.3f) << "his feet left the ground";
    }
}

TEST_F(MissionPlayTest, RunningOffTheMapsEdgeBringsTheLeaderBackToItsCentreStandingOnTheGround)
{
    Settle();
    Player* leader = Leader();
    ASSERT_NE(leader, nullptr);
    struct Case {
        const char* edge;
        float x, z, heading;
    };
    // On the rim's crest, which nobody reaches on foot from inside the map.
    const Case cases[] = {{"east", 315.0f, 0.0f, 1.5708f},
                          {"west", -315.0f, 0.0f, -1.5708f},
                          {"north", 0.0f, 315.0f, 0.0f},
                          {"south", 0.0f, -315.0f, 3.1416f}};
    const auto feetAboveGround = [&] {
        const Vector3& at = leader->position;
        return at.y - leader->radii.y - mission->GetGroundHeight(Vector3(at.x, at.y + 50.0f, at.z));
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edge);
        const float ground = mission->GetGroundHeight(Vector3(c.x, 500.0f, c.z));
        leader->SetPosition(c.x, ground + 4.0f, c.z);
        leader->PlaceAt(c.x, ground + 4.0f, c.z);
        leader->SetYaw(c.heading);
        Turn(3);
        const int health = leader->health;
        PushKey(SDL_SCANCODE_LSHIFT, true);
        PushKey(SDL_SCANCODE_W, true);
        bool back = false;
        for (int i = 0; i < 90 && !back; ++i) {
            Turn();
            back = std::hypot(leader->position.x, leader->position.z) < 5.0f;
        }
        PushKey(SDL_SCANCODE_W, false);
        PushKey(SDL_SCANCODE_LSHIFT, false);
        ASSERT_TRUE(back) << "still at " << leader->position.x << ", " << leader->position.z;
        EXPECT_NEAR(feetAboveGround(), 0.0f, 0.5f);
        Turn(30);
        EXPECT_NEAR(feetAboveGround(), 0.0f, 0.5f) << "he sank into the ground";
        EXPECT_EQ(leader->health, health);
    }
}
