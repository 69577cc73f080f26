#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform::net {

// The master server: hosts list themselves with their rules, players ask for the list. One
// listing per connection, gone when the host withdraws it or its connection ends. Every record
// is checked; a bad one is dropped, counted and named in GetLastError.
class MasterServer {
public:
    // Listens on address:port ("127.0.0.1", or "" for every address; port 0 takes a free one).
    MasterServer(const std::string& address, std::uint16_t port, std::size_t maxPeers = 256);
    ~MasterServer();
    MasterServer(const MasterServer&) = delete;
    MasterServer& operator=(const MasterServer&) = delete;

    bool IsOpen() const;
    std::uint16_t GetPort() const;

    // Handles what arrived, waiting at most timeoutMs for the first event.
    void Service(std::uint32_t timeoutMs);

    std::size_t GetListedCount() const;
    std::size_t GetRefusedRecords() const;
    const std::string& GetLastError() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

} // namespace platform::net
