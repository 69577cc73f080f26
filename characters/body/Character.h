#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "characters/objects/GameObject.h"
#include "characters/body/SampleRing.h"
#include "engine/scene/SceneNode.h"

class AnimatedModel;
class AnimationController;
class CarriedItem;
class D3DBitmap;
class D3DPrim;
class Device;
class qParticle;
class Sound3D;
struct HitResult;
struct Material;

// Base of every person and animal in a mission: the skinned body with its animation channels,
// posture and actions, orientation and aim, an inventory with one held item, lives, damage,
// burning and death, the steadiness of the aim, and the saved block. The soldier, enemy, neutral
// and animal classes build on it.
//
// A mission places one like this:
//     Character* c = new Character;            // or a subclass
//     c->LoadAnimationInfo();                   // the controller (the first one reads animinfo.txt)
//     c->LoadModel(device, "GameData/Models/us01.gr2");  // body, bones, speeds, and the sets
//     c->SetPosition(x, y, z);
//     c->collides = c->gravity = true;          // walks with collision and falls
// and then calls Update and Draw every frame. A saved game reads it back with Load over the same
// steps up to SetPosition.
class Character : public GameObject {
public:
    static constexpr int kChannelCount = 9;
    static constexpr int kAnimationCount = 102;
    static constexpr int kMaxVariations = 8;
    static constexpr int kActionCount = 45;
    static constexpr int kLoadoutCount = 6;
    static constexpr int kLoadoutNameSize = 40;
    static constexpr int kLevelsOfDetail = 3;
    static constexpr int kHeldItemBone = 0x7FFFFFFF; // lastHitBone when the ray hit the held item
    static constexpr std::uint16_t kNoBurner = 0xFFFF;

    enum Kind { PlainKind = 1, SquadKind = 2, EnemyKind = 4, NeutralKind = 8 };
    enum Role : int {
        Stationary = 0x01, Inactive = 0x02, Reinforcements = 0x04, Alarmer = 0x08, AlarmResponder = 0x10,
        Ally = 0x20, RunPatrol = 0x40, StationaryPatrol = 0x80,
    };
    enum Posture { Standing = 0, Crouching = 1, Prone = 2 };
    // Action flag bits.
    enum ActionFlag {
        ActionLocks = 0x01, ActionUsesHands = 0x02, ActionNoMovement = 0x04, ActionAlwaysAnimate = 0x08,
        ActionNoTurning = 0x10, ActionNoStance = 0x20, ActionNotRiding = 0x40,
    };
    // The bones the character looks up by name, in the order of its bone table.
    enum Bone {
        LeftFoot, RightFoot, Head, Hat, RightUpperArm, LeftUpperArm, RightForearm, LeftForearm, RightHand, LeftHand,
        RightFinger0, LeftFinger0, RightFinger1, LeftFinger1, RightClavicle, LeftClavicle, Neck, Spine3, Spine2,
        Spine1, Spine, Pelvis, RightThigh, LeftThigh, RightCalf, LeftCalf, RightToe, LeftToe, BoneCount
    };

    Character();
    ~Character() override;

    // The flag byte of each action.
    static std::uint8_t GetActionFlags(int action);
    // The animation an action requests on channel 0 (or 8) in a posture; -1 no change, and
    // whether it plays once and holds. Public for the tables' tests.
    struct ActionAnimation {
        int channel = 0;
        int animation = -1; // -1: the channel keeps what it plays
        bool once = false;
        bool hold = false;
    };
    static ActionAnimation GetActionAnimation(int action, int posture, bool alerted, bool burning);
    // The body region of a bone: 0 head, 1 torso, 2 left arm, 3 right arm, 4 left leg, 5 right leg.
    int GetBodyRegion(int bone) const;
    float GetBoneDamageFactor(int bone) const;
    int GetBoneIndex(Bone bone) const { return bones[bone]; }

    // --- scene node and game object ---
    void Load(SaveStream* stream) override;
    void Save(SaveStream* stream) override;
    void GetAimPoint(int kind, Vector3* point) override;
    void ResetHealth() override;

