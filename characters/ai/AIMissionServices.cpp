#include "characters/ai/AIMissionServices.h"

#include "app/framework/Options.h"
#include "characters/ai/AILevelView.h"
#include "characters/ai/AIStats.h"
#include "characters/level/NetworkSession.h"
#include "characters/level/RunningLevel.h"

float MissionAIStat(const char* key, float fallback)
{
    const AIStats* stats = RunningLevel::AI().Stats();
    if (!stats || !stats->entries)
        return fallback;
    const int index = stats->FindIndex(key);
    return index < 0 ? fallback : stats->entries[index].value;
}

int& EnemyGroundQueryCount()
{
    static int count = 0;
    return count;
}

int MissionDifficulty()
{
    const Options* options = Options::Instance();
    return options ? options->GetOption(0) : 1;
}

bool IsNetworkGameRunning()
{
    return IsNetworkServerActive() || IsNetworkClientConnected();
}
