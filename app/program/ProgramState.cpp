#include "app/program/Program.h"

#include "media/InputSystem.h"
#include "media/SoundSystem.h"
#include "multiplayer/GameNetwork.h"
#include "platform/net/MasterClient.h"
#include "platform/os/Window.h"

ProgramState::ProgramState() = default;
ProgramState::~ProgramState() = default;

ProgramState& Program()
{
    static ProgramState program;
    return program;
}
