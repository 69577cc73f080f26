#pragma once

// Registers the program's named remote procedures on the client and server interfaces. A
// stand-in until the network code exists: there is nothing to register with yet.
void RegisterRemoteProcedures();
