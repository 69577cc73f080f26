#include "platform/os/SharedLibrary.h"

#include <dlfcn.h>

namespace platform::os {

std::unique_ptr<SharedLibrary> SharedLibrary::Open(const char* path, std::string* error)
{
    if (!path || !*path) {
        if (error)
            *error = "No library name given";
        return nullptr;
    }
    dlerror();
    void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        if (error) {
            const char* reason = dlerror();
            *error = reason ? reason : "Unknown error";
        }
        return nullptr;
    }
    return std::unique_ptr<SharedLibrary>(new SharedLibrary(handle));
}

SharedLibrary::~SharedLibrary()
{
    dlclose(handle);
}

void* SharedLibrary::Find(const char* name) const
{
    if (!name)
        return nullptr;
    return dlsym(handle, name);
}

} // namespace platform::os
