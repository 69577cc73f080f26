// The small operations of the in-game state that the rest of the game asks of it: ray casts,
// compass targets, hostility, the settings-derived limits, the scoring rules, the item factory,
// voice and tile sounds, and the network-only operations (the host-only ones do nothing while this
// build never hosts a running game).
#include "mission/MissionState.h"

#include "app/framework/Application.h"
#include "app/framework/Options.h"
#include "characters/objects/CarriedItem.h"
#include "characters/body/Character.h"
#include "characters/player/Player.h"
#include "engine/camera/Camera.h"
#include "engine/core/HitResult.h"
#include "engine/core/q3DError.h"
#include "engine/filesystem/PackFile.h"
#include "items/Item.h"
#include "items/ItemDefinition.h"
#include "items/ItemFactory.h"
#include "items/TileSounds.h"
#include "media/Sound2D.h"
#include "media/Sound3D.h"
#include "media/SoundSystem.h"
#include "mission/session/MissionNetwork.h"
#include "world/map/MapObject.h"
#include "world/World.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int PlayerSlots = 32;
constexpr int Teams = 8;
constexpr int DeathsOffset = PlayerSlots * 2;
constexpr int KillsOffset = PlayerSlots * 4;
constexpr int TeamsOffset = PlayerSlots * 6;

// The score table keeps little-endian 16-bit counters, as it is saved and sent.
int ReadCounter(const std::uint8_t* table, int offset)
{
    return std::int16_t(std::uint16_t(table[offset] | table[offset + 1] << 8));
}

void AddToCounter(std::uint8_t* table, int offset, int amount)
{
    const std::uint16_t value = std::uint16_t(ReadCounter(table, offset) + amount);
    table[offset] = std::uint8_t(value);
    table[offset + 1] = std::uint8_t(value >> 8);
}

bool ValidSlot(int slot) { return slot >= 0 && slot < PlayerSlots; }
bool ValidTeam(int team) { return team >= 1 && team <= Teams; }

bool AliveOrHasLives(const Character* character)
{
    return character->health > 0 || character->GetLives() > 0;
}

} // namespace

CarriedItem* MissionState::RayCastItems(HitResult& ray)
{
    CarriedItem* nearest = nullptr;
    float best = 3.4e38f;
    for (CarriedItem* item : level.looseItems) {
        HitResult hit = ray;
        hit.distance = kNoHit;
        if (!item->IntersectRay(hit) || !(hit.distance < best))
            continue;
        best = hit.distance;
        nearest = item;
    }
    ray.distance = best;
    return nearest;
}

Character* MissionState::RayCastObjects(HitResult& ray, GameObject* ignored, int filter)
{
    Character* nearest = nullptr;
    HitResult best = ray;
    best.distance = 3.4e38f;
    for (Character* character : level.characters) {
        if (!character || character == ignored)
            continue;
        const bool dead = character->health <= 0;
        if (dead && !(filter & 0x10))
            continue;
        if (filter != -1) {
            // Character kinds 2, 4 and 8 are their own filter bits.
            const bool kindMatches = (character->kind & filter & 0x0E) != 0;
            const bool targetable = (filter & 0x20) && character->IsTargetable();
            if (!kindMatches && !(dead && (filter & 0x10)) && !targetable)
                continue;
        }
        HitResult hit = ray;
        hit.distance = kNoHit;
        if (!character->IntersectRay(hit, 0) || !(hit.distance < best.distance))
            continue;
        best = hit;
        nearest = character;
    }
    if (nearest)
        ray = best;
    else
        ray.distance = best.distance;
    return nearest;
}

bool MissionState::GetFlagTargetPosition(Vector3& position)
{
    (void)position;
    return false;
}

