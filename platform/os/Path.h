#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform::os {

// The four pieces of a path, as the Windows-era splitter gives them: "C:" drive, the folder with
// its trailing separator, the file name, and the extension with its leading dot. Either slash
// separates; the separators are kept as given.
struct PathParts {
    std::string drive;
    std::string dir;
    std::string fname;
    std::string ext;
};

PathParts SplitPath(std::string_view path);

// The data names paths with '\' or '/' in any letter case. Returns the path of the file or folder
// that exists: the path as given (slashes turned into '/') when it exists, else each part matched
// without regard to ASCII case (the first match in name order when several differ only in case).
// Empty when nothing matches.
std::optional<std::string> ResolvePath(std::string_view path);

// For a file about to be created: an existing file resolves as above; otherwise the folders
// resolve and the last part is kept as given. Empty when the folder does not exist.
std::optional<std::string> ResolvePathForWrite(std::string_view path);

// True when the names are equal without regard to ASCII case and '\' equals '/'.
bool SamePathName(std::string_view a, std::string_view b);

// '*' matches any run of characters and '?' one character, without regard to ASCII case;
// "*.*" matches every name, as on the system the data was made for.
bool MatchWildcard(std::string_view pattern, std::string_view name);

} // namespace platform::os
