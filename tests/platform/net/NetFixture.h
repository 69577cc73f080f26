#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/net/Client.h"
#include "platform/net/Server.h"

namespace nettest {

using namespace platform::net;
using namespace std::chrono_literals;

// The lines an interface logs, kept for the test to read (the service thread logs too).
class LogCapture {
public:
    LogSink Sink()
    {
        return [this](const std::string& line) {
            std::lock_guard lock(mutex);
            lines.push_back(line);
        };
    }
    std::size_t Count() const
    {
        std::lock_guard lock(mutex);
        return lines.size();
    }
    std::vector<std::string> Lines() const
    {
        std::lock_guard lock(mutex);
        return lines;
    }

private:
    mutable std::mutex mutex;
    std::vector<std::string> lines;
};

struct Record {
    std::vector<std::uint8_t> bytes;
    std::uint16_t index = kNoPlayerIndex;
    PlayerId id;
    std::uint8_t Id() const { return bytes.empty() ? 0 : bytes[0]; }
};

// What one interface has received, in order.
template <class Interface>
class Inbox {
public:
    explicit Inbox(Interface& from) : from(from) {}
    void Pump()
    {
        while (Packet* packet = from.Receive()) {
            records.push_back({{packet->data, packet->data + packet->length}, packet->playerIndex, packet->playerId});
            from.DeallocatePacket(packet);
        }
    }
    int Count(std::uint8_t id) const
    {
        int count = 0;
        for (const Record& record : records)
            count += record.Id() == id;
        return count;
    }
    const Record* First(std::uint8_t id) const
    {
        for (const Record& record : records)
            if (record.Id() == id)
                return &record;
        return nullptr;
    }
    std::vector<std::uint8_t> Ids() const
    {
        std::vector<std::uint8_t> ids;
        for (const Record& record : records)
            ids.push_back(record.Id());
        return ids;
    }

    Interface& from;
    std::vector<Record> records;
};

// Runs step (which pumps) until done holds or the limit passes; every wait of the tests is bounded.
inline bool WaitUntil(const std::function<void()>& step, const std::function<bool()>& done,
                      std::chrono::milliseconds limit = 5000ms)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        step();
        if (done())
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
}

inline PeerConfig QuietConfig(LogCapture& log)
{
    PeerConfig config;
    config.log = log.Sink();
    config.pingIntervalMs = 100;
    return config;
}

// A server and one client of it on loopback.
struct Pair {
    Pair(PeerConfig serverConfig, PeerConfig clientConfig) : server(serverConfig), client(clientConfig), host(server), player(client) {}
    // Starts both and waits for the handshake; what it brought is cleared.
    bool Open()
    {
        const bool open = server.Start(2, 0) && client.Connect("127.0.0.1", server.GetLocalPort(), 0) &&
                          WaitUntil([this] { Pump(); }, [this] { return host.Count(24) == 1 && player.Count(24) == 1; }, 10000ms);
        host.records.clear();
        player.records.clear();
        return open;
    }
    void Pump()
    {
        host.Pump();
        player.Pump();
    }
    Server server;
    Client client;
    Inbox<Server> host;
    Inbox<Client> player;
};

} // namespace nettest