    // --- body and animations ---
    virtual void LoadAnimationInfo();
    // Body model at each level of detail ("<name>_LOD1.gr2", ...), bones, damage table, movement
    // speeds, the animation sets (loaded by the template, copied by the rest) and the face skins.
    virtual void LoadModel(Device* device, const char* modelPath);
    virtual void LoadAnimations(const char* folder, int set);
    virtual void SetPosition(float x, float y, float z);
    virtual bool Draw(Device* device);
    // The ambient a living character is drawn with at a distance from the camera: its own light
    // within 30, blended towards the world's light out to 60, and beyond that the world's light
    // while the mission culls by distance (its own otherwise). Colours packed 0xAARRGGBB.
    static std::uint32_t FadeWithDistance(std::uint32_t own, std::uint32_t worldLight, float distance,
                                          bool distanceCulling);
    virtual bool IntersectRay(HitResult& hit, int flags);
    int GetLastHitBone() const { return lastHitBone; }
    Vector3* GetVelocity() { return &velocity; }
    Vector3* GetLastMove() { return &lastMove; }
    void SetLoadoutNames(const char* const* names, int count);
    void ClearLoadoutNames();
    const char* GetLoadoutName(int index) const;

    // --- actions and postures ---
    virtual bool StartAction(int action, bool force);
    void PlayActionAnimation(int action);
    virtual void PostureNext(bool send);
    virtual void PosturePrevious(bool send);
    virtual void SetPosture(int target);
    void SetPostureValue(int value) { posture = value; }
    void SetPostureImmediate(int target);
    bool CanChangePosture(int target);
    bool HasRoomForPosture(int target);
    virtual void SnapToGround(bool snap);
    void RequestAnimationReset() { animationResetPending = true; }
    void SetAnimationSet(int set);
    int GetAnimationSet() const;

    // --- items ---
    virtual bool CanPickUp(CarriedItem* item);
    virtual bool PickUpItem(CarriedItem* item, bool force);
    virtual void DropItem(CarriedItem* item, const Vector3& point);
    virtual void SelectItem(CarriedItem* item);
    void SelectItemByID(std::int16_t id);
    void SelectItemIfNewer(CarriedItem* item, std::uint32_t sequence);
    bool OwnsItem(CarriedItem* item) const;
    virtual bool UseHeldItem(bool force);
    void StopUsingHeldItem();
    // The entry of item (null: the first); the entry after item's (null: the last).
    CarriedItem* FindItem(CarriedItem* item) const;
    CarriedItem* FindNextItem(CarriedItem* item) const;
    CarriedItem* FindItemByName(const char* name) const;
    CarriedItem* FindItemByType(int itemID) const;
    CarriedItem* FindFlag() const;
    CarriedItem* GetPrimaryWeapon() const;
    CarriedItem* GetSecondaryWeapon() const;
    virtual void SelectDefaultItem();
    // Brings the held item out into the hands again (its selection runs anew and it is drawn);
    // with nothing held, the default item.
    void TakeOutHeldItem();
    virtual int GetController() { return 2; }
    virtual void DeleteInventory();
    const std::vector<CarriedItem*>& GetInventory() const { return inventory; }
    CarriedItem* GetHeldItem() const { return heldItem; }

    // --- lives ---
    int GetLives() const { return lives; }
    void SetLives(int n) { lives = std::uint8_t(n); }
    void UseLife();
    virtual void ResetLives();
    int GetRespawnTime() const { return respawnTime; }
    // Dead, but a networked death set a respawn time and a life is left: the mission brings the
    // character back.
    bool IsAboutToRespawn() const { return health <= 0 && respawnTime != 0 && lives != 0; }
    // Alive and in play: an Inactive character waits for its trigger and cannot be aimed at.
    bool IsTargetable() const { return health > 0 && !(roles & Inactive); }

    // --- orientation and view ---
    bool IsRiding() const { return moveMode == 2; }
    void AttachToModel(SceneNode* node);
    bool HasAttachments() { return attachNode.GetChildCount() > 0; }
    virtual void CycleViewMode();
    void GetHeadPosition(Vector3* out);
    Vector3 GetPelvisPosition();
    float GetPitch() const { return pitch; }
    float GetYaw() const;
    void SetPitch(float radians);
    void SetYaw(float radians);
    virtual float GetTurnInputX() { return 0.0f; }
    virtual float GetTurnInputY() { return 0.0f; }
    virtual float GetCarriedWeight() { return 30.0f; }
    void ResetPosition();
    void PlaceAt(float x, float y, float z);
    void MoveTo(float x, float y, float z);
    // Turns the body model relative to the character (a mounted gunner, a body in a seat).
    void SetModelOrientation(const Matrix3& orientation) { bodyNode.rotation = orientation; }
    Vector3 GetPointInFront(float reach) const;
    float GetMotionSampleMean() const { return motionSamples.Mean(); }
    bool IsStunned() const { return stunTime > 0.0f; }

