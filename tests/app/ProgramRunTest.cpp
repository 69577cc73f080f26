// The real program, run headless on the demo data: it starts, runs frames, and ends with the
// exit status and the exit message a player would see.
#include "tests/app/ProgramRun.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

using namespace programrun;

namespace {

// A UDP port of this machine held for the test's lifetime, so that a server cannot listen on it.
class HeldPort {
public:
    HeldPort()
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        socklen_t size = sizeof address;
        if (socket >= 0 && bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port = ntohs(address.sin_port);
    }
    ~HeldPort()
    {
        if (socket >= 0)
            close(socket);
    }
    HeldPort(const HeldPort&) = delete;
    HeldPort& operator=(const HeldPort&) = delete;

    int port = 0;

private:
    int socket = ::socket(AF_INET, SOCK_DGRAM, 0);
};

} // namespace

TEST(ProgramRunTest, RunsFramesAndQuitsWithStatusZero)
{
    const std::vector<std::vector<std::string>> commandLines = {
        {"-win"},
        {"-win", "-nosound", "-nodinput", "-w", "640"},
        {"-nosound"},
    };
    for (const auto& commandLine : commandLines) {
        SCOPED_TRACE(commandLine.size() > 1 ? commandLine[1] : commandLine[0]);
        RunFolder folder(true);
        ProgramRun run(folder.path, commandLine);
        bool running = run.WaitForLog(framesRunning);
        // The quit message a window system sends when the user closes the game.
        run.Signal(SIGTERM);
        RunResult result = run.Finish();
        EXPECT_TRUE(running) << result.log << result.errorOutput;
        EXPECT_TRUE(result.exited);
        EXPECT_EQ(result.status, 0) << result.log << result.errorOutput;
        EXPECT_EQ(result.errorOutput.find("Message:"), std::string::npos) << result.errorOutput;
    }
}

TEST(ProgramRunTest, MissingSplashEndsWithStatusOneAndTheMessage)
{
    RunFolder folder(false);
    ProgramRun run(folder.path, {"-win"});
    RunResult result = run.Finish();
    ASSERT_TRUE(result.exited);
    EXPECT_EQ(result.status, 1) << result.log;
    EXPECT_NE(result.errorOutput.find("Message: "), std::string::npos) << result.errorOutput;
    // The same text went to the engine log.
    std::string message = result.errorOutput.substr(result.errorOutput.find("Message: ") + 9);
    message = message.substr(0, message.find('\n'));
    EXPECT_FALSE(message.empty());
    EXPECT_NE(result.log.find(message), std::string::npos) << result.log;
}

TEST(ProgramRunTest, FailedCommandLineServerOrConnectionEndsWithStatusOne)
{
    {
        // A server whose port is taken cannot start.
        HeldPort taken;
        ASSERT_NE(taken.port, 0);
        RunFolder folder(true);
        ProgramRun run(folder.path, {"-win", "-nosound", "-s", "8", "-port", std::to_string(taken.port)});
        RunResult result = run.Finish();
        ASSERT_TRUE(result.exited);
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.errorOutput.find("Message: Failed to start the server from the command line."), std::string::npos)
            << result.errorOutput;
        EXPECT_NE(result.log.find("Failed to start the server from the command line."), std::string::npos);
    }
    {
        RunFolder folder(true);
        // Nobody listens on the held port: the join gives up.
        HeldPort unanswered;
        ProgramRun run(folder.path, {"-win", "-nosound", "-c", "127.0.0.1", "-port", std::to_string(unanswered.port)});
        RunResult result = run.Finish();
        ASSERT_TRUE(result.exited);
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.log.find("Connection to 127.0.0.1 failed from the command line."), std::string::npos)
            << result.log;
        // Only logged: there is no exit message to show.
        EXPECT_EQ(result.errorOutput.find("Message:"), std::string::npos) << result.errorOutput;
    }
}

TEST(ProgramRunTest, OptionsAreSavedWhenTheOptionsScreenIsLeftAndReadAtTheNextStart)
{
    RunFolder folder(true);
    {
        ProgramRun run(folder.path, {"-win", "-nosound", "-options"});
        EXPECT_TRUE(run.WaitForLog(framesRunning));
        run.Signal(SIGTERM);
        RunResult result = run.Finish();
        EXPECT_EQ(result.status, 0) << result.log << result.errorOutput;
        EXPECT_NE(result.log.find("Bexal.cfg could not be loaded, using defaults"), std::string::npos) << result.log;
    }
    std::string options = ReadFile(folder.path / "Bexal.cfg");
    ASSERT_EQ(options.size(), 193u);
    EXPECT_EQ(options.substr(0, 4), std::string("\x52\xB8\xDE\x3F", 4));
    EXPECT_NE(ReadFile(folder.path / "keys.cfg").find("\nRun; 16\n"), std::string::npos);

    // Music volume 40 and Run on Control, as a player would have set them.
    options[4 + 22 * 4] = 40;
    std::ofstream(folder.path / "Bexal.cfg", std::ios::binary) << options;
    std::ofstream(folder.path / "keys.cfg") << "Run; 17\n";
    fs::remove(folder.path / "q3D.log");
    {
        ProgramRun run(folder.path, {"-win", "-nosound", "-options"});
        EXPECT_TRUE(run.WaitForLog(framesRunning));
        run.Signal(SIGTERM);
        RunResult result = run.Finish();
        EXPECT_EQ(result.status, 0) << result.log << result.errorOutput;
        EXPECT_EQ(result.log.find("Bexal.cfg could not be loaded"), std::string::npos) << result.log;
    }
    EXPECT_EQ(ReadFile(folder.path / "Bexal.cfg"), options);
    const std::string keys = ReadFile(folder.path / "keys.cfg");
    EXPECT_NE(keys.find("\nRun; 17\n"), std::string::npos) << keys;
    EXPECT_NE(keys.find("\nCommand: Move To Point; -1\n"), std::string::npos) << keys;
}

namespace {

// The demo data linked file by file, without the files named (paths inside the data folder).
void LinkDataWithout(const fs::path& from, const fs::path& to, const std::vector<fs::path>& left, const fs::path& inside = {})
{
    for (const fs::directory_entry& entry : fs::directory_iterator(from)) {
        const fs::path relative = inside / entry.path().filename();
        if (std::find(left.begin(), left.end(), relative) != left.end())
            continue;
        if (entry.is_directory()) {
            fs::create_directory(to / relative);
            LinkDataWithout(entry.path(), to, left, relative);
        } else {
            fs::create_symlink(entry.path(), to / relative);
        }
    }
}

} // namespace

TEST(ProgramRunTest, AScreenThatFailsToEnterEndsWithStatusOneAndTheMessage)
{
    RunFolder folder(false);
    LinkDataWithout(BEXAL_DATA_DIR, folder.path,
                    {"GameData/Menus/Options/backdrop.tga", "GameData/Menus/Options/backdrop2.tga"});
    ProgramRun run(folder.path, {"-win", "-nosound", "-options"});
    RunResult result = run.Finish();
    ASSERT_TRUE(result.exited);
    EXPECT_EQ(result.status, 1) << result.log << result.errorOutput;
    EXPECT_NE(result.errorOutput.find("Message: Can't load GameData/Menus/Options/backdrop"), std::string::npos)
        << result.errorOutput;
    EXPECT_NE(result.log.find("Can't load GameData/Menus/Options/backdrop"), std::string::npos) << result.log;
}
