#pragma once

// The running demo mission with its controlled soldier, driven as the player drives it: the keys
// and mouse buttons of the options' key table into the application, fixed frames of 1/30 s, and a
// hostile soldier to stand in front of the guns.

#include "tests/mission/MissionFixture.h"

#include "app/framework/Options.h"
#include "campaign/CampaignState.h"
#include "characters/body/Character.h"
#include "characters/player/PlayerControls.h"
#include "characters/level/RunningLevel.h"
#include "characters/player/Player.h"
#include "engine/camera/Camera.h"
#include "engine/core/HitResult.h"
#include "items/Item.h"
#include "mission/rules/Squad.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>

// The running level's controls with the mouse resting at the centre of the window: headless, the
// window cannot warp the pointer back there, so the view would turn by the same offset every
// frame. The rest is the level's below; installed for its lifetime, which the level's must outlast.
class RestingPointer : public PlayerControls {
public:
    float CameraFieldOfView() override { return below.CameraFieldOfView(); }
    void SetCameraFieldOfView(float radians) override { below.SetCameraFieldOfView(radians); }
    bool HeldItemInput(CarriedItem* item, int kind, int value) override { return below.HeldItemInput(item, kind, value); }
    bool TakePointerOffset(int* dx, int* dy) override
    {
        *dx = *dy = 0;
        return true;
    }
    bool IsInputBlocked() override { return below.IsInputBlocked(); }
    bool IsMovementFrozen() override { return below.IsMovementFrozen(); }

private:
    PlayerControls& below = RunningLevel::Controls();
    RunningLevel level{{.controls = this}};
};

class WeaponPlayFixture : public MissionFixture {
protected:
    static constexpr float kFrame = 1.0f / 30.0f;
    static constexpr int kLeftButton = 0, kRightButton = 1;

    void SetUp() override
    {
        MissionFixture::SetUp();
        UseDemoData();
        Options::Instance()->ResetKeys();
        // Hits count by the body part they strike.
        Options::Instance()->SetOption(Options::DamageRealism, 1);
        MissionState::Instance()->findItemDefinition = CampaignState::LookUpItemDefinition;
        application = Application::Instance();
        application->SetFrameClock([] { return kFrame; });
        mission = StartMission();
        ASSERT_NE(mission->roster.localSquad, nullptr) << Log();
        leader = mission->roster.localSquad->GetMember(0);
        ASSERT_EQ(mission->roster.controlledCharacter, static_cast<Character*>(leader));
        // The map's own enemies go: the cases place their targets themselves, and a patrol that
        // finds the squad would shoot the soldier in the middle of a case.
        mission->RemoveMapPopulation();
        restingPointer.emplace();
        Frames(2);
    }

    void TearDown() override
    {
        RemoveTarget();
        restingPointer.reset();
        if (mission && mission->IsLevelPresent())
            mission->UnloadLevel();
        MissionState::Instance()->findItemDefinition = nullptr;
        MissionFixture::TearDown();
    }

    void Frames(int count)
    {
        for (int i = 0; i < count; ++i)
            application->Update();
    }

    // Frames until the condition holds, at most the given number; true when it held.
    template <typename Condition>
    bool FramesUntil(int most, Condition condition)
    {
        for (int i = 0; i < most; ++i) {
            if (condition())
                return true;
            application->Update();
        }
        return condition();
    }

    static int KeyFor(int action) { return Options::Instance()->GetKeyForAction(action); }

    // The bound key or button of an action pressed or released, as the window sends them.
    void SendAction(int action, bool pressed)
    {
        const int key = KeyFor(action);
        const bool button = key >= 1 && key <= 7; // key codes 1 to 7 are the mouse buttons 0 to 6
        if (button && pressed)
            application->MouseDown(key - 1, 400, 300);
        else if (button)
            application->MouseUp(key - 1, 400, 300);
        else if (pressed)
            application->KeyDown(key);
        else
            application->KeyUp(key);
    }

    void PressAction(int action) { SendAction(action, true); }
    void ReleaseAction(int action) { SendAction(action, false); }

    void TapAction(int action)
    {
        PressAction(action);
        ReleaseAction(action);
    }

    // The item made by the mission's factory and taken up by the controlled soldier.
    Item* Give(const char* name)
    {
        Item* item = mission->CreateItem(name);
        if (!item)
            return nullptr;
        if (!mission->PickUpFlag(item, leader, false)) {
            delete item;
            return nullptr;
        }
        return item;
    }

    // Levels the controlled soldier's view and turns it to the yaw; the camera follows in a frame.
    void Face(float yaw, float pitch = 0.0f)
    {
        leader->SetYaw(yaw);
        leader->SetPitch(pitch);
        Frames(1);
    }

    HitResult CenterRay()
    {
        HitResult ray;
        ray.Clear();
        mission->GetCenterRay(ray);
        return ray;
    }

    // A hostile soldier of the demo model standing in the world, in the mission's character list.
    Character* NewTarget(const Vector3& position)
    {
        RemoveTarget();
        target = std::make_unique<Character>();
        target->LoadAnimationInfo();
        target->LoadModel(device, "GameData/Models/us01.gr2");
        target->team = 1;
        target->health = 100;
        target->SetPosition(position.x, position.y, position.z);
        target->SetParent(mission->level.root.get());
        mission->level.characters.push_back(target.get());
        target->Update(0.0f);
        return target.get();
    }

    void RemoveTarget()
    {
        if (!target)
            return;
        auto& list = MissionState::Instance()->level.characters;
        list.erase(std::remove(list.begin(), list.end(), target.get()), list.end());
        target->Detach();
        target.reset();
    }

    Application* application = nullptr;
    MissionState* mission = nullptr;
    Player* leader = nullptr;
    std::optional<RestingPointer> restingPointer;
    std::unique_ptr<Character> target;
};
