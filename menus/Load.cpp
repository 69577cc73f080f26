#include "menus/Load.h"

Load* Load::Instance()
{
    return SingletonInstance<Load>();
}
