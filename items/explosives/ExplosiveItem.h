#pragma once

#include <cstdint>
#include <memory>

#include "items/Item.h"
#include "items/explosives/ExplosiveRules.h"

class Sound3D;

// The explosives a soldier carries and then leaves in the world (the anti-personnel mine and the
// remote charge). What they share: the definition's explosion lines, laying the explosive in front
// of its owner, the gone-off state, the explosion itself and its two sounds.
//
// Its block behind the Item block is the ExplosiveBlock.
class ExplosiveItem : public Item {
public:
    ExplosiveItem();
    ~ExplosiveItem() override;

    // Subclasses bring their own per-frame logic.
    void UpdateTransform(float elapsed) override { (void)elapsed; }
    void Load(SaveStream* stream) override;
    void Save(SaveStream* stream) override;
    // Any damage sets it off; false once it has gone off.
    bool ApplyDamage(int amount, const Vector3& point, const Vector3& direction) override;
    bool OnHit(HitResult& hit, Bullet* bullet, int damage, const Vector3& point, const Vector3& normal) override;
    // An exploded explosive is not drawn and not hit.
    void Draw(Device* device) override;
    bool IntersectRay(HitResult& hit) override;
    void SetOwner(Character* newOwner) override;
    void StartLooseItemTimer() override;
    bool LiesDownWhenDropped() override { return false; }
    bool IsExplosive() override { return true; }

    // Marks the explosive as gone off; true when this call set the flag. A connected client that
    // does not host only asks the server: its own trigger leaves the flag clear, and the explosion
    // comes with the host's word. Subclasses run their explosion only when this answers true.
    virtual bool Detonate(bool notify);
    // The explosive's lines of the definition file.
    virtual void ReadParameters(const ItemDefinition& definition, bool withTriggerRadius);
    // Lays the held explosive 4 units in front of its owner, facing where the owner (or the local
    // player's camera, levelled) looks.
    virtual void Place();

    void PlayPlaceSound();
    // False (with a log line) when the sound cannot be loaded: the explosion goes on silently.
    bool PlayExplosionSound();
    // Whether the explosion sound has finished (or never started): the item may be deleted.
    bool ExplosionSoundDone();

    bool HasGoneOff() const { return block.goneOff; }
    float SkillMultiplier() const { return block.skill; }
    const ExplosiveParameters& Parameters() const { return parameters; }

protected:
    // The shared explosion: rolled damage and radius scaled by the skill, the blast from 2 units
    // behind the explosive along the direction, the AI's event, the sound and three effects. The
    // main effect stands at mainAt turned by mainTurn when given, else at the model raised by its
    // own height.
    void Explode(const Vector3& direction, const Vector3* mainAt = nullptr, const Matrix3* mainTurn = nullptr);
    Character* Placer() const;

    ExplosiveParameters parameters;
    ExplosiveBlock block;

private:
    std::unique_ptr<Sound3D> placeSound;
    int placeHandle = -1;
    std::unique_ptr<Sound3D> explosionSound;
    int explosionHandle = -1;
    bool explosionSoundTried = false;
};
