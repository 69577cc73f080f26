#include "menus/EscMenu.h"

EscMenu* EscMenu::Instance()
{
    return SingletonInstance<EscMenu>();
}
