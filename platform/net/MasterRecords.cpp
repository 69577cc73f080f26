#include "platform/net/MasterRecords.h"

#include "platform/net/StringCompressor.h"

#include <algorithm>

namespace platform::net {

namespace {

bool ReadId(BitStream& in, MasterRecordId expected)
{
    std::uint8_t id = 0;
    return in.Read(id) && id == expected;
}

// A record ends with its last field: trailing bytes mean a writer of another layout.
bool AtEnd(const BitStream& in)
{
    return in.GetNumberOfUnreadBits() < 8;
}

} // namespace

void WriteRules(BitStream& out, const std::vector<MasterRule>& rules)
{
    out.WriteCompressed(static_cast<std::uint32_t>(rules.size()));
    for (const MasterRule& rule : rules) {
        StringCompressor::EncodeString(rule.name, kMaxRuleNameLength, out);
        out.WriteBit(rule.isText);
        if (rule.isText)
            StringCompressor::EncodeString(rule.text, kMaxRuleTextLength, out);
        else
            out.WriteCompressed(rule.value);
    }
}

bool ReadRules(BitStream& in, std::vector<MasterRule>& rules)
{
    rules.clear();
    std::uint32_t count = 0;
    if (!in.ReadCompressed(count) || count > kMaxMasterRules)
        return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        MasterRule rule;
        const bool ok = StringCompressor::DecodeString(rule.name, kMaxRuleNameLength, in) && !rule.name.empty()
            && in.ReadBit(rule.isText)
            && (rule.isText ? StringCompressor::DecodeString(rule.text, kMaxRuleTextLength, in)
                            : in.ReadCompressed(rule.value))
            && std::none_of(rules.begin(), rules.end(), [&](const MasterRule& r) { return r.name == rule.name; });
        if (!ok) {
            rules.clear();
            return false;
        }
        rules.push_back(std::move(rule));
    }
    return true;
}

void ListServerRecord::Write(BitStream& out) const
{
    out.Write(std::uint8_t{kMasterListServer});
    out.Write(gamePort);
    WriteRules(out, rules);
}

bool ListServerRecord::Read(BitStream& in)
{
    return ReadId(in, kMasterListServer) && in.Read(gamePort) && ReadRules(in, rules) && AtEnd(in);
}

void RequestListRecord::Write(BitStream& out) const
{
    out.Write(std::uint8_t{kMasterRequestList});
    out.WriteBit(refresh);
    out.WriteCompressed(static_cast<std::uint32_t>(ruleNames.size()));
    for (const std::string& name : ruleNames)
        StringCompressor::EncodeString(name, kMaxRuleNameLength, out);
}

bool RequestListRecord::Read(BitStream& in)
{
    ruleNames.clear();
    std::uint32_t count = 0;
    if (!ReadId(in, kMasterRequestList) || !in.ReadBit(refresh) || !in.ReadCompressed(count) || count > kMaxMasterRules)
        return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::string name;
        if (!StringCompressor::DecodeString(name, kMaxRuleNameLength, in)) {
            ruleNames.clear();
            return false;
        }
        ruleNames.push_back(std::move(name));
    }
    return AtEnd(in);
}

void ServerListRecord::Write(BitStream& out) const
{
    out.Write(std::uint8_t{kMasterServerList});
    out.WriteBit(refresh);
    out.WriteCompressed(static_cast<std::uint32_t>(servers.size()));
    for (const ListedServer& server : servers) {
        out.WriteBytes(server.address, 4);
        out.Write(server.gamePort);
        out.WriteCompressed(server.ping);
        WriteRules(out, server.rules);
    }
}

bool ServerListRecord::Read(BitStream& in)
{
    servers.clear();
    std::uint32_t count = 0;
    if (!ReadId(in, kMasterServerList) || !in.ReadBit(refresh) || !in.ReadCompressed(count) || count > kMaxListedServers)
        return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        ListedServer server;
        if (!in.ReadBytes(server.address, 4) || !in.Read(server.gamePort) || !in.ReadCompressed(server.ping)
            || !ReadRules(in, server.rules)) {
            servers.clear();
            return false;
        }
        servers.push_back(std::move(server));
    }
    return AtEnd(in);
}

} // namespace platform::net
