#pragma once

// A line in the engine log through the application's device; with no device yet (tools, early
// start-up) the line goes to standard error so that it is never lost.
void LogToEngine(const char* format, ...) __attribute__((format(printf, 1, 2)));
