// The fuzzing targets read definitions without an application: their log lines go nowhere, so
// that a run of millions of inputs does not drown its own report.
#include "characters/EngineLog.h"

void LogToEngine(const char*, ...) {}