    // --- steadiness ---
    virtual void UpdateSteadiness(float elapsed);
    virtual float GetSteadiness() const { return steadiness; }
    void SetSteadiness(float value) { steadiness = value; }
    void ReduceSteadiness(float amount);
    bool IsCommanding() const { return commanding; }

    // --- damage and the frame ---
    virtual bool OnHit(int amount, const Vector3& point, const Vector3& direction, HitResult* record, int weapon,
                       int flag, const char* weaponName);
    virtual bool Die(bool notify, int killerID, int weapon, const char* weaponName);
    virtual void TakeDamage(int amount, const Vector3& point, const Vector3& direction, HitResult* record,
                            int weaponID, int attackerID, bool shortForm);
    bool IsProtected() const { return protectionTime > 0.0f; }
    void SetProtectionTime(float seconds) { protectionTime = seconds; }
    void Extinguish();
    void SetOnFire(float seconds, std::uint16_t burner);
    void MoveWithCollision(float elapsed, bool applyX, bool applyY, bool applyZ, const Vector3& movement);
    // A network position for a character driven elsewhere; false when it was refused.
    bool ApplyRemoteMove(float x, float y, float z, std::uint32_t timeStamp, std::uint32_t sequence);
    virtual void Update(float elapsed) override;
    virtual void UpdateTurning(float elapsed);
    virtual void UpdateMapObjectContacts(float elapsed);
    // Plays the brushed map object's sound for the character at the point: another sound it was
    // playing stops; the sound is heard from 20 to 300 units at full level and then fades.
    void PlayProximitySound(Sound3D* sound, const Vector3& point);
    // One of the character's sounds plays (it makes the character easier to hear).
    bool IsPlayingSound() const { return proximityHandle != -1; }
    virtual void UpdateAnimationState(float elapsed, bool animate);
    // An inactive reinforcement enemy was called in by its trigger (already alerted): the soldier
    // takes the nearest squad member within 1000 as its target and moves to it. A body without AI
    // has nothing more to do.
    virtual void CallAsReinforcement() {}

    AnimationController* GetAnimation() const { return animation.get(); }
    AnimatedModel* GetModel() const { return model; }
    AnimatedModel* GetLevelModel(int level) const { return level == 0 ? model : lodModels[std::size_t(level)].get(); }
    SceneNode& GetAimNode() { return aimNode; }
    SceneNode& GetAttachNode() { return attachNode; }
    const SceneNode* GetBodyNode() const { return &bodyNode; }
    // Reads "GameData/Models/movespeeds.txt" (a client copy reads the server's under "MultiTXT/");
    // throws q3DError "Can't open %s" when it cannot be opened. LoadModel calls it.
    void LoadMoveSpeeds();
    float GetStepLength(int foot, int animation) const;
    float GetSpeedLine(int line) const;

    // Fields read by the AI, the items and the mission (names as the rest of the game uses them).
    int moveMode = 0;
    float pitch = 0.0f;
    float torsoYaw = 0.0f;
    float hurtTime = 0.0f;
    std::uint8_t team = 0;
    bool collides = false;
    bool drawBody = true;
    bool drawHeldItem = true;
    bool gravity = false;
    bool alerted = false;
    bool postureLocked = false;
    bool turnLocked = false;
    bool selected = false;
    Vector3 moveInput;
    Vector3 velocity;
    SampleRing speedSamples{};
    SampleRing motionSamples{};
    Vector3 lastMove;
    Vector3 radii{2.7f, 3.0f, 2.7f};
    Vector3 lastHitPoint;
    Vector3 lastHitDirection;
    std::uint16_t burnerID = kNoBurner;
    char loadoutNames[kLoadoutCount][kLoadoutNameSize] = {};
    int overkill = 0;
    std::uint8_t lives = 255;
    int respawnTime = 0;
    Vector3 lastSetPosition;
    std::uint32_t lastSelectSequence = 0;
    float steadiness = 1.0f;
    float turnAngle = 0.0f;
    float turnRate = 0.0f;
    float fallRate = 1.0f;
    float attachOffset = 7.0f;
    float seatRaise = 0.0f;
    float burnTime = 0.0f;
    float stunTime = 0.0f;
    float protectionTime = 0.0f;
    bool swimming = false;
    int roles = 0;
    int activationTrigger = -1;
    int posture = Standing;
    int viewMode = 1;
    int savedViewMode = 1;
    int previousAction = 0;
    int currentAction = 0;
    int kind = PlainKind;
    int lastHitBone = -1;
    bool actionLocked = false;
    bool running = false;
    Character* nearbyCharacter = nullptr;
    bool commanding = false;
    bool resetByte = false; // the byte ResetHealth clears, carried by the saved block
    float loadCountdown = 0.0f; // set to 0.4 s by Load; the subclasses read it

