#include "multiplayer/RemoteProcedures.h"

void RegisterRemoteProcedures()
{
}
