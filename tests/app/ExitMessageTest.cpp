#include "app/program/Program.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string ShownFor(const char* exitMessage)
{
    char* buffer = Program().exitMessage;
    std::strncpy(buffer, exitMessage, ProgramState::ExitMessageSize - 1);
    testing::internal::CaptureStderr();
    ShowExitMessage();
    std::string shown = testing::internal::GetCapturedStderr();
    buffer[0] = '\0';
    return shown;
}

} // namespace

TEST(ExitMessageTest, ShownAtExitWhenThereIsOne)
{
    EXPECT_EQ(ShownFor(""), "");
    EXPECT_EQ(ShownFor("You were kicked from the server."), "Message: You were kicked from the server.\n");
    EXPECT_EQ(ShownFor("Error creating texture: D3DERR_OUTOFVIDEOMEMORY"),
              "Not enough video ram: Error setting video mode.  You must re-run the game and lower the Resolution, "
              "Bit Depth or Anti-Aliasing settings on the Options screen in order to run the game.\n");
}
