#pragma once

#include "platform/net/MasterRecords.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform::net {

// The game's link to the master server: lists this host with its rules and fetches the list of
// hosts. Nothing waits: Connect starts the connection and Update, called every frame, carries
// the traffic both ways.
class MasterClient {
public:
    MasterClient();
    ~MasterClient();
    MasterClient(const MasterClient&) = delete;
    MasterClient& operator=(const MasterClient&) = delete;

    // Starts connecting to the master server at address:masterPort from localPort (0 for any);
    // gamePort is the port this host's game server takes players on. False when the address is
    // not an IPv4 address or no socket could be opened.
    bool Connect(const std::string& address, std::uint16_t masterPort, std::uint16_t localPort, std::uint16_t gamePort);
    // Withdraws a listing of this host first, then closes, waiting at most blockMs.
    void Disconnect(std::uint32_t blockMs = 100);
    bool IsConnected() const;

    // This host's rules; a change reaches the master server with the next Update while listed.
    void SetRule(const std::string& name, const std::string& text);
    void SetRule(const std::string& name, std::int32_t value);
    // Asks for this host to be listed (now, or as soon as the connection stands).
    void ListServer();
    // Takes this host off the list; the withdrawal is sent only when the listing had been taken.
    void DelistServer();
    // True once the master server took the listing, until it is withdrawn or the link drops.
    bool IsListed() const;

    // The rules to fetch of each host; empty fetches all.
    void SetRulesToFetch(std::vector<std::string> names);
    // Asks for a new list, which replaces the one held. False when not connected.
    bool RequestServerList();
    // Asks for fresh pings and rules of the hosts held; hosts gone leave, no new ones come.
    bool PingServers();

    // Sends and receives; waits at most timeoutMs for the first event.
    void Update(std::uint32_t timeoutMs = 0);

    // Each host's rules, with "IP" (text, "a.b.c.d"), "Game Port" and "Ping" (integers) added.
    std::size_t GetServerCount() const;
    const std::vector<MasterRule>& GetServerRules(std::size_t server) const;
    bool GetRuleText(std::size_t server, const std::string& name, std::string& text) const;
    bool GetRuleInt(std::size_t server, const std::string& name, std::int32_t& value) const;

    const std::string& GetLastError() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

} // namespace platform::net
