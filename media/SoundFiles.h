#pragma once

// Routes every file the audio layer reads through the pack-file layer, so sounds may lie loose
// or inside archives.
void InstallSoundFileCallbacks();