bool MissionState::GetCompassTarget(int objective, Vector3& position)
{
    if (objective == INT_MAX) {
        const Vector3 from = roster.controlledCharacter ? roster.controlledCharacter->position : (level.camera ? level.camera->position : Vector3());
        MapObject* nearest = nullptr;
        for (MapObject* zone : level.exitZones)
            if (zone && (!nearest || zone->GetPosition().DistanceSquared(from) < nearest->GetPosition().DistanceSquared(from)))
                nearest = zone;
        if (!nearest)
            return false;
        position = nearest->GetPosition();
        return true;
    }
    if (objective < 0 || std::size_t(objective) >= level.definition.objectives.size())
        return false;
    const MissionObjective& goal = level.definition.objectives[std::size_t(objective)];
    if (goal.completed)
        return false;
    // The first target that is -1 or not fired is the one to head for; -1 and a trigger the
    // level does not have give no place.
    for (std::int32_t target : goal.targets) {
        if (target == -1)
            return false;
        const TriggerRecord* record = nullptr;
        for (const TriggerRecord& trigger : level.triggers)
            if (trigger.triggerID == target) {
                record = &trigger;
                break;
            }
        if (!record)
            return false;
        if (record->fired)
            continue;
        position = Vector3(record->x, record->y, record->z);
        return true;
    }
    return false;
}

bool MissionState::AreHostile(Character* attacker, Character* victim) const
{
    if (!attacker)
        return true;
    if (!victim)
        return false;
    if (attacker == victim)
        return true;
    // Outside a network game the options can make everybody hostile; player slots and spectators
    // exist only in a network game.
    if (!session.networkGame && roster.everyoneHostile)
        return true;
    if (victim->team != 0 && victim->team == attacker->team)
        return false;
    return true;
}

bool MissionState::IsNearStartPoint(const Vector3& position, float radius) const
{
    if (!level.world)
        return false;
    const Vector3 raised(position.x, position.y + 4.0f, position.z);
    for (MapObject* object = level.world->GetFirstObject(); object; object = object->next)
        if (object->HasPropText("multistart") && object->GetPosition().DistanceSquared(raised) < radius * radius)
            return true;
    return false;
}

int MissionState::CountEnemiesNear(const Vector3& position, float radius) const
{
    int count = 0;
    for (const Character* character : level.characters)
        if (character && character->kind == Character::EnemyKind && AliveOrHasLives(character) &&
            character->position.DistanceSquared(position) < radius * radius)
            ++count;
    return count;
}

int MissionState::CountMarkedNear(const Vector3& position, float radius) const
{
    int count = 0;
    for (std::size_t i = 0; i < level.characters.size() && i < sizeof level.useMarkers; ++i) {
        const Character* character = level.characters[i];
        // Squad members riding in a vehicle are left out.
        if (character && level.useMarkers[i] == 1 && AliveOrHasLives(character) && !character->IsRiding() &&
            character->position.DistanceSquared(position) < radius * radius)
            ++count;
    }
    return count;
}

int MissionState::GetGestureSector(int cursorX, int cursorY) const
{
    const float dx = float(cursorX - controls.gestureOriginX), dy = float(cursorY - controls.gestureOriginY);
    if (dx * dx + dy * dy < 1849.0f)
        return 0;
    constexpr float pi = 3.14159265358979f;
    float angle = std::acos(dx / std::sqrt(dx * dx + dy * dy));
    if (dy < 0.0f)
        angle = 2.0f * pi - angle;
    return std::min(8, int(angle / (pi / 4.0f)) + 1);
}

// Without a network game there are no server settings: no limits, one round, no teams.
int MissionState::GetSettingsTimeLimit() const { return 0; }
int MissionState::GetScoreLimit() const { return 0; }
int MissionState::GetRoundsPerMap() const { return 1; }
int MissionState::GetNumTeams() const { return 0; }

int MissionState::GetTopScore() const
{
    int top = -30000;
    for (int team = 1; team <= GetNumTeams(); ++team)
        top = std::max(top, GetTeamScore(team));
    for (int slot = 0; slot < PlayerSlots; ++slot)
        top = std::max(top, GetScore(slot));
    return top;
}

int MissionState::CanJoinTeamBalanced(int team) const
{
    (void)team;
    return 1; // no auto-balance without a game mode
}

bool MissionState::CanSelectTeam(int team) const
{
    if (team > GetNumTeams())
        return false;
    return CanJoinTeamBalanced(team) != 0;
}

