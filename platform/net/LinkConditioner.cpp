#include "platform/net/LinkConditioner.h"

#include <arpa/inet.h>

namespace platform::net {

ENetAddress LinkConditioner::Self(const ENetHost* host)
{
    ENetAddress self{};
    self.host = htonl(INADDR_LOOPBACK);
    self.port = host->address.port;
    return self;
}

int LinkConditioner::Intercept(ENetHost* host)
{
    const ENetAddress self = Self(host);
    if (host->receivedAddress.host == self.host && host->receivedAddress.port == self.port && !reinjected.empty()) {
        host->receivedAddress = reinjected.front();
        reinjected.pop_front();
        return 0;
    }
    if (Chance(conditions.loss))
        return 1;
    if (Chance(conditions.reorder)) {
        held.push_back({host->receivedAddress, {host->receivedData, host->receivedData + host->receivedDataLength}});
        return 1;
    }
    if (Chance(conditions.duplicate))
        held.push_back({host->receivedAddress, {host->receivedData, host->receivedData + host->receivedDataLength}});
    return 0;
}

void LinkConditioner::Reinject(ENetHost* host)
{
    const ENetAddress self = Self(host);
    while (!held.empty()) {
        Held& datagram = held.front();
        ENetBuffer buffer{};
        buffer.data = datagram.bytes.data();
        buffer.dataLength = datagram.bytes.size();
        if (enet_socket_send(host->socket, &self, &buffer, 1) > 0)
            reinjected.push_back(datagram.from);
        held.pop_front();
    }
}

} // namespace platform::net
