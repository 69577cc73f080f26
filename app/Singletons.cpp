#include "app/Singletons.h"

#include <vector>

namespace {

struct SingletonEntry {
    GameState* object;
    void (*forget)();
};

std::vector<SingletonEntry>& SingletonList()
{
    static std::vector<SingletonEntry> list;
    return list;
}

} // namespace

void AddSingleton(GameState* object, void (*forget)())
{
    SingletonList().push_back({object, forget});
}

void DestroySingletons()
{
    std::vector<SingletonEntry>& list = SingletonList();
    // A destructor may reach another accessor; take entries off one at a time.
    while (!list.empty()) {
        SingletonEntry entry = list.back();
        list.pop_back();
        entry.forget();
        delete entry.object;
    }
}
