#pragma once

#include <memory>
#include <string>

namespace platform::os {

// A loaded shared library; unloaded when destroyed.
class SharedLibrary {
public:
    // Null, with the loader's reason in error when given, when the library cannot be loaded.
    // A path without a slash is searched for as the system loader does.
    static std::unique_ptr<SharedLibrary> Open(const char* path, std::string* error = nullptr);
    ~SharedLibrary();

    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // The address of an exported symbol; null when there is none.
    void* Find(const char* name) const;

    template <typename Function>
    Function FindFunction(const char* name) const { return reinterpret_cast<Function>(Find(name)); }

private:
    explicit SharedLibrary(void* handle) : handle(handle) {}

    void* handle = nullptr;
};

} // namespace platform::os
