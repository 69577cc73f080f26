#include "characters/EngineLog.h"

#include <cstdarg>
#include <cstdio>

#include "app/framework/Application.h"
#include "engine/core/FormatText.h"
#include "renderer/Device.h"

void LogToEngine(const char* format, ...)
{
    char text[2048];
    text[0] = '\0';
    std::va_list args;
    va_start(args, format);
    vFormatText(text, sizeof text, format, args);
    va_end(args);
    if (Device* device = Application::Instance()->GetDevice())
        device->Log("%s", text);
    else
        std::fprintf(stderr, "%s\n", text);
}
