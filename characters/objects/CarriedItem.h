#pragma once

#include <cstdint>
#include <functional>

#include "characters/objects/GameObject.h"

class Character;
class Device;
struct HitResult;

// The face an item shows to the character that carries it. Items (weapons, explosives,
// vehicles and the rest) live in a library above the characters, so the character reaches them
// only through this class: the fields it reads or writes and the operations it calls, each with
// the behaviour of a plain item. The item library derives its Item from here and overrides what
// its classes do differently.
class CarriedItem : public GameObject {
public:
    static constexpr std::size_t kNameSize = 40;
    static constexpr std::size_t kBoneNameSize = 32;

    // What the owner's item selection and animation code branch on.
    enum Category { PlainItem = 0, Weapon = 1, Vehicle = 2, Flag = 3 };

    // objectType 2; no owner, no bone, no animation set, no previous owner or item.
    CarriedItem();
    // Leaves its owner's reach only through the owner; the owner never deletes an item it
    // merely carries.
    ~CarriedItem() override = default;

    // Health goes down by the amount, never below 0; the item took the hit.
    bool ApplyDamage(int amount, const Vector3& point, const Vector3& direction) override;

    // --- what every item does for its holder ---
    virtual void Draw(Device* device) { (void)device; }
    // Taken in hand / put away by the owner. Taking it in hand switches the owner to the item's
    // animation set when it has one.
    virtual void Select();
    virtual void Deselect() {}
    // The trigger: pressed (true when the item is now in use) and released.
    virtual bool BeginUse(bool forced);
    virtual void EndUse() { inUse = false; }
    virtual bool IsInUse() { return inUse; }
    // New owner or null; remembers the old owner's identifier in previousOwnerID.
    virtual void SetOwner(Character* newOwner);
    // Starts the delete timer of a dropped item. Only a network game with a delete delay sets
    // one, and the network settings live above this layer: the plain item sets none.
    virtual void StartLooseItemTimer() {}
    // How a drop treats the item: moved to the drop point, laid on its side, given a delete
    // time. True for a plain item.
    virtual bool MovesWhenDropped() { return true; }
    virtual bool LiesDownWhenDropped() { return true; }
    virtual bool ExpiresWhenDropped() { return true; }
    // A ray against the loose item's world model; a plain item has none and is never hit.
    virtual bool IntersectRay(HitResult& hit) { (void)hit; return false; }
    virtual void SetBoneIndex(int index) { boneIndex = index; }
    virtual float GetWeight() { return weight; }
    // The equipment slot class of the item's definition (0 first slot, 1 second, 2 the
    // others); -1 for an item without one.
    virtual int GetSlotKind() { return -1; }

    // --- what the holder asks of a weapon (category Weapon); a plain item answers no ---
    virtual bool IsWeapon() { return false; }
    // Rockets, grenades, mounted launchers: never preferred as the default weapon.
    virtual bool IsExplosive() { return false; }
    virtual bool IsGrenade() { return false; }
    virtual int GetMagazines() { return 0; }
    virtual void SetMagazines(int count) { (void)count; }

    // --- what the holder asks of a vehicle (category Vehicle) ---
    // The damage the last hit did to the vehicle; 0 means its armour took it all.
    virtual int GetLastDamage() { return 0; }
    // Percent of a hit the vehicle keeps from its riders (p = 1 - protection x 0.01).
    virtual float GetTroopProtection() { return 1.0f; }
    // The driver is about to put the vehicle away (select another item).
    virtual void OnDriverLeaving(Character* driver) { (void)driver; }
    // Half the x extent of the vehicle model's bounding box (its reach when it drives into
    // somebody) and the speed of its physics body.
    virtual float GetHalfWidth() { return 0.0f; }
    virtual float GetSpeed() { return 0.0f; }

    char name[kNameSize] = {};    // item (type) name
    char keyword[kNameSize] = {}; // type keyword of its definition
    std::int32_t itemID = 0;      // the level's item identifier
    std::int32_t animationSet = -1; // the holder's animation set while held, -1 none
    std::int32_t category = PlainItem;
    Character* owner = nullptr;   // null while the item lies in the world
    std::int16_t previousOwnerID = -1;
    std::int32_t boneIndex = -1;  // bone of the owner's model that carries it
    char boneName[kBoneNameSize] = {};
    std::int16_t previousItemID = -1; // item the owner held before this one
    std::int32_t noiseLevel = 0;
    std::int32_t visibility = 0;
    std::int32_t size = 0;
    bool inUse = false;
    bool mounted = false;
    bool actionLock = false; // the owner's bound actions are refused while set
    bool keyLock = false;
    float weight = 0.0f;
    std::uint32_t deleteTime = 0; // network clock, ms; 0 never
    std::int32_t frameTime = 0;
};

// Creates an item by its type name; registered by the layer that knows the item classes (the
// mission's item factory). Returns null for a name it does not know.
using CarriedItemFactory = std::function<CarriedItem*(const char* typeName)>;

// Replaces the factory; an empty one forgets it.
void SetCarriedItemFactory(CarriedItemFactory factory);

// The item of that type name, owned by the caller. An empty name, no factory or a name the
// factory does not know raises q3DError naming it, so a saved inventory never loads short.
CarriedItem* CreateCarriedItem(const char* typeName);
