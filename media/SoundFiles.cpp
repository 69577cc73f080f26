#include "media/SoundFiles.h"

#include "engine/filesystem/PackFile.h"
#include "platform/audio/AudioFiles.h"

namespace {

bool SoundFileOpen(const char* name, void** handle)
{
    PackFile* file = PackFileOpen(name, "rb");
    *handle = file;
    return file != nullptr;
}

void SoundFileClose(void* handle) { PackFileClose(static_cast<PackFile*>(handle)); }

long SoundFileSeek(void* handle, long offset, int origin)
{
    PackFile* file = static_cast<PackFile*>(handle);
    PackFileSeek(file, offset, origin);
    return static_cast<long>(PackFileTell(file));
}

std::size_t SoundFileRead(void* handle, void* buffer, std::size_t count)
{
    return PackFileRead(buffer, 1, count, static_cast<PackFile*>(handle));
}

}

void InstallSoundFileCallbacks()
{
    platform::audio::SetFileCallbacks({SoundFileOpen, SoundFileClose, SoundFileSeek, SoundFileRead});
}
