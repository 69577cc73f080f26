#include "platform/net/BanList.h"

#include "platform/net/NetTypes.h"

#include <arpa/inet.h>

#include <algorithm>

namespace platform::net {

bool BanList::Parse(const std::string& text, Entry& entry)
{
    std::uint32_t address = 0;
    if (text.size() > 2 && text.compare(text.size() - 2, 2, ".*") == 0) {
        if (!ParseAddress(text.substr(0, text.size() - 2) + ".0", address))
            return false;
        entry = {ntohl(address), true};
        return true;
    }
    if (!ParseAddress(text, address))
        return false;
    entry = {ntohl(address), false};
    return true;
}

bool BanList::Add(const std::string& text)
{
    Entry entry;
    if (!Parse(text, entry))
        return false;
    if (std::find(entries.begin(), entries.end(), entry) == entries.end())
        entries.push_back(entry);
    return true;
}

void BanList::Remove(const std::string& text)
{
    Entry entry;
    if (Parse(text, entry))
        entries.erase(std::remove(entries.begin(), entries.end(), entry), entries.end());
}

bool BanList::IsBanned(std::uint32_t binaryAddress) const
{
    const std::uint32_t host = ntohl(binaryAddress);
    return std::any_of(entries.begin(), entries.end(), [host](const Entry& entry) {
        return entry.subnet ? (entry.hostOrder >> 8) == (host >> 8) : entry.hostOrder == host;
    });
}

bool BanList::IsBanned(const std::string& address) const
{
    std::uint32_t binary = 0;
    return ParseAddress(address, binary) && IsBanned(binary);
}

} // namespace platform::net
