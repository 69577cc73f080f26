// Two copies of the real program on loopback, started from their command lines as a player would
// start a host ("-s") and a join ("-c"), with the test harness's "-port" so that the host takes a
// free port and the join learns it from the host's log. Both run headless; each ends on its own
// shut-down path when asked to quit.
#include "tests/app/ProgramRun.h"

#include <regex>

using namespace programrun;

namespace {

// The port the host's log names, or an empty text.
std::string ListeningPort(const std::string& log)
{
    std::smatch match;
    static const std::regex listening("Network server: listening on UDP port ([0-9]+) ");
    return std::regex_search(log, match, listening) ? match[1].str() : std::string();
}

} // namespace

TEST(NetworkProgramRunTest, HostAndJoinExchangeTheHandshakeAndStaticDataThenDisconnect)
{
    RunFolder hostFolder(true);
    RunFolder joinFolder(true);
    ProgramRun host(hostFolder.path, {"-win", "-nosound", "-nodinput", "-s", "4", "-port", "0"});
    ASSERT_TRUE(host.WaitForLog("Network server: listening on UDP port ")) << host.Log();
    const std::string port = ListeningPort(host.Log());
    ASSERT_FALSE(port.empty()) << host.Log();
    EXPECT_NE(port, "0");
    // The host plays through its own client, which joins its server first.
    ASSERT_TRUE(host.WaitForLog("Network client: connection request accepted (event 18)")) << host.Log();

    ProgramRun join(joinFolder.path, {"-win", "-nosound", "-nodinput", "-c", "127.0.0.1", "-port", port});
    EXPECT_TRUE(join.WaitForLog("Network client: connection request accepted (event 18) by 127.0.0.1:")) << join.Log();
    // The settings come at acceptance; the host's handshake, answering the join's static data, sends
    // them again only if they changed, so the join takes them over once.
    const std::string settingsReceived = "Network client: server settings received (event 24), 2064 bytes, server \"Unnamed\"";
    EXPECT_TRUE(join.WaitForLog(settingsReceived)) << join.Log();
    EXPECT_TRUE(host.WaitForLog("Network server: new incoming connection (event 19) from 127.0.0.1:", 2)) << host.Log();
    EXPECT_TRUE(host.WaitForLog("Network server: static data (event 24) from player ", 2)) << host.Log();
    // The host's own client hears of the second player.
    EXPECT_TRUE(host.WaitForLog("joined (event 14)")) << host.Log();

    join.Signal(SIGTERM);
    const RunResult joined = join.Finish();
    EXPECT_TRUE(joined.exited);
    EXPECT_EQ(joined.status, 0) << joined.log << joined.errorOutput;
    EXPECT_TRUE(host.WaitForLog("has quit (event 21)")) << host.Log();

    host.Signal(SIGTERM);
    const RunResult hosted = host.Finish();
    EXPECT_TRUE(hosted.exited);
    EXPECT_EQ(hosted.status, 0) << hosted.log << hosted.errorOutput;
    EXPECT_EQ(join.CountInLog(settingsReceived), 1) << joined.log;
    for (const RunResult* run : {&joined, &hosted}) {
        EXPECT_EQ(run->log.find("unknown packet error"), std::string::npos) << run->log;
        // The layer's own reports (refused or malformed traffic) would follow "Network: " too.
        const std::size_t made = run->log.find("Network: client and server interfaces");
        EXPECT_NE(made, std::string::npos) << run->log;
        EXPECT_EQ(run->log.find("Network: ", made + 1), std::string::npos) << run->log;
    }
}

TEST(NetworkProgramRunTest, JoinWithoutAHostGivesUpAndEndsOnItsOwn)
{
    // A port no server listens on: the join waits its bounded time, logs why and ends as an error.
    RunFolder folder(true);
    ProgramRun join(folder.path, {"-win", "-nosound", "-nodinput", "-c", "127.0.0.1", "-port", "9"});
    const RunResult result = join.Finish();
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.status, 1) << result.log << result.errorOutput;
    EXPECT_NE(result.log.find("Server busy or unresponsive, or ignoring connection attempts"), std::string::npos)
        << result.log;
    EXPECT_NE(result.log.find("Connection to 127.0.0.1 failed from the command line."), std::string::npos) << result.log;
}
