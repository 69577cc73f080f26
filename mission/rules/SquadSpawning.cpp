// Squads of the running mission: building them from their set-up, placing, removing and
// respawning them, and the queries the rest of the game asks about them.
#include "engine/core/RandomMT.h"
#include "mission/MissionState.h"

#include "characters/objects/CarriedItem.h"
#include "characters/body/Character.h"
#include "engine/core/EngineLog.h"
#include "characters/ai/Formation.h"
#include "characters/player/Player.h"
#include "characters/ai/WaypointGraph.h"
#include "engine/camera/Camera.h"
#include "engine/core/HitResult.h"
#include "engine/core/q3DError.h"
#include "items/Item.h"
#include "world/PickResult.h"
#include "world/map/MapDescription.h"
#include "world/map/MapObject.h"
#include "world/World.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

namespace {

constexpr float NoGround = 3.4e38f;

// A map ally that joined a squad: out of the squad's own play, never the squad's to delete.
bool IsJoinedAlly(const Character* member) { return (member->roles & Character::Ally) != 0; }

// A fixed-size name field of the set-up as text (it need not be terminated).
std::string FieldText(const char* field, std::size_t size) { return std::string(field, strnlen(field, size)); }

} // namespace

Squad* MissionState::FindSquadOf(const Character* character) const
{
    if (!character)
        return nullptr;
    for (const std::unique_ptr<Squad>& squad : roster.squads)
        if (squad->Contains(character))
            return squad.get();
    return nullptr;
}

Squad* MissionState::CreateSquad(bool networked, const SquadSetup& setup, bool create)
{
    (void)create; // only a connected client tells the server about a squad it made
    if (!Formation::FindDefinition("Wedge.for")) {
        LogToEngine("Could not load Wedge.for, fatal error");
        throw q3DError("Could not load Wedge.for, fatal error");
    }
    auto owned = std::make_unique<Squad>();
    Squad* squad = owned.get();
    squad->setup = setup;
    squad->team = session.networkGame ? setup.team : 2;
    roster.squads.push_back(std::move(owned));
    if (!networked)
        roster.localSquad = squad;

    Player* leader = nullptr;
    for (int i = 0; i < SquadSetup::MemberCount; ++i) {
        if (setup.members[i] == SquadSetup::EmptyMember)
            continue;
        const std::string modelName = session.networkGame ? FieldText(setup.text, sizeof setup.text)
                                                  : FieldText(level.definition.soldierModels[i], sizeof level.definition.soldierModels[i]);
        const std::string model = "GameData/Models/" + modelName;
        std::string names[SquadSetup::ItemsPerMember];
        const char* loadout[Character::kLoadoutCount] = {};
        for (int k = 0; k < SquadSetup::ItemsPerMember && k < Character::kLoadoutCount; ++k) {
            names[k] = FieldText(setup.itemNames[i][k], SquadSetup::ItemNameSize);
            loadout[k] = names[k].c_str();
        }
        const int controller = !networked && !leader ? Player::kLocalHuman : Player::kComputer;
        auto member = std::make_unique<Player>(i, controller, squad, loadout, model.c_str());
        if (!squad->AddMember(member.get()))
            continue; // the roster logged the refusal
        Player* soldier = member.release();
        soldier->SetTeam(squad->team);
        soldier->health = setup.health[i] > 0 ? setup.health[i] : 100;
        level.characters.push_back(soldier);
        if (level.root)
            soldier->SetParent(level.root.get());

        bool knife = false;
        for (const std::string& name : names) {
            if (name.empty())
                continue;
            Item* item = nullptr;
            try {
                item = CreateItem(name.c_str());
            } catch (const q3DError& error) {
                LogToEngine("Can't make item %s for the squad: %s", name.c_str(), error.GetText());
            }
            if (!item) {
                LogToEngine("Unknown item \"%s\" in the squad set-up skipped", name.c_str());
                continue;
            }
            if (!soldier->PickUpItem(item, true)) {
                delete item;
                continue;
            }
            knife = knife || name == "Knife";
        }
        if (!knife)
            if (Item* item = CreateItem("Knife"); item && !soldier->PickUpItem(item, true))
                delete item;
        soldier->SelectDefaultItem();

        if (!leader) {
            leader = soldier;
            soldier->SetFormation("Wedge.for");
        } else {
            soldier->JoinFormationOf(leader);
        }
    }
    return squad;
}

