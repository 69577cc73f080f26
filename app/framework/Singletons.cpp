#include "app/framework/Singletons.h"

#include <vector>

namespace {

std::vector<void (*)()>& SingletonList()
{
    static std::vector<void (*)()> list;
    return list;
}

} // namespace

void AddSingleton(void (*destroy)())
{
    SingletonList().push_back(destroy);
}

void DestroySingletons()
{
    std::vector<void (*)()>& list = SingletonList();
    // A destructor may reach another accessor; take entries off one at a time.
    while (!list.empty()) {
        void (*destroy)() = list.back();
        list.pop_back();
        destroy();
    }
}
