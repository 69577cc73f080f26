#include "app/program/Program.h"
#include "app/program/ProgramArguments.h"

#include <string>

int main(int argc, char** argv)
{
    std::string commandLine = JoinProgramArguments(argc, argv);
    return WinMain(commandLine.c_str());
}
