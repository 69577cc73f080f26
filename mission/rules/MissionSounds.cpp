// The level's impact and chatter sounds, each placed and weighed by its distance from the camera.
#include "mission/MissionState.h"

#include "engine/camera/Camera.h"
#include "media/Sound2D.h"
#include "media/Sound3D.h"

#include <cmath>
#include <cstdlib>

namespace {

// Bullet hits are heard up to 250 units off, at full volume within 20.
constexpr float BulletHitReachSquared = 62500.0f;
constexpr float BulletHitNearSquared = 400.0f;
// Chit-chat is heard within 300 units.
constexpr float ChitChatReachSquared = 90000.0f;

} // namespace

float MissionState::BulletHitVolume(float distanceSquared)
{
    if (!(distanceSquared < BulletHitReachSquared))
        return -1.0f;
    if (distanceSquared < BulletHitNearSquared)
        return 0.5f;
    return (250.0f - std::sqrt(distanceSquared)) * 0.004347826f * 0.5f;
}

void MissionState::PlayBulletHitSound(int kind, const Vector3& position)
{
    if (kind < 0 || kind >= HitSoundSetCount || audio.hitSounds[kind].empty() || !level.camera)
        return;
    const float volume = BulletHitVolume((position - level.camera->world.GetTranslation()).LengthSquared());
    if (volume < 0.0f)
        return;
    if (Sound2D* sound = audio.hitSounds[kind][std::size_t(std::rand()) % audio.hitSounds[kind].size()].get())
        sound->Play(volume);
}

void MissionState::PlayHitGroundSound(const Vector3& position)
{
    Sound3D* sound = audio.hitGround[std::rand() % 3].get();
    if (!sound)
        return;
    sound->SetPosition(position.x, position.y, position.z, -1000);
    sound->Play();
}

void MissionState::PlayCarHitBodySound(const Vector3& position)
{
    if (!audio.carHitBody)
        return;
    audio.carHitBody->SetPosition(position.x, position.y, position.z, -1000);
    audio.carHitBody->Play();
}

int MissionState::PlayChitChat(const Vector3& position)
{
    if (audio.chitChatCount <= 0 || !level.camera)
        return -1;
    if (!((position - level.camera->world.GetTranslation()).LengthSquared() < ChitChatReachSquared))
        return -1;
    Sound3D* voice = audio.chitChat[std::rand() % audio.chitChatCount].get();
    if (!voice)
        return -1;
    const int handle = voice->Play();
    if (handle >= 0)
        voice->SetPosition(position.x, position.y, position.z, handle);
    return handle;
}

void MissionState::StopChitChat(int handle)
{
    if (handle < 0)
        return;
    // A handle names one voice of the pool: only the chit-chat that owns it stops.
    for (int i = 0; i < audio.chitChatCount; ++i)
        if (audio.chitChat[i] && audio.chitChat[i]->IsPlaying(handle))
            audio.chitChat[i]->Stop(handle);
}
