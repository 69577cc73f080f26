#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/Matrix.h"
#include "engine/core/PtrList.h"
#include "engine/core/Vector.h"

class Character;
class Formation;

// One place of a formation definition, as offsets in the anchor's orientation.
struct FormationSlot {
    float side = 0.0f;    // along the orientation's first row
    float forward = 0.0f; // along its third row
    float value3 = 0.0f;  // further numbers of the line, kept and unused
    float value4 = 0.0f;
    float value5 = 0.0f;
};

// A ".for" file of "GameData/Formations/": the slot count N (1 to 64) on the first line, then
// N x 5 numbers separated by blanks or line ends.
struct FormationDefinition {
    static constexpr int kMaxSlots = 64;
    static constexpr std::size_t kMaxLineLength = 1023;

    // Slot numbers beyond this are clamped to it, so that slot positions and the distances
    // between them stay finite.
    static constexpr float kMaxNumber = 1.0e6f;

    std::string fileName; // as found in the folder, extension included ("Wedge.for")
    std::vector<FormationSlot> slots;

    // The slots of a ".for" text (path names it in the log line of a clamped number); false, with
    // the reason and the slots untouched, when the text cannot serve as a definition.
    static bool ParseSlots(std::string_view text, const char* path, std::vector<FormationSlot>& slots,
                           const char*& why);
};

// A character's place in a formation instance.
struct FormationMember {
    Formation* formation = nullptr;
    const FormationSlot* slot = nullptr; // the leader's link has the definition's first slot
    Character* character = nullptr;
};

// One group on the map: a leader, its anchor (where the leader stood and how it faced at the
// last anchor update), and the members, each in a slot of the definition. Members take the
// slots in the order they joined: the oldest (the tail of members) slot 0, the next slot 1, and
// so on; a definition of N slots serves a leader and up to N members.
//
// The definitions and instances live in one process-wide registry (main thread only). A name or
// a membership the definition cannot serve is refused with a log line, and nothing changes.
class Formation {
public:
    static constexpr std::size_t kNameSize = 64;

    Formation(); // not registered; Create makes the registered instances
    ~Formation();
    Formation(const Formation&) = delete;
    Formation& operator=(const Formation&) = delete;

    FormationMember* leaderLink = nullptr;
    float movedSquared = 0.0f;
    Vector3 anchor;
    Matrix3 orientation;
    Matrix3 previousOrientation;
    PtrListOf<FormationMember> members; // newest at the head
    char definitionName[kNameSize] = {};
    std::uint8_t holdPositions = 0;

    const FormationDefinition* GetDefinition() const { return definition; }
    // The slot index of a link of this instance, -1 for a null link or slot.
    int GetSlotIndex(const FormationMember* link) const;

    // Adds every readable "<folder>/*.for" file at the head of the definition list; files that
    // can't be opened or hold a bad slot count or too few numbers are skipped with a log line.
    static void LoadDirectory(const char* folder);
    // The definition loaded first whose file name equals the name ignoring case; null when none.
    static const FormationDefinition* FindDefinition(const char* name);
    // A new registered instance of the named definition led by leader; *link gets the leader's
    // link. An unknown name is refused: null, *link null.
    static Formation* Create(const char* name, FormationMember** link, Character* leader);
    // Adds member in the next slot; *link gets its link. False (*link null) when every slot is
    // taken or the formation is null.
    static bool AddMember(Formation* formation, FormationMember** link, Character* member);
    // Frees a member's link, sets *link null and renumbers the other members. The leader's link
    // leaves the instance without a leader.
    static void RemoveMember(Formation* formation, FormationMember** link);
    // Switches to another definition and renumbers the members in it. False, with nothing
    // changed, for an unknown name or a definition with fewer slots than members.
    static bool SetDefinition(Formation* formation, const char* name);
    // newLeader takes the leader's place (and slot): the old leader link is freed and
    // *oldLeaderLink set null; *newLink gets the new one.
    static void ChangeLeader(Formation* formation, FormationMember** oldLeaderLink, FormationMember** newLink,
                             Character* newLeader);
    // anchor + side x the orientation's first row + forward x its third row; the anchor itself
    // for a link without a slot.
    static void GetSlotPosition(Vector3& position, const Vector3& anchor, const Matrix3& orientation,
                                const FormationMember* link);
    // Unlinks every member without freeing the links: they stay valid, owned by the instance,
    // until it is destroyed.
    static void ClearMembers(Formation* formation);
    // Unregisters and frees the instance with its links; the characters' links are the caller's
    // to clear.
    static void Destroy(Formation* formation);
    // Frees every definition and every instance.
    static void FreeAll();

    // The registry, for the mission's displays and the tests.
    static const PtrListOf<FormationDefinition>& GetDefinitions();
    static const PtrListOf<Formation>& GetInstances();

private:
    void Renumber();

    const FormationDefinition* definition = nullptr;
    PtrListOf<FormationMember> released; // links unlinked by ClearMembers, freed with the instance
};