Squad* MissionState::AddSquad(const SquadSetup& setup, const Vector3& at, const Matrix3& orientation, bool networked)
{
    Squad* squad = CreateSquad(networked, setup, true);
    Player* leader = squad->GetLeader();
    if (!leader)
        return squad;
    float ground = GetGroundHeight(at + Vector3(0.0f, 6.0f, 0.0f));
    if (ground >= NoGround)
        ground = at.y;
    const Vector3 leaderAt(at.x, ground + 4.0f, at.z);
    for (int i = 0; i < squad->GetMemberCount(); ++i) {
        Player* member = squad->GetMember(i);
        member->rotation = orientation;
        Vector3 place = leaderAt;
        if (i > 0) {
            if (leader->formationLink && member->formationLink)
                Formation::GetSlotPosition(place, leaderAt, orientation, member->formationLink);
            const float floor = GetGroundHeight(place + Vector3(0.0f, 6.0f, 0.0f));
            if (floor < NoGround)
                place.y = floor + 4.0f;
        }
        member->SetPosition(place.x, place.y, place.z);
        member->PlaceAt(place.x, place.y, place.z);
        if (session.networkGame)
            SpreadSpawn(member);
    }
    if (leader->formationLink && leader->formationLink->formation) {
        Formation* formation = leader->formationLink->formation;
        formation->anchor = leader->position;
        formation->orientation = formation->previousOrientation = orientation;
    }
    return squad;
}

Squad* MissionState::CreatePlayerSquad(bool local, const SquadSetup& setup, int slot)
{
    for (const std::unique_ptr<Squad>& squad : roster.squads)
        for (int i = 0; i < squad->GetMemberCount(); ++i)
            if (squad->GetMember(i)->squadSlot == slot)
                return nullptr;
    Vector3 at;
    GetSpawnPoint(at, setup.team);
    const Matrix3 facing = Matrix3().FromEulerAngles(0.0f, level.map ? level.map->startRotation.y : 0.0f, 0.0f);
    Squad* squad = AddSquad(setup, at, facing, !local);
    squad->playerSlot = slot;
    for (int i = 0; i < squad->GetMemberCount(); ++i)
        squad->GetMember(i)->squadNumber = std::int16_t(slot);
    if (slot >= 0 && slot < 32)
        roster.teams[slot] = setup.team;
    if (local)
        roster.localTeam = setup.team;
    if (setup.team >= 1 && setup.team <= 8) {
        squad->team = setup.team;
        for (int i = 0; i < squad->GetMemberCount(); ++i)
            squad->GetMember(i)->SetTeam(setup.team);
    }
    return squad;
}

void MissionState::DeleteSquadMembers(Squad* squad)
{
    std::vector<Player*> leaving;
    for (int i = 0; i < squad->GetMemberCount(); ++i)
        leaving.push_back(squad->GetMember(i));
    // The formations the members lead go with them.
    std::vector<Formation*> led;
    for (Player* member : leaving)
        if (member->formationLink && member->formationLink->formation &&
            member->formationLink->formation->leaderLink == member->formationLink)
            led.push_back(member->formationLink->formation);
    for (Player* member : leaving) {
        member->LeaveFormation();
        if (IsJoinedAlly(member))
            continue; // out of play: not the mission's to delete
        // Whoever aims at the member forgets it first.
        for (Character* other : level.characters)
            if (other != member && (other->kind == Character::SquadKind || other->kind == Character::EnemyKind))
                if (auto* soldier = dynamic_cast<Soldier*>(other); soldier && soldier->target.target == member)
                    soldier->target.Clear();
        level.characters.erase(std::remove(level.characters.begin(), level.characters.end(), member), level.characters.end());
        if (roster.controlledCharacter == member) {
            roster.controlledCharacter = nullptr;
            if (level.camera && level.root)
                level.camera->SetParent(level.root.get());
        }
        member->DeleteInventory();
        delete member; // leaves the roster on its way
    }
    for (Formation* formation : led)
        if (formation->members.GetCount() == 0 && !formation->leaderLink)
            Formation::Destroy(formation);
}

void MissionState::RemovePlayerSquads(int slot)
{
    for (std::size_t i = 0; i < roster.squads.size();) {
        Squad* squad = roster.squads[i].get();
        Player* first = squad->GetLeader();
        const bool owned = squad->playerSlot == slot || (first && first->squadNumber == slot);
        if (!owned) {
            ++i;
            continue;
        }
        DeleteSquadMembers(squad);
        if (squad == roster.localSquad) {
            roster.localSquad = nullptr;
            roster.controlledCharacter = nullptr;
            if (level.camera && level.root) {
                level.camera->SetParent(level.root.get());
                if (level.map)
                    level.camera->position = level.map->startPosition + Vector3(0.0f, 6.0f, 0.0f);
            }
        }
        roster.squads.erase(roster.squads.begin() + std::ptrdiff_t(i));
    }
}