int MissionState::GetScore(int slot) const { return ValidSlot(slot) ? ReadCounter(roster.scoreTable, slot * 2) : 0; }
int MissionState::GetDeaths(int slot) const { return ValidSlot(slot) ? ReadCounter(roster.scoreTable, DeathsOffset + slot * 2) : 0; }
int MissionState::GetKills(int slot) const { return ValidSlot(slot) ? ReadCounter(roster.scoreTable, KillsOffset + slot * 2) : 0; }
int MissionState::GetTeamScore(int team) const
{
    const int entry = std::uint8_t(team);
    return ValidTeam(entry) ? ReadCounter(roster.scoreTable, TeamsOffset + (entry - 1) * 2) : 0;
}

int MissionState::CountPlayersNotInTeam(int team) const
{
    // A squad counts the players its set-up brought, whether or not they still stand.
    int count = 0;
    for (const std::unique_ptr<Squad>& other : roster.squads)
        if (other && other->team != team)
            count += other->setup.MemberTotal();
    return count;
}

namespace {

// Adds to the slot's score and, for a team other than 0, to the team's.
void AddPoints(std::uint8_t* table, int slot, int team, int points)
{
    AddToCounter(table, slot * 2, points);
    if (ValidTeam(team))
        AddToCounter(table, TeamsOffset + (team - 1) * 2, points);
}

} // namespace

void MissionState::AddCaptureScore(int slot, int team)
{
    if (!ValidSlot(slot))
        return;
    AddPoints(roster.scoreTable, slot, team, std::min(50, 10 * CountPlayersNotInTeam(team != 0 ? team : -1)));
}

int MissionState::AddPointsPerOpponent(int slot, int team)
{
    const int points = std::min(15, 3 * CountPlayersNotInTeam(team != 0 ? team : -1));
    if (ValidSlot(slot))
        AddPoints(roster.scoreTable, slot, team, points);
    return points;
}

void MissionState::SubtractPointsPerOpponent(int slot, int team)
{
    if (ValidSlot(slot))
        AddPoints(roster.scoreTable, slot, team, -3 * CountPlayersNotInTeam(team != 0 ? team : -1));
}

void MissionState::ReassignPlayerSlot(int oldSlot, int newSlot, int memberIndex, bool makeLocal)
{
    if (memberIndex != -1) {
        Squad* owned = nullptr;
        for (std::size_t i = 0; !owned && i < roster.squads.size(); ++i)
            if (roster.squads[i] && roster.squads[i]->playerSlot == oldSlot)
                owned = roster.squads[i].get();
        if (owned) {
            owned->playerSlot = newSlot;
            if (makeLocal) {
                roster.localSquad = owned;
                if (Player* member = owned->GetMember(memberIndex))
                    TakeControl(member);
            }
        }
    }
    if (oldSlot == newSlot || !ValidSlot(oldSlot) || !ValidSlot(newSlot))
        return;
    for (int offset : {0, DeathsOffset, KillsOffset}) {
        AddToCounter(roster.scoreTable, offset + newSlot * 2, ReadCounter(roster.scoreTable, offset + oldSlot * 2));
        AddToCounter(roster.scoreTable, offset + oldSlot * 2, -ReadCounter(roster.scoreTable, offset + oldSlot * 2));
    }
}

void MissionState::AddKill(int slot, int team)
{
    if (!ValidSlot(slot))
        return;
    AddPoints(roster.scoreTable, slot, team, 1);
    AddToCounter(roster.scoreTable, KillsOffset + slot * 2, 1);
}

void MissionState::AddScore(int slot, int team)
{
    if (ValidSlot(slot))
        AddPoints(roster.scoreTable, slot, team, 1);
}

void MissionState::AddDeath(int slot)
{
    if (ValidSlot(slot))
        AddToCounter(roster.scoreTable, DeathsOffset + slot * 2, 1);
}

void MissionState::PenalizeScore(int slot)
{
    if (ValidSlot(slot))
        AddToCounter(roster.scoreTable, slot * 2, -3);
}

