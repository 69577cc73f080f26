#pragma once

#include <cstdint>

#include "characters/ai/Formation.h"

class AI;
class SaveStream;

// The formation prefix that the computer-driven characters' blocks begin with: in a formation (1);
// when in one, leads it (1) and then the leader's formation state (89) or the member's leader
// identifier (2). Reading is apart from taking, so that a block that fails later changes nothing.
struct FormationPrefix {
    bool inFormation = false;
    bool leads = false;
    // The leader's formation state.
    float movedSquared = 0.0f;
    Vector3 anchor;
    Matrix3 orientation;
    Matrix3 previousOrientation;
    std::uint8_t holdPositions = 0;
    std::uint16_t leaderID = 0xFFFF;

    static void Write(AI& ai, SaveStream* stream);
    // Throws q3DError (naming the block) for a flag byte other than 0 or 1 or a short stream.
    static FormationPrefix Read(SaveStream* stream, const char* blockName);

    // Before the rest of the block: a leader without formation makes one of the file; a member
    // whose leader identifier names another computer-driven character joins it (the leader given
    // one first), a member whose identifier names nothing stays outside. True when the character
    // joined or made a formation (Undo takes it back).
    bool Take(AI& ai, const char* formationFile) const;
    static void Undo(AI& ai, bool taken);
    // After the whole block has been read: leaves a formation the block does not name, and puts
    // the leader's state into its formation.
    void Finish(AI& ai) const;
};
