#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "characters/body/SampleRing.h"
#include "characters/ai/Soldier.h"
#include "characters/player/SquadRoster.h"

class Sound2D;
class Sound3D;

// Squad orders and fire modes of the player's squad members.
enum SquadOrder { OrderFollow = 0, OrderHoldPosition = 1, OrderMoveToPoint = 2, OrderMoveFinished = 3 };
enum FireMode { FireAtWill = 0, HoldFire = 1, AttackOrderedTarget = 2 };

// A soldier of a squad that a human leads. One member at a time is driven by the local human (its
// controller says so), the others carry out the squad's orders; control passes between members.
//
// The saved block (after the soldier's): version 4; squad number (int16); the squad's identifier
// (16-bit, 0xFFFF none); the map property byte; order, fire mode, join trigger (int32 each); join
// nearest squad (1); stamina, normal field of view (floats).
class Player : public Soldier {
public:
    static constexpr int kComputer = 2;
    static constexpr int kLocalHuman = 0;
    static constexpr std::uint8_t kBlockVersion = 4;
    static constexpr const char* kFallbackModel = "GameData/Models/us01";

    // A slot of 10 or more is stored less 10 with the high slot flag set. The model name is a path
    // without suffix; a model whose "<name>_lod1.gr2" is missing loads the fallback model. The
    // team is set afterwards (SetTeam).
    Player(int slot, int controller, SquadRoster* squad, const char* const* loadout, const char* modelName);
    ~Player() override;

    // The model a name loads: the name itself, or the fallback when its level-1 file is missing.
    static std::string ResolveModelName(const char* modelName);

    void Load(SaveStream* stream) override;
    void Save(SaveStream* stream) override;
    bool Draw(Device* device) override;
    bool StartAction(int action, bool force) override;
    void DropItem(CarriedItem* item, const Vector3& point) override;
    int GetController() override { return controller; }
    bool Die(bool notify, int killerID, int weapon, const char* weaponName) override;
    void TakeDamage(int amount, const Vector3& point, const Vector3& direction, HitResult* record, int weaponID,
                    int attackerID, bool shortForm) override;
    float GetTurnInputX() override { return yawRateRing.Mean(); }
    float GetTurnInputY() override { return pitchRateRing.Mean(); }
    float GetCarriedWeight() override;
    float GetSkill(int index) override;
    float GetAccuracyAdjustment() override;
    void Update(float elapsed) override;

    // The lives of the server settings in a network game, else unlimited (255).
    void ResetLives() override;
    // The aim steadiness, 80 % of it while stamina is below 10.
    float GetSteadiness() const override;
    // The damage left after the difficulty, the damage-realism option and the toughness.
    int ScaleDamage(int amount);

    // --- voices ---
    // The soldier's voice set (the mission's number for its slot, never below 0).
    int GetVoiceSet() const;
    // A kill line, unless one still plays, the set has none, or the squad is a lone soldier.
    void SayVoiceLine();
    void PlayOrderVoice(Sound2D* sample);

    // --- squad membership ---
    void JoinSquad(Player* member);
    void LeaveSquad();
    // A squad number of -1 (none) or a player slot 0..31; others are ignored.
    void SetSquadNumber(std::int16_t number);
    // Teams 1 to 8; others are ignored.
    void SetTeam(int newTeam);
    void SetDirectTurnTime(float seconds) { directTurnTime = seconds; }
    SquadRoster* GetSquad() const { return squad; }
    int GetSquadSlot() const { return squadSlot; }

    // --- orders, selection and command mode ---
    bool HandleAction(int action);
    bool OnKeyDown(int key);
    bool OnMouseButton(int button, int x, int y, int extra);
    int OnCommandClick(int x, int y, int button);
    int OnMouseWheel(int direction, int a, int b);
    bool NotInCommandMode() const { return viewMode != 2; }
    bool SwitchToSquadMember(int index, SquadRoster* toSquad, bool forced);
    void SetOrder(int newOrder);
    bool OrderMoveTo(const Vector3& point);
    void DropAllItems();
    CarriedItem* GetVehicle();

    // --- the frame ---
    void CycleViewMode() override;
    void RecoverStamina(bool notify);
    void ApplyRemoteAim(float newPitch, float newYaw, float yawRate, float pitchRate, std::uint32_t timeStamp,
                        std::uint32_t sequence, std::uint8_t bits);
    void RecordSentView(float sentPitch, float sentYaw, float yawRate, float pitchRate, std::uint32_t time);

    int joinTrigger = -1;
    std::uint8_t joinNearestSquad = 0;
    float toughnessOverride = -1.0f;
    int squadSlot = 0;
    int controller = kComputer;
    int underFire = 0;
    SquadRoster* squad = nullptr;
    float stamina = 100.0f;
    std::uint8_t highSlot = 0;
    std::uint8_t diedWhileControlled = 0;
    SceneNode attachmentNode;
    float lastFrameTime = 0.0f;
    SampleRing yawRateRing{};
    SampleRing pitchRateRing{};
    float yawRate = 0.0f;
    float pitchRate = 0.0f;
    std::uint8_t receivedBits = 0;
    float sentPitch = 0.0f, sentYaw = 0.0f, sentYawRate = 0.0f, sentPitchRate = 0.0f;
    std::uint32_t sentTime = 0;
    float sendPause = 0.0f;
    std::uint32_t lastViewSequence = 0;
    std::uint8_t zoomed = 0;
    std::uint8_t leavingCommandMode = 0;
    float commandCameraHeight = 55.0f;
    // The player's marker-off switch: no selection markers under the squad in the command view.
    std::uint8_t selectionMarkersOff = 0;
    float directTurnTime = 0.0f;
    int dragStartX = -1, dragStartY = -1;
    float screenAnchor[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float normalFieldOfView = 0.0f;
    std::int16_t squadNumber = -1;
    int order = OrderFollow;
    int fireMode = FireAtWill;
    std::unique_ptr<Sound3D> wadingSound, swimmingSound, fatigueSound;
    int wadingHandle = -1, swimmingHandle = -1;
    int voiceHandle = -1;
    int spareHandles[2] = {-1, -1};
    std::uint8_t mapProperty = 0; // low byte of the map property value the level loader sets
    std::uint8_t burnDamage = 0;  // set by the burning update just before a burn hit
    std::uint8_t sendNow = 0;
    int previousViewMode = 1;
    float cameraSideOffset[2] = {0.0f, 0.0f};
    float sightTimer = 0.0f;
    float cooldown = 0.0f;

private:
    bool CanIssueOrder();
    // The members of the current squad that take an order 21 to 24 (the modifier and the soldier
    // under the crosshair decide); in squad order.
    std::vector<Player*> ChooseMembers(int action);
    void OrderHold(Player* member, bool message);
    void OrderFollowMe(Player* member, bool message);
    void OrderAttack(Player* member, Character* targetCharacter, int messageMs, bool rangeMessage);
    void ApplyCommandKey(int action);
    void EnterOrLeaveCommandMode();
    void ChangeActivePlayer();
    void UpdateView(float elapsed);
    void UpdateDeath(float elapsed);
    void UpdateSquadMember(float elapsed);
    void UpdateHumanInput(float elapsed);
    void UpdateFiredUpon();
    void UpdateWaterSounds();
    void UpdateCommandView(float elapsed);
    void UpdateDeepWater();
    void CollideCamera();
    void UpdateJoining();
    void UpdateSight(float elapsed);
    void UpdateHeight();
};

// The current squad's member i as a squad soldier (null when none or not one).
Player* AsPlayer(Character* character);
