#include "menus/Briefing.h"

Briefing* Briefing::Instance()
{
    return SingletonInstance<Briefing>();
}
