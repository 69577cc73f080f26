#pragma once

// The names in a folder, kept between lookups so that resolving a path without regard to case
// does not read the folder each time. A kept listing is used only while the folder's identity and
// change and status-change times are those it was read under (one stat per use), and only when
// those times were old enough, when it was read, that a later change cannot share them: file
// times come from a coarse clock, so a folder changed twice within one tick would otherwise keep
// the times of the first change. This layer forgets every kept listing whenever it creates,
// renames or removes a file itself, so the program's own changes are seen at once.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::os {

struct FolderEntry {
    std::string name;
    std::string folded;      // name with 'A'..'Z' in lower case
    unsigned char type = 0;  // the dirent type (DT_DIR, DT_REG, DT_LNK, DT_UNKNOWN, ...)
};

// Sorted by folded name, then by name in byte order; "." and ".." are left out.
class FolderListing {
public:
    explicit FolderListing(std::vector<FolderEntry> entries);

    const std::vector<FolderEntry>& Entries() const { return entries; }
    // The name itself when the folder holds it, else the first in byte order of those equal to
    // it without regard to ASCII case; null when none is.
    const FolderEntry* Find(std::string_view name) const;

private:
    std::vector<FolderEntry> entries;
};

// The listing of a folder ("" is the working folder), kept or read now. Null when the folder
// does not exist or cannot be read.
std::shared_ptr<const FolderListing> ListFolder(const std::string& folder);

// Drops every kept listing.
void ForgetFolderListings();

// The wall clock (nanoseconds since 1970) the age rule reads; tests set their own. An empty
// function restores the system's.
void SetFolderListingClock(std::function<std::int64_t()> nowNanoseconds);

// Walks a path of '/'-separated parts (already free of '\'), taking each part's name as the
// folder holds it: exact when there, else the case-insensitive match. "." and ".." parts are
// kept. With keepLast, a missing last part is kept as given. Empty when a part is missing.
std::optional<std::string> ResolveThroughListings(const std::string& path, bool keepLast);

} // namespace platform::os
