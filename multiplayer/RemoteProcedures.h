#pragma once

// Registers the program's named remote procedures on the client and server interfaces. A
// stand-in until the network code exists: there is nothing to register with yet.
void RegisterRemoteProcedures();

// Host only: tells every client that the game is paused or goes on (nothing to tell yet).
void ServerSendPause(bool paused);
