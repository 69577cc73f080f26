#include "characters/enemy/EnemyAlarm.h"

#include "characters/ai/AI.h"
#include "characters/enemy/EnemyEvents.h"
#include "characters/enemy/EnemyMissionServices.h"
#include "characters/level/LevelScene.h"
#include "characters/level/NetworkSession.h"
#include "characters/level/RunningLevel.h"

void TriggerAlarm(GameObject* alarm, bool notify)
{
    if (!alarm)
        return;
    if (notify) {
        if (IsNetworkServerActive()) {
            SendAlarm(alarm->GetID(), true);
        } else if (IsNetworkClientConnected()) {
            SendAlarm(alarm->GetID(), false);
            return;
        }
    }
    {
        for (Character* character : RunningLevel::Scene().Characters()) {
            if (!character || character->kind != Character::EnemyKind ||
                character->position.DistanceSquared(alarm->position) >= kAlarmCallRadius * kAlarmCallRadius)
                continue;
            if (auto* ai = dynamic_cast<AI*>(character))
                ai->alarmTarget = alarm;
            character->roles &= ~Character::AlarmResponder;
        }
    }
    RunningLevel::Enemies().SoundAlarm(alarm);
}
