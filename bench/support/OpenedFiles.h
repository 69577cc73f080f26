#pragma once

// The files a piece of work opens under the working folder, traced with inotify while it runs
// once: the baseline of a load then reads exactly what the load reads. Folders listed are not
// counted; each file counts once, by its path relative to the working folder.
#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

inline std::vector<std::string> FilesOpenedBy(const std::function<void()>& work)
{
    namespace fs = std::filesystem;
    const int watcher = inotify_init1(IN_NONBLOCK);
    if (watcher < 0)
        return {};
    std::map<int, std::string> folders;
    auto watch = [&](const fs::path& folder, const std::string& relative) {
        const int id = inotify_add_watch(watcher, folder.c_str(), IN_OPEN);
        if (id >= 0)
            folders[id] = relative;
    };
    watch(".", "");
    std::error_code error;
    for (fs::recursive_directory_iterator it(".", fs::directory_options::follow_directory_symlink, error), end;
         !error && it != end; it.increment(error))
        if (it->is_directory(error))
            watch(it->path(), it->path().lexically_relative(".").string() + "/");
    work();

    std::set<std::string> files;
    alignas(inotify_event) char buffer[1 << 16];
    for (;;) {
        const ssize_t got = read(watcher, buffer, sizeof buffer);
        if (got <= 0)
            break;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            const auto folder = folders.find(event->wd);
            if (!(event->mask & IN_ISDIR) && event->len > 0 && folder != folders.end())
                files.insert(folder->second + event->name);
        }
    }
    close(watcher);
    return {files.begin(), files.end()};
}
