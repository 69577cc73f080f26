#include "platform/net/MasterClient.h"

#include "platform/net/BitStream.h"

#include "engine/core/FormatText.h"

#include <enet/enet.h>

#include <algorithm>
#include <chrono>

namespace platform::net {

namespace {

const MasterRule* FindRule(const std::vector<MasterRule>& rules, const std::string& name)
{
    auto it = std::find_if(rules.begin(), rules.end(), [&](const MasterRule& r) { return r.name == name; });
    return it != rules.end() ? &*it : nullptr;
}

void PutRule(std::vector<MasterRule>& rules, MasterRule rule)
{
    for (MasterRule& held : rules)
        if (held.name == rule.name) {
            held = std::move(rule);
            return;
        }
    rules.push_back(std::move(rule));
}

} // namespace

struct MasterClient::Impl {
    ENetHost* host = nullptr;
    ENetPeer* peer = nullptr;
    bool connected = false;
    bool listRequested = false;
    bool listed = false;
    bool rulesChanged = false;
    std::uint16_t gamePort = 0;
    std::vector<MasterRule> rules;
    std::vector<std::string> rulesToFetch;
    std::vector<std::vector<MasterRule>> servers;
    const std::vector<MasterRule> noRules{};
    std::string lastError;

    bool Send(const BitStream& record)
    {
        if (!connected)
            return false;
        ENetPacket* packet = enet_packet_create(record.GetData(), record.GetNumberOfBytesUsed(), ENET_PACKET_FLAG_RELIABLE);
        if (packet == nullptr || enet_peer_send(peer, 0, packet) != 0) {
            if (packet != nullptr)
                enet_packet_destroy(packet);
            lastError = "Could not send to the master server";
            return false;
        }
        return true;
    }

    void SendListing()
    {
        BitStream record(kMaxListingBytes);
        ListServerRecord{gamePort, rules}.Write(record);
        if (record.HasOverflowed()) {
            lastError = "This host's rules are too long to list";
            return;
        }
        if (Send(record))
            rulesChanged = false;
    }

    bool SendRequest(bool refresh)
    {
        BitStream record;
        RequestListRecord{refresh, rulesToFetch}.Write(record);
        return Send(record);
    }

    void Receive(const std::uint8_t* data, std::size_t size)
    {
        if (size == 1 && data[0] == kMasterListed) {
            listed = listRequested;
            return;
        }
        BitStream in(data, size, kMaxMasterRecordBytes);
        ServerListRecord list;
        if (!list.Read(in)) {
            lastError = "Refused a malformed record from the master server";
            return;
        }
        std::vector<std::vector<MasterRule>> received;
        for (ListedServer& server : list.servers) {
            std::vector<MasterRule> entry = std::move(server.rules);
            char ip[16];
            FormatText(ip, "%u.%u.%u.%u", server.address[0], server.address[1], server.address[2], server.address[3]);
            PutRule(entry, {"IP", true, ip, 0});
            PutRule(entry, {"Game Port", false, {}, server.gamePort});
            PutRule(entry, {"Ping", false, {}, static_cast<std::int32_t>(std::min<std::uint32_t>(server.ping, 0x7FFFFFFF))});
            received.push_back(std::move(entry));
        }
        if (!list.refresh) {
            servers = std::move(received);
            return;
        }
        // A refresh renews the hosts held, in their order, and drops the ones no longer listed.
        std::vector<std::vector<MasterRule>> renewed;
        for (const std::vector<MasterRule>& held : servers) {
            auto same = [&](const std::vector<MasterRule>& r) {
                return *FindRule(r, "IP") == *FindRule(held, "IP") && *FindRule(r, "Game Port") == *FindRule(held, "Game Port");
            };
            auto it = std::find_if(received.begin(), received.end(), same);
            if (it != received.end())
                renewed.push_back(std::move(*it));
        }
        servers = std::move(renewed);
    }

