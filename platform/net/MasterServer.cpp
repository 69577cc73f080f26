#include "platform/net/MasterServer.h"

#include "platform/net/BitStream.h"
#include "platform/net/MasterRecords.h"

#include <enet/enet.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace platform::net {

struct MasterServer::Impl {
    ENetHost* host = nullptr;
    std::uint16_t port = 0;
    // In the order the hosts first listed themselves, which is the order of the list.
    std::vector<std::pair<ENetPeer*, ListServerRecord>> listings;

    void Erase(ENetPeer* peer)
    {
        std::erase_if(listings, [&](const auto& entry) { return entry.first == peer; });
    }
    std::size_t refused = 0;
    std::string lastError;

    void Refuse(ENetPeer* peer, const std::string& why)
    {
        ++refused;
        char ip[64] = "?";
        enet_address_get_host_ip(&peer->address, ip, sizeof ip);
        lastError = "Refused a record from " + std::string(ip) + ":" + std::to_string(peer->address.port) + ": " + why;
    }

    void Send(ENetPeer* peer, const BitStream& record)
    {
        ENetPacket* packet = enet_packet_create(record.GetData(), record.GetNumberOfBytesUsed(), ENET_PACKET_FLAG_RELIABLE);
        if (packet != nullptr && enet_peer_send(peer, 0, packet) != 0) {
            enet_packet_destroy(packet);
            lastError = "Could not send to a peer";
        }
    }

    void Handle(ENetPeer* peer, const std::uint8_t* data, std::size_t size)
    {
        if (size == 0)
            return Refuse(peer, "empty record");
        BitStream in(data, size, kMaxMasterRecordBytes);
        switch (data[0]) {
        case kMasterListServer: {
            ListServerRecord listing;
            if (size > kMaxListingBytes || !listing.Read(in))
                return Refuse(peer, "malformed listing");
            auto held = std::find_if(listings.begin(), listings.end(), [&](const auto& entry) { return entry.first == peer; });
            if (held != listings.end())
                held->second = std::move(listing);
            else
                listings.emplace_back(peer, std::move(listing));
            BitStream answer;
            answer.Write(std::uint8_t{kMasterListed});
            return Send(peer, answer);
        }
        case kMasterWithdraw:
            if (size != 1)
                return Refuse(peer, "malformed withdrawal");
            Erase(peer);
            return;
        case kMasterRequestList: {
            RequestListRecord request;
            if (!request.Read(in))
                return Refuse(peer, "malformed list request");
            return SendList(peer, request);
        }
        default:
            return Refuse(peer, "unknown record " + std::to_string(data[0]));
        }
    }

    void SendList(ENetPeer* asker, const RequestListRecord& request)
    {
        ServerListRecord list;
        list.refresh = request.refresh;
        BitStream sizing;
        for (const auto& [peer, listing] : listings) {
            ListedServer server;
            // ENet keeps the address in network order, so its bytes are a, b, c, d.
            std::memcpy(server.address, &peer->address.host, 4);
            server.gamePort = listing.gamePort;
            // The asker's and the host's round trips to here stand for the way between them.
            server.ping = (asker->roundTripTime + peer->roundTripTime) / 2;
            for (const MasterRule& rule : listing.rules)
                if (request.ruleNames.empty()
                    || std::find(request.ruleNames.begin(), request.ruleNames.end(), rule.name) != request.ruleNames.end())
                    server.rules.push_back(rule);
            // The answer stays below the record limit; hosts past it are left out of this answer.
            ServerListRecord one;
            one.servers.push_back(server);
            one.Write(sizing);
            if (sizing.GetNumberOfBytesUsed() > kMaxMasterRecordBytes)
                break;
            list.servers.push_back(std::move(server));
        }
        BitStream answer(kMaxMasterRecordBytes);
        list.Write(answer);
        Send(asker, answer);
    }
};

MasterServer::MasterServer(const std::string& address, std::uint16_t port, std::size_t maxPeers)
    : impl(std::make_unique<Impl>())
{
    enet_initialize();
    ENetAddress bind{};
    bind.host = ENET_HOST_ANY;
    bind.port = port;
    if (!address.empty() && enet_address_set_host_ip(&bind, address.c_str()) != 0) {
        impl->lastError = "Not an address to listen on: " + address;
        return;
    }
    impl->host = enet_host_create(&bind, std::clamp<std::size_t>(maxPeers, 1, 4095), 1, 0, 0);
    if (impl->host == nullptr) {
        impl->lastError = "Could not listen on " + address + ":" + std::to_string(port);
        return;
    }
    impl->host->maximumPacketSize = kMaxMasterRecordBytes;
    ENetAddress bound{};
    impl->port = enet_socket_get_address(impl->host->socket, &bound) == 0 ? bound.port : port;
}

MasterServer::~MasterServer()
{
    if (impl->host != nullptr)
        enet_host_destroy(impl->host);
    enet_deinitialize();
}

bool MasterServer::IsOpen() const
{
    return impl->host != nullptr;
}

std::uint16_t MasterServer::GetPort() const
{
    return impl->port;
}

void MasterServer::Service(std::uint32_t timeoutMs)
{
    if (impl->host == nullptr)
        return;
    ENetEvent event;
    std::uint32_t wait = timeoutMs;
    while (enet_host_service(impl->host, &event, wait) > 0) {
        wait = 0;
        switch (event.type) {
        case ENET_EVENT_TYPE_RECEIVE:
            impl->Handle(event.peer, event.packet->data, event.packet->dataLength);
            enet_packet_destroy(event.packet);
            break;
        case ENET_EVENT_TYPE_DISCONNECT:
            impl->Erase(event.peer);
            break;
        default:
            break;
        }
    }
    enet_host_flush(impl->host);
}

std::size_t MasterServer::GetListedCount() const
{
    return impl->listings.size();
}

std::size_t MasterServer::GetRefusedRecords() const
{
    return impl->refused;
}

const std::string& MasterServer::GetLastError() const
{
    return impl->lastError;
}

} // namespace platform::net