void MissionState::DecrementScore(int slot)
{
    if (ValidSlot(slot))
        AddToCounter(roster.scoreTable, slot * 2, -1);
}

void MissionState::ResetPlayerScore(int slot)
{
    if (!ValidSlot(slot))
        return;
    for (int offset : {0, DeathsOffset, KillsOffset})
        AddToCounter(roster.scoreTable, offset + slot * 2, -ReadCounter(roster.scoreTable, offset + slot * 2));
}

Item* MissionState::CreateItem(const char* name)
{
    if (!name || !name[0] || !findItemDefinition)
        return nullptr;
    const ItemDefinition* found = findItemDefinition(name);
    if (!found)
        return nullptr;
    return CreateItemFromDefinition(found, name);
}

namespace {

// The numbered sounds "%s%02d.wav" from 01 while the file exists, at most maximum, each handed to
// keep; the first missing file and a file that fails to load are q3DErrors.
template <typename SoundType, typename Keep>
int LoadNumberedSounds(int maximum, const char* basePath, Keep keep)
{
    SoundSystem* sound = Application::Instance()->GetSoundSystem();
    int loaded = 0;
    for (int number = 1; number <= maximum; ++number) {
        char path[512];
        std::snprintf(path, sizeof path, "%s%02d.wav", basePath, number);
        if (!PackFileCanOpen(path)) {
            if (number == 1)
                throw q3DError("Can't load %s", path);
            break;
        }
        auto voice = std::make_unique<SoundType>();
        if (voice->Create(sound, path) < 0)
            throw q3DError("Can't load %s: %s", path, voice->GetErrorText());
        keep(loaded++, std::move(voice));
    }
    return loaded;
}

} // namespace

int MissionState::LoadVoiceSet(std::unique_ptr<Sound3D>* set, int maximum, const char* basePath, float minimumDistance,
                               float maximumDistance)
{
    return LoadNumberedSounds<Sound3D>(maximum, basePath, [&](int index, std::unique_ptr<Sound3D> voice) {
        voice->SetDistances(maximumDistance, minimumDistance, -1000);
        set[index] = std::move(voice);
    });
}

int MissionState::LoadVoiceSet2D(std::vector<std::unique_ptr<Sound2D>>& set, int maximum, const char* basePath)
{
    set.clear();
    return LoadNumberedSounds<Sound2D>(maximum, basePath,
                                       [&](int, std::unique_ptr<Sound2D> voice) { set.push_back(std::move(voice)); });
}

void MissionState::LoadVoiceTable(int row, const char* basePath)
{
    if (row < 0)
        return;
    int count = 0;
    for (;; ++count) {
        char path[512];
        std::snprintf(path, sizeof path, "%s%02d.wav", basePath, count + 1);
        if (!PackFileCanOpen(path))
            break;
    }
    if (std::size_t(row) >= audio.voiceTable.size())
        audio.voiceTable.resize(std::size_t(row) + 1);
    audio.voiceTable[std::size_t(row)].clear();
    if (count > 0)
        LoadVoiceSet2D(audio.voiceTable[std::size_t(row)], count, basePath);
}

float MissionState::TileSoundVolume(float distanceSquared, bool loud)
{
    if (distanceSquared >= 40000.0f)
        return -1.0f;
    float volume = loud ? 0.25f : 0.18f;
    const float distance = std::max(std::sqrt(distanceSquared), 0.0001f);
    if (distance >= 20.0f)
        volume = 20.0f / distance * (volume + 0.2f);
    return volume;
}

void MissionState::PlayTileSound(int foot, int tileIndex, const Vector3& position, bool loud)
{
    if (!level.camera)
        return;
    const float volume = TileSoundVolume(level.camera->position.DistanceSquared(position), loud);
    if (volume < 0.0f)
        return;
    for (const std::unique_ptr<TileSounds>& set : level.tileSounds)
        if (tileIndex >= set->minimumTile && tileIndex <= set->maximumTile) {
            set->PlayRandom(foot == 0 ? 0 : 1, volume);
            return;
        }
}

