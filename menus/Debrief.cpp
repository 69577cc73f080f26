#include "menus/Debrief.h"

Debrief* Debrief::Instance()
{
    return SingletonInstance<Debrief>();
}
