#include "platform/os/Cursor.h"

#include <SDL2/SDL.h>

#include <atomic>

namespace platform::os {

namespace {

// The display count; the cursor starts visible (count 0).
std::atomic<int> displayCount{0};

} // namespace

int ShowCursor(bool show)
{
    int count = show ? ++displayCount : --displayCount;
    SDL_ShowCursor(count >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return count;
}

} // namespace platform::os
