#include "menus/Save.h"

Save* Save::Instance()
{
    return SingletonInstance<Save>();
}
