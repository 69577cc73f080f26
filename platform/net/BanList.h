#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::net {

// Refused addresses: whole addresses "a.b.c.d" and subnets "a.b.c.*".
class BanList {
public:
    // False (and nothing added) for a text of neither form.
    bool Add(const std::string& entry);
    void Remove(const std::string& entry);
    void Clear() { entries.clear(); }
    bool IsBanned(std::uint32_t binaryAddress) const;
    bool IsBanned(const std::string& address) const;
    std::size_t Size() const { return entries.size(); }

private:
    struct Entry {
        std::uint32_t hostOrder = 0;
        bool subnet = false;
        bool operator==(const Entry&) const = default;
    };
    static bool Parse(const std::string& text, Entry& entry);
    std::vector<Entry> entries;
};

} // namespace platform::net
