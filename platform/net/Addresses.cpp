#include "platform/net/NetTypes.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstdio>

namespace platform::net {

std::string AddressText(std::uint32_t binaryAddress)
{
    const std::uint32_t host = ntohl(binaryAddress);
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", host >> 24, (host >> 16) & 255u, (host >> 8) & 255u, host & 255u);
    return text;
}

bool ParseAddress(const std::string& text, std::uint32_t& binaryAddress)
{
    std::uint32_t host = 0;
    std::size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (at >= text.size() || text[at] != '.')
                return false;
            ++at;
        }
        std::uint32_t value = 0;
        std::size_t digits = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 3) {
            value = value * 10 + static_cast<std::uint32_t>(text[at++] - '0');
            ++digits;
        }
        if (digits == 0 || value > 255)
            return false;
        host = host << 8 | value;
    }
    if (at != text.size())
        return false;
    binaryAddress = htonl(host);
    return true;
}

std::vector<std::string> LocalAddresses()
{
    std::vector<std::string> addresses;
    std::vector<std::string> loopback;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return {"127.0.0.1"};
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        std::string text = AddressText(address->sin_addr.s_addr);
        auto& into = (ntohl(address->sin_addr.s_addr) >> 24) == 127 ? loopback : addresses;
        if (std::find(into.begin(), into.end(), text) == into.end())
            into.push_back(std::move(text));
    }
    freeifaddrs(list);
    addresses.insert(addresses.end(), loopback.begin(), loopback.end());
    if (addresses.empty())
        addresses.push_back("127.0.0.1");
    return addresses;
}

} // namespace platform::net