void MissionState::RemoveLocalSquad()
{
    roster.spectating = true;
    roster.joinRequested = false;
    RemovePlayerSquads(roster.localSquad ? roster.localSquad->playerSlot : -1);
    if (level.camera && level.root && level.map) {
        level.camera->SetParent(level.root.get());
        level.camera->position = level.map->startPosition + Vector3(0.0f, 6.0f, 0.0f);
        level.camera->rotation = Matrix3().FromEulerAngles(0.0f, level.map->startRotation.y, 0.0f);
    }
}

void MissionState::TakeControl(Character* member)
{
    if (!member)
        return;
    roster.controlledCharacter = member;
    if (level.camera) {
        level.camera->position = Vector3();
        level.camera->rotation = Matrix3();
        member->AttachToModel(level.camera);
    }
    level.outcomeCountdown = 0.0f;
}

// --- queries ---

int MissionState::GetSquadSize(const Squad* squad) const
{
    const Squad* which = squad ? squad : roster.localSquad;
    return which ? which->GetMemberCount() : 0;
}

Player* MissionState::GetSquadMember(int index, const Squad* squad) const
{
    const Squad* which = squad ? squad : roster.localSquad;
    return which ? which->GetMember(index) : nullptr;
}

int MissionState::CountLivingMembers(const Squad* squad) const
{
    int living = 0;
    for (int i = 0; squad && i < squad->GetMemberCount(); ++i)
        living += squad->GetMember(i)->health > 0;
    return living;
}

bool MissionState::IsSquadDefeated(const Squad* squad) const
{
    for (int i = 0; squad && i < squad->GetMemberCount(); ++i) {
        const Player* member = squad->GetMember(i);
        if (member->health > 0 && !IsJoinedAlly(member))
            return false;
    }
    return true;
}

bool MissionState::IsSquadReadyToRespawn(const Squad* squad) const
{
    const Squad* which = squad ? squad : roster.localSquad;
    if (!which || !session.networkGame)
        return false; // respawning is a rule of the network game modes
    bool lives = false;
    for (int i = 0; i < which->GetMemberCount(); ++i) {
        const Player* member = which->GetMember(i);
        if (IsJoinedAlly(member))
            continue;
        if (member->health > 0)
            return false;
        lives = lives || member->GetLives() > 0;
    }
    return lives;
}

int MissionState::GetSquadLives(int slot) const
{
    for (const std::unique_ptr<Squad>& squad : roster.squads) {
        const Player* leader = squad->GetLeader();
        if (!leader || leader->squadSlot != slot)
            continue;
        if (leader->GetLives() == 255)
            return 255;
        int total = 0;
        for (int i = 0; i < squad->GetMemberCount(); ++i)
            total += squad->GetMember(i)->GetLives() + 1;
        total -= 1;
        return total == 255 ? total : total + 1;
    }
    return -1;
}

Player* MissionState::FindNearestSquadMember(const Vector3& point, float* distanceSquared) const
{
    Player* nearest = nullptr;
    float best = 3.4e38f;
    for (const std::unique_ptr<Squad>& squad : roster.squads)
        for (int i = 0; i < squad->GetMemberCount(); ++i) {
            Player* member = squad->GetMember(i);
            const float d = member->position.DistanceSquared(point);
            if (d < best) {
                best = d;
                nearest = member;
            }
        }
    if (distanceSquared)
        *distanceSquared = best;
    return nearest;
}

void MissionState::SetTeam(int team, Squad* squad, bool alsoLocal, int slot)
{
    if (team < 1 || team > 8)
        return;
    if (slot >= 0 && slot < 32)
        roster.teams[slot] = std::uint8_t(team);
    if (alsoLocal)
        roster.localTeam = std::uint8_t(team);
    if (!squad)
        return;
    squad->team = std::uint8_t(team);
    for (int i = 0; i < squad->GetMemberCount(); ++i)
        squad->GetMember(i)->SetTeam(team);
}

// --- spawning ---

bool MissionState::GetSpawnPoint(Vector3& position, int team)
{
    (void)team; // the game modes choose by team; a single game starts at the map's start
    position = level.map ? level.map->startPosition : Vector3();
    return true;
}

