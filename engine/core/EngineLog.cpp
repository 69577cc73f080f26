#include "engine/core/EngineLog.h"

#include <cstdarg>
#include <cstdio>

#include "engine/core/FormatText.h"

namespace {

// The installed sink; the process has one log, so its route is process-wide.
EngineLogSink*& CurrentSink()
{
    static EngineLogSink* sink = nullptr;
    return sink;
}

} // namespace

EngineLogRoute::EngineLogRoute(EngineLogSink& sink) : previous(CurrentSink())
{
    CurrentSink() = &sink;
}

EngineLogRoute::~EngineLogRoute()
{
    CurrentSink() = previous;
}

void LogToEngine(const char* format, ...)
{
    char text[2048];
    text[0] = '\0';
    std::va_list args;
    va_start(args, format);
    vFormatText(text, sizeof text, format, args);
    va_end(args);
    if (EngineLogSink* sink = CurrentSink())
        sink->WriteLogLine(text);
    else
        std::fprintf(stderr, "%s\n", text);
}
