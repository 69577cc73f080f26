#pragma once

// The AI's helpers on top of the running level's answers (AILevelView).
// The value of an AI statistic by key, fallback when the table or the key is missing.
float MissionAIStat(const char* key, float fallback);
// The enemies' ground queries of this frame: their update counts each one, the in-game update
// sets it back to 0 every frame.
int& EnemyGroundQueryCount();
// The mission's difficulty option (0 easy, 1 medium, 2 hard).
int MissionDifficulty();
// A networked game is running: this machine hosts or is a connected client.
bool IsNetworkGameRunning();
