#include "mission/input/CommandLine.h"

CommandLine& CommandLine::Instance()
{
    static CommandLine commandLine;
    return commandLine;
}

void CommandLine::CreateBackground()
{
    backgroundLoaded = true;
}

void ChatLine::ReleaseTexture()
{
    CommandLine::Instance().backgroundLoaded = false;
}
