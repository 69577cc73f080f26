#include "app/framework/FileHelpers.h"

#include "engine/core/EngineLog.h"
#include "engine/filesystem/PackFile.h"
#include "platform/os/File.h"
#include "platform/os/Messages.h"
#include "platform/os/Path.h"
#include "platform/os/Window.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr int ConfigLineSize = 2001;  // lines of up to 2000 characters

void ReportDeleteFailure(const std::error_code& error)
{
    if (!error || error == std::errc::no_such_file_or_directory)
        return;
    LogToEngine("Failed to delete directory - %d\n%s", error.value(), error.message().c_str());
}

bool DeleteTree(const fs::path& folder, bool removeFolder, const char* pattern)
{
    bool ok = true;
    std::error_code error;
    fs::directory_iterator entries(folder, error);
    if (error) {
        ReportDeleteFailure(error);
        return error == std::errc::no_such_file_or_directory;
    }
    for (const fs::directory_entry& entry : entries) {
        std::error_code statusError;
        // The entry itself, never what a link points to.
        const fs::file_status status = entry.symlink_status(statusError);
        if (statusError) {
            ReportDeleteFailure(statusError);
            ok = false;
            continue;
        }
        if (fs::is_directory(status)) {
            ok = DeleteTree(entry.path(), removeFolder, pattern) && ok;
            continue;
        }
        if (!platform::os::MatchWildcard(pattern, entry.path().filename().string()))
            continue;
        fs::permissions(entry.path(), fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add |
                        fs::perm_options::nofollow, statusError);
        std::error_code removeError;
        fs::remove(entry.path(), removeError);
        if (removeError) {
            ReportDeleteFailure(removeError);
            ok = ok && removeError == std::errc::no_such_file_or_directory;
        }
    }
    if (removeFolder) {
        std::error_code removeError;
        fs::remove(folder, removeError);
        if (removeError) {
            ReportDeleteFailure(removeError);
            ok = ok && removeError == std::errc::no_such_file_or_directory;
        }
    }
    return ok;
}

} // namespace

void FlushKeyMessages()
{
    platform::os::RemoveKeyMessages();
}

std::uint64_t FileLength(const char* path)
{
    std::FILE* file = path ? platform::os::OpenFile(path, "rb") : nullptr;
    if (!file)
        return 0;
    platform::os::FileHandle closer(file);
    struct stat info;
    if (fstat(fileno(file), &info) != 0)
        return 0;
    return std::uint64_t(info.st_size);
}

bool ReadConfigLine(PackFile* file, char* buffer, int length)
{
    if (!buffer || length <= 0)
        return false;
    buffer[0] = '\0';
    if (!file)
        return false;
    char line[ConfigLineSize];
    while (PackFileGets(line, sizeof line, file)) {
        if ((line[0] == '/' && line[1] == '/') || line[0] == '\n' || line[0] == '\r' || line[0] == '\0')
            continue;
        std::size_t size = std::strlen(line);
        while (size > 0 && (line[size - 1] == '\n' || line[size - 1] == '\r'))
            line[--size] = '\0';
        if (char* comment = std::strstr(line, "//")) {
            *comment = '\0';
            size = std::size_t(comment - line);
        }
        while (size > 0 && (line[size - 1] == '\t' || line[size - 1] == ' ' || line[size - 1] == ','))
            line[--size] = '\0';
        if (size > std::size_t(length - 1))
            size = std::size_t(length - 1);
        std::memcpy(buffer, line, size);
        buffer[size] = '\0';
        return true;
    }
    return false;
}

bool DeleteDirectory(const char* folder, bool removeFolder, const char* pattern)
{
    if (!folder || !*folder)
        return false;
    const std::optional<std::string> resolved = platform::os::ResolvePath(folder);
    if (!resolved)
        return true;  // nothing there to delete
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(fs::absolute(*resolved), error);
    if (error || canonical == canonical.root_path())
        return false;
    // A link named as the folder is removed as a link, not emptied through.
    const fs::file_status status = fs::symlink_status(*resolved, error);
    if (error)
        return false;
    if (!fs::is_directory(status)) {
        if (fs::is_symlink(status) && removeFolder) {
            fs::remove(*resolved, error);
            ReportDeleteFailure(error);
            return !error;
        }
        return false;
    }
    return DeleteTree(*resolved, removeFolder, pattern && *pattern ? pattern : "*");
}