bool MissionState::FindSpawnPoint(Vector3& position, int type)
{
    const Vector3 start = level.map ? level.map->startPosition : Vector3();
    if (!session.networkGame || type == SpawnAtStart || !level.world) {
        position = start;
        return true;
    }
    if (type == SpawnNearObjective) {
        Vector3 objective;
        if (!LastCompletedObjectivePoint(objective) || !NearestCharacterMarker(objective, position))
            position = start;
        return true;
    }
    // The multistart points of the team (of every team for type 12), the least crowded first.
    struct Scored {
        Vector3 point;
        float score;
    };
    std::vector<Scored> points;
    for (MapObject* object = level.world->GetFirstObject(); object; object = object->next) {
        const char* line = object->HasPropText("multistart");
        if (!line)
            continue;
        Scored scored{object->GetPosition(), 3.4e38f};
        if (type == SpawnAtAnyMultistart || MultistartTeamCode(line) == type) {
            scored.score = 0.0f;
            for (const std::unique_ptr<Squad>& squad : roster.squads)
                for (int i = 0; i < squad->GetMemberCount(); ++i)
                    if (const float d = (squad->GetMember(i)->position - scored.point).Length(); d > 0.0f)
                        scored.score += 3.0f / d;
        }
        points.push_back(scored);
    }
    float lowest = 3.4e38f;
    for (const Scored& scored : points)
        lowest = std::min(lowest, scored.score);
    std::vector<Vector3> candidates;
    for (const Scored& scored : points)
        if (scored.score < 3.4e38f && scored.score <= lowest + 0.15f && candidates.size() < 10)
            candidates.push_back(scored.point);
    if (candidates.empty())
        return false;
    position = candidates[randomMT() % candidates.size()];
    return true;
}

bool MissionState::LastCompletedObjectivePoint(Vector3& point) const
{
    for (auto objective = level.definition.objectives.rbegin(); objective != level.definition.objectives.rend(); ++objective) {
        if (objective->kind != 0 || !objective->completed)
            continue;
        for (const TriggerRecord& record : level.triggers)
            if (record.triggerID == objective->targets[0]) {
                point = Vector3(record.x, record.y, record.z);
                return true;
            }
        return false;
    }
    return false;
}

bool MissionState::NearestCharacterMarker(const Vector3& point, Vector3& marker) const
{
    float best = 3.4e38f;
    for (MapObject* object = level.world ? level.world->GetFirstObject() : nullptr; object; object = object->next) {
        if (!object->HasPropText("enemy") && !object->HasPropText("ally") && !object->HasPropText("animal"))
            continue;
        if (const float d = object->GetPosition().DistanceSquared(point); d < best) {
            best = d;
            marker = object->GetPosition();
        }
    }
    return best < 3.4e38f;
}

int MissionState::MultistartTeamCode(const char* line)
{
    char token[32] = {};
    if (std::sscanf(line, "%*s %31s", token) != 1)
        return 0;
    if (strncasecmp(token, "team", 4) == 0 && token[4] >= '1' && token[4] <= '8' && token[5] == '\0')
        return token[4] - '0';
    if (strcasecmp(token, "mis1") == 0)
        return 9;
    if (strcasecmp(token, "mis2") == 0)
        return 10;
    return 0;
}

void MissionState::SpreadSpawn(Character* character)
{
    if (!character)
        return;
    const auto random = [this] { return roster.spawnRandom ? roster.spawnRandom() : float(std::rand()) / float(RAND_MAX) * 2.0f - 1.0f; };
    // Bounded: a crowd that never clears must not hang the spawn.
    for (int attempt = 0; attempt < 50; ++attempt) {
        bool crowded = false;
        for (Character* other : level.characters)
            if (other != character && other->position.DistanceSquared(character->position) < 9.0f)
                crowded = true;
        if (!crowded)
            break;
        character->position.x += random() * 3.0f;
        character->position.z += random() * 3.0f;
    }
    AdjustSpawnPosition(character->position);
    character->SetPosition(character->position.x, character->position.y, character->position.z);
}