    // Damage and the frame.
    float burnTick = 0.0f;
    bool deathSettled = false;
    Sound3D* proximitySound = nullptr; // the brushed map object's sound, not owned
    int proximityHandle = -1;
    float proximityLevel = 0.0f;
    std::function<void()> deathTrigger; // fires the mission trigger linked to the death
    bool ammoMergePending = false;
    std::uint32_t lastMoveSequence = 0;
    float moveCorrectionTime = 0.0f;
    float moveCorrection = 0.0f;
    float glideTime = 0.0f;
    float glideVelocity[2] = {0.0f, 0.0f};
    // The proximity test of the mission trigger linked to the character, run each frame with the
    // character's position and that of the mission's current player soldier.
    std::function<void(const Vector3& position, const Vector3& playerPosition)> triggerProximity;
    // Whether the mission trigger that activates an Inactive or Stationary character has fired.
    std::function<bool(int trigger)> isTriggerFired;

    // Drawing.
    std::array<D3DBitmap*, kLevelsOfDetail> baseSkins{};
    D3DBitmap* blinkSkin = nullptr;
    D3DBitmap* firingSkin = nullptr;
    std::array<Material*, kLevelsOfDetail> lodMeshes{}; // the face material of each level
    float blinkTime = 4.0f;
    int lod = 0;
    std::uint32_t lightColour = 0;
    std::array<float, 128 * 3> lightHistory{};
    int lightHistoryNext = 0;
    std::uint8_t markerColour[3] = {0, 0, 0};
    bool castShadow = true;
    bool noCulling = false;
    float swimBlend = 0.0f;
    float bob = 0.0f;

protected:
    void SetRadiiForPosture();
    void RebuildAimRotation();
    void UpdateEyeHeight(float elapsed);
    void UpdateBurning(float elapsed);
    void UpdateSwimming();
    void RescueBelowWorld(float waterHeight, float groundHeight);
    void TestContacts(Vector3& movement);
    void ChooseStanceAnimation();
    void MergeAmmoBelts();
    void LoadFaceSkins(Device* device);
    void ReleaseSkins();
    void CreateFootShadow(Device* device);
    void DrawFootShadows(Device* device);
    bool IsFar() const;
    float HalfMapWidth() const;
    float HalfMapDepth() const;

    std::unique_ptr<AnimationController> animation;
    std::vector<CarriedItem*> inventory;
    CarriedItem* heldItem = nullptr;
    AnimatedModel* model = nullptr; // owned by the controller
    std::array<std::unique_ptr<AnimatedModel>, kLevelsOfDetail> lodModels;
    SceneNode bodyNode;  // carries the body model; child of the character
    SceneNode aimNode;   // pitch and torso turn; child of the character
    SceneNode attachNode; // items and attachments; child of aimNode
    std::unique_ptr<qParticle> fireEffect;
    std::unique_ptr<qParticle> smokeEffect;
    bool fireRunning = false;
    D3DPrim* footShadow = nullptr;
    Material* footShadowMaterial = nullptr;
    D3DBitmap* footShadowBitmap = nullptr;
    Device* device = nullptr;
    std::array<int, BoneCount> bones{};
    std::vector<float> boneDamage; // bone count + 1 entries
    std::vector<float> stepLengths[2]; // per animation, one table a foot, from movespeeds.txt
    std::vector<float> speedLines;     // the third number of each movespeeds line
    bool animationResetPending = false;
    float footstepDistance = 0.0f;
    int footDue = 0;
    float bobDirection = 1.0f;
    float previousTurnAngle = 0.0f;
    float eyeHistory[3] = {3.4e38f, 3.4e38f, 3.4e38f};
    int cellColumn = 0;
    int cellRow = 0;
    float turningTimer = 0.0f;
    float stillTimer = 0.0f;
    float rememberedRate = 0.0f;
    float turningPlayed = 0.0f;
    float catchUpDistance = 0.0f;
    bool proximityRenewed = false; // a brushed sound started or renewed since the last contact pass
    std::vector<class MapObject*> nearbyObjects; // scratch list of the contact test
};
