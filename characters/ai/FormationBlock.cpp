#include "characters/ai/FormationBlock.h"

#include "characters/ai/AI.h"
#include "engine/core/q3DError.h"
#include "engine/serial/SaveStream.h"

void FormationPrefix::Write(AI& ai, SaveStream* stream)
{
    const bool inFormation = ai.formationLink && ai.formationLink->formation;
    stream->WriteUInt8(inFormation ? 1 : 0);
    if (!inFormation)
        return;
    const bool leads = ai.LeadsFormation();
    stream->WriteUInt8(leads ? 1 : 0);
    if (leads) {
        ai.SaveFormationState(stream);
    } else {
        Character* leader = ai.GetFormationLeader();
        stream->WriteUInt16(leader ? std::uint16_t(leader->GetID()) : GameObject::NoID);
    }
}

FormationPrefix FormationPrefix::Read(SaveStream* stream, const char* blockName)
{
    const auto readFlag = [stream, blockName](const char* what) {
        const std::uint8_t value = stream->ReadUInt8();
        if (value > 1)
            throw q3DError("The %s block's %s byte is %d, not 0 or 1", blockName, what, int(value));
        return value != 0;
    };
    FormationPrefix prefix;
    prefix.inFormation = readFlag("formation");
    if (!prefix.inFormation)
        return prefix;
    prefix.leads = readFlag("leader");
    if (prefix.leads) {
        prefix.movedSquared = stream->ReadFloat("formation's movement");
        prefix.anchor = stream->ReadVector3("formation's anchor");
        prefix.orientation = stream->ReadMatrix3("formation's orientation");
        prefix.previousOrientation = stream->ReadMatrix3("formation's previous orientation");
        prefix.holdPositions = stream->ReadUInt8();
    } else {
        prefix.leaderID = stream->ReadUInt16();
    }
    return prefix;
}

bool FormationPrefix::Take(AI& ai, const char* formationFile) const
{
    if (inFormation && leads && !ai.formationLink) {
        ai.SetFormation(formationFile);
        return ai.formationLink != nullptr;
    }
    if (inFormation && !leads && !ai.formationLink) {
        auto* leader = dynamic_cast<AI*>(GameObject::GetByID(std::int16_t(leaderID)));
        if (!leader || leader == &ai)
            return false;
        if (!leader->LeadsFormation())
            leader->SetFormation(formationFile);
        ai.JoinFormationOf(leader);
        return ai.formationLink != nullptr;
    }
    return false;
}

void FormationPrefix::Undo(AI& ai, bool taken)
{
    if (taken)
        ai.LeaveFormation();
}

void FormationPrefix::Finish(AI& ai) const
{
    if (!inFormation && ai.formationLink)
        ai.LeaveFormation();
    if (leads && ai.LeadsFormation()) {
        Formation* formation = ai.formationLink->formation;
        formation->movedSquared = movedSquared;
        formation->anchor = anchor;
        formation->orientation = orientation;
        formation->previousOrientation = previousOrientation;
        formation->holdPositions = holdPositions;
    }
}