void MissionState::AdjustSpawnPosition(Vector3& position)
{
    if (!level.world)
        return;
    constexpr float Beyond = 10000.0f;
    // Up in steps of 4 while there is no ground under the point, then 4 more.
    const auto raise = [this](Vector3& point) {
        for (int steps = 0; GetGroundHeight(point) > Beyond && point.y < Beyond && steps < 10000; ++steps)
            point.y += 4.0f;
        point.y += 4.0f;
    };
    // The first solid thing along the ray within the reach; kNoHit for none.
    const auto freeDistance = [this](const Vector3& from, const Vector3& direction, float reach) {
        HitResult ray;
        ray.origin = from;
        ray.direction = direction;
        PickResult hit;
        return level.world->Pick(ray, &hit, reach, nullptr) ? hit.distance : kNoHit;
    };
    // The goal a buried point walks towards: the waypoint node nearest to it (counted 4 lower),
    // else the map's start.
    const auto goalFor = [this](const Vector3& point) {
        Vector3 goal = level.map ? level.map->startPosition : Vector3();
        const Vector3 probe(point.x, point.y - 4.0f, point.z);
        float best = 3.4e38f;
        const WaypointGraph* graph = level.waypointGraph.get();
        for (std::uint32_t i = 0; graph && i < graph->GetNodeCount(); ++i) {
            const Vector3& centre = graph->GetNodes()[i].centre;
            if (const float d = centre.DistanceSquared(probe); d < best) {
                best = d;
                goal = centre;
            }
        }
        return goal;
    };
    static const Vector3 sides[4] = {{0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, -1.0f}, {1.0f, 0.0f, 0.0f}, {-1.0f, 0.0f, 0.0f}};

    bool endedEarly = false;
    Vector3 goal;
    for (int pass = 0; pass < 10; ++pass) {
        raise(position);
        bool blocked = false;
        for (const Vector3& side : sides)
            blocked = blocked || freeDistance(position + side * 4.0f, side * -1.0f, 8.0f) < 8.0f;
        if (!blocked && position.y < Beyond)
            return;
        goal = goalFor(position);
        Vector3 toGoal = goal - position;
        const float distance = toGoal.Length();
        if (distance <= 0.0f) {
            endedEarly = true;
            break;
        }
        toGoal = toGoal * (1.0f / distance);
        const float free = freeDistance(position, toGoal, distance);
        const float step = (free < distance ? free : distance) - 4.0f;
        if (step <= 4.0f) {
            endedEarly = true;
            break;
        }
        position = position + toGoal * step;
    }
    if (!endedEarly)
        return;
    position = goal;
    raise(position);
    const float floor = GetGroundHeight(position);
    if (floor < Beyond)
        position.y = floor + 4.0f;
}

bool MissionState::RespawnCharacter(Character* character, bool tellNetwork, bool force)
{
    (void)tellNetwork; // this build never hosts
    if (!character)
        return false;
    if (character->IsAboutToRespawn() && !force && character->GetRespawnTime() != 0)
        return false;
    if (character->GetLives() == 0 && !force)
        return false;
    if (character->GetLives() > 0 && character->GetLives() != 255)
        character->UseLife();
    character->ResetHealth();
    character->SetPostureImmediate(Character::Standing);
    character->StartAction(0, true);
    character->ResetPosition();
    if (character == roster.controlledCharacter) {
        TakeControl(character);
        SetMissionResult(Running);
        hud.hudDisplayFlags[0] = hud.hudDisplayFlags[1] = true;
    }
    return true;
}

void MissionState::RespawnSquad(Squad* squad)
{
    if (!squad || !squad->GetLeader())
        return;
    Vector3 at;
    GetSpawnPoint(at, squad->team);
    Player* leader = squad->GetLeader();
    for (int i = 0; i < squad->GetMemberCount(); ++i) {
        Player* member = squad->GetMember(i);
        if (IsJoinedAlly(member))
            continue;
        if (member->health < 1) {
            member->ResetHealth();
            member->SetPostureImmediate(Character::Standing);
            member->StartAction(0, true);
            member->SetOrder(OrderFollow);
            if (member == roster.controlledCharacter) {
                TakeControl(member);
                SetMissionResult(Running);
                level.outcomeCountdown = 0.0f;
            }
        }
        Vector3 place(at.x, at.y + 4.0f, at.z);
        if (member != leader && member->formationLink)
            Formation::GetSlotPosition(place, place, leader->rotation, member->formationLink);
        member->SetPosition(place.x, place.y, place.z);
        SpreadSpawn(member);
    }
}

void MissionState::RemoveAllSquads()
{
    if (level.camera && level.root && level.camera->GetParent() != level.root.get())
        level.camera->SetParent(level.root.get());
    while (!roster.squads.empty()) {
        DeleteSquadMembers(roster.squads.back().get());
        roster.squads.pop_back();
    }
    roster.localSquad = nullptr;
    roster.controlledCharacter = nullptr;
}
