#include "platform/os/FolderListing.h"

#include <dirent.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace platform::os {

namespace {

// How old a folder's last change must be before its listing is kept: well above the tick of the
// kernel's file-time clock, and above the two seconds of FAT-family file systems.
constexpr std::int64_t kTrustAgeNanoseconds = 2'500'000'000;
// A game reads from a handful of folders; past this many the kept listings start again.
constexpr std::size_t kMaxKeptListings = 512;

std::int64_t Nanoseconds(const timespec& time)
{
    return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

std::int64_t SystemNow()
{
    timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    return Nanoseconds(now);
}

// What identifies a folder's contents: any entry created, removed or renamed in it moves both
// times, and the status-change time cannot be set back by a program restoring old times.
struct FolderStamp {
    dev_t device = 0;
    ino_t inode = 0;
    std::int64_t modified = 0;
    std::int64_t changed = 0;

    bool operator==(const FolderStamp&) const = default;
};

struct KeptListing {
    FolderStamp stamp;
    std::shared_ptr<const FolderListing> listing;
};

// Process-wide, as the folders are; guarded because any thread may open files.
struct ListingCache {
    std::mutex mutex;
    std::unordered_map<std::string, KeptListing> kept;
    std::function<std::int64_t()> clock;
};

ListingCache& Cache()
{
    static ListingCache cache;
    return cache;
}

std::int64_t Now(ListingCache& cache)
{
    {
        const std::lock_guard<std::mutex> lock(cache.mutex);
        if (cache.clock)
            return cache.clock();
    }
    return SystemNow();
}

std::string Fold(std::string_view name)
{
    std::string folded(name);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

std::shared_ptr<const FolderListing> ReadFolder(const char* path)
{
    DIR* dir = ::opendir(path);
    if (!dir)
        return nullptr;
    std::vector<FolderEntry> entries;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        entries.push_back({std::string(name), Fold(name), entry->d_type});
    }
    ::closedir(dir);
    return std::make_shared<const FolderListing>(std::move(entries));
}

std::string JoinPath(const std::string& folder, std::string_view name)
{
    std::string joined;
    joined.reserve(folder.size() + 1 + name.size());
    joined = folder;
    if (!joined.empty() && joined.back() != '/')
        joined += '/';
    joined += name;
    return joined;
}

bool Exists(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

} // namespace

FolderListing::FolderListing(std::vector<FolderEntry> list) : entries(std::move(list))
{
    std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
        return a.folded != b.folded ? a.folded < b.folded : a.name < b.name;
    });
}

const FolderEntry* FolderListing::Find(std::string_view name) const
{
    const std::string folded = Fold(name);
    auto entry = std::lower_bound(entries.begin(), entries.end(), folded,
                                  [](const FolderEntry& e, const std::string& key) { return e.folded < key; });
    const FolderEntry* first = nullptr;
    for (; entry != entries.end() && entry->folded == folded; ++entry) {
        if (entry->name == name)
            return &*entry;
        if (!first)
            first = &*entry;
    }
    return first;
}

std::shared_ptr<const FolderListing> ListFolder(const std::string& folder)
{
    ListingCache& cache = Cache();
    // Taken before the folder's times, so every read below happens after the age it judges.
    const std::int64_t now = Now(cache);
    const char* path = folder.empty() ? "." : folder.c_str();
    struct stat info;
    if (::stat(path, &info) != 0 || !S_ISDIR(info.st_mode))
        return nullptr;
    const FolderStamp stamp{info.st_dev, info.st_ino, Nanoseconds(info.st_mtim), Nanoseconds(info.st_ctim)};

    {
        const std::lock_guard<std::mutex> lock(cache.mutex);
        const auto kept = cache.kept.find(folder);
        if (kept != cache.kept.end()) {
            if (kept->second.stamp == stamp)
                return kept->second.listing;
            cache.kept.erase(kept);
        }
    }

    // Read after the stat: a change in between moves the times, so the next use reads again.
    std::shared_ptr<const FolderListing> listing = ReadFolder(path);
    if (!listing)
        return nullptr;
    if (now - std::max(stamp.modified, stamp.changed) < kTrustAgeNanoseconds)
        return listing; // changed too recently for its times to tell a later change apart

    const std::lock_guard<std::mutex> lock(cache.mutex);
    if (cache.kept.size() >= kMaxKeptListings)
        cache.kept.clear();
    cache.kept[folder] = KeptListing{stamp, listing};
    return listing;
}

void ForgetFolderListings()
{
    ListingCache& cache = Cache();
    const std::lock_guard<std::mutex> lock(cache.mutex);
    cache.kept.clear();
}

void SetFolderListingClock(std::function<std::int64_t()> nowNanoseconds)
{
    ListingCache& cache = Cache();
    const std::lock_guard<std::mutex> lock(cache.mutex);
    cache.clock = std::move(nowNanoseconds);
    cache.kept.clear();
}

std::optional<std::string> ResolveThroughListings(const std::string& path, bool keepLast)
{
    std::string resolved;
    std::size_t pos = 0;
    if (!path.empty() && path[0] == '/') {
        resolved = "/";
        while (pos < path.size() && path[pos] == '/')
            ++pos;
    }
    while (pos < path.size()) {
        const std::size_t end = std::min(path.find('/', pos), path.size());
        const std::string_view part(path.data() + pos, end - pos);
        const bool last = path.find_first_not_of('/', end) == std::string::npos;
        pos = end + 1;
        if (part.empty())
            continue;
        if (part == "." || part == "..") {
            resolved = JoinPath(resolved, part);
            continue;
        }
        const std::shared_ptr<const FolderListing> listing = ListFolder(resolved);
        const FolderEntry* match = listing ? listing->Find(part) : nullptr;
        if (match) {
            resolved = JoinPath(resolved, match->name);
            continue;
        }
        std::string exact = JoinPath(resolved, part);
        // A folder that can be searched but not read still serves the names given exactly.
        if ((!listing && Exists(exact)) || (keepLast && last)) {
            resolved = std::move(exact);
            continue;
        }
        return std::nullopt;
    }
    if (resolved.empty())
        return std::nullopt;
    return resolved;
}

} // namespace platform::os
