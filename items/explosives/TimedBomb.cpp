#include "items/explosives/TimedBomb.h"

#include "app/framework/Application.h"
#include "characters/body/Character.h"
#include "characters/level/LevelScene.h"
#include "characters/level/RunningLevel.h"
#include "engine/core/EngineLog.h"
#include "engine/core/q3DError.h"
#include "engine/serial/SaveStream.h"
#include "items/Item.h"
#include "items/ItemServices.h"
#include "items/projectiles/Flight.h"
#include "media/Sound3D.h"

namespace {

constexpr int kExplosivesSkill = 5;
constexpr const char* kExplosionSound = "Gamedata/Items/C4/Explosion.wav";

std::unique_ptr<Sound3D> MakeSound(const char* path, float maximum, float minimum)
{
    auto sound = std::make_unique<Sound3D>();
    if (sound->Create(Application::Instance()->GetSoundSystem(), path) < 0)
        throw q3DError("Can't load %s", path);
    sound->SetDistances(maximum, minimum, Sound::NoPlay);
    return sound;
}

Item* FindItem(std::uint16_t id)
{
    return dynamic_cast<Item*>(GameObject::GetByID(std::int16_t(id)));
}

} // namespace

TimedBomb::TimedBomb()
{
    typeCode = TimedBombType;
}

TimedBomb::TimedBomb(std::uint16_t chargeID)
{
    typeCode = TimedBombType;
    weaponID = chargeID;
    if (Item* charge = FindItem(chargeID))
        if (charge->owner)
            placer = std::uint16_t(charge->owner->GetID());
    MakeSounds();
}

TimedBomb::~TimedBomb() = default;

void TimedBomb::MakeSounds()
{
    shortBeep = MakeSound("Gamedata/Items/C4/beepshort01.wav", 400.0f, 20.0f);
    longBeep = MakeSound("Gamedata/Items/C4/beeplong01.wav", 400.0f, 20.0f);
    ticking = MakeSound("Gamedata/Items/C4/tic_toc.wav", 400.0f, 15.0f);
    ticking->SetPosition(position.x, position.y, position.z, Sound::NoPlay);
    tickingHandle = ticking->Play(Sound::KeepVolume, 0);
    clock.beepCountdown = 1.0f;
}

void TimedBomb::UpdateTransform(float elapsed)
{
    if (!active)
        return;
    Item* charge = FindItem(weaponID);
    if (explosionSound) {
        if (!explosionSound->IsPlaying(explosionHandle)) {
            if (charge)
                RunningLevel::Scene().DeleteItem(charge);
            explosionSound.reset();
            active = false;
        }
        return;
    }
    if (!charge) {
        active = false;
        return;
    }
    if (charge->owner) {
        if (!RunningLevel::Scene().IsNetworkGame())
            if (Application* application = Application::Instance())
                application->ShowMessage(2000, "You deffused the bomb");
        active = false;
        return;
    }
    position = charge->position;
    if (ticking)
        ticking->SetPosition(position.x, position.y, position.z, tickingHandle);
    const BombCountdown::Frame frame = clock.Step(elapsed);
    if (frame.shortBeep && shortBeep) {
        shortBeep->SetPosition(position.x, position.y, position.z, Sound::NoPlay);
        shortBeep->Play();
    }
    if (frame.longBeep && longBeep) {
        longBeep->SetPosition(position.x, position.y, position.z, Sound::NoPlay);
        longBeepHandle = longBeep->Play();
        if (ticking)
            ticking->Stop(tickingHandle);
    }
    if (frame.explode)
        Explode(charge);
}

void TimedBomb::Explode(Item* charge)
{
    StartParticleEffect("Gamedata/fx/GroundExp/GroundExp.par", position, nullptr);
    StartParticleEffect("Gamedata/fx/grenade_smoke.par", position, nullptr);
    auto sound = std::make_unique<Sound3D>();
    const bool heard = sound->Create(Application::Instance()->GetSoundSystem(), kExplosionSound) >= 0;
    if (heard) {
        sound->SetDistances(ProjectileReach(), 200.0f, Sound::NoPlay);
        sound->SetPosition(position.x, position.y, position.z, Sound::NoPlay);
        explosionHandle = sound->Play();
        explosionSound = std::move(sound);
        if (longBeep && longBeepHandle != -1)
            longBeep->Stop(longBeepHandle);
    } else {
        // Without its sound the bomb still goes off, silently; the bomb then ends at once.
        LogToEngine("Error loading %s", kExplosionSound);
    }
    RunningLevel::Scene().RemoveLooseItem(charge);
    Character* who = dynamic_cast<Character*>(GameObject::GetByID(std::int16_t(placer)));
    ItemServices& services = LevelItemServices();
    services.AddEvent(position, 250.0f, who, 0.5f, false);
    const float skill = (who ? ItemsGetSkill(who, kExplosivesSkill) : 0.0f) + 0.5f;
    services.ApplyExplosion(position, int(5000.0f * skill), 50.0f * skill, who, true, weaponID, Vector3(), 180.0f);
    if (!heard) {
        RunningLevel::Scene().DeleteItem(charge);
        active = false;
    }
}

void TimedBomb::Save(SaveStream* stream)
{
    identity.Save(stream);
    Bullet::Save(stream);
    TimedBombBlock{clock.timeLeft, clock.beepCountdown, placer}.Write(*stream);
}

void TimedBomb::Load(SaveStream* stream)
{
    identity.Load(stream);
    Bullet::Load(stream);
    if (typeCode != TimedBombType)
        throw q3DError("Unknown projectile type %d in saved game", typeCode);
    TimedBombBlock read;
    read.Read(*stream);
    clock.timeLeft = read.timeLeft;
    clock.beepCountdown = read.beepCountdown;
    placer = read.placer;
    if (!ticking)
        MakeSounds();
    clock.beepCountdown = read.beepCountdown;
}
