#pragma once

#include <cstdint>
#include <memory>

#include "characters/objects/GameObject.h"
#include "items/explosives/ExplosiveRules.h"
#include "items/projectiles/Bullet.h"

class Sound3D;

// The ticking bomb of a placed timed charge: a projectile (saved type 200) whose weaponID is the
// charge's object identifier. It beeps faster as its time runs out and explodes unless the charge
// has an owner again (defused). It carries a game object for its network identifier.
//
// Its saved block: the GameObject block, the Bullet block, then the TimedBombBlock.
class TimedBomb : public Bullet {
public:
    // For the saved-game reader: the sounds are made when the block has been read.
    TimedBomb();
    // Throws q3DError "Can't load %s" when one of its sounds cannot be made.
    explicit TimedBomb(std::uint16_t chargeID);
    ~TimedBomb() override;

    void UpdateTransform(float elapsed) override;
    bool Draw(Device* device) override { (void)device; return false; }
    void Save(SaveStream* stream) override;
    void Load(SaveStream* stream) override;

    void SetTimer(float seconds) { clock.timeLeft = seconds; }
    void SetPlacer(std::uint16_t id) { placer = id; }
    const BombCountdown& Clock() const { return clock; }
    bool HasExploded() const { return clock.exploded; }

private:
    void MakeSounds();
    void Explode(Item* charge);

    GameObject identity;
    std::uint16_t placer = 0xFFFF;
    BombCountdown clock;
    std::unique_ptr<Sound3D> explosionSound;
    std::unique_ptr<Sound3D> shortBeep;
    std::unique_ptr<Sound3D> longBeep;
    std::unique_ptr<Sound3D> ticking;
    int explosionHandle = -1;
    int longBeepHandle = -1;
    int tickingHandle = -1;
};