bool MissionState::PickLine(HitResult& ray, float maxDistance, PickFilterCallback filter, Character* observer,
                            Character* source)
{
    if (!level.world)
        return false;
    // Every vehicle blocks the line but the riders' own; the vehicles' own exclusion comes back after.
    std::vector<bool> excluded(level.vehicleObjects.size());
    for (std::size_t i = 0; i < level.vehicleObjects.size(); ++i) {
        excluded[i] = level.vehicleObjects[i]->hidden;
        level.vehicleObjects[i]->hidden = false;
    }
    if (ridingVehicleObject)
        for (Character* rider : {observer, source})
            if (MapObject* vehicle = rider ? ridingVehicleObject(rider) : nullptr)
                vehicle->hidden = true;
    PickResult hit;
    const bool solid = level.world->Pick(ray, &hit, maxDistance, filter) && hit.distance < maxDistance;
    for (std::size_t i = 0; i < level.vehicleObjects.size(); ++i)
        level.vehicleObjects[i]->hidden = excluded[i];
    ray.distance = hit.distance;
    if (solid) {
        ray.hitPoint = hit.hitPoint;
        ray.normal = hit.normal;
    }
    return solid;
}

bool MissionState::TilePropertyValue(const Vector3& point, float* value) const
{
    if (!level.world || level.tileSounds.empty())
        return false;
    int column = 0, row = 0;
    level.world->WorldToCell(point.x, point.z, column, row);
    if (column < 0 || row < 0 || column >= level.world->width || row >= level.world->height)
        return false;
    const int tile = level.world->GetCellTileIndex(column, row);
    for (const std::unique_ptr<TileSounds>& set : level.tileSounds)
        if (tile >= set->minimumTile && tile <= set->maximumTile) {
            if (value)
                *value = set->alertValue;
            return true;
        }
    return false;
}

// Only a host writes its server state; this build never hosts.
void MissionState::SaveServerState(const char* savedGamePath) { (void)savedGamePath; }

void MissionState::PumpNetwork()
{
    if (network)
        network->ReceivePackets();
}

// Only a host runs the map cycle; elsewhere (and so here) the current map stays.
void MissionState::AdvanceMapCycle() {}

namespace {

std::string SlotName(const std::function<std::string(int)>& playerName, int slot)
{
    if (playerName)
        return playerName(slot);
    char name[32];
    std::snprintf(name, sizeof name, "Player %d", slot);
    return name;
}

} // namespace

void MissionState::KickVoteResult(int slot, bool passed)
{
    const std::string name = SlotName(session.playerName, slot);
    Application::Instance()->ShowMessage(5000, passed ? "%s: kicked." : "Vote to kick %s failed.", name.c_str());
}

void MissionState::KickBanVoteResult(int slot, bool passed)
{
    const std::string name = SlotName(session.playerName, slot);
    Application::Instance()->ShowMessage(5000, passed ? "%s: kicked and banned." : "Vote to kick/ban %s failed.", name.c_str());
}

// Votes run only in a network game: nothing to show.
void MissionState::DrawVoteStatus() {}

void MissionState::ResetGameFlags()
{
    controls.paused = false;
    roster.gameFlagTime = 1500.0f;
    roster.everyoneHostile = !session.networkGame && Options::Instance()->GetOption(Options::FriendlyFire) != 0;
}

void MissionState::SelectOrderTarget(Character* character)
{
    if (!character)
        return;
    if (character == roster.controlledCharacter)
        character->selected = true;
    const std::int16_t id = character->GetID();
    const auto found = std::find(roster.orderTargets.begin(), roster.orderTargets.end(), id);
    if (found != roster.orderTargets.end())
        roster.currentOrderTarget = int(found - roster.orderTargets.begin());
    else
        roster.orderTargets.push_back(id);
}

bool MissionState::UsesMousePointer() const
{
    return controls.paused || Application::Instance()->IsInMenu() || !roster.controlledCharacter || controls.radialMenuOpen ||
           !inputCaptured;
}
