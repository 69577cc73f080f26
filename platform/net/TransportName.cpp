#include "platform/net/NetTypes.h"

#include <enet/enet.h>

namespace platform::net {

std::string TransportName()
{
    const ENetVersion version = enet_linked_version();
    return "ENet " + std::to_string(ENET_VERSION_GET_MAJOR(version)) + "." +
           std::to_string(ENET_VERSION_GET_MINOR(version)) + "." + std::to_string(ENET_VERSION_GET_PATCH(version));
}

} // namespace platform::net