    void Close()
    {
        if (host != nullptr)
            enet_host_destroy(host);
        host = nullptr;
        peer = nullptr;
        connected = listed = false;
    }
};

MasterClient::MasterClient()
    : impl(std::make_unique<Impl>())
{
    enet_initialize();
}

MasterClient::~MasterClient()
{
    Disconnect();
    enet_deinitialize();
}

bool MasterClient::Connect(const std::string& address, std::uint16_t masterPort, std::uint16_t localPort, std::uint16_t gamePort)
{
    impl->Close();
    impl->gamePort = gamePort;
    ENetAddress master{};
    if (enet_address_set_host_ip(&master, address.c_str()) != 0) {
        impl->lastError = "Not a master-server address: " + address;
        return false;
    }
    master.port = masterPort;
    ENetAddress local{};
    local.host = ENET_HOST_ANY;
    local.port = localPort;
    impl->host = enet_host_create(&local, 1, 1, 0, 0);
    if (impl->host == nullptr) {
        impl->lastError = "Could not open the local port " + std::to_string(localPort) + " for the master server";
        return false;
    }
    impl->host->maximumPacketSize = kMaxMasterRecordBytes;
    impl->peer = enet_host_connect(impl->host, &master, 1, 0);
    if (impl->peer == nullptr) {
        impl->lastError = "Could not start connecting to the master server";
        impl->Close();
        return false;
    }
    enet_host_flush(impl->host);
    return true;
}

void MasterClient::Disconnect(std::uint32_t blockMs)
{
    if (impl->host == nullptr)
        return;
    if (impl->connected) {
        DelistServer();
        enet_peer_disconnect(impl->peer, 0);
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(blockMs);
        ENetEvent event;
        while (impl->connected && std::chrono::steady_clock::now() < end) {
            if (enet_host_service(impl->host, &event, 10) <= 0)
                continue;
            if (event.type == ENET_EVENT_TYPE_RECEIVE)
                enet_packet_destroy(event.packet);
            else if (event.type == ENET_EVENT_TYPE_DISCONNECT)
                impl->connected = false;
        }
    }
    impl->Close();
}

bool MasterClient::IsConnected() const
{
    return impl->connected;
}

void MasterClient::SetRule(const std::string& name, const std::string& text)
{
    PutRule(impl->rules, {name, true, text, 0});
    impl->rulesChanged = true;
}

void MasterClient::SetRule(const std::string& name, std::int32_t value)
{
    PutRule(impl->rules, {name, false, {}, value});
    impl->rulesChanged = true;
}

void MasterClient::ListServer()
{
    impl->listRequested = true;
    impl->rulesChanged = true;
}

void MasterClient::DelistServer()
{
    impl->listRequested = false;
    if (!impl->listed)
        return;
    impl->listed = false;
    BitStream record;
    record.Write(std::uint8_t{kMasterWithdraw});
    impl->Send(record);
}

bool MasterClient::IsListed() const
{
    return impl->listed;
}

void MasterClient::SetRulesToFetch(std::vector<std::string> names)
{
    impl->rulesToFetch = std::move(names);
}

bool MasterClient::RequestServerList()
{
    impl->servers.clear();
    return impl->SendRequest(false);
}

bool MasterClient::PingServers()
{
    return impl->SendRequest(true);
}

void MasterClient::Update(std::uint32_t timeoutMs)
{
    if (impl->host == nullptr)
        return;
    ENetEvent event;
    std::uint32_t wait = timeoutMs;
    while (impl->host != nullptr && enet_host_service(impl->host, &event, wait) > 0) {
        wait = 0;
        switch (event.type) {
        case ENET_EVENT_TYPE_CONNECT:
            impl->connected = true;
            break;
        case ENET_EVENT_TYPE_RECEIVE:
            impl->Receive(event.packet->data, event.packet->dataLength);
            enet_packet_destroy(event.packet);
            break;
        case ENET_EVENT_TYPE_DISCONNECT:
            impl->connected = impl->listed = false;
            impl->lastError = "The master server closed the connection";
            break;
        default:
            break;
        }
    }
    if (impl->connected && impl->listRequested && impl->rulesChanged)
        impl->SendListing();
    enet_host_flush(impl->host);
}

std::size_t MasterClient::GetServerCount() const
{
    return impl->servers.size();
}

const std::vector<MasterRule>& MasterClient::GetServerRules(std::size_t server) const
{
    return server < impl->servers.size() ? impl->servers[server] : impl->noRules;
}

bool MasterClient::GetRuleText(std::size_t server, const std::string& name, std::string& text) const
{
    const MasterRule* rule = FindRule(GetServerRules(server), name);
    text = rule != nullptr && rule->isText ? rule->text : std::string();
    return rule != nullptr && rule->isText;
}

bool MasterClient::GetRuleInt(std::size_t server, const std::string& name, std::int32_t& value) const
{
    const MasterRule* rule = FindRule(GetServerRules(server), name);
    value = rule != nullptr && !rule->isText ? rule->value : 0;
    return rule != nullptr && !rule->isText;
}

const std::string& MasterClient::GetLastError() const
{
    return impl->lastError;
}

} // namespace platform::net
