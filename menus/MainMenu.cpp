#include "menus/MainMenu.h"

MainMenu* MainMenu::Instance()
{
    return SingletonInstance<MainMenu>();
}
