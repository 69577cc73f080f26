#pragma once

#include "platform/net/BitStream.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform::net {

// The records between the master-server client and the master server, byte 0 the id.
enum MasterRecordId : std::uint8_t {
    kMasterListServer = 1,  // client -> master: list (or update) this host with its rules
    kMasterWithdraw = 2,    // client -> master: take this host off the list
    kMasterRequestList = 3, // client -> master: send the list (or fresh pings of it)
    kMasterListed = 10,     // master -> client: the listing was taken
    kMasterServerList = 11, // master -> client: the listed hosts
};

constexpr std::size_t kMaxMasterRules = 64;
constexpr std::size_t kMaxRuleNameLength = 64;  // buffer size, terminator included
constexpr std::size_t kMaxRuleTextLength = 256; // buffer size, terminator included
constexpr std::size_t kMaxListedServers = 1024;
constexpr std::size_t kMaxListingBytes = 8 * 1024;
constexpr std::size_t kMaxMasterRecordBytes = 512 * 1024;

// A server rule: a name with a text or an integer.
struct MasterRule {
    std::string name;
    bool isText = true;
    std::string text;
    std::int32_t value = 0;

    bool operator==(const MasterRule&) const = default;
};

// Rules travel as a count and the rules; Read refuses counts above the limit, empty or
// repeated names and texts above their limits.
void WriteRules(BitStream& out, const std::vector<MasterRule>& rules);
bool ReadRules(BitStream& in, std::vector<MasterRule>& rules);

struct ListServerRecord {
    std::uint16_t gamePort = 0;
    std::vector<MasterRule> rules;

    void Write(BitStream& out) const;
    bool Read(BitStream& in);
};

// With refresh set the answer only renews what the asker already holds.
struct RequestListRecord {
    bool refresh = false;
    std::vector<std::string> ruleNames; // the rules to send of each host; empty for all

    void Write(BitStream& out) const;
    bool Read(BitStream& in);
};

struct ListedServer {
    std::uint8_t address[4] = {};
    std::uint16_t gamePort = 0;
    std::uint32_t ping = 0; // milliseconds, estimated through the master server
    std::vector<MasterRule> rules;
};

struct ServerListRecord {
    bool refresh = false;
    std::vector<ListedServer> servers;

    void Write(BitStream& out) const;
    bool Read(BitStream& in);
};

} // namespace platform::net
