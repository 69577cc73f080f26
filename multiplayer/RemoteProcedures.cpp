#include "multiplayer/RemoteProcedures.h"

void RegisterRemoteProcedures()
{
}

void ServerSendPause(bool)
{
}
