#pragma once

// A running level of set answers for the character and item tests: the scene, its animation
// sets and body sounds, the AI's view and the enemies' events, each answer a field the test sets,
// and what the objects hand to the level kept for the test to read. Installed for its lifetime;
// a test that needs an answer computed derives from it.

#include <optional>
#include <string>
#include <strings.h>
#include <vector>

#include "characters/level/NoLevel.h"
#include "characters/level/RunningLevel.h"

class LevelFake : public NoLevel {
public:
    // --- scene ---
    Vector3 cameraAt;
    Character* player = nullptr;
    float ground = 3.4e38f;
    const std::vector<Character*>* characters = nullptr; // null: nobody
    CarriedItem* vehicle = nullptr;                      // every rider's
    Character* friendly = nullptr;                       // nobody may hurt this one
    bool peaceful = false;                               // nobody may hurt anybody
    bool networkGame = false;
    bool culling = false;
    bool tutorial = false;
    std::vector<CarriedItem*> loose; // newest first

    Vector3 CameraPosition() override { return cameraAt; }
    Character* CurrentPlayer() override { return player; }
    float GroundHeight(const Vector3&) override { return ground; }
    const std::vector<Character*>& Characters() override { return characters ? *characters : NoLevel::Characters(); }
    CarriedItem* RidingVehicle(Character*) override { return vehicle; }
    bool AreHostile(Character* attacker, Character* victim) override
    {
        return !peaceful && victim != friendly && attacker != victim;
    }
    bool IsNetworkGame() override { return networkGame; }
    bool IsDistanceCulling() override { return culling; }
    bool IsTutorial() override { return tutorial; }
    void AddLooseItem(CarriedItem* item) override { loose.insert(loose.begin(), item); }
    void RemoveLooseItem(CarriedItem* item) override { std::erase(loose, item); }

    // --- animation sets: the named ones, or one set for every name ---
    std::vector<std::string> sets;
    std::optional<int> everyName;
    int defaultSet = -1;

    int FindAnimationSet(const char* name) override
    {
        if (everyName)
            return *everyName;
        for (std::size_t i = 0; i < sets.size(); ++i)
            if (strcasecmp(sets[i].c_str(), name) == 0)
                return int(i);
        return -1;
    }
    int AnimationSetCount() override { return int(sets.size()); }
    const char* AnimationSetName(int index) override
    {
        if (sets.empty())
            return NoLevel::AnimationSetName(index);
        return index >= 0 && index < int(sets.size()) ? sets[std::size_t(index)].c_str() : "";
    }
    int DefaultAnimationSet() override { return defaultSet; }

    // --- body sounds ---
    std::vector<int> feet; // the foot of every tile sound

    void PlayTileSound(int foot, int, const Vector3&, bool) override { feet.push_back(foot); }

    // --- the AI's view ---
    WaypointGraph* graph = nullptr;
    const AIStats* stats = nullptr;
    std::vector<std::vector<Character*>> squads;
    const std::vector<Character*>* currentSquad = nullptr;
    bool logSuppressed = false;
    float far = 3.4e38f;
    float fogStart = 1.0f;
    std::vector<Vector3> smoke;
    int precipitation = 0;
    int chitChatsPlayed = 0;            // handles are 1, 2, ...
    std::vector<int> chitChatsStopped;  // handles; -1 stops nothing

    WaypointGraph* Waypoints() override { return graph; }
    const AIStats* Stats() override { return stats; }
    const std::vector<std::vector<Character*>>& Squads() override { return squads; }
    const std::vector<Character*>* CurrentSquad() override { return currentSquad; }
    bool IsLogSuppressed() override { return logSuppressed; }
    float CameraFar() override { return far; }
    float CameraFogStart() override { return fogStart; }
    const std::vector<Vector3>& SmokeClouds() override { return smoke; }
    int PrecipitationKind() override { return precipitation; }
    int PlayChitChat(const Vector3&) override { return ++chitChatsPlayed; }
    void StopChitChat(int handle) override
    {
        if (handle != -1)
            chitChatsStopped.push_back(handle);
    }

    // --- the enemies' events ---
    struct Event {
        Vector3 at;
        float radius = 0.0f;
        Character* source = nullptr;
        float value = 0.0f;
        bool flag = false;
    };
    const char* voiceFolder = "Sound/Voice";
    std::vector<Event> events;                // raised by the objects
    std::vector<MissionEventView> eventList;  // what the AI senses
    std::vector<GameObject*> alarms;
    std::vector<GameObject*> sounded;
    bool ignoreDamage = false;
    bool neutralsIgnoreDamage = false;

    const char* VoiceFolder() override { return voiceFolder; }
    void AddEvent(const Vector3& position, float radius, Character* source, float value, bool flag) override
    {
        events.push_back({position, radius, source, value, flag});
    }
    void VisitEvents(const std::function<void(const MissionEventView& entry)>& visit) override
    {
        for (const MissionEventView& entry : eventList)
            visit(entry);
    }
    const std::vector<GameObject*>& Alarms() override { return alarms; }
    void SoundAlarm(GameObject* alarm) override { sounded.push_back(alarm); }
    bool EnemiesIgnoreDamage() override { return ignoreDamage; }
    bool NeutralsIgnoreDamage() override { return neutralsIgnoreDamage; }

private:
    RunningLevel level{{.scene = this, .animations = this, .sounds = this, .ai = this, .enemies = this}};
};
