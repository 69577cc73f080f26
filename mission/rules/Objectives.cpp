// How a mission ends: defeat, the campaign's clearing rule, protected targets, the objectives in
// the order of their prerequisites, the required items and the exit zones.

#include <climits>
#include <cstdio>
#include <string>

#include "app/framework/Application.h"
#include "characters/body/Character.h"
#include "characters/level/CampaignStatistics.h"
#include "characters/level/RunningLevel.h"
#include "characters/player/Player.h"
#include "engine/core/EngineLog.h"
#include "engine/core/q3DError.h"
#include "engine/mesh/qMesh.h"
#include "media/SoundStream.h"
#include "mission/MissionState.h"
#include "mission/rules/Squad.h"
#include "world/map/MapObject.h"
#include "world/World.h"

namespace {

constexpr int AllObjectivesDone = INT_MAX;

bool AliveOrHasLives(const Character* character) { return character->health > 0 || character->GetLives() > 0; }
bool OutOfPlay(const Character* character) { return (character->roles & Character::Ally) != 0; }

bool HasLivingMember(const Squad& squad)
{
    for (int i = 0; i < squad.GetMemberCount(); ++i)
        if (squad.GetMember(i)->health > 0)
            return true;
    return false;
}

// Every member inside the sphere or dead.
bool SquadInside(const Squad& squad, const Vector3& centre, float radius)
{
    for (int i = 0; i < squad.GetMemberCount(); ++i) {
        const Player* member = squad.GetMember(i);
        if (member->health > 0 && !(member->position.DistanceSquared(centre) < radius * radius))
            return false;
    }
    return true;
}

// Every member outside the play rectangle or dead.
bool SquadOutside(const Squad& squad, const float (&rectangle)[4])
{
    for (int i = 0; i < squad.GetMemberCount(); ++i) {
        const Player* member = squad.GetMember(i);
        const Vector3& at = member->position;
        const bool inside = at.x > rectangle[0] && at.x < rectangle[2] && at.z > rectangle[1] && at.z < rectangle[3];
        if (member->health > 0 && inside)
            return false;
    }
    return true;
}

// A mission is defined and every primary objective is completed; secondary ones do not count.
bool PrimaryObjectivesDone(const MissionDefinition& definition)
{
    if (definition.mapPath[0] == '\0')
        return false;
    for (const MissionObjective& objective : definition.objectives)
        if (objective.kind == 0 && !objective.completed)
            return false;
    return true;
}

// Each required item is held by some member of some squad.
bool RequiredItemsHeld(const MissionDefinition& definition, const std::vector<std::unique_ptr<Squad>>& squads)
{
    for (std::int32_t item : definition.requiredItems) {
        if (item == -1)
            continue;
        bool held = false;
        for (const auto& squad : squads)
            for (int i = 0; i < squad->GetMemberCount() && !held; ++i)
                held = squad->GetMember(i)->FindItemByType(item) != nullptr;
        if (!held)
            return false;
    }
    return true;
}

} // namespace

bool MissionState::IsTriggerFired(std::int32_t id) const
{
    for (const TriggerRecord& record : level.triggers)
        if (record.triggerID == id)
            return record.fired != 0;
    return false; // an ID no record carries counts as not fired
}

bool MissionState::PrerequisitesDone(const MissionObjective& objective) const
{
    const auto& objectives = level.definition.objectives;
    for (std::int32_t number : objective.prerequisites) {
        if (number == -1)
            continue;
        if (number < 1 || number > std::int32_t(objectives.size())) {
            // A number naming no objective holds nothing back; said once per level.
            if (!level.badPrerequisiteLogged) {
                LogToEngine("Objective prerequisite %d names no objective of %zu; it is ignored", number,
                            objectives.size());
                level.badPrerequisiteLogged = true;
            }
            continue;
        }
        if (!objectives[std::size_t(number - 1)].completed)
            return false;
    }
    return true;
}

