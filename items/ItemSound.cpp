#include "items/ItemSound.h"

#include "app/framework/Application.h"
#include "engine/core/q3DError.h"
#include "media/Sound3D.h"

std::unique_ptr<Sound3D> LoadItemSound(const std::string& path)
{
    if (path.empty() || path == "-")
        return nullptr;
    auto sound = std::make_unique<Sound3D>();
    if (sound->Create(Application::Instance()->GetSoundSystem(), path.c_str()) < 0)
        throw q3DError("Can't load %s", path.c_str());
    return sound;
}
