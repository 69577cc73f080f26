#pragma once

// Connects the framework to the game above it: the Application's network and command-line hooks
// and what the options record does beyond the framework when it is applied. The program calls it
// once at start-up, before the options are loaded; tests of whole screens call it too.
void InstallGameHooks();