bool MissionState::UseTriggerAllowed(std::int32_t triggerID) const
{
    for (const MissionObjective& objective : level.definition.objectives)
        for (std::int32_t target : objective.targets)
            if (target == triggerID)
                return PrerequisitesDone(objective);
    return false; // a use trigger no objective lists never fires by use
}

void MissionState::SaveObjectiveAutoSave(int objective)
{
    char path[512];
    // Outside a campaign the campaign's name is empty.
    std::snprintf(path, sizeof path, "Saves/%sObj%i-Auto.sav", "", objective);
    // A failed automatic save must never end the mission: it is reported and play goes on.
    std::string failure;
    try {
        if (!Save(path))
            failure = "the file could not be written";
    } catch (const q3DError& error) {
        failure = error.GetText();
    } catch (const std::exception& error) {
        failure = error.what();
    }
    if (failure.empty())
        return;
    LogToEngine("Objective save to %s failed: %s", path, failure.c_str());
    Application::Instance()->ShowMessage(8000, "Objective save failed: %s", failure.c_str());
}

void MissionState::AnnounceObjective(int completed)
{
    const auto& objectives = level.definition.objectives;
    const MissionObjective& done = objectives[std::size_t(completed)];
    Application* application = Application::Instance();
    if (session.networkGame) {
        application->ShowMessage(3000, "Your team has completed objective %d!", completed + 1);
        return;
    }
    SaveObjectiveAutoSave(completed);
    std::string text = done.kind != 0 ? "Secondary Objective Complete!" : "Objective Complete!";
    text += "\n";
    text += done.completionText;
    text += "\nNext Objective: ";
    if (level.currentObjective >= 0 && level.currentObjective < int(objectives.size()))
        text += objectives[std::size_t(level.currentObjective)].text;
    else
        text += "Get all surviving squad members to the exit zone.";
    if (done.soundFile[0]) {
        audio.objectiveMessage.reset();
        auto stream = std::make_unique<SoundStream>();
        if (stream->Create(application->GetSoundSystem(), done.soundFile) >= 0) {
            stream->SetLoopCount(1);
            stream->SetPlaybackRate(11025);
            stream->Play();
            audio.objectiveMessage = std::move(stream);
        } else {
            LogToEngine("Can't load objective message %s: %s", done.soundFile, stream->GetErrorText());
        }
    }
    application->ShowCenterMessage(1.0f, 1.0f, 1.0f, text.c_str(), 3000);
}

int MissionState::CheckDefeat() const
{
    const Character* player = roster.controlledCharacter;
    if (!session.networkGame)
        return player && IsSquadDefeated(roster.localSquad) ? Lost : Running;
    if (!player)
        return IsSquadDefeated(roster.localSquad) ? Lost : Running;
    if (player->team == 0)
        return IsSquadDefeated(roster.localSquad) && !IsSquadReadyToRespawn(roster.localSquad) ? Lost : Running;
    for (const auto& squad : roster.squads) {
        const Player* leader = squad->GetLeader();
        if (leader && leader->team == player->team && (!IsSquadDefeated(squad.get()) || IsSquadReadyToRespawn(squad.get())))
            return Running;
    }
    return Lost;
}

bool MissionState::AdvanceObjective()
{
    auto& objectives = level.definition.objectives;
    if (level.currentObjective < 0 || level.currentObjective == AllObjectivesDone ||
        level.currentObjective >= int(objectives.size()))
        return false;
    MissionObjective& current = objectives[std::size_t(level.currentObjective)];
    const bool wasCompleted = current.completed != 0;
    current.completed = 0;
    bool fired = true;
    for (std::int32_t target : current.targets)
        if (target != -1 && !IsTriggerFired(target))
            fired = false;
    if (!fired || !PrerequisitesDone(current))
        return false;
    current.completed = 1;
    if (wasCompleted)
        return false;
    const int completed = level.currentObjective;
    for (int slot = 0; slot < 4; ++slot)
        RunningLevel::Statistics().CampaignAddMorale(slot, 0.3f);
    level.currentObjective = AllObjectivesDone;
    for (std::size_t i = 0; i < objectives.size(); ++i)
        if (!objectives[i].completed) {
            level.currentObjective = int(i);
            break;
        }
    AnnounceObjective(completed);
    return true;
}

