#include "menus/BriefingArt.h"

BriefingArt* BriefingArt::Instance()
{
    return SingletonInstance<BriefingArt>();
}
