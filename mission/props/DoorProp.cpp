#include "mission/props/DoorProp.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/framework/Application.h"
#include "engine/core/q3DError.h"
#include "media/Sound3D.h"
#include "mission/props/CharacterProps.h"
#include "world/map/MapObject.h"
#include "world/props/PropArena.h"

namespace {

constexpr float kQuarterTurn = 1.5707964f;
constexpr const char* kSeparators = " \t\r\n";

// The sound of one door side, or null for a line without its file.
std::unique_ptr<Sound3D> LoadDoorSound(const char* file, const char* side)
{
    if (!file)
        return nullptr;
    Application* application = Application::Instance();
    auto sound = std::make_unique<Sound3D>();
    if (sound->Create(application ? application->GetSoundSystem() : nullptr, file) < 0)
        throw q3DError("Can't load door %s sound %s: %s", side, file, sound->GetErrorText());
    sound->maximumDistance = 300.0f;
    sound->minimumDistance = 20.0f;
    sound->loopCount = 1;
    return sound;
}

} // namespace

PtrListOf<DoorProp>& DoorPropList()
{
    static PtrListOf<DoorProp> list;
    return list;
}

DoorProp::DoorProp() = default;

DoorProp::~DoorProp()
{
    if (listed)
        DoorPropList().Remove(this);
}

std::uint32_t DoorProp::Parse(MapObject* carrier, const char* line)
{
    object = carrier;
    char copy[256];
    std::snprintf(copy, sizeof copy, "%s", line ? line : "");
    char* rest = nullptr;
    strtok_r(copy, kSeparators, &rest); // the keyword
    const char* words[6] = {};
    for (const char*& word : words)
        word = strtok_r(nullptr, kSeparators, &rest);
    if (words[0])
        open = ReadPropWhole(words[0]) != 0;
    if (words[1]) {
        const float read = std::strtof(words[1], nullptr);
        // A speed that is not finite, or beyond any sensible turn, keeps the default.
        if (std::isfinite(read) && std::fabs(read) <= 1000.0f)
            speed = read;
    }
    if (words[2])
        locked = ReadPropWhole(words[2]) != 0;
    if (words[3])
        number = ReadPropWhole(words[3]);
    openSound = LoadDoorSound(words[4], "open");
    closeSound = LoadDoorSound(words[5], "close");
    if (carrier) {
        baseRotation = carrier->GetRotation();
        if (openSound || closeSound) {
            const Vector3 at = carrier->GetPosition();
            for (Sound3D* sound : {openSound.get(), closeSound.get()})
                if (sound)
                    sound->position = at;
        }
    }
    angle = open ? speed * kQuarterTurn : 0.0f;
    Turn();
    if (!listed) {
        DoorPropList().AddHead(this);
        listed = true;
    }
    return GetFlags();
}

void DoorProp::Turn()
{
    if (!object)
        return;
    Matrix3 turn;
    turn.FromAxisAngle(angle, Vector3(0.0f, 1.0f, 0.0f));
    object->SetRotation(baseRotation * turn);
}

void DoorProp::PlayAt(Sound3D* sound)
{
    if (!sound || !object)
        return;
    const Vector3 at = object->GetPosition();
    sound->SetPosition(at.x, at.y, at.z, Sound::NoPlay);
    sound->Play();
}

bool DoorProp::Toggle()
{
    if (locked || moving)
        return false;
    open = !open;
    moving = 1;
    PlayAt(open ? openSound.get() : closeSound.get());
    return true;
}

void DoorProp::Update(MapObject*, float dt)
{
    const float before = angle;
    if (open) {
        if (std::fabs(angle) != kQuarterTurn) {
            angle += dt * speed * 2.0f;
            if (speed > 0.0f && angle > kQuarterTurn) {
                angle = kQuarterTurn;
                moving = 0;
            } else if (speed < 0.0f && angle < -kQuarterTurn) {
                angle = -kQuarterTurn;
                moving = 0;
            }
        }
    } else if (angle != 0.0f) {
        angle -= dt * speed * 2.0f;
        if ((speed > 0.0f && angle < 0.0f) || (speed < 0.0f && angle > 0.0f)) {
            angle = 0.0f;
            moving = 0;
        }
    }
    // A door already at its end (or one of speed 0) has nothing left to turn.
    if ((open && std::fabs(angle) == kQuarterTurn) || (!open && angle == 0.0f) || speed == 0.0f)
        moving = 0;
    if (angle != before)
        Turn();
}

void DoorProp::SetState(bool isOpen, bool isMoving, bool isLocked, float newAngle)
{
    open = isOpen;
    moving = isMoving;
    locked = isLocked;
    angle = std::isfinite(newAngle) ? newAngle : 0.0f;
    Turn();
}

void DoorProp::Detach(MapObject*)
{
    openSound.reset();
    closeSound.reset();
    if (listed)
        DoorPropList().Remove(this);
    listed = false;
}

Prop* DoorPropFactory()
{
    return MakeArenaProp<DoorProp>(&DoorPropFactory);
}