int MissionState::UpdateObjectives()
{
    if (!session.networkGame && !roster.controlledCharacter)
        return Running;
    if (const int defeat = CheckDefeat(); defeat != Running)
        return defeat;

    // The campaign's clearing missions end once no enemy stands.
    if (RunningLevel::Statistics().CampaignActive() && session.campaignMissionKind == 1) {
        bool enemyLeft = false;
        for (const Character* character : level.characters)
            if (character->kind == Character::EnemyKind && character->health > 0)
                enemyLeft = true;
        if (!enemyLeft)
            return Won;
    }
    if (!session.networkGame)
        for (std::int32_t target : level.definition.protectedTargets)
            if (target != -1 && IsTriggerFired(target))
                return Lost;

    AdvanceObjective();

    const bool objectivesDone = PrimaryObjectivesDone(level.definition);
    const bool itemsDone = RequiredItemsHeld(level.definition, roster.squads);

    int teamsAtExit[9] = {};
    bool anyAtExit = false;
    Application* application = Application::Instance();
    if (level.exitZones[0]) {
        for (MapObject* zone : level.exitZones) {
            if (!zone)
                continue;
            const LibraryObject* library = zone->GetLibraryEntry();
            const float radius = (library && library->mesh ? library->mesh->GetRadius() : 0.0f) * zone->GetScale();
            for (const auto& squad : roster.squads) {
                if (!HasLivingMember(*squad) || !SquadInside(*squad, zone->GetPosition(), radius) || !objectivesDone ||
                    !itemsDone)
                    continue;
                const Player* leader = squad->GetLeader();
                if (!session.networkGame || !leader || leader->team == 0) {
                    application->ClearCenterMessage();
                    return Won;
                }
                ++teamsAtExit[leader->team % 9];
                anyAtExit = true;
                break; // each exit zone counts at most one squad a call
            }
        }
        if (!anyAtExit)
            return Running;
    } else {
        if (!RunningLevel::Statistics().CampaignActive())
            return Running;
        // In a campaign a map without an exit zone is left over its edge.
        const Vector3 at = roster.controlledCharacter ? roster.controlledCharacter->position : Vector3();
        for (const auto& squad : roster.squads) {
            if (!HasLivingMember(*squad) || !SquadOutside(*squad, level.playRectangle) || CountMarkedNear(at, 100.0f) > 0)
                continue;
            const Player* leader = squad->GetLeader();
            if (!session.networkGame || !leader || leader->team == 0) {
                application->ClearCenterMessage();
                return Won;
            }
            ++teamsAtExit[leader->team % 9];
            anyAtExit = true;
            break;
        }
        if (!anyAtExit)
            return Running;
    }

    // A team wins when every one of its living squads stands at an exit.
    int living[9] = {};
    for (const auto& squad : roster.squads) {
        const Player* leader = squad->GetLeader();
        if (!leader)
            continue;
        for (int i = 0; i < squad->GetMemberCount(); ++i) {
            const Player* member = squad->GetMember(i);
            if (AliveOrHasLives(member) && !OutOfPlay(member)) {
                ++living[leader->team % 9];
                break;
            }
        }
    }
    for (int team = 1; team <= 8; ++team)
        if (teamsAtExit[team] > 0 && teamsAtExit[team] >= living[team]) {
            const Vector3 at = roster.controlledCharacter ? roster.controlledCharacter->position : Vector3();
            return CountEnemiesNear(at, 100.0f) > 0 ? Escaped : Won;
        }
    return Running;
}
