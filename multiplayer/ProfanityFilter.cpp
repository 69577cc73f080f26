#include "multiplayer/ProfanityFilter.h"

namespace {

bool& Enabled()
{
    static bool enabled = false;
    return enabled;
}

} // namespace

void ProfanityFilter::Enable()
{
    Enabled() = true;
}

void ProfanityFilter::Disable()
{
    Enabled() = false;
}

bool ProfanityFilter::IsEnabled()
{
    return Enabled();
}
