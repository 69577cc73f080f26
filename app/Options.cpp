#include "app/Options.h"

#include "app/Application.h"
#include "app/Singletons.h"
#include "media/SoundSystem.h"

#include <cstring>
#include <strings.h>

namespace {

constexpr std::int32_t defaultOptions[Options::OptionCount] = {
    1, 1, 1, 0, 1, 0, 1, 1, 0, 1, 1, 16, 1, 1, 0, 1, 1, 1, 1, 0, 100, 100, 100, 0, 0, 0, 0, 5, 5, 0, 1, 1, 4,
};

} // namespace

Options* Options::Instance()
{
    return SingletonInstance<Options>();
}

Options::Options()
{
    std::memcpy(options, defaultOptions, sizeof options);
    // The sound provider defaults to the plain stereo one when the sound system lists it.
    if (SoundSystem* sound = Application::Instance()->GetSoundSystem()) {
        for (int i = 0; i < sound->GetProviderCount(); ++i) {
            const char* name = nullptr;
            if (sound->Get3DProviderAttribute(i, "Name", &name) == 0 && name &&
                strcasecmp(name, "Fast 2D Positional Audio") == 0) {
                options[SoundProvider] = i;
                break;
            }
        }
    }
}

int Options::LoadConfig()
{
    return 0;
}

void Options::SetPlayerName(const char* name, bool send)
{
    if (!name)
        return;
    std::strncpy(playerName, name, PlayerNameSize - 1);
    playerName[PlayerNameSize - 1] = '\0';
}

std::int32_t Options::GetOption(int index) const
{
    return index >= 0 && index < OptionCount ? options[index] : 0;
}

void Options::SetOption(int index, std::int32_t value)
{
    if (index >= 0 && index < OptionCount)
        options[index] = value;
}
