#include "platform/net/MasterClient.h"

#include <gtest/gtest.h>

#include <enet/enet.h>

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace platform::net;
using Clock = std::chrono::steady_clock;

// The built master-server program, started on loopback with a free port and a time limit of its own
// in case the test cannot stop it.
class MasterProgram {
public:
    MasterProgram()
    {
        errorPath = std::filesystem::temp_directory_path() / ("bexal-master-" + std::to_string(getpid()) + ".txt");
        int out[2];
        if (pipe(out) != 0)
            return;
        const std::string program = std::filesystem::path(BEXAL_BIN_DIR) / "bexal-master";
        const pid_t parent = getpid();
        pid = fork();
        if (pid == 0) {
            if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent)
                _exit(126);
            dup2(out[1], 1);
            if (std::freopen(errorPath.c_str(), "w", stderr) == nullptr)
                _exit(126);
            execl(program.c_str(), program.c_str(), "--address", "127.0.0.1", "--port", "0", "--seconds", "60",
                static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        output = out[0];
    }

    ~MasterProgram()
    {
        if (pid > 0 && !reaped) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (output >= 0)
            close(output);
        std::filesystem::remove(errorPath);
    }

    // The first line the program prints names its port; 0 when none came within a few seconds.
    std::uint16_t WaitForPort()
    {
        std::string line;
        const auto end = Clock::now() + std::chrono::seconds(10);
        while (line.find('\n') == std::string::npos && Clock::now() < end) {
            pollfd ready{output, POLLIN, 0};
            if (poll(&ready, 1, 100) <= 0)
                continue;
            char buffer[256];
            const ssize_t n = read(output, buffer, sizeof buffer);
            if (n <= 0)
                break;
            line.append(buffer, static_cast<std::size_t>(n));
        }
        const std::size_t colon = line.rfind(':');
        return colon == std::string::npos ? 0 : static_cast<std::uint16_t>(std::atoi(line.c_str() + colon + 1));
    }

    // Asks the program to stop and returns its exit status (-1 when it did not exit by itself).
    int Stop()
    {
        kill(pid, SIGTERM);
        int status = 0;
        const auto end = Clock::now() + std::chrono::seconds(10);
        while (Clock::now() < end) {
            if (waitpid(pid, &status, WNOHANG) == pid) {
                reaped = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            poll(nullptr, 0, 10);
        }
        return -1;
    }

    std::string ErrorOutput() const
    {
        std::ifstream file(errorPath);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

private:
    pid_t pid = -1;
    int output = -1;
    bool reaped = false;
    std::filesystem::path errorPath;
};

bool PumpUntil(const std::function<bool()>& done, std::initializer_list<MasterClient*> clients)
{
    const auto end = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < end) {
        for (MasterClient* client : clients)
            client->Update(1);
        if (done())
            return true;
    }
    return false;
}

TEST(MasterProgram, ListsAHostForABrowserAndReportsBadRecords)
{
    MasterProgram program;
    const std::uint16_t port = program.WaitForPort();
    ASSERT_NE(port, 0) << program.ErrorOutput();

    MasterClient host, browser;
    ASSERT_TRUE(host.Connect("127.0.0.1", port, 0, 60001));
    ASSERT_TRUE(browser.Connect("127.0.0.1", port, 0, 0));
    host.SetRule("Host Name", "Program");
    host.SetRule("Num Players", 3);
    host.ListServer();
    ASSERT_TRUE(PumpUntil([&] { return host.IsListed() && browser.IsConnected(); }, {&host, &browser}));
    browser.RequestServerList();
    ASSERT_TRUE(PumpUntil([&] { return browser.GetServerCount() == 1; }, {&host, &browser}));
    std::int32_t players = 0;
    EXPECT_TRUE(browser.GetRuleInt(0, "Num Players", players));
    EXPECT_EQ(players, 3);

    // A record no client writes is refused and named on the program's error output.
    ENetHost* raw = enet_host_create(nullptr, 1, 1, 0, 0);
    ASSERT_NE(raw, nullptr);
    ENetAddress address{};
    enet_address_set_host_ip(&address, "127.0.0.1");
    address.port = port;
    ENetPeer* peer = enet_host_connect(raw, &address, 1, 0);
    const std::uint8_t junk[] = {200, 1, 2, 3};
    bool sent = false;
    const auto end = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < end && program.ErrorOutput().find("unknown record 200") == std::string::npos) {
        ENetEvent event;
        if (enet_host_service(raw, &event, 5) > 0 && event.type == ENET_EVENT_TYPE_CONNECT && !sent)
            sent = enet_peer_send(peer, 0, enet_packet_create(junk, sizeof junk, ENET_PACKET_FLAG_RELIABLE)) == 0;
    }
    enet_host_destroy(raw);
    EXPECT_NE(program.ErrorOutput().find("unknown record 200"), std::string::npos);

    host.Disconnect(100);
    browser.Disconnect(100);
    EXPECT_EQ(program.Stop(), 0);
}

} // namespace
